// Longley-Rice core: the published helper functions of the model (normal
// deviates, knife-edge and smooth-earth functions, troposcatter functions, the
// least-squares line through a profile and its terrain irregularity).
#include "models/terrain/modPropLR.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zw {

namespace {

// Tables of the troposcatter frequency-gain and attenuation functions.
constexpr double kH0a[5] = {25.0, 80.0, 177.0, 395.0, 705.0};
constexpr double kH0b[5] = {24.0, 45.0, 68.0, 80.0, 105.0};
constexpr double kAhdA[3] = {133.4, 104.6, 71.8};
constexpr double kAhdB[3] = {0.332e-3, 0.212e-3, 0.157e-3};
constexpr double kAhdC[3] = {-4.343, -1.086, 2.171};

using lr::sq;

constexpr double kHuge = std::numeric_limits<double>::max();

// The k-th largest minus the k-th smallest of a (1 <= k <= a.size()), whose
// least and greatest values are lo and hi. The values are counted into
// buckets of equal width between the two (the bucket of a value never
// decreases as the value grows), the buckets holding the two ranks are found
// from the counts, and only their few values are selected among: a terrain
// profile's deviations are too orderly for a plain selection's branches,
// which cost more than the rest of the routine.
double DecileSpread(std::span<const double> a, std::size_t k, double lo, double hi) {
  const std::size_t n = a.size();
  if (n == 0) return 0.0;
  k = std::clamp<std::size_t>(k, 1, n);
  if (!(hi > lo)) return 0.0;  // all equal
  constexpr int kBuckets = 64;
  const double scale = kBuckets / (hi - lo);
  std::array<std::uint8_t, 256> shortList;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
  std::vector<std::uint8_t> longList;
  std::uint8_t* bucketOf = shortList.data();
  if (n > shortList.size()) {
    longList.resize(n);
    bucketOf = longList.data();
  }
  std::size_t i = 0;
  for (; i < n; ++i) {
    const double t = (a[i] - lo) * scale;
    bucketOf[i] = static_cast<std::uint8_t>(t < kBuckets - 1 ? static_cast<int>(t) : kBuckets - 1);  // (NaN: the last)
  }
  // Four tallies: neighbouring values mostly share a bucket, and one tally
  // would make each count wait on the one before.
  std::array<std::array<std::uint32_t, kBuckets>, 4> tally{};  // (a profile's points number far fewer)
  for (i = 0; i + 3 < n; i += 4)
    for (std::size_t t = 0; t < 4; ++t) ++tally[t][bucketOf[i + t]];
  for (; i < n; ++i) ++tally[0][bucketOf[i]];
  std::array<std::size_t, kBuckets> count{};
  for (std::size_t b = 0; b < kBuckets; ++b)
    count[b] = tally[0][b] + tally[1][b] + tally[2][b] + tally[3][b];
  // The bucket of rank `rank` (0 = least) and the rank within it.
  const auto locate = [&](std::size_t rank, std::size_t& within) {
    std::uint8_t b = 0;
    while (rank >= count[b]) rank -= count[b++];
    within = rank;
    return b;
  };
  std::size_t rLo = 0, rHi = 0;
  const std::uint8_t bLo = locate(k - 1, rLo), bHi = locate(n - k, rHi);
  // Both buckets' values in one pass without a branch per value: each value
  // is written to both lists and kept where its bucket matches.
  std::array<double, 256> fewLo, fewHi;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
  std::vector<double> manyLo, manyHi;
  double* inLo = fewLo.data();
  double* inHi = fewHi.data();
  if (n > fewLo.size()) {
    manyLo.resize(n);
    manyHi.resize(n);
    inLo = manyLo.data();
    inHi = manyHi.data();
  }
  std::size_t mLo = 0, mHi = 0;
  const auto keep = [&](std::size_t at) {
    inLo[mLo] = a[at];
    inHi[mHi] = a[at];
    mLo += bucketOf[at] == bLo ? 1 : 0;
    mHi += bucketOf[at] == bHi ? 1 : 0;
  };
  i = 0;
#if defined(__SSE2__)
  // Sixteen buckets are compared at once, and only the values of matching
  // ones are looked at: the two buckets hold few of the values.
  const __m128i wantLo = _mm_set1_epi8(static_cast<char>(bLo)), wantHi = _mm_set1_epi8(static_cast<char>(bHi));
  for (; i + 16 <= n; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bucketOf + i));
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(b, wantLo), _mm_cmpeq_epi8(b, wantHi))));
    for (; hits != 0; hits &= hits - 1) keep(i + static_cast<std::size_t>(std::countr_zero(hits)));
  }
#endif
  for (; i < n; ++i) keep(i);
  std::nth_element(inLo, inLo + rLo, inLo + mLo);
  std::nth_element(inHi, inHi + rHi, inHi + mHi);
  return inHi[rHi] - inLo[rLo];
}

}  // namespace

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
  // The sums over points ja + 1 .. ja + n - 1, in two halves (even and odd
  // steps) so that each addition need not wait on the one before.
  double a1 = 0.0, b1 = 0.0;
  const double* zi = z.data() + ja + 3;
  long i = 0;
  for (; i + 1 < n - 1; i += 2) {
    const double xi0 = x + static_cast<double>(i + 1), xi1 = x + static_cast<double>(i + 2);
    a += zi[i];
    b += zi[i] * xi0;
    a1 += zi[i + 1];
    b1 += zi[i + 1] * xi1;
  }
  if (i < n - 1) {
    a += zi[i];
    b += zi[i] * (x + static_cast<double>(i + 1));
  }
  a += a1;
  b += b1;
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
  const long k0 = static_cast<long>(xa + 1.0);
  xa -= static_cast<double>(k0);
  // Point j lies xa + j xb intervals past point k0 (the published loop
  // carries that sum from point to point; here each point is placed on its
  // own, so that no point waits on the one before).
  long j = 0;
#if defined(__SSE2__)
  // Two points at a time, one a lane, while both lie within the profile:
  // each lane does the operations below in the same order, so the numbers
  // are the same.
  if (xa + static_cast<double>(n) * xb < 1e9) {  // (whole numbers in 32 bits)
    const __m128d vxa = _mm_set1_pd(xa), vxb = _mm_set1_pd(xb), one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0);
    for (__m128d jj = _mm_set_pd(1.0, 0.0); j + 1 < n; j += 2, jj = _mm_add_pd(jj, two)) {
      const __m128d p = _mm_add_pd(vxa, _mm_mul_pd(jj, vxb));
      __m128d m = _mm_cvtepi32_pd(_mm_cvttpd_epi32(p));
      m = _mm_add_pd(m, _mm_and_pd(_mm_cmpgt_pd(p, m), one));
      const __m128i mi = _mm_cvttpd_epi32(m);
      const long ka = k0 + _mm_cvtsi128_si32(mi), kb = k0 + _mm_cvtsi128_si32(_mm_shuffle_epi32(mi, 1));
      if (kb > np) break;
      const __m128d hi = _mm_set_pd(pfl[kb + 2], pfl[ka + 2]), lo = _mm_set_pd(pfl[kb + 1], pfl[ka + 1]);
      _mm_storeu_pd(&s[j + 2], _mm_add_pd(hi, _mm_mul_pd(_mm_sub_pd(hi, lo), _mm_sub_pd(p, m))));
    }
  }
#endif
  for (; j < n; ++j) {
    const double p = xa + static_cast<double>(j) * xb;
    long m = static_cast<long>(p);
    m += p > static_cast<double>(m) ? 1 : 0;  // the first point at or beyond p
    long k = k0 + m;
    double f = p - static_cast<double>(m);
    if (k > np) {  // beyond the last point: extended from the last interval
      f += static_cast<double>(k - np);
      k = np;
    }
    s[j + 2] = pfl[k + 2] + (pfl[k + 2] - pfl[k + 1]) * f;
  }
  z1sq1(s, 0.0, sn, xa, xb);
  xb = (xb - xa) / sn;
  // The deviations from that line, and their extremes (two of each, so that
  // neither chain waits on the other).
  double lo0 = kHuge, hi0 = -kHuge, lo1 = kHuge, hi1 = -kHuge;
  j = 0;
#if defined(__SSE2__)
  {  // the same, the two chains in the two lanes
    const __m128d vxa = _mm_set1_pd(xa), vxb = _mm_set1_pd(xb), two = _mm_set1_pd(2.0);
    __m128d lo = _mm_set1_pd(kHuge), hi = _mm_set1_pd(-kHuge);
    for (__m128d jj = _mm_set_pd(1.0, 0.0); j + 1 < n; j += 2, jj = _mm_add_pd(jj, two)) {
      const __m128d d = _mm_sub_pd(_mm_loadu_pd(&s[j + 2]), _mm_add_pd(vxa, _mm_mul_pd(jj, vxb)));
      _mm_storeu_pd(&s[j + 2], d);
      lo = _mm_min_pd(d, lo);  // d < lo ? d : lo, as std::min(lo, d)
      hi = _mm_max_pd(d, hi);  // d > hi ? d : hi, as std::max(hi, d)
    }
    lo0 = _mm_cvtsd_f64(lo);
    lo1 = _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo));
    hi0 = _mm_cvtsd_f64(hi);
    hi1 = _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi));
  }
#else
  for (; j + 1 < n; j += 2) {
    const double d0 = s[j + 2] - (xa + static_cast<double>(j) * xb);
    const double d1 = s[j + 3] - (xa + static_cast<double>(j + 1) * xb);
    s[j + 2] = d0;
    s[j + 3] = d1;
    lo0 = std::min(lo0, d0);
    hi0 = std::max(hi0, d0);
    lo1 = std::min(lo1, d1);
    hi1 = std::max(hi1, d1);
  }
#endif
  if (j < n) {
    s[j + 2] -= xa + static_cast<double>(j) * xb;
    lo0 = std::min(lo0, s[j + 2]);
    hi0 = std::max(hi0, s[j + 2]);
  }
  // The published routine's quantiles: the elements at ka - 1 and kb - 1 =
  // n - ka of the deviations in decreasing order, that is the ka-th largest
  // and the ka-th smallest.
  double v = DecileSpread(std::span<const double>(s).subspan(2, static_cast<std::size_t>(n)),
                          static_cast<std::size_t>(ka), std::min(lo0, lo1), std::max(hi0, hi1));
  v /= 1.0 - 0.8 * std::exp(-(x2 - x1) / 50e3);
  return v;
}

}  // namespace lr

}  // namespace zw
