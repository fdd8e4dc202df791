#pragma once
// The geometry of a radio path drawn over its terrain profile: the ground
// raised by the bulge of the effective earth (radius k x 6370 km), the
// straight ray between the two antennas and the first Fresnel zone around it.
// Heights are metres above sea level; distances metres from the transmitter.
#include <vector>

namespace zw::plot {

inline constexpr double kEarthRadiusM = 6370000.0;
inline constexpr double kSpeedOfLightMps = 299792458.0;

// Height of the effective earth above the chord between the path's ends at a
// point d1 from one end and d2 from the other: d1 d2 / (2 k R). k of 0 or
// less (or not a number) gives a flat earth.
double EarthBulgeM(double d1M, double d2M, double k);

// Radius of the n-th Fresnel zone at d1 / d2 from the ends for a frequency in
// MHz: sqrt(n lambda d1 d2 / (d1 + d2)). 0 at the ends and without a frequency.
double FresnelRadiusM(double d1M, double d2M, double freqMHz, int zone = 1);

struct PathGeometry {
  std::vector<double> distM;       // as given
  std::vector<double> bulgeM;      // the effective earth's sea level (the curve under the terrain)
  std::vector<double> groundM;     // terrain elevation + bulge
  std::vector<double> rayM;        // the direct ray between the antennas
  std::vector<double> fresnelM;    // first-zone radius around the ray (0 without a frequency)
  double txM = 0, rxM = 0;         // antenna heights above sea level at the ends
  // Least clearance of the ray over the ground in first-zone radii, and where
  // (distance); +infinity when no point between the ends has a zone.
  double minClearance = 0, minClearanceAtM = 0;
};

// Geometry of a profile (distances increasing from 0 at the transmitter,
// elevations above sea level) with antenna heights above the ground at each
// end. The ray runs from the first point's ground + txAgl to the last point's
// ground + rxAgl; both ends have no bulge.
PathGeometry BuildPathGeometry(const std::vector<double>& distM, const std::vector<float>& elevM, double txAglM,
                               double rxAglM, double k, double freqMHz);

}  // namespace zw::plot
