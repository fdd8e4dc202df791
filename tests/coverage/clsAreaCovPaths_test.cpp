#include "coverage/clsAreaCovPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "Installation.h"
#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;
using platform::ProfileGetString;

void WriteText(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

std::string ReadText(const fs::path& file) { return platform::ReadWholeFile(file).value_or(""); }

// Presses cancel when the progress value reaches a given point.
class CancelAt : public QuietProgress {
 public:
  explicit CancelAt(std::int64_t at) : at_(at) {}
  void SetValue(std::int64_t v) override {
    QuietProgress::SetValue(v);
    if (v == at_) PressCancel();
  }

 private:
  std::int64_t at_;
};

class AreaCovPathsTest : public ::testing::Test {
 protected:
  fs::path TaskFile() const { return tmp.path() / "T0000042.INI"; }
  fs::path PathsFile() const { return tmp.path() / "E0000042.INI"; }
  fs::path ResultsFile() const { return tmp.path() / "R0000042.DBF"; }

  // A coverage task 42 with the given summary, its study object at 40 N 75 W.
  void Study(const std::string& type, const std::string& summary, const std::string& rdbDesc = "") {
    auto t = AreaStudyTask::ForNumber(42, tmp.path());
    t.sDesc = "Test study";
    t.sSum = summary;
    t.sRDBDesc = rdbDesc.empty() ? summary.substr(0, 6) : rdbDesc;
    t.bSilent = true;
    cov.SetTask(t);
    cov.SetTaskType(type);
    cov.SetTXDesc("  Main site  ");
    cov.SetTXLat(40.0);
    cov.SetTXLon(-75.0);
  }
  void Step(const std::string& value) {
    ASSERT_TRUE(platform::ProfileWriteString("Quick Coverage", "ADV RAD STEP COV", value, TaskFile()));
  }
  // The radial step and the paths file.
  void Radials(const std::string& step, const std::string& paths) {
    Step(step);
    WriteText(PathsFile(), paths);
  }
  void Boundary(const std::string& value) {
    ASSERT_TRUE(platform::ProfileWriteString("Quick Coverage", "ADV Boundary", value, TaskFile()));
  }
  // The study's first point (the study is generated first): the error text.
  std::string First() {
    double a, d, la, lo;
    return cov.FirstPoint(a, d, la, lo);
  }
  void Tiles(double s, double n, double w, double e, const std::string& ns, const std::string& ew) {
    WriteText(TaskFile(), "[Elevation Data]\nelt_slat=" + std::to_string(s) + "\nelt_nlat=" + std::to_string(n) +
                              "\nelt_wlon=" + std::to_string(w) + "\nelt_elon=" + std::to_string(e) +
                              "\nelt_nsS=" + ns + "\nelt_nsSun=km\nelt_ewS=" + ew + "\nelt_ewSun=km\n");
  }
  // Every point of the study in the order the run visits them.
  std::vector<RdbRecord> Walk() {
    std::vector<RdbRecord> out;
    double az, dis, lat, lon;
    EXPECT_EQ(cov.FirstPoint(az, dis, lat, lon), "");
    while (!cov.bEOF()) {
      RdbRecord r;
      r.az = az, r.dis = dis, r.lat = lat, r.lon = lon;
      out.push_back(r);
      EXPECT_EQ(cov.NextPoint(az, dis, lat, lon), "");
    }
    return out;
  }
  // The whole table, site record included.
  std::vector<RdbRecord> Table() {
    platform::DbfTable t;
    std::vector<RdbRecord> out;
    EXPECT_EQ(t.Open(ResultsFile(), true), "");
    for (int r = 0; r < t.RecordCount(); ++r) {
      if (t.IsDeleted(r)) continue;
      out.push_back({.desc = t.Text(r, "RDB_DESC"), .lat = t.Number(r, "RDB_LAT"), .lon = t.Number(r, "RDB_LON"),
                     .az = t.Number(r, "RDB_AZ"), .dis = t.Number(r, "RDB_DIS"), .val = t.Number(r, "RDB_VAL"),
                     .elv = static_cast<float>(t.Number(r, "RDB_ELV")), .elvEmpty = t.IsNull(r, "RDB_ELV")});
    }
    return out;
  }
  std::vector<fs::path> Leftovers() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(tmp.path()))
      if (e.path().filename().string().rfind(".R", 0) == 0) out.push_back(e.path());
    return out;
  }

  test::Installation tmp;  // the study's folder
  platform::ScriptedMessages* messages = &tmp.messages();
  clsAreaCovPaths cov;
};

// ---------------------------------------------------------------- radials

TEST_F(AreaCovPathsTest, SteppedRadialsInTableOrder) {
  Study("CONTOUR", "ABCCTR 1", "ABCCTR 50.0% 39.000dBu");
  Step("2.5|km");
  WriteText(PathsFile(),
            "[Paths]\nPATH0=1|40|-75|90|0|0|10|km\nPATH1=2|40|-75|0|0|0|10|km\nNum Paths=2\n"
            "PATH2=3|40|-75|45|0|0|3|km\n");
  const auto pts = Walk();
  ASSERT_EQ(pts.size(), 9u);  // 4 + 4 + 1 (3 km radial: 2.5 only)
  // Radials by increasing azimuth, each from its far end inward.
  const double expect[][2] = {{0, 10}, {0, 7.5}, {0, 5}, {0, 2.5}, {45, 2.5}, {90, 10}, {90, 7.5}, {90, 5}, {90, 2.5}};
  for (std::size_t i = 0; i < pts.size(); ++i) {
    EXPECT_NEAR(pts[i].az, expect[i][0], 1e-9) << i;
    EXPECT_NEAR(pts[i].dis, expect[i][1], 1e-9) << i;
  }
  EXPECT_EQ(cov.RSNumRec(), 9);
  EXPECT_TRUE(cov.bEOF());
  // Points at 10 km north lie about 0.09 degree from the transmitter.
  EXPECT_NEAR(pts[0].lat, 40.09, 0.001);
  EXPECT_NEAR(pts[0].lon, -75.0, 1e-7);
  // The contour study's points carry the radial code; the site record is
  // in the table but not in the study.
  const auto all = Table();
  ASSERT_EQ(all.size(), 10u);
  EXPECT_EQ(all[0].desc, "TX SITMain site");
  EXPECT_EQ(all[0].dis, 0);
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].desc, "ABCRAD") << i;
  // Task file bookkeeping and bounds.
  EXPECT_EQ(ProfileGetString("Results Data Base", "Number", "", TaskFile()), "1");
  EXPECT_EQ(ProfileGetString("Results Data Base", "RDB000", "", TaskFile()), "ABCCTR 50.0% 39.000dBu");
  // The geodesic east bends south of the parallel: the bounds hold it.
  EXPECT_NEAR(cov.dCovMaxLat(), pts[0].lat, 1e-7);
  EXPECT_NEAR(cov.dCovMinLat(), pts[5].lat, 1e-7);
  EXPECT_LT(cov.dCovMinLat(), 40.0);
  EXPECT_EQ(ProfileGetString("Results Data Base", "minLat", "", TaskFile()), FormatNumber(cov.dCovMinLat(), "####.000000000"));
  EXPECT_DOUBLE_EQ(cov.dCovMinLon(), -75.0);
  EXPECT_GT(cov.dCovMaxLon(), -74.9);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(AreaCovPathsTest, StepDistancesAreWholeMultiplesWithTheEndPointKept) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Radials("3|km", "PATH1=|||0|||10|km\n");
  auto pts = Walk();
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_NEAR(pts[0].dis, 9, 1e-9);
  EXPECT_NEAR(pts[2].dis, 3, 1e-9);
  // 0.1 km steps to 3 km: thirty points, the last exactly at 3 km (a running
  // sum of 0.1 overshoots 3 and would drop it).
  Radials("0.1|km", "PATH1=|||0|||3|km\n");
  cov.CloseRS();
  pts = Walk();
  ASSERT_EQ(pts.size(), 30u);
  EXPECT_NEAR(pts.front().dis, 3.0, 1e-12);
  // Units: 1 mi radial in 1000 ft steps.
  Radials("1000|ft", "PATH1=|||0|||1|mi\n");
  cov.CloseRS();
  EXPECT_EQ(Walk().size(), 5u);  // 5280 ft
}

TEST_F(AreaCovPathsTest, RadialLinesWithJunkFieldsAreSkipped) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Step("5|km");
  WriteText(PathsFile(),
            "\xEF\xBB\xBFpath1=|||10|||5|km\n"        // BOM and lower case: used
            "PATH2=|||-88888.|||5|km\n"               // missing azimuth
            "PATH3=|||north|||5|km\n"                 // no number at all
            "PATH4=|||-360|||5|km\n"                  // -360 is used
            "PATH5=|||20|||0|km\n"                    // no length
            "PATH6=|||30\n"                           // fields missing
            "PATH7=\n"                                // empty value
            "PATH8\n"                                 // no value
            "  PATH9=|||40|||5|km\n"                  // not a PATH line
            "XPATH=|||50|||5|km\n"
            "PATH10=|||60|||5|km=ignored|||99|||99\r\n"  // value ends at the second '='
            "PATH11=|||70|||5 km|km\n");              // tolerant number
  const auto pts = Walk();
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_NEAR(pts[0].az, -360, 1e-9);
  EXPECT_NEAR(pts[1].az, 10, 1e-9);
  EXPECT_NEAR(pts[2].az, 60, 1e-9);
  EXPECT_NEAR(pts[3].az, 70, 1e-9);
}

TEST_F(AreaCovPathsTest, RadialFailuresLeaveTheOldTableAndTaskFileAlone) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Radials("1|km", "PATH1=|||0|||2|km\n");
  ASSERT_EQ(Walk().size(), 2u);
  const std::string tableBefore = ReadText(ResultsFile());
  const std::string taskBefore = ReadText(TaskFile());
  auto again = [&] {
    cov.CloseRS();
    return First();
  };
  // No radial in the paths file.
  WriteText(PathsFile(), "[Paths]\nNum Paths=0\nPATH1=|||0|||0|km\n");
  EXPECT_NE(again().find("no usable radials"), std::string::npos);
  // A distance in a unit that does not convert.
  WriteText(PathsFile(), "PATH1=|||0|||2|km\nPATH2=|||90|||2|furlong\n");
  EXPECT_NE(again().find("Error converting radial distance"), std::string::npos);
  // Step missing or in a bad unit.
  WriteText(PathsFile(), "PATH1=|||0|||2|km\n");
  ASSERT_TRUE(platform::ProfileDelete("Quick Coverage", "ADV RAD STEP COV", TaskFile()));
  EXPECT_NE(again().find("Invalid radial step"), std::string::npos);
  Step("1|parsec");
  EXPECT_NE(again().find("Error converting radial Step"), std::string::npos);
  Step("1|km");
  // Paths file missing.
  fs::remove(PathsFile());
  const std::string err = again();
  EXPECT_EQ(err, "\nPaths file not found\n" + PathsFile().string());
  EXPECT_TRUE(cov.bEOF());
  EXPECT_EQ(cov.RSNumRec(), 0);
  EXPECT_EQ(ReadText(ResultsFile()), tableBefore);
  EXPECT_EQ(ReadText(TaskFile()), taskBefore);
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_NE(ReadText(tmp.path() / "ZWTECSUP.TXT").find("Paths file not found"), std::string::npos);
}

TEST_F(AreaCovPathsTest, TaskFileOrTableTroubleKeepsTheOldStudy) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Radials("1|km", "PATH1=|||0|||3|km\n");
  // Regenerating replaces the points instead of adding to them.
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  EXPECT_EQ(cov.RSNumRec(), 3);
  EXPECT_EQ(Table().size(), 4u);
  const std::string tableBefore = ReadText(ResultsFile());
  WriteText(PathsFile(), "PATH1=|||0|||5|km\n");
  // The task file cannot take the study's bookkeeping.
  auto t = *cov.task();
  std::vector<std::pair<std::string, std::string>> seen;
  t.writeResultsKeys = [&](const std::vector<std::pair<std::string, std::string>>& keys) {
    seen = keys;
    return std::string("disk full");
  };
  cov.SetTask(t);
  EXPECT_EQ(cov.MakeTaskRDB(), nullptr);
  EXPECT_EQ(cov.sLastError(), "disk full");
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0].first, "Number");
  EXPECT_EQ(seen[1].second, "ABCRAD");
  EXPECT_EQ(ReadText(ResultsFile()), tableBefore);
  // Another program holds the old table open.
  t.writeResultsKeys = {};
  cov.SetTask(t);
  {
    platform::DbfTable other;
    ASSERT_EQ(other.Open(ResultsFile()), "");
    EXPECT_EQ(cov.MakeTaskRDB(), nullptr);
    EXPECT_NE(cov.sLastError().find("in use by another program"), std::string::npos);
  }
  EXPECT_EQ(Table().size(), 4u);  // site + 3 points, as before
  EXPECT_TRUE(Leftovers().empty());
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  EXPECT_EQ(cov.RSNumRec(), 5);
}

TEST_F(AreaCovPathsTest, RadialEndsForDirectContourModels) {
  Study("CONTOUR", "ABCCTR", "ABCCTR 50.0% 39.000dBu");
  cov.SetDirectContourCalc(true);
  WriteText(PathsFile(), "PATH1=|||0|||10|km\nPATH2=|||180|||5|mi\n");  // no step needed
  const auto pts = Walk();
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_NEAR(pts[0].dis, 10, 1e-9);
  EXPECT_NEAR(pts[1].dis, 8.04672, 1e-5);
  EXPECT_EQ(Table()[1].desc, "ABCCTR 50.0% 39.000dBu");
  // A radial study keeps its six characters.
  Study("THRESHOLD (RADIAL)", "XYZRAD more");
  cov.SetDirectContourCalc(true);
  ASSERT_EQ(Walk().size(), 2u);
  EXPECT_EQ(Table()[1].desc, "XYZRAD");
}

TEST_F(AreaCovPathsTest, TargetPointsTakeTheirCoordinatesFromTheLine) {
  Study("THRESHOLD (RADIAL)", "ABCTGT");
  // Direct-contour flag or not, a target study makes target points.
  cov.SetDirectContourCalc(true);
  WriteText(PathsFile(),
            "PATH1=|||30|||12|km|40.1|-74.9\nPATH2=|||10|||4|km|40.05|-75.01\n"
            "PATH3=|||20|||4|km|||\n");  // no target: counted as a point error
  const auto pts = Walk();
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_NEAR(pts[0].az, 10, 1e-9);
  EXPECT_DOUBLE_EQ(pts[0].lat, 40.05);
  EXPECT_DOUBLE_EQ(pts[1].lon, -74.9);
  EXPECT_NEAR(pts[1].dis, 12, 1e-9);
  EXPECT_EQ(cov.PointErrors(), 1);
  EXPECT_EQ(Table()[1].desc, "ABCRAD");
  EXPECT_DOUBLE_EQ(cov.dCovMaxLat(), 40.1);
}

TEST_F(AreaCovPathsTest, MoreThanAHundredPointErrorsStopTheStudy) {
  Study("THRESHOLD (RADIAL)", "ABCTGT");
  std::string text;
  for (int i = 0; i < 150; ++i) text += "PATH" + std::to_string(i) + "=|||1|||1|km|999|999\n";
  WriteText(PathsFile(), text);
  const std::string err = First();
  EXPECT_EQ(err.rfind("Errors on more than 100 points.\nDetails are in the Tech Support Log file:\n", 0), 0u) << err;
  EXPECT_FALSE(fs::exists(ResultsFile()));
}

// The computing order is one stable sort of the points by azimuth up and
// distance down, however the radials come: alone, repeated, interleaved.
TEST(ComputingOrder, IsTheStableSortByAzimuthThenFarthestFirst) {
  using Pts = std::vector<StudyPoint>;
  auto radial = [](Pts& p, double az, std::initializer_list<double> km) {
    for (double d : km) p.push_back({0, 0, az, d});
  };
  Pts one, repeated, tiles, mixed;
  radial(one, 90, {1, 2, 3, 4});
  radial(repeated, 10, {1, 2, 3});
  radial(repeated, 5, {2, 4});
  radial(repeated, 10, {1.5, 2, 2.5});  // the same azimuth again, a distance shared
  radial(repeated, 10, {3, 3});         // a distance twice in a row
  for (int i = 0; i < 30; ++i) radial(tiles, (i * 37) % 360, {1.0 + (i * 13) % 7});
  unsigned x = 12345;
  for (int i = 0; i < 400; ++i) {
    x = x * 1103515245u + 12345u;
    radial(mixed, (x >> 8) % 6 * 60.0, {static_cast<double>((x >> 16) % 9)});
  }
  // Enough single-point runs for the parallel sort, azimuths often shared.
  Pts large;
  for (int i = 0; i < 70000; ++i) {
    x = x * 1103515245u + 12345u;
    radial(large, (x >> 8) % 5000 * 0.072, {1.0 + (x >> 20) % 3});
  }
  for (const Pts* p : {&one, &repeated, &tiles, &mixed, &large}) {
    std::vector<std::uint32_t> want(p->size());
    for (std::uint32_t i = 0; i < want.size(); ++i) want[i] = i;
    std::stable_sort(want.begin(), want.end(), [&](std::uint32_t a, std::uint32_t b) {
      return (*p)[a].az != (*p)[b].az ? (*p)[a].az < (*p)[b].az : (*p)[a].disKm > (*p)[b].disKm;
    });
    EXPECT_EQ(ComputingOrder(*p), want);
    EXPECT_EQ(ComputingOrder(*p, 2), want);
  }
}

// ---------------------------------------------------------------- tiles

TEST_F(AreaCovPathsTest, TileGridRowsFromSouthEachWestToEast) {
  Study("THRESHOLD (TILE)", "ABCTIL");
  // 1.11 km: 0.0099971 degree of latitude, 0.012998 of longitude at 40 N.
  Tiles(39.98, 40.02, -75.02, -74.98, "1.11", "1.11");
  const auto pts = Walk();
  EXPECT_EQ(cov.PointsCounted(), 20);
  ASSERT_EQ(pts.size(), 20u);
  // Table order: azimuth up, distance down; the point at the transmitter
  // has azimuth 0 and distance 0.
  for (std::size_t i = 1; i < pts.size(); ++i) {
    EXPECT_LE(pts[i - 1].az, pts[i].az);
    if (pts[i - 1].az == pts[i].az) {
      EXPECT_GE(pts[i - 1].dis, pts[i].dis);
    }
  }
  // Generation order is south to north, west to east.
  const auto all = Table();
  ASSERT_EQ(all.size(), 21u);
  EXPECT_NEAR(all[1].lat, 39.98, 1e-7);
  EXPECT_NEAR(all[1].lon, -75.02, 1e-7);
  EXPECT_NEAR(all[4].lon, -75.02 + 3 * 0.012998, 1e-5);  // end of the first row
  EXPECT_NEAR(all[5].lat, 39.98 + 0.0099971, 1e-6);
  EXPECT_NEAR(all[20].lat, 39.98 + 4 * 0.0099971, 1e-6);
  EXPECT_NEAR(all[20].lon, all[4].lon, 1e-9);
  EXPECT_EQ(all[1].desc, "ABCTIL");
  EXPECT_NEAR(cov.dCovMinLat(), 39.98, 1e-9);
  EXPECT_NEAR(cov.dCovMaxLon(), all[20].lon, 1e-7);
  EXPECT_EQ(ProfileGetString("Results Data Base", "maxLon", "", TaskFile()),
            FormatNumber(cov.dCovMaxLon(), "####.000000000"));
}

TEST_F(AreaCovPathsTest, TileStepAtTheEquator) {
  Study("SHADOW (TILE)", "ABCTIL");
  cov.SetTXLat(0);
  Tiles(-0.001, 0.001, 0, 0.1, "100", "1.11");  // one row
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  const auto all = Table();
  ASSERT_GE(all.size(), 3u);
  const double step = 1.11 / (111.41513 - 0.09455 + 0.00012);
  EXPECT_NEAR(all[2].lon - all[1].lon, step, 1e-6);
  EXPECT_NEAR(step, 0.00997, 1e-5);  // about 0.01 degree
  EXPECT_EQ(cov.RSNumRec(), 11);  // 0 .. 0.0996
}

TEST_F(AreaCovPathsTest, TileLimitsAndStepsAreChecked) {
  Study("THRESHOLD (TILE)", "ABCTIL");
  Tiles(40.02, 39.98, -75.02, -74.98, "1", "1");  // north below south
  EXPECT_EQ(First(), "Invalid Tile limits\n40.020000000 to 39.980000000\n-75.020000000 to -74.980000000");
  Tiles(40, 40, -75.02, -74.98, "1", "1");  // north equal to south
  EXPECT_EQ(First().rfind("Invalid Tile limits", 0), 0u);
  Tiles(39.98, 40.02, -74.98, -75.02, "1", "1");  // east below west
  EXPECT_EQ(First().rfind("Invalid Tile limits", 0), 0u);
  WriteText(TaskFile(), "[TASK]\nTask ID=0000042\n");  // no Elevation Data section
  EXPECT_EQ(First().rfind("Invalid Tile limits", 0), 0u);
  Tiles(39.98, 40.02, -75.02, -74.98, "0", "1");
  EXPECT_EQ(First(), "Invalid Tile steps\nNS: 0.00 km\nEW: 1.00 km");
  ASSERT_TRUE(platform::ProfileWriteString("Elevation Data", "elt_nsS", "1", TaskFile()));
  ASSERT_TRUE(platform::ProfileWriteString("Elevation Data", "elt_ewSun", "", TaskFile()));
  EXPECT_EQ(First(), "Invalid Tile steps\nNS: 1.00 km\nEW: 1.00 ");
  ASSERT_TRUE(platform::ProfileWriteString("Elevation Data", "elt_ewSun", "league", TaskFile()));
  EXPECT_EQ(First(), "Error converting EW Tile Step");
  EXPECT_FALSE(fs::exists(ResultsFile()));
}

TEST_F(AreaCovPathsTest, BoundaryPolygonKeepsInsidePointsAndMustExist) {
  Study("THRESHOLD (TILE)", "ABCTIL");
  Tiles(39.98, 40.02, -75.02, -74.98, "1.11", "1.11");
  // A triangle over the western half, the second object of the file.
  WriteText(tmp.path() / "area.bna",
            "\"Other\",\"x\",3\n0,0\n1,0\n0,1\n"
            "\"West\",\"half\",-4\n-75.03,39.97\n-74.995,39.97\n-74.995,40.03\n-75.03,40.03\n");
  Boundary("area.bna|\"West\",\"half\",-4");
  const auto pts = Walk();
  ASSERT_EQ(pts.size(), 10u);  // columns -75.02 and -75.01 of five rows
  for (const auto& p : pts) EXPECT_LT(p.lon, -74.995);
  EXPECT_EQ(cov.PointsCounted(), 20);
  const std::string tableBefore = ReadText(ResultsFile());
  // The polygon asked for is not in the file.
  Boundary("area.bna|\"East\"");
  cov.CloseRS();
  EXPECT_EQ(First().rfind("Boundary polygon not found", 0), 0u);
  // The file is missing.
  Boundary("nowhere.bna|West");
  EXPECT_EQ(First().rfind("Boundary polygon not found", 0), 0u);
  // A polygon away from the grid leaves no point.
  WriteText(tmp.path() / "far.bna", "\"Far\",3\n10,10\n11,10\n10,11\n");
  Boundary("far.bna|\"Far\",3");
  EXPECT_NE(First().find("inside the boundary"), std::string::npos);
  EXPECT_EQ(ReadText(ResultsFile()), tableBefore);
  // Only one of the two fields: no boundary.
  Boundary("far.bna|");
  EXPECT_EQ(First(), "");
  EXPECT_EQ(cov.RSNumRec(), 20);
}

// ---------------------------------------------------------------- limits

TEST_F(AreaCovPathsTest, HugeStudiesAreRefusedBeforeAnythingIsWritten) {
  Study("THRESHOLD (TILE)", "ABCTIL");
  Radials("1|km", "PATH1=|||0|||1|km\n");
  // An existing table and task file stay as they were.
  Tiles(39.98, 40.02, -75.02, -74.98, "1.11", "1.11");
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  const std::string tableBefore = ReadText(ResultsFile());
  Tiles(30, 50, -90, -60, "0.001", "0.001");  // about 10^13 points
  const auto start = std::chrono::steady_clock::now();
  cov.CloseRS();
  std::string err = First();
  EXPECT_NE(err.find("at most 5,000,000 points can be handled"), std::string::npos) << err;
  // A radial of 10^9 km in 1 m steps.
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Radials("1|m", "PATH1=|||0|||1000000000|km\n");
  err = First();
  EXPECT_NE(err.find("points can be handled"), std::string::npos) << err;
  // The limit counts across radials too.
  cov.SetMaxPoints(10);
  Radials("1|km", "PATH1=|||0|||6|km\nPATH2=|||90|||6|km\n");
  err = First();
  EXPECT_NE(err.find("The study would have 12 points; at most 10"), std::string::npos) << err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(ReadText(ResultsFile()), tableBefore);
  EXPECT_TRUE(Leftovers().empty());
}

// ---------------------------------------------------------------- progress

TEST_F(AreaCovPathsTest, CancelDiscardsTheNewStudyAndNoContinues) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  Radials("1|km", "PATH1=|||0|||3|km\n");
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  const std::string tableBefore = ReadText(ResultsFile());
  WriteText(PathsFile(), "PATH1=|||0|||20|km\nPATH2=|||90|||20|km\n");
  // Yes: cancelled, the new points are gone and the old table is intact.
  auto p = std::make_shared<CancelAt>(5);
  cov.SetProgress(p);
  messages->Answer(true);
  cov.CloseRS();
  EXPECT_EQ(First(), "Radial study cancelled by user");
  ASSERT_EQ(messages->Log().size(), 1u);
  EXPECT_EQ(messages->Log()[0].title, "CANCEL?");
  EXPECT_EQ(messages->Log()[0].text,
            "Do you want to cancel this study?\n\nClick Yes to cancel the study.\n"
            "Click No to close this dialog box and continue the study.");
  EXPECT_EQ(ReadText(ResultsFile()), tableBefore);
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_FALSE(p->Closed());  // not ours to close
  // No: the study goes on to the end.
  cov.SetProgress(std::make_shared<CancelAt>(5));
  messages->Answer(false);
  EXPECT_EQ(First(), "");
  EXPECT_EQ(cov.RSNumRec(), 40);
}

TEST_F(AreaCovPathsTest, TileCancelAndOwnProgressWindow) {
  Study("THRESHOLD (TILE)", "ABCTIL");
  Tiles(39.98, 40.02, -75.02, -74.98, "1.11", "1.11");
  auto p = std::make_shared<CancelAt>(7);
  cov.SetProgress(p);
  messages->Answer(true);
  EXPECT_EQ(First(), "Tile study cancelled by user");
  EXPECT_FALSE(fs::exists(ResultsFile()));
  EXPECT_EQ(p->Caption(), "Create Coverage Results Database");
  EXPECT_EQ(p->Max(), 20);
  // Without a window the object makes its own and closes it at the end.
  clsAreaCovPaths other;
  other.SetTask(*cov.task());
  other.SetTaskType("THRESHOLD (TILE)");
  other.SetTXLat(40);
  other.SetTXLon(-75);
  ASSERT_NE(other.MakeTaskRDB(), nullptr);
  ASSERT_TRUE(other.OwnsProgress());
  auto own = std::dynamic_pointer_cast<QuietProgress>(other.ktoProgress());
  ASSERT_TRUE(own);
  EXPECT_TRUE(own->Closed());
  EXPECT_EQ(own->Value(), 20);
  EXPECT_EQ(own->Message(), "Test study\nSorting Points for Study");
}

// ---------------------------------------------------------------- task and site

TEST_F(AreaCovPathsTest, TaskChecks) {
  EXPECT_EQ(First(), "No Task object has been assigned for the Area Coverage Paths function.");
  EXPECT_EQ(cov.MakeTaskRDB(), nullptr);
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  auto t = *cov.task();
  t.iTaskMode = 3;
  t.sTaskMode = "INTERMOD";
  cov.SetTask(t);
  EXPECT_EQ(First(), "The selected Task is not an Area Coverage Study.\nTask 0000042 INTERMOD\nTest study");
  Study("AREA ELEVATION", "ABCRAD");
  EXPECT_EQ(First(), "Invalid Task Type: AREA ELEVATION");
  Study("contour", "ABCRAD");  // the type is matched exactly
  EXPECT_EQ(First(), "Invalid Task Type: contour");
  Study("CONTOUR", "ABCCTR", " ");
  cov.SetDirectContourCalc(true);
  WriteText(PathsFile(), "PATH1=|||0|||3|km\n");
  EXPECT_NE(First().find("no description code"), std::string::npos);
  EXPECT_FALSE(fs::exists(ResultsFile()));
}

TEST_F(AreaCovPathsTest, SiteRecordAndElevation) {
  Study("THRESHOLD (RADIAL)", "ABCRAD");
  cov.SetTXDesc(std::string(60, 'S'));
  cov.SetTXSiteElv(1000.0f);
  EXPECT_FLOAT_EQ(cov.TXSiteElvM(), -32200.0f);  // no unit yet
  cov.SetTXSiteElvUn("ft");
  EXPECT_NEAR(cov.TXSiteElvM(), 304.8f, 1e-3);
  cov.SetTXSiteElv(40000.0f);  // out of range: kept
  EXPECT_NEAR(cov.TXSiteElvM(), 304.8f, 1e-3);
  cov.SetTXSiteElv(1000.0f);
  cov.SetTXDatum("NAD83");
  EXPECT_EQ(cov.TXDatum(), "NAD83");
  Radials("1|km", "PATH1=|||0|||1|km\n");
  ASSERT_NE(cov.MakeTaskRDB(), nullptr);
  const auto all = Table();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].desc, "TX SIT" + std::string(34, 'S'));  // cut to the field's 40
  EXPECT_FALSE(all[0].elvEmpty);
  EXPECT_NEAR(all[0].elv, 304.8, 0.01);
  EXPECT_TRUE(all[1].elvEmpty);
  EXPECT_DOUBLE_EQ(all[1].val, kRdbNotComputed);
  // Updates go to the current record of the study.
  ASSERT_EQ(First(), "");
  ASSERT_EQ(cov.UpdateRDBRec(55.5, 120.0f, 3, 1.25, 4, 2), "");
  EXPECT_DOUBLE_EQ(Table()[1].val, 55.5);
  double z = 1;
  cov.NextPath(z, z, z, z);
  EXPECT_EQ(z, 0);
}

}  // namespace
}  // namespace zw::coverage
