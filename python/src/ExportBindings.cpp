// A study's results written for other programs, as `ravoprop export` writes
// them: GeoTIFF, GeoJSON or CSV of the points, a map (PNG, SVG, PDF) or a
// Google Earth overlay (KML), or the contours as vector data.
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Bindings.h"
#include "coverage/ContourExport.h"
#include "coverage/ResultsExport.h"
#include "platform/ProgramDir.h"
#include "plot/MapExport.h"

namespace zw::py {

namespace {

namespace pyb = pybind11;
namespace fs = std::filesystem;

struct ExportRequest {
  std::string format, output;
  coverage::ExportOptions opts;
  bool contour = false;
  std::vector<double> levels;
  std::string scale = "fixed";
  std::optional<double> threshold;
  std::string dem;
  bool shade = true;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The writer's failure text, or the request's mistake (what to give instead).
std::string Write(const fs::path& table, const ExportRequest& x, std::string& note) {
  const std::string f = Lower(x.format);
  if (x.contour) {
    const auto vf = coverage::ParseVectorFormat(f);
    if (!vf) return "Contours are written as geojson, kml or shp (not '" + x.format + "')";
    for (const double v : x.levels)
      if (!std::isfinite(v)) return "levels take numbers in the study's unit, e.g. levels=[50, 60]";
    return coverage::ExportContours(table, *vf, x.output, x.levels, x.opts);
  }
  if (!x.levels.empty()) return "levels go with contour=True";
  if (f == "png" || f == "svg" || f == "pdf" || f == "kml") {
    const auto scale = plot::ParseScaleKind(x.scale);
    if (!scale) return "scale takes fixed, auto or threshold (not '" + x.scale + "')";
    if (Lower(fs::path(x.output).extension().string()) != "." + f)
      return "format '" + f + "' writes a ." + f + " file: give an output path NAME." + f;
    if (x.threshold && !std::isfinite(*x.threshold))
      return "threshold takes a number in the study's unit, e.g. threshold=60";
    plot::MapOptions m;
    m.study = x.opts;
    m.scale = *scale;
    m.threshold = x.threshold;
    if (x.shade) m.dem = x.dem.empty() ? (platform::DataDirectory() / "terrain").string() : x.dem;
    return plot::ExportMap(table, x.output, m, &note);
  }
  const auto format = coverage::ParseExportFormat(f);
  if (!format) return "Unknown format '" + x.format + "': geotiff, png, svg, pdf, kml, geojson or csv";
  return coverage::ExportResults(table, *format, x.output, x.opts, &note);
}

// The note of the written file ("" or what is missing from it).
std::string ExportStudy(const std::string& table, const ExportRequest& x) {
  if (x.output.empty()) throw EngineError("Give the output file, e.g. export(\"coverage.tif\", \"geotiff\")");
  if (x.opts.rasterSize < 1) throw EngineError("size takes the raster's longer side in cells, above 0 (e.g. 400)");
  std::string note, err;
  {
    pyb::gil_scoped_release nogil;
    err = Write(table, x, note);
  }
  if (!err.empty()) throw EngineError(err);
  return note;
}

}  // namespace

void BindExport(pyb::module_& m) {
  m.def(
      "export_study",
      [](const std::string& table, const std::string& output, const std::string& format, int size,
         const std::string& desc, bool contour, const std::vector<double>& levels, const std::string& scale,
         std::optional<double> threshold, const std::string& dem, bool shade) {
        ExportRequest x{format, output, {size, desc}, contour, levels, scale, threshold, dem, shade};
        return ExportStudy(table, x);
      },
      pyb::arg("table"), pyb::arg("output"), pyb::arg("format"), pyb::arg("size") = 400, pyb::arg("desc") = "",
      pyb::arg("contour") = false, pyb::arg("levels") = std::vector<double>{}, pyb::arg("scale") = "fixed",
      pyb::arg("threshold") = std::nullopt, pyb::arg("dem") = "", pyb::arg("shade") = true,
      "Writes a results table as `ravoprop export` does; the note of what the file lacks (\"\" when nothing).");
}

}  // namespace zw::py
