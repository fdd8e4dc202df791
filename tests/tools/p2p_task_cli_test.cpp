// `ravoprop p2p --task N --workdir DIR`: one path of the stored sample study
// through the engine gives the same answer as the template form of the same
// path (same terrain, same sampling step).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

// A single-precision value written out exactly.
std::string SingleText(float v) {
  std::ostringstream s;
  s << std::setprecision(17) << static_cast<double>(v);
  return s.str();
}

using Outcome = zw::test::ToolOutcome;
using zw::test::Quote;

class P2PTaskCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zw::test::CopySample(work());
  }
  fs::path work() const { return tmp.path() / "study"; }
  Outcome Run(const std::string& args) { return zw::test::RunTool(tmp.path(), args); }
  static fs::path Tile() { return fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt"; }

  zw::test::TempDir tmp;
};

TEST_F(P2PTaskCliTest, SampleTaskPathEqualsTheTemplateForm) {
  const std::string to = "--to 44.55,-71.25";
  for (const std::string details : {"", " --details"}) {
    const Outcome task =
        Run("p2p --json --task 1 --workdir " + Quote(work()) + " --dem " + Quote(Tile()) + " " + to + details);
    ASSERT_EQ(task.exitCode, 0) << task.err << task.out;
    // The sample: 98.5 MHz, 50 kW, 100 m above ground, terrain every 90 m; the
    // receiver's 9.1 m as the task keeps it (a single), the details in the
    // installation's distance unit (miles when none is set).
    const Outcome tpl = Run("p2p --json --template " + Quote(work() / "T0000001.INI") + " --dem " + Quote(Tile()) +
                            " --from 44.4365,-71.4131 " + to + " --step 90 --freq 98.5 --tx-agl 100 --rx-agl " +
                            SingleText(9.1f) + " --erp 50 kW --detail-units mi" + details);
    ASSERT_EQ(tpl.exitCode, 0) << tpl.err << tpl.out;
    const auto a = nlohmann::json::parse(task.out, nullptr, false);
    const auto b = nlohmann::json::parse(tpl.out, nullptr, false);
    ASSERT_FALSE(a.is_discarded()) << task.out;
    ASSERT_FALSE(b.is_discarded()) << tpl.out;
    EXPECT_EQ(a, b) << "task form:\n" << task.out << "\ntemplate form:\n" << tpl.out;
    EXPECT_EQ(a["model"], "LR");
    EXPECT_GT(a["points"].get<int>(), 100);
    if (!details.empty()) {
      EXPECT_NE(a["details"].get<std::string>(), "");
    }
  }
}

TEST_F(P2PTaskCliTest, TaskFailuresExitNonZeroWithTheMessage) {
  {
    const Outcome o = Run("p2p --json --task 5 --workdir " + Quote(work()) + " --dem " + Quote(Tile()) +
                          " --to 44.55,-71.25");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("Task 0000005 not found in the task database"), std::string::npos) << o.err;
    const auto j = nlohmann::json::parse(o.out, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << o.out;
    EXPECT_TRUE(j.contains("error"));
  }
  {
    fs::remove(work() / "T0000001.INI");
    const Outcome o = Run("p2p --task 1 --workdir " + Quote(work()) + " --to 44.55,-71.25");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("Task INI file not found:"), std::string::npos) << o.err;
  }
  {
    const Outcome o = Run("p2p --task 1 --workdir " + Quote(work()));
    EXPECT_NE(o.exitCode, 0);
    EXPECT_NE(o.err.find("--to"), std::string::npos) << o.err;
  }
  {
    const Outcome o = Run("p2p --task 1 --workdir " + Quote(work()) + " --from 1,2 --to 44.55,-71.25");
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("excludes"), std::string::npos) << o.err;
  }
}

}  // namespace
