#include "coverage/CoverageFigures.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace {

constexpr double kDegToRad = M_PI / 180.0;

double Wrap360(double a) {
  a = std::fmod(a, 360.0);
  return a < 0 ? a + 360.0 : a;
}

// Smallest spacing between distinct values (0 when there is one value only).
double SmallestStep(std::vector<double> v) {
  v.erase(std::unique(v.begin(), v.end()), v.end());  // (a tile row's points share its latitude)
  std::sort(v.begin(), v.end());
  double step = 0;
  for (std::size_t i = 1; i < v.size(); ++i) {
    const double d = v[i] - v[i - 1];
    if (d > 1e-7 && (step == 0 || d < step)) step = d;
  }
  return step;
}

// The points of a study as the figures read them: a loaded study's records,
// or a run's points and values in memory.
struct LoadedPoints {
  const StudyResults& s;
  std::size_t Size() const { return s.points.size(); }
  double Lat(std::size_t i) const { return s.points[i].lat; }
  double Lon(std::size_t i) const { return s.points[i].lon; }
  double Az(std::size_t i) const { return s.points[i].az; }
  double Dis(std::size_t i) const { return s.points[i].dis; }
  bool Computed(std::size_t i) const { return IsComputed(s.points[i].val); }
  double Value(std::size_t i) const { return s.ValueOf(s.points[i]); }
};

struct MemoryPoints {
  const StudyResults& s;  // what the values are
  const std::vector<StudyPoint>& p;
  const std::vector<double>& val;
  std::size_t Size() const { return p.size(); }
  double Lat(std::size_t i) const { return p[i].lat; }
  double Lon(std::size_t i) const { return p[i].lon; }
  double Az(std::size_t i) const { return p[i].az; }
  double Dis(std::size_t i) const { return p[i].disKm; }
  bool Computed(std::size_t i) const { return IsComputed(val[i]); }
  double Value(std::size_t i) const {
    if (!Computed(i)) return std::numeric_limits<double>::quiet_NaN();
    return s.quantity == "contour distance" ? p[i].disKm : val[i];
  }
};

template <class P>
void TileAreas(const P& s, std::vector<double>& area) {
  std::vector<double> lats, lons;
  for (std::size_t i = 0; i < s.Size(); ++i) {
    lats.push_back(s.Lat(i));
    lons.push_back(s.Lon(i));
  }
  double dLat = SmallestStep(lats), dLon = SmallestStep(lons);
  if (dLat == 0) dLat = dLon;
  if (dLon == 0) dLon = dLat;
  const double r2 = kAuthalicRadiusKm * kAuthalicRadiusKm;
  for (std::size_t i = 0; i < s.Size(); ++i) {
    const double lat = s.Lat(i);
    area[i] = r2 * dLon * kDegToRad *
              std::fabs(std::sin((lat + dLat / 2) * kDegToRad) - std::sin((lat - dLat / 2) * kDegToRad));
  }
}

// Indices of the study's points grouped by radial (azimuth to a micro-degree),
// each radial by increasing distance; radials by azimuth.
template <class P>
std::vector<std::vector<std::size_t>> Radials(const P& s) {
  std::map<long long, std::vector<std::size_t>> byAz;
  std::vector<std::size_t>* last = nullptr;  // the radial of the point before (mostly this one's)
  long long lastKey = 0;
  for (std::size_t i = 0; i < s.Size(); ++i) {
    const long long key = std::llround(Wrap360(s.Az(i)) * 1e6);
    if (!last || key != lastKey) {
      last = &byAz[key];
      lastKey = key;
    }
    last->push_back(i);
  }
  std::vector<std::vector<std::size_t>> out;
  out.reserve(byAz.size());
  const auto nearer = [&](std::size_t a, std::size_t b) { return s.Dis(a) < s.Dis(b); };
  for (auto& [key, idx] : byAz) {
    if (!std::is_sorted(idx.begin(), idx.end(), nearer)) std::stable_sort(idx.begin(), idx.end(), nearer);
    out.push_back(std::move(idx));
  }
  return out;
}

// The azimuth width (degrees) each radial stands for.
template <class P>
std::vector<double> AzimuthWidths(const P& s, const std::vector<std::vector<std::size_t>>& radials) {
  const std::size_t m = radials.size();
  std::vector<double> az, gaps, widths(m, 0.0);
  if (m < 2) return widths;
  for (const auto& r : radials) az.push_back(Wrap360(s.Az(r.front())));
  for (std::size_t i = 0; i < m; ++i) gaps.push_back(Wrap360(az[(i + 1) % m] - az[i]));
  std::vector<double> sorted = gaps;
  std::sort(sorted.begin(), sorted.end());
  const double usual = sorted[(m - 1) / 2];
  for (std::size_t i = 0; i < m; ++i) {
    const double before = gaps[(i + m - 1) % m], after = gaps[i];
    widths[i] = std::min(before, usual) / 2 + std::min(after, usual) / 2;
  }
  return widths;
}

template <class P>
void RadialAreas(const P& s, const std::vector<std::vector<std::size_t>>& radials, bool pointPerRadial,
                 std::vector<double>& area) {
  const auto widths = AzimuthWidths(s, radials);
  for (std::size_t k = 0; k < radials.size(); ++k) {
    const auto& idx = radials[k];
    const double half = widths[k] * kDegToRad / 2;
    std::vector<double> d;
    for (std::size_t i : idx) d.push_back(s.Dis(i));
    const double step = SmallestStep(d);
    for (std::size_t j = 0; j < idx.size(); ++j) {
      // One point per radial: the sector from the transmitter to it.
      const double inner = (pointPerRadial || j == 0) ? 0.0 : (d[j - 1] + d[j]) / 2;
      const double outer = pointPerRadial ? d[j] : j + 1 < d.size() ? (d[j] + d[j + 1]) / 2 : d[j] + step / 2;
      area[idx[j]] = half * (outer * outer - inner * inner);
    }
  }
}

// Where a radial's values fall below the threshold, walking outward.
template <class P>
RadialReach Reach(const P& s, const std::vector<std::size_t>& idx, double t) {
  RadialReach r;
  r.azimuth = Wrap360(s.Az(idx.front()));
  std::vector<std::pair<double, double>> pts;  // (km, value) of the computed points
  for (std::size_t i : idx)
    if (const double v = s.Value(i); std::isfinite(v)) pts.emplace_back(s.Dis(i), v);
  r.points = static_cast<int>(pts.size());
  bool firstFound = false;
  for (std::size_t j = 0; j < pts.size(); ++j) {
    const auto [d, v] = pts[j];
    if (v >= t) {
      r.anyAbove = true;
      continue;
    }
    // Below: the crossing lies between the previous point (at or above) and this one.
    double at = 0;
    if (j > 0 && pts[j - 1].second >= t) {
      const auto [d0, v0] = pts[j - 1];
      at = d0 + (v0 - t) / (v0 - v) * (d - d0);
    } else if (j > 0) {
      continue;  // still below: no crossing here
    }
    if (!firstFound) r.firstBelowKm = at;
    firstFound = true;
    r.lastAboveKm = at;
  }
  if (!pts.empty() && pts.back().second >= t) {
    r.coveredToEnd = true;
    r.lastAboveKm = pts.back().first;
    if (!firstFound) r.firstBelowKm = pts.back().first;
  }
  return r;
}

template <class P>
LevelFigure CountAtOrAbove(const P& s, const std::vector<double>& area, double level) {
  LevelFigure f;
  f.level = level;
  for (std::size_t i = 0; i < s.Size(); ++i) {
    const double v = s.Value(i);
    if (std::isfinite(v) && v >= level) {
      ++f.points;
      f.areaKm2 += area[i];
    }
  }
  return f;
}

// The radials of a radial study (none for a tile study).
template <class P>
std::vector<std::vector<std::size_t>> StudyRadials(const P& s, const StudyResults& study) {
  return study.tile ? std::vector<std::vector<std::size_t>>{} : Radials(s);
}

// (radials: StudyRadials)
template <class P>
std::vector<double> CellAreas(const P& s, const StudyResults& study,
                              const std::vector<std::vector<std::size_t>>& radials) {
  std::vector<double> area(s.Size(), 0.0);
  if (study.tile) TileAreas(s, area);
  else RadialAreas(s, radials, study.pointPerRadial, area);
  for (std::size_t i = 0; i < area.size(); ++i)
    if (!s.Computed(i)) area[i] = 0;
  return area;
}

template <class P>
CoverageFigures Figures(const P& s, const StudyResults& study, std::optional<double> threshold,
                        const std::vector<double>& levels) {
  CoverageFigures f;
  f.code = study.code;
  f.quantity = study.quantity;
  f.unit = study.unit;
  f.tile = study.tile;
  f.pointPerRadial = study.pointPerRadial;
  f.points = static_cast<int>(s.Size());
  f.computed = study.computed;
  const auto radials = StudyRadials(s, study);
  const std::vector<double> area = CellAreas(s, study, radials);
  for (double a : area) f.areaKm2 += a;
  if (threshold) f.threshold = CountAtOrAbove(s, area, *threshold);
  for (double l : levels) f.levels.push_back(CountAtOrAbove(s, area, l));
  if (threshold && !study.tile && !study.pointPerRadial)
    for (const auto& idx : radials) f.radials.push_back(Reach(s, idx, *threshold));
  return f;
}

}  // namespace

std::vector<double> PointCellAreasKm2(const StudyResults& study) {
  const LoadedPoints s{study};
  return CellAreas(s, study, StudyRadials(s, study));
}

CoverageFigures ComputeCoverageFigures(const StudyResults& study, std::optional<double> threshold,
                                       const std::vector<double>& levels) {
  return Figures(LoadedPoints{study}, study, threshold, levels);
}

CoverageFigures ComputeCoverageFigures(const StudyResults& described, const std::vector<StudyPoint>& points,
                                       const std::vector<double>& values, std::optional<double> threshold,
                                       const std::vector<double>& levels) {
  return Figures(MemoryPoints{described, points, values}, described, threshold, levels);
}

std::optional<std::pair<double, std::string>> TaskReceiveLevel(const StudyResults& study) {
  const std::string stem = study.table.stem().string();
  if (stem.empty() || (stem[0] != 'R' && stem[0] != 'r')) return std::nullopt;
  const auto taskFile = study.table.parent_path() / ("T" + stem.substr(1) + ".INI");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(taskFile, ec)) return std::nullopt;
  const std::string level0 = platform::ProfileGetString("RX Facility", "Level 0", "", taskFile);
  const auto bar = level0.find('|');
  double level = 0;
  if (!TryParseDouble(Trim(level0.substr(0, bar)), level) || !std::isfinite(level)) return std::nullopt;
  std::string unit = bar == std::string::npos ? std::string() : Trim(level0.substr(bar + 1, level0.find('|', bar + 1) - bar - 1));
  return std::pair{level, unit.empty() ? std::string("dBu") : unit};
}

std::optional<double> StudyThreshold(const StudyResults& study) {
  const auto level = TaskReceiveLevel(study);
  if (!level || ToLower(level->second) != ToLower(study.unit)) return std::nullopt;
  return level->first;
}

std::string CoverageFiguresText(const CoverageFigures& f) {
  auto share = [&](double a) { return f.areaKm2 > 0 ? fmt::format(" ({:.1f} % of the computed area)", 100 * a / f.areaKm2) : std::string(); };
  std::string t = fmt::format("Coverage of study {} ({} in {}):\n", f.code, f.quantity, f.unit);
  t += fmt::format("  points computed: {} of {}; their cells {:.2f} km^2{}\n", f.computed, f.points, f.areaKm2,
                   f.pointPerRadial ? " (the area the contour points enclose)" : "");
  if (f.threshold)
    t += fmt::format("  at or above {} {} (threshold): {} points, {:.2f} km^2{}\n", FormatGeneral(f.threshold->level), f.unit,
                     f.threshold->points, f.threshold->areaKm2, share(f.threshold->areaKm2));
  for (const auto& l : f.levels)
    t += fmt::format("  at or above {} {}: {} points, {:.2f} km^2{}\n", FormatGeneral(l.level), f.unit, l.points,
                     l.areaKm2, share(l.areaKm2));
  if (!f.radials.empty()) {
    t += fmt::format("  along each radial, where the {} falls below {} {} (first and last crossing, from the transmitter):\n", f.quantity,
                     FormatGeneral(f.threshold->level), f.unit);
    for (const auto& r : f.radials) {
      if (!r.anyAbove) t += fmt::format("    {:7.2f} deg: below at every point\n", r.azimuth);
      else if (r.coveredToEnd && r.firstBelowKm == r.lastAboveKm)
        t += fmt::format("    {:7.2f} deg: at or above out to the last point, {:.3f} km\n", r.azimuth, r.lastAboveKm);
      else if (r.coveredToEnd)
        t += fmt::format("    {:7.2f} deg: first below at {:.3f} km, above again at the last point, {:.3f} km\n",
                         r.azimuth, r.firstBelowKm, r.lastAboveKm);
      else
        t += fmt::format("    {:7.2f} deg: first below at {:.3f} km, last at {:.3f} km\n", r.azimuth, r.firstBelowKm,
                         r.lastAboveKm);
    }
  }
  return t;
}

std::string CoverageFiguresJson(const CoverageFigures& f) {
  using nlohmann::json;
  auto level = [&](const LevelFigure& l) {
    return json{{"level", l.level}, {"unit", f.unit}, {"points", l.points}, {"area_km2", l.areaKm2}};
  };
  json j{{"study", f.code}, {"quantity", f.quantity}, {"unit", f.unit},
         {"kind", f.tile ? "tile" : f.pointPerRadial ? "contour points" : "radial"},
         {"points", f.points}, {"computed", f.computed}, {"area_km2", f.areaKm2}};
  if (f.threshold) j["threshold"] = level(*f.threshold);
  j["levels"] = json::array();
  for (const auto& l : f.levels) j["levels"].push_back(level(l));
  if (!f.radials.empty()) {
    j["radials"] = json::array();
    for (const auto& r : f.radials)
      j["radials"].push_back({{"azimuth_deg", r.azimuth},
                              {"points", r.points},
                              {"reaches_threshold", r.anyAbove},
                              {"first_below_km", r.firstBelowKm},
                              {"last_above_km", r.lastAboveKm},
                              {"above_at_last_point", r.coveredToEnd}});
  }
  return j.dump(1, ' ', false, json::error_handler_t::replace);
}

std::string AppendFiguresToReport(const std::filesystem::path& report, const std::string& figuresText) {
  auto text = platform::ReadWholeFile(report);
  if (!text) return "The report " + report.string() + " could not be read";
  // The report's own line ends.
  const bool crlf = text->find("\r\n") != std::string::npos;
  std::string add = "\nCOVERAGE FIGURES\n" + figuresText;
  if (crlf) {
    std::string conv;
    for (char c : add) conv += c == '\n' ? std::string("\r\n") : std::string(1, c);
    add = std::move(conv);
  }
  if (!text->empty() && text->back() != '\n') *text += crlf ? "\r\n" : "\n";
  std::string err;
  if (!platform::WriteFileAtomic(report, *text + add, &err)) return err;
  return {};
}

}  // namespace zw::coverage
