#include "plot/MapScale.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "coverage/ResultsExport.h"

namespace zw::plot {

namespace {

Rgb Hex(unsigned v) { return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0}; }

// Ten colours from weak (violet-blue) to strong (red).
std::vector<Rgb> Spectral10() {
  std::vector<Rgb> c;
  for (unsigned v : {0x5E4FA2u, 0x3288BDu, 0x66C2A5u, 0xABDDA4u, 0xE6F598u, 0xFFFFBFu, 0xFEE08Bu, 0xFDAE61u, 0xF46D43u,
                     0xD53E4Fu})
    c.push_back(Hex(v));
  return c;
}

std::string Num(double v) {
  if (std::fabs(v - std::round(v)) < 1e-9) return fmt::format("{}", static_cast<long long>(std::llround(v)));
  std::string s = fmt::format("{:.2f}", v);
  while (s.back() == '0') s.pop_back();
  return s;
}

void Label(MapScale& s) {
  s.labels.clear();
  const auto& b = s.breaks;
  for (std::size_t k = 0; k <= b.size(); ++k) {
    if (k == 0) s.labels.push_back("below " + Num(b.front()) + " " + s.unit);
    else if (k == b.size()) s.labels.push_back(Num(b.back()) + " " + s.unit + " and above");
    else s.labels.push_back(Num(b[k - 1]) + " to " + Num(b[k]) + " " + s.unit);
  }
}

// Interpolates n colours along the ten-colour ramp.
std::vector<Rgb> Ramp(std::size_t n) {
  const auto base = Spectral10();
  std::vector<Rgb> out;
  for (std::size_t k = 0; k < n; ++k) {
    const double x = n > 1 ? static_cast<double>(k) / static_cast<double>(n - 1) * 9.0 : 9.0;
    const std::size_t i = std::min<std::size_t>(8, static_cast<std::size_t>(x));
    const double f = x - static_cast<double>(i);
    const Rgb a = base[i], b = base[i + 1];
    out.push_back({a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f});
  }
  return out;
}

}  // namespace

std::optional<ScaleKind> ParseScaleKind(std::string_view name) {
  std::string n(name);
  for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n == "fixed") return ScaleKind::Fixed;
  if (n == "auto") return ScaleKind::Auto;
  if (n == "threshold") return ScaleKind::Threshold;
  return std::nullopt;
}

int MapScale::ClassOf(double v) const {
  return static_cast<int>(std::upper_bound(breaks.begin(), breaks.end(), v) - breaks.begin());
}

MapScale FixedScale(const std::string& quantity, const std::string& unit, double lo, double hi) {
  MapScale s;
  s.quantity = quantity;
  s.unit = unit;
  if (unit == "dBu") {
    for (int b = 20; b <= 100; b += 10) s.breaks.push_back(b);
    s.colours = Spectral10();
  } else if (unit == "Fresnel zone radii") {
    s.breaks = {-1, -0.5, 0, 0.3, 0.6, 1};
    for (unsigned v : {0xA50026u, 0xD73027u, 0xF46D43u, 0xFDAE61u, 0xD9EF8Bu, 0x66BD63u, 0x1A9850u})
      s.colours.push_back(Hex(v));
    s.marks = {0.0, 0.6};
  } else if (unit == "km") {
    for (int b = 10; b <= 90; b += 10) s.breaks.push_back(b);
    s.colours = Spectral10();
  } else {
    return AutoMapScale(quantity, unit, lo, hi);
  }
  Label(s);
  return s;
}

MapScale AutoMapScale(const std::string& quantity, const std::string& unit, double lo, double hi) {
  const coverage::ColourScale a = coverage::AutoScale(lo, hi);
  MapScale s;
  s.quantity = quantity;
  s.unit = unit;
  for (int k = 1; k < a.classes; ++k) s.breaks.push_back(a.lo + k * a.step);
  if (s.breaks.empty()) s.breaks.push_back(a.lo + a.step);
  s.colours = Ramp(s.breaks.size() + 1);
  if (unit == "Fresnel zone radii") s.marks = {0.0, 0.6};
  Label(s);
  return s;
}

MapScale ThresholdScale(const std::string& quantity, const std::string& unit, double threshold) {
  MapScale s;
  s.quantity = quantity;
  s.unit = unit;
  s.breaks = {threshold};
  s.colours = {Hex(0xB0B0B0), Hex(0x1A9850)};
  s.labels = {"not covered (below " + Num(threshold) + " " + unit + ")",
              "covered (" + Num(threshold) + " " + unit + " and above)"};
  return s;
}

}  // namespace zw::plot
