// Longley-Rice core: the model's profile array built from a terrain profile,
// as it stands or laid on even spacing.
#include "models/terrain/modPropLR.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace zw {

// The profile failures both profile builders give.
constexpr const char* kLRTooManyIntervals =
    "Longley-Rice: the terrain profile has more than 32767 intervals (the model's limit).";
constexpr const char* kLRNoSpacing = "Longley-Rice: the terrain profile spacing is not greater than 0.";
constexpr const char* kLRElevationNaN = "Longley-Rice: the terrain profile holds an elevation that is not a number.";

bool LRBuildProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                    std::vector<double>& pfl, std::string& sErr) {
  sErr.clear();
  const auto fail = [&](const char* why) {
    pfl.clear();
    sErr = why;
    return false;
  };
  if (lastIndex < 1) return fail("Longley-Rice: the terrain profile has fewer than two points.");
  if (lastIndex > kLRMaxIntervals) return fail(kLRTooManyIntervals);
  const auto n = static_cast<std::size_t>(lastIndex) + 1;
  if (dist.size() < n || elev.size() < n)
    return fail("Longley-Rice: the terrain profile arrays are shorter than its point count.");
  const double xi = dist[1] - dist[0];
  if (!std::isfinite(xi) || !(xi > 0.0)) return fail(kLRNoSpacing);
  // One pass that copies and checks (without a branch per point); the
  // array kept from the last path is only resized (every value is written).
  pfl.resize(n + 2);
  pfl[0] = static_cast<double>(lastIndex);
  pfl[1] = xi;
  double* out = pfl.data() + 2;
  int notFinite = 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = static_cast<double>(elev[i]);
    notFinite += elev[i] - elev[i] == 0.0f ? 0 : 1;  // (not a number or infinite: not 0)
  }
  if (notFinite > 0) return fail(kLRElevationNaN);
  return true;
}

bool LRBuildEvenProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                        std::vector<double>& pfl, std::string& sErr) {
  const auto n = static_cast<std::size_t>(std::max(lastIndex, 0));
  if (lastIndex < 2 || dist.size() <= n || elev.size() <= n) return LRBuildProfile(lastIndex, dist, elev, pfl, sErr);
  pfl.clear();
  sErr.clear();
  const double length = dist[n] - dist[0];
  const double step = dist[1] - dist[0];
  const double count = std::max(1.0, std::ceil(length / step - 1e-9));
  if (!(count <= kLRMaxIntervals)) {  // (not a number too: a spacing that is not greater than 0)
    sErr = std::isfinite(step) && step > 0.0 && std::isfinite(length) ? kLRTooManyIntervals : kLRNoSpacing;
    return false;
  }
  const auto intervals = static_cast<std::size_t>(count);
  // The spacing is the first interval of the even profile.
  const double xi = (intervals == 1 ? dist[n] : dist[0] + length * 1.0 / static_cast<double>(intervals)) - dist[0];
  if (!std::isfinite(xi) || !(xi > 0.0)) {
    sErr = kLRNoSpacing;
    return false;
  }
  pfl.resize(intervals + 3);
  pfl[0] = static_cast<double>(intervals);
  pfl[1] = xi;
  double* out = pfl.data() + 2;
  // Elevations interpolated linearly between the samples (as float, the
  // profile's own precision), the last point the profile's end.
  std::size_t j = 0;
  bool finite = true;
  for (std::size_t i = 0; i < intervals; ++i) {
    const double x = dist[0] + length * static_cast<double>(i) / static_cast<double>(intervals);
    while (j + 1 < n && dist[j + 1] < x) ++j;
    const double span = dist[j + 1] - dist[j];
    const double t = span > 0 ? std::clamp((x - dist[j]) / span, 0.0, 1.0) : 0.0;
    const auto e = static_cast<float>(elev[j] + t * (static_cast<double>(elev[j + 1]) - elev[j]));
    out[i] = static_cast<double>(e);
    finite &= std::isfinite(e);
  }
  out[intervals] = static_cast<double>(elev[n]);
  if (!finite || !std::isfinite(elev[n])) {
    pfl.clear();
    sErr = kLRElevationNaN;
    return false;
  }
  return true;
}

}  // namespace zw
