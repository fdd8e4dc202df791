#include "tasks/StudyTask.h"

#include <system_error>

#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "tasks/PathsFile.h"
#include "tasks/StudyBuilder.h"
#include "tasks/TaskRunLock.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;

// Settings that move the study's points: the paths file is written again.
bool MovesPoints(std::string_view name) {
  for (const char* k : {"lat", "lon", "datum", "radials", "distance", "targets", "tile"})
    if (EqualsNoCase(name, k)) return true;
  return false;
}

void Identity(ProfileEdit& edit, const TaskIdentity& id) {
  edit.Set("TASK", "Task Mode", id.mode);
  edit.Set("TASK", "Task Type", id.type);
  edit.Set("TASK", "Task Summary", id.summary);
  edit.Set("TASK", "Task Desc", id.desc);
  edit.Set("TASK", "TXT File Out", id.txtFileOut);
}

// A description within the task table's `len` characters: one the user gave
// is refused when longer; one made from the settings loses its last clauses
// (", step 90 m"), or words, rather than ending inside a number or unit.
std::string FitDescription(std::string& desc, int len, bool given) {
  if (len <= 0 || desc.size() <= static_cast<std::size_t>(len)) return {};
  if (given)
    return "the description is longer than the " + std::to_string(len) + " characters a task description holds";
  const std::size_t n = static_cast<std::size_t>(len);
  std::size_t cut = desc.rfind(", ", n);
  if (cut == std::string::npos || cut == 0) cut = desc.rfind(' ', n);
  desc.resize(cut == std::string::npos || cut == 0 ? n : cut);
  return {};
}

// The checks of a task file: its sections as the study programs need them,
// then the caller's (task loading).
std::string Check(const fs::path& file, const StudyCheck& check) {
  std::string why = CheckTaskFile(TaskFile(file));
  if (why.empty() && check) why = check(file);
  return why;
}

}  // namespace

StudyOutcome CreateStudyTask(const fs::path& workDir, const StudyRequest& req, const StudyCheck& check) {
  StudyOutcome out;
  StudyDraft draft;
  if (auto why = BuildStudy(req, true, draft); !why.empty()) {
    out.error = "The study was not created:\n" + why;
    return out;
  }
  clsQXTask creator(workDir);
  creator.SetSilent(true);
  if (auto why = FitDescription(draft.identity.desc, creator.iLenTaskDesc(), !req.desc.empty()); !why.empty()) {
    out.error = "The study was not created: " + why;
    return out;
  }
  std::string why;
  out.id = creator.TaskCreate(
      [&](clsQXTask& task) -> std::string {
        task.sDesc = draft.identity.desc;
        task.sSum = draft.identity.summary;
        task.SetTaskMode(ModeFromText(draft.identity.mode));
        task.SetTaskType(TypeFromText(draft.identity.type));
        Identity(draft.edit, draft.identity);
        if (auto err = task.EditTaskFile(draft.edit); !err.empty()) return err;
        if (auto err = task.TaskWriteINI(); !err.empty()) return err;
        if (draft.radials)
          if (auto err = WritePathsFile(task.TaskPathsFile(), draft.txLat, draft.txLon, *draft.radials); !err.empty())
            return err;
        if (auto err = Check(task.TaskINIFile(), check); !err.empty())
          return "The study was not created; the task it makes does not load:\n" + err;
        return {};
      },
      &why);
  if (out.id < 1) out.error = why;
  out.notes = draft.notes;
  return out;
}

StudyOutcome EditStudyTask(const fs::path& workDir, std::int32_t id,
                           const std::vector<std::pair<std::string, std::string>>& settings, const StudyCheck& check) {
  StudyOutcome out;
  auto fail = [&](std::string why) {
    out.id = kNoTask;
    out.error = std::move(why);
    return out;
  };
  clsQXTask task(workDir);
  task.SetSilent(true);
  task.SetTaskID(id);
  if (task.lTaskID() < 1)
    return fail("Task " + std::to_string(id) + " not found in " + task.TablePath().string() +
                (task.LastError().empty() ? "" : "\n" + task.LastError()));
  TaskRunLock running;
  if (auto err = running.Acquire(workDir, id); !err.empty()) return fail(err + " The task was not changed.");
  const TaskFile file = task.File();
  if (!file.Exists()) return fail("Task INI file not found:\n" + file.Path().string());

  StudyRequest req = ReadStudy(file, task.TaskPathsFile());
  const std::string oldSummary = file.Identity().summary;
  // A description made from the study follows it; one the user wrote stays.
  const std::string oldDesc = file.Identity().desc, oldMade = MadeDescription(req);
  const bool madeDesc = !oldDesc.empty() && oldMade.rfind(oldDesc, 0) == 0;
  if (madeDesc) req.desc.clear();
  std::string problems;
  bool movesPoints = false, newDesc = false;
  for (const auto& [k, v] : settings) {
    if (auto why = ApplyStudySetting(req, k, v); !why.empty()) AddProblem(problems, why);
    movesPoints = movesPoints || MovesPoints(k);
    newDesc = newDesc || EqualsNoCase(k, "desc");
  }
  if (!problems.empty()) return fail("Task " + std::to_string(id) + " was not changed:\n" + problems);
  StudyDraft draft;
  if (auto why = BuildStudy(req, false, draft); !why.empty())
    return fail("Task " + std::to_string(id) + " was not changed:\n" + why);
  if (auto why = FitDescription(draft.identity.desc, task.iLenTaskDesc(), newDesc); !why.empty())
    return fail("Task " + std::to_string(id) + " was not changed: " + why);
  Identity(draft.edit, draft.identity);

  // The task file is checked as a copy before it replaces the file; the paths
  // file follows it, and goes back when the task file cannot be replaced.
  const fs::path pathsFile = task.TaskPathsFile();
  const auto oldPaths = platform::ReadWholeFile(pathsFile);
  const bool writePaths = draft.radials && (movesPoints || !oldPaths);
  bool pathsWritten = false;
  std::string refused;
  task.SetCommitHook([&](const fs::path& temp) {
    refused = Check(temp, check);
    if (!refused.empty()) return false;
    if (writePaths) {
      refused = WritePathsFile(pathsFile, draft.txLat, draft.txLon, *draft.radials);
      pathsWritten = refused.empty();
    }
    return refused.empty();
  });
  const std::string err = task.EditTaskFile(draft.edit);
  task.SetCommitHook({});
  if (!err.empty()) {
    if (pathsWritten && oldPaths) platform::WriteFileAtomic(pathsFile, *oldPaths);
    return fail("Task " + std::to_string(id) + " was not changed" +
                (refused.empty() ? ": " + err : "; with these settings it does not load:\n" + refused));
  }
  task.sDesc = draft.identity.desc;
  task.sSum = draft.identity.summary;
  if (auto e = task.TaskSave(); !e.empty())
    return fail("Task " + std::to_string(id) + ": the task file was changed but its record was not: " + e);
  out.id = id;
  out.notes = draft.notes;
  if (oldSummary != draft.identity.summary) out.notes.push_back("summary now: " + draft.identity.summary);
  return out;
}

}  // namespace zw::tasks
