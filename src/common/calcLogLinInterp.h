#pragma once
// One-dimensional interpolation linear in the ordinate and logarithmic in the
// abscissa, over the index range lo..hi of a table (X ascending there). No
// extrapolation: below X(lo) the result is Y(lo), above X(hi) it is Y(hi).
//
// lo and hi index both arrays (0-based here). An index range outside the
// arrays, or lo > hi, throws std::out_of_range: the caller's fault, reported
// on the caller's failure path.
#include <cstdint>
#include <span>

namespace zw {

float LogLinInterpSng(std::int32_t lo, std::int32_t hi, std::span<const float> x, std::span<const float> y,
                      float xq);
double LogLinInterpDbl(std::int32_t lo, std::int32_t hi, std::span<const double> x, std::span<const double> y,
                       double xq);

}  // namespace zw
