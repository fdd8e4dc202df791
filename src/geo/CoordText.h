#pragma once
// Coordinates as degrees, minutes and seconds text: " 40 30 0.00 N".
#include <string>
#include <string_view>

namespace zw {

// value in decimal degrees; kind "LT" for a latitude, anything else for a
// longitude. Non-finite values give an empty text.
std::string CoordText(double value, std::string_view kind);

// One coordinate as typed: decimal degrees ("-71.4131", "71.4131 W") or
// degrees, minutes and seconds ("71 24 47.2 W", "71:24:47.2W",
// "71d24m47.2sW", "71°24'47.2\"W"; minutes and seconds below 60, a sign or a
// hemisphere letter but not both). kind "LT": a latitude (-90..90, N or S),
// else a longitude (-180..180, E or W). The whole text must be read: false,
// with *why saying what is accepted, for anything else.
bool ParseCoordinate(std::string_view text, std::string_view kind, double& value, std::string* why);

// "LAT,LON" in either form of ParseCoordinate ("44.4365,-71.4131",
// "44 26 11.4 N, 71 24 47.2 W"); without a comma the latitude must end in its
// N or S. False with *why when either half is not read whole.
bool ParseLatLonText(std::string_view text, double& lat, double& lon, std::string* why);

}  // namespace zw
