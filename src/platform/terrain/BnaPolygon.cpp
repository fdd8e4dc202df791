#include "platform/terrain/BnaPolygon.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace zw::platform {
namespace {

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

namespace {

// Edge (j, i) of the polygon against the point: 0 when the point is on it
// (within eps), else whether a ray from the point toward +x crosses it.
struct EdgeAnswer {
  bool on = false, crosses = false;
};

EdgeAnswer Edge(double x, double y, double xi, double yi, double xj, double yj, double eps) {
  EdgeAnswer a;
  // On the segment? Its box first: most points are far from most segments,
  // and the length is only needed near one.
  if (x >= std::min(xi, xj) - eps && x <= std::max(xi, xj) + eps && y >= std::min(yi, yj) - eps &&
      y <= std::max(yi, yj) + eps) {
    const double cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
    if (std::fabs(cross) <= eps * std::max(std::hypot(xj - xi, yj - yi), 1.0)) {
      a.on = true;
      return a;
    }
  }
  if ((yi > y) != (yj > y)) a.crosses = xi + (y - yi) * (xj - xi) / (yj - yi) > x;
  return a;
}

// Tolerance for "on the boundary", relative to the size of the polygon: the
// largest distance along an axis from the point to a vertex.
double Tolerance(double x, double y, double minX, double maxX, double minY, double maxY) {
  const double span = std::max({std::fabs(x - minX), std::fabs(x - maxX), std::fabs(y - minY), std::fabs(y - maxY)});
  return 1e-12 * std::max(span, 1.0);
}

}  // namespace

BnaPolygon::Row::Row(const BnaPolygon& polygon, double lat) : p_(polygon), lat_(lat) {
  const auto& xs = p_.x_;
  const auto& ys = p_.y_;
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n > 0) {
    const auto [minX, maxX] = std::minmax_element(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(n));
    const auto [minY, maxY] = std::minmax_element(ys.begin(), ys.begin() + static_cast<std::ptrdiff_t>(n));
    box_[0] = *minX;
    box_[1] = *maxX;
    box_[2] = *minY;
    box_[3] = *maxY;
  }
  // Every edge whose latitudes reach the row, with room for any tolerance.
  for (std::size_t i = 0, j = n - 1; i < n; j = i++)
    if (lat >= std::min(ys[i], ys[j]) - 1e-6 && lat <= std::max(ys[i], ys[j]) + 1e-6) edges_.push_back(i);
}

int BnaPolygon::Row::Inside(double lon) const {
  const auto& xs = p_.x_;
  const auto& ys = p_.y_;
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 0 || !std::isfinite(lon) || !std::isfinite(lat_)) return -1;
  const double eps = Tolerance(lon, lat_, box_[0], box_[1], box_[2], box_[3]);
  bool inside = false;
  for (std::size_t i : edges_) {
    const std::size_t j = i == 0 ? n - 1 : i - 1;
    const EdgeAnswer a = Edge(lon, lat_, xs[i], ys[i], xs[j], ys[j], eps);
    if (a.on) return 0;
    if (a.crosses) inside = !inside;
  }
  return inside ? 1 : -1;
}

int PointInPolygon(double x, double y, const std::vector<double>& xs, const std::vector<double>& ys) {
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 0 || !std::isfinite(x) || !std::isfinite(y)) return -1;
  double minX = xs[0], maxX = xs[0], minY = ys[0], maxY = ys[0];
  for (std::size_t i = 1; i < n; ++i) {
    minX = std::min(minX, xs[i]);
    maxX = std::max(maxX, xs[i]);
    minY = std::min(minY, ys[i]);
    maxY = std::max(maxY, ys[i]);
  }
  const double eps = Tolerance(x, y, minX, maxX, minY, maxY);
  bool inside = false;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const EdgeAnswer a = Edge(x, y, xs[i], ys[i], xs[j], ys[j], eps);
    if (a.on) return 0;
    if (a.crosses) inside = !inside;
  }
  return inside ? 1 : -1;
}

}  // namespace zw::platform
