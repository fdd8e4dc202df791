// ravoprop export: an area study's results table as a GeoTIFF, a PNG with a
// legend, a KML overlay, GeoJSON or CSV.
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "common/Config.h"
#include "common/TextJoin.h"
#include "CoverageReport.h"
#include "coverage/ContourExport.h"
#include "coverage/ResultsExport.h"
#include "platform/ProgramDir.h"
#include "plot/MapExport.h"

namespace zw::tool {
namespace {

namespace fs = std::filesystem;

struct ExportCmdOptions {
  int task = 0;
  std::string workdir;
  std::string format;
  std::string output;
  coverage::ExportOptions opts;
  bool contour = false;
  std::string levels;
  // Maps.
  std::string scale = "fixed";
  std::optional<double> threshold;
  std::string dem;
  bool noShade = false;
};

// png, svg, pdf, kml: the map writer. The file's extension names the format.
int RunMapExport(const ExportCmdOptions& o, const std::string& format) {
  const auto scale = plot::ParseScaleKind(o.scale);
  if (!scale) {
    std::cerr << "--scale takes fixed, auto or threshold (not '" << o.scale << "')\n";
    return kExitUsage;
  }
  if (ToLower(fs::path(o.output).extension().string()) != "." + format) {
    std::cerr << "--format " << format << " writes a ." << format << " file: give -o NAME." << format << "\n";
    return kExitUsage;
  }
  if (o.threshold && !std::isfinite(*o.threshold)) {
    std::cerr << "--threshold takes a number in the study's unit, e.g. --threshold 60\n";
    return kExitUsage;
  }
  const auto dir = OpenWorkDir(o.workdir);
  if (!dir) return kExitFailed;
  plot::MapOptions m;
  m.study = o.opts;
  m.scale = *scale;
  m.threshold = o.threshold;
  // The terrain shading: --dem, else the data directory's terrain.
  if (!o.noShade) m.dem = o.dem.empty() ? (platform::DataDirectory() / "terrain").string() : o.dem;
  std::string note;
  if (auto err = plot::ExportMap(*dir / coverage::ResultsFileName(o.task), o.output, m, &note); !err.empty()) {
    std::cerr << err << "\n";
    return kExitFailed;
  }
  if (!Globals().silent) {
    std::cout << "Wrote " << o.output << "\n";
    if (!note.empty()) std::cout << "Note: " << note << "\n";
  }
  return kExitOk;
}

// --contour: the contours as vector data.
int RunContourExport(const ExportCmdOptions& o) {
  const auto format = coverage::ParseVectorFormat(o.format);
  if (!format) {
    std::cerr << "Contours are written as geojson, kml or shp (not '" << o.format << "')\n";
    return kExitUsage;
  }
  std::vector<double> levels;
  if (auto err = ParseLevels(o.levels, levels); !err.empty()) {
    std::cerr << err << "\n";
    return kExitUsage;
  }
  const auto dir = OpenWorkDir(o.workdir);
  if (!dir) return kExitFailed;
  const fs::path table = *dir / coverage::ResultsFileName(o.task);
  if (auto err = coverage::ExportContours(table, *format, o.output, levels, o.opts); !err.empty()) {
    std::cerr << err << "\n";
    return kExitFailed;
  }
  if (!Globals().silent) std::cout << "Wrote " << o.output << "\n";
  return kExitOk;
}

int RunExport(const ExportCmdOptions& o) {
  ApplyGlobals();
  if (o.task < 1) {
    std::cerr << "--task takes a task number above 0\n";
    return 2;
  }
  if (o.contour) return RunContourExport(o);
  if (!o.levels.empty()) {
    std::cerr << "--levels goes with --contour\n";
    return kExitUsage;
  }
  if (const std::string f = ToLower(o.format); f == "png" || f == "svg" || f == "pdf" || f == "kml")
    return RunMapExport(o, f);
  const auto format = coverage::ParseExportFormat(o.format);
  if (!format) {
    std::cerr << "Unknown format '" << o.format << "': geotiff, png, svg, pdf, kml, geojson or csv\n";
    return 2;
  }
  const auto dir = OpenWorkDir(o.workdir);
  if (!dir) return kExitFailed;
  const fs::path table = *dir / coverage::ResultsFileName(o.task);
  std::string note;
  if (auto err = coverage::ExportResults(table, *format, o.output, o.opts, &note); !err.empty()) {
    std::cerr << err << "\n";
    return 1;
  }
  if (!Globals().silent) {
    std::cout << "Wrote " << o.output << "\n";
    if (!note.empty()) std::cout << "Note: " << note << "\n";
  }
  return 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<ExportCmdOptions>();
  auto* cmd = app.add_subcommand("export", "Write an area study's results as GeoTIFF, PNG, KML, GeoJSON or CSV, or its contours");
  cmd->add_option("--task", o->task, "Task number (results table R<number>.DBF)")->required();
  cmd->add_option("--workdir", o->workdir, "Work directory (default: the configured one)");
  cmd->add_option("--format", o->format,
                  "geotiff | png | svg | pdf | kml | geojson | csv; with --contour geojson | kml | shp")
      ->required();
  cmd->add_option("-o,--output", o->output, "Output file (KML also writes <name>_overlay.png and <name>_legend.png)")
      ->required();
  cmd->add_option("--size", o->opts.rasterSize, "Longer side of a radial study's raster, cells (default 400)");
  cmd->add_flag("--contour", o->contour,
               "Write the contours as vector data (--format geojson, kml or shp): the areas at or above the levels");
  cmd->add_option("--levels", o->levels,
                  "Contour levels, comma-separated, in the study's unit (default: the task's receive level)");
  cmd->add_option("--scale", o->scale,
                  "Map colours: fixed (default; the same value the same colour on every map), auto (fitted to the "
                  "values) or threshold (covered / not covered)");
  cmd->add_option("--threshold", o->threshold, "Map threshold in the study's unit (default: the task's receive level)");
  cmd->add_option("--dem", o->dem, "Terrain for the map's shading (default: the data directory's terrain)");
  cmd->add_flag("--no-shade", o->noShade, "Draw the map without terrain shading");
  cmd->add_option("--desc", o->opts.studyCode, "Description code of the study (default: the largest in the table)");
  cmd->callback([o] {
    const int rc = RunExport(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
