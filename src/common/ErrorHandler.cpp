#include "common/ErrorHandler.h"

#include <atomic>
#include <chrono>
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
  // Without an installation directory the log goes beside the executable,
  // never into whatever the current directory happens to be.
  std::string dir = ProgramDirectory();
  if (dir.empty()) dir = platform::ExecutableDirectory().string();
  std::string path = JoinDir(dir, kTechSupportLogName);
  std::lock_guard lock(gLogMutex);
  if (!gLogPath) gLogPath = std::move(path);
  return *gLogPath;
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
  // Appending: a failing write (read-only directory, full disk) loses this
  // record only; earlier records stay as they were.
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << line << "\n \n";
  out.flush();
  return static_cast<bool>(out);
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

void LogModelError(std::string_view text, bool silent) {
  WriteLogRecord(text, true);
  if (!silent && !gModelErrorShown.exchange(true)) {
    platform::Messages().Information(
        "Error in " + ToUpper(RAVO_COMPONENT_NAME),
        std::string(text) + "\n\nError written to ZWTecSup.TXT\nSubsequent errors will be written to the log file but "
                            "not displayed on the screen.");
  }
}

void ResetModelErrorDisplay() { gModelErrorShown = false; }

}  // namespace zw
