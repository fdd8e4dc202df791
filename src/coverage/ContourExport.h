#pragma once
// An area study's contours as vector data (GeoJSON, KML or an ESRI
// shapefile) in WGS 84 longitude / latitude:
//   - studies gridded into a field map (tile studies, stepped radials): for
//     each level, the area at or above it as a (multi)polygon traced by GDAL's
//     contour generator over the study's raster. The raster is framed by a
//     border far below every value (no-value cells likewise), so every ring
//     closes inside the study's extent;
//   - studies of one point per radial (contour points, radial ends) and the
//     contours a study stores (contour reduction): the closed polygon through
//     the points in azimuth order.
// Every feature carries its level, the unit of the level and the quantity.
// The level is the study's receive level ([RX Facility] Level 0 of the task
// file) unless levels are given. The output replaces the file(s) only once
// complete.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/ResultsExport.h"

namespace zw::coverage {

enum class VectorFormat { GeoJson, Kml, Shapefile };

// "geojson" (or "json"), "kml", "shp" (or "shapefile"); case-insensitive.
std::optional<VectorFormat> ParseVectorFormat(std::string_view name);

struct ContourRing {
  double level = 0;
  std::string unit = "dBu", quantity = "field strength";
  // Polygons, each a list of closed rings (lon, lat), the outer ring first.
  std::vector<std::vector<std::vector<std::pair<double, double>>>> polygons;
};

// The contours of a loaded study (levels empty: the study's receive level,
// or its stored contours). "" or why there are none.
std::string StudyContours(const StudyResults& study, const ExportOptions& options, const std::vector<double>& levels,
                          std::vector<ContourRing>& out);

// Writes the contours; a shapefile also writes .shx, .dbf and .prj beside it.
std::string WriteContours(const std::vector<ContourRing>& contours, VectorFormat format,
                          const std::filesystem::path& file);

// Loads the table, traces its contours and writes them.
std::string ExportContours(const std::filesystem::path& table, VectorFormat format, const std::filesystem::path& file,
                           const std::vector<double>& levels, const ExportOptions& options = {});

}  // namespace zw::coverage
