#include "tasks/SampleStudy.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "tasks/PathsFile.h"
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
  ASSERT_EQ(WriteSampleStudy(d.path(), kData / "terrain" / "N44W072.hgt", {}, &why), 1) << why;
  EXPECT_EQ(Text(d.path() / "T0000001.INI"), Text(kData / "sample" / "T0000001.INI"));
  EXPECT_EQ(Text(d.path() / "E0000001.INI"), Text(kData / "sample" / "E0000001.INI"));

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
