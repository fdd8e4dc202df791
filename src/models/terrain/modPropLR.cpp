// Longley-Rice core: ITS Irregular Terrain Model 1.2.2, point-to-point mode.
// The routines follow the published algorithm step by step; the order of the
// arithmetic is kept as published so that results agree with the reference
// to the last digits.
#include "models/terrain/modPropLR.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace zw {

namespace {

constexpr double kThird = 1.0 / 3.0;
constexpr double kGma = 157e-9;  // curvature of the actual earth, 1/m

// Climate coefficient tables of the variability step, climates 1..7.
constexpr double kBv1[7] = {-9.67, -0.62, 1.26, -9.21, -0.62, -0.39, 3.15};
constexpr double kBv2[7] = {12.7, 9.19, 15.5, 9.05, 9.19, 2.86, 857.9};
constexpr double kXv1[7] = {144.9e3, 228.9e3, 262.6e3, 84.1e3, 228.9e3, 141.7e3, 2222.e3};
constexpr double kXv2[7] = {190.3e3, 205.2e3, 185.2e3, 101.1e3, 205.2e3, 315.9e3, 164.8e3};
constexpr double kXv3[7] = {133.8e3, 143.6e3, 99.8e3, 98.6e3, 143.6e3, 167.4e3, 116.3e3};
constexpr double kBsm1[7] = {2.13, 2.66, 6.11, 1.98, 2.68, 6.86, 8.51};
constexpr double kBsm2[7] = {159.5, 7.67, 6.65, 13.11, 7.16, 10.38, 169.8};
constexpr double kXsm1[7] = {762.2e3, 100.4e3, 138.2e3, 139.1e3, 93.7e3, 187.8e3, 609.8e3};
constexpr double kXsm2[7] = {123.6e3, 172.5e3, 242.2e3, 132.7e3, 186.8e3, 169.6e3, 119.9e3};
constexpr double kXsm3[7] = {94.5e3, 136.4e3, 178.6e3, 193.5e3, 133.5e3, 108.9e3, 106.6e3};
constexpr double kBsp1[7] = {2.11, 6.87, 10.08, 3.68, 4.75, 8.58, 8.43};
constexpr double kBsp2[7] = {102.3, 15.53, 9.60, 159.3, 8.12, 13.97, 8.19};
constexpr double kXsp1[7] = {636.9e3, 138.7e3, 165.3e3, 464.4e3, 93.2e3, 216.0e3, 136.2e3};
constexpr double kXsp2[7] = {134.8e3, 143.7e3, 225.7e3, 93.1e3, 135.9e3, 152.0e3, 188.5e3};
constexpr double kXsp3[7] = {95.6e3, 98.6e3, 129.7e3, 94.2e3, 113.4e3, 122.7e3, 122.9e3};
constexpr double kBsd1[7] = {1.224, 0.801, 1.380, 1.000, 1.224, 1.518, 1.518};
constexpr double kBzd1[7] = {1.282, 2.161, 1.282, 20., 1.282, 1.282, 1.282};
constexpr double kBfm1[7] = {1.0, 1.0, 1.0, 1.0, 0.92, 1.0, 1.0};
constexpr double kBfm2[7] = {0.0, 0.0, 0.0, 0.0, 0.25, 0.0, 0.0};
constexpr double kBfm3[7] = {0.0, 0.0, 0.0, 0.0, 1.77, 0.0, 0.0};
constexpr double kBfp1[7] = {1.0, 0.93, 1.0, 0.93, 0.93, 1.0, 1.0};
constexpr double kBfp2[7] = {0.0, 0.31, 0.0, 0.19, 0.31, 0.0, 0.0};
constexpr double kBfp3[7] = {0.0, 2.00, 0.0, 1.79, 2.00, 0.0, 0.0};

// Tables of the troposcatter frequency-gain and attenuation functions.
constexpr double kH0a[5] = {25.0, 80.0, 177.0, 395.0, 705.0};
constexpr double kH0b[5] = {24.0, 45.0, 68.0, 80.0, 105.0};
constexpr double kAhdA[3] = {133.4, 104.6, 71.8};
constexpr double kAhdB[3] = {0.332e-3, 0.212e-3, 0.157e-3};
constexpr double kAhdC[3] = {-4.343, -1.086, 2.171};

double sq(double x) { return x * x; }

// |z|^2
double abq(std::complex<double> z) { return z.real() * z.real() + z.imag() * z.imag(); }

// Climate curve of the variability step.
double curve(double c1, double c2, double x1, double x2, double x3, double de) {
  return (c1 + c2 / (1.0 + sq((de - x2) / x3))) * sq(de / x1) / (1.0 + sq(de / x1));
}

// The k-th largest minus the k-th smallest of a (1 <= k <= a.size()); a is
// reordered. The values are counted into buckets of equal width between the
// least and the greatest (the bucket of a value never decreases as the value
// grows), the buckets holding the two ranks are found from the counts, and
// only their few values are selected among: a terrain profile's deviations
// are too orderly for a plain selection's branches, which cost more than
// the rest of the routine.
double DecileSpread(std::span<double> a, std::size_t k) {
  const std::size_t n = a.size();
  if (n == 0) return 0.0;
  k = std::clamp<std::size_t>(k, 1, n);
  double lo = a[0], hi = a[0];
  for (const double x : a) {
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  if (!(hi > lo)) return 0.0;  // all equal
  constexpr int kBuckets = 64;
  const double scale = kBuckets / (hi - lo);
  std::array<int, kBuckets> count{};
  std::array<std::uint8_t, 256> shortList;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
  std::vector<std::uint8_t> longList;
  std::uint8_t* bucketOf = shortList.data();
  if (n > shortList.size()) {
    longList.resize(n);
    bucketOf = longList.data();
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double t = (a[i] - lo) * scale;
    const int b = t < kBuckets - 1 ? static_cast<int>(t) : kBuckets - 1;  // (not a number: the last)
    bucketOf[i] = static_cast<std::uint8_t>(b);
    ++count[static_cast<std::size_t>(b)];
  }
  // The value of rank `rank` (0 = least) among the n.
  const auto valueOfRank = [&](std::size_t rank) {
    int b = 0;
    std::size_t below = 0;
    while (below + static_cast<std::size_t>(count[static_cast<std::size_t>(b)]) <= rank)
      below += static_cast<std::size_t>(count[static_cast<std::size_t>(b++)]);
    std::array<double, 256> few;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
    std::vector<double> many;
    double* in = few.data();
    if (static_cast<std::size_t>(count[static_cast<std::size_t>(b)]) > few.size()) {
      many.resize(static_cast<std::size_t>(count[static_cast<std::size_t>(b)]));
      in = many.data();
    }
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i)
      if (bucketOf[i] == b) in[m++] = a[i];
    const std::size_t r = rank - below;
    std::nth_element(in, in + r, in + m);
    return in[r];
  };
  return valueOfRank(n - k) - valueOfRank(k - 1);
}

bool allFinite(const LRResult& r) {
  return std::isfinite(r.dAttenDB) && std::isfinite(r.dHeEffM[0]) && std::isfinite(r.dHeEffM[1]) &&
         std::isfinite(r.dDeltaHM) && std::isfinite(r.dEarthFactor);
}

LRResult refused(std::string msg) {
  LRResult r;
  r.bOK = false;
  r.sError = std::move(msg);
  r.lErrLevel = 4;
  return r;
}

}  // namespace

const std::array<std::string, 7>& LRClimateNames() {
  static const std::array<std::string, 7> names = {
      "1 Equatorial",          "2 Continental Subtropical",      "3 Maritime Subtropical",
      "4 Desert",              "5 Continental Temperate",        "6 Maritime Temperate Over Land",
      "7 Maritime Temperate Over Sea"};
  return names;
}

// The profile failures both profile builders give.
constexpr const char* kLRTooManyIntervals =
    "Longley-Rice: the terrain profile has more than 32767 intervals (the model's limit).";
constexpr const char* kLRNoSpacing = "Longley-Rice: the terrain profile spacing is not greater than 0.";
constexpr const char* kLRElevationNaN = "Longley-Rice: the terrain profile holds an elevation that is not a number.";

bool LRBuildProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                    std::vector<double>& pfl, std::string& sErr) {
  pfl.clear();
  sErr.clear();
  if (lastIndex < 1) {
    sErr = "Longley-Rice: the terrain profile has fewer than two points.";
    return false;
  }
  if (lastIndex > kLRMaxIntervals) {
    sErr = kLRTooManyIntervals;
    return false;
  }
  const auto n = static_cast<std::size_t>(lastIndex) + 1;
  if (dist.size() < n || elev.size() < n) {
    sErr = "Longley-Rice: the terrain profile arrays are shorter than its point count.";
    return false;
  }
  const double xi = dist[1] - dist[0];
  if (!std::isfinite(xi) || !(xi > 0.0)) {
    sErr = kLRNoSpacing;
    return false;
  }
  // One pass that copies and checks (without a branch per point).
  pfl.resize(n + 2);
  pfl[0] = static_cast<double>(lastIndex);
  pfl[1] = xi;
  double* out = pfl.data() + 2;
  bool finite = true;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = static_cast<double>(elev[i]);
    finite &= std::isfinite(elev[i]);
  }
  if (!finite) {
    pfl.clear();
    sErr = kLRElevationNaN;
    return false;
  }
  return true;
}

bool LRBuildEvenProfile(int lastIndex, std::span<const double> dist, std::span<const float> elev,
                        std::vector<double>& pfl, std::string& sErr) {
  const auto n = static_cast<std::size_t>(std::max(lastIndex, 0));
  if (lastIndex < 2 || dist.size() <= n || elev.size() <= n) return LRBuildProfile(lastIndex, dist, elev, pfl, sErr);
  pfl.clear();
  sErr.clear();
  const double length = dist[n] - dist[0];
  const double step = dist[1] - dist[0];
  const double count = std::max(1.0, std::ceil(length / step - 1e-9));
  if (!(count <= kLRMaxIntervals)) {  // (not a number too: a spacing that is not greater than 0)
    sErr = std::isfinite(step) && step > 0.0 && std::isfinite(length) ? kLRTooManyIntervals : kLRNoSpacing;
    return false;
  }
  const auto intervals = static_cast<std::size_t>(count);
  // The spacing is the first interval of the even profile.
  const double xi = (intervals == 1 ? dist[n] : dist[0] + length * 1.0 / static_cast<double>(intervals)) - dist[0];
  if (!std::isfinite(xi) || !(xi > 0.0)) {
    sErr = kLRNoSpacing;
    return false;
  }
  pfl.resize(intervals + 3);
  pfl[0] = static_cast<double>(intervals);
  pfl[1] = xi;
  double* out = pfl.data() + 2;
  // Elevations interpolated linearly between the samples (as float, the
  // profile's own precision), the last point the profile's end.
  std::size_t j = 0;
  bool finite = true;
  for (std::size_t i = 0; i < intervals; ++i) {
    const double x = dist[0] + length * static_cast<double>(i) / static_cast<double>(intervals);
    while (j + 1 < n && dist[j + 1] < x) ++j;
    const double span = dist[j + 1] - dist[j];
    const double t = span > 0 ? std::clamp((x - dist[j]) / span, 0.0, 1.0) : 0.0;
    const auto e = static_cast<float>(elev[j] + t * (static_cast<double>(elev[j + 1]) - elev[j]));
    out[i] = static_cast<double>(e);
    finite &= std::isfinite(e);
  }
  out[intervals] = static_cast<double>(elev[n]);
  if (!finite || !std::isfinite(elev[n])) {
    pfl.clear();
    sErr = kLRElevationNaN;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- helpers

namespace lr {

double dim(double a, double b) { return a > b ? a - b : 0.0; }

long roundHalfEven(double x) {
  const double f = std::floor(x);
  const double diff = x - f;
  long r = static_cast<long>(f);
  if (diff > 0.5) return r + 1;
  if (diff < 0.5) return r;
  return (r % 2 == 0) ? r : r + 1;
}

double qerfi(double q) {
  constexpr double c0 = 2.515516698, c1 = 0.802853, c2 = 0.010328;
  constexpr double d1 = 1.432788, d2 = 0.189269, d3 = 0.001308;
  const double x = 0.5 - q;
  double t = std::max(0.5 - std::fabs(x), 0.000001);
  t = std::sqrt(-2.0 * std::log(t));
  double v = t - ((c2 * t + c1) * t + c0) / (((d3 * t + d2) * t + d1) * t + 1.0);
  if (x < 0.0) v = -v;
  return v;
}

double qerf(double z) {
  constexpr double b1 = 0.319381530, b2 = -0.356563782, b3 = 1.781477937, b4 = -1.821255978,
                   b5 = 1.330274429, rp = 4.317008, rrt2pi = 0.398942280;
  double t = std::fabs(z);
  double v;
  if (t >= 10.0) {
    v = 0.0;
  } else {
    t = rp / (t + rp);
    v = std::exp(-0.5 * z * z) * rrt2pi * ((((b5 * t + b4) * t + b3) * t + b2) * t + b1) * t;
  }
  if (z < 0.0) v = 1.0 - v;
  return v;
}

double aknfe(double v2) {
  if (v2 < 5.76) return 6.02 + 9.11 * std::sqrt(v2) - 1.27 * v2;
  return 12.953 + 4.343 * std::log(v2);
}

double fht(double x, double pk) {
  double v;
  if (x < 200.0) {
    const double w = -std::log(pk);
    if (pk < 1e-5 || x * w * w * w > 5495.0) {
      v = -117.0;
      if (x > 1.0) v = 17.372 * std::log(x) + v;
    } else {
      v = 2.5e-5 * x * x / pk - 8.686 * w - 15.0;
    }
  } else {
    v = 0.05751 * x - 4.343 * std::log(x);
    if (x < 2000.0) {
      const double w = 0.0134 * x * std::exp(-0.005 * x);
      v = (1.0 - w) * v + w * (17.372 * std::log(x) - 117.0);
    }
  }
  return v;
}

double h0f(double r, double et) {
  int it;
  double q;
  if (!(et >= 1.0)) {  // below 1 (or not a number): the first row
    it = 1;
    q = 0.0;
  } else if (et >= 5.0) {
    it = 5;
    q = 0.0;
  } else {
    it = static_cast<int>(et);
    q = et - it;
  }
  const double x = sq(1.0 / r);
  double v = 4.343 * std::log((kH0a[it - 1] * x + kH0b[it - 1]) * x + 1.0);
  if (q != 0.0) v = (1.0 - q) * v + q * 4.343 * std::log((kH0a[it] * x + kH0b[it]) * x + 1.0);
  return v;
}

double ahd(double td) {
  int i;
  if (td <= 10e3)
    i = 0;
  else if (td <= 70e3)
    i = 1;
  else
    i = 2;
  return kAhdA[i] + kAhdB[i] * td + kAhdC[i] * std::log(td);
}

void z1sq1(std::span<const double> z, double x1, double x2, double& z0, double& zn) {
  const double xn = z[0];
  double xa = static_cast<int>(dim(x1 / z[1], 0.0));
  double xb = xn - static_cast<int>(dim(xn, x2 / z[1]));
  if (xb <= xa) {
    xa = dim(xa, 1.0);
    xb = xn - dim(xn, xb + 1.0);
  }
  long ja = static_cast<long>(xa);
  const long jb = static_cast<long>(xb);
  const long n = jb - ja;
  xa = xb - xa;
  double x = -0.5 * xa;
  xb += x;
  double a = 0.5 * (z[ja + 2] + z[jb + 2]);
  double b = 0.5 * (z[ja + 2] - z[jb + 2]) * x;
  for (long i = 2; i <= n; ++i) {
    ++ja;
    x += 1.0;
    a += z[ja + 2];
    b += z[ja + 2] * x;
  }
  a /= xa;
  b = b * 12.0 / ((xa * xa + 2.0) * xa);
  z0 = a - b * xb;
  zn = a + b * (xn - xb);
}

double d1thx(std::span<const double> pfl, double x1, double x2) {
  const long np = static_cast<long>(pfl[0]);
  double xa = x1 / pfl[1];
  double xb = x2 / pfl[1];
  if (xb - xa < 2.0) return 0.0;
  long ka = static_cast<long>(0.1 * (xb - xa + 8.0));
  ka = std::min(std::max(4L, ka), 25L);
  const long n = 10 * ka - 5;
  const double sn = static_cast<double>(n - 1);
  // At most 10 x 25 - 5 points and the two header values.
  std::array<double, 247> s;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
  s[0] = sn;
  s[1] = 1.0;
  xb = (xb - xa) / sn;
  long k = static_cast<long>(xa + 1.0);
  xa -= static_cast<double>(k);
  for (long j = 0; j < n; ++j) {
    while (xa > 0.0 && k < np) {
      xa -= 1.0;
      ++k;
    }
    s[j + 2] = pfl[k + 2] + (pfl[k + 2] - pfl[k + 1]) * xa;
    xa = xa + xb;
  }
  z1sq1(s, 0.0, sn, xa, xb);
  xb = (xb - xa) / sn;
  for (long j = 0; j < n; ++j) {
    s[j + 2] -= xa;
    xa = xa + xb;
  }
  // The published routine's quantiles: the elements at ka - 1 and kb - 1 =
  // n - ka of the deviations in decreasing order, that is the ka-th largest
  // and the ka-th smallest.
  double v = DecileSpread(std::span<double>(s).subspan(2, static_cast<std::size_t>(n)),
                          static_cast<std::size_t>(ka));
  v /= 1.0 - 0.8 * std::exp(-(x2 - x1) / 50e3);
  return v;
}

}  // namespace lr

// ---------------------------------------------------------------- the model

clsLRCore::clsLRCore() { InitTables(); }

void clsLRCore::InitTables() {
  // The tables are compile-time constants; the first use of the climate
  // names builds that table once.
  (void)LRClimateNames();
  bTablesLoaded_ = true;
}

void clsLRCore::qlrps(double fmhz, double zsys, double en0, int ipol, double eps, double sgm) {
  prop_.wn = fmhz / 47.7;
  prop_.ens = en0;
  if (zsys != 0.0) prop_.ens *= std::exp(-zsys / 9460.0);
  prop_.gme = kGma * (1.0 - 0.04665 * std::exp(prop_.ens / 179.3));
  const std::complex<double> zq(eps, 376.62 * sgm / prop_.wn);
  prop_.zgnd = std::sqrt(zq - 1.0);
  if (ipol != 0) prop_.zgnd = prop_.zgnd / zq;
}

void clsLRCore::hzns(std::span<const double> pfl) {
  const long np = static_cast<long>(pfl[0]);
  const double xi = pfl[1];
  const double za = pfl[2] + prop_.hg[0];
  const double zb = pfl[np + 2] + prop_.hg[1];
  const double qc = 0.5 * prop_.gme;
  double q = qc * prop_.dist;
  prop_.the[1] = (zb - za) / prop_.dist;
  prop_.the[0] = prop_.the[1] - q;
  prop_.the[1] = -prop_.the[1] - q;
  prop_.dl[0] = prop_.dist;
  prop_.dl[1] = prop_.dist;
  if (np < 2) return;
  double sa = 0.0;
  double sb = prop_.dist;
  bool wq = true;
  for (long i = 1; i < np; ++i) {
    sa += xi;
    sb -= xi;
    q = pfl[i + 2] - (qc * sa + prop_.the[0]) * sa - za;
    if (q > 0.0) {
      prop_.the[0] += q / sa;
      prop_.dl[0] = sa;
      wq = false;
    }
    if (!wq) {
      q = pfl[i + 2] - (qc * sb + prop_.the[1]) * sb - zb;
      if (q > 0.0) {
        prop_.the[1] += q / sb;
        prop_.dl[1] = sb;
      }
    }
  }
}

void clsLRCore::qlrpfl(std::span<const double> pfl, int klimx, int mdvarx) {
  const long np = static_cast<long>(pfl[0]);
  prop_.dist = pfl[0] * pfl[1];
  hzns(pfl);
  std::array<double, 2> xl{};
  for (int j = 0; j < 2; ++j) xl[j] = std::min(15.0 * prop_.hg[j], 0.1 * prop_.dl[j]);
  xl[1] = prop_.dist - xl[1];
  prop_.dh = lr::d1thx(pfl, xl[0], xl[1]);
  double za = 0.0, zb = 0.0, q = 0.0;
  if (prop_.dl[0] + prop_.dl[1] > 1.5 * prop_.dist) {
    lr::z1sq1(pfl, xl[0], xl[1], za, zb);
    prop_.he[0] = prop_.hg[0] + lr::dim(pfl[2], za);
    prop_.he[1] = prop_.hg[1] + lr::dim(pfl[np + 2], zb);
    for (int j = 0; j < 2; ++j)
      prop_.dl[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme) *
                    std::exp(-0.07 * std::sqrt(prop_.dh / std::max(prop_.he[j], 5.0)));
    q = prop_.dl[0] + prop_.dl[1];
    if (q <= prop_.dist) {
      q = sq(prop_.dist / q);
      for (int j = 0; j < 2; ++j) {
        prop_.he[j] *= q;
        prop_.dl[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme) *
                      std::exp(-0.07 * std::sqrt(prop_.dh / std::max(prop_.he[j], 5.0)));
      }
    }
    for (int j = 0; j < 2; ++j) {
      q = std::sqrt(2.0 * prop_.he[j] / prop_.gme);
      prop_.the[j] = (0.65 * prop_.dh * (q / prop_.dl[j] - 1.0) - 2.0 * prop_.he[j]) / q;
    }
  } else {
    lr::z1sq1(pfl, xl[0], 0.9 * prop_.dl[0], za, q);
    lr::z1sq1(pfl, prop_.dist - 0.9 * prop_.dl[1], xl[1], q, zb);
    prop_.he[0] = prop_.hg[0] + lr::dim(pfl[2], za);
    prop_.he[1] = prop_.hg[1] + lr::dim(pfl[np + 2], zb);
  }
  prop_.mdp = -1;
  var_.lvar = std::max(var_.lvar, 3);
  if (mdvarx >= 0) {
    var_.mdvar = mdvarx;
    var_.lvar = std::max(var_.lvar, 4);
  }
  if (klimx > 0) {
    var_.klim = klimx;
    var_.lvar = 5;
  }
}

double clsLRCore::adiffSetup() {
  double q = prop_.hg[0] * prop_.hg[1];
  dif_.qk = prop_.he[0] * prop_.he[1] - q;
  if (prop_.mdp < 0) q += 10.0;
  dif_.wd1 = std::sqrt(1.0 + dif_.qk / q);
  dif_.xd1 = prop_.dla + prop_.tha / prop_.gme;
  q = (1.0 - 0.8 * std::exp(-prop_.dlsa / 50e3)) * prop_.dh;
  q *= 0.78 * std::exp(-std::pow(q / 16.0, 0.25));
  dif_.afo = std::min(15.0, 2.171 * std::log(1.0 + 4.77e-4 * prop_.hg[0] * prop_.hg[1] * prop_.wn * q));
  dif_.qk = 1.0 / std::abs(prop_.zgnd);
  dif_.aht = 20.0;
  dif_.xht = 0.0;
  for (int j = 0; j < 2; ++j) {
    const double a = 0.5 * sq(prop_.dl[j]) / prop_.he[j];
    const double wa = std::pow(a * prop_.wn, kThird);
    const double pk = dif_.qk / wa;
    q = (1.607 - pk) * 151.0 * wa * prop_.dl[j] / a;
    dif_.xht += q;
    dif_.aht += lr::fht(q, pk);
  }
  return 0.0;
}

double clsLRCore::adiff(double d) {
  const double th = prop_.tha + d * prop_.gme;
  const double ds = d - prop_.dla;
  double q = 0.0795775 * prop_.wn * ds * sq(th);
  double v = lr::aknfe(q * prop_.dl[0] / (ds + prop_.dl[0])) +
             lr::aknfe(q * prop_.dl[1] / (ds + prop_.dl[1]));
  const double a = ds / th;
  const double wa = std::pow(a * prop_.wn, kThird);
  const double pk = dif_.qk / wa;
  q = (1.607 - pk) * 151.0 * wa * th + dif_.xht;
  const double ar = 0.05751 * q - 4.343 * std::log(q) - dif_.aht;
  q = (dif_.wd1 + dif_.xd1 / d) *
      std::min((1.0 - 0.8 * std::exp(-d / 50e3)) * prop_.dh * prop_.wn, 6283.2);
  const double wd = 25.1 / (25.1 + std::sqrt(q));
  v = ar * wd + (1.0 - wd) * v + dif_.afo;
  return v;
}

double clsLRCore::ascatSetup() {
  sct_.ad = prop_.dl[0] - prop_.dl[1];
  sct_.rr = prop_.he[1] / prop_.he[0];
  if (sct_.ad < 0.0) {
    sct_.ad = -sct_.ad;
    sct_.rr = 1.0 / sct_.rr;
  }
  sct_.etq = (5.67e-6 * prop_.ens - 2.32e-3) * prop_.ens + 0.031;
  sct_.h0s = -15.0;
  return 0.0;
}

double clsLRCore::ascat(double d) {
  double h0;
  double th;
  if (sct_.h0s > 15.0) {
    h0 = sct_.h0s;
  } else {
    th = prop_.the[0] + prop_.the[1] + d * prop_.gme;
    double r2 = 2.0 * prop_.wn * th;
    const double r1 = r2 * prop_.he[0];
    r2 *= prop_.he[1];
    if (r1 < 0.2 && r2 < 0.2) return 1001.0;
    double ss = (d - sct_.ad) / (d + sct_.ad);
    double q = sct_.rr / ss;
    ss = std::max(0.1, ss);
    q = std::min(std::max(0.1, q), 10.0);
    const double z0 = (d - sct_.ad) * (d + sct_.ad) * th * 0.25 / d;
    const double et = (sct_.etq * std::exp(-std::pow(std::min(1.7, z0 / 8.0e3), 6.0)) + 1.0) * z0 / 1.7556e3;
    const double ett = std::max(et, 1.0);
    h0 = (lr::h0f(r1, ett) + lr::h0f(r2, ett)) * 0.5;
    h0 += std::min(h0, (1.38 - std::log(ett)) * std::log(ss) * std::log(q) * 0.49);
    h0 = lr::dim(h0, 0.0);
    if (et < 1.0)
      h0 = et * h0 + (1.0 - et) * 4.343 *
                         std::log(sq((1.0 + 1.4142 / r1) * (1.0 + 1.4142 / r2)) * (r1 + r2) /
                                  (r1 + r2 + 2.8284));
    if (h0 > 15.0 && sct_.h0s >= 0.0) h0 = sct_.h0s;
  }
  sct_.h0s = h0;
  th = prop_.tha + d * prop_.gme;
  return lr::ahd(th * d) + 4.343 * std::log(47.7 * prop_.wn * std::pow(th, 4.0)) -
         0.1 * (prop_.ens - 301.0) * std::exp(-th * d / 40e3) + h0;
}

double clsLRCore::alosSetup() {
  wls_ = 0.021 / (0.021 + prop_.wn * prop_.dh / std::max(10e3, prop_.dlsa));
  return 0.0;
}

double clsLRCore::alos(double d) {
  double q = (1.0 - 0.8 * std::exp(-d / 50e3)) * prop_.dh;
  const double s = 0.78 * q * std::exp(-std::pow(q / 16.0, 0.25));
  q = prop_.he[0] + prop_.he[1];
  const double sps = q / std::sqrt(d * d + q * q);
  std::complex<double> r = (sps - prop_.zgnd) / (sps + prop_.zgnd) *
                           std::exp(-std::min(10.0, prop_.wn * s * sps));
  q = abq(r);
  if (q < 0.25 || q < sps) r = r * std::sqrt(sps / q);
  double v = prop_.emd * d + prop_.aed;
  q = prop_.wn * prop_.he[0] * prop_.he[1] * 2.0 / d;
  if (q > 1.57) q = 3.14 - 2.4649 / q;
  v = (-4.343 * std::log(abq(std::complex<double>(std::cos(q), -std::sin(q)) + r)) - v) * wls_ + v;
  return v;
}

void clsLRCore::lrpropSetup() {
  for (int j = 0; j < 2; ++j) prop_.dls[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme);
  prop_.dlsa = prop_.dls[0] + prop_.dls[1];
  prop_.dla = prop_.dl[0] + prop_.dl[1];
  prop_.tha = std::max(prop_.the[0] + prop_.the[1], -prop_.dla * prop_.gme);
  wlos_ = false;
  wscat_ = false;
  int& kwx = prop_.kwx;
  if (prop_.wn < 0.838 || prop_.wn > 210.0) kwx = std::max(kwx, 1);
  for (int j = 0; j < 2; ++j)
    if (prop_.hg[j] < 1.0 || prop_.hg[j] > 1000.0) kwx = std::max(kwx, 1);
  for (int j = 0; j < 2; ++j)
    if (std::fabs(prop_.the[j]) > 200e-3 || prop_.dl[j] < 0.1 * prop_.dls[j] ||
        prop_.dl[j] > 3.0 * prop_.dls[j])
      kwx = std::max(kwx, 3);
  if (prop_.ens < 250.0 || prop_.ens > 400.0 || prop_.gme < 75e-9 || prop_.gme > 250e-9 ||
      prop_.zgnd.real() <= std::fabs(prop_.zgnd.imag()) || prop_.wn < 0.419 || prop_.wn > 420.0)
    kwx = 4;
  for (int j = 0; j < 2; ++j)
    if (prop_.hg[j] < 0.5 || prop_.hg[j] > 3000.0) kwx = 4;
  dmin_ = std::fabs(prop_.he[0] - prop_.he[1]) / 200e-3;
  (void)adiffSetup();
  xae_ = std::pow(prop_.wn * sq(prop_.gme), -kThird);
  const double d3 = std::max(prop_.dlsa, 1.3787 * xae_ + prop_.dla);
  const double d4 = d3 + 2.7574 * xae_;
  const double a3 = adiff(d3);
  const double a4 = adiff(d4);
  prop_.emd = (a4 - a3) / (d4 - d3);
  prop_.aed = a3 - prop_.emd * d3;
}

void clsLRCore::lrpropDistance() {
  int& kwx = prop_.kwx;
  if (prop_.dist > 0.0) {
    if (prop_.dist > 1000e3) kwx = std::max(kwx, 1);
    if (prop_.dist < dmin_) kwx = std::max(kwx, 3);
    if (prop_.dist < 1e3 || prop_.dist > 2000e3) kwx = 4;
  }
  if (prop_.dist < prop_.dlsa) {
    if (!wlos_) {
      (void)alosSetup();
      const double d2 = prop_.dlsa;
      const double a2 = prop_.aed + d2 * prop_.emd;
      double d0 = 1.908 * prop_.wn * prop_.he[0] * prop_.he[1];
      double d1;
      if (prop_.aed >= 0.0) {
        d0 = std::min(d0, 0.5 * prop_.dla);
        d1 = d0 + 0.25 * (prop_.dla - d0);
      } else {
        d1 = std::max(-prop_.aed / prop_.emd, 0.25 * prop_.dla);
      }
      const double a1 = alos(d1);
      bool wq = false;
      if (d0 < d1) {
        const double a0 = alos(d0);
        const double q = std::log(d2 / d0);
        prop_.ak2 = std::max(0.0, ((d2 - d0) * (a1 - a0) - (d1 - d0) * (a2 - a0)) /
                                      ((d2 - d0) * std::log(d1 / d0) - (d1 - d0) * q));
        wq = prop_.aed >= 0.0 || prop_.ak2 > 0.0;
        if (wq) {
          prop_.ak1 = (a2 - a0 - prop_.ak2 * q) / (d2 - d0);
          if (prop_.ak1 < 0.0) {
            prop_.ak1 = 0.0;
            prop_.ak2 = lr::dim(a2, a0) / q;
            if (prop_.ak2 == 0.0) prop_.ak1 = prop_.emd;
          }
        }
      }
      if (!wq) {
        prop_.ak1 = lr::dim(a2, a1) / (d2 - d1);
        prop_.ak2 = 0.0;
        if (prop_.ak1 == 0.0) prop_.ak1 = prop_.emd;
      }
      prop_.ael = a2 - prop_.ak1 * d2 - prop_.ak2 * std::log(d2);
      wlos_ = true;
    }
    if (prop_.dist > 0.0) prop_.aref = prop_.ael + prop_.ak1 * prop_.dist + prop_.ak2 * std::log(prop_.dist);
  }
  if (prop_.dist <= 0.0 || prop_.dist >= prop_.dlsa) {
    if (!wscat_) {
      (void)ascatSetup();
      const double d5 = prop_.dla + 200e3;
      const double d6 = d5 + 200e3;
      const double a6 = ascat(d6);
      const double a5 = ascat(d5);
      if (a5 < 1000.0) {
        prop_.ems = (a6 - a5) / 200e3;
        prop_.dx = std::max(prop_.dlsa,
                            std::max(prop_.dla + 0.3 * xae_ * std::log(47.7 * prop_.wn),
                                     (a5 - prop_.aed - prop_.ems * d5) / (prop_.emd - prop_.ems)));
        prop_.aes = (prop_.emd - prop_.ems) * prop_.dx + prop_.aed;
      } else {
        prop_.ems = prop_.emd;
        prop_.aes = prop_.aed;
        prop_.dx = 10.e6;
      }
      wscat_ = true;
    }
    if (prop_.dist > prop_.dx)
      prop_.aref = prop_.aes + prop_.ems * prop_.dist;
    else
      prop_.aref = prop_.aed + prop_.emd * prop_.dist;
  }
  prop_.aref = std::max(prop_.aref, 0.0);
}

double clsLRCore::avar(double zzt, double zzl, double zzc) {
  constexpr double rt = 7.8, rl = 24.0;
  VarState& v = var_;
  if (v.lvar > 0) {
    // Each level recomputes its part and everything below it.
    if (v.lvar >= 5) {
      if (v.klim <= 0 || v.klim > 7) {
        v.klim = 5;
        prop_.kwx = std::max(prop_.kwx, 2);
      }
      const int c = v.klim - 1;
      v.cv1 = kBv1[c];
      v.cv2 = kBv2[c];
      v.yv1 = kXv1[c];
      v.yv2 = kXv2[c];
      v.yv3 = kXv3[c];
      v.csm1 = kBsm1[c];
      v.csm2 = kBsm2[c];
      v.ysm1 = kXsm1[c];
      v.ysm2 = kXsm2[c];
      v.ysm3 = kXsm3[c];
      v.csp1 = kBsp1[c];
      v.csp2 = kBsp2[c];
      v.ysp1 = kXsp1[c];
      v.ysp2 = kXsp2[c];
      v.ysp3 = kXsp3[c];
      v.csd1 = kBsd1[c];
      v.zd = kBzd1[c];
      v.cfm1 = kBfm1[c];
      v.cfm2 = kBfm2[c];
      v.cfm3 = kBfm3[c];
      v.cfp1 = kBfp1[c];
      v.cfp2 = kBfp2[c];
      v.cfp3 = kBfp3[c];
    }
    if (v.lvar >= 4) {
      v.kdv = v.mdvar;
      v.ws = v.kdv >= 20;
      if (v.ws) v.kdv -= 20;
      v.w1 = v.kdv >= 10;
      if (v.w1) v.kdv -= 10;
      if (v.kdv < 0 || v.kdv > 3) {
        v.kdv = 0;
        prop_.kwx = std::max(prop_.kwx, 2);
      }
    }
    if (v.lvar >= 3) {
      const double q = std::log(0.133 * prop_.wn);
      v.gm = v.cfm1 + v.cfm2 / (sq(v.cfm3 * q) + 1.0);
      v.gp = v.cfp1 + v.cfp2 / (sq(v.cfp3 * q) + 1.0);
    }
    if (v.lvar >= 2) {
      v.dexa = std::sqrt(18e6 * prop_.he[0]) + std::sqrt(18e6 * prop_.he[1]) +
               std::pow(575.7e12 / prop_.wn, kThird);
    }
    if (prop_.dist < v.dexa)
      v.de = 130e3 * prop_.dist / v.dexa;
    else
      v.de = 130e3 + prop_.dist - v.dexa;
    v.vmd = curve(v.cv1, v.cv2, v.yv1, v.yv2, v.yv3, v.de);
    v.sgtm = curve(v.csm1, v.csm2, v.ysm1, v.ysm2, v.ysm3, v.de) * v.gm;
    v.sgtp = curve(v.csp1, v.csp2, v.ysp1, v.ysp2, v.ysp3, v.de) * v.gp;
    v.sgtd = v.sgtp * v.csd1;
    v.tgtd = (v.sgtp - v.sgtd) * v.zd;
    if (v.w1) {
      v.sgl = 0.0;
    } else {
      const double q = (1.0 - 0.8 * std::exp(-prop_.dist / 50e3)) * prop_.dh * prop_.wn;
      v.sgl = 10.0 * q / (q + 13.0);
    }
    if (v.ws)
      v.vs0 = 0.0;
    else
      v.vs0 = sq(5.0 + 3.0 * std::exp(-v.de / 100e3));
    v.lvar = 0;
  }

  double zt = zzt, zl = zzl;
  const double zc = zzc;
  switch (v.kdv) {
    case 0:
      zt = zc;
      zl = zc;
      break;
    case 1:
      zl = zc;
      break;
    case 2:
      zl = zt;
      break;
    default:
      break;
  }
  if (std::fabs(zt) > 3.1 || std::fabs(zl) > 3.1 || std::fabs(zc) > 3.1)
    prop_.kwx = std::max(prop_.kwx, 1);
  double sgt;
  if (zt < 0.0)
    sgt = v.sgtm;
  else if (zt <= v.zd)
    sgt = v.sgtp;
  else
    sgt = v.sgtd + v.tgtd / zt;
  const double vs = v.vs0 + sq(sgt * zt) / (rt + zc * zc) + sq(v.sgl * zl) / (rl + zc * zc);
  double yr;
  if (v.kdv == 0) {
    yr = 0.0;
    v.sgc = std::sqrt(sgt * sgt + v.sgl * v.sgl + vs);
  } else if (v.kdv == 1) {
    yr = sgt * zt;
    v.sgc = std::sqrt(v.sgl * v.sgl + vs);
  } else if (v.kdv == 2) {
    yr = std::sqrt(sgt * sgt + v.sgl * v.sgl) * zt;
    v.sgc = std::sqrt(vs);
  } else {
    yr = sgt * zt + v.sgl * zl;
    v.sgc = std::sqrt(vs);
  }
  double a = prop_.aref - v.vmd - yr - v.sgc * zc;
  if (a < 0.0) a = a * (29.0 - a) / (29.0 - 10.0 * a);
  return a;
}

LRResult clsLRCore::PointToPoint(std::span<const double> pfl, const LRInputs& in) {
  // ---- refuse what the model cannot compute (it would divide by zero,
  // index outside the profile or produce no number)
  if (pfl.size() < 2 || !std::isfinite(pfl[0]))
    return refused("Longley-Rice: the terrain profile is empty.");
  if (pfl[0] < 1.0) return refused("Longley-Rice: the terrain profile has fewer than two points.");
  if (pfl[0] > kLRMaxIntervals)
    return refused("Longley-Rice: the terrain profile has more than 32767 intervals (the model's limit).");
  if (pfl[0] != std::floor(pfl[0]))
    return refused("Longley-Rice: the terrain profile's interval count is not a whole number.");
  const long np = static_cast<long>(pfl[0]);
  if (pfl.size() < static_cast<std::size_t>(np) + 3)
    return refused("Longley-Rice: the terrain profile holds fewer elevations than its interval count.");
  if (!std::isfinite(pfl[1]) || !(pfl[1] > 0.0) || !std::isfinite(pfl[0] * pfl[1]))
    return refused("Longley-Rice: the terrain profile spacing is not greater than 0.");
  for (long i = 0; i <= np; ++i)
    if (!std::isfinite(pfl[i + 2]))
      return refused("Longley-Rice: the terrain profile holds an elevation that is not a number.");
  if (!std::isfinite(in.dTxHeightM) || !std::isfinite(in.dRxHeightM) || in.dTxHeightM < 0.0 ||
      in.dRxHeightM < 0.0)
    return refused("Longley-Rice: an antenna height is negative or not a number.");
  if (!std::isfinite(in.dFreqMHz) || !(in.dFreqMHz > 0.0))
    return refused("Longley-Rice: the frequency is not greater than 0.");
  if (!std::isfinite(in.dSurRefrac) || !std::isfinite(in.dSeaRefrac) || !std::isfinite(in.dRelPermit) ||
      !std::isfinite(in.dConductivity))
    return refused("Longley-Rice: a refractivity or ground constant is not a number.");
  if (!std::isfinite(in.dSitPct) || !std::isfinite(in.dLocPct) || !std::isfinite(in.dTimPct))
    return refused("Longley-Rice: a variability percentage is not a number.");

  // ---- the published point-to-point sequence
  prop_ = PathState{};
  prop_.hg = {in.dTxHeightM, in.dRxHeightM};
  prop_.kwx = 0;
  var_.klim = in.iClimate;
  var_.lvar = 5;
  prop_.mdp = -1;
  const double zc = lr::qerfi(in.dSitPct / 100.0);
  const double zl = lr::qerfi(in.dLocPct / 100.0);
  const double zt = lr::qerfi(in.dTimPct / 100.0);

  double zsys = 0.0;
  double ns = in.dSeaRefrac;
  if (ns <= 0.0) {
    // Mean of array elements ja..jb, counting the first element as 1.
    const long ja = in.eMeanElevRule == LRMeanElevationRule::Truncate
                        ? static_cast<long>(3.0 + 0.1 * pfl[0])
                        : lr::roundHalfEven(3.0 + 0.1 * pfl[0]);
    const long jb = np - ja + 6;
    for (long i = ja - 1; i < jb; ++i) zsys += pfl[i];
    zsys /= static_cast<double>(jb - ja + 1);
    ns = in.dSurRefrac;
  }
  prop_.zsys = zsys;

  // A negative mode of variability would leave the previous path's mode in
  // force; it is taken as an invalid mode instead (default 0, level 2).
  int mdvar = in.iMDVAR;
  const bool badNegativeMode = mdvar < 0;
  if (badNegativeMode) mdvar = 0;

  qlrps(in.dFreqMHz, zsys, ns, in.iPolariz, in.dRelPermit, in.dConductivity);
  if (!(prop_.gme > 0.0) || !std::isfinite(prop_.gme))
    return refused("Longley-Rice: the surface refractivity gives no valid earth curvature.");
  if (std::abs(prop_.zgnd) == 0.0 || !std::isfinite(std::abs(prop_.zgnd)))
    return refused("Longley-Rice: the ground constants give no valid ground impedance.");

  qlrpfl(pfl, 0, mdvar);
  if (!(prop_.he[0] > 0.0) || !(prop_.he[1] > 0.0))
    return refused("Longley-Rice: an effective antenna height is 0.");
  lrpropSetup();
  lrpropDistance();

  LRResult r;
  // mode of propagation
  {
    const double q = prop_.dist - prop_.dla;
    const double s = 0.5 * pfl[1];
    const double rr = lr::dim(q, s) - lr::dim(-q, s);
    if (rr < 0.0) {
      r.sMode1 = "line-of-sight path";
    } else {
      r.sMode1 = rr == 0.0 ? "single-horizon path" : "double-horizon path";
      if (prop_.dist <= prop_.dlsa || prop_.dist <= prop_.dx)
        r.sMode2 = "diffraction";
      else
        r.sMode2 = "tropospheric scatter";
    }
  }
  r.dEarthFactor = kGma / prop_.gme;
  r.dAttenDB = avar(zt, zl, zc);
  if (badNegativeMode) prop_.kwx = std::max(prop_.kwx, 2);
  r.dHeEffM = prop_.he;
  r.dDeltaHM = prop_.dh;
  r.lErrLevel = prop_.kwx;
  if (!allFinite(r)) {
    LRResult bad = refused(
        "Longley-Rice: the model gave no finite result for these inputs (they are far outside its range).");
    bad.sMode1 = r.sMode1;
    bad.sMode2 = r.sMode2;
    return bad;
  }
  r.bOK = true;
  return r;
}

double clsLRCore::VariabilityOnly(const VariabilityPath& p, double zt, double zl, double zc,
                                  std::int32_t& lErrLevel) {
  // Values the step cannot compute with give 0 dB at level 4 rather than a
  // result that is not a number.
  const bool finite = std::isfinite(p.dDistM) && std::isfinite(p.dFreqMHz) &&
                      std::isfinite(p.dHeM[0]) && std::isfinite(p.dHeM[1]) &&
                      std::isfinite(p.dDeltaHM) && std::isfinite(p.dArefDB) && std::isfinite(zt) &&
                      std::isfinite(zl) && std::isfinite(zc);
  if (!finite || !(p.dFreqMHz > 0.0) || p.dDistM < 0.0 || p.dHeM[0] < 0.0 || p.dHeM[1] < 0.0 ||
      p.dDeltaHM < 0.0) {
    lErrLevel = 4;
    return 0.0;
  }
  prop_ = PathState{};
  prop_.dist = p.dDistM;
  prop_.wn = p.dFreqMHz / 47.7;
  prop_.he = p.dHeM;
  prop_.dh = p.dDeltaHM;
  prop_.aref = p.dArefDB;
  var_.klim = p.iClimate;
  var_.mdvar = p.iMDVAR;
  var_.lvar = 5;
  const double a = avar(zt, zl, zc);
  lErrLevel = prop_.kwx;
  return a;
}

double clsLRCore::ReferenceAttenuationAt(double dM) {
  const PathState saved = prop_;
  prop_.dist = dM;
  lrpropDistance();
  const double a = prop_.aref;
  // keep the lazily computed range coefficients, restore the path's values
  const PathState computed = prop_;
  prop_ = saved;
  prop_.dx = computed.dx;
  prop_.aes = computed.aes;
  prop_.ems = computed.ems;
  prop_.ael = computed.ael;
  prop_.ak1 = computed.ak1;
  prop_.ak2 = computed.ak2;
  return a;
}

}  // namespace zw
