#include "models/curves/modPropOK.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ErrorHandler.h"
#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/curves/CurveTestData.h"
#include "models/curves/clsQXAreaCovOK.h"

namespace zw {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Profile = test::ProfileArrays;
using test::Stepped;

TEST(OKMedian, GridNodesAndTellingValues) {
  EXPECT_NEAR(OKMedianField(450, 300, 25, -10), 48.1 - 10, 1e-4);  // ERP in dBk added
  struct T { double f, h, d, v, tol; };
  const T tell[] = {{150, 30, 1, 77.7, 1e-4}, {900, 200, 10, 54.7, 1e-4}, {1500, 1000, 100, 20.9, 1e-4},  // nodes
                    {150, 30, 1, 77.5, .5},   {150, 30, 10, 41.5, .5},  {150, 30, 50, 12.7, .5},
                    {150, 30, 100, -1.5, .5}, {150, 200, 1, 88.0, .5},  {150, 200, 10, 58.5, .5},
                    {150, 200, 50, 30.7, .5}, {150, 200, 100, 11.7, .5}, {150, 1000, 1, 102.0, .5},
                    {150, 1000, 10, 73.5, .5}, {150, 1000, 50, 49.5, .5}, {150, 1000, 100, 33.0, .5},
                    {900, 30, 1, 74.5, .5},   {900, 30, 10, 37.7, .5},  {900, 30, 50, 6.5, .5},
                    {900, 30, 100, -10.0, 1}, {900, 200, 1, 84.5, .5},  {900, 200, 10, 54.5, .5},
                    {900, 200, 50, 24.5, .5}, {900, 200, 100, 4.0, .5}, {1500, 200, 1, 82.0, .5},
                    {1500, 200, 10, 51.5, .5}, {1500, 200, 50, 21.5, .5}, {1500, 200, 100, -0.3, .5}};
  for (const T& t : tell) EXPECT_NEAR(OKMedianField(t.f, t.h, t.d, 0), t.v, t.tol) << t.f << " " << t.h << " " << t.d;
}

TEST(OKMedian, GridChoiceClampsAndLongPaths) {
  // 300 MHz ties 150 and 450, 1200 ties 900 and 1500: the lower.
  const std::pair<double, int> grid[] = {{300, 0}, {700, 2}, {50, 0}, {1200, 2}, {1250, 3}};
  for (const auto& [f, g] : grid) EXPECT_EQ(iOKFreqGrid(f), g) << f;
  EXPECT_DOUBLE_EQ(OKMedianField(300, 100, 20, 0), OKMedianField(150, 100, 20, 0));
  EXPECT_DOUBLE_EQ(OKMedianField(700, 100, 20, 0), OKMedianField(900, 100, 20, 0));
  EXPECT_DOUBLE_EQ(OKMedianField(150, 10, 5, 0), OKMedianField(150, 30, 5, 0));
  EXPECT_DOUBLE_EQ(OKMedianField(150, 5000, 5, 0), OKMedianField(150, 1000, 5, 0));
  EXPECT_DOUBLE_EQ(OKMedianField(150, 100, 0.2, 0), OKMedianField(150, 100, 1, 0));
  const double at100 = OKMedianField(150, 200, 99.99999, 0);
  EXPECT_NEAR(OKMedianFieldPath(150, 200, 150, 0), at100 - 3.5218, 1e-3);
  EXPECT_DOUBLE_EQ(OKMedianFieldPath(150, 200, 50, 0), OKMedianField(150, 200, 50, 0));
  // Between nodes the surface lies between its neighbours.
  const double mid = OKMedianField(150, 40, 1, 0);
  EXPECT_GT(mid, 77.7);
  EXPECT_LT(mid, 80.2);
  const double midD = OKMedianField(450, 100, 12, 0);
  EXPECT_LT(midD, 51.6);
  EXPECT_GT(midD, 46.0);
  // The continued cells below the 1500 MHz figure's floor keep falling.
  EXPECT_LT(OKMedianField(1500, 30, 100, 0), OKMedianField(1500, 30, 80, 0));
}

TEST(OKTerms, MobileGain) {
  // Frequencies below 200 MHz read 200, heights below 1 m read 1 m.
  const struct {
    const char* area;
    double h, f, want;
  } rows[] = {{"URBAN-MEDIUM  ", 1.5, 200, -2.4}, {"URBAN-MEDIUM  ", 1.5, 400, -3.0},
              {"URBAN-MEDIUM  ", 1.0, 100, -3.7}, {"urban-large", 0.2, 900, -4.9},
              {"urban-large", 3.0, 900, 0.0},     {"urban-large", 10.0, 400, 6.05},
              {"URBAN-MEDIUM", 10.0, 1000, 18.2}, {"urban-medium", 10.0, 100, 10.5}};
  for (const auto& r : rows)
    EXPECT_NEAR(OKMobileGain(r.area, r.h, r.f), r.want, 1e-4) << r.area << " " << r.h << " " << r.f;
  // 10 to 20 m is read beyond the last row; above 20 m the same as 20 m.
  const double g20 = OKMobileGain("urban-medium", 20.0, 450);
  EXPECT_TRUE(std::isfinite(g20));
  EXPECT_GT(g20, OKMobileGain("urban-medium", 10.0, 450));
  EXPECT_DOUBLE_EQ(OKMobileGain("urban-medium", 60.0, 450), g20);
  EXPECT_EQ(OKMobileGain("urban-medium", kNaN, 450), 0.0);
}

TEST(OKTerms, AreaStreetAndLocation) {
  // Frequencies outside the figures read their ends.
  const struct {
    double f;
    const char* area;
    double want, tol;
  } area[] = {{450, "urban-large", 0, 0},       {450, "URBAN-MEDIUM  ", 0, 0},     {450, "forest", 0, 0},
              {100, " Suburban ", 6.0, 1e-9},   {3000, "SUBURBAN      ", 14.0, 1e-9}, {20, "suburban", 6.0, 1e-9},
              {100, "QUASI-OPEN    ", 18.44, 1e-9}, {2000, "open", 32.5, 1e-9},     {9000, "open", 32.5, 1e-9}};
  for (const auto& r : area) EXPECT_NEAR(OKAreaCorr(r.f, r.area), r.want, r.tol) << r.f << " " << r.area;
  const double between = OKAreaCorr(450, "open");
  EXPECT_GT(between, OKAreaCorr(400, "open"));
  EXPECT_LT(between, OKAreaCorr(500, "open"));
  EXPECT_EQ(OKAreaCorr(kNaN, "open"), 0.0);

  // sqrt(10 x 20) km is halfway between 10 and 20 km in log d.
  const struct {
    const char* street;
    double km, want, tol;
  } street[] = {{"along path", 5, 6.82, 1e-5},    {"ALONG PATH", 1, 6.82, 1e-5}, {"across path", 100, -2.09, 1e-5},
                {"across path", 400, -2.09, 1e-5}, {"along path", std::sqrt(10.0 * 20.0), (6.0 + 5.18) / 2, 1e-4},
                {"along path", 0, 0, 0},           {"along path", -3, 0, 0},    {"diagonal", 20, 0, 0}};
  for (const auto& r : street) EXPECT_NEAR(OKStreetCorr(r.street, r.km), r.want, r.tol) << r.street << " " << r.km;

  // {percentage, deviate, tolerance}: clamped to +-3.99, none for NaN.
  const double deviate[][3] = {{50, 0.0, 1e-9},  {90, 1.2816, 2e-3}, {10, -1.2816, 2e-3}, {97.5, 1.96, 2e-3},
                               {100, 3.99, 0}, {-20, -3.99, 0},    {kNaN, 0, 0}};
  for (const auto& [pct, z, tol] : deviate) EXPECT_NEAR(OKNormalDeviate(pct), z, tol) << pct;
  EXPECT_NEAR(OKLocationCorr("urban-large", 100, 90), OKNormalDeviate(90) * 5.2, 1e-9);
  EXPECT_NEAR(OKLocationCorr("suburban", 3000, 90), OKNormalDeviate(90) * 10.1, 1e-9);
  EXPECT_EQ(OKLocationCorr("suburban", 3000, 50), 0.0);
}

TEST(OKTerms, EffectiveBaseHeightAndSlope) {
  const Profile p = Stepped(20000, 500, [](double x) { return x < 3000 ? 400.0 : x <= 15000 ? 100.0 : 900.0; });
  EXPECT_NEAR(OKEffBaseHeight(p.d, p.e, p.count(), 20000, 250, 30), 150.0, 1e-9);
  // Only the points up to the path length count.
  const Profile q = Stepped(20000, 500, [](double x) { return x <= 5000 ? 100.0 : 200.0; });
  EXPECT_NEAR(OKEffBaseHeight(q.d, q.e, q.count(), 5000, 250, 30), 150.0, 1e-9);
  EXPECT_DOUBLE_EQ(OKEffBaseHeight(q.d, q.e, q.count(), 2500, 250, 30), 30.0);  // no point from 3 km
  EXPECT_DOUBLE_EQ(OKEffBaseHeight(q.d, q.e, 0, 20000, 250, 30), 30.0);
  EXPECT_DOUBLE_EQ(OKEffBaseHeight(q.d, q.e, 9999, 5000, 250, 30), 150.0);  // count past the arrays
  // A uniform rise toward the receiver of 10 m per km: 10 mrad everywhere.
  const Profile up = Stepped(40000, 1000, [](double x) { return 100.0 + 0.01 * x; });
  const OKSlope s = OKSlopeCorr(up.d, up.e, up.count(), 40000);
  EXPECT_NEAR(s.thetaMr, 1000 * std::atan(0.01), 1e-4);
  // {slope mrad, distance km, dB}
  const double slope[][3] = {{10, 5, 1.7},   {10, 60, 7.3},   {10, 35, 1.7 + (7.3 - 1.7) * 0.5},
                             {25, 80, 12.0}, {-10, 5, -2.3},  {-10, 30, -8.0},
                             {-10, 20, -2.3 + (-8.0 + 2.3) * 0.5}, {-40, 40, -17.0}, {7.5, 5, 1.2}};
  for (const auto& [mr, km, want] : slope) EXPECT_NEAR(OKSlopeTerm(mr, km), want, 1e-9) << mr << " " << km;
  EXPECT_EQ(OKSlopeTerm(0, 40), 0.0);
  EXPECT_EQ(OKSlopeCorr(up.d, up.e, up.count(), 4999).dB, 0.0);
  const Profile flat = Stepped(20000, 1000, [](double) { return 50.0; });
  EXPECT_EQ(OKSlopeCorr(flat.d, flat.e, flat.count(), 20000).dB, 0.0);
}

TEST(OKTerms, LandSea) {
  // Sea (elevation 0) over the first quarter, land beyond: sea toward the transmitter.
  const Profile p = Stepped(20000, 1000, [](double x) { return x <= 5000 ? 0.0 : 30.0; });
  OKLandSea r = OKLandSeaCorr(p.d, p.e, p.count(), 20000, 0);
  EXPECT_NEAR(r.beta, 0.25, 1e-12);
  EXPECT_NEAR(r.avgDisM, 2500, 1e-9);
  EXPECT_EQ(r.family, 'b');
  EXPECT_EQ(r.distClass, "30");
  EXPECT_NEAR(r.dB, (1.5 + 2.5) / 2, 1e-9);
  // Sea at the receiving end of a 90 km path: family a, 60 km class.
  const Profile q = Stepped(90000, 1000, [](double x) { return x > 45000 ? -1.0 : 10.0; });
  r = OKLandSeaCorr(q.d, q.e, q.count(), 90000, 0);
  EXPECT_NEAR(r.beta, 0.5, 1e-12);
  EXPECT_EQ(r.family, 'a');
  EXPECT_EQ(r.distClass, "60");
  EXPECT_NEAR(r.dB, 10.5, 1e-9);
  // 45 km: halfway between the 30 and 60 km curves.
  r = OKLandSeaCorr(q.d, q.e, 46, 45000, 10);  // all points at or below 10 m: all sea
  EXPECT_NEAR(r.beta, 1.0, 1e-12);
  EXPECT_EQ(r.distClass, "  ");
  EXPECT_NEAR(r.dB, (10.9 + 14.8) / 2, 1e-9);
  // No sea: no correction.
  r = OKLandSeaCorr(q.d, q.e, q.count(), 90000, -50);
  EXPECT_EQ(r.dB, 0.0);
  EXPECT_EQ(r.beta, 0.0);
  EXPECT_EQ(OKLandSeaCorr(q.d, q.e, q.count(), 0, 0).dB, 0.0);
}

TEST(OKTerms, UndulationHillsRidgeAndBadInputStaysFinite) {
  // Elevations 0, 10, ... 100 over the last 10 km (11 points).
  const Profile p = Stepped(30000, 1000, [](double x) { return x < 20000 ? 500.0 : (x - 20000) / 100.0; });
  const OKUndulation u = OKTerrainUndulation(p.d, p.e, p.count(), 30000, 0);
  EXPECT_EQ(u.points, 11);
  EXPECT_DOUBLE_EQ(u.lower, 10.0);
  EXPECT_DOUBLE_EQ(u.upper, 90.0);
  EXPECT_DOUBLE_EQ(u.top, 100.0);
  EXPECT_DOUBLE_EQ(u.dh, 80.0);
  EXPECT_EQ(OKTerrainUndulation(p.d, p.e, p.count(), 30000, 30000).top, 500.0);

  EXPECT_EQ(OKRollingHillCorr(450, 9.9), 0.0);
  EXPECT_NEAR(OKRollingHillCorr(453, 10), 1.3, 1e-4);
  EXPECT_NEAR(OKRollingHillCorr(922, 15), 0.5, 1e-4);
  EXPECT_NEAR(OKRollingHillCorr(100, 500), -23.13, 1e-3);
  EXPECT_NEAR(OKRollingHillCorr(3000, 2000), -23.13, 1e-3);

  // K at 80 m between the 70 and 100 m factors.
  const double k = OKHillLocationCorr(u, 0.0);
  EXPECT_LT(k, -10.77);
  EXPECT_GT(k, -12.1);
  EXPECT_DOUBLE_EQ(OKHillLocationCorr(u, 10.0), k);
  EXPECT_NEAR(OKHillLocationCorr(u, 50.0), k * 0.5, 1e-9);
  EXPECT_NEAR(OKHillLocationCorr(u, 90.0), 0.0, 1e-9);
  EXPECT_NEAR(OKHillLocationCorr(u, 95.0), -k * 0.5, 1e-9);
  EXPECT_NEAR(OKHillLocationCorr(u, 200.0), -k, 1e-9);
  OKUndulation smooth = u;
  smooth.dh = 5;
  EXPECT_EQ(OKHillLocationCorr(smooth, 0.0), 0.0);

  // A single 200 m ridge 30 km out, 2 km before the receiver, on flat ground.
  const Profile r = Stepped(32000, 500, [](double x) { return x == 30000 ? 200.0 : 0.0; });
  const OKRidge rg = OKRidgeCorr(r.d, r.e, r.count(), 32000);
  EXPECT_NEAR(rg.d1Km, 30.0, 1e-9);
  EXPECT_NEAR(rg.d2Km, 2.0, 1e-9);
  EXPECT_NEAR(rg.heightM, 200.0 - 200.0 / r.count(), 1e-6);
  EXPECT_NEAR(OKRidgeTerm(200, 30, 2), 0.07 * std::sqrt(200.0) * -13.0, 1e-4);
  EXPECT_NEAR(OKRidgeTerm(200, 60, 0), 0.07 * std::sqrt(200.0) * 19.5, 1e-4);
  EXPECT_NEAR(OKRidgeTerm(200, 100, 50), OKRidgeTerm(200, 60, 10), 1e-9);
  EXPECT_EQ(OKRidgeTerm(0, 30, 2), 0.0);
  const Profile flat = Stepped(20000, 500, [](double) { return 10.0; });
  EXPECT_EQ(OKRidgeCorr(flat.d, flat.e, flat.count(), 20000).dB, 0.0);
  // Bad input stays finite.
  const Profile p2 = Stepped(10000, 1000, [](double x) { return x == 5000 ? kNaN : 10.0; });
  EXPECT_TRUE(std::isfinite(OKMedianField(kNaN, kNaN, kNaN, 0)));
  EXPECT_TRUE(std::isfinite(OKMedianFieldPath(150, 100, std::numeric_limits<double>::infinity(), 0)));
  EXPECT_TRUE(std::isfinite(OKSlopeCorr(p2.d, p2.e, p2.count(), 10000).dB));
  EXPECT_TRUE(std::isfinite(OKLandSeaCorr(p2.d, p2.e, p2.count(), 10000, 10).dB));
  EXPECT_TRUE(std::isfinite(OKTerrainUndulation(p2.d, p2.e, p2.count(), 10000, kNaN).dh));
  EXPECT_TRUE(std::isfinite(OKRidgeCorr(p2.d, p2.e, p2.count(), 10000).dB));
  EXPECT_TRUE(std::isfinite(OKEffBaseHeight(p2.d, p2.e, p2.count(), 10000, 100, 20)));
  EXPECT_EQ(OKRollingHillCorr(kNaN, 50), 0.0);
  EXPECT_EQ(OKSlopeCorr({}, {}, 5, 10000).dB, 0.0);
  EXPECT_EQ(OKRidgeCorr({}, {}, -1, 10000).dB, 0.0);
}

// ------------------------------------------------------------ the calculator

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
    return test::EndingAt(test::Sampled(length, 500.0, test::Level(100.0f)), 0.1);
  }
  static void Ready(clsQXAreaCovOK& c, double length, double freq = 450.0, double erpDbm = 60.0) {
    test::Ready(c, {.erpDbm = erpDbm, .txAglM = 100, .txMslM = 200, .rxM = 1.5, .freqMHz = freq, .details = true,
                    .unElv = "m"},
                Profile(length), length);
  }
};

TEST_F(OKCalc, ReaderFormsSwitchesAndBadSettings) {
  clsQXAreaCovOK c;
  ASSERT_TRUE(test::Accepts(c, Template()));
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
  EXPECT_FALSE(test::Accepts(c, m));
  EXPECT_EQ(c.sReadError(), "Okumura Location percentage\nInvalid setting: 120");
  m->Set("LOCS_COR", std::string("NO CORRECTION "));  // unused when the term is off
  EXPECT_TRUE(test::Accepts(c, m));
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
  ASSERT_TRUE(test::Accepts(c, Template({{"AREA_COR", "open"}, {"SLOPE_COR", "ON"}, {"LNDSEA_COR", "ON"},
                                         {"ROLHIL_COR", "ON"}, {"HILLOC_COR", "ON"}, {"RIDGES_COR", "ON"}})));
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
      EXPECT_TRUE(test::Accepts(c, Template({{"AREA_COR", k.area}, {"LOCS_COR", on}, {"LOCS_PRCNT", pct}})))
          << c.sReadError();
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

// --------------------------------------------------------- the curve files

// The Okumura tables are read from data/curves at run time: the loaded values
// are the files' cells (the median grids' empty tail continued), and a
// damaged file refuses the Okumura calculator with the file's name.

using Csv = std::vector<std::vector<std::string>>;

Csv ReadCsv(const std::string& name) {
  std::ifstream in(std::string(RAVO_DATA_DIR) + "/curves/" + name);
  EXPECT_TRUE(in.good()) << name;
  Csv rows;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> row;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) row.push_back(cell);
    if (line.back() == ',') row.emplace_back();
    rows.push_back(row);
  }
  return rows;
}

double Cell(const Csv& t, std::size_t r, std::size_t c) { return std::stod(t.at(r + 1).at(c + 1)); }

const char* const kMed[4] = {"okumura_fig41a_urban_150mhz.csv", "okumura_fig41b_urban_450mhz.csv",
                             "okumura_fig41c_urban_900mhz.csv", "okumura_fig41d_urban_1500mhz.csv"};

TEST(OKCurveFiles, MedianGridsAreTheDigitisedFigures) {
  const OKCurveSet& c = OKCurves();
  int empty = 0;
  for (int g = 0; g < 4; ++g) {
    const Csv rows = ReadCsv(kMed[g]);
    ASSERT_EQ(rows.size(), 12u) << kMed[g];
    const CurveGrid& m = c.med[g];
    ASSERT_EQ(m.x.size(), 11u);
    ASSERT_EQ(m.y.size(), 29u);
    for (int j = 0; j < 29; ++j) EXPECT_FLOAT_EQ(m.y[j], std::stof(rows[0][j + 1]));
    for (int i = 0; i < 11; ++i) {
      ASSERT_EQ(rows[i + 1].size(), 30u) << kMed[g] << " row " << i;
      EXPECT_FLOAT_EQ(m.x[i], std::stof(rows[i + 1][0]));
      for (int j = 0; j < 29; ++j) {
        const std::string& s = rows[i + 1][j + 1];
        if (!s.empty()) {
          EXPECT_FLOAT_EQ(m.at(i, j), std::stof(s)) << kMed[g] << " hb " << m.x[i] << " d " << m.y[j];
          continue;
        }
        // Past the figure's floor: NTIA's Fig. 12 power law from the cell before.
        ++empty;
        const double halfN = 2.5 + 0.5 * std::log10(m.x[i] / 24.5) / std::log10(70.0 / 24.5);
        const double want = m.at(i, j - 1) - 20.0 * halfN * std::log10(m.y[j] / m.y[j - 1]);
        EXPECT_NEAR(m.at(i, j), want, 0.05 + 1e-6);
        EXPECT_LT(m.at(i, j), m.at(i, j - 1));
        EXPECT_LT(m.at(i, j), -9.9f);
      }
    }
  }
  EXPECT_EQ(empty, 4);
  // The continuation of the 1500 MHz / 30 m curve, as the tables had it.
  EXPECT_FLOAT_EQ(c.med[3].at(0, 25), -10.0f);
  EXPECT_FLOAT_EQ(c.med[3].at(0, 28), -13.7f);
}

TEST(OKCurveFiles, DerivedTablesAreTheirFilesAndTheRidgeTheNtiaReadings) {
  const OKCurveSet& c = OKCurves();
  const Csv gl = ReadCsv("okumura_mobile_gain_large_hata.csv"), gm = ReadCsv("okumura_mobile_gain_medium_hata.csv");
  for (std::size_t j = 0; j < 8; ++j) {
    for (std::size_t i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(c.gainLarge.at(i, j), Cell(gl, j, i));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.gainMed.at(i, j), Cell(gm, j, i));
  }
  const Csv area = ReadCsv("okumura_area_corrections_hata.csv");
  ASSERT_EQ(c.suburban.size(), 14u);
  ASSERT_EQ(c.open.size(), 13u);
  for (std::size_t i = 0; i < 14; ++i) EXPECT_DOUBLE_EQ(c.suburban[i], Cell(area, i, 0));
  for (std::size_t i = 0; i < 13; ++i) {
    EXPECT_DOUBLE_EQ(c.quasiOpen[i], Cell(area, i, 1));
    EXPECT_DOUBLE_EQ(c.open[i], Cell(area, i, 2));
  }
  const Csv roll = ReadCsv("okumura_rolling_hill_ntia.csv"), und = ReadCsv("okumura_undulation_factor_ntia.csv");
  for (std::size_t j = 0; j < 13; ++j)
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.roll.at(i, j), Cell(roll, j, i));
  for (std::size_t i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(c.undFactor[i], Cell(und, i, 1));
  const Csv sea = ReadCsv("okumura_land_sea_grid.csv"), sig = ReadCsv("okumura_location_sigma.csv");
  for (std::size_t k = 0; k < 4; ++k)
    for (std::size_t i = 0; i < 11; ++i) EXPECT_DOUBLE_EQ(c.sea[k][i], Cell(sea, i, k));
  for (std::size_t i = 0; i < 13; ++i) {
    EXPECT_DOUBLE_EQ(c.sigmaUrban[i], Cell(sig, i, 0));
    EXPECT_DOUBLE_EQ(c.sigmaSuburban[i], Cell(sig, i, 1));
  }
  // End values as documented for the model.
  const std::pair<double, double> ends[] = {{c.suburban[0], 6.0},     {c.suburban[13], 14.0}, {c.quasiOpen[0], 18.44},
                                            {c.quasiOpen[12], 27.56}, {c.open[0], 23.33},     {c.open[12], 32.5},
                                            {c.sea[0][10], 10.9},     {c.sea[1][10], 14.8},   {c.sigmaUrban[0], 5.2},
                                            {c.sigmaSuburban[12], 10.1}};
  for (const auto& [got, want] : ends) EXPECT_DOUBLE_EQ(got, want);
  const std::pair<float, float> fends[] = {
      {c.undFactor[0], 2.0f}, {c.undFactor[11], 16.7f}, {c.roll.at(0, 0), 1.3f}, {c.roll.at(1, 1), 0.5f}};
  for (const auto& [got, want] : fends) EXPECT_FLOAT_EQ(got, want);
  for (std::size_t i = 1; i < 14; ++i) EXPECT_GT(c.suburban[i], c.suburban[i - 1]);
  for (std::size_t i = 0; i < 13; ++i) EXPECT_GT(c.open[i], c.quasiOpen[i]);
  for (std::size_t j = 1; j < 8; ++j) EXPECT_GT(c.gainLarge.at(0, j), c.gainLarge.at(0, j - 1));
  const Csv r = ReadCsv("okumura_isolated_ridge_ntia_ehata.csv");  // rows d1 15/30/60, columns d2 0..8 km
  const CurveGrid& g = c.ridge;
  ASSERT_EQ(g.x.size(), 3u);
  ASSERT_EQ(g.y.size(), 13u);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < g.y.size(); ++j) {
      const double d2 = g.y[j];
      if (d2 >= 2 && d2 <= 8 && d2 == std::floor(d2)) {
        EXPECT_FLOAT_EQ(g.at(i, j), Cell(r, i, static_cast<int>(d2)));
      }
      if (d2 > 8) {
        EXPECT_FLOAT_EQ(g.at(i, j), Cell(r, i, 8)) << "held beyond the last reading";
      }
      if (d2 == 1.5f) {
        EXPECT_FLOAT_EQ(g.at(i, j), std::round(50.0 * (Cell(r, i, 1) + Cell(r, i, 2))) / 100.0);
      }
    }
  }
  // The first two rows as documented, not the readings.
  EXPECT_FLOAT_EQ(g.at(0, 0), 4.5f);
  EXPECT_FLOAT_EQ(g.at(2, 0), 19.5f);
  EXPECT_FLOAT_EQ(g.at(2, 1), -3.7f);
}

// A missing file is AllCalculators' CurveTable row for OK; these are damaged ones.
TEST(OKCurveFiles, DamagedFileOrMisplacedBlankRefusesTheCalculator) {
  const std::pair<const char*, std::string> cases[] = {
      {"okumura_fig41d_urban_1500mhz.csv", "hb_m\\dist_km,1,2\n30,1,x\n50,2,3\n"},
      {"okumura_fig41b_urban_450mhz.csv",  // a short axis
       "hb_m\\dist_km,1,1.5,2,3,4,5,6,7,8,9,10,15,20,25,30,35,40,45,50,55,60,65,70,75,80,85,90,95\n30,1,2\n"},
      {"okumura_fig41c_urban_900mhz.csv", ""},
      {"okumura_isolated_ridge_ntia_ehata.csv", "d1\\d2,0,1,2,3,4,5,6,7,8\n15,1,2,3,4,5,6,7,8,9\n30,1,2,3,4,5,6,7,8,9\n"},
      {"okumura_undulation_factor_ntia.csv", "dh\\site,-1,1\n10,-2,2\n20,-5,6\n30,-7,7\n40,-8,8\n50,-9,9\n70,-1,1\n"
                                             "100,-1,1\n150,-1,1\n200,-1,1\n300,-1,1\n400,-1,1\n500,-1,1\n"},
      {"okumura_mobile_gain_medium_hata.csv", "hm\\f,-1000,-200,-100\n3,0,0,0\n4,1,1,nan\n"},
  };
  for (const auto& [file, text] : cases) {
    SCOPED_TRACE(file);
    testing::CurveDataCopy data;
    data.Write(file, text);
    const OKCurveLoad l = SharedOKCurves();
    EXPECT_FALSE(l.curves);
    EXPECT_NE(l.error.find(data.File(file).string()), std::string::npos) << l.error;
    EXPECT_THROW((void)OKCurves(), std::runtime_error);
    EXPECT_EQ(clsQXAreaCovOK().sCurveError(), l.error);
  }
  ResetModelErrorDisplay();
  // The shipped tables are untouched and still read.
  EXPECT_TRUE(SharedOKCurves().curves);
  EXPECT_TRUE(clsQXAreaCovOK().sOKtoGO().empty());
  testing::CurveDataCopy data;
  // A blank in the middle of a median row, and a blank in the area table
  // below 3000 MHz, are damage, not a curve leaving the figure.
  std::ifstream in(data.File("okumura_area_corrections_hata.csv"));
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  const auto at = text.find("\n1000.0,");
  ASSERT_NE(at, std::string::npos);
  const auto end = text.find('\n', at + 1);
  text.replace(at + 1, end - at - 1, "1000.0,10.22,,");
  data.Write("okumura_area_corrections_hata.csv", text);
  const OKCurveLoad l = SharedOKCurves();
  EXPECT_FALSE(l.curves);
  EXPECT_NE(l.error.find("okumura_area_corrections_hata.csv"), std::string::npos) << l.error;
  EXPECT_NE(l.error.find("below 3000 MHz"), std::string::npos) << l.error;
}

}  // namespace
}  // namespace zw
