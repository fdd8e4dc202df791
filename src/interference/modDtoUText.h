#pragma once
// Text rules shared by the D/U table classes: numbers are held as text, a
// value that is not a number is stored as an empty text, and lists travel as
// fields joined with a vertical bar.
#include <string>
#include <string_view>
#include <vector>

namespace zw {

// True when the whole trimmed text is one finite number (optional sign,
// digits with '.' as decimal point, optional exponent).
bool IsNumericText(std::string_view text);

// The storage form of a numeric attribute: the general-number text of the
// value, or an empty text when text is not a number.
std::string NumberStorageText(std::string_view text);
// The general-number text of a finite value; empty for NaN and infinities.
std::string NumberStorageText(double value);

// Fields of a bar-joined list, each trimmed ("" gives one empty field).
std::vector<std::string> SplitBar(std::string_view text);
// Field n (1-based) of a bar-joined list, or def when the list has fewer fields.
std::string BarField(const std::vector<std::string>& fields, std::size_t n, std::string_view def = {});

}  // namespace zw
