// ravoprop run: an area study of a stored task, with a progress bar.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "Commands.h"
#include "TerminalProgress.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "engine/clsRFProp.h"
#include "platform/terrain/TerrainSource.h"

namespace zw::tool {
namespace {

struct RunOptions {
  int task = 0;
  std::string workdir;
  int threads = 0;
  bool details = false;
  std::string dem;
};

int RunStudy(const RunOptions& o) {
  ApplyGlobals();
  clsRFProp e;
  e.bSilent(Globals().silent);
  const std::string workdir = o.workdir.empty() ? WorkDirectory() : o.workdir;
  e.sWorkDir(workdir);
  const unsigned hw = std::thread::hardware_concurrency();
  e.iThreads(o.threads > 0 ? o.threads : static_cast<int>(hw == 0 ? 1 : hw));
  if (!o.dem.empty()) {
    auto t = std::make_shared<platform::TerrainSource>();
    const std::string msg = t->Add(o.dem);
    if (t->SourceCount() == 0) {
      std::cerr << "No usable elevation data in " << o.dem << (msg.empty() ? "" : ": " + msg) << "\n";
      return 1;
    }
    e.cTerrain(t);
  }
  auto progress = std::make_shared<TerminalProgress>();
  e.ktoProgress(progress);
  e.lTaskID(o.task);
  if (!e.cTask() || !e.cCovArea()) {
    std::cerr << (e.sTaskMessage().empty() ? "Task " + std::to_string(o.task) + " could not be loaded" : e.sTaskMessage())
              << "\n";
    return 1;
  }
  if (o.details) e.bDetails(true);
  const std::string result = e.RunCovArea();
  const CoverageRunOutcome& run = e.LastRun();
  // What stopped a run goes with the failure on stderr.
  if (!Trim(result).empty()) (run.completed ? std::cout : std::cerr) << Trim(result) << "\n";
  auto* task = e.cTask();
  const std::filesystem::path dir(workdir);
  if (!run.completed) {
    std::cerr << "Study did not run to its end\n";
    return 1;
  }
  if (run.points > 0 && run.computed == 0) {
    std::cerr << "No point of the study had terrain data: nothing was computed (check --dem or the configured terrain)\n";
    return 1;
  }
  std::cout << fmt::format("Study of task {} complete: {} points, {} computed, {} without terrain data ({} threads)\n",
                           o.task, run.points, run.computed, run.missing, e.iThreads())
            << "  results table: " << (dir / task->TaskResultsFile()).string() << "\n"
            << "  report:        " << (dir / task->TaskTXTFile()).string() << "\n"
            << "  summary:       " << (dir / task->TaskSummaryFile()).string() << "\n";
  return 0;
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
