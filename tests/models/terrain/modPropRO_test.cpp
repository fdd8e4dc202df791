#include "models/terrain/modPropRO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zw {
namespace {

std::vector<double> Steps(std::size_t n, double step = 100.0) {
  std::vector<double> d(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<double>(i) * step;
  return d;
}

TEST(modPropRO, LocalMaximaAndPlateaus) {
  const std::vector<float> e{0, 10, 5, 5, 8, 8, 8, 2, 20, 20, 30};
  const auto d = Steps(e.size());
  std::vector<int> peaks;
  std::string err;
  ASSERT_TRUE(ROPeaks(d, e, static_cast<int>(e.size()), 0.0, peaks, err));
  // 10 at 1; the 8-plateau 4..6 stands by its middle point 5; the rise to the
  // receiver end has no peak.
  EXPECT_EQ(peaks, (std::vector<int>{1, 5}));
}

TEST(modPropRO, ResolutionDropsSmallBumps) {
  // A 2 m bump on a 40 m hill: with 5 m resolution only the hill counts.
  const std::vector<float> e{0, 10, 20, 30, 40, 35, 37, 20, 0};
  const auto d = Steps(e.size());
  std::vector<int> peaks;
  std::string err;
  ASSERT_TRUE(ROPeaks(d, e, static_cast<int>(e.size()), 0.0, peaks, err));
  EXPECT_EQ(peaks, (std::vector<int>{4, 6}));
  ASSERT_TRUE(ROPeaks(d, e, static_cast<int>(e.size()), 5.0, peaks, err));
  EXPECT_EQ(peaks, (std::vector<int>{4}));
  ASSERT_TRUE(ROPeaks(d, e, static_cast<int>(e.size()), 45.0, peaks, err));
  EXPECT_TRUE(peaks.empty());
  // Only the first points are looked at.
  ASSERT_TRUE(ROPeaks(d, e, 5, 0.0, peaks, err));
  EXPECT_TRUE(peaks.empty());
}

TEST(modPropRO, VoidsArePassedOver) {
  std::vector<float> e{0, 5, -32200, 9, std::numeric_limits<float>::quiet_NaN(), 3, 0};
  const auto d = Steps(e.size());
  std::vector<int> peaks;
  std::string err;
  ASSERT_TRUE(ROPeaks(d, e, static_cast<int>(e.size()), 0.0, peaks, err));
  EXPECT_EQ(peaks, (std::vector<int>{3}));
}

TEST(modPropRO, ShortAndBadProfiles) {
  std::vector<int> peaks{7};
  std::string err;
  EXPECT_TRUE(ROPeaks({}, {}, 0, 0.0, peaks, err));
  EXPECT_TRUE(peaks.empty());
  const std::vector<double> d2{0, 100};
  const std::vector<float> e2{5, 9};
  EXPECT_TRUE(ROPeaks(d2, e2, 2, 0.0, peaks, err));
  EXPECT_TRUE(peaks.empty());

  const std::vector<double> d{0, 100, 50, 300};
  const std::vector<float> e{0, 10, 0, 0};
  EXPECT_FALSE(ROPeaks(d, e, 4, 0.0, peaks, err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(ROPeaks(d2, e2, 3, 0.0, peaks, err));  // beyond the arrays
  EXPECT_FALSE(ROPeaks(d2, e2, -1, 0.0, peaks, err));
  EXPECT_FALSE(ROPeaks(d2, e2, 2, std::nan(""), peaks, err));
  const std::vector<double> dn{0, std::nan(""), 200};
  const std::vector<float> en{0, 10, 0};
  EXPECT_FALSE(ROPeaks(dn, en, 3, 0.0, peaks, err));
  EXPECT_TRUE(peaks.empty());
}

}  // namespace
}  // namespace zw
