#pragma once
// Reduction of a contour study's radial results to one contour point per
// radial. The study's records (sorted by azimuth, then distance outward) are
// walked radial by radial; on each radial the contour point is the farthest
// point at which the share of points so far reaching the contour level is
// still at least the required percentage. The contour points are appended to
// the same results table under a description of their own, and the task
// file's "Results Data Base" section is told of the new result set.
//
// Plain values only (no task object): the caller hands the results table,
// already sorted with RDBSort("ASC", study code).
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/ResultsDb.h"

namespace zw::coverage {

inline constexpr std::int16_t kProcContourReduction = 5501;
// Distance (km) of the contour point of a radial that never qualifies.
inline constexpr double kTooShortContourKm = 0.001;

// Left(studyDesc, 3) + "CTR" + " " + P "#0.0" + "% " + L "##0.000" + "dBu",
// e.g. "XYZCTR 50.0% 39.000dBu".
std::string ContourDescription(std::string_view studyDesc, double percent, double levelDbu);

struct ContourPoint {
  double az = 0;    // azimuth of the radial, degrees
  double dis = 0;   // distance of the contour point, km
  double lat = 0, lon = 0;
  bool tooShort = false;  // no point qualified: placed at kTooShortContourKm
};

// The contour points of records in table order (radials by azimuth, each
// from the transmitter outward). The walk stops at the first record whose
// description differs from the first record's. False, with *error set, when
// the position of a too-short radial's point cannot be computed.
bool ContourPoints(const std::vector<RdbRecord>& records, double levelDbu, double percent, double txLat,
                   double txLon, std::vector<ContourPoint>& points, std::string* error = nullptr);

// One line of the per-radial listing (no line end): azimuth "###0.00" + " Az ",
// distance "###0.000" + " km", latitude and longitude as coordinate text,
// separated by tabs.
std::string ContourListingLine(const ContourPoint& p);

struct ContourRequest {
  std::string studyDesc;            // the task's results description
  std::filesystem::path taskFile;   // receives Number / RDBnnn
  double levelDbu = 0;              // contour level L
  double percent = 0;               // required percentage of locations P
  double txLat = 0, txLon = 0;      // transmitter, decimal degrees
  std::ostream* listing = nullptr;  // the details file, or none
  bool silent = true;               // no message box on a logged failure
};

struct ContourOutcome {
  std::vector<ContourPoint> points;  // the contour records added
  int tooShort = 0;                  // radials whose point sits at 0.001 km
  bool failed = false;               // "Error on Contour Interpolation"
};

// Runs the reduction on the recordset of results. Returns the report text:
// empty when every radial qualified; an empty line and the "does not contain
// any entries" message for an empty recordset; an empty line and the count of
// too-short radials; or, after a failure, "Error on Contour Interpolation"
// with its reason (the failure is logged, the contour records added so far
// are removed again and the task file is left as it was). A contour of the
// same description already listed in the task file is replaced: its records
// are removed after the new ones are in and its RDBnnn key is reused.
std::string ReduceContour(ResultsDb& results, const ContourRequest& request, ContourOutcome* outcome = nullptr);

}  // namespace zw::coverage
