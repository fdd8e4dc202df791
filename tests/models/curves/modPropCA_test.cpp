// Carey curve routines on grids built here (no public tabulation of the
// curves is shipped): the node values of the grids are the curves' telling
// values, everything between is a smooth made-up surface.
#include "models/curves/modPropCA.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/curves/CurveTestData.h"
#include "models/curves/clsQXAreaCovCA.h"

namespace zw {
namespace {

// The published check values of the Carey curves, grid k (0 F(50,50) and 1
// F(50,10) below 300 MHz, 2 and 3 those above), HAAT ft, distance mi, dBu for
// 1 kW.
struct Telling {
  int k;
  double haat, d, dbu;
};
const Telling kTelling[] = {
    {0, 100, 5, 59.9},   {0, 100, 10, 47.0},  {0, 100, 20, 32.4},   {0, 100, 50, 13.5},  {0, 100, 100, -1.0},
    {0, 1000, 5, 77.0},  {0, 1000, 10, 66.7}, {0, 1000, 20, 52.0},  {0, 1000, 50, 27.9}, {0, 1000, 100, 4.9},
    {0, 5000, 5, 86.9},  {0, 5000, 10, 78.5}, {0, 5000, 20, 65.0},  {0, 5000, 50, 39.0}, {0, 5000, 100, 13.0},
    {1, 1000, 10, 67.0}, {1, 1000, 20, 52.5}, {1, 1000, 50, 30.2},  {1, 1000, 100, 13.9}, {1, 1000, 200, -6.1},
    {2, 1000, 5, 79.0},  {2, 1000, 20, 46.8}, {2, 1000, 50, 20.0},  {2, 1000, 100, -0.7}, {3, 1000, 20, 47.4},
    {3, 1000, 100, 4.1}, {3, 1000, 200, -13.1},
};

// The telling values of one grid and HAAT, straight in log d between them and
// continued with the end slopes; NaN when that HAAT has none.
double Row(int k, double haat, double d) {
  std::vector<std::pair<double, double>> p;
  for (const Telling& t : kTelling)
    if (t.k == k && t.haat == haat) p.emplace_back(std::log10(t.d), t.dbu);
  if (p.size() < 2) return std::nan("");
  const double x = std::log10(d);
  std::size_t i = 0;
  while (i + 2 < p.size() && x > p[i + 1].first) ++i;
  return p[i].second + (p[i + 1].second - p[i].second) * (x - p[i].first) / (p[i + 1].first - p[i].first);
}

// Made-up surface (dBu for 1 kW ERP) through the telling values: rows with
// telling values follow them, others are the 1000 ft row shifted with log h
// (F(50,50) low between its three known rows, in log h).
double Surface(int k, double haat, double d) {
  if (d < 0.001) return 120.0;
  if (k == 0) {
    const double lo = haat <= 1000 ? 100 : 1000, hi = haat <= 1000 ? 1000 : 5000;
    const double t = std::log10(std::clamp(haat, 100.0, 5000.0) / lo) / std::log10(hi / lo);
    return Row(0, lo, d) + (Row(0, hi, d) - Row(0, lo, d)) * t;
  }
  return Row(k, 1000, d) + 8.0 * std::log10(haat / 1000.0);
}

double NodeValue(int k, double haat, double d) {
  for (const Telling& t : kTelling)
    if (t.k == k && t.haat == haat && t.d == d) return t.dbu;
  return std::round(Surface(k, haat, d) * 10.0) / 10.0;
}

// Grids of the surface and their CSV form.
CareyCurveSet TestCareyCurves() {
  CareyCurveSet s;
  for (int k = 0; k < 4; ++k) {
    CurveGrid& g = s.grid[k];
    for (double h : CareyHaatAxisFt()) g.x.push_back(float(h));
    for (double d : CareyDistanceAxisMi(k)) g.y.push_back(float(d));
    for (float d : g.y)
      for (float h : g.x) g.z.push_back(float(NodeValue(k, h, d)));
  }
  return s;
}

std::string TestCareyCsv(int k) {
  std::ostringstream o;
  o << "haat_ft\\dist_mi";
  for (double d : CareyDistanceAxisMi(k)) o << "," << d;
  o << "\n";
  for (double h : CareyHaatAxisFt()) {
    o << h;
    for (double d : CareyDistanceAxisMi(k)) o << "," << NodeValue(k, h, d);
    o << "\n";
  }
  return o.str();
}

const CareyCurveSet& Curves() {
  static const CareyCurveSet c = TestCareyCurves();
  return c;
}

double Fld(double f, double haat, double erp, std::int16_t pct, double d) {
  double w = -1;
  std::string err;
  CA_Fld(Curves(), f, haat, erp, pct, d, w, err);
  EXPECT_TRUE(err.empty()) << err;
  return w;
}

TEST(modPropCA, NodesGiveTheTellingValuesGridChoiceClampAndNinetyPercent) {
  for (const Telling& t : kTelling) {
    const double f = t.k < 2 ? 150.0 : 450.0;
    const std::int16_t pct = t.k % 2 ? 10 : 50;
    EXPECT_NEAR(Fld(f, t.haat, 0, pct, t.d), t.dbu, 1e-4) << t.k << " " << t.haat << " " << t.d;
    EXPECT_NEAR(Fld(f, t.haat, 3.5, pct, t.d), t.dbu + 3.5, 1e-4);
  }
  // Grid choice, clamp and 90 %.
  // 300 MHz is the high band; percentage 90 reads F(50,50); others F(50,10).
  EXPECT_NEAR(Fld(300, 1000, 0, 50, 20), 46.8, 1e-4);
  EXPECT_NEAR(Fld(299.9, 1000, 0, 50, 20), 52.0, 1e-4);
  EXPECT_NEAR(Fld(150, 1000, 0, 33, 20), 52.5, 1e-4);
  EXPECT_NEAR(Fld(150, 1000, 0, 90, 20), 52.0 - 10.8, 1e-4);
  EXPECT_NEAR(Fld(450, 1000, 0, 90, 20), 46.8 - 14.7, 1e-4);
  // HAAT clamped to 100 ... 5000 ft.
  EXPECT_DOUBLE_EQ(Fld(150, 50, 0, 50, 10), Fld(150, 100, 0, 50, 10));
  EXPECT_DOUBLE_EQ(Fld(150, 9000, 0, 50, 10), Fld(150, 5000, 0, 50, 10));
  // The first distance point is 120 dBu everywhere.
  for (double f : {150.0, 450.0})
    for (std::int16_t p : {10, 50}) EXPECT_NEAR(Fld(f, 700, 2, p, 0.0001), 122.0, 1e-4);
  // Between nodes: between the neighbours.
  const double mid = Fld(150, 1000, 0, 50, 15);
  EXPECT_LT(mid, 66.7);
  EXPECT_GT(mid, 52.0);
}

TEST(modPropCA, LossIsFreeSpaceLessFieldAndContourScanFindsTheLastCrossing) {
  std::string err = "old";
  const double loss = CA_Loss(Curves(), 20, 1000, 150, 50, 0, err);
  EXPECT_TRUE(err.empty());
  EXPECT_NEAR(loss, FreeSpaceFieldMi(20, 0) - 52.0, 1e-4);
  EXPECT_GE(CA_Loss(Curves(), 0.5, 5000, 150, 50, 0, err), 0.0);
  double d = -5;
  ASSERT_TRUE(CA_Contour(Curves(), d, 1000, 150, 50, 0, 52.0).empty());
  EXPECT_NEAR(d, 20.0, 0.05);
  EXPECT_NEAR(Fld(150, 1000, 0, 50, d), 52.0, 0.05);
  // ERP and the 90 % offset shift the field the contour is read on.
  double d90 = 0;
  ASSERT_TRUE(CA_Contour(Curves(), d90, 1000, 150, 90, 10.8, 52.0).empty());
  EXPECT_NEAR(d90, d, 1e-4);
  // The scan covers 0 ... 95.5 mi below 300 MHz (192 points): a threshold
  // first met beyond it, or above the field everywhere, leaves the distance.
  double keep = 42;
  ASSERT_TRUE(CA_Contour(Curves(), keep, 1000, 150, 50, 0, 500.0).empty());
  EXPECT_EQ(keep, 42);
  ASSERT_TRUE(CA_Contour(Curves(), keep, 1000, 150, 50, 0, -200.0).empty());
  EXPECT_EQ(keep, 42);
  // F(50,10) below 300 MHz scans to 140.5 mi.
  double far = 0;
  ASSERT_TRUE(CA_Contour(Curves(), far, 1000, 150, 10, 0, 13.9).empty());
  EXPECT_NEAR(far, 100.0, 0.1);
}

TEST(modPropCA, FilesAreReadTransposedAndCheckedMissingOnesNamedWithTheLayout) {
  testing::CurveDataCopy data;
  for (int k = 0; k < 4; ++k) data.Write(kCareyFiles[k], TestCareyCsv(k));
  const CareyCurveLoad l = LoadCareyCurves(data.File("x").parent_path());
  ASSERT_TRUE(l.curves) << l.error;
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(l.curves->grid[k].x, Curves().grid[k].x);
    EXPECT_EQ(l.curves->grid[k].y, Curves().grid[k].y);
    for (std::size_t i = 0; i < Curves().grid[k].z.size(); ++i)
      EXPECT_NEAR(l.curves->grid[k].z[i], Curves().grid[k].z[i], 1e-4);
  }
  // A file on the wrong distance axis is named, with the layout.
  data.Write(kCareyFiles[3], TestCareyCsv(2));
  const CareyCurveLoad bad = LoadCareyCurves(data.File("x").parent_path());
  EXPECT_FALSE(bad.curves);
  EXPECT_NE(bad.error.find(data.File(kCareyFiles[3]).string()), std::string::npos) << bad.error;
  EXPECT_NE(bad.error.find("haat_ft"), std::string::npos);
  // Missing files are named with their layout.
  for (int k = 1; k < 4; ++k) data.Remove(std::string("carey/") + kCareyFiles[k]);
  const CareyCurveLoad l2 = SharedCareyCurves();
  EXPECT_FALSE(l2.curves);
  EXPECT_EQ(l2.error.find(kCareyFiles[0]), std::string::npos) << l2.error;
  for (int k = 1; k < 4; ++k) EXPECT_NE(l2.error.find(kCareyFiles[k]), std::string::npos) << l2.error;
  EXPECT_NE(l2.error.find("100, 200, 500, 1000, 2000, 5000 ft"), std::string::npos);
}

// ------------------------------------------------------------ the calculator

// The Carey calculator: names and keys, refusal without a Carey table, the
// shipped grids at their check values, the path and contour branches.

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
  for (const Telling& t : kTelling) {
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
