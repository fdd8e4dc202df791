#pragma once
// Tasks made from a study description: a new task written whole, or one
// task's study changed by settings. Every value is checked as building the
// study checks it and then, on the written task file, as loading a task
// checks it (the check the caller hands in: the engine's), so that a task
// these accept runs. A refused study leaves no task; a refused change leaves
// the task's files exactly as they were.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tasks/StudyRequest.h"
#include "tasks/TaskCodes.h"

namespace zw::tasks {

// The checks of task loading on a task file: "" or the messages.
using StudyCheck = std::function<std::string(const std::filesystem::path& taskFile)>;

struct StudyOutcome {
  std::int32_t id = kNoTask;       // the task made or changed; kNoTask on a failure
  std::string error;               // why not (every problem found)
  std::vector<std::string> notes;  // values filled in
};

StudyOutcome CreateStudyTask(const std::filesystem::path& workDir, const StudyRequest& req, const StudyCheck& check);

// Applies name=value settings (StudySettings names or model template keys)
// to the study of task id. Refused while the task is being run.
StudyOutcome EditStudyTask(const std::filesystem::path& workDir, std::int32_t id,
                           const std::vector<std::pair<std::string, std::string>>& settings, const StudyCheck& check);

}  // namespace zw::tasks
