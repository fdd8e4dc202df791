#include "tasks/SampleStudy.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "tasks/PathsFile.h"
#include "tasks/SampleMulti.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;
const fs::path kData = RAVO_DATA_DIR;

std::string Text(const fs::path& p) { return platform::ReadWholeFile(p).value_or("<missing>"); }

// The committed sample is what the generator writes today, and it loads as a study.
TEST(SampleStudyTest, CommittedSampleMatchesGenerator) {
  zw::test::TempDir d;
  std::string why;
  std::int32_t tileTask = 0;
  ASSERT_EQ(WriteSampleStudy(d.path(), kData / "terrain" / "N44W072.hgt", {}, &why, &tileTask), 1) << why;
  EXPECT_EQ(tileTask, 2);
  MultiSampleTasks multi;
  ASSERT_EQ(WriteMultiSample(d.path(), kData / "terrain" / "N44W072.hgt", multi), "");
  EXPECT_EQ(multi.bestServer, 6);
  EXPECT_EQ(multi.interference, 7);
  for (const char* name : {"T0000001.INI", "E0000001.INI", "T0000002.INI", "T0000003.INI", "T0000004.INI",
                           "T0000005.INI", "T0000006.INI", "T0000007.INI", "ZWRXRej.INI", "ZWTasks.INI"})
    EXPECT_EQ(Text(d.path() / name), Text(kData / "sample" / name)) << name;
  EXPECT_FALSE(fs::exists(d.path() / "E0000002.INI"));  // a grid has no radials

  clsQXTask t(kData / "sample");
  t.SetSilent(true);
  t.SetTaskID(1);
  ASSERT_EQ(t.lTaskID(), 1);
  EXPECT_EQ(t.GetTaskMode(), "COVERAGE");
  EXPECT_EQ(t.sRDBDesc, "LR RAD");
  const TaskFile f = t.File();
  EXPECT_EQ(CheckTaskFile(f), "");
  EXPECT_EQ(f.Identity().type, "THRESHOLD (RADIAL)");
  EXPECT_EQ(f.FacilityData().size(), 249u);
  EXPECT_EQ(f.Rx().levels.at(0).level, "60");
  const auto radials = ReadPathsFile(t.TaskPathsFile());
  ASSERT_TRUE(radials);
  ASSERT_EQ(radials->size(), 36u);
  EXPECT_DOUBLE_EQ((*radials)[9].azimuth, 90);
  EXPECT_DOUBLE_EQ((*radials)[9].length, 30);

  // Task 2: the same transmitter on a grid of the site +- 0.25 degrees.
  clsQXTask g(kData / "sample");
  g.SetSilent(true);
  g.SetTaskID(2);
  ASSERT_EQ(g.lTaskID(), 2);
  EXPECT_EQ(g.GetTaskMode(), "COVERAGE");
  const TaskFile gf = g.File();
  EXPECT_EQ(CheckTaskFile(gf), "");
  EXPECT_EQ(gf.Identity().type, "THRESHOLD (TILE)");
  EXPECT_EQ(g.sRDBDesc, "LR TIL");
  EXPECT_EQ(gf.Coverage().radOrTile, "T");
  EXPECT_EQ(gf.FacilityData(), f.FacilityData());
  const ElevationData grid = gf.Elevation();
  EXPECT_NEAR(grid.slat, 44.1865, 1e-9);
  EXPECT_NEAR(grid.nlat, 44.6865, 1e-9);
  EXPECT_NEAR(grid.wlon, -71.6631, 1e-9);
  EXPECT_NEAR(grid.elon, -71.1631, 1e-9);
  EXPECT_EQ(grid.nsStepUnit, "km");
  EXPECT_EQ(grid.ewStepUnit, "km");
}

// Without the tile study only task 1 is written; a missing terrain file
// writes nothing and says why.
TEST(SampleStudyTest, RadialOnlyOrNothingWithoutTerrain) {
  zw::test::TempDir d;
  SampleStudy s;
  s.withTile = false;
  std::int32_t tileTask = 0;
  ASSERT_EQ(WriteSampleStudy(d.path(), kData / "terrain" / "N44W072.hgt", s, nullptr, &tileTask), 1);
  EXPECT_EQ(tileTask, kNoTask);
  EXPECT_FALSE(fs::exists(d.path() / "T0000002.INI"));
  EXPECT_EQ(Text(d.path() / "T0000001.INI"), Text(kData / "sample" / "T0000001.INI"));

  zw::test::TempDir none;
  std::string why;
  EXPECT_EQ(WriteSampleStudy(none.path(), none.path() / "none.hgt", {}, &why), kNoTask);
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(fs::exists(none.path() / "T0000001.INI"));
}

// The task table opens in GDAL's DBF reader with every record.
TEST(SampleStudyTest, TaskTableOpensInOgrinfo) {
  if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "ogrinfo not installed";
  zw::test::TempDir d;
  clsQXTask t(d.path());
  t.SetSilent(true);
  ASSERT_EQ(t.TaskNew(), 1);
  ASSERT_EQ(t.TaskNew(), 2);
  ASSERT_EQ(t.TaskDeleteID(1), "");
  ASSERT_EQ(t.TaskNew(), 3);
  const fs::path out = d.path() / "ogr.txt";
  const std::string cmd = "ogrinfo -ro -al -q '" + t.TablePath().string() + "' > '" + out.string() + "' 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << Text(out);
  const std::string text = Text(out);
  EXPECT_NE(text.find("TSK_ID (String) = 0000002"), std::string::npos) << text;
  EXPECT_NE(text.find("TSK_ID (String) = 0000003"), std::string::npos) << text;
  EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
}

}  // namespace
}  // namespace zw::tasks
