// The Longley-Rice calculator: template reader, mode texts, parameter
// print-out, and CovCalc against the core called directly.
#include "models/terrain/clsQXAreaCovLR.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/modLRModeText.h"
#include "models/terrain/modPropLR.h"

namespace zw {
namespace {

// A template, with the given keys set over it.
std::shared_ptr<FieldCollection> Template(std::initializer_list<std::pair<const char*, const char*>> set = {}) {
  auto m = test::Fields({{"POLARIZ", "V"}, {"SUR_REFRAC", "301"}, {"SEA_REFRAC", "0"}, {"REL_PERMIT", "15"},
                         {"CONDUCTIVI", "0.005"}, {"CLIM_CODE", "5"}, {"LR_MDVAR", "12"}, {"LR_VARSIT", "50"},
                         {"LR_VARLOC", "50"}, {"LR_VARTIM", "90"}, {"LR_DESC", "  Default LR  "}});
  for (const auto& [k, v] : set) m->Set(k, std::string(v));
  return m;
}

std::string Lines(clsQXAreaCovLR& c) {
  std::ostringstream out;
  EXPECT_TRUE(c.PrtParameters(out));
  return out.str();
}

// A reproducible 30 km profile of rolling terrain with a ridge.
test::ProfileArrays Hilly(int points) {
  return test::Stepped(30000.0, 30000.0 / (points - 1), [](double m) {
    const double x = m / 30000.0;
    return 250.0 + 60.0 * std::sin(9.0 * x) + 300.0 * std::exp(-std::pow((x - 0.4) / 0.05, 2));
  });
}

class LRCalcTest : public test::ModelTestEnv {
 protected:
  LRCalcTest() : ModelTestEnv({.resetErrorDisplay = false}) {}
  // Reads m; "" when accepted, else the reason.
  std::string Read(std::shared_ptr<FieldCollection> m) {
    calc.bSilent(true);
    calc.cPropMod(std::move(m));
    if (calc.cPropMod()) return "";
    EXPECT_FALSE(calc.sReadError().empty());
    return calc.sReadError();
  }
  // The calculator ready for a path over the given arrays.
  std::shared_ptr<platform::clsPathElv> Ready(std::vector<double> d, std::vector<float> e) {
    EXPECT_EQ(Read(Template()), "");
    test::Ready(calc, {.erpDbm = 60, .txAglM = 75, .txMslM = e.empty() ? 75.0 : e.front() + 75.0, .rxM = 9,
                       .freqMHz = 450});
    auto p = std::make_shared<platform::clsPathElv>();
    p->dStartLat(44.0);
    p->dStartLon(-71.0);
    p->DIS_Array(std::move(d));
    p->ELV_Array(std::move(e));
    calc.cPathElv(p);
    EXPECT_EQ(calc.sOKtoGO(), "");
    calc.PathElvEnd(44.0, -70.6247, 90.0);  // about 30 km east
    return p;
  }
  // The station and Template() as the core takes them.
  static LRInputs CoreInputs() {
    return {.dTxHeightM = 75.0, .dRxHeightM = 9.0, .dFreqMHz = 450.0, .iPolariz = 1, .dSurRefrac = 301.0,
            .dSeaRefrac = 0.0, .dRelPermit = 15.0, .dConductivity = 0.005, .iClimate = 5, .iMDVAR = 12,
            .dSitPct = 50.0, .dLocPct = 50.0, .dTimPct = 90.0};
  }
  static std::vector<double> Pfl(const std::vector<double>& d, const std::vector<float>& e) {
    std::vector<double> p{static_cast<double>(d.size() - 1), d[1] - d[0]};
    for (float x : e) p.push_back(x);
    return p;
  }
  clsQXAreaCovLR calc;
};

// ------------------------------------------------------------ reader

TEST_F(LRCalcTest, ReadsTheTemplateAndSettingsAcceptedOrRefusedByLabel) {
  EXPECT_EQ(calc.sOKtoGO(), "");
  ASSERT_EQ(Read(Template()), "");
  EXPECT_EQ(calc.sPolariz(), "V");
  EXPECT_EQ(calc.iMDVAR(), 12);
  auto m = Template();  // numbers as numbers, too
  m->Set("SUR_REFRAC", 310.0);
  m->Set("CLIM_CODE", std::int32_t{3});
  m->Set("LR_VARTIM", 50.0f);
  ASSERT_EQ(Read(m), "");
  EXPECT_EQ(calc.iClimate(), 3);
  EXPECT_EQ(calc.dTimPct(), 50.0);
  // Settings over the template, and what the reader says: "" when it takes
  // them, else the start of its message.
  struct Row {
    std::vector<std::pair<const char*, const char*>> set;
    const char* want;
    int polariz = -1, climate = -1;
  };
  const Row rows[] = {
      {{{"POLARIZ", "h"}}, "", 0},
      {{{"POLARIZ", " H "}}, "", 0},
      {{{"POLARIZ", "X"}}, "", 1},
      // A variability the mode removes needs no percentage (situation: tens 2
      // and 3; location: tens 1 and 3); time is never removed.
      {{{"LR_MDVAR", "23"}, {"LR_VARSIT", "0"}}, ""},
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "0"}}, "LR Situation Variability\nInvalid setting: 0"},
      {{{"LR_MDVAR", "13"}, {"LR_VARLOC", "0"}}, ""},
      {{{"LR_MDVAR", "33"}, {"LR_VARLOC", "100"}, {"LR_VARSIT", "-5"}}, ""},
      {{{"LR_MDVAR", "23"}, {"LR_VARLOC", "0"}}, "LR Location Variability\nInvalid setting: 0"},
      {{{"LR_MDVAR", "33"}, {"LR_VARTIM", "100"}}, "LR Time Variability\nInvalid setting: 100"},
      {{{"LR_VARTIM", "0"}}, "LR Time Variability\nInvalid setting: 0"},
      {{{"CLIM_CODE", "8"}}, "LR Climate Code\nInvalid setting: 8"},
      {{{"CLIM_CODE", "0"}}, "LR Climate Code\nInvalid setting: 0"},
      {{{"CLIM_CODE", "6.6"}}, "", -1, 7},
      {{{"CLIM_CODE", "1e9"}}, "LR Climate Code\n"},
      {{{"CONDUCTIVI", "-5"}}, "LR Soil Conductivity\nInvalid setting: -5"},
      {{{"CONDUCTIVI", "0"}}, "LR Soil Conductivity\nInvalid setting: 0"},
      {{{"CONDUCTIVI", "0.001"}}, ""},
      {{{"REL_PERMIT", "-15"}}, "LR Soil Permitivity\nInvalid setting: -15"},
      {{{"REL_PERMIT", "0"}}, "LR Soil Permitivity\nInvalid setting: 0"},
      {{{"SEA_REFRAC", "1e400"}}, "LR Sea Level Refractivity\n"},
      {{{"SUR_REFRAC", "abc"}}, "LR Surface Refractivity\nInvalid setting: abc"},
      {{{"SUR_REFRAC", "301 N"}}, ""},  // the lenient conversion reads the leading number
      {{{"LR_MDVAR", "mobile"}}, "LR MDVAR Mode of Variability\n"},
      {{{"CONDUCTIVI", nullptr}}, "LR Soil Conductivity\nInvalid setting: "},
      {{{"POLARIZ", nullptr}}, "LR Polarization\n"},
      {{{"LR_DESC", nullptr}}, "LR "},
  };
  for (const Row& r : rows) {
    auto m = Template();
    for (const auto& [k, v] : r.set) {
      if (v) m->Set(k, std::string(v));
      else m->Remove(k);
    }
    const std::string got = Read(m);
    SCOPED_TRACE(r.set[0].first + std::string(" ") + (r.set[0].second ? r.set[0].second : "(removed)"));
    if (*r.want == '\0') {
      EXPECT_EQ(got, "");
    } else {
      EXPECT_EQ(got.rfind(r.want, 0), 0u) << got;
    }
    EXPECT_EQ(calc.cPropMod() != nullptr, *r.want == '\0');
    if (r.polariz >= 0) {
      EXPECT_EQ(calc.iPolariz(), r.polariz);
    }
    if (r.climate >= 0) {
      EXPECT_EQ(calc.iClimate(), r.climate);
    }
  }
}

// ------------------------------------------------------------ texts

TEST(LRModeText, ByMdvar) {
  const std::pair<int, const char*> rows[] = {
      {0, "Single Message"}, {3, "Broadcast"}, {12, "Mobile; No Location Var"},
      {21, "Individual; No Situation Var"}, {30, "Single Message; No Situation Var, No Location Var"},
      {33, "Broadcast; No Situation Var, No Location Var"}, {41, "Individual; MDVAR = 41"}, {5, "Unknown Mode"},
      {-1, "Unknown Mode"}, {19, "Unknown Mode"}};
  for (const auto& [mdvar, want] : rows) EXPECT_EQ(modLRModeText(mdvar), want) << mdvar;
}

// The variability line names the percentages the mode keeps.
TEST_F(LRCalcTest, ParameterPrintOut) {
  const std::pair<std::vector<std::pair<const char*, const char*>>, const char*> rows[] = {
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "5"}},
       "LR Mode:  3\n\tBroadcast\n"},
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "5"}},
       "Variability:\nSituation: 5.00%   Time:  90.00%   Location:  50.00%\n"},
      {{{"LR_MDVAR", "22"}}, "\nTime:  90.00%   Location:  50.00%\n"},
      {{{"LR_MDVAR", "31"}}, "\nTime:  90.00% \n"},
      {{{"POLARIZ", "X"}}, "\nPolarization: V\n"},
      {{{"CLIM_CODE", "7"}}, "\nClimate: 7 Maritime Temperate Over Sea\n"}};
  for (const auto& [set, want] : rows) {
    auto m = Template();
    for (const auto& [k, v] : set) m->Set(k, std::string(v));
    ASSERT_EQ(Read(m), "");
    const std::string t = Lines(calc);
    EXPECT_NE(t.find(want), std::string::npos) << t;
  }
}

// ------------------------------------------------------------ CovCalc

TEST_F(LRCalcTest, PathMatchesTheCore) {
  const auto [d, e] = Hilly(301);
  Ready(d, e);
  calc.dPathLthM(30000.0);
  calc.bDetails(true);
  calc.sDetailUnElv("ft");
  calc.CovCalc();
  EXPECT_FALSE(calc.bErrorRun());

  clsLRCore core;
  core.InitTables();
  const LRResult r = core.PointToPoint(Pfl(d, e), CoreInputs());
  ASSERT_TRUE(r.bOK) << r.sError;
  EXPECT_EQ(calc.dModelLoss(), r.dAttenDB);
  EXPECT_EQ(calc.lErrLevel(), r.lErrLevel);
  EXPECT_EQ(calc.lErrBits(), 0);
  EXPECT_EQ(calc.dDeltaHM(), r.dDeltaHM);
  EXPECT_EQ(calc.dHeEffM(), r.dHeEffM);
  EXPECT_EQ(calc.dEarthFactor(), r.dEarthFactor);
  EXPECT_EQ(calc.sMode1(), r.sMode1);
  EXPECT_EQ(calc.sMode2(), r.sMode2);
  EXPECT_GT(r.dAttenDB, 0.0) << "the ridge blocks the path";

  EXPECT_FLOAT_EQ(calc.rTgtElvM(), e.back()) << "no terrain: the last profile point";
  EXPECT_DOUBLE_EQ(calc.dFreeSpaceFld(), FreeSpaceFieldM(30000.0, 60.0));
  EXPECT_DOUBLE_EQ(calc.dNetField(), calc.dFreeSpaceFld() - calc.dModelLoss());
  EXPECT_EQ(calc.iLUCode(), 0);

  const std::string& t = calc.sDetails();
  EXPECT_EQ(t.rfind("Azimuth ", 0), 0u) << t;
  // Delta-h in the detail unit (ft).
  for (const char* line : {"\r\n\tFree Space Field: (", "\r\n\tAdditional Estimated transmission loss: ",
                           "\r\n\tPath terrain Delta-H: ", " ft", "\r\n\tEffective antenna heights: "})
    EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
  EXPECT_EQ(t.find("Land Use"), std::string::npos) << t;
  EXPECT_EQ(t.find("nan"), std::string::npos) << t;

  // A receiver height above sea level below the ground reaches the core as 0.1 m.
  calc.bMOBMSL(true);
  calc.MOBAntM(e.back() - 20.0);
  calc.bDetails(false);
  calc.sDetails("");
  calc.CovCalc();
  LRInputs low = CoreInputs();
  low.dRxHeightM = 0.1;
  const LRResult r2 = core.PointToPoint(Pfl(d, e), low);
  EXPECT_EQ(calc.dModelLoss(), r2.dAttenDB);
  EXPECT_EQ(calc.sDetails(), "") << "no details unless asked";
}

TEST_F(LRCalcTest, OtherPolarizationAndGroundReachTheCoreBadProfilesFailAtLevel4) {
  const auto [d, e] = Hilly(101);
  Ready(d, e);
  ASSERT_EQ(Read(Template({{"POLARIZ", "H"}, {"REL_PERMIT", "81"}, {"CONDUCTIVI", "5"}, {"SEA_REFRAC", "320"},
                           {"CLIM_CODE", "7"}, {"LR_MDVAR", "3"}, {"LR_VARSIT", "70"}, {"LR_VARLOC", "80"}})),
            "");
  calc.dPathLthM(30000.0);
  calc.CovCalc();
  const LRInputs in{.dTxHeightM = 75.0, .dRxHeightM = 9.0, .dFreqMHz = 450.0, .iPolariz = 0, .dSurRefrac = 301.0,
                   .dSeaRefrac = 320, .dRelPermit = 81, .dConductivity = 5, .iClimate = 7, .iMDVAR = 3,
                   .dSitPct = 70, .dLocPct = 80, .dTimPct = 90.0};
  clsLRCore core;
  const LRResult r = core.PointToPoint(Pfl(d, e), in);
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(calc.dModelLoss(), r.dAttenDB);
  // A profile the core cannot use: error level 4 and the reason in the details.
  for (const auto& [d, e] : {std::pair<std::vector<double>, std::vector<float>>{{0.0}, {100.0f}},
                             {{0.0, 0.0, 0.0}, {1.0f, 2.0f, 3.0f}}}) {
    Ready(d, e);
    calc.dPathLthM(30000.0);
    calc.bDetails(true);
    calc.sDetails("");
    calc.CovCalc();
    EXPECT_TRUE(calc.bErrorRun());
    EXPECT_FALSE(calc.sPathError().empty());
    EXPECT_TRUE(std::isfinite(calc.dDeltaHM()));
    EXPECT_TRUE(std::isfinite(calc.dHeEffM()[0]) && std::isfinite(calc.dHeEffM()[1]));
    EXPECT_EQ(calc.lErrLevel(), 4);
    EXPECT_NE(calc.sDetails().find("Path not computed: "), std::string::npos) << calc.sDetails();
  }
}

}  // namespace
}  // namespace zw
