#pragma once
// Conversion of positions between coordinate systems through PROJ.
//
// Systems are named by key: "LL27" (NAD 27, EPSG:4267), "LL83" (NAD 83,
// EPSG:4269), "LL84" (WGS 84, EPSG:4326), "LL72" (WGS 72, EPSG:4322), "LL"
// (latitude/longitude taken as they are, no datum conversion) or "EPSG:n" for
// any geographic system PROJ knows. PROJ picks the most accurate
// transformation whose grids are present; the grid search path includes the
// coordinate data directory given to CoordSysInit, so NADCON / NTv2 grids
// dropped there are used. Without them NAD 27 falls back to a Helmert shift of
// about 10 m accuracy; every conversion reports the method used and its
// accuracy so that this is never silent.
#include <filesystem>
#include <string>
#include <string_view>

namespace zw {

inline constexpr const char* kCoordDataMissingTitle = "Missing Coordinate System Data";

// Sets the coordinate data directory for every later conversion (in this and
// other threads). Returns "" when the directory exists or PROJ's own data lets
// the conversions run, otherwise the message to show (titled
// kCoordDataMissingTitle).
std::string CoordSysInit(const std::filesystem::path& dataDir);
// The directory of the last CoordSysInit ("" before any).
std::filesystem::path CoordSysDataDir();

// True when the key names a system the converter accepts.
bool CoordSysIsValid(std::string_view key);

struct CoordConversion {
  bool bOK = false;
  double dLat = 0, dLon = 0;   // converted position, decimal degrees
  std::string sError;          // the library's message when bOK is false
  std::string sMethod;         // name of the transformation used
  double dAccuracyM = -1;      // its stated accuracy in metres; 0 exact, -1 unknown
  std::string Detail() const;  // "method (accuracy about N m)"
};

// Converts (lat, lon) from system src to system dst. A key the converter does
// not accept is taken as a datum name (DatumLibKey) and then as "LL".
CoordConversion ConvertPosition(std::string_view src, std::string_view dst, double lat, double lon);

}  // namespace zw
