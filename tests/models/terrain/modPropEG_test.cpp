#include "models/terrain/modPropEG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zw {
namespace {

// Egli (Proc. IRE 45, 1957): L = 117 + 40 log d + 20 log f - 20 log(ht hr),
// d in miles, heights in feet; the reference is the dipole-to-dipole free
// space loss 32.27 + 20 log f + 20 log d (36.58 for isotropic antennas less
// 2 x 2.15 dB). The frequency cancels: excess = 84.73 + 20 log d - 20 log(ht hr),
// never below 0 (free space).
TEST(modPropEG, NeverBelowFreeSpace) {
  // 150 MHz, 10 mi, 100 ft, 10 ft: 140.52 - 95.79 = 44.73 dB.
  EXPECT_NEAR(dEgliExcess(150, 10, 100, 10), 44.73, 1e-9);
  // 30 mi, 500 ft and 6 ft: 84.73 + 29.5424 - 69.5424 = 44.73 dB.
  EXPECT_NEAR(dEgliExcess(450, 30, 500, 6), 84.73 + 20 * std::log10(30.0) - 20 * std::log10(3000.0), 1e-9);
  EXPECT_NEAR(dEgliExcess(450, 30, 500, 6), dEgliExcess(40, 30, 500, 6), 1e-9);
  // 1 mi between 1000 ft masts: 84.73 - 120 < 0.
  EXPECT_EQ(dEgliExcess(150, 1, 1000, 1000), 0.0);
  // Exactly at the reference: 20 log(ht hr / d) = 84.73.
  const double hthr = std::pow(10.0, 84.73 / 20.0);
  EXPECT_NEAR(dEgliExcess(100, 1, hthr, 1), 0.0, 1e-9);
}

TEST(modPropEG, BadInputGivesTheFailureValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::string err;
  EXPECT_EQ(dEgliExcess(150, 0, 100, 10, &err), kEgliFailLoss);
  EXPECT_NE(err.find("path length"), std::string::npos);
  EXPECT_EQ(dEgliExcess(150, -3, 100, 10), 888.0);
  EXPECT_EQ(dEgliExcess(0, 10, 100, 10, &err), 888.0);
  EXPECT_NE(err.find("frequency"), std::string::npos);
  EXPECT_EQ(dEgliExcess(150, 10, 0, 10, &err), 888.0);
  EXPECT_NE(err.find("transmitter"), std::string::npos);
  EXPECT_EQ(dEgliExcess(150, 10, 100, -1, &err), 888.0);
  EXPECT_NE(err.find("receiver"), std::string::npos);
  EXPECT_EQ(dEgliExcess(nan, 10, 100, 10), 888.0);
  EXPECT_EQ(dEgliExcess(150, nan, 100, 10), 888.0);
  EXPECT_EQ(dEgliExcess(150, inf, 100, 10), 888.0);
  EXPECT_EQ(dEgliExcess(150, 10, 1e200, 1e200, &err), 888.0);  // height product overflows
  EXPECT_EQ(dEgliExcess(150, 10, 100, 10, &err), dEgliExcess(150, 10, 100, 10));
  EXPECT_TRUE(err.empty());
}

}  // namespace
}  // namespace zw
