#include "models/terrain/clsQXAreaCovBU.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/terrain/modsBUmode.h"

namespace zw {
namespace {

class BUCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string mode, std::string minDist = "100",
                                                   std::string unit = "m") {
    return test::Fields({{"BU_REFLECT", "0"}, {"Min_Dist", minDist.c_str()}, {"MinDistUn", unit.c_str()},
                         {"Loss_Mode", mode.c_str()}, {"BU_DESC", "  Test BU  "}});
  }
  // 10 km at 0 m with one 150 m edge at mid-path; antennas 100 m above sea level, 300 MHz.
  static std::shared_ptr<test::GivenProfile> Profile(float edge = 150.0f) {
    auto p = test::Sampled(10000.0, 500.0, [edge](double x) { return x == 5000.0 ? edge : 0.0f; });
    p->dEndLat(0.09);
    p->dEndLon(0.0);
    return p;
  }
  static void Ready(clsQXAreaCovBU& c, std::shared_ptr<platform::clsPathElv> p, double freq = 300.0) {
    const double length = p->DIS_Array().empty() ? 10000.0 : p->DIS_Array().back();
    test::Ready(c, {.erpDbm = 60, .txAglM = 100, .txMslM = 100, .rxM = 100, .freqMHz = freq, .details = true,
                    .unDis = "km", .unElv = "m"},
                std::move(p), length);
  }
};

TEST_F(BUCalc, NamesReaderDefaultsKeysIgnoreCaseAndBlankUnit) {
  clsQXAreaCovBU c;
  auto m = Template("MIN DISTANCE", "100", "ft");
  m->Remove("BU_REFLECT");
  c.cPropMod(m);
  ASSERT_TRUE(c.cPropMod());
  EXPECT_EQ(c.iLossMode(), kBUModeMinDistance);
  EXPECT_DOUBLE_EQ(c.dReflect(), 0.0);
  EXPECT_NEAR(c.dMinDistM(), 30.48, 1e-9);
  EXPECT_EQ(c.sDesc(), "Test BU");
  clsQXAreaCovBU bu;
  bu.cPropMod(Template("OBSTACLE PEAKS", "250", "m"));
  ASSERT_TRUE(bu.cPropMod());
  EXPECT_DOUBLE_EQ(bu.dMinDistM(), 250.0);
  m = std::make_shared<FieldCollection>();
  m->Set("bu_reflect", std::string("0.3"));
  m->Set("MIN_DIST", std::string("5"));
  m->Set("MINDISTUN", std::string("  "));
  m->Set("LOSS_MODE", std::string("FIGURE 12"));
  bu.cPropMod(m);
  ASSERT_TRUE(bu.cPropMod());
  EXPECT_DOUBLE_EQ(bu.dMinDistM(), 250.0);  // blank unit: the previous value stays
  EXPECT_DOUBLE_EQ(bu.dReflect(), 0.3);
  EXPECT_EQ(bu.iLossMode(), kBUModeFigure12);
  EXPECT_EQ(bu.sDesc(), "");
}

TEST_F(BUCalc, ReaderRejectsMissingModeAndTemplateAndCovCalcMatchesLossRoutine) {
  clsQXAreaCovBU c;
  c.bSilent(true);
  auto m = Template("MIN DISTANCE");
  m->Remove("Loss_Mode");
  c.cPropMod(m);
  EXPECT_FALSE(c.cPropMod());
  EXPECT_NE(c.sReadError().find("BU Loss Mode"), std::string::npos);
  c.cPropMod(nullptr);
  EXPECT_FALSE(c.cPropMod());
  EXPECT_EQ(c.sReadError(), "");
  for (const char* mode : {"MIN DISTANCE", "INFLECTION", "OBSTACLE PEAKS", "FIGURE 12"}) {
    clsQXAreaCovBU c;
    c.cPropMod(Template(mode, "1", "m"));
    ASSERT_TRUE(c.cPropMod()) << mode;
    auto p = Profile();
    Ready(c, p);
    c.CovCalc();
    const BULossResult r = BULoss(21, p->DIS_Array(), p->ELV_Array(), 100, 100, 300, iBUModeCode(mode), 1.0, 0.0,
                                  p->dKFactor());
    ASSERT_TRUE(r.bOK);
    EXPECT_FALSE(c.bErrorRun()) << c.sPathError();
    EXPECT_LT(r.dLevelDB, -5.0) << mode;
    EXPECT_DOUBLE_EQ(c.dBullingtonLevel(), r.dLevelDB) << mode;
    EXPECT_DOUBLE_EQ(c.dModelLoss(), -r.dLevelDB);
    EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(10000.0, 60.0));
    EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() + r.dLevelDB);
    ASSERT_EQ(c.KnifeEdges().size(), r.edges.size());
    EXPECT_EQ(c.lErrLevel(), 0);
    EXPECT_EQ(c.lErrBits(), 0);
    EXPECT_FLOAT_EQ(c.rTgtElvM(), 0.0f);
    const std::string& t = c.sDetails();
    EXPECT_NE(t.find("\r\n\t(Slant distance for 10.00)"), std::string::npos) << t;
    if (!r.edges.empty()) {
      EXPECT_NE(t.find("\r\n\t Bullington knife-edge diffraction losses:"), std::string::npos) << t;
      EXPECT_NE(t.find(" dB at 5.00 km"), std::string::npos) << t;
      EXPECT_NE(t.find("Additional Estimated transmission loss: "), std::string::npos);
    } else {
      EXPECT_EQ(t.find("knife-edge"), std::string::npos) << mode;
    }
  }
}

TEST_F(BUCalc, ClearPathInvalidModeAndParametersByMode) {
  clsQXAreaCovBU c;
  c.cPropMod(Template("FIGURE 12"));
  auto p = Profile(20.0f);
  Ready(c, p);
  c.CovCalc();
  EXPECT_EQ(c.dBullingtonLevel(), 0.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld());
  EXPECT_EQ(c.sDetails().find("Bullington knife-edge"), std::string::npos);
  // A receiver height above sea level below the ground becomes 0.1 m above it.
  c.bMOBMSL(true);
  c.MOBAntM(-5.0);
  c.CovCalc();
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  // An invalid mode is logged and flagged.
  clsQXAreaCovBU c2;
  c2.cPropMod(Template("Figure 12"));  // not upper case
  ASSERT_TRUE(c2.cPropMod());
  EXPECT_EQ(c2.iLossMode(), kBUModeInvalid);
  Ready(c2, Profile());
  c2.CovCalc();
  EXPECT_TRUE(c2.bErrorRun());
  EXPECT_TRUE(std::isfinite(c2.dNetField()));
  EXPECT_LT(c2.dNetField(), -500.0);
  EXPECT_NE(Log().find("Unknown BUMode in bu_loss calc"), std::string::npos);
  // The parameter print-out by mode.
  const std::pair<const char*, const char*> rows[] = {
      {"OBSTACLE PEAKS", "based on OBSTACLE PEAKS\n\tObstacle resolution: 12.50 m\n \n"},
      {"INFLECTION", "based on INFLECTION\n \n"},
      {"nonsense", "based on UNKNOWN\n \n"}};
  for (const auto& [mode, want] : rows) {
    clsQXAreaCovBU c;
    c.cPropMod(Template(mode, "12.5", "m"));
    std::ostringstream o;
    c.PrtParameters(o);
    EXPECT_NE(o.str().find(want), std::string::npos) << o.str();
  }
}

}  // namespace
}  // namespace zw
