// ravoprop stats: how much of an area study reaches the threshold and other
// levels (points, km^2, distances along the radials).
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "CoverageReport.h"
#include "coverage/ResultsDb.h"

namespace zw::tool {
namespace {

struct StatsOptions {
  int task = 0;
  std::string workdir, levels, desc;
  std::optional<double> threshold;
  bool json = false;
};

int RunStats(const StatsOptions& o) {
  ApplyGlobals();
  if (o.task < 1) {
    std::cerr << "--task takes a task number above 0\n";
    return kExitUsage;
  }
  std::vector<double> levels;
  if (auto err = ParseLevels(o.levels, levels); !err.empty()) {
    std::cerr << err << "\n";
    return kExitUsage;
  }
  if (o.threshold && !std::isfinite(*o.threshold)) {
    std::cerr << "--threshold takes a number in the study's unit, e.g. --threshold 60\n";
    return kExitUsage;
  }
  const auto dir = OpenWorkDir(o.workdir);
  if (!dir) return kExitFailed;
  coverage::ExportOptions opts;
  opts.studyCode = o.desc;
  std::string text, json;
  if (auto err = CoverageReport(*dir / coverage::ResultsFileName(o.task), opts, o.threshold, levels, text, json);
      !err.empty()) {
    std::cerr << err << "\n";
    return kExitFailed;
  }
  std::cout << (o.json ? json + "\n" : text);
  return kExitOk;
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<StatsOptions>();
  auto* cmd = app.add_subcommand("stats", "Coverage figures of an area study: points and km^2 at or above levels");
  cmd->add_option("--task", o->task, "Task number (results table R<number>.DBF)")->required();
  cmd->add_option("--workdir", o->workdir, "Work directory (default: the configured one)");
  cmd->add_option("--levels", o->levels, "Further levels, comma-separated, in the study's unit (e.g. 50,70)");
  cmd->add_option("--threshold", o->threshold, "Threshold in the study's unit (default: the task's receive level)");
  cmd->add_option("--desc", o->desc, "Description code of the study (default: the largest in the table)");
  cmd->add_flag("--json", o->json, "JSON output");
  cmd->callback([o] {
    const int rc = RunStats(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
