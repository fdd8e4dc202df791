#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/FieldValue.h"
#include "common/Units.h"

namespace zw {
namespace {

struct Formatted {
  double value;
  const char* picture;
  const char* want;
};

TEST(FormatNumber, Pictures) {
  const Formatted cases[] = {
      // Fixed decimals round half away from zero, as the decimal is written.
      {12.345, "#0.00", "12.35"}, {-12.345, "#0.00", "-12.35"}, {0, "#0.00", "0.00"}, {0.125, "0.00", "0.13"},
      {-0.125, "0.00", "-0.13"}, {2.675, "0.00", "2.68"}, {1.005, "0.00", "1.01"},
      {0.1 + 0.2, "0.0000000000000000", "0.3000000000000000"}, {2.5, "0", "3"}, {-2.5, "0", "-3"},
      {0.49999999, "0", "0"},
      // A carry ripples into a new digit.
      {9.995, "0.00", "10.00"}, {99999.9999, "#0.00", "100000.00"}, {0.96, "#0.0", "1.0"}, {0.6, "0", "1"},
      {999999.5, "###,###,##0", "1,000,000"},
      // No negative zero.
      {-0.004, "#0.00", "0.00"}, {-0.0, "0.0000", "0.0000"}, {-1e-300, "0.00", "0.00"},
      {-0.4, "0000000", "0000000"},
      // Zero padding and optional digits; never cut.
      {42, "0000000", "0000042"}, {-42, "0000000", "-0000042"}, {12345678, "0000000", "12345678"},
      {5, "#00", "05"}, {7, "00", "07"}, {123.456, "##0", "123"}, {1.5, "##0.00000", "1.50000"},
      {3.14159265, "###0.0000", "3.1416"}, {0.000049, "0.0000", "0.0000"}, {0.00005, "0.0000", "0.0001"},
      {1.23, "0.0#", "1.23"}, {1.2, "0.0#", "1.2"}, {1, "0.##", "1"},
      // Only optional integer digits.
      {45.5, "####.000000000", "45.500000000"}, {-122.123456789, "####.000000000", "-122.123456789"},
      {0.5, "####.000000000", ".500000000"}, {-0.5, "####.000000000", "-.500000000"},
      // Thousands grouping.
      {1234567, "###,###,##0", "1,234,567"}, {-1234567, "###,###,##0", "-1,234,567"}, {123, "###,###,##0", "123"},
      {0, "###,###,##0", "0"}, {1000, "###,###,##0", "1,000"},
      {1234567890123.0, "###,###,##0", "1,234,567,890,123"}, {1234.5, "Standard", "1,234.50"},
      // Huge, tiny, not a number.
      {1e20, "0", "100000000000000000000"}, {5e-324, "0.00", "0.00"}, {1.5e-7, "0.0000000", "0.0000002"},
      {std::nan(""), "#0.00", "NaN"}, {INFINITY, "#0.00", "Infinity"}, {-INFINITY, "0000000", "-Infinity"},
      // Literals, named formats and odd pictures.
      {12.3, "0.0 dB", "12.3 dB"}, {-12.3, "\\$0.0", "-$12.3"}, {0.256, "0.0%", "25.6%"}, {3.14159, "Fixed", "3.14"},
      {3.14159, "General Number", "3.14159"}, {3.14159, "", "3.14159"}, {3, "abc", "abc"},
      {3, "\"unterminated", "unterminated"}, {3, "\\", ""}, {3, ".", "3"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatNumber(c.value, c.picture), c.want) << c.value << " " << c.picture;
  const std::string big = FormatNumber(1e300, "0.00");
  ASSERT_EQ(big.size(), 301u + 3u);
  EXPECT_EQ(big.substr(0, 2), "10");
  EXPECT_EQ(big.substr(big.size() - 3), ".00");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::max(), "0").size(), 309u);
}

TEST(FormatGeneral, ShortestUpToFifteenDigitsExactRoundTripAndFieldValues) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"}, {-0.0, "0"}, {12.5, "12.5"}, {-3, "-3"}, {0.1 + 0.2, "0.3"}, {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"}, {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E+15"}, {1e20, "1E+20"}, {0.00001, "0.00001"}, {1.5e-7, "1.5E-07"},
      {-2.5e-100, "-2.5E-100"}, {INFINITY, "Infinity"}, {std::nan(""), "NaN"}};
  for (const auto& [v, want] : cases) EXPECT_EQ(FormatGeneral(v), want) << want;
  // What the formats write reads back.
  for (double v : {0.1 + 0.2, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, -123.456, 1e16, 12345678901234567.0}) {
    EXPECT_EQ(ParseDouble(FormatRoundTrip(v)), v) << FormatRoundTrip(v);
  }
  EXPECT_EQ(FormatRoundTrip(0.1 + 0.2), "0.30000000000000004");
  EXPECT_DOUBLE_EQ(ParseDouble(FormatGeneral(1.5e-7)), 1.5e-7);
  EXPECT_DOUBLE_EQ(ParseDouble(FormatGeneral(-2.5e-100)), -2.5e-100);
  EXPECT_DOUBLE_EQ(ParseDouble(FormatNumber(-0.5, "####.000000000")), -0.5);
  EXPECT_DOUBLE_EQ(ParseDouble(FormatNumber(1234567, "###,###,##0")), 1234567);
  // Field values of each kind.
  const std::pair<FieldValue, const char*> values[] = {
      {FieldValue{std::string("abc")}, "abc"}, {FieldValue{12.5}, "12.5"}, {FieldValue{0.1f}, "0.1"},
      {FieldValue{std::int32_t{-32200}}, "-32200"}, {FieldValue{true}, "True"}, {FieldValue{false}, "False"},
      {FieldValue{std::nanf("")}, "NaN"}, {FieldValue{-888888.0}, "-888888"}};
  for (const auto& [v, want] : values) EXPECT_EQ(ToText(v), want);
}

}  // namespace
}  // namespace zw
