#pragma once
// Runs of the studies made from other studies: aggregate and composite tile
// studies (AggregateRun.cpp) and adjacent-channel interference studies
// (InterferenceRun.cpp). Both read their input tile studies, compute every
// grid point, and replace the task's files (results table, text report,
// summary, task file) together through a StudyCommit, as an area run does;
// a refused or failed run leaves the previous files untouched.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "coverage/CombinedTable.h"
#include "tasks/TaskFile.h"

namespace zw {

// True for the task types computed here ("AGGREGATE FIELD (TILE)",
// "COMPOSITE FIELD (TILE)", "INTERFERENCE"; by their first word).
bool IsCombinedStudyType(std::string_view taskType);

struct CombinedRunResult {
  std::string error;          // "" when the files were put in place
  std::string text;           // what the run found, for the user (also written to the report)
  std::int64_t points = 0, computed = 0;
  bool complete = false;      // every point has a value
};

// Runs the task (whichever of the combined kinds its type says).
CombinedRunResult RunCombinedStudy(const std::filesystem::path& workDir, std::int32_t task,
                                   const std::filesystem::path& dataSumFile);

CombinedRunResult RunAggregateStudy(const std::filesystem::path& workDir, std::int32_t task,
                                    const std::filesystem::path& dataSumFile);
CombinedRunResult RunInterferenceStudy(const std::filesystem::path& workDir, std::int32_t task,
                                       const std::filesystem::path& dataSumFile);

// What a run hands to the commit.
struct CombinedOutput {
  std::string code;  // RDB_DESC of the points
  std::vector<coverage::CombinedSite> sites;
  std::vector<coverage::CombinedPoint> points;
  std::string report;        // the text report (T<n>.TXT)
  tasks::ProfileEdit edits;  // further keys of the task file
  std::string dtouFile;      // the D/U table file the summary prints from (interference)
  bool complete = true;
};

// Writes the files aside and puts them in place at once. "" or the failure;
// *note says what went wrong after the files were in place (the summary).
std::string CommitCombinedStudy(const std::filesystem::path& workDir, std::int32_t task,
                                const std::filesystem::path& dataSumFile, const CombinedOutput& out,
                                std::string* note);

// A number of [TASK]: nullopt when absent or blank; *error set when not a number.
std::optional<double> TaskNumberSetting(const tasks::TaskFile& f, const char* key, std::string* error);

}  // namespace zw
