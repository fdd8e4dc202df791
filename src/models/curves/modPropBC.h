#pragma once
// FCC Part 73 broadcast field-strength curves, shared by the broadcast (BC)
// and SMR (SM) models: the curve grids and the routines that read them.
//
// Units: distance in statute miles, HAAT in feet, ERP in dBk, field in dBu.
// The curves give the field exceeded at 50 % of locations for 50 %, 10 % or
// 90 % of the time (F(50,50), F(50,10), F(50,90)) for 1 kW ERP, as a function
// of distance and of the transmitting antenna's height above average terrain.
//
// The grids are the nine FCC tables of data/curves (fcc_f50NN_BAND.csv), read
// once per data directory and shared read-only by every calculator and
// thread. A missing or malformed file leaves no grids and an error naming it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/itplbv.h"

namespace zw {

inline constexpr std::int16_t kProcBCFld = 4201;
inline constexpr std::int16_t kProcBCLoss = 4202;
inline constexpr std::int16_t kProcBCContour = 4203;

// Frequency band of a channel number; it decides the curve grid.
enum class BCBand : std::int16_t {
  None = 0,     // no grid is read
  LowVHF = 1,   // TV channels 2-6, and FM channels 200-300
  HighVHF = 2,  // TV channels 7-13
  UHF = 3,      // TV channels 14-83
};

BCBand BCBandOfChannel(std::int16_t channel);

// TV or FM channel of a frequency in MHz; 69 above 806 MHz (so SMR uses the
// UHF curves); -88 outside every band.
std::int16_t BCChannelFromFreq(double freqMHz);

// The nine grids: X distance (mi), Y HAAT (ft), Z field (dBu for 1 kW ERP).
struct BCCurveSet {
  CurveGrid f50[3];  // [band - 1]: 25 x 13, 1-200 mi
  CurveGrid f10[3];  // 30 x 13, 10-300 mi
  CurveGrid f90[3];  // 20 x 13, 10-200 mi
};

// HAAT (ft) and distance (mi) axes the files must hold.
inline constexpr double kBCHaatAxisFt[13] = {100, 200, 400, 600, 800, 1000, 1250, 1500, 1750, 2000, 3000, 4000, 5000};

// The result of reading the nine files: the grids, or why there are none.
struct BCCurveLoad {
  std::shared_ptr<const BCCurveSet> curves;  // null when a file failed
  std::string error;                         // names the file; empty on success
};
// Reads the nine files of a directory (no caching).
BCCurveLoad LoadBCCurves(const std::filesystem::path& dir);
// The grids of the shipped data directory (CurveDirectory()), read on the
// first call for that directory and kept, failure included; thread-safe.
BCCurveLoad SharedBCCurves();

// The shared grids; throws std::runtime_error with the load error when the
// files could not be read.
const BCCurveSet& BCCurves();
// The curve set-up run when a calculator is created: the load error, or "".
std::string BCCurveSetup();
// Grid of a percentage (50, 10 or 90) and band; nullptr when there is none
// (or, for the shared form, when the grids could not be read).
const CurveGrid* BCCurveGrid(const BCCurveSet& curves, std::int16_t percentage, BCBand band);
const CurveGrid* BCCurveGrid(std::int16_t percentage, BCBand band);

// HAAT range of the curves; HAAT is clamped to it before the grids are read.
inline constexpr double kBCMinHaatFt = 100.0;
inline constexpr double kBCMaxHaatFt = 5000.0;

// Field at a distance: curve value + ERP. Percentage 10 at 10 miles or less
// reads F(50,50). A channel outside every band (or a percentage other than 50,
// 10 or 90) reads no grid and gives field = ERP. On an interpolation error the
// error text is "Error <code> in BC_Fld curve interpolation" and the field is
// left unchanged. errText is empty on success.
// The forms without a curve set read the shared grids, and give the load
// error as their error text when those could not be read.
void BC_Fld(const BCCurveSet& curves, std::int16_t channel, double haatFt, double erpDbk, std::int16_t percentage,
            double distMi, double& fieldDbu, std::string& errText);
void BC_Fld(std::int16_t channel, double haatFt, double erpDbk, std::int16_t percentage, double distMi,
            double& fieldDbu, std::string& errText);

// Loss relative to free space (never negative; 0 when BC_Fld fails).
double BC_Loss(const BCCurveSet& curves, double distMi, double haatFt, std::int16_t channel, std::int16_t percentage,
               double erpDbk, std::string& errText);
double BC_Loss(double distMi, double haatFt, std::int16_t channel, std::int16_t percentage, double erpDbk,
               std::string& errText);

// Distance (mi) at which the curve field falls to the threshold, searched at
// half-mile steps from 1 to 200 miles (the last crossing wins). F(50,10) and
// F(50,90) crossings count beyond 10 miles only; otherwise the search falls
// back to F(50,50). When the field still meets the threshold at 200 miles the
// search goes on along the grid (F(50,10) to 300 miles) and past the end of
// the curves gives that end. With no crossing at all (threshold above the
// field at 1 mile) the distance is the free-space one, at most 1 mile.
// Returns the error text, empty on success.
std::string BC_Contour(const BCCurveSet& curves, double& distMi, double haatFt, std::int16_t channel,
                       std::int16_t percentage, double erpDbk, double thresholdDbu);
std::string BC_Contour(double& distMi, double haatFt, std::int16_t channel, std::int16_t percentage, double erpDbk,
                       double thresholdDbu);

// Gain (dBd) of the vertical pattern toward the radio horizon, used to bring
// the ERP down to what the curves expect. TV channels (2-83) look at the
// depression angle of the horizon seen from the HAAT (at least 30 m); the
// pattern gain counts only when it is more than 0.91515 dB (relative field
// 0.9) below the maximum. FM and other channels, and an empty pattern
// (count below 1), give the maximum gain. Pattern arrays run from index 1.
// When the lookup fails, err is set and the maximum gain is returned, so that
// a broken pattern never cuts the ERP by an arbitrary amount.
double BCHorizonGain(double haatFt, std::int16_t channel, double maxGainDbd, double azimuth, int vertCount,
                     const std::vector<double>& vertAngles, const std::vector<double>& vertGains, double mechTilt,
                     double mechTiltDir, double elecTilt, bool& err);

}  // namespace zw
