#pragma once
// Carey field-strength curves (F(50,50) and F(50,10), below and above 300
// MHz) read by interpolation: field along a path and contour distance.
//
// Units: distance in statute miles, HAAT in feet, ERP in dBk, field in dBu.
// The grids come from four files of data/curves/carey laid out like the FCC
// tables (one row per HAAT in feet, one column per distance in miles, dBu for
// 1 kW ERP): carey_f5050_low.csv, carey_f5010_low.csv, carey_f5050_high.csv
// and carey_f5010_high.csv. Read, they are held with X = HAAT and Y = distance.
// The grids are derived from the curves' published values and shape, not
// digitised from the figures (data/curves/carey/README.md gives each grid's
// standing, about 1-1.5 dB away from the fixed values).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/itplbv.h"

namespace zw {

inline constexpr std::int16_t kProcCAFld = 4301;
inline constexpr std::int16_t kProcCALoss = 4302;
inline constexpr std::int16_t kProcCAContour = 4303;

inline constexpr const char* kCareyFiles[4] = {"carey_f5050_low.csv", "carey_f5010_low.csv", "carey_f5050_high.csv",
                                               "carey_f5010_high.csv"};

// Where the four files are: the curve directory's "carey" folder.
std::filesystem::path CareyCurveDirectory();
// What the calculator says about the grids' standing in its parameter print.
inline constexpr const char* kCareyGridNote =
    "Carey grids derived from the curves' published values and shape, not digitised "
    "(about 1-1.5 dB away from the fixed values; data/curves/carey/README.md)";

// The axes the files must hold.
std::vector<double> CareyHaatAxisFt();
// Distance axis of grid k (0 F(50,50) low, 1 F(50,10) low, 2 F(50,50) high,
// 3 F(50,10) high).
std::vector<double> CareyDistanceAxisMi(int k);
// What the files must look like, for messages.
std::string CareyLayoutText();

struct CareyCurveSet {
  CurveGrid grid[4];  // X HAAT (ft), Y distance (mi), in kCareyFiles order
};

struct CareyCurveLoad {
  std::shared_ptr<const CareyCurveSet> curves;  // null when a file failed
  std::string error;
};
// Reads the four files of a directory (no caching). Missing files are named
// together with the layout they must have.
CareyCurveLoad LoadCareyCurves(const std::filesystem::path& dir);
// The grids of the shipped data directory, read once per directory and kept
// (failure included); thread-safe.
CareyCurveLoad SharedCareyCurves();

// Grid of a percentage and frequency: 50 and 90 read F(50,50), any other
// F(50,10); below 300 MHz the low grids.
const CurveGrid& CareyGrid(const CareyCurveSet& c, double freqMHz, std::int16_t percentage);
// Offset of percentage 90 below F(50,50): 10.8 dB below 300 MHz, else 14.7.
double CareyF90Offset(double freqMHz);

inline constexpr double kCAMinHaatFt = 100.0;
inline constexpr double kCAMaxHaatFt = 5000.0;

// Field (dBu) at a distance: HAAT clamped to 100 ... 5000 ft, the grid read
// at (HAAT, distance) with its interpolation error ignored, the 90 %
// offset, plus the ERP. errText is set only on an unexpected failure.
void CA_Fld(const CareyCurveSet& c, double freqMHz, double haatFt, double erpDbk, std::int16_t percentage,
            double distMi, double& fieldDbu, std::string& errText);

// Loss relative to free space (never negative); 88888 when CA_Fld failed.
double CA_Loss(const CareyCurveSet& c, double distMi, double haatFt, double freqMHz, std::int16_t percentage,
               double erpDbk, std::string& errText);

// Distance (mi) at which the field falls to the threshold: the field at
// 0, 0.5, 1 ... miles (192 points below 300 MHz, 282 for percentage 10; 152
// and 288 above), the last downward crossing interpolated. With no crossing
// distMi keeps its value. Returns the error text, empty on success.
std::string CA_Contour(const CareyCurveSet& c, double& distMi, double haatFt, double freqMHz,
                       std::int16_t percentage, double erpDbk, double thresholdDbu);

}  // namespace zw
