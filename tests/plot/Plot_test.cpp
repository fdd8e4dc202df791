// The plots: study maps (scales, colours, KML overlays) and path profiles
// (earth bulge, Fresnel zones, land use), written as image files.
#include <cairo.h>
#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "TempDir.h"
#include "common/ErrorHandler.h"
#include "coverage/ResultsDb.h"
#include "geo/Geodesic.h"
#include "platform/FileSystem.h"
#include "plot/MapExport.h"
#include "plot/PathGeometry.h"
#include "plot/ProfilePlot.h"
#include "plot/StudyMap.h"

namespace zw::plot {
namespace {

namespace fs = std::filesystem;
using coverage::kRdbNotComputed;

constexpr double kTxLat = 44.0, kTxLon = -71.5;

// Falls 3 dB per km from 80 dBu (+ offset), 2 dB stronger east.
double Field(double az, double km, double offset) { return offset + 80.0 - 3.0 * km + 2.0 * std::sin(az * M_PI / 180.0); }

// A PNG read back: its size and the colour at a pixel.
struct Png {
  explicit Png(const fs::path& f) : s(cairo_image_surface_create_from_png(f.c_str())) {}
  ~Png() { cairo_surface_destroy(s); }
  int Width() const { return cairo_image_surface_get_width(s); }
  int Height() const { return cairo_image_surface_get_height(s); }
  std::array<int, 4> At(double x, double y) const {  // r, g, b, alpha (premultiplied)
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                             static_cast<int>(y) * cairo_image_surface_get_stride(s));
    const std::uint32_t p = row[static_cast<int>(x)];
    return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255),
            static_cast<int>(p >> 24)};
  }
  cairo_surface_t* s;
};

std::array<int, 4> Expected(Rgb c) {
  return {static_cast<int>(std::lround(c.r * 255)), static_cast<int>(std::lround(c.g * 255)),
          static_cast<int>(std::lround(c.b * 255)), 255};
}

class StudyMapTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTechSupportLogPath((tmp.path() / "ZWTECSUP.TXT").string()); }
  void TearDown() override { SetTechSupportLogPath(""); }
  // 36 radials of 10 points, 1 to 10 km.
  fs::path Radials(int task, double offset) {
    coverage::ResultsDb db(tmp.path(), task);
    EXPECT_TRUE(db.AddRec1("TX SITMain Street", kTxLat, kTxLon, 0, 0, kRdbNotComputed, 0, 0, 0, 0, 0));
    for (int az = 0; az < 360; az += 10)
      for (int k = 1; k <= 10; ++k) {
        double lat = 0, lon = 0;
        Geodesic::ForwardKm(kTxLat, kTxLon, az, k, lat, lon);
        EXPECT_TRUE(db.AddRec1("ABCRAD", lat, lon, az, k, Field(az, k, offset), 0, 0, 0, 0, 0));
      }
    return db.File();
  }
  // The pixel of a point in the map of a table.
  std::pair<double, double> PixelOf(const fs::path& table, double az, double km) {
    coverage::StudyResults s;
    EXPECT_EQ(coverage::LoadStudyResults(table, {}, s), "");
    coverage::FieldRaster r;
    EXPECT_EQ(coverage::RasteriseStudy(s, {}, r), "");
    double lat = 0, lon = 0;
    Geodesic::ForwardKm(kTxLat, kTxLon, az, km, lat, lon);
    return PlanMap(r).PixelOf(lat, lon);
  }
  test::TempDir tmp;
};

TEST(MapScale, FixedClassesAndTheirLabels) {
  // The same scale whatever the values of the map.
  const MapScale a = FixedScale("field strength", "dBu", 45, 80), b = FixedScale("field strength", "dBu", 0, 140);
  EXPECT_EQ(a.breaks, b.breaks);
  ASSERT_EQ(a.labels.size(), 10u);
  EXPECT_EQ(a.labels.front(), "below 20 dBu");
  EXPECT_EQ(a.labels[4], "50 to 60 dBu");
  EXPECT_EQ(a.labels.back(), "100 dBu and above");
  EXPECT_EQ(a.ClassOf(59.99), 4);
  EXPECT_EQ(a.ClassOf(60), 5);
  const MapScale c = FixedScale("clearance", "Fresnel zone radii", -3, 3);
  EXPECT_EQ(c.labels[5], "0.6 to 1 Fresnel zone radii");
  EXPECT_EQ(c.marks, (std::vector<double>{0.0, 0.6}));
  const MapScale t = ThresholdScale("field strength", "dBu", 60);
  EXPECT_EQ(t.labels, (std::vector<std::string>{"not covered (below 60 dBu)", "covered (60 dBu and above)"}));
  EXPECT_EQ(AutoMapScale("field strength", "dBu", 41.2, 87.9).labels.front(), "below 45 dBu");
  EXPECT_EQ(ParseScaleKind("Threshold"), ScaleKind::Threshold);
  EXPECT_FALSE(ParseScaleKind("rainbow"));
}

TEST_F(StudyMapTest, MapsShowTheSameValueInTheSameColourKmlOverlayLegendAndKeepOldFiles) {
  // Two studies 10 dB apart: the 70-80 dBu class in each has one colour.
  const fs::path weak = Radials(1, 0), strong = Radials(2, 10);
  MapOptions o;
  ASSERT_EQ(ExportMap(weak, tmp.path() / "weak.png", o), "");
  ASSERT_EQ(ExportMap(strong, tmp.path() / "strong.png", o), "");
  const Png w(tmp.path() / "weak.png"), s(tmp.path() / "strong.png");
  EXPECT_EQ(w.Width(), s.Width());
  EXPECT_GE(w.Width(), 1000);
  const Rgb c7080 = FixedScale("field strength", "dBu", 0, 0).ColourOf(75);
  const auto [wx, wy] = PixelOf(weak, 180, 2.0);   // 74 dBu
  const auto [sx, sy] = PixelOf(strong, 180, 5.0);  // 75 dBu
  EXPECT_EQ(w.At(wx, wy), Expected(c7080));
  EXPECT_EQ(s.At(sx, sy), Expected(c7080));
  // The transmitter: black centre, white disc.
  const auto [tx, ty] = PixelOf(weak, 0, 0);
  EXPECT_EQ(w.At(tx, ty), (std::array<int, 4>{0, 0, 0, 255}));
  EXPECT_EQ(w.At(tx + 4, ty), (std::array<int, 4>{255, 255, 255, 255}));
  // The threshold scale: covered and not covered.
  o.scale = ScaleKind::Threshold;
  o.threshold = 60;
  ASSERT_EQ(ExportMap(weak, tmp.path() / "thr.png", o), "");
  const Png t(tmp.path() / "thr.png");
  const MapScale ts = ThresholdScale("field strength", "dBu", 60);
  const auto [ax, ay] = PixelOf(weak, 90, 3.0);
  const auto [bx, by] = PixelOf(weak, 90, 9.0);
  EXPECT_EQ(t.At(ax, ay), Expected(ts.colours[1]));
  EXPECT_EQ(t.At(bx, by), Expected(ts.colours[0]));
  o.threshold.reset();
  EXPECT_NE(ExportMap(weak, tmp.path() / "none.png", o).find("needs a threshold"), std::string::npos);
  // The KML overlay and legend; failures keep the old files.
  const fs::path table = Radials(1, 0);
  ASSERT_EQ(ExportMap(table, tmp.path() / "r.kml", {}), "");
  CPLXMLNode* root = CPLParseXMLFile((tmp.path() / "r.kml").c_str());
  ASSERT_NE(root, nullptr) << "not well-formed";
  CPLStripXMLNamespace(root, nullptr, TRUE);
  EXPECT_STREQ(CPLGetXMLValue(root, "=kml.Document.GroundOverlay.Icon.href", ""), "r_overlay.png");
  EXPECT_STREQ(CPLGetXMLValue(root, "=kml.Document.ScreenOverlay.Icon.href", ""), "r_legend.png");
  EXPECT_NEAR(CPLAtof(CPLGetXMLValue(root, "=kml.Document.GroundOverlay.LatLonBox.north", "0")), kTxLat + 0.095, 0.005);
  CPLDestroyXMLNode(root);
  // The overlay: semi-transparent values, transparent beyond the study.
  const Png overlay(tmp.path() / "r_overlay.png");
  EXPECT_NEAR(overlay.At(overlay.Width() / 2 + 20, overlay.Height() / 2)[3], 0.7 * 255, 1);
  EXPECT_EQ(overlay.At(0, 0)[3], 0);
  EXPECT_GT(Png(tmp.path() / "r_legend.png").Height(), 200);

  ASSERT_TRUE(platform::WriteFileAtomic(tmp.path() / "keep.png", "old"));
  EXPECT_NE(ExportMap(tmp.path() / "R0000009.DBF", tmp.path() / "keep.png", {}).find("Results table not found"),
            std::string::npos);
  EXPECT_NE(ExportMap(table, tmp.path() / "keep.gif", {}).find(".png, .svg or .pdf"), std::string::npos);
  EXPECT_EQ(*platform::ReadWholeFile(tmp.path() / "keep.png"), "old");
}

TEST(PathGeometry, BulgeAndFresnelRadiusFollowTheirFormulas) {
  struct Row {
    double d1, d2, k, f, bulge, r1;
  } rows[] = {
      {20000, 20000, 4.0 / 3.0, 100, 23.548, 173.145},  // mid-path of 40 km at 100 MHz
      {10000, 30000, 1.0, 1000, 23.548, 47.418},
      {0, 5000, 4.0 / 3.0, 100, 0.0, 0.0},             // at an end: no bulge, no zone
      {5000, 5000, 0.0, 0.0, 0.0, 0.0},                // flat earth, no frequency
  };
  for (const Row& r : rows) {
    EXPECT_NEAR(EarthBulgeM(r.d1, r.d2, r.k), r.bulge, 0.001) << r.d1;
    EXPECT_NEAR(FresnelRadiusM(r.d1, r.d2, r.f), r.r1, 0.001) << r.d1;
  }
  // 40 km of sea-level ground, 100 m masts at both ends, 100 MHz: the ray at
  // 100 m, the ground raised 23.548 m mid-path, the first zone 173.145 m there.
  std::vector<double> d;
  std::vector<float> e;
  for (int i = 0; i <= 40; ++i) {
    d.push_back(i * 1000.0);
    e.push_back(0.0f);
  }
  const PathGeometry g = BuildPathGeometry(d, e, 100, 100, 4.0 / 3.0, 100);
  ASSERT_EQ(g.groundM.size(), d.size());
  EXPECT_DOUBLE_EQ(g.rayM[20], 100.0);
  EXPECT_NEAR(g.groundM[20], 23.548, 0.001);
  EXPECT_NEAR(g.fresnelM[20], 173.145, 0.001);
  EXPECT_EQ(g.groundM.front(), 0.0);
  EXPECT_EQ(g.groundM.back(), 0.0);
  EXPECT_NEAR(g.minClearance, (100 - 23.548) / 173.145, 1e-4);
  EXPECT_DOUBLE_EQ(g.minClearanceAtM, 20000.0);
  // A 90 m hill at 10 km stands in the zone: the least clearance moves there.
  e[10] = 90.0f;
  const PathGeometry h = BuildPathGeometry(d, e, 100, 100, 4.0 / 3.0, 100);
  EXPECT_DOUBLE_EQ(h.minClearanceAtM, 10000.0);
  EXPECT_NEAR(h.minClearance, (100 - 90 - EarthBulgeM(10000, 30000, 4.0 / 3.0)) / FresnelRadiusM(10000, 30000, 100),
              1e-9);
}

TEST(ProfilePlot, WritesEachFormatAndKeepsTheOldFileOnFailure) {
  test::TempDir tmp;
  ProfilePlot p;
  for (int i = 0; i <= 50; ++i) {
    p.distM.push_back(i * 200.0);
    p.elevM.push_back(static_cast<float>(300 + 80 * std::sin(i / 8.0)));
  }
  p.txAglM = 30;
  p.rxAglM = 10;
  p.freqMHz = 450;
  p.title = "Tx to Rx";
  p.marks.push_back({4000, NAN, "knife edge -3.0 dB"});
  struct Row {
    const char* name;
    const char* magic;
  } rows[] = {{"p.png", "\x89PNG"}, {"p.svg", "<?xml"}, {"p.PDF", "%PDF"}};
  for (const Row& r : rows) {
    ASSERT_EQ(DrawProfilePlot(p, tmp.path() / r.name), "") << r.name;
    const auto bytes = platform::ReadWholeFile(tmp.path() / r.name);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->substr(0, std::string(r.magic).size()), r.magic) << r.name;
  }
  const Png drawn(tmp.path() / "p.png");
  EXPECT_EQ(drawn.Width(), 1200);
  EXPECT_EQ(drawn.Height(), 700);

  EXPECT_NE(DrawProfilePlot(p, tmp.path() / "p.gif").find(".png, .svg or .pdf"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tmp.path() / "p.gif"));
  p.distM.resize(1);
  p.elevM.resize(1);
  EXPECT_NE(DrawProfilePlot(p, tmp.path() / "p.png"), "");
  EXPECT_EQ(platform::ReadWholeFile(tmp.path() / "p.png")->substr(0, 4), "\x89PNG");
  // Land use along the path is a strip at the foot of the plot, one colour per
  // class; points without a class leave the ground as it is.
  test::TempDir dir;
  ProfilePlot plot;
  for (int i = 0; i <= 40; ++i) {
    plot.distM.push_back(i * 250.0);
    plot.elevM.push_back(200.0f);
    plot.landUse.push_back(i < 20 ? "Evergreen Forest" : i < 30 ? "Open Water" : "");
  }
  plot.antennas = false;
  ProfilePlot bare = plot;
  bare.landUse.clear();
  ASSERT_EQ(DrawProfilePlot(plot, dir.path() / "lu.png"), "");
  ASSERT_EQ(DrawProfilePlot(bare, dir.path() / "bare.png"), "");
  const Png png(dir.path() / "lu.png"), ground(dir.path() / "bare.png");
  ASSERT_EQ(png.Width(), 1200);
  // The strip's colour (red, green, blue) at a fraction of the path.
  const auto rgb = [](const Png& s, double fraction) {
    const auto c = s.At(90 + fraction * 1080, 630);
    return std::array<int, 3>{c[0], c[1], c[2]};
  };
  const auto forest = rgb(png, 0.25), water = rgb(png, 0.625);
  EXPECT_NE(forest, water);
  EXPECT_EQ(forest, rgb(png, 0.05));
  for (double at : {0.25, 0.625}) EXPECT_NE(rgb(png, at), rgb(ground, at)) << at;
  for (double at : {0.85, 0.95}) EXPECT_EQ(rgb(png, at), rgb(ground, at)) << at;  // no class: the ground as it is
}

}  // namespace
}  // namespace zw::plot
