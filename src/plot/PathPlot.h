#pragma once
// The profile plot of a computed path: its profile, antennas, frequency and
// the marks of its model, titled with the two ends, the model and the result.
#include <string>

#include "engine/PointToPoint.h"
#include "plot/ProfilePlot.h"

namespace zw::plot {

// ends: the two ends as the user named them ("44.43650 N 71.41310 W to ...").
ProfilePlot PathPlotOf(const P2PResult& r, const std::string& ends, bool imperial = false);

// The result in words with its unit ("net field 54.32 dBu", "clearance 0.45
// Fresnel zone radii", "contour at 41.20 km, receiver inside").
std::string ResultText(const P2PResult& r);

}  // namespace zw::plot
