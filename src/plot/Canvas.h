#pragma once
// A drawing surface of cairo that ends up in a PNG, SVG or PDF file (chosen
// by the file's extension), with the text and line helpers the plots share.
// Saving replaces the file only once the whole picture is ready (written
// beside it, then renamed), so a failure leaves what was on disk.
#include <cairo.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zw::plot {

enum class ImageKind { Png, Svg, Pdf };

// ".png", ".svg", ".pdf" (any case); nullopt for any other extension.
std::optional<ImageKind> ImageKindOf(const std::filesystem::path& file);
// The message for a file whose extension names no picture format.
std::string ImageKindError(const std::filesystem::path& file);

struct Rgb {
  double r = 0, g = 0, b = 0;
};

enum class Align { Left, Centre, Right };

class Canvas {
 public:
  // width x height in pixels (PNG) or points (SVG, PDF).
  Canvas(ImageKind kind, int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* Cr() { return cr_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  ImageKind Kind() const { return kind_; }

  void SetColour(const Rgb& c, double alpha = 1.0);
  void FillRect(double x, double y, double w, double h, const Rgb& c, double alpha = 1.0);
  void Line(double x1, double y1, double x2, double y2, const Rgb& c, double width = 1.0);
  // Text with its baseline at y; x is its left end, centre or right end.
  void Text(double x, double y, std::string_view text, double size, Align align = Align::Left, bool bold = false,
            const Rgb& c = {});
  double TextWidth(std::string_view text, double size, bool bold = false);

  // Finishes the picture and writes it. "" or the failure text.
  std::string Save(const std::filesystem::path& file);

 private:
  void Font(double size, bool bold);
  ImageKind kind_;
  int width_, height_;
  std::string bytes_;  // SVG / PDF output as cairo streams it
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

// The readable form of a number for axis labels: no trailing zeros.
std::string AxisLabel(double v);
// Ticks of an axis from lo to hi: a step of 1, 2 or 5 times a power of ten
// giving at most maxTicks ticks; the first tick at or above lo.
struct Ticks {
  double first = 0, step = 1;
  int count = 0;
};
Ticks NiceTicks(double lo, double hi, int maxTicks);

}  // namespace zw::plot
