#pragma once
// New tasks of the studies made from other studies: an aggregate (or
// composite) tile study over input tile tasks, and an adjacent-channel
// interference study of a desired task against undesired ones. The inputs
// must be tile studies of the same work directory; they may be run later.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tasks/StudyTask.h"

namespace zw::tasks {

// An aggregate method by its name (any case; blanks and punctuation ignored:
// "best server", "Simulcast (Vector Sum)", "vectorsum" is not enough) or its
// index "0".."9"; nullopt otherwise.
std::optional<int> ParseAggregateMethod(std::string_view text);
// "0 Maximum, 1 Minimum, ..." for messages.
std::string AggregateMethodList();

struct AggregateRequest {
  int method = 0;
  std::vector<std::int32_t> inputs;
  bool composite = false;  // type "COMPOSITE FIELD (TILE)" instead of "AGGREGATE FIELD (TILE)"
  std::optional<double> minThresholdDbu, isolationDb, maxSdsUs, addUIsolationDb;
  std::string desc;
};

struct InterferenceRequest {
  std::int32_t desired = 0;
  std::vector<std::int32_t> undesired;
  std::string sumMethod = "Power Sum";
  std::string table;      // D/U table (section name)
  std::string tableFile;  // its file (a relative name: beside the task file); empty: the installation's (or the sample tables)
  std::string desc;
};

StudyOutcome CreateAggregateTask(const std::filesystem::path& workDir, const AggregateRequest& req);
StudyOutcome CreateInterferenceTask(const std::filesystem::path& workDir, const InterferenceRequest& req);

// "3,4,5" as task numbers; "" or what is wrong.
std::string ParseTaskList(std::string_view text, std::vector<std::int32_t>& out);

}  // namespace zw::tasks
