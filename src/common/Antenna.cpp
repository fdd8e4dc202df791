#include "common/Antenna.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "common/ErrorHandler.h"
#include "common/calcMiscMath.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/DbfTable.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"

namespace zw {

namespace fs = std::filesystem;

namespace {

// Points 1..n that both arrays really hold (0 when count is below 1).
int UsablePoints(int count, const std::vector<double>& a, const std::vector<double>& b) {
  if (count < 1) return 0;
  const std::size_t held = std::min(a.size(), b.size());
  if (held < 2) return 0;
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count), held - 1));
}

void SetPattern(const std::vector<std::pair<double, double>>& points, int& count, std::vector<double>& angles,
                std::vector<double>& gains) {
  const int n = static_cast<int>(std::min<std::size_t>(points.size(), kMaxPatternPoints));
  angles.assign(static_cast<std::size_t>(n) + 1, 0.0);
  gains.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 0; i < n; ++i) {
    angles[static_cast<std::size_t>(i) + 1] = points[static_cast<std::size_t>(i)].first;
    gains[static_cast<std::size_t>(i) + 1] = points[static_cast<std::size_t>(i)].second;
  }
  count = n;
}

// Linear interpolation over points 1..n in either order of angles; outside
// them (or in unordered data with no bracketing pair) the nearest point.
double InterpolatePattern(double x, int n, const std::vector<double>& a, const std::vector<double>& g) {
  for (int i = 1; i < n; ++i) {
    const double a0 = a[static_cast<std::size_t>(i)], a1 = a[static_cast<std::size_t>(i) + 1];
    if (x < std::min(a0, a1) || x > std::max(a0, a1)) continue;
    const double g0 = g[static_cast<std::size_t>(i)], g1 = g[static_cast<std::size_t>(i) + 1];
    if (a1 == a0) return g0;
    return g0 + (x - a0) / (a1 - a0) * (g1 - g0);
  }
  int best = 1;
  for (int i = 2; i <= n; ++i) {
    if (std::abs(a[static_cast<std::size_t>(i)] - x) < std::abs(a[static_cast<std::size_t>(best)] - x)) best = i;
  }
  return g[static_cast<std::size_t>(best)];
}

bool IsDesiredUnit(std::string_view units) {
  const std::string u = ToUpper(Trim(units));
  return u == "DBI" || u == "DBD" || u == "REL";
}

// The file in dir named name, matched without regard to case when the exact
// name is not there (library names come from Windows, where case is free).
fs::path FindNoCase(const fs::path& dir, const std::string& name) {
  fs::path exact = dir / name;
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(it->path().filename().string(), name) && it->is_regular_file(ec)) return it->path();
  }
  return exact;
}

// Library name without a ".DBF" the caller may have left on it.
std::string LibraryBase(std::string_view library) {
  std::string base = Trim(library);
  if (base.size() > 4 && EqualsNoCase(std::string_view(base).substr(base.size() - 4), ".DBF")) {
    base.resize(base.size() - 4);
  }
  return base;
}

void Show(bool silent, std::string_view title, std::string_view text) {
  if (!silent) platform::Messages().Information(title, text);
}

// A pattern table's points for id, ordered by angle, converted to units.
// Empty optional with *why set on a failure.
std::optional<std::vector<std::pair<double, double>>> ReadPatternTable(
    const fs::path& file, const std::string& id, const char* angleField, const char* valueField,
    std::string_view units, double maxGain, std::string_view maxGainUnits, std::string& why) {
  platform::DbfTable t;
  if (std::string e = t.Open(file, true); !e.empty()) {
    why = e;
    return std::nullopt;
  }
  for (const char* f : {"ATYPE_ID", angleField, valueField}) {
    if (!t.HasField(f)) {
      why = "Field " + std::string(f) + " missing in " + file.string();
      return std::nullopt;
    }
  }
  const std::vector<int> rows = t.Find("ATYPE_ID", id, true);
  std::string sortError;
  const std::vector<int> ordered = t.Sorted({{angleField, false}}, &rows, &sortError);
  if (!sortError.empty()) {
    why = sortError;
    return std::nullopt;
  }
  if (ordered.size() > static_cast<std::size_t>(kMaxPatternPoints)) {
    why = "Too many pattern rows in " + file.string();
    return std::nullopt;
  }
  std::vector<std::pair<double, double>> points;
  points.reserve(ordered.size());
  for (int rec : ordered) {
    const double angle = t.Number(rec, angleField);
    const double field = t.Number(rec, valueField);
    bool err = false;
    std::string message;
    const std::string g = ConvertPatternGain("REL", units, field, maxGain, maxGainUnits, err, message);
    if (err || !std::isfinite(angle)) {
      why = JoinLines(std::string(valueField) + " at " + FormatGeneral(angle), message);
      return std::nullopt;
    }
    points.emplace_back(angle, ParseDouble(g));
  }
  return points;
}

std::string TextOr(const platform::DbfTable& t, int rec, std::string_view field, std::string_view def) {
  if (!t.HasField(field) || t.IsNull(rec, field)) return std::string(def);
  std::string s = Trim(ToText(t.Value(rec, field)));
  return s.empty() ? std::string(def) : s;
}

}  // namespace

// ---- clsAntenna ---------------------------------------------------------------

void clsAntenna::ClearPattern() {
  iHorCount = 0;
  daHaz.assign(1, 0.0);
  daHgain.assign(1, 0.0);
  iVertCount = 0;
  daVel.assign(1, 0.0);
  daVgain.assign(1, 0.0);
  bVertInverted = false;
}

void clsAntenna::SetHorizontal(const std::vector<std::pair<double, double>>& points) {
  SetPattern(points, iHorCount, daHaz, daHgain);
}

void clsAntenna::SetVertical(const std::vector<std::pair<double, double>>& points) {
  SetPattern(points, iVertCount, daVel, daVgain);
  bVertInverted = false;
}

void clsAntenna::Invert() {
  if (bVertInverted) return;
  const int n = UsablePoints(iVertCount, daVel, daVgain);
  for (int i = 1; i <= n; ++i) daVel[static_cast<std::size_t>(i)] = -daVel[static_cast<std::size_t>(i)];
  std::reverse(daVel.begin() + 1, daVel.begin() + 1 + n);
  std::reverse(daVgain.begin() + 1, daVgain.begin() + 1 + n);
  bVertInverted = true;
}

double clsAntenna::HorGain(double azimuth, double def) const {
  return HorizontalGain(azimuth, iHorCount, daHaz, daHgain, dOrien, def);
}

double clsAntenna::VertGain(std::string_view mode, double azimuth, double elevAngle, double def, bool& err) const {
  return VerticalGain(mode, azimuth, elevAngle, iVertCount, daVel, daVgain, dMTilt, dMDir, dETilt, def, err);
}

// ---- Lookups --------------------------------------------------------------------

double HorizontalGain(double azimuth, int count, const std::vector<double>& az, const std::vector<double>& gain,
                      double orientation, double def) {
  const int n = UsablePoints(count, az, gain);
  if (n < 1) return def;
  // Relative azimuth in [0, 360); any number of turns is taken off.
  double r = azimuth - orientation;
  if (!std::isfinite(r)) return def;
  r = std::fmod(r, 360.0);
  if (r < 0) r += 360.0;
  if (r >= 360.0) r -= 360.0;

  const double first = az[1], last = az[static_cast<std::size_t>(n)];
  const double gFirst = gain[1], gLast = gain[static_cast<std::size_t>(n)];
  if (r < first || r >= last) {
    // Across north: from the last point to the first one counted as first + 360.
    const double x = r < first ? r + 360.0 : r;
    const double span = first + 360.0 - last;
    if (!(span > 0)) return gLast;
    const double t = std::clamp((x - last) / span, 0.0, 1.0);
    return gLast + t * (gFirst - gLast);
  }
  for (int i = 1; i < n; ++i) {
    const double a0 = az[static_cast<std::size_t>(i)], a1 = az[static_cast<std::size_t>(i) + 1];
    if (a0 <= r && r < a1) {
      const double g0 = gain[static_cast<std::size_t>(i)], g1 = gain[static_cast<std::size_t>(i) + 1];
      return g0 + (r - a0) / (a1 - a0) * (g1 - g0);
    }
  }
  // Azimuths out of order: the nearest point or pair that brackets r.
  return InterpolatePattern(r, n, az, gain);
}

double VerticalGain(std::string_view mode, double azimuth, double elevAngle, int count, const std::vector<double>& el,
                    const std::vector<double>& gain, double mechTilt, double mechTiltDir, double elecTilt, double def,
                    bool& err) {
  err = false;
  if (count < 1) return def;
  const int n = UsablePoints(count, el, gain);
  if (n < 1) {
    err = true;
    return def;
  }
  const std::string key = ToUpper(mode.substr(0, std::min<std::size_t>(3, mode.size())));
  if (key == "MAJ") {
    double best = -888888.0;
    for (int i = 1; i <= n; ++i) best = std::max(best, gain[static_cast<std::size_t>(i)]);
    return best;
  }
  double angle = key == "HOR" ? 0.0 : elevAngle;
  angle -= elecTilt;
  if (mechTilt != 0) angle -= std::cos((azimuth - mechTiltDir) * kDegToRad) * mechTilt;
  if (!std::isfinite(angle)) {
    err = true;
    return def;
  }
  return InterpolatePattern(angle, n, el, gain);
}

// ---- Library loading --------------------------------------------------------------

namespace {

// Reads antenna sid of the library (main table mainFile, pattern tables beside
// it) into loaded: "" when every table was read, else why not; *notFound when
// the library has no such antenna.
std::string ReadLibraryAntenna(ProcScope& proc, const fs::path& dir, const std::string& base,
                               const fs::path& mainFile, const std::string& sid, std::string_view units,
                               clsAntenna& loaded, bool* notFound) {
  std::string why;
  platform::DbfTable t;
  proc.Step(1200);
  if (why = t.Open(mainFile, true); !why.empty()) return why;
  for (const char* f : {"ATYPE_ID", "GAIN", "GAIN_UN"}) {
    if (!t.HasField(f)) return "Field " + std::string(f) + " missing in " + mainFile.string();
  }
  proc.Step(1300);
  const int rec = t.FindFirst("ATYPE_ID", sid, true);
  if (rec < 0) {
    *notFound = true;
    return "";
  }
  proc.Step(1400);
  loaded.dGain = ParseDouble(t.Value(rec, "GAIN"));
  loaded.sGainUn = Trim(t.Text(rec, "GAIN_UN"));
  loaded.sDesc = TextOr(t, rec, "ANTENNA", "[NO DESCRIPTION]");
  loaded.dFLow = ParseDouble(TextOr(t, rec, "F_LOW", "0"));
  loaded.dFHigh = ParseDouble(TextOr(t, rec, "F_HIGH", "0"));
  loaded.sFreqUn = TextOr(t, rec, "FREQ_UN", "MHz");
  if (!std::isfinite(loaded.dGain)) return "GAIN is not a number";

  proc.Step(1500);
  auto hor = ReadPatternTable(FindNoCase(dir, base + "AHD.DBF"), sid, "HOR_AZ", "HOR_FIELD", units, loaded.dGain,
                              loaded.sGainUn, why);
  if (!hor) return why;
  proc.Step(1600);
  auto ver = ReadPatternTable(FindNoCase(dir, base + "AVD.DBF"), sid, "VERT_ANGLE", "VERT_FIELD", units,
                              loaded.dGain, loaded.sGainUn, why);
  if (!ver) return why;
  loaded.SetHorizontal(*hor);
  loaded.SetVertical(*ver);
  proc.Step(1700);
  return "";
}

}  // namespace

std::string LoadAntennaFromLibrary(const fs::path& dir, std::string_view library, std::string_view id,
                                   std::string_view units, bool silent, clsAntenna& ant) {
  ProcScope proc(kProcAntennaLibrary);
  const std::string base = LibraryBase(library);
  const std::string sid = Trim(id);
  ant.ClearPattern();
  if (base.empty() || sid.empty()) return "";

  proc.Step(1000);
  if (!IsDesiredUnit(units)) {
    const std::string msg = "Unrecognized DesiredUnits " + std::string(units);
    Show(silent, "Antenna Gain Units", msg);
    return msg;
  }

  const std::string trailer = "The antenna specified for this task will not be used.";
  proc.Step(1100);
  const fs::path mainFile = FindNoCase(dir, base + ".DBF");
  std::error_code ec;
  if (!fs::is_regular_file(mainFile, ec)) {
    const std::string msg =
        JoinLines(JoinLines("The specified antenna data base was not found:", mainFile.string()), trailer, kBlankLine);
    Show(silent, "Antenna Data Base Error 2", msg);
    return msg;
  }

  bool notFound = false;
  clsAntenna loaded = ant;  // committed only when every table was read
  const std::string why = ReadLibraryAntenna(proc, dir, base, mainFile, sid, units, loaded, &notFound);

  if (notFound) {
    const std::string msg = JoinLines(
        JoinLines(JoinLines("The specified antenna was not found:", base), "Antenna ID: " + sid), trailer,
        kBlankLine);
    Show(silent, "Antenna Data Base Error 3", msg);
    return msg;
  }
  if (!why.empty()) {
    const std::string msg =
        JoinLines(JoinLines(JoinLines("Error on antenna data", "Library: " + base + " " + sid),
                            "Units: " + std::string(units)),
                  "Antenna information will be ignored.", kBlankLine);
    const std::string flag = "Get_Ant_ArrayDB Flag: " + std::to_string(ProcCurrentStep());
    ReportError(0, why, JoinLines(msg, flag), true);
    Show(silent, "Antenna File Error", msg);
    return msg;
  }
  ant = std::move(loaded);
  return "";
}

// ---- Settings-file loading ----------------------------------------------------------

std::string LoadAntennaFromProfile(const fs::path& file, std::string_view section, std::string_view units,
                                   clsAntenna& ant) {
  ProcScope proc(kProcAntennaProfile);
  ant.ClearPattern();
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    return JoinLines("The antenna file was not found:", file.string());
  }
  proc.Step(1000);
  auto get = [&](std::string_view key, std::string_view def) {
    return platform::ProfileGetString(section, key, def, file);
  };
  ant.sDesc = get("TX_A1TYP", "[No antenna description]");
  std::string gain = get("TX_A1GAIN", "");
  std::string gainUn = get("TX_A1GNUN", "");
  ant.dOrien = ParseDouble(get("TX_A1ORIEN", ""));
  ant.dETilt = ParseDouble(get("TX_A1ETILT", ""));
  ant.dMTilt = ParseDouble(get("TX_A1MTILT", ""));
  ant.dMDir = ParseDouble(get("TX_A1MDIR", ""));
  ant.bInverted = ParseBool(get("TX_A1INVRT", "0"));

  // "Antenna Data" read once: the records are many and the file is read per key otherwise.
  proc.Step(1100);
  std::unordered_map<std::string, std::string> data;
  for (auto& [k, v] : platform::ProfileGetSection("Antenna Data", file)) data.emplace(ToUpper(Trim(k)), Trim(v));
  auto value = [&](const std::string& key, std::string_view def) {
    const auto it = data.find(ToUpper(key));
    return it == data.end() ? std::string(def) : it->second;
  };
  if (std::string g = value("TX_A1GAIN", ""); !g.empty()) gain = g;
  if (std::string u = value("TX_A1GNUN", ""); !u.empty()) gainUn = u;
  ant.dGain = ParseDouble(gain);
  ant.sGainUn = gainUn;

  auto readRecords = [&](const char* countKey, const char* prefix, const char* failure,
                         std::vector<std::pair<double, double>>& points) -> std::string {
    const double count = std::trunc(ParseDouble(value(countKey, "0")));
    if (count > kMaxPatternPoints) return std::string(countKey) + " holds too many records: " + FormatGeneral(count);
    const int n = count > 0 ? static_cast<int>(count) : 0;
    points.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
      const std::string rec = value(prefix + FormatNumber(i, "00000"), "0|0|");
      const std::size_t bar = rec.find('|');
      const std::string angleText = rec.substr(0, bar);
      std::string gainText;
      if (bar != std::string::npos) gainText = rec.substr(bar + 1, rec.find('|', bar + 1) - bar - 1);
      const double angle = ParseDouble(angleText);
      const double rel = ParseDouble(gainText);  // dB relative to the maximum
      bool err = false;
      const std::string g =
          ConvertPatternGain("REL", units, std::pow(10.0, rel / 20.0), ant.dGain, ant.sGainUn, err);
      if (err) return failure;
      points.emplace_back(angle, ParseDouble(g));
    }
    // The lookups need ascending angles; records written out of order are put in order.
    std::stable_sort(points.begin(), points.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return "";
  };

  std::vector<std::pair<double, double>> hor, ver;
  proc.Step(1200);
  if (std::string e = readRecords("HorizRecs", "HRec", "Error on Ant Az Gain conversion", hor); !e.empty()) return e;
  proc.Step(1300);
  if (std::string e = readRecords("VertRecs", "VRec", "Error on Ant El Gain conversion", ver); !e.empty()) return e;
  ant.SetHorizontal(hor);
  ant.SetVertical(ver);
  return "";
}

}  // namespace zw
