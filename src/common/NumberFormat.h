#pragma once
// Number text in the picture formats of the suite ("#0.00", "##0.00000",
// "0000000", "###,###,##0", "####.000000000", "0.0000", ...) and the general
// number form ("General Number": shortest text, up to 15 significant digits).
#include <string>
#include <string_view>

namespace zw {

std::string FormatNumber(double value, std::string_view picture);
std::string FormatGeneral(double value);

}  // namespace zw
