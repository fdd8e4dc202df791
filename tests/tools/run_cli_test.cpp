// `ravoprop run --task N --workdir DIR`: the area study of a stored task from
// the command line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

using Outcome = zw::test::ToolOutcome;
using zw::test::Quote;

class RunCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zw::test::CopySample(work());
  }
  fs::path work() const { return tmp.path() / "study"; }
  Outcome Run(const std::string& args) { return zw::test::RunTool(tmp.path(), args); }
  static fs::path Tile(const char* name) { return fs::path(RAVO_DATA_DIR) / "terrain" / name; }

  zw::test::TempDir tmp;
};

TEST_F(RunCliTest, SampleStudyRunsAndNamesItsFiles) {
  const Outcome o =
      Run("run --task 1 --workdir " + Quote(work()) + " --threads 2 --details --dem " + Quote(Tile("N44W072.hgt")));
  ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
  EXPECT_NE(o.out.find("Study of task 1 complete: 720 points, 720 computed (2 threads)"),
            std::string::npos)
      << o.out;
  for (const char* f : {"R0000001.DBF", "T0000001.TXT", "S0000001.TXT"}) {
    EXPECT_NE(o.out.find((work() / f).string()), std::string::npos) << f << "\n" << o.out;
    EXPECT_TRUE(fs::is_regular_file(work() / f)) << f;
  }
  // --details: the points' accounts are in the report.
  std::ifstream report(work() / "T0000001.TXT", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(report), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("\nAzimuth 350.00 "), std::string::npos);
}

TEST_F(RunCliTest, FailuresExitNonZeroWithAMessage) {
  {
    const Outcome o = Run("run --task 55 --workdir " + Quote(work()) + " --dem " + Quote(Tile("N44W072.hgt")));
    EXPECT_NE(o.exitCode, 0);
    EXPECT_NE(o.err.find("Task 0000055 not found in the task database"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(work() / "R0000055.DBF"));
  }
  {
    const Outcome o = Run("run --task 1 --workdir " + Quote(work()) + " --dem " + Quote(tmp.path() / "none.hgt"));
    EXPECT_NE(o.exitCode, 0);
    EXPECT_NE(o.err.find("No usable elevation data in"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(work() / "R0000001.DBF"));
  }
  {
    // No terrain under the study: every point is missing; the questions take
    // their default (No) without a terminal, and the run reports each point,
    // then fails: a study that computed nothing is not a success.
    const Outcome o = Run("run --task 1 --workdir " + Quote(work()) + " --threads 1 --dem " +
                          Quote(Tile("N22W160.hgt")));
    EXPECT_NE(o.exitCode, 0);
    EXPECT_NE(o.err.find("No point of the study was computed"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("720 points without terrain data"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("No topo elevation data found for azimuth 350"), std::string::npos);
  }
  {
    const Outcome o = Run("run --workdir " + Quote(work()));
    EXPECT_NE(o.exitCode, 0);
    EXPECT_NE(o.err.find("--task"), std::string::npos) << o.err;
  }
}

}  // namespace
