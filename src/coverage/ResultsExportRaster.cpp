// Gridding a study's values into a field raster (tile grids 1:1, radial
// studies in polar coordinates around the transmitter), and the maps'
// automatic colour scale.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "common/calcMiscMath.h"
#include "coverage/ResultsExport.h"
#include "geo/Geodesic.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

constexpr long kMaxCells = 25'000'000;

}  // namespace

namespace {

// Positions of distinct coordinate values on a regular axis.
struct Axis {
  double origin = 0, step = 0;
  int count = 0;
};

Axis AxisOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  Axis a;
  a.origin = v.front();
  double step = 0;
  for (std::size_t i = 1; i < v.size(); ++i) {
    const double d = v[i] - v[i - 1];
    if (d > 1e-7 && (step == 0 || d < step)) step = d;
  }
  a.step = step;
  a.count = step > 0 ? static_cast<int>(std::lround((v.back() - v.front()) / step)) + 1 : 1;
  return a;
}

std::string RasteriseTiles(const StudyResults& s, FieldRaster& out) {
  std::vector<double> lats, lons;
  for (const auto& p : s.points) {
    lats.push_back(p.lat);
    lons.push_back(p.lon);
  }
  Axis ay = AxisOf(lats), ax = AxisOf(lons);
  // A single row or column borrows the other axis's step (square cells).
  if (ay.step == 0 && ax.step == 0) ay.step = ax.step = 0.001;
  if (ay.step == 0) ay.step = ax.step * KmPerDegLon(ay.origin) / KmPerDegLat(ay.origin);
  if (ax.step == 0) ax.step = ay.step * KmPerDegLat(ay.origin) / std::max(1e-6, KmPerDegLon(ay.origin));
  if (static_cast<long>(ax.count) * ay.count > kMaxCells)
    return fmt::format("The tile grid of {} is too large to rasterise ({} x {} cells)", s.table.string(), ax.count,
                       ay.count);
  out.width = ax.count;
  out.height = ay.count;
  out.values.assign(static_cast<std::size_t>(out.width) * out.height, std::numeric_limits<float>::quiet_NaN());
  const double north = ay.origin + (ay.count - 1) * ay.step;
  out.geo[0] = ax.origin - ax.step / 2;
  out.geo[1] = ax.step;
  out.geo[3] = north + ay.step / 2;
  out.geo[5] = -ay.step;
  for (const auto& p : s.points) {
    if (!IsComputed(p.val)) continue;
    const int col = static_cast<int>(std::lround((p.lon - ax.origin) / ax.step));
    const int row = static_cast<int>(std::lround((north - p.lat) / ay.step));
    if (col >= 0 && col < out.width && row >= 0 && row < out.height)
      out.values[static_cast<std::size_t>(row) * out.width + col] = static_cast<float>(p.val);
  }
  return {};
}

struct Radial {
  double az = 0;
  std::vector<std::pair<double, double>> pts;  // (distance km, dBu), computed only, by distance
  double reach = 0;                             // farthest distance that takes a value
};

double AlongRadial(const Radial& r, double d) {
  const auto& p = r.pts;
  if (d > r.reach) return std::numeric_limits<double>::quiet_NaN();
  if (d <= p.front().first) return p.front().second;
  if (d >= p.back().first) return p.back().second;
  auto hi = std::lower_bound(p.begin(), p.end(), d, [](const auto& a, double x) { return a.first < x; });
  auto lo = hi - 1;
  const double span = hi->first - lo->first;
  if (span <= 0) return hi->second;
  return lo->second + (hi->second - lo->second) * (d - lo->first) / span;
}

double Wrap360(double a) {
  a = std::fmod(a, 360.0);
  return a < 0 ? a + 360.0 : a;
}

// The computed points of a radial study gathered by azimuth, each radial's
// points by distance, with the distance up to which it takes a value.
std::vector<Radial> RadialsOf(const StudyResults& s) {
  std::map<long long, Radial> byAz;  // azimuth keyed at a micro-degree
  for (const auto& p : s.points) {
    if (!IsComputed(p.val)) continue;
    const double az = Wrap360(p.az);
    Radial& r = byAz[std::llround(az * 1e6)];
    r.az = az;
    r.pts.emplace_back(p.dis, p.val);
  }
  std::vector<Radial> radials;
  for (auto& [key, r] : byAz) {
    std::sort(r.pts.begin(), r.pts.end());
    double step = 0;
    for (std::size_t i = 1; i < r.pts.size(); ++i) {
      const double d = r.pts[i].first - r.pts[i - 1].first;
      if (d > 0 && (step == 0 || d < step)) step = d;
    }
    r.reach = r.pts.back().first + step / 2;
    radials.push_back(std::move(r));
  }
  return radials;
}

// The angle (degrees) from each radial to the next one into gaps; returns the
// usual angle between neighbouring radials (median of the gaps).
double RadialGaps(const std::vector<Radial>& radials, std::vector<double>& gaps) {
  const std::size_t m = radials.size();
  gaps.clear();
  for (std::size_t i = 0; i < m; ++i)
    gaps.push_back(m == 1 ? 360.0 : Wrap360(radials[(i + 1) % m].az - radials[i].az));
  std::vector<double> sortedGaps = gaps;
  std::sort(sortedGaps.begin(), sortedGaps.end());
  return m == 1 ? 2.0 : std::max(1e-6, sortedGaps[m / 2 - (m % 2 == 0 ? 1 : 0)]);
}

// The raster's frame (size, geotransform, every cell empty): square cells
// over the transmitter, every point and the half step the outermost points
// reach beyond themselves.
void FrameRadials(const StudyResults& s, const std::vector<Radial>& radials, int rasterSize, FieldRaster& out) {
  // cppcheck-suppress duplicateAssignExpression ; min and max both start at the transmitter
  double minLat = s.tx->lat, maxLat = s.tx->lat, minLon = s.tx->lon, maxLon = s.tx->lon;
  for (const auto& p : s.points) {
    minLat = std::min(minLat, p.lat);
    maxLat = std::max(maxLat, p.lat);
    minLon = std::min(minLon, p.lon);
    maxLon = std::max(maxLon, p.lon);
  }
  const double mid = (minLat + maxLat) / 2;
  const double kmLat = KmPerDegLat(mid), kmLon = std::max(1e-6, KmPerDegLon(mid));
  // Room for the half step that the outermost points reach beyond themselves.
  double padKm = 0;
  for (const auto& r : radials) padKm = std::max(padKm, r.reach - r.pts.back().first);
  minLat -= padKm / kmLat;
  maxLat += padKm / kmLat;
  minLon -= padKm / kmLon;
  maxLon += padKm / kmLon;
  const double spanX = (maxLon - minLon) * kmLon, spanY = (maxLat - minLat) * kmLat;
  const int size = std::clamp(rasterSize, 2, 10000);
  double cellKm = std::max(spanX, spanY) / (size - 1);
  if (!(cellKm > 0)) cellKm = 0.1;
  out.width = static_cast<int>(std::ceil(spanX / cellKm)) + 1;
  out.height = static_cast<int>(std::ceil(spanY / cellKm)) + 1;
  const double dLat = cellKm / kmLat, dLon = cellKm / kmLon;
  const double west = (minLon + maxLon) / 2 - out.width * dLon / 2;
  const double north = (minLat + maxLat) / 2 + out.height * dLat / 2;
  out.geo[0] = west;
  out.geo[1] = dLon;
  out.geo[3] = north;
  out.geo[5] = -dLat;
  out.values.assign(static_cast<std::size_t>(out.width) * out.height, std::numeric_limits<float>::quiet_NaN());
}

// The value at azimuth az (degrees, 0 to 360) and distance dis (km) from the
// radials either side; NaN where none reaches.
double BetweenRadials(const std::vector<Radial>& radials, const std::vector<double>& gaps, double usual, double az,
                      double dis) {
  const std::size_t m = radials.size();
  std::size_t b = 0;
  while (b < m && radials[b].az <= az) ++b;
  const std::size_t a = (b + m - 1) % m;
  b %= m;
  const double gap = m == 1 ? 360.0 : gaps[a];
  const double t = gap > 0 ? Wrap360(az - radials[a].az) / gap : 0;
  const double va = AlongRadial(radials[a], dis), vb = AlongRadial(radials[b], dis);
  double v = std::numeric_limits<double>::quiet_NaN();
  if (gap > 1.5 * usual) {
    // Across a wide gap only the near side of each radial is filled.
    const double fromA = t * gap, fromB = (1 - t) * gap;
    if (fromA <= usual / 2 && fromA <= fromB) v = va;
    else if (fromB <= usual / 2) v = vb;
  } else if (std::isfinite(va) && std::isfinite(vb)) {
    v = va + (vb - va) * t;
  } else {
    v = t < 0.5 ? va : vb;
  }
  return v;
}

std::string RasteriseRadials(const StudyResults& s, const ExportOptions& o, FieldRaster& out) {
  if (!s.tx) return "The results table " + s.table.string() + " has no transmitter site record (TX SIT...)";
  const std::vector<Radial> radials = RadialsOf(s);
  std::vector<double> gaps;
  const double usual = RadialGaps(radials, gaps);
  FrameRadials(s, radials, o.rasterSize, out);
  const double west = out.geo[0], dLon = out.geo[1], north = out.geo[3], dLat = -out.geo[5];
  for (int row = 0; row < out.height; ++row) {
    const double lat = north - (row + 0.5) * dLat;
    for (int col = 0; col < out.width; ++col) {
      const double lon = west + (col + 0.5) * dLon;
      double az = 0, dis = 0;
      if (!Geodesic::InverseKm(s.tx->lat, s.tx->lon, lat, lon, az, dis)) continue;
      const double v = BetweenRadials(radials, gaps, usual, Wrap360(az), dis);
      if (std::isfinite(v)) out.values[static_cast<std::size_t>(row) * out.width + col] = static_cast<float>(v);
    }
  }
  return {};
}

// A study of one point per radial: a frame around the transmitter and the
// points, every cell empty, with the points and the closed contour rings.
std::string FramePoints(const StudyResults& s, const ExportOptions& o, FieldRaster& out) {
  double minLat = s.points.front().lat, maxLat = minLat, minLon = s.points.front().lon, maxLon = minLon;
  auto widen = [&](double lat, double lon) {
    minLat = std::min(minLat, lat);
    maxLat = std::max(maxLat, lat);
    minLon = std::min(minLon, lon);
    maxLon = std::max(maxLon, lon);
  };
  if (s.tx) widen(s.tx->lat, s.tx->lon);
  for (const auto& p : s.points) {
    widen(p.lat, p.lon);
    const double v = s.ValueOf(p);
    if (std::isfinite(v)) out.marks.push_back({p.lat, p.lon, v});
  }
  const double mid = (minLat + maxLat) / 2;
  const double kmLat = KmPerDegLat(mid), kmLon = std::max(1e-6, KmPerDegLon(mid));
  double spanX = (maxLon - minLon) * kmLon, spanY = (maxLat - minLat) * kmLat;
  const double pad = std::max(1.0, 0.05 * std::max(spanX, spanY));  // room for the point discs
  spanX += 2 * pad;
  spanY += 2 * pad;
  const int size = std::clamp(o.rasterSize, 2, 10000);
  const double cellKm = std::max(spanX, spanY) / (size - 1);
  out.width = static_cast<int>(std::ceil(spanX / cellKm)) + 1;
  out.height = static_cast<int>(std::ceil(spanY / cellKm)) + 1;
  const double dLat = cellKm / kmLat, dLon = cellKm / kmLon;
  out.geo[0] = (minLon + maxLon) / 2 - out.width * dLon / 2;
  out.geo[1] = dLon;
  out.geo[3] = (minLat + maxLat) / 2 + out.height * dLat / 2;
  out.geo[5] = -dLat;
  out.values.assign(static_cast<std::size_t>(out.width) * out.height, std::numeric_limits<float>::quiet_NaN());
  out.pointsOnly = true;
  // The contours of the table; without any, the ring through the points.
  auto ringOf = [](const std::vector<RdbRecord>& recs) {
    std::vector<std::pair<double, double>> ring;
    for (const auto& p : recs)
      if (IsComputed(p.val)) ring.emplace_back(p.lat, p.lon);
    return ring;
  };
  for (const auto& c : s.contours)
    if (auto ring = ringOf(c); ring.size() >= 3) out.rings.push_back(std::move(ring));
  if (out.rings.empty()) {
    std::vector<RdbRecord> byAz = s.points;
    std::stable_sort(byAz.begin(), byAz.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
    if (auto ring = ringOf(byAz); ring.size() >= 3) out.rings.push_back(std::move(ring));
  }
  return {};
}

}  // namespace

std::string RasteriseStudy(const StudyResults& study, const ExportOptions& options, FieldRaster& out) {
  out = FieldRaster{};
  if (study.computed == 0) return "No computed " + study.quantity + " to rasterise in " + study.table.string();
  std::string err = study.tile             ? RasteriseTiles(study, out)
                    : study.pointPerRadial ? FramePoints(study, options, out)
                                           : RasteriseRadials(study, options, out);
  if (!err.empty()) return err;
  if (study.tx) {
    out.haveTx = true;
    out.txLat = study.tx->lat;
    out.txLon = study.tx->lon;
  }
  return {};
}

ColourScale AutoScale(double minVal, double maxVal) {
  ColourScale s;
  if (!std::isfinite(minVal) || !std::isfinite(maxVal)) return s;
  if (maxVal < minVal) std::swap(minVal, maxVal);
  for (double step : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
    const double lo = std::floor(minVal / step) * step;
    int classes = static_cast<int>(std::floor((maxVal - lo) / step)) + 1;
    if (classes <= 10 || step == 100.0) {
      s.lo = lo;
      s.step = step;
      s.classes = std::max(1, classes);
      return s;
    }
  }
  return s;
}

}  // namespace zw::coverage
