#include "tasks/clsQXTask.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tasks/TaskLock.h"
#include "tasks/TaskRunLock.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;

struct Fixture : ::testing::Test {
  zw::test::TempDir dir;
  clsQXTask Task() {
    clsQXTask t(dir.path());
    t.SetSilent(true);
    t.SetLockWait(0);
    return t;
  }
  std::string Bytes(const fs::path& p) { return platform::ReadWholeFile(p).value_or("<none>"); }
};

using TaskDb = Fixture;

TEST_F(TaskDb, NewNumbersSkipExistingRecordsAndWriteLastId) {
  auto t = Task();
  ASSERT_EQ(t.TaskADD(42), "");
  ASSERT_EQ(t.TaskADD(43), "");
  ASSERT_TRUE(platform::ProfileWriteString("CONFIG", "LastID", "41", t.NumberFilePath()));
  EXPECT_EQ(t.TaskNew(), 44);
  EXPECT_EQ(platform::ProfileGetString("CONFIG", "LastID", "", t.NumberFilePath()), "44");
  EXPECT_EQ(t.lTaskID(), 44);
  EXPECT_EQ(t.sTaskID(), "0000044");
  // Without a LastID the last record's number is the start.
  fs::remove(t.NumberFilePath());
  EXPECT_EQ(t.TaskNew(), 45);
  EXPECT_EQ(t.numTasks(), 4);
}

// Bad, duplicate and unknown numbers: refused, the table as it was.
TEST_F(TaskDb, AddRefusesBadAndDuplicateNumbersAndUnknownOnesGiveEmptyState) {
  auto t = Task();
  EXPECT_EQ(t.TaskADD(0), "Invalid Task ID: 0");
  ASSERT_EQ(t.TaskADD(7), "");
  const std::string before = Bytes(t.TablePath());
  EXPECT_EQ(t.TaskADD(7), "Task ID 7 already exists.");
  t.SetTaskID(999);
  EXPECT_EQ(t.lTaskID(), kNoTask);
  EXPECT_EQ(t.sDesc, "");
  EXPECT_EQ(t.GetTaskModeE(), 0);
  EXPECT_EQ(t.TaskINIFile(), "");
  EXPECT_NE(t.TaskDeleteID(999), "");
  EXPECT_NE(t.TaskSave(), "");
  EXPECT_EQ(Bytes(t.TablePath()), before);
}

TEST_F(TaskDb, SaveLoadAndDelete) {
  auto t = Task();
  const auto id = t.TaskNew();
  ASSERT_GT(id, 0);
  t.sDesc = "Coverage of a test";
  t.sSum = "XYZCTR something";
  t.SetTaskMode(5);
  t.bLock = true;
  ASSERT_EQ(t.TaskSave(), "");
  ASSERT_TRUE(platform::ProfileWriteString("RX Facility", "Level 0", "39|dBu|50", t.TaskINIFile()));
  for (const fs::path& f : {fs::path(t.TaskResultsFile()), dir.path() / "S0000001.TXT", dir.path() / "notes.txt"})
    ASSERT_TRUE(platform::WriteFileAtomic(f, "x"));

  auto u = Task();
  u.SetTaskID(id);
  EXPECT_EQ(u.sDesc, "Coverage of a test");
  EXPECT_EQ(u.GetTaskModeE(), 5);  // the general conversion knows THRRECALC
  EXPECT_TRUE(u.bLock);
  EXPECT_EQ(u.sRDBDesc, "XYZCTR 50.0% 39.000dBu");
  EXPECT_EQ(fs::path(u.TaskINIFile()).filename(), "T0000001.INI");
  EXPECT_EQ(fs::path(u.TaskResultsFile()).filename(), "R0000001.DBF");

  ASSERT_EQ(u.TaskDeleteID(id), "");
  for (const char* gone : {"T0000001.INI", "R0000001.DBF", "S0000001.TXT"})
    EXPECT_FALSE(fs::exists(dir.path() / gone)) << gone;
  EXPECT_TRUE(fs::exists(dir.path() / "notes.txt"));
  u.SetTaskID(id);
  EXPECT_EQ(u.lTaskID(), kNoTask);
  EXPECT_EQ(u.numTasks(), 0);
}

// A failed commit, or another writer holding the lock: refused, the table intact.
TEST_F(TaskDb, FailedCommitOrABusyLockLeavesTableIntact) {
  auto t = Task();
  ASSERT_EQ(t.TaskADD(1), "");
  const std::string before = Bytes(t.TablePath());
  t.SetCommitHook([](const fs::path& temp) {
    EXPECT_TRUE(fs::exists(temp));
    return false;
  });
  EXPECT_EQ(t.TaskNew(), kNoTask);
  t.SetCommitHook([](const fs::path&) -> bool { throw std::runtime_error("power cut"); });
  EXPECT_NE(t.TaskADD(2), "");
  EXPECT_EQ(Bytes(t.TablePath()), before);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().extension() == ".dbf") ++files;
  EXPECT_EQ(files, 1);  // no temporary table left behind
  // The same hook guards the task file.
  t.SetTaskID(1);
  t.sDesc = "changed";
  EXPECT_NE(t.TaskWriteINI(), "");
  EXPECT_FALSE(fs::exists(t.TaskINIFile()));
  t.SetCommitHook({});
  TaskLock other;
  ASSERT_EQ(other.Acquire(dir.path()), "");
  std::string why;
  EXPECT_EQ(t.TaskNew(&why), kNoTask);
  EXPECT_EQ(why, TaskLock::BusyMessage(dir.path()));
  EXPECT_NE(why.find("busy"), std::string::npos);
  EXPECT_EQ(Bytes(t.TablePath()), before);
  other.Release();
  EXPECT_EQ(t.TaskNew(), 2);
}

// Every record has its task file: the file is written first, the record
// last. A kill at any write (simulated by ending the process in the commit
// hook of the k-th file put in place) and a full disk at the record leave no
// record without its file, and a failure removes the files it wrote.
TEST_F(TaskDb, CreationWritesTheFilesFirstAndLeavesNothingHalfMade) {
  auto write = [](clsQXTask& t) -> std::string {
    t.sDesc = "made";
    if (auto err = t.TaskWriteINI(); !err.empty()) return err;
    return platform::WriteFileAtomic(t.TaskPathsFile(), "[Paths]\n") ? "" : "no paths";
  };
  for (int k = 1; k <= 2; ++k) {  // the task file, then the table
    SCOPED_TRACE(k);
    EXPECT_EXIT(
        {
          auto t = Task();
          int commits = 0;
          t.SetCommitHook([&](const fs::path&) {
            if (++commits == k) ::_exit(9);
            return true;
          });
          t.TaskCreate(write);
          ::_exit(0);
        },
        ::testing::ExitedWithCode(9), "");
    auto t = Task();
    const auto all = t.Tasks();
    ASSERT_TRUE(all.has_value());
    for (const auto& r : *all)
      EXPECT_TRUE(fs::exists(dir.path() / ("T" + TaskNumberText(r.id) + ".INI"))) << "record " << r.id << " without its file";
  }
  // A full disk at the record: no record, no file, the cause named.
  auto t = Task();
  const int before = t.numTasks();
  platform::SetDbfWriteFaultForNewFiles({1, false, false});
  std::string why;
  EXPECT_EQ(t.TaskCreate(write, &why), kNoTask);
  platform::SetDbfWriteFaultForNewFiles({});
  EXPECT_NE(why.find("No space left on device"), std::string::npos) << why;
  EXPECT_EQ(t.numTasks(), before);
  // A failing writer: the files it wrote are removed.
  EXPECT_EQ(t.TaskCreate([&](clsQXTask& u) { return write(u).empty() ? "stop" : "?"; }, &why), kNoTask);
  EXPECT_EQ(why, "stop");
  EXPECT_EQ(t.numTasks(), before);
  const int id = t.TaskCreate(write, &why);
  ASSERT_GT(id, 0) << why;
  EXPECT_EQ(t.sDesc, "made");
  EXPECT_EQ(platform::RemoveStaleStaging(dir.path()).size(), 2u);  // the killed writers' staging files
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    if (name[0] == 'T' && e.path().extension() == ".INI" && name != "T" + TaskNumberText(id) + ".INI") {
      // Only files of interrupted creations (no record) may be left; their numbers are skipped.
      EXPECT_FALSE(t.Tasks().value().empty());
    }
    EXPECT_NE(name[0], '~') << name;  // no staging file left
  }
}

TEST_F(TaskDb, ARunningTaskIsNotDeleted) {
  auto t = Task();
  const int id = t.TaskCreate([](clsQXTask& u) { return u.TaskWriteINI(); });
  ASSERT_GT(id, 0);
  const std::string table = Bytes(t.TablePath()), file = Bytes(t.TaskINIFile());
  TaskRunLock run;
  ASSERT_EQ(run.Acquire(dir.path(), id), "");
  const std::string why = t.TaskDeleteID(id);
  EXPECT_NE(why.find("is being run by another command"), std::string::npos) << why;
  EXPECT_NE(why.find("not deleted"), std::string::npos) << why;
  EXPECT_EQ(Bytes(t.TablePath()), table);
  EXPECT_EQ(Bytes(dir.path() / ("T" + TaskNumberText(id) + ".INI")), file);
  run.Release();
  EXPECT_EQ(t.TaskDeleteID(id), "");
  EXPECT_FALSE(fs::exists(dir.path() / ("T" + TaskNumberText(id) + ".INI")));
}

// Damaged tables: refused with a message, never changed.
TEST_F(TaskDb, BrokenTablesAreRefusedAndLeftAlone) {
  ASSERT_EQ(Task().TaskADD(1), "");
  const fs::path table = dir.path() / kTaskTableName;
  const std::string good = Bytes(table);
  auto with = [&](std::size_t at, char c) {
    std::string b = good;
    b[at] = c;
    return b;
  };
  std::string headerOfOne = with(8, 0x01);
  headerOfOne[9] = 0;
  const std::pair<std::string, const char*> cases[] = {
      {headerOfOne, "bad header"},
      {with(4, 0x10), "truncated"},        // 16 records promised, one there
      {with(32 + 11, 'X'), "unknown type"},  // TSK_ID
      {"", "lacks the field TSK_UNFIN"},    // made below
  };
  for (const auto& [bytes, word] : cases) {
    if (bytes.empty()) {
      fs::remove(table);
      ASSERT_EQ(platform::DbfTable::Create(table, {{"TSK_ID", 'C', 7, 0}, {"TSK_DESC", 'C', 60, 0}}), "");
    } else {
      ASSERT_TRUE(platform::WriteFileAtomic(table, bytes));
    }
    const std::string before = Bytes(table);
    auto t = Task();
    std::string why;
    EXPECT_EQ(t.TaskNew(&why), kNoTask) << word;
    EXPECT_NE(why.find(word), std::string::npos) << why;
    EXPECT_FALSE(t.Tasks());
    t.SetTaskID(1);
    EXPECT_EQ(t.lTaskID(), kNoTask);
    EXPECT_EQ(Bytes(table), before) << word;
  }
}

TEST(TaskCodesTest, ModesTypesAndNames) {
  EXPECT_EQ(ModeFromTextShort("THRRECALC"), 0);
  EXPECT_EQ(ModeFromText("THRRECALC"), 5);
  EXPECT_EQ(ModeFromText("INTERFERENCE"), 7);
  EXPECT_EQ(ModeText(6), "");
  EXPECT_EQ(TypeFromText("Contour"), 9);
  EXPECT_EQ(TypeFromText("CONTOUR"), 9);
  EXPECT_EQ(TypeText(9), "CONTOUR");
  EXPECT_EQ(TypeFromText("SHADOW (RADIAL)"), 0);
  EXPECT_TRUE(KnownTypeText("SHADOW (RADIAL)"));
  EXPECT_FALSE(KnownTypeText("THRESHOLD"));
  EXPECT_EQ(AggregateMethodName(9), "D/U Ratio");
  EXPECT_EQ(AggregateMethodName(10), "");
  EXPECT_EQ(TaskFileName('T', 42, ".INI"), "T0000042.INI");
  EXPECT_EQ(TaskFileName('R', 0, ".DBF"), "");
  EXPECT_EQ(ParseTaskNumber("0000042"), 42);
  EXPECT_EQ(ParseTaskNumber("4x"), kNoTask);
}

TEST(ResultsDescriptionTest, FromSummary) {
  zw::test::TempDir d;
  const auto p = d.path() / "T.INI";
  TaskFile f(p);
  platform::ProfileWriteString("RX Facility", "Level 0", "39|dBu|50", p);
  platform::ProfileWriteString("TASK", "cboMathOpsIndex", "4", p);
  EXPECT_EQ(ResultsDescription("XYZCTR", 1, f), "XYZCTR 50.0% 39.000dBu");
  EXPECT_EQ(ResultsDescription("agxTIL more", 1, f), "AG TIL 04");
  EXPECT_EQ(ResultsDescription("lr RAD", 1, f), "LR RAD");
  EXPECT_EQ(ResultsDescription("LR TGT", 1, f), "LR RAD");
  EXPECT_EQ(ResultsDescription("LR IMD", 1, f), "");
  EXPECT_EQ(ResultsDescription("LR GRD", 2, f), "EL GRD");
  EXPECT_EQ(ContourLevelText("39|dBu|100"), "");
  EXPECT_EQ(ContourLevelText("39|dBu"), "");
  EXPECT_EQ(ContourLevelText("|dBu|50"), "");
}

}  // namespace
}  // namespace zw::tasks
