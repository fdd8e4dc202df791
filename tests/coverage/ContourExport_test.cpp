#include "coverage/ContourExport.h"

#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>

#include <cmath>

#include "ModelTestEnv.h"
#include "geo/Geodesic.h"
#include "platform/FileSystem.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;

constexpr double kTxLat = 44.0, kTxLon = -71.5;

// The field falls 3 dB per km, 2 dB stronger toward the east: the 60 dBu
// contour lies (20 + 2 sin az) / 3 km out.
double Field(double az, double km) { return 80.0 - 3.0 * km + 2.0 * std::sin(az * M_PI / 180.0); }

struct Feature {
  double level = 0;
  std::string unit;
  std::vector<std::vector<std::pair<double, double>>> rings;  // (lon, lat)
};

// The features of a vector file as GDAL reads them back.
std::vector<Feature> ReadBack(const fs::path& file) {
  std::vector<Feature> out;
  GDALAllRegister();
  GDALDatasetH ds = GDALOpenEx(file.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
  if (!ds) return out;
  OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
  while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
    Feature x;
    x.level = OGR_F_GetFieldAsDouble(f, OGR_F_GetFieldIndex(f, "level"));
    x.unit = OGR_F_GetFieldAsString(f, OGR_F_GetFieldIndex(f, "unit"));
    OGRGeometryH g = OGR_F_GetGeometryRef(f);
    auto addPolygon = [&](OGRGeometryH p) {
      for (int r = 0; r < OGR_G_GetGeometryCount(p); ++r) {
        OGRGeometryH ring = OGR_G_GetGeometryRef(p, r);
        std::vector<std::pair<double, double>> pts;
        for (int k = 0; k < OGR_G_GetPointCount(ring); ++k) pts.emplace_back(OGR_G_GetX(ring, k), OGR_G_GetY(ring, k));
        x.rings.push_back(pts);
      }
    };
    if (wkbFlatten(OGR_G_GetGeometryType(g)) == wkbPolygon) addPolygon(g);
    else
      for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) addPolygon(OGR_G_GetGeometryRef(g, i));
    out.push_back(std::move(x));
    OGR_F_Destroy(f);
  }
  GDALClose(ds);
  return out;
}

class ContourExportTest : public test::ModelTestEnv {
 protected:
  // 72 radials of 40 points every 0.25 km; with contour points only, one point per radial at 5 km.
  fs::path Study(int task, bool contourPoints) {
    ResultsDb db(tmp.path(), task);
    EXPECT_TRUE(db.AddRec1("TX SITSite", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 0, 0, 0));
    for (int a = 0; a < 72; ++a)
      for (int k = 1; k <= (contourPoints ? 1 : 40); ++k) {
        const double az = a * 5.0, km = contourPoints ? 5.0 : k * 0.25;
        double lat = 0, lon = 0;
        Geodesic::ForwardKm(kTxLat, kTxLon, az, km, lat, lon);
        EXPECT_TRUE(db.AddRec1(contourPoints ? "ABCCTR 50.0% 60.000dBu" : "ABCRAD", lat, lon, az, km,
                               contourPoints ? 60.0 : Field(az, km), 0, 0, 0, 0, 0));
      }
    return db.File();
  }
};

TEST_F(ContourExportTest, IsolinesAreClosedRingsWhereTheFieldCrossesTheLevel) {
  const fs::path table = Study(1, false);
  struct Row {
    VectorFormat format;
    const char* name;
  } rows[] = {{VectorFormat::GeoJson, "c.geojson"}, {VectorFormat::Kml, "c.kml"}, {VectorFormat::Shapefile, "c.shp"}};
  for (const Row& r : rows) {
    ASSERT_EQ(ExportContours(table, r.format, tmp.path() / r.name, {60, 70}), "") << r.name;
    const auto features = ReadBack(tmp.path() / r.name);
    ASSERT_EQ(features.size(), 2u) << r.name;
    EXPECT_EQ(features[0].level, 60);
    EXPECT_EQ(features[1].level, 70);
    EXPECT_EQ(features[0].unit, "dBu");
    for (const auto& f : features) {
      ASSERT_EQ(f.rings.size(), 1u) << r.name;  // one disc, no holes
      const auto& ring = f.rings[0];
      ASSERT_GE(ring.size(), 4u);
      EXPECT_EQ(ring.front(), ring.back()) << r.name;
      // Georeferenced: every vertex at the distance where the field meets the level.
      for (const auto& [lon, lat] : ring) {
        double az = 0, km = 0;
        ASSERT_TRUE(Geodesic::InverseKm(kTxLat, kTxLon, lat, lon, az, km));
        EXPECT_NEAR(km, (80.0 - f.level + 2.0 * std::sin(az * M_PI / 180.0)) / 3.0, 0.02) << r.name << " az " << az;
      }
    }
  }
  for (const char* ext : {".shx", ".dbf", ".prj"}) EXPECT_TRUE(fs::exists(tmp.path() / (std::string("c") + ext)));
}

TEST_F(ContourExportTest, ContourPointsMakeOneClosedPolygonAndBadLevelsWriteNothing) {
  const fs::path table = Study(2, true);
  ASSERT_EQ(ExportContours(table, VectorFormat::GeoJson, tmp.path() / "p.geojson", {}), "");
  const auto features = ReadBack(tmp.path() / "p.geojson");
  ASSERT_EQ(features.size(), 1u);
  EXPECT_EQ(features[0].level, 60);
  ASSERT_EQ(features[0].rings.size(), 1u);
  EXPECT_EQ(features[0].rings[0].size(), 73u);
  EXPECT_EQ(features[0].rings[0].front(), features[0].rings[0].back());

  // A level no point reaches, or levels on a study of contour points: a message, the old file kept.
  ASSERT_TRUE(platform::WriteFileAtomic(tmp.path() / "keep.geojson", "old"));
  EXPECT_NE(ExportContours(Study(3, false), VectorFormat::GeoJson, tmp.path() / "keep.geojson", {95}).find("reaches 95"),
            std::string::npos);
  EXPECT_NE(ExportContours(table, VectorFormat::GeoJson, tmp.path() / "keep.geojson", {60}), "");
  EXPECT_EQ(*platform::ReadWholeFile(tmp.path() / "keep.geojson"), "old");
  EXPECT_EQ(ParseVectorFormat("SHP"), VectorFormat::Shapefile);
  EXPECT_FALSE(ParseVectorFormat("png").has_value());
}

}  // namespace
}  // namespace zw::coverage
