#include "tasks/clsQXTask.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "Version.h"
#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/DbfDataSum.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "tasks/TaskLock.h"
#include "tasks/TaskRunLock.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;

bool KnownDbfType(char t) { return std::string_view("CNFLDMGP").find(t) != std::string_view::npos; }

// Field types that hold the values of a definition row: text in 'C', flags in 'L'.
bool CompatibleType(char want, char have) {
  if (want == have) return true;
  const bool wantNum = want == 'N' || want == 'F';
  const bool haveNum = have == 'N' || have == 'F';
  return wantNum && haveNum;
}

std::string FileIdText(std::int32_t id) { return TaskNumberText(id); }

bool SyncFile(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

fs::path TempTableName(const fs::path& dir) { return platform::StagingPath(dir / kTaskTableName); }

}  // namespace

std::string TaskRecord::ListEntry() const {
  return (Trim(desc).empty() ? std::string("NO DESCRIPTION FOR TASK") : desc) + " (TASK " + std::to_string(id) + ")";
}

std::string ContourLevelText(std::string_view level0) {
  const double p = FieldNumber(level0, 3, -1);
  if (p >= 100 || p <= 0) return {};
  const std::string level = Field(level0, 1);
  const std::string units = Field(level0, 2);
  if (level.empty() || units.empty()) return {};
  return FormatNumber(p, "#0.0") + "% " + FormatNumber(ParseDouble(level), "##0.000") + units;
}

std::string ResultsDescription(std::string_view summary, std::int16_t mode, const TaskFile& taskFile) {
  const std::string sum(summary);
  std::string first6 = ToUpper(sum.substr(0, std::min<std::size_t>(6, sum.size())));
  const std::string g = sum.size() > 3 ? ToUpper(sum.substr(3, 3)) : std::string();
  if (g == "TIL") {
    if (ToUpper(sum.substr(0, 2)) == "AG")
      return "AG TIL " + FormatNumber(taskFile.Int("TASK", "cboMathOpsIndex", 0), "00");
    return first6;
  }
  if (g == "RAD") return first6;
  if (g == "TGT") return first6.substr(0, 3) + "RAD";
  if (g == "CTR") {
    const std::string level = ContourLevelText(taskFile.Text("RX Facility", "Level 0"));
    return level.empty() ? std::string() : first6 + " " + level;
  }
  if (g == "IMD") return {};
  return mode == 2 ? "EL GRD" : "";
}

std::string CheckTaskFile(const TaskFile& file) {
  if (!file.Exists()) return "Task INI file not found:\n" + file.Path().string();
  std::string msg;
  if (!file.HasSection("TASK")) msg = JoinLines(msg, "The task file has no [TASK] section.", kBlankLine);
  const TaskIdentity id = file.Identity();
  if (!id.type.empty() && !KnownTypeText(id.type))
    msg = JoinLines(msg, "Unknown Task Type in the task file: " + id.type, kBlankLine);
  if (id.type.empty()) msg = JoinLines(msg, "The task file names no Task Type.", kBlankLine);
  if (file.FacilityData().empty()) msg = JoinLines(msg, "The task file has no Facility Data.", kBlankLine);
  const auto model = file.PropagationModel();
  const bool named = std::any_of(model.begin(), model.end(), [](const auto& e) {
    return EqualsNoCase(e.first, "MODEL") && !Trim(e.second).empty();
  });
  if (!named) msg = JoinLines(msg, "Empty Propagation model for Task", kBlankLine);
  const QuickCoverage qc = file.Coverage();
  if (!qc.TerrainStep().Valid()) msg = JoinLines(msg, "Invalid Topo Data Step in Task.", kBlankLine);
  if (qc.radOrTile == "T") {
    const ElevationData e = file.Elevation();
    if (!(e.nlat > e.slat && e.elon > e.wlon && e.nsStep > 0 && e.ewStep > 0))
      msg = JoinLines(msg, "Invalid Tile limits", kBlankLine);
  }
  if (id.type == "CTR" || id.type == "CONTOUR") {
    const RxFacility rx = file.Rx();
    const std::string pct = rx.levels.empty() ? std::string("0") : rx.levels[0].percent;
    const double p = ParseDouble(pct);
    if (!(p > 0 && p < 100))
      msg = JoinLines(msg,
                      "Contour percent value must be greater than zero and less than 100.\nSetting is " + pct,
                      kBlankLine);
  }
  return msg;
}

// ---- clsQXTask

clsQXTask::clsQXTask(fs::path workDir) : workDir_(std::move(workDir)), dataSum_(platform::DefaultDataSumFile()) {
  if (workDir_.empty()) workDir_ = WorkDirectory();
}

std::string clsQXTask::Fail(std::string text) {
  lastError_ = text;
  WriteLogRecord("Task Database Open Error: 0 " + text, true);
  if (!bSilent) platform::Messages().Information("Database Error", "Error opening database:\n" + text);
  return text;
}

std::string clsQXTask::Lock(TaskLock& lock) { return lock.Acquire(workDir_, lockWaitMs_); }

void clsQXTask::ClearState() {
  id_ = kNoTask;
  sDesc.clear();
  sSum.clear();
  sRDBDesc.clear();
  bUnfinished = bLock = bIncomplete = bAmbiguous = false;
  mode_ = 0;
  type_ = 0;
  TaskStat = 0;
  iniFile_.clear();
  rdb_.Close();
}

std::optional<std::vector<platform::DbfField>> clsQXTask::Layout(std::string* error) {
  std::string why;
  auto layout = platform::ReadDataSumLayout(dataSum_, kTaskTableType, &why);
  if (!layout) {
    if (error) *error = "Cannot read the field definitions " + dataSum_.string() + ": " + why;
    return std::nullopt;
  }
  if (layout->empty()) {
    if (error) *error = "The field definitions " + dataSum_.string() + " have no " + kTaskTableType + " fields";
    return std::nullopt;
  }
  return layout;
}

std::string clsQXTask::CheckLayout(const platform::DbfTable& t) {
  for (const auto& f : t.Fields())
    if (!KnownDbfType(f.type))
      return "The task database " + t.Path().string() + " has a field of unknown type '" + std::string(1, f.type) +
             "': " + f.name;
  std::string error;
  const auto layout = Layout(&error);
  if (!layout) return error;
  for (const auto& want : *layout) {
    const int i = t.FieldIndex(want.name);
    if (i < 0) return "The task database " + t.Path().string() + " lacks the field " + want.name;
    const char have = t.Fields()[static_cast<std::size_t>(i)].type;
    if (!CompatibleType(want.type, have))
      return "The field " + want.name + " of the task database " + t.Path().string() + " has type '" +
             std::string(1, have) + "', not '" + std::string(1, want.type) + "'";
  }
  return {};
}

std::string clsQXTask::OpenTable(platform::DbfTable& t, bool create) {
  std::error_code ec;
  if (!fs::exists(TablePath(), ec)) {
    if (!create) return "Task database not found: " + TablePath().string();
    if (!fs::is_directory(workDir_, ec)) return "The work directory does not exist: " + workDir_.string();
    std::string error;
    const auto layout = Layout(&error);
    if (!layout) return error;
    if (auto err = platform::DbfTable::Create(TablePath(), *layout); !err.empty()) return err;
  }
  if (auto err = t.Open(TablePath(), true); !err.empty()) return err;
  if (auto err = CheckLayout(t); !err.empty()) {
    t.Close();
    return err;
  }
  return {};
}

std::string clsQXTask::ModifyTable(const std::function<std::string(platform::DbfTable&)>& edit) {
  {
    platform::DbfTable check;
    if (auto err = OpenTable(check, true); !err.empty()) return err;
  }
  const fs::path temp = TempTableName(workDir_);
  std::error_code ec;
  auto fail = [&](std::string why) {
    fs::remove(temp, ec);
    return why;
  };
  try {
    if (!fs::copy_file(TablePath(), temp, fs::copy_options::overwrite_existing, ec))
      return fail("Cannot copy the task database: " + ec.message());
    {
      platform::DbfTable t;
      if (auto err = t.Open(temp, false); !err.empty()) return fail(err);
      if (auto err = edit(t); !err.empty()) {
        t.Close();
        return fail(err);
      }
      if (auto err = t.Close(); !err.empty()) return fail(err);
    }
    {
      // The copy must read back whole before it takes the table's place.
      platform::DbfTable back;
      if (auto err = back.Open(temp, true); !err.empty()) return fail("The new task database is damaged: " + err);
    }
    if (!SyncFile(temp)) return fail("Cannot write the task database " + temp.string());
    if (hook_ && !hook_(temp)) return fail("Writing the task database was abandoned; it is unchanged");
    if (std::rename(temp.c_str(), TablePath().c_str()) != 0)
      return fail("Cannot replace " + TablePath().string() + ": " +
                  std::error_code(errno, std::generic_category()).message());
    return {};
  } catch (const std::exception& e) {
    return fail(std::string("Writing the task database failed (") + e.what() + "); it is unchanged");
  }
}

void clsQXTask::SetTaskID(std::int32_t id) {
  ClearState();
  lastError_.clear();
  if (id < 1) return;
  platform::DbfTable t;
  if (auto err = OpenTable(t, false); !err.empty()) {
    std::error_code ec;
    if (fs::exists(TablePath(), ec)) Fail(err);
    return;
  }
  const int rec = t.FindFirst("TSK_ID", std::string(FileIdText(id)));
  if (rec < 0) return;
  id_ = id;
  sDesc = t.Text(rec, "TSK_DESC");
  bUnfinished = std::get<bool>(t.Value(rec, "TSK_UNFIN"));
  mode_ = ModeFromText(t.Text(rec, "TSK_MODE"));
  sSum = t.Text(rec, "TSK_SUM");
  sRDBDesc = ResultsDescription(sSum, mode_, TaskFile(TaskINIFile()));
  bLock = std::get<bool>(t.Value(rec, "TSK_LOCK"));
  bIncomplete = std::get<bool>(t.Value(rec, "TSK_INCMPL"));
  bAmbiguous = std::get<bool>(t.Value(rec, "TSK_AMBIG"));
}

std::string clsQXTask::TaskFileNameOf(char kind, std::string_view ext) const {
  const std::string name = TaskFileName(kind, id_, ext);
  return name.empty() ? name : (workDir_ / name).string();
}

std::string clsQXTask::TaskINIFile() {
  if (iniFile_.empty()) iniFile_ = TaskFileNameOf('T', ".INI");
  return iniFile_;
}

std::string clsQXTask::AddRecord(platform::DbfTable& t, std::int32_t id) {
  return t.Append({{"TSK_ID", FileIdText(id)},
                   {"TSK_DESC", std::string()},
                   {"TSK_UNFIN", false},
                   {"TSK_MODE", std::string()},
                   {"TSK_SUM", std::string()},
                   {"TSK_LOCK", false},
                   {"TSK_INCMPL", false},
                   {"TSK_AMBIG", false}});
}

std::int32_t clsQXTask::TaskNew(std::string* error) {
  lastError_.clear();
  auto bad = [&](const std::string& why) {
    if (error) *error = Fail(why);
    return kNoTask;
  };
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return bad(err);
  std::int32_t last = ReadInt32("CONFIG", "LastID", 0, NumberFilePath().string());
  std::int32_t candidate = 0;
  auto edit = [&](platform::DbfTable& t) -> std::string {
    const auto live = t.AllRecords();
    if (last < 1) last = live.empty() ? 0 : std::max(0, ParseTaskNumber(t.Text(live.back(), "TSK_ID")));
    if (last >= 9999999) return "No task number is left after " + std::to_string(last);
    candidate = last + 1;
    while (t.FindFirst("TSK_ID", std::string(FileIdText(candidate))) >= 0) {
      if (++candidate > 9999999) return "No task number is left";
    }
    return AddRecord(t, candidate);
  };
  if (auto err = ModifyTable(edit); !err.empty()) return bad(err);
  // The table is the authority: a failure here only makes the next number search further.
  if (!platform::ProfileWriteString("CONFIG", "LastID", std::to_string(candidate), NumberFilePath()))
    WriteLogRecord("Cannot write LastID to " + NumberFilePath().string(), true);
  lock.Release();
  SetTaskID(candidate);
  return candidate;
}

std::string clsQXTask::TaskADD(std::int32_t id) {
  lastError_.clear();
  if (id < 1 || id > 9999999) return Fail("Invalid Task ID: " + std::to_string(id));
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return Fail(err);
  auto edit = [&](platform::DbfTable& t) -> std::string {
    if (t.FindFirst("TSK_ID", std::string(FileIdText(id))) >= 0)
      return "Task ID " + std::to_string(id) + " already exists.";
    return AddRecord(t, id);
  };
  if (auto err = ModifyTable(edit); !err.empty()) return Fail(err);
  lock.Release();
  SetTaskID(id);
  return {};
}

std::string clsQXTask::TaskSave() {
  lastError_.clear();
  if (id_ < 1) return Fail("No task to save");
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return Fail(err);
  auto edit = [&](platform::DbfTable& t) -> std::string {
    const int rec = t.FindFirst("TSK_ID", std::string(FileIdText(id_)));
    if (rec < 0) return "Task ID " + std::to_string(id_) + " not found";
    return RecordValues(t, rec);
  };
  if (auto err = ModifyTable(edit); !err.empty()) return Fail(err);
  return {};
}

std::string clsQXTask::RecordValues(platform::DbfTable& t, int rec) {
  const std::vector<std::pair<const char*, FieldValue>> values = {
      {"TSK_DESC", sDesc},        {"TSK_UNFIN", bUnfinished}, {"TSK_MODE", GetTaskMode()},
      {"TSK_SUM", sSum},          {"TSK_LOCK", bLock},        {"TSK_INCMPL", bIncomplete},
      {"TSK_AMBIG", bAmbiguous}};
  for (const auto& [name, v] : values)
    if (auto err = t.Set(rec, name, v); !err.empty()) return err;
  return {};
}

std::vector<fs::path> clsQXTask::FilesOf(std::int32_t id) const {
  const std::string digits = FileIdText(id);
  const std::string lockName = TaskRunLock::FileName(id);
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(workDir_, ec)) {
    const std::string stem = entry.path().stem().string();
    if (!entry.is_regular_file(ec) || stem.size() != 8 || !std::isalpha(static_cast<unsigned char>(stem[0])) ||
        stem.substr(1) != digits || entry.path().filename() == lockName)
      continue;
    out.push_back(entry.path());
  }
  return out;
}

std::int32_t clsQXTask::TaskReserve(std::string* error) {
  lastError_.clear();
  auto bad = [&](const std::string& why) {
    if (error) *error = Fail(why);
    return kNoTask;
  };
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return bad(err);
  platform::DbfTable t;
  if (auto err = OpenTable(t, true); !err.empty()) return bad(err);
  std::int32_t last = ReadInt32("CONFIG", "LastID", 0, NumberFilePath().string());
  const auto live = t.AllRecords();
  if (last < 1) last = live.empty() ? 0 : std::max(0, ParseTaskNumber(t.Text(live.back(), "TSK_ID")));
  if (last >= 9999999) return bad("No task number is left after " + std::to_string(last));
  std::int32_t candidate = last + 1;
  // A file named after a number (left by an interrupted command) keeps it from being used.
  while (t.FindFirst("TSK_ID", std::string(FileIdText(candidate))) >= 0 || !FilesOf(candidate).empty()) {
    if (++candidate > 9999999) return bad("No task number is left");
  }
  t.Close();
  // The number file is what keeps a second command from taking the same number.
  std::string why;
  if (!platform::ProfileWriteString("CONFIG", "LastID", std::to_string(candidate), NumberFilePath(), &why))
    return bad("Cannot keep the new task number in " + NumberFilePath().string() + ": " + why);
  lock.Release();
  ClearState();
  id_ = candidate;
  return candidate;
}

std::string clsQXTask::TaskAddReserved() {
  lastError_.clear();
  if (id_ < 1) return Fail("No task number to add");
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return Fail(err);
  auto edit = [&](platform::DbfTable& t) -> std::string {
    if (t.FindFirst("TSK_ID", std::string(FileIdText(id_))) >= 0)
      return "Task ID " + std::to_string(id_) + " already exists.";
    int rec = -1;
    if (auto err = t.Append({{"TSK_ID", FileIdText(id_)}}, &rec); !err.empty()) return err;
    return RecordValues(t, rec);
  };
  if (auto err = ModifyTable(edit); !err.empty()) return Fail(err);
  return {};
}

std::int32_t clsQXTask::TaskCreate(const std::function<std::string(clsQXTask&)>& writeFiles, std::string* error) {
  const std::int32_t id = TaskReserve(error);
  if (id < 1) return kNoTask;
  std::string err;
  try {
    err = writeFiles(*this);
  } catch (const std::exception& e) {
    err = std::string("Writing the task's files failed: ") + e.what();
  }
  if (err.empty()) err = TaskAddReserved();
  if (err.empty()) {
    SetTaskID(id);
    return id;
  }
  // Nothing of the task stays: the number had no file before it was reserved.
  std::error_code ec;
  for (const auto& f : FilesOf(id)) fs::remove(f, ec);
  ClearState();
  if (error) *error = err;
  lastError_ = err;
  return kNoTask;
}

std::string clsQXTask::TaskDeleteID(std::int32_t id) {
  lastError_.clear();
  SetTaskID(id);
  if (id_ < 1) return Fail("Task ID " + std::to_string(id) + " not found");
  // Held for the whole delete, so a run cannot start on the task halfway.
  TaskRunLock running;
  if (auto err = running.Acquire(workDir_, id); !err.empty()) {
    ClearState();
    return Fail(err + " The task was not deleted.");
  }
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return Fail(err);
  auto edit = [&](platform::DbfTable& t) -> std::string {
    for (int rec : t.Find("TSK_ID", std::string(FileIdText(id))))
      if (auto err = t.Delete(rec); !err.empty()) return err;
    return {};
  };
  if (auto err = ModifyTable(edit); !err.empty()) return Fail(err);
  // Every file named after the number but the run lock, which is held here.
  std::error_code ec;
  std::string left;
  for (const auto& f : FilesOf(id))
    if (!fs::remove(f, ec)) left = JoinLines(left, f.string());
  ClearState();
  if (!left.empty()) return Fail("The task was deleted, but these files could not be removed:\n" + left);
  return {};
}

std::optional<std::vector<TaskRecord>> clsQXTask::Tasks(std::int16_t modeFilter, std::string* error) {
  platform::DbfTable t;
  std::error_code ec;
  if (!fs::exists(TablePath(), ec)) return std::vector<TaskRecord>{};
  if (auto err = OpenTable(t, false); !err.empty()) {
    if (error) *error = Fail(err);
    return std::nullopt;
  }
  std::vector<TaskRecord> out;
  for (int rec : t.Sorted({{"TSK_ID", false}})) {
    TaskRecord r;
    r.id = ParseTaskNumber(t.Text(rec, "TSK_ID"));
    r.desc = t.Text(rec, "TSK_DESC");
    r.mode = t.Text(rec, "TSK_MODE");
    r.summary = t.Text(rec, "TSK_SUM");
    r.unfinished = std::get<bool>(t.Value(rec, "TSK_UNFIN"));
    r.locked = std::get<bool>(t.Value(rec, "TSK_LOCK"));
    r.incomplete = std::get<bool>(t.Value(rec, "TSK_INCMPL"));
    r.ambiguous = std::get<bool>(t.Value(rec, "TSK_AMBIG"));
    if (modeFilter != 0 && ModeFromText(r.mode) != modeFilter) continue;
    out.push_back(std::move(r));
  }
  return out;
}

int clsQXTask::numTasks() {
  const auto all = Tasks();
  return all ? static_cast<int>(all->size()) : 0;
}

int clsQXTask::iLenTaskDesc() {
  const auto layout = Layout(nullptr);
  if (!layout) return 0;
  for (const auto& f : *layout)
    if (EqualsNoCase(f.name, "TSK_DESC")) return f.width;
  return 0;
}

std::int32_t clsQXTask::DefaultTask(std::int16_t mode, const fs::path& settings) {
  const std::string key = mode == 3 ? "LAST TASK INTERMOD" : mode == 4 ? "LAST TASK AutoPath" : "LAST TASK COVERAGE";
  return TaskReadInt("TASK", key, kNoTask, settings);
}

std::string clsQXTask::EditTaskFile(const ProfileEdit& edit) {
  if (TaskINIFile().empty()) return Fail("No task file: the task has no number");
  TaskLock lock;
  if (auto err = Lock(lock); !err.empty()) return Fail(err);
  if (auto err = edit.Apply(TaskINIFile(), hook_); !err.empty()) return Fail(err);
  return {};
}

std::string clsQXTask::TaskWriteINI() {
  TaskIdentity id;
  id.mode = GetTaskMode();
  id.summary = sSum;
  id.type = GetTaskType();
  id.desc = sDesc;
  id.stat = std::to_string(TaskStat);
  ProfileEdit edit;
  edit.Identity(id);
  edit.Set("TASK", RAVO_COMPONENT_NAME " Version", RAVO_VERSION_STRING);
  edit.Set("TASK", "Task ID", sTaskID());
  return EditTaskFile(edit);
}

std::string clsQXTask::TaskReadINI() {
  const TaskFile f(TaskINIFile());
  if (!f.Exists()) return "Task INI file not found:\n" + f.Path().string();
  const TaskIdentity id = f.Identity();
  mode_ = ModeFromText(id.mode);
  sSum = id.summary;
  type_ = TypeFromText(id.type);
  sDesc = id.desc;
  TaskStat = f.Int("TASK", "Task Stat", 0);
  if (!id.type.empty() && !KnownTypeText(id.type)) return "Unknown Task Type in the task file: " + id.type;
  return {};
}

bool clsQXTask::RDB_AddRec1(std::string_view desc, double lat, double lon, double az, double dis, double value,
                            std::int32_t wrnLevel, std::int32_t wrnBits, float elv, std::int16_t luCode,
                            double luLoss) {
  auto fail = [&](const std::string& why) {
    lastError_ = "Error in RDB_AddRec1\nErr 0 " + why;
    WriteLogRecord(lastError_, true);
    return false;
  };
  if (!rdb_.IsOpen()) {
    if (TaskResultsFile().empty()) return fail("no task");
    std::string why;
    const auto layout = platform::ReadDataSumLayout(dataSum_, "RDBDBASE", &why);
    if (!layout || layout->empty()) return fail("no results table layout: " + why);
    if (auto err = rdb_.OpenOrCreate(TaskResultsFile(), *layout); !err.empty()) return fail(err);
    for (const auto& f : *layout)
      if (!rdb_.HasField(f.name)) {
        rdb_.Close();
        return fail("the results table lacks the field " + f.name);
      }
  }
  std::vector<std::pair<std::string, FieldValue>> v = {
      {"RDB_DESC", std::string(desc)}, {"RDB_LAT", lat},          {"RDB_LON", lon},
      {"RDB_AZ", az},                  {"RDB_DIS", dis},          {"RDB_VAL", value},
      {"RDB_WRNLVL", wrnLevel},        {"RDB_WRNING", wrnBits}};
  if (elv > -30000.0f) v.emplace_back("RDB_ELV", elv);
  if (luCode >= 1 && luCode <= 999) {
    v.emplace_back("RDB_LUCODE", static_cast<std::int32_t>(luCode));
    v.emplace_back("RDB_LULOSS", luLoss);
  }
  if (auto err = rdb_.Append(v); !err.empty()) return fail(err);
  return true;
}

std::string clsQXTask::CloseRDB() { return rdb_.Close(); }

}  // namespace zw::tasks
