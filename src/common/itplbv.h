#pragma once
// Akima's bivariate interpolation over a rectangular grid (ACM Algorithm 474):
// a piecewise bicubic surface, one polynomial per grid rectangle, fixed by the
// value and the estimated partial derivatives zx, zy and zxy at its four
// corners. The derivatives are Akima's locally weighted means of the divided
// differences, so the surface follows flat stretches and steps of the data
// without the wiggles of a global spline.
//
// Points outside the grid are extrapolated from the edge rectangles: the grid
// is extended by one pseudo rectangle on each side (its width that of the
// neighbouring interior rectangle, its divided differences extended linearly)
// and that rectangle's polynomial is continued outward. The result is finite
// for any finite query point.
//
// The grids are 4-byte floats, X index fastest: element (i, j) of X(i), Y(j)
// is Z[j * LX + i] (0-based). Work is done in double precision.
//
// Error codes (W is left untouched for codes 1-7 and 9):
//   0 success
//   1 LX below 2            2 LY below 2            3 N below 1
//   4 two equal X values    5 X values not ascending (or not finite)
//   6 two equal Y values    7 Y values not ascending (or not finite)
//   8 a query coordinate that is not finite (that W is NaN, the others are computed)
//   9 array sizes that disagree with LX, LY or N (checked form only)
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zw {

// A rectangular curve grid: X and Y axes and the LX x LY surface, X fastest.
struct CurveGrid {
  std::vector<float> x;
  std::vector<float> y;
  std::vector<float> z;

  std::int16_t lx() const { return static_cast<std::int16_t>(x.size()); }
  std::int16_t ly() const { return static_cast<std::int16_t>(y.size()); }
  // Value at grid node (i, j), 0-based.
  float at(std::size_t i, std::size_t j) const { return z[j * x.size() + i]; }
};

// The library's argument contract: every argument by reference, the arrays
// passed as their first element (X of LX, Y of LY, Z of LX*LY, U, V and W of
// N). The caller clears IER before the call; the grids are never modified.
void itplbv(const std::int16_t& lx, const std::int16_t& ly, const float& x, const float& y, const float& z,
            const std::int16_t& n, const float& u, const float& v, float& w, std::int16_t& ier);

// Checked form: sizes are taken from the spans (Z must hold x.size() * y.size()
// values, U, V and W the same count). Returns the error code.
std::int16_t itplbv(std::span<const float> x, std::span<const float> y, std::span<const float> z,
                    std::span<const float> u, std::span<const float> v, std::span<float> w);

// One point of a grid; ier receives the error code (0 on success).
float itplbv(const CurveGrid& grid, float u, float v, std::int16_t& ier);

// Text of an error code, for messages and logs.
std::string ItplbvErrorText(std::int16_t ier);

}  // namespace zw
