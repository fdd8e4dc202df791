#pragma once
// Hata/Davidson loss: the Okumura-Hata empirical loss (M. Hata, "Empirical
// formula for propagation loss in land mobile radio services", IEEE Trans.
// Veh. Technol. VT-29, 1980) with area-type corrections and the Davidson
// extensions for long paths, high base antennas and frequency, applied as an
// excess over free space. Also the radial height above average terrain.
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace zw {

enum class HDAreaType { NoCorrection = 0, UrbanLarge, UrbanMedium, Suburban, QuasiOpen, Open };

// The area-type names, 14 characters each (blank padded), by index.
const std::array<std::string, 6>& HDAreaTypeNames();

// Index of an area-type name: upper-cased and compared without trailing
// blanks, so "suburban" and "SUBURBAN      " both give Suburban. -1 when the
// name is none of the six.
int iHDAreaTypeIndex(std::string_view sName);

// The 14-character name of an area type.
const std::string& sHDAreaTypeName(HDAreaType eType);

// Average terrain elevation of the profile between dStartM and dStopM
// (inclusive; the scan ends at the first point beyond dStopM), 0 with no such
// point. Points without elevation (at or below -30000 m, or not a number) are
// not averaged. nPoints is the number of points to scan (at most the arrays'
// length).
double dHDAverageTerrain(std::span<const double> dist, std::span<const float> elev, int nPoints, double dStartM,
                         double dStopM);

struct HDLoss {
  bool bOK = false;
  std::string sError;           // why the loss was not computed (bOK false)
  double dL0 = 0.0;             // basic Hata loss
  double dA1 = 0.0;             // receiver-height adjustment
  double dA2 = 0.0;             // area-type adjustment
  double dA3 = 0.0;             // range adjustment
  double dA4 = 0.0;             // base-height adjustment
  double dA5 = 0.0;             // frequency adjustment
  double dLoss = 0.0;           // L0 + A1 + ... + A5
  double dFreeSpace = 0.0;      // free-space loss, 32.5 + 20 log f + 20 log d_km
  double dModelLoss = 0.0;      // excess over free space, never negative
  bool bFreeSpaceUsed = false;  // the loss came out below free space
  bool bBaseNotPositive = false;  // base height 0 or less: its logarithms read 1.0
};

// The loss for frequency f (MHz), base-station height h_b (HAAT, m), mobile
// height above ground h_m (m), path length d (m) and area type. Logarithms are
// the guarded base-10 logarithms (1.0 for values that are not positive).
// Frequency or path length not greater than 0, or any input not a finite
// number, give bOK false with the reason and all losses 0.
HDLoss HDCalcLoss(double dFreqMHz, double dBaseHtM, double dMobHtM, double dPathM, HDAreaType eType);

}  // namespace zw
