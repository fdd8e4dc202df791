// The raster sources: elevations (TerrainSource) and the land-use classes
// read from a raster through its template (clsLandUse).
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsLandUse.h"

#include <gdal.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <thread>

#include "TempDir.h"
#include "TerrainTestUtil.h"
#include "platform/FileSystem.h"

namespace zw::platform {
namespace {

using test::DataDir;
using test::TempDir;
using test::WriteGrid;

// GDAL's own bilinear reading at (x, y) in the file's coordinate system: a
// one-pixel bilinear warp, at the file's own resolution, centred on the point.
double GdalBilinear(const std::filesystem::path& file, double x, double y) {
  GDALAllRegister();
  GDALDatasetH src = GDALOpen(file.string().c_str(), GA_ReadOnly);
  double gt[6];
  GDALGetGeoTransform(src, gt);
  const double hx = std::fabs(gt[1]) / 2, hy = std::fabs(gt[5]) / 2;
  auto num = [](double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.12f", v);
    return std::string(b);
  };
  const std::string te[4] = {num(x - hx), num(y - hy), num(x + hx), num(y + hy)};
  const char* args[] = {"-of", "MEM", "-r", "bilinear", "-ot", "Float32", "-ts", "1", "1", "-te",
                        te[0].c_str(), te[1].c_str(), te[2].c_str(), te[3].c_str(), nullptr};
  GDALWarpAppOptions* opt = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
  GDALDatasetH ds = GDALWarp("", nullptr, 1, &src, opt, nullptr);
  GDALWarpAppOptionsFree(opt);
  float v = NAN;
  if (!ds || GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, 1, 1, &v, 1, 1, GDT_Float32, 0, 0) != CE_None)
    v = NAN;
  if (ds) GDALClose(ds);
  GDALClose(src);
  return v;
}

TEST(TerrainSource, SrtmTileGridPointsAndKnownSummits) {
  TerrainSource t;
  ASSERT_EQ(t.Add(DataDir() / "N44W072.hgt"), "");
  ASSERT_EQ(t.SourceCount(), 1u);
  EXPECT_NEAR(t.Sources()[0].resolutionM, 78, 5);
  EXPECT_FLOAT_EQ(t.Elevation(44.0, -72.0), 341.0f);                               // SW corner sample
  EXPECT_FLOAT_EQ(t.Elevation(45.0 - 875.0 / 1200, -72.0 + 836.0 / 1200), 1908.0f);  // Mount Washington
  EXPECT_FLOAT_EQ(t.Elevation(45.0, -71.0), 456.0f);                               // NE corner
  EXPECT_EQ(t.Elevation(43.5, -71.5), kNoElevation);                               // outside the tile
  EXPECT_EQ(t.Elevation(NAN, -71.5), kNoElevation);
}

TEST(TerrainSource, BilinearAndProjectedGeoTiffAgreeWithGdal) {
  const auto hgt = DataDir() / "N44W072.hgt";
  TerrainSource t;
  ASSERT_EQ(t.Add(hgt), "");
  TerrainSource::Cursor cur(t);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.001, 0.999);
  for (int k = 0; k < 12; ++k) {
    const double lat = 44.0 + u(rng), lon = -72.0 + u(rng);
    EXPECT_NEAR(t.Elevation(lat, lon, cur), GdalBilinear(hgt, lon, lat), 2e-3) << lat << " " << lon;
  }
  // A projected GeoTIFF.
  const auto tif = DataDir() / "srtm_bigtujunga30m_utm11.tif";
  TerrainSource utmSource;
  ASSERT_EQ(utmSource.Add(tif), "");
  OGRSpatialReference wgs, utm;
  wgs.importFromEPSG(4326);
  utm.importFromEPSG(32611);
  wgs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&wgs, &utm));
  TerrainSource::Cursor utmCur(utmSource);
  for (const auto& [lat, lon] : {std::pair{34.30, -118.20}, {34.35, -118.05}, {34.25, -118.30}, {34.40, -117.97}}) {
    double x = lon, y = lat;
    ASSERT_TRUE(ct->Transform(1, &x, &y));
    EXPECT_NEAR(utmSource.Elevation(lat, lon, utmCur), GdalBilinear(tif, x, y), 2e-3);
  }
  EXPECT_EQ(utmSource.Elevation(34.0, -118.2), kNoElevation);
}

TEST(TerrainSource, MosaicFinestWinsVoidsFallBackAndProfileReadsEqualPointReads) {
  TempDir dir;
  // Coarse 0.01 degree grid at 100 m over [0, 2] x [0, 2]; fine 0.001 degree
  // grid at 200 m over [0.5, 1] x [0.5, 1] with a void square.
  WriteGrid(dir.path() / "coarse.tif", 0, 2, 0.01, 200, 200, [](int, int) { return 100.0; });
  WriteGrid(dir.path() / "sub" / "fine.tif", 0.5, 1, 0.001, 500, 500, [](int c, int r) {
    return c >= 100 && c < 150 && r >= 100 && r < 150 ? NAN : 200.0;
  });
  TerrainSource t;
  EXPECT_EQ(t.Add(dir.path()), "");
  ASSERT_EQ(t.SourceCount(), 2u);
  EXPECT_EQ(t.Sources()[0].file.filename(), "fine.tif");
  EXPECT_FLOAT_EQ(t.Elevation(0.7, 0.7), 200.0f);
  EXPECT_FLOAT_EQ(t.Elevation(0.875, 0.625), 100.0f);  // void in the fine grid: the coarse one answers
  EXPECT_FLOAT_EQ(t.Elevation(1.5, 1.5), 100.0f);
  EXPECT_EQ(t.Elevation(3.0, 1.0), kNoElevation);
  // Next to a void, the valid neighbours carry the value.
  EXPECT_FLOAT_EQ(t.Elevation(1 - 0.0995, 0.5 + 0.0995), 200.0f);
  // A profile's points read in one go through a cursor (which reads most of
  // them straight from the block that answered last) give exactly what each
  // point gives on its own, across equal tiles side by side, a finer grid with a
  // void over them, and their edges.
  TempDir dir2;
  auto slope = [](double base) { return [base](int c, int r) { return base + 3.0 * c + 7.0 * r + (c * r) % 11; }; };
  WriteGrid(dir2.path() / "a.tif", 0, 2, 0.01, 100, 200, slope(100));
  WriteGrid(dir2.path() / "b.tif", 1, 2, 0.01, 100, 200, slope(400));
  WriteGrid(dir2.path() / "fine.tif", 0.7, 1.3, 0.002, 300, 300, [](int c, int r) {
    return c >= 120 && c < 140 && r >= 50 && r < 90 ? NAN : 50.0 + c + 2.0 * r;
  });
  TerrainSource t2;
  ASSERT_EQ(t2.Add(dir2.path()), "");
  TerrainSource::Cursor run(t2);
  std::size_t n = 0;
  for (double az = 5; az < 360; az += 40) {
    std::vector<double> lat, lon;
    for (int k = 0; k < 700; ++k) {
      // Lines through (1, 1): into the finer grid and out again.
      lat.push_back(1.0 + 0.0013 * (k - 350) * std::cos(az * M_PI / 180));
      lon.push_back(1.0 + 0.0013 * (k - 350) * std::sin(az * M_PI / 180));
    }
    std::vector<float> got(lat.size());
    t2.Elevations(lat.data(), lon.data(), lat.size(), got.data(), run);
    for (std::size_t k = 0; k < lat.size(); ++k) {
      TerrainSource::Cursor own(t2);
      ASSERT_EQ(got[k], t2.Elevation(lat[k], lon[k], own)) << az << " " << lat[k] << " " << lon[k];
      n += got[k] > kNoElevationLimit ? 1 : 0;
    }
  }
  EXPECT_GT(n, 3000u);
}

TEST(TerrainSource, BadFilesAreReportedAndSkipped) {
  TempDir dir;
  WriteGrid(dir.path() / "good.tif", 0, 1, 0.01, 100, 100, [](int, int) { return 50.0; });
  WriteGrid(dir.path() / "nocrs.tif", 0, 1, 0.01, 100, 100, [](int, int) { return 60.0; }, false);
  { std::ofstream(dir.path() / "garbage.tif") << "not a raster at all"; }
  // A truncated SRTM tile.
  std::ofstream(dir.path() / "N44W072.hgt", std::ios::binary)
      << ReadWholeFile(DataDir() / "N44W072.hgt")->substr(0, 100000);
  { std::ofstream(dir.path() / "notes.txt") << "ignored"; }
  TerrainSource t;
  const std::string msg = t.Add(dir.path());
  EXPECT_NE(msg.find("nocrs.tif: has no coordinate reference system"), std::string::npos) << msg;
  EXPECT_NE(msg.find("garbage.tif: not a readable elevation file"), std::string::npos) << msg;
  EXPECT_NE(msg.find("N44W072.hgt: not a readable"), std::string::npos) << msg;
  EXPECT_EQ(msg.find("notes.txt"), std::string::npos);
  EXPECT_EQ(t.SourceCount(), 1u);
  EXPECT_FLOAT_EQ(t.Elevation(0.5, 0.5), 50.0f);
  EXPECT_EQ(t.Elevation(44.5, -71.5), kNoElevation);
  TerrainSource none;
  EXPECT_NE(none.Add(dir.path() / "missing").find("Elevation data not found"), std::string::npos);
  EXPECT_EQ(none.Elevation(0.5, 0.5), kNoElevation);
}

TEST(TerrainSource, CacheReadsOncePreloadsEvictsAndIsSharedByThreads) {
  TerrainSource t;
  ASSERT_EQ(t.Add(DataDir() / "N44W072.hgt"), "");
  EXPECT_GT(t.Preload(44.3, 44.2, -71.2, -71.4), 0u);
  const auto reads = t.BlockReads();
  TerrainSource::Cursor cur(t);
  for (int k = 0; k < 100; ++k) t.Elevation(44.2 + 0.001 * k, -71.3, cur);
  EXPECT_EQ(t.BlockReads(), reads);  // all in the preloaded box
  // A budget of one block still answers correctly.
  const float before = t.Elevation(44.9, -71.9);
  t.CacheBudgetBytes(1);
  EXPECT_LE(t.CachedBytes(), 256u * 256u * 4u);
  EXPECT_FLOAT_EQ(t.Elevation(44.9, -71.9), before);
  EXPECT_FLOAT_EQ(t.Elevation(44.0, -72.0), 341.0f);
  EXPECT_LE(t.CachedBytes(), 2u * 256u * 256u * 4u);
  // Threads share the cache.
  auto shared = std::make_shared<TerrainSource>();
  ASSERT_EQ(shared->Add(DataDir() / "N44W072.hgt"), "");
  shared->CacheBudgetBytes(8 * 256 * 256 * 4);  // forces evictions while the threads run
  std::vector<double> lat(150), lon(150);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (std::size_t i = 0; i < lat.size(); ++i) {
    lat[i] = 44 + u(rng);
    lon[i] = -72 + u(rng);
  }
  std::vector<float> ref(lat.size());
  {
    TerrainSource::Cursor cur(*shared);
    shared->Elevations(lat.data(), lon.data(), lat.size(), ref.data(), cur);
  }
  std::vector<std::vector<float>> got(4, std::vector<float>(lat.size()));
  std::vector<std::thread> th;
  for (int k = 0; k < 4; ++k)
    th.emplace_back([&, k] {
      TerrainSource::Cursor cur(*shared);
      shared->Elevations(lat.data(), lon.data(), lat.size(), got[static_cast<std::size_t>(k)].data(), cur);
    });
  for (auto& x : th) x.join();
  for (const auto& g : got) EXPECT_EQ(g, ref);
}

TEST(TerrainSource, AntimeridianAndLongitudeRanges) {
  TempDir dir;
  WriteGrid(dir.path() / "east.tif", 179, 1, 0.01, 100, 100, [](int, int) { return 10.0; });
  WriteGrid(dir.path() / "west.tif", -180, 1, 0.01, 100, 100, [](int, int) { return 20.0; });
  TerrainSource t;
  ASSERT_EQ(t.Add(dir.path()), "");
  EXPECT_FLOAT_EQ(t.Elevation(0.5, 179.5), 10.0f);
  EXPECT_FLOAT_EQ(t.Elevation(0.5, -179.5), 20.0f);
  EXPECT_FLOAT_EQ(t.Elevation(0.5, 180.5), 20.0f);  // unwrapped longitude
}

// Codes checked with gdallocationinfo -wgs84 on nlcd2011_zion.tif.
TEST(clsLandUse, NlcdTemplateLookupsAndBadTemplates) {
  clsLandUse lu;
  lu.sTemplateDir(test::DataDir());
  lu.sTemplate("NLCD");
  lu.bUse(true);
  EXPECT_EQ(lu.PrepareBox(37.35, 37.15, -112.9, -113.05, 900), "");
  std::int16_t code = 0;
  std::string name;
  double loss = -1;
  ASSERT_TRUE(lu.Lookup(37.3, -113.0, code, name, loss));
  EXPECT_EQ(code, 42);
  EXPECT_EQ(name, "Evergreen Forest");
  EXPECT_DOUBLE_EQ(loss, 10.0);
  LandUseClass c;
  ASSERT_TRUE(lu.LookupClass(37.2, -112.95, c));
  EXPECT_EQ(c.iCode, 31);
  EXPECT_EQ(c.sAreaType, "OPEN");
  EXPECT_EQ(c.sStreet, "");
  // Frequency interpolation of a loss table (42: 5@150, 10@900).
  lu.PrepareBox(37.35, 37.15, -112.9, -113.05, 525);
  lu.Lookup(37.3, -113.0, code, name, loss);
  EXPECT_DOUBLE_EQ(loss, 7.5);
  // Outside the raster: no land use.
  EXPECT_FALSE(lu.Lookup(44.0, -72.0, code, name, loss));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(loss, 0);
  // Bad templates.
  test::TempDir dir;
  clsLandUse bad;
  bad.sTemplate((dir.path() / "none.ini").string());
  EXPECT_NE(bad.PrepareBox(1, 0, 1, 0, 100).find("Land-use template not found"), std::string::npos);
  const auto f = dir.path() / "t.ini";
  std::ofstream(f) << "[Land Use]\nRaster=missing.tif\n[Classes]\nabc=Bad|1\n5=Five|lots\n7=Seven|2|OPEN\n";
  bad.sTemplate(f.string());
  const std::string msg = bad.PrepareBox(1, 0, 1, 0, 100);
  EXPECT_NE(msg.find("class code \"abc\""), std::string::npos) << msg;
  EXPECT_NE(msg.find("class 5 has no usable loss"), std::string::npos) << msg;
  EXPECT_NE(msg.find("Elevation data not found"), std::string::npos) << msg;
  code = 3;
  name = "x";
  loss = 3;
  EXPECT_FALSE(bad.Lookup(0.5, 0.5, code, name, loss));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(name, "");
}

}  // namespace
}  // namespace zw::platform
