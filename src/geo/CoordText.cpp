#include "geo/CoordText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zw {

std::string CoordText(double value, std::string_view kind) {
  if (!std::isfinite(value) || std::fabs(value) > 1e6) return "";
  const double a = std::fabs(value);
  long d = static_cast<long>(a);
  long m = static_cast<long>((a - static_cast<double>(d)) * 60.0);
  // Seconds are held in single precision, as the tables printed from them.
  float s = static_cast<float>((a - static_cast<double>(d) - static_cast<double>(m) / 60.0) * 3600.0);
  long h = std::lround(static_cast<double>(s) * 100.0);
  while (h >= 6000) {
    s -= 60.0f;
    ++m;
    h = std::lround(static_cast<double>(s) * 100.0);
  }
  while (m >= 60) {
    m -= 60;
    ++d;
  }
  const char* hemi = kind == "LT" ? (value < 0 ? "S" : "N") : (value > 0 ? "E" : "W");
  char deg[32];
  if (d > 99)
    std::snprintf(deg, sizeof deg, "%02ld", d);
  else
    std::snprintf(deg, sizeof deg, " %02ld", d);
  char buf[96];
  std::snprintf(buf, sizeof buf, " %s %02ld %.2f %s", deg, m, static_cast<double>(h) / 100.0, hemi);
  return buf;
}

namespace {

std::string Trimmed(std::string_view s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  return std::string(s.substr(a, s.find_last_not_of(" \t") - a + 1));
}

// A plain decimal number (digits with at most one point), nothing else.
bool PlainNumber(const std::string& t, double& v) {
  if (t.empty()) return false;
  int points = 0, digits = 0;
  for (char c : t) {
    if (c == '.') ++points;
    else if (c >= '0' && c <= '9') ++digits;
    else return false;
  }
  if (points > 1 || digits == 0) return false;
  v = std::strtod(t.c_str(), nullptr);
  return std::isfinite(v);
}

}  // namespace

bool ParseCoordinate(std::string_view text, std::string_view kind, double& value, std::string* why) {
  const bool lat = kind == "LT";
  const double limit = lat ? 90.0 : 180.0;
  const std::string what = lat ? "latitude" : "longitude";
  auto fail = [&](const std::string& reason) {
    if (why)
      *why = "'" + std::string(text) + "' is not a " + what + (reason.empty() ? "" : " (" + reason + ")") +
             ": give decimal degrees (" + (lat ? "44.4365 or 44.4365 N" : "-71.4131 or 71.4131 W") +
             ") or degrees, minutes and seconds (" + (lat ? "44 26 11.4 N" : "71 24 47.2 W") + "), " +
             (lat ? "-90 to 90" : "-180 to 180");
    return false;
  };
  std::string t = Trimmed(text);
  // The hemisphere letter, at the end or at the start.
  char hemi = 0;
  auto isHemi = [](char c) {
    const char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return u == 'N' || u == 'S' || u == 'E' || u == 'W' ? u : '\0';
  };
  // A closing "s" is the seconds mark of the 44d26m11.4s form, else South.
  const bool letterMarks = t.find_first_of("dm") != std::string::npos;
  if (!t.empty() && isHemi(t.back()) && !(t.back() == 's' && letterMarks)) {
    hemi = isHemi(t.back());
    t = Trimmed(std::string_view(t).substr(0, t.size() - 1));
  } else if (!t.empty() && isHemi(t.front())) {
    hemi = isHemi(t.front());
    t = Trimmed(std::string_view(t).substr(1));
  }
  if (hemi && (lat ? (hemi != 'N' && hemi != 'S') : (hemi != 'E' && hemi != 'W')))
    return fail(std::string("hemisphere ") + hemi + " belongs to a " + (lat ? "longitude" : "latitude"));
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t = Trimmed(std::string_view(t).substr(1));
    if (hemi) return fail("a sign and a hemisphere letter together");
  }
  // Degree, minute and second marks and colons separate the parts as blanks do.
  std::string spaced;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c == 0xC2 && i + 1 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0xB0) {  // UTF-8 degree sign
      spaced += ' ';
      ++i;
    } else if (c == ':' || c == '\'' || c == '"' || c == 'd' || c == 'm' || c == 's' || c == '\t') {
      spaced += ' ';
    } else {
      spaced += static_cast<char>(c);
    }
  }
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < spaced.size()) {
    const auto start = spaced.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    const auto end = spaced.find(' ', start);
    parts.push_back(spaced.substr(start, end == std::string::npos ? std::string::npos : end - start));
    at = end == std::string::npos ? spaced.size() : end;
  }
  if (parts.empty() || parts.size() > 3) return fail("");
  double v[3] = {0, 0, 0};
  for (std::size_t i = 0; i < parts.size(); ++i)
    if (!PlainNumber(parts[i], v[i])) return fail("");
  // Only the last part may have a fraction.
  for (std::size_t i = 0; i + 1 < parts.size(); ++i)
    if (parts[i].find('.') != std::string::npos) return fail("only the last part may have decimals");
  if (parts.size() > 1 && !(v[1] < 60)) return fail("minutes must be below 60");
  if (parts.size() > 2 && !(v[2] < 60)) return fail("seconds must be below 60");
  double deg = v[0] + v[1] / 60.0 + v[2] / 3600.0;
  if (negative || hemi == 'S' || hemi == 'W') deg = -deg;
  if (!(std::fabs(deg) <= limit)) return fail("out of range");
  value = deg;
  return true;
}

bool ParseLatLonText(std::string_view text, double& lat, double& lon, std::string* why) {
  std::string_view a, b;
  const auto comma = text.find(',');
  if (comma != std::string_view::npos) {
    if (text.find(',', comma + 1) != std::string_view::npos) {
      if (why) *why = "'" + std::string(text) + "' has more than one comma: give LAT,LON";
      return false;
    }
    a = text.substr(0, comma);
    b = text.substr(comma + 1);
  } else {
    const auto ns = text.find_first_of("NS");
    if (ns == std::string_view::npos) {
      if (why) *why = "'" + std::string(text) + "' is not LAT,LON: give e.g. 44.4365,-71.4131 or \"44 26 11.4 N, 71 24 47.2 W\"";
      return false;
    }
    a = text.substr(0, ns + 1);
    b = text.substr(ns + 1);
  }
  double la = 0, lo = 0;
  if (!ParseCoordinate(a, "LT", la, why) || !ParseCoordinate(b, "LN", lo, why)) return false;
  lat = la;
  lon = lo;
  return true;
}

}  // namespace zw
