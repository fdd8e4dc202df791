#include "platform/terrain/TerrainSource.h"

#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <limits>
#include <mutex>
#include <system_error>

namespace zw::platform {

namespace {

constexpr int kBlock = 256;           // block edge in samples
constexpr int kCursorBlocks = 8;      // recently used blocks a cursor keeps
constexpr double kBoxMarginDeg = 0.01;  // slack of the quick bounding-box test (datum shifts)

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

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

bool SidecarFile(const std::filesystem::path& p) {
  std::string name = p.filename().string();
  for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const char* const skip[] = {".md", ".txt", ".csv", ".tfw", ".tifw", ".wld", ".hgw", ".prj", ".aux.xml",
                                     ".xml", ".ovr", ".hdr", ".dbf", ".shp", ".shx", ".ini", ".bna", ".json",
                                     ".zip", ".gz", ".msk", ".cpg", ".qix", ".lock"};
  for (const char* s : skip) {
    const std::string suf(s);
    if (name.size() >= suf.size() && name.compare(name.size() - suf.size(), suf.size(), suf) == 0) return true;
  }
  return !name.empty() && name[0] == '.';
}

// Longitude in [-180, 180). Positions along a path are a few turns at most
// from that range, so comparisons do it (each step exact by Sterbenz's lemma,
// the same value std::remainder gives); the division is left for wild input.
double NormLon(double lon) {
  if (std::fabs(lon) > 720.0) {
    double l = std::remainder(lon, 360.0);
    if (l >= 180.0) l -= 360.0;
    return l;
  }
  while (lon >= 180.0) lon -= 360.0;
  while (lon < -180.0) lon += 360.0;
  return lon;
}

}  // namespace

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

  std::mutex m;  // guards ds, blocks, readFailed
  GDALDatasetH ds = nullptr;
  std::vector<std::shared_ptr<const Block>> blocks;
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
  Slot slots[kCursorBlocks];
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

TerrainSource::Cursor::Cursor(const TerrainSource& src, int datumEpsg)
    : src_(&src), datum_(datumEpsg > 0 ? datumEpsg : 4326), gen_(src.generation_), impl_(std::make_unique<Impl>()) {
  impl_->xf.resize(src.sources_.size());
}
TerrainSource::Cursor::~Cursor() = default;

void TerrainSource::Cursor::Sync() {
  if (gen_ == src_->generation_ && impl_->xf.size() == src_->sources_.size()) return;
  gen_ = src_->generation_;
  impl_ = std::make_unique<Impl>();
  impl_->xf.resize(src_->sources_.size());
}

TerrainSource::TerrainSource(Kind kind)
    : kind_(kind), budget_(std::size_t{1} << 30), counters_(std::make_unique<Counters>()) {
  RegisterGdal();
}
TerrainSource::~TerrainSource() = default;

void TerrainSource::Note(const std::string& msg) const {
  std::lock_guard lock(msgMutex_);
  if (!messages_.empty()) messages_ += "\r\n";
  messages_ += msg;
}

std::string TerrainSource::Messages() const {
  std::lock_guard lock(msgMutex_);
  return messages_;
}

std::string TerrainSource::Add(const std::filesystem::path& fileOrDir) {
  std::string out;
  auto note = [&](const std::string& m) {
    if (!out.empty()) out += "\r\n";
    out += m;
  };
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(fileOrDir, ec)) {
    for (std::filesystem::recursive_directory_iterator it(fileOrDir, std::filesystem::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec) && !SidecarFile(it->path())) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) note("No elevation files found in " + fileOrDir.string());
  } else if (std::filesystem::is_regular_file(fileOrDir, ec)) {
    files.push_back(fileOrDir);
  } else {
    note("Elevation data not found: " + fileOrDir.string());
  }

  std::vector<std::unique_ptr<Source>> added;
  for (const auto& f : files) {
    QuietGdal quiet;
    GDALDatasetH ds = GDALOpenEx(f.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!ds) {
      const std::string why = QuietGdal::Last();
      note(f.string() + ": not a readable elevation file" + (why.empty() ? "" : " (" + why + ")"));
      continue;
    }
    auto s = std::make_unique<Source>();
    s->file = f;
    if (GDALDriverH drv = GDALGetDatasetDriver(ds)) s->driver = GDALGetDriverShortName(drv);
    s->width = GDALGetRasterXSize(ds);
    s->height = GDALGetRasterYSize(ds);
    const OGRSpatialReferenceH sref = GDALGetSpatialRef(ds);
    const bool hasGt = GDALGetGeoTransform(ds, s->gt) == CE_None;
    GDALRasterBandH band = GDALGetRasterCount(ds) > 0 ? GDALGetRasterBand(ds, 1) : nullptr;
    std::string problem;
    if (!band || s->width < 1 || s->height < 1)
      problem = "holds no raster band";
    else if (!sref)
      problem = "has no coordinate reference system; it cannot be placed";
    else if (!hasGt || s->gt[1] == 0 || s->gt[5] == 0 || !GDALInvGeoTransform(s->gt, s->inv))
      problem = "has no georeferencing; it cannot be placed";
    if (!problem.empty()) {
      GDALClose(ds);
      note(f.string() + ": " + problem);
      continue;
    }
    s->srs = *OGRSpatialReference::FromHandle(sref);
    s->srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    s->geographic = s->srs.IsGeographic() && std::fabs(s->srs.GetAngularUnits() - M_PI / 180.0) < 1e-12;
    if (const char* code = s->srs.GetAuthorityCode(s->srs.IsGeographic() ? nullptr : "GEOGCS"))
      s->geogEpsg = std::atoi(code);
    int ok = 0;
    s->noData = GDALGetRasterNoDataValue(band, &ok);
    s->hasNoData = ok != 0;
    s->scale = GDALGetRasterScale(band, &ok);
    if (!ok || s->scale == 0) s->scale = 1;
    s->offset = GDALGetRasterOffset(band, &ok);
    if (!ok) s->offset = 0;
    if (kind_ == Kind::Elevation) {
      std::string unit = GDALGetRasterUnitType(band);
      for (auto& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (unit == "ft" || unit == "foot" || unit == "feet" || unit == "international foot") s->unitToM = 0.3048;
      else if (unit == "us-ft" || unit == "us survey foot" || unit == "ftus") s->unitToM = 1200.0 / 3937.0;
    }

    // Bounding box in WGS 84 and sample spacing in metres.
    double xa = s->gt[0], xb = s->gt[0] + s->width * s->gt[1] + s->height * s->gt[2];
    double ya = s->gt[3], yb = s->gt[3] + s->width * s->gt[4] + s->height * s->gt[5];
    double x0 = std::min(xa, xb), x1 = std::max(xa, xb), y0 = std::min(ya, yb), y1 = std::max(ya, yb);
    bool boxOK = true;
    if (s->geographic) {
      s->minLon = x0; s->maxLon = x1; s->minLat = y0; s->maxLat = y1;
      s->xMin = x0; s->xMax = x1;
      const double midLat = 0.5 * (y0 + y1) * M_PI / 180.0;
      s->resM = std::sqrt(std::fabs(s->gt[1]) * 111320.0 * std::cos(midLat) * std::fabs(s->gt[5]) * 110574.0);
    } else {
      OGRSpatialReference wgs;
      wgs.importFromEPSG(4326);
      wgs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
      std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&s->srs, &wgs));
      double a = 0, b = 0, c = 0, d = 0;
      boxOK = ct && ct->TransformBounds(x0, y0, x1, y1, &a, &b, &c, &d, 21);
      s->minLon = a; s->minLat = b; s->maxLon = c; s->maxLat = d;
      const double lin = s->srs.GetLinearUnits();
      s->resM = std::sqrt(std::fabs(s->gt[1]) * std::fabs(s->gt[5])) * (lin > 0 ? lin : 1.0);
    }
    GDALClose(ds);  // reopened on the first block read
    if (!boxOK) {
      note(f.string() + ": its coordinate system cannot be converted to latitude and longitude");
      continue;
    }
    s->nbx = (s->width + kBlock - 1) / kBlock;
    s->nby = (s->height + kBlock - 1) / kBlock;
    s->blocks.resize(static_cast<std::size_t>(s->nbx) * s->nby);
    s->lastUse = std::vector<std::atomic<std::uint64_t>>(s->blocks.size());
    added.push_back(std::move(s));
  }
  if (!added.empty()) ++generation_;
  for (auto& s : added) sources_.push_back(std::move(s));
  std::stable_sort(sources_.begin(), sources_.end(),
                   [](const std::unique_ptr<Source>& a, const std::unique_ptr<Source>& b) { return a->resM < b->resM; });
  if (!out.empty()) Note(out);
  return out;
}

std::vector<TerrainSource::SourceInfo> TerrainSource::Sources() const {
  std::vector<SourceInfo> v;
  for (const auto& s : sources_)
    v.push_back({s->file, s->driver, s->width, s->height, s->resM, s->minLat, s->maxLat, s->minLon, s->maxLon});
  return v;
}

std::size_t TerrainSource::SourceCount() const { return sources_.size(); }

void TerrainSource::CacheBudgetBytes(std::size_t bytes) {
  budget_ = std::max<std::size_t>(bytes, static_cast<std::size_t>(kBlock) * kBlock * sizeof(float));
  Evict();
}
std::size_t TerrainSource::CachedBytes() const { return counters_->bytes.load(); }
std::uint64_t TerrainSource::BlockReads() const { return counters_->reads.load(); }

void TerrainSource::ClearCache() {
  for (const auto& s : sources_) {
    std::lock_guard lock(s->m);
    for (auto& b : s->blocks)
      if (b) {
        counters_->bytes -= b->v.size() * sizeof(float);
        b.reset();
      }
  }
}

std::shared_ptr<const TerrainSource::Block> TerrainSource::GetBlock(std::size_t si, int bx, int by) const {
  Source& s = *sources_[si];
  const std::size_t idx = static_cast<std::size_t>(by) * s.nbx + bx;
  s.lastUse[idx] = ++counters_->tick;
  std::shared_ptr<const Block> blk;
  {
    std::lock_guard lock(s.m);
    if (s.blocks[idx]) return s.blocks[idx];
    auto b = std::make_shared<Block>();
    b->x0 = bx * kBlock;
    b->y0 = by * kBlock;
    b->w = std::min(kBlock, s.width - b->x0);
    b->h = std::min(kBlock, s.height - b->y0);
    b->v.assign(static_cast<std::size_t>(b->w) * b->h, std::numeric_limits<float>::quiet_NaN());
    QuietGdal quiet;
    if (!s.ds && !s.readFailed) {
      s.ds = GDALOpenEx(s.file.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
      if (!s.ds) {
        s.readFailed = true;
        Note(s.file.string() + ": cannot be reopened; its area reads as no elevation");
      }
    }
    if (s.ds) {
      GDALRasterBandH band = GDALGetRasterBand(s.ds, 1);
      if (GDALRasterIO(band, GF_Read, b->x0, b->y0, b->w, b->h, b->v.data(), b->w, b->h, GDT_Float32, 0, 0) !=
          CE_None) {
        std::fill(b->v.begin(), b->v.end(), std::numeric_limits<float>::quiet_NaN());
        const std::string why = QuietGdal::Last();
        Note(s.file.string() + ": read error" + (why.empty() ? "" : " (" + why + ")") +
             "; the block reads as no elevation");
      } else {
        for (float& f : b->v) {
          const double raw = f;
          if (!std::isfinite(raw) || (s.hasNoData && (raw == s.noData || (std::isnan(s.noData) && std::isnan(raw))))) {
            f = std::numeric_limits<float>::quiet_NaN();
            continue;
          }
          const double val = (raw * s.scale + s.offset) * s.unitToM;
          if (kind_ == Kind::Elevation && (val <= kNoElevationLimit || std::fabs(val) > 1e5))
            f = std::numeric_limits<float>::quiet_NaN();
          else
            f = static_cast<float>(val);
        }
      }
    }
    ++counters_->reads;
    counters_->bytes += b->v.size() * sizeof(float);
    s.blocks[idx] = b;
    blk = std::move(b);
  }
  if (counters_->bytes.load() > budget_) Evict();
  return blk;
}

void TerrainSource::Evict() const {
  std::lock_guard ev(evictMutex_);
  while (counters_->bytes.load() > budget_) {
    // Drop the least recently used block of all sources.
    std::size_t bestS = ~std::size_t{0}, bestI = 0;
    std::uint64_t oldest = std::numeric_limits<std::uint64_t>::max();
    for (std::size_t si = 0; si < sources_.size(); ++si) {
      Source& s = *sources_[si];
      std::lock_guard lock(s.m);
      for (std::size_t i = 0; i < s.blocks.size(); ++i)
        if (s.blocks[i] && s.lastUse[i].load() < oldest) {
          oldest = s.lastUse[i].load();
          bestS = si;
          bestI = i;
        }
    }
    if (bestS == ~std::size_t{0}) break;
    Source& s = *sources_[bestS];
    std::lock_guard lock(s.m);
    if (s.blocks[bestI]) {
      counters_->bytes -= s.blocks[bestI]->v.size() * sizeof(float);
      s.blocks[bestI].reset();
    }
  }
}

bool TerrainSource::Locate(std::size_t si, double lat, double lon, Cursor& cur, double& px, double& py) const {
  const Source& s = *sources_[si];
  if (lat < s.minLat - kBoxMarginDeg || lat > s.maxLat + kBoxMarginDeg) return false;
  return ToPixel(si, lat, lon, cur, px, py) && px >= 0 && py >= 0 && px <= s.width && py <= s.height;
}

namespace {

// Longitude of a point in a geographic grid's own range (grids may use 0..360).
inline double GridLon(double lon, double xMin, double xMax) {
  double x = NormLon(lon);
  if (x < xMin) x += 360.0;
  if (x > xMax) x -= 360.0;
  return x;
}

}  // namespace

bool TerrainSource::ToPixel(std::size_t si, double lat, double lon, Cursor& cur, double& px, double& py) const {
  const Source& s = *sources_[si];
  cur.Sync();
  auto& xf = cur.impl_->xf[si];
  if (xf.state == 0) {
    OGRSpatialReference in;
    xf.state = 3;
    QuietGdal quiet;
    if (in.importFromEPSG(cur.datum_) == OGRERR_NONE) {
      in.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
      // WGS 84 and NAD 83 positions agree within the accuracy of these grids.
      const bool wgsLike = (cur.datum_ == 4326 || cur.datum_ == 4269) && (s.geogEpsg == 4326 || s.geogEpsg == 4269);
      if (s.geographic && (wgsLike || s.srs.IsSameGeogCS(&in))) {
        xf.state = 1;
      } else {
        xf.ct.reset(OGRCreateCoordinateTransformation(&in, &s.srs));
        if (xf.ct) xf.state = 2;
      }
    }
  }
  double x = lon, y = lat;
  if (xf.state == 1) {
    x = GridLon(lon, s.xMin, s.xMax);
  } else if (xf.state == 2) {
    x = NormLon(lon);
    if (!xf.ct->Transform(1, &x, &y)) return false;
  } else {
    return false;
  }
  px = s.inv[0] + x * s.inv[1] + y * s.inv[2];
  py = s.inv[3] + x * s.inv[4] + y * s.inv[5];
  return std::isfinite(px) && std::isfinite(py);
}

float TerrainSource::Pixel(std::size_t si, int i, int j, Cursor& cur) const {
  const int bx = i / kBlock, by = j / kBlock;
  auto& im = *cur.impl_;
  for (auto& sl : im.slots)
    if (sl.si == si && sl.bx == bx && sl.by == by) return sl.b->v[static_cast<std::size_t>(j - sl.b->y0) * sl.b->w + (i - sl.b->x0)];
  auto& sl = im.slots[im.next];
  im.next = (im.next + 1) % kCursorBlocks;
  sl.b = GetBlock(si, bx, by);
  sl.si = si;
  sl.bx = bx;
  sl.by = by;
  return sl.b->v[static_cast<std::size_t>(j - sl.b->y0) * sl.b->w + (i - sl.b->x0)];
}

namespace {

// Bilinear weighting of the four samples round a point; void samples drop
// out. The hot-block and the general look-up share it, so both give the same
// number to the last bit.
inline float Weigh(double tx, double ty, float v00, float v10, float v01, float v11) {
  if (!std::isnan(v00) && !std::isnan(v10) && !std::isnan(v01) && !std::isnan(v11))
    return static_cast<float>((1 - ty) * ((1 - tx) * v00 + tx * v10) + ty * ((1 - tx) * v01 + tx * v11));
  const double w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
  const float v[4] = {v00, v10, v01, v11};
  double sum = 0, ws = 0;
  for (int k = 0; k < 4; ++k)
    if (!std::isnan(v[k])) {
      sum += w[k] * v[k];
      ws += w[k];
    }
  return ws > 0 ? static_cast<float>(sum / ws) : std::numeric_limits<float>::quiet_NaN();
}

}  // namespace

inline bool TerrainSource::HotElevation(double lat, double lon, Cursor& cur, float& out) {
  const auto& h = cur.impl_->hot;
  if (!h.v) return false;
  const double x = h.narrow && lon >= h.xMin && lon <= h.xMax ? lon : GridLon(lon, h.xMin, h.xMax);
  const double fx = h.inv[0] + x * h.inv[1] + lat * h.inv[2] - 0.5;
  const double fy = h.inv[3] + x * h.inv[4] + lat * h.inv[5] - 0.5;
  // Inside the window: a whole cell of samples in the block (so no edge
  // clamping either), and no finer source near.
  if (!(fx >= h.fx0 && fx < h.fx1 && fy >= h.fy0 && fy < h.fy1)) return false;
  const int i0 = static_cast<int>(fx), j0 = static_cast<int>(fy);
  const float* p = h.v + static_cast<std::size_t>(j0 - h.y0) * h.w + (i0 - h.x0);
  const float v00 = p[0], v10 = p[1], v01 = p[h.w], v11 = p[h.w + 1];
  if (std::isnan(v00) || std::isnan(v10) || std::isnan(v01) || std::isnan(v11)) return false;
  out = Weigh(fx - i0, fy - j0, v00, v10, v01, v11);
  return true;
}

void TerrainSource::MakeHot(std::size_t si, double px, double py, Cursor& cur) const {
  const Source& s = *sources_[si];
  auto& h = cur.impl_->hot;
  h = {};
  if (cur.impl_->xf[si].state != 1 || s.width < 2 || s.height < 2) return;
  const int i = std::clamp(static_cast<int>(std::floor(px - 0.5)), 0, s.width - 1);
  const int j = std::clamp(static_cast<int>(std::floor(py - 0.5)), 0, s.height - 1);
  Pixel(si, i, j, cur);  // the block is now in one of the cursor's slots
  const auto* slot = &cur.impl_->slots[0];
  for (const auto& sl : cur.impl_->slots)
    if (sl.si == si && sl.bx == i / kBlock && sl.by == j / kBlock) slot = &sl;
  const Block& b = *slot->b;
  if (b.w < 2 || b.h < 2) return;
  double fx0 = b.x0, fx1 = b.x0 + b.w - 1, fy0 = b.y0, fy1 = b.y0 + b.h - 1;
  // Finer sources reaching into the block (their boxes with the usual slack)
  // cut the window down to the side of them the point is on; a point inside
  // one gets no window.
  const double ax = px - 0.5, ay = py - 0.5;
  for (std::size_t f = 0; f < si; ++f) {
    const Source& o = *sources_[f];
    if (!(o.minLon <= o.maxLon) || o.maxLon - o.minLon >= 360.0) return;
    for (double turn : {-360.0, 0.0, 360.0}) {  // its longitudes may differ from this grid's by turns
      double bx0 = 1e300, bx1 = -1e300, by0 = 1e300, by1 = -1e300;
      for (double lo : {o.minLon + turn - kBoxMarginDeg, o.maxLon + turn + kBoxMarginDeg})
        for (double la : {o.minLat - kBoxMarginDeg, o.maxLat + kBoxMarginDeg}) {
          const double x = s.inv[0] + lo * s.inv[1] + la * s.inv[2] - 0.5;
          const double y = s.inv[3] + lo * s.inv[4] + la * s.inv[5] - 0.5;
          bx0 = std::min(bx0, x);
          bx1 = std::max(bx1, x);
          by0 = std::min(by0, y);
          by1 = std::max(by1, y);
        }
      // Cells from i to i + 1 hold points fx in [i, i + 1); a cell touching the
      // box is left out with it.
      if (bx1 < fx0 - 1 || bx0 > fx1 + 1 || by1 < fy0 - 1 || by0 > fy1 + 1) continue;
      if (ax < bx0) fx1 = std::min(fx1, std::floor(bx0) - 1);
      else if (ax > bx1) fx0 = std::max(fx0, std::floor(bx1) + 2);
      else if (ay < by0) fy1 = std::min(fy1, std::floor(by0) - 1);
      else if (ay > by1) fy0 = std::max(fy0, std::floor(by1) + 2);
      else return;
    }
  }
  if (!(ax >= fx0 && ax < fx1 && ay >= fy0 && ay < fy1)) return;
  h.b = slot->b;
  h.v = b.v.data();
  h.x0 = b.x0;
  h.y0 = b.y0;
  h.w = b.w;
  h.h = b.h;
  h.fx0 = fx0;
  h.fx1 = fx1;
  h.fy0 = fy0;
  h.fy1 = fy1;
  std::copy(std::begin(s.inv), std::end(s.inv), h.inv);
  h.xMin = s.xMin;
  h.xMax = s.xMax;
  // Then a longitude inside the span is its own grid longitude (what GridLon
  // gives too: the one value of it, +-360, inside the span).
  h.narrow = s.xMax - s.xMin < 360.0 && s.xMin >= -540.0 && s.xMax < 540.0;
}

float TerrainSource::Bilinear(std::size_t si, double px, double py, Cursor& cur) const {
  const Source& s = *sources_[si];
  // Sample centres sit at half-integer pixel coordinates; outside the outer
  // centres the edge sample holds.
  double fx = std::clamp(px - 0.5, 0.0, static_cast<double>(s.width - 1));
  double fy = std::clamp(py - 0.5, 0.0, static_cast<double>(s.height - 1));
  int i0 = std::min(static_cast<int>(fx), std::max(s.width - 2, 0));
  int j0 = std::min(static_cast<int>(fy), std::max(s.height - 2, 0));
  const double tx = s.width > 1 ? fx - i0 : 0.0, ty = s.height > 1 ? fy - j0 : 0.0;
  const int i1 = std::min(i0 + 1, s.width - 1), j1 = std::min(j0 + 1, s.height - 1);
  // The nearest sample must have data; void neighbours drop out of the weights.
  const int ni = tx < 0.5 ? i0 : i1, nj = ty < 0.5 ? j0 : j1;
  if (std::isnan(Pixel(si, ni, nj, cur))) return std::numeric_limits<float>::quiet_NaN();
  const float v00 = Pixel(si, i0, j0, cur), v10 = Pixel(si, i1, j0, cur);
  const float v01 = Pixel(si, i0, j1, cur), v11 = Pixel(si, i1, j1, cur);
  return Weigh(tx, ty, v00, v10, v01, v11);
}

float TerrainSource::Elevation(double lat, double lon, Cursor& cur) const {
  if (cur.src_ != this || !std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0) return kNoElevation;
  cur.Sync();
  float hv = 0;
  if (HotElevation(lat, lon, cur, hv)) return hv;
  for (std::size_t si = 0; si < sources_.size(); ++si) {
    double px = 0, py = 0;
    if (!Locate(si, lat, lon, cur, px, py)) continue;
    const float v = Bilinear(si, px, py, cur);
    if (!std::isnan(v)) {
      MakeHot(si, px, py, cur);
      return v;
    }
  }
  return kNoElevation;
}

float TerrainSource::Elevation(double lat, double lon) const {
  Cursor cur(*this, 4326);
  return Elevation(lat, lon, cur);
}

// HotElevation over a run of points, the block's numbers held in locals: the
// count of leading points it gave (the same numbers, bit for bit).
std::size_t TerrainSource::HotRun(const double* lat, const double* lon, std::size_t n, float* out, Cursor& cur) {
  const auto& h = cur.impl_->hot;
  if (!h.v) return 0;
  const float* const v = h.v;
  const int x0 = h.x0, y0 = h.y0;
  const std::size_t w = static_cast<std::size_t>(h.w);
  const double fx0 = h.fx0, fx1 = h.fx1, fy0 = h.fy0, fy1 = h.fy1, xMin = h.xMin, xMax = h.xMax;
  const double i0c = h.inv[0], i1c = h.inv[1], i2c = h.inv[2], i3c = h.inv[3], i4c = h.inv[4], i5c = h.inv[5];
  const bool narrow = h.narrow;
  std::size_t k = 0;
  for (; k < n; ++k) {
    const double la = lat[k], lo = lon[k];
    if (!(std::fabs(la) <= 90.0)) break;
    const double x = narrow && lo >= xMin && lo <= xMax ? lo : GridLon(lo, xMin, xMax);
    const double fx = i0c + x * i1c + la * i2c - 0.5;
    const double fy = i3c + x * i4c + la * i5c - 0.5;
    if (!(fx >= fx0 && fx < fx1 && fy >= fy0 && fy < fy1)) break;
    const int i = static_cast<int>(fx), j = static_cast<int>(fy);
    const float* p = v + static_cast<std::size_t>(j - y0) * w + static_cast<std::size_t>(i - x0);
    const float v00 = p[0], v10 = p[1], v01 = p[w], v11 = p[w + 1];
    if (std::isnan(v00) || std::isnan(v10) || std::isnan(v01) || std::isnan(v11)) break;
    const double tx = fx - i, ty = fy - j;
    out[k] = static_cast<float>((1 - ty) * ((1 - tx) * v00 + tx * v10) + ty * ((1 - tx) * v01 + tx * v11));
  }
  return k;
}

void TerrainSource::Elevations(const double* lat, const double* lon, std::size_t n, float* out, Cursor& cur) const {
  if (cur.src_ != this) {
    for (std::size_t k = 0; k < n; ++k) out[k] = kNoElevation;
    return;
  }
  cur.Sync();
  for (std::size_t k = 0; k < n;) {
    // Points of the hot block straight away; the first one outside it (or
    // not finite, which Elevation then refuses) the general way, which moves
    // the hot block to it.
    k += HotRun(lat + k, lon + k, n - k, out + k, cur);
    if (k == n) break;
    out[k] = Elevation(lat[k], lon[k], cur);
    ++k;
  }
}

bool TerrainSource::Nearest(double lat, double lon, double& value, Cursor& cur) const {
  if (cur.src_ != this || !std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0) return false;
  for (std::size_t si = 0; si < sources_.size(); ++si) {
    double px = 0, py = 0;
    if (!Locate(si, lat, lon, cur, px, py)) continue;
    const Source& s = *sources_[si];
    const int i = std::clamp(static_cast<int>(std::floor(px)), 0, s.width - 1);
    const int j = std::clamp(static_cast<int>(std::floor(py)), 0, s.height - 1);
    const float v = Pixel(si, i, j, cur);
    if (!std::isnan(v)) {
      value = v;
      return true;
    }
  }
  return false;
}

double TerrainSource::ResolutionAt(double lat, double lon, Cursor& cur) const {
  for (std::size_t si = 0; si < sources_.size(); ++si) {
    double px = 0, py = 0;
    if (Locate(si, lat, lon, cur, px, py)) return sources_[si]->resM;
  }
  return 0;
}

std::size_t TerrainSource::Preload(double maxLat, double minLat, double maxLon, double minLon, int datumEpsg) {
  if (!(maxLat >= minLat) || !(maxLon >= minLon) || !std::isfinite(maxLat + minLat + maxLon + minLon)) return 0;
  maxLat = std::min(maxLat, 90.0);
  minLat = std::max(minLat, -90.0);
  Cursor cur(*this, datumEpsg);
  std::size_t held = 0;
  constexpr int kEdge = 16;
  for (std::size_t si = 0; si < sources_.size(); ++si) {
    const Source& s = *sources_[si];
    if (maxLat < s.minLat - kBoxMarginDeg || minLat > s.maxLat + kBoxMarginDeg) continue;
    // Pixel window of the box: its edges and inside sampled, clamped to the grid.
    double pxMin = 1e300, pxMax = -1e300, pyMin = 1e300, pyMax = -1e300;
    bool any = false;
    for (int a = 0; a <= kEdge; ++a)
      for (int b = 0; b <= kEdge; ++b) {
        const double lat = minLat + (maxLat - minLat) * a / kEdge, lon = minLon + (maxLon - minLon) * b / kEdge;
        double px = 0, py = 0;
        if (!ToPixel(si, lat, lon, cur, px, py)) continue;
        any = true;
        pxMin = std::min(pxMin, px); pxMax = std::max(pxMax, px);
        pyMin = std::min(pyMin, py); pyMax = std::max(pyMax, py);
      }
    if (!any || pxMax < 0 || pyMax < 0 || pxMin > s.width || pyMin > s.height) continue;
    const int bx0 = std::clamp(static_cast<int>(pxMin) - 1, 0, s.width - 1) / kBlock;
    const int bx1 = std::clamp(static_cast<int>(pxMax) + 1, 0, s.width - 1) / kBlock;
    const int by0 = std::clamp(static_cast<int>(pyMin) - 1, 0, s.height - 1) / kBlock;
    const int by1 = std::clamp(static_cast<int>(pyMax) + 1, 0, s.height - 1) / kBlock;
    for (int by = by0; by <= by1; ++by)
      for (int bx = bx0; bx <= bx1; ++bx) {
        if (counters_->bytes.load() + static_cast<std::size_t>(kBlock) * kBlock * sizeof(float) > budget_) return held;
        GetBlock(si, bx, by);
        ++held;
      }
  }
  return held;
}

}  // namespace zw::platform
