#pragma once
// The task summary report ("S" + task number + ".TXT"): a plain-text account
// of a study built from its task file. Coverage studies list the fixed
// facility, the coverage area, the terrain data, the propagation model, the
// mobile, the surface feature files and the land-use settings; aggregate and
// composite studies list their method and component coverages; interference
// studies list the desired and undesired tasks and the receiver D/U table.
//
// The report is built whole in memory and then replaces the summary file in
// one rename, so a failure never leaves a truncated or mixed report behind.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tasks/TaskFile.h"

namespace zw::tasks {

class clsQXTask;

inline constexpr std::int16_t kProcTaskSummary = 6301;
inline constexpr const char* kSummaryFailure = "Error in PrintTaskSummary";

struct SummaryOptions {
  // Directory of the component and input task files of aggregate and
  // interference studies (empty: the task file's directory).
  std::filesystem::path workDir;
  // Profile file of the D/U tables (empty: the installation's ZWRXRej.INI).
  std::string dtouFile;
  // Date line at the top (empty: the current date and time).
  std::string dateLine;
};

// The report text of task taskId from its task file. Returns "" on success,
// else the failure; *text receives what was built (also on a failure inside
// a section, up to that section).
std::string BuildTaskSummary(std::int32_t taskId, const TaskFile& file, std::string* text,
                             const SummaryOptions& options = {});

// Builds the report of a task (from its task file in its work directory) and
// writes it to the task's summary file. "" on success, else the failure
// ("No Task ID" without a task number); an existing summary is left as it
// was when nothing could be built or written.
std::string WriteTaskSummary(const clsQXTask& task, std::string* text = nullptr, const SummaryOptions& options = {});

}  // namespace zw::tasks
