#include "geo/Geodesic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace zw {
namespace {

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
// antimeridian and near a pole, where the line is solved exactly): under 1 mm
// everywhere, far below any DEM spacing.
TEST(GeodesicLine, InterpolatedPositionsAreWithinAMillimetre) {
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
        ASSERT_LT(errM, 1e-3) << lat1 << " " << az << " " << s;
      }
    }
  std::cout << "[ worst   ] interpolated position error " << worst << " m\n";
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
