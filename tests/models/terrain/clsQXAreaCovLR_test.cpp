// The Longley-Rice calculator: template reader, mode texts, parameter
// print-out, and CovCalc against the core called directly.
#include "models/terrain/clsQXAreaCovLR.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/terrain/modLRModeText.h"
#include "models/terrain/modPropLR.h"

namespace zw {
namespace {

std::shared_ptr<FieldCollection> Template() {
  return test::Fields({{"POLARIZ", "V"}, {"SUR_REFRAC", "301"}, {"SEA_REFRAC", "0"}, {"REL_PERMIT", "15"},
                       {"CONDUCTIVI", "0.005"}, {"CLIM_CODE", "5"}, {"LR_MDVAR", "12"}, {"LR_VARSIT", "50"},
                       {"LR_VARLOC", "50"}, {"LR_VARTIM", "90"}, {"LR_DESC", "  Default LR  "}});
}

std::shared_ptr<FieldCollection> With(std::string key, FieldValue v) {
  auto m = Template();
  m->Set(std::move(key), std::move(v));
  return m;
}

std::string Lines(clsQXAreaCovLR& c) {
  std::ostringstream out;
  EXPECT_TRUE(c.PrtParameters(out));
  return out.str();
}

// A reproducible 30 km profile of rolling terrain with a ridge.
void HillyArrays(int points, std::vector<double>& d, std::vector<float>& e) {
  d.clear();
  e.clear();
  const int np = points - 1;
  for (int i = 0; i <= np; ++i) {
    const double x = static_cast<double>(i) / np;
    d.push_back(30000.0 * x);
    e.push_back(static_cast<float>(250.0 + 60.0 * std::sin(9.0 * x) + 300.0 * std::exp(-std::pow((x - 0.4) / 0.05, 2))));
  }
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
  static LRInputs CoreInputs() {
    LRInputs in;
    in.dTxHeightM = 75.0;
    in.dRxHeightM = 9.0;
    in.dFreqMHz = 450.0;
    in.iPolariz = 1;
    in.dSurRefrac = 301.0;
    in.dSeaRefrac = 0.0;
    in.dRelPermit = 15.0;
    in.dConductivity = 0.005;
    in.iClimate = 5;
    in.iMDVAR = 12;
    in.dSitPct = 50.0;
    in.dLocPct = 50.0;
    in.dTimPct = 90.0;
    return in;
  }
  static std::vector<double> Pfl(const std::vector<double>& d, const std::vector<float>& e) {
    std::vector<double> p{static_cast<double>(d.size() - 1), d[1] - d[0]};
    for (float x : e) p.push_back(x);
    return p;
  }
  clsQXAreaCovLR calc;
};

// ------------------------------------------------------------ reader

TEST_F(LRCalcTest, ReadsTheTemplate) {
  EXPECT_EQ(calc.sOKtoGO(), "");
  ASSERT_EQ(Read(Template()), "");
  EXPECT_EQ(calc.iPolariz(), 1);
  EXPECT_EQ(calc.sPolariz(), "V");
  EXPECT_EQ(calc.iClimate(), 5);
  EXPECT_EQ(calc.iMDVAR(), 12);
  EXPECT_EQ(calc.dTimPct(), 90.0);
  // Numbers as numbers, too.
  auto m = Template();
  m->Set("SUR_REFRAC", 310.0);
  m->Set("CLIM_CODE", std::int32_t{3});
  m->Set("LR_VARTIM", 50.0f);
  ASSERT_EQ(Read(m), "");
  EXPECT_EQ(calc.iClimate(), 3);
  EXPECT_EQ(calc.dTimPct(), 50.0);
}

TEST_F(LRCalcTest, Polarization) {
  ASSERT_EQ(Read(With("POLARIZ", std::string("h"))), "");
  EXPECT_EQ(calc.iPolariz(), 0);
  EXPECT_EQ(calc.sPolariz(), "H");
  ASSERT_EQ(Read(With("POLARIZ", std::string("X"))), "");
  EXPECT_EQ(calc.iPolariz(), 1);
  EXPECT_EQ(calc.sPolariz(), "V");
  EXPECT_NE(Lines(calc).find("\nPolarization: V\n"), std::string::npos);
  ASSERT_EQ(Read(With("POLARIZ", std::string(" H "))), "");
  EXPECT_EQ(calc.iPolariz(), 0);
}

TEST_F(LRCalcTest, VariabilityRemovedByTheModeNeedsNoPercentage) {
  auto m = With("LR_MDVAR", std::string("23"));
  m->Set("LR_VARSIT", std::string("0"));
  EXPECT_EQ(Read(m), "");
  EXPECT_EQ(calc.iMDVAR(), 23);

  m = With("LR_MDVAR", std::string("3"));
  m->Set("LR_VARSIT", std::string("0"));
  EXPECT_EQ(Read(m), "LR Situation Variability\nInvalid setting: 0");
  EXPECT_FALSE(calc.cPropMod());

  // Location: removed by the tens 1 and 3.
  m = With("LR_MDVAR", std::string("13"));
  m->Set("LR_VARLOC", std::string("0"));
  EXPECT_EQ(Read(m), "");
  m = With("LR_MDVAR", std::string("33"));
  m->Set("LR_VARLOC", std::string("100"));
  m->Set("LR_VARSIT", std::string("-5"));
  EXPECT_EQ(Read(m), "");
  m = With("LR_MDVAR", std::string("23"));
  m->Set("LR_VARLOC", std::string("0"));
  EXPECT_EQ(Read(m), "LR Location Variability\nInvalid setting: 0");
}

TEST_F(LRCalcTest, RejectedSettingsNameTheirLabel) {
  auto m = With("LR_MDVAR", std::string("33"));
  m->Set("LR_VARTIM", std::string("100"));
  EXPECT_EQ(Read(m), "LR Time Variability\nInvalid setting: 100") << "no mode removes time variability";
  EXPECT_EQ(Read(With("LR_VARTIM", std::string("0"))), "LR Time Variability\nInvalid setting: 0");

  EXPECT_EQ(Read(With("CLIM_CODE", std::string("8"))), "LR Climate Code\nInvalid setting: 8");
  EXPECT_EQ(Read(With("CLIM_CODE", std::string("0"))), "LR Climate Code\nInvalid setting: 0");
  EXPECT_EQ(Read(With("CLIM_CODE", std::string("6.6"))), "");
  EXPECT_EQ(calc.iClimate(), 7);
  EXPECT_NE(Lines(calc).find("\nClimate: 7 Maritime Temperate Over Sea\n"), std::string::npos);
  EXPECT_NE(Read(With("CLIM_CODE", std::string("1e9"))).find("LR Climate Code\n"), std::string::npos);

  // Ground constants at or below zero, refractivity that is not finite.
  EXPECT_EQ(Read(With("CONDUCTIVI", std::string("-5"))), "LR Soil Conductivity\nInvalid setting: -5");
  EXPECT_EQ(Read(With("CONDUCTIVI", std::string("0"))), "LR Soil Conductivity\nInvalid setting: 0");
  EXPECT_EQ(Read(With("REL_PERMIT", std::string("-15"))), "LR Soil Permitivity\nInvalid setting: -15");
  EXPECT_EQ(Read(With("REL_PERMIT", std::string("0"))), "LR Soil Permitivity\nInvalid setting: 0");
  EXPECT_EQ(Read(With("SEA_REFRAC", std::string("1e400"))).rfind("LR Sea Level Refractivity\n", 0), 0u);
  EXPECT_EQ(Read(With("CONDUCTIVI", std::string("0.001"))), "");

  // A missing key and text without a number.
  auto missing = Template();
  missing->Remove("CONDUCTIVI");
  EXPECT_EQ(Read(missing).rfind("LR Soil Conductivity\nInvalid setting: ", 0), 0u);
  EXPECT_EQ(Read(With("SUR_REFRAC", std::string("abc"))), "LR Surface Refractivity\nInvalid setting: abc");
  EXPECT_EQ(Read(With("LR_MDVAR", std::string("mobile"))).rfind("LR MDVAR Mode of Variability\n", 0), 0u);
  auto noPol = Template();
  noPol->Remove("POLARIZ");
  EXPECT_EQ(Read(noPol).rfind("LR Polarization\n", 0), 0u);
  auto noDesc = Template();
  noDesc->Remove("LR_DESC");
  EXPECT_NE(Read(noDesc), "");
  // The lenient conversion reads the leading number.
  EXPECT_EQ(Read(With("SUR_REFRAC", std::string("301 N"))), "");
  // A later good template is accepted again.
  EXPECT_EQ(Read(Template()), "");
  EXPECT_EQ(calc.sReadError(), "");
}

TEST_F(LRCalcTest, RejectionIsShownUnlessSilent) {
  auto m = With("LR_MDVAR", std::string("3"));
  m->Set("LR_VARSIT", std::string("0"));
  calc.bSilent(true);
  calc.cPropMod(m);
  EXPECT_TRUE(messages->Log().empty());
  calc.bSilent(false);
  calc.cPropMod(m);
  ASSERT_EQ(messages->Log().size(), 1u);
  EXPECT_NE(messages->Log()[0].text.find("LR Situation Variability\nInvalid setting: 0"), std::string::npos)
      << messages->Log()[0].text;
  EXPECT_FALSE(calc.cPropMod());
}

// ------------------------------------------------------------ texts

TEST(LRModeText, ByMdvar) {
  EXPECT_EQ(modLRModeText(0), "Single Message");
  EXPECT_EQ(modLRModeText(3), "Broadcast");
  EXPECT_EQ(modLRModeText(12), "Mobile; No Location Var");
  EXPECT_EQ(modLRModeText(21), "Individual; No Situation Var");
  EXPECT_EQ(modLRModeText(30), "Single Message; No Situation Var, No Location Var");
  EXPECT_EQ(modLRModeText(33), "Broadcast; No Situation Var, No Location Var");
  EXPECT_EQ(modLRModeText(41), "Individual; MDVAR = 41");
  EXPECT_EQ(modLRModeText(5), "Unknown Mode");
  EXPECT_EQ(modLRModeText(-1), "Unknown Mode");
  EXPECT_EQ(modLRModeText(19), "Unknown Mode");
}

TEST_F(LRCalcTest, ParameterPrintOut) {
  auto m = With("LR_MDVAR", std::string("13"));
  ASSERT_EQ(Read(m), "");
  EXPECT_EQ(Lines(calc),
            "Longley-Rice Propagation Study\n"
            "Parameter Template: Default LR\n"
            "LR Mode:  13\n"
            "\tBroadcast; No Location Var\n"
            "Polarization: V\n"
            "Surface Refrac: 301.00(0.00)\n"
            "Permittivity: 15.00  Conductivity:  0.0050\n"
            "Climate: 5 Continental Temperate\n"
            "Variability:\n"
            "Situation: 50.00%   Time:  90.00%\n"
            " \n" +
                std::string(40, '=') + "\n");

  m = With("LR_MDVAR", std::string("3"));
  m->Set("LR_VARSIT", std::string("5"));
  ASSERT_EQ(Read(m), "");
  const std::string t = Lines(calc);
  EXPECT_NE(t.find("LR Mode:  3\n\tBroadcast\n"), std::string::npos) << t;
  EXPECT_NE(t.find("Variability:\nSituation: 5.00%   Time:  90.00%   Location:  50.00%\n"), std::string::npos) << t;

  ASSERT_EQ(Read(With("LR_MDVAR", std::string("22"))), "");
  EXPECT_NE(Lines(calc).find("\nTime:  90.00%   Location:  50.00%\n"), std::string::npos);
  ASSERT_EQ(Read(With("LR_MDVAR", std::string("31"))), "");
  EXPECT_NE(Lines(calc).find("\nTime:  90.00% \n"), std::string::npos);
}

// ------------------------------------------------------------ CovCalc

TEST_F(LRCalcTest, PathMatchesTheCore) {
  std::vector<double> d;
  std::vector<float> e;
  HillyArrays(301, d, e);
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
  EXPECT_NE(t.find("\r\n\tFree Space Field: ("), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n\tAdditional Estimated transmission loss: "), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n\tPath terrain Delta-H: "), std::string::npos) << t;
  EXPECT_NE(t.find(" ft"), std::string::npos) << "delta-h in the detail unit: " << t;
  EXPECT_NE(t.find("\r\n\tEffective antenna heights: "), std::string::npos) << t;
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

TEST_F(LRCalcTest, HorizontalPolarizationAndOtherGroundReachTheCore) {
  std::vector<double> d;
  std::vector<float> e;
  HillyArrays(101, d, e);
  auto m = Template();
  m->Set("POLARIZ", std::string("H"));
  m->Set("REL_PERMIT", std::string("81"));
  m->Set("CONDUCTIVI", std::string("5"));
  m->Set("SEA_REFRAC", std::string("320"));
  m->Set("CLIM_CODE", std::string("7"));
  m->Set("LR_MDVAR", std::string("3"));
  m->Set("LR_VARSIT", std::string("70"));
  m->Set("LR_VARLOC", std::string("80"));
  Ready(d, e);
  ASSERT_EQ(Read(m), "");
  calc.dPathLthM(30000.0);
  calc.CovCalc();
  LRInputs in = CoreInputs();
  in.iPolariz = 0;
  in.dRelPermit = 81;
  in.dConductivity = 5;
  in.dSeaRefrac = 320;
  in.iClimate = 7;
  in.iMDVAR = 3;
  in.dSitPct = 70;
  in.dLocPct = 80;
  clsLRCore core;
  const LRResult r = core.PointToPoint(Pfl(d, e), in);
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(calc.dModelLoss(), r.dAttenDB);
}

TEST_F(LRCalcTest, BadProfilesFailThePathWithoutNaN) {
  std::vector<double> d;
  std::vector<float> e;
  HillyArrays(101, d, e);
  std::vector<float> withNaN = e;
  withNaN[40] = std::nanf("");
  struct Case {
    const char* what;
    std::vector<double> d;
    std::vector<float> e;
  } cases[] = {
      {"one point", {0.0}, {100.0f}},
      {"no points", {}, {}},
      {"NaN elevation", d, withNaN},
      {"zero spacing", {0.0, 0.0, 0.0}, {1.0f, 2.0f, 3.0f}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Ready(k.d, k.e);
    calc.dPathLthM(30000.0);
    calc.bDetails(true);
    calc.sDetails("");
    calc.CovCalc();
    EXPECT_TRUE(calc.bErrorRun());
    EXPECT_FALSE(calc.sPathError().empty());
    EXPECT_LT(calc.dNetField(), -500.0) << "a sentinel far below any field";
    EXPECT_TRUE(std::isfinite(calc.dNetField()));
    EXPECT_TRUE(std::isfinite(calc.dFreeSpaceFld()));
    EXPECT_TRUE(std::isfinite(calc.dModelLoss()));
    EXPECT_TRUE(std::isfinite(calc.dDeltaHM()));
    EXPECT_TRUE(std::isfinite(calc.dHeEffM()[0]) && std::isfinite(calc.dHeEffM()[1]));
    EXPECT_EQ(calc.lErrLevel(), 4);
    EXPECT_NE(calc.sDetails().find("Path not computed: "), std::string::npos) << calc.sDetails();
    EXPECT_EQ(calc.sDetails().find("nan"), std::string::npos) << calc.sDetails();
  }
  // No profile object at all.
  calc.cPathElv(nullptr);
  calc.CovCalc();
  EXPECT_TRUE(calc.bErrorRun());
  EXPECT_LT(calc.dNetField(), -500.0);

  // The next good path clears the flag.
  Ready(d, e);
  calc.dPathLthM(30000.0);
  calc.CovCalc();
  EXPECT_FALSE(calc.bErrorRun());
  EXPECT_EQ(calc.sPathError(), "");
  EXPECT_GT(calc.dNetField(), 0.0);
  // The first model error was shown once through the message sink.
  EXPECT_LE(messages->Log().size(), 1u);
}

}  // namespace
}  // namespace zw
