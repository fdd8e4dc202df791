#include "geo/CoordText.h"

#include <cmath>
#include <cstdio>
#include <string>

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

}  // namespace zw
