#pragma once
// What the study generators of clsAreaCovPaths (radials, tiles) share: the
// generation under way, the kinds of radial study, and reading the
// '|'-separated values of the task and paths files.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/clsAreaCovPaths.h"

namespace zw::coverage {

namespace studygen {

inline constexpr int kStepped = 1, kRadialEnds = 2, kTargets = 3;
inline constexpr int kMaxPointErrors = 100;

// "" + line break + text: the message starts on a new line.
std::string AfterBlank(std::string_view text);
std::vector<std::string> SplitFields(std::string_view value);
// Field k (from 1) as a number; a missing field, or one holding no number at
// all, reads as the missing-number value.
double NumberField(const std::vector<std::string>& f, std::size_t k);
std::string TextField(const std::vector<std::string>& f, std::size_t k);
// A point count with thousands separators.
std::string CountText(double n);
std::string TooManyPoints(double count, std::int64_t limit, std::string_view hint);
// A latitude or longitude bound as the task file holds it.
std::string Bound(double v);

}  // namespace studygen

struct clsAreaCovPaths::Generation {
  GeneratedStudy* out = nullptr;
  std::string code;
  std::int64_t written = 0;
  std::int32_t errors = 0;
  std::string pointErrors;
  double maxLat, minLat, maxLon, minLon;
  // A point as the table will hold it.
  static StudyPoint AsHeld(double lat, double lon, double az, double dis) {
    return {RoundToDecimals(lat, 7), RoundToDecimals(lon, 7), RoundToDecimals(az, 3), RoundToDecimals(dis, 5)};
  }
  void Add(double lat, double lon, double az, double dis) { AddHeld(AsHeld(lat, lon, az, dis)); }
  // A point already as the table will hold it.
  void AddHeld(const StudyPoint& p) {
    out->points.push_back(p);
    maxLat = std::max(maxLat, p.lat);
    minLat = std::min(minLat, p.lat);
    maxLon = std::max(maxLon, p.lon);
    minLon = std::min(minLon, p.lon);
    ++written;
  }
};

}  // namespace zw::coverage
