#include "platform/terrain/BnaPolygon.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"

namespace zw::platform {
namespace {

TEST(BnaPolygon, LoadsTheNamedObject) {
  test::TempDir dir;
  const auto f = dir.path() / "b.bna";
  std::ofstream(f) << "\"Other\",\"x\",3\n0,0\n1,0\n0,1\n"
                   << "\"County\",\"Coos\",-4\r\n-71.5,44.0\r\n-71.0,44.0\r\n-71.0,44.5\r\n-71.5,44.5\r\n";
  BnaPolygon b;
  EXPECT_EQ(b.Load(f, "  \"County\",\"Coos\",-4 "), 4);  // absolute count, trimmed header
  EXPECT_EQ(b.X()[1], -71.0);
  EXPECT_EQ(b.Y()[2], 44.5);
  EXPECT_EQ(b.Inside(-71.2, 44.2), 1);
  EXPECT_EQ(b.Inside(-70.9, 44.2), -1);
  EXPECT_EQ(b.Inside(-71.0, 44.2), 0);  // on an edge
  EXPECT_EQ(b.Inside(-71.5, 44.5), 0);  // on a vertex
  EXPECT_EQ(b.Load(f, "\"County\""), 0);
  EXPECT_NE(b.sMessage().find("not found"), std::string::npos);
  EXPECT_EQ(b.Inside(-71.2, 44.2), -1);  // nothing loaded
}

TEST(BnaPolygon, MissingAndMalformedFiles) {
  test::TempDir dir;
  BnaPolygon b;
  EXPECT_EQ(b.Load(dir.path() / "none.bna", "x"), 0);
  EXPECT_NE(b.sMessage().find("Boundary file not found"), std::string::npos);
  const auto f = dir.path() / "bad.bna";
  std::ofstream(f) << "\"A\",3\n0,0\n1,zero\n0,1\n";
  EXPECT_EQ(b.Load(f, "\"A\",3"), 0);
  EXPECT_NE(b.sMessage().find("is not a point"), std::string::npos);
  std::ofstream(f) << "\"A\",5\n0,0\n1,0\n";
  EXPECT_EQ(b.Load(f, "\"A\",5"), 0);
  EXPECT_NE(b.sMessage().find("ends inside an object"), std::string::npos);
  std::ofstream(f) << "no count here\n";
  EXPECT_EQ(b.Load(f, "x"), 0);
  EXPECT_NE(b.sMessage().find("not an object header"), std::string::npos);
}

TEST(PointInPolygon, ConcaveShapes) {
  // A "U": the notch between the arms is outside.
  const std::vector<double> x{0, 3, 3, 2, 2, 1, 1, 0}, y{0, 0, 3, 3, 1, 1, 3, 3};
  EXPECT_EQ(PointInPolygon(0.5, 2, x, y), 1);
  EXPECT_EQ(PointInPolygon(1.5, 2, x, y), -1);
  EXPECT_EQ(PointInPolygon(1.5, 0.5, x, y), 1);
  EXPECT_EQ(PointInPolygon(1.5, 1, x, y), 0);
  EXPECT_EQ(PointInPolygon(2, 3, x, y), 0);   // vertex level with the ray
  EXPECT_EQ(PointInPolygon(-1, 3, x, y), -1);
  EXPECT_EQ(PointInPolygon(NAN, 1, x, y), -1);
  EXPECT_EQ(PointInPolygon(1, 1, {}, {}), -1);
}

}  // namespace
}  // namespace zw::platform
