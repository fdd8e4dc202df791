#pragma once
// Number text in the picture formats of the suite ("#0.00", "##0.00000",
// "0000000", "###,###,##0", "####.000000000", "0.0000", ...) and the general
// number form ("General Number": shortest text, up to 15 significant digits).
//
// Pictures: '0' a digit that is always written (pads with zeros), '#' a digit
// written only when significant, '.' the decimal point (always '.'), ',' in
// the integer part groups thousands; other characters before the first and
// after the last placeholder are copied ('\' escapes one character, "..."
// quotes text, '%' multiplies by 100). The named formats "General Number",
// "Fixed", "Standard" and "Percent" are understood.
//
// Rounding is half away from zero on the value's decimal text of at most 15
// significant digits (the general number text), so 2.675 with "0.00" gives
// "2.68" and 1.005 gives "1.01". A result that rounds to zero carries no
// minus sign. NaN and infinities give "NaN", "Infinity", "-Infinity".
#include <string>
#include <string_view>

namespace zw {

std::string FormatNumber(double value, std::string_view picture);
std::string FormatGeneral(double value);
// Shortest text that reads back to exactly the same double (up to 17 digits),
// laid out like the general form.
std::string FormatRoundTrip(double value);

}  // namespace zw
