#pragma once
// Small numeric routines shared by the propagation models, the free-space and
// antenna-gain code and the coverage geometry: minimum and maximum over up to
// ten values, guarded base-10 logarithms, array bounds, the quadrant-correct
// arc tangent, positive difference, truncation and bit setting.
//
// Everything here is stateless and allocation-free (the area studies call it
// for every point); only the logarithms report through the error log.
// Floating-point faults are not trapped: NaN and infinities propagate.
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <type_traits>

namespace zw {

inline constexpr double kPi = 3.14159265;                    // the models' value of pi
inline constexpr double kDegPerRad = 57.29577957855229;      // 180 / kPi
inline constexpr double kDegToRad = 0.0174532925;            // the suite's degree-to-radian factor

// Kilometres per degree of latitude and of longitude at a latitude in degrees
// (the series the tile studies have always used).
inline double KmPerDegLat(double latDeg) {
  const double p = latDeg * kDegToRad;
  return 111.13209 - 0.56605 * std::cos(2 * p) + 0.0012 * std::cos(4 * p);
}
inline double KmPerDegLon(double latDeg) {
  const double p = latDeg * kDegToRad;
  return 111.41513 * std::cos(p) - 0.09455 * std::cos(3 * p) + 0.00012 * std::cos(5 * p);
}

namespace detail {

template <typename T, typename A>
constexpr void MinStep(T& r, const A& v) {
  if constexpr (std::is_same_v<std::decay_t<A>, std::nullopt_t>) {
    (void)r;
  } else if constexpr (requires { v.has_value(); }) {
    if (v.has_value() && static_cast<T>(*v) < r) r = static_cast<T>(*v);
  } else {
    if (static_cast<T>(v) < r) r = static_cast<T>(v);
  }
}

template <typename T, typename A>
constexpr void MaxStep(T& r, const A& v) {
  if constexpr (std::is_same_v<std::decay_t<A>, std::nullopt_t>) {
    (void)r;
  } else if constexpr (requires { v.has_value(); }) {
    if (v.has_value() && static_cast<T>(*v) > r) r = static_cast<T>(*v);
  } else {
    if (static_cast<T>(v) > r) r = static_cast<T>(v);
  }
}

template <typename T, typename... More>
constexpr T MinOf(T a, T b, const More&... more) {
  static_assert(sizeof...(More) <= 8, "at most ten values");
  T r = (b < a) ? b : a;
  (MinStep(r, more), ...);
  return r;
}

template <typename T, typename... More>
constexpr T MaxOf(T a, T b, const More&... more) {
  static_assert(sizeof...(More) <= 8, "at most ten values");
  T r = (b > a) ? b : a;
  (MaxStep(r, more), ...);
  return r;
}

}  // namespace detail

// Minimum / maximum of two required values and up to eight optional ones.
// An optional value may be passed as std::optional (std::nullopt is skipped).
// The result starts as the smaller (larger) of the two required values and is
// replaced only by a strictly smaller (larger) optional value.
template <typename... More>
constexpr std::int16_t iMin(std::int16_t a, std::int16_t b, const More&... more) {
  return detail::MinOf<std::int16_t>(a, b, more...);
}
template <typename... More>
constexpr std::int16_t iMax(std::int16_t a, std::int16_t b, const More&... more) {
  return detail::MaxOf<std::int16_t>(a, b, more...);
}
template <typename... More>
constexpr double dMin(double a, double b, const More&... more) {
  return detail::MinOf<double>(a, b, more...);
}
template <typename... More>
constexpr double dMax(double a, double b, const More&... more) {
  return detail::MaxOf<double>(a, b, more...);
}
template <typename... More>
constexpr float rMin(float a, float b, const More&... more) {
  return detail::MinOf<float>(a, b, more...);
}
template <typename... More>
constexpr float rMax(float a, float b, const More&... more) {
  return detail::MaxOf<float>(a, b, more...);
}

// Guarded base-10 logarithm: log10(x) for x > 0. Any other x (0,
// negative, NaN) is reported ("Log 0 error in ..." in a "Math Error" message,
// shown once per process, and a record in the technical-support log with the
// innermost traced procedure) and gives 1.0.
double dLog10(double x);
float rLog10(float x);

// Upper / lower bound of dimension dim (1-based) of an array (a vector or any
// sized container, nested for more dimensions; inner dimensions are those of
// the first element). An empty array or a dimension that does not exist gives
// def. Indexes start at 0.
template <typename A>
constexpr long UBound(const A& a, int dim = 1, long def = 0) {
  if (dim < 1 || std::size(a) == 0) return def;
  if (dim == 1) return static_cast<long>(std::size(a)) - 1;
  if constexpr (requires { std::size(*std::begin(a)); }) {
    return UBound(*std::begin(a), dim - 1, def);
  } else {
    return def;
  }
}
template <typename A>
constexpr long LBound(const A& a, int dim = 1, long def = 0) {
  if (dim < 1 || std::size(a) == 0) return def;
  if (dim == 1) return 0;
  if constexpr (requires { std::size(*std::begin(a)); }) {
    return LBound(*std::begin(a), dim - 1, def);
  } else {
    return def;
  }
}

// Quadrant-correct arc tangent of y / x in radians (pi taken as kPi); 0 when
// both are below 1e-13 in size, +-kPi/2 when only x is.
inline double dAtan2(double y, double x) {
  if (std::fabs(x) < 1e-13) {
    if (std::fabs(y) < 1e-13) return 0.0;
    return y < 0 ? -kPi / 2.0 : kPi / 2.0;
  }
  double r = std::atan(y / x);
  if (x < 0) r += (y >= 0) ? kPi : -kPi;
  return r;
}

// dAtan2 in degrees (times kDegPerRad: atan2(1, 1) is 45.0000000514).
inline double dAtan2Deg(double y, double x) { return dAtan2(y, x) * kDegPerRad; }

// Positive difference: a - b when that is above 0, else 0.
constexpr double dDim(double a, double b) { return (a - b > 0) ? a - b : 0.0; }

// Integer part toward zero, as a double.
inline double dTrunc(double x) { return std::trunc(x); }

// Sets bit n (0..30) of a 32-bit word; any other n leaves the word unchanged.
constexpr std::int32_t lSetBit(std::int32_t word, int n) {
  if (n < 0 || n > 30) return word;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | (std::uint32_t{1} << n));
}

}  // namespace zw
