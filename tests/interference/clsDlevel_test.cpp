// Storage rules of the row and column objects: numbers held as text, text
// that is not a number stored empty, cells addressed by index.
#include "interference/clsDlevel.h"

#include <gtest/gtest.h>

#include "interference/clsRXoffset.h"
#include "interference/modDtoUText.h"

namespace zw {
namespace {

TEST(DtoUText, NumericTextIsTheWholeText) {
  for (const char* yes : {"12", " -3.5 ", "+4", ".5", "1e3", "-0"}) EXPECT_TRUE(IsNumericText(yes)) << yes;
  for (const char* no : {"", " ", "abc", "12 dB", "inf", "nan", "-", "1e999", "1,5", "0x10"})
    EXPECT_FALSE(IsNumericText(no)) << no;
  EXPECT_EQ(NumberStorageText(" 12.50 "), "12.5");
  EXPECT_EQ(NumberStorageText("abc"), "");
  const auto f = SplitBar(" a | b||");
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0], "a");
  EXPECT_EQ(BarField(f, 2), "b");
  EXPECT_EQ(BarField(f, 9, "-888"), "-888");
  EXPECT_EQ(SplitBar("").size(), 1u);
}

TEST(clsDlevel, CellsByIndexAndTheLevel) {
  clsDlevel row;
  EXPECT_EQ(row.iNumOffsets(), 0);
  EXPECT_EQ(row.iAddOffset(), 1);
  EXPECT_EQ(row.iAddOffset(), 2);
  row.sDtoU(0, "45");
  row.sDtoU(1, "abc");
  EXPECT_EQ(row.sDtoU(0), "45");
  EXPECT_EQ(row.sDtoU(1), "");
  EXPECT_DOUBLE_EQ(row.dDtoU(0), 45.0);
  EXPECT_DOUBLE_EQ(row.dDtoU(1), -888.0);
  // Outside the row: ignored on write, empty text and 0 on read.
  row.sDtoU(2, "7");
  row.sDtoU(-1, "7");
  EXPECT_EQ(row.iNumOffsets(), 2);
  EXPECT_EQ(row.sDtoU(2), "");
  EXPECT_DOUBLE_EQ(row.dDtoU(-1), 0.0);
  row.sDtoU(1, "60");
  EXPECT_FALSE(row.bRemOffset(5));
  EXPECT_TRUE(row.bRemOffset(0));
  EXPECT_EQ(row.iNumOffsets(), 1);
  EXPECT_EQ(row.sDtoU(0), "60");

  // The level: text and number.
  EXPECT_DOUBLE_EQ(row.dDdBm(), 0.0);
  row.sDdBm("-75.50");
  EXPECT_EQ(row.sDdBm(), "-75.5");
  row.sDdBm("weak");
  EXPECT_EQ(row.sDdBm(), "");
  EXPECT_DOUBLE_EQ(row.dDdBm(), 0.0);
  row.dDdBm(-888);
  EXPECT_EQ(row.sDdBm(), "-888");
  row.dDdBm(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(row.sDdBm(), "");
}

TEST(clsRXoffset, OffsetsShareTheirText) {
  clsRXoffset col;
  col.sFOffset("12.5");
  EXPECT_DOUBLE_EQ(col.dFOffset(), 12.5);
  col.sFOffset("x");
  EXPECT_EQ(col.sFOffset(), "");
  EXPECT_DOUBLE_EQ(col.dFOffset(), 0.0);
  col.iChnlOffset(-2);
  EXPECT_EQ(col.sChnlOffset(), "-2");
  col.sChnlOffset("up");
  EXPECT_EQ(col.iChnlOffset(), 0);
  col.dChnlWidth(25);
  EXPECT_DOUBLE_EQ(col.dChnlWidth(), 25.0);
}

}  // namespace
}  // namespace zw
