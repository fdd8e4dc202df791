#include "platform/terrain/clsLandUse.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "TerrainTestUtil.h"

namespace zw::platform {
namespace {

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
