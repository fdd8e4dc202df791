#include "common/FreeSpace.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zw {
namespace {

TEST(FreeSpace, MilesForm) {
  EXPECT_NEAR(FreeSpaceFieldM(1000, 60), 106.92, 1e-12);
  EXPECT_NEAR(FreeSpaceFieldM(10000, 60), 86.92, 1e-12);
  EXPECT_NEAR(FreeSpaceFieldM(100, 30), 96.92, 1e-12);
  // 6 dB per doubling of distance.
  EXPECT_NEAR(FreeSpaceFieldM(2000, 60) - FreeSpaceFieldM(4000, 60), 20 * std::log10(2.0), 1e-12);
  // The miles form.
  EXPECT_NEAR(FreeSpaceFieldMi(1, 0), 106.92 - 20 * std::log10(1.609344), 1e-12);
  EXPECT_NEAR(FreeSpaceFieldMi(1, 0), 102.787, 1e-3);
  // The same path in both forms: 1 mile, 0 dBk = 60 dBm.
  EXPECT_NEAR(FreeSpaceFieldMi(1, 0), FreeSpaceFieldM(1609.344, 60), 1e-12);
  // Outside the domain: 0.
  EXPECT_EQ(FreeSpaceFieldM(0, 60), 0);
  EXPECT_EQ(FreeSpaceFieldM(-5, 60), 0);
  EXPECT_EQ(FreeSpaceFieldM(std::nan(""), 60), 0);
  EXPECT_EQ(FreeSpaceFieldMi(0, 0), 0);
  EXPECT_EQ(FreeSpaceFieldM(1000, INFINITY), 0);
  EXPECT_EQ(FreeSpaceFieldMi(1, std::nan("")), 0);
}

}  // namespace
}  // namespace zw
