#include "coverage/ResultsExport.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <fmt/format.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "common/ModelTable.h"
#include "common/calcMiscMath.h"
#include "coverage/Aggregate.h"
#include "common/TextJoin.h"
#include "geo/Geodesic.h"
#include "platform/DbfTable.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

constexpr float kGeoTiffNoData = -9999.0f;
constexpr long kMaxCells = 25'000'000;

bool IsTxRecord(const RdbRecord& r) { return ToUpper(r.desc.substr(0, std::min<std::size_t>(6, r.desc.size()))) == "TX SIT"; }
bool IsContourRecord(const RdbRecord& r) { return r.desc.size() >= 6 && ToUpper(r.desc.substr(3, 3)) == "CTR"; }

// A unique in-memory file name for GDAL output.
std::string MemName(std::string_view ext) {
  static std::atomic<unsigned> counter{0};
  return fmt::format("/vsimem/ravo_export_{}.{}", counter++, ext);
}

// Moves a finished in-memory GDAL file onto the target (temporary, rename).
std::string CommitMemFile(const std::string& mem, const fs::path& file) {
  vsi_l_offset size = 0;
  GByte* data = VSIGetMemFileBuffer(mem.c_str(), &size, FALSE);
  std::string error;
  if (data == nullptr || size == 0) {
    error = "GDAL produced no data for " + file.string();
  } else if (!platform::WriteFileAtomic(file, std::string_view(reinterpret_cast<const char*>(data), size), &error)) {
    error = "Cannot write " + file.string() + ": " + error;
  }
  VSIUnlink(mem.c_str());
  VSIUnlink((mem + ".aux.xml").c_str());
  return error;
}

std::string GdalError(std::string_view what) {
  const char* msg = CPLGetLastErrorMsg();
  return std::string(what) + (msg && *msg ? std::string(": ") + msg : std::string());
}

std::string WriteText(const fs::path& file, const std::string& text) {
  std::string error;
  if (!platform::WriteFileAtomic(file, text, &error)) return "Cannot write " + file.string() + ": " + error;
  return {};
}

std::string XmlEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out.push_back(c);
    }
  }
  return out;
}

// Table text may hold any byte; JSON wants valid UTF-8. Bytes that are not
// ASCII are taken as Latin-1 (the tables' own code page).
std::string ToUtf8(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string CsvField(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string Num(double v) { return fmt::format("{}", v); }

}  // namespace

std::optional<ExportFormat> ParseExportFormat(std::string_view name) {
  const std::string n = ToUpper(Trim(name));
  if (n == "GEOTIFF" || n == "TIF" || n == "TIFF") return ExportFormat::GeoTiff;
  if (n == "PNG") return ExportFormat::Png;
  if (n == "KML") return ExportFormat::Kml;
  if (n == "GEOJSON" || n == "JSON") return ExportFormat::GeoJson;
  if (n == "CSV") return ExportFormat::Csv;
  return std::nullopt;
}

bool IsComputed(double val) {
  return std::isfinite(val) && val != kRdbNotComputed && val != kRdbFailedPath && val > kRdbNotComputed;
}

std::string LoadStudyResults(const fs::path& table, const ExportOptions& options, StudyResults& out) {
  out = StudyResults{};
  out.table = table;
  std::error_code ec;
  if (!fs::is_regular_file(table, ec)) return "Results table not found: " + table.string();
  platform::DbfTable t;
  if (auto err = t.Open(table, true); !err.empty()) return "Cannot read the results table " + table.string() + ": " + err;
  for (const char* f : {"RDB_DESC", "RDB_LAT", "RDB_LON", "RDB_AZ", "RDB_DIS", "RDB_VAL"})
    if (!t.HasField(f)) return "Not a results table (no " + std::string(f) + " field): " + table.string();
  const int fDesc = t.FieldIndex("RDB_DESC"), fLat = t.FieldIndex("RDB_LAT"), fLon = t.FieldIndex("RDB_LON"),
            fAz = t.FieldIndex("RDB_AZ"), fDis = t.FieldIndex("RDB_DIS"), fVal = t.FieldIndex("RDB_VAL"),
            fWrnLvl = t.FieldIndex("RDB_WRNLVL"), fWrn = t.FieldIndex("RDB_WRNING"), fElv = t.FieldIndex("RDB_ELV"),
            fLuCode = t.FieldIndex("RDB_LUCODE"), fLuLoss = t.FieldIndex("RDB_LULOSS");
  const std::vector<int> records = t.AllRecords();
  out.all.reserve(records.size());
  for (int r : records) {
    RdbRecord rec;
    rec.record = r;
    rec.desc = Trim(t.Text(r, fDesc));
    rec.lat = t.Number(r, fLat);
    rec.lon = t.Number(r, fLon);
    rec.az = t.Number(r, fAz);
    rec.dis = t.Number(r, fDis);
    rec.val = t.IsNull(r, fVal) ? kRdbNotComputed : t.Number(r, fVal);
    rec.wrnLvl = t.Integer(r, fWrnLvl);
    rec.wrnBits = t.Integer(r, fWrn);
    rec.elvEmpty = t.IsNull(r, fElv);
    rec.elv = static_cast<float>(t.Number(r, fElv));
    rec.luEmpty = t.IsNull(r, fLuCode);
    rec.luCode = static_cast<std::int16_t>(t.Integer(r, fLuCode, -32768, 32767));
    rec.luLoss = t.Number(r, fLuLoss);
    out.all.push_back(std::move(rec));
  }
  t.Close();

  std::map<std::string, std::vector<RdbRecord>> studies, contours;
  for (const auto& r : out.all) {
    if (IsTxRecord(r)) {
      if (!out.tx) out.tx = r;
    } else if (IsContourRecord(r)) {
      contours[r.desc].push_back(r);
    } else {
      studies[r.desc].push_back(r);
    }
  }
  if (!options.studyCode.empty()) {
    const std::string want = Trim(options.studyCode);
    const std::vector<RdbRecord>* found = nullptr;
    if (auto it = studies.find(want); it != studies.end()) found = &it->second;
    else if (auto c = contours.find(want); c != contours.end()) found = &c->second;
    if (!found) return "The results table " + table.string() + " holds no study \"" + want + "\"";
    out.code = want;
    out.points = *found;
  } else if (!studies.empty()) {
    auto best = studies.begin();
    for (auto it = studies.begin(); it != studies.end(); ++it)
      if (it->second.size() > best->second.size()) best = it;
    out.code = best->first;
    out.points = std::move(best->second);
  } else if (!contours.empty()) {
    // Models that give contours directly leave only the contour points.
    out.code = contours.begin()->first;
    out.points = contours.begin()->second;
  }
  for (auto& [desc, recs] : contours) {
    std::stable_sort(recs.begin(), recs.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
    out.contours.push_back(recs);
  }
  out.tile = out.code.size() >= 6 && ToUpper(out.code.substr(3, 3)) == "TIL";
  if (out.points.empty()) return "The results table " + table.string() + " holds no study points";
  return DescribeStudyResults(out);
}

namespace {

// What the values of a study are: the model of its task file (R<n>.DBF
// beside T<n>.INI) through the model table, or the method of a study made
// from other studies.
void DescribeValues(StudyResults& out) {
  const fs::path& table = out.table;
  std::string combinedType;
  int method = -1;
  std::string stem = table.stem().string();
  if (!stem.empty() && (stem[0] == 'R' || stem[0] == 'r')) {
    const fs::path taskFile = table.parent_path() / ("T" + stem.substr(1) + ".INI");
    std::error_code fe;
    if (fs::is_regular_file(taskFile, fe)) {
      out.model = platform::ProfileGetString("Propagation Model", "MODEL", "", taskFile);
      combinedType = ToUpper(platform::ProfileGetString("TASK", "Task Type", "", taskFile));
      method = std::atoi(platform::ProfileGetString("TASK", "cboMathOpsIndex", "-1", taskFile).c_str());
    }
  }
  const ModelQuantity q = ModelResultOf(out.model);
  out.quantity = q.quantity;
  out.unit = q.unit;
  // Studies made from other studies: the value their method gives.
  if (combinedType.rfind("INTERFERENCE", 0) == 0) {
    out.quantity = "protection margin", out.unit = "dB";
  } else if (combinedType.rfind("AGGREGATE", 0) == 0 || combinedType.rfind("COMPOSITE", 0) == 0) {
    if (const auto m = AggregateMethodOf(method)) {
      const MethodQuantity mq = AggregateQuantity(*m);
      out.quantity = mq.quantity, out.unit = mq.unit;
    }
  }
}

// One point per radial: no azimuth holds two points of the study.
template <class Az>
bool OnePointPerRadial(std::size_t n, Az az) {
  std::vector<long long> key;
  key.reserve(n);
  for (std::size_t i = 0; i < n; ++i) key.push_back(std::llround(az(i) * 1e6));
  std::sort(key.begin(), key.end());
  return std::adjacent_find(key.begin(), key.end()) == key.end();
}

std::string NothingComputed(const StudyResults& out, std::size_t points) {
  return fmt::format("No {} has been computed in {} ({} points of study {} not computed): run the study first",
                     out.quantity, out.table.string(), points, out.code);
}

}  // namespace

std::string DescribeStudyResults(StudyResults& out) {
  DescribeValues(out);
  if (!out.tile) out.pointPerRadial = OnePointPerRadial(out.points.size(), [&](std::size_t i) { return out.points[i].az; });
  out.computed = 0;
  for (const auto& p : out.points)
    if (IsComputed(p.val)) ++out.computed;
  return out.computed == 0 ? NothingComputed(out, out.points.size()) : std::string();
}

std::string DescribeStudyInMemory(const fs::path& table, const GeneratedStudy& g, const std::vector<PointValue>& values,
                                  int valueDecimals, StudyResults& described, std::vector<double>& tableValues) {
  described = StudyResults{};
  described.table = table;
  described.code = Trim(g.code);
  described.tile = described.code.size() >= 6 && ToUpper(described.code.substr(3, 3)) == "TIL";
  tableValues.assign(g.points.size(), kRdbNotComputed);
  for (std::size_t i = 0; i < g.points.size() && i < values.size(); ++i) {
    const PointValue& v = values[i];
    if (v.status == PointStatus::kComputed || v.status == PointStatus::kModelFailed) {
      tableValues[i] = RoundToDecimals(v.fieldDbu, valueDecimals);
      if (IsComputed(tableValues[i])) ++described.computed;
    }
  }
  if (g.points.empty()) return "The study holds no points";
  DescribeValues(described);
  if (!described.tile)
    described.pointPerRadial = OnePointPerRadial(g.points.size(), [&](std::size_t i) { return g.points[i].az; });
  return described.computed == 0 ? NothingComputed(described, g.points.size()) : std::string();
}

double StudyResults::ValueOf(const RdbRecord& r) const {
  if (!IsComputed(r.val)) return std::numeric_limits<double>::quiet_NaN();
  return quantity == "contour distance" ? r.dis : r.val;
}

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

std::string RasteriseRadials(const StudyResults& s, const ExportOptions& o, FieldRaster& out) {
  if (!s.tx) return "The results table " + s.table.string() + " has no transmitter site record (TX SIT...)";
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
  // Usual angle between neighbouring radials (median of the gaps).
  const std::size_t m = radials.size();
  std::vector<double> gaps;
  for (std::size_t i = 0; i < m; ++i)
    gaps.push_back(m == 1 ? 360.0 : Wrap360(radials[(i + 1) % m].az - radials[i].az));
  std::vector<double> sortedGaps = gaps;
  std::sort(sortedGaps.begin(), sortedGaps.end());
  const double usual = m == 1 ? 2.0 : std::max(1e-6, sortedGaps[m / 2 - (m % 2 == 0 ? 1 : 0)]);

  // Extent: the transmitter and every point.
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
  const int size = std::clamp(o.rasterSize, 2, 10000);
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
  for (int row = 0; row < out.height; ++row) {
    const double lat = north - (row + 0.5) * dLat;
    for (int col = 0; col < out.width; ++col) {
      const double lon = west + (col + 0.5) * dLon;
      double az = 0, dis = 0;
      if (!Geodesic::InverseKm(s.tx->lat, s.tx->lon, lat, lon, az, dis)) continue;
      az = Wrap360(az);
      // The radials either side of the cell's azimuth.
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

std::string WriteGeoTiff(const FieldRaster& raster, const fs::path& file, const std::string& quantity,
                         const std::string& unit) {
  if (raster.width <= 0 || raster.height <= 0) return "Nothing to write to " + file.string();
  GDALAllRegister();
  GDALDriverH drv = GDALGetDriverByName("GTiff");
  if (!drv) return "GDAL has no GTiff driver";
  const std::string mem = MemName("tif");
  const char* opts[] = {"COMPRESS=DEFLATE", nullptr};
  GDALDatasetH ds = GDALCreate(drv, mem.c_str(), raster.width, raster.height, 1, GDT_Float32, const_cast<char**>(opts));
  if (!ds) return GdalError("Cannot create the GeoTIFF");
  std::string error;
  double gt[6];
  std::copy(raster.geo, raster.geo + 6, gt);
  GDALSetGeoTransform(ds, gt);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRSetWellKnownGeogCS(srs, "WGS84");
  char* wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  GDALSetProjection(ds, wkt);
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  GDALSetRasterNoDataValue(band, kGeoTiffNoData);
  GDALSetMetadataItem(band, "UNITS", unit.c_str(), nullptr);
  GDALSetMetadataItem(band, "QUANTITY", quantity.c_str(), nullptr);
  GDALSetMetadataItem(band, "UNIT", unit.c_str(), nullptr);
  GDALSetMetadataItem(ds, "QUANTITY", quantity.c_str(), nullptr);
  GDALSetMetadataItem(ds, "UNIT", unit.c_str(), nullptr);
  GDALSetRasterUnitType(band, unit.c_str());
  GDALSetDescription(band, (quantity + " (" + unit + ")").c_str());
  std::vector<float> data(raster.values);
  for (float& v : data)
    if (!std::isfinite(v)) v = kGeoTiffNoData;
  if (GDALRasterIO(band, GF_Write, 0, 0, raster.width, raster.height, data.data(), raster.width, raster.height,
                   GDT_Float32, 0, 0) != CE_None)
    error = GdalError("Cannot write the GeoTIFF values");
  GDALClose(ds);
  if (!error.empty()) {
    VSIUnlink(mem.c_str());
    return error;
  }
  return CommitMemFile(mem, file);
}

std::string KmlDocument(const StudyResults& study, const FieldRaster& raster, const std::string& overlayName,
                        const std::string& legendName) {
  const std::string stem = fs::path(overlayName).stem().string();
  const double north = raster.geo[3], south = raster.geo[3] + raster.height * raster.geo[5];
  const double west = raster.geo[0], east = raster.geo[0] + raster.width * raster.geo[1];
  std::string title = study.quantity + " (" + study.unit + ")";
  if (!title.empty()) title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
  const std::string data = fmt::format(
      "    <ExtendedData><Data name=\"quantity\"><value>{}</value></Data>"
      "<Data name=\"unit\"><value>{}</value></Data></ExtendedData>\n",
      XmlEscape(study.quantity), XmlEscape(study.unit));
  std::string k;
  k += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
  k += fmt::format("  <name>{}</name>\n", XmlEscape(ToUtf8(study.code.empty() ? stem : study.code)));
  k += data;
  if (!raster.pointsOnly) {
    k += fmt::format("  <GroundOverlay>\n    <name>{}</name>\n", XmlEscape(title));
    k += fmt::format("    <Icon><href>{}</href></Icon>\n", XmlEscape(overlayName));
    k += fmt::format(
        "    <LatLonBox>\n      <north>{:.9f}</north>\n      <south>{:.9f}</south>\n      <east>{:.9f}</east>\n"
        "      <west>{:.9f}</west>\n    </LatLonBox>\n  </GroundOverlay>\n",
        north, south, east, west);
  } else {
    // One point per radial: the points with their values, and the closed contour.
    k += fmt::format("  <Folder>\n    <name>{}</name>\n", XmlEscape(title));
    for (const auto& p : study.points) {
      const double v = study.ValueOf(p);
      k += fmt::format("    <Placemark>\n      <name>{}</name>\n",
                       std::isfinite(v) ? fmt::format("{:.2f} {}", v, XmlEscape(study.unit)) : std::string("no data"));
      k += fmt::format("      <description>azimuth {} deg, {} km</description>\n", Num(p.az), Num(p.dis));
      k += "  " + data;
      k += fmt::format("      <Point><coordinates>{:.9f},{:.9f},0</coordinates></Point>\n    </Placemark>\n", p.lon,
                       p.lat);
    }
    for (const auto& ring : raster.rings) {
      k += "    <Placemark>\n      <name>Contour</name>\n      <Style><LineStyle><width>2</width></LineStyle>"
           "<PolyStyle><fill>0</fill></PolyStyle></Style>\n      <Polygon><outerBoundaryIs><LinearRing><coordinates>";
      for (const auto& [lat, lon] : ring) k += fmt::format("{:.9f},{:.9f},0 ", lon, lat);
      k += fmt::format("{:.9f},{:.9f},0</coordinates></LinearRing></outerBoundaryIs></Polygon>\n    </Placemark>\n",
                       ring.front().second, ring.front().first);
    }
    k += "  </Folder>\n";
  }
  k += fmt::format("  <ScreenOverlay>\n    <name>Legend ({})</name>\n", XmlEscape(study.unit));
  k += fmt::format("    <Icon><href>{}</href></Icon>\n", XmlEscape(legendName));
  k += "    <overlayXY x=\"0\" y=\"0\" xunits=\"fraction\" yunits=\"fraction\"/>\n"
       "    <screenXY x=\"0.01\" y=\"0.05\" xunits=\"fraction\" yunits=\"fraction\"/>\n  </ScreenOverlay>\n";
  if (study.tx) {
    const std::string name = Trim(study.tx->desc.size() > 6 ? study.tx->desc.substr(6) : std::string());
    k += fmt::format("  <Placemark>\n    <name>{}</name>\n", XmlEscape(ToUtf8(name.empty() ? "Transmitter" : name)));
    k += fmt::format("    <Point><coordinates>{:.9f},{:.9f},0</coordinates></Point>\n  </Placemark>\n",
                     study.tx->lon, study.tx->lat);
  }
  for (const auto& c : study.contours) {
    if (c.size() < 2 || raster.pointsOnly) continue;
    k += fmt::format("  <Placemark>\n    <name>{}</name>\n    <LineString><coordinates>", XmlEscape(ToUtf8(c.front().desc)));
    for (const auto& p : c) k += fmt::format("{:.9f},{:.9f},0 ", p.lon, p.lat);
    k += fmt::format("{:.9f},{:.9f},0</coordinates></LineString>\n  </Placemark>\n", c.front().lon, c.front().lat);
  }
  k += "</Document>\n</kml>\n";
  return k;
}

std::string WriteGeoJson(const StudyResults& study, const fs::path& file) {
  using nlohmann::json;
  auto orNull = [](bool empty, double v) { return empty ? json(nullptr) : json(v); };
  json features = json::array();
  if (study.tx) {
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Point"}, {"coordinates", {study.tx->lon, study.tx->lat}}}},
                        {"properties",
                         {{"kind", "transmitter"},
                          {"quantity", study.quantity},
                          {"unit", study.unit},
                          {"desc", ToUtf8(study.tx->desc)},
                          {"elevation", orNull(study.tx->elvEmpty, study.tx->elv)}}}});
  }
  for (const auto& p : study.points) {
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Point"}, {"coordinates", {p.lon, p.lat}}}},
                        {"properties",
                         {{"kind", "point"},
                          {"desc", ToUtf8(p.desc)},
                          {"azimuth", p.az},
                          {"distance", p.dis},
                          {"value", orNull(!IsComputed(p.val), study.ValueOf(p))},
                          {"quantity", study.quantity},
                          {"unit", study.unit},
                          {"elevation", orNull(p.elvEmpty, p.elv)},
                          {"landuse_code", p.luEmpty ? json(nullptr) : json(p.luCode)}}}});
  }
  // The contours of the table, or for a study of one point per radial
  // without any, the closed ring through its points.
  std::vector<std::vector<RdbRecord>> rings = study.contours;
  if (rings.empty() && study.pointPerRadial) {
    std::vector<RdbRecord> byAz;
    for (const auto& p : study.points)
      if (IsComputed(p.val)) byAz.push_back(p);
    std::stable_sort(byAz.begin(), byAz.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
    rings.push_back(byAz);
  }
  for (const auto& c : rings) {
    if (c.size() < 3) continue;  // no area to enclose
    json ring = json::array();
    for (const auto& p : c) ring.push_back({p.lon, p.lat});
    ring.push_back({c.front().lon, c.front().lat});
    // A contour's own value is the field level it follows (dBu).
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}},
                        {"properties",
                         {{"kind", "contour"},
                          {"desc", ToUtf8(c.front().desc)},
                          {"level_dbu", c.front().val},
                          {"quantity", study.quantity},
                          {"unit", study.unit}}}});
  }
  json fc = {{"type", "FeatureCollection"}, {"quantity", study.quantity}, {"unit", study.unit}, {"features", features}};
  return WriteText(file, fc.dump(1) + "\n");
}

std::string WriteCsv(const StudyResults& study, const fs::path& file) {
  std::string out =
      "record,desc,lat,lon,azimuth_deg,distance_km,value,quantity,unit,elevation_m,landuse_code,landuse_loss_db,"
      "warning_level,warning_bits\r\n";
  const std::string what = CsvField(study.quantity) + "," + CsvField(study.unit);
  for (const auto& r : study.all) {
    const double v = study.ValueOf(r);
    out += fmt::format("{},{},{:.9f},{:.9f},{},{},{},{},{},{},{},{},{}\r\n", r.record, CsvField(r.desc), r.lat, r.lon,
                       Num(r.az), Num(r.dis), std::isfinite(v) ? Num(v) : std::string(), what,
                       r.elvEmpty ? std::string() : Num(r.elv), r.luEmpty ? std::string() : Num(r.luCode),
                       r.luEmpty ? std::string() : Num(r.luLoss), r.wrnLvl, r.wrnBits);
  }
  return WriteText(file, out);
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
