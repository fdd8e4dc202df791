// Faults around `ravoprop run` that come from outside the tool: a results
// table path taken by a directory, the results table removed or replaced
// during a run. Afterwards the task database and task file are intact, the
// results table (when there is one) is readable with finite values, and the
// next run works. (Kills, signals, full disks and read-only files are in
// run_transaction_test.)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "platform/DbfTable.h"
#include "tasks/TaskFile.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kSample = fs::path(RAVO_DATA_DIR) / "sample";
const fs::path kTile = fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt";

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home());
    fs::create_directories(work());
    for (const auto& e : fs::directory_iterator(kSample))
      if (e.path().extension() != ".md") fs::copy_file(e.path(), work() / e.path().filename());
  }
  fs::path home() const { return tmp.path() / "home"; }
  fs::path work() const { return tmp.path() / "work"; }
  fs::path Results() const { return work() / "R0000001.DBF"; }

  // Points every `stepKm` along the sample's 36 radials (the sample: 1.5 km).
  void SetStep(const std::string& stepKm) {
    const fs::path f = work() / "T0000001.INI";
    std::string text = ReadAll(f);
    const std::string key = "ADV RAD STEP COV=";
    const auto at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find('\n', at) - at, key + stepKm + "|km");
    std::ofstream(f, std::ios::binary) << text;
  }

  std::vector<std::string> RunArgs() const {
    return {"--yes", "run", "--task", "1", "--threads", "2", "--workdir", work().string(), "--dem", kTile.string()};
  }

  pid_t Start(const std::vector<std::string>& args) { return zw::test::StartTool(home(), args); }
  int Wait(pid_t pid) {
    const int status = zw::test::WaitTool(pid);
    if (status == -1) ADD_FAILURE() << "still running after 60 s";
    return status;
  }
  std::string Err() const { return ReadAll(home() / "stderr.txt"); }
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

  zw::test::TempDir tmp;
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
