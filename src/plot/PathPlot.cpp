#include "plot/PathPlot.h"

#include <fmt/format.h>

namespace zw::plot {

std::string ResultText(const P2PResult& r) {
  if (r.quantity == "contour distance")
    return fmt::format("contour at {:.2f} km, receiver {}", r.contourKm, r.insideContour ? "inside" : "outside");
  if (r.quantity == "clearance") return fmt::format("clearance {:.2f} {}", r.clearance, r.unit);
  return fmt::format("net field {:.2f} {}", r.netFieldDbu, r.unit);
}

ProfilePlot PathPlotOf(const P2PResult& r, const std::string& ends, bool imperial) {
  ProfilePlot p;
  p.imperial = imperial;
  p.distM = r.profileDistM;
  p.elevM = r.profileElevM;
  p.elevObsM = r.profileElevObsM;
  p.txAglM = r.txAglM;
  p.rxAglM = r.rxAglM;
  p.kFactor = r.kFactor;
  p.freqMHz = r.freqMHz;
  p.title = ends;
  p.subtitle = fmt::format("{:.3f} MHz   {} ({})   path {:.2f} {}   {}", r.freqMHz, r.modelName, r.model,
                           r.pathLengthM / (imperial ? 1609.344 : 1000.0), imperial ? "mi" : "km", ResultText(r));
  for (const auto& m : r.marks) p.marks.push_back({m.distM, m.heightM, m.label});
  if (r.profileLandUse.size() == r.profileDistM.size()) p.landUse = r.profileLandUse;
  return p;
}

}  // namespace zw::plot
