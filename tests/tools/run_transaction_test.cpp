// A re-run of a study either replaces all of its files with complete new ones
// or leaves every one of them byte-identical, whatever happens to it: killed
// (-9) at a random instant, SIGTERM, SIGHUP, two Ctrl-C, a disk that fills up,
// read-only files, terrain or model failures. Each trial changes the
// transmitter's ERP first, so that old and new results always differ; after
// it, one command in the work directory (which finishes an interrupted
// commit) and the files are compared with the ones before.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "platform/DbfTable.h"

namespace {

namespace fs = std::filesystem;
using zw::test::StartTool;
using zw::test::WaitTool;

const fs::path kTile = fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt";
const std::vector<std::string> kStudyFiles = {"R0000001.DBF", "T0000001.TXT", "S0000001.TXT", "T0000001.INI"};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Snapshot {
  std::map<std::string, std::string> files;
  std::string flags;  // TSK_LOCK, TSK_INCMPL of task 1
  bool operator==(const Snapshot&) const = default;
};

class RunTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home());
    zw::test::CopySample(work());
  }
  fs::path home() const { return tmp.path() / "home"; }
  fs::path work() const { return tmp.path() / "work"; }
  std::string Err() const { return ReadAll(home() / "stderr.txt"); }

  std::vector<std::string> RunArgs(const std::string& answer = "--no") const {
    return {answer, "run", "--task", "1", "--threads", "2", "--workdir", work().string(), "--dem", kTile.string()};
  }
  // The staged report of a run under way, once it holds point details.
  bool PointsComputed() const {
    for (const auto& e : fs::directory_iterator(work()))
      if (e.path().filename().string().rfind(".ravo-run-", 0) == 0) {
        std::error_code ec;
        if (fs::file_size(e.path() / "T0000001.TXT", ec) > 4000 && !ec) return true;
      }
    return false;
  }
  // The study's transmitter ERP (kW) in the task file.
  void SetErp(double kw) {
    const fs::path f = work() / "T0000001.INI";
    std::string text = ReadAll(f);
    const auto at = text.find("TX_A1ERP=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find('\n', at) - at, "TX_A1ERP=" + std::to_string(kw));
    std::ofstream(f, std::ios::binary) << text;
  }
  int Run(const std::vector<std::string>& args, long fileSizeLimit = 0) {
    const int status = WaitTool(StartTool(home(), args, fileSizeLimit));
    EXPECT_TRUE(WIFEXITED(status)) << Err();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  Snapshot Take() const {
    Snapshot s;
    for (const auto& name : kStudyFiles) s.files[name] = ReadAll(work() / name);
    zw::platform::DbfTable t;
    if (t.Open(work() / "ZWTasks.dbf", true).empty()) {
      const int r = t.FindFirst("TSK_ID", std::string("0000001"));
      s.flags = t.Text(r, "TSK_LOCK") + t.Text(r, "TSK_INCMPL");
    }
    return s;
  }
  // Values of the study's points: how many are not computed.
  int NotComputed() const {
    zw::platform::DbfTable r;
    EXPECT_EQ(r.Open(work() / "R0000001.DBF", true), "");
    int n = 0;
    for (int i = 0; i < r.RecordCount(); ++i)
      if (r.Text(i, "RDB_DESC").rfind("TX SIT", 0) != 0 && r.Number(i, "RDB_VAL") == -888888.0) ++n;
    return n;
  }
  // After one command in the work directory: the files before, or complete
  // new ones; never a mix, and no staging folder left.
  void ExpectOldOrNew(const Snapshot& before, const std::string& trial) {
    zw::test::RunTool(home(), "task --workdir " + zw::test::Quote(work()) + " list");
    const Snapshot after = Take();
    for (const auto& e : fs::directory_iterator(work()))
      EXPECT_NE(e.path().filename().string().rfind(".ravo-run-", 0), 0u) << trial << ": left " << e.path();
    if (after == before) return;
    for (const auto& name : {"R0000001.DBF", "T0000001.TXT", "S0000001.TXT"})
      EXPECT_NE(after.files.at(name), before.files.at(name)) << trial << ": only some files replaced: " << name;
    EXPECT_EQ(NotComputed(), 0) << trial;
    EXPECT_NE(after.files.at("T0000001.TXT").find("All 720 points computed."), std::string::npos) << trial;
    EXPECT_EQ(after.flags, "TrueFalse") << trial << ": a complete study is locked and not incomplete";
  }

  zw::test::TempDir tmp;
};

TEST_F(RunTransactionTest, InterruptedReRunsLeaveTheOldFilesOrCompleteNewOnes) {
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  // How long a whole run takes here: the interruptions fall anywhere in it.
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  const auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<long> when(0, full.count() * 11 / 10);
  struct Way {
    const char* name;
    std::vector<int> signals;
    int trials;
  };
  // Enough instants to land in each phase (setup, points, report, commit) of a run.
  const Way ways[] = {{"kill -9", {SIGKILL}, 36}, {"SIGTERM", {SIGTERM}, 6}, {"SIGHUP", {SIGHUP}, 6},
                      {"two Ctrl-C", {SIGINT, SIGINT}, 6}};
  int trial = 0, replaced = 0, kept = 0;
  for (const auto& way : ways) {
    for (int i = 0; i < way.trials; ++i, ++trial) {
      SetErp(40.0 + 0.01 * trial);
      const Snapshot before = Take();
      const pid_t pid = StartTool(home(), RunArgs());
      std::this_thread::sleep_for(std::chrono::microseconds(when(rng)));
      for (int sig : way.signals) kill(pid, sig);
      const int status = WaitTool(pid);
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) ++replaced; else ++kept;
      ExpectOldOrNew(before, std::string(way.name) + " trial " + std::to_string(trial));
      if (HasFailure()) return;
    }
  }
  std::cout << trial << " interrupted runs: " << kept << " left the old files, " << replaced
            << " finished before the signal\n";
}

TEST_F(RunTransactionTest, CtrlCAsksWhetherToKeepThePartialResults) {
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  for (const std::string answer : {"--no", "--yes"}) {
    SCOPED_TRACE(answer);
    SetErp(answer == "--no" ? 41 : 42);
    const Snapshot before = Take();
    auto args = RunArgs(answer);
    args.push_back("--details");
    const pid_t pid = StartTool(home(), args);
    // Once some points are computed (their details are in the staged report).
    for (int i = 0; i < 20000 && !PointsComputed(); ++i) std::this_thread::sleep_for(std::chrono::microseconds(250));
    kill(pid, SIGINT);
    const int status = WaitTool(pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) continue;  // finished before the Ctrl-C was seen
    EXPECT_EQ(WEXITSTATUS(status), 4) << Err();
    const Snapshot after = Take();
    if (answer == "--no") {
      EXPECT_EQ(after, before) << Err();
      EXPECT_NE(Err().find("previous results were kept"), std::string::npos) << Err();
    } else {
      EXPECT_NE(after.files.at("R0000001.DBF"), before.files.at("R0000001.DBF"));
      EXPECT_EQ(after.flags, "FalseTrue") << "partial results are marked incomplete";
      EXPECT_NE(after.files.at("T0000001.TXT").find("INCOMPLETE STUDY"), std::string::npos);
      EXPECT_NE(zw::test::RunTool(home(), "task --workdir " + zw::test::Quote(work()) + " list").out.find("incomplete"),
                std::string::npos);
    }
  }
}

// Runs that cannot finish, each refused with its reason and every file as it was.
TEST_F(RunTransactionTest, FailedRunsKeepEveryFileAsItWas) {
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  const fs::path table = work() / "R0000001.DBF";
  struct Case {
    const char* name;
    std::function<void()> before, after;
    std::vector<std::string> args;
    long fileSizeLimit;
    const char* says;
  };
  const fs::path elsewhere = fs::path(RAVO_DATA_DIR) / "terrain" / "N22W160.hgt";
  std::vector<std::string> wrongDem = RunArgs();
  wrongDem.back() = elsewhere.string();
  const Case cases[] = {
      {"terrain that covers no point", [] {}, [] {}, wrongDem, 0, "No point of the study was computed"},
      {"disk full", [] {}, [] {}, RunArgs(), 20000, "File too large"},
      {"read-only results table", [&] { fs::permissions(table, fs::perms::owner_read | fs::perms::group_read); },
       [&] { fs::permissions(table, fs::perms::owner_read | fs::perms::owner_write); }, RunArgs(), 0, "read-only"},
      {"read-only work directory",
       [&] { fs::permissions(work(), fs::perms::owner_read | fs::perms::owner_exec); },
       [&] { fs::permissions(work(), fs::perms::owner_all); }, RunArgs(), 0, "read-only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetErp(45);
    const Snapshot before = Take();
    const auto mode = fs::status(table).permissions();
    c.before();
    EXPECT_EQ(Run(c.args, c.fileSizeLimit), 1);
    EXPECT_NE(Err().find(c.says), std::string::npos) << Err();
    EXPECT_EQ(fs::status(table).permissions(), c.name == std::string("read-only results table")
                                                   ? (fs::perms::owner_read | fs::perms::group_read)
                                                   : mode);
    c.after();
    EXPECT_EQ(Take(), before);
  }
}

// Task commands killed at random instants: every task record keeps its task
// file, and the database still lists.
TEST_F(RunTransactionTest, KilledTaskCommandsLeaveWholeTasks) {
  const fs::path sample = fs::path(RAVO_DATA_DIR) / "sample";
  const std::string w = work().string();
  const std::vector<std::string> import{"--yes", "task", "--workdir", w, "import", (sample / "T0000001.INI").string(),
                                        (sample / "E0000001.INI").string()};
  std::mt19937 rng(7);
  int trials = 0;
  auto expectWhole = [&](const std::string& what) {
    const auto list = zw::test::RunTool(home(), "task --workdir " + zw::test::Quote(work()) + " list");
    EXPECT_EQ(list.exitCode, 0) << what << list.err;
    zw::platform::DbfTable t;
    ASSERT_EQ(t.Open(work() / "ZWTasks.dbf", true), "") << what;
    for (int r : t.AllRecords())
      EXPECT_TRUE(fs::is_regular_file(work() / ("T" + t.Text(r, "TSK_ID") + ".INI")))
          << what << ": task " << t.Text(r, "TSK_ID") << " has no task file";
  };
  for (const char* kind : {"import", "delete"}) {
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(import), 0) << Err();
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    std::uniform_int_distribution<long> when(0, full.count() * 12 / 10);
    for (int i = 0; i < 10; ++i, ++trials) {
      std::vector<std::string> args = import;
      if (std::string(kind) == "delete") {
        ASSERT_EQ(Run(import), 0) << Err();
        args = {"--yes", "task", "--workdir", w, "delete", std::to_string(3 + i)};
      }
      const pid_t pid = StartTool(home(), args);
      std::this_thread::sleep_for(std::chrono::microseconds(when(rng)));
      kill(pid, SIGKILL);
      WaitTool(pid);
      expectWhole(std::string(kind) + " trial " + std::to_string(i));
      if (HasFailure()) return;
    }
  }
  std::cout << trials << " killed task commands, every task whole\n";
}

TEST_F(RunTransactionTest, ALinkAtTheReportsNameIsReplacedNotFollowed) {
  const fs::path outside = tmp.path() / "outside.txt";
  std::ofstream(outside) << "not yours";
  fs::create_symlink(outside, work() / "T0000001.TXT");
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  EXPECT_EQ(ReadAll(outside), "not yours");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(work() / "T0000001.TXT")));
}

}  // namespace
