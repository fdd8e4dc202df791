#include "common/ErrorHandler.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "Version.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Profile.h"

namespace zw {

namespace {

struct TraceEntry {
  std::int16_t id;
  std::int32_t step;
};

thread_local std::vector<TraceEntry> tTrace;
thread_local std::int32_t tPendingNumber = 0;
thread_local std::string tPendingDescription;

std::mutex gLogMutex;

// The last record written and how many identical ones came after it.
struct LogFold {
  std::string path, body;
  bool withVersion = false;
  long long repeats = 0;
};

void FlushAtExit() { FlushLogRecords(); }

LogFold& Fold() {
  static LogFold* fold = [] {
    std::atexit(FlushAtExit);
    return new LogFold;  // outlives every static destructor that might log
  }();
  return *fold;
}

// "... and 9,812 more like this" (+ the blank line of a record), "" when nothing repeated.
std::string FoldLine(const LogFold& fold) {
  if (fold.repeats <= 0) return {};
  std::string n = std::to_string(fold.repeats);
  for (int i = static_cast<int>(n.size()) - 3; i > 0; i -= 3) n.insert(static_cast<std::size_t>(i), ",");
  return GeneralDateNow() + ":  ... and " + n + " more like this\n \n";
}
std::optional<std::string> gLogPath;
std::atomic<bool> gModelErrorShown{false};

// The system directory as configured, without verifying it: reporting an
// error must never stop to ask about creating a directory.
std::string SystemDirectoryUnverified() {
  std::string dir = ReadString("CONFIG", "SYSTEM_PATH", "", SuiteSettingsFile());
  if (dir.empty()) dir = JoinDir(ProgramDirectory(), "SYSTEM");
  return dir;
}

std::string ProcedureName(std::int16_t id) {
  const std::string sysDir = SystemDirectoryUnverified();
  const std::string key = std::to_string(id);
  for (int k = 0; k < 100; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "ZWEHPR%02d.INI", k);
    const std::filesystem::path file = JoinDir(sysDir, name);
    std::error_code ec;
    if (k >= 1 && !std::filesystem::exists(file, ec)) break;
    std::string found = platform::ProfileGetString("PROC", key, "", file);
    if (!found.empty()) return found;
  }
  return {};
}

}  // namespace

void ProcEnter(std::int16_t id) { tTrace.push_back({id, 0}); }

void ProcStep(std::int32_t step) {
  if (!tTrace.empty()) tTrace.back().step = step;
}

std::int32_t ProcCurrentStep() { return tTrace.empty() ? 0 : tTrace.back().step; }

void ProcLeave() {
  if (!tTrace.empty()) tTrace.pop_back();
}

std::size_t ProcDepth() { return tTrace.size(); }

void SetPendingError(std::int32_t number, std::string_view description) {
  tPendingNumber = number;
  tPendingDescription = std::string(description);
}
std::int32_t PendingErrorNumber() { return tPendingNumber; }
std::string PendingErrorDescription() { return tPendingDescription; }
void ClearPendingError() {
  tPendingNumber = 0;
  tPendingDescription.clear();
}

std::string TechSupportLogPath() {
  {
    std::lock_guard lock(gLogMutex);
    if (gLogPath) return *gLogPath;
  }
  // Without an installation directory the log goes into the user's state
  // directory, never beside the executable or into the current directory.
  const std::string dir = ProgramDirectory();
  std::string path = dir.empty() ? UserStateLogPath() : JoinDir(dir, kTechSupportLogName);
  std::lock_guard lock(gLogMutex);
  if (!gLogPath) gLogPath = std::move(path);
  return *gLogPath;
}

std::string UserStateLogPath() {
  namespace fs = std::filesystem;
  fs::path dir;
  // The environment is read, never changed, by this program.
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')  // NOLINT(concurrency-mt-unsafe)
    dir = fs::path(xdg) / "zwravoprop";
  else if (const char* home = std::getenv("HOME"); home && *home)  // NOLINT(concurrency-mt-unsafe)
    dir = fs::path(home) / ".local" / "state" / "zwravoprop";
  else dir = fs::temp_directory_path() / "zwravoprop";
  std::error_code ec;
  fs::create_directories(dir, ec);
  return (dir / kTechSupportLogName).string();
}

void SetTechSupportLogPath(std::string_view path) {
  std::lock_guard lock(gLogMutex);
  if (path.empty()) {
    gLogPath.reset();
  } else {
    gLogPath = std::string(path);
  }
}

std::string GeneralDateNow() {
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&t, &tm);
  const int hour12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900, hour12,
                tm.tm_min, tm.tm_sec, tm.tm_hour < 12 ? "AM" : "PM");
  return buf;
}

bool WriteLogRecord(std::string_view text, bool withVersion) {
  std::string line = GeneralDateNow() + ":  " + std::string(text);
  if (withVersion) {
    line += "  (" + std::string(RAVO_COMPONENT_NAME) + " " + std::to_string(RAVO_VERSION_MAJOR) + "." +
            std::to_string(RAVO_VERSION_MINOR) + "." + std::to_string(RAVO_VERSION_PATCH) + ")";
  }
  const std::string path = TechSupportLogPath();
  std::lock_guard lock(gLogMutex);
  // A record repeating the one before (a failing study may log the same
  // failure for every point) is counted, not written; the count is written
  // as one line when a different record comes or the process ends.
  LogFold& fold = Fold();
  if (fold.path == path && fold.body == text && fold.withVersion == withVersion) {
    ++fold.repeats;
    return true;
  }
  const std::string foldLine = FoldLine(fold);
  fold.path = path;
  fold.body = std::string(text);
  fold.withVersion = withVersion;
  fold.repeats = 0;
  // Appending: a failing write (read-only directory, full disk) loses this
  // record only; earlier records stay as they were.
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << foldLine << line << "\n \n";
  out.flush();
  return static_cast<bool>(out);
}

void FlushLogRecords() {
  std::lock_guard lock(gLogMutex);
  LogFold& fold = Fold();
  const std::string foldLine = FoldLine(fold);
  fold.repeats = 0;
  if (foldLine.empty()) return;
  std::ofstream out(fold.path, std::ios::binary | std::ios::app);
  out << foldLine;
}

std::string ErrorText(std::string_view procName, std::int32_t number, std::string_view description) {
  if (number == 0 && TrimView(procName).empty()) return {};
  std::string out(procName);
  if (!TrimView(procName).empty()) out += kLineBreak;
  out += "Error " + std::to_string(number) + ": " + std::string(description);
  return out;
}

std::string ReportError(std::int32_t number, std::string_view description, std::string_view detail, bool silent) {
  std::string desc(description);
  if (desc == "False") desc = tPendingDescription;
  WriteLogRecord("*************************", true);
  const std::string head = "Error " + std::to_string(number) + ":" + "  " + desc;
  WriteLogRecord(head, false);
  WriteLogRecord("Procedures:", false);
  std::string procLines;
  for (const TraceEntry& e : tTrace) {
    std::string line = ProcedureName(e.id);
    if (line.empty()) line = "Procedure: " + std::to_string(e.id);
    if (e.step > 0) line += "; Flag " + std::to_string(e.step);
    WriteLogRecord(line, false);
    procLines = JoinLines(procLines, line);
  }
  if (!TrimView(detail).empty()) WriteLogRecord("DETAIL: " + std::string(detail), false);

  std::string msg = JoinLines(procLines, "This information has been written to the log file", kBlankLine);
  msg = JoinLines(msg, TechSupportLogPath());
  msg = JoinLines(msg, "Faxing or e-mailing this file to Pelorin may be helpful in determining the cause of the error.");
  msg = JoinLines(msg, "Additional information you include in your email will help find the specific problem you encountered:",
                  kBlankLine);
  msg = JoinLines(msg, "(1) What were you trying to do (such as draw a profile or compute a coverage study)?", kBlankLine);
  msg = JoinLines(msg, "(2) What part of the program were you in (which menu selection, etc.)?", kBlankLine);
  msg = JoinLines(msg, "(3) Exactly when did the problem happen (e.g., right after clicking a particular button or menu)?",
                  kBlankLine);
  msg = JoinLines(msg, "(4) Any other details about the symptom.", kBlankLine);
  const std::string shown = JoinLines(head, msg, kBlankLine);
  if (number != 0 && !silent) platform::Messages().Information("Error in " + ToUpper(RAVO_COMPONENT_NAME), shown);
  ClearPendingError();
  return shown;
}

namespace {
// While an area run holds a budget, its model errors past the budget are not
// logged one by one (the run's report counts them by reason).
std::atomic<int> gModelErrorBudget{-1};
std::atomic<int> gModelErrorsLogged{0};
}  // namespace

ModelErrorBudget::ModelErrorBudget(int records) {
  gModelErrorsLogged = 0;
  gModelErrorBudget = records;
}

ModelErrorBudget::~ModelErrorBudget() { gModelErrorBudget = -1; }

void LogModelError(std::string_view text, bool silent) {
  const int budget = gModelErrorBudget.load();
  const int n = budget < 0 ? 0 : gModelErrorsLogged.fetch_add(1);
  if (budget < 0 || n < budget) {
    WriteLogRecord(text, true);
  } else if (n == budget) {
    WriteLogRecord("More model errors follow; they are not logged one by one (an area run's report counts them "
                   "by reason).",
                   true);
  }
  if (!silent && !gModelErrorShown.exchange(true)) {
    platform::Messages().Information(
        "Error in " + ToUpper(RAVO_COMPONENT_NAME),
        std::string(text) + "\n\nError written to " + TechSupportLogPath() +
            "\nSubsequent errors will be written to the log file but not displayed on the screen.");
  }
}

void ResetModelErrorDisplay() { gModelErrorShown = false; }

}  // namespace zw
