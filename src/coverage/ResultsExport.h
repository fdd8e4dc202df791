#pragma once
// Outputs of an area study's results table for other programs: a
// georeferenced field-strength raster (GeoTIFF), the KML document of a Google
// Earth overlay (its pictures are drawn by the map writer of src/plot), the
// points and the contour as GeoJSON, and the table as CSV.
//
// Every writer returns "" or the failure text, and replaces its output file
// only once the whole content is ready (written beside it, then renamed), so
// a failed export leaves whatever was on disk untouched.
//
// Rasters are in WGS 84 geographic coordinates (EPSG:4326); cells without a
// value are NaN in memory and -9999 in the GeoTIFF.
//   - Tile studies map 1:1 onto their grid: one cell per grid point, the
//     steps taken from the spacing of the distinct latitudes and longitudes.
//   - Radial studies are gridded in polar coordinates around the
//     transmitter: along a radial the value is interpolated linearly in
//     distance between its computed points (the first point's value inside
//     it, nothing beyond half a step past the last one), and between the two
//     neighbouring radials linearly in azimuth. Where neighbouring radials
//     are much further apart than usual (a partial arc, missing radials)
//     only cells near a radial take its values. This follows the geometry of
//     the study: an inverse-distance blend within a fixed radius would
//     either leave holes between far-out radials or smear the close-in
//     detail. The cells are square on the ground.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/ResultsDb.h"
#include "coverage/StudyPoints.h"

namespace zw::coverage {

enum class ExportFormat { GeoTiff, Png, Kml, GeoJson, Csv };

// "geotiff" (or "tif", "tiff"), "png", "kml", "geojson" (or "json"), "csv";
// case-insensitive.
std::optional<ExportFormat> ParseExportFormat(std::string_view name);

struct ExportOptions {
  int rasterSize = 400;    // longer side of a radial study's raster, cells
  std::string studyCode;   // the study's description code; empty: the largest study in the table
};

// The records of a results table sorted into their roles.
struct StudyResults {
  std::filesystem::path table;
  std::vector<RdbRecord> all;      // every live record in table order
  std::optional<RdbRecord> tx;     // the transmitter site record ("TX SIT...")
  std::string code;                // description code of the study's points
  bool tile = false;               // "TIL" in positions 4 to 6 of the code
  std::vector<RdbRecord> points;   // the study's points in table order
  std::vector<std::vector<RdbRecord>> contours;  // one set per contour description, by azimuth
  int computed = 0;                // points with a computed value
  // What the values are: the model of the task file beside the table
  // (T<n>.INI, [Propagation Model] MODEL) through the model table; field
  // strength in dBu when there is none. Contour-distance models give the
  // contour point's distance from the transmitter (RDB_DIS).
  std::string model, quantity = "field strength", unit = "dBu";
  // One point per radial (radial ends, contour points): drawn as points and
  // the contour polygon, never spread into a field map.
  bool pointPerRadial = false;
  // The value of a point in the study's quantity (NaN when not computed).
  double ValueOf(const RdbRecord& r) const;
};

// True for a value the run has computed (finite, not -888888 nor the -999
// of a path the model could not compute).
bool IsComputed(double val);

// Reads the table read-only and sorts its records. Fails on a missing or
// unreadable table, one without study points, one whose points are all
// still uncomputed, and an unknown study code.
std::string LoadStudyResults(const std::filesystem::path& table, const ExportOptions& options, StudyResults& out);

// A run's study described as LoadStudyResults describes the table the run
// has just written from these points and values, without reading it back:
// `described` gets everything but the points, tableValues each point's value
// as the table holds it (rounded to valueDecimals; kRdbNotComputed for
// none). The task file beside `table` says what the values are.
std::string DescribeStudyInMemory(const std::filesystem::path& table, const GeneratedStudy& g,
                                  const std::vector<PointValue>& values, int valueDecimals, StudyResults& described,
                                  std::vector<double>& tableValues);

// What the values of a loaded study are (quantity, unit, from its task file),
// whether it holds one point per radial, and how many points have a value.
std::string DescribeStudyResults(StudyResults& out);

struct FieldRaster {
  int width = 0, height = 0;
  double geo[6] = {0, 1, 0, 0, 0, -1};  // GDAL geotransform: west, dLon, 0, north, 0, -dLat
  std::vector<float> values;             // row-major from the north-west; NaN = no value
  bool haveTx = false;
  double txLat = 0, txLon = 0;
  // A frame only (every cell NaN): the picture draws these points and rings
  // on a plain background instead of a field map.
  struct Mark {
    double lat = 0, lon = 0, value = 0;
  };
  std::vector<Mark> marks;
  std::vector<std::vector<std::pair<double, double>>> rings;  // (lat, lon), closed
  bool pointsOnly = false;
  double Value(int col, int row) const { return values[static_cast<std::size_t>(row) * width + col]; }
};
std::string RasteriseStudy(const StudyResults& study, const ExportOptions& options, FieldRaster& out);

// Classes [lo + k*step, lo + (k+1)*step) for k = 0 .. classes-1, chosen
// from a data range with a step of 1, 2, 5, 10 or 20 (50, 100) units so that
// there are at most 10 classes (the maps' automatic scale).
struct ColourScale {
  double lo = 0, step = 10;
  int classes = 1;
};
ColourScale AutoScale(double minVal, double maxVal);

std::string WriteGeoTiff(const FieldRaster& raster, const std::filesystem::path& file,
                         const std::string& quantity = "field strength", const std::string& unit = "dBu");
// The KML document: the overlay picture (none for a study of one point per
// radial: its points and closed contour instead) over the raster's box, the
// legend picture as a screen overlay, the transmitter and the stored contours.
std::string KmlDocument(const StudyResults& study, const FieldRaster& raster, const std::string& overlayName,
                        const std::string& legendName);
std::string WriteGeoJson(const StudyResults& study, const std::filesystem::path& file);
std::string WriteCsv(const StudyResults& study, const std::filesystem::path& file);

// Loads the table and writes GeoTIFF, GeoJSON or CSV (PNG and KML: the map
// writer of src/plot).
// *note (when given) says how many points have no result.
std::string ExportResults(const std::filesystem::path& table, ExportFormat format, const std::filesystem::path& file,
                          const ExportOptions& options = {}, std::string* note = nullptr);

}  // namespace zw::coverage
