#include "coverage/ResultsExport.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <nlohmann/json.hpp>

#include "ModelTestEnv.h"
#include "geo/Geodesic.h"
#include "platform/FileSystem.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;

constexpr double kTxLat = 44.0, kTxLon = -71.5;

// Field of the synthetic radial study: falls 3 dB per km, a little stronger east.
double RadialField(double az, double km) { return 80.0 - 3.0 * km + 2.0 * std::sin(az * M_PI / 180.0); }

class ResultsExportTest : public test::ModelTestEnv {
 protected:

  // Task 1: 36 radials of 10 points (1 to 10 km) plus a contour at 50 dBu.
  fs::path MakeRadialStudy(int task = 1, double azStep = 10, double azEnd = 360) {
    ResultsDb db(tmp.path(), task);
    EXPECT_TRUE(db.AddRec1("TX SITMain Street", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 310.0f, 0, 0));
    for (double az = 0; az < azEnd - 1e-9; az += azStep)
      for (int k = 1; k <= 10; ++k) {
        double lat = 0, lon = 0;
        Geodesic::ForwardKm(kTxLat, kTxLon, az, k, lat, lon);
        EXPECT_TRUE(db.AddRec1("ABCRAD", lat, lon, az, k, RadialField(az, k), 0, 0, 300.0f + k, 20, 1.5));
      }
    for (double az = 0; az < azEnd - 1e-9; az += azStep) {
      const double d = (80.0 + 2.0 * std::sin(az * M_PI / 180.0) - 50.0) / 3.0;
      double lat = 0, lon = 0;
      Geodesic::ForwardKm(kTxLat, kTxLon, az, d, lat, lon);
      EXPECT_TRUE(db.AddRec1("ABCCTR 50.0% 50.000dBu", lat, lon, az, d, 50.0, 0, 0, -32200.0f, 0, 0));
    }
    return db.File();
  }

  // Task 2: a tile grid of 5 rows by 4 columns, 0.01 degree apart; value
  // 40 + 10 * row (from the south) + column; the point at row 2, column 3
  // not computed.
  fs::path MakeTileStudy() {
    ResultsDb db(tmp.path(), 2);
    EXPECT_TRUE(db.AddRec1("TX SITTile site", kTxLat + 0.02, kTxLon + 0.015, 0, 0, kRdbNotComputed, 0, 0, 0, 0, 0));
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 4; ++col) {
        const double lat = kTxLat + row * 0.01, lon = kTxLon + col * 0.01;
        double az = 0, dis = 0;
        Geodesic::InverseKm(kTxLat + 0.02, kTxLon + 0.015, lat, lon, az, dis);
        const double val = (row == 2 && col == 3) ? kRdbNotComputed : 40.0 + 10 * row + col;
        EXPECT_TRUE(db.AddRec1("ABCTIL", lat, lon, az, dis, val, 0, 0, -32200.0f, 0, 0));
      }
    return db.File();
  }

  fs::path Out(const std::string& name) { return tmp.path() / name; }
};

struct Gdal {
  explicit Gdal(const fs::path& f) {
    GDALAllRegister();
    ds = GDALOpen(f.c_str(), GA_ReadOnly);
  }
  ~Gdal() {
    if (ds) GDALClose(ds);
  }
  GDALDatasetH ds = nullptr;
};

TEST_F(ResultsExportTest, TileStudyGeoTiffMapsOneCellPerGridPointAndCsvHoldsEveryRecord) {
  const fs::path table = MakeTileStudy();
  ASSERT_EQ(ExportResults(table, ExportFormat::GeoTiff, Out("t.tif")), "");
  Gdal g(Out("t.tif"));
  ASSERT_NE(g.ds, nullptr);
  ASSERT_EQ(GDALGetRasterXSize(g.ds), 4);
  ASSERT_EQ(GDALGetRasterYSize(g.ds), 5);
  double gt[6];
  ASSERT_EQ(GDALGetGeoTransform(g.ds, gt), CE_None);
  EXPECT_NEAR(gt[0], kTxLon - 0.005, 1e-7);
  EXPECT_NEAR(gt[1], 0.01, 1e-7);
  EXPECT_NEAR(gt[3], kTxLat + 0.045, 1e-7);
  EXPECT_NEAR(gt[5], -0.01, 1e-7);
  EXPECT_NE(std::string(GDALGetProjectionRef(g.ds)).find("WGS"), std::string::npos);
  GDALRasterBandH band = GDALGetRasterBand(g.ds, 1);
  int hasNoData = 0;
  const double noData = GDALGetRasterNoDataValue(band, &hasNoData);
  EXPECT_TRUE(hasNoData);
  float v[20];
  ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, 0, 4, 5, v, 4, 5, GDT_Float32, 0, 0), CE_None);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 4; ++c) {
      const int southRow = 4 - r;
      if (southRow == 2 && c == 3) EXPECT_EQ(v[r * 4 + c], noData) << "uncomputed point";
      else EXPECT_FLOAT_EQ(v[r * 4 + c], 40.0f + 10 * southRow + c) << r << "," << c;
    }

  // The CSV: every record, the uncomputed point with an empty value.
  ASSERT_EQ(ExportResults(table, ExportFormat::Csv, Out("t.csv")), "");
  const auto text = platform::ReadWholeFile(Out("t.csv"));
  ASSERT_TRUE(text);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t p; (p = text->find("\r\n", start)) != std::string::npos; start = p + 2)
    lines.push_back(text->substr(start, p - start));
  ASSERT_EQ(lines.size(), 1u + 1u + 20u);
  EXPECT_EQ(lines[0].substr(0, 20), "record,desc,lat,lon,");
  EXPECT_NE(lines[1].find("TX SITTile site"), std::string::npos);
  // Row 2, column 3 (the 12th grid point) was not computed: an empty value.
  EXPECT_NE(lines[2 + 11].find(",,"), std::string::npos);
  EXPECT_NE(lines[2].find(",40,"), std::string::npos);
}

TEST_F(ResultsExportTest, RadialStudyIsGriddedAroundTheTransmitter) {
  const fs::path table = MakeRadialStudy();
  ExportOptions opt;
  opt.rasterSize = 200;
  ASSERT_EQ(ExportResults(table, ExportFormat::GeoTiff, Out("r.tif"), opt), "");
  Gdal g(Out("r.tif"));
  ASSERT_NE(g.ds, nullptr);
  const int w = GDALGetRasterXSize(g.ds), h = GDALGetRasterYSize(g.ds);
  EXPECT_EQ(std::max(w, h), 200);
  EXPECT_NEAR(w, h, 3);  // a disc: square on the ground
  double gt[6];
  GDALGetGeoTransform(g.ds, gt);
  std::vector<float> v(static_cast<std::size_t>(w) * h);
  ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(g.ds, 1), GF_Read, 0, 0, w, h, v.data(), w, h, GDT_Float32, 0, 0), CE_None);
  auto at = [&](double lat, double lon) {
    const int c = static_cast<int>((lon - gt[0]) / gt[1]), r = static_cast<int>((lat - gt[3]) / gt[5]);
    return v[static_cast<std::size_t>(r) * w + c];
  };
  // On radials and between them the values follow the field within the cell size.
  for (double az : {0.0, 45.0, 90.0, 215.0, 355.0})
    for (double km : {1.5, 5.0, 9.5}) {
      double lat = 0, lon = 0;
      Geodesic::ForwardKm(kTxLat, kTxLon, az, km, lat, lon);
      EXPECT_NEAR(at(lat, lon), RadialField(az, km), 0.6) << az << " " << km;
    }
  // Inside the first ring the first point's value; the corners lie beyond the study.
  EXPECT_GE(at(kTxLat, kTxLon), RadialField(270, 1) - 0.01);
  EXPECT_LE(at(kTxLat, kTxLon), RadialField(90, 1) + 0.01);
  EXPECT_EQ(v[0], -9999.0f);
  EXPECT_EQ(v.back(), -9999.0f);
}

TEST_F(ResultsExportTest, PartialArcLeavesTheUnstudiedSideEmpty) {
  const fs::path table = MakeRadialStudy(3, 10, 100);  // radials 0 to 90 degrees
  StudyResults s;
  ASSERT_EQ(LoadStudyResults(table, {}, s), "");
  FieldRaster r;
  ASSERT_EQ(RasteriseStudy(s, {}, r), "");
  auto at = [&](double az, double km) {
    double lat = 0, lon = 0;
    Geodesic::ForwardKm(kTxLat, kTxLon, az, km, lat, lon);
    const int c = static_cast<int>((lon - r.geo[0]) / r.geo[1]), row = static_cast<int>((lat - r.geo[3]) / r.geo[5]);
    if (c < 0 || row < 0 || c >= r.width || row >= r.height) return std::nan("");
    return r.Value(c, row);
  };
  EXPECT_NEAR(at(45, 5), RadialField(45, 5), 0.6);
  EXPECT_TRUE(std::isnan(at(200, 3))) << "no radial there";
  EXPECT_TRUE(std::isnan(at(150, 2)));
  EXPECT_TRUE(std::isfinite(at(91, 5))) << "next to the last radial";
}

TEST_F(ResultsExportTest, GeoJsonHasPointsAndAClosedContour) {
  const fs::path table = MakeRadialStudy();
  ASSERT_EQ(ExportResults(table, ExportFormat::GeoJson, Out("r.geojson")), "");
  const auto text = platform::ReadWholeFile(Out("r.geojson"));
  ASSERT_TRUE(text);
  const auto j = nlohmann::json::parse(*text);
  ASSERT_EQ(j["type"], "FeatureCollection");
  int points = 0, tx = 0, contours = 0;
  for (const auto& f : j["features"]) {
    const std::string kind = f["properties"]["kind"];
    if (kind == "point") {
      ++points;
      const auto& p = f["properties"];
      EXPECT_NEAR(p["value"].get<double>(), RadialField(p["azimuth"], p["distance"]), 1e-3);
      EXPECT_EQ(p["quantity"], "field strength");  // no task file: the table's default
      EXPECT_EQ(p["unit"], "dBu");
      EXPECT_EQ(p["landuse_code"], 20);
      EXPECT_GT(p["elevation"].get<double>(), 300.0);
    } else if (kind == "transmitter") {
      ++tx;
      EXPECT_NEAR(f["geometry"]["coordinates"][0].get<double>(), kTxLon, 1e-7);
    } else if (kind == "contour") {
      ++contours;
      ASSERT_EQ(f["geometry"]["type"], "Polygon");
      const auto& ring = f["geometry"]["coordinates"][0];
      ASSERT_EQ(ring.size(), 37u);
      EXPECT_EQ(ring.front(), ring.back());
      EXPECT_EQ(f["properties"]["desc"], "ABCCTR 50.0% 50.000dBu");
    }
  }
  EXPECT_EQ(points, 360);
  EXPECT_EQ(tx, 1);
  EXPECT_EQ(contours, 1);
}

// A shadow study holding one point per radial (radial ends): every format
// says "clearance" in "Fresnel zone radii" (from the task file's model); the
// points are points with their ring, never a raster.
TEST_F(ResultsExportTest, ExportsSayWhatTheNumbersAreAndDrawOnePointPerRadialAsPoints) {
  ResultsDb db(tmp.path(), 3);
  EXPECT_TRUE(db.AddRec1("TX SITMain Street", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 310.0f, 0, 0));
  auto clearance = [](double az) { return -1.0 + 3.0 * az / 360.0; };
  for (double az = 0; az < 360; az += 10) {
    double lat = 0, lon = 0;
    Geodesic::ForwardKm(kTxLat, kTxLon, az, 10, lat, lon);
    EXPECT_TRUE(db.AddRec1("ABCRAD", lat, lon, az, 10, clearance(az), 0, 0, 300.0f, 0, 0));
  }
  const fs::path table = db.File();
  ASSERT_TRUE(platform::WriteFileAtomic(tmp.path() / "T0000003.INI", "[Propagation Model]\r\nMODEL=Shadow\r\n"));

  StudyResults s;
  ASSERT_EQ(LoadStudyResults(table, {}, s), "");
  EXPECT_EQ(s.quantity, "clearance");
  EXPECT_EQ(s.unit, "Fresnel zone radii");
  EXPECT_TRUE(s.pointPerRadial);

  ASSERT_EQ(ExportResults(table, ExportFormat::Csv, Out("p.csv")), "");
  const auto csv = platform::ReadWholeFile(Out("p.csv"));
  ASSERT_TRUE(csv);
  EXPECT_NE(csv->find("distance_km,value,quantity,unit,"), std::string::npos);
  EXPECT_NE(csv->find(",-1,clearance,Fresnel zone radii,"), std::string::npos) << *csv;

  ASSERT_EQ(ExportResults(table, ExportFormat::GeoJson, Out("p.geojson")), "");
  const auto j = nlohmann::json::parse(*platform::ReadWholeFile(Out("p.geojson")));
  EXPECT_EQ(j["quantity"], "clearance");
  int rings = 0;
  for (const auto& f : j["features"]) {
    EXPECT_EQ(f["properties"]["unit"], "Fresnel zone radii");
    if (f["geometry"]["type"] == "Polygon") {
      ++rings;
      EXPECT_EQ(f["geometry"]["coordinates"][0].size(), 37u);
    }
  }
  EXPECT_EQ(rings, 1);

  // No raster of radial ends: refused, nothing written.
  const std::string tif = ExportResults(table, ExportFormat::GeoTiff, Out("p.tif"));
  EXPECT_NE(tif.find("one point per radial"), std::string::npos) << tif;
  EXPECT_FALSE(fs::exists(Out("p.tif")));

  // A tile study's GeoTIFF carries the quantity and unit.
  ASSERT_TRUE(platform::WriteFileAtomic(tmp.path() / "T0000002.INI", "[Propagation Model]\r\nMODEL=Shadow\r\n"));
  ASSERT_EQ(ExportResults(MakeTileStudy(), ExportFormat::GeoTiff, Out("t.tif")), "");
  Gdal g(Out("t.tif"));
  ASSERT_NE(g.ds, nullptr);
  EXPECT_STREQ(GDALGetMetadataItem(GDALGetRasterBand(g.ds, 1), "QUANTITY", nullptr), "clearance");
  EXPECT_STREQ(GDALGetMetadataItem(GDALGetRasterBand(g.ds, 1), "UNIT", nullptr), "Fresnel zone radii");
}

TEST_F(ResultsExportTest, BadTablesGiveAMessageAndWriteNothing) {
  // An earlier export stays as it was. (A missing table and one that is no
  // table: the export-results-* cases of the tests/bad corpus.)
  ASSERT_TRUE(platform::WriteFileAtomic(Out("keep.png"), "old"));
  {
    ResultsDb empty(tmp.path(), 4);
    ASSERT_EQ(empty.Open(), "");
  }
  EXPECT_NE(ExportResults(tmp.path() / "R0000004.DBF", ExportFormat::Csv, Out("keep.png")).find("holds no study points"),
            std::string::npos);

  {
    ResultsDb skeleton(tmp.path(), 5);
    ASSERT_TRUE(skeleton.AddRec1("TX SITx", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 0, 0, 0));
    for (int k = 1; k <= 3; ++k)
      ASSERT_TRUE(skeleton.AddRec1("ABCRAD", kTxLat + 0.01 * k, kTxLon, 0, 1.1 * k, kRdbNotComputed, 0, 0, 0, 0, 0));
  }
  for (auto f : {ExportFormat::GeoTiff, ExportFormat::GeoJson, ExportFormat::Csv}) {
    const std::string err = ExportResults(tmp.path() / "R0000005.DBF", f, Out("keep.png"));
    EXPECT_NE(err.find("No field strength has been computed"), std::string::npos) << err;
    EXPECT_NE(err.find("3 points"), std::string::npos) << err;
  }
  EXPECT_EQ(*platform::ReadWholeFile(Out("keep.png")), "old");
  // A study code that is not in the table.
  ExportOptions opt;
  opt.studyCode = "XYZRAD";
  EXPECT_NE(ExportResults(MakeTileStudy(), ExportFormat::Csv, Out("keep.png"), opt).find("holds no study \"XYZRAD\""),
            std::string::npos);
}

TEST(ExportFormat, Names) {
  EXPECT_EQ(ParseExportFormat("GeoTIFF"), ExportFormat::GeoTiff);
  EXPECT_EQ(ParseExportFormat("tif"), ExportFormat::GeoTiff);
  EXPECT_EQ(ParseExportFormat("geojson"), ExportFormat::GeoJson);
  EXPECT_EQ(ParseExportFormat("KML"), ExportFormat::Kml);
  EXPECT_FALSE(ParseExportFormat("shp"));
}

TEST(AutoScale, AtMostTenClasses) {
  auto s = AutoScale(41.2, 87.9);
  EXPECT_EQ(s.lo, 40);
  EXPECT_EQ(s.step, 5);
  EXPECT_EQ(s.classes, 10);
  s = AutoScale(-20, 120);
  EXPECT_EQ(s.step, 20);
  EXPECT_LE(s.classes, 10);
  s = AutoScale(50, 50);
  EXPECT_EQ(s.classes, 1);
}

}  // namespace
}  // namespace zw::coverage
