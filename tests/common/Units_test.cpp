#include "common/Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zw {
namespace {

TEST(ParseDouble, OrdinaryText) {
  EXPECT_DOUBLE_EQ(ParseDouble("12.5"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDouble("  -3.25\t"), -3.25);
  EXPECT_DOUBLE_EQ(ParseDouble("+7"), 7);
  EXPECT_DOUBLE_EQ(ParseDouble(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ParseDouble("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(ParseDouble("1E+20"), 1e20);
  EXPECT_DOUBLE_EQ(ParseDouble("2.5e-3"), 0.0025);
  EXPECT_DOUBLE_EQ(ParseDouble("1,234,567.5"), 1234567.5);
  EXPECT_DOUBLE_EQ(ParseDouble("-32200"), -32200);
}

TEST(ParseDouble, TrailingUnitsAndJunk) {
  EXPECT_DOUBLE_EQ(ParseDouble("12.5 dB"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDouble("150 ft"), 150);
  EXPECT_DOUBLE_EQ(ParseDouble("-3dBW "), -3);
  EXPECT_DOUBLE_EQ(ParseDouble("12.5dB3"), 12.5);  // leading numeric part
  EXPECT_DOUBLE_EQ(ParseDouble("1.5.2"), 1.5);
  EXPECT_DOUBLE_EQ(ParseDouble("5-"), 5);
  EXPECT_DOUBLE_EQ(ParseDouble("1,5"), 1);  // a comma is never a decimal point
  EXPECT_EQ(ParseDouble("abc"), 0);
  EXPECT_EQ(ParseDouble(""), 0);
  EXPECT_EQ(ParseDouble("   "), 0);
  EXPECT_EQ(ParseDouble("-"), 0);
  EXPECT_EQ(ParseDouble("dB 12"), 0);
  EXPECT_EQ(ParseDouble(std::string("\xff\xfe\x00\x01", 4)), 0);
  double v = 99;
  EXPECT_FALSE(TryParseDouble("no number", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(TryParseDouble("0 dB", v));
}

TEST(ParseDouble, NeverNaNOrInfinite) {
  for (const char* s : {"NaN", "nan", "inf", "-inf", "Infinity", "1e999", "-1e999", "+-1", "0x10"}) {
    const double v = ParseDouble(s);
    EXPECT_TRUE(std::isfinite(v)) << s;
  }
  EXPECT_EQ(ParseDouble("NaN"), 0);
  EXPECT_EQ(ParseDouble("1e999"), 0);
  // A megabyte of junk ending in letters is read in one pass.
  std::string junk(1 << 20, 'x');
  EXPECT_EQ(ParseDouble(junk), 0);
  junk[0] = '4';
  EXPECT_EQ(ParseDouble(junk), 4);
}

TEST(ParseDouble, TaggedValues) {
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{std::string("150 ft")}), 150);
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{2.5}), 2.5);
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{1.5f}), 1.5);
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{std::int32_t{-88}}), -88);
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{true}), -1);
  EXPECT_DOUBLE_EQ(ParseDouble(FieldValue{false}), 0);
  EXPECT_EQ(ParseDouble(FieldValue{std::nan("")}), 0);
  EXPECT_FLOAT_EQ(ParseSingle(FieldValue{std::string("12.5 dB")}), 12.5f);
  EXPECT_EQ(ParseSingle(FieldValue{1e300}), 0.0f);  // beyond a single
  EXPECT_EQ(ParseSingle(FieldValue{std::string("-1e40")}), 0.0f);
}

TEST(ParseBoolAndInt16, OrdinaryConversions) {
  EXPECT_TRUE(ParseBool("True"));
  EXPECT_TRUE(ParseBool(" TRUE "));
  EXPECT_TRUE(ParseBool("-1"));
  EXPECT_TRUE(ParseBool("1"));
  EXPECT_TRUE(ParseBool("2.5"));
  EXPECT_FALSE(ParseBool("False"));
  EXPECT_FALSE(ParseBool("0"));
  EXPECT_FALSE(ParseBool("yes"));
  EXPECT_FALSE(ParseBool(""));

  EXPECT_EQ(ParseInt16("42"), 42);
  EXPECT_EQ(ParseInt16(" -7 "), -7);
  EXPECT_EQ(ParseInt16("2.5"), 2);  // halves to even
  EXPECT_EQ(ParseInt16("3.5"), 4);
  EXPECT_EQ(ParseInt16("-2.5"), -2);
  EXPECT_EQ(ParseInt16("2.6"), 3);
  EXPECT_EQ(ParseInt16("32767"), 32767);
  EXPECT_EQ(ParseInt16("-32768"), -32768);
  EXPECT_EQ(ParseInt16("32768"), 0);  // out of range
  EXPECT_EQ(ParseInt16("1e10"), 0);
  EXPECT_EQ(ParseInt16("12 ft"), 0);  // not tolerant
  EXPECT_EQ(ParseInt16("True"), -1);
  EXPECT_EQ(ParseInt16("junk"), 0);
}

TEST(ConvertPower, Table) {
  bool err = true;
  EXPECT_NEAR(ConvertPower("W", "DBM", "10", err), 40, 1e-12);
  EXPECT_FALSE(err);
  EXPECT_NEAR(ConvertPower(" dBW ", "w", "-3", err), 0.501187, 1e-6);
  EXPECT_FALSE(err);
  EXPECT_NEAR(ConvertPower("kW", "dBk", "1", err), 0, 1e-12);
  EXPECT_NEAR(ConvertPower("mW", "dBm", "1", err), 0, 1e-12);
  EXPECT_NEAR(ConvertPower("dBk", "dBm", "0", err), 60, 1e-12);
  EXPECT_NEAR(ConvertPower("dBm", "mW", "30", err), 1000, 1e-9);
  EXPECT_NEAR(ConvertPower("W", "kW", "2500", err), 2.5, 1e-12);
  EXPECT_NEAR(ConvertPower("dBm", "dBm", "47.3", err), 47.3, 1e-12);
  EXPECT_NEAR(ConvertPower("W", "dBm", "100 watts", err), 50, 1e-12);  // leading number
  EXPECT_FALSE(err);
  EXPECT_NEAR(ConvertPower("W", "DBM", 10.0, err), 40, 1e-12);
  EXPECT_FALSE(err);
}

TEST(ConvertPower, Failures) {
  bool err = false;
  EXPECT_EQ(ConvertPower("W", "DBM", "0", err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("kW", "DBM", "-5", err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("W", "DBM", "junk", err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("dBm", "W", "", err), 0);  // no number at all
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("HP", "W", "1", err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("W", "dBx", "1", err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("dBm", "W", 1e6, err), 0);  // overflows watts
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("dBm", "dBW", -1e6, err), 0);  // underflows to 0 W
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertPower("dBm", "W", std::nan(""), err), 0);
  EXPECT_TRUE(err);
}

TEST(ConvertLength, UnitsAndSpelling) {
  bool err = true;
  EXPECT_DOUBLE_EQ(ConvertLength("nm", "m", 1.0, err), 1853);
  EXPECT_FALSE(err);
  EXPECT_DOUBLE_EQ(ConvertLength("mi", "km", 1.0, err), 1.609344);
  EXPECT_DOUBLE_EQ(ConvertLength("m", "ft", 0.3048, err), 1);
  EXPECT_DOUBLE_EQ(ConvertLength("ft", "in", 1.0, err), 12);
  EXPECT_DOUBLE_EQ(ConvertLength("METERS", "cm", 2.0, err), 200);
  EXPECT_DOUBLE_EQ(ConvertLength("Decimeters", "mm", 1.0, err), 100);
  EXPECT_DOUBLE_EQ(ConvertLength("ft", "m", std::string_view("150 ft"), err), 45.72);
  EXPECT_DOUBLE_EQ(ConvertLength("km", "m", FieldValue{std::string("2.5")}, err), 2500);
  EXPECT_FALSE(err);

  err = false;
  EXPECT_EQ(ConvertLength("KM", "m", 1.0, err), 0);  // case-sensitive
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertLength("m", " km", 1.0, err), 0);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ConvertLength("", "m", 1.0, err), 0);
  EXPECT_TRUE(err);
  err = true;
  EXPECT_EQ(ConvertLength("furlong", "furlong", 3.5, err), 3.5);  // same unit: unchanged
  EXPECT_FALSE(err);
  EXPECT_TRUE(IsLengthUnit("mi"));
  EXPECT_FALSE(IsLengthUnit("MI"));
}

TEST(ConvertGain, DipoleIsotropicRelative) {
  bool err = true;
  EXPECT_EQ(ConvertGain("DBD", "DBI", 0, err), "2.1500");
  EXPECT_FALSE(err);
  EXPECT_EQ(ConvertGain("dbi", "dbd", 0, err), "-2.1500");
  EXPECT_EQ(ConvertGain("REL", "DBD", 1, err), "0.0000");
  EXPECT_EQ(ConvertGain("REL", "DBI", 10, err), "12.1500");
  EXPECT_EQ(ConvertGain("dBd", "REL", 3, err), "1.9953");
  EXPECT_EQ(ConvertGain(" dBd ", "dBd", 6.123456, err), "6.1235");
  EXPECT_FALSE(err);

  std::string msg;
  EXPECT_EQ(ConvertGain("REL", "DBD", 0, err, msg), "0.0000");
  EXPECT_TRUE(err);
  EXPECT_EQ(msg.rfind("Convert: 0.0000", 0), 0u) << msg;
  err = false;
  ConvertGain("REL", "DBD", -2, err);  // no logarithm of a negative ratio
  EXPECT_TRUE(err);
  err = false;
  ConvertGain("dBx", "DBD", 1234.5, err, msg);
  EXPECT_TRUE(err);
  EXPECT_EQ(msg.rfind("Convert: 1234.5000", 0), 0u) << msg;
  err = false;
  ConvertGain("DBD", "", 1, err);
  EXPECT_TRUE(err);
  err = false;
  ConvertGain("DBD", "REL", 1e6, err);  // ratio overflows
  EXPECT_TRUE(err);
}

TEST(ConvertPatternGain, RelativeToMaximum) {
  bool err = true;
  // Maximum 10 dBd; a pattern value of 4 dBd is 6 dB down: relative field 0.5012.
  EXPECT_EQ(ConvertPatternGain("DBD", "REL", 4, 10, "dBd", err), "0.5012");
  EXPECT_FALSE(err);
  EXPECT_EQ(ConvertPatternGain("DBI", "REL", 12.15, 12.15, "dBi", err), "1.0000");
  EXPECT_EQ(ConvertPatternGain("REL", "DBD", 0.5, 10, "dBd", err), "3.9794");
  EXPECT_EQ(ConvertPatternGain("REL", "DBI", 1, 10, "dBi", err), "10.0000");
  EXPECT_EQ(ConvertPatternGain("REL", "DBD", 1, 3, "", err), "3.0000");  // no unit: dBd
  EXPECT_FALSE(err);

  err = false;
  ConvertPatternGain("REL", "DBD", 0, 10, "dBd", err);
  EXPECT_TRUE(err);
  err = false;
  ConvertPatternGain("DBD", "XYZ", 1, 10, "dBd", err);
  EXPECT_TRUE(err);
  err = false;
  ConvertPatternGain("DBD", "REL", 1, 10, "dBq", err);  // unknown dB unit of the maximum
  EXPECT_TRUE(err);
}

}  // namespace
}  // namespace zw
