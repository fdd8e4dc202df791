#pragma once
// The map of an area study drawn with cairo: a title (task, facility, model,
// frequency, threshold), the study's values in the colours of a MapScale over
// a hillshade of the terrain, the threshold contour, the transmitter, a scale
// bar and a north arrow, and a legend with the classes and their units.
// Cells without a value are transparent (the hillshade, or nothing, shows
// through). The Google Earth overlay is the map alone, semi-transparent, and
// its legend a picture of its own.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "coverage/ResultsExport.h"
#include "plot/Hillshade.h"
#include "plot/MapScale.h"

namespace zw::plot {

using LonLatRing = std::vector<std::pair<double, double>>;  // (lon, lat), closed

struct MapDecor {
  std::string title, subtitle;
  std::vector<LonLatRing> contour;  // the threshold contour
  std::string contourLabel;         // its legend entry ("60 dBu contour")
  std::vector<LonLatRing> stored;   // the contour the study computed (contour reduction)
  std::string storedLabel;
  const Shade* shade = nullptr;     // hillshade on the raster's grid box, or none
  std::string txName;
  std::vector<std::pair<double, double>> sites;  // (lat, lon) of further transmitters, marked like the first
  std::vector<std::string> siteLabels;           // a name beside each of them (none when short of sites)
};

// Where the parts of a drawn map are (pixels, or points of SVG / PDF).
struct MapLayout {
  int width = 0, height = 0;
  double mapX = 0, mapY = 0, mapW = 0, mapH = 0;
  double geo[6] = {0, 1, 0, 0, 0, -1};
  int cols = 1, rows = 1;
  std::pair<double, double> PixelOf(double lat, double lon) const {
    return {mapX + (lon - geo[0]) / geo[1] * (mapW / cols), mapY + (lat - geo[3]) / geo[5] * (mapH / rows)};
  }
};

// Plans the map of a raster (longer side of the map part about 800).
MapLayout PlanMap(const coverage::FieldRaster& raster);

// The full map into file (.png, .svg or .pdf). "" or the failure text.
// The transmitters of a study made of several (more than one site record in
// its table): each marked with its call sign, the first word of its site's
// name. A study of one transmitter is left to the raster's own marker.
void MarkTransmitters(const coverage::StudyResults& s, MapDecor& d);

std::string DrawStudyMap(const coverage::FieldRaster& raster, const MapScale& scale, const MapDecor& decor,
                         const std::filesystem::path& file);
// The map alone at the raster's shape, values at 70 % opacity, no-value cells
// transparent (PNG).
std::string DrawOverlay(const coverage::FieldRaster& raster, const MapScale& scale,
                        const std::filesystem::path& file);
// The legend alone (PNG).
std::string DrawLegendPicture(const MapScale& scale, const MapDecor& decor, const std::filesystem::path& file);

}  // namespace zw::plot
