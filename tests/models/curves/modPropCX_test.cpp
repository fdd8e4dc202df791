// Part 22 contour formula (FCC 94-201): station type to coefficient row, the
// height and power floors, hand computations and bad input.
#include "models/curves/modPropCX.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "ModelTestEnv.h"

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

}  // namespace
}  // namespace zw
