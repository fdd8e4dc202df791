#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/FieldValue.h"
#include "common/Units.h"

namespace zw {
namespace {

TEST(FormatNumber, FixedDecimalsRoundHalfAwayFromZero) {
  EXPECT_EQ(FormatNumber(12.345, "#0.00"), "12.35");
  EXPECT_EQ(FormatNumber(-12.345, "#0.00"), "-12.35");
  EXPECT_EQ(FormatNumber(0, "#0.00"), "0.00");
  EXPECT_EQ(FormatNumber(0.125, "0.00"), "0.13");
  EXPECT_EQ(FormatNumber(-0.125, "0.00"), "-0.13");
  // Values whose binary form lies just below the written decimal round as written.
  EXPECT_EQ(FormatNumber(2.675, "0.00"), "2.68");
  EXPECT_EQ(FormatNumber(1.005, "0.00"), "1.01");
  EXPECT_EQ(FormatNumber(0.1 + 0.2, "0.0000000000000000"), "0.3000000000000000");
  EXPECT_EQ(FormatNumber(2.5, "0"), "3");
  EXPECT_EQ(FormatNumber(-2.5, "0"), "-3");
  EXPECT_EQ(FormatNumber(0.49999999, "0"), "0");
}

TEST(FormatNumber, CarryRipplesIntoNewDigit) {
  EXPECT_EQ(FormatNumber(9.995, "0.00"), "10.00");
  EXPECT_EQ(FormatNumber(99999.9999, "#0.00"), "100000.00");
  EXPECT_EQ(FormatNumber(0.96, "#0.0"), "1.0");
  EXPECT_EQ(FormatNumber(0.6, "0"), "1");
  EXPECT_EQ(FormatNumber(999999.5, "###,###,##0"), "1,000,000");
}

TEST(FormatNumber, NoNegativeZero) {
  EXPECT_EQ(FormatNumber(-0.004, "#0.00"), "0.00");
  EXPECT_EQ(FormatNumber(-0.0, "0.0000"), "0.0000");
  EXPECT_EQ(FormatNumber(-1e-300, "0.00"), "0.00");
  EXPECT_EQ(FormatNumber(-0.4, "0000000"), "0000000");
}

TEST(FormatNumber, ZeroPaddingAndOptionalDigits) {
  EXPECT_EQ(FormatNumber(42, "0000000"), "0000042");
  EXPECT_EQ(FormatNumber(-42, "0000000"), "-0000042");
  EXPECT_EQ(FormatNumber(12345678, "0000000"), "12345678");  // never cut
  EXPECT_EQ(FormatNumber(5, "#00"), "05");
  EXPECT_EQ(FormatNumber(7, "00"), "07");
  EXPECT_EQ(FormatNumber(123.456, "##0"), "123");
  EXPECT_EQ(FormatNumber(1.5, "##0.00000"), "1.50000");
  EXPECT_EQ(FormatNumber(3.14159265, "###0.0000"), "3.1416");
  EXPECT_EQ(FormatNumber(0.000049, "0.0000"), "0.0000");
  EXPECT_EQ(FormatNumber(0.00005, "0.0000"), "0.0001");
  EXPECT_EQ(FormatNumber(1.23, "0.0#"), "1.23");
  EXPECT_EQ(FormatNumber(1.2, "0.0#"), "1.2");
  EXPECT_EQ(FormatNumber(1, "0.##"), "1");
}

TEST(FormatNumber, OnlyOptionalIntegerDigits) {
  EXPECT_EQ(FormatNumber(45.5, "####.000000000"), "45.500000000");
  EXPECT_EQ(FormatNumber(-122.123456789, "####.000000000"), "-122.123456789");
  EXPECT_EQ(FormatNumber(0.5, "####.000000000"), ".500000000");
  EXPECT_EQ(FormatNumber(-0.5, "####.000000000"), "-.500000000");
  // Such text reads back.
  EXPECT_DOUBLE_EQ(ParseDouble(FormatNumber(-0.5, "####.000000000")), -0.5);
}

TEST(FormatNumber, ThousandsGrouping) {
  EXPECT_EQ(FormatNumber(1234567, "###,###,##0"), "1,234,567");
  EXPECT_EQ(FormatNumber(-1234567, "###,###,##0"), "-1,234,567");
  EXPECT_EQ(FormatNumber(123, "###,###,##0"), "123");
  EXPECT_EQ(FormatNumber(0, "###,###,##0"), "0");
  EXPECT_EQ(FormatNumber(1000, "###,###,##0"), "1,000");
  EXPECT_EQ(FormatNumber(1234567890123.0, "###,###,##0"), "1,234,567,890,123");
  EXPECT_EQ(FormatNumber(1234.5, "Standard"), "1,234.50");
  EXPECT_DOUBLE_EQ(ParseDouble(FormatNumber(1234567, "###,###,##0")), 1234567);
}

TEST(FormatNumber, HugeAndTinyValues) {
  const std::string big = FormatNumber(1e300, "0.00");
  ASSERT_EQ(big.size(), 301u + 3u);
  EXPECT_EQ(big.substr(0, 2), "10");
  EXPECT_EQ(big.substr(big.size() - 3), ".00");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::max(), "0").size(), 309u);
  EXPECT_EQ(FormatNumber(1e20, "0"), "100000000000000000000");
  EXPECT_EQ(FormatNumber(5e-324, "0.00"), "0.00");
  EXPECT_EQ(FormatNumber(1.5e-7, "0.0000000"), "0.0000002");
}

TEST(FormatNumber, NotANumber) {
  EXPECT_EQ(FormatNumber(std::nan(""), "#0.00"), "NaN");
  EXPECT_EQ(FormatNumber(INFINITY, "#0.00"), "Infinity");
  EXPECT_EQ(FormatNumber(-INFINITY, "0000000"), "-Infinity");
  EXPECT_EQ(FormatGeneral(std::nan("")), "NaN");
}

TEST(FormatNumber, LiteralsNamedFormatsAndOddPictures) {
  EXPECT_EQ(FormatNumber(12.3, "0.0 dB"), "12.3 dB");
  EXPECT_EQ(FormatNumber(-12.3, "\\$0.0"), "-$12.3");
  EXPECT_EQ(FormatNumber(0.256, "0.0%"), "25.6%");
  EXPECT_EQ(FormatNumber(3.14159, "Fixed"), "3.14");
  EXPECT_EQ(FormatNumber(3.14159, "General Number"), "3.14159");
  EXPECT_EQ(FormatNumber(3.14159, ""), "3.14159");
  EXPECT_EQ(FormatNumber(3, "abc"), "abc");
  EXPECT_EQ(FormatNumber(3, "\"unterminated"), "unterminated");
  EXPECT_EQ(FormatNumber(3, "\\"), "");
  EXPECT_EQ(FormatNumber(3, "."), "3");
}

TEST(FormatGeneral, ShortestUpToFifteenDigits) {
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
  EXPECT_EQ(FormatGeneral(12.5), "12.5");
  EXPECT_EQ(FormatGeneral(-3), "-3");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FormatGeneral(2.0 / 3.0), "0.666666666666667");
  EXPECT_EQ(FormatGeneral(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatGeneral(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(FormatGeneral(1e20), "1E+20");
  EXPECT_EQ(FormatGeneral(0.00001), "0.00001");
  EXPECT_EQ(FormatGeneral(1.5e-7), "1.5E-07");
  EXPECT_EQ(FormatGeneral(-2.5e-100), "-2.5E-100");
  EXPECT_EQ(FormatGeneral(INFINITY), "Infinity");
  // General text reads back.
  EXPECT_DOUBLE_EQ(ParseDouble(FormatGeneral(1.5e-7)), 1.5e-7);
  EXPECT_DOUBLE_EQ(ParseDouble(FormatGeneral(-2.5e-100)), -2.5e-100);
}

TEST(FormatRoundTrip, ExactReadBack) {
  for (double v : {0.1 + 0.2, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, -123.456, 1e16, 12345678901234567.0}) {
    EXPECT_EQ(ParseDouble(FormatRoundTrip(v)), v) << FormatRoundTrip(v);
  }
  EXPECT_EQ(FormatRoundTrip(0.1 + 0.2), "0.30000000000000004");
}

TEST(FieldValueToText, EachKind) {
  EXPECT_EQ(ToText(FieldValue{std::string("abc")}), "abc");
  EXPECT_EQ(ToText(FieldValue{12.5}), "12.5");
  EXPECT_EQ(ToText(FieldValue{0.1f}), "0.1");
  EXPECT_EQ(ToText(FieldValue{std::int32_t{-32200}}), "-32200");
  EXPECT_EQ(ToText(FieldValue{true}), "True");
  EXPECT_EQ(ToText(FieldValue{false}), "False");
  EXPECT_EQ(ToText(FieldValue{std::nanf("")}), "NaN");
  EXPECT_EQ(ToText(FieldValue{-888888.0}), "-888888");
}

}  // namespace
}  // namespace zw
