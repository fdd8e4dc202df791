#include "models/terrain/modsBUmode.h"

#include <gtest/gtest.h>

namespace zw {
namespace {

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
