#include "plot/Hillshade.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <fmt/format.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>

#include "platform/terrain/TerrainSource.h"

namespace zw::plot {

namespace {

std::string GdalError(const std::string& what) {
  const char* msg = CPLGetLastErrorMsg();
  return what + (msg && *msg ? std::string(": ") + msg : std::string());
}

// Runs a GDAL utility's option list.
struct Args {
  char** list = nullptr;
  ~Args() { CSLDestroy(list); }
  Args& operator<<(const std::string& s) {
    list = CSLAddString(list, s.c_str());
    return *this;
  }
};

}  // namespace

std::string HillshadeFor(const std::string& dem, const double geo[6], int width, int height, Shade& out) {
  out = Shade{};
  if (width <= 0 || height <= 0) return "No map to shade";
  const double west = geo[0], north = geo[3], east = geo[0] + width * geo[1], south = geo[3] + height * geo[5];
  platform::TerrainSource terrain;
  terrain.Add(dem);
  GDALAllRegister();
  std::vector<GDALDatasetH> sources;
  // Coarsest first: where files overlap the finest is warped last and wins.
  auto infos = terrain.Sources();
  std::reverse(infos.begin(), infos.end());
  for (const auto& s : infos) {
    if (s.maxLat < south || s.minLat > north || s.maxLon < west || s.minLon > east) continue;
    if (GDALDatasetH ds = GDALOpen(s.file.c_str(), GA_ReadOnly)) sources.push_back(ds);
  }
  auto closeAll = [&] {
    for (GDALDatasetH ds : sources) GDALClose(ds);
  };
  if (sources.empty()) return "No terrain under the map in " + dem;
  Args w;
  w << "-of" << "MEM" << "-t_srs" << "EPSG:4326" << "-te" << fmt::format("{:.10f}", west) << fmt::format("{:.10f}", south)
    << fmt::format("{:.10f}", east) << fmt::format("{:.10f}", north) << "-ts" << std::to_string(width)
    << std::to_string(height) << "-r" << "bilinear" << "-dstnodata" << "-32768" << "-ot" << "Float32";
  GDALWarpAppOptions* wo = GDALWarpAppOptionsNew(w.list, nullptr);
  int usageError = 0;
  GDALDatasetH warped = GDALWarp("", nullptr, static_cast<int>(sources.size()), sources.data(), wo, &usageError);
  GDALWarpAppOptionsFree(wo);
  closeAll();
  if (!warped) return GdalError("Cannot warp the terrain under the map");
  Args d;
  d << "-of" << "MEM" << "-z" << "2" << "-s" << "111120" << "-compute_edges";
  GDALDEMProcessingOptions* dopt = GDALDEMProcessingOptionsNew(d.list, nullptr);
  GDALDatasetH shade = GDALDEMProcessing("", warped, "hillshade", nullptr, dopt, &usageError);
  GDALDEMProcessingOptionsFree(dopt);
  GDALClose(warped);
  if (!shade) return GdalError("Cannot shade the terrain");
  out.width = width;
  out.height = height;
  out.px.assign(static_cast<std::size_t>(width) * height, 0);
  const CPLErr err = GDALRasterIO(GDALGetRasterBand(shade, 1), GF_Read, 0, 0, width, height, out.px.data(), width,
                                  height, GDT_Byte, 0, 0);
  GDALClose(shade);
  if (err != CE_None) {
    out = Shade{};
    return GdalError("Cannot read the shade");
  }
  return {};
}

}  // namespace zw::plot
