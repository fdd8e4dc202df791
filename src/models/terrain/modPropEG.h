#pragma once
// Egli empirical path loss (J. J. Egli, "Radio propagation above 40 Mc over
// irregular terrain", Proc. IRE 45, 1957), applied as an excess over the
// free-space loss between half-wave dipoles.
#include <string>

namespace zw {

// Result of a failed calculation.
inline constexpr double kEgliFailLoss = 888.0;

// Excess of the Egli loss over free space, dB, never negative:
//   Egli loss = 117 + 40 log d + 20 log f - 20 log(ht hr)
//   reference = 32.27 + 20 log f + 20 log d
// with f in MHz, d in statute miles and the antenna heights ht, hr in feet.
// An input that is not a finite number greater than 0 (a logarithm of it
// would be meaningless) gives kEgliFailLoss; the reason goes to *sErr when
// given.
double dEgliExcess(double dFreqMHz, double dDistMi, double dTxHtFt, double dRxHtFt, std::string* sErr = nullptr);

}  // namespace zw
