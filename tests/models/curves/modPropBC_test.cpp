#include "models/curves/modPropBC.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "common/FreeSpace.h"
#include "models/curves/CurveFile.h"
#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/clsQXAreaCovSM.h"
#include "models/curves/CurveTestData.h"

namespace zw {
namespace {

// Published check values of the FCC broadcast curves (47 CFR 73.333 FM and
// 73.699 TV, F(50,50) and F(50,10); F(50,90) = 2 F(50,50) - F(50,10) per the
// DTV rules of MM Docket 87-268), dBu for 1 kW ERP, as tabulated in
// data/curves/fcc_f50*.csv (provenance in data/curves/README.md).
struct CheckRow {
  std::int16_t pct, channel;
  double haatFt;
  std::vector<std::pair<double, double>> values;  // distance mi, dBu
};
const std::vector<CheckRow> kChecks{
    {50, 2, 100, {{1, 92.0}, {5, 64.0}, {10, 52.0}, {20, 39.4}, {50, 20.3}, {100, 4.0}, {200, -19.2}}},
    {50, 2, 1000, {{1, 102.0}, {5, 83.7}, {10, 72.0}, {20, 59.6}, {50, 36.7}, {100, 11.5}, {200, -13.6}}},
    {50, 2, 5000, {{1, 102.5}, {5, 88.1}, {10, 81.9}, {20, 74.2}, {50, 53.0}, {100, 25.5}, {200, -2.0}}},
    {50, 7, 1000, {{1, 102.0}, {5, 84.5}, {10, 75.0}, {20, 62.5}, {50, 38.0}, {100, 11.5}, {200, -13.4}}},
    {50, 14, 1000, {{1, 102.0}, {5, 82.9}, {10, 72.0}, {20, 59.1}, {50, 28.3}, {100, 5.7}, {200, -15.9}}},
    {10, 2, 1000, {{10, 72.3}, {20, 60.9}, {50, 41.9}, {100, 22.0}, {200, -4.9}, {300, -24.6}}},
    {10, 14, 1000, {{10, 72.3}, {20, 60.3}, {50, 36.7}, {100, 19.7}, {200, -6.6}, {300, -26.3}}},
    {90, 2, 1000, {{10, 71.7}, {20, 58.3}, {50, 31.5}, {100, 1.0}, {200, -22.3}}},
    {90, 14, 1000, {{10, 71.7}, {20, 57.9}, {50, 19.9}, {100, -8.3}, {200, -25.2}}},
};

double Fld(std::int16_t ch, double haat, double erp, std::int16_t pct, double dist) {
  double f = -999;
  std::string err = "stale";
  BC_Fld(ch, haat, erp, pct, dist, f, err);
  EXPECT_EQ(err, "");
  return f;
}

double Contour(double haat, std::int16_t ch, std::int16_t pct, double erp, double thr) {
  double d = -1;
  EXPECT_EQ(BC_Contour(d, haat, ch, pct, erp, thr), "");
  return d;
}

TEST(modPropBC, ChannelFromFrequencyAndBandOfChannel) {
  // 615 MHz: nint(143.75) = 144, 144 div 6 = 24, + 14; 74 MHz lies between channels 4 and 5.
  const std::pair<double, int> freq[] = {{98.1, 251}, {88.1, 201}, {107.9, 300}, {615, 38},  {851, 69},
                                         {30, -88},   {74, -88},   {55.25, 2},   {71.9, 4},  {77.25, 5},
                                         {88.0, 6},   {175.25, 7}, {211.25, 13}, {471.25, 14}, {806, 69},
                                         {std::nan(""), -88}};
  for (const auto& [f, ch] : freq) EXPECT_EQ(BCChannelFromFreq(f), ch) << f;
  const std::pair<int, BCBand> band[] = {{2, BCBand::LowVHF},   {6, BCBand::LowVHF}, {7, BCBand::HighVHF},
                                         {13, BCBand::HighVHF}, {14, BCBand::UHF},   {83, BCBand::UHF},
                                         {251, BCBand::LowVHF}, {-88, BCBand::None}, {0, BCBand::None},
                                         {1, BCBand::None},     {84, BCBand::None},  {199, BCBand::None},
                                         {301, BCBand::None},   {322, BCBand::None}};
  for (const auto& [ch, b] : band) EXPECT_EQ(BCBandOfChannel(static_cast<std::int16_t>(ch)), b) << ch;
}

TEST(modPropBC, FieldAtGridNodesIsThePublishedValuePlusErp) {
  for (const CheckRow& r : kChecks) {
    const CurveGrid* g = BCCurveGrid(r.pct, BCBandOfChannel(r.channel));
    ASSERT_NE(g, nullptr);
    for (auto [dist, dbu] : r.values) {
      std::int16_t ier = 0;
      EXPECT_NEAR(itplbv(*g, float(dist), float(r.haatFt), ier), dbu, 1e-5)
          << "F(50," << r.pct << ") ch " << r.channel << " " << r.haatFt << " ft " << dist << " mi";
      EXPECT_EQ(ier, 0);
      // F(50,10) at 10 miles or less reads F(50,50).
      const std::int16_t used = (r.pct == 10 && dist <= 10) ? 50 : r.pct;
      const double expect = used == r.pct ? dbu : BCCurveGrid(50, BCBandOfChannel(r.channel))->at(5, 5);
      EXPECT_NEAR(Fld(r.channel, r.haatFt, 0.0, r.pct, dist), expect, 1e-5);
      EXPECT_NEAR(Fld(r.channel, r.haatFt, 10.0, r.pct, dist), expect + 10.0, 1e-5);
    }
  }
  EXPECT_NEAR(Fld(2, 1000, 0, 10, 10), 72.0, 1e-5);  // not the F(50,10) 72.3
  EXPECT_NEAR(Fld(2, 1000, -3.5, 90, 50), 28.0, 1e-5);
  // FM channels read the low-VHF curves; SMR above 806 MHz reads UHF.
  EXPECT_EQ(Fld(251, 1000, 0, 50, 37), Fld(2, 1000, 0, 50, 37));
  EXPECT_EQ(Fld(BCChannelFromFreq(851), 1000, 0, 50, 37), Fld(14, 1000, 0, 50, 37));
}

TEST(modPropBC, HaatClampedTenPercentInsideTenMilesAndFallingBetweenNodes) {
  EXPECT_EQ(Fld(2, 50, 0, 50, 33), Fld(2, 100, 0, 50, 33));
  EXPECT_EQ(Fld(2, -400, 0, 50, 33), Fld(2, 100, 0, 50, 33));
  EXPECT_EQ(Fld(2, 6000, 0, 50, 33), Fld(2, 5000, 0, 50, 33));
  EXPECT_NE(Fld(2, 4999, 0, 50, 33), Fld(2, 5000, 0, 50, 33));
  EXPECT_EQ(Fld(7, 1000, 0, 10, 8), Fld(7, 1000, 0, 50, 8));
  EXPECT_NE(Fld(7, 1000, 0, 10, 10.5), Fld(7, 1000, 0, 50, 10.5));
  // Between the nodes the field falls with distance on every grid (the surface
  // itself is the shared interpolation routine's, tested with it).
  for (std::int16_t pct : {50, 10, 90})
    for (std::int16_t ch : {2, 7, 14}) {
      const CurveGrid& g = *BCCurveGrid(pct, BCBandOfChannel(ch));
      for (double h : {100.0, 150.0, 333.0, 1000.0, 1100.0, 2500.0, 4500.0, 5000.0}) {
        double prev = 1e9;
        for (double d = g.x.front() + (pct == 10 ? 0.5 : 0.0); d <= g.x.back(); d += 0.5) {
          const double f = Fld(ch, h, 0, pct, d);
          EXPECT_LE(f, prev + 1e-4) << pct << " ch " << ch << " " << h << " ft " << d << " mi";
          prev = f;
        }
      }
    }
}

TEST(modPropBC, NoBandGivesTheErpAndErrorsLeaveTheField) {
  EXPECT_EQ(Fld(1, 1000, 7.5, 50, 20), 7.5);
  EXPECT_EQ(Fld(150, 1000, 7.5, 90, 20), 7.5);
  EXPECT_EQ(Fld(2, 1000, -2.0, 30, 20), -2.0);
  EXPECT_EQ(BCCurveGrid(30, BCBand::LowVHF), nullptr);
  EXPECT_EQ(BCCurveGrid(50, BCBand::None), nullptr);
  // Interpolation errors are reported and leave the field.
  double f = 55.5;
  std::string err;
  BC_Fld(2, 1000, 0, 50, std::nan(""), f, err);
  EXPECT_EQ(err, "Error 8 in BC_Fld curve interpolation");
  EXPECT_EQ(f, 55.5);
  BC_Fld(2, std::nan(""), 0, 50, 20, f, err);
  EXPECT_EQ(err, "Error 8 in BC_Fld curve interpolation");
  EXPECT_EQ(BC_Loss(std::nan(""), 1000, 2, 50, 0, err), 0.0);
  EXPECT_EQ(err, "Error 8 in BC_Fld curve interpolation");
  // A later good call clears the text.
  BC_Fld(2, 1000, 0, 50, 20, f, err);
  EXPECT_EQ(err, "");
  double d = 77;
  EXPECT_EQ(BC_Contour(d, std::nan(""), 2, 50, 0, 40), "Error 8 in BC_Contour curve interpolation");
  EXPECT_EQ(d, 0.0);
}

TEST(modPropBC, LossIsFreeSpaceLessTheCurveAndNeverNegative) {
  std::string err;
  EXPECT_NEAR(BC_Loss(50, 1000, 2, 50, 0, err), FreeSpaceFieldMi(50, 0) - 36.7, 1e-5);
  EXPECT_EQ(err, "");
  EXPECT_NEAR(BC_Loss(1, 1000, 2, 50, 3, err), FreeSpaceFieldMi(1, 3) - 105.0, 1e-5);  // 0.787 dB
  for (std::int16_t ch : {2, 7, 14, 251, 1}) {
    for (std::int16_t pct : {50, 10, 90}) {
      for (double d : {0.1, 0.5, 0.99, 1.0, 3.0, 12.0, 99.0, 250.0, 400.0}) {
        for (double h : {30.0, 100.0, 5000.0, 9000.0}) {
          const double loss = BC_Loss(d, h, ch, pct, 0, err);
          EXPECT_EQ(err, "");
          EXPECT_GE(loss, 0.0) << ch << " " << pct << " " << d << " " << h;
          EXPECT_TRUE(std::isfinite(loss));
        }
      }
    }
  }
}

TEST(modPropBC, ContourAtPublishedValuesLandsOnTheGridDistance) {
  // {channel, F(50,x), ERP dBk, threshold dBu, mi} at 1000 ft; 110 mi is found by the second pass.
  const struct {
    std::int16_t ch, pct;
    double erp, thr, mi;
  } rows[] = {{2, 50, 0, 72.0, 10.0}, {2, 50, 0, 36.7, 50.0},  {2, 50, 10, 46.7, 50.0}, {2, 50, 0, 11.5, 100.0},
              {2, 50, 0, 8.4, 110.0}, {14, 50, 0, 28.3, 50.0}, {2, 10, 0, 41.9, 50.0},  {14, 90, 0, 19.9, 50.0}};
  for (const auto& r : rows) EXPECT_NEAR(Contour(1000, r.ch, r.pct, r.erp, r.thr), r.mi, 1e-5) << r.ch << " " << r.thr;
}

TEST(modPropBC, ContourAgreesWithTheFieldRoutine) {
  for (std::int16_t pct : {50, 10, 90}) {
    for (std::int16_t ch : {2, 9, 40}) {
      for (double h : {120.0, 800.0, 3300.0}) {
        for (double thr : {95.0, 70.0, 55.5, 41.0, 20.0, 3.0, -9.0, -21.0}) {
          const double d = Contour(h, ch, pct, 0, thr);
          const double last = (pct == 10) ? 300.0 : 200.0;
          if (d <= 1.0 || d >= last) continue;
          const std::int16_t used = (pct != 50 && d <= 10) ? 50 : pct;  // the F(50,50) fallback
          // The threshold lies between the fields at the half-mile points
          // around the distance, and the straight line between them is close
          // to the surface (0.1 dB where the curves bend most, near 1 mile).
          const double lo = std::floor(d * 2) / 2, hi = lo + 0.5;
          EXPECT_GE(Fld(ch, h, 0, used, lo) + 1e-4, thr) << pct << " ch " << ch << " " << h << " ft " << thr;
          EXPECT_LT(Fld(ch, h, 0, used, hi), thr) << pct << " ch " << ch << " " << h << " ft " << thr;
          EXPECT_NEAR(Fld(ch, h, 0, used, d), thr, d < 5 ? 0.15 : 0.03) << pct << " ch " << ch << " " << h << " ft " << thr;
        }
      }
    }
  }
}

TEST(modPropBC, ContourBeyondTwoHundredMiles) {
  // F(50,10) runs to 300 miles (data/curves/fcc_f5010_lowvhf_fm.csv, 1000 ft:
  // -9.0 dBu at 220 mi, -24.6 at 300 mi); its contour is searched that far
  // rather than replaced by the shorter F(50,50) one.
  EXPECT_NEAR(Contour(1000, 2, 10, 0, -9.0), 220.0, 1e-4);
  EXPECT_NEAR(Contour(1000, 2, 10, 40, 31.0), 220.0, 1e-4);
  EXPECT_NEAR(Contour(1000, 2, 10, 0, -24.6 + 1e-4), 300.0, 0.01);
  EXPECT_GT(Contour(1000, 2, 10, 0, -9.0), Contour(1000, 2, 50, 0, -9.0));
  // Past the end of the curves: the end of the curves.
  EXPECT_EQ(Contour(1000, 2, 10, 0, -40.0), 300.0);
  EXPECT_EQ(Contour(1000, 2, 50, 0, -13.6), 200.0);  // exactly the 200-mile value
  EXPECT_EQ(Contour(1000, 2, 50, 0, -40.0), 200.0);
  EXPECT_EQ(Contour(1000, 2, 90, 0, -30.0), 200.0);
  EXPECT_NEAR(Contour(1000, 2, 90, 0, -19.9), 190.0, 1e-4);
}

TEST(modPropBC, ContourFallbacks) {
  // Threshold above the field at 1 mile: free-space distance, at most 1 mile.
  EXPECT_NEAR(Contour(1000, 2, 50, 0, 110.0), std::pow(10.0, (102.8 - 110.0) / 20.0), 1e-12);
  EXPECT_NEAR(Contour(1000, 2, 50, 0, 102.7), 1.0, 1e-12);
  EXPECT_NEAR(Contour(1000, 2, 50, 5, 115.0), std::pow(10.0, (102.8 - 115.0 + 5) / 20.0), 1e-12);
  // F(50,10) and F(50,90) crossings inside 10 miles fall back to F(50,50).
  for (double thr : {80.0, 90.0, 76.0}) {
    EXPECT_EQ(Contour(1000, 2, 10, 0, thr), Contour(1000, 2, 50, 0, thr)) << thr;
    EXPECT_EQ(Contour(1000, 14, 90, 0, thr), Contour(1000, 14, 50, 0, thr)) << thr;
  }
  EXPECT_GT(Contour(1000, 2, 50, 0, 80.0), 5.0);
  EXPECT_LT(Contour(1000, 2, 50, 0, 80.0), 10.0);
  // Outside every band the "curve" is the ERP at every distance.
  EXPECT_EQ(Contour(1000, 1, 50, 0, -1.0), 200.0);
  EXPECT_EQ(Contour(1000, 1, 50, 0, 1.0), 1.0);
}

TEST(modPropBC, CurvesAreBuiltOnceAndShared) {
  std::vector<const BCCurveSet*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&seen, t] {
      BCCurveSetup();
      seen[t] = &BCCurves();
      double f = 0;
      std::string err;
      BC_Fld(14, 1000, 0, 50, 50, f, err);
      EXPECT_NEAR(f, 28.3, 1e-5);
    });
  }
  for (auto& th : threads) th.join();
  for (const BCCurveSet* p : seen) EXPECT_EQ(p, &BCCurves());
  const BCCurveSet& c = BCCurves();
  for (int b = 0; b < 3; ++b)
    for (const auto& [g, lx] : {std::pair{&c.f50[b], 25}, {&c.f10[b], 30}, {&c.f90[b], 20}}) {
      EXPECT_EQ(g->lx(), lx);
      EXPECT_EQ(g->ly(), 13);
      EXPECT_EQ(g->z.size(), static_cast<std::size_t>(lx) * 13u);
    }
}

// The grids hold the file cells exactly (as 4-byte floats), distance fastest.
TEST(modPropBC, LoadedGridsEqualTheFileCellsAndAreConsistent) {
  const char* bands[] = {"lowvhf_fm", "highvhf", "uhf"};
  const BCCurveSet& c = BCCurves();
  for (int b = 0; b < 3; ++b) {
    for (int pct : {50, 10, 90}) {
      const auto file = CurveDirectory() / ("fcc_f50" + std::to_string(pct) + "_" + bands[b] + ".csv");
      const CurveCsv t = ReadCurveCsv(file);
      ASSERT_TRUE(t.error.empty()) << t.error;
      const CurveGrid& g = pct == 50 ? c.f50[b] : pct == 10 ? c.f10[b] : c.f90[b];
      ASSERT_EQ(g.x.size(), t.columns.size());
      ASSERT_EQ(g.y.size(), t.rows.size());
      for (std::size_t j = 0; j < t.rows.size(); ++j) {
        EXPECT_EQ(g.y[j], float(t.rows[j]));
        for (std::size_t i = 0; i < t.columns.size(); ++i) EXPECT_EQ(g.at(i, j), float(t.at(j, i))) << file;
      }
      for (std::size_t i = 0; i < t.columns.size(); ++i) EXPECT_EQ(g.x[i], float(t.columns[i]));
    }
  }
  for (int b = 0; b < 3; ++b) {
    for (std::size_t j = 0; j < 13; ++j) {
      // F(50,90) = 2 F(50,50) - F(50,10) over 10-200 miles (to the 0.1 dB of the tables).
      for (std::size_t i = 0; i < 20; ++i)
        EXPECT_NEAR(c.f90[b].at(i, j), 2 * c.f50[b].at(i + 5, j) - c.f10[b].at(i, j), 0.1001) << b << " " << j;
      // Field falls with distance and does not fall with height.
      for (std::size_t i = 1; i < 25; ++i) EXPECT_LT(c.f50[b].at(i, j), c.f50[b].at(i - 1, j));
      for (std::size_t i = 1; i < 30; ++i) EXPECT_LT(c.f10[b].at(i, j), c.f10[b].at(i - 1, j));
      if (j > 0) {
        for (std::size_t i = 0; i < 25; ++i) EXPECT_GE(c.f50[b].at(i, j), c.f50[b].at(i, j - 1));
        for (std::size_t i = 0; i < 30; ++i) EXPECT_GE(c.f10[b].at(i, j), c.f10[b].at(i, j - 1));
      }
    }
  }
}

// A damaged file (a missing one is AllCalculators' CurveTable row): no grids
// at all, and the free functions and the calculators give the loader's
// message naming the file.
TEST(modPropBC, MalformedFileRefusesTheModel) {
  struct Case {
    const char* file;
    const char* text;
  };
  const Case cases[] = {
      {"fcc_f5010_highvhf.csv", "haat_ft\\dist_mi,10,20\n100,1,2\n200,3,4\n"},  // wrong axes
      {"fcc_f5050_lowvhf_fm.csv", "haat_ft\\dist_mi,1,2\n100,1,oops\n200,3,4\n"},
  };
  for (const Case& k : cases) {
    testing::CurveDataCopy data;
    data.Write(k.file, k.text);
    const BCCurveLoad l = SharedBCCurves();
    EXPECT_FALSE(l.curves);
    EXPECT_NE(l.error.find(data.File(k.file).string()), std::string::npos) << l.error;
    EXPECT_EQ(BCCurveGrid(50, BCBand::UHF), nullptr);
    double f = 7;
    std::string err;
    BC_Fld(14, 1000, 0, 50, 50, f, err);
    EXPECT_EQ(err, l.error);
    EXPECT_EQ(f, 7);
    double d = 3;
    EXPECT_EQ(BC_Contour(d, 1000, 14, 50, 0, 40), l.error);
    EXPECT_THROW((void)BCCurves(), std::runtime_error);
    clsQXAreaCovSM sm;  // the calculators carry the loader's message
    EXPECT_EQ(sm.sCurveError(), l.error);
    sm.bSilent(true);
    sm.dPathLthM(10000);
    sm.CovCalc();
    EXPECT_EQ(sm.sPathError(), l.error);
  }
  // The shipped tables are untouched and still read.
  EXPECT_TRUE(SharedBCCurves().curves);
  EXPECT_TRUE(clsQXAreaCovBC().sOKtoGO().empty());
}

}  // namespace
}  // namespace zw
