#pragma once
// Longley-Rice core: the ITS Irregular Terrain Model, version 1.2.2, in
// point-to-point mode (G. A. Hufford, "The ITS Irregular Terrain Model,
// version 1.2.2, the Algorithm", and the 1985 memorandum on its changes).
//
// clsLRCore owns every piece of the model's working state (the path and
// ground constants, the horizon and effective-height values, the coefficients
// of the line-of-sight, diffraction and scatter ranges, the values each range
// routine keeps between its set-up call and its distance calls, and the
// variability coefficients). Nothing is shared between objects, so several
// calculators may run at once on different threads; one object must not be
// used by two threads at the same time.
//
// The profile is held in the model's own array layout ("pfl"):
//   pfl[0]  number of intervals np (points are numbered 0..np),
//   pfl[1]  spacing between points, metres,
//   pfl[2 + i]  ground elevation of point i, metres, transmitter end first.
// The interval count is a 16-bit signed integer in the original model, so a
// profile has at most 32767 intervals; longer profiles are refused.
#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zw {

inline constexpr int kLRMaxIntervals = 32767;

// The names of the seven radio climates, indexed by climate code - 1.
const std::array<std::string, 7>& LRClimateNames();

// Builds the profile array from the terrain component's profile: lastIndex is
// the index of the last point, dist the distances (m) and elev the elevations
// (m) of points 0..lastIndex. The spacing is the first interval (later
// intervals are not examined). Returns false with a message in sErr (and an
// empty pfl) for fewer than two points, more than kLRMaxIntervals intervals,
// arrays shorter than lastIndex + 1, a spacing that is not greater than 0, or
// a distance or elevation that is not a finite number.
bool LRBuildProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                    std::vector<double>& pfl, std::string& sErr);

// The same from a profile that keeps its sampling step and ends with a
// shorter interval: the model takes equally spaced points, so the profile is
// laid on the step that divides the path evenly (ceil(length / step)
// intervals), elevations interpolated linearly between the samples. The same
// refusals as LRBuildProfile.
bool LRBuildEvenProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                        std::vector<double>& pfl, std::string& sErr);

// How the range of profile elements averaged for the mean system elevation
// starts: ja = 3 + 0.1 * np made an integer by rounding halves to even (this
// system's rule) or by truncation (the ITS reference driver, for comparisons
// with its published results).
enum class LRMeanElevationRule { RoundHalfEven, Truncate };

// Inputs of one point-to-point calculation besides the profile.
struct LRInputs {
  double dTxHeightM = 10.0;      // transmitter antenna height above ground
  double dRxHeightM = 10.0;      // receiver antenna height above ground
  double dFreqMHz = 100.0;
  int iPolariz = 1;              // 0 horizontal, otherwise vertical
  double dSurRefrac = 301.0;     // surface refractivity, N-units
  double dSeaRefrac = 0.0;       // fixed refractivity, N-units; 0 or less: none
  double dRelPermit = 15.0;      // relative permittivity of the ground
  double dConductivity = 0.005;  // ground conductivity, S/m
  std::int16_t iClimate = 5;     // radio climate 1..7
  std::int16_t iMDVAR = 12;      // mode of variability
  double dSitPct = 50.0;         // situation (confidence) percentage
  double dLocPct = 50.0;         // location percentage
  double dTimPct = 50.0;         // time percentage
  LRMeanElevationRule eMeanElevRule = LRMeanElevationRule::RoundHalfEven;
};

// Outputs of one point-to-point calculation.
struct LRResult {
  // false: the input was refused or the model gave no finite value; sError
  // says why, the attenuation is 0 and the error level 4.
  bool bOK = false;
  std::string sError;
  double dAttenDB = 0.0;                   // attenuation relative to free space
  std::array<double, 2> dHeEffM{0.0, 0.0}; // effective heights, transmitter, receiver
  double dDeltaHM = 0.0;                   // terrain irregularity delta-h
  double dEarthFactor = 0.0;               // 157e-9 / effective earth curvature
  // The propagation mode, in the model's words (text of static storage).
  std::string_view sMode1 = " ";
  std::string_view sMode2 = " ";
  std::int32_t lErrLevel = 0;              // 0..4
};

// The model's numeric helper functions (stateless).
namespace lr {
// x squared, and one third: the published routines' shorthands.
inline double sq(double x) { return x * x; }
inline constexpr double kThird = 1.0 / 3.0;
// Standard normal deviate exceeded with probability q (inverse complementary
// normal, rational approximation; the tail argument is bounded below by 1e-6).
double qerfi(double q);
// Complementary standard normal probability of z (polynomial approximation).
double qerf(double z);
// Knife-edge diffraction attenuation for the squared parameter v2.
double aknfe(double v2);
// Height-gain function of smooth-earth diffraction.
double fht(double x, double pk);
// Frequency-gain function of troposcatter.
double h0f(double r, double et);
// Scatter attenuation function of the angular distance td.
double ahd(double td);
// FORTRAN DIM: a - b when positive, else 0.
double dim(double a, double b);
// Nearest integer, halves to the even integer.
long roundHalfEven(double x);
// Least-squares line through the part x1..x2 (m) of a profile array: the
// line's heights at the two ends of the whole profile.
void z1sq1(std::span<const double> z, double x1, double x2, double& z0, double& zn);
// Interdecile range of the profile between x1 and x2 (m) about its
// least-squares line, scaled to the terrain irregularity delta-h.
double d1thx(std::span<const double> pfl, double x1, double x2);
}  // namespace lr

class clsLRCore {
 public:
  // The path, ground and range values of the model (the published "prop"
  // and "propa" groups), readable after a calculation.
  struct PathState {
    double aref = 0.0;               // reference attenuation, dB
    double dist = 0.0;               // path distance, m
    std::array<double, 2> hg{};      // antenna heights above ground
    double wn = 0.0;                 // wave number, 1/m
    double dh = 0.0;                 // terrain irregularity
    double ens = 0.0;                // surface refractivity used
    double gme = 0.0;                // effective earth curvature
    std::complex<double> zgnd;       // ground transfer impedance
    std::array<double, 2> he{};      // effective heights
    std::array<double, 2> dl{};      // horizon distances
    std::array<double, 2> the{};     // horizon elevation angles
    int kwx = 0;                     // error level
    int mdp = -1;                    // -1 point-to-point
    // range coefficients
    double dlsa = 0.0, dx = 0.0, ael = 0.0, ak1 = 0.0, ak2 = 0.0, aed = 0.0, emd = 0.0,
           aes = 0.0, ems = 0.0, dla = 0.0, tha = 0.0;
    std::array<double, 2> dls{};     // smooth-earth horizon distances
    double zsys = 0.0;               // mean system elevation used
  };

  clsLRCore();

  // Loads the climate and routine tables (they are constants of the model;
  // kept so that the calculator's construction sequence reads as documented).
  void InitTables();

  // One point-to-point calculation over pfl (layout above).
  LRResult PointToPoint(std::span<const double> pfl, const LRInputs& in);

  // The reference attenuation (dB, before variability) that the coefficients
  // of the last path give at distance dM; for checks of the range
  // boundaries. Leaves the path's own results unchanged.
  double ReferenceAttenuationAt(double dM);

  // The variability step alone (the published model's separate variability
  // entry), on path values given directly: the attenuation for the standard
  // normal deviates zt (time), zl (location) and zc (situation) of a path of
  // distance dDistM with effective heights dHeM, terrain irregularity
  // dDeltaHM and reference attenuation dArefDB at dFreqMHz, for the climate
  // and mode of variability given. lErrLevel receives the level the step
  // raised (starting from 0). Replaces the object's path state.
  struct VariabilityPath {
    double dDistM = 0.0;
    double dFreqMHz = 0.0;
    std::array<double, 2> dHeM{0.0, 0.0};
    double dDeltaHM = 0.0;
    double dArefDB = 0.0;
    int iClimate = 5;
    int iMDVAR = 0;
  };
  double VariabilityOnly(const VariabilityPath& p, double zt, double zl, double zc,
                         std::int32_t& lErrLevel);

  const PathState& State() const { return prop_; }

 private:
  // preparation of frequency and ground constants
  void qlrps(double fmhz, double zsys, double en0, int ipol, double eps, double sgm);
  // profile analysis, then the range set-up
  void qlrpfl(std::span<const double> pfl, int klimx, int mdvarx);
  void hzns(std::span<const double> pfl);
  // reference attenuation: set-up of the range coefficients, then one distance
  void lrpropSetup();
  void lrpropDistance();
  double adiffSetup();
  double adiff(double d);
  double ascatSetup();
  double ascat(double d);
  double alosSetup();
  double alos(double d);
  // variability
  double avar(double zzt, double zzl, double zzc);

  PathState prop_;

  // saved values of the range routines between their set-up and distance calls
  struct DiffSaved { double wd1 = 0, xd1 = 0, afo = 0, qk = 0, aht = 0, xht = 0; } dif_;
  struct ScatSaved { double ad = 0, rr = 0, etq = 0, h0s = 0; } sct_;
  double wls_ = 0.0;
  bool wlos_ = false, wscat_ = false;
  double dmin_ = 0.0, xae_ = 0.0;

  // variability state (the published "propv" group and saved coefficients)
  struct VarState {
    int lvar = 0, mdvar = 0, klim = 5;
    double sgc = 0.0;
    int kdv = 0;
    bool ws = false, w1 = false;
    double dexa = 0, de = 0, vmd = 0, vs0 = 0, sgl = 0, sgtm = 0, sgtp = 0, sgtd = 0, tgtd = 0,
           gm = 0, gp = 0, cv1 = 0, cv2 = 0, yv1 = 0, yv2 = 0, yv3 = 0, csm1 = 0, csm2 = 0,
           ysm1 = 0, ysm2 = 0, ysm3 = 0, csp1 = 0, csp2 = 0, ysp1 = 0, ysp2 = 0, ysp3 = 0,
           csd1 = 0, zd = 0, cfm1 = 0, cfm2 = 0, cfm3 = 0, cfp1 = 0, cfp2 = 0, cfp3 = 0;
  } var_;

  bool bTablesLoaded_ = false;
};

}  // namespace zw
