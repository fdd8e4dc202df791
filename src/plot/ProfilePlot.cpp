#include "plot/ProfilePlot.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/Canvas.h"
#include "plot/PathGeometry.h"

namespace zw::plot {

namespace {

constexpr int kWidth = 1200, kHeight = 700;
constexpr double kLeft = 90, kRight = 30, kTop = 100, kBottom = 64;

constexpr Rgb kTerrain{0.80, 0.70, 0.52}, kTerrainEdge{0.45, 0.33, 0.18}, kEarth{0.30, 0.30, 0.30};
constexpr Rgb kObstruction{0.55, 0.55, 0.55}, kRay{0.85, 0.10, 0.10}, kFresnel{0.20, 0.45, 0.85};
constexpr Rgb kMark{0.55, 0.10, 0.60}, kGrid{0.88, 0.88, 0.88}, kBlack{0, 0, 0}, kWhite{1, 1, 1};

// Data (distance m, height m) to picture coordinates.
struct Frame {
  double x0, y0, w, h, lengthM, yMin, yMax;
  double X(double dM) const { return x0 + (lengthM > 0 ? dM / lengthM : 0) * w; }
  double Y(double hM) const { return y0 + (yMax - hM) / (yMax - yMin) * h; }
};

Frame PlanFrame(const ProfilePlot& p, const PathGeometry& g) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::size_t i = 0; i < g.groundM.size(); ++i) {
    lo = std::min(lo, static_cast<double>(p.elevM[i]));
    hi = std::max(hi, g.groundM[i]);
    if (i < p.elevObsM.size()) hi = std::max(hi, p.elevObsM[i] + g.bulgeM[i]);
    if (p.antennas) hi = std::max(hi, g.rayM[i] + g.fresnelM[i]);
  }
  if (p.antennas) hi = std::max({hi, g.txM, g.rxM});
  for (const auto& m : p.marks)
    if (std::isfinite(m.heightM)) hi = std::max(hi, m.heightM);
  const double span = std::max(hi - lo, 10.0);
  const Ticks t = NiceTicks(lo - 0.08 * span, hi + 0.08 * span, 9);
  Frame f{kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom, g.distM.back() - g.distM.front(),
          t.first - t.step, t.first + t.count * t.step};
  if (f.yMax <= hi) f.yMax += t.step;
  return f;
}

// Metres per unit of the axes: heights (m or ft) and distances (km or mi).
struct AxisUnits {
  double heightM, distanceM;
  const char *height, *distance;
};
AxisUnits UnitsOf(bool imperial) {
  return imperial ? AxisUnits{0.3048, 1609.344, "ft", "mi"} : AxisUnits{1.0, 1000.0, "m", "km"};
}

void DrawAxes(Canvas& c, const Frame& f, double k, bool imperial) {
  const AxisUnits u = UnitsOf(imperial);
  const Ticks ty = NiceTicks(f.yMin / u.heightM, f.yMax / u.heightM, 9);
  for (int i = 0; i < ty.count; ++i) {
    const double v = ty.first + i * ty.step, y = f.Y(v * u.heightM);
    c.Line(f.x0, y, f.x0 + f.w, y, kGrid, 1);
    c.Line(f.x0 - 5, y, f.x0, y, kBlack, 1);
    c.Text(f.x0 - 8, y + 4, AxisLabel(v), 12, Align::Right);
  }
  const Ticks tx = NiceTicks(0, f.lengthM / u.distanceM, 12);
  for (int i = 0; i < tx.count; ++i) {
    const double v = tx.first + i * tx.step, x = f.X(v * u.distanceM);
    c.Line(x, f.y0, x, f.y0 + f.h, kGrid, 1);
    c.Line(x, f.y0 + f.h, x, f.y0 + f.h + 5, kBlack, 1);
    c.Text(x, f.y0 + f.h + 19, AxisLabel(v), 12, Align::Centre);
  }
  cairo_t* cr = c.Cr();
  c.SetColour(kBlack);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, f.x0, f.y0, f.w, f.h);
  cairo_stroke(cr);
  c.Text(f.x0 + f.w / 2, kHeight - 14, fmt::format("Distance from the transmitter ({})", u.distance), 13,
         Align::Centre);
  cairo_save(cr);
  cairo_translate(cr, 22, f.y0 + f.h / 2);
  cairo_rotate(cr, -M_PI / 2);
  c.Text(0, 0, fmt::format("Height above sea level ({}), earth bulge for k = {:.3f}", u.height, k), 13,
         Align::Centre);
  cairo_restore(cr);
}

// A filled band between two height curves along the path.
void Band(Canvas& c, const Frame& f, const std::vector<double>& d, const std::vector<double>& lower,
          const std::vector<double>& upper, const Rgb& colour, double alpha) {
  cairo_t* cr = c.Cr();
  cairo_move_to(cr, f.X(d.front() - d.front()), f.Y(upper.front()));
  for (std::size_t i = 1; i < d.size(); ++i) cairo_line_to(cr, f.X(d[i] - d.front()), f.Y(upper[i]));
  for (std::size_t i = d.size(); i-- > 0;) cairo_line_to(cr, f.X(d[i] - d.front()), f.Y(lower[i]));
  cairo_close_path(cr);
  c.SetColour(colour, alpha);
  cairo_fill(cr);
}

void Curve(Canvas& c, const Frame& f, const std::vector<double>& d, const std::vector<double>& h, const Rgb& colour,
           double width, bool dashed = false) {
  cairo_t* cr = c.Cr();
  cairo_move_to(cr, f.X(0), f.Y(h.front()));
  for (std::size_t i = 1; i < d.size(); ++i) cairo_line_to(cr, f.X(d[i] - d.front()), f.Y(h[i]));
  c.SetColour(colour);
  cairo_set_line_width(cr, width);
  const double dash[2] = {8, 5};
  cairo_set_dash(cr, dash, dashed ? 2 : 0, 0);
  cairo_stroke(cr);
  cairo_set_dash(cr, dash, 0, 0);
}

void DrawAntenna(Canvas& c, const Frame& f, double dM, double groundM, double topM, const std::string& label,
                 bool leftSide) {
  const double x = f.X(dM);
  c.Line(x, f.Y(groundM), x, f.Y(topM), kBlack, 3);
  cairo_t* cr = c.Cr();
  cairo_arc(cr, x, f.Y(topM), 5, 0, 2 * M_PI);
  c.SetColour(kRay);
  cairo_fill(cr);
  c.Text(leftSide ? x + 9 : x - 9, f.Y(topM) - 8, label, 12, leftSide ? Align::Left : Align::Right, true);
}

// Land use along the path: a strip at the foot of the plot, one colour per
// class (in the order the classes first appear), and their names beside it.
void DrawLandUse(Canvas& c, const Frame& f, const std::vector<double>& distM, const std::vector<std::string>& cls) {
  static constexpr Rgb kClasses[] = {{0.27, 0.55, 0.20}, {0.85, 0.65, 0.13}, {0.55, 0.35, 0.65},
                                     {0.20, 0.50, 0.75}, {0.80, 0.30, 0.25}, {0.45, 0.45, 0.45},
                                     {0.60, 0.80, 0.35}, {0.95, 0.55, 0.70}};
  std::vector<std::string> seen;
  const auto colourOf = [&](const std::string& name) {
    auto it = std::find(seen.begin(), seen.end(), name);
    if (it == seen.end()) it = seen.insert(seen.end(), name);
    return kClasses[static_cast<std::size_t>(it - seen.begin()) % std::size(kClasses)];
  };
  const double y = f.y0 + f.h - 12, d0 = distM.front();
  for (std::size_t i = 0; i < distM.size(); ++i) {
    if (cls[i].empty()) continue;
    const double a = i == 0 ? 0.0 : (distM[i - 1] + distM[i]) / 2 - d0;
    const double b = i + 1 == distM.size() ? f.lengthM : (distM[i] + distM[i + 1]) / 2 - d0;
    c.FillRect(f.X(a), y, std::max(f.X(b) - f.X(a), 0.5), 12, colourOf(cls[i]));
  }
  if (seen.empty()) return;
  double x = f.x0 + 8;
  c.Text(x, y - 6, "land use:", 11);
  x += c.TextWidth("land use:", 11) + 8;
  for (const std::string& name : seen) {
    c.FillRect(x, y - 15, 12, 10, colourOf(name));
    c.Text(x + 16, y - 6, name, 11);
    x += 16 + c.TextWidth(name, 11) + 14;
  }
}

void DrawLegend(Canvas& c, const Frame& f, const ProfilePlot& p) {
  struct Item {
    const char* text;
    Rgb colour;
    int kind;  // 0 patch, 1 line, 2 dashed line
  };
  std::vector<Item> items{{"terrain", kTerrain, 0}};
  if (!p.elevObsM.empty()) items.push_back({"obstructions", kObstruction, 0});
  if (p.antennas) {
    items.push_back({"direct ray", kRay, 1});
    if (p.freqMHz > 0) {
      items.push_back({"first Fresnel zone", kFresnel, 0});
      items.push_back({"60 % of the first zone", kFresnel, 2});
    }
  }
  items.push_back({"earth curvature", kEarth, 1});
  if (!p.marks.empty()) items.push_back({"obstacles / horizons of the model", kMark, 3});
  // One row between the title and the plot, centred.
  double total = 0;
  for (const Item& it : items) total += 40 + c.TextWidth(it.text, 12) + 18;
  double x = f.x0 + std::max(0.0, (f.w - total) / 2);
  const double y = f.y0 - 14;
  cairo_t* cr = c.Cr();
  for (const Item& it : items) {
    if (it.kind == 0) {
      c.FillRect(x + 4, y - 9, 28, 10, it.colour, it.colour.b > 0.8 ? 0.3 : 1.0);
    } else if (it.kind == 3) {
      cairo_move_to(cr, x + 18, y + 1);
      cairo_line_to(cr, x + 11, y - 10);
      cairo_line_to(cr, x + 25, y - 10);
      cairo_close_path(cr);
      c.SetColour(it.colour);
      cairo_fill(cr);
    } else {
      const double dash[2] = {6, 4};
      cairo_set_dash(cr, dash, it.kind == 2 ? 2 : 0, 0);
      c.Line(x + 4, y - 4, x + 32, y - 4, it.colour, 2);
      cairo_set_dash(cr, dash, 0, 0);
    }
    c.Text(x + 38, y, it.text, 12);
    x += 40 + c.TextWidth(it.text, 12) + 18;
  }
}

}  // namespace

std::string DrawProfilePlot(const ProfilePlot& p, const std::filesystem::path& file) {
  const auto kind = ImageKindOf(file);
  if (!kind) return ImageKindError(file);
  if (p.distM.size() < 2 || p.distM.size() != p.elevM.size())
    return "No profile to draw into " + file.string() + " (at least two points needed)";
  const PathGeometry g = BuildPathGeometry(p.distM, p.elevM, p.txAglM, p.rxAglM, p.kFactor, p.antennas ? p.freqMHz : 0);
  const Frame f = PlanFrame(p, g);
  Canvas c(*kind, kWidth, kHeight);
  c.FillRect(0, 0, kWidth, kHeight, kWhite);
  c.Text(kWidth / 2.0, 30, p.title, 18, Align::Centre, true);
  c.Text(kWidth / 2.0, 56, p.subtitle, 13, Align::Centre);
  DrawAxes(c, f, p.kFactor, p.imperial);

  cairo_t* cr = c.Cr();
  cairo_save(cr);
  cairo_rectangle(cr, f.x0, f.y0, f.w, f.h);
  cairo_clip(cr);
  // The earth under the terrain: the bulge above the frame's floor.
  std::vector<double> floor(g.distM.size(), f.yMin), earth(g.distM.size());
  for (std::size_t i = 0; i < earth.size(); ++i) earth[i] = f.yMin + g.bulgeM[i];
  Band(c, f, g.distM, floor, earth, kEarth, 0.25);
  if (!p.elevObsM.empty()) {
    std::vector<double> obs(g.distM.size());
    for (std::size_t i = 0; i < obs.size(); ++i) obs[i] = std::max<double>(p.elevObsM[i], p.elevM[i]) + g.bulgeM[i];
    Band(c, f, g.distM, g.groundM, obs, kObstruction, 1.0);
  }
  Band(c, f, g.distM, earth, g.groundM, kTerrain, 1.0);
  Curve(c, f, g.distM, g.groundM, kTerrainEdge, 1.2);
  Curve(c, f, g.distM, earth, kEarth, 1.5);
  if (p.antennas) {
    if (p.freqMHz > 0) {
      std::vector<double> lo(g.distM.size()), hi(g.distM.size()), sixty(g.distM.size());
      for (std::size_t i = 0; i < lo.size(); ++i) {
        lo[i] = g.rayM[i] - g.fresnelM[i];
        hi[i] = g.rayM[i] + g.fresnelM[i];
        sixty[i] = g.rayM[i] - 0.6 * g.fresnelM[i];
      }
      Band(c, f, g.distM, lo, hi, kFresnel, 0.22);
      Curve(c, f, g.distM, lo, kFresnel, 0.8);
      Curve(c, f, g.distM, hi, kFresnel, 0.8);
      Curve(c, f, g.distM, sixty, kFresnel, 1.4, true);
    }
    Curve(c, f, g.distM, g.rayM, kRay, 2.0);
  }
  int markNo = 0;
  for (const auto& m : p.marks) {
    const double d = std::clamp(m.distM, 0.0, f.lengthM);
    // The drawn ground at that distance (nearest profile point).
    const auto it = std::lower_bound(g.distM.begin(), g.distM.end(), d + g.distM.front());
    const std::size_t i = std::min<std::size_t>(it - g.distM.begin(), g.distM.size() - 1);
    const double h = std::isfinite(m.heightM) ? m.heightM : g.groundM[i];
    const double x = f.X(d), y = f.Y(h);
    cairo_move_to(cr, x, y - 2);
    cairo_line_to(cr, x - 7, y - 14);
    cairo_line_to(cr, x + 7, y - 14);
    cairo_close_path(cr);
    c.SetColour(kMark);
    cairo_fill(cr);
    // Labels of neighbouring marks step up in turn so that they do not overlap.
    const bool right = x < f.x0 + f.w * 0.8;
    const double up = 18 + 14 * (markNo++ % 3);
    c.Text(right ? x + 9 : x - 9, y - up, m.label, 11, right ? Align::Left : Align::Right, false, kMark);
  }
  if (p.landUse.size() == g.distM.size()) DrawLandUse(c, f, g.distM, p.landUse);
  cairo_restore(cr);
  if (p.antennas) {
    const AxisUnits u = UnitsOf(p.imperial);
    DrawAntenna(c, f, 0, g.groundM.front(), g.txM, fmt::format("Tx {:.1f} {} AGL", p.txAglM / u.heightM, u.height),
                true);
    DrawAntenna(c, f, f.lengthM, g.groundM.back(), g.rxM,
                fmt::format("Rx {:.1f} {} AGL", p.rxAglM / u.heightM, u.height), false);
  }
  DrawLegend(c, f, p);
  return c.Save(file);
}

}  // namespace zw::plot
