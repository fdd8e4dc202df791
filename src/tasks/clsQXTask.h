#pragma once
// One task of the suite's task database: the record "ZWTasks.dbf" holds for
// it, its mode, type and status, the names of its files, the identity section
// of its task file and its results table.
//
// Every change to the task table is made on a copy beside it that replaces
// the table in one rename, under the advisory lock of the work directory
// (TaskLock), so a table on disk is always whole: its header's record count
// matches the records in it. The number file "ZWTasks.INI" and the task
// files are replaced the same way. Failures come back as text (empty on
// success) and are logged; they are shown unless the object is silent.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/DbfTable.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskFile.h"

namespace zw::tasks {

inline constexpr const char* kTaskTableName = "ZWTasks.dbf";
inline constexpr const char* kTaskNumberFile = "ZWTasks.INI";
inline constexpr const char* kTaskTableType = "TSKDBASE";

// One row of the task table.
struct TaskRecord {
  std::int32_t id = kNoTask;
  std::string desc, mode, summary;
  bool unfinished = false, locked = false, incomplete = false, ambiguous = false;
  // The list entry: description (or "NO DESCRIPTION FOR TASK") + " (TASK " + number + ")".
  std::string ListEntry() const;
};

// Contour level text of a "Level 0" value (level | units | percent):
// "50.0% 39.000dBu"; empty when a part is missing or the percent is outside (0, 100).
std::string ContourLevelText(std::string_view level0);
// Results description of a task from its summary, mode and task file.
std::string ResultsDescription(std::string_view summary, std::int16_t mode, const TaskFile& taskFile);

// Problems that keep a task file from being used as a study, joined with
// blank lines; empty when it can be loaded.
std::string CheckTaskFile(const TaskFile& file);

class clsQXTask {
 public:
  // Called with the finished copy before it replaces the file; returning
  // false (or throwing) abandons the change and leaves the file as it was.
  using CommitHook = std::function<bool(const std::filesystem::path& temp)>;

  // The work directory holding the task table; empty means the configured one.
  explicit clsQXTask(std::filesystem::path workDir = {});

  const std::filesystem::path& WorkDir() const { return workDir_; }
  std::filesystem::path TablePath() const { return workDir_ / kTaskTableName; }
  std::filesystem::path NumberFilePath() const { return workDir_ / kTaskNumberFile; }
  void SetDataSumFile(std::filesystem::path f) { dataSum_ = std::move(f); }
  void SetSilent(bool silent) { bSilent = silent; }
  void SetCommitHook(CommitHook hook) { hook_ = std::move(hook); }
  // How long a writer waits for another holder of the lock (milliseconds).
  void SetLockWait(int ms) { lockWaitMs_ = ms; }

  // ---- Loading: finds the record; not found gives number -88 and empty state.
  void SetTaskID(std::int32_t id);
  std::int32_t lTaskID() const { return id_; }
  std::string sTaskID() const { return id_ > 0 ? TaskNumberText(id_) : std::string(); }

  std::string sDesc, sSum, sRDBDesc;
  bool bUnfinished = false, bLock = false, bIncomplete = false, bAmbiguous = false;
  std::int32_t TaskStat = 0;
  bool bSilent = false;

  void SetTaskMode(std::int16_t code) { mode_ = code; }
  std::int16_t GetTaskModeE() const { return mode_; }
  void SetTaskModeStr(std::string_view text) { mode_ = ModeFromTextShort(text); }
  std::string GetTaskMode() const { return ModeText(mode_); }
  void SetTaskType(std::int16_t code) { type_ = code; }
  std::int16_t GetTasktypeE() const { return type_; }
  std::string GetTaskType() const { return TypeText(type_); }

  // ---- File names (empty while there is no task number).
  std::string TaskFileNameOf(char kind, std::string_view ext) const;
  std::string TaskINIFile();
  void SetTaskINIFile(std::string file) { iniFile_ = std::move(file); }
  std::string TaskResultsFile() const { return TaskFileNameOf('R', ".DBF"); }
  std::string TaskTXTFile() const { return TaskFileNameOf('T', ".TXT"); }
  std::string TaskPathsFile() const { return TaskFileNameOf('E', ".INI"); }
  std::string TaskSummaryFile() const { return TaskFileNameOf('S', ".TXT"); }

  // ---- The task table.
  // Adds a record with a new number and loads it; the number, or -88 with *error set.
  std::int32_t TaskNew(std::string* error = nullptr);
  std::string TaskSave();
  std::string TaskADD(std::int32_t id);
  // Deletes the record and every file named after the number. Refused while
  // the task is being run (its TaskRunLock is held elsewhere).
  std::string TaskDeleteID(std::int32_t id);

  // ---- Creating a task: its files first, its record last, so that a record
  // never exists without its task file.
  // Picks a new number that has no record and no file named after it, keeps it
  // in the number file so that no other command picks it too, and takes it as
  // this object's number without adding a record. The number, or -88 with
  // *error set.
  std::int32_t TaskReserve(std::string* error = nullptr);
  // Adds the record of the reserved number with this object's fields.
  std::string TaskAddReserved();
  // Reserves a number, calls writeFiles (which writes the task file and the
  // other files of the task through this object), then adds the record. On
  // any failure every file named after the number is removed and no record
  // is left: the number, or -88 with *error set.
  std::int32_t TaskCreate(const std::function<std::string(clsQXTask&)>& writeFiles, std::string* error = nullptr);
  // The live records passing the mode filter (all when 0) in task-number order.
  std::optional<std::vector<TaskRecord>> Tasks(std::int16_t modeFilter = 0, std::string* error = nullptr);
  int numTasks();
  // Declared size of TSK_DESC (from the field definitions), or 0.
  int iLenTaskDesc();
  // The task preselected in a list: "LAST TASK " + mode text of [TASK] in the
  // settings file (the suite's when empty); -88 when absent.
  static std::int32_t DefaultTask(std::int16_t mode, const std::filesystem::path& settings = {});

  // ---- The task file's identity section.
  std::string TaskWriteINI();
  std::string TaskReadINI();
  TaskFile File() { return TaskFile(TaskINIFile()); }
  // Applies an edit to the task file under the work directory's lock.
  std::string EditTaskFile(const ProfileEdit& edit);

  // ---- Results table: one skeleton record (see the results table layout).
  bool RDB_AddRec1(std::string_view desc, double lat, double lon, double az, double dis, double value,
                   std::int32_t wrnLevel, std::int32_t wrnBits, float elv, std::int16_t luCode, double luLoss);
  // Writes what is pending and closes the results table.
  std::string CloseRDB();

  const std::string& LastError() const { return lastError_; }

 private:
  std::string Fail(std::string text);
  std::optional<std::vector<platform::DbfField>> Layout(std::string* error);
  // Opens the table read-only and checks its layout; creates it when missing and create is set.
  std::string OpenTable(platform::DbfTable& t, bool create);
  std::string CheckLayout(const platform::DbfTable& t);
  // Runs edit on a copy of the table and puts the copy in its place.
  // The caller holds the lock.
  std::string ModifyTable(const std::function<std::string(platform::DbfTable&)>& edit);
  std::string Lock(class TaskLock& lock);
  std::string AddRecord(platform::DbfTable& t, std::int32_t id);
  std::string RecordValues(platform::DbfTable& t, int rec);
  // The regular files of the work directory named after the number: one
  // letter, the seven digits, any extension (the run lock file left out).
  std::vector<std::filesystem::path> FilesOf(std::int32_t id) const;
  void ClearState();

  std::filesystem::path workDir_;
  std::filesystem::path dataSum_;
  CommitHook hook_;
  int lockWaitMs_ = 2000;
  std::int32_t id_ = kNoTask;
  std::int16_t mode_ = 0, type_ = 0;
  std::string iniFile_;
  std::string lastError_;
  platform::DbfTable rdb_;
};

}  // namespace zw::tasks
