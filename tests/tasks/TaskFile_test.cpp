#include "tasks/TaskFile.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "tasks/PathsFile.h"

namespace zw::tasks {
namespace {

std::filesystem::path Write(const zw::test::TempDir& d, const std::string& name, const std::string& text) {
  const auto p = d.path() / name;
  EXPECT_TRUE(platform::WriteFileAtomic(p, text));
  return p;
}

TEST(TaskFile, ReadsTypedSectionsAndDefaults) {
  zw::test::TempDir d;
  const auto p = Write(d, "T0000042.INI",
                       "[task]\r\ntask type=CONTOUR\r\nTask ID=0000042\r\nTXT File Out=Details\r\n"
                       "[Quick Coverage]\r\nRad or Tile=tile\r\nADV RAD STEP TIL=0.1|km\r\nADV RAD STEP TOPO=junk|m\r\n"
                       "ADV Boundary=area.bna|\r\n"
                       "[Obstruction Files]\r\nUse Files= true \r\nNum Files=2\r\nFile 000=a.dbf\r\nFile 001=b.dbf\r\n"
                       "[Land Use]\r\nInclude LUC=yes\r\n"
                       "[RX Facility]\r\nAntenna Height=9.1 m\r\nLevel 0=39|dBu|50\r\nLevel 1=45|dBu|90\r\n");
  const TaskFile f(p);
  const TaskIdentity id = f.Identity();
  EXPECT_EQ(id.type, "CONTOUR");
  EXPECT_EQ(id.taskId, "0000042");
  EXPECT_TRUE(id.Details());
  const QuickCoverage q = f.Coverage();
  EXPECT_EQ(q.radOrTile, "T");
  EXPECT_TRUE(q.TerrainStep().Valid());
  EXPECT_DOUBLE_EQ(q.stepTile.value, 0.1);
  EXPECT_FALSE(q.stepTopo.Valid());  // a junk number reads as the missing-number default
  EXPECT_EQ(q.stepTopo.value, kMissingNumber);
  EXPECT_FALSE(q.HasBoundary());     // both fields are needed
  const ObstructionFiles o = f.Obstructions();
  EXPECT_TRUE(o.useFiles);           // blanks around true
  ASSERT_EQ(o.files.size(), 2u);
  EXPECT_EQ(o.files[1], "b.dbf");
  EXPECT_FALSE(f.LandUseSettings().include);  // "yes" is not true
  const RxFacility rx = f.Rx();
  EXPECT_EQ(rx.heightValue, "9.1");
  EXPECT_EQ(rx.heightUnit, "m");
  EXPECT_EQ(rx.heightRef, "AGL");
  ASSERT_EQ(rx.levels.size(), 2u);
  EXPECT_EQ(rx.levels[0].percent, "50");
  EXPECT_DOUBLE_EQ(f.KValue(), 1.333);  // section missing
  const ElevationData e = f.Elevation();
  EXPECT_FALSE(e.present);
  EXPECT_EQ(e.nlat, -888);
  EXPECT_EQ(e.slat, 888);
  EXPECT_EQ(e.nsStep, -88);
}

TEST(TaskFile, MissingFileOrJunkGivesDefaults) {
  const TaskFile f("/nonexistent/T0000001.INI");
  EXPECT_FALSE(f.Exists());
  EXPECT_EQ(f.Text("TASK", "Task Type", "x"), "x");
  EXPECT_DOUBLE_EQ(f.KValue(), 1.333);
  EXPECT_TRUE(f.FacilityData().empty());
  // Junk counts and numbers do not run away.
  zw::test::TempDir d;
  const TaskFile junk(Write(d, "T.INI", "[Obstruction Files]\nNum Files=99999999\n[Results Data Base]\nNumber=abc\n"
                                        "[Eff Curvature]\nK-Value=--\n"));
  EXPECT_EQ(junk.Obstructions().files.size(), 1000u);
  EXPECT_EQ(junk.Results().number, 0);
  EXPECT_DOUBLE_EQ(junk.KValue(), 1.333);
}

// A failed edit leaves the file and no temporary copy; a good one writes all at
// once and keeps the other lines.
TEST(ProfileEdit, WritesAllAtOnceAndKeepsOtherLinesOrLeavesTheFileIntact) {
  zw::test::TempDir d;
  const std::string before = "; written by the host\r\n[Other]\r\nKeep=1\r\n[Facility Data]\r\nOLD=1\r\n";
  const auto p = Write(d, "T.INI", before);
  ProfileEdit failing;
  failing.Set("TASK", "Task Desc", "new").Set("TASK", "Task Stat", "3");
  EXPECT_NE(failing.Apply(p, [](const std::filesystem::path&) { return false; }), "");
  EXPECT_NE(failing.Apply(p, [](const std::filesystem::path&) -> bool { throw std::runtime_error("disk gone"); }), "");
  ProfileEdit bad;
  bad.Set("TASK", "a=b", "1");
  EXPECT_NE(bad.Apply(p), "");
  EXPECT_EQ(*platform::ReadWholeFile(p), before);
  int files = 0;
  for ([[maybe_unused]] const auto& x : std::filesystem::directory_iterator(d.path())) ++files;
  EXPECT_EQ(files, 1);

  ProfileEdit e;
  TaskIdentity id;
  id.desc = "line one\nline two";  // a line break cannot start a new entry
  id.type = "THRESHOLD (RADIAL)";
  e.Identity(id).ReplaceSection("Facility Data", {{"FAC_DESC", "X"}}).KValue(1.5);
  e.Results({1, {"LR RAD"}});
  ASSERT_EQ(e.Apply(p), "");
  const TaskFile f(p);
  EXPECT_EQ(f.Text("Other", "Keep"), "1");
  EXPECT_EQ(f.Text("Facility Data", "OLD", "gone"), "gone");
  EXPECT_EQ(f.Text("Facility Data", "FAC_DESC"), "X");
  EXPECT_EQ(f.Identity().desc, "line one line two");
  EXPECT_DOUBLE_EQ(f.KValue(), 1.5);
  EXPECT_EQ(f.Results().descriptions.at(0), "LR RAD");
  EXPECT_EQ(platform::ReadWholeFile(p)->rfind("; written by the host\r\n", 0), 0u);
}

TEST(PathsFile, ReadsRadialFieldsInAnySectionAndWhatTheWriterWrote) {
  const auto r = ParsePaths("[Whatever]\r\nPATH7=a|b|c|90|e|f|12|km\r\npath8=1|2|3|-400|5|6|3|mi\r\n"
                            "PATH9=1|2|3|45|5|6|0|km|44.5|-71.2\r\nNum Paths=3\r\nXPATH=1\r\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].key, "PATH7");
  EXPECT_DOUBLE_EQ(r[0].azimuth, 90);
  EXPECT_DOUBLE_EQ(r[0].length, 12);
  EXPECT_EQ(r[0].unit, "km");
  EXPECT_TRUE(r[0].Usable());
  EXPECT_FALSE(r[1].Usable());  // below -360
  EXPECT_FALSE(r[2].Usable());  // zero length
  EXPECT_DOUBLE_EQ(r[2].targetLat, 44.5);
  EXPECT_EQ(r[0].targetLat, kMissingNumber);

  // The writer's file reads back.
  zw::test::TempDir d;
  const auto p = d.path() / "E0000001.INI";
  ASSERT_EQ(WritePathsFile(p, 44.4, -71.4, {{0, 30, "km"}, {90, 12.5, "mi", 1, 2, 44.5, -71.2}}), "");
  const auto w = ReadPathsFile(p);
  ASSERT_TRUE(w);
  ASSERT_EQ(w->size(), 2u);
  EXPECT_DOUBLE_EQ((*w)[1].azimuth, 90);
  EXPECT_DOUBLE_EQ((*w)[1].length, 12.5);
  EXPECT_EQ((*w)[1].unit, "mi");
  EXPECT_DOUBLE_EQ((*w)[1].targetLon, -71.2);
  EXPECT_FALSE(ReadPathsFile(d.path() / "missing.INI"));
}

}  // namespace
}  // namespace zw::tasks
