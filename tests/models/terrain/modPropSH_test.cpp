#include "models/terrain/modPropSH.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/clsQXAreaCovSH.h"

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

// ------------------------------------------------------------ the calculator

class SHCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string fixed, std::string angle = "") {
    auto m = test::Fields({{"SH_BFIXED", fixed.c_str()}, {"SH_DESC", "Half Fresnel"}});
    if (!angle.empty()) m->Set("SH_VALFIX", angle);
    return m;
  }
  // Flat ground at 0 m, 1 km in 10 m steps, both antennas 10 m above sea level, 300 MHz.
  static std::shared_ptr<test::GivenProfile> Flat(int points = 101) {
    return test::EndingAt(test::Sampled(1000.0, 1000.0 / (points - 1), test::Level(0.0f)), 0.009);
  }
  static void Ready(clsQXAreaCovSH& c, std::shared_ptr<platform::clsPathElv> p, double length = 1000.0) {
    test::Ready(c, {.erpDbm = 40, .txAglM = 10, .txMslM = 10, .rxM = 10, .freqMHz = 300, .details = true},
                std::move(p), length);
  }
};

TEST_F(SHCalc, Reader) {
  clsQXAreaCovSH c;
  ASSERT_TRUE(test::Accepts(c, Template("0", "5")));
  EXPECT_FALSE(c.bFixed());
  EXPECT_EQ(c.dFixedAngle(), 0.0);  // read only with the flag set
  ASSERT_TRUE(test::Accepts(c, Template("1", "1")));
  EXPECT_TRUE(c.bFixed());
  EXPECT_DOUBLE_EQ(c.dFixedSlope(), std::tan(0.0174532925));
  c.cPropMod(Template("True", "2"));
  EXPECT_TRUE(c.bFixed());
  c.bSilent(true);
  EXPECT_FALSE(test::Accepts(c, Template("1", "90")));  // a vertical ray has no slope
  auto m = Template("0");
  m->Remove("SH_BFIXED");
  EXPECT_FALSE(test::Accepts(c, m));
  EXPECT_NE(c.sReadError().find("SH Fixed Angle Flag"), std::string::npos);
}

TEST_F(SHCalc, FlatPathSmallestRatioAtMidPath) {
  clsQXAreaCovSH c;
  c.cPropMod(Template("0"));
  auto p = Flat();
  Ready(c, p);
  c.CovCalc();
  EXPECT_FALSE(c.bErrorRun());
  EXPECT_NEAR(c.dNetField(), 10.0 / std::sqrt(500.0 * 500.0 / 1000.0), 1e-9);  // 0.632
  EXPECT_NEAR(c.dNetField(), 0.632456, 1e-6);
  const SHRatioResult r = SHRatio(1000, 10, 10, 1.0, p->iLastPoint(), p->DIS_Array(), p->ELV_Array(), false, 0);
  EXPECT_DOUBLE_EQ(c.dNetField(), r.dRatio);
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
  EXPECT_EQ(c.dModelLoss(), 0.0);
  EXPECT_EQ(c.sDetails().rfind("Azimuth ", 0), 0u);
  EXPECT_NE(c.sDetails().find("Free Space Field: ("), std::string::npos);
}

TEST_F(SHCalc, FixedAngleRayShortAndEmptyProfilesAndNoFrequency) {
  clsQXAreaCovSH c;
  c.cPropMod(Template("1", "1"));
  auto p = Flat();
  Ready(c, p);
  c.CovCalc();
  const SHRatioResult r =
      SHRatio(1000, 10, 10, 1.0, p->iLastPoint(), p->DIS_Array(), p->ELV_Array(), true, std::tan(0.0174532925));
  EXPECT_DOUBLE_EQ(c.dNetField(), r.dRatio);
  // A rising ray clears flat ground better than the level one.
  EXPECT_GT(c.dNetField(), 0.7);
  clsQXAreaCovSH s;
  s.cPropMod(Template("0"));
  Ready(s, Flat(2));
  s.CovCalc();
  EXPECT_EQ(s.dNetField(), 88888.0);  // no interior points
  EXPECT_FALSE(s.bErrorRun());

  // An empty profile that stays empty: reported with the end point, the ratio
  // routine's result for what is held.
  auto empty = std::make_shared<test::GivenProfile>();
  empty->dEndLat(12.345);
  empty->dEndLon(-98.765);
  Ready(s, empty);
  s.CovCalc();
  EXPECT_TRUE(s.bErrorRun());
  EXPECT_TRUE(std::isfinite(s.dNetField()));
  EXPECT_NE(s.sPathError().find("12.35"), std::string::npos) << s.sPathError();
  EXPECT_NE(s.sPathError().find("-98.77"), std::string::npos);
  EXPECT_NE(Log().find("12.35"), std::string::npos);
  // No frequency is logged; no fixed angle printed.
  clsQXAreaCovSH nf;
  test::Ready(nf, {.tmpl = Template("0")}, Flat(), 1000);
  nf.CovCalc();  // no facility: no wavelength
  EXPECT_TRUE(nf.bErrorRun());
  EXPECT_NE(Log().find("Error in SH_Ratio"), std::string::npos);
  std::ostringstream b;
  nf.PrtParameters(b);
  EXPECT_EQ(b.str().find("Fixed Angle"), std::string::npos);
}

}  // namespace
}  // namespace zw
