#pragma once
// The published ranges of the empirical models, and the warning a path gets
// when one of its inputs lies outside them. A warning never changes a number:
// the model still computes (usually by extrapolating its curves or formulas).
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace zw {

// "" when lo <= value <= hi; otherwise e.g. "Hata/Davidson: frequency 20.0 MHz
// is outside the published range 30 ... 1500 MHz; the result is extrapolated".
inline std::string RangeWarning(std::string_view model, std::string_view what, double value, double lo, double hi,
                                std::string_view unit) {
  if (!std::isfinite(value) || (value >= lo && value <= hi)) return {};
  const auto num = [](double v) {
    char b[32];
    std::snprintf(b, sizeof b, std::fabs(v) >= 100 ? "%.0f" : "%.1f", v);
    return std::string(b);
  };
  return std::string(model) + ": " + std::string(what) + " " + num(value) + " " + std::string(unit) +
         " is outside the published range " + num(lo) + " ... " + num(hi) + " " + std::string(unit) +
         "; the result is extrapolated";
}

// The Longley-Rice error level in words (ITS irregular terrain model).
inline std::string LRErrorLevelText(long level) {
  switch (level) {
    case 0: return {};
    case 1: return "Longley-Rice error level 1: some parameters are nearly out of range; use the result with caution";
    case 2: return "Longley-Rice error level 2: default values were substituted for impossible parameters";
    case 3:
      return "Longley-Rice error level 3: the path's geometry lies outside what the model was fitted to (a "
             "horizon very near or far, a steep horizon, or a short path between very different antenna "
             "heights); the field is computed but less certain";
    default:
      return "Longley-Rice error level " + std::to_string(level) +
             ": some parameters are out of range (frequency 20 MHz ... 20 GHz, antenna heights 0.5 ... 3000 m, "
             "distance 1 ... 2000 km, surface refractivity 250 ... 400 N-units); the result should not be used";
  }
}

}  // namespace zw
