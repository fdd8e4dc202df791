// The SMR calculator: the broadcast-curve calculator under the SM keys,
// names, default channel and message text.
#include "models/curves/clsQXAreaCovSM.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "ModelTestEnv.h"
#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "geo/Geodesic.h"
#include "models/curves/modPropBC.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {
namespace {

class SMCalcTest : public test::ModelTestEnv {
 protected:
  SMCalcTest() : ModelTestEnv({.configHome = true, .resetErrorDisplay = false}) {}
  static std::shared_ptr<FieldCollection> Facility(double freqMHz) {
    auto f = std::make_shared<FieldCollection>();
    f->Set("TX_FREQMHZ", freqMHz);
    return f;
  }
  static std::shared_ptr<test::GivenProfile> Path(double lengthKm, float ground) {
    auto p = std::make_shared<test::GivenProfile>();
    p->dStartLat(40.0);
    p->dStartLon(-100.0);
    double lat = 0, lon = 0;
    Geodesic::ForwardKm(40.0, -100.0, 45.0, lengthKm, lat, lon);
    p->dEndLat(lat);
    p->dEndLon(lon);
    std::vector<double> d;
    std::vector<float> e;
    for (int i = 0; i <= static_cast<int>(lengthKm); ++i) {
      d.push_back(i * 1000.0);
      e.push_back(ground);
    }
    p->DIS_Array(std::move(d));
    p->ELV_Array(std::move(e));
    return p;
  }
};

TEST_F(SMCalcTest, NamesAndKeys) {
  clsQXAreaCovSM c;
  EXPECT_EQ(c.sNameModel(), "Specialized Mobile Radio");
  EXPECT_EQ(c.sNameModel2(), "SM");
  EXPECT_TRUE(c.bDirectContourCalc());
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

TEST_F(SMCalcTest, BadWindowLabelNamesSm) {
  auto t = std::make_shared<FieldCollection>();
  t->Set("SM_hstrt", std::string("2"));
  t->Set("SM_hstrtun", std::string("parsecs"));
  clsQXAreaCovSM c;
  c.bSilent(true);
  c.cPropMod(t);
  EXPECT_FALSE(c.cPropMod());
  EXPECT_EQ(c.sReadError(), "SM HAAT Start Distance\nInvalid setting: 2 parsecs");
}

TEST_F(SMCalcTest, PathFieldOnUhfCurvesAndZeroLengthMessage) {
  clsQXAreaCovSM c;
  c.bSilent(true);
  c.cPropMod(std::make_shared<FieldCollection>());
  c.FACERPdBm(60.0);  // 0 dBk
  c.FACTXmMSL(304.8 + 50.0);
  c.cFAC(Facility(851.0));
  auto p = Path(20.0, 50.0f);
  c.cPathElv(p);
  c.PathElvEnd(p->dEndLat(), p->dEndLon(), 45.0);
  c.dPathLthM(16093.44);  // 10 miles
  c.CovCalc();
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dHaatFt(), 1000.0, 1e-6);
  // F(50,50) UHF at 1000 ft and 10 miles: 72.0 dBu for 1 kW.
  EXPECT_NEAR(c.dNetField(), 72.0, 0.05);

  c.dPathLthM(0.0);
  c.CovCalc();
  EXPECT_TRUE(c.bErrorRun());
  std::ifstream in(tmp.path() / "ZWTECSUP.TXT");
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_NE(s.str().find("Zero-length path in ClsQXAreaCovSM.CovCalc"), std::string::npos);
}

}  // namespace
}  // namespace zw
