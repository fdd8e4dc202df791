#pragma once
// Shadowing test: the smallest clearance of a ray over the terrain profile,
// in units of the first Fresnel-zone radius.
#include <span>
#include <string>

namespace zw {

// Result when no profile point was tested (no interior points).
inline constexpr double kSHNoInteriorPoints = 88888.0;
// Elevations at or below this mean "no elevation".
inline constexpr float kSHNoElevation = -30000.0f;

struct SHRatioResult {
  double dRatio = kSHNoInteriorPoints;  // smallest clearance ratio
  bool bOK = true;
  std::string sLog;                     // "Error in SH_Ratio" and the reason when bOK is false
};

// Smallest clearance ratio of the ray over the profile.
//   dPathM      path length D (D <= 0 gives ratio 0)
//   dTxMSL      ray start height above sea level (transmitter antenna)
//   dRxMSL      ray end height above sea level (receiver antenna)
//   dLambdaM    wavelength
//   n           index of the last profile point
//   dist, elev  distances (m, from the transmitter) and elevations (m)
//   bFixed      ray of fixed slope dFixedSlope from the transmitter instead of
//               the transmitter-receiver ray (slope (hr - ht) / D)
// Points i = 1 .. n-2 are tested (the last interior point, next to the
// receiver, is not): Fresnel radius r = sqrt(d (Dend - d) lambda / Dend) with
// Dend the distance of point n, ray height y = ht + s d, ratio (y - e) / r.
// Points without elevation (at or below -30000 m, or not a number) and points
// with no Fresnel zone (at or beyond either end) are skipped. Bad input (a
// wavelength that is not greater than 0, n beyond the arrays, heights or
// slope that are not numbers) gives ratio 0 and bOK false.
SHRatioResult SHRatio(double dPathM, double dTxMSL, double dRxMSL, double dLambdaM, int n,
                      std::span<const double> dist, std::span<const float> elev, bool bFixed,
                      double dFixedSlope);

// Slope of a fixed ray angle in degrees: tan(angle x 0.0174532925).
double dSHFixedSlope(double dAngleDeg);

}  // namespace zw
