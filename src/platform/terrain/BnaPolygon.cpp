#include "platform/terrain/BnaPolygon.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "platform/FileSystem.h"

namespace zw::platform {
namespace {

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool ParseNumber(std::string s, double& v) {
  s = Trim(s);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = Trim(s.substr(1, s.size() - 2));
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0' && std::isfinite(v);
}

// The last comma-separated field of a header line, outside quotes.
bool HeaderCount(const std::string& line, long& count) {
  bool quoted = false;
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    else if (line[i] == ',' && !quoted) last = i;
  }
  if (last == std::string::npos) return false;
  double v = 0;
  if (!ParseNumber(line.substr(last + 1), v) || v != std::floor(v) || std::fabs(v) > 1e7) return false;
  count = static_cast<long>(std::fabs(v));
  return true;
}

}  // namespace

int BnaPolygon::Load(const std::filesystem::path& file, const std::string& id) {
  x_.clear();
  y_.clear();
  msg_.clear();
  std::string text;
  if (auto why = ReadRegularFile(file, kMaxBnaBytes, &text, "Boundary file"); !why.empty()) {
    msg_ = std::move(why);
    return 0;
  }
  std::istringstream in(std::move(text));
  const std::string want = Trim(id);
  std::string line;
  long lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (Trim(line).empty()) continue;
    long count = 0;
    if (!HeaderCount(line, count)) {
      msg_ = "Boundary file " + file.string() + ": line " + std::to_string(lineNo) +
             " is not an object header (its last field must be the point count)";
      return 0;
    }
    const bool match = Trim(line) == want;
    std::vector<double> xs, ys;
    for (long k = 0; k < count; ++k) {
      if (!std::getline(in, line)) {
        msg_ = "Boundary file " + file.string() + ": the file ends inside an object";
        return 0;
      }
      ++lineNo;
      const std::size_t c = line.find(',');
      double x = 0, y = 0;
      if (c == std::string::npos || !ParseNumber(line.substr(0, c), x) || !ParseNumber(line.substr(c + 1), y)) {
        msg_ = "Boundary file " + file.string() + ": line " + std::to_string(lineNo) + " is not a point \"x,y\"";
        return 0;
      }
      if (match) {
        xs.push_back(x);
        ys.push_back(y);
      }
    }
    if (match) {
      x_ = std::move(xs);
      y_ = std::move(ys);
      return iCount();
    }
  }
  msg_ = "Boundary \"" + want + "\" not found in " + file.string();
  return 0;
}

int BnaPolygon::Inside(double lon, double lat) const { return PointInPolygon(lon, lat, x_, y_); }

int PointInPolygon(double x, double y, const std::vector<double>& xs, const std::vector<double>& ys) {
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 0 || !std::isfinite(x) || !std::isfinite(y)) return -1;
  // Tolerance for "on the boundary", relative to the size of the polygon.
  double span = 0;
  for (std::size_t i = 0; i < n; ++i) span = std::max({span, std::fabs(xs[i] - x), std::fabs(ys[i] - y)});
  const double eps = 1e-12 * std::max(span, 1.0);
  bool inside = false;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const double xi = xs[i], yi = ys[i], xj = xs[j], yj = ys[j];
    // On the segment (j, i)? Its box first: most points are far from most
    // segments, and the length is only needed near one.
    if (x >= std::min(xi, xj) - eps && x <= std::max(xi, xj) + eps && y >= std::min(yi, yj) - eps &&
        y <= std::max(yi, yj) + eps) {
      const double cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
      if (std::fabs(cross) <= eps * std::max(std::hypot(xj - xi, yj - yi), 1.0)) return 0;
    }
    // Crossing of a ray toward +x.
    if ((yi > y) != (yj > y)) {
      const double xc = xi + (y - yi) * (xj - xi) / (yj - yi);
      if (xc > x) inside = !inside;
    }
  }
  return inside ? 1 : -1;
}

}  // namespace zw::platform
