#include "coverage/Aggregate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace zw::coverage {
namespace {

// Three transmitters at one point: 60, 54 and 48 dBu (powers 1e6, ~2.512e5,
// ~6.31e4 in (uV/m)^2), 10, 20 and 40 km away; the third carries no value
// in some rows.
std::vector<AggregateSignal> Signals(bool third = true) {
  return {{true, 60, 10, 100}, {true, 54, 20, 100}, {third, 48, 40, 100}};
}

double P(double dbu) { return std::pow(10.0, dbu / 10.0); }
double Db(double p) { return 10.0 * std::log10(p); }
double DelayUs(double km) { return km / kLightKmPerUs; }

// Settings: threshold (dBu), isolation (dB), Max SDS (uSec), additional U isolation (dB).
AggregateSettings Set(std::optional<double> thr = {}, double iso = 0, double sds = 0, double addU = 0) {
  AggregateSettings s;
  s.minThresholdDbu = thr, s.isolationDb = iso, s.maxSdsUs = sds, s.addUIsolationDb = addU;
  return s;
}
AggregateSettings Of(AggregateMethod m) {
  AggregateSettings s;
  s.method = m;
  return s;
}

// Every method against the formula computed directly over the same fields.
TEST(Aggregate, EveryMethodMatchesADirectComputation) {
  // The phasor sum of the three: amplitude 10^(E/20), phase -2 pi f d / c.
  std::complex<double> phasor;
  for (const auto& s : Signals()) {
    const double cycles = s.freqMHz * 1e6 * s.distanceKm * 1e3 / 299792458.0;
    phasor += std::polar(std::pow(10.0, s.fieldDbu / 20.0), -2 * std::numbers::pi * cycles);
  }
  struct Row {
    AggregateMethod m;
    AggregateSettings extra;
    bool third;
    double want;
    int winner;
  };
  const Row rows[] = {
      {AggregateMethod::kMaximum, Set(), true, 60, 0},
      {AggregateMethod::kMinimum, Set(), true, 48, 2},
      {AggregateMethod::kMinimum, Set(), false, 54, 1},
      {AggregateMethod::kAverage, Set(), true, Db((P(60) + P(54) + P(48)) / 3), -1},
      {AggregateMethod::kAverage, Set(), false, Db((P(60) + P(54)) / 2), -1},
      {AggregateMethod::kSum, Set(), true, Db(P(60) + P(54) + P(48)), -1},
      {AggregateMethod::kBestServer, Set(55), true, 60, 0},
      {AggregateMethod::kBestServer, Set(61), true, 60, -1},    // below the threshold
      {AggregateMethod::kBestServer, Set({}, 7), true, 60, -1},         // runner-up within 7 dB
      {AggregateMethod::kVectorSum, Set(), true, 20 * std::log10(std::abs(phasor)), 0},
      {AggregateMethod::kVectorSum, Set({}, 5), true, 60, 0},           // captured: 60 - 54.97 >= 5
      {AggregateMethod::kDelaySpread, Set({}, 0, 50), true, DelayUs(30), 2},  // 40 km vs 10 km
      {AggregateMethod::kDelaySpread, Set(50, 0, 50), true, DelayUs(10), 1},
      {AggregateMethod::kDelaySpread, Set({}, 10, 50), true, DelayUs(10), 1},
      {AggregateMethod::kThresholdCount, Set(54), true, 2, -1},
      {AggregateMethod::kRange, Set(), true, 12, -1},
      {AggregateMethod::kDtoU, Set(), true, 60 - Db(P(54) + P(48)), 1},
      {AggregateMethod::kDtoU, Set({}, 0, 0, 6), false, 60 - (54 - 6), 1},
  };
  for (const Row& r : rows) {
    AggregateSettings s = r.extra;
    s.method = r.m;
    const AggregateCell c = CombinePoint(s, Signals(r.third));
    SCOPED_TRACE(static_cast<int>(r.m));
    ASSERT_TRUE(c.value);
    EXPECT_NEAR(*c.value, r.want, 1e-9);
    EXPECT_EQ(c.winner, r.winner);
  }
}

// No input with a value: no result, whatever the method; the D/U ratio needs
// its desired signal and says 999 dB without any undesired one.
TEST(Aggregate, MissingSignals) {
  const std::vector<AggregateSignal> none{{false, 60, 1, 100}, {false, 50, 1, 100}};
  for (int m = 0; m <= 9; ++m) EXPECT_FALSE(CombinePoint(Of(*AggregateMethodOf(m)), none).value) << m;
  const std::vector<AggregateSignal> noDesired{{false, 60, 1, 100}, {true, 50, 1, 100}};
  EXPECT_FALSE(CombinePoint(Of(AggregateMethod::kDtoU), noDesired).value);
  const std::vector<AggregateSignal> desiredOnly{{true, 60, 1, 100}, {false, 50, 1, 100}};
  EXPECT_EQ(*CombinePoint(Of(AggregateMethod::kDtoU), desiredOnly).value, kNoUndesiredDb);
  EXPECT_FALSE(AggregateMethodOf(10));
  EXPECT_NE(CheckAggregateSettings(Of(AggregateMethod::kThresholdCount)), "");
  EXPECT_NE(CheckAggregateSettings(Of(AggregateMethod::kDelaySpread)), "");
}

}  // namespace
}  // namespace zw::coverage
