#include "models/terrain/modPropHD.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "models/ProfileArrays.h"

namespace zw {
namespace {

TEST(modPropHD, AreaTypeNames) {
  const auto& names = HDAreaTypeNames();
  for (const auto& n : names) EXPECT_EQ(n.size(), 14u) << n;
  EXPECT_EQ(names[0], "NO CORRECTION ");
  EXPECT_EQ(names[5], "OPEN          ");
  EXPECT_EQ(sHDAreaTypeName(HDAreaType::QuasiOpen), "QUASI-OPEN    ");
  const std::pair<const char*, int> index[] = {{"URBAN-LARGE   ", 1}, {"urban-medium", 2}, {"SUBURBAN", 3},
                                                {"NO CORRECTION ", 0}, {"OPEN ", 5},          {"CITY", -1},
                                                {" OPEN", -1},         {"", -1},              {"              ", -1}};
  for (const auto& [name, i] : index) EXPECT_EQ(iHDAreaTypeIndex(name), i) << '"' << name << '"';
}

// Hata (IEEE Trans. VT-29, 1980), large city, f >= 400 MHz:
// L = 69.55 + 26.16 log f - 13.82 log hb - a(hm) + (44.9 - 6.55 log hb) log dkm,
// a(hm) = 3.2 (log 11.75 hm)^2 - 4.97. 900 MHz, hb 50 m, hm 1.5 m, 10 km:
// L0 = 69.55 + 77.2830 - 23.4798 + 33.7717 = 157.1250 dB, a(1.5) = -0.0009 dB,
// frequency term -(900/250) log(1500/900) = -0.7987 dB, free space 111.5849 dB.
TEST(modPropHD, HataUrbanHandComputation) {
  const HDLoss r = HDCalcLoss(900, 50, 1.5, 10000, HDAreaType::UrbanLarge);
  ASSERT_TRUE(r.bOK);
  EXPECT_NEAR(r.dL0, 157.12497, 1e-4);
  EXPECT_NEAR(r.dA1, 0.000919, 1e-6);
  EXPECT_EQ(r.dA2, 0.0);
  EXPECT_EQ(r.dA3, 0.0);
  EXPECT_EQ(r.dA4, 0.0);
  EXPECT_NEAR(r.dA5, -0.798655, 1e-6);
  EXPECT_NEAR(r.dLoss, 156.32723, 1e-4);
  EXPECT_NEAR(r.dFreeSpace, 111.58485, 1e-4);
  EXPECT_NEAR(r.dModelLoss, 44.74238, 1e-4);
  EXPECT_FALSE(r.bFreeSpaceUsed);
}

// Davidson extensions (TIA TSB-88 form) on a long, high path, open area:
// 150 MHz, hb 500 m, hm 3 m, 80 km.
//   A3 = 0.62137 (80 - 20)(0.5 + 0.15 log(500/121.92)) - 0.174 (80 - 64.38) = 19.3507
//   A4 = -0.00784 |log(9.98/80)| (500 - 300) = -1.4174
//   A5 = -(150/250) log 10 - 0.112 log 10 (80 - 40.238) = -5.0533
//   open: -4.78 (log 150)^2 + 18.33 log 150 - 40.94 = -23.6873
//   medium-city a(hm): (1.1 log 150 - 0.7) 3 - (1.56 log 150 - 0.8) = 2.4864
TEST(modPropHD, DavidsonLongPathHandComputation) {
  const HDLoss r = HDCalcLoss(150, 500, 3, 80000, HDAreaType::Open);
  ASSERT_TRUE(r.bOK);
  EXPECT_NEAR(r.dL0, 140.98222, 1e-4);
  EXPECT_NEAR(r.dA1, -2.48640, 1e-4);
  EXPECT_NEAR(r.dA2, -23.68733, 1e-4);
  EXPECT_NEAR(r.dA3, 19.35073, 1e-4);
  EXPECT_NEAR(r.dA4, -1.41741, 1e-4);
  EXPECT_NEAR(r.dA5, -5.053344, 1e-5);
  EXPECT_NEAR(r.dLoss, 127.68846, 1e-4);
  EXPECT_NEAR(r.dFreeSpace, 114.08362, 1e-4);
  EXPECT_NEAR(r.dModelLoss, 13.60484, 1e-4);
  // Quasi-open is the open value + 5 dB.
  const HDLoss q = HDCalcLoss(150, 500, 3, 80000, HDAreaType::QuasiOpen);
  EXPECT_NEAR(q.dA2, r.dA2 + 5.0, 1e-12);
}

TEST(modPropHD, AdjustmentsByAreaTypeAndFrequency) {
  // Suburban (Hata): -2 (log(f/28))^2 - 5.4 = -8.3091 at 450 MHz.
  EXPECT_NEAR(HDCalcLoss(450, 30, 1.5, 5000, HDAreaType::Suburban).dA2, -8.309135, 1e-6);
  EXPECT_EQ(HDCalcLoss(450, 30, 1.5, 5000, HDAreaType::NoCorrection).dA2, 0.0);
  // Urban between 200 and 400 MHz: no receiver-height adjustment.
  EXPECT_EQ(HDCalcLoss(300, 30, 1.5, 5000, HDAreaType::UrbanMedium).dA1, 0.0);
  // Urban at 150 MHz: -(8.29 (log(1.54 x 3))^2 - 1.1).
  EXPECT_NEAR(HDCalcLoss(150, 30, 3, 5000, HDAreaType::UrbanLarge).dA1,
              -(8.29 * std::pow(std::log10(1.54 * 3), 2) - 1.1), 1e-12);
  // hm 1.5 m at 150 MHz, medium-city formula (non-urban types): near 0 (Hata's reference height).
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 5000, HDAreaType::Suburban).dA1, 0.0541, 1e-4);
  // Frequency term: 0 at 1500 MHz, -0.6 dB at 150 MHz (short paths).
  EXPECT_NEAR(HDCalcLoss(1500, 30, 1.5, 5000, HDAreaType::Open).dA5, 0.0, 1e-12);
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 5000, HDAreaType::Open).dA5, -0.6, 1e-12);
  // Range terms start beyond 20 km, 40.238 km and 64.38 km only.
  EXPECT_EQ(HDCalcLoss(150, 30, 1.5, 20000, HDAreaType::Open).dA3, 0.0);
  EXPECT_NEAR(HDCalcLoss(150, 30, 1.5, 40238, HDAreaType::Open).dA5, -0.6, 1e-12);
  EXPECT_NEAR(HDCalcLoss(150, 121.92, 1.5, 30000, HDAreaType::Open).dA3, 0.62137 * 10 * 0.5, 1e-9);
  // Base height term only above 300 m.
  EXPECT_EQ(HDCalcLoss(150, 300, 1.5, 50000, HDAreaType::Open).dA4, 0.0);
}

TEST(modPropHD, RadialHeightAboveAverageTerrainAndBadInputRefusedWithoutNaN) {
  // 1 km steps to 20 km, elevation = km x 10.
  auto [d, e] = test::Stepped(20000, 1000, [](double x) { return x / 100; });
  const int n = static_cast<int>(d.size());
  // 3 km to 16 km inclusive: mean of 30 .. 160 = 95.
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, n, 3000, 16000), 95.0);
  // A path shorter than the start distance: no points, average 0 (HAAT = antenna height above sea level).
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, 3, 3000, 16000), 0.0);
  // Voids are not averaged.
  e[10] = -32200.0f;
  e[11] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(d, e, n, 9000, 12000), (90.0 + 120.0) / 2.0);
  // Scan ends at the first point beyond the stop distance.
  std::vector<double> back{0, 4000, 20000, 5000};
  std::vector<float> be{0, 100, 900, 300};
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, 4, 3000, 16000), 100.0);
  // Count beyond the arrays and empty profiles.
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, 99, 3000, 16000), 100.0);
  EXPECT_DOUBLE_EQ(dHDAverageTerrain({}, {}, 5, 3000, 16000), 0.0);
  EXPECT_DOUBLE_EQ(dHDAverageTerrain(back, be, -1, 3000, 16000), 0.0);
  // Bad input is refused without NaN.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const HDLoss& r : {HDCalcLoss(150, 100, 1.5, 0, HDAreaType::Open), HDCalcLoss(150, 100, 1.5, -10, HDAreaType::Open),
                          HDCalcLoss(0, 100, 1.5, 1000, HDAreaType::Open), HDCalcLoss(nan, 100, 1.5, 1000, HDAreaType::Open),
                          HDCalcLoss(150, nan, 1.5, 1000, HDAreaType::Open), HDCalcLoss(150, 100, nan, 1000, HDAreaType::Open)}) {
    EXPECT_FALSE(r.bOK);
    EXPECT_FALSE(r.sError.empty());
    EXPECT_EQ(r.dModelLoss, 0.0);
  }
  // A base below the average terrain is computed (guarded logarithms) and flagged.
  const HDLoss low = HDCalcLoss(150, -40, 1.5, 10000, HDAreaType::Open);
  EXPECT_TRUE(low.bOK);
  EXPECT_TRUE(low.bBaseNotPositive);
  EXPECT_TRUE(std::isfinite(low.dModelLoss));
}

}  // namespace
}  // namespace zw
