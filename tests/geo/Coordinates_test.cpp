#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"
#include "geo/Geodesic.h"

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

// Reference values from PROJ's geod (+ellps=WGS84).
TEST(Geodesic, InverseAndForwardAgreeWithGeodAndRoundTrip) {
  double az = 0, d = 0;
  ASSERT_TRUE(Geodesic::InverseKm(44.27, -71.30, 45.5, -73.1, az, d));
  EXPECT_NEAR(az, 360.0 - 45.5012845905, 1e-9);
  EXPECT_NEAR(d, 197.238793, 1e-6);
  // Across the antimeridian.
  ASSERT_TRUE(Geodesic::InverseKm(10, 179.5, -12, -179, az, d));
  EXPECT_NEAR(az, 176.0635109775, 1e-9);
  EXPECT_NEAR(d, 2438.590964, 1e-6);
  double lat = 0, lon = 0;
  ASSERT_TRUE(Geodesic::ForwardKm(44.27, -71.30, 37.25, 150.0, lat, lon));
  EXPECT_NEAR(lat, 45.3386378752, 1e-9);
  EXPECT_NEAR(lon, -70.1416590942, 1e-9);
  ASSERT_TRUE(Geodesic::InverseKm(44.27, -71.30, lat, lon, az, d));
  EXPECT_NEAR(az, 37.25, 1e-9);
  EXPECT_NEAR(d, 150.0, 1e-9);
  // Longitudes come back in [-180, 180) after crossing the antimeridian.
  ASSERT_TRUE(Geodesic::ForwardKm(0, 179.9, 90, 50, lat, lon));
  EXPECT_LT(lon, -179.0);
  // Over the pole.
  ASSERT_TRUE(Geodesic::ForwardKm(89.5, 0, 0, 111.7, lat, lon));
  EXPECT_NEAR(std::fabs(lon), 180.0, 1e-6);
  EXPECT_GT(lat, 89.4);
}

TEST(Geodesic, UnitsAndBadInput) {
  const Geodesic mi("mi"), m("m");
  double az = 0, dmi = 0, dm = 0, lat = 0, lon = 0;
  ASSERT_TRUE(mi.Inverse(44, -72, 44.5, -71.5, az, dmi));
  ASSERT_TRUE(m.Inverse(44, -72, 44.5, -71.5, az, dm));
  EXPECT_NEAR(dmi * 1609.344, dm, 1e-6);
  // Zero-length path: azimuth 0, distance 0.
  ASSERT_TRUE(m.Inverse(44, -72, 44, -72, az, dm));
  EXPECT_EQ(az, 0.0);
  EXPECT_EQ(dm, 0.0);
  const Geodesic bad("furlong");
  EXPECT_FALSE(bad.bUnitOK());
  EXPECT_FALSE(bad.Forward(44, -72, 10, 1, lat, lon));
  lat = 7;
  EXPECT_FALSE(m.Forward(91, 0, 0, 10, lat, lon));
  EXPECT_FALSE(m.Forward(40, 0, 0, -1, lat, lon));
  EXPECT_FALSE(m.Forward(40, 0, NAN, 1, lat, lon));
  EXPECT_FALSE(m.Inverse(40, 0, -90.5, 0, az, dm));
  EXPECT_EQ(lat, 7);  // outputs untouched on failure
}

// Interpolated positions against the exact forward solution from the start, on
// 200 km lines at every 5 degrees of azimuth from 70 S to 70 N (and across the
// antimeridian and near a pole, where the line is solved exactly): under 5 cm
// everywhere, far below any DEM spacing.
TEST(GeodesicLine, InterpolatedPositionsAreWithin5cm) {
  double worst = 0;
  for (double lat1 : {-70.0, -52.5, -30.0, -5.0, 0.0, 20.0, 44.4365, 61.0, 70.0})
    for (double az = 0; az < 360; az += 5) {
      const double lon1 = lat1 == 0.0 ? 179.9 : -71.4131;
      GeodesicLine line(lat1, lon1, az);
      for (double s = 0; s <= 200000; s += 370) {
        double la = 0, lo = 0, ela = 0, elo = 0;
        line.Position(s, la, lo);
        ASSERT_TRUE(Geodesic::ForwardKm(lat1, lon1, az, s / 1000, ela, elo));
        const double dLon = std::remainder(lo - elo, 360.0);
        const double errM = std::hypot((la - ela) * 111320.0, dLon * 111320.0 * std::cos(ela * M_PI / 180));
        worst = std::max(worst, errM);
        ASSERT_LT(errM, 5e-2) << lat1 << " " << az << " " << s;
      }
    }
  std::cout << "[ worst   ] interpolated position error " << worst << " m\n";
  // A run of positions (two at a time inside each span, odd counts, runs
  // across nodes and into the exact spans near a pole) is the positions one
  // by one, to the bit.
  for (double lat1 : {44.4365, 79.0})
    for (auto [first, n, step] : {std::tuple{0UL, 445UL, 89.9}, {3UL, 1UL, 90.0}, {7UL, 2000UL, 91.7}, {1UL, 333UL, 600.0}}) {
      GeodesicLine line(lat1, -71.4131, 17.0);
      std::vector<double> la(n), lo(n);
      line.Positions(first, n, step, la.data(), lo.data());
      for (std::size_t k = 0; k < n; ++k) {
        double ela = 0, elo = 0;
        line.Position(static_cast<double>(first + k) * step, ela, elo);
        ASSERT_EQ(la[k], ela) << lat1 << " " << first << " " << k;
        ASSERT_EQ(lo[k], elo) << lat1 << " " << first << " " << k;
      }
    }
  // Spans beyond 80 degrees are exact; the longitude stays unrolled.
  GeodesicLine polar(88.0, 10.0, 0.0);
  double la = 0, lo = 0, ela = 0, elo = 0;
  polar.Position(300000, la, lo);
  polar.Exact(300000, ela, elo);
  EXPECT_EQ(la, ela);
  EXPECT_EQ(lo, elo);
  EXPECT_GT(lo, 180.0);  // over the pole: 10 + 180 unrolled
}

}  // namespace
}  // namespace zw
