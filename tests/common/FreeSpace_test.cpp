#include "common/FreeSpace.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zw {
namespace {

TEST(FreeSpace, MilesForm) {
  // {got, want, tolerance}
  const double cases[][3] = {
      {FreeSpaceFieldM(1000, 60), 106.92, 1e-12}, {FreeSpaceFieldM(10000, 60), 86.92, 1e-12},
      {FreeSpaceFieldM(100, 30), 96.92, 1e-12},
      // 6 dB per doubling of distance.
      {FreeSpaceFieldM(2000, 60) - FreeSpaceFieldM(4000, 60), 20 * std::log10(2.0), 1e-12},
      // The miles form, and the same path in both forms: 1 mile, 0 dBk = 60 dBm.
      {FreeSpaceFieldMi(1, 0), 106.92 - 20 * std::log10(1.609344), 1e-12}, {FreeSpaceFieldMi(1, 0), 102.787, 1e-3},
      {FreeSpaceFieldMi(1, 0), FreeSpaceFieldM(1609.344, 60), 1e-12},
      // Outside the domain: 0.
      {FreeSpaceFieldM(0, 60), 0, 0}, {FreeSpaceFieldM(-5, 60), 0, 0}, {FreeSpaceFieldM(std::nan(""), 60), 0, 0},
      {FreeSpaceFieldMi(0, 0), 0, 0}, {FreeSpaceFieldM(1000, INFINITY), 0, 0}, {FreeSpaceFieldMi(1, std::nan("")), 0, 0}};
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_NEAR(cases[i][0], cases[i][1], cases[i][2]) << "row " << i;
}

}  // namespace
}  // namespace zw
