// `ravoprop p2p --task N --workdir DIR`: one path of the stored sample study
// through the engine gives the same answer as the template form of the same
// path (same terrain, same sampling step).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cmath>
#include <iomanip>
#include <iterator>
#include <map>
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
    // installation's distance unit (miles when none is set), its receive level
    // the link's threshold.
    const Outcome tpl = Run("p2p --json --template " + Quote(work() / "T0000001.INI") + " --dem " + Quote(Tile()) +
                            " --from 44.4365,-71.4131 " + to + " --step 90 --freq 98.5 --tx-agl 100 --rx-agl " +
                            SingleText(9.1f) + " --erp 50 kW --detail-units mi --threshold 60" + details);
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

// Task 1 as a Bullington study (obstacles on the effective earth) with the given K-value.
void MakeBullington(const fs::path& taskFile, const std::string& k) {
  std::ifstream in(taskFile, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  auto replace = [&](const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("MODEL=Longley-Rice", "MODEL=Bullington\nLoss_Mode=MIN DISTANCE\nBU_REFLECT=0");
  replace("K-Value=1.333", "K-Value=" + k);
  std::ofstream(taskFile, std::ios::binary | std::ios::trunc) << text;
}

TEST_F(P2PTaskCliTest, TheStudysKValueBendsTheEarthOfPathsAndRuns) {
  const std::string to = " --to 44.2,-71.6";  // behind a ridge
  std::map<std::string, double> field;
  std::map<std::string, std::string> csv;
  for (const std::string k : {"1", "1.333"}) {
    fs::remove(work() / "T0000001.INI");
    fs::copy_file(fs::path(RAVO_DATA_DIR) / "sample" / "T0000001.INI", work() / "T0000001.INI");
    MakeBullington(work() / "T0000001.INI", k);
    const Outcome task = Run("p2p --json --task 1 --workdir " + Quote(work()) + " --dem " + Quote(Tile()) + to);
    ASSERT_EQ(task.exitCode, 0) << task.err << task.out;
    // The template form reads the K-value from the same file.
    const Outcome tpl = Run("p2p --json --template " + Quote(work() / "T0000001.INI") + " --dem " + Quote(Tile()) +
                            " --from 44.4365,-71.4131" + to + " --step 90 --freq 98.5 --tx-agl 100 --rx-agl " +
                            SingleText(9.1f) + " --erp 50 kW");
    const auto a = nlohmann::json::parse(task.out, nullptr, false);
    const auto b = nlohmann::json::parse(tpl.out, nullptr, false);
    ASSERT_FALSE(a.is_discarded() || b.is_discarded()) << task.out << tpl.out;
    // (the task form puts the transmitter on the task's site elevation, the
    // template form on the profile's first point: a few millidecibels apart)
    EXPECT_NEAR(a["net_field_dbu"].get<double>(), b["net_field_dbu"].get<double>(), 0.01);
    EXPECT_DOUBLE_EQ(a["k_factor"].get<double>(), std::stod(k));
    EXPECT_DOUBLE_EQ(b["k_factor"].get<double>(), std::stod(k));
    field[k] = b["net_field_dbu"].get<double>();

    const Outcome run = Run("run --task 1 --workdir " + Quote(work()) + " --dem " + Quote(Tile()));
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    std::ifstream rep(work() / "T0000001.TXT");
    const std::string report((std::istreambuf_iterator<char>(rep)), std::istreambuf_iterator<char>());
    EXPECT_NE(report.find("Effective earth curvature " + std::string(k == "1" ? "1.000" : "1.333")),
              std::string::npos);
    const Outcome exp = Run("export --task 1 --workdir " + Quote(work()) + " --format csv -o " +
                            Quote(tmp.path() / ("k" + k + ".csv")));
    ASSERT_EQ(exp.exitCode, 0) << exp.err;
    std::ifstream c(tmp.path() / ("k" + k + ".csv"));
    csv[k].assign(std::istreambuf_iterator<char>(c), std::istreambuf_iterator<char>());
  }
  // A flatter earth lowers fewer obstacles out of the way: a different loss.
  EXPECT_GT(std::fabs(field["1"] - field["1.333"]), 0.2) << field["1"] << " " << field["1.333"];
  EXPECT_NE(csv["1"], csv["1.333"]);
  // --k-value stands in for the file's (1.333 now).
  const Outcome given = Run("p2p --json --template " + Quote(work() / "T0000001.INI") + " --dem " + Quote(Tile()) +
                            " --from 44.4365,-71.4131" + to + " --step 90 --freq 98.5 --tx-agl 100 --rx-agl " +
                            SingleText(9.1f) + " --erp 50 kW --k-value 1");
  const auto g = nlohmann::json::parse(given.out, nullptr, false);
  ASSERT_FALSE(g.is_discarded()) << given.out << given.err;
  EXPECT_DOUBLE_EQ(g["net_field_dbu"].get<double>(), field["1"]);
}

}  // namespace
