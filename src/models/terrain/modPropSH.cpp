#include "models/terrain/modPropSH.h"

#include <cmath>

#include "common/calcMiscMath.h"

namespace zw {

namespace {
SHRatioResult Failed(const std::string& why) {
  SHRatioResult r;
  r.dRatio = 0.0;
  r.bOK = false;
  r.sLog = "Error in SH_Ratio: " + why;
  return r;
}
}  // namespace

double dSHFixedSlope(double dAngleDeg) { return std::tan(dAngleDeg * kDegToRad); }

SHRatioResult SHRatio(double dPathM, double dTxMSL, double dRxMSL, double dLambdaM, int n,
                      std::span<const double> dist, std::span<const float> elev, bool bFixed,
                      double dFixedSlope) {
  SHRatioResult res;
  if (std::isnan(dPathM)) return Failed("path length is not a number");
  if (dPathM <= 0) {
    res.dRatio = 0.0;
    return res;
  }
  if (!std::isfinite(dTxMSL)) return Failed("transmitter height is not a number");
  if (!bFixed && !std::isfinite(dRxMSL)) return Failed("receiver height is not a number");
  if (bFixed && !std::isfinite(dFixedSlope)) return Failed("fixed slope is not a number");
  if (!(std::isfinite(dLambdaM) && dLambdaM > 0)) return Failed("wavelength must be greater than 0");
  if (n < 0) return Failed("empty profile");
  if (static_cast<std::size_t>(n) >= dist.size() || static_cast<std::size_t>(n) >= elev.size())
    return Failed("profile arrays shorter than the point count");

  const double s = bFixed ? dFixedSlope : (dRxMSL - dTxMSL) / dPathM;
  const double dEnd = dist[static_cast<std::size_t>(n)];
  if (!(std::isfinite(dEnd) && dEnd > 0)) {
    if (n >= 3) return Failed("last profile distance must be greater than 0");
    return res;  // no interior point to test
  }
  for (int i = 1; i <= n - 2; ++i) {
    const double d = dist[static_cast<std::size_t>(i)];
    const float e = elev[static_cast<std::size_t>(i)];
    if (!std::isfinite(e) || e <= kSHNoElevation) continue;
    if (!std::isfinite(d) || d <= 0 || d >= dEnd) continue;
    const double r = std::sqrt(d * (dEnd - d) * dLambdaM / dEnd);
    if (!(r > 0)) continue;
    const double ratio = (dTxMSL + s * d - e) / r;
    if (ratio < res.dRatio) res.dRatio = ratio;
  }
  return res;
}

}  // namespace zw
