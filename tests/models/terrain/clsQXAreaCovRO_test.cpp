#include "models/terrain/clsQXAreaCovRO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"

namespace zw {
namespace {

class ROCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string mode, std::string res = "5", std::string unit = "ft") {
    return test::Fields(
        {{"RO_OBRES", res.c_str()}, {"RO_OBRESUN", unit.c_str()}, {"RO_AMODE", mode.c_str()}, {"RO_DESC", "Hills"}});
  }
  // 20 km at 0 m, 100 m steps, with a rounded hill of 200 m at 10 km.
  static std::shared_ptr<test::GivenProfile> Hill(float top = 200.0f) {
    auto p = test::Sampled(20000.0, 100.0, [top](double x) {
      x -= 10000.0;
      return static_cast<float>(std::max(0.0, top - x * x / 5000.0));
    });
    p->dEndLat(0.18);
    return p;
  }
  static void Ready(clsQXAreaCovRO& c, std::shared_ptr<platform::clsPathElv> p, double freq = 300.0) {
    const double length = p->DIS_Array().empty() ? 20000.0 : p->DIS_Array().back();
    test::Ready(c, {.erpDbm = 60, .txAglM = 30, .txMslM = 30, .rxM = 10, .freqMHz = freq, .details = true,
                    .unDis = "km", .unElv = "m"},
                std::move(p), length);
  }
};

TEST_F(ROCalc, Reader) {
  clsQXAreaCovRO c;
  c.cPropMod(std::make_shared<FieldCollection>());  // every default
  ASSERT_TRUE(c.cPropMod());
  EXPECT_NEAR(c.dResolutionM(), 1.524, 1e-12);
  EXPECT_EQ(c.iMode(), kROModeMin);
  c.cPropMod(Template("dif", "10", "m"));
  EXPECT_DOUBLE_EQ(c.dResolutionM(), 10.0);
  EXPECT_EQ(c.iMode(), kROModeDif);
  c.cPropMod(Template(" Fig 9.9 ", "0", "m"));
  ASSERT_TRUE(c.cPropMod());
  EXPECT_NEAR(c.dResolutionM(), 1.524, 1e-12);  // 0 or less: 5 ft
  EXPECT_EQ(c.iMode(), kROModeFig99);
  c.bSilent(true);
  c.cPropMod(Template("MIN", "5", "cubits"));
  EXPECT_FALSE(c.cPropMod());
  EXPECT_EQ(c.sReadError().rfind("Unit conversion error:\n", 0), 0u) << c.sReadError();
}

TEST_F(ROCalc, ModeNamesAndCombination) {
  for (int m : {kROModeMin, kROModeMax, kROModeDif, kROModeSca, kROModeFig99})
    EXPECT_EQ(iROModeCode(sROModeName(m)), m);
  EXPECT_EQ(iROModeCode("FIGURE 9.9"), kROModeFig99);
  EXPECT_EQ(sROModeName(7), "UNKNOWN");
  std::string w;
  EXPECT_EQ(dROCombine(kROModeMin, 20, 35, &w), 20);
  EXPECT_EQ(w, "(free space + diffraction) ");
  EXPECT_EQ(dROCombine(kROModeMin, 40, 35, &w), 35);
  EXPECT_EQ(w, "(free space + scatter) ");
  EXPECT_EQ(dROCombine(kROModeMax, 20, 35, &w), 35);
  EXPECT_EQ(dROCombine(kROModeSca, 20, 35, &w), 35);
  EXPECT_EQ(dROCombine(kROModeDif, 0, 35, &w), 0);
  EXPECT_EQ(w, "(free space) ");
  EXPECT_NEAR(dROCombine(kROModeFig99, 10, 10, &w), 10 - 10 * std::log10(2.0), 1e-12);
  EXPECT_EQ(w, "(free space + figure 9.9) ");
  EXPECT_EQ(dROCombine(kROModeFig99, 0, 50, &w), 0);
  EXPECT_EQ(w, "(free space) ");
  EXPECT_EQ(dROCombine(kROModeMin, std::nan(""), 30, &w), 0);
}

// Smooth earth, 200 km, antennas 10 m over flat sea-level ground, 1000 MHz,
// k = 4/3: each horizon lies sqrt(2 ae h) away and dips sqrt(2 h / ae) below
// the horizontal, so theta = 1000 (D / ae - 2 sqrt(2 h / ae)) mrad.
TEST_F(ROCalc, TroposcatterOverSmoothEarth) {
  test::ProfileArrays p = test::Flat(200000, 2000);  // 100 m steps
  const ROTroposcatter r = ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 1000, 4.0 / 3.0);
  ASSERT_TRUE(r.bOK) << r.sError;
  const double ae = 4.0 / 3.0 * 6370e3;
  const double theta = 1000.0 * (200e3 / ae - 2.0 * std::sqrt(2.0 * 10.0 / ae));
  EXPECT_NEAR(r.dThetaMrad, theta, 0.01);
  const double lbs = 190.0 - 2.5 * std::pow(std::log10(0.5), 2) + 20.0 * std::log10(200.0) + 0.573 * theta -
                     0.15 * 301 + 0.051;
  EXPECT_NEAR(r.dBasicLossDB, lbs, 0.01);
  EXPECT_NEAR(r.dFreeSpaceDB, 32.45 + 60.0 + 20.0 * std::log10(200.0), 1e-9);
  EXPECT_NEAR(r.dAttenDB, lbs - r.dFreeSpaceDB, 0.01);
  EXPECT_GT(r.dAttenDB, 50.0);
  // A hill in the way raises both horizons and the loss.
  p.e[1000] = 1500.0f;
  EXPECT_GT(ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 1000, 4.0 / 3.0).dAttenDB, r.dAttenDB + 5.0);
  // Bad input.
  EXPECT_FALSE(ROTroposcatterLoss(1, p.d, p.e, 10, 10, 1000, 0).bOK);
  EXPECT_FALSE(ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 0, 0).bOK);
  EXPECT_FALSE(ROTroposcatterLoss(3000, p.d, p.e, 10, 10, 100, 0).bOK);
}

TEST_F(ROCalc, CovCalcMatchesModelRoutinesAndClearPathIsFreeSpace) {
  for (const char* mode : {"MIN", "MAX", "DIF", "SCA", "FIG 9.9"}) {
    clsQXAreaCovRO c;
    c.cPropMod(Template(mode));
    auto p = Hill();
    Ready(c, p);
    c.CovCalc();
    ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
    const double k = p->dKFactor();
    const RODiffraction dr = RODiffractionLoss(201, p->DIS_Array(), p->ELV_Array(), 30, 10, 300, 1.524, k);
    const ROTroposcatter sr = ROTroposcatterLoss(201, p->DIS_Array(), p->ELV_Array(), 30, 10, 300, k);
    ASSERT_TRUE(dr.bOK && sr.bOK);
    ASSERT_EQ(dr.obstacles.size(), 1u);
    EXPECT_GT(dr.dAttenDB, 10.0);
    std::string which;
    const double a = dROCombine(iROModeCode(mode), dr.dAttenDB, sr.dAttenDB, &which);
    EXPECT_DOUBLE_EQ(c.dModelLoss(), a) << mode;
    EXPECT_EQ(c.sResult(), which);
    EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(20000.0, 60.0));
    EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() - a);
    const std::string& t = c.sDetails();
    EXPECT_NE(t.find(which), std::string::npos) << t;
    EXPECT_NE(t.find("\r\n\t N PATH LOC  ELEVATION    RADIUS   DISTANCE\r\n\t 1      100"), std::string::npos) << t;
    EXPECT_NE(t.find("\r\n\t PATH    START         OBS         END      DIST 1    DIST 2    RADIUS    ATTEN"),
              std::string::npos);
    EXPECT_NE(t.find("\r\n\tDiffraction Attenuation: "), std::string::npos);
    EXPECT_NE(t.find("\r\n\tTroposcatter Attenuation: "), std::string::npos);
    EXPECT_NE(t.find("\r\n\t  Free Space Attenuation: "), std::string::npos);
    const auto total = t.find("\r\n\t  Total Path Attenuation: ");
    ASSERT_NE(total, std::string::npos);
    EXPECT_EQ(t.find("\r\n", total + 2), std::string::npos);  // the last line
  }
  // A clear path is free space.
  clsQXAreaCovRO c;
  c.cPropMod(Template("DIF"));
  Ready(c, Hill(1.0f));
  c.FACTXmMSL(300.0);
  c.MOBAntM(300.0);
  c.CovCalc();
  EXPECT_EQ(c.dModelLoss(), 0.0);
  EXPECT_EQ(c.sResult(), "(free space) ");
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld());
}

}  // namespace
}  // namespace zw
