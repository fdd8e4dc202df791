// The `ravoprop p2p` command run as a program: JSON output, failures on
// stderr with a non-zero exit, and batches with one JSON line per row; with
// --task N --workdir DIR, one path of the stored sample study through the
// engine gives the same answer as the template form of the same path (same
// terrain, same sampling step).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "SampleWork.h"

namespace {

namespace fs = std::filesystem;

using Outcome = zw::test::ToolOutcome;
using zw::test::Quote;
using zw::test::Tile;

class P2PCliTest : public zw::test::SampleWorkTest {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    const auto p = tmp.path() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  fs::path Template(const std::string& vartim = "50", const std::string& name = "T.INI") {
    return Write(name,
                 "[Propagation Model]\nMODEL=Longley-Rice\nLR_DESC=CLI test\nPOLARIZ=V\nCLIM_CODE=5\n"
                 "SUR_REFRAC=301\nSEA_REFRAC=0\nREL_PERMIT=15\nCONDUCTIVI=0.005\nLR_MDVAR=12\nLR_VARSIT=50\n"
                 "LR_VARLOC=50\nLR_VARTIM=" +
                     vartim + "\n");
  }
  fs::path Profile() {
    std::ostringstream s;
    s << "distance_m,elevation_m\n";
    for (int i = 0; i <= 150; ++i) s << 100 * i << "," << 200 + 150 * std::sin(i / 20.0) << "\n";
    return Write("p.csv", s.str());
  }
};

// The same path as text (the model named in lower case) and as JSON.
TEST_F(P2PCliTest, TextAndJsonOutput) {
  const std::string path = " --template " + Quote(Template()) + " --profile " + Quote(Profile()) +
                           " --freq 450 --tx-agl 60 --rx-agl 10";
  const Outcome text = Run("p2p --model lr" + path);
  ASSERT_EQ(text.exitCode, 0) << text.err;
  for (const char* line : {"Longley-Rice (LR)", "Net field:", "Longley-Rice Propagation Study"})
    EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;

  const Outcome o = Run("p2p --json --details" + path + " --erp 1 kW");
  ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
  const auto j = nlohmann::json::parse(o.out, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << o.out;
  for (const char* key : {"model", "net_field_dbu", "free_space_dbu", "model_loss_db", "err_level", "mode",
                          "delta_h_m", "eff_heights_m", "details"}) {
    EXPECT_TRUE(j.contains(key)) << key << " in " << o.out;
  }
  EXPECT_EQ(j["model"], "LR");
  EXPECT_EQ(j["points"], 151);
  EXPECT_EQ(j["mode"].size(), 2u);
  EXPECT_EQ(j["eff_heights_m"].size(), 2u);
  const double fs = j["free_space_dbu"], net = j["net_field_dbu"], loss = j["model_loss_db"];
  EXPECT_NEAR(fs, 106.92 - 20 * std::log10(15.0), 1e-9);
  EXPECT_NEAR(net, fs - loss, 1e-9);
  EXPECT_NE(j["details"].get<std::string>().find("Additional Estimated transmission loss: "), std::string::npos);
}

// Longley-Rice's error levels say which of the model's checks the path
// failed, and leave the number as the model computed it.
TEST_F(P2PCliTest, ErrorLevelWarningsNameTheirReason) {
  struct Case {
    int points;
    double stepM, wallM;  // a wall 2 steps from the transmitter, this high
    const char* want;
  };
  for (const Case& c : {Case{11, 50.0, 0.0, "error level 4: a path shorter than 1 km"},
                        Case{101, 100.0, 120.0, "a horizon elevation angle above 200 mrad"}}) {
    std::ostringstream csv;
    csv << "distance_m,elevation_m\n";
    for (int i = 0; i < c.points; ++i) csv << c.stepM * i << "," << (i == 2 ? 100.0 + c.wallM : 100.0) << "\n";
    const Outcome o = Run("p2p --json --template " + Quote(Template()) + " --profile " +
                          Quote(Write("w.csv", csv.str())) + " --freq 450 --tx-agl 10 --rx-agl 10");
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    const auto j = nlohmann::json::parse(o.out, nullptr, false);
    ASSERT_TRUE(j.contains("warnings")) << o.out;
    EXPECT_NE(j["warnings"].dump().find(c.want), std::string::npos) << j["warnings"].dump();
  }
}

// With --json a refusal is a JSON error on stdout (the refusals' messages on
// stderr: the tests/bad corpus).
TEST_F(P2PCliTest, FailuresUnderJsonAreAJsonError) {
  const Outcome o = Run("p2p --json --template " + Quote(Template("100", "bad.ini")) + " --profile " +
                        Quote(Profile()) + " --freq 450 --tx-agl 60 --rx-agl 10");
  EXPECT_NE(o.exitCode, 0);
  const auto j = nlohmann::json::parse(o.out, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << o.out;
  EXPECT_NE(j.value("error", "").find("LR Time Variability"), std::string::npos);
}

TEST_F(P2PCliTest, BatchPrintsOneLinePerRow) {
  const auto tpl = Template();
  const auto prof = Profile();
  const auto dem = Tile().string();
  const auto batch = Write("batch.csv",
                           "id,template,profile,dem,from,to,freq,tx_agl,rx_agl,erp\n"
                           "a," + tpl.string() + "," + prof.string() + ",,,,450,60,10,1 kW\n"
                           "b," + tpl.string() + "," + (tmp.path() / "missing.csv").string() + ",,,,450,60,10,\n"
                           "c," + tpl.string() + ",," + dem + ",\"44.27,-71.30\",\"44.10,-71.00\",100,100,10,60 dBm\n");
  const Outcome o = Run("p2p --batch " + Quote(batch));
  EXPECT_NE(o.exitCode, 0) << "one row failed";
  std::vector<nlohmann::json> rows;
  std::istringstream lines(o.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    auto j = nlohmann::json::parse(line, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << line;
    rows.push_back(std::move(j));
  }
  ASSERT_EQ(rows.size(), 3u) << o.out;
  EXPECT_EQ(rows[0]["row"], 1);
  EXPECT_EQ(rows[0]["id"], "a");
  EXPECT_FALSE(rows[0].contains("error")) << rows[0].dump();
  EXPECT_EQ(rows[0]["model"], "LR");
  EXPECT_EQ(rows[1]["id"], "b");
  ASSERT_TRUE(rows[1].contains("error"));
  EXPECT_NE(rows[1]["error"].get<std::string>().find("Cannot read the profile file"), std::string::npos);
  EXPECT_FALSE(rows[1].contains("net_field_dbu"));
  EXPECT_EQ(rows[2]["id"], "c");
  ASSERT_FALSE(rows[2].contains("error")) << rows[2].dump();
  const double fs = rows[2]["free_space_dbu"], net = rows[2]["net_field_dbu"];
  const double km = rows[2]["path_length_m"].get<double>() / 1000.0;
  EXPECT_NEAR(fs, 106.92 - 20 * std::log10(km), 1e-9);
  EXPECT_TRUE(std::isfinite(net));
  EXPECT_LT(net, fs);

  // All rows good: exit 0.
  const auto good = Write("good.csv", "template,profile,freq,tx_agl,rx_agl\n" + tpl.string() + "," + prof.string() +
                                          ",450,60,10\n");
  const Outcome ok = Run("p2p --batch " + Quote(good));
  EXPECT_EQ(ok.exitCode, 0) << ok.err << ok.out;
  // A column the command does not know fails its row, not the batch.
  const auto unknown = Write("unknown.csv", "template,profile,freq,colour\n" + tpl.string() + "," + prof.string() +
                                                ",450,red\n");
  const Outcome u = Run("p2p --batch " + Quote(unknown));
  EXPECT_NE(u.exitCode, 0);
  EXPECT_NE(u.out.find("unknown column 'colour'"), std::string::npos) << u.out;
}

// Rounded Obstacle over Mount Washington on the bundled SRTM tile (whole
// metres): the loss does not move with the sampling step nor with +-0.5 m of
// roughness added to the profile.
TEST_F(P2PCliTest, RoundedObstacleOnRealTerrainIsStableUnderStepAndRoughness) {
  const auto ro = Write("ro.ini", "[Propagation Model]\nMODEL=Rounded Obstacle\nRO_OBRES=5\nRO_OBRESUN=m\n"
                                  "RO_AMODE=DIF\nRO_DESC=Hills\n");
  const std::string dem = Quote(Tile());
  const std::string path = " --from 44.20,-71.42 --to 44.34,-71.18 --freq 100 --tx-agl 10 --rx-agl 10 --json";
  auto loss = [&](const std::string& args) {
    const Outcome o = Run("p2p --template " + Quote(ro) + " " + args + path.substr(path.find(" --freq")));
    const auto j = nlohmann::json::parse(o.out, nullptr, false);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    return j.is_discarded() ? -1.0 : j.value("model_loss_db", -1.0);
  };
  auto terrain = [&](int step) { return loss("--dem " + dem + path.substr(0, path.find(" --freq")) + " --step " + std::to_string(step)); };
  const double at90 = terrain(90);
  EXPECT_GT(at90, 40.0) << "the ridge blocks the path";
  for (int step : {30, 60, 180}) EXPECT_NEAR(terrain(step), at90, 1.0) << step << " m step";

  // The same profile with +-0.5 m of roughness (which moves points in and out
  // of the obstacle's 5 m resolution).
  const Outcome prof = Run("profile --dem " + dem + path.substr(0, path.find(" --freq")) + " --step 90 --csv");
  ASSERT_EQ(prof.exitCode, 0) << prof.err;
  std::istringstream in(prof.out);
  std::ostringstream rough;
  std::string line;
  unsigned seed = 1;
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    double d = 0, e = 0;
    if (comma == std::string::npos || std::sscanf(line.c_str(), "%lf,%lf", &d, &e) != 2) {
      rough << line << "\n";
      continue;
    }
    seed = seed * 1103515245u + 12345u;
    rough << line.substr(0, comma) << "," << e + ((seed >> 16) % 1001) / 1000.0 - 0.5 << "\n";
  }
  EXPECT_NEAR(loss("--profile " + Quote(Write("rough.csv", rough.str()))), at90, 1.5);
}

// ---- --task N --workdir DIR

class P2PTaskCliTest : public zw::test::SampleWorkTest {
 protected:
  // The template form of task 1's path to `to`: the sample's 98.5 MHz, 50 kW,
  // 100 m above ground, terrain every 90 m, and the receiver's 9.1 m as the
  // task keeps it (a single, written out exactly).
  std::string TemplateForm(const std::string& to) const {
    std::ostringstream rx;
    rx << std::setprecision(17) << static_cast<double>(9.1f);
    return "p2p --json --template " + Quote(work() / "T0000001.INI") + " --dem " + Quote(Tile()) +
           " --from 44.4365,-71.4131 " + to + " --step 90 --freq 98.5 --tx-agl 100 --rx-agl " + rx.str() +
           " --erp 50 kW";
  }
};

TEST_F(P2PTaskCliTest, SampleTaskPathEqualsTheTemplateForm) {
  const std::string to = "--to 44.55,-71.25";
  for (const std::string details : {"", " --details"}) {
    const Outcome task =
        Run("p2p --json --task 1 --workdir " + Quote(work()) + " --dem " + Quote(Tile()) + " " + to + details);
    ASSERT_EQ(task.exitCode, 0) << task.err << task.out;
    // The details in the installation's distance unit (miles when none is
    // set), its receive level the link's threshold.
    const Outcome tpl = Run(TemplateForm(to) + " --detail-units mi --threshold 60" + details);
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
  std::string text = zw::test::ReadAll(taskFile);
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
  const std::string to = "--to 44.2,-71.6";  // behind a ridge
  std::map<std::string, double> field;
  std::map<std::string, std::string> csv;
  for (const std::string k : {"1", "1.333"}) {
    fs::remove(work() / "T0000001.INI");
    fs::copy_file(fs::path(RAVO_DATA_DIR) / "sample" / "T0000001.INI", work() / "T0000001.INI");
    MakeBullington(work() / "T0000001.INI", k);
    const Outcome task = Run("p2p --json --task 1 --workdir " + Quote(work()) + " --dem " + Quote(Tile()) + " " + to);
    ASSERT_EQ(task.exitCode, 0) << task.err << task.out;
    // The template form reads the K-value from the same file.
    const Outcome tpl = Run(TemplateForm(to));
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
    const std::string report = zw::test::ReadAll(work() / "T0000001.TXT");
    EXPECT_NE(report.find("Effective earth curvature " + std::string(k == "1" ? "1.000" : "1.333")),
              std::string::npos);
    const Outcome exp = Run("export --task 1 --workdir " + Quote(work()) + " --format csv -o " +
                            Quote(tmp.path() / ("k" + k + ".csv")));
    ASSERT_EQ(exp.exitCode, 0) << exp.err;
    csv[k] = zw::test::ReadAll(tmp.path() / ("k" + k + ".csv"));
  }
  // A flatter earth lowers fewer obstacles out of the way: a different loss.
  EXPECT_GT(std::fabs(field["1"] - field["1.333"]), 0.2) << field["1"] << " " << field["1.333"];
  EXPECT_NE(csv["1"], csv["1.333"]);
  // --k-value stands in for the file's (1.333 now).
  const Outcome given = Run(TemplateForm(to) + " --k-value 1");
  const auto g = nlohmann::json::parse(given.out, nullptr, false);
  ASSERT_FALSE(g.is_discarded()) << given.out << given.err;
  EXPECT_DOUBLE_EQ(g["net_field_dbu"].get<double>(), field["1"]);
}

}  // namespace
