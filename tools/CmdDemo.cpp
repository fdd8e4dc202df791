// ravoprop demo: the bundled sample study run end to end. A fresh work
// directory is copied from data/sample/, its radial study (task 1) and tile
// study (task 2) of the FM transmitter on Mount Waumbek run through the engine
// on the bundled SRTM tile, exactly as `ravoprop run` does, and each study's
// results are exported as PNG, KML and GeoTIFF. Then the tile studies of three
// FM stations (tasks 3 to 5) run, and from them the best-server study (task 6)
// and the interference study (task 7), each drawn as a map.
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "engine/PointToPoint.h"
#include "engine/CombinedRun.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "TerminalProgress.h"
#include "common/TextJoin.h"
#include "coverage/ResultsExport.h"
#include "plot/MapExport.h"
#include "engine/clsRFProp.h"
#include "platform/ProgramDir.h"
#include "platform/terrain/TerrainSource.h"

namespace zw::tool {
namespace {

namespace fs = std::filesystem;

struct DemoOptions {
  std::string data;  // default: the data directory beside the program, installed or of the source tree
  std::string out = "ravoprop-demo";
  int threads = 0;
};

struct DemoStudy {
  int task;
  const char* name;  // stem of the exported files
  const char* what;
};
constexpr DemoStudy kStudies[] = {{1, "radial", "radial study, 36 radials to 30 km"},
                                  {2, "tile", "tile study, grid of 0.5 x 0.5 degrees"}};
// Three FM stations on one 50 x 50 grid, then the studies made from them.
constexpr DemoStudy kStations[] = {{3, "", "WZWR-FM, 98.5 MHz, tile study on the 50 x 50 grid"},
                                   {4, "", "WZWS-FM on Mount Washington, 98.5 MHz (co-channel), same grid"},
                                   {5, "", "WZWT-FM on Cape Horn, 98.7 MHz (first adjacent), same grid"}};
constexpr DemoStudy kCombined[] = {{6, "best-server", "best server of tasks 3, 4 and 5"},
                                   {7, "interference", "adjacent-channel interference to task 3 from tasks 4 and 5"}};

// Replaces OUT/work with a copy of the sample; "" or the failure.
std::string FreshWorkDirectory(const fs::path& sample, const fs::path& work) {
  std::error_code ec;
  if (!fs::is_directory(sample, ec)) return "Sample study not found: " + sample.string();
  // Never remove the sample itself (or a directory holding it).
  const fs::path rel = fs::weakly_canonical(sample, ec).lexically_relative(fs::weakly_canonical(work, ec));
  if (rel.empty() || *rel.begin() != "..")
    return "The work directory " + work.string() + " would hold the sample; choose another --out";
  fs::remove_all(work, ec);
  if (ec) return "Cannot remove the old work directory " + work.string() + ": " + ec.message();
  fs::create_directories(work.parent_path(), ec);
  fs::copy(sample, work, fs::copy_options::recursive, ec);
  if (ec) return "Cannot copy " + sample.string() + " to " + work.string() + ": " + ec.message();
  return {};
}

struct StudyOutputs {
  fs::path table, report, summary;
  std::vector<std::pair<std::string, fs::path>> exports;
};

// Runs one task of the work directory; false when the study did not run to its end.
bool RunOneStudy(const DemoStudy& s, const fs::path& work, const std::shared_ptr<platform::TerrainSource>& terrain,
                 int threads, StudyOutputs& out) {
  std::cout << fmt::format("\nTask {}: {}\n", s.task, s.what);
  clsRFProp e;
  e.bSilent(Globals().silent);
  e.sWorkDir(work.string());
  e.iThreads(threads);
  e.cTerrain(terrain);
  e.ktoProgress(std::make_shared<TerminalProgress>());
  e.lTaskID(s.task);
  if (!e.cTask() || !e.cCovArea()) {
    std::cerr << (e.sTaskMessage().empty() ? fmt::format("Task {} could not be loaded", s.task) : e.sTaskMessage())
              << "\n";
    return false;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string result = e.RunCovArea();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const CoverageRunOutcome& run = e.LastRun();
  if (!Trim(result).empty()) std::cout << Trim(result) << "\n";
  if (!run.resultsWritten) {
    std::cerr << fmt::format("Study of task {} did not run to its end\n", s.task);
    return false;
  }
  std::cout << fmt::format("  {} points, {} computed, {} without terrain data; {:.1f} s on {} threads\n", run.points,
                           run.computed, run.missing, seconds, e.iThreads());
  if (run.computed == 0) {
    std::cerr << fmt::format("Study of task {} computed no point\n", s.task);
    return false;
  }
  const auto* task = e.cTask();
  out.table = work / task->TaskResultsFile();
  out.report = work / task->TaskTXTFile();
  out.summary = work / task->TaskSummaryFile();
  return true;
}

// Field range and share of points at or above the required field, from the table.
void PrintFieldRange(const fs::path& table, double requiredDbu) {
  coverage::StudyResults study;
  if (!coverage::LoadStudyResults(table, {}, study).empty()) return;
  double lo = 1e9, hi = -1e9;
  int n = 0, above = 0;
  for (const auto& p : study.points) {
    if (!coverage::IsComputed(p.val)) continue;
    lo = std::min(lo, p.val);
    hi = std::max(hi, p.val);
    ++n;
    if (p.val >= requiredDbu) ++above;
  }
  if (n > 0)
    std::cout << fmt::format("  field {:.1f} to {:.1f} dBu; {} of {} points ({:.0f} %) at or above {:.0f} dBu\n", lo,
                             hi, above, n, 100.0 * above / n, requiredDbu);
}

std::string ExportStudy(const DemoStudy& s, const fs::path& outDir, const fs::path& dem, StudyOutputs& out) {
  plot::MapOptions map;
  map.dem = dem.string();
  for (const char* ext : {".png", ".kml", ".tif"}) {
    const fs::path file = outDir / (std::string(s.name) + ext);
    const std::string err = ext[1] == 't' ? coverage::ExportResults(out.table, coverage::ExportFormat::GeoTiff, file)
                                          : plot::ExportMap(out.table, file, map);
    if (!err.empty()) return err;
    out.exports.emplace_back(ext + 1, file);
  }
  return {};
}

// Where the outputs of every study are.
void PrintOutputs(const fs::path& work, const std::vector<StudyOutputs>& outputs,
                  const std::vector<std::pair<const DemoStudy*, fs::path>>& maps, double seconds) {
  std::cout << fmt::format("\nAll studies done in {:.1f} s. Outputs:\n", seconds)
            << "  work directory: " << work.string() << "\n";
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const StudyOutputs& so = outputs[i];
    std::cout << fmt::format("  task {} ({}):\n", kStudies[i].task, kStudies[i].name)
              << "    results table: " << so.table.string() << "\n"
              << "    report:        " << so.report.string() << "\n"
              << "    summary:       " << so.summary.string() << "\n";
    for (const auto& [kind, file] : so.exports) {
      std::cout << fmt::format("    {:<14} {}\n", kind + ":", file.string());
      if (kind == "kml") {
        const fs::path stem = file.parent_path() / file.stem();
        std::cout << "                   (with " << stem.string() << "_overlay.png and _legend.png)\n";
      }
    }
  }
  for (const auto& [s, png] : maps)
    std::cout << fmt::format("  task {} ({}): map {}\n", s->task, s->name, png.string());
  std::cout << "Open the .kml files in Google Earth; `ravoprop task --workdir " << work.string()
            << " list` lists the tasks.\n";
}

int RunDemo(const DemoOptions& o) {
  ApplyGlobals();
  std::error_code ec;
  const fs::path data = fs::absolute(o.data.empty() ? platform::DataDirectory() : fs::path(o.data), ec);
  fs::create_directories(o.out, ec);
  const fs::path out = fs::absolute(o.out, ec).lexically_normal();
  const fs::path tile = data / "terrain" / "N44W072.hgt";
  const fs::path work = out / "work";
  if (!fs::exists(tile, ec)) {
    std::cerr << "Sample terrain not found: " << tile.string() << "\n";
    return 1;
  }
  if (auto err = FreshWorkDirectory(data / "sample", work); !err.empty()) {
    std::cerr << err << "\n";
    return 1;
  }
  std::string terrainError;
  auto terrain = OpenTerrain(tile.string(), terrainError);
  if (!terrain) {
    std::cerr << terrainError << "\n";
    return 1;
  }
  const unsigned hw = std::thread::hardware_concurrency();
  const int threads = o.threads > 0 ? o.threads : static_cast<int>(hw == 0 ? 1 : hw);

  std::cout << "ravoprop demo: Longley-Rice coverage of the sample FM transmitter on Mount Waumbek, NH\n"
            << "  44.4365 N, 71.4131 W; 98.5 MHz, 50 kW ERP, antenna 100 m AGL; receiver 9.1 m AGL, 60 dBu\n"
            << "  terrain: " << tile.string() << "\n"
            << "  work directory (fresh copy of " << (data / "sample").string() << "): " << work.string() << "\n";

  const auto start = std::chrono::steady_clock::now();
  std::vector<StudyOutputs> outputs;
  for (const DemoStudy& s : kStudies) {
    StudyOutputs so;
    if (!RunOneStudy(s, work, terrain, threads, so)) return 1;
    PrintFieldRange(so.table, 60);
    if (auto err = ExportStudy(s, out, tile, so); !err.empty()) {
      std::cerr << fmt::format("Export of task {} failed: {}\n", s.task, err);
      return 1;
    }
    outputs.push_back(std::move(so));
  }
  // Several transmitters: their tile studies, then the best server and the interference.
  for (const DemoStudy& s : kStations) {
    StudyOutputs so;
    if (!RunOneStudy(s, work, terrain, threads, so)) return 1;
  }
  std::vector<std::pair<const DemoStudy*, fs::path>> maps;
  for (const DemoStudy& s : kCombined) {
    std::cout << fmt::format("\nTask {}: {}\n", s.task, s.what);
    const CombinedRunResult r = RunCombinedStudy(work, s.task, platform::DefaultDataSumFile());
    if (!r.error.empty()) {
      std::cerr << r.error << "\n";
      return 1;
    }
    std::cout << r.text;
    plot::MapOptions map;
    map.dem = tile.string();
    const fs::path png = out / (std::string(s.name) + ".png");
    if (auto err = plot::ExportMap(work / coverage::ResultsFileName(s.task), png, map); !err.empty()) {
      std::cerr << fmt::format("Export of task {} failed: {}\n", s.task, err);
      return 1;
    }
    maps.emplace_back(&s, png);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  PrintOutputs(work, outputs, maps, seconds);
  return 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto opts = std::make_shared<DemoOptions>();
  auto* cmd = app.add_subcommand(
      "demo", "Run the sample radial and tile studies on the bundled terrain, export them and print where they are");
  cmd->add_option("--data", opts->data,
                  "Directory of the bundled data, sample/ and terrain/ (default: ZWRAVOPROP_DATA, else data/ beside "
                  "the program, ../share/zwravoprop/data, else the source tree's)");
  cmd->add_option("--out", opts->out, "Directory for the outputs, its work/ replaced each time (default ravoprop-demo)");
  cmd->add_option("--threads", opts->threads, "Threads (default: the machine's cores)")->check(CLI::Range(0, 256));
  cmd->callback([opts] {
    const int rc = RunDemo(*opts);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
