#pragma once
// Error reporting: the procedure trace, the technical-support log and the
// user message naming it.
#include <cstdint>
#include <string>
#include <string_view>

namespace zw {

inline constexpr const char* kTechSupportLogName = "ZWTECSUP.TXT";

// The procedure trace is kept per thread: area studies run on several threads.
void ProcEnter(std::int16_t id);
void ProcStep(std::int32_t step);
std::int32_t ProcCurrentStep();
void ProcLeave();
std::size_t ProcDepth();

// Enters on construction, leaves on destruction.
class ProcScope {
 public:
  explicit ProcScope(std::int16_t id) { ProcEnter(id); }
  ~ProcScope() { ProcLeave(); }
  ProcScope(const ProcScope&) = delete;
  ProcScope& operator=(const ProcScope&) = delete;
  void Step(std::int32_t step) const { ProcStep(step); }
};

// The pending error (the runtime error the failing operation raised).
void SetPendingError(std::int32_t number, std::string_view description);
std::int32_t PendingErrorNumber();
std::string PendingErrorDescription();
void ClearPendingError();

// Log file path, computed once: ZWTECSUP.TXT in the installation directory,
// or without one in the user's state directory (UserStateLogPath).
std::string TechSupportLogPath();
// $XDG_STATE_HOME/zwravoprop/ZWTECSUP.TXT, else ~/.local/state/zwravoprop/ZWTECSUP.TXT
// (the directory created when missing).
std::string UserStateLogPath();
// Where log records go (tests point it elsewhere); empty restores the default.
void SetTechSupportLogPath(std::string_view path);

// Date and time in the general date form, e.g. "12/7/2026 1:25:54 AM".
std::string GeneralDateNow();

// Appends one record and a line holding a blank. False when the log cannot be
// written (the caller goes on regardless).
bool WriteLogRecord(std::string_view text, bool withVersion);
// Writes the count of records that repeated the last one ("... and 9,812 more
// like this"); done at process exit too.
void FlushLogRecords();

// Logs the failure with the procedure trace and, when number is not 0 and not
// silent, shows it. Returns the text shown (or that would have been shown).
std::string ReportError(std::int32_t number, std::string_view description, std::string_view detail, bool silent);

// procName (+ line break) + "Error " + number + ": " + description when an
// error is given or the name is not blank; otherwise "".
std::string ErrorText(std::string_view procName, std::int32_t number, std::string_view description);

// Errors inside a model calculation: logged always, shown the first time only
// (never when silent).
void LogModelError(std::string_view text, bool silent = false);
// Held by an area run: at most `records` model errors are logged while it
// lives, then one line saying that more follow.
class ModelErrorBudget {
 public:
  explicit ModelErrorBudget(int records);
  ~ModelErrorBudget();
  ModelErrorBudget(const ModelErrorBudget&) = delete;
  ModelErrorBudget& operator=(const ModelErrorBudget&) = delete;
};
void ResetModelErrorDisplay();

}  // namespace zw
