#pragma once
// An area study's points held in memory: what the study generator produces,
// what the run computes, and what the results table is written from in one
// pass. Coordinates are held exactly as the results table stores them
// (rounded to its decimals), so that a point computed from memory and the
// same point read back from the table are one path.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zw::coverage {

struct StudyPoint {
  double lat = 0, lon = 0;  // decimal degrees
  double az = 0;            // degrees from the transmitter
  double disKm = 0;         // kilometres from the transmitter
};

// What became of a point.
enum class PointStatus : std::uint8_t {
  kNotComputed = 0,  // not reached (cancelled) or left as generated
  kComputed,         // the model gave a result
  kNoTerrain,        // no terrain data on the path
  kModelFailed,      // the model could not compute the path
};

// A point's result as the results table stores it.
struct PointValue {
  double fieldDbu = 0;
  float elvM = 0;
  float luLossDb = 0;
  std::int32_t wrnBits = 0;
  std::int16_t wrnLvl = 0;
  std::int16_t luCode = 0;
  PointStatus status = PointStatus::kNotComputed;
};

// The geodesic from the transmitter to a point as the inverse problem gives
// it: length in metres, azimuth at the transmitter in degrees ([-180, 180]).
struct SolvedPath {
  double lengthM = 0, az1Deg = 0;
};

struct GeneratedStudy {
  std::string code;  // description code of the points (RDB_DESC)
  // The transmitter site record, first in the table.
  std::string siteDesc;
  double siteLat = 0, siteLon = 0;
  float siteElvM = -32200.0f;
  // The points in the table's record order.
  std::vector<StudyPoint> points;
  // Indices of points in the order they are computed: by azimuth, each
  // radial from its far end inward (ties keep record order).
  std::vector<std::uint32_t> order;
  // For points solved from the transmitter (tiles): the solution for each
  // point as stored (its rounded position), which its profile then takes
  // instead of solving the path again; empty for other studies.
  std::vector<SolvedPath> solved;
  // Bounds of the transmitter and every point.
  double maxLat = 0, minLat = 0, maxLon = 0, minLon = 0;
  // Keys of the task file's "Results Data Base" section set by generation.
  std::vector<std::pair<std::string, std::string>> resultsKeys;
  std::int64_t counted = 0;  // grid or radial points counted before generation
};

// Rounds v to the given number of decimals the way the table's text does.
double RoundToDecimals(double v, int decimals);

}  // namespace zw::coverage
