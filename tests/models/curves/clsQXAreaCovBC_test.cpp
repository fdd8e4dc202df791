// The broadcast-curve calculator: parameter reader and its settings
// fallbacks, channel of the facility, the path branch against the curve
// routines, ERP toward the azimuth and the horizon, the contour branch, the
// details text, the parameter print-out and bad input.
#include "models/curves/clsQXAreaCovBC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "common/FreeSpace.h"
#include "platform/NumberFormat.h"
#include "models/CalcHarness.h"
#include "models/curves/modPropBC.h"
#include "platform/terrain/clsLandUse.h"

namespace zw {
namespace {

constexpr double kFt = 0.3048;
using test::Mobile;

std::shared_ptr<FieldCollection> Facility(double freqMHz, double gainDbd = 0.0) {
  return test::Facility(freqMHz, gainDbd);
}

class BCCalcTest : public test::ModelTestEnv {
 protected:
  BCCalcTest() : ModelTestEnv({.configHome = true}) {}
  // A path due east from (44, -71): points every 500 m to lengthKm, ground
  // `ground` m except `bump` m between 5 and 8 km.
  static std::shared_ptr<test::GivenProfile> Path(double lengthKm, float ground, float bump = -1) {
    return test::Along(
        44.0, -71.0, 90.0, lengthKm, 500,
        [=](double x) { return bump >= 0 && x >= 5000 && x <= 8000 ? bump : ground; }, true);
  }
  // A ready calculator: channel of freq, ERP erpDbk, antenna at txMSL m.
  static void Ready(clsQXAreaCovBC& c, double freq, double erpDbk, double txMSL,
                    std::shared_ptr<FieldCollection> tmpl = std::make_shared<FieldCollection>()) {
    test::Ready(c, {.tmpl = std::move(tmpl), .erpDbm = erpDbk + 60.0, .txAglM = 50.0, .txMslM = txMSL, .rxM = 2.0});
    c.cFAC(Facility(freq));
    c.cMOB(Mobile(60.0));
  }
};

// ---------------------------------------------------------------- reader

TEST_F(BCCalcTest, ReaderDefaultsWithoutTemplateValuesOrSettings) {
  clsQXAreaCovBC c;
  c.cPropMod(std::make_shared<FieldCollection>());
  ASSERT_TRUE(c.cPropMod());
  EXPECT_DOUBLE_EQ(c.dHaatStartM(), 3000.0);
  EXPECT_DOUBLE_EQ(c.dHaatStopM(), 16000.0);
  EXPECT_EQ(c.iPercentage(), 50);
  EXPECT_EQ(c.sRadials(), "0 45 90 135 180 225 270 315");
  EXPECT_EQ(c.daRadials().size(), 8u);
  EXPECT_EQ(c.sDesc(), "{DEFAULTS SET IN RAVOPROP}");
  EXPECT_EQ(c.lErrLevel(), 0);
  EXPECT_EQ(c.lErrBits(), 0);
}

TEST_F(BCCalcTest, ReaderTakesTemplateValues) {
  auto t = std::make_shared<FieldCollection>();
  t->Set("bc_hstrt", std::string("2"));
  t->Set("bc_hstrtun", std::string("mi"));
  t->Set("bc_hstop", 10.0);
  t->Set("bc_hstopun", std::string("mi"));
  t->Set("bc_hradial", std::string("0,90,,  180   270"));
  t->Set("bc_curve", std::string("10"));
  t->Set("BC_DESC", std::string("  My template "));
  clsQXAreaCovBC c;
  c.cPropMod(t);
  ASSERT_TRUE(c.cPropMod());
  EXPECT_NEAR(c.dHaatStartM(), 2 * 1609.344, 1e-6);
  EXPECT_NEAR(c.dHaatStopM(), 10 * 1609.344, 1e-6);
  EXPECT_EQ(c.sRadials(), "0 90 180 270");
  ASSERT_EQ(c.daRadials().size(), 4u);
  EXPECT_DOUBLE_EQ(c.daRadials()[3], 270.0);
  EXPECT_EQ(c.iPercentage(), 10);
  EXPECT_EQ(c.sDesc(), "My template");

  for (const auto& [text, pct] : std::vector<std::pair<std::string, int>>{{"90", 90}, {"50", 50}, {"75", 50}}) {
    t->Set("bc_curve", text);
    c.cPropMod(t);
    EXPECT_EQ(c.iPercentage(), pct) << text;
  }
}

TEST_F(BCCalcTest, ReaderFallsBackToSettingsForMissingOrNonPositiveValues) {
  Settings("BC_HStrt=1|mi\nBC_HStop=20|km\nBC_HRadial=10, 20\nBC_CRV=90\n");
  auto t = std::make_shared<FieldCollection>();
  t->Set("bc_hstrt", std::string("0"));    // not positive
  t->Set("bc_hstrtun", std::string("km"));
  t->Set("bc_hstop", std::string("12"));   // no unit
  clsQXAreaCovBC c;
  c.cPropMod(t);
  ASSERT_TRUE(c.cPropMod());
  EXPECT_NEAR(c.dHaatStartM(), 1609.344, 1e-6);
  EXPECT_NEAR(c.dHaatStopM(), 20000.0, 1e-6);
  EXPECT_EQ(c.sRadials(), "10 20");
  EXPECT_EQ(c.iPercentage(), 90);
}

TEST_F(BCCalcTest, ReaderRejectsWindowEndingBeforeItStarts) {
  clsQXAreaCovBC c;
  // A window that ends before it starts would average no terrain at all.
  auto w = std::make_shared<FieldCollection>();
  w->Set("bc_hstrt", std::string("16"));
  w->Set("bc_hstrtun", std::string("km"));
  w->Set("bc_hstop", std::string("3"));
  w->Set("bc_hstopun", std::string("km"));
  c.bSilent(true);
  c.cPropMod(w);
  EXPECT_FALSE(c.cPropMod());
  EXPECT_EQ(c.sReadError(), "BC HAAT Stop Distance\nInvalid setting: 3 km");
  EXPECT_TRUE(messages->Log().empty());  // silent: logged only
}

// --------------------------------------------------------------- channel

TEST_F(BCCalcTest, ChannelFromFacilityFrequencyOrSettingsDefault) {
  clsQXAreaCovBC c;
  c.cFAC(Facility(98.1));
  EXPECT_EQ(c.iChannel(), 251);
  c.cFAC(Facility(615.0));
  EXPECT_EQ(c.iChannel(), 38);
  c.cFAC(Facility(851.0));
  EXPECT_EQ(c.iChannel(), 69);
  c.cFAC(Facility(30.0));
  EXPECT_EQ(c.iChannel(), 222);
  Settings("BC Channel Default=5\n");
  c.cFAC(Facility(30.0));
  EXPECT_EQ(c.iChannel(), 5);
}

// ----------------------------------------------------------- path branch

TEST_F(BCCalcTest, PathBranchMatchesCurveLossAndUsesWindowHaat) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  // Ground 100 m, but 300 m between 5 and 8 km: inside the 3-16 km window.
  auto p = Path(30.0, 100.0f, 300.0f);
  test::RunKm(c, p, 30.0);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  // Window 3..16 km at 500 m steps: 27 points, 7 of them (5.0..8.0 km) at 300 m.
  const double avg = (20 * 100.0 + 7 * 300.0) / 27.0;
  EXPECT_NEAR(c.dHaatFt(), (400.0 - avg) / kFt, 1e-6);
  const double mi = 30000.0 / 1609.344;
  EXPECT_NEAR(c.dDistMi(), mi, 1e-12);
  std::string err;
  const double loss = BC_Loss(mi, c.dHaatFt(), 38, 50, 10.0, err);
  EXPECT_EQ(err, "");
  EXPECT_NEAR(c.dModelLoss(), loss, 1e-9);
  EXPECT_NEAR(c.dFreeSpaceFld(), FreeSpaceFieldMi(mi, 10.0), 1e-9);
  double fld = 0;
  BC_Fld(38, c.dHaatFt(), 10.0, 50, mi, fld, err);
  EXPECT_NEAR(c.dNetField(), fld, 1e-6);  // the curve field, below free space here
  EXPECT_FLOAT_EQ(c.rTgtElvM(), 100.0f);
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
}

TEST_F(BCCalcTest, HaatWindowStopsAtFirstPointBeyondItsEnd) {
  const std::vector<double> d{0, 2000, 3000, 10000, 16000, 16500, 12000};
  const std::vector<float> e{999, 999, 100, 200, 300, 999, 999};
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 7, 3000, 16000), 200.0);
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 2, 3000, 16000), 0.0);  // no point in the window
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 99, 3000, 16000), 200.0);  // count past the arrays
  const std::vector<float> voids{0, 0, platform::kNoElevation, 200, 300, 0, 0};
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, voids, 7, 3000, 16000), 250.0);
}

TEST_F(BCCalcTest, NetFieldNeverAboveFreeSpace) {
  for (double freq : {57.0, 98.1, 180.0, 615.0}) {
    for (const char* pct : {"10", "50", "90"}) {
      auto t = std::make_shared<FieldCollection>();
      t->Set("bc_curve", std::string(pct));
      clsQXAreaCovBC c;
      Ready(c, freq, 20.0, 1500.0, t);
      for (double km : {0.5, 1.6, 5.0, 17.0, 40.0, 120.0, 320.0, 500.0}) {
        test::RunKm(c, Path(km, 0.0f), km);
        ASSERT_FALSE(c.bErrorRun());
        EXPECT_LE(c.dNetField(), c.dFreeSpaceFld() + 1e-9) << freq << " " << pct << " " << km;
        EXPECT_GE(c.dModelLoss(), 0.0);
        EXPECT_TRUE(std::isfinite(c.dNetField()));
      }
    }
  }
}

TEST_F(BCCalcTest, ChannelOutsideEveryBandGivesFreeSpace) {
  Settings("BC Channel Default=150\n");
  clsQXAreaCovBC c;
  Ready(c, 30.0, 0.0, 300.0);
  ASSERT_EQ(c.iChannel(), 150);
  test::RunKm(c, Path(20.0, 0.0f), 20.0);
  // No grid: field = ERP, far below free space, so the loss is the difference.
  EXPECT_NEAR(c.dNetField(), 0.0, 1e-9);
}

TEST_F(BCCalcTest, HorizontalPatternLowersErpTowardAzimuth) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  c.cFAC(Facility(615.0, 3.0));
  // Absolute gains: 3 dBd north, -3 dBd east.
  c.daHaz({0, 0, 90, 180, 270});
  c.daHgain({0, 3, -3, 3, 3});
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_NEAR(c.dErpAzDbk(), 10.0 - 6.0, 1e-9);
  EXPECT_NEAR(c.dErpHorDbk(), c.dErpAzDbk(), 1e-12);  // no vertical pattern
  EXPECT_NEAR(c.dFreeSpaceFld(), FreeSpaceFieldMi(30000 / 1609.344, 4.0), 1e-9);
}

TEST_F(BCCalcTest, VerticalPatternUsesThisPathsHaat) {
  // A pattern at full gain up to 0.5 degrees below the horizontal, 3 dB down
  // from 0.52 degrees.
  auto setup = [&](clsQXAreaCovBC& c) {
    Ready(c, 615.0, 10.0, 400.0);
    c.daVel({0, -10, 0.5, 0.52, 10});
    c.daVgain({0, 0, 0, -3, -3});
  };
  // HAAT 300 m: horizon 0.0277*sqrt(300) = 0.48 deg (full gain);
  // HAAT 600 m: 0.68 deg (3 dB down).
  auto low = Path(30.0, 100.0f);
  auto high = Path(30.0, -200.0f);
  clsQXAreaCovBC a;
  setup(a);
  test::RunKm(a, low, 30.0);
  EXPECT_NEAR(a.dErpHorDbk(), 10.0, 1e-9);
  test::RunKm(a, high, 30.0);
  EXPECT_NEAR(a.dErpHorDbk(), 7.0, 1e-9);
  clsQXAreaCovBC b;  // a fresh calculator on the second path agrees
  setup(b);
  test::RunKm(b, high, 30.0);
  EXPECT_NEAR(b.dErpHorDbk(), a.dErpHorDbk(), 1e-12);
  EXPECT_NEAR(b.dNetField(), a.dNetField(), 1e-12);
}

TEST_F(BCCalcTest, HorizonGainRules) {
  const std::vector<double> el{0, -10, 0, 1, 10}, g{0, 6, 6, 0, 0};
  bool err = true;
  // FM: the maximum whatever the pattern.
  EXPECT_DOUBLE_EQ(BCHorizonGain(1000, 251, 6.0, 0, 4, el, g, 0, 0, 0, err), 6.0);
  EXPECT_FALSE(err);
  // No pattern, other channels.
  EXPECT_DOUBLE_EQ(BCHorizonGain(1000, 38, 6.0, 0, 0, {0}, {0}, 0, 0, 0, err), 6.0);
  EXPECT_DOUBLE_EQ(BCHorizonGain(1000, 150, 6.0, 0, 4, el, g, 0, 0, 0, err), 6.0);
  // TV, HAAT 1000 ft: horizon at 0.0277*sqrt(304.8) = 0.4836 deg, gain 6 - 6*0.4836.
  const double a = 0.0277 * std::sqrt(304.8);
  EXPECT_NEAR(BCHorizonGain(1000, 38, 6.0, 0, 4, el, g, 0, 0, 0, err), 6.0 - 6.0 * a, 1e-9);
  // Low HAAT: at least 30 m, angle 0.1517 deg, 0.91 dB down: within 0.91515, so the maximum.
  EXPECT_DOUBLE_EQ(BCHorizonGain(10, 38, 6.0, 0, 4, el, g, 0, 0, 0, err), 6.0);
  // A failed lookup (no angle): flagged, and the maximum gain (no cut).
  EXPECT_DOUBLE_EQ(BCHorizonGain(std::nan(""), 38, 6.0, 0, 4, el, g, 0, 0, 0, err), 6.0);
  EXPECT_TRUE(err);
}

// -------------------------------------------------------- contour branch

TEST_F(BCCalcTest, ContourBranchGivesCurveContourAndPoint) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  c.sTaskType("Contour");
  ASSERT_TRUE(c.bContourStudy());
  c.bDetails(true);
  c.sDetailUnDis("km");
  c.sDetailUnElv("ft");
  auto p = Path(80.0, 100.0f);
  test::RunKm(c, p, 80.0);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  double mi = 0;
  EXPECT_EQ(BC_Contour(mi, c.dHaatFt(), 38, 50, 10.0, 60.0), "");
  EXPECT_GT(mi, 1.0);
  EXPECT_NEAR(c.dContourDistMi(), mi, 1e-12);
  EXPECT_NEAR(c.dContourDistKm(), mi * 1.609344, 1e-12);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(44.0, -71.0, c.dAzimuth(), mi * 1.609344, lat, lon);
  EXPECT_NEAR(c.dContourLat(), lat, 1e-9);
  EXPECT_NEAR(c.dContourLon(), lon, 1e-9);
  EXPECT_DOUBLE_EQ(c.dNetField(), 60.0);
  // Details: contour distance on the first line, no path lines.
  const std::string& d = c.sDetails();
  EXPECT_EQ(d.rfind("Azimuth 90.00 ", 0), 0u) << d;
  EXPECT_NE(d.find(FormatNumber(mi * 1.609344, "####0.00") + " km"), std::string::npos) << d;
  EXPECT_EQ(d.find("Free Space Field"), std::string::npos);
  EXPECT_EQ(d.find("Additional Estimated"), std::string::npos);
  EXPECT_NE(d.find("\r\n\tPath terrain HAAT: " + FormatNumber(c.dHaatFt(), "#####0.00") + " ft"), std::string::npos)
      << d;

  // Only "Contour" and "CONTOUR" select the branch.
  c.sTaskType("contour");
  EXPECT_FALSE(c.bContourStudy());
  c.sTaskType("CONTOUR");
  EXPECT_TRUE(c.bContourStudy());
}

TEST_F(BCCalcTest, ContourOfEveryCurveMatchesTheCurveRoutine) {
  for (const char* pct : {"10", "50", "90"}) {
    for (double thr : {30.0, 60.0, 95.0, 140.0}) {
      auto t = std::make_shared<FieldCollection>();
      t->Set("bc_curve", std::string(pct));
      clsQXAreaCovBC c;
      Ready(c, 98.1, 20.0, 600.0, t);
      c.cMOB(Mobile(thr));
      c.sTaskType("CONTOUR");
      test::RunKm(c, Path(40.0, 100.0f), 40.0);
      ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
      double mi = 0;
      EXPECT_EQ(BC_Contour(mi, c.dHaatFt(), 251, c.iPercentage(), 20.0, thr), "");
      EXPECT_NEAR(c.dContourDistMi(), mi, 1e-12) << pct << " " << thr;
      EXPECT_GT(c.dContourDistMi(), 0.0);
      EXPECT_DOUBLE_EQ(c.dNetField(), thr);
    }
  }
}

TEST_F(BCCalcTest, ContourWithoutThresholdIsFlaggedNotNaN) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  c.cMOB(std::make_shared<FieldCollection>());
  c.sTaskType("Contour");
  test::RunKm(c, Path(80.0, 100.0f), 80.0);
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  EXPECT_LT(c.dNetField(), -500.0);
  EXPECT_EQ(c.dContourDistMi(), 0.0);
  EXPECT_NE(Log().find("RX_A1FLD"), std::string::npos);
}

// --------------------------------------------------------------- details

TEST_F(BCCalcTest, PathDetailLines) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  c.bDetails(true);
  c.sDetailUnPwr("dBk");
  c.sDetailUnDis("km");
  c.sDetailUnElv("m");
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  const std::string& d = c.sDetails();
  EXPECT_EQ(d.rfind("Azimuth 90.00 10.000 dBk 30.00 km ", 0), 0u) << d;
  EXPECT_NE(d.find("\r\n\tFree Space Field: (10.000 dBk@30.00 km) " + FormatNumber(c.dFreeSpaceFld(), "###0.00") +
                   " dBu"),
            std::string::npos)
      << d;
  EXPECT_NE(d.find("\r\n\tAdditional Estimated transmission loss: " + FormatNumber(c.dModelLoss(), "###0.00") + " dB"),
            std::string::npos);
  EXPECT_NE(d.find("\r\n\tPath terrain HAAT: 300.00 m"), std::string::npos) << d;
  EXPECT_EQ(d.find("Land Use"), std::string::npos);
}

TEST_F(BCCalcTest, LandUseLineWhenLandUseIsOnAndDetailsAppend) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  auto lu = std::make_shared<platform::clsLandUse>();
  lu->bUse(true);  // no data: code 0, loss 0
  c.cLandUse(lu);
  c.bDetails(true);
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
  const std::string first = c.sDetails();
  EXPECT_NE(first.find("\r\n\tLand Use Classification: 0  0dB"), std::string::npos) << first;
  // The caller clears the text; without that, the next path is added to it.
  c.CovCalc();
  EXPECT_EQ(c.sDetails(), first + first);
}

TEST_F(BCCalcTest, ParameterPrintOut) {
  auto t = std::make_shared<FieldCollection>();
  t->Set("bc_hstrt", std::string("2"));
  t->Set("bc_hstrtun", std::string("mi"));
  t->Set("bc_hstop", std::string("10"));
  t->Set("bc_hstopun", std::string("mi"));
  t->Set("bc_curve", std::string("90"));
  t->Set("BC_DESC", std::string("Test"));
  clsQXAreaCovBC c;
  c.cPropMod(t);
  std::ostringstream out;
  EXPECT_TRUE(c.PrtParameters(out));
  EXPECT_EQ(out.str(),
            "Broadcast (Part 73) Propagation Study\n"
            "Parameter Template: Test\n"
            "FCC Part 73 f(50,90) curves\n"
            "Radial HAAT based on elevations 2.00 to 10.00 mi\n"
            "Site HAAT based on radials 0 45 90 135 180 225 270 315\n"
            "\n");
}

// ------------------------------------------------------------- bad input

TEST_F(BCCalcTest, ZeroLengthPathIsReportedAndGetsNoField) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  c.bSilent(false);
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  ASSERT_FALSE(c.bErrorRun());
  test::RunKm(c, Path(30.0, 100.0f), 0.0);
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_LT(c.dNetField(), -500.0);  // not the previous path's field
  ASSERT_EQ(messages->Log().size(), 1u);
  c.bSilent(true);
  c.dPathLthM(std::nan(""));
  c.CovCalc();
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_EQ(messages->Log().size(), 1u);
}

TEST_F(BCCalcTest, BadInputsGiveNoNaN) {
  clsQXAreaCovBC c;
  Ready(c, 615.0, 10.0, 400.0);
  // No profile object.
  c.dPathLthM(10000.0);
  c.CovCalc();
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  // An empty profile.
  auto empty = test::Arrays({}, {});
  empty->dStartLat(44.0);
  empty->dStartLon(-71.0);
  empty->dEndLat(44.0);
  empty->dEndLon(-70.8);
  test::RunKm(c, empty, 16.0);
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  // A NaN antenna height or ERP.
  c.FACTXmMSL(std::nan(""));
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  c.FACTXmMSL(400.0);
  c.FACERPdBm(std::nan(""));
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_TRUE(c.bErrorRun());
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  // A NaN threshold in a contour study (the collection reads it as 0).
  c.FACERPdBm(70.0);
  c.cMOB(Mobile(std::nan("")));
  c.sTaskType("Contour");
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  EXPECT_TRUE(std::isfinite(c.dContourDistMi()));
  // Good input again recovers.
  c.cMOB(Mobile(60.0));
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_FALSE(c.bErrorRun());
  EXPECT_DOUBLE_EQ(c.dNetField(), 60.0);
}

}  // namespace
}  // namespace zw
