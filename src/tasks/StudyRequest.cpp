#include "tasks/StudyRequest.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>

#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"

namespace zw::tasks {
namespace {

// A number read from the start of the text (whole digits, '.', exponent) and
// the rest, trimmed. False when the text does not start with a finite number.
bool SplitNumber(std::string_view text, double& value, std::string& rest) {
  const std::string t = Trim(text);
  const char* first = t.data();
  if (!t.empty() && t.front() == '+') ++first;
  const auto r = std::from_chars(first, t.data() + t.size(), value);
  if (r.ec != std::errc() || !std::isfinite(value)) return false;
  rest = Trim(std::string_view(r.ptr, static_cast<std::size_t>(t.data() + t.size() - r.ptr)));
  return true;
}

// The unit among the accepted ones (without regard to case), as the table spells it.
std::string UnitOf(std::string_view given, std::initializer_list<std::string_view> units) {
  for (auto u : units)
    if (EqualsNoCase(given, u)) return std::string(u);
  return {};
}

std::string Plain(std::string_view text, std::string_view what, double& out) {
  std::string rest;
  if (!SplitNumber(text, out, rest) || !rest.empty())
    return std::string(what) + " '" + std::string(text) + "' is not a number";
  return {};
}

std::string Degrees(std::string_view text, std::string_view what, std::optional<double>& out) {
  std::string rest;
  double d = 0;
  if (!SplitNumber(text, d, rest) || !(d >= -360 && d <= 360) || !(rest.empty() || EqualsNoCase(rest, "deg") || EqualsNoCase(rest, "degrees")))
    return std::string(what) + " '" + std::string(text) + "' is not an angle in degrees from -360 to 360 (e.g. 90)";
  out = d;
  return {};
}

template <typename B>
std::string Flag(std::string_view text, std::string_view what, B& out) {
  const std::string t = ToLower(Trim(text));
  if (t == "1" || t == "true" || t == "yes" || t == "on") return out = true, std::string();
  if (t == "0" || t == "false" || t == "no" || t == "off") return out = false, std::string();
  return std::string(what) + " '" + std::string(text) + "' is not yes or no (1/0, true/false)";
}

std::string Length(std::string_view text, std::string_view what, std::optional<ValueUnit>& out,
                   std::string_view defaultUnit = "km") {
  ValueUnit v;
  if (auto why = ParseLengthText(text, defaultUnit, v); !why.empty()) return std::string(what) + " " + why;
  out = v;
  return {};
}

std::string Coordinate(std::string_view text, std::string_view kind, std::optional<double>& out) {
  double v = 0;
  std::string why;
  if (!ParseCoordinate(text, kind, v, &why)) return why;
  out = v;
  return {};
}

// Tile limits "S,W,N,E" in decimal degrees, or an extent around the site.
std::string Tile(StudyRequest& s, std::string_view text) {
  std::vector<double> b;
  std::size_t start = 0;
  const std::string t(text);
  if (t.find(',') != std::string::npos) {
    while (start <= t.size()) {
      const auto comma = t.find(',', start);
      const std::string part = t.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      double v = 0;
      if (!Plain(part, "tile limit", v).empty()) b.clear(), start = std::string::npos;
      else b.push_back(v);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (b.size() != 4 || !(b[0] < b[2]) || !(b[1] < b[3]) || b[0] < -90 || b[2] > 90 || b[1] < -180 || b[3] > 180)
      return "tile '" + t + "' is not SOUTH,WEST,NORTH,EAST in decimal degrees with south below north and west "
             "below east (e.g. 44.2,-71.7,44.7,-71.1), nor an extent around the site (e.g. 20km)";
    s.tileBounds = b;
    s.tileExtent.reset();
  } else {
    if (auto why = Length(text, "tile extent", s.tileExtent); !why.empty())
      return why + " (give the distance from the site to the tile's edges, e.g. 20km, or SOUTH,WEST,NORTH,EAST)";
    s.tileBounds.reset();
  }
  s.geometry = StudyGeometry::kTile;
  return {};
}

std::string Boundary(StudyRequest& s, std::string_view text) {
  const std::string t = Trim(text);
  const auto colon = t.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == t.size())
    return "boundary '" + t + "' is not FILE.bna:POLYGON (the BNA file and the polygon's name in it)";
  s.boundaryFile = t.substr(0, colon);
  s.boundaryId = t.substr(colon + 1);
  return {};
}

using Setter = std::function<std::string(StudyRequest&, std::string_view)>;
struct Setting {
  StudySettingInfo info;
  Setter set;
};

// Kept whole: one row per setting (name, kind, help, setter), read as a table.
const std::vector<Setting>& Table() {
  static const std::vector<Setting> table = {
      {{"desc", "TEXT", "task description (default: made from the study)"},
       [](StudyRequest& s, std::string_view v) { return s.desc = Trim(v), std::string(); }},
      {{"name", "TEXT", "facility name, e.g. \"WZWR-FM Mount Waumbek\""},
       [](StudyRequest& s, std::string_view v) { return s.name = Trim(v), std::string(); }},
      {{"lat", "LAT", "site latitude: decimal degrees or \"44 26 11.4 N\""},
       [](StudyRequest& s, std::string_view v) { return Coordinate(v, "LT", s.lat); }},
      {{"lon", "LON", "site longitude: decimal degrees or \"71 24 47.2 W\""},
       [](StudyRequest& s, std::string_view v) { return Coordinate(v, "LN", s.lon); }},
      {{"datum", "NAME", "datum of the coordinates: WGS 84 (default), NAD 83, NAD 27, WGS 72"},
       [](StudyRequest& s, std::string_view v) {
         const std::string d = DatumDisplayName(Trim(v));
         if (d.empty()) return "datum '" + std::string(v) + "' is not one of WGS 84, NAD 83, NAD 27, WGS 72";
         return s.datum = d, std::string();
       }},
      {{"site-elev", "LENGTH|terrain", "site ground elevation above sea level (m unless a unit follows), or "
                                       "\"terrain\" to read it from the DEM (default)"},
       [](StudyRequest& s, std::string_view v) {
         if (EqualsNoCase(Trim(v), "terrain") || EqualsNoCase(Trim(v), "from terrain")) {
           s.siteElevation.reset();
           return std::string();
         }
         double d = 0;
         std::string rest;
         if (!SplitNumber(v, d, rest) || (!rest.empty() && UnitOf(rest, {"m", "ft", "km", "mi"}).empty()))
           return "site elevation '" + std::string(v) + "' is not a height (e.g. 950, 950m, 3117ft) nor \"terrain\"";
         s.siteElevation = ValueUnit{d, rest.empty() ? "m" : UnitOf(rest, {"m", "ft", "km", "mi"})};
         return std::string();
       }},
      {{"freq", "MHZ", "frequency in MHz (or with a unit: 98.5MHz, 1.9GHz)"},
       [](StudyRequest& s, std::string_view v) {
         double d = 0;
         std::string rest;
         if (!SplitNumber(v, d, rest) || !(rest.empty() || !UnitOf(rest, {"MHz", "GHz", "kHz"}).empty()) || !(d > 0))
           return "frequency '" + std::string(v) + "' is not a frequency above 0 (e.g. 98.5 in MHz, 1.9GHz)";
         const std::string u = UnitOf(rest, {"MHz", "GHz", "kHz"});
         s.freqMHz = u == "GHz" ? d * 1000 : u == "kHz" ? d / 1000 : d;
         return std::string();
       }},
      {{"erp", "POWER", "effective radiated power with its unit: 50kW, 100 W, 17dBk (mW, W, kW, dBm, dBW, dBk)"},
       [](StudyRequest& s, std::string_view v) {
         ValueUnit p;
         if (auto why = ParsePowerText(v, p); !why.empty()) return why;
         return s.erp = p, std::string();
       }},
      {{"tx-agl", "LENGTH", "transmit antenna height above ground (m unless a unit follows: 330ft)"},
       [](StudyRequest& s, std::string_view v) { return Length(v, "transmit antenna height", s.txAgl, "m"); }},
      {{"antenna", "FILE[:SECTION]", "antenna pattern: a settings file with [Antenna Data] records (see README)"},
       [](StudyRequest& s, std::string_view v) {
         std::string t = Trim(v);
         s.antennaSection = "Antenna";
         if (const auto c = t.rfind(':'); c != std::string::npos && c > 1) {
           s.antennaSection = t.substr(c + 1);
           t = t.substr(0, c);
         }
         return s.antennaFile = t, std::string();
       }},
      {{"gain", "GAIN", "antenna maximum gain: 6, 6dBd, 8.15dBi (default 0 dBd)"},
       [](StudyRequest& s, std::string_view v) {
         double d = 0;
         std::string rest;
         if (!SplitNumber(v, d, rest) || (!rest.empty() && UnitOf(rest, {"dBd", "dBi"}).empty()))
           return "gain '" + std::string(v) + "' is not a gain in dBd or dBi (e.g. 6dBd)";
         s.gain = ValueUnit{d, rest.empty() ? "dBd" : UnitOf(rest, {"dBd", "dBi"})};
         return std::string();
       }},
      {{"orientation", "DEG", "antenna orientation, degrees from true north"},
       [](StudyRequest& s, std::string_view v) { return Degrees(v, "orientation", s.orientation); }},
      {{"etilt", "DEG", "electrical tilt, degrees (down is positive)"},
       [](StudyRequest& s, std::string_view v) { return Degrees(v, "electrical tilt", s.eTilt); }},
      {{"mtilt", "DEG", "mechanical tilt, degrees"},
       [](StudyRequest& s, std::string_view v) { return Degrees(v, "mechanical tilt", s.mTilt); }},
      {{"mdir", "DEG", "azimuth of the mechanical tilt, degrees"},
       [](StudyRequest& s, std::string_view v) { return Degrees(v, "mechanical tilt direction", s.mDir); }},
      {{"inverted", "yes|no", "antenna mounted upside down"},
       [](StudyRequest& s, std::string_view v) { return Flag(v, "inverted", s.inverted); }},
      {{"rx-agl", "LENGTH", "receive antenna height above ground (m unless a unit follows)"},
       [](StudyRequest& s, std::string_view v) { return Length(v, "receive antenna height", s.rxAgl, "m"); }},
      {{"threshold", "DBU", "field strength the receiver needs, dBu (dB above 1 uV/m)"},
       [](StudyRequest& s, std::string_view v) {
         double d = 0;
         std::string rest;
         if (!SplitNumber(v, d, rest) || !(rest.empty() || EqualsNoCase(rest, "dBu")))
           return "threshold '" + std::string(v) + "' is not a field strength in dBu (e.g. 60)";
         return s.thresholdDbu = d, std::string();
       }},
      {{"model", "CODE", "propagation model: a code or name of `ravoprop models` (LR, Hata, ...)"},
       [](StudyRequest& s, std::string_view v) {
         const std::string code = ModelCodeOf(Trim(v));
         if (code.empty()) {
           std::string all;
           for (const auto& c : ModelCodes()) all += (all.empty() ? "" : ", ") + c;
           return "model '" + std::string(v) + "' is not a model of `ravoprop models` (" + all + ")";
         }
         if (!s.model.empty() && code != s.model) s.modelSettings.clear();  // another model's keys do not carry over
         return s.model = code, std::string();
       }},
      {{"template", "FILE", "model template file ([Propagation Model]; `ravoprop template new`)"},
       [](StudyRequest& s, std::string_view v) { return s.templateFile = Trim(v), std::string(); }},
      {{"k-value", "K", "effective earth-radius factor (default 1.333)"},
       [](StudyRequest& s, std::string_view v) {
         double k = 0;
         if (auto why = Plain(v, "K-value", k); !why.empty() || !(k > 0))
           return "K-value '" + std::string(v) + "' is not a number above 0 (e.g. 1.333)";
         return s.kValue = k, std::string();
       }},
      {{"radials", "N", "radial study: number of radials, evenly spaced from north"},
       [](StudyRequest& s, std::string_view v) {
         double n = 0;
         if (!Plain(v, "radials", n).empty() || n < 1 || n > 3600 || n != std::trunc(n))
           return "radials '" + std::string(v) + "' is not a whole number from 1 to 3600";
         s.radials = static_cast<int>(n);
         if (s.geometry != StudyGeometry::kTargets) s.geometry = StudyGeometry::kRadials;
         return std::string();
       }},
      {{"distance", "LENGTH", "length of each radial (km unless a unit follows: 500m, 10mi)"},
       [](StudyRequest& s, std::string_view v) { return Length(v, "distance", s.distance); }},
      {{"step", "LENGTH", "step between points along a radial, or of the tile grid (km unless a unit follows)"},
       [](StudyRequest& s, std::string_view v) { return Length(v, "step", s.step); }},
      {{"tile", "EXTENT|S,W,N,E", "tile study: the site +- EXTENT (km unless a unit follows), or limits in degrees"},
       [](StudyRequest& s, std::string_view v) { return Tile(s, v); }},
      {{"boundary", "FILE.bna:POLYGON", "tile study: only the points inside this polygon"},
       [](StudyRequest& s, std::string_view v) { return Boundary(s, v); }},
      {{"contour", "DBU", "contour study of the radials at this field, dBu"},
       [](StudyRequest& s, std::string_view v) {
         double d = 0;
         std::string rest;
         if (!SplitNumber(v, d, rest) || !(rest.empty() || EqualsNoCase(rest, "dBu")))
           return "contour '" + std::string(v) + "' is not a field strength in dBu (e.g. 60)";
         return s.contourDbu = d, std::string();
       }},
      {{"percent", "PCT", "percent of locations of contour studies and curve models (default 50)"},
       [](StudyRequest& s, std::string_view v) {
         double p = 0;
         if (!Plain(v, "percent", p).empty() || !(p > 0 && p < 100))
           return "percent '" + std::string(v) + "' is not a number above 0 and below 100 (e.g. 50)";
         return s.contourPercent = p, std::string();
       }},
      {{"targets", "FILE", "target study: one LAT,LON per line (decimal degrees or DMS)"},
       [](StudyRequest& s, std::string_view v) {
         std::vector<TargetPoint> t;
         if (auto why = ReadTargetsFile(Trim(v), t); !why.empty()) return why;
         s.targetsFile = Trim(v);
         s.targets = std::move(t);
         s.geometry = StudyGeometry::kTargets;
         return std::string();
       }},
      {{"dem", "PATH", "terrain: DEM file or directory (default: the configured terrain)"},
       [](StudyRequest& s, std::string_view v) { return s.dem = Trim(v), std::string(); }},
      {{"terrain-step", "LENGTH", "terrain profile sampling step (km unless a unit follows; default 90m)"},
       [](StudyRequest& s, std::string_view v) { return Length(v, "terrain step", s.terrainStep); }},
      {{"details", "yes|no", "write each point's account to the task's text report"},
       [](StudyRequest& s, std::string_view v) { return Flag(v, "details", s.details); }},
  };
  return table;
}

}  // namespace

const std::vector<StudySettingInfo>& StudySettings() {
  static const std::vector<StudySettingInfo> infos = [] {
    std::vector<StudySettingInfo> out;
    for (const auto& s : Table()) out.push_back(s.info);
    return out;
  }();
  return infos;
}

std::string ApplyStudySetting(StudyRequest& req, std::string_view name, std::string_view value) {
  std::string key = Trim(name);
  while (!key.empty() && key.front() == '-') key.erase(0, 1);
  for (const auto& s : Table()) {
    if (!EqualsNoCase(s.info.name, key)) continue;
    StudyRequest copy = req;
    if (auto why = s.set(copy, value); !why.empty()) return why;
    req = std::move(copy);
    return {};
  }
  // A model template key: checked against the model when the study is built.
  const bool templateKey = !key.empty() && key.find_first_of("=[]|\r\n ") == std::string::npos &&
                           key.find('-') == std::string::npos;
  if (!templateKey) return "'" + std::string(name) + "' is not a study setting (see `ravoprop task new --help`)";
  for (auto& [k, v] : req.modelSettings)
    if (EqualsNoCase(k, key)) return v = Trim(value), std::string();
  req.modelSettings.emplace_back(key, Trim(value));
  return {};
}

std::string ParseLengthText(std::string_view text, std::string_view defaultUnit, ValueUnit& out) {
  double d = 0;
  std::string rest;
  if (!SplitNumber(text, d, rest) || (!rest.empty() && UnitOf(rest, {"m", "km", "ft", "mi", "nm"}).empty()))
    return "'" + std::string(text) + "' is not a length (e.g. 30 in " + std::string(defaultUnit) +
           ", or with a unit: 500m, 1.5km, 10mi, 330ft)";
  if (!(d > 0)) return "'" + std::string(text) + "' must be above 0";
  out = ValueUnit{d, rest.empty() ? std::string(defaultUnit) : UnitOf(rest, {"m", "km", "ft", "mi", "nm"})};
  return {};
}

std::string ParsePowerText(std::string_view text, ValueUnit& out) {
  double d = 0;
  std::string rest;
  const std::string unit = SplitNumber(text, d, rest) ? UnitOf(rest, {"mW", "W", "kW", "dBm", "dBW", "dBk"}) : "";
  if (unit.empty())
    return "ERP '" + std::string(text) + "' is not a power with its unit (e.g. 50kW, 100 W, 17dBk; units mW, W, kW, "
           "dBm, dBW, dBk)";
  if (unit.find("dB") == std::string::npos && !(d > 0)) return "ERP '" + std::string(text) + "' must be above 0";
  out = ValueUnit{d, unit};
  return {};
}

void AddProblem(std::string& list, std::string_view problem) {
  if (!list.empty()) list += '\n';
  list += "  ";
  list += problem;
}

std::string ReadTargetsFile(const std::string& file, std::vector<TargetPoint>& out) {
  std::ifstream in(file);
  if (!in) return "The targets file " + file + " was not found or cannot be read";
  out.clear();
  std::string line, bad;
  int n = 0, badCount = 0;
  while (std::getline(in, line)) {
    ++n;
    const std::string t = Trim(line);
    if (t.empty() || t.front() == '#') continue;
    if (n == 1 && t.find_first_of("0123456789") == std::string::npos) continue;  // a header
    TargetPoint p;
    std::string why;
    if (!ParseLatLonText(t, p.lat, p.lon, &why)) {
      if (++badCount <= 10) AddProblem(bad, fmt::format("line {}: {} ({})", n, t, why));
      continue;
    }
    out.push_back(p);
  }
  if (badCount > 0)
    return "The targets file " + file + " has " + std::to_string(badCount) +
           " line(s) that are not LAT,LON (decimal degrees or DMS):\n" + bad;
  if (out.empty()) return "The targets file " + file + " holds no target (one LAT,LON per line)";
  return {};
}

}  // namespace zw::tasks
