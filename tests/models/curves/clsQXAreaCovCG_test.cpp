// The cellular CGSA calculator: its keys and names, the Gulf-of-Mexico and
// unserved-area options reaching the boundary formula, distances in miles.
#include "models/curves/clsQXAreaCovCG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "models/CalcHarness.h"
#include "models/curves/modPropCG.h"

namespace zw {
namespace {

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
  c.cPropMod(test::Fields({{"cg_gulfmex", "True"}, {"cg_unservd", "0"}, {"cg_vgnmode", "HOR"}}));
  ASSERT_TRUE(c.cPropMod());
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
