#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "plot/PathGeometry.h"
#include "plot/ProfilePlot.h"

namespace zw::plot {
namespace {

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
  cairo_surface_t* png = cairo_image_surface_create_from_png((tmp.path() / "p.png").c_str());
  EXPECT_EQ(cairo_image_surface_get_width(png), 1200);
  EXPECT_EQ(cairo_image_surface_get_height(png), 700);
  cairo_surface_destroy(png);

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
  png = cairo_image_surface_create_from_png((dir.path() / "lu.png").c_str());
  cairo_surface_t* ground = cairo_image_surface_create_from_png((dir.path() / "bare.png").c_str());
  ASSERT_EQ(cairo_image_surface_get_width(png), 1200);
  // The strip's colour at a fraction of the path.
  const auto rgb = [](cairo_surface_t* s, double fraction) {
    const unsigned char* d = cairo_image_surface_get_data(s);
    const int x = static_cast<int>(90 + fraction * 1080), y = 630;
    const unsigned char* px = d + y * cairo_image_surface_get_stride(s) + x * 4;  // B, G, R, A
    return std::array<int, 3>{px[2], px[1], px[0]};
  };
  const auto forest = rgb(png, 0.25), water = rgb(png, 0.625);
  EXPECT_NE(forest, water);
  EXPECT_EQ(forest, rgb(png, 0.05));
  for (double at : {0.25, 0.625}) EXPECT_NE(rgb(png, at), rgb(ground, at)) << at;
  for (double at : {0.85, 0.95}) EXPECT_EQ(rgb(png, at), rgb(ground, at)) << at;  // no class: the ground as it is
  cairo_surface_destroy(png);
  cairo_surface_destroy(ground);
}

}  // namespace
}  // namespace zw::plot
