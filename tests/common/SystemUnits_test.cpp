#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "common/Units.h"

namespace zw {
namespace {

void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

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
