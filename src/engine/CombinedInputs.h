#pragma once
// The input studies of a study made from other studies (aggregate and
// composite tile studies, adjacent-channel interference): each one a tile
// study of the same work directory that has been run, its field strengths
// read back from its results table, and all of them on one grid.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "coverage/CombinedTable.h"
#include "coverage/ResultsExport.h"
#include "tasks/TaskRunLock.h"

namespace zw {

struct InputStudy {
  std::int32_t task = 0;
  std::string desc;                // "Task Desc"
  std::string facility;            // FAC_DESC (or "task N" without one)
  double freqMHz = 0;              // TX_FREQMHZ
  coverage::StudyResults results;  // its points, in its table's order
};

// Loads input task `task` for the study `owner`; "" or why it cannot be used
// (missing task, not a tile study, not run yet, not a field in dBu), saying
// what to do.
std::string LoadInputStudy(const std::filesystem::path& workDir, std::int32_t owner, std::int32_t task,
                           InputStudy& out);

// The grid of a study's points in words: "41 x 41 points, 44.30000 to
// 44.50000 deg N, -71.50000 to -71.30000 deg E".
std::string GridText(const coverage::StudyResults& s);
// "" when b's points lie on a's grid (the same rows and columns), else the
// refusal naming both grids.
std::string CheckSameGrid(const InputStudy& a, const InputStudy& b);

// For every point of base, the matching record of other (same latitude and
// longitude), or null.
std::vector<const coverage::RdbRecord*> AlignPoints(const InputStudy& base, const InputStudy& other);

// Makes task `task` of workDir ready to run as a study made of others:
// interrupted commits of the folder finished or undone, the task's run lock
// taken (held by `lock`), its task file present. "" or the reason.
std::string OpenCombinedTask(const std::filesystem::path& workDir, std::int32_t task, tasks::TaskRunLock& lock);

// The input studies `ids` of task `owner`, in that order, each on the grid
// of the first, and every one's records aligned on the first's points
// (at[i][k]: input i's record at point k of the first, or null).
std::string LoadAlignedInputs(const std::filesystem::path& workDir, std::int32_t owner,
                              const std::vector<std::int32_t>& ids, std::vector<InputStudy>& in,
                              std::vector<std::vector<const coverage::RdbRecord*>>& at);

// The transmitter sites of the inputs, as the combined table lists them.
std::vector<coverage::CombinedSite> InputSites(const std::vector<InputStudy>& in);

// The task numbers listed by a task-file section: the values of its keys
// (other than those in `skip`) whose first "|" field is a task number, in
// file order; a value that is not one is refused (the key is named).
std::string ListedTasks(const std::filesystem::path& taskFile, const std::string& section,
                        const std::vector<std::string>& keys, std::vector<std::int32_t>& out);

}  // namespace zw
