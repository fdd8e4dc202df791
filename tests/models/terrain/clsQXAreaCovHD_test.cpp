#include "models/terrain/clsQXAreaCovHD.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"

namespace zw {
namespace {

class HDCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string area = "SUBURBAN") {
    return test::Fields({{"AREA_COR", area.c_str()}, {"hd_hstrt", "3"}, {"hd_hstrtun", "km"}, {"hd_hstop", "16"},
                         {"hd_hstopun", "km"}, {"hd_hradial", "0, 90, 180,270"}, {"HD_DESC", "Mobile"}});
  }
  // 100 m ground, 250 m steps, to the given length; transmitter 200 m above sea level.
  static std::shared_ptr<test::GivenProfile> Profile(double length) {
    auto p = test::Sampled(length, 250.0, test::Level(100.0f));
    p->dEndLat(0.1);
    return p;
  }
  static void Ready(clsQXAreaCovHD& c, double length, double freq = 150.0) {
    test::Ready(c, {.erpDbm = 50, .txAglM = 100, .txMslM = 200, .rxM = 1.5, .freqMHz = freq, .details = true,
                    .unElv = "m"},
                Profile(length), length);
  }
};

TEST_F(HDCalc, ReaderAreaTypesDistancesAndInvalidAreaTypeMessage) {
  clsQXAreaCovHD c;
  c.cPropMod(Template("suburban"));
  ASSERT_TRUE(c.cPropMod());
  EXPECT_EQ(c.sAreaType(), "SUBURBAN      ");
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 3000.0);
  EXPECT_DOUBLE_EQ(c.dHaatStopM(), 16000.0);
  EXPECT_EQ(c.Radials(), (std::vector<double>{0, 90, 180, 270}));
  EXPECT_FALSE(c.bLUArea());
  EXPECT_FALSE(c.bLULoss());

  auto m = Template();
  m->Remove("AREA_COR");
  m->Set("hd_hstrt", std::string("0"));  // takes the setting: 3 km by default
  m->Set("hd_hstop", std::string("5"));
  m->Set("hd_hstopun", std::string("mi"));
  m->Set("hd_hradial", std::string(""));
  m->Set("HD_LULOSS", std::string("1"));
  c.cPropMod(m);
  ASSERT_TRUE(c.cPropMod());
  EXPECT_EQ(c.sAreaType(), "NO CORRECTION ");
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 3000.0);
  EXPECT_NEAR(c.dHaatStopM(), 8046.72, 1e-6);
  EXPECT_EQ(c.sRadials(), "0 45 90 135 180 225 270 315");
  EXPECT_EQ(c.Radials().size(), 8u);
  EXPECT_TRUE(c.bLULoss());
  // An invalid area type.
  clsQXAreaCovHD bad;
  bad.cPropMod(Template("downtown"));
  EXPECT_FALSE(bad.cPropMod());
  const auto shown = messages->Log();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Invalid Setting");
  EXPECT_EQ(shown[0].text.rfind("Invalid Area Type setting for Hata/Davidson:\nDOWNTOWN\n\nTask: ", 0), 0u)
      << shown[0].text;
  messages->Clear();
  bad.bSilent(true);
  bad.cPropMod(Template("downtown"));
  EXPECT_TRUE(messages->Log().empty());
  EXPECT_NE(Log().find("Invalid Area Type setting for Hata/Davidson:"), std::string::npos);
}

TEST_F(HDCalc, CovCalcUsesRadialHaatAndOutOfRangeInputsWarn) {
  clsQXAreaCovHD c;
  c.cPropMod(Template("SUBURBAN"));
  Ready(c, 20000.0);
  c.CovCalc();
  EXPECT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_DOUBLE_EQ(c.dHaatM(), 100.0);
  const HDLoss r = HDCalcLoss(150.0, 100.0, 1.5, 20000.0, HDAreaType::Suburban);
  EXPECT_DOUBLE_EQ(c.dModelLoss(), r.dModelLoss);
  EXPECT_GT(c.dModelLoss(), 0.0);
  EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(20000.0, 50.0));
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() - c.dModelLoss());
  EXPECT_NEAR(c.Loss().dA5, -0.6, 1e-9);  // (150/250) log(1500/150)
  const std::string& t = c.sDetails();
  EXPECT_NE(t.find("\r\n\tBasic Hata/Davidson Loss: "), std::string::npos) << t;
  EXPECT_NE(t.find("dB(HAAT=100.0 m)"), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n\tAdjustment for Area Type: "), std::string::npos);
  EXPECT_NE(t.find("SUBURBAN       (template area type)"), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n\tAdjustment for Frequency: -0.6dB"), std::string::npos) << t;
  EXPECT_NE(t.find("Additional Estimated transmission loss: "), std::string::npos);
  EXPECT_EQ(t.find("free-space value used"), std::string::npos);
  EXPECT_TRUE(c.Warnings().empty());
  // Inputs outside Hata's formulas as Davidson extended them (30 ... 1500 MHz,
  // HAAT 30 ... 2500 m, mobile 1 ... 10 m, 1 ... 300 km) each give a warning;
  // the loss is the same as without.
  clsQXAreaCovHD w;
  w.cPropMod(Template("SUBURBAN"));
  Ready(w, 500.0);  // 0.5 km
  w.CovCalc();
  ASSERT_EQ(w.Warnings().size(), 1u);
  EXPECT_NE(w.Warnings()[0].find("Hata/Davidson: distance 0.5 km is outside the published range"), std::string::npos)
      << w.Warnings()[0];
  EXPECT_DOUBLE_EQ(w.dModelLoss(), HDCalcLoss(150.0, w.dHaatM(), 1.5, 500.0, HDAreaType::Suburban).dModelLoss);
  Ready(w, 20000.0);
  w.CovCalc();
  EXPECT_TRUE(w.Warnings().empty());
  // A path shorter than the HAAT window has no averaging points.
  w.cPropMod(Template("URBAN-MEDIUM"));
  Ready(w, 2000.0, 300.0);
  w.CovCalc();
  EXPECT_DOUBLE_EQ(w.dHaatM(), 200.0);  // the transmitter height above sea level
  EXPECT_EQ(w.Loss().dA1, 0.0);         // urban at 300 MHz: no receiver-height adjustment
}

TEST_F(HDCalc, BelowFreeSpaceUsesFreeSpace) {
  // A very short open path from a high base: the Hata loss falls below free space.
  const HDLoss r = HDCalcLoss(1500.0, 100.0, 10.0, 300.0, HDAreaType::Open);
  ASSERT_TRUE(r.bFreeSpaceUsed);
  EXPECT_LT(r.dLoss, r.dFreeSpace);
  EXPECT_EQ(r.dModelLoss, 0.0);
  clsQXAreaCovHD c;
  c.cPropMod(Template("OPEN"));
  Ready(c, 300.0, 1500.0);
  c.MOBAntM(10.0);
  c.FACTXmMSL(100.0);  // over ground at 0 m: HAAT 100 m
  auto p = Profile(300.0);
  std::vector<float> e(p->ELV_Array().size(), 0.0f);
  p->ELV_Array(e);
  c.cPathElv(p);
  c.CovCalc();
  EXPECT_EQ(c.dModelLoss(), 0.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld());
  EXPECT_NE(c.sDetails().find("\r\n\t** calculation exceeded free-space field;  free-space value used **"),
            std::string::npos);
}

}  // namespace
}  // namespace zw
