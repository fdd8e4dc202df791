#include "common/calcLogLinInterp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace zw {
namespace {

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
