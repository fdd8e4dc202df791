#pragma once
// Datum names as users type them, the coordinate-system keys they stand for
// ("LL27", "LL83", "LL84", "LL72"; "LL" for latitude/longitude without a
// datum conversion) and the EPSG geographic system behind each key.
#include <string>
#include <string_view>

namespace zw {

// "NAD 27", "NAD 83", "WGS 84", "WGS 72", or "" for a name outside the table.
std::string DatumDisplayName(std::string_view name);
// "LL27", "LL83", "LL84", "LL72", or "LL" for a name outside the table.
std::string DatumLibKey(std::string_view name);
// EPSG code of a coordinate-system key (4267, 4269, 4326, 4322); 0 for "LL"
// and for keys that are not one of the four.
int DatumEpsg(std::string_view key);

}  // namespace zw
