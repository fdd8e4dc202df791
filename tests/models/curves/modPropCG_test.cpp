// Cellular service-area boundary: the 47 CFR 22.911(a) formulas (metric form
// used as the reference), the height floors and caps, the 3.4 mile minimum,
// and bad input.
#include "models/curves/modPropCG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>

#include "models/CalcHarness.h"
#include "models/curves/clsQXAreaCovCG.h"

namespace zw {
namespace {

constexpr double kKmPerMi = 1.609344;

// 22.911(a)(1): d = 2.531 h^0.34 p^0.17 km, h in m, p in W.
double CfrKm(double hM, double pW) { return 2.531 * std::pow(hM, 0.34) * std::pow(pW, 0.17); }
// 22.911(a)(2), Gulf of Mexico: d = 6.895 h^0.30 p^0.15 km.
double CfrGulfKm(double hM, double pW) { return 6.895 * std::pow(hM, 0.30) * std::pow(pW, 0.15); }

TEST(CGContour, MatchesTheMetricRule) {
  // 100 m HAAT, 100 W: 2.531 x 4.7863 x 2.1878 = 26.50 km = 16.47 mi.
  double d = 0;
  EXPECT_EQ(CG_Contour(d, 100.0, false, false, 100.0, 100.0), "");
  EXPECT_NEAR(d * kKmPerMi, CfrKm(100.0, 100.0), 0.005 * CfrKm(100.0, 100.0));
  EXPECT_NEAR(d, 16.47, 0.03);
  // 300 m, 500 W.
  EXPECT_EQ(CG_Contour(d, 300.0, false, false, 500.0, 500.0), "");
  EXPECT_NEAR(d * kKmPerMi, CfrKm(300.0, 500.0), 0.005 * CfrKm(300.0, 500.0));
  // Gulf of Mexico: 50 m, 200 W.
  EXPECT_EQ(CG_Contour(d, 50.0, true, false, 200.0, 200.0), "");
  EXPECT_NEAR(d * kKmPerMi, CfrGulfKm(50.0, 200.0), 0.005 * CfrGulfKm(50.0, 200.0));
  // The English-unit form itself: h in feet, d in miles.
  EXPECT_NEAR(d, 3.0 * std::pow(50.0 / 0.3048, 0.3) * std::pow(200.0, 0.15), 1e-9);
}

TEST(CGContour, HeightFloorsCapAndLandCellsAtLeast3Point4Miles) {
  // Gulf station: the floor is 25 ft (the rule's 8 m / 26 ft), so 10 m
  // (32.8 ft) stands and 3 m is raised to 25 ft.
  EXPECT_NEAR(CGFormulaHaatFt(10.0, true, false, 100.0), 10.0 / 0.3048, 1e-9);
  EXPECT_DOUBLE_EQ(CGFormulaHaatFt(3.0, true, false, 100.0), 25.0);
  double a = 0, b = 0;
  CG_Contour(a, 3.0, true, false, 100.0, 100.0);
  CG_Contour(b, 25.0 * 0.3048, true, false, 100.0, 100.0);
  EXPECT_DOUBLE_EQ(a, b);
  // Land cells: 100 ft (30 m / 98 ft), or 10 ft for an unserved-area cell
  // below 10 W.
  const std::tuple<double, bool, double, double> land[] = {
      {5.0, false, 5.0, 100.0}, {1.0, true, 5.0, 10.0}, {1.0, true, 10.0, 100.0}, {9000.0, false, 5.0, 5000.0},
      {-50.0, false, 5.0, 100.0}};  // {HAAT m, unserved, ERP W, ft}
  for (const auto& [m, unserved, w, ft] : land)
    EXPECT_DOUBLE_EQ(CGFormulaHaatFt(m, false, unserved, w), ft) << m << " m " << unserved << " " << w << " W";
  EXPECT_NEAR(CGFormulaHaatFt(200.0, false, false, 5.0), 200.0 / 0.3048, 1e-9);
  double d = 0;
  EXPECT_EQ(CG_Contour(d, 1.0, false, true, 0.5, 0.5), "");
  EXPECT_DOUBLE_EQ(d, 3.4);
  // Gulf cells have no such minimum (3.0 x 25^0.3 x 0.5^0.15 = 7.10 mi here).
  EXPECT_EQ(CG_Contour(d, 1.0, true, false, 0.5, 0.5), "");
  EXPECT_NEAR(d, 3.0 * std::pow(25.0, 0.3) * std::pow(0.5, 0.15), 1e-9);
}

using CGContourLog = test::ModelTestEnv;

TEST_F(CGContourLog, BadInputLeavesDistance) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double d = 7.0;
  EXPECT_NE(CG_Contour(d, nan, false, false, 100.0, 100.0).find("Error in CG_Contour"), std::string::npos);
  EXPECT_NE(CG_Contour(d, 100.0, false, false, nan, 100.0), "");
  EXPECT_NE(CG_Contour(d, 100.0, false, false, 100.0, -std::numeric_limits<double>::infinity()), "");
  EXPECT_DOUBLE_EQ(d, 7.0);
  EXPECT_EQ(messages->Log().size(), 1u);  // shown once, then only logged
}

// ------------------------------------------------------------ the calculator

// The cellular CGSA calculator: its keys and names, the Gulf-of-Mexico and
// unserved-area options reaching the boundary formula, distances in miles.

class CGCalcTest : public test::ModelTestEnv {
 protected:
  CGCalcTest() : ModelTestEnv({.configHome = true}) {}
  static std::shared_ptr<test::GivenProfile> Path(double lengthKm, float ground) {
    return test::Along(29.0, -90.0, 90.0, lengthKm, 500, test::Level(ground));
  }
  static void Ready(clsQXAreaCovCG& c, double erpW, double txMSL, std::shared_ptr<FieldCollection> tmpl) {
    test::Ready(c, {.tmpl = std::move(tmpl), .erpDbm = 10.0 * std::log10(erpW) + 30.0, .txMslM = txMSL});
    c.cFAC(test::Facility(880.0, 0.0));
    c.cMOB(test::Mobile(32.0));
    c.sTaskType("CONTOUR");
  }
};

TEST_F(CGCalcTest, ReaderKeysContourFromTheRuleAndItsOptions) {
  clsQXAreaCovCG c;
  ASSERT_TRUE(test::Accepts(c, test::Fields({{"cg_gulfmex", "True"}, {"cg_unservd", "0"}, {"cg_vgnmode", "HOR"}})));
  EXPECT_TRUE(c.bGulfOfMexico());
  EXPECT_FALSE(c.bUnservedArea());
  EXPECT_EQ(c.sVertGainMode(), "HOR");
  // HAAT 100 m (antenna 110 m over 10 m ground), 100 W: 22.911(a)(1)
  // gives 2.531 x 100^0.34 x 100^0.17 km.
  clsQXAreaCovCG cg;
  Ready(cg, 100.0, 110.0, std::make_shared<FieldCollection>());
  EXPECT_EQ(cg.iChannel(), 69);
  cg.bDetails(true);
  test::RunKm(cg, Path(40.0, 10.0f), 40.0);
  ASSERT_FALSE(cg.bErrorRun()) << cg.sPathError();
  EXPECT_NEAR(cg.dHaatM(), 100.0, 1e-3);
  const double km = 2.531 * std::pow(100.0, 0.34) * std::pow(100.0, 0.17);
  EXPECT_NEAR(cg.dContourDistKm(), km, 0.005 * km);
  double mi = 0;
  CG_Contour(mi, cg.dHaatM(), false, false, 100.0, 100.0);
  EXPECT_NEAR(cg.dContourDistMi(), mi, 1e-9);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(29.0, -90.0, cg.dAzimuth(), mi * 1.609344, lat, lon);
  EXPECT_NEAR(cg.dContourLat(), lat, 1e-9);
  EXPECT_NEAR(cg.dContourLon(), lon, 1e-9);
  EXPECT_NE(cg.sDetails().find(" mi "), std::string::npos);
  EXPECT_DOUBLE_EQ(cg.dNetField(), 32.0);
  // A low cell: HAAT 5 m, 5 W.
  clsQXAreaCovCG g;
  Ready(g, 5.0, 15.0, test::Fields({{"cg_gulfmex", "1"}}));
  test::RunKm(g, Path(40.0, 10.0f), 40.0);
  EXPECT_NEAR(g.dContourDistMi(), 3.0 * std::pow(25.0, 0.3) * std::pow(5.0, 0.15), 1e-6);

  clsQXAreaCovCG u;
  Ready(u, 1.0, 12.0, test::Fields({{"cg_unservd", "True"}}));
  test::RunKm(u, Path(40.0, 10.0f), 40.0);
  // HAAT 2 m (6.6 ft) is taken at 10 ft: 1.05 x 10^0.34 x 1^0.17 = 2.30 mi,
  // raised to 3.4 mi.
  EXPECT_DOUBLE_EQ(u.dContourDistMi(), 3.4);
}

}  // namespace
}  // namespace zw
