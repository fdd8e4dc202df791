#include "models/curves/clsQXAreaCovOK.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"

namespace zw {
namespace {

class OKCalc : public test::ModelTestEnv {
 protected:
  // Every correction off, then the given keys set.
  static std::shared_ptr<FieldCollection> Template(
      std::initializer_list<std::pair<const char*, const char*>> set = {}) {
    auto m = test::Fields({{"OK_DESC", "Mobile 450"}});
    for (const char* k : {"AREA_COR", "ORIENT_COR", "SLOPE_COR", "LNDSEA_COR", "ROLHIL_COR", "HILLOC_COR",
                          "RIDGES_COR", "LOCS_COR"})
      m->Set(k, std::string("NO CORRECTION "));
    for (const auto& [k, v] : set) m->Set(k, std::string(v));
    return m;
  }
  // Flat 100 m ground, 500 m steps; transmitter 200 m above sea level.
  static std::shared_ptr<test::GivenProfile> Profile(double length) {
    auto p = test::Sampled(length, 500.0, test::Level(100.0f));
    p->dEndLat(0.1);
    return p;
  }
  static void Ready(clsQXAreaCovOK& c, double length, double freq = 450.0, double erpDbm = 60.0) {
    test::Ready(c, {.erpDbm = erpDbm, .txAglM = 100, .txMslM = 200, .rxM = 1.5, .freqMHz = freq, .details = true,
                    .unElv = "m"},
                Profile(length), length);
  }
};

TEST_F(OKCalc, ReaderFormsSwitchesAndBadSettings) {
  clsQXAreaCovOK c;
  c.cPropMod(Template());
  ASSERT_TRUE(c.cPropMod());
  for (bool on : c.bCorrections()) EXPECT_FALSE(on);
  EXPECT_EQ(c.sAreaType(), "NO CORRECTION ");
  EXPECT_TRUE(c.bLUArea() && c.bLUStreet() && c.bLULoss());  // default "1"
  EXPECT_EQ(c.sDesc(), "Mobile 450");

  c.cPropMod(Template({{"AREA_COR", " suburban "}, {"ORIENT_COR", "Along Path"}, {"SLOPE_COR", "SLOPE"},
                       {"LNDSEA_COR", "YES"}, {"LNDSE_EL", "10"}, {"LNDSE_ELUN", "ft"}, {"HIL_DIST", "5"},
                       {"HIL_DISTUN", "km"}, {"LOCS_PRCNT", "90"}, {"OK_LULOSS", "0"}}));
  ASSERT_TRUE(c.cPropMod()) << c.sReadError();
  EXPECT_EQ(c.sAreaType(), "SUBURBAN      ");
  EXPECT_EQ(c.sOrientation(), "ALONG PATH");
  const auto& on = c.bCorrections();
  EXPECT_TRUE(on[clsQXAreaCovOK::kArea] && on[clsQXAreaCovOK::kOrient] && on[clsQXAreaCovOK::kSlope] &&
              on[clsQXAreaCovOK::kLandSea]);
  EXPECT_FALSE(on[clsQXAreaCovOK::kLocPct] || on[clsQXAreaCovOK::kRollHill] || on[clsQXAreaCovOK::kHillLoc] || on[clsQXAreaCovOK::kRidge]);
  EXPECT_NEAR(c.dSeaElvM(), 3.048, 1e-9);
  EXPECT_DOUBLE_EQ(c.dHillDistM(), 5000.0);
  EXPECT_DOUBLE_EQ(c.dLocPercent(), 50.0);  // the term is off
  EXPECT_FALSE(c.bLULoss());
  // Bad settings.
  c.bSilent(true);
  c.cPropMod(Template({{"ORIENT_COR", "DIAGONAL"}}));
  EXPECT_EQ(c.sReadError(), "Okumura Street orientation\nInvalid setting: DIAGONAL");
  c.cPropMod(Template({{"LNDSE_EL", "3"}, {"LNDSE_ELUN", "cubits"}}));
  EXPECT_EQ(c.sReadError(), "Okumura Land-Sea MSL elevation\nInvalid setting: 3 cubits");
  auto m = Template({{"LOCS_COR", "ON"}, {"LOCS_PRCNT", "120"}});
  c.cPropMod(m);
  EXPECT_FALSE(c.cPropMod());
  EXPECT_EQ(c.sReadError(), "Okumura Location percentage\nInvalid setting: 120");
  m->Set("LOCS_COR", std::string("NO CORRECTION "));  // unused when the term is off
  c.cPropMod(m);
  EXPECT_TRUE(c.cPropMod());
}

TEST_F(OKCalc, AllOffGivesTheMedianFieldAndTermsAddIn) {
  clsQXAreaCovOK c;
  c.cPropMod(Template());
  Ready(c, 20000.0);
  c.CovCalc();
  const auto& t = c.Last();
  EXPECT_DOUBLE_EQ(t.effBaseM, 100.0);  // 200 m AMSL over 100 m ground
  EXPECT_NEAR(t.median, OKMedianField(450, 100, 20, 0.0), 1e-9);
  EXPECT_EQ(t.mobileGain, 0.0);  // no urban area type in force
  EXPECT_NEAR(c.dFreeSpaceFld(), FreeSpaceFieldM(20000, 60.0), 1e-9);
  EXPECT_NEAR(c.dModelLoss(), c.dFreeSpaceFld() - t.median, 1e-9);
  EXPECT_NEAR(c.dNetField(), t.median, 1e-9);
  EXPECT_FALSE(c.bErrorRun());
  // The terms add in; long paths.
  clsQXAreaCovOK c2;
  c2.cPropMod(Template({{"AREA_COR", "URBAN-LARGE   "}, {"ORIENT_COR", "ACROSS PATH"}}));
  Ready(c2, 20000.0);
  c2.CovCalc();
  const auto& t2 = c2.Last();
  const double gain = OKMobileGain("URBAN-LARGE   ", 1.5, 450);
  const double expect = OKMedianField(450, 100, 20, 0) + gain + 0.0 + OKStreetCorr("across path", 20);
  EXPECT_NEAR(t2.mobileGain, gain, 1e-12);
  EXPECT_EQ(t2.area, 0.0);
  EXPECT_NEAR(c2.dNetField(), expect, 1e-9);
  const std::string& d = c2.sDetails();
  for (const char* s : {"Eff base ant hgt: 100.0 m; RX ant hgt: 1.5", "; Basic median field: ",
                        "\r\n\tReceiver antenna height: 1.5 m AGL -3.00 dB", "\r\n\t\tArea type: URBAN-LARGE default area type",
                        "\r\n\t\tStreets: ACROSS PATH default street orientation",
                        "Free Space Field: (", "Net Field: ",
                        "Interpolated RX Site: ", "Additional Estimated transmission loss: "})
    EXPECT_NE(d.find(s), std::string::npos) << s << "\n" << d;
  EXPECT_EQ(d.find("free-space value used"), std::string::npos);

  // 150 km: the 100 km reading less 20 log10(1.5).
  c2.cPropMod(Template());
  Ready(c2, 150000.0);
  c2.CovCalc();
  EXPECT_NEAR(c2.Last().median, OKMedianField(450, 100, 99.99999, 0) - 3.5218, 1e-3);
}

TEST_F(OKCalc, TerrainTermsAndFreeSpaceCap) {
  clsQXAreaCovOK c;
  c.cPropMod(Template({{"AREA_COR", "open"}, {"SLOPE_COR", "ON"}, {"LNDSEA_COR", "ON"}, {"ROLHIL_COR", "ON"},
                       {"HILLOC_COR", "ON"}, {"RIDGES_COR", "ON"}}));
  ASSERT_TRUE(c.cPropMod());
  Ready(c, 1000.0, 450.0, 60.0);
  c.FACTXmMSL(1100.0);  // 1000 m effective height: fallback, no points past 3 km
  c.CovCalc();
  const auto& t = c.Last();
  EXPECT_DOUBLE_EQ(t.effBaseM, 100.0);  // site-related height
  EXPECT_TRUE(t.freeSpaceUsed);
  EXPECT_NEAR(c.dModelLoss(), 0.0, 1e-12);
  EXPECT_NEAR(c.dNetField(), c.dFreeSpaceFld(), 1e-12);
  const std::string& d = c.sDetails();
  EXPECT_NE(d.find("\r\n\t** calculation exceeded free-space field;  free-space value used **"), std::string::npos);
  for (const char* s : {"Average slope: 0.00mr", "Mixed land-sea path: ", "Land-sea Avg Dis: ", "LandSea Beta: ",
                        "Terrain undulation: ", "Rolling hills fine correction: ", "Isolated ridge: "})
    EXPECT_NE(d.find(s), std::string::npos) << s;
}

// The location term: z x the location standard deviation of the frequency
// (urban curve, or suburban for the suburban and open areas) below the
// median: nothing at 50 %, 1.2816 sigma at 90 %, above the median below 50 %.
TEST_F(OKCalc, LocationPercentageMovesTheFieldByNormalDeviates) {
  struct Case {
    const char* area;
    double freq, sigma;  // sigma at a node of okumura_location_sigma.csv
  };
  for (const Case& k : {Case{"NO CORRECTION ", 100, 5.2}, Case{"URBAN-LARGE", 900, 6.57},
                        Case{"SUBURBAN", 1500, 8.96}, Case{"OPEN", 3000, 10.1}}) {
    const auto field = [&](const char* on, const char* pct) {
      clsQXAreaCovOK c;
      c.cPropMod(Template({{"AREA_COR", k.area}, {"LOCS_COR", on}, {"LOCS_PRCNT", pct}}));
      EXPECT_TRUE(c.cPropMod()) << c.sReadError();
      Ready(c, 20000.0, k.freq, 30.0);  // low ERP: never capped by free space
      c.CovCalc();
      EXPECT_FALSE(c.bErrorRun());
      return c.dNetField();
    };
    SCOPED_TRACE(std::string(k.area) + " " + std::to_string(k.freq));
    const double off = field("NO CORRECTION ", "50");
    EXPECT_NEAR(field("ON", "50"), off, 1e-9);
    EXPECT_NEAR(off - field("ON", "90"), 1.2816 * k.sigma, 1e-3);
    EXPECT_GT(field("ON", "10"), off);  // above the median, never above free space
  }
}

}  // namespace
}  // namespace zw
