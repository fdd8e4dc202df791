// The Carey calculator: names and keys, refusal without a Carey table, the
// shipped grids at their check values, the path and contour branches.
#include "models/curves/clsQXAreaCovCA.h"

#include <gtest/gtest.h>

#include <memory>

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
  for (const testing::CareyTelling& t : testing::kCareyTelling) {
    const double freq = t.k < 2 ? 150.0 : 450.0;
    const std::int16_t pct = t.k % 2 ? 10 : 50;
    clsQXAreaCovCA c;
    ASSERT_TRUE(c.sOKtoGO().empty()) << c.sOKtoGO();
    Ready(c, freq, t.haat, pct);  // flat ground at sea level: HAAT = antenna height
    RunPath(c, t.d * 1.609344);
    ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
    EXPECT_NEAR(c.dDistMi(), t.d, 1e-6);
    EXPECT_NEAR(c.dNetField(), t.dbu, 1e-4) << freq << " MHz F(50," << pct << ") " << t.haat << " ft " << t.d;
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
