#include "coverage/ContourReduction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "ModelTestEnv.h"
#include "geo/CoordText.h"
#include "geo/Geodesic.h"
#include "platform/Profile.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;

constexpr double kTxLat = 44.0, kTxLon = -71.0;
const std::string kStudy = "ABCRAD";

class ContourReductionTest : public test::ModelTestEnv {
 protected:
  void SetUp() override {
    ModelTestEnv::SetUp();
    taskFile = tmp.path() / "T0000042.INI";
    platform::ProfileWriteString("Results Data Base", "Number", "1", taskFile);
    platform::ProfileWriteString("Results Data Base", "RDB000", "ABCCTR study", taskFile);
  }

  // One study point at az / dis (km) with value dBu.
  void Add(double az, double dis, double val, const std::string& desc = kStudy) {
    double lat = 0, lon = 0;
    ASSERT_TRUE(Geodesic::ForwardKm(kTxLat, kTxLon, az, dis, lat, lon));
    ASSERT_TRUE(db.AddRec1(desc, lat, lon, az, dis, val, 0, 0, -32200.0f, 0, 0.0));
  }
  void Radial(double az, std::initializer_list<double> values) {
    double d = 1;
    for (double v : values) Add(az, d++, v);
  }
  ContourRequest Request(double level, double pct) {
    return {.studyDesc = "ABCCTR study", .taskFile = taskFile, .levelDbu = level, .percent = pct, .txLat = kTxLat,
            .txLon = kTxLon};
  }
  std::string Run(double level, double pct, ContourOutcome& out, std::ostream* listing = nullptr) {
    EXPECT_EQ(db.RDBSort("ASC", kStudy), "");
    auto req = Request(level, pct);
    req.listing = listing;
    return ReduceContour(db, req, &out);
  }
  std::string Key(std::string_view key) {
    return platform::ProfileGetString("Results Data Base", key, "<none>", taskFile);
  }
  std::vector<RdbRecord> Select(const std::string& desc) {
    EXPECT_EQ(db.RDBSort("ASC", desc), "");
    return db.ReadAll();
  }

  fs::path taskFile;
  ResultsDb db{tmp.path(), 42};
};

TEST(ContourDescription, ThreeCharactersCtrPercentAndLevel) {
  EXPECT_EQ(ContourDescription("XYZRAD whatever", 50, 39), "XYZCTR 50.0% 39.000dBu");
  EXPECT_EQ(ContourDescription("XY", 90.25, 101.5), "XYCTR 90.3% 101.500dBu");
}

TEST_F(ContourReductionTest, DipAndRecoveryFollowsTheShareSoFar) {
  // Shares 100, 100, 66.7, 75 percent.
  Radial(0, {45, 44, 30, 41});
  const struct {
    double level, pct, dis;
  } runs[] = {
      {40, 50, 4},
      {40, 90, 2},  // stops before the gap
      {40, 75, 4},  // a share exactly at the percentage still qualifies (3 of 4)
      {41, 75, 4},  // the level itself counts as reached (41 at 4 km only just)
  };
  for (const auto& r : runs) {
    ContourOutcome out;
    EXPECT_EQ(Run(r.level, r.pct, out), "");
    ASSERT_EQ(out.points.size(), 1u);
    EXPECT_DOUBLE_EQ(out.points[0].dis, r.dis) << r.level << " dBu " << r.pct << "%";
    EXPECT_FALSE(out.points[0].tooShort);
  }
}

TEST_F(ContourReductionTest, RadialsOfEveryShape) {
  // Inserted out of order: the sort puts radials by azimuth, points outward.
  Radial(270, {30, 20});              // all below: too short
  Radial(90, {60, 55, 50, 45, 40});   // monotone, all at or above 40
  Radial(180, {50, 45, 35, 30});      // monotone falling: 100, 100, 66.7, 50
  Add(45, 7.5, 41);                   // a single point
  Add(0, 3, kRdbNotComputed);         // no terrain: never reaches the level
  Add(0, 0, 0, "TX SIT Site");        // not part of the study
  ContourOutcome out;
  const std::string text = Run(40, 70, out);
  EXPECT_EQ(text, "\n2 radials were too short to compute the contour.");
  ASSERT_EQ(out.points.size(), 5u);
  EXPECT_EQ(out.tooShort, 2);
  const double az[] = {0, 45, 90, 180, 270};
  const double dis[] = {kTooShortContourKm, 7.5, 5, 2, kTooShortContourKm};
  for (int i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(out.points[i].az, az[i]) << i;
    EXPECT_DOUBLE_EQ(out.points[i].dis, dis[i]) << i;
  }
  // The too-short point lies 1 m from the transmitter along its radial.
  double a = 0, d = 0;
  ASSERT_TRUE(Geodesic::InverseKm(kTxLat, kTxLon, out.points[4].lat, out.points[4].lon, a, d));
  EXPECT_NEAR(d, 0.001, 1e-9);
  EXPECT_NEAR(a, 270, 1e-6);
  // Others carry the position of the record they came from.
  double lat = 0, lon = 0;
  ASSERT_TRUE(Geodesic::ForwardKm(kTxLat, kTxLon, 180, 2, lat, lon));
  EXPECT_NEAR(out.points[3].lat, lat, 1e-6);
  EXPECT_NEAR(out.points[3].lon, lon, 1e-6);

  // The contour set is in the table under its own description, the study untouched.
  const auto ctr = Select("ABCCTR 70.0% 40.000dBu");
  ASSERT_EQ(ctr.size(), 5u);
  for (const auto& r : ctr) EXPECT_DOUBLE_EQ(r.val, 40);
  EXPECT_DOUBLE_EQ(ctr[2].dis, 5);
  EXPECT_EQ(Select(kStudy).size(), 13u);
  EXPECT_EQ(Key("Number"), "2");
  EXPECT_EQ(Key("RDB001"), "ABCCTR 70.0% 40.000dBu");
  EXPECT_EQ(Key("RDB000"), "ABCCTR study");
}

TEST_F(ContourReductionTest, AllAboveKeepsTheLastPointAndReportsNothing) {
  Radial(10, {70, 65, 60});
  Radial(20, {70, 65, 60});
  ContourOutcome out;
  EXPECT_EQ(Run(40, 99.9, out), "");
  ASSERT_EQ(out.points.size(), 2u);
  EXPECT_DOUBLE_EQ(out.points[0].dis, 3);
  EXPECT_DOUBLE_EQ(out.points[1].dis, 3);
  EXPECT_EQ(out.tooShort, 0);
}

TEST_F(ContourReductionTest, AllBelowEveryRadialTooShort) {
  Radial(0, {10, 20});
  Radial(120, {10});
  Radial(240, {39.999});
  ContourOutcome out;
  EXPECT_EQ(Run(40, 50, out), "\n3 radials were too short to compute the contour.");
  ASSERT_EQ(out.points.size(), 3u);
  for (const auto& p : out.points) {
    EXPECT_TRUE(p.tooShort);
    EXPECT_DOUBLE_EQ(p.dis, kTooShortContourKm);
  }
}

TEST_F(ContourReductionTest, EmptyStudyChangesNothing) {
  Add(0, 0, 0, "TX SIT Site");
  ContourOutcome out;
  std::ostringstream listing;
  EXPECT_EQ(Run(40, 50, out, &listing),
            "\nResults data base R0000042.DBF does not contain any entries for the required study (ABCCTR study).  "
            "You must first execute the coverage study to create the database.");
  EXPECT_TRUE(out.points.empty());
  EXPECT_EQ(listing.str(), "");
  EXPECT_EQ(Key("Number"), "1");
  EXPECT_EQ(Key("RDB001"), "<none>");
  // A table never opened reads the same way.
  ResultsDb none(tmp.path() / "missing", 43);
  EXPECT_NE(ReduceContour(none, Request(40, 50)).find("does not contain any entries"), std::string::npos);
}

TEST_F(ContourReductionTest, ListingHasOneTabSeparatedLinePerRadial) {
  Radial(90, {50, 50, 50, 50});
  Radial(1234.5, {10});
  ContourOutcome out;
  std::ostringstream listing;
  Run(40, 50, out, &listing);
  ASSERT_EQ(out.points.size(), 2u);
  const std::string expected = "90.00 Az \t4.000 km\t" + CoordText(out.points[0].lat, "LT") + "\t" +
                               CoordText(out.points[0].lon, "LN") + "\n" + "1234.50 Az \t0.001 km\t" +
                               CoordText(out.points[1].lat, "LT") + "\t" + CoordText(out.points[1].lon, "LN") + "\n";
  EXPECT_EQ(listing.str(), expected);
  EXPECT_EQ(ContourListingLine(ContourPoint{5.126, 12.3456, 44.5, -71.25, false}),
            "5.13 Az \t12.346 km\t" + CoordText(44.5, "LT") + "\t" + CoordText(-71.25, "LN"));
}

TEST_F(ContourReductionTest, RunningAgainReplacesTheEarlierContour) {
  Radial(0, {50, 45, 30});
  Radial(90, {50, 20});
  ContourOutcome out;
  Run(40, 60, out);
  Run(40, 60, out);
  ASSERT_EQ(out.points.size(), 2u);
  const auto ctr = Select("ABCCTR 60.0% 40.000dBu");
  ASSERT_EQ(ctr.size(), 2u);
  EXPECT_DOUBLE_EQ(ctr[0].dis, 3);  // 2 of 3 = 66.7 %
  EXPECT_DOUBLE_EQ(ctr[1].dis, 1);
  EXPECT_EQ(Key("Number"), "2");
  EXPECT_EQ(Key("RDB001"), "ABCCTR 60.0% 40.000dBu");
  EXPECT_EQ(Key("RDB002"), "<none>");
  // Another level is another result set.
  Run(45, 60, out);
  EXPECT_EQ(Key("Number"), "3");
  EXPECT_EQ(Key("RDB002"), "ABCCTR 60.0% 45.000dBu");
  EXPECT_EQ(Select("ABCCTR 60.0% 40.000dBu").size(), 2u);
}

TEST_F(ContourReductionTest, MissingNumberStartsTheCountAtOne) {
  platform::ProfileDelete("Results Data Base", "", taskFile);
  Radial(0, {50});
  ContourOutcome out;
  Run(40, 50, out);
  EXPECT_EQ(Key("Number"), "1");
  EXPECT_EQ(Key("RDB000"), "ABCCTR 50.0% 40.000dBu");
}

TEST_F(ContourReductionTest, FailuresLeaveTableAndTaskFileAsTheyWere) {
  Radial(0, {50, 45});
  Radial(90, {50, 45});
  ContourOutcome out;
  // Non-numeric level: nothing is written.
  EXPECT_EQ(db.RDBSort("ASC", kStudy), "");
  std::string text = ReduceContour(db, Request(std::nan(""), 50), &out);
  EXPECT_EQ(text.rfind("\nError on Contour Interpolation", 0), 0u) << text;
  EXPECT_TRUE(out.failed);
  // The task file cannot be written (its directory is missing): the contour
  // records already added are removed again.
  EXPECT_EQ(db.RDBSort("ASC", kStudy), "");
  auto req = Request(40, 50);
  req.taskFile = tmp.path() / "nowhere" / "T0000042.INI";
  text = ReduceContour(db, req, &out);
  EXPECT_EQ(text.rfind("\nError on Contour Interpolation", 0), 0u) << text;
  EXPECT_TRUE(out.failed);
  EXPECT_TRUE(out.points.empty());
  EXPECT_TRUE(Select("ABCCTR 50.0% 40.000dBu").empty());
  EXPECT_EQ(Select(kStudy).size(), 4u);
  EXPECT_FALSE(fs::exists(req.taskFile));
  EXPECT_EQ(Key("Number"), "1");
  EXPECT_NE(Log().find("Error on Contour Interpolation"), std::string::npos);
}

TEST(ContourPoints, WalkStopsWhereTheDescriptionChanges) {
  std::vector<RdbRecord> recs(4);
  for (int i = 0; i < 4; ++i) {
    recs[i].desc = i < 2 ? "ABCRAD" : "OTHER";
    recs[i].az = 10;
    recs[i].dis = i + 1;
    recs[i].val = 50;
    recs[i].lat = 44;
    recs[i].lon = -71;
  }
  std::vector<ContourPoint> pts;
  ASSERT_TRUE(ContourPoints(recs, 40, 50, 44, -71, pts));
  ASSERT_EQ(pts.size(), 1u);
  EXPECT_DOUBLE_EQ(pts[0].dis, 2);
  // A too-short radial with no usable transmitter position is an error.
  recs[0].val = recs[1].val = 0;
  std::string err;
  EXPECT_FALSE(ContourPoints(recs, 40, 50, 95, -71, pts, &err));
  EXPECT_NE(err.find("azimuth 10"), std::string::npos);
  EXPECT_TRUE(ContourPoints({}, 40, 50, 44, -71, pts));
  EXPECT_TRUE(pts.empty());
}

}  // namespace
}  // namespace zw::coverage
