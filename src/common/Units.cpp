#include "common/Units.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>
#include <type_traits>

#include "common/Config.h"
#include "platform/NumberFormat.h"
#include "platform/Profile.h"

namespace zw {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\0';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlankOrNul(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Trimmed and upper-cased unit name in a small fixed buffer (units are short;
// a longer text cannot be a known unit and compares unequal to all of them).
struct UnitKey {
  char buf[16];
  std::size_t len = 0;
  explicit UnitKey(std::string_view s) {
    s = TrimBlankOrNul(s);
    if (s.size() > sizeof buf) {
      buf[0] = '?';
      len = 1;
      return;
    }
    for (char c : s) buf[len++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  std::string_view view() const { return {buf, len}; }
};

bool EqualsNoCase(std::string_view a, std::string_view b) { return UnitKey(a).view() == UnitKey(b).view(); }

// The whole text as a number: optional sign, digits with an optional '.'
// decimal point and exponent, thousands groups of three digits allowed in the
// integer part ("1,234,567"). Only finite values are accepted.
bool ParseStrict(std::string_view text, double& out) {
  std::string_view s = TrimBlankOrNul(text);
  if (s.empty()) return false;
  bool neg = false;
  if (s.front() == '+' || s.front() == '-') {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || !(IsDigit(s.front()) || s.front() == '.')) return false;  // no "inf", "nan", "+-1"

  char buf[128];
  std::string_view num = s;
  if (s.find(',') != std::string_view::npos) {
    // Remove valid thousands separators: groups of exactly three digits.
    const std::size_t intEnd = s.find_first_not_of("0123456789,");
    const std::string_view intPart = s.substr(0, intEnd);
    if (intPart.size() >= sizeof buf || s.substr(intPart.size()).find(',') != std::string_view::npos) return false;
    std::size_t lead = intPart.find(',');
    if (lead == 0 || lead > 3) return false;
    std::size_t n = 0;
    std::size_t run = 0;
    bool afterComma = false;
    for (char c : intPart) {
      if (c == ',') {
        if (afterComma && run != 3) return false;
        afterComma = true;
        run = 0;
      } else {
        buf[n++] = c;
        ++run;
      }
    }
    if (run != 3) return false;
    const std::string_view rest = s.substr(intPart.size());
    if (n + rest.size() > sizeof buf) return false;
    for (char c : rest) buf[n++] = c;
    num = std::string_view(buf, n);
  }
  double v = 0;
  const auto res = std::from_chars(num.data(), num.data() + num.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != num.data() + num.size() || !std::isfinite(v)) return false;
  out = neg ? -v : v;
  return true;
}

// The number at the start of the text ("12.5dB3" gives 12.5).
bool ParseLeading(std::string_view text, double& out) {
  std::string_view s = TrimBlankOrNul(text);
  bool neg = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || !(IsDigit(s.front()) || s.front() == '.')) return false;
  double v = 0;
  const auto res = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr == s.data() || !std::isfinite(v)) return false;
  out = neg ? -v : v;
  return true;
}

// Tolerant parse; false when the text holds no number at all (value 0).
bool ParseTolerant(std::string_view text, double& out) {
  out = 0;
  if (ParseStrict(text, out)) return true;
  std::string_view s = TrimBlankOrNul(text);
  while (!s.empty() && !IsDigit(s.back())) s = TrimBlankOrNul(s.substr(0, s.size() - 1));
  if (s.empty()) return false;
  if (ParseStrict(s, out)) return true;
  if (ParseLeading(s, out)) return true;
  out = 0;
  return false;
}

// Power: unit name to watts and back.
enum class PowerUnit { kNone, kMW, kW, kKW, kDBM, kDBW, kDBK };

PowerUnit PowerUnitOf(std::string_view unit) {
  const UnitKey k(unit);
  const std::string_view u = k.view();
  if (u == "MW") return PowerUnit::kMW;
  if (u == "W") return PowerUnit::kW;
  if (u == "KW") return PowerUnit::kKW;
  if (u == "DBM") return PowerUnit::kDBM;
  if (u == "DBW") return PowerUnit::kDBW;
  if (u == "DBK") return PowerUnit::kDBK;
  return PowerUnit::kNone;
}

bool IsLinear(PowerUnit u) { return u == PowerUnit::kMW || u == PowerUnit::kW || u == PowerUnit::kKW; }

double PowerCore(PowerUnit src, PowerUnit dst, double v, bool& err) {
  err = true;
  if (src == PowerUnit::kNone || dst == PowerUnit::kNone || !std::isfinite(v)) return 0;
  if (IsLinear(src) && v <= 0) return 0;
  double w = 0;
  switch (src) {
    case PowerUnit::kMW: w = v / 1000.0; break;
    case PowerUnit::kW: w = v; break;
    case PowerUnit::kKW: w = v * 1000.0; break;
    case PowerUnit::kDBM: w = std::pow(10.0, v / 10.0) / 1000.0; break;
    case PowerUnit::kDBW: w = std::pow(10.0, (v + 30.0) / 10.0) / 1000.0; break;
    case PowerUnit::kDBK: w = std::pow(10.0, (v + 60.0) / 10.0) / 1000.0; break;
    case PowerUnit::kNone: return 0;
  }
  // A power too large or too small to be held in watts cannot be converted.
  if (!(w > 0) || !std::isfinite(w)) return 0;
  double r = 0;
  switch (dst) {
    case PowerUnit::kMW: r = w * 1000.0; break;
    case PowerUnit::kW: r = w; break;
    case PowerUnit::kKW: r = w / 1000.0; break;
    case PowerUnit::kDBM: r = 10.0 * std::log10(w) + 30.0; break;
    case PowerUnit::kDBW: r = 10.0 * std::log10(w); break;
    case PowerUnit::kDBK: r = 10.0 * std::log10(w) - 30.0; break;
    case PowerUnit::kNone: return 0;
  }
  if (!std::isfinite(r)) return 0;
  err = false;
  return r;
}

struct LengthUnit {
  std::string_view name;
  double metres;
};

constexpr std::array<LengthUnit, 20> kLengthUnits{{
    {"m", 1.0},          {"meter", 1.0},          {"meters", 1.0},         {"Meter", 1.0},
    {"METER", 1.0},      {"Meters", 1.0},         {"METERS", 1.0},         {"km", 1000.0},
    {"decimeter", 0.1},  {"decimeters", 0.1},     {"Decimeter", 0.1},      {"DECIMETER", 0.1},
    {"Decimeters", 0.1}, {"DECIMETERS", 0.1},     {"cm", 0.01},            {"mm", 0.001},
    {"ft", 0.3048},      {"in", 0.0254},          {"mi", 1609.344},        {"nm", 1853.0},
}};

double MetresPerUnit(std::string_view unit) {
  if (unit.empty()) return 0;
  for (const auto& u : kLengthUnits) {
    if (u.name == unit) return u.metres;
  }
  return 0;
}

enum class GainUnit { kNone, kDBD, kDBI, kREL };

GainUnit GainUnitOf(std::string_view unit) {
  const UnitKey k(unit);
  if (k.view() == "DBD") return GainUnit::kDBD;
  if (k.view() == "DBI") return GainUnit::kDBI;
  if (k.view() == "REL") return GainUnit::kREL;
  return GainUnit::kNone;
}

constexpr double kDipoleDbi = 2.15;

std::string GainFailure(std::string_view from, std::string_view to, double value, bool& err,
                        std::string& message) {
  err = true;
  message = "Convert: " + FormatNumber(value, "###0.0000") + " " + std::string(TrimBlankOrNul(from)) + " to " +
            std::string(TrimBlankOrNul(to));
  return "0.0000";
}

std::string GainResult(GainUnit dst, double dbd, double dbi, double rel, std::string_view from,
                       std::string_view to, double value, bool& err, std::string& message) {
  double r = 0;
  switch (dst) {
    case GainUnit::kDBD: r = dbd; break;
    case GainUnit::kDBI: r = dbi; break;
    case GainUnit::kREL: r = rel; break;
    case GainUnit::kNone: return GainFailure(from, to, value, err, message);
  }
  if (!std::isfinite(r)) return GainFailure(from, to, value, err, message);
  err = false;
  message.clear();
  return FormatNumber(r, "0.0000");
}

bool GainToDbd(std::string_view from, double value, double& dbd) {
  switch (GainUnitOf(from)) {
    case GainUnit::kDBD: dbd = value; return std::isfinite(dbd);
    case GainUnit::kDBI: dbd = value - kDipoleDbi; return std::isfinite(dbd);
    case GainUnit::kREL:
      if (!(value > 0)) return false;
      dbd = 10.0 * std::log10(value);
      return std::isfinite(dbd);
    case GainUnit::kNone: return false;
  }
  return false;
}

}  // namespace

// ---- Tolerant parsing -----------------------------------------------------

bool TryParseDouble(std::string_view text, double& value) { return ParseTolerant(text, value); }

double ParseDouble(std::string_view text) {
  double v = 0;
  ParseTolerant(text, v);
  return v;
}

double ParseDouble(const FieldValue& v) {
  return std::visit(
      [](const auto& x) -> double {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return ParseDouble(std::string_view(x));
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? -1.0 : 0.0;  // the suite's numeric form of True
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return static_cast<double>(x);
        } else {
          const double d = static_cast<double>(x);
          return std::isfinite(d) ? d : 0.0;
        }
      },
      v);
}

float ParseSingle(const FieldValue& v) {
  const double d = ParseDouble(v);
  // Outside the range of a single the value cannot be held: read as 0 like
  // any other value that is not a number.
  if (!(std::fabs(d) <= static_cast<double>(std::numeric_limits<float>::max()))) return 0.0f;
  return static_cast<float>(d);
}

bool ParseBool(std::string_view text) {
  const std::string_view s = TrimBlankOrNul(text);
  if (EqualsNoCase(s, "TRUE")) return true;
  if (EqualsNoCase(s, "FALSE")) return false;
  double d = 0;
  if (ParseStrict(s, d)) return d != 0;
  return false;
}

std::int16_t ParseInt16(std::string_view text) {
  const std::string_view s = TrimBlankOrNul(text);
  if (EqualsNoCase(s, "TRUE")) return -1;
  if (EqualsNoCase(s, "FALSE")) return 0;
  double d = 0;
  if (!ParseStrict(s, d)) return 0;
  // Integer conversion rounds halves to the even neighbour.
  double f = std::floor(d);
  const double frac = d - f;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0)) f += 1.0;
  if (f < -32768.0 || f > 32767.0) return 0;
  return static_cast<std::int16_t>(f);
}

// ---- Power -------------------------------------------------------------------

double ConvertPower(std::string_view from, std::string_view to, std::string_view value, bool& err) {
  double v = 0;
  if (!ParseTolerant(value, v)) {
    err = true;
    return 0;
  }
  return PowerCore(PowerUnitOf(from), PowerUnitOf(to), v, err);
}

double ConvertPower(std::string_view from, std::string_view to, double value, bool& err) {
  return PowerCore(PowerUnitOf(from), PowerUnitOf(to), value, err);
}

// ---- Length ------------------------------------------------------------------

double ConvertLength(std::string_view from, std::string_view to, double value, bool& err) {
  if (from == to) {
    err = false;
    return value;
  }
  const double src = MetresPerUnit(from);
  const double dst = MetresPerUnit(to);
  if (src == 0 || dst == 0) {
    err = true;
    return 0;
  }
  err = false;
  return value * src / dst;
}

double ConvertLength(std::string_view from, std::string_view to, std::string_view value, bool& err) {
  return ConvertLength(from, to, ParseDouble(value), err);
}

double ConvertLength(std::string_view from, std::string_view to, const FieldValue& value, bool& err) {
  return ConvertLength(from, to, ParseDouble(value), err);
}

bool IsLengthUnit(std::string_view unit) { return MetresPerUnit(unit) != 0; }

// ---- Antenna gain ------------------------------------------------------------

std::string ConvertGain(std::string_view from, std::string_view to, double value, bool& err,
                        std::string& message) {
  double dbd = 0;
  if (!GainToDbd(from, value, dbd)) return GainFailure(from, to, value, err, message);
  const double rel = GainUnitOf(from) == GainUnit::kREL ? value : std::pow(10.0, dbd / 10.0);
  return GainResult(GainUnitOf(to), dbd, dbd + kDipoleDbi, rel, from, to, value, err, message);
}

std::string ConvertGain(std::string_view from, std::string_view to, double value, bool& err) {
  std::string message;
  return ConvertGain(from, to, value, err, message);
}

std::string ConvertPatternGain(std::string_view from, std::string_view to, double value, double maxGain,
                               std::string_view maxGainUnits, bool& err, std::string& message) {
  // The maximum gain in dBd; a maximum in a unit that is not a gain unit is
  // taken as dBd already.
  double m = maxGain;
  if (GainUnitOf(maxGainUnits) != GainUnit::kNone || UnitKey(maxGainUnits).view().starts_with("DB")) {
    if (!GainToDbd(maxGainUnits, maxGain, m)) return GainFailure(maxGainUnits, "DBD", maxGain, err, message);
  }
  double dbd = 0, rel = 0;
  switch (GainUnitOf(from)) {
    case GainUnit::kDBD:
      dbd = value;
      rel = std::pow(10.0, (dbd - m) / 20.0);
      break;
    case GainUnit::kDBI:
      dbd = value - kDipoleDbi;
      rel = std::pow(10.0, (dbd - m) / 20.0);
      break;
    case GainUnit::kREL:
      if (!(value > 0)) return GainFailure(from, to, value, err, message);
      dbd = 20.0 * std::log10(value) + m;
      rel = value;
      break;
    case GainUnit::kNone:
      return GainFailure(from, to, value, err, message);
  }
  return GainResult(GainUnitOf(to), dbd, dbd + kDipoleDbi, rel, from, to, value, err, message);
}

std::string ConvertPatternGain(std::string_view from, std::string_view to, double value, double maxGain,
                               std::string_view maxGainUnits, bool& err) {
  std::string message;
  return ConvertPatternGain(from, to, value, maxGain, maxGainUnits, err, message);
}

// ---- System units ------------------------------------------------------------

namespace {

constexpr std::array<std::string_view, 5> kSystemUnits{"nm", "km", "m", "mi", "ft"};

std::string_view AcceptedSystemUnit(std::string_view value) {
  const UnitKey k(value);
  for (std::string_view u : kSystemUnits) {
    if (EqualsNoCase(k.view(), u)) return u;
  }
  return {};
}

std::filesystem::path SystemUnitsFile() { return DefaultsFile(); }

struct SystemUnitsCache {
  std::mutex m;
  std::string distance, elevation;  // empty until an accepted value was read
};

SystemUnitsCache& Cache() {
  static SystemUnitsCache c;
  return c;
}

std::string CachedUnit(std::string SystemUnitsCache::*slot, std::string_view key, std::string_view def) {
  SystemUnitsCache& c = Cache();
  {
    std::lock_guard lock(c.m);
    if (!(c.*slot).empty()) return c.*slot;
  }
  // Read outside the lock: the file read may be slow and is harmless to repeat.
  const std::filesystem::path file = SystemUnitsFile();
  const std::string_view accepted = AcceptedSystemUnit(platform::ProfileGetString("System Units", key, "", file));
  if (accepted.empty()) return std::string(def);
  std::lock_guard lock(c.m);
  c.*slot = std::string(accepted);
  return c.*slot;
}

}  // namespace

std::string ReadSystemUnit(std::string_view key, std::string_view def, const std::filesystem::path& file) {
  const std::string_view accepted = AcceptedSystemUnit(platform::ProfileGetString("System Units", key, "", file));
  return std::string(accepted.empty() ? def : accepted);
}

std::string SystemDistanceUnits() { return CachedUnit(&SystemUnitsCache::distance, "Distance Units", "mi"); }

std::string SystemElevationUnits() { return CachedUnit(&SystemUnitsCache::elevation, "Elevation Units", "m"); }

void ResetSystemUnits() {
  SystemUnitsCache& c = Cache();
  std::lock_guard lock(c.m);
  c.distance.clear();
  c.elevation.clear();
}

}  // namespace zw
