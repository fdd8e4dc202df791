#pragma once
// Boundary polygons of tile studies, read from BNA files. Each object of the
// file is a header line of comma-separated fields whose last field is its
// point count (its absolute value is used), followed by that many lines
// "x,y" (longitude, latitude). An object is selected by its whole header line,
// trimmed.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zw::platform {

// The largest boundary file read (64 MB: millions of vertices).
inline constexpr std::uintmax_t kMaxBnaBytes = 64ull * 1024 * 1024;

class BnaPolygon {
 public:
  // Loads the first object whose trimmed header equals the trimmed id. Returns
  // the point count: 0 when the file is missing, is not a regular file, is
  // larger than kMaxBnaBytes, the object is not in it or the file is
  // malformed (the reason is in sMessage()).
  int Load(const std::filesystem::path& file, const std::string& id);

  int iCount() const { return static_cast<int>(x_.size()); }
  const std::vector<double>& X() const { return x_; }
  const std::vector<double>& Y() const { return y_; }
  const std::string& sMessage() const { return msg_; }

  // 1 inside, -1 outside, 0 on the boundary of the loaded polygon (-1 when
  // none is loaded).
  int Inside(double lon, double lat) const;

  // The same answer for the points of one row (one latitude) of a grid:
  // the edges that can matter on the row are found once, so each point
  // looks at those few only.
  class Row {
   public:
    Row(const BnaPolygon& polygon, double lat);
    int Inside(double lon) const;

   private:
    const BnaPolygon& p_;
    double lat_;
    std::vector<std::size_t> edges_;  // index i of edge (i-1, i)
    double box_[4] = {0, 0, 0, 0};     // min and max longitude, min and max latitude
  };

 private:
  std::vector<double> x_, y_;
  std::string msg_;
};

// Point-in-polygon answer for (x, y) and a polygon given by its vertices
// (closed implicitly): 1 inside, -1 outside, 0 on an edge or vertex.
int PointInPolygon(double x, double y, const std::vector<double>& xs, const std::vector<double>& ys);

}  // namespace zw::platform
