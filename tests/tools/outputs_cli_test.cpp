// What an engineer looks at, from the command line: the profile plot and link
// budget of p2p, the coverage figures of run and stats, contours as vectors,
// the files a run names.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "SampleWork.h"
#include "coverage/ResultsExport.h"

namespace {

namespace fs = std::filesystem;
using zw::test::Quote;

class OutputsCliTest : public zw::test::SampleWorkTest {
 protected:
  std::string Path() const {
    return " --model LR --dem " + Quote(zw::test::Tile()) +
           " --from 44.4365,-71.4131 --to 44.30,-71.20 --freq 98.5 --tx-agl 100 --rx-agl 9.1";
  }
};

TEST_F(OutputsCliTest, P2PDrawsItsProfileAndGivesItsLinkBudget) {
  struct Case {
    std::string args;
    int exitCode;
    std::string expect;
  } cases[] = {
      {"p2p" + Path() + " --rx-gain 0 dBd --threshold 60 --plot " + Quote(tmp.path() / "p.png"), 0,
       "Threshold:                   60.00 dBu (margin -0.93 dB)"},
      {"p2p --task 1 --workdir " + Quote(work()) + " --to 44.30,-71.20 --rx-agl 9.1 --json --plot " +
           Quote(tmp.path() / "t.svg"),
       0, "\"threshold\": {\n   \"unit\": \"dBu\",\n   \"value\": 60.0"},
  };
  for (const auto& c : cases) {
    const auto o = Run(c.args);
    EXPECT_EQ(o.exitCode, c.exitCode) << c.args << "\n" << o.out << o.err;
    EXPECT_NE((o.out + o.err).find(c.expect), std::string::npos) << c.args << "\n" << o.out << o.err;
  }
  EXPECT_EQ(zw::platform::ReadWholeFile(tmp.path() / "p.png")->substr(1, 3), "PNG");
  EXPECT_EQ(zw::platform::ReadWholeFile(tmp.path() / "t.svg")->substr(0, 5), "<?xml");
  const auto j = nlohmann::json::parse(Run("p2p" + Path() + " --rx-gain 2.15 --rx-line-loss 1 --json").out);
  const auto& b = j.at("link_budget");
  EXPECT_NEAR(b["rx_power_dbm"].get<double>(), b["isotropic_rx_power_dbm"].get<double>() + 2.15 - 1, 1e-9);
  EXPECT_EQ(b["field_dbu"], j["net_field_dbu"]);
}

TEST_F(OutputsCliTest, RunAndStatsGiveTheFiguresAndExportTracesContours) {
  // The run's figures come from memory, stats reads the table: the report
  // ends with the same text for the radial and the tile study.
  for (const char* task : {"2", "1"}) {
    const auto run = Run(std::string("run --task ") + task + " --workdir " + Quote(work()) + " --yes");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("at or above 60 dBu (threshold): "), std::string::npos) << run.out;
    const auto plain = Run(std::string("stats --task ") + task + " --workdir " + Quote(work()));
    const auto report = zw::platform::ReadWholeFile(work() / (std::string("T000000") + task + ".TXT"));
    ASSERT_TRUE(report.has_value());
    std::string figures = plain.out;
    for (std::size_t at = figures.find('\n'); at != std::string::npos; at = figures.find('\n', at + 2))
      figures.replace(at, 1, "\r\n");
    const bool crlf = report->find("\r\n") != std::string::npos;
    EXPECT_TRUE(report->ends_with(crlf ? figures : plain.out)) << *report;
  }
  const auto stats = Run("stats --task 1 --workdir " + Quote(work()) + " --levels 50,70 --json");
  ASSERT_EQ(stats.exitCode, 0) << stats.err;
  const auto j = nlohmann::json::parse(stats.out);
  // Against a count of the results table itself.
  zw::coverage::ResultsDb db(work(), 1);
  ASSERT_EQ(db.Open(), "");
  int at60 = 0, at70 = 0;
  for (const auto& r : db.ReadAll()) {
    if (r.desc.rfind("LR RAD", 0) != 0 || !zw::coverage::IsComputed(r.val)) continue;
    at60 += r.val >= 60;
    at70 += r.val >= 70;
  }
  EXPECT_EQ(j["computed"], 720);
  EXPECT_EQ(j["threshold"]["points"], at60);
  EXPECT_EQ(j["levels"][1]["points"], at70);
  EXPECT_EQ(j["radials"].size(), 36u);

  const auto c = Run("export --task 1 --workdir " + Quote(work()) + " --contour --format shp -o " +
                     Quote(tmp.path() / "c.shp"));
  EXPECT_EQ(c.exitCode, 0) << c.err;
  for (const char* f : {"c.shp", "c.shx", "c.dbf", "c.prj"}) EXPECT_TRUE(fs::exists(tmp.path() / f)) << f;
}

// `ravoprop run --task N --workdir DIR`: the area study of a stored task.
// (A run without terrain: RunTransactionTest.FailedRunsKeepEveryFileAsItWas;
// other refusals of `run`: the tests/bad corpus.)
using RunCliTest = zw::test::SampleWorkTest;

TEST_F(RunCliTest, SampleStudyRunsAndNamesItsFiles) {
  const auto o = Run("run --task 1 --workdir " + Quote(work()) + " --threads 2 --details --dem " +
                     Quote(zw::test::Tile()));
  ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
  EXPECT_NE(o.out.find("Study of task 1 complete: 720 points, 720 computed (2 threads)"), std::string::npos) << o.out;
  for (const char* f : {"R0000001.DBF", "T0000001.TXT", "S0000001.TXT"}) {
    EXPECT_NE(o.out.find((work() / f).string()), std::string::npos) << f << "\n" << o.out;
    EXPECT_TRUE(fs::is_regular_file(work() / f)) << f;
  }
  // --details: the points' accounts are in the report.
  EXPECT_NE(zw::test::ReadAll(work() / "T0000001.TXT").find("\nAzimuth 350.00 "), std::string::npos);
}

}  // namespace
