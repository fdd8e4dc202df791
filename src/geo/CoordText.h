#pragma once
// Coordinates as degrees, minutes and seconds text: " 40 30 0.00 N".
#include <string>
#include <string_view>

namespace zw {

// value in decimal degrees; kind "LT" for a latitude, anything else for a
// longitude. Non-finite values give an empty text.
std::string CoordText(double value, std::string_view kind);

}  // namespace zw
