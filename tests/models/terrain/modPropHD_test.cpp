#include "models/terrain/modPropHD.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/clsQXAreaCovHD.h"

namespace zw {
namespace {

TEST(modPropHD, AreaTypeNames) {
  const auto& names = HDAreaTypeNames();
  for (const auto& n : names) EXPECT_EQ(n.size(), 14u) << n;
  EXPECT_EQ(names[0], "NO CORRECTION ");
  EXPECT_EQ(names[5], "OPEN          ");
  EXPECT_EQ(sHDAreaTypeName(HDAreaType::QuasiOpen), "QUASI-OPEN    ");
  const std::pair<const char*, int> index[] = {{"URBAN-LARGE   ", 1}, {"urban-medium", 2}, {"SUBURBAN", 3},
                                                {"NO CORRECTION ", 0}, {"OPEN ", 5},          {"CITY", -1},
                                                {" OPEN", -1},         {"", -1},              {"              ", -1}};
  for (const auto& [name, i] : index) EXPECT_EQ(iHDAreaTypeIndex(name), i) << '"' << name << '"';
}

// Every term of r, {L0, A1 .. A5, loss, free space, model loss} (dB), each within its tolerance.
void ExpectTerms(const HDLoss& r, const std::array<double, 9>& want, const std::array<double, 9>& tol) {
  const double got[] = {r.dL0, r.dA1, r.dA2, r.dA3, r.dA4, r.dA5, r.dLoss, r.dFreeSpace, r.dModelLoss};
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tol[i]) << "term " << i;
}

// Hata (IEEE Trans. VT-29, 1980), large city, f >= 400 MHz:
// L = 69.55 + 26.16 log f - 13.82 log hb - a(hm) + (44.9 - 6.55 log hb) log dkm,
// a(hm) = 3.2 (log 11.75 hm)^2 - 4.97. 900 MHz, hb 50 m, hm 1.5 m, 10 km:
// L0 = 69.55 + 77.2830 - 23.4798 + 33.7717 = 157.1250 dB, a(1.5) = -0.0009 dB,
// frequency term -(900/250) log(1500/900) = -0.7987 dB, free space 111.5849 dB.
TEST(modPropHD, HataUrbanHandComputation) {
  const HDLoss r = HDCalcLoss(900, 50, 1.5, 10000, HDAreaType::UrbanLarge);
  ASSERT_TRUE(r.bOK);
  ExpectTerms(r, {157.12497, 0.000919, 0, 0, 0, -0.798655, 156.32723, 111.58485, 44.74238},
              {1e-4, 1e-6, 0, 0, 0, 1e-6, 1e-4, 1e-4, 1e-4});
  EXPECT_FALSE(r.bFreeSpaceUsed);
}

// Davidson extensions (TIA TSB-88 form) on a long, high path, open area:
// 150 MHz, hb 500 m, hm 3 m, 80 km.
//   A3 = 0.62137 (80 - 20)(0.5 + 0.15 log(500/121.92)) - 0.174 (80 - 64.38) = 19.3507
//   A4 = -0.00784 |log(9.98/80)| (500 - 300) = -1.4174
//   A5 = -(150/250) log 10 - 0.112 log 10 (80 - 40.238) = -5.0533
//   open: -4.78 (log 150)^2 + 18.33 log 150 - 40.94 = -23.6873
//   medium-city a(hm): (1.1 log 150 - 0.7) 3 - (1.56 log 150 - 0.8) = 2.4864
TEST(modPropHD, DavidsonLongPathHandComputation) {
  const HDLoss r = HDCalcLoss(150, 500, 3, 80000, HDAreaType::Open);
  ASSERT_TRUE(r.bOK);
  ExpectTerms(r, {140.98222, -2.48640, -23.68733, 19.35073, -1.41741, -5.053344, 127.68846, 114.08362, 13.60484},
              {1e-4, 1e-4, 1e-4, 1e-4, 1e-4, 1e-5, 1e-4, 1e-4, 1e-4});
  // Quasi-open is the open value + 5 dB.
  const HDLoss q = HDCalcLoss(150, 500, 3, 80000, HDAreaType::QuasiOpen);
  EXPECT_NEAR(q.dA2, r.dA2 + 5.0, 1e-12);
}

TEST(modPropHD, AdjustmentsByAreaTypeAndFrequency) {
  // Suburban (Hata): -2 (log(f/28))^2 - 5.4 = -8.3091 at 450 MHz.
  EXPECT_NEAR(HDCalcLoss(450, 30, 1.5, 5000, HDAreaType::Suburban).dA2, -8.309135, 1e-6);
  EXPECT_EQ(HDCalcLoss(450, 30, 1.5, 5000, HDAreaType::NoCorrection).dA2, 0.0);
  // Urban between 200 and 400 MHz: no receiver-height adjustment.
  EXPECT_EQ(HDCalcLoss(300, 30, 1.5, 5000, HDAreaType::UrbanMedium).dA1, 0.0);
  // Urban at 150 MHz: -(8.29 (log(1.54 x 3))^2 - 1.1).
  EXPECT_NEAR(HDCalcLoss(150, 30, 3, 5000, HDAreaType::UrbanLarge).dA1,
              -(8.29 * std::pow(std::log10(1.54 * 3), 2) - 1.1), 1e-12);
  // hm 1.5 m at 150 MHz, medium-city formula (non-urban types): near 0 (Hata's reference height).
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 5000, HDAreaType::Suburban).dA1, 0.0541, 1e-4);
  // Frequency term: 0 at 1500 MHz, -0.6 dB at 150 MHz (short paths).
  EXPECT_NEAR(HDCalcLoss(1500, 30, 1.5, 5000, HDAreaType::Open).dA5, 0.0, 1e-12);
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 5000, HDAreaType::Open).dA5, -0.6, 1e-12);
  // Range terms start beyond 20 km, 40.238 km and 64.38 km only.
  EXPECT_EQ(HDCalcLoss(150, 30, 1.5, 20000, HDAreaType::Open).dA3, 0.0);
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 40238, HDAreaType::Open).dA5, -0.6, 1e-12);
  EXPECT_NEAR(HDCalcLoss(150, 121.92, 1.5, 30000, HDAreaType::Open).dA3, 0.62137 * 10 * 0.5, 1e-9);
  // Base height term only above 300 m.
  EXPECT_EQ(HDCalcLoss(150, 300, 1.5, 50000, HDAreaType::Open).dA4, 0.0);
}

TEST(modPropHD, RadialHeightAboveAverageTerrainAndBadInputRefusedWithoutNaN) {
  // 1 km steps to 20 km, elevation = km x 10.
  auto [d, e] = test::Stepped(20000, 1000, [](double x) { return x / 100; });
  const int n = static_cast<int>(d.size());
  // 3 km to 16 km inclusive: mean of 30 .. 160 = 95.
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, n, 3000, 16000), 95.0);
  // A path shorter than the start distance: no points, average 0 (HAAT = antenna height above sea level).
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, 3, 3000, 16000), 0.0);
  // Voids are not averaged.
  e[10] = -32200.0f;
  e[11] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, n, 9000, 12000), (90.0 + 120.0) / 2.0);
  // Scan ends at the first point beyond the stop distance.
  std::vector<double> back{0, 4000, 20000, 5000};
  std::vector<float> be{0, 100, 900, 300};
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, 4, 3000, 16000), 100.0);
  // Count beyond the arrays and empty profiles.
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, 99, 3000, 16000), 100.0);
  EXPECT_DOUBLE_EQ(dHDAverageTerrain({}, {}, 5, 3000, 16000), 0.0);
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, -1, 3000, 16000), 0.0);
  // Bad input is refused without NaN.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const HDLoss& r : {HDCalcLoss(150, 100, 1.5, 0, HDAreaType::Open), HDCalcLoss(150, 100, 1.5, -10, HDAreaType::Open),
                          HDCalcLoss(0, 100, 1.5, 1000, HDAreaType::Open), HDCalcLoss(nan, 100, 1.5, 1000, HDAreaType::Open),
                          HDCalcLoss(150, nan, 1.5, 1000, HDAreaType::Open), HDCalcLoss(150, 100, nan, 1000, HDAreaType::Open)}) {
    EXPECT_FALSE(r.bOK);
    EXPECT_FALSE(r.sError.empty());
    EXPECT_EQ(r.dModelLoss, 0.0);
  }
  // A base below the average terrain is computed (guarded logarithms) and flagged.
  const HDLoss low = HDCalcLoss(150, -40, 1.5, 10000, HDAreaType::Open);
  EXPECT_TRUE(low.bOK);
  EXPECT_TRUE(low.bBaseNotPositive);
  EXPECT_TRUE(std::isfinite(low.dModelLoss));
}

// ------------------------------------------------------------ the calculator

class HDCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string area = "SUBURBAN") {
    return test::Fields({{"AREA_COR", area.c_str()}, {"hd_hstrt", "3"}, {"hd_hstrtun", "km"}, {"hd_hstop", "16"},
                         {"hd_hstopun", "km"}, {"hd_hradial", "0, 90, 180,270"}, {"HD_DESC", "Mobile"}});
  }
  // 100 m ground, 250 m steps, to the given length; transmitter 200 m above sea level.
  static std::shared_ptr<test::GivenProfile> Profile(double length) {
    return test::EndingAt(test::Sampled(length, 250.0, test::Level(100.0f)), 0.1);
  }
  static void Ready(clsQXAreaCovHD& c, double length, double freq = 150.0) {
    test::Ready(c, {.erpDbm = 50, .txAglM = 100, .txMslM = 200, .rxM = 1.5, .freqMHz = freq, .details = true,
                    .unElv = "m"},
                Profile(length), length);
  }
};

TEST_F(HDCalc, ReaderAreaTypesDistancesAndInvalidAreaTypeMessage) {
  clsQXAreaCovHD c;
  ASSERT_TRUE(test::Accepts(c, Template("suburban")));
  EXPECT_EQ(c.sAreaType(), "SUBURBAN      ");
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 3000.0);
  EXPECT_DOUBLE_EQ(c.dHaatStopM(), 16000.0);
  EXPECT_EQ(c.Radials(), (std::vector<double>{0, 90, 180, 270}));
  EXPECT_FALSE(c.bLUArea());
  EXPECT_FALSE(c.bLULoss());

  // No area type; a start of 0 takes the setting, 3 km by default.
  ASSERT_TRUE(test::Accepts(c, test::Fields({{"hd_hstrt", "0"}, {"hd_hstrtun", "km"}, {"hd_hstop", "5"},
                                             {"hd_hstopun", "mi"}, {"hd_hradial", ""}, {"HD_DESC", "Mobile"},
                                             {"HD_LULOSS", "1"}})));
  EXPECT_EQ(c.sAreaType(), "NO CORRECTION ");
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 3000.0);
  EXPECT_NEAR(c.dHaatStopM(), 8046.72, 1e-6);
  EXPECT_EQ(c.sRadials(), "0 45 90 135 180 225 270 315");
  EXPECT_EQ(c.Radials().size(), 8u);
  EXPECT_TRUE(c.bLULoss());
  // An invalid area type.
  clsQXAreaCovHD bad;
  EXPECT_FALSE(test::Accepts(bad, Template("downtown")));
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
  for (const char* line : {"\r\n\tBasic Hata/Davidson Loss: ", "dB(HAAT=100.0 m)", "\r\n\tAdjustment for Area Type: ",
                           "SUBURBAN       (template area type)", "\r\n\tAdjustment for Frequency: -0.6dB",
                           "Additional Estimated transmission loss: "})
    EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
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
