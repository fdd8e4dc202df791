#include "plot/StudyMap.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "platform/Text.h"
#include "plot/Canvas.h"

namespace zw::plot {

namespace {

constexpr double kMargin = 20, kTitleH = 72, kLegendW = 270, kMapTarget = 800, kRow = 22;
constexpr Rgb kBlack{0, 0, 0}, kWhite{1, 1, 1}, kDark{0.15, 0.15, 0.15}, kStored{0.1, 0.2, 0.75};
constexpr double kDegToRad = M_PI / 180.0;

double KmPerDegLat(double lat) {
  const double p = lat * kDegToRad;
  return 111.13209 - 0.56605 * std::cos(2 * p) + 0.0012 * std::cos(4 * p);
}
double KmPerDegLon(double lat) {
  const double p = lat * kDegToRad;
  return 111.41513 * std::cos(p) - 0.09455 * std::cos(3 * p) + 0.00012 * std::cos(5 * p);
}

// An image surface of cells (one pixel each) in premultiplied ARGB.
struct CellImage {
  cairo_surface_t* s = nullptr;
  CellImage(int w, int h) : s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {}
  ~CellImage() { cairo_surface_destroy(s); }
  void Set(int x, int y, const Rgb& c, double alpha) {
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                 static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s));
    auto ch = [&](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * alpha * 255)); };
    row[x] = (ch(1.0) << 24) | (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
  }
  // Draws the cells stretched over the box (x, y, w, h) of the canvas.
  void Paint(Canvas& c, int width, int height, double x, double y, double w, double h, cairo_filter_t filter,
             double alpha) {
    cairo_surface_mark_dirty(s);
    cairo_t* cr = c.Cr();
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, w / width, h / height);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), filter);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
  }
};

// The values of the raster as cells in their class colours (no value: clear).
void PaintField(Canvas& c, const coverage::FieldRaster& r, const MapScale& scale, double x, double y, double w,
                double h, double alpha) {
  CellImage img(r.width, r.height);
  cairo_surface_flush(img.s);
  for (int row = 0; row < r.height; ++row)
    for (int col = 0; col < r.width; ++col)
      if (const double v = r.Value(col, row); std::isfinite(v)) img.Set(col, row, scale.ColourOf(v), 1.0);
  img.Paint(c, r.width, r.height, x, y, w, h, CAIRO_FILTER_NEAREST, alpha);
}

void PaintShade(Canvas& c, const Shade& s, double x, double y, double w, double h) {
  CellImage img(s.width, s.height);
  cairo_surface_flush(img.s);
  for (int row = 0; row < s.height; ++row)
    for (int col = 0; col < s.width; ++col)
      if (const unsigned char g = s.px[static_cast<std::size_t>(row) * s.width + col]; g > 0)
        img.Set(col, row, {g / 255.0, g / 255.0, g / 255.0}, 1.0);
  img.Paint(c, s.width, s.height, x, y, w, h, CAIRO_FILTER_BILINEAR, 1.0);
}

void Disc(Canvas& c, double x, double y, double r, const Rgb& fill, const Rgb& rim, double rimWidth) {
  cairo_t* cr = c.Cr();
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  c.SetColour(fill);
  cairo_fill_preserve(cr);
  c.SetColour(rim);
  cairo_set_line_width(cr, rimWidth);
  cairo_stroke(cr);
}

void TxMarker(Canvas& c, double x, double y) {
  Disc(c, x, y, 7, kWhite, kBlack, 2);
  Disc(c, x, y, 2, kBlack, kBlack, 0.5);
}

void Ring(Canvas& c, const MapLayout& L, const LonLatRing& ring, const Rgb& colour, double width) {
  if (ring.size() < 2) return;
  cairo_t* cr = c.Cr();
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const auto [x, y] = L.PixelOf(ring[i].second, ring[i].first);
    if (i == 0) cairo_move_to(cr, x, y);
    else cairo_line_to(cr, x, y);
  }
  c.SetColour(colour);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void NorthArrow(Canvas& c, double x, double y) {
  cairo_t* cr = c.Cr();
  c.FillRect(x - 16, y - 6, 32, 50, kWhite, 0.8);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x - 9, y + 24);
  cairo_line_to(cr, x, y + 18);
  cairo_line_to(cr, x + 9, y + 24);
  cairo_close_path(cr);
  c.SetColour(kBlack);
  cairo_fill(cr);
  c.Text(x, y + 40, "N", 13, Align::Centre, true);
}

void ScaleBar(Canvas& c, const MapLayout& L) {
  const double midLat = L.geo[3] + L.geo[5] * L.rows / 2;
  const double kmPerPx = L.geo[1] * L.cols / L.mapW * KmPerDegLon(midLat);
  if (!(kmPerPx > 0)) return;
  double km = 0.01;
  for (double p = 0.01; p < 1e5; p *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (m * p / kmPerPx <= L.mapW * 0.3) km = m * p;
  const double len = km / kmPerPx, x = L.mapX + 14, y = L.mapY + L.mapH - 18;
  c.FillRect(x - 8, y - 22, len + 60, 34, kWhite, 0.8);
  c.FillRect(x, y - 6, len / 2, 6, kBlack);
  c.FillRect(x + len / 2, y - 6, len / 2, 6, kWhite);
  cairo_t* cr = c.Cr();
  c.SetColour(kBlack);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, x, y - 6, len, 6);
  cairo_stroke(cr);
  c.Text(x, y - 10, "0", 11, Align::Centre);
  c.Text(x + len, y - 10, AxisLabel(km) + " km", 11, Align::Left);
}

std::string Capitalised(std::string s) {
  if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  return s;
}

// Rows of the legend after its classes.
int ExtraRows(const MapScale& s, const MapDecor& d) {
  return 2 + (d.contour.empty() ? 0 : 1) + (d.stored.empty() ? 0 : 1) + (s.marks.empty() ? 0 : 1) + (d.shade ? 1 : 0) + (d.txName.empty() ? 0 : 1);
}

double LegendHeight(const MapScale& s, const MapDecor& d) {
  return 56 + kRow * static_cast<double>(s.colours.size() + static_cast<std::size_t>(ExtraRows(s, d))) + 8;
}

void DrawLegend(Canvas& c, double x, double y, const MapScale& s, const MapDecor& d) {
  c.Text(x, y + 16, Capitalised(s.quantity), 15, Align::Left, true);
  c.Text(x, y + 36, "(" + s.unit + ")", 13);
  double yy = y + 52;
  cairo_t* cr = c.Cr();
  for (std::size_t k = s.colours.size(); k-- > 0; yy += kRow) {
    c.FillRect(x, yy, 26, 16, s.colours[k]);
    c.SetColour(kDark);
    cairo_set_line_width(cr, 0.7);
    cairo_rectangle(cr, x, yy, 26, 16);
    cairo_stroke(cr);
    c.Text(x + 34, yy + 13, s.labels[k], 12);
  }
  yy += 4;
  if (!s.marks.empty()) {
    std::string marks;
    for (double m : s.marks) marks += (marks.empty() ? "" : " and ") + AxisLabel(m);
    c.Text(x, yy + 13, marks + " " + s.unit + " are class limits", 11);
    yy += kRow;
  }
  if (!d.contour.empty()) {
    c.Line(x, yy + 8, x + 26, yy + 8, kBlack, 2);
    c.Text(x + 34, yy + 13, d.contourLabel, 12);
    yy += kRow;
  }
  if (!d.stored.empty()) {
    const double dash[2] = {6, 3};
    cairo_set_dash(cr, dash, 2, 0);
    c.Line(x, yy + 8, x + 26, yy + 8, kStored, 2.2);
    cairo_set_dash(cr, dash, 0, 0);
    c.Text(x + 34, yy + 13, d.storedLabel, 12);
    yy += kRow;
  }
  TxMarker(c, x + 13, yy + 8);
  c.Text(x + 34, yy + 13, "transmitter", 12);
  yy += kRow;
  if (!d.txName.empty()) {
    // The site's name under it, shortened to the legend's width.
    std::string name = d.txName;
    while (name.size() > 4 && c.TextWidth(name, 11) > kLegendW - 50) name.replace(name.size() - 4, 4, "...");
    c.Text(x + 34, yy + 9, name, 11);
    yy += kRow - 4;
  }
  cairo_rectangle(cr, x, yy, 26, 16);
  c.SetColour(kDark);
  cairo_set_line_width(cr, 0.7);
  const double dash[2] = {3, 2};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_stroke(cr);
  cairo_set_dash(cr, dash, 0, 0);
  c.Text(x + 34, yy + 13, "no value: transparent", 12);
  yy += kRow;
  if (d.shade) c.Text(x, yy + 13, "terrain shading underneath", 11);
}

}  // namespace

MapLayout PlanMap(const coverage::FieldRaster& r) {
  MapLayout L;
  L.cols = std::max(1, r.width);
  L.rows = std::max(1, r.height);
  std::copy(r.geo, r.geo + 6, L.geo);
  const double midLat = r.geo[3] + r.geo[5] * L.rows / 2;
  double aspect = std::abs(r.geo[5]) * KmPerDegLat(midLat) / std::max(1e-12, r.geo[1] * KmPerDegLon(midLat));
  if (!std::isfinite(aspect) || aspect < 0.1 || aspect > 10) aspect = 1;
  const double s = kMapTarget / std::max<double>(L.cols, L.rows * aspect);
  L.mapW = std::round(L.cols * s);
  L.mapH = std::round(L.rows * aspect * s);
  L.mapX = kMargin;
  L.mapY = kTitleH;
  L.width = static_cast<int>(kMargin + L.mapW + kMargin + kLegendW + kMargin);
  L.height = static_cast<int>(kTitleH + L.mapH + kMargin);
  return L;
}

void MarkTransmitters(const coverage::StudyResults& s, MapDecor& d) {
  std::vector<const coverage::RdbRecord*> sites;
  for (const auto& rec : s.all)
    if (rec.desc.rfind("TX SIT", 0) == 0) sites.push_back(&rec);
  if (sites.size() < 2) return;
  for (const auto* rec : sites) {
    d.sites.emplace_back(rec->lat, rec->lon);
    const std::string name = Trim(rec->desc.substr(6));
    d.siteLabels.push_back(name.substr(0, name.find(' ')));
  }
}

std::string DrawStudyMap(const coverage::FieldRaster& r, const MapScale& scale, const MapDecor& d,
                         const std::filesystem::path& file) {
  const auto kind = ImageKindOf(file);
  if (!kind) return ImageKindError(file);
  if (r.width <= 0 || r.height <= 0) return "Nothing to draw into " + file.string();
  MapLayout L = PlanMap(r);
  L.height = static_cast<int>(std::max<double>(L.height, kTitleH + LegendHeight(scale, d) + kMargin));
  Canvas c(*kind, L.width, L.height);
  c.FillRect(0, 0, L.width, L.height, kWhite);
  c.Text(L.mapX, 30, d.title, 18, Align::Left, true);
  c.Text(L.mapX, 54, d.subtitle, 13);
  cairo_t* cr = c.Cr();
  // The map area itself is clear: cells without a value show what lies under them.
  cairo_save(cr);
  cairo_rectangle(cr, L.mapX, L.mapY, L.mapW, L.mapH);
  cairo_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  const bool shaded = d.shade && d.shade->width > 0;
  if (shaded) PaintShade(c, *d.shade, L.mapX, L.mapY, L.mapW, L.mapH);
  PaintField(c, r, scale, L.mapX, L.mapY, L.mapW, L.mapH, shaded ? 0.75 : 1.0);
  for (const auto& ring : r.rings) {
    LonLatRing lonLat;
    for (const auto& [lat, lon] : ring) lonLat.emplace_back(lon, lat);
    if (!lonLat.empty()) lonLat.push_back(lonLat.front());
    Ring(c, L, lonLat, kDark, 1.5);
  }
  for (const auto& m : r.marks) {
    const auto [x, y] = L.PixelOf(m.lat, m.lon);
    Disc(c, x, y, 5, scale.ColourOf(m.value), kBlack, 1);
  }
  for (const auto& ring : d.contour) Ring(c, L, ring, kBlack, 1.6);
  const double dash[2] = {6, 3};
  cairo_set_dash(cr, dash, 2, 0);
  for (const auto& ring : d.stored) Ring(c, L, ring, kStored, 2.2);
  cairo_set_dash(cr, dash, 0, 0);
  if (r.haveTx) {
    const auto [x, y] = L.PixelOf(r.txLat, r.txLon);
    TxMarker(c, x, y);
  }
  for (std::size_t i = 0; i < d.sites.size(); ++i) {
    const auto [x, y] = L.PixelOf(d.sites[i].first, d.sites[i].second);
    TxMarker(c, x, y);
    if (i < d.siteLabels.size() && !d.siteLabels[i].empty()) {
      // On a light box, so the name reads over any colour of the map.
      const double w = c.TextWidth(d.siteLabels[i], 11, true);
      c.FillRect(x + 9, y - 19, w + 6, 15, kWhite, 0.85);
      c.Text(x + 12, y - 8, d.siteLabels[i], 11, Align::Left, true);
    }
  }
  cairo_restore(cr);
  c.SetColour(kBlack);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, L.mapX, L.mapY, L.mapW, L.mapH);
  cairo_stroke(cr);
  NorthArrow(c, L.mapX + L.mapW - 26, L.mapY + 12);
  ScaleBar(c, L);
  DrawLegend(c, L.mapX + L.mapW + kMargin, L.mapY, scale, d);
  return c.Save(file);
}

std::string DrawOverlay(const coverage::FieldRaster& r, const MapScale& scale, const std::filesystem::path& file) {
  if (r.width <= 0 || r.height <= 0) return "Nothing to draw into " + file.string();
  // Small grids are enlarged by whole pixels per cell; the overlay keeps the grid's shape.
  const int f = std::clamp(static_cast<int>(kMapTarget) / std::max(r.width, r.height), 1, 16);
  Canvas c(ImageKind::Png, r.width * f, r.height * f);
  PaintField(c, r, scale, 0, 0, r.width * f, r.height * f, 0.7);
  return c.Save(file);
}

std::string DrawLegendPicture(const MapScale& scale, const MapDecor& d, const std::filesystem::path& file) {
  const double h = LegendHeight(scale, d) + 10;
  Canvas c(ImageKind::Png, static_cast<int>(kLegendW), static_cast<int>(h));
  c.FillRect(0, 0, kLegendW, h, kWhite, 0.9);
  DrawLegend(c, 10, 4, scale, d);
  return c.Save(file);
}

}  // namespace zw::plot
