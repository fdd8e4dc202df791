#include "models/terrain/modPropEG.h"

#include <cmath>

#include "common/calcMiscMath.h"

namespace zw {

namespace {
bool Positive(double x) { return std::isfinite(x) && x > 0; }
}  // namespace

double dEgliExcess(double dFreqMHz, double dDistMi, double dTxHtFt, double dRxHtFt, std::string* sErr) {
  const char* bad = nullptr;
  if (!Positive(dFreqMHz)) bad = "frequency";
  else if (!Positive(dDistMi)) bad = "path length";
  else if (!Positive(dTxHtFt)) bad = "transmitter antenna height";
  else if (!Positive(dRxHtFt)) bad = "receiver antenna height";
  if (bad) {
    if (sErr) *sErr = std::string("Egli loss not computed: the ") + bad + " must be greater than 0";
    return kEgliFailLoss;
  }
  const double lf = dLog10(dFreqMHz);
  const double ld = dLog10(dDistMi);
  const double egli = 117.0 + 40.0 * ld + 20.0 * lf - 20.0 * dLog10(dTxHtFt * dRxHtFt);
  const double ref = 32.27 + 20.0 * lf + 20.0 * ld;
  const double excess = egli - ref;
  if (!std::isfinite(excess)) {  // a height product beyond the double range
    if (sErr) *sErr = "Egli loss not computed: the result is not a finite number";
    return kEgliFailLoss;
  }
  if (sErr) sErr->clear();
  return excess > 0 ? excess : 0.0;
}

}  // namespace zw
