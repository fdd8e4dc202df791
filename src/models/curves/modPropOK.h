#pragma once
// Okumura's land-mobile prediction: the basic median field of an urban area
// over quasi-smooth terrain, read from the curve grids, and one routine per
// correction term (dB, positive raises the field). Frequencies in MHz,
// heights and elevations in metres; distances in km where named so, else m.
// Every lookup clamps its arguments to the table's axis ends, so every call
// returns a finite value for finite input (non-finite input gives 0 dB for a
// correction).
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/itplbv.h"

namespace zw {

// Okumura's curves, read at run time from the curve directory (file names and
// sources in data/curves/README.md). Grids are for itplbv (X fastest).
struct OKCurveSet {
  // Basic median field, urban, 1 kW ERP (dBu) for 150, 450, 900, 1500 MHz:
  // X = base height (m), Y = distance (km); cells past the figure's floor
  // are continued when the files are read.
  CurveGrid med[4];
  // Height gain above 3 m: X = frequency (MHz; negated for the medium
  // city), Y = mobile height 3 ... 10 m.
  CurveGrid gainLarge, gainMed;
  // Area corrections by frequency (MHz).
  std::vector<double> subFreq, suburban, openFreq, quasiOpen, open;
  // Rolling hills: X = frequency, Y = undulation; fine-correction factor K.
  CurveGrid roll;
  std::vector<float> undDh, undFactor;
  // Isolated 200 m ridge: X = base-to-ridge km, Y = ridge-to-mobile km.
  CurveGrid ridge;
  // Land-sea by sea fraction: a30, a60, b60, b30.
  std::vector<double> seaBeta, sea[4];
  // Location standard deviation (dB) by frequency (MHz).
  std::vector<double> sigmaFreq, sigmaUrban, sigmaSuburban;
};
struct OKCurveLoad {
  std::shared_ptr<const OKCurveSet> curves;  // null when a file failed
  std::string error;                         // names the file
};
OKCurveLoad LoadOKCurves(const std::filesystem::path& dir);
// The grids of the current data directory, read once per directory.
OKCurveLoad SharedOKCurves();
// The shared grids; throws std::runtime_error with the load error.
const OKCurveSet& OKCurves();

// Index (0-3) of the frequency grid nearest to the frequency among 150, 450,
// 900 and 1500 MHz; on a tie the lower one.
int iOKFreqGrid(double freqMHz);

// Basic median field (dBu) for the ERP in dBk; distance clamped to 1 ... 100
// km and base height to 30 ... 1000 m.
double OKMedianField(const OKCurveSet& c, double freqMHz, double effBaseHeightM, double distKm, double erpDbk);
double OKMedianField(double freqMHz, double effBaseHeightM, double distKm, double erpDbk);
// The calculator's form: beyond 100 km the field at 99.99999 km less
// 20 log10(d / 100).
double OKMedianFieldPath(const OKCurveSet& c, double freqMHz, double effBaseHeightM, double distKm,
                         double erpDbk);
double OKMedianFieldPath(double freqMHz, double effBaseHeightM, double distKm, double erpDbk);

// Receiving-antenna height gain against 3 m (height clamped to 1 ... 20 m).
double OKMobileGain(const OKCurveSet& c, std::string_view areaType, double heightM, double freqMHz);
double OKMobileGain(std::string_view areaType, double heightM, double freqMHz);
// Area-type correction: suburban, quasi-open or open; 0 for other texts.
double OKAreaCorr(const OKCurveSet& c, double freqMHz, std::string_view areaType);
double OKAreaCorr(double freqMHz, std::string_view areaType);
// Street orientation ("along path" / "across path"); 0 for other texts or a
// distance at or below 0.
double OKStreetCorr(std::string_view orientation, double distKm);
// Number of standard deviations z at which the cumulative normal probability
// is percentage / 100 (clamped to +-3.99).
double OKNormalDeviate(double percentage);
// z x the location standard deviation (suburban curve for the suburban and
// open area types, urban otherwise). The calculator subtracts it.
double OKLocationCorr(const OKCurveSet& c, std::string_view areaType, double freqMHz, double percentage);
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
OKLandSea OKLandSeaCorr(const OKCurveSet& c, std::span<const double> dis, std::span<const float> elv, int count,
                        double pathM, double seaElvM);
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
double OKRollingHillCorr(const OKCurveSet& c, double freqMHz, double dh);
double OKRollingHillCorr(double freqMHz, double dh);
// Fine correction for where the receiving site (ground elevation) sits in the
// undulation: -K at or below the lower elevation, 0 at the upper one, rising
// to +K at the top.
double OKHillLocationCorr(const OKCurveSet& c, const OKUndulation& u, double rxGroundM);
double OKHillLocationCorr(const OKUndulation& u, double rxGroundM);

// Isolated ridge: the highest interior point of the profile, its height above
// the mean profile elevation, and Okumura's 200 m ridge curves scaled by
// 0.07 sqrt(h).
struct OKRidge {
  double dB = 0;
  double heightM = 0;
  double d1Km = 0, d2Km = 0;
};
OKRidge OKRidgeCorr(const OKCurveSet& c, std::span<const double> dis, std::span<const float> elv, int count,
                    double pathM);
OKRidge OKRidgeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM);
double OKRidgeTerm(const OKCurveSet& c, double heightM, double d1Km, double d2Km);
double OKRidgeTerm(double heightM, double d1Km, double d2Km);

}  // namespace zw
