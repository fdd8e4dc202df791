// ravoprop task: the task database of a work directory (new, list, show,
// delete, import of a task file written elsewhere, the summary report and the
// sample study).
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "Commands.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "tasks/PathsFile.h"
#include "tasks/SampleStudy.h"
#include "tasks/TaskSummary.h"
#include "tasks/clsQXTask.h"

namespace zw::tool {
namespace {

namespace fs = std::filesystem;
using namespace zw::tasks;

struct TaskOptions {
  std::string workdir;
  std::string desc, mode = "COVERAGE", type, summary;
  std::string id;
  std::string taskFile, pathsFile;
  std::string terrain;  // default: the sample tile of the data directory
  std::string dtouFile;
};

// The work directory of the command; a missing one ends the command (exit 1)
// after OpenWorkDir has named it.
struct NoWorkDir {};
fs::path WorkDir(const TaskOptions& o) {
  auto dir = OpenWorkDir(o.workdir);
  if (!dir) throw NoWorkDir{};
  return *dir;
}

int Failed(const std::string& why) {
  std::cerr << why << "\n";
  return 1;
}

std::int32_t IdOf(const TaskOptions& o) { return ParseTaskNumber(o.id); }

int RunNew(const TaskOptions& o) {
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  if (!o.mode.empty() && ModeFromText(o.mode) == 0) return Failed("Unknown task mode: " + o.mode);
  if (!o.type.empty() && TypeFromText(o.type) == 0) return Failed("Unknown task type: " + o.type);
  std::string why;
  // The task file first, the record last: a failure or a kill leaves no record without its file.
  const std::int32_t id = t.TaskCreate(
      [&](clsQXTask& task) {
        task.sDesc = o.desc;
        task.sSum = o.summary;
        task.SetTaskMode(ModeFromText(o.mode));
        task.SetTaskType(TypeFromText(o.type));
        return task.TaskWriteINI();
      },
      &why);
  if (id < 1) return Failed(why);
  std::cout << id << "\n";
  return 0;
}

int RunList(const TaskOptions& o) {
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  std::string why;
  const auto all = t.Tasks(0, &why);
  if (!all) return Failed(why);
  for (const auto& r : *all)
    std::cout << fmt::format("{}  {:<12} {}{}\n", TaskNumberText(r.id), r.mode, r.ListEntry(),
                             std::string(r.locked ? " [locked]" : "") +
                                 (r.incomplete ? " [incomplete: some points have no result]" : ""));
  if (all->empty()) std::cout << "No Task records found.\n";
  return 0;
}

int RunShow(const TaskOptions& o) {
  const std::int32_t id = IdOf(o);
  if (id < 1) return Failed("Invalid Task ID: " + o.id);
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  t.SetTaskID(id);
  if (!t.LastError().empty()) return Failed(t.LastError());
  if (t.lTaskID() < 1) return Failed("Task " + std::to_string(id) + " not found in " + t.TablePath().string());
  const std::string iniWarn = t.TaskReadINI();
  t.SetTaskID(id);  // the record's state wins over the file's for the lines below
  const TaskFile f = t.File();
  std::cout << "Task ID:      " << t.sTaskID() << "\n"
            << "Description:  " << t.sDesc << "\n"
            << "Mode:         " << t.GetTaskMode() << "\n"
            << "Summary:      " << t.sSum << "\n"
            << "Results desc: " << t.sRDBDesc << "\n"
            << "Flags:        " << (t.bUnfinished ? "unfinished " : "") << (t.bLock ? "locked " : "")
            << (t.bIncomplete ? "incomplete (some points of its results have no value) " : "") << (t.bAmbiguous ? "ambiguous" : "") << "\n"
            << "Task file:    " << t.TaskINIFile() << (f.Exists() ? "" : " (missing)") << "\n"
            << "Paths file:   " << t.TaskPathsFile() << "\n"
            << "Results:      " << t.TaskResultsFile() << "\n";
  if (f.Exists()) {
    const TaskIdentity idn = f.Identity();
    std::cout << "Task type:    " << idn.type << "\n";
    for (const auto& e : f.PropagationModel())
      if (EqualsNoCase(e.first, "MODEL")) std::cout << "Model:        " << e.second << "\n";
    const auto radials = ReadPathsFile(t.TaskPathsFile());
    if (radials) std::cout << "Radials:      " << radials->size() << "\n";
    const std::string problems = CheckTaskFile(f);
    if (!problems.empty()) std::cout << "\nProblems:\n" << problems << "\n";
  } else if (!iniWarn.empty()) {
    std::cout << "\n" << iniWarn << "\n";
  }
  return 0;
}

int RunDelete(const TaskOptions& o) {
  const std::int32_t id = IdOf(o);
  if (id < 1) return Failed("Invalid Task ID: " + o.id);
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  if (auto err = t.TaskDeleteID(id); !err.empty()) return Failed(err);
  std::cout << "Deleted task " << id << "\n";
  return 0;
}

int RunImport(const TaskOptions& o) {
  const TaskFile source(o.taskFile);
  if (auto problems = CheckTaskFile(source); !problems.empty()) return Failed("Cannot import " + o.taskFile + ":\n" + problems);
  std::optional<std::string> paths;
  if (!o.pathsFile.empty()) {
    paths = platform::ReadWholeFile(o.pathsFile);
    if (!paths) return Failed("Paths file not found: " + o.pathsFile);
  }
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  std::string why;
  // The task and paths files first, the record last; on a failure nothing of the task stays.
  const std::int32_t id = t.TaskCreate(
      [&](clsQXTask& task) -> std::string {
        const TaskIdentity idn = source.Identity();
        task.sDesc = idn.desc;
        task.sSum = idn.summary;
        task.SetTaskMode(ModeFromText(idn.mode));
        task.SetTaskType(TypeFromText(idn.type));
        task.TaskStat = source.Int("TASK", "Task Stat", 0);
        ProfileEdit edit;
        for (const auto& section : source.SectionNames()) edit.ReplaceSection(section, source.Section(section));
        edit.Set("TASK", "Task ID", task.sTaskID());
        if (auto err = task.EditTaskFile(edit); !err.empty()) return err;
        std::string failure;
        if (paths && !platform::WriteFileAtomic(task.TaskPathsFile(), *paths, &failure))
          return "Cannot write " + task.TaskPathsFile() + ": " + failure;
        return {};
      },
      &why);
  if (id < 1) return Failed(why);
  std::cout << id << "\n";
  return 0;
}

int RunSummary(const TaskOptions& o) {
  const std::int32_t id = IdOf(o);
  if (id < 1) return Failed("Invalid Task ID: " + o.id);
  clsQXTask t(WorkDir(o));
  t.SetSilent(true);
  t.SetTaskID(id);
  if (!t.LastError().empty()) return Failed(t.LastError());
  if (t.lTaskID() < 1) return Failed("Task " + std::to_string(id) + " not found in " + t.TablePath().string());
  SummaryOptions so;
  so.dtouFile = o.dtouFile;
  std::string text;
  const std::string err = WriteTaskSummary(t, &text, so);
  std::cout << text;
  if (!err.empty()) return Failed(err);
  return 0;
}

int RunSample(const TaskOptions& o) {
  std::string why;
  const fs::path terrain = o.terrain.empty() ? platform::DataDirectory() / "terrain" / "N44W072.hgt" : fs::path(o.terrain);
  std::int32_t tile = 0;
  const std::int32_t id = WriteSampleStudy(WorkDir(o), terrain, {}, &why, &tile);
  if (id < 1) return Failed(why);
  std::cout << id << " radial study\n";
  if (tile > 0) std::cout << tile << " tile study\n";
  return 0;
}

void Wrap(CLI::App* cmd, const std::shared_ptr<TaskOptions>& opts, int (*run)(const TaskOptions&)) {
  cmd->callback([opts, run] {
    ApplyGlobals();
    int rc = kExitFailed;
    try {
      rc = run(*opts);
    } catch (const NoWorkDir&) {
    }
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

const CommandRegistration reg([](CLI::App& app) {
  auto opts = std::make_shared<TaskOptions>();
  auto* cmd = app.add_subcommand("task", "Task database of a work directory");
  cmd->require_subcommand(1);
  cmd->add_option("--workdir", opts->workdir, "Work directory (default: the configured one)");

  auto* n = cmd->add_subcommand("new", "Add a new task and print its number");
  n->add_option("--desc", opts->desc, "Description");
  n->add_option("--mode", opts->mode, "Task mode (COVERAGE, Area Elev, INTERMOD, AutoPath, THRRECALC, INTERFERENCE)");
  n->add_option("--type", opts->type, "Task type, e.g. \"THRESHOLD (RADIAL)\"");
  n->add_option("--summary", opts->summary, "Summary string (characters 1-6: study code)");
  Wrap(n, opts, RunNew);

  Wrap(cmd->add_subcommand("list", "List the tasks"), opts, RunList);

  auto* s = cmd->add_subcommand("show", "Show a task");
  s->add_option("id", opts->id, "Task number")->required();
  Wrap(s, opts, RunShow);

  auto* d = cmd->add_subcommand("delete", "Delete a task and every file named after it");
  d->add_option("id", opts->id, "Task number")->required();
  Wrap(d, opts, RunDelete);

  auto* i = cmd->add_subcommand("import", "Add a task file (and paths file) written elsewhere as a new task");
  i->add_option("taskfile", opts->taskFile, "Task file (T*.INI)")->required();
  i->add_option("pathsfile", opts->pathsFile, "Paths file (E*.INI)");
  Wrap(i, opts, RunImport);

  auto* sum = cmd->add_subcommand("summary", "Write the task's summary report (S*.TXT) and print it");
  sum->add_option("id", opts->id, "Task number")->required();
  sum->add_option("--dtou", opts->dtouFile, "D/U table file of interference studies (default: the installation's)");
  Wrap(sum, opts, RunSummary);

  auto* smp = cmd->add_subcommand("sample", "Write the sample studies (Mount Waumbek FM: radial and tile) as two new tasks and print their numbers");
  smp->add_option("--terrain", opts->terrain, "Sample terrain tile (default: terrain/N44W072.hgt of the data directory)");
  Wrap(smp, opts, RunSample);
});

}  // namespace
}  // namespace zw::tool
