#include "plot/Canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fmt/format.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>

#include "platform/FileSystem.h"

namespace zw::plot {

namespace {

constexpr const char* kFontFamily = "DejaVu Sans";

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Canvases alive; when the last one goes, cairo's font caches and fontconfig
// are released (the process keeps no font state between pictures).
std::mutex liveMutex;
int live = 0;

}  // namespace

std::optional<ImageKind> ImageKindOf(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".png") return ImageKind::Png;
  if (ext == ".svg") return ImageKind::Svg;
  if (ext == ".pdf") return ImageKind::Pdf;
  return std::nullopt;
}

std::string ImageKindError(const std::filesystem::path& file) {
  return "The picture " + file.string() + " needs a name ending in .png, .svg or .pdf (the format it is written in)";
}

Canvas::Canvas(ImageKind kind, int width, int height) : kind_(kind), width_(width), height_(height) {
  {
    const std::lock_guard<std::mutex> lock(liveMutex);
    ++live;
  }
  switch (kind) {
    case ImageKind::Png:
      surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
      break;
    case ImageKind::Svg:
      surface_ = cairo_svg_surface_create_for_stream(AppendBytes, &bytes_, width, height);
      break;
    case ImageKind::Pdf:
      surface_ = cairo_pdf_surface_create_for_stream(AppendBytes, &bytes_, width, height);
      break;
  }
  cr_ = cairo_create(surface_);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
  const std::lock_guard<std::mutex> lock(liveMutex);
  if (--live == 0) {
    cairo_debug_reset_static_data();
    FcFini();
  }
}

void Canvas::SetColour(const Rgb& c, double alpha) { cairo_set_source_rgba(cr_, c.r, c.g, c.b, alpha); }

void Canvas::FillRect(double x, double y, double w, double h, const Rgb& c, double alpha) {
  SetColour(c, alpha);
  cairo_rectangle(cr_, x, y, w, h);
  cairo_fill(cr_);
}

void Canvas::Line(double x1, double y1, double x2, double y2, const Rgb& c, double width) {
  SetColour(c);
  cairo_set_line_width(cr_, width);
  cairo_move_to(cr_, x1, y1);
  cairo_line_to(cr_, x2, y2);
  cairo_stroke(cr_);
}

void Canvas::Font(double size, bool bold) {
  cairo_select_font_face(cr_, kFontFamily, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, size);
}

double Canvas::TextWidth(std::string_view text, double size, bool bold) {
  Font(size, bold);
  const std::string s(text);
  cairo_text_extents_t ext;
  cairo_text_extents(cr_, s.c_str(), &ext);
  return ext.x_advance;
}

void Canvas::Text(double x, double y, std::string_view text, double size, Align align, bool bold, const Rgb& c) {
  const double w = TextWidth(text, size, bold);
  const double x0 = align == Align::Left ? x : align == Align::Centre ? x - w / 2 : x - w;
  const std::string s(text);
  SetColour(c);
  cairo_move_to(cr_, x0, y);
  cairo_show_text(cr_, s.c_str());
  cairo_new_path(cr_);
}

std::string Canvas::Save(const std::filesystem::path& file) {
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
    return "Cannot draw " + file.string() + ": " + cairo_status_to_string(cairo_status(cr_));
  std::string data;
  if (kind_ == ImageKind::Png) {
    cairo_surface_flush(surface_);
    const cairo_status_t st = cairo_surface_write_to_png_stream(surface_, AppendBytes, &data);
    if (st != CAIRO_STATUS_SUCCESS) return "Cannot encode " + file.string() + ": " + cairo_status_to_string(st);
  } else {
    cairo_surface_finish(surface_);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS)
      return "Cannot write " + file.string() + ": " + cairo_status_to_string(cairo_surface_status(surface_));
    data = bytes_;
  }
  std::string error;
  if (!platform::WriteFileAtomic(file, data, &error)) return "Cannot write " + file.string() + ": " + error;
  return {};
}

std::string AxisLabel(double v) {
  if (std::fabs(v) < 1e-9) return "0";
  std::string s = fmt::format("{:.3f}", v);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

Ticks NiceTicks(double lo, double hi, int maxTicks) {
  Ticks t;
  if (!std::isfinite(lo) || !std::isfinite(hi) || maxTicks < 2) return t;
  if (hi < lo) std::swap(lo, hi);
  const double span = std::max(hi - lo, 1e-9);
  double p = std::pow(10.0, std::floor(std::log10(span / maxTicks)));
  for (;; p *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      const double step = m * p;
      const double first = std::ceil(lo / step - 1e-9) * step;
      const int count = static_cast<int>(std::floor((hi - first) / step + 1e-9)) + 1;
      if (count <= maxTicks) {
        t.first = first;
        t.step = step;
        t.count = std::max(count, 0);
        return t;
      }
    }
  }
}

}  // namespace zw::plot
