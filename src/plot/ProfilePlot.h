#pragma once
// The picture of one radio path: the terrain over the curvature of the
// effective earth, the direct ray, the first Fresnel zone and its 60 % line,
// the antennas, and the obstacles or horizons a model used, with the path's
// ends, frequency, model and result in the title. Distances in km, heights in
// metres above sea level (or mi and ft).
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace zw::plot {

// A point of the path a model used (knife edge, obstacle crest, horizon).
struct ProfileMark {
  double distM = 0;
  double heightM = NAN;  // above sea level incl. the earth bulge; NaN: on the drawn ground
  std::string label;
};

struct ProfilePlot {
  std::vector<double> distM;    // from the transmitter, increasing
  std::vector<float> elevM;     // ground above sea level
  std::vector<float> elevObsM;  // with obstructions (empty: none)
  bool antennas = true;         // draw the antennas, the ray and the Fresnel zone
  double txAglM = 0, rxAglM = 0;
  double kFactor = 4.0 / 3.0;
  double freqMHz = 0;           // 0: no Fresnel zone
  std::string title;            // the two ends
  std::string subtitle;         // frequency, model, result
  std::vector<ProfileMark> marks;
  std::vector<std::string> landUse;  // class at each point, drawn as a strip (empty: none)
  bool imperial = false;             // axes and antenna heights in mi and ft instead of km and m
};

// Draws the plot into file (.png, .svg or .pdf). "" or the failure text; the
// file is replaced only when the picture is complete.
std::string DrawProfilePlot(const ProfilePlot& plot, const std::filesystem::path& file);

}  // namespace zw::plot
