#pragma once
// The colour scales of the maps. Each quantity has one fixed scale, so that a
// value has the same colour on every map:
//   field strength (dBu): 10 classes, below 20, 20 to 30, ... 90 to 100,
//     100 and above, from violet-blue (weak) through green and yellow to red
//     (strong);
//   clearance (first-Fresnel-zone radii): below -1, -1 to -0.5, -0.5 to 0,
//     0 to 0.3, 0.3 to 0.6, 0.6 to 1, 1 and above, from dark red (deep shadow)
//     to green (clear), 0 and 0.6 marked;
//   contour distance (km): 10 classes of 10 km, below 10 to 90 and above.
// The automatic scale fits at most ten classes of 1, 2, 5, 10, 20, 50 or 100
// units to the values of one map; the threshold scale has two classes,
// "not covered" below the threshold and "covered" at or above it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plot/Canvas.h"

namespace zw::plot {

enum class ScaleKind { Fixed, Auto, Threshold };

// "fixed", "auto", "threshold" (any case); nullopt otherwise.
std::optional<ScaleKind> ParseScaleKind(std::string_view name);

struct MapScale {
  std::string quantity = "field strength", unit = "dBu";
  // Class k holds [breaks[k-1], breaks[k]): class 0 everything below
  // breaks[0], the last class breaks.back() and above.
  std::vector<double> breaks;
  std::vector<Rgb> colours;          // one per class (breaks.size() + 1)
  std::vector<std::string> labels;   // one per class, with the unit
  std::vector<double> marks;         // values marked on the legend
  int ClassOf(double v) const;
  Rgb ColourOf(double v) const { return colours[static_cast<std::size_t>(ClassOf(v))]; }
};

// The fixed scale of a quantity (by its unit: dBu, Fresnel zone radii, km);
// another unit gets the automatic scale of lo..hi.
MapScale FixedScale(const std::string& quantity, const std::string& unit, double lo, double hi);
MapScale AutoMapScale(const std::string& quantity, const std::string& unit, double lo, double hi);
MapScale ThresholdScale(const std::string& quantity, const std::string& unit, double threshold);

}  // namespace zw::plot
