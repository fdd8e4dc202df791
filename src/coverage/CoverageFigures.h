#pragma once
// How much of an area study reaches a level: the points computed, the points
// and the area at or above the threshold and at other levels, and for radial
// studies the distances along each radial where the value falls below the
// threshold. Areas come from each point's cell:
//   - tile studies: the grid cell around the point (half a step each way in
//     latitude and longitude) on a sphere of the earth's authalic radius;
//   - radial studies: the ring sector around the point, from half-way to the
//     radial's previous point (the transmitter for the first) to half-way to
//     its next (half a step beyond the last), and half-way to the neighbouring
//     radials in azimuth (at most half the usual spacing, so a partial arc
//     counts only its own sector);
//   - studies of one point per radial (contour points): the sector from the
//     transmitter to the point, so the area is the one the contour encloses.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "coverage/ResultsExport.h"

namespace zw::coverage {

inline constexpr double kAuthalicRadiusKm = 6371.0072;

struct LevelFigure {
  double level = 0;
  int points = 0;        // computed points at or above the level
  double areaKm2 = 0;    // their cells
};

// Along one radial (radial studies), walking out from the transmitter.
struct RadialReach {
  double azimuth = 0;
  int points = 0;                 // computed points of the radial
  bool anyAbove = false;          // some point reaches the threshold
  double firstBelowKm = 0;        // first crossing below the threshold (interpolated in value); 0 when the first point is below
  double lastAboveKm = 0;         // last crossing below it (the farthest reach)
  bool coveredToEnd = false;      // the last point still reaches it (lastAboveKm is that point's distance)
};

struct CoverageFigures {
  std::string code, quantity, unit;
  bool tile = false, pointPerRadial = false;
  int points = 0, computed = 0;
  double areaKm2 = 0;             // cells of the computed points
  std::optional<LevelFigure> threshold;
  std::vector<LevelFigure> levels;
  std::vector<RadialReach> radials;
};

// The area of each study point's cell, km^2, in the order of study.points
// (0 for points without a result).
std::vector<double> PointCellAreasKm2(const StudyResults& study);

// The figures of a loaded study for a threshold (none: no threshold figures)
// and further levels, in the study's quantity and unit.
CoverageFigures ComputeCoverageFigures(const StudyResults& study, std::optional<double> threshold,
                                       const std::vector<double>& levels);
// The same from a run's points and values in memory (values as the table
// holds them, kRdbNotComputed for none), `described` saying what they are
// (code, quantity, unit, tile, one point per radial, computed; its points
// left empty): no copy of the study as records.
CoverageFigures ComputeCoverageFigures(const StudyResults& described, const std::vector<StudyPoint>& points,
                                       const std::vector<double>& values, std::optional<double> threshold,
                                       const std::vector<double>& levels);

// The receive level of the task file beside the table (T<n>.INI, [RX
// Facility] "Level 0" = level|unit|percent; the unit dBu when blank), or
// nullopt without one.
std::optional<std::pair<double, std::string>> TaskReceiveLevel(const StudyResults& study);
// That level when it is in the study's unit (the threshold of its values).
std::optional<double> StudyThreshold(const StudyResults& study);

// The figures as lines of text and as JSON, every number with its unit.
std::string CoverageFiguresText(const CoverageFigures& f);
std::string CoverageFiguresJson(const CoverageFigures& f);

// Adds the figures' text at the end of a study's text report (T<n>.TXT),
// replacing the file whole (written beside it, then renamed), so that a
// failure leaves the report as the run wrote it. "" or the reason.
std::string AppendFiguresToReport(const std::filesystem::path& report, const std::string& figuresText);

}  // namespace zw::coverage
