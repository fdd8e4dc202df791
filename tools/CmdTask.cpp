// ravoprop task: the task database of a work directory (new, list, show,
// delete, import of a task file written elsewhere, the summary report and the
// sample study).
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Commands.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "engine/CombinedRun.h"
#include "engine/clsRFProp.h"
#include "tasks/CombinedTask.h"
#include "tasks/PathsFile.h"
#include "tasks/SampleMulti.h"
#include "tasks/SampleStudy.h"
#include "tasks/StudyBuilder.h"
#include "tasks/StudyTask.h"
#include "tasks/TaskSummary.h"
#include "tasks/clsQXTask.h"

namespace zw::tool {
namespace {

namespace fs = std::filesystem;
using namespace zw::tasks;
using tasks::clsQXTask;

struct TaskOptions {
  std::string workdir;
  std::string desc, mode, type, summary;
  std::string id;
  // The study of `task new` by setting name (StudySettings), and KEY=VALUE
  // pairs of `--set`, the trailing arguments and `task set`.
  std::map<std::string, std::string> study;
  std::vector<std::string> pairs;
  std::string taskFile, pathsFile;
  std::string terrain;  // default: the sample tile of the data directory
  std::string dtouFile;
  // Studies made from other studies (task new --aggregate / --interference).
  std::string aggregate, inputs;
  bool composite = false, interference = false;
  std::optional<double> minThreshold, isolation, maxSds, addUIsolation;
  std::string desired, undesired, dtouTable, sumMethod = "Power Sum";
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

// The checks of task loading, by the engine, on a task file being written.
std::string LoadCheck(const fs::path& taskFile) {
  clsRFProp engine;
  engine.bSilent(true);
  return engine.CheckStudyFile(taskFile);
}

// KEY=VALUE texts as pairs; a text without '=' is refused.
bool SplitPairs(const std::vector<std::string>& texts, std::vector<std::pair<std::string, std::string>>& out) {
  for (const auto& t : texts) {
    const auto eq = t.find('=');
    if (eq == std::string::npos || eq == 0) {
      std::cerr << "'" << t << "' is not KEY=VALUE (e.g. freq=98.5, erp=50kW, AREA_COR=2)\n";
      return false;
    }
    out.emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
  }
  return true;
}

void PrintNotes(const StudyOutcome& r) {
  if (Globals().silent) return;
  for (const auto& n : r.notes) std::cerr << "Note: " << n << "\n";
}

int RunNewStudy(const TaskOptions& o) {
  int geometries = 0;
  for (const char* g : {"radials", "tile", "targets"}) geometries += o.study.count(g) ? 1 : 0;
  if (geometries > 1) return Failed("Give one of --radials, --tile or --targets: a study has one kind of points");
  StudyRequest req;
  std::string problems;
  for (const auto& [k, v] : o.study)
    if (auto why = ApplyStudySetting(req, k, v); !why.empty()) AddProblem(problems, why);
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!SplitPairs(o.pairs, pairs)) return kExitUsage;
  for (const auto& [k, v] : pairs)
    if (auto why = ApplyStudySetting(req, k, v); !why.empty()) AddProblem(problems, why);
  if (!problems.empty()) return Failed("The study was not created:\n" + problems);
  const StudyOutcome r = CreateStudyTask(WorkDir(o), req, LoadCheck);
  if (r.id < 1) return Failed(r.error);
  PrintNotes(r);
  std::cout << r.id << "\n";
  return 0;
}

// task new --aggregate METHOD --inputs 3,4,5 / --interference --desired 3 --undesired 4,5 --dtou TABLE.
int RunNewCombined(const TaskOptions& o) {
  if (!o.study.empty() || !o.pairs.empty() || !o.mode.empty() || !o.type.empty() || !o.summary.empty())
    return Failed("--aggregate and --interference make a study of other tasks; give them without a facility, model or "
                  "--mode/--type/--summary");
  if (!o.aggregate.empty() && o.interference) return Failed("Give one of --aggregate and --interference");
  StudyOutcome r;
  if (o.interference) {
    InterferenceRequest req;
    std::string why;
    req.desired = ParseTaskNumber(o.desired);
    if (req.desired < 1) AddProblem(why, "Give the desired task: --desired N");
    if (auto e = ParseTaskList(o.undesired, req.undesired); !e.empty()) AddProblem(why, "--undesired: " + e);
    if (!why.empty()) return Failed("The interference study was not created:\n" + why);
    req.table = o.dtouTable;
    if (!o.dtouFile.empty()) req.tableFile = fs::absolute(o.dtouFile).string();
    req.sumMethod = o.sumMethod;
    req.desc = o.desc;
    r = CreateInterferenceTask(WorkDir(o), req);
  } else {
    AggregateRequest req;
    const auto m = ParseAggregateMethod(o.aggregate);
    if (!m) return Failed("Unknown aggregate method \"" + o.aggregate + "\"; give one of " + AggregateMethodList());
    req.method = *m;
    if (auto e = ParseTaskList(o.inputs, req.inputs); !e.empty()) return Failed("--inputs: " + e);
    req.composite = o.composite;
    req.minThresholdDbu = o.minThreshold;
    req.isolationDb = o.isolation;
    req.maxSdsUs = o.maxSds;
    req.addUIsolationDb = o.addUIsolation;
    req.desc = o.desc;
    r = CreateAggregateTask(WorkDir(o), req);
  }
  if (r.id < 1) return Failed(r.error);
  std::cout << r.id << "\n";
  return 0;
}

int RunNew(const TaskOptions& o) {
  if (!o.aggregate.empty() || o.interference) return RunNewCombined(o);
  const bool lowLevel = !o.mode.empty() || !o.type.empty() || !o.summary.empty();
  if (!lowLevel) {
    if (o.study.empty() && o.pairs.empty())
      return Failed("Give the study as options (see `ravoprop task new --help`), e.g.\n"
                    "  ravoprop task new --name WZWR --lat 44.4365 --lon -71.4131 --freq 98.5 --erp 50kW "
                    "--tx-agl 100 --rx-agl 9.1 --threshold 60 --model LR --radials 36 --distance 30 --step 1.5");
    TaskOptions withDesc = o;
    if (!o.desc.empty()) withDesc.study["desc"] = o.desc;
    return RunNewStudy(withDesc);
  }
  if (!o.study.empty() || !o.pairs.empty())
    return Failed("--mode, --type and --summary make an empty task; give them without study options");
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
        task.SetTaskMode(ModeFromText(o.mode.empty() ? std::string("COVERAGE") : o.mode));
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

// The task's state: its flags and the files of its last run.
void PrintState(clsQXTask& t, const TaskFile& f) {
  std::error_code ec;
  auto file = [&](const std::string& path) {
    if (!fs::is_regular_file(path, ec)) return path + " (not written yet)";
    const auto size = fs::file_size(path, ec);
    return path + " (" + std::to_string(ec ? 0 : size) + " bytes)";
  };
  std::string flags = std::string(t.bUnfinished ? "unfinished; " : "") + (t.bLock ? "locked; " : "") +
                      (t.bIncomplete ? "incomplete (some points of its results have no value); " : "") +
                      (t.bAmbiguous ? "ambiguous; " : "");
  std::cout << "State\n"
            << "  Flags:          " << (flags.empty() ? std::string("none") : flags.substr(0, flags.size() - 2)) << "\n"
            << "  Task file:      " << t.TaskINIFile() << (f.Exists() ? "" : " (missing)") << "\n"
            << "  Paths file:     " << file(t.TaskPathsFile()) << "\n"
            << "  Results table:  " << file(t.TaskResultsFile()) << "\n"
            << "  Report:         " << file(t.TaskTXTFile()) << "\n"
            << "  Summary:        " << file(t.TaskSummaryFile()) << "\n";
}

// Opens the task the options name in t; the exit status of the failure, or 0.
int OpenTask(const TaskOptions& o, clsQXTask& t) {
  const std::int32_t id = IdOf(o);
  if (id < 1) return Failed("Invalid Task ID: " + o.id);
  t.SetSilent(true);
  t.SetTaskID(id);
  if (!t.LastError().empty()) return Failed(t.LastError());
  if (t.lTaskID() < 1) return Failed("Task " + std::to_string(id) + " not found in " + t.TablePath().string());
  return 0;
}

int RunShow(const TaskOptions& o) {
  clsQXTask t(WorkDir(o));
  if (const int rc = OpenTask(o, t); rc != 0) return rc;
  const TaskFile f = t.File();
  std::cout << "Task " << t.sTaskID() << ": " << t.sDesc << "\n"
            << "  Mode:           " << t.GetTaskMode() << "\n"
            << "  Type:           " << (f.Exists() ? f.Identity().type : std::string()) << "\n"
            << "  Summary:        " << t.sSum << "\n"
            << "  Results desc:   " << t.sRDBDesc << "\n";
  // Studies of other tasks are described by their summary (method or D/U table, and their inputs).
  const bool combined = f.Exists() && IsCombinedStudyType(f.Identity().type);
  if (combined) {
    std::string text;
    SummaryOptions so;
    so.workDir = t.WorkDir();
    BuildTaskSummary(t.lTaskID(), f, &text, so);
    std::cout << text;
    PrintState(t, f);
    return 0;
  }
  if (f.Exists()) std::cout << DescribeStudy(ReadStudy(f, t.TaskPathsFile()));
  PrintState(t, f);
  const std::string problems = f.Exists() ? CheckTaskFile(f) : t.TaskReadINI();
  if (!problems.empty()) std::cout << "Problems\n" << problems << "\n";
  return 0;
}

int RunSet(const TaskOptions& o) {
  const std::int32_t id = IdOf(o);
  if (id < 1) return Failed("Invalid Task ID: " + o.id);
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!SplitPairs(o.pairs, pairs)) return kExitUsage;
  if (pairs.empty()) return Failed("Give the settings to change as KEY=VALUE, e.g. ravoprop task set 1 freq=100 erp=10kW");
  const StudyOutcome r = EditStudyTask(WorkDir(o), id, pairs, LoadCheck);
  if (r.id < 1) return Failed(r.error);
  PrintNotes(r);
  std::cout << "Task " << id << " changed; its results are of the study before: run it again (ravoprop run --task "
            << id << ")\n";
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
  clsQXTask t(WorkDir(o));
  if (const int rc = OpenTask(o, t); rc != 0) return rc;
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
  MultiSampleTasks multi;
  if (auto err = WriteMultiSample(WorkDir(o), terrain, multi); !err.empty()) return Failed(err);
  std::cout << multi.tiles[0] << ", " << multi.tiles[1] << ", " << multi.tiles[2]
            << " tile studies of three FM stations on one 50 x 50 grid\n"
            << multi.bestServer << " best-server study of the three\n"
            << multi.interference << " interference study of the first against the other two\n";
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

  auto* n = cmd->add_subcommand(
      "new", "Add a study as a new task and print its number: facility, receiver, model, points and terrain as "
             "options (lengths in km unless a unit follows: 500m, 10mi, 330ft)");
  n->add_option("--desc", opts->desc, "Task description (default: made from the study)");
  for (const auto& info : StudySettings()) {
    if (info.name == "desc") continue;
    const std::string name = std::string(info.name);
    if (info.value == "yes|no") {
      n->add_flag_callback("--" + name, [opts, name] { opts->study[name] = "yes"; }, std::string(info.help));
      continue;
    }
    n->add_option_function<std::string>("--" + name, [opts, name](const std::string& v) { opts->study[name] = v; },
                                        std::string(info.help))
        ->type_name(std::string(info.value));
  }
  n->add_option("--set", opts->pairs, "A model setting KEY=VALUE (repeatable; see `ravoprop models CODE`)")
      ->type_name("KEY=VALUE");
  n->add_option("settings", opts->pairs, "More KEY=VALUE settings (model keys or the options above)");
  n->add_option("--mode", opts->mode, "Low-level: an empty task of this mode (COVERAGE, INTERMOD, ...)");
  n->add_option("--type", opts->type, "Low-level: the empty task's type, e.g. \"THRESHOLD (RADIAL)\"");
  n->add_option("--summary", opts->summary, "Low-level: the empty task's summary (characters 1-6: study code)");
  const char* combined = "Studies of other tasks";
  n->add_option("--aggregate", opts->aggregate,
                "An aggregate tile study of --inputs by this method (name or index): " + AggregateMethodList())
      ->type_name("METHOD")->group(combined);
  n->add_option("--inputs", opts->inputs, "Input tile tasks of --aggregate (the desired one first for \"D/U Ratio\")")
      ->type_name("3,4,5")->group(combined);
  n->add_flag("--composite", opts->composite, "Type \"COMPOSITE FIELD (TILE)\" instead of \"AGGREGATE FIELD (TILE)\"")
      ->group(combined);
  n->add_option("--min-threshold", opts->minThreshold, "Min Threshold (dBu): serving level of Best Server, counted level "
                "of Threshold Count, usable signals of the delay spread")->group(combined);
  n->add_option("--isolation", opts->isolation, "Isolation (dB): capture ratio (Best Server, Simulcast), required D/U "
                "(D/U Ratio)")->group(combined);
  n->add_option("--max-sds", opts->maxSds, "Max SDS (uSec): largest tolerable delay spread")->group(combined);
  n->add_option("--add-u-isolation", opts->addUIsolation, "Additional U Isolation (dB) of D/U Ratio")->group(combined);
  n->add_flag("--interference", opts->interference, "An adjacent-channel interference study of --desired against --undesired")
      ->group(combined);
  n->add_option("--desired", opts->desired, "Desired tile task of --interference")->type_name("N")->group(combined);
  n->add_option("--undesired", opts->undesired, "Undesired tile tasks of --interference")->type_name("4,5")->group(combined);
  n->add_option("--dtou", opts->dtouTable, "Receiver D/U table of --interference (ravoprop dtou print lists them)")
      ->type_name("TABLE")->group(combined);
  n->add_option("--dtou-file", opts->dtouFile, "File of the D/U table (default: the installation's ZWRXRej.INI, else "
                "the sample tables)")->type_name("FILE")->group(combined);
  n->add_option("--sum-method", opts->sumMethod, "How undesired signals add up: \"Power Sum\" (default) or \"Maximum\"")
      ->group(combined);
  Wrap(n, opts, RunNew);

  auto* set = cmd->add_subcommand("set", "Change a task's study: KEY=VALUE with the names of `task new` options "
                                         "(freq=100, erp=10kW, radials=8, distance=20km ...) or model keys (AREA_COR=2)");
  set->add_option("id", opts->id, "Task number")->required();
  set->add_option("settings", opts->pairs, "KEY=VALUE settings")->required();
  Wrap(set, opts, RunSet);

  Wrap(cmd->add_subcommand("list", "List the tasks"), opts, RunList);

  auto* s = cmd->add_subcommand("show", "Show a task: its study in words with units (facility, receiver, model, points, terrain) and its state");
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

  auto* smp = cmd->add_subcommand("sample", "Write the sample studies (Mount Waumbek FM: radial and tile; three FM stations: tiles, best server, interference) as new tasks and print their numbers");
  smp->add_option("--terrain", opts->terrain, "Sample terrain tile (default: terrain/N44W072.hgt of the data directory)");
  Wrap(smp, opts, RunSample);
});

}  // namespace
}  // namespace zw::tool
