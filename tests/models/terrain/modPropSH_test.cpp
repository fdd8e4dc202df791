#include "models/terrain/modPropSH.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "models/ProfileArrays.h"

namespace zw {
namespace {

using Profile = test::ProfileArrays;
using test::Flat;

// First Fresnel-zone radius r1 = sqrt(lambda d1 d2 / (d1 + d2)) (ITU-R P.526,
// eq. 2); at mid-path of 1 km at 300 MHz: sqrt(500 x 500 x 1 / 1000) = 15.81 m
// (the flat path itself is SHCalc's FlatPathSmallestRatioAtMidPath).
TEST(modPropSH, ObstructionGivesNegativeRatioFixedAngleRayGrazes) {
  Profile p = Flat(1000, 10, 0.0f);
  p.e[3] = 25.0f;  // 300 m: ray at 10 m, r = sqrt(300 x 700 / 1000) = 14.49 m
  const SHRatioResult r = SHRatio(1000, 10, 10, 1.0, p.last(), p.d, p.e, false, 0.0);
  EXPECT_NEAR(r.dRatio, -15.0 / std::sqrt(210.0), 1e-6);
  // Sloping ray: 10 m to 60 m over 1 km is 10 + 0.05 x 300 = 25 m at 300 m: grazing.
  const SHRatioResult g = SHRatio(1000, 10, 60, 1.0, p.last(), p.d, p.e, false, 0.0);
  EXPECT_NEAR(g.dRatio, 0.0, 1e-6);
  // The fixed-angle ray.
  EXPECT_DOUBLE_EQ(dSHFixedSlope(1.0), std::tan(0.0174532925));
  EXPECT_DOUBLE_EQ(dSHFixedSlope(0.0), 0.0);
  Profile p2 = Flat(1000, 10, 0.0f);
  p2.e[5] = 15.0f;
  // Ray from 10 m rising at slope 0.01: 15 m at 500 m, grazing the point; the
  // receiver height plays no part.
  const SHRatioResult r2 = SHRatio(1000, 10, -500, 1.0, p2.last(), p2.d, p2.e, true, 0.01);
  EXPECT_NEAR(r2.dRatio, 0.0, 1e-9);
}

TEST(modPropSH, ProfilesWithoutTestedPointsVoidsAndBadInput) {
  const Profile two = Flat(1000, 1, 0.0f);
  EXPECT_EQ(SHRatio(1000, 10, 10, 1.0, two.last(), two.d, two.e, false, 0).dRatio, 88888.0);
  // Points 1 .. n-2 are tested: a three-point profile tests none.
  Profile three = Flat(1000, 2, 0.0f);
  three.e[1] = 500.0f;
  EXPECT_EQ(SHRatio(1000, 10, 10, 1.0, three.last(), three.d, three.e, false, 0).dRatio, 88888.0);
  // The point next to the receiver is not tested.
  Profile p = Flat(1000, 10, 0.0f);
  p.e[9] = 500.0f;
  EXPECT_NEAR(SHRatio(1000, 10, 10, 1.0, p.last(), p.d, p.e, false, 0).dRatio, 10.0 / std::sqrt(250.0), 1e-12);
  // Zero path length.
  EXPECT_EQ(SHRatio(0, 10, 10, 1.0, p.last(), p.d, p.e, false, 0).dRatio, 0.0);
  EXPECT_EQ(SHRatio(-5, 10, 10, 1.0, p.last(), p.d, p.e, false, 0).dRatio, 0.0);
  // Voids are skipped.
  p.e[9] = 0.0f;
  p.e[5] = -32200.0f;
  p.e[4] = std::numeric_limits<float>::quiet_NaN();
  const SHRatioResult r = SHRatio(1000, 10, 10, 1.0, p.last(), p.d, p.e, false, 0.0);
  EXPECT_TRUE(r.bOK);
  EXPECT_NEAR(r.dRatio, 10.0 / std::sqrt(600.0 * 400.0 / 1000.0), 1e-12);  // nearest tested point to mid-path: 600 m
  // Bad input is refused.
  const Profile p2 = Flat(1000, 10, 0.0f);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto expectFail = [](const SHRatioResult& r) {
    EXPECT_FALSE(r.bOK);
    EXPECT_EQ(r.dRatio, 0.0);
    EXPECT_EQ(r.sLog.rfind("Error in SH_Ratio", 0), 0u);
  };
  expectFail(SHRatio(1000, 10, 10, 0.0, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, 10, 10, -1.0, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, 10, 10, nan, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, nan, 10, 1.0, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, 10, nan, 1.0, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, 10, 10, 1.0, p2.last(), p2.d, p2.e, true, nan));
  expectFail(SHRatio(nan, 10, 10, 1.0, p2.last(), p2.d, p2.e, false, 0));
  expectFail(SHRatio(1000, 10, 10, 1.0, p2.last() + 1, p2.d, p2.e, false, 0));  // beyond the arrays
  expectFail(SHRatio(1000, 10, 10, 1.0, -1, {}, {}, false, 0));            // empty profile
  expectFail(SHRatio(1000, 10, 10, 1.0, 0, {}, {}, false, 0));
  Profile zeroEnd = Flat(1000, 10, 0.0f);
  zeroEnd.d.back() = 0.0;
  expectFail(SHRatio(1000, 10, 10, 1.0, zeroEnd.last(), zeroEnd.d, zeroEnd.e, false, 0));
}

}  // namespace
}  // namespace zw
