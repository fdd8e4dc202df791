#pragma once
// Small GeoTIFF rasters for the terrain tests, written with GDAL.
#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zw::test {

// A north-up WGS 84 grid: origin (west, north) of the corner, pixel size deg;
// value(col, row) gives each sample (NaN writes the no-data value -32768).
inline void WriteGrid(const std::filesystem::path& file, double west, double north, double deg, int cols, int rows,
                      const std::function<double(int, int)>& value, bool withCrs = true) {
  GDALAllRegister();
  std::filesystem::create_directories(file.parent_path());
  GDALDriverH drv = GDALGetDriverByName("GTiff");
  GDALDatasetH ds = GDALCreate(drv, file.string().c_str(), cols, rows, 1, GDT_Int16, nullptr);
  double gt[6] = {west, deg, 0, north, 0, -deg};
  GDALSetGeoTransform(ds, gt);
  if (withCrs) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 4326);
    GDALSetSpatialRef(ds, srs);
    OSRDestroySpatialReference(srs);
  }
  GDALRasterBandH b = GDALGetRasterBand(ds, 1);
  GDALSetRasterNoDataValue(b, -32768);
  std::vector<short> row(static_cast<std::size_t>(cols));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const double v = value(c, r);
      row[static_cast<std::size_t>(c)] = std::isnan(v) ? static_cast<short>(-32768) : static_cast<short>(std::lround(v));
    }
    if (GDALRasterIO(b, GF_Write, 0, r, cols, 1, row.data(), cols, 1, GDT_Int16, 0, 0) != CE_None) break;
  }
  GDALClose(ds);
}

inline std::filesystem::path DataDir() { return std::filesystem::path(RAVO_DATA_DIR) / "terrain"; }

}  // namespace zw::test
