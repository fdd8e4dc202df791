#include <gtest/gtest.h>

#include <tuple>

#include "TempDir.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"

namespace zw {
namespace {

TEST(Datum, NameTableAndCoordinateText) {
  // The keys name the display name but are not datum names themselves.
  const struct {
    const char *name, *display, *key;
  } cases[] = {{"nad-83", "NAD 83", "LL83"}, {"  wgs_84 ", "WGS 84", "LL84"}, {"NAD 27", "NAD 27", "LL27"},
               {"WGS72", "WGS 72", "LL72"},   {"LL27", "NAD 27", "LL"},      {"ED50", "", "LL"}};
  for (const auto& c : cases) {
    EXPECT_EQ(DatumDisplayName(c.name), c.display) << c.name;
    EXPECT_EQ(DatumLibKey(c.name), c.key) << c.name;
  }
  EXPECT_EQ(DatumEpsg("ll27"), 4267);
  EXPECT_EQ(DatumEpsg("LL"), 0);
  // Degrees, minutes and seconds.
  const std::tuple<double, const char*, const char*> texts[] = {
      {40.5, "LT", "  40 30 0.00 N"}, {-105.999999, "LN", " 106 00 0.00 W"}, {0.0, "LN", "  00 00 0.00 W"},
      {0.0, "LT", "  00 00 0.00 N"},  {-33.8688, "LT", "  33 52 7.68 S"},    {151.2093, "LN", " 151 12 33.48 E"},
      {NAN, "LT", ""}};
  for (const auto& [v, kind, want] : texts) EXPECT_EQ(CoordText(v, kind), want) << v;
}

// Reference values from PROJ's cs2cs (no NADCON grids installed).
TEST(CoordSys, ConversionsAgreeWithCs2cs) {
  auto r = ConvertPosition("LL27", "LL84", 44, -72);
  ASSERT_TRUE(r.bOK) << r.sError;
  EXPECT_NEAR(r.dLat, 44.000084260, 1e-8);
  EXPECT_NEAR(r.dLon, -71.999644421, 1e-8);
  EXPECT_FALSE(r.sMethod.empty());
  EXPECT_GT(r.dAccuracyM, 0);  // the coarse shift says so
  EXPECT_NE(r.Detail().find("accuracy"), std::string::npos);
  r = ConvertPosition("WGS 72", "WGS84", 34.3, -118.1);
  ASSERT_TRUE(r.bOK) << r.sError;
  EXPECT_NEAR(r.dLat, 34.300035198, 1e-8);
  EXPECT_NEAR(r.dLon, -118.099846111, 1e-8);
  r = ConvertPosition("LL84", "NAD27", 37.3, -113);
  ASSERT_TRUE(r.bOK) << r.sError;
  EXPECT_NEAR(r.dLat, 37.300028464, 1e-8);
  EXPECT_NEAR(r.dLon, -112.999216245, 1e-8);
  r = ConvertPosition("EPSG:4267", "EPSG:4326", 44, -72);
  ASSERT_TRUE(r.bOK);
  EXPECT_NEAR(r.dLon, -71.999644421, 1e-8);
}

TEST(CoordSys, NoConversionBadInputAndDataDirectory) {
  // "LL" and names outside the table leave the position as it is.
  auto r = ConvertPosition("LL", "LL83", 44.1, -72.2);
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(r.dLat, 44.1);
  EXPECT_EQ(r.dLon, -72.2);
  r = ConvertPosition("Bogus datum", "LL84", 44.1, -72.2);
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(r.dLat, 44.1);
  EXPECT_TRUE(CoordSysIsValid("ll83"));
  EXPECT_TRUE(CoordSysIsValid("LL"));
  EXPECT_FALSE(CoordSysIsValid("NAD83"));
  EXPECT_FALSE(CoordSysIsValid("EPSG:32611"));  // projected, not a lat/lon system
  EXPECT_FALSE(CoordSysIsValid("EPSG:x"));
  r = ConvertPosition("LL27", "LL84", 95, 0);
  EXPECT_FALSE(r.bOK);
  EXPECT_FALSE(r.sError.empty());
  test::TempDir dir;
  EXPECT_EQ(CoordSysInit(dir.path()), "");
  EXPECT_EQ(CoordSysDataDir(), dir.path());
  // PROJ's own data is still found with the directory first on the search path.
  r = ConvertPosition("LL27", "LL84", 44, -72);
  EXPECT_TRUE(r.bOK) << r.sError;
  // A missing directory is no failure while PROJ's own data converts.
  EXPECT_EQ(CoordSysInit(dir.path() / "missing"), "");
  r = ConvertPosition("LL27", "LL84", 44, -72);
  EXPECT_TRUE(r.bOK) << r.sError;
  CoordSysInit("");
}

}  // namespace
}  // namespace zw
