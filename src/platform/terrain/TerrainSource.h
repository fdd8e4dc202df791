#pragma once
// Elevation (or class-code) rasters read through GDAL: one DEM file or a
// directory of them, in any format and coordinate system GDAL reads, forming
// one mosaic. Where several sources cover a point the finest one that has data
// there wins; voids and no-data read as no elevation (kNoElevation). Elevations
// are bilinear between the four nearest samples; class codes are the nearest
// sample. Heights are taken as metres above mean sea level as the file stores
// them (SRTM heights are EGM96 geoid heights, which is that); a band whose unit
// is feet is converted to metres.
//
// The raster data are read in blocks (flat grids of 256 x 256 samples) on
// first use and kept in a cache shared by every thread; a Cursor holds the
// per-thread lookup state (coordinate transformations, recently used blocks)
// so that lookups need no lock. A cursor also holds the block that answered
// last: consecutive points in it (the samples of a profile) are read from it
// directly, with no transformation, slot search or lock. A preloaded box is
// also held as one flat grid per source (its study window), so that a profile
// crossing the box reads from that one grid.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zw::platform {

// Elevation written for "no elevation"; anything at or below -30000 means none.
inline constexpr float kNoElevation = -32200.0f;
inline constexpr float kNoElevationLimit = -30000.0f;

class TerrainSource {
 public:
  enum class Kind { Elevation, Classes };

  explicit TerrainSource(Kind kind = Kind::Elevation);
  ~TerrainSource();
  TerrainSource(const TerrainSource&) = delete;
  TerrainSource& operator=(const TerrainSource&) = delete;

  // Adds a raster file, or every raster under a directory (sub-folders too).
  // Returns "" when everything named could be used, otherwise one line per
  // file that could not (missing, unreadable, without a coordinate system).
  std::string Add(const std::filesystem::path& fileOrDir);

  struct SourceInfo {
    std::filesystem::path file;
    std::string driver;
    int width = 0, height = 0;
    double resolutionM = 0;  // mean sample spacing, metres
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;  // WGS 84 bounding box
  };
  // Sources, finest first.
  std::vector<SourceInfo> Sources() const;
  std::size_t SourceCount() const;
  // Problems met so far (Add and later block reads), one per line.
  std::string Messages() const;

  // Per-thread lookup state. Positions are latitude/longitude on the datum
  // given (EPSG code of a geographic system; 4326 = WGS 84).
  class Cursor {
   public:
    explicit Cursor(const TerrainSource& src, int datumEpsg = 4326);
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    int datumEpsg() const { return datum_; }
    const TerrainSource* source() const { return src_; }

   private:
    friend class TerrainSource;
    struct Impl;
    void Sync();  // starts afresh when sources were added since
    const TerrainSource* src_;
    int datum_;
    unsigned gen_;
    std::unique_ptr<Impl> impl_;
  };

  // Elevation in metres at a point, or kNoElevation.
  float Elevation(double lat, double lon, Cursor& cur) const;
  float Elevation(double lat, double lon) const;  // WGS 84, one-off lookup
  // Several points at once (same result as one by one).
  void Elevations(const double* lat, const double* lon, std::size_t n, float* out, Cursor& cur) const;
  // Nearest sample (class codes); false when no source has data there.
  bool Nearest(double lat, double lon, double& value, Cursor& cur) const;

  // Reads every block that the box touches (within the cache budget).
  // Returns the number of blocks now held for the box.
  std::size_t Preload(double maxLat, double minLat, double maxLon, double minLon, int datumEpsg = 4326);

  // Finest sample spacing (metres) of the sources covering the point; 0 when none.
  double ResolutionAt(double lat, double lon, Cursor& cur) const;

  void CacheBudgetBytes(std::size_t bytes);
  std::size_t CachedBytes() const;
  std::uint64_t BlockReads() const;  // blocks read from files so far
  void ClearCache();

  struct Source;  // internal
  struct Block;   // internal

 private:
  bool Locate(std::size_t si, double lat, double lon, Cursor& cur, double& px, double& py) const;
  bool ToPixel(std::size_t si, double lat, double lon, Cursor& cur, double& px, double& py) const;
  std::shared_ptr<const Block> GetBlock(std::size_t si, int bx, int by) const;
  float Pixel(std::size_t si, int i, int j, Cursor& cur) const;
  float Bilinear(std::size_t si, double px, double py, Cursor& cur) const;
  // The look-up of a point in the cursor's hot block; false when the point
  // needs the general look-up (outside the block, or a void neighbour).
  static bool HotElevation(double lat, double lon, Cursor& cur, float& out);
  static std::size_t HotRun(const double* lat, const double* lon, std::size_t n, float* out, Cursor& cur);
  void MakeHot(std::size_t si, double px, double py, Cursor& cur) const;
  // Copies blocks bx0..bx1 x by0..by1 of a source into its study window.
  void MakeWindow(std::size_t si, int bx0, int bx1, int by0, int by1) const;
  void Evict() const;
  void Note(const std::string& msg) const;

  Kind kind_;
  unsigned generation_ = 0;  // bumped by Add; cursors resynchronise on it
  std::vector<std::unique_ptr<Source>> sources_;  // finest first
  mutable std::mutex msgMutex_;
  mutable std::string messages_;
  mutable std::mutex evictMutex_;
  std::size_t budget_;
  struct Counters;
  std::unique_ptr<Counters> counters_;
};

}  // namespace zw::platform
