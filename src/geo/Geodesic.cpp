#include "geo/Geodesic.h"

#include <geodesic.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace zw {
namespace {

const geod_geodesic& Wgs84() {
  static const geod_geodesic g = [] {
    geod_geodesic e{};
    geod_init(&e, 6378137.0, 1.0 / 298.257223563);
    return e;
  }();
  return g;
}

bool ValidLatLon(double lat, double lon) {
  return std::isfinite(lat) && std::isfinite(lon) && lat >= -90.0 && lat <= 90.0;
}

double NormAz(double az) {
  double a = std::fmod(az, 360.0);
  if (a < 0) a += 360.0;
  if (a >= 360.0) a -= 360.0;
  return a;
}

double NormLon(double lon) {
  double l = std::remainder(lon, 360.0);  // [-180, 180]
  if (l >= 180.0) l -= 360.0;
  return l;
}

}  // namespace

double Geodesic::MetresPerUnit(std::string_view unit) {
  std::string u;
  for (char c : unit)
    if (!std::isspace(static_cast<unsigned char>(c))) u += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (u == "m") return 1.0;
  if (u == "km") return 1000.0;
  if (u == "mi") return 1609.344;
  if (u == "ft") return 0.3048;
  return 0.0;
}

Geodesic::Geodesic(std::string_view distUnit) : unit_(distUnit), metresPerUnit_(MetresPerUnit(distUnit)) {}

bool Geodesic::Forward(double lat1, double lon1, double az, double dist, double& lat2, double& lon2) const {
  if (!bUnitOK() || !ValidLatLon(lat1, lon1) || !std::isfinite(az) || !std::isfinite(dist) || dist < 0) return false;
  double la = 0, lo = 0;
  geod_direct(&Wgs84(), lat1, lon1, az, dist * metresPerUnit_, &la, &lo, nullptr);
  if (!std::isfinite(la) || !std::isfinite(lo)) return false;
  lat2 = la;
  lon2 = NormLon(lo);
  return true;
}

bool Geodesic::Inverse(double lat1, double lon1, double lat2, double lon2, double& az, double& dist) const {
  if (!bUnitOK() || !ValidLatLon(lat1, lon1) || !ValidLatLon(lat2, lon2)) return false;
  double s12 = 0, a1 = 0, a2 = 0;
  geod_inverse(&Wgs84(), lat1, lon1, lat2, lon2, &s12, &a1, &a2);
  if (!std::isfinite(s12) || !std::isfinite(a1)) return false;
  az = s12 == 0.0 ? 0.0 : NormAz(a1);
  dist = s12 / metresPerUnit_;
  return true;
}

bool Geodesic::ForwardKm(double lat1, double lon1, double az, double distKm, double& lat2, double& lon2) {
  static const Geodesic g("km");
  return g.Forward(lat1, lon1, az, distKm, lat2, lon2);
}

bool Geodesic::InverseKm(double lat1, double lon1, double lat2, double lon2, double& az, double& distKm) {
  static const Geodesic g("km");
  return g.Inverse(lat1, lon1, lat2, lon2, az, distKm);
}

}  // namespace zw
