// The calculation helpers of the models: guarded math (calcMiscMath) and
// interpolation in the logarithm of x (calcLogLinInterp).
#include "common/calcMiscMath.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "common/calcLogLinInterp.h"

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

const std::vector<float> kXs{1.0f, 10.0f, 20.0f, 100.0f, 1000.0f};
const std::vector<float> kYs{5.0f, -3.0f, 7.5f, 0.0f, 40.0f};
const std::vector<double> kXd{1.0, 10.0, 20.0, 100.0, 1000.0};
const std::vector<double> kYd{5.0, -3.0, 7.5, 0.0, 40.0};

TEST(calcLogLinInterp, EndsAndNodesGiveTableValues) {
  EXPECT_EQ(LogLinInterpSng(0, 4, kXs, kYs, 1.0f), 5.0f);
  EXPECT_EQ(LogLinInterpSng(0, 4, kXs, kYs, 1000.0f), 40.0f);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(LogLinInterpSng(0, 4, kXs, kYs, kXs[i]), kYs[i]) << i;
    EXPECT_EQ(LogLinInterpDbl(0, 4, kXd, kYd, kXd[i]), kYd[i]) << i;
  }
  // No extrapolation beyond either end.
  EXPECT_EQ(LogLinInterpSng(0, 4, kXs, kYs, 0.01f), 5.0f);
  EXPECT_EQ(LogLinInterpDbl(0, 4, kXd, kYd, -5.0), 5.0);
  EXPECT_EQ(LogLinInterpDbl(0, 4, kXd, kYd, 1e9), 40.0);
}

TEST(calcLogLinInterp, LinearInTheLogarithmOfXOnTheTableOrASubrange) {
  // The geometric mean of two abscissas gives the mean of their ordinates.
  for (int i = 0; i < 4; ++i) {
    const double xm = std::sqrt(kXd[i] * kXd[i + 1]);
    EXPECT_NEAR(LogLinInterpDbl(0, 4, kXd, kYd, xm), (kYd[i] + kYd[i + 1]) / 2, 1e-12) << i;
    EXPECT_NEAR(LogLinInterpSng(0, 4, kXs, kYs, float(xm)), (kYs[i] + kYs[i + 1]) / 2, 1e-5) << i;
  }
  // A tenth of the way on a log scale between 100 and 1000 (x = 10^2.1).
  EXPECT_NEAR(LogLinInterpDbl(0, 4, kXd, kYd, std::pow(10.0, 2.1)), 4.0, 1e-12);
  // Not linear in x: halfway in x between 10 and 20 is past halfway in log x.
  EXPECT_GT(LogLinInterpDbl(0, 4, kXd, kYd, 15.0), (kYd[1] + kYd[2]) / 2);
  // Only lo..hi is read: the clamps use X(lo) and X(hi) of the subrange.
  EXPECT_EQ(LogLinInterpDbl(1, 3, kXd, kYd, 2.0), -3.0);
  EXPECT_EQ(LogLinInterpDbl(1, 3, kXd, kYd, 500.0), 0.0);
  EXPECT_NEAR(LogLinInterpDbl(1, 3, kXd, kYd, std::sqrt(2000.0)), 3.75, 1e-12);
  EXPECT_EQ(LogLinInterpDbl(2, 2, kXd, kYd, 50.0), 7.5);  // a one-point range
}

TEST(calcLogLinInterp, BadIndexesAndNaN) {
  EXPECT_THROW(LogLinInterpSng(0, 5, kXs, kYs, 2.0f), std::out_of_range);
  EXPECT_THROW(LogLinInterpDbl(-1, 3, kXd, kYd, 2.0), std::out_of_range);
  EXPECT_THROW(LogLinInterpDbl(3, 2, kXd, kYd, 2.0), std::out_of_range);
  const std::vector<double> shortY{1.0, 2.0};
  EXPECT_THROW(LogLinInterpDbl(0, 3, kXd, shortY, 2.0), std::out_of_range);
  EXPECT_TRUE(std::isnan(LogLinInterpDbl(0, 4, kXd, kYd, std::nan(""))));
}

}  // namespace
}  // namespace zw
