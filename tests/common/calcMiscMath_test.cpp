#include "common/calcMiscMath.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace zw {
namespace {

TEST(calcMiscMath, GuardedLogarithmAndArcTangentWithModelPi) {
  EXPECT_NEAR(dLog10(1000), 3.0, 1e-15);
  EXPECT_NEAR(dLog10(0.01), -2.0, 1e-15);
  EXPECT_NEAR(rLog10(100.0f), 2.0f, 1e-6f);
  // Outside the domain the result is 1, not 0, and never NaN.
  EXPECT_EQ(dLog10(0), 1.0);
  EXPECT_EQ(dLog10(-5), 1.0);
  EXPECT_EQ(dLog10(std::nan("")), 1.0);
  EXPECT_EQ(rLog10(0.0f), 1.0f);
  EXPECT_EQ(rLog10(-1.0f), 1.0f);
  // The arc tangent uses the model's pi.
  EXPECT_NEAR(dAtan2(1, 0), 1.570796325, 1e-12);
  EXPECT_NEAR(dAtan2(-1, 0), -1.570796325, 1e-12);
  EXPECT_EQ(dAtan2(0, 0), 0.0);
  EXPECT_EQ(dAtan2(1e-14, -1e-14), 0.0);
  EXPECT_NEAR(dAtan2(-1, -1), std::atan(1.0) - 3.14159265, 1e-12);
  EXPECT_NEAR(dAtan2(-1, -1), -2.3561944866, 1e-9);
  EXPECT_NEAR(dAtan2(0, -1), 3.14159265, 1e-12);  // y = 0 counts as upper half
  EXPECT_NEAR(dAtan2(1, 1), std::atan(1.0), 1e-15);
  EXPECT_NEAR(dAtan2Deg(1, 1), 45.0000000514, 1e-9);
  EXPECT_NE(dAtan2Deg(1, 1), 45.0);
}

TEST(calcMiscMath, DifferenceTruncationBitsAndArrayBounds) {
  EXPECT_EQ(dDim(3, 5), 0.0);
  EXPECT_EQ(dDim(5, 3), 2.0);
  EXPECT_EQ(dDim(4, 4), 0.0);
  EXPECT_EQ(dTrunc(2.7), 2.0);
  EXPECT_EQ(dTrunc(-2.7), -2.0);
  EXPECT_EQ(dTrunc(1e300), 1e300);
  // The sign bit and negative positions are not flags.
  const std::array<std::array<int, 3>, 6> bits{{{0, 0, 1}, {0, 30, 1 << 30}, {5, 2, 5}, {-1, 3, -1}, {8, 31, 8}, {8, -1, 8}}};
  for (const auto& [value, bit, want] : bits) EXPECT_EQ(lSetBit(value, bit), want) << value << " " << bit;
  std::vector<double> never;
  EXPECT_EQ(UBound(never), 0);
  EXPECT_EQ(UBound(never, 1, -88), -88);
  EXPECT_EQ(LBound(never, 1, -1), -1);
  const std::vector<double> v{1, 2, 3};
  EXPECT_EQ(UBound(v), 2);
  EXPECT_EQ(LBound(v), 0);
  EXPECT_EQ(UBound(v, 2, -1), -1);  // no second dimension
  EXPECT_EQ(UBound(v, 0, -1), -1);
  const std::vector<std::vector<float>> grid(4, std::vector<float>(7));
  EXPECT_EQ(UBound(grid, 1), 3);
  EXPECT_EQ(UBound(grid, 2), 6);
  EXPECT_EQ(UBound(grid, 3, -88), -88);
  const std::vector<std::vector<float>> ragged{{}};
  EXPECT_EQ(UBound(ragged, 2, -5), -5);
  const std::array<int, 5> fixed{};
  EXPECT_EQ(UBound(fixed), 4);
}

}  // namespace
}  // namespace zw
