#include "platform/terrain/clsPathElv.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "TempDir.h"
#include "TerrainTestUtil.h"
#include "geo/CoordSys.h"
#include "geo/Geodesic.h"
#include "platform/terrain/clsObstructions.h"

namespace zw::platform {
namespace {

using test::DataDir;
using test::TempDir;

std::shared_ptr<TerrainSource> Sample() {
  static auto t = [] {
    auto s = std::make_shared<TerrainSource>();
    s->Add(DataDir() / "N44W072.hgt");
    return s;
  }();
  return t;
}

std::unique_ptr<clsPathElv> MakePath(double lat1, double lon1, double lat2, double lon2, double stepM,
                                     std::shared_ptr<TerrainSource> terrain = Sample()) {
  auto p = std::make_unique<clsPathElv>(std::move(terrain));
  p->dStartLat(lat1);
  p->dStartLon(lon1);
  p->dEndLat(lat2);
  p->dEndLon(lon2);
  p->dStep(stepM);
  return p;
}

// A path that ends between whole steps is sampled evenly, its spacing the
// length over the fewest intervals no longer than the step.
TEST(clsPathElv, ProfileIncludesBothEndsEvenlySpaced) {
  auto p = MakePath(44.27, -71.30, 44.35, -71.10, 100);
  ASSERT_TRUE(p->ExtractProfile()) << p->sMessage();
  const double len = p->dPathLth();
  const auto& d = p->DIS_Array();
  const auto& e = p->ELV_Array();
  ASSERT_EQ(d.size(), e.size());
  ASSERT_EQ(p->iLastPoint(), static_cast<int>(d.size()) - 1);
  const std::size_t intervals = d.size() - 1;
  EXPECT_EQ(intervals, static_cast<std::size_t>(std::ceil(len / 100)));
  EXPECT_EQ(d.front(), 0.0);
  EXPECT_NEAR(d.back(), len, 1e-6);
  for (std::size_t i = 1; i < d.size(); ++i) EXPECT_NEAR(d[i], len * i / intervals, 1e-6);
  EXPECT_FLOAT_EQ(e.front(), p->ElvAt(44.27, -71.30));
  EXPECT_NEAR(e.back(), p->ElvAt(44.35, -71.10), 1e-3);
  EXPECT_EQ(p->ELV_ArrayOBS(), e);  // no obstructions
  EXPECT_EQ(p->sMessage(), "");
}

// The sample tile read straight through GDAL, and a bilinear reading of it
// between sample centres written here apart from the terrain component.
struct RawTile {
  int w = 0, h = 0;
  double gt[6]{};
  std::vector<float> v;
  RawTile() {
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen((DataDir() / "N44W072.hgt").string().c_str(), GA_ReadOnly);
    w = GDALGetRasterXSize(ds);
    h = GDALGetRasterYSize(ds);
    GDALGetGeoTransform(ds, gt);
    v.resize(static_cast<std::size_t>(w) * h);
    if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, w, h, v.data(), w, h, GDT_Float32, 0, 0) != CE_None)
      v.clear();
    GDALClose(ds);
  }
  double At(double lat, double lon) const {
    const double x = (lon - gt[0]) / gt[1] - 0.5, y = (lat - gt[3]) / gt[5] - 0.5;
    const int i = static_cast<int>(std::floor(x)), j = static_cast<int>(std::floor(y));
    if (i < 0 || j < 0 || i + 1 >= w || j + 1 >= h) return NAN;
    const double tx = x - i, ty = y - j;
    auto px = [&](int a, int b) { return static_cast<double>(v[static_cast<std::size_t>(b) * w + a]); };
    return (1 - ty) * ((1 - tx) * px(i, j) + tx * px(i + 1, j)) + ty * ((1 - tx) * px(i, j + 1) + tx * px(i + 1, j + 1));
  }
};

// Every sample of profiles in all directions from the sample transmitter, and
// of a 130 km diagonal of the tile, against the independent bilinear reading at
// the exact geodesic point of the sample.
TEST(clsPathElv, SamplesAreTheTerrainAtTheirGeodesicPoints) {
  static const RawTile raw;
  ASSERT_FALSE(raw.v.empty());
  struct Path {
    double lat, lon, az, km;
  };
  std::vector<Path> paths = {{44.02, -71.98, 0, 0}};
  Geodesic::InverseKm(44.02, -71.98, 44.98, -71.02, paths[0].az, paths[0].km);
  EXPECT_GT(paths[0].km, 125.0);
  for (double az = 0; az < 360; az += 15) paths.push_back({44.4365, -71.4131, az + 2.5, 30.0});
  double worst = 0;
  std::size_t checked = 0;
  for (const Path& q : paths) {
    double eLat = 0, eLon = 0;
    ASSERT_TRUE(Geodesic::ForwardKm(q.lat, q.lon, q.az, q.km, eLat, eLon));
    auto p = MakePath(q.lat, q.lon, eLat, eLon, 90);
    ASSERT_TRUE(p->ExtractProfile()) << p->sMessage();
    const auto& e = p->ELV_Array();
    const auto& d = p->DIS_Array();
    for (std::size_t i = 0; i < e.size(); ++i) {
      double lat = 0, lon = 0;
      ASSERT_TRUE(Geodesic::ForwardKm(q.lat, q.lon, q.az, d[i] / 1000, lat, lon));
      const double ref = raw.At(lat, lon);
      if (std::isnan(ref)) continue;
      worst = std::max(worst, std::fabs(e[i] - ref));
      ++checked;
      ASSERT_NEAR(e[i], ref, 0.5) << "azimuth " << q.az << " sample " << i;
    }
  }
  EXPECT_GT(checked, 9000u);
  std::cout << "[ worst   ] profile vs independent bilinear at exact points: " << worst << " m over " << checked
            << " samples\n";
}

TEST(clsPathElv, UnitsConvertArraysAndRefuseUnknownUnits) {
  auto p = MakePath(44.1, -71.9, 44.2, -71.7, 200);
  ASSERT_TRUE(p->ExtractProfile());
  const auto e = p->ELV_Array();
  const auto d = p->DIS_Array();
  EXPECT_TRUE(p->sElvUnits("ft"));
  EXPECT_TRUE(p->sDisUnits("km"));
  EXPECT_NEAR(p->ELV_Array()[5], e[5] / 0.3048, 1e-2);
  EXPECT_NEAR(p->DIS_Array()[5], d[5] / 1000, 1e-9);
  EXPECT_NEAR(p->dStep(), 0.2, 1e-12);
  ASSERT_TRUE(p->ExtractProfile());
  EXPECT_NEAR(p->ELV_Array()[5], e[5] / 0.3048, 1e-2);
  EXPECT_NEAR(p->DIS_Array().back(), d.back() / 1000, 1e-9);
  EXPECT_FALSE(p->sDisUnits("yd"));
  EXPECT_EQ(p->sDisUnits(), "km");
  EXPECT_TRUE(p->sDisUnits("mi"));
  EXPECT_NEAR(p->dPathLth(), d.back() / 1609.344, 1e-9);
  EXPECT_EQ(p->ElvAt(10, 10), kNoElevation);  // the sentinel is not converted
}

TEST(clsPathElv, RadialIsSampledOnceAndReused) {
  // Points along one azimuth at whole steps, as a radial study asks for them:
  // samples at the step, the last interval a whole one.
  auto reused = MakePath(44.27, -71.30, 0, 0, 90);
  auto fresh = MakePath(44.27, -71.30, 0, 0, 90);
  fresh->bReuseRadial(false);
  for (double km : {18.0, 4.5, 12.33, 24.03}) {
    double lat = 0, lon = 0;
    Geodesic::ForwardKm(44.27, -71.30, 63.0, km, lat, lon);
    for (auto* p : {reused.get(), fresh.get()}) {
      p->dEndLat(lat);
      p->dEndLon(lon);
      ASSERT_TRUE(p->ExtractProfile());
    }
    ASSERT_EQ(reused->ELV_Array().size(), fresh->ELV_Array().size());
    for (std::size_t i = 0; i < fresh->ELV_Array().size(); ++i)
      EXPECT_NEAR(reused->ELV_Array()[i], fresh->ELV_Array()[i], 1e-3);
    EXPECT_EQ(reused->DIS_Array(), fresh->DIS_Array());
    EXPECT_EQ(reused->DIS_Array().size(), static_cast<std::size_t>(std::lround(km / 0.09)) + 1);
    EXPECT_DOUBLE_EQ(reused->DIS_Array()[1], 90.0);
  }
  // A profile of a given length along the end point's azimuth.
  ASSERT_TRUE(reused->ExtractProfile(7000));
  EXPECT_NEAR(reused->DIS_Array().back(), 7000, 1e-9);
}

// (The messages the tool can reach: the p2p-path-* cases of tests/bad.)
TEST(clsPathElv, BadPathsGiveNoProfileAndAReason) {
  auto p = MakePath(44.2, -71.5, 44.2, -71.5, 100);
  EXPECT_FALSE(p->ExtractProfile());
  EXPECT_EQ(p->iLastPoint(), -1);
  p->dEndLat(95);
  EXPECT_FALSE(p->ExtractProfile());
  EXPECT_NE(p->sMessage().find("Invalid path end points"), std::string::npos);
  p->dEndLat(43.5);  // off the tile: no data at the end
  EXPECT_FALSE(p->ExtractProfile());
  EXPECT_TRUE(p->ELV_Array().empty());
  clsPathElv none;
  none.dEndLat(1);
  EXPECT_FALSE(none.ExtractProfile());
  EXPECT_NE(none.sMessage().find("No terrain elevation data"), std::string::npos);
  auto huge = MakePath(44.0, -72.0, 45.0, -71.0, 1);
  huge->iMaxPoints(10000);
  EXPECT_FALSE(huge->ExtractProfile());
  EXPECT_NE(huge->sMessage().find("more than 10000"), std::string::npos);
}

TEST(clsPathElv, ShortVoidsAreFilledLongOnesRefused) {
  TempDir dir;
  // 0.001 degree grid at 100 m with a void band 3 samples wide at column 50,
  // and a wide void band from column 70 to 89.
  test::WriteGrid(dir.path() / "v.tif", 0, 0.1, 0.001, 100, 100, [](int c, int) {
    if ((c >= 50 && c < 53) || (c >= 70 && c < 90)) return double(NAN);
    return 100.0 + c;
  });
  auto t = std::make_shared<TerrainSource>();
  ASSERT_EQ(t->Add(dir.path()), "");
  auto p = MakePath(0.05, 0.0305, 0.05, 0.0605, 50, t);
  ASSERT_TRUE(p->ExtractProfile()) << p->sMessage();
  EXPECT_GT(p->iFilledPoints(), 0);
  EXPECT_NE(p->sMessage().find("filled"), std::string::npos);
  for (float v : p->ELV_Array()) EXPECT_GT(v, 120.0f);  // every point carries an elevation
  p->dEndLon(0.0955);
  EXPECT_FALSE(p->ExtractProfile());
  EXPECT_NE(p->sMessage().find("No terrain elevation data on the path from"), std::string::npos);
}

TEST(clsPathElv, HostArraysAreTheProfileAndTheDatumIsHonoured) {
  clsPathElv p;
  p.ELV_Array({100, 110, 120});
  p.DIS_Array({0, 50, 100});
  ASSERT_TRUE(p.ExtractProfile());
  EXPECT_EQ(p.iLastPoint(), 2);
  EXPECT_EQ(p.ELV_ArrayOBS(), p.ELV_Array());
  p.sElvUnits("ft");
  EXPECT_NEAR(p.ELV_Array()[1], 110 / 0.3048, 1e-3);
  p.DIS_Array({0, 50});
  EXPECT_FALSE(p.ExtractProfile());
  EXPECT_NE(p.sMessage().find("differ in length"), std::string::npos);
  EXPECT_EQ(p.ELV_Array().size(), 3u);  // the host's data are kept
  // The datum of the positions is honoured.
  clsPathElv wgs(Sample()), nad27(Sample());
  nad27.sDatum("NAD 27");
  EXPECT_EQ(nad27.iDatumEpsg(), 4267);
  const auto c = ConvertPosition("LL27", "LL84", 44.27, -71.30);
  ASSERT_TRUE(c.bOK);
  EXPECT_NEAR(nad27.ElvAt(44.27, -71.30), wgs.ElvAt(c.dLat, c.dLon), 0.05);
}

void WriteObstructions(const std::filesystem::path& file) {
  DBFHandle h = DBFCreate(file.string().c_str());
  DBFAddField(h, "OBS_ID", FTString, 10, 0);
  DBFAddField(h, "OBS_LAT", FTDouble, 14, 8);
  DBFAddField(h, "OBS_LON", FTDouble, 14, 8);
  DBFAddField(h, "OBS_HGT", FTDouble, 10, 2);
  DBFAddField(h, "OBS_HGTUN", FTString, 4, 0);
  auto rec = [&](int i, const char* id, double lat, double lon, double hgt, const char* un) {
    DBFWriteStringAttribute(h, i, 0, id);
    DBFWriteDoubleAttribute(h, i, 1, lat);
    DBFWriteDoubleAttribute(h, i, 2, lon);
    DBFWriteDoubleAttribute(h, i, 3, hgt);
    DBFWriteStringAttribute(h, i, 4, un);
  };
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(44.27, -71.30, 90.0, 2.0, lat, lon);
  rec(0, "TOWER", lat, lon, 100, "ft");  // on the path at 2 km
  Geodesic::ForwardKm(44.27, -71.30, 0.0, 2.0, lat, lon);
  rec(1, "AWAY", lat, lon, 50, "m");      // 2 km off the path
  rec(2, "BAD", 44.3, -71.2, 30, "yd");   // unusable unit
  DBFClose(h);
}

TEST(clsPathElv, ObstructionsStandOnThePath) {
  TempDir dir;
  WriteObstructions(dir.path() / "obs.dbf");
  auto obs = std::make_shared<clsObstructions>();
  obs->AddFile((dir.path() / "obs.dbf").string());
  obs->AddFile((dir.path() / "obs.dbf").string());
  obs->AddFile("  ");
  EXPECT_EQ(obs->iFileCount(), 1);
  EXPECT_EQ(obs->sFileName(0), (dir.path() / "obs.dbf").string());
  EXPECT_EQ(obs->sFileName(3), "");
  EXPECT_EQ(clsObstructions::CountRecords(dir.path() / "obs.dbf"), 3);
  EXPECT_EQ(clsObstructions::CountRecords(dir.path() / "none.dbf"), -1);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(44.27, -71.30, 90.0, 5.0, lat, lon);
  auto p = MakePath(44.27, -71.30, lat, lon, 100);
  p->cOBS(obs);
  ASSERT_TRUE(p->ExtractProfile());
  EXPECT_EQ(p->ELV_ArrayOBS(), p->ELV_Array());  // use flag off
  obs->bUse(true);
  ASSERT_TRUE(p->ExtractProfile());
  EXPECT_NE(obs->Load().find("1 record(s) skipped"), std::string::npos);
  const auto& e = p->ELV_Array();
  const auto& o = p->ELV_ArrayOBS();
  int raised = 0;
  for (std::size_t i = 0; i < e.size(); ++i)
    if (o[i] != e[i]) {
      ++raised;
      EXPECT_EQ(i, 20u);
      EXPECT_NEAR(o[i] - e[i], 30.48, 1e-3);
    }
  EXPECT_EQ(raised, 1);
  auto missing = std::make_shared<clsObstructions>();
  missing->AddFile((dir.path() / "gone.dbf").string());
  EXPECT_NE(missing->Load().find("Obstruction file not found"), std::string::npos);
}

}  // namespace
}  // namespace zw::platform
