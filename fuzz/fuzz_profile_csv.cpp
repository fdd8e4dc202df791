// Profile CSV files: a profile that reads must be usable by the model.
#include <cmath>

#include "FuzzUtil.h"
#include "engine/PointToPoint.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zw::fuzz::InputFile in(".csv", data, size);
  std::vector<double> d;
  std::vector<float> e;
  const std::string err = zw::ReadProfileCsv(in.path().string(), d, e);
  if (!err.empty()) return 0;
  Check(d.size() == e.size() && d.size() >= 2, "profile arrays");
  for (std::size_t i = 0; i < d.size(); ++i) Check(std::isfinite(d[i]) && std::isfinite(e[i]), "point not finite");
  Check(zw::CheckProfile(d, e).empty(), "a profile that reads fails the check", zw::CheckProfile(d, e));
  return 0;
}
