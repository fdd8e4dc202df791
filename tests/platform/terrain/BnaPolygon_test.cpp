#include "platform/terrain/BnaPolygon.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <tuple>

#include "TempDir.h"

namespace zw::platform {
namespace {

TEST(BnaPolygon, LoadsTheNamedObjectAndRefusesMissingAndMalformedFiles) {
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
  // (Missing and malformed files: the boundary-* cases of the tests/bad corpus.)
}

TEST(PointInPolygon, ConcaveShapes) {
  // A "U": the notch between the arms is outside.
  const std::vector<double> x{0, 3, 3, 2, 2, 1, 1, 0}, y{0, 0, 3, 3, 1, 1, 3, 3};
  // 1 inside, 0 on the edge (a vertex level with the ray too), -1 outside.
  const std::tuple<double, double, int> cases[] = {{0.5, 2, 1}, {1.5, 2, -1}, {1.5, 0.5, 1}, {1.5, 1, 0},
                                                   {2, 3, 0},   {-1, 3, -1},  {NAN, 1, -1}};
  for (const auto& [px, py, want] : cases) EXPECT_EQ(PointInPolygon(px, py, x, y), want) << px << " " << py;
  EXPECT_EQ(PointInPolygon(1, 1, {}, {}), -1);
}

// Files that are no boundary file are refused at once with the reason: a
// device that never ends, a FIFO without a writer, a folder, a file larger
// than the limit (sparse, so the test writes nothing).
TEST(BnaPolygon, OnlyRegularFilesOfBoundedSizeAreRead) {
  test::TempDir dir;
  const auto fifo = dir.path() / "pipe.bna";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto big = dir.path() / "big.bna";
  {
    std::ofstream(big) << "x";
  }
  ASSERT_EQ(::truncate(big.c_str(), 4LL * 1024 * 1024 * 1024), 0);
  const struct {
    std::filesystem::path file;
    const char* says;
  } cases[] = {{"/dev/zero", "not a regular file"},
               {fifo, "not a regular file"},
               {dir.path(), "is a folder"},
               {big, "more than the 64 MB"}};
  for (const auto& c : cases) {
    BnaPolygon b;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(b.Load(c.file, "\"A\",3"), 0) << c.file;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.file;
    EXPECT_NE(b.sMessage().find(c.says), std::string::npos) << b.sMessage();
    EXPECT_NE(b.sMessage().find(c.file.string()), std::string::npos) << b.sMessage();
  }
}

}  // namespace
}  // namespace zw::platform
