#include "models/curves/modPropCG.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/ErrorHandler.h"
#include "models/curves/modPropCX.h"

namespace zw {

namespace {
constexpr double kMetresPerFoot = 0.3048;
constexpr std::int32_t kBadArgument = 5;
}  // namespace

double CGFormulaHaatFt(double haatM, bool gulfOfMexico, bool unservedArea, double horizErpW) {
  // The rule's floors: 8 m (26 ft) HASL in the Gulf, 3 m (10 ft) for an
  // unserved-area cell of low power, 30 m (98 ft) otherwise.
  double floorFt = 100.0;
  if (gulfOfMexico) {
    floorFt = 25.0;
  } else if (unservedArea && horizErpW < 10.0) {
    floorFt = 10.0;
  }
  return std::min(std::max(haatM / kMetresPerFoot, floorFt), kCGMaxHaatFt);
}

std::string CG_Contour(double& distMi, double haatM, bool gulfOfMexico, bool unservedArea, double horizErpW,
                       double pathErpW) {
  if (!std::isfinite(haatM) || !std::isfinite(horizErpW) || !std::isfinite(pathErpW)) {
    const std::string text = ErrorText("Error in CG_Contour", kBadArgument, "Invalid procedure call or argument");
    LogModelError(text);
    return text;
  }
  const double h = CGFormulaHaatFt(haatM, gulfOfMexico, unservedArea, horizErpW);
  const double p = Part22FormulaErpW(horizErpW, pathErpW);
  if (gulfOfMexico) {
    distMi = 3.0 * std::pow(h, 0.3) * std::pow(p, 0.15);
  } else {
    distMi = std::max(1.05 * std::pow(h, 0.34) * std::pow(p, 0.17), kCGMinDistMi);
  }
  return "";
}

}  // namespace zw
