#include "geo/Geodesic.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace zw {

const geod_geodesic& Wgs84() {
  static const geod_geodesic g = [] {
    geod_geodesic e{};
    geod_init(&e, 6378137.0, 1.0 / 298.257223563);
    return e;
  }();
  return g;
}

namespace {

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

Geodesic::Geodesic(std::string_view distUnit) : metresPerUnit_(MetresPerUnit(distUnit)) {}

bool Geodesic::Forward(double lat1, double lon1, double az, double dist, double& lat2, double& lon2) const {
  bool ok = false;
  return Forward(lat1, lon1, az, &dist, 1, &lat2, &lon2, &ok) == 1;
}

std::size_t Geodesic::Forward(double lat1, double lon1, double az, const double* dist, std::size_t n, double* lat2,
                              double* lon2, bool* ok) const {
  std::fill(ok, ok + n, false);
  if (!bUnitOK() || !ValidLatLon(lat1, lon1) || !std::isfinite(az)) return 0;
  // What geod_direct sets up for latitude and longitude, once.
  geod_geodesicline line{};
  geod_lineinit(&line, &Wgs84(), lat1, lon1, az, GEOD_LATITUDE | GEOD_LONGITUDE | GEOD_DISTANCE_IN);
  std::size_t found = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(dist[k]) || dist[k] < 0) continue;
    double la = 0, lo = 0;
    geod_genposition(&line, GEOD_NOFLAGS, dist[k] * metresPerUnit_, &la, &lo, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    if (!std::isfinite(la) || !std::isfinite(lo)) continue;
    lat2[k] = la;
    lon2[k] = NormLon(lo);
    ok[k] = true;
    ++found;
  }
  return found;
}

bool Geodesic::InverseM(double lat1, double lon1, double lat2, double lon2, double& lengthM, double& az1Deg) {
  if (!ValidLatLon(lat1, lon1) || !ValidLatLon(lat2, lon2)) return false;
  double s12 = 0, a1 = 0, a2 = 0;
  geod_inverse(&Wgs84(), lat1, lon1, lat2, lon2, &s12, &a1, &a2);
  if (!std::isfinite(s12) || !std::isfinite(a1)) return false;
  lengthM = s12;
  az1Deg = a1;
  return true;
}

bool Geodesic::Inverse(double lat1, double lon1, double lat2, double lon2, double& az, double& dist) const {
  double s12 = 0, a1 = 0;
  if (!bUnitOK() || !InverseM(lat1, lon1, lat2, lon2, s12, a1)) return false;
  az = PathAzimuth(s12, a1);
  dist = s12 / metresPerUnit_;
  return true;
}

double Geodesic::PathAzimuth(double lengthM, double az1Deg) { return lengthM == 0.0 ? 0.0 : NormAz(az1Deg); }

bool Geodesic::ForwardKm(double lat1, double lon1, double az, double distKm, double& lat2, double& lon2) {
  static const Geodesic g("km");
  return g.Forward(lat1, lon1, az, distKm, lat2, lon2);
}

bool Geodesic::InverseKm(double lat1, double lon1, double lat2, double lon2, double& az, double& distKm) {
  static const Geodesic g("km");
  return g.Inverse(lat1, lon1, lat2, lon2, az, distKm);
}

namespace {
constexpr double kExactAboveLatDeg = 80.0;
constexpr double kWgsA = 6378137.0, kWgsF = 1.0 / 298.257223563, kWgsE2 = kWgsF * (2.0 - kWgsF);
constexpr double kDeg = 180.0 / M_PI;
}  // namespace

void GeodesicLine::Start(double lat1, double lon1, double az1) {
  spans_.clear();
  geod_lineinit(&line_, &Wgs84(), lat1, lon1, az1, GEOD_LATITUDE | GEOD_LONGITUDE | GEOD_DISTANCE_IN);
}

void GeodesicLine::Exact(double sM, double& lat, double& lon) const {
  geod_genposition(&line_, GEOD_LONG_UNROLL, sM, &lat, &lon, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

GeodesicLine::Node GeodesicLine::MakeNode(double sM) const {
  double lat = line_.lat1, lon = line_.lon1, az = line_.azi1;  // the start as given
  if (sM != 0.0)
    geod_genposition(&line_, GEOD_LONG_UNROLL, sM, &lat, &lon, &az, nullptr, nullptr, nullptr, nullptr, nullptr);
  const double phi = lat / kDeg, alpha = az / kDeg;
  const double sp = std::sin(phi), w = 1.0 - kWgsE2 * sp * sp, sw = std::sqrt(w);
  const double n = kWgsA / sw, m = kWgsA * (1.0 - kWgsE2) / (w * sw);
  return {lat, lon, std::cos(alpha) / m * kDeg, std::sin(alpha) / (n * std::cos(phi)) * kDeg};
}

// Makes the spans up to index span: each the cubic Hermite through its two
// nodes with the slopes there.
void GeodesicLine::Extend(std::size_t span) {
  if (spans_.empty()) last_ = MakeNode(0.0);
  constexpr double h = kNodeSpacingM;
  while (spans_.size() <= span) {
    const Node a = last_;
    const Node b = MakeNode(static_cast<double>(spans_.size() + 1) * h);
    Span sp{};
    const Pair p0 = {a.lat, a.lon}, m0 = {a.dLat, a.dLon}, p1 = {b.lat, b.lon}, m1 = {b.dLat, b.dLon};
    sp.c[0] = p0;
    sp.c[1] = h * m0;
    sp.c[2] = 3 * (p1 - p0) - h * (2 * m0 + m1);
    sp.c[3] = 2 * (p0 - p1) + h * (m0 + m1);
    sp.exact = std::fabs(a.lat) > kExactAboveLatDeg || std::fabs(b.lat) > kExactAboveLatDeg;
    spans_.push_back(sp);
    last_ = b;
  }
}

void GeodesicLine::Position(double sM, double& lat, double& lon) {
  if (!(sM >= 0) || sM > 1e8) {  // negative, NaN or beyond a few turns: solved as asked
    Exact(sM, lat, lon);
    return;
  }
  const auto j = static_cast<std::size_t>(sM / kNodeSpacingM);
  if (j >= spans_.size()) Extend(j);
  const Span& c = spans_[j];
  if (c.exact) {
    Exact(sM, lat, lon);
    return;
  }
  const double t = (sM - static_cast<double>(j) * kNodeSpacingM) / kNodeSpacingM;
  const Pair v = c.c[0] + t * (c.c[1] + t * (c.c[2] + t * c.c[3]));
  lat = v[0];
  lon = v[1];
}

void GeodesicLine::Positions(std::size_t first, std::size_t n, double step, double* lat, double* lon) {
  if (n == 0) return;
  const double sEnd = static_cast<double>(first + n - 1) * step;
  if (!(step >= 0) || !(sEnd <= 1e8)) {  // what Position does with each, one by one
    for (std::size_t k = 0; k < n; ++k) Position(static_cast<double>(first + k) * step, lat[k], lon[k]);
    return;
  }
  const auto jEnd = static_cast<std::size_t>(sEnd / kNodeSpacingM);
  if (jEnd >= spans_.size()) Extend(jEnd);
  // The loop of Position without its checks, a span at a time: the spans are
  // all made, and the arithmetic is the same, so each number is what Position
  // gives.
  const auto spanOf = [&](std::size_t k) {
    return static_cast<std::size_t>(static_cast<double>(first + k) * step / kNodeSpacingM);
  };
  for (std::size_t k = 0; k < n;) {
    const std::size_t j = spanOf(k);
    // The points of span j: from k to the first one past its end node.
    std::size_t end = n;
    if (step > 0) {
      const double past = std::ceil(static_cast<double>(j + 1) * kNodeSpacingM / step) - static_cast<double>(first);
      end = past < static_cast<double>(n) ? static_cast<std::size_t>(std::max(past, static_cast<double>(k + 1))) : n;
      while (end > k + 1 && spanOf(end - 1) != j) --end;
      while (end < n && spanOf(end) == j) ++end;
    }
    const Span& c = spans_[j];
    if (c.exact) {
      for (; k < end; ++k) Exact(static_cast<double>(first + k) * step, lat[k], lon[k]);
      continue;
    }
    const double base = static_cast<double>(j) * kNodeSpacingM;
    // Two points at a time: latitudes in one vector and longitudes in the
    // other, each lane the arithmetic of one point below.
    using Two = double __attribute__((vector_size(16)));
    const Two latC[4] = {Two{} + c.c[0][0], Two{} + c.c[1][0], Two{} + c.c[2][0], Two{} + c.c[3][0]};
    const Two lonC[4] = {Two{} + c.c[0][1], Two{} + c.c[1][1], Two{} + c.c[2][1], Two{} + c.c[3][1]};
    for (; k + 1 < end; k += 2) {
      const Two i = {static_cast<double>(first + k), static_cast<double>(first + k + 1)};
      const Two t = (i * step - base) / kNodeSpacingM;
      const Two la = latC[0] + t * (latC[1] + t * (latC[2] + t * latC[3]));
      const Two lo = lonC[0] + t * (lonC[1] + t * (lonC[2] + t * lonC[3]));
      std::memcpy(lat + k, &la, sizeof la);
      std::memcpy(lon + k, &lo, sizeof lo);
    }
    for (; k < end; ++k) {
      const double t = (static_cast<double>(first + k) * step - base) / kNodeSpacingM;
      const Pair v = c.c[0] + t * (c.c[1] + t * (c.c[2] + t * c.c[3]));
      lat[k] = v[0];
      lon[k] = v[1];
    }
  }
}


}  // namespace zw
