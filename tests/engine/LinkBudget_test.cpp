#include "engine/LinkBudget.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zw {
namespace {

TEST(LinkBudget, TheChainAddsUpToTheFieldAndThePower) {
  P2PResult r;
  r.unit = "dBu";
  r.freqMHz = 98.5;
  r.pathLengthM = 25000;
  r.erpDbm = 70;                  // 10 kW
  r.freeSpaceDbu = 70 - 60 + 106.92 - 20 * std::log10(25.0) - 3;  // 3 dB below the maximum
  r.modelLossDb = 12.5;
  r.landUseLossDb = 2;
  r.netFieldDbu = r.freeSpaceDbu - 12.5 - 2;
  const auto b = ComputeLinkBudget(r, {2.15, 1.5, LinkThreshold{-90, "dBm"}});
  ASSERT_TRUE(b.has_value());
  EXPECT_NEAR(b->patternGainDb, -3, 1e-9);
  EXPECT_NEAR(b->eirpTowardDbm, 69.15, 1e-9);
  // EIRP - free-space loss - model - land use + gain - line loss = received power.
  EXPECT_NEAR(b->eirpTowardDbm - b->freeSpaceLossDb - 12.5 - 2 + 2.15 - 1.5, b->rxPowerDbm, 0.02);
  EXPECT_NEAR(b->fieldUvPerM, std::pow(10, r.netFieldDbu / 20), 1e-9);
  EXPECT_NEAR(b->marginDb, b->rxPowerDbm + 90, 1e-9);
  r.unit = "Fresnel zone radii";
  EXPECT_FALSE(ComputeLinkBudget(r, {}).has_value());
}

}  // namespace
}  // namespace zw
