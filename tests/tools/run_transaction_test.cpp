// A re-run of a study either replaces all of its files with complete new ones
// or leaves every one of them byte-identical, whatever happens to it: killed
// (-9) at a random instant, SIGTERM, SIGHUP, two Ctrl-C, a disk that fills up,
// read-only files, terrain or model failures. Each trial changes the
// transmitter's ERP first, so that old and new results always differ; after
// it, one command in the work directory (which finishes an interrupted
// commit) and the files are compared with the ones before.
//
// Faults from outside the tool (FaultsTest): a results table path taken by a
// directory, the results table removed or replaced during a run. Afterwards
// the task database and task file are intact, the results table (when there
// is one) is readable with finite values, and the next run works.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SampleWork.h"
#include "platform/DbfTable.h"
#include "tasks/TaskFile.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zw::test::ReadAll;
using zw::test::StartTool;
using zw::test::WaitTool;

const std::vector<std::string> kStudyFiles = {"R0000001.DBF", "T0000001.TXT", "S0000001.TXT", "T0000001.INI"};

struct Snapshot {
  std::map<std::string, std::string> files;
  std::string flags;  // TSK_LOCK, TSK_INCMPL of task 1
  bool operator==(const Snapshot&) const = default;
};

class RunTransactionTest : public zw::test::SampleWorkTest {
 protected:
  std::vector<std::string> RunArgs(const std::string& answer = "--no") const { return SampleWorkTest::RunArgs(answer); }
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
  void SetErp(double kw) { SetTaskKey("TX_A1ERP", std::to_string(kw)); }
  using SampleWorkTest::Run;
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
    Run("task --workdir " + zw::test::Quote(work()) + " list");
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
      EXPECT_NE(Run("task --workdir " + zw::test::Quote(work()) + " list").out.find("incomplete"), std::string::npos);
    }
  }
}

// Runs that cannot finish, each refused with its reason and every file as it
// was. Without terrain under the study every point is missing; the questions
// take their default (No) without a terminal, and the run reports each point,
// then fails: a study that computed nothing is not a success.
TEST_F(RunTransactionTest, FailedRunsKeepEveryFileAsItWas) {
  ASSERT_EQ(Run(RunArgs()), 0) << Err();
  const fs::path table = work() / "R0000001.DBF";
  struct Case {
    const char* name;
    std::function<void()> before, after;
    std::vector<std::string> args;
    long fileSizeLimit;
    std::vector<std::string> says;
  };
  std::vector<std::string> wrongDem = RunArgs();
  wrongDem.erase(wrongDem.begin());  // no answer given
  wrongDem.back() = zw::test::Tile("N22W160.hgt").string();
  const Case cases[] = {
      {"terrain that covers no point", [] {}, [] {}, wrongDem, 0,
       {"No point of the study was computed", "720 points without terrain data",
        "No topo elevation data found for azimuth 350"}},
      {"disk full", [] {}, [] {}, RunArgs(), 20000, {"File too large"}},
      {"read-only results table", [&] { fs::permissions(table, fs::perms::owner_read | fs::perms::group_read); },
       [&] { fs::permissions(table, fs::perms::owner_read | fs::perms::owner_write); }, RunArgs(), 0, {"read-only"}},
      {"read-only work directory",
       [&] { fs::permissions(work(), fs::perms::owner_read | fs::perms::owner_exec); },
       [&] { fs::permissions(work(), fs::perms::owner_all); }, RunArgs(), 0, {"read-only"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetErp(45);
    const Snapshot before = Take();
    const auto mode = fs::status(table).permissions();
    c.before();
    EXPECT_EQ(Run(c.args, c.fileSizeLimit), 1);
    for (const auto& text : c.says) EXPECT_NE(Err().find(text), std::string::npos) << text << "\n" << Err();
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
    const auto list = Run("task --workdir " + zw::test::Quote(work()) + " list");
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

// ---- Faults from outside the tool

class FaultsTest : public zw::test::SampleWorkTest {
 protected:
  fs::path Results() const { return work() / "R0000001.DBF"; }
  // Points every `stepKm` along the sample's 36 radials (the sample: 1.5 km).
  void SetStep(const std::string& stepKm) { SetTaskKey("ADV RAD STEP COV", stepKm + "|km"); }

  pid_t Start(const std::vector<std::string>& args) { return zw::test::StartTool(home(), args); }
  int Wait(pid_t pid) {
    const int status = zw::test::WaitTool(pid);
    if (status == -1) ADD_FAILURE() << "still running after 60 s";
    return status;
  }
  // Exited (did not crash) and no sanitizer report.
  void ExpectNoCrash(int status) {
    EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << "\n"
                                   << Err();
    EXPECT_EQ(Err().find("Sanitizer"), std::string::npos) << Err();
    EXPECT_EQ(Err().find("runtime error:"), std::string::npos) << Err();
  }

  // The task database opens with task 1, the task file reads, and a results
  // table that is there reads with finite values.
  void ExpectIntact() {
    zw::platform::DbfTable tasks;
    ASSERT_EQ(tasks.Open(work() / "ZWTasks.dbf", true), "");
    EXPECT_GE(tasks.RecordCount(), 1);
    ASSERT_TRUE(tasks.Row(0).has_value());
    const zw::tasks::TaskFile tf(work() / "T0000001.INI");
    EXPECT_EQ(tf.Text("Propagation Model", "MODEL"), "Longley-Rice");
    EXPECT_EQ(tf.Text("Facility Data", "TX_FREQMHZ"), "98.5");
    EXPECT_EQ(tf.Text("TASK", "Task ID"), "0000001");
    if (fs::is_regular_file(Results())) ExpectResultsFinite(false);
  }
  // Every record with a value holds a finite one; `complete`: every study
  // point has been computed.
  void ExpectResultsFinite(bool complete) {
    zw::platform::DbfTable r;
    ASSERT_EQ(r.Open(Results(), true), "");
    int computed = 0;
    for (int i = 0; i < r.RecordCount(); ++i) {
      if (r.IsDeleted(i) || r.IsNull(i, "RDB_VAL")) continue;
      const double v = r.Number(i, "RDB_VAL");
      EXPECT_TRUE(std::isfinite(v)) << "record " << i;
      if (v != -888888.0) ++computed;
      else if (complete && r.Text(i, "RDB_DESC").rfind("TX SIT", 0) != 0) ADD_FAILURE() << "record " << i << " not computed";
    }
    if (complete) {
      EXPECT_GT(computed, 0);
    }
  }
  void ExpectNextRunWorks() {
    const int status = Wait(Start(RunArgs()));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << Err();
    ExpectIntact();
    ExpectResultsFinite(true);
  }
};

TEST_F(FaultsTest, ResultsTablePathIsADirectory) {
  // Works as root too: the table cannot take the place of a directory.
  fs::create_directories(Results() / "inside");
  const int status = Wait(Start(RunArgs()));
  ExpectNoCrash(status);
  EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_NE(Err().find("did not run to its end"), std::string::npos) << Err();
  EXPECT_TRUE(fs::is_directory(Results() / "inside"));
  ExpectIntact();
  fs::remove_all(Results());
  ExpectNextRunWorks();
}

TEST_F(FaultsTest, ResultsTableRemovedDuringTheRun) {
  // The run builds its table aside: the old one removed under it changes
  // nothing, and the run ends with a complete new table.
  SetStep("0.3");
  ASSERT_EQ(WEXITSTATUS(Wait(Start(RunArgs()))), 0) << Err();
  const pid_t pid = Start(RunArgs());
  const auto staging = [&] {
    for (const auto& e : fs::directory_iterator(work()))
      if (e.path().filename().string().rfind(".ravo-run-", 0) == 0) return true;
    return false;
  };
  for (int i = 0; i < 20000 && !staging(); ++i) std::this_thread::sleep_for(std::chrono::microseconds(250));
  fs::remove(Results());
  const int status = Wait(pid);
  ExpectNoCrash(status);
  ASSERT_EQ(WEXITSTATUS(status), 0) << Err();
  ASSERT_TRUE(fs::is_regular_file(Results()));
  ExpectResultsFinite(true);
  ExpectIntact();
}

TEST_F(FaultsTest, ResultsTableReplacedDuringTheRun) {
  SetStep("0.3");
  const pid_t pid = Start(RunArgs());
  std::this_thread::sleep_for(400ms);
  {
    std::ofstream junk(work() / "junk.tmp", std::ios::binary);
    junk << std::string(3000, '\x7f');
  }
  fs::rename(work() / "junk.tmp", Results());
  const int status = Wait(pid);
  ExpectNoCrash(status);
  if (WEXITSTATUS(status) != 0) {
    EXPECT_FALSE(Err().empty());
  }
  // The task is intact; whatever the table holds now, the next run replaces it.
  zw::platform::DbfTable tasks;
  ASSERT_EQ(tasks.Open(work() / "ZWTasks.dbf", true), "");
  EXPECT_EQ(zw::tasks::TaskFile(work() / "T0000001.INI").Text("Propagation Model", "MODEL"), "Longley-Rice");
  ExpectNextRunWorks();
}

}  // namespace
