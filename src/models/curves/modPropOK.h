#pragma once
// Okumura's land-mobile prediction: the basic median field of an urban area
// over quasi-smooth terrain, read from the curve grids, and one routine per
// correction term (dB, positive raises the field). Frequencies in MHz,
// heights and elevations in metres; distances in km where named so, else m.
// Every lookup clamps its arguments to the table's axis ends, so every call
// returns a finite value for finite input (non-finite input gives 0 dB for a
// correction).
#include <span>
#include <string>
#include <string_view>

namespace zw {

// Index (0-3) of the frequency grid nearest to the frequency among 150, 450,
// 900 and 1500 MHz; on a tie the lower one.
int iOKFreqGrid(double freqMHz);

// Basic median field (dBu) for the ERP in dBk; distance clamped to 1 ... 100
// km and base height to 30 ... 1000 m.
double OKMedianField(double freqMHz, double effBaseHeightM, double distKm, double erpDbk);
// The calculator's form: beyond 100 km the field at 99.99999 km less
// 20 log10(d / 100).
double OKMedianFieldPath(double freqMHz, double effBaseHeightM, double distKm, double erpDbk);

// Receiving-antenna height gain against 3 m (height clamped to 1 ... 20 m).
double OKMobileGain(std::string_view areaType, double heightM, double freqMHz);
// Area-type correction: suburban, quasi-open or open; 0 for other texts.
double OKAreaCorr(double freqMHz, std::string_view areaType);
// Street orientation ("along path" / "across path"); 0 for other texts or a
// distance at or below 0.
double OKStreetCorr(std::string_view orientation, double distKm);
// Number of standard deviations z at which the cumulative normal probability
// is percentage / 100 (clamped to +-3.99).
double OKNormalDeviate(double percentage);
// z x the location standard deviation (suburban curve for the suburban and
// open area types, urban otherwise). The calculator subtracts it.
double OKLocationCorr(std::string_view areaType, double freqMHz, double percentage);

// Effective base height: TX antenna AMSL less the mean profile elevation 3 to
// 15 km from the transmitter; the site-related height when no point is there.
double OKEffBaseHeight(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                       double txAMSL, double txAGL);

struct OKSlope {
  double dB = 0;
  double thetaMr = 0;  // average slope, milliradians
};
OKSlope OKSlopeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM);
// The slope correction alone for a slope and distance.
double OKSlopeTerm(double thetaMr, double distKm);

struct OKLandSea {
  double dB = 0;
  double beta = 0;     // sea fraction of the path, 0 ... 1
  double avgDisM = 0;  // mean distance of the sea stretches from the transmitter
  char family = ' ';   // 'a' sea toward the mobile, 'b' toward the base station
  std::string distClass;  // "30", "60" or two blanks (between)
};
OKLandSea OKLandSeaCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                        double seaElvM);

// Terrain undulation over the stretch of profile within hillDistM of the
// receiver (10 km when hillDistM is 0 or less): upper and lower are the
// elevations exceeded at 10 % and 90 % of its points, top its highest.
struct OKUndulation {
  double dh = 0;
  double lower = 0, upper = 0, top = 0;
  int points = 0;
};
OKUndulation OKTerrainUndulation(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                                 double hillDistM);
double OKRollingHillCorr(double freqMHz, double dh);
// Fine correction for where the receiving site (ground elevation) sits in the
// undulation: -K at or below the lower elevation, 0 at the upper one, rising
// to +K at the top.
double OKHillLocationCorr(const OKUndulation& u, double rxGroundM);

// Isolated ridge: the highest interior point of the profile, its height above
// the mean profile elevation, and Okumura's 200 m ridge curves scaled by
// 0.07 sqrt(h).
struct OKRidge {
  double dB = 0;
  double heightM = 0;
  double d1Km = 0, d2Km = 0;
};
OKRidge OKRidgeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM);
double OKRidgeTerm(double heightM, double d1Km, double d2Km);

}  // namespace zw
