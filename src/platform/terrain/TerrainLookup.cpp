// Elevation look-ups of a TerrainSource: where a point falls in each source,
// the hot block a cursor reads straight from, bilinear weighting of the four
// samples round the point, and runs of points at once.
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/TerrainSourceParts.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zw::platform {

using namespace terrain_detail;

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
  // The study window, when it holds the point's cell, serves instead of the
  // block: a profile then reads from one grid across block edges.
  std::shared_ptr<const Block> blk = slot->b;
  {
    Source& src = *sources_[si];
    std::lock_guard lock(src.m);
    const auto& wnd = src.window;
    if (wnd && i >= wnd->x0 && i + 1 < wnd->x0 + wnd->w && j >= wnd->y0 && j + 1 < wnd->y0 + wnd->h) blk = wnd;
  }
  const Block& b = *blk;
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
  h.b = blk;
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
  using V2 = double __attribute__((vector_size(16)));
  using Mask = long long __attribute__((vector_size(16)));
  const auto cell = [&](int i, int j) {
    return v + static_cast<std::size_t>(j - y0) * w + static_cast<std::size_t>(i - x0);
  };
  // One point: column and row go side by side through the same arithmetic
  // (one lane each), as do the two rows of the bilinear weighting. False
  // where the point needs the general look-up.
  const V2 c0 = {i0c, i3c}, c1 = {i1c, i4c}, c2 = {i2c, i5c}, lo = {fx0, fy0}, hi = {fx1, fy1};
  const auto one = [&](std::size_t k) {
    const double la = lat[k], lon1 = lon[k];
    if (!(std::fabs(la) <= 90.0)) return false;
    const double x = narrow && lon1 >= xMin && lon1 <= xMax ? lon1 : GridLon(lon1, xMin, xMax);
    const V2 f = c0 + x * c1 + la * c2 - 0.5;
    const auto inside = (f >= lo) & (f < hi);
    if (!(inside[0] && inside[1])) return false;
    const int i = static_cast<int>(f[0]), j = static_cast<int>(f[1]);
    const float* p = cell(i, j);
    const V2 left = {p[0], p[w]}, right = {p[1], p[w + 1]};
    const double tx = f[0] - i, ty = f[1] - j;
    const V2 rows = (1 - tx) * left + tx * right;
    const double e = (1 - ty) * rows[0] + ty * rows[1];
    if (std::isnan(e)) return false;  // a void among the four samples
    out[k] = static_cast<float>(e);
    return true;
  };
  // Two points at a time, one a lane, while both lie plainly in the block:
  // each lane does one point's operations in the same order, so the numbers
  // are those of `one`, which takes any point that is not so. (The two ways
  // must round alike: builds keep to the x86-64 baseline, with no fused
  // multiply-add to contract either one.) In a north-up grid the terms of
  // the zero coefficients are left out: adding a zero changes no sum (but
  // the sign of a zero one, which the 0.5 taken off next makes no matter).
  const auto both = [](Mask m) {
#if defined(__SSE2__)
    return _mm_movemask_pd(reinterpret_cast<__m128d>(m)) == 3;
#else
    return m[0] && m[1];
#endif
  };
  const V2 lat0 = {-90.0, -90.0}, lat1 = {90.0, 90.0}, lon0 = {xMin, xMin}, lon1 = {xMax, xMax};
  const V2 a0 = {i0c, i0c}, a1 = {i1c, i1c}, a2 = {i2c, i2c}, b0 = {i3c, i3c}, b1 = {i4c, i4c}, b2 = {i5c, i5c};
  const V2 x0v = {fx0, fx0}, x1v = {fx1, fx1}, y0v = {fy0, fy0}, y1v = {fy1, fy1}, half = {0.5, 0.5}, unit = {1.0, 1.0};
  const bool northUp = i2c == 0.0 && i4c == 0.0;
  const auto pairs = [&](auto kNorthUp, std::size_t k) {
    for (; narrow && k + 1 < n; k += 2) {
      V2 la, x;
      std::memcpy(&la, lat + k, sizeof la);
      std::memcpy(&x, lon + k, sizeof x);
      V2 fx, fy;
      if constexpr (kNorthUp) {
        fx = a0 + x * a1 - half;
        fy = b0 + la * b2 - half;
      } else {
        fx = a0 + x * a1 + la * a2 - half;
        fy = b0 + x * b1 + la * b2 - half;
      }
      const Mask plain = (la >= lat0) & (la <= lat1) & (x >= lon0) & (x <= lon1);
      const Mask inside = (fx >= x0v) & (fx < x1v) & (fy >= y0v) & (fy < y1v);
      if (!both(plain & inside)) break;
      const int ia = static_cast<int>(fx[0]), ib = static_cast<int>(fx[1]);
      const int ja = static_cast<int>(fy[0]), jb = static_cast<int>(fy[1]);
      const float* pa = cell(ia, ja);
      const float* pb = cell(ib, jb);
      const V2 tx = fx - V2{static_cast<double>(ia), static_cast<double>(ib)};
      const V2 ty = fy - V2{static_cast<double>(ja), static_cast<double>(jb)};
      const V2 top = (unit - tx) * V2{pa[0], pb[0]} + tx * V2{pa[1], pb[1]};
      const V2 bottom = (unit - tx) * V2{pa[w], pb[w]} + tx * V2{pa[w + 1], pb[w + 1]};
      const V2 e = (unit - ty) * top + ty * bottom;
      if (!both(e == e)) break;
      out[k] = static_cast<float>(e[0]);
      out[k + 1] = static_cast<float>(e[1]);
    }
    return k;
  };
  std::size_t k = 0;
  for (;;) {
    k = northUp ? pairs(std::true_type{}, k) : pairs(std::false_type{}, k);
    if (k >= n || !one(k)) return k;
    ++k;
  }
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

}  // namespace zw::platform
