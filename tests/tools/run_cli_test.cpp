// `ravoprop run --task N --workdir DIR`: the area study of a stored task from
// the command line.
#include <gtest/gtest.h>

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

// No terrain under the study: every point is missing; the questions take
// their default (No) without a terminal, and the run reports each point, then
// fails: a study that computed nothing is not a success. (Other refusals of
// `run`: the tests/bad corpus.)
TEST_F(RunCliTest, AStudyWithoutTerrainFails) {
  const Outcome o = Run("run --task 1 --workdir " + Quote(work()) + " --threads 1 --dem " + Quote(Tile("N22W160.hgt")));
  EXPECT_NE(o.exitCode, 0);
  for (const char* text : {"No point of the study was computed", "720 points without terrain data",
                           "No topo elevation data found for azimuth 350"}) {
    EXPECT_NE(o.err.find(text), std::string::npos) << text << ": " << o.err;
  }
}

}  // namespace
