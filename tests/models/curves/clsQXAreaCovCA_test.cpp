// The Carey calculator: names and keys, refusal without a Carey table, the
// shipped grids at their check values, the path and contour branches.
#include "models/curves/clsQXAreaCovCA.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/curves/CurveTestData.h"

namespace zw {

CareyCurveSet TestCareyCurves();  // modPropCA_test.cpp
std::string TestCareyCsv(int k);

namespace {

void Ready(clsQXAreaCovCA& c, double freq, double txMSLft, std::int16_t pct) {
  test::Ready(c, {.tmpl = test::Fields({{"ca_curve", std::to_string(pct).c_str()}, {"CA_DESC", "carey test"}}),
                  .erpDbm = 60.0,  // 0 dBk
                  .txAglM = 30.0,
                  .txMslM = txMSLft * 0.3048,
                  .freqMHz = freq});
  c.cMOB(test::Mobile(52.0));
}

// Flat ground at sea level due east from (44, -71).
void RunPath(clsQXAreaCovCA& c, double km) {
  test::RunKm(c, test::Along(44.0, -71.0, 90.0, km, 500, test::Level(0)), km);
}

// The shipped grids, read through the whole calculator on a flat profile
// (HAAT = antenna height), give the published check values at the nodes.
TEST(clsQXAreaCovCA, ShippedGridsGiveTheCheckValuesAtTheNodes) {
  testing::CurveDataCopy data;
  struct Row {
    double freq;
    std::int16_t pct;
    double haatFt;
    std::vector<std::pair<double, double>> miDbu;
  };
  const Row rows[] = {
      {150, 50, 100, {{5, 59.9}, {10, 47.0}, {20, 32.4}, {50, 13.5}, {100, -1.0}}},
      {150, 50, 1000, {{5, 77.0}, {10, 66.7}, {20, 52.0}, {50, 27.9}, {100, 4.9}}},
      {150, 50, 5000, {{5, 86.9}, {10, 78.5}, {20, 65.0}, {50, 39.0}, {100, 13.0}}},
      {150, 10, 1000, {{10, 67.0}, {20, 52.5}, {50, 30.2}, {100, 13.9}, {200, -6.1}}},
      {450, 50, 1000, {{5, 79.0}, {20, 46.8}, {50, 20.0}, {100, -0.7}}},
      {450, 10, 1000, {{20, 47.4}, {100, 4.1}, {200, -13.1}}},
  };
  for (const Row& r : rows)
    for (const auto& [mi, dbu] : r.miDbu) {
      clsQXAreaCovCA c;
      ASSERT_TRUE(c.sOKtoGO().empty()) << c.sOKtoGO();
      Ready(c, r.freq, r.haatFt, r.pct);  // flat ground at sea level: HAAT = antenna height
      RunPath(c, mi * 1.609344);
      ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
      EXPECT_NEAR(c.dDistMi(), mi, 1e-6);
      EXPECT_NEAR(c.dNetField(), dbu, 1e-4) << r.freq << " MHz F(50," << r.pct << ") " << r.haatFt << " ft " << mi;
    }
}

TEST(clsQXAreaCovCA, PathFieldAndContourFromTheCurves) {
  clsQXAreaCovCA c(std::make_shared<const CareyCurveSet>(TestCareyCurves()));
  ASSERT_TRUE(c.sOKtoGO().empty());
  Ready(c, 150, 1000, 50);
  EXPECT_EQ(c.sDesc(), "carey test");
  RunPath(c, 20 * 1.609344);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dHaatFt(), 1000.0, 1e-6);
  EXPECT_NEAR(c.dNetField(), 52.0, 1e-3);  // the telling value at 1000 ft, 20 mi
  EXPECT_NEAR(c.dModelLoss(), FreeSpaceFieldMi(20, 0) - 52.0, 1e-3);

  // 90 %, 450 MHz: F(50,50) high less 14.7 dB.
  clsQXAreaCovCA h(std::make_shared<const CareyCurveSet>(TestCareyCurves()));
  Ready(h, 450, 1000, 90);
  RunPath(h, 20 * 1.609344);
  EXPECT_NEAR(h.dNetField(), 46.8 - 14.7, 1e-3);

  // Contour study: the threshold 52 dBu is met at 20 mi.
  c.StudyTaskType("Contour");
  RunPath(c, 50);
  ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
  EXPECT_NEAR(c.dContourDistMi(), 20.0, 0.05);
  double km = 0, lat = 0, lon = 0;
  ASSERT_TRUE(c.ContourPoint(km, lat, lon));
  EXPECT_NEAR(km, c.dContourDistMi() * 1.609344, 1e-9);
}

}  // namespace
}  // namespace zw
