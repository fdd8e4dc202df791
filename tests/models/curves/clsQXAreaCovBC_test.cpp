// The broadcast-curve calculator and its SMR form: the HAAT window reader
// the radial-HAAT calculators share, curve and channel, the path branch
// against the curve routines, ERP toward the azimuth and the horizon, the
// contour branch, the details text and bad input of its own.
#include "models/curves/clsQXAreaCovBC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "common/FreeSpace.h"
#include "platform/NumberFormat.h"
#include "models/CalcHarness.h"
#include "models/curves/clsQXAreaCovCG.h"
#include "models/curves/clsQXAreaCovSM.h"
#include "common/Config.h"
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

// The HAAT window, site radials and description the radial-HAAT calculators
// share, each under its own template and setting keys.
struct WindowModel {
  const char* code;
  std::function<std::unique_ptr<clsQXAreaCov>()> make;
  const char* key;  // template key prefix; settings take the upper-case one
  const char* cfg;
  const char* extra;  // a template key the model needs besides ("" none)
};

void PrintTo(const WindowModel& w, std::ostream* os) { *os << w.code; }

class HaatWindowOf : public test::ModelTestEnv, public ::testing::WithParamInterface<WindowModel> {
 protected:
  HaatWindowOf() : ModelTestEnv({.configHome = true}) {}
  // start, stop (m), radials, description of template t, or the read error.
  std::string Read(std::initializer_list<std::pair<std::string, std::string>> kv) {
    const WindowModel& w = GetParam();
    auto t = std::make_shared<FieldCollection>();
    if (*w.extra) t->Set(w.extra, std::string("3"));
    for (const auto& [k, v] : kv) t->Set(w.key + k, v);
    auto c = w.make();
    c->bSilent(true);
    c->cPropMod(t);
    if (!c->cPropMod()) return c->sReadError();
    std::ostringstream o;
    o.precision(10);
    if (auto* b = dynamic_cast<clsQXAreaCovBC*>(c.get()))
      o << b->dHaatStartM() << " " << b->dHaatStopM() << " [" << b->sRadials() << "] " << b->sDesc();
    if (auto* x = dynamic_cast<clsQXAreaCovCX*>(c.get()))
      o << x->dHaatStartM() << " " << x->dHaatStopM() << " [" << x->sRadials() << "] " << x->sDesc();
    return o.str();
  }
};

TEST_P(HaatWindowOf, FromTemplateSettingsOrDefaults) {
  const std::string p = GetParam().code;
  EXPECT_EQ(Read({}), "3000 16000 [0 45 90 135 180 225 270 315] {DEFAULTS SET IN RAVOPROP}");
  EXPECT_EQ(Read({{"_hstrt", "2"}, {"_hstrtun", "mi"}, {"_hstop", "10"}, {"_hstopun", "km"},
                  {"_hradial", "0,90,,  180   270"}, {"_DESC", "  My template "}}),
            "3218.688 10000 [0 90 180 270] My template");
  // A window that ends before it starts would average no terrain at all.
  EXPECT_EQ(Read({{"_hstrt", "16"}, {"_hstrtun", "km"}, {"_hstop", "3"}, {"_hstopun", "km"}}),
            p + " HAAT Stop Distance\nInvalid setting: 3 km");
  const std::string c = GetParam().cfg;
  Settings(c + "_HStrt=1|mi\n" + c + "_HStop=20|km\n" + c + "_HRadial=10, 20\n");
  ResetConfigCache();
  // Not positive, or no unit: the setting.
  EXPECT_EQ(Read({{"_hstrt", "0"}, {"_hstrtun", "km"}, {"_hstop", "12"}}), "1609.344 20000 [10 20] {DEFAULTS SET IN RAVOPROP}");
}

INSTANTIATE_TEST_SUITE_P(Models, HaatWindowOf,
                         ::testing::Values(WindowModel{"BC", [] { return std::make_unique<clsQXAreaCovBC>(); }, "bc", "BC", ""},
                                           WindowModel{"SM", [] { return std::make_unique<clsQXAreaCovSM>(); }, "SM", "SM", ""},
                                           WindowModel{"CX", [] { return std::make_unique<clsQXAreaCovCX>(); }, "CX", "CX", "CX_CURVE"},
                                           WindowModel{"CG", [] { return std::make_unique<clsQXAreaCovCG>(); }, "cg", "cg", ""}),
                         [](const auto& info) { return std::string(info.param.code); });

// The curve of the template, its setting, or 50 %; an SMR template is read under its own keys.
TEST_F(BCCalcTest, CurvePercentage) {
  Settings("SM_CRV=90\nBC_CRV=10\n");
  const std::pair<const char*, int> rows[] = {{"10", 10}, {"90", 90}, {"50", 50}, {"75", 50}};
  for (const auto& [text, pct] : rows) {
    clsQXAreaCovBC c;
    c.cPropMod(test::Fields({{"bc_curve", text}}));
    EXPECT_EQ(c.iPercentage(), pct) << text;
  }
  clsQXAreaCovSM sm;
  sm.cPropMod(test::Fields({{"bc_curve", "10"}}));
  EXPECT_EQ(sm.iPercentage(), 90);
  sm.cPropMod(test::Fields({{"SM_curve", "10"}}));
  EXPECT_EQ(sm.iPercentage(), 10);
}

// --------------------------------------------------------------- channel

TEST_F(BCCalcTest, ChannelFromFacilityFrequencyOrSettingsDefaultAndOutsideEveryBand) {
  clsQXAreaCovBC bc;
  clsQXAreaCovSM sm;
  clsQXAreaCovCG cg;
  const auto channel = [&](clsQXAreaCov& c, double freq) {
    c.cFAC(freq > 0 ? Facility(freq) : std::make_shared<FieldCollection>());
    if (auto* b = dynamic_cast<clsQXAreaCovBC*>(&c)) return int{b->iChannel()};
    return int{dynamic_cast<clsQXAreaCovCG&>(c).iChannel()};
  };
  EXPECT_EQ(channel(bc, 615.0), 38);
  EXPECT_EQ(channel(bc, 30.0), 222);
  EXPECT_EQ(channel(sm, 851.0), 69);
  EXPECT_EQ(channel(sm, 30.0), 14);
  EXPECT_EQ(channel(cg, 880.0), 69);
  EXPECT_EQ(channel(cg, 0), 222);
  Settings("BC Channel Default=5\nSM Channel Default=20\n");
  EXPECT_EQ(channel(bc, 30.0), 5);
  EXPECT_EQ(channel(sm, 30.0), 20);
  // A channel outside every band: no grid, field = ERP (far below free space).
  Settings("BC Channel Default=150\n");
  clsQXAreaCovBC c;
  Ready(c, 30.0, 0.0, 300.0);
  ASSERT_EQ(c.iChannel(), 150);
  test::RunKm(c, Path(20.0, 0.0f), 20.0);
  EXPECT_NEAR(c.dNetField(), 0.0, 1e-9);
}

// ----------------------------------------------------------- path branch

TEST_F(BCCalcTest, PathBranchMatchesCurveLossAndUsesWindowHaatUpToItsEnd) {
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
  // The window stops at the first point beyond its end.
  const std::vector<double> d{0, 2000, 3000, 10000, 16000, 16500, 12000};
  const std::vector<float> e{999, 999, 100, 200, 300, 999, 999};
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 7, 3000, 16000), 200.0);
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 2, 3000, 16000), 0.0);  // no point in the window
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, e, 99, 3000, 16000), 200.0);  // count past the arrays
  const std::vector<float> voids{0, 0, platform::kNoElevation, 200, 300, 0, 0};
  EXPECT_DOUBLE_EQ(clsQXAreaCovBC::AverageTerrainM(d, voids, 7, 3000, 16000), 250.0);
}

TEST_F(BCCalcTest, SmrPathFieldOnUhfCurves) {
  clsQXAreaCovSM c;
  test::Ready(c, {.tmpl = std::make_shared<FieldCollection>(), .erpDbm = 60.0, .txMslM = 304.8 + 50.0});
  c.cFAC(Facility(851.0));
  // 10 miles along a 20 km profile of 50 m ground, a point every 1 km.
  test::RunKm(c, test::Along(40.0, -100.0, 45.0, 20.0, 1000, test::Level(50.0f)), 16.09344, 45.0);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dHaatFt(), 1000.0, 1e-6);
  // F(50,50) UHF at 1000 ft and 10 miles: 72.0 dBu for 1 kW.
  EXPECT_NEAR(c.dNetField(), 72.0, 0.05);
}

TEST_F(BCCalcTest, PatternsLowerErpTowardAzimuthAndAtThisPathsHaat) {
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

TEST_F(BCCalcTest, ContourBranchGivesCurveContourAndPointOnEveryCurve) {
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
  for (const char* pct : {"10", "50", "90"}) {
    for (double thr : {30.0, 60.0, 95.0, 140.0}) {
      clsQXAreaCovBC c;
      Ready(c, 98.1, 20.0, 600.0, test::Fields({{"bc_curve", pct}}));
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

TEST_F(BCCalcTest, ContourWithoutThresholdAndNaNInputsAreFlaggedNotNaN) {
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
  // A NaN path length, and a NaN threshold in a contour study (the
  // collection reads it as 0).
  Ready(c, 615.0, 10.0, 400.0);
  c.dPathLthM(std::nan(""));
  c.CovCalc();
  EXPECT_TRUE(c.bErrorRun());
  c.cMOB(Mobile(std::nan("")));
  c.sTaskType("Contour");
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  EXPECT_TRUE(std::isfinite(c.dContourDistMi()));
  c.cMOB(Mobile(60.0));
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_FALSE(c.bErrorRun());
  EXPECT_DOUBLE_EQ(c.dNetField(), 60.0);
}

// --------------------------------------------------------------- details

TEST_F(BCCalcTest, PathDetailLinesAndLandUseLine) {
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
  // Land use on: its line; details append.
  Ready(c, 615.0, 10.0, 400.0);
  auto lu = std::make_shared<platform::clsLandUse>();
  lu->bUse(true);  // no data: code 0, loss 0
  c.cLandUse(lu);
  c.bDetails(true);
  c.sDetails("");
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
  const std::string first = c.sDetails();
  EXPECT_NE(first.find("\r\n\tLand Use Classification: 0  0dB"), std::string::npos) << first;
  // The caller clears the text; without that, the next path is added to it.
  c.CovCalc();
  EXPECT_EQ(c.sDetails(), first + first);
}

}  // namespace
}  // namespace zw
