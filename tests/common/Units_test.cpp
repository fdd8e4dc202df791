#include "common/Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "TempDir.h"

namespace zw {
namespace {

TEST(ParseDouble, LeadingNumberOrZero) {
  const std::pair<std::string, double> cases[] = {
      {"12.5", 12.5}, {"  -3.25\t", -3.25}, {"+7", 7}, {".5", 0.5}, {"-.5", -0.5}, {"1E+20", 1e20},
      {"2.5e-3", 0.0025}, {"1,234,567.5", 1234567.5}, {"-32200", -32200},
      // Trailing units and junk: the leading numeric part; a comma is never a decimal point.
      {"12.5 dB", 12.5}, {"150 ft", 150}, {"-3dBW ", -3}, {"12.5dB3", 12.5}, {"1.5.2", 1.5}, {"5-", 5}, {"1,5", 1},
      {"abc", 0}, {"", 0}, {"   ", 0}, {"-", 0}, {"dB 12", 0}, {std::string("\xff\xfe\x00\x01", 4), 0},
      // Never NaN or infinite.
      {"NaN", 0}, {"nan", 0}, {"inf", 0}, {"-inf", 0}, {"Infinity", 0}, {"1e999", 0}, {"-1e999", 0}, {"+-1", 0},
      {"0x10", 0}};
  for (const auto& [text, want] : cases) EXPECT_DOUBLE_EQ(ParseDouble(text), want) << text;
  double v = 99;
  EXPECT_FALSE(TryParseDouble("no number", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(TryParseDouble("0 dB", v));
  // A megabyte of junk ending in letters is read in one pass.
  std::string junk(1 << 20, 'x');
  EXPECT_EQ(ParseDouble(junk), 0);
  junk[0] = '4';
  EXPECT_EQ(ParseDouble(junk), 4);
}

TEST(ParseDouble, TaggedValues) {
  const std::pair<FieldValue, double> cases[] = {
      {FieldValue{std::string("150 ft")}, 150}, {FieldValue{2.5}, 2.5}, {FieldValue{1.5f}, 1.5},
      {FieldValue{std::int32_t{-88}}, -88}, {FieldValue{true}, -1}, {FieldValue{false}, 0},
      {FieldValue{std::nan("")}, 0}};
  for (const auto& [v, want] : cases) EXPECT_DOUBLE_EQ(ParseDouble(v), want) << want;
  EXPECT_FLOAT_EQ(ParseSingle(FieldValue{std::string("12.5 dB")}), 12.5f);
  EXPECT_EQ(ParseSingle(FieldValue{1e300}), 0.0f);  // beyond a single
  EXPECT_EQ(ParseSingle(FieldValue{std::string("-1e40")}), 0.0f);
}

TEST(ParseBoolAndInt16, OrdinaryConversions) {
  for (const char* yes : {"True", " TRUE ", "-1", "1", "2.5"}) EXPECT_TRUE(ParseBool(yes)) << yes;
  for (const char* no : {"False", "0", "yes", ""}) EXPECT_FALSE(ParseBool(no)) << no;
  // Halves to even; out of range and trailing text are 0.
  const std::pair<const char*, int> cases[] = {
      {"42", 42}, {" -7 ", -7}, {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"2.6", 3}, {"32767", 32767},
      {"-32768", -32768}, {"32768", 0}, {"1e10", 0}, {"12 ft", 0}, {"True", -1}, {"junk", 0}};
  for (const auto& [text, want] : cases) EXPECT_EQ(ParseInt16(text), want) << text;
}

TEST(ConvertPower, TableAndFailuresAndLengthUnitsAndSpelling) {
  const struct {
    const char *from, *to, *value;
    double want;  // NaN: refused (0 and the error flag)
  } cases[] = {
      {"W", "DBM", "10", 40}, {" dBW ", "w", "-3", 0.50118723362727}, {"kW", "dBk", "1", 0}, {"mW", "dBm", "1", 0},
      {"dBk", "dBm", "0", 60}, {"dBm", "mW", "30", 1000}, {"W", "kW", "2500", 2.5}, {"dBm", "dBm", "47.3", 47.3},
      {"W", "dBm", "100 watts", 50},  // leading number
      {"W", "DBM", "0", NAN}, {"kW", "DBM", "-5", NAN}, {"W", "DBM", "junk", NAN}, {"dBm", "W", "", NAN},
      {"HP", "W", "1", NAN}, {"W", "dBx", "1", NAN}};
  for (const auto& c : cases) {
    bool err = std::isnan(c.want) ? false : true;
    const double got = ConvertPower(c.from, c.to, c.value, err);
    EXPECT_EQ(err, std::isnan(c.want)) << c.from << " " << c.to << " " << c.value;
    EXPECT_NEAR(got, std::isnan(c.want) ? 0 : c.want, 1e-9) << c.from << " " << c.to << " " << c.value;
  }
  bool err = true;
  EXPECT_NEAR(ConvertPower("W", "DBM", 10.0, err), 40, 1e-12);
  EXPECT_FALSE(err);
  for (double dbm : {1e6, -1e6, std::nan("")}) {  // overflows watts, underflows to 0 W, not a number
    err = false;
    EXPECT_EQ(ConvertPower("dBm", dbm < 0 ? "dBW" : "W", dbm, err), 0);
    EXPECT_TRUE(err) << dbm;
  }
  // Lengths: units and spelling.
  err = true;
  const struct {
    const char *from, *to;
    double value, want;
  } lengths[] = {{"nm", "m", 1, 1853}, {"mi", "km", 1, 1.609344}, {"m", "ft", 0.3048, 1}, {"ft", "in", 1, 12},
               {"METERS", "cm", 2, 200}, {"Decimeters", "mm", 1, 100}, {"furlong", "furlong", 3.5, 3.5}};
  for (const auto& c : lengths) {
    err = true;
    EXPECT_DOUBLE_EQ(ConvertLength(c.from, c.to, c.value, err), c.want) << c.from << " " << c.to;
    EXPECT_FALSE(err);
  }
  EXPECT_DOUBLE_EQ(ConvertLength("ft", "m", std::string_view("150 ft"), err), 45.72);
  EXPECT_DOUBLE_EQ(ConvertLength("km", "m", FieldValue{std::string("2.5")}, err), 2500);
  EXPECT_FALSE(err);
  // Unit names are case-sensitive and not trimmed.
  for (const auto& [from, to] : {std::pair{"KM", "m"}, {"m", " km"}, {"", "m"}}) {
    err = false;
    EXPECT_EQ(ConvertLength(from, to, 1.0, err), 0) << from << to;
    EXPECT_TRUE(err) << from << to;
  }
  EXPECT_TRUE(IsLengthUnit("mi"));
  EXPECT_FALSE(IsLengthUnit("MI"));
}

TEST(ConvertGain, DipoleIsotropicRelativeAndPatternsRelativeToMaximum) {
  // Pattern gains (a maximum given) are relative to the maximum.
  const struct {
    const char *from, *to;
    double value, max;           // max NaN: a plain gain
    const char *maxUnit, *want;  // want nullptr: refused
  } cases[] = {
      {"DBD", "DBI", 0, NAN, "", "2.1500"}, {"dbi", "dbd", 0, NAN, "", "-2.1500"}, {"REL", "DBD", 1, NAN, "", "0.0000"},
      {"REL", "DBI", 10, NAN, "", "12.1500"}, {"dBd", "REL", 3, NAN, "", "1.9953"},
      {" dBd ", "dBd", 6.123456, NAN, "", "6.1235"}, {"REL", "DBD", -2, NAN, "", nullptr},
      {"DBD", "", 1, NAN, "", nullptr}, {"DBD", "REL", 1e6, NAN, "", nullptr},
      {"DBD", "REL", 4, 10, "dBd", "0.5012"},  // 6 dB down
      {"DBI", "REL", 12.15, 12.15, "dBi", "1.0000"}, {"REL", "DBD", 0.5, 10, "dBd", "3.9794"},
      {"REL", "DBI", 1, 10, "dBi", "10.0000"},        {"REL", "DBD", 1, 3, "", "3.0000"},  // no unit: dBd
      {"REL", "DBD", 0, 10, "dBd", nullptr},          {"DBD", "XYZ", 1, 10, "dBd", nullptr},
      {"DBD", "REL", 1, 10, "dBq", nullptr},  // unknown dB unit of the maximum
  };
  for (const auto& c : cases) {
    bool err = c.want == nullptr ? false : true;
    const std::string got = std::isnan(c.max) ? ConvertGain(c.from, c.to, c.value, err)
                                              : ConvertPatternGain(c.from, c.to, c.value, c.max, c.maxUnit, err);
    EXPECT_EQ(err, c.want == nullptr) << c.from << " " << c.to << " " << c.value << " " << c.max;
    if (c.want) {
      EXPECT_EQ(got, c.want);
    }
  }
  // The message names the value.
  bool err = false;
  std::string msg;
  EXPECT_EQ(ConvertGain("REL", "DBD", 0, err, msg), "0.0000");
  EXPECT_TRUE(err);
  EXPECT_EQ(msg.rfind("Convert: 0.0000", 0), 0u) << msg;
  err = false;
  ConvertGain("dBx", "DBD", 1234.5, err, msg);
  EXPECT_TRUE(err);
  EXPECT_EQ(msg.rfind("Convert: 1234.5000", 0), 0u) << msg;
}

void WriteFile(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

TEST(SystemUnits, AcceptedValuesAndDefaultsAlsoWhenCached) {
  test::TempDir dir;
  const auto file = dir.path() / "ZWDEFAULTS.INI";
  // Missing file: the defaults, distance "mi" and elevation "m".
  EXPECT_EQ(ReadSystemUnit("Distance Units", "mi", file), "mi");
  EXPECT_EQ(ReadSystemUnit("Elevation Units", "m", file), "m");

  WriteFile(file, "[System Units]\r\nDistance Units = KM \r\nElevation Units=ft\r\nPower Units=dBW\r\n");
  EXPECT_EQ(ReadSystemUnit("Distance Units", "mi", file), "km");  // returned as the length unit spelling
  EXPECT_EQ(ReadSystemUnit("Elevation Units", "m", file), "ft");

  // A value that is not a system unit gives the default.
  WriteFile(file, "[System Units]\nDistance Units=miles\nElevation Units=cm\n");
  EXPECT_EQ(ReadSystemUnit("Distance Units", "mi", file), "mi");
  EXPECT_EQ(ReadSystemUnit("Elevation Units", "m", file), "m");

  static const char junk[] = "\xff\xfe[System Units]\0\nDistance Units=\x80\x81\n";
  WriteFile(file, std::string(junk, sizeof junk - 1));
  EXPECT_EQ(ReadSystemUnit("Distance Units", "mi", file), "mi");
  ResetSystemUnits();
  for (int i = 0; i < 2; ++i) {
    const std::string d = SystemDistanceUnits(), e = SystemElevationUnits();
    bool err = true;
    ConvertLength(d, "m", 1.0, err);
    EXPECT_FALSE(err) << d;
    ConvertLength(e, "m", 1.0, err);
    EXPECT_FALSE(err) << e;
  }
}

}  // namespace
}  // namespace zw
