// Coordinate text, datum names, coordinate-system keys and the geodesic
// calculator. Input: a name line, a unit line, then doubles.
#include <cmath>

#include "FuzzUtil.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"
#include "geo/Geodesic.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const std::string name(zw::fuzz::NextLine(rest));
  const std::string unit(zw::fuzz::NextLine(rest));
  const double a = zw::fuzz::NextDouble(rest), b = zw::fuzz::NextDouble(rest);
  const double c = zw::fuzz::NextDouble(rest), d = zw::fuzz::NextDouble(rest);

  for (double v : {a, b}) {
    const std::string lt = zw::CoordText(v, "LT"), ln = zw::CoordText(v, name);
    Check(std::isfinite(v) || (lt.empty() && ln.empty()), "text of a non-finite coordinate");
    Check(lt.size() < 64 && ln.size() < 64, "coordinate text unreasonably long", lt + "|" + ln);
  }

  const std::string key = zw::DatumLibKey(name);
  Check(key == "LL" || key == "LL27" || key == "LL83" || key == "LL84" || key == "LL72", "datum key", key);
  (void)zw::DatumDisplayName(name);
  (void)zw::DatumEpsg(name);
  (void)zw::CoordSysIsValid(name);
  // Keys that go to the projection library only when they look like one.
  if (name.rfind("EPSG:", 0) != 0 || name.size() < 12) {
    const auto conv = zw::ConvertPosition(name, "LL84", a, b);
    if (conv.bOK) Check(!std::isnan(conv.dLat) && !std::isnan(conv.dLon), "converted position is NaN", name);
  }

  const zw::Geodesic g(unit);
  Check(g.bUnitOK() == (zw::Geodesic::MetresPerUnit(unit) > 0), "unit check");
  double lat2 = 0, lon2 = 0;
  if (g.Forward(a, b, c, d, lat2, lon2)) {
    Check(std::isfinite(lat2) && std::isfinite(lon2), "forward position not finite");
    Check(lon2 >= -180 && lon2 < 180, "forward longitude outside [-180, 180)", std::to_string(lon2));
  }
  double az = 0, dist = 0;
  if (g.Inverse(a, b, c, d, az, dist)) {
    Check(std::isfinite(az) && std::isfinite(dist) && dist >= 0, "inverse not finite");
    Check(az >= 0 && az < 360, "azimuth outside [0, 360)", std::to_string(az));
  }
  return 0;
}
