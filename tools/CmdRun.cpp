// ravoprop run: an area study of a stored task, with a progress bar.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "Commands.h"
#include "CoverageReport.h"
#include "coverage/CoverageFigures.h"
#include "TerminalProgress.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "engine/PointToPoint.h"
#include "engine/CombinedRun.h"
#include "engine/clsRFProp.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskFile.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"

namespace zw::tool {
namespace {

struct RunOptions {
  int task = 0;
  std::string workdir;
  int threads = 0;
  bool details = false;
  std::string dem;
};

// Aggregate, composite and interference studies: computed from their input
// tile studies.
int RunCombined(const RunOptions& o, const std::filesystem::path& workdir) {
  const CombinedRunResult r = RunCombinedStudy(workdir, o.task, platform::DefaultDataSumFile());
  if (!r.error.empty()) {
    std::cerr << r.error << "\nStudy of task " << o.task << " was not run; its previous results were kept\n";
    return kExitFailed;
  }
  std::cout << r.text;
  const std::string table = (workdir / tasks::TaskFileName('R', o.task, ".DBF")).string();
  std::string text, json;
  if (CoverageReport(table, {}, std::nullopt, {}, text, json).empty()) {
    std::cout << text;
    const auto report = workdir / tasks::TaskFileName('T', o.task, ".TXT");
    if (const auto err = coverage::AppendFiguresToReport(report, text); !err.empty())
      std::cerr << "Warning: the coverage figures were not added to the report: " << err << "\n";
  }
  std::cout << fmt::format("Study of task {} {}: {} points, {} with a value\n", o.task,
                           r.complete ? "complete" : "finished with points that have no value", r.points, r.computed);
  for (char kind : {'R', 'T', 'S'})
    std::cout << "  " << (kind == 'R' ? "results table: " : kind == 'T' ? "report:        " : "summary:       ")
              << (workdir / tasks::TaskFileName(kind, o.task, kind == 'R' ? ".DBF" : ".TXT")).string() << "\n";
  return r.complete ? kExitOk : kExitPartial;
}

// What the run of task o.task gave: its message, the coverage figures and
// where its files are; the exit status.
int ReportRun(const RunOptions& o, clsRFProp& e, const std::string& result) {
  const CoverageRunOutcome& run = e.LastRun();
  auto* task = e.cTask();
  auto where = [&] {
    // The task's file names hold its work directory already.
    std::cout << "  results table: " << task->TaskResultsFile() << "\n"
              << "  report:        " << task->TaskTXTFile() << "\n"
              << "  summary:       " << task->TaskSummaryFile() << "\n";
  };
  // How much the study covers: worked out by the run, or read from the table just written.
  auto figures = [&] {
    std::string text = run.figuresText, json;
    if (text.empty() && !CoverageReport(task->TaskResultsFile(), {}, std::nullopt, {}, text, json).empty()) return;
    std::cout << text;
    if (const auto err = coverage::AppendFiguresToReport(task->TaskTXTFile(), text); !err.empty())
      std::cerr << "Warning: the coverage figures were not added to the report: " << err << "\n";
  };
  const std::string counts = fmt::format("{} points, {} computed", run.points + run.notReached,
                                         run.computed);
  if (!run.resultsWritten) {
    // Whatever stopped the run: the previous files are untouched.
    if (!Trim(result).empty()) std::cerr << Trim(result) << "\n";
    if (run.cancelled) {
      std::cerr << "Study of task " << o.task << " cancelled; its previous results were kept\n";
      return kExitCancelled;
    }
    std::cerr << "Study of task " << o.task << " did not run to its end; its previous results were kept\n";
    return kExitFailed;
  }
  if (!Trim(result).empty()) (run.complete ? std::cout : std::cerr) << Trim(result) << "\n";
  if (const std::string w = run.WarningLines(); !w.empty()) std::cerr << w << "\n";
  if (run.cancelled) {
    std::cerr << fmt::format("Study of task {} cancelled: the partial results ({}) were kept and the study is marked "
                             "incomplete\n", o.task, counts);
    figures();
    where();
    return kExitCancelled;
  }
  if (!run.complete) {
    std::cerr << fmt::format("Study of task {} finished with points that have no result: {} ({} threads); the study "
                             "is marked incomplete\n", o.task, counts, e.iThreads());
    figures();
    where();
    return kExitPartial;
  }
  std::cout << fmt::format("Study of task {} complete: {} ({} threads)\n", o.task, counts, e.iThreads());
  figures();
  where();
  return kExitOk;
}

int RunStudy(const RunOptions& o) {
  ApplyGlobals();
  clsRFProp e;
  e.bSilent(Globals().silent);
  const auto workdir = OpenWorkDir(o.workdir);
  if (!workdir) return kExitFailed;
  if (const tasks::TaskFile tf(*workdir / tasks::TaskFileName('T', o.task, ".INI"));
      tf.Exists() && IsCombinedStudyType(tf.Identity().type))
    return RunCombined(o, *workdir);
  e.sWorkDir(workdir->string());
  const unsigned hw = std::thread::hardware_concurrency();
  e.iThreads(o.threads > 0 ? o.threads : static_cast<int>(hw == 0 ? 1 : hw));
  if (!o.dem.empty()) {
    std::string error;
    auto t = OpenTerrain(o.dem, error);
    if (!t) {
      std::cerr << error << "\n";
      return kExitFailed;
    }
    e.cTerrain(t);
  }
  // Ctrl-C cancels at the next point (then asks whether to keep what was
  // computed); a second Ctrl-C, SIGTERM or SIGHUP ends the process at once,
  // leaving the previous results.
  auto progress = std::make_shared<TerminalProgress>();
  e.ktoProgress(progress);
  e.bCancelIsFinal(true);
  e.lTaskID(o.task);
  if (!e.cTask() || !e.cCovArea()) {
    std::cerr << (e.sTaskMessage().empty() ? "Task " + std::to_string(o.task) + " could not be loaded" : e.sTaskMessage())
              << "\n";
    return kExitFailed;
  }
  if (o.details) e.bDetails(true);
  // Named inputs that cannot be used are said before the run (and in its report).
  if (e.cOBS())
    for (const auto& w : e.cOBS()->Warnings()) std::cerr << "Warning: " << w << "\n";
  if (e.cLandUse())
    for (const auto& w : e.cLandUse()->Warnings()) std::cerr << "Warning: " << w << "\n";
  const std::string result = e.RunCovArea();
  return ReportRun(o, e, result);
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<RunOptions>();
  auto* cmd = app.add_subcommand("run", "Run the area study of a stored task");
  cmd->add_option("--task", o->task, "Task number")->required();
  cmd->add_option("--workdir", o->workdir, "Work directory holding the task database (default: the configured one)");
  cmd->add_option("--threads", o->threads, "Threads (default: the machine's cores)")->check(CLI::Range(0, 256));
  cmd->add_flag("--details", o->details, "Write each point's account to the task's text report");
  cmd->add_option("--dem", o->dem, "DEM file or directory (default: the configured terrain)");
  cmd->callback([o] {
    const int rc = RunStudy(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
