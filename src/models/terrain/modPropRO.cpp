#include "models/terrain/modPropRO.h"

#include <cmath>

namespace zw {

bool ROPeaks(std::span<const double> dist, std::span<const float> elev, int nPoints, double dResolutionM,
             std::vector<int>& peaks, std::string& sErr) {
  peaks.clear();
  sErr.clear();
  if (nPoints < 0 || static_cast<std::size_t>(nPoints) > dist.size() ||
      static_cast<std::size_t>(nPoints) > elev.size()) {
    sErr = "Obstacle peaks: the point count is beyond the profile arrays";
    return false;
  }
  if (std::isnan(dResolutionM)) {
    sErr = "Obstacle peaks: the resolution is not a number";
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1])) {
      sErr = "Obstacle peaks: profile distances must be numbers in increasing order";
      return false;
    }
  }
  // Points with an elevation, in profile order.
  std::vector<std::size_t> idx;
  idx.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isfinite(elev[i]) && elev[i] > -30000.0f) idx.push_back(i);
  }
  const std::size_t m = idx.size();
  if (m < 3) return true;
  auto e = [&](std::size_t k) { return static_cast<double>(elev[idx[k]]); };
  const double res = dResolutionM > 0 ? dResolutionM : 0.0;

  std::size_t k = 1;
  while (k + 1 < m) {
    // A plateau of equal elevations starting at k.
    std::size_t k2 = k;
    while (k2 + 1 < m && e(k2 + 1) == e(k)) ++k2;
    const bool top = e(k - 1) < e(k) && k2 + 1 < m && e(k2 + 1) < e(k);
    if (top) {
      const double h = e(k);
      // Lowest ground before higher ground (or the end), left and right.
      double lowL = h;
      for (std::size_t j = k; j-- > 0;) {
        if (e(j) > h) break;
        if (e(j) < lowL) lowL = e(j);
      }
      double lowR = h;
      for (std::size_t j = k2 + 1; j < m; ++j) {
        if (e(j) > h) break;
        if (e(j) < lowR) lowR = e(j);
      }
      if (h - lowL >= res && h - lowR >= res && (h - lowL > 0) && (h - lowR > 0))
        peaks.push_back(static_cast<int>(idx[(k + k2) / 2]));
    }
    k = k2 + 1;
  }
  return true;
}

}  // namespace zw
