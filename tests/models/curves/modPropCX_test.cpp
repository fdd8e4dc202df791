// Part 22 contour formula (FCC 94-201): station type to coefficient row, the
// height and power floors, hand computations and bad input.
#include "models/curves/modPropCX.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>

#include "models/CalcHarness.h"
#include "models/curves/clsQXAreaCovCX.h"

namespace zw {
namespace {

double Formula(int row, double h, double p) {
  const CXCoefficients& c = CXRow(row);
  return c.k * std::pow(h, c.a) * std::pow(p, c.b);
}

TEST(CXContour, StationTypeSelectsRowOfTheHandComputedDistances) {
  const std::tuple<int, double, int> rows[] = {{1, 100, 8}, {2, 100, 9}, {3, 100, 2},    {4, 200, 4}, {4, 150, 4},
                                               {4, 149.99, 3}, {5, 100, 5}, {6, 150, 7}, {6, 100, 6}, {7, 10, 7},
                                               {0, 100, 0}, {8, 100, 0}, {-1, 100, 0}};
  for (const auto& [type, haat, row] : rows) EXPECT_EQ(CXRowOfType(type, haat), row) << type << " " << haat;
  // Type 3 (row 2: 1.609 h^0.4 p^0.2): h = 100 m, p = 100 W gives
  // 1.609 x 6.30957 x 2.51189 = 25.501 km.
  double d = -1;
  EXPECT_EQ(CX_Contour(d, 100.0, 100.0, 100.0, 3), "");
  EXPECT_NEAR(d, 1.609 * std::pow(100.0, 0.4) * std::pow(100.0, 0.2), 1e-9);
  EXPECT_NEAR(d, 25.501, 0.001);

  // Type 4 at 200 m uses row 4 (12.306 h^0.23 p^0.14), at 100 m row 3.
  EXPECT_EQ(CX_Contour(d, 200.0, 50.0, 50.0, 4), "");
  EXPECT_NEAR(d, 12.306 * std::pow(200.0, 0.23) * std::pow(50.0, 0.14), 1e-9);
  EXPECT_EQ(CX_Contour(d, 100.0, 50.0, 50.0, 4), "");
  EXPECT_NEAR(d, 8.577 * std::pow(100.0, 0.24) * std::pow(50.0, 0.19), 1e-9);

  // Type 1 (row 8, 1.243 h^0.4 p^0.2) at 30 m and 1 W: 1.243 x 30^0.4.
  EXPECT_EQ(CX_Contour(d, 30.0, 1.0, 1.0, 1), "");
  EXPECT_NEAR(d, 1.243 * std::pow(30.0, 0.4), 1e-9);
  EXPECT_NEAR(d, 4.845, 0.001);
}

TEST(CXContour, HeightAndPowerFloors) {
  double a = 0, b = 0;
  // HAAT 10 m (and a negative HAAT) is taken as 30 m.
  CX_Contour(a, 10.0, 100.0, 100.0, 5);
  CX_Contour(b, 30.0, 100.0, 100.0, 5);
  EXPECT_DOUBLE_EQ(a, b);
  CX_Contour(a, -250.0, 100.0, 100.0, 5);
  EXPECT_DOUBLE_EQ(a, b);
  // The power is at least 0.1 W and at least the horizontal ERP / 500.
  CX_Contour(a, 100.0, 1.0, 0.001, 2);
  EXPECT_NEAR(a, Formula(9, 100.0, 0.1), 1e-9);
  CX_Contour(a, 100.0, 1000.0, 0.5, 2);  // 1000 / 500 = 2 W beats 0.5 W
  EXPECT_NEAR(a, Formula(9, 100.0, 2.0), 1e-9);
  CX_Contour(a, 100.0, 1000.0, 5.0, 2);
  EXPECT_NEAR(a, Formula(9, 100.0, 5.0), 1e-9);
  EXPECT_DOUBLE_EQ(Part22FormulaErpW(0.0, 0.0), 0.1);
}

using CXContourLog = test::ModelTestEnv;

TEST_F(CXContourLog, BadTypeOrInputLeavesDistance) {
  double d = 12.5;
  EXPECT_EQ(CX_Contour(d, 100.0, 100.0, 100.0, 0), "Invalid Part 22 Type in CX_Contour");
  EXPECT_EQ(CX_Contour(d, 100.0, 100.0, 100.0, 8), "Invalid Part 22 Type in CX_Contour");
  EXPECT_DOUBLE_EQ(d, 12.5);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NE(CX_Contour(d, nan, 100.0, 100.0, 3).find("Error in CX_Contour"), std::string::npos);
  EXPECT_NE(CX_Contour(d, 100.0, 100.0, nan, 3), "");
  EXPECT_NE(CX_Contour(d, 100.0, std::numeric_limits<double>::infinity(), 1.0, 3), "");
  EXPECT_DOUBLE_EQ(d, 12.5);
  EXPECT_EQ(messages->Log().size(), 1u);  // shown once, then only logged
}

// ------------------------------------------------------------ the calculator

// The Part 22 contour calculator: station type, the radial HAAT and ERPs that reach the formula, the contour
// point, the covered / not-covered path result and its details.

class CXCalcTest : public test::ModelTestEnv {
 protected:
  CXCalcTest() : ModelTestEnv({.configHome = true}) {}
  static std::shared_ptr<FieldCollection> Template(const std::string& type) {
    return test::Fields({{"CX_CURVE", type.c_str()}});
  }
  // Due east from (44, -71), a point every 500 m, flat ground.
  static std::shared_ptr<test::GivenProfile> Path(double lengthKm, float ground) {
    return test::Along(44.0, -71.0, 90.0, lengthKm, 500, test::Level(ground));
  }
  static void Ready(clsQXAreaCovCX& c, double erpW, double txMSL, std::shared_ptr<FieldCollection> tmpl) {
    test::Ready(c, {.tmpl = std::move(tmpl), .erpDbm = 10.0 * std::log10(erpW) + 30.0, .txAglM = 50.0, .txMslM = txMSL});
    c.cFAC(test::Facility(152.0, 0.0));
    c.cMOB(test::Mobile(43.0));
  }
};

TEST_F(CXCalcTest, ReaderContourPatternsAndPathStudies) {
  clsQXAreaCovCX good;
  good.cPropMod(Template("3"));
  EXPECT_EQ(good.iPart22Type(), 3);
  for (const std::string bad : {"0", "8", "", "paging"}) {
    clsQXAreaCovCX c;
    EXPECT_FALSE(test::Accepts(c, Template(bad))) << bad;
    EXPECT_EQ(c.sReadError(), "CX Part 22 Type\nInvalid setting: " + bad) << bad;
  }
  EXPECT_NE(Log().find("CX Part 22 Type"), std::string::npos);
  // Antenna at 300 m AMSL over 100 m ground: HAAT 200 m; 100 W; type 4 at
  // 200 m uses row 4: 12.306 x 200^0.23 x 100^0.14 km.
  clsQXAreaCovCX c;
  Ready(c, 100.0, 300.0, Template("4"));
  c.sTaskType("Contour");
  c.bDetails(true);
  test::RunKm(c, Path(30.0, 100.0f), 30.0);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dHaatM(), 200.0, 1e-3);
  EXPECT_NEAR(c.dHorizErpW(), 100.0, 1e-9);
  EXPECT_NEAR(c.dPathErpW(), 100.0, 1e-9);
  const double km = 12.306 * std::pow(200.0, 0.23) * std::pow(100.0, 0.14);
  EXPECT_NEAR(c.dContourDistKm(), km, 1e-6);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(44.0, -71.0, c.dAzimuth(), km, lat, lon);
  EXPECT_NEAR(c.dContourLat(), lat, 1e-9);
  EXPECT_NEAR(c.dContourLon(), lon, 1e-9);
  EXPECT_DOUBLE_EQ(c.dNetField(), 43.0);
  EXPECT_EQ(c.sDetails().rfind("Azimuth ", 0), 0u);
  EXPECT_NE(c.sDetails().find(" 100.000 W "), std::string::npos);
  EXPECT_NE(c.sDetails().find("\r\n\tPath terrain HAAT: "), std::string::npos);

  // Ground at 200 m: HAAT 100 m, type 4 now row 3.
  test::RunKm(c, Path(30.0, 200.0f), 30.0);
  EXPECT_NEAR(c.dContourDistKm(), 8.577 * std::pow(100.0, 0.24) * std::pow(100.0, 0.19), 1e-6);
  // Patterns reach the formula; path studies tell covered from not.
  clsQXAreaCovCX pat;
  Ready(pat, 100.0, 300.0, Template("3"));
  pat.cFAC(test::Facility(152.0, 3.0));
  pat.sTaskType("Contour");
  pat.daHaz({0, 0, 90, 180, 270});
  pat.daHgain({0, 3, -7, 3, 3});  // 10 dB down toward the east
  test::RunKm(pat, Path(30.0, 100.0f), 30.0);
  EXPECT_NEAR(pat.dHorizErpW(), 10.0, 1e-9);
  EXPECT_NEAR(pat.dPathErpW(), 10.0, 1e-9);
  EXPECT_NEAR(pat.dContourDistKm(), 1.609 * std::pow(200.0, 0.4) * std::pow(10.0, 0.2), 1e-6);
  // A vertical pattern 10 dB down below 0.3 degrees: HAAT 200 m puts the
  // horizon at 0.0277 x sqrt(200) = 0.39 degrees; the path ERP drops to 1 W
  // while the horizontal one stays.
  pat.daVel({0, -10, 0.3, 0.31, 10});
  pat.daVgain({0, 3, 3, -7, -7});
  test::RunKm(pat, Path(30.0, 100.0f), 30.0);
  EXPECT_NEAR(pat.dHorizErpW(), 10.0, 1e-9);
  EXPECT_NEAR(pat.dPathErpW(), 1.0, 1e-9);
  EXPECT_NEAR(pat.dContourDistKm(), 1.609 * std::pow(200.0, 0.4) * std::pow(1.0, 0.2), 1e-6);
  clsQXAreaCovCX cov;
  Ready(cov, 100.0, 300.0, Template("3"));  // contour 1.609 x 200^0.4 x 100^0.2 = 33.6 km
  cov.bDetails(true);
  test::RunKm(cov, Path(20.0, 100.0f), 20.0);
  ASSERT_FALSE(cov.bErrorRun());
  EXPECT_TRUE(cov.bCovered());
  EXPECT_DOUBLE_EQ(cov.dNetField(), 43.0);
  EXPECT_NE(cov.sDetails().find("Within the service contour"), std::string::npos);
  test::RunKm(cov, Path(50.0, 100.0f), 50.0);
  ASSERT_FALSE(cov.bErrorRun());
  EXPECT_FALSE(cov.bCovered());
  EXPECT_LT(cov.dNetField(), -500.0);
  EXPECT_NE(cov.sDetails().find("Beyond the service contour"), std::string::npos);
}

}  // namespace
}  // namespace zw
