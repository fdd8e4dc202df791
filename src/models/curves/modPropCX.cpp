#include "models/curves/modPropCX.h"

#include <cmath>

#include "common/ErrorHandler.h"
#include "common/calcMiscMath.h"

namespace zw {

namespace {

constexpr CXCoefficients kRows[10] = {
    {0, 0, 0},           // unused
    {36.364, 0.2, 0.1},  {1.609, 0.4, 0.2},  {8.577, 0.24, 0.19}, {12.306, 0.23, 0.14}, {1.726, 0.35, 0.18},
    {9.471, 0.23, 0.15}, {6.336, 0.31, 0.15}, {1.243, 0.4, 0.2},   {6.509, 0.28, 0.17},
};

// Error number of an argument the formula cannot take.
constexpr std::int32_t kBadArgument = 5;

}  // namespace

const CXCoefficients& CXRow(int row) { return kRows[(row >= 1 && row <= 9) ? row : 0]; }

int CXRowOfType(std::int16_t part22Type, double haatM) {
  switch (part22Type) {
    case 1: return 8;
    case 2: return 9;
    case 3: return 2;
    case 4: return haatM >= 150.0 ? 4 : 3;
    case 5: return 5;
    case 6: return haatM >= 150.0 ? 7 : 6;
    case 7: return 7;
    default: return 0;
  }
}

double Part22FormulaErpW(double horizErpW, double pathErpW) { return dMax(pathErpW, 0.1, horizErpW / 500.0); }

std::string CX_Contour(double& distKm, double haatM, double horizErpW, double pathErpW, std::int16_t part22Type) {
  const int row = CXRowOfType(part22Type, haatM);
  if (row == 0) return "Invalid Part 22 Type in CX_Contour";
  if (!std::isfinite(haatM) || !std::isfinite(horizErpW) || !std::isfinite(pathErpW)) {
    const std::string text = ErrorText("Error in CX_Contour", kBadArgument, "Invalid procedure call or argument");
    LogModelError(text);
    return text;
  }
  const CXCoefficients& c = kRows[row];
  const double h = std::max(haatM, 30.0);
  const double p = Part22FormulaErpW(horizErpW, pathErpW);
  distKm = c.k * std::pow(h, c.a) * std::pow(p, c.b);
  return "";
}

}  // namespace zw
