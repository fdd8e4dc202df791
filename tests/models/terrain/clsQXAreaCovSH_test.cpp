#include "models/terrain/clsQXAreaCovSH.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "models/CalcHarness.h"
#include "models/terrain/modPropSH.h"

namespace zw {
namespace {

class SHCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string fixed, std::string angle = "") {
    auto m = test::Fields({{"SH_BFIXED", fixed.c_str()}, {"SH_DESC", "Half Fresnel"}});
    if (!angle.empty()) m->Set("SH_VALFIX", angle);
    return m;
  }
  // Flat ground at 0 m, 1 km in 10 m steps, both antennas 10 m above sea level, 300 MHz.
  static std::shared_ptr<test::GivenProfile> Flat(int points = 101) {
    auto p = test::Sampled(1000.0, 1000.0 / (points - 1), test::Level(0.0f));
    p->dEndLat(0.009);
    return p;
  }
  static void Ready(clsQXAreaCovSH& c, std::shared_ptr<platform::clsPathElv> p, double length = 1000.0) {
    test::Ready(c, {.erpDbm = 40, .txAglM = 10, .txMslM = 10, .rxM = 10, .freqMHz = 300, .details = true},
                std::move(p), length);
  }
};

TEST_F(SHCalc, Reader) {
  clsQXAreaCovSH c;
  c.cPropMod(Template("0", "5"));
  ASSERT_TRUE(c.cPropMod());
  EXPECT_FALSE(c.bFixed());
  EXPECT_EQ(c.dFixedAngle(), 0.0);  // read only with the flag set
  c.cPropMod(Template("1", "1"));
  ASSERT_TRUE(c.cPropMod());
  EXPECT_TRUE(c.bFixed());
  EXPECT_DOUBLE_EQ(c.dFixedSlope(), std::tan(0.0174532925));
  c.cPropMod(Template("True", "2"));
  EXPECT_TRUE(c.bFixed());
  c.bSilent(true);
  c.cPropMod(Template("1", "90"));
  EXPECT_FALSE(c.cPropMod());  // a vertical ray has no slope
  auto m = Template("0");
  m->Remove("SH_BFIXED");
  c.cPropMod(m);
  EXPECT_FALSE(c.cPropMod());
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
  nf.cPropMod(Template("0"));
  nf.bSilent(true);
  nf.cPathElv(Flat());
  nf.dPathLthM(1000);
  nf.CovCalc();  // no facility: no wavelength
  EXPECT_TRUE(nf.bErrorRun());
  EXPECT_NE(Log().find("Error in SH_Ratio"), std::string::npos);
  std::ostringstream b;
  nf.PrtParameters(b);
  EXPECT_EQ(b.str().find("Fixed Angle"), std::string::npos);
}

}  // namespace
}  // namespace zw
