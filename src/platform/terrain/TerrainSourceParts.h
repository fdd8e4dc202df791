// Inner workings of TerrainSource shared by its two source files: the
// block cache (TerrainSource.cpp) and the look-ups (TerrainLookup.cpp).
// Not part of the library's interface.
#pragma once

#include "platform/terrain/TerrainSource.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_spatialref.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zw::platform {

namespace terrain_detail {

inline constexpr int kBlock = 256;           // block edge in samples
inline constexpr int kCursorBlocks = 8;      // recently used blocks a cursor keeps
inline constexpr double kBoxMarginDeg = 0.01;  // slack of the quick bounding-box test (datum shifts)

// Keeps GDAL from printing; its last message is read where needed.
struct QuietGdal {
  QuietGdal() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietGdal() { CPLPopErrorHandler(); }
  static std::string Last() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(m) : std::string();
  }
};

// Longitude in [-180, 180). Positions along a path are a few turns at most
// from that range, so comparisons do it (each step exact by Sterbenz's lemma,
// the same value std::remainder gives); the division is left for wild input.
inline double NormLon(double lon) {
  if (std::fabs(lon) > 720.0) {
    double l = std::remainder(lon, 360.0);
    if (l >= 180.0) l -= 360.0;
    return l;
  }
  while (lon >= 180.0) lon -= 360.0;
  while (lon < -180.0) lon += 360.0;
  return lon;
}

}  // namespace terrain_detail

struct TerrainSource::Block {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<float> v;  // NaN where there is no data
};

struct TerrainSource::Source {
  std::filesystem::path file;
  std::string driver;
  int width = 0, height = 0;
  double gt[6]{}, inv[6]{};
  OGRSpatialReference srs;
  bool geographic = false;
  int geogEpsg = 0;          // EPSG of the geographic system (0 unknown)
  bool hasNoData = false;
  double noData = 0, scale = 1, offset = 0, unitToM = 1;
  double resM = 0;
  double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
  double xMin = 0, xMax = 0;  // longitude span of a geographic grid
  int nbx = 0, nby = 0;

  std::mutex m;  // guards ds, blocks, readFailed, window
  GDALDatasetH ds = nullptr;
  std::vector<std::shared_ptr<const Block>> blocks;
  // The study window: the blocks a preloaded box touches copied into one
  // flat grid, so that a profile crossing it reads from one place (null when
  // none was made, or the budget could not hold it).
  std::shared_ptr<const Block> window;
  std::mutex windowMaking;  // one thread builds a window at a time
  std::vector<std::atomic<std::uint64_t>> lastUse;
  bool readFailed = false;

  ~Source() {
    if (ds) GDALClose(ds);
  }
};

struct TerrainSource::Counters {
  std::atomic<std::size_t> bytes{0};
  std::atomic<std::uint64_t> reads{0};
  std::atomic<std::uint64_t> tick{0};
};

struct TerrainSource::Cursor::Impl {
  struct Xf {
    int state = 0;  // 0 not yet made, 1 direct (same geographic system), 2 transformation, 3 none possible
    std::unique_ptr<OGRCoordinateTransformation> ct;
  };
  std::vector<Xf> xf;
  struct Slot {
    std::size_t si = ~std::size_t{0};
    int bx = -1, by = -1;
    std::shared_ptr<const Block> b;
  };
  Slot slots[terrain_detail::kCursorBlocks];
  int next = 0;
  // The block of a source on the cursor's own geographic datum that answered
  // last: points in its window (the part of the block no finer source reaches
  // into, where the point's four neighbours lie in the block) whose four
  // neighbours have data are read straight from its samples.
  struct Hot {
    const float* v = nullptr;  // block samples, row-major
    std::shared_ptr<const Block> b;
    int x0 = 0, y0 = 0, w = 0, h = 0;  // pixel window of the block
    double fx0 = 0, fx1 = 0, fy0 = 0, fy1 = 0;  // the window: fx0 <= x - 0.5 < fx1 (pixels), same for y
    double inv[6]{};                    // lon/lat -> pixel of its source
    double xMin = 0, xMax = 0;          // longitude span of its source
    bool narrow = false;                // that span is under a turn, within +-540
  } hot;
};

}  // namespace zw::platform
