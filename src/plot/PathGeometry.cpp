#include "plot/PathGeometry.h"

#include <cmath>
#include <limits>

namespace zw::plot {

double EarthBulgeM(double d1M, double d2M, double k) {
  if (!(k > 0) || !std::isfinite(k)) return 0.0;
  return d1M * d2M / (2.0 * k * kEarthRadiusM);
}

double FresnelRadiusM(double d1M, double d2M, double freqMHz, int zone) {
  if (!(freqMHz > 0) || !(d1M > 0) || !(d2M > 0) || zone < 1) return 0.0;
  const double lambda = kSpeedOfLightMps / (freqMHz * 1e6);
  return std::sqrt(zone * lambda * d1M * d2M / (d1M + d2M));
}

PathGeometry BuildPathGeometry(const std::vector<double>& distM, const std::vector<float>& elevM, double txAglM,
                               double rxAglM, double k, double freqMHz) {
  PathGeometry g;
  const std::size_t n = std::min(distM.size(), elevM.size());
  g.minClearance = std::numeric_limits<double>::infinity();
  if (n < 2) return g;
  g.distM.assign(distM.begin(), distM.begin() + static_cast<std::ptrdiff_t>(n));
  const double start = distM.front(), length = distM[n - 1] - start;
  g.txM = elevM.front() + txAglM;
  g.rxM = elevM[n - 1] + rxAglM;
  for (std::size_t i = 0; i < n; ++i) {
    const double d1 = distM[i] - start, d2 = length - d1;
    const double bulge = (i == 0 || i == n - 1) ? 0.0 : EarthBulgeM(d1, d2, k);
    const double ray = length > 0 ? g.txM + (g.rxM - g.txM) * d1 / length : g.txM;
    const double r = FresnelRadiusM(d1, d2, freqMHz);
    g.bulgeM.push_back(bulge);
    g.groundM.push_back(elevM[i] + bulge);
    g.rayM.push_back(ray);
    g.fresnelM.push_back(r);
    if (r > 0) {
      const double c = (ray - g.groundM.back()) / r;
      if (c < g.minClearance) {
        g.minClearance = c;
        g.minClearanceAtM = distM[i];
      }
    }
  }
  return g;
}

}  // namespace zw::plot
