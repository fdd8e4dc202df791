// Tile studies: a grid of points over the limits of the task file, kept to
// an optional BNA boundary polygon.
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "common/calcMiscMath.h"
#include "coverage/AreaCovGeneration.h"
#include "geo/Geodesic.h"
#include "platform/NumberFormat.h"
#include "platform/Profile.h"
#include "platform/terrain/BnaPolygon.h"

namespace zw::coverage {

namespace fs = std::filesystem;
using namespace studygen;

// The grid of a tile study (degrees): positions are multiples of the steps
// from the south-west corner.
struct studygen::TileGrid {
  double north = 0, south = 0, east = 0, west = 0;
  double dLat = 0, dLon = 0, latTol = 0, lonTol = 0;
};

namespace {

// The limits and steps of the grid from the task file.
std::string ReadTileGrid(const fs::path& file, TileGrid& grid) {
  double& north = grid.north;
  double& south = grid.south;
  double& east = grid.east;
  double& west = grid.west;
  auto number = [&](const char* key, const char* def) {
    return ParseDouble(platform::ProfileGetString("Elevation Data", key, def, file));
  };
  north = number("elt_nlat", "-888"), south = number("elt_slat", "888");
  east = number("elt_elon", "-888"), west = number("elt_wlon", "888");
  if (!(north > south && east > west))
    return JoinLines(JoinLines("Invalid Tile limits", Bound(south) + " to " + Bound(north)),
                     Bound(west) + " to " + Bound(east));

  const double nsStep = number("elt_nsS", "-88"), ewStep = number("elt_ewS", "-88");
  const std::string nsUnit = platform::ProfileGetString("Elevation Data", "elt_nsSun", "", file);
  const std::string ewUnit = platform::ProfileGetString("Elevation Data", "elt_ewSun", "", file);
  if (!(nsStep > 0 && ewStep > 0 && !nsUnit.empty() && !ewUnit.empty()))
    return JoinLines(JoinLines("Invalid Tile steps", "NS: " + FormatNumber(nsStep, "#0.00") + " " + nsUnit),
                     "EW: " + FormatNumber(ewStep, "#0.00") + " " + ewUnit);

  const double kmPerDegLat = KmPerDegLat((south + north) / 2);
  const double kmPerDegLon = KmPerDegLon((south + north) / 2);
  bool cerr = false;
  const double ewKm = ConvertLength(ewUnit, "km", ewStep, cerr);
  if (cerr) return "Error converting EW Tile Step";
  const double nsKm = ConvertLength(nsUnit, "km", nsStep, cerr);
  if (cerr) return "Error converting NS Tile Step";
  const double dLon = ewKm / kmPerDegLon, dLat = nsKm / kmPerDegLat;
  grid.dLon = dLon, grid.dLat = dLat;
  if (!(dLon > 0 && dLat > 0 && std::isfinite(dLon) && std::isfinite(dLat)))
    return JoinLines(JoinLines("Invalid Tile steps", "NS: " + FormatNumber(nsStep, "#0.00") + " " + nsUnit),
                     "EW: " + FormatNumber(ewStep, "#0.00") + " " + ewUnit);
  return {};
}

// The boundary polygon the task file names, if any (useBoundary says).
std::string ReadBoundary(const fs::path& file, platform::BnaPolygon& boundary, bool& useBoundary) {
  const auto f = SplitFields(platform::ProfileGetString("Quick Coverage", "ADV Boundary", "", file));
  const std::string bna = TextField(f, 1), id = TextField(f, 2);
  if (!bna.empty() && !id.empty()) {
    fs::path p(bna);
    std::error_code ec;
    if (p.is_relative() && !fs::exists(p, ec)) p = file.parent_path() / p;
    if (boundary.Load(p, id) < 1) {
      std::string why = JoinLines(JoinLines("Boundary polygon not found", "File: " + p.string()), "Polygon: " + id);
      return JoinLines(why, boundary.sMessage());
    }
    useBoundary = true;
  }
  return {};
}

}  // namespace

std::string clsAreaCovPaths::GenerateTiles(Generation& g) {
  ProcScope proc(kProcCovPathsTiles);
  const AreaStudyTask& t = *task_;
  const fs::path file = t.TaskFile();
  TileGrid grid;
  if (auto err = ReadTileGrid(file, grid); !err.empty()) return err;
  const double north = grid.north, south = grid.south, east = grid.east, west = grid.west;
  const double dLat = grid.dLat, dLon = grid.dLon;

  // Boundary polygon.
  platform::BnaPolygon boundary;
  bool useBoundary = false;
  if (auto err = ReadBoundary(file, boundary, useBoundary); !err.empty()) return err;

  // Grid positions are multiples of the steps from the south-west corner.
  const double latTol = dLat * 1e-9, lonTol = dLon * 1e-9;
  grid.latTol = latTol, grid.lonTol = lonTol;
  const double rows = std::floor((north - south + latTol) / dLat) + 1;
  const double cols = std::floor((east - west + lonTol) / dLon) + 1;
  if (!(rows * cols <= static_cast<double>(maxPoints_)))
    return TooManyPoints(rows * cols, maxPoints_, "Use larger tile steps or a smaller area.");

  // First pass: count the grid points.
  proc.Step(1);
  std::int64_t count = 0;
  for (std::int64_t i = 0;; ++i) {
    const double lat = south + static_cast<double>(i) * dLat;
    if (lat > north + latTol) break;
    for (std::int64_t j = 0;; ++j) {
      if (west + static_cast<double>(j) * dLon > east + lonTol) break;
      ++count;
    }
  }
  counted_ = count;
  if (auto err = OpenTable(g, count); !err.empty()) return err;

  proc.Step(2);
  if (auto err = PlaceTilePoints(g, grid, useBoundary ? &boundary : nullptr); !err.empty()) return err;
  if (g.written == 0)
    return JoinLines("No grid point of the tile study lies inside the boundary polygon.", "Nothing was generated.");
  return {};
}

std::string clsAreaCovPaths::PlaceTilePoints(Generation& g, const TileGrid& grid,
                                             const platform::BnaPolygon* boundary) {
  const double north = grid.north, south = grid.south, east = grid.east, west = grid.west;
  const double dLat = grid.dLat, dLon = grid.dLon, latTol = grid.latTol, lonTol = grid.lonTol;
  // Rows are worked out in parallel, a block of them at a time, and taken
  // over in order; the cancel request is looked at between rows.
  std::int64_t colCount = 0;
  while (west + static_cast<double>(colCount) * dLon <= east + lonTol) ++colCount;
  std::int64_t rowCount = 0;
  while (south + static_cast<double>(rowCount) * dLat <= north + latTol) ++rowCount;
  struct RowPoints {
    std::vector<StudyPoint> pts;
    std::vector<SolvedPath> solved;
    bool failed = false;
  };
  auto makeRow = [&](std::int64_t i, RowPoints& row) {
    const double lat = std::min(south + static_cast<double>(i) * dLat, north);
    std::optional<platform::BnaPolygon::Row> edges;
    if (boundary) edges.emplace(*boundary, lat);
    row.pts.clear();
    row.solved.clear();
    row.failed = false;
    for (std::int64_t j = 0; j < colCount; ++j) {
      const double lon = std::min(west + static_cast<double>(j) * dLon, east);
      if (edges && edges->Inside(lon) == -1) continue;
      // Solved for the position as stored, so that its profile can take
      // the solution as it stands.
      const double latR = RoundToDecimals(lat, 7), lonR = RoundToDecimals(lon, 7);
      SolvedPath path;
      if (!Geodesic::InverseM(txLat_, txLon_, latR, lonR, path.lengthM, path.az1Deg)) {
        row.failed = true;
        return;
      }
      row.pts.push_back(
          Generation::AsHeld(latR, lonR, Geodesic::PathAzimuth(path.lengthM, path.az1Deg), path.lengthM / 1000.0));
      row.solved.push_back(path);
    }
  };
  const std::int64_t block = 64;
  std::vector<RowPoints> work(static_cast<std::size_t>(block));
  g.out->solved.reserve(g.out->points.capacity());  // (as many as the points made room for)
  tbb::task_arena arena(std::max(1, threads_));
  std::int64_t n = 0;
  for (std::int64_t i0 = 0; i0 < rowCount; i0 += block) {
    const std::int64_t i1 = std::min(rowCount, i0 + block);
#if defined(__SANITIZE_THREAD__)
    for (std::int64_t i = i0; i < i1; ++i) makeRow(i, work[static_cast<std::size_t>(i - i0)]);
#else
    arena.execute([&] {
      tbb::parallel_for(i0, i1, [&](std::int64_t i) { makeRow(i, work[static_cast<std::size_t>(i - i0)]); });
    });
#endif
    for (std::int64_t i = i0; i < i1; ++i) {
      const RowPoints& row = work[static_cast<std::size_t>(i - i0)];
      // Progress (and the cancel request) counts every grid point, inside
      // the boundary or not.
      for (std::int64_t j = 0; j < colCount; ++j)
        if (!ProgressCheck(g, ++n)) return "Tile study cancelled by user";
      if (row.failed) return AfterBlank("Error computing azimuth and distance for tile location");
      for (const auto& p : row.pts) g.AddHeld(p);
      g.out->solved.insert(g.out->solved.end(), row.solved.begin(), row.solved.end());
    }
  }
  return {};
}

}  // namespace zw::coverage
