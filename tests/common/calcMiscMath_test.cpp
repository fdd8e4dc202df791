#include "common/calcMiscMath.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace zw {
namespace {

TEST(calcMiscMath, GuardedLogarithmAndArcTangentWithModelPi) {
  // {got, want, tolerance}
  const std::array<double, 3> cases[] = {
      {dLog10(1000), 3.0, 1e-15}, {dLog10(0.01), -2.0, 1e-15}, {rLog10(100.0f), 2.0, 1e-6},
      // Outside the domain the result is 1, not 0, and never NaN.
      {dLog10(0), 1.0, 0}, {dLog10(-5), 1.0, 0}, {dLog10(std::nan("")), 1.0, 0}, {rLog10(0.0f), 1.0, 0},
      {rLog10(-1.0f), 1.0, 0},
      // The arc tangent uses the model's pi.
      {dAtan2(1, 0), 1.570796325, 1e-12}, {dAtan2(-1, 0), -1.570796325, 1e-12}, {dAtan2(0, 0), 0.0, 0},
      {dAtan2(1e-14, -1e-14), 0.0, 0}, {dAtan2(-1, -1), std::atan(1.0) - 3.14159265, 1e-12},
      {dAtan2(-1, -1), -2.3561944866, 1e-9}, {dAtan2(0, -1), 3.14159265, 1e-12},  // y = 0 counts as upper half
      {dAtan2(1, 1), std::atan(1.0), 1e-15}, {dAtan2Deg(1, 1), 45.0000000514, 1e-9}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [got, want, tol] = cases[i];
    if (tol == 0) {
      EXPECT_EQ(got, want) << "row " << i;
    } else {
      EXPECT_NEAR(got, want, tol) << "row " << i;
    }
  }
  EXPECT_NE(dAtan2Deg(1, 1), 45.0);
}

TEST(calcMiscMath, DifferenceTruncationBitsAndArrayBounds) {
  // The sign bit and negative positions are not flags.
  const std::array<std::array<int, 3>, 6> bits{{{0, 0, 1}, {0, 30, 1 << 30}, {5, 2, 5}, {-1, 3, -1}, {8, 31, 8}, {8, -1, 8}}};
  for (const auto& [value, bit, want] : bits) EXPECT_EQ(lSetBit(value, bit), want) << value << " " << bit;
  const std::vector<double> never, v{1, 2, 3};
  const std::vector<std::vector<float>> grid(4, std::vector<float>(7)), ragged{{}};
  const std::array<int, 5> fixed{};
  // {got, want}; a dimension the array does not have gives the default asked for.
  const std::pair<double, double> bounds[] = {
      {dDim(3, 5), 0},           {dDim(5, 3), 2},              {dDim(4, 4), 0},            {dTrunc(2.7), 2},
      {dTrunc(-2.7), -2},        {dTrunc(1e300), 1e300},
      {UBound(never), 0},        {UBound(never, 1, -88), -88}, {LBound(never, 1, -1), -1}, {UBound(v), 2},
      {LBound(v), 0},            {UBound(v, 2, -1), -1},       {UBound(v, 0, -1), -1},     {UBound(grid, 1), 3},
      {UBound(grid, 2), 6},      {UBound(grid, 3, -88), -88},  {UBound(ragged, 2, -5), -5}, {UBound(fixed), 4}};
  for (std::size_t i = 0; i < std::size(bounds); ++i) EXPECT_EQ(bounds[i].first, bounds[i].second) << "row " << i;
}

}  // namespace
}  // namespace zw
