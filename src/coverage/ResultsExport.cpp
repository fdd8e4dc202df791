#include "coverage/ResultsExport.h"

#include <cstdint>
#include <string>

#include "common/TextJoin.h"

namespace zw::coverage {

namespace fs = std::filesystem;

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  const std::string n = ToUpper(Trim(name));
  if (n == "GEOTIFF" || n == "TIF" || n == "TIFF") return ExportFormat::GeoTiff;
  if (n == "PNG") return ExportFormat::Png;
  if (n == "KML") return ExportFormat::Kml;
  if (n == "GEOJSON" || n == "JSON") return ExportFormat::GeoJson;
  if (n == "CSV") return ExportFormat::Csv;
  return std::nullopt;
}

std::string ExportResults(const fs::path& table, ExportFormat format, const fs::path& file,
                          const ExportOptions& options, std::string* note) {
  StudyResults study;
  if (auto err = LoadStudyResults(table, options, study); !err.empty()) return err;
  if (note) {
    note->clear();
    const auto total = static_cast<std::int64_t>(study.points.size());
    if (study.computed < total)
      *note = std::to_string(total - study.computed) + " of " + std::to_string(total) +
              " points have no result (not computed or failed); they are written as no data";
  }
  if (format == ExportFormat::Csv) return WriteCsv(study, file);
  if (format == ExportFormat::GeoJson) return WriteGeoJson(study, file);
  if (format == ExportFormat::GeoTiff && study.pointPerRadial)
    return "Study " + study.code + " of " + table.string() +
           " holds one point per radial (radial ends or contour points), which make no raster: export it as "
           "geojson, kml, png or csv";
  if (format != ExportFormat::GeoTiff)
    return "PNG and KML maps are drawn by the map writer (plot::ExportMap), not by the data exports";
  FieldRaster raster;
  if (auto err = RasteriseStudy(study, options, raster); !err.empty()) return err;
  return WriteGeoTiff(raster, file, study.quantity, study.unit);
}

}  // namespace zw::coverage
