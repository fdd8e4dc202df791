#pragma once
// Maps of an area study's results table: the map picture (PNG, SVG or PDF by
// the file's extension) or a Google Earth overlay (KML with
// "<stem>_overlay.png" and "<stem>_legend.png" beside it).
#include <filesystem>
#include <optional>
#include <string>

#include "coverage/ResultsExport.h"
#include "plot/MapScale.h"

namespace zw::plot {

struct MapOptions {
  coverage::ExportOptions study;       // raster size, study code
  ScaleKind scale = ScaleKind::Fixed;
  std::optional<double> threshold;     // default: the task's receive level in the study's unit
  std::string dem;                     // terrain for the hillshade; "" draws none
};

// Writes the map; *note (when given) says what is missing from it (points
// without a result, no terrain for the shading). "" or the failure text.
std::string ExportMap(const std::filesystem::path& table, const std::filesystem::path& file, const MapOptions& options,
                      std::string* note = nullptr);

}  // namespace zw::plot
