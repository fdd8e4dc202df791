#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/TerrainSourceParts.h"

#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <utility>
#include <atomic>
#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <system_error>

namespace zw::platform {

using namespace terrain_detail;

namespace {

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

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

// The elevation files of a file or folder (sidecar files left out), sorted.
std::vector<std::filesystem::path> ListFiles(const std::filesystem::path& fileOrDir,
                                             const std::function<void(const std::string&)>& note) {
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
  return files;
}

// Value conversion of the source's first band: no-data value, scale and
// offset, and for elevations the vertical unit.
void ReadBandValues(TerrainSource::Source& s, GDALRasterBandH band, TerrainSource::Kind kind) {
  int ok = 0;
  s.noData = GDALGetRasterNoDataValue(band, &ok);
  s.hasNoData = ok != 0;
  s.scale = GDALGetRasterScale(band, &ok);
  if (!ok || s.scale == 0) s.scale = 1;
  s.offset = GDALGetRasterOffset(band, &ok);
  if (!ok) s.offset = 0;
  if (kind == TerrainSource::Kind::Elevation) {
    std::string unit = GDALGetRasterUnitType(band);
    for (auto& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (unit == "ft" || unit == "foot" || unit == "feet" || unit == "international foot") s.unitToM = 0.3048;
    else if (unit == "us-ft" || unit == "us survey foot" || unit == "ftus") s.unitToM = 1200.0 / 3937.0;
  }
}

// The source's bounding box in WGS 84 and its sample spacing in metres; false
// when its coordinate system cannot be converted to latitude and longitude.
bool PlaceSource(TerrainSource::Source& s) {
  double xa = s.gt[0], xb = s.gt[0] + s.width * s.gt[1] + s.height * s.gt[2];
  double ya = s.gt[3], yb = s.gt[3] + s.width * s.gt[4] + s.height * s.gt[5];
  double x0 = std::min(xa, xb), x1 = std::max(xa, xb), y0 = std::min(ya, yb), y1 = std::max(ya, yb);
  bool boxOK = true;
  if (s.geographic) {
    s.minLon = x0; s.maxLon = x1; s.minLat = y0; s.maxLat = y1;
    s.xMin = x0; s.xMax = x1;
    const double midLat = 0.5 * (y0 + y1) * M_PI / 180.0;
    s.resM = std::sqrt(std::fabs(s.gt[1]) * 111320.0 * std::cos(midLat) * std::fabs(s.gt[5]) * 110574.0);
  } else {
    OGRSpatialReference wgs;
    wgs.importFromEPSG(4326);
    wgs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&s.srs, &wgs));
    double a = 0, b = 0, c = 0, d = 0;
    boxOK = ct && ct->TransformBounds(x0, y0, x1, y1, &a, &b, &c, &d, 21);
    s.minLon = a; s.minLat = b; s.maxLon = c; s.maxLat = d;
    const double lin = s.srs.GetLinearUnits();
    s.resM = std::sqrt(std::fabs(s.gt[1]) * std::fabs(s.gt[5])) * (lin > 0 ? lin : 1.0);
  }
  return boxOK;
}

}  // namespace

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
  const std::vector<std::filesystem::path> files = ListFiles(fileOrDir, note);

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
    ReadBandValues(*s, band, kind_);
    const bool boxOK = PlaceSource(*s);
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
    if (s->window) counters_->bytes -= s->window->v.size() * sizeof(float);
    s->window.reset();
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
  // Windows go first: they copy blocks, and the blocks answer without them.
  for (const auto& s : sources_) {
    if (counters_->bytes.load() <= budget_) return;
    std::lock_guard lock(s->m);
    if (s->window) counters_->bytes -= s->window->v.size() * sizeof(float);
    s->window.reset();
  }
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
    if (bx1 > bx0 || by1 > by0) MakeWindow(si, bx0, bx1, by0, by1);
  }
  return held;
}

void TerrainSource::MakeWindow(std::size_t si, int bx0, int bx1, int by0, int by1) const {
  Source& s = *sources_[si];
  const int x0 = bx0 * kBlock, y0 = by0 * kBlock;
  const int x1 = std::min((bx1 + 1) * kBlock, s.width), y1 = std::min((by1 + 1) * kBlock, s.height);
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(y1 - y0) * sizeof(float);
  std::lock_guard making(s.windowMaking);
  {
    std::lock_guard lock(s.m);
    const auto& w = s.window;
    if (w && w->x0 <= x0 && w->y0 <= y0 && w->x0 + w->w >= x1 && w->y0 + w->h >= y1) return;  // already held
  }
  if (counters_->bytes.load() + bytes > budget_) return;
  auto w = std::make_shared<Block>();
  w->x0 = x0;
  w->y0 = y0;
  w->w = x1 - x0;
  w->h = y1 - y0;
  w->v.resize(bytes / sizeof(float));
  for (int by = by0; by <= by1; ++by)
    for (int bx = bx0; bx <= bx1; ++bx) {
      const auto b = GetBlock(si, bx, by);
      for (int r = 0; r < b->h; ++r)
        std::copy_n(b->v.data() + static_cast<std::size_t>(r) * b->w, b->w,
                    w->v.data() + static_cast<std::size_t>(b->y0 - y0 + r) * w->w + (b->x0 - x0));
    }
  counters_->bytes += bytes;
  std::shared_ptr<const Block> old;
  {
    std::lock_guard lock(s.m);
    old = std::exchange(s.window, std::move(w));
  }
  if (old) counters_->bytes -= old->v.size() * sizeof(float);
  if (counters_->bytes.load() > budget_) Evict();
}

}  // namespace zw::platform
