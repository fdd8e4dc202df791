#pragma once
// Rounded-obstacle model routines: the obstacle peaks of a terrain profile and
// the diffraction loss over rounded obstacles (ITU-R P.526, single rounded
// obstacle, combined over several obstacles by the Epstein-Peterson method),
// the troposcatter loss (ITU-R P.452) and the attenuation modes that combine
// the two.
#include <span>
#include <string>
#include <string_view>
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

// Obstacles of a path: where the taut string from antenna to antenna (the
// upper convex hull of the antennas and the ground, heights above sea level,
// the ground already on the effective earth) rests on the ground. Hull points
// whose string segment runs less than one first-Fresnel-zone radius above the
// ground between them belong to one obstacle; a deeper gap separates two.
// Each obstacle holds its first and last resting point and its highest point,
// and the vertex of its two tangent rays (the ray arriving at its first
// resting point and the ray leaving its last one). A path whose direct ray is
// blocked always has at least one obstacle; a clear path has none.
struct ROHullObstacle {
  int iFirst = 0, iLast = 0, iTop = 0;  // profile indexes
  double dVertexDistM = 0.0;            // from the first profile point
  double dVertexElevM = 0.0;            // above sea level, on the effective earth
  double dSlopeIn = 0.0, dSlopeOut = 0.0;  // of the arriving and the leaving tangent ray
};
std::vector<ROHullObstacle> ROHullObstacles(std::span<const double> dist, std::span<const float> effElev,
                                            int nPoints, double dTxMSL, double dRxMSL, double dLambdaM);

// Radius of curvature (m) of the obstacle around profile point iTop: a
// least-squares parabola over the contiguous points within dDepthM below the
// top (at least the top and one point each side). 0 (a knife edge) when the
// fit is not curved downward or has too few points.
// With pRays, a point must also lie within dDepthM below the obstacle's
// tangent ray on its side (the arriving ray before the vertex, the leaving
// ray after it): an edge at the brink of a slope is fitted over the brink,
// never over the higher ground behind it that the ray passes well above.
double dROFitRadius(std::span<const double> dist, std::span<const float> effElev, int nPoints, int iTop,
                    double dDepthM, const ROHullObstacle* pRays = nullptr);

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

// Diffraction loss over the obstacles of ROHullObstacles on the effective
// earth (the ground raised by d1 d2 / (2 k 6370 km) when dEarthFactor > 0),
// after ITU-R P.526: each obstacle a rounded obstacle (4.3) whose height and
// distances are those of the vertex of its two tangent rays, judged against
// the ray between the neighbouring obstacles' vertices (or the antennas), the
// losses added (Epstein-Peterson). The radius is fitted (dROFitRadius) over
// the part of the obstacle within one first-Fresnel-zone radius below its
// top, so whole-metre elevations, sub-metre roughness and the profile step
// move it little. A clear path takes the crest of least clearance among the
// ground's local maxima standing dResolutionM (0 or less: 1.524 m) above
// their surroundings, when it enters the Fresnel zone. A blocked path always
// has a loss. Bad input (fewer than two points, counts beyond the arrays,
// distances not increasing or a path not longer than 0, values that are not
// numbers, frequency not above 0) gives bOK false with the reason and 0 dB.
// The wavelength is 300 / frequency.
RODiffraction RODiffractionLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                double dTxMSL, double dRxMSL, double dFreqMHz, double dResolutionM,
                                double dEarthFactor);

// Attenuation modes of the rounded-obstacle model: how the diffraction and
// the troposcatter attenuation (both over free space) combine.
//   MIN      the smaller of the two (the stronger of the two signal paths)
//   MAX      the larger of the two
//   DIF      diffraction only
//   SCA      troposcatter only
//   FIG 9.9  the transition between the two: both fields added in power,
//            A = -10 log(10^(-Ad/10) + 10^(-As/10)), 0 at the least
inline constexpr int kROModeMin = 0;
inline constexpr int kROModeMax = 1;
inline constexpr int kROModeDif = 2;
inline constexpr int kROModeSca = 3;
inline constexpr int kROModeFig99 = 4;
inline constexpr int kROModeInvalid = -1;

// Code of a mode name: trimmed, any case; the figure-9.9 mode is "FIG 9.9"
// (also written "FIG9.9", "FIGURE 9.9" or "9.9"). kROModeInvalid otherwise.
int iROModeCode(std::string_view sName);
// Name of a mode code ("MIN", "MAX", "DIF", "SCA", "FIG 9.9"); "UNKNOWN" otherwise.
std::string sROModeName(int iMode);

struct ROTroposcatter {
  bool bOK = false;
  std::string sError;
  double dThetaMrad = 0.0;      // angular distance of the path, mrad
  double dHorizonTxMrad = 0.0;  // horizon elevation angles at the two ends, mrad
  double dHorizonRxMrad = 0.0;
  double dBasicLossDB = 0.0;    // troposcatter basic transmission loss
  double dFreeSpaceDB = 0.0;    // free-space basic transmission loss
  double dAttenDB = 0.0;        // troposcatter loss over free space, 0 or positive
};

// Median (50 % of time) troposcatter loss of ITU-R P.452-16 (section 4.3):
//   Lbs = 190 + Lf + 20 log d + 0.573 theta - 0.15 N0 + Lc
//   Lf  = 25 log f - 2.5 (log(f / 2))^2   (f in GHz)
//   Lc  = 0.051 exp(0.055 (Gt + Gr)), antenna gains 0 dBi here
// with d in km, theta = 1000 d / ae + theta_t + theta_r in mrad (ae the
// effective earth radius, k x 6370 km; k of 0 or less takes 4/3), the
// horizon angles theta_t, theta_r the highest elevation angle from each
// antenna (height above sea level) to the profile, no lower than the angle to
// the other antenna, and the sea-level refractivity N0 = 301 N-units. The
// gaseous absorption of P.452 is left out (below a decibel under 10 GHz on
// the paths these studies run). The free-space loss is
// 32.45 + 20 log f_MHz + 20 log d_km. Bad input (as RODiffractionLoss) gives
// bOK false with the reason and 0 dB.
ROTroposcatter ROTroposcatterLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                  double dTxMSL, double dRxMSL, double dFreqMHz, double dEarthFactor);

// Combination of the diffraction and troposcatter attenuations (dB over free
// space) by mode; 0 or positive. *sWhich names what the result stands for:
// "(free space) " when it is 0, else "(free space + diffraction) ",
// "(free space + scatter) " or "(free space + figure 9.9) ". An invalid mode
// gives the diffraction attenuation.
double dROCombine(int iMode, double dDiffDB, double dScatDB, std::string* sWhich = nullptr);

}  // namespace zw
