#pragma once
// Complex arithmetic of the Longley-Rice ground constants: a value is a pair
// of doubles, real part first. Square root and division work in polar form
// with the models' arc tangent (dAtan2). Allocation-free and stateless.
#include <cmath>

#include "common/calcMiscMath.h"

namespace zw {

struct typComplex {
  double dRe = 0;
  double dIm = 0;
};

constexpr typComplex CplxMake(double re, double im) { return {re, im}; }

constexpr typComplex CplxAdd(const typComplex& a, const typComplex& b) { return {a.dRe + b.dRe, a.dIm + b.dIm}; }

constexpr typComplex CplxMul(const typComplex& a, const typComplex& b) {
  return {a.dRe * b.dRe - a.dIm * b.dIm, a.dRe * b.dIm + a.dIm * b.dRe};
}

inline double CplxAbs(const typComplex& a) { return std::sqrt(a.dRe * a.dRe + a.dIm * a.dIm); }

inline double CplxArg(const typComplex& a) { return dAtan2(a.dIm, a.dRe); }

// Square root of the absolute value at half the argument.
inline typComplex CplxSqrt(const typComplex& a) {
  const double r = std::sqrt(CplxAbs(a));
  const double t = CplxArg(a) / 2.0;
  return {r * std::cos(t), r * std::sin(t)};
}

// Quotient of the absolute values at the difference of the arguments. A zero
// divisor gives infinite or NaN parts (floating-point faults are not trapped).
inline typComplex CplxDiv(const typComplex& a, const typComplex& b) {
  const double r = CplxAbs(a) / CplxAbs(b);
  const double t = CplxArg(a) - CplxArg(b);
  return {r * std::cos(t), r * std::sin(t)};
}

}  // namespace zw
