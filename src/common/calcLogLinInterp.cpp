#include "common/calcLogLinInterp.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "common/calcMiscMath.h"

namespace zw {

namespace {

template <typename T>
void CheckRange(std::int32_t lo, std::int32_t hi, std::span<const T> x, std::span<const T> y) {
  const auto n = static_cast<std::int64_t>(x.size() < y.size() ? x.size() : y.size());
  if (lo < 0 || hi < lo || hi >= n) {
    throw std::out_of_range("LogLinInterp: index range " + std::to_string(lo) + ".." + std::to_string(hi) +
                            " outside a table of " + std::to_string(n));
  }
}

template <typename T, typename Log>
T Interp(std::int32_t lo, std::int32_t hi, std::span<const T> x, std::span<const T> y, T xq, Log log10) {
  CheckRange(lo, hi, x, y);
  if (std::isnan(xq)) return std::numeric_limits<T>::quiet_NaN();
  if (xq <= x[lo]) return y[lo];
  if (xq >= x[hi]) return y[hi];
  // X(lo) < xq < X(hi): an interval X(i) <= xq < X(i+1) exists for ascending X.
  std::int32_t i = lo;
  while (i < hi - 1 && !(x[i] <= xq && xq < x[i + 1])) ++i;
  T t = 0;
  if (xq - x[i] > 0) t = (log10(xq) - log10(x[i])) / (log10(x[i + 1]) - log10(x[i]));
  return y[i] + (y[i + 1] - y[i]) * t;
}

}  // namespace

float LogLinInterpSng(std::int32_t lo, std::int32_t hi, std::span<const float> x, std::span<const float> y,
                      float xq) {
  return Interp<float>(lo, hi, x, y, xq, [](float v) { return rLog10(v); });
}

double LogLinInterpDbl(std::int32_t lo, std::int32_t hi, std::span<const double> x, std::span<const double> y,
                       double xq) {
  return Interp<double>(lo, hi, x, y, xq, [](double v) { return dLog10(v); });
}

}  // namespace zw
