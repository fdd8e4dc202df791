// The SMR calculator: the broadcast-curve calculator under the SM keys,
// names, default channel and message text.
#include "models/curves/clsQXAreaCovSM.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "common/Config.h"
#include "models/CalcHarness.h"
#include "models/curves/modPropBC.h"

namespace zw {
namespace {

using test::Facility;

class SMCalcTest : public test::ModelTestEnv {
 protected:
  SMCalcTest() : ModelTestEnv({.configHome = true, .resetErrorDisplay = false}) {}
};

TEST_F(SMCalcTest, NamesAndKeys) {
  clsQXAreaCovSM c;
  auto t = std::make_shared<FieldCollection>();
  t->Set("SM_hstrt", std::string("1"));
  t->Set("SM_hstrtun", std::string("km"));
  t->Set("SM_hstop", std::string("5"));
  t->Set("SM_hstopun", std::string("km"));
  t->Set("SM_hradial", std::string("0,180"));
  t->Set("SM_curve", std::string("10"));
  t->Set("SM_DESC", std::string("SMR"));
  t->Set("bc_curve", std::string("90"));  // the broadcast keys are not read
  c.cPropMod(t);
  ASSERT_TRUE(c.cPropMod());
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 1000.0);
  EXPECT_DOUBLE_EQ(c.dHaatStopM(), 5000.0);
  EXPECT_EQ(c.sRadials(), "0 180");
  EXPECT_EQ(c.iPercentage(), 10);
  EXPECT_EQ(c.sDesc(), "SMR");
}

TEST_F(SMCalcTest, SettingsFallbacksUseSmKeys) {
  std::ofstream(CoverageSettingsFile()) << "[QXCoverage]\nSM_HStrt=2|km\nSM_HStop=8|km\nSM_CRV=90\n"
                                           "BC_HStrt=1|km\nBC_CRV=10\nSM Channel Default=20\n";
  clsQXAreaCovSM c;
  c.cPropMod(std::make_shared<FieldCollection>());
  ASSERT_TRUE(c.cPropMod());
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 2000.0);
  EXPECT_DOUBLE_EQ(c.dHaatStopM(), 8000.0);
  EXPECT_EQ(c.iPercentage(), 90);
  c.cFAC(Facility(30.0));
  EXPECT_EQ(c.iChannel(), 20);
}

TEST_F(SMCalcTest, ChannelOfSmrFrequencyAndDefault) {
  clsQXAreaCovSM c;
  c.cFAC(Facility(851.0));
  EXPECT_EQ(c.iChannel(), 69);  // UHF curves
  c.cFAC(Facility(30.0));
  EXPECT_EQ(c.iChannel(), 14);
}

TEST_F(SMCalcTest, PathFieldOnUhfCurves) {
  clsQXAreaCovSM c;
  c.bSilent(true);
  c.cPropMod(std::make_shared<FieldCollection>());
  c.FACERPdBm(60.0);  // 0 dBk
  c.FACTXmMSL(304.8 + 50.0);
  c.cFAC(Facility(851.0));
  // 10 miles along a 20 km profile of 50 m ground, a point every 1 km.
  test::RunKm(c, test::Along(40.0, -100.0, 45.0, 20.0, 1000, test::Level(50.0f)), 16.09344, 45.0);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dHaatFt(), 1000.0, 1e-6);
  // F(50,50) UHF at 1000 ft and 10 miles: 72.0 dBu for 1 kW.
  EXPECT_NEAR(c.dNetField(), 72.0, 0.05);
}

}  // namespace
}  // namespace zw
