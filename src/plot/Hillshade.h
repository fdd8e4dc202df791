#pragma once
// A hillshade of the terrain under a map, as context: the DEM files of a
// terrain source (file or directory) warped onto the map's geographic grid
// and shaded by GDAL's DEM processing ("hillshade", light from the
// north-west, 45 degrees up, heights exaggerated twice).
#include <string>
#include <vector>

namespace zw::plot {

struct Shade {
  int width = 0, height = 0;
  std::vector<unsigned char> px;  // grey level per cell from the north-west; 0 = no terrain
};

// The shade of the box of a GDAL geotransform (WGS 84 longitude / latitude,
// north up) at width x height cells. "" or why there is none (no terrain
// there, unreadable files).
std::string HillshadeFor(const std::string& dem, const double geo[6], int width, int height, Shade& out);

}  // namespace zw::plot
