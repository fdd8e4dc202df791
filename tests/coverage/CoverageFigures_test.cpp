#include "coverage/CoverageFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "ModelTestEnv.h"
#include "geo/Geodesic.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;

constexpr double kTxLat = 44.0, kTxLon = -71.5;

class CoverageFiguresTest : public test::ModelTestEnv {
 protected:

  // One record per (azimuth, km, value) around the transmitter.
  fs::path Table(int task, const char* code, const std::vector<std::array<double, 3>>& pts) {
    ResultsDb db(tmp.path(), task);
    EXPECT_TRUE(db.AddRec1("TX SITSite", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 0, 0, 0));
    for (const auto& [az, km, val] : pts) {
      double lat = 0, lon = 0;
      Geodesic::ForwardKm(kTxLat, kTxLon, az, km, lat, lon);
      EXPECT_TRUE(db.AddRec1(code, lat, lon, az, km, val, 0, 0, -32200.0f, 0, 0));
    }
    return db.File();
  }

  // The count of the table's study points at or above a level, read back
  // with the results-table reader.
  int DirectCount(int task, const std::string& code, double level) {
    ResultsDb db(tmp.path(), task);
    EXPECT_EQ(db.Open(), "");
    int n = 0;
    for (const auto& r : db.ReadAll())
      if (r.desc == code && IsComputed(r.val) && r.val >= level) ++n;
    return n;
  }

  StudyResults Load(const fs::path& table) {
    StudyResults s;
    EXPECT_EQ(LoadStudyResults(table, {}, s), "");
    return s;
  }
};

TEST_F(CoverageFiguresTest, RadialStudyCountsCellsAndCrossings) {
  // Four radials of 1..4 km: a gap that recovers, all below, all above, and
  // one point not computed.
  const auto table = Table(1, "ABCRAD", {{0, 1, 70}, {0, 2, 55}, {0, 3, 65}, {0, 4, 50},
                                         {90, 1, 50}, {90, 2, 40}, {90, 3, 30}, {90, 4, 20},
                                         {180, 1, 70}, {180, 2, 68}, {180, 3, 66}, {180, 4, 64},
                                         {270, 1, 61}, {270, 2, 59}, {270, 3, kRdbNotComputed}, {270, 4, 65}});
  std::ofstream(tmp.path() / "T0000001.INI") << "[RX Facility]\nLevel 0=60|dBu|50\n";
  const StudyResults s = Load(table);
  const auto threshold = StudyThreshold(s);
  ASSERT_TRUE(threshold.has_value());
  EXPECT_EQ(*threshold, 60);
  const CoverageFigures f = ComputeCoverageFigures(s, threshold, {50, 66});
  EXPECT_EQ(f.points, 16);
  EXPECT_EQ(f.computed, 15);
  // Each radial a quarter of the disc out to 4.5 km, less the missing point's ring 2.5..3.5 km.
  EXPECT_NEAR(f.areaKm2, M_PI * 4.5 * 4.5 - M_PI / 4 * (3.5 * 3.5 - 2.5 * 2.5), 1e-9);
  ASSERT_TRUE(f.threshold.has_value());
  EXPECT_EQ(f.threshold->points, DirectCount(1, "ABCRAD", 60));
  ASSERT_EQ(f.levels.size(), 2u);
  for (const auto& l : f.levels) EXPECT_EQ(l.points, DirectCount(1, "ABCRAD", l.level)) << l.level;
  const std::vector<double> area = PointCellAreasKm2(s);
  double above = 0;
  for (std::size_t i = 0; i < s.points.size(); ++i)
    if (IsComputed(s.points[i].val) && s.points[i].val >= 60) above += area[i];
  EXPECT_NEAR(f.threshold->areaKm2, above, 1e-9);

  struct Want {
    double az;
    bool any, toEnd;
    double first, last;
  } want[] = {{0, true, false, 1 + 10.0 / 15, 3 + 5.0 / 15},
              {90, false, false, 0, 0},
              {180, true, true, 4, 4},
              {270, true, true, 1.5, 4}};
  ASSERT_EQ(f.radials.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(f.radials[i].azimuth, want[i].az);
    EXPECT_EQ(f.radials[i].anyAbove, want[i].any) << want[i].az;
    EXPECT_EQ(f.radials[i].coveredToEnd, want[i].toEnd) << want[i].az;
    EXPECT_NEAR(f.radials[i].firstBelowKm, want[i].first, 1e-9) << want[i].az;
    EXPECT_NEAR(f.radials[i].lastAboveKm, want[i].last, 1e-9) << want[i].az;
  }
  const auto j = nlohmann::json::parse(CoverageFiguresJson(f));
  EXPECT_EQ(j["threshold"]["points"], f.threshold->points);
  EXPECT_EQ(j["threshold"]["unit"], "dBu");
  EXPECT_NE(CoverageFiguresText(f).find("km^2"), std::string::npos);
}

TEST_F(CoverageFiguresTest, TileCellsAndContourPointsGiveTheirAreas) {
  // A 3 x 3 grid 0.01 degree apart: each cell about 1.111 km by 0.800 km at 44 N.
  {
    ResultsDb db(tmp.path(), 2);
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col)
        EXPECT_TRUE(db.AddRec1("ABCTIL", kTxLat + 0.01 * row, kTxLon + 0.01 * col, 0, 1, 50.0 + 5 * row + col, 0, 0,
                               0, 0, 0));
  }
  const StudyResults tile = Load(tmp.path() / "R0000002.DBF");
  ASSERT_TRUE(tile.tile);
  const CoverageFigures f = ComputeCoverageFigures(tile, 56.0, {});
  EXPECT_NEAR(f.areaKm2, 9 * 1.1113 * 0.8001, 0.005 * f.areaKm2);
  EXPECT_EQ(f.threshold->points, DirectCount(2, "ABCTIL", 56));
  EXPECT_NEAR(f.threshold->areaKm2, f.threshold->points * f.areaKm2 / 9, 0.001 * f.areaKm2);
  EXPECT_TRUE(f.radials.empty());
  // Contour points 5 km out every 10 degrees enclose the 5 km disc.
  std::vector<std::array<double, 3>> ring;
  for (int az = 0; az < 360; az += 10) ring.push_back({static_cast<double>(az), 5, 50});
  const StudyResults c = Load(Table(3, "ABCCTR 50.0% 50.000dBu", ring));
  ASSERT_TRUE(c.pointPerRadial);
  EXPECT_NEAR(ComputeCoverageFigures(c, std::nullopt, {}).areaKm2, M_PI * 25, 1e-9);
}

}  // namespace
}  // namespace zw::coverage
