#include "models/terrain/modsBUmode.h"

#include <gtest/gtest.h>

namespace zw {
namespace {

TEST(modsBUmode, NamesAndCodesRoundTrip) {
  EXPECT_EQ(iBUModeCode("MIN DISTANCE"), 0);
  EXPECT_EQ(iBUModeCode("INFLECTION"), 1);
  EXPECT_EQ(iBUModeCode("OBSTACLE PEAKS"), 2);
  EXPECT_EQ(iBUModeCode("FIGURE 12"), 3);
  for (std::int16_t c = 0; c <= 3; ++c) EXPECT_EQ(iBUModeCode(sBUModeName(c)), c);
}

TEST(modsBUmode, OnlyTheExactNameMatches) {
  EXPECT_EQ(iBUModeCode("Figure 12"), kBUModeInvalid);
  EXPECT_EQ(iBUModeCode(" FIGURE 12"), 88);
  EXPECT_EQ(iBUModeCode("FIGURE 12 "), 88);
  EXPECT_EQ(iBUModeCode(""), 88);
  EXPECT_EQ(sBUModeName(88), "UNKNOWN");
  EXPECT_EQ(sBUModeName(-1), "UNKNOWN");
  EXPECT_EQ(sBUModeName(4), "UNKNOWN");
}

}  // namespace
}  // namespace zw
