#pragma once
// Rounded-obstacle model routines: the obstacle peaks of a terrain profile and
// the diffraction loss over rounded obstacles (ITU-R P.526, single rounded
// obstacle, combined over several obstacles by the Epstein-Peterson method).
#include <span>
#include <string>
#include <vector>

namespace zw {

// Obstacle peaks of the first nPoints points of a profile (distances in m,
// increasing; elevations in m): the indexes of the interior points that are
// local maxima standing at least dResolutionM above the lowest ground between
// them and the nearest higher ground on each side (or the profile end). A
// resolution of 0 or less takes every local maximum. On a flat top (equal
// neighbouring elevations) the middle point stands for the plateau. Points
// without elevation (at or below -30000 m, or not a number) are passed over.
// Indexes come out in profile order.
// False, with the reason in sErr and no peaks, when nPoints is beyond the
// arrays, a distance is not a number or distances decrease, or the
// resolution is not a number. Fewer than three points give no peaks.
bool ROPeaks(std::span<const double> dist, std::span<const float> elev, int nPoints, double dResolutionM,
             std::vector<int>& peaks, std::string& sErr);

// Knife-edge diffraction loss J(nu) of ITU-R P.526, dB (0 or positive):
// 6.9 + 20 log(sqrt((nu - 0.1)^2 + 1) + nu - 0.1) for nu > -0.78, else 0.
// nu = h sqrt(2 (d1 + d2) / (lambda d1 d2)), h the obstruction above the ray.
double dROKnifeEdgeJ(double nu);

// Loss of a rounded obstacle of radius R, dB (0 or positive): J(nu) + T(m, n)
// of ITU-R P.526 with m = R ((d1 + d2) / (d1 d2)) / (pi R / lambda)^(1/3) and
// n = h (pi R / lambda)^(2/3) / R; h is the crest height above the ray (m,
// negative when clear), d1 and d2 the distances to the ray's ends. R of 0 is
// a knife edge. Inputs that are not numbers, distances or wavelength not above
// 0, or a negative radius give 0.
double dRORoundedObstacleLoss(double h, double d1, double d2, double dRadiusM, double dLambdaM);

struct ROObstacle {
  int iIndex = 0;          // profile point of the crest
  double dDistM = 0.0;     // from the transmitter
  double dElevM = 0.0;     // crest height used (earth bulge included)
  double dRadiusM = 0.0;   // estimated radius of curvature (0: knife edge)
  double dDist1M = 0.0;    // to the start of the obstacle's ray
  double dDist2M = 0.0;    // to the end of the obstacle's ray
  double dAttenDB = 0.0;   // loss of the obstacle
};

struct RODiffraction {
  bool bOK = false;
  std::string sError;
  std::vector<ROObstacle> obstacles;  // in path order
  double dAttenDB = 0.0;              // sum of the obstacle losses, 0 or positive
};

// Diffraction loss over the obstacle peaks (resolution dResolutionM; 0 or
// less becomes 1.524 m) that the taut string from antenna to antenna
// (heights above sea level) rests on; on a clear path the one peak of least
// clearance. Each obstacle's radius comes from the parabola through its crest
// and the neighbouring points; each is judged against the ray between its
// neighbouring obstacles (or the antennas). The ground is raised by the
// earth bulge d1 d2 / (2 k 6370 km) when dEarthFactor > 0. Bad input (fewer
// than two points, counts beyond the arrays, distances not increasing or a
// path not longer than 0, values that are not numbers, frequency not above 0)
// gives bOK false with the reason and 0 dB. The wavelength is 300 / frequency.
RODiffraction RODiffractionLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                double dTxMSL, double dRxMSL, double dFreqMHz, double dResolutionM,
                                double dEarthFactor);

}  // namespace zw
