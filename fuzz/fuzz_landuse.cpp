// Land-use templates: the input is the template. Its raster is always a file
// that is not there: the raster reader is GDAL's, and opening the sample
// raster costs about half a second an input, so lookups find no data and
// only the template reader (classes, losses, messages) is fuzzed.
#include <cmath>

#include "FuzzUtil.h"
#include "platform/Profile.h"
#include "platform/terrain/clsLandUse.h"

using zw::fuzz::Check;
using namespace zw::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  double freq = zw::fuzz::NextDouble(rest);
  zw::fuzz::InputFile in(".INI", rest);
  ProfileWriteString("Land Use", "Raster", "no-raster.tif", in.path());

  clsLandUse lu;
  lu.bUse(true);
  lu.sTemplate(in.path().string());
  (void)lu.PrepareBox(37.35, 37.15, -112.9, -113.05, freq);
  (void)lu.sMessage();
  for (const auto& [lat, lon] : {std::pair{37.3, -113.0}, {37.2, -112.95}, {37.25, -112.97}, {44.0, -72.0}}) {
    LandUseClass c;
    if (lu.LookupClass(lat, lon, c)) Check(std::isfinite(c.dLossDB), "loss not finite", c.sName);
  }
  // Another frequency re-interpolates the same table.
  (void)lu.PrepareBox(37.35, 37.15, -112.9, -113.05, 900);
  LandUseClass c;
  if (lu.LookupClass(37.3, -113.0, c)) Check(std::isfinite(c.dLossDB), "loss not finite", c.sName);
  return 0;
}
