// Longley-Rice core: numeric helpers, profile checks, range boundaries,
// mode texts, error levels, variability modes and bad input.
#include "models/terrain/modPropLR.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/clsQXAreaCovLR.h"
#include "models/terrain/modLRModeText.h"

namespace zw {
namespace {

std::vector<double> FlatProfile(int np, double lengthM, double elev = 0.0) {
  std::vector<double> p{static_cast<double>(np), lengthM / np};
  for (int i = 0; i <= np; ++i) p.push_back(elev);
  return p;
}

// Gently rolling terrain with a ridge, reproducible.
std::vector<double> HillyProfile(int np, double lengthM) {
  std::vector<double> p{static_cast<double>(np), lengthM / np};
  for (int i = 0; i <= np; ++i) {
    const double x = static_cast<double>(i) / np;
    p.push_back(200.0 + 60.0 * std::sin(9.0 * x) + 35.0 * std::sin(31.0 * x + 1.0) +
                250.0 * std::exp(-std::pow((x - 0.45) / 0.05, 2)));
  }
  return p;
}

LRInputs Inputs(double fMHz, double txM, double rxM) {
  return {.dTxHeightM = txM, .dRxHeightM = rxM, .dFreqMHz = fMHz};
}

// ---------------------------------------------------------------- helpers

TEST(LRHelpers, QerfiAndAttenuationFunctionsAtTheirBranchPoints) {
  // Known standard normal quantiles; the approximation is good to 4.5e-4.
  const double quantile[][2] = {{0.5, 0.0}, {0.1, 1.281552}, {0.9, -1.281552}, {0.01, 2.326348}, {0.001, 3.090232}};
  for (const auto& [q, z] : quantile) EXPECT_NEAR(lr::qerfi(q), z, 4.5e-4) << q;
  EXPECT_DOUBLE_EQ(lr::qerfi(0.25), -lr::qerfi(0.75));
  // The tail argument is bounded below by 1e-6.
  EXPECT_DOUBLE_EQ(lr::qerfi(0.0), lr::qerfi(1e-6));
  EXPECT_DOUBLE_EQ(lr::qerfi(1.0), -lr::qerfi(1e-6));
  EXPECT_NEAR(lr::qerfi(1e-6), 4.753424, 1e-3);
  EXPECT_DOUBLE_EQ(lr::aknfe(0.0), 6.02);
  EXPECT_NEAR(lr::aknfe(5.76 - 1e-12), 6.02 + 9.11 * 2.4 - 1.27 * 5.76, 1e-9);
  EXPECT_NEAR(lr::aknfe(5.76), 12.953 + 4.343 * std::log(5.76), 1e-12);
  EXPECT_NEAR(lr::aknfe(5.76 - 1e-12), lr::aknfe(5.76), 0.02);  // nearly continuous
  // scatter attenuation function: three ranges
  EXPECT_NEAR(lr::ahd(10e3), 133.4 + 3.32 - 4.343 * std::log(10e3), 1e-9);
  EXPECT_NEAR(lr::ahd(10e3 + 1e-6), lr::ahd(10e3), 0.01);
  EXPECT_NEAR(lr::ahd(70e3), 104.6 + 14.84 - 1.086 * std::log(70e3), 1e-9);
  EXPECT_NEAR(lr::ahd(70e3 + 1e-6), 71.8 + 10.99 + 2.171 * std::log(70e3), 1e-6);
  EXPECT_NEAR(lr::ahd(100e3), 71.8 + 15.7 + 2.171 * std::log(100e3), 1e-9);
  // frequency-gain function: integer et uses one table row, between rows blends
  const double x = 1.0 / (2.0 * 2.0);
  EXPECT_NEAR(lr::h0f(2.0, 1.0), 4.343 * std::log((25.0 * x + 24.0) * x + 1.0), 1e-12);
  EXPECT_NEAR(lr::h0f(2.0, 7.0), 4.343 * std::log((705.0 * x + 105.0) * x + 1.0), 1e-12);
  EXPECT_NEAR(lr::h0f(2.0, 2.5), 0.5 * lr::h0f(2.0, 2.0) + 0.5 * lr::h0f(2.0, 3.0), 1e-12);
  // height-gain function
  EXPECT_DOUBLE_EQ(lr::fht(0.5, 1e-6), -117.0);
  EXPECT_NEAR(lr::fht(10.0, 0.1), 2.5e-5 * 100.0 / 0.1 + 8.686 * std::log(0.1) - 15.0, 1e-12);
  EXPECT_NEAR(lr::fht(3000.0, 0.1), 0.05751 * 3000.0 - 4.343 * std::log(3000.0), 1e-12);
}

// The terrain irregularity, read plainly: the sub-samples placed one by
// one, the line fitted, and the two deciles of the deviations from a sort.
// The routine's faster reading (sub-samples and deviations two at a time,
// selection among few values) must give the same number, to the bit.
double PlainIrregularity(const std::vector<double>& pfl, double x1, double x2) {
  const auto np = static_cast<long>(pfl[0]);
  double xa = x1 / pfl[1], xb = x2 / pfl[1];
  if (xb - xa < 2.0) return 0.0;
  const long ka = std::clamp(static_cast<long>(0.1 * (xb - xa + 8.0)), 4L, 25L), n = 10 * ka - 5;
  std::vector<double> s{static_cast<double>(n - 1), 1.0};
  xb = (xb - xa) / static_cast<double>(n - 1);
  const auto k0 = static_cast<long>(xa + 1.0);
  xa -= static_cast<double>(k0);
  for (long j = 0; j < n; ++j) {
    const double p = xa + static_cast<double>(j) * xb;
    const long m = static_cast<long>(std::ceil(p));  // p > -1
    long k = k0 + m;
    double f = p - static_cast<double>(m);
    if (k > np) {
      f += static_cast<double>(k - np);
      k = np;
    }
    s.push_back(pfl[k + 2] + (pfl[k + 2] - pfl[k + 1]) * f);
  }
  double z0 = 0.0, zn = 0.0;
  lr::z1sq1(s, 0.0, static_cast<double>(n - 1), z0, zn);
  std::vector<double> dev;
  for (long j = 0; j < n; ++j) dev.push_back(s[j + 2] - (z0 + static_cast<double>(j) * ((zn - z0) / (n - 1))));
  std::sort(dev.begin(), dev.end());
  return (dev[n - ka] - dev[ka - 1]) / (1.0 - 0.8 * std::exp(-(x2 - x1) / 50e3));
}

TEST(LRHelpers, TerrainIrregularityIsThePlainReading) {
  std::uint32_t seed = 12345;
  const auto noise = [&] { return static_cast<double>((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0 - 0.5; };
  const std::function<double(int)> terrain[] = {
      [&](int) { return 40.0 * noise(); },                         // rough
      [](int i) { return 25.0 * ((i / 17) % 3); },                 // plateaus: many equal deviations
      [](int) { return 100.0; },                                   // flat: all deviations equal
      [&](int i) { return std::round(30.0 * std::sin(0.05 * i) + 8.0 * noise()); },  // whole metres
  };
  for (const auto& height : terrain)
    for (int np : {3, 20, 37, 120, 250, 444, 2000}) {
      std::vector<double> pfl{static_cast<double>(np), 90.0};
      for (int i = 0; i <= np; ++i) pfl.push_back(300.0 + height(i));
      const double dist = np * 90.0;
      // the whole path, the usual horizon-trimmed span, and spans that reach
      // to (and past) the last point, where sub-samples extend the last interval
      for (auto [x1, x2] : {std::pair{0.0, dist}, {150.0, dist - 400.0}, {0.37 * dist, dist}, {10.0, dist + 45.0}})
        EXPECT_EQ(lr::d1thx(pfl, x1, x2), PlainIrregularity(pfl, x1, x2)) << np << " " << x1 << " " << x2;
    }
}

// ---------------------------------------------------------------- profile builder

TEST(LRProfile, RefusesBadProfiles) {
  std::vector<double> pfl;
  std::string err;
  std::vector<double> d1{0.0};
  std::vector<float> e1{1.0f};
  EXPECT_FALSE(LRBuildProfile(0, d1, e1, pfl, err));
  EXPECT_NE(err.find("fewer than two points"), std::string::npos);
  std::vector<double> d2{0.0, 0.0, 1.0};
  std::vector<float> e2{1.0f, 1.0f, 1.0f};
  EXPECT_FALSE(LRBuildProfile(2, d2, e2, pfl, err));  // zero spacing
  std::vector<double> d3{0.0, 1.0, 2.0};
  std::vector<float> e3{1.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f};
  EXPECT_FALSE(LRBuildProfile(2, d3, e3, pfl, err));
  e3[1] = -std::numeric_limits<float>::infinity();
  EXPECT_FALSE(LRBuildProfile(2, d3, e3, pfl, err));
  EXPECT_FALSE(LRBuildProfile(5, d3, e2, pfl, err));  // arrays too short
  std::vector<double> dBig(32769);
  std::vector<float> eBig(32769, 0.0f);
  for (std::size_t i = 0; i < dBig.size(); ++i) dBig[i] = 10.0 * static_cast<double>(i);
  EXPECT_FALSE(LRBuildProfile(32768, dBig, eBig, pfl, err));
  EXPECT_NE(err.find("32767"), std::string::npos);
  EXPECT_TRUE(pfl.empty());
  EXPECT_TRUE(LRBuildProfile(32767, dBig, eBig, pfl, err));
}

// ---------------------------------------------------------------- the path

TEST(LRCore, RangeBoundariesAreContinuous) {
  for (double f : {50.0, 400.0, 3000.0}) {
    clsLRCore c;
    ASSERT_TRUE(c.PointToPoint(HillyProfile(300, 80e3), Inputs(f, 30.0, 10.0)).bOK);
    const auto& s = c.State();
    const double aref0 = s.aref;
    const int kwx0 = s.kwx;
    const double dlsa = s.dlsa;
    const double below = c.ReferenceAttenuationAt(dlsa * (1.0 - 1e-9));
    const double above = c.ReferenceAttenuationAt(dlsa * (1.0 + 1e-9));
    EXPECT_NEAR(below, above, 1e-4) << f;
    const double dx = c.State().dx;
    ASSERT_GT(dx, 0.0);
    if (dx < 5e6) {
      EXPECT_NEAR(c.ReferenceAttenuationAt(dx * (1.0 - 1e-9)), c.ReferenceAttenuationAt(dx * (1.0 + 1e-9)),
                  1e-4)
          << f;
    }
    // The path's own values are left as they were.
    EXPECT_DOUBLE_EQ(c.State().aref, aref0) << f;
    EXPECT_DOUBLE_EQ(c.State().dist, 80e3) << f;
    EXPECT_EQ(c.State().kwx, kwx0) << f;
  }
}

TEST(LRCore, ModeTexts) {
  clsLRCore c;
  // One sharp peak in the middle: both horizons lie on it.
  std::vector<double> peak = FlatProfile(100, 20e3);
  peak[2 + 50] = 300.0;
  LRResult r = c.PointToPoint(peak, Inputs(300.0, 10.0, 10.0));
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(r.sMode1, "single-horizon path");
  EXPECT_EQ(r.sMode2, "diffraction");
  // Two peaks: the horizons are different points.
  std::vector<double> two = FlatProfile(100, 20e3);
  two[2 + 30] = 300.0;
  two[2 + 70] = 300.0;
  r = c.PointToPoint(two, Inputs(300.0, 10.0, 10.0));
  EXPECT_EQ(r.sMode1, "double-horizon path");
  EXPECT_EQ(r.sMode2, "diffraction");
  // Far beyond the horizons: troposcatter.
  r = c.PointToPoint(FlatProfile(600, 300e3), Inputs(1000.0, 50.0, 10.0));
  EXPECT_EQ(r.sMode1, "double-horizon path");
  EXPECT_EQ(r.sMode2, "tropospheric scatter");
  EXPECT_GT(c.State().dist, c.State().dx);
}

TEST(LRCore, MeanElevationRuleFixedRefractivityAndErrorLevels) {
  // Distinct elevations so that every choice of the averaged range differs.
  auto ramp = [](int np) {
    std::vector<double> p{static_cast<double>(np), 500.0};
    for (int i = 0; i <= np; ++i) p.push_back(100.0 * i + 7.0 * i * i);
    return p;
  };
  auto meanOf = [](const std::vector<double>& p, int ja, int jb) {  // 1-based elements
    double s = 0.0;
    for (int i = ja; i <= jb; ++i) s += p[i - 1];
    return s / (jb - ja + 1);
  };
  const LRInputs in{.dTxHeightM = 20.0, .dRxHeightM = 20.0, .dFreqMHz = 200.0, .dSeaRefrac = 0.0};
  clsLRCore c;
  // {np, ja, jb}: ja 4.6 rounded, 4.5, 6.5 and 5.5 to even.
  const int ranges[][3] = {{16, 5, 17}, {15, 4, 17}, {35, 6, 35}, {25, 6, 25}};
  for (const auto& [np, ja, jb] : ranges) {
    const auto p = ramp(np);
    EXPECT_TRUE(c.PointToPoint(p, in).bOK) << np;
    EXPECT_DOUBLE_EQ(c.State().zsys, meanOf(p, ja, jb)) << np;
  }
  EXPECT_DOUBLE_EQ(c.State().ens, 301.0 * std::exp(-c.State().zsys / 9460.0));
  clsLRCore c2;
  LRInputs in2{.dTxHeightM = 20.0, .dRxHeightM = 20.0, .dFreqMHz = 200.0, .dSurRefrac = 330.0, .dSeaRefrac = 301.0};
  const auto high = FlatProfile(100, 20e3, 2000.0);
  ASSERT_TRUE(c2.PointToPoint(high, in2).bOK);
  EXPECT_DOUBLE_EQ(c2.State().ens, 301.0);
  EXPECT_DOUBLE_EQ(c2.State().zsys, 0.0);
  in2.dSeaRefrac = 0.0;  // now the surface value, reduced by the mean elevation
  c2.PointToPoint(high, in2);
  EXPECT_DOUBLE_EQ(c2.State().ens, 330.0 * std::exp(-2000.0 / 9460.0));
  // A profile at sea level is not reduced.
  c2.PointToPoint(FlatProfile(100, 20e3, 0.0), in2);
  EXPECT_DOUBLE_EQ(c2.State().ens, 330.0);
  // The error level of a path (0 good ... 4 far outside the model), and a
  // path still computed at level 4 when it can be.
  const auto hilly = HillyProfile(200, 40e3), flat = FlatProfile(200, 30e3);
  struct Row {
    const char* what;
    std::vector<double> pfl;
    double f, tx, rx;
    int level;  // negative: at least -level
    std::function<void(LRInputs&)> more = [](LRInputs&) {};
  };
  const Row rows[] = {
      {"good", flat, 300, 30, 10, 0},
      {"30 MHz", hilly, 30, 30, 10, -1},
      {"10 MHz", hilly, 10, 30, 10, 4},
      {"25 GHz", hilly, 25000, 30, 10, 4},
      {"0.1 m", hilly, 300, 30, 0.1, 4},
      {"0.8 m", flat, 300, 30, 0.8, 1},
      {"1500 m", flat, 300, 1500, 10, 1},
      {"500 m path", FlatProfile(10, 500.0), 300, 30, 10, 4},
      {"refractivity 200", flat, 300, 30, 10, 4, [](auto& in2) { in2.dSeaRefrac = 200.0; }},
      {"permittivity 0.5", flat, 300, 30, 10, 4, [](auto& in2) { in2.dRelPermit = 0.5, in2.dConductivity = 0.0; }},
      {"1200 km", FlatProfile(1000, 1200e3), 300, 30, 10, -1},
      {"time 0.05 %", flat, 300, 30, 10, -1, [](auto& in2) { in2.dTimPct = 0.05; }},
      {"good again: reset every call", flat, 300, 30, 10, 0},
  };
  clsLRCore c3;
  for (const Row& w : rows) {
    LRInputs in2 = Inputs(w.f, w.tx, w.rx);
    w.more(in2);
    const LRResult r = c3.PointToPoint(w.pfl, in2);
    if (w.level >= 0) {
      EXPECT_EQ(r.lErrLevel, w.level) << w.what;
    } else {
      EXPECT_GE(r.lErrLevel, -w.level) << w.what;
    }
    if (w.level == 4 && w.pfl.size() < 100) {
      EXPECT_TRUE(r.bOK) << w.what;
      EXPECT_TRUE(std::isfinite(r.dAttenDB));
    }
  }
  EXPECT_TRUE(c3.PointToPoint(hilly, Inputs(300.0, 30.0, 0.1)).bOK);
}

TEST(LRCore, ClimateAndModeDefaultsAndVariabilityModes) {
  clsLRCore c;
  const auto p = HillyProfile(200, 60e3);
  LRInputs in{.dTxHeightM = 30.0, .dRxHeightM = 10.0, .dFreqMHz = 300.0, .iClimate = 5, .dSitPct = 70.0,
              .dLocPct = 80.0, .dTimPct = 90.0};
  const LRResult r5 = c.PointToPoint(p, in);
  for (std::int16_t bad : {0, 8, -3}) {
    in.iClimate = bad;
    const LRResult r = c.PointToPoint(p, in);
    EXPECT_EQ(r.lErrLevel, std::max(r5.lErrLevel, 2)) << bad;
    EXPECT_DOUBLE_EQ(r.dAttenDB, r5.dAttenDB) << bad;
  }
  in.iClimate = 5;
  in.iMDVAR = 0;
  const LRResult m0 = c.PointToPoint(p, in);
  for (std::int16_t bad : {5, 41, -1}) {
    in.iMDVAR = bad;
    const LRResult r = c.PointToPoint(p, in);
    EXPECT_EQ(r.lErrLevel, std::max(m0.lErrLevel, 2)) << bad;
    if (bad != 41) {
      EXPECT_DOUBLE_EQ(r.dAttenDB, m0.dAttenDB) << bad;
    }
  }
  // 41 takes off 20 and 10 as well: single message with neither location
  // nor direct situation variability, so it differs from plain 0.
  in.iMDVAR = 41;
  const double a41 = c.PointToPoint(p, in).dAttenDB;
  in.iMDVAR = 30;
  EXPECT_DOUBLE_EQ(c.PointToPoint(p, in).dAttenDB, a41);
  clsLRCore c2;
  const auto p2 = HillyProfile(300, 70e3);
  LRInputs in2 = Inputs(500.0, 40.0, 10.0);
  auto at = [&](std::int16_t md, double t, double l, double s) {
    in2.iMDVAR = md;
    in2.dTimPct = t;
    in2.dLocPct = l;
    in2.dSitPct = s;
    return c2.PointToPoint(p2, in2).dAttenDB;
  };
  // All at 50 %: the median, the same in2 every mode.
  const double med = at(3, 50, 50, 50);
  for (std::int16_t md : {0, 1, 2, 13, 23, 33}) EXPECT_NEAR(at(md, 50, 50, 50), med, 0.02) << md;
  // More time (or location) reliability means more loss.
  EXPECT_GT(at(3, 90, 50, 50), med);
  EXPECT_LT(at(3, 10, 50, 50), med);
  EXPECT_GT(at(3, 50, 90, 50), med);
  EXPECT_GT(at(3, 50, 50, 90), med);
  // Removing location variability (+10) makes the location percentage irrelevant.
  EXPECT_DOUBLE_EQ(at(13, 50, 90, 50), at(13, 50, 10, 50));
  // Removing direct situation variability (+20) narrows the confidence spread.
  EXPECT_LT(at(23, 50, 50, 90) - at(23, 50, 50, 10), at(3, 50, 50, 90) - at(3, 50, 50, 10));
  // 33 removes both.
  EXPECT_DOUBLE_EQ(at(33, 70, 95, 60), at(33, 70, 5, 60));
  EXPECT_LT(at(33, 70, 50, 90) - at(33, 70, 50, 10), at(13, 70, 50, 90) - at(13, 70, 50, 10));
  // Single message (0) uses the situation deviate for all three.
  EXPECT_DOUBLE_EQ(at(0, 10, 20, 80), at(0, 90, 60, 80));
  // Mobile (2): location follows time.
  EXPECT_DOUBLE_EQ(at(2, 80, 10, 50), at(2, 80, 90, 50));
}

TEST(LRCore, RefusesBadInputWithoutNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto flat = FlatProfile(100, 20e3);
  struct Row {
    const char* what;
    std::vector<double> pfl;
    std::function<void(LRInputs&)> spoil;
  };
  const auto same = [](LRInputs&) {};
  const Row rows[] = {
      {"empty", {}, same},
      {"one point", {0.0, 100.0, 5.0}, same},
      {"short array", {3.0, 100.0, 1.0, 2.0}, same},
      {"zero spacing", {2.0, 0.0, 1.0, 2.0, 3.0}, same},
      {"negative spacing", {2.0, -5.0, 1.0, 2.0, 3.0}, same},
      {"fractional count", {2.5, 100.0, 1.0, 2.0, 3.0, 4.0}, same},
      {"NaN elevation", {2.0, 100.0, 1.0, nan, 3.0}, same},
      {"NaN count", {nan, 100.0, 1.0, 2.0, 3.0}, same},
      {"32768 intervals", FlatProfile(32768, 327680.0), same},
      {"zero frequency", flat, [](auto& in) { in.dFreqMHz = 0.0; }},
      {"NaN height", flat, [=](auto& in) { in.dTxHeightM = nan; }},
      {"negative height", flat, [](auto& in) { in.dRxHeightM = -1.0; }},
      {"zero height", flat, [](auto& in) { in.dRxHeightM = 0.0; }},  // flat ground: effective height 0 too
      {"NaN percentage", flat, [=](auto& in) { in.dTimPct = nan; }},
      {"vacuum ground", flat, [](auto& in) { in.dRelPermit = 1.0, in.dConductivity = 0.0; }},
      {"refractivity 600", flat, [](auto& in) { in.dSeaRefrac = 600.0; }},  // no positive earth curvature
  };
  clsLRCore c;
  for (const Row& w : rows) {
    LRInputs in = Inputs(300.0, 30.0, 10.0);
    w.spoil(in);
    const LRResult r = c.PointToPoint(w.pfl, in);
    EXPECT_FALSE(r.bOK) << w.what;
    EXPECT_FALSE(r.sError.empty()) << w.what;
    EXPECT_EQ(r.lErrLevel, 4) << w.what;
    EXPECT_TRUE(std::isfinite(r.dAttenDB)) << w.what;
  }
  // The largest profile the model takes is computed; two points are enough.
  EXPECT_TRUE(c.PointToPoint(FlatProfile(32767, 327670.0), Inputs(300.0, 30.0, 10.0)).bOK);
  EXPECT_TRUE(c.PointToPoint(std::vector<double>{1.0, 5000.0, 10.0, 20.0}, Inputs(300.0, 30.0, 10.0)).bOK);
}

// ---------------------------------------------------------- the calculator

// The Longley-Rice calculator: template reader, mode texts, parameter
// print-out, and CovCalc against the core called directly.

// A template, with the given keys set over it.
std::shared_ptr<FieldCollection> Template(std::initializer_list<std::pair<const char*, const char*>> set = {}) {
  auto m = test::Fields({{"POLARIZ", "V"}, {"SUR_REFRAC", "301"}, {"SEA_REFRAC", "0"}, {"REL_PERMIT", "15"},
                         {"CONDUCTIVI", "0.005"}, {"CLIM_CODE", "5"}, {"LR_MDVAR", "12"}, {"LR_VARSIT", "50"},
                         {"LR_VARLOC", "50"}, {"LR_VARTIM", "90"}, {"LR_DESC", "  Default LR  "}});
  for (const auto& [k, v] : set) m->Set(k, std::string(v));
  return m;
}

std::string Lines(clsQXAreaCovLR& c) {
  std::ostringstream out;
  EXPECT_TRUE(c.PrtParameters(out));
  return out.str();
}

// A reproducible 30 km profile of rolling terrain with a ridge.
test::ProfileArrays Hilly(int points) {
  return test::Stepped(30000.0, 30000.0 / (points - 1), [](double m) {
    const double x = m / 30000.0;
    return 250.0 + 60.0 * std::sin(9.0 * x) + 300.0 * std::exp(-std::pow((x - 0.4) / 0.05, 2));
  });
}

class LRCalcTest : public test::ModelTestEnv {
 protected:
  LRCalcTest() : ModelTestEnv({.resetErrorDisplay = false}) {}
  // Reads m; "" when accepted, else the reason.
  std::string Read(std::shared_ptr<FieldCollection> m) {
    calc.bSilent(true);
    calc.cPropMod(std::move(m));
    if (calc.cPropMod()) return "";
    EXPECT_FALSE(calc.sReadError().empty());
    return calc.sReadError();
  }
  // The calculator ready for a path over the given arrays.
  std::shared_ptr<platform::clsPathElv> Ready(std::vector<double> d, std::vector<float> e) {
    EXPECT_EQ(Read(Template()), "");
    test::Ready(calc, {.erpDbm = 60, .txAglM = 75, .txMslM = e.empty() ? 75.0 : e.front() + 75.0, .rxM = 9,
                       .freqMHz = 450});
    auto p = std::make_shared<platform::clsPathElv>();
    p->dStartLat(44.0);
    p->dStartLon(-71.0);
    p->DIS_Array(std::move(d));
    p->ELV_Array(std::move(e));
    calc.cPathElv(p);
    EXPECT_EQ(calc.sOKtoGO(), "");
    calc.PathElvEnd(44.0, -70.6247, 90.0);  // about 30 km east
    return p;
  }
  // The station and Template() as the core takes them.
  static LRInputs CoreInputs() {
    return {.dTxHeightM = 75.0, .dRxHeightM = 9.0, .dFreqMHz = 450.0, .iPolariz = 1, .dSurRefrac = 301.0,
            .dSeaRefrac = 0.0, .dRelPermit = 15.0, .dConductivity = 0.005, .iClimate = 5, .iMDVAR = 12,
            .dSitPct = 50.0, .dLocPct = 50.0, .dTimPct = 90.0};
  }
  static std::vector<double> Pfl(const std::vector<double>& d, const std::vector<float>& e) {
    std::vector<double> p{static_cast<double>(d.size() - 1), d[1] - d[0]};
    for (float x : e) p.push_back(x);
    return p;
  }
  clsQXAreaCovLR calc;
};

// ------------------------------------------------------------ reader

TEST_F(LRCalcTest, ReadsTheTemplateAndSettingsAcceptedOrRefusedByLabel) {
  EXPECT_EQ(calc.sOKtoGO(), "");
  ASSERT_EQ(Read(Template()), "");
  EXPECT_EQ(calc.sPolariz(), "V");
  EXPECT_EQ(calc.iMDVAR(), 12);
  auto m = Template();  // numbers as numbers, too
  m->Set("SUR_REFRAC", 310.0);
  m->Set("CLIM_CODE", std::int32_t{3});
  m->Set("LR_VARTIM", 50.0f);
  ASSERT_EQ(Read(m), "");
  EXPECT_EQ(calc.iClimate(), 3);
  EXPECT_EQ(calc.dTimPct(), 50.0);
  // Settings over the template, and what the reader says: "" when it takes
  // them, else the start of its message.
  struct Row {
    std::vector<std::pair<const char*, const char*>> set;
    const char* want;
    int polariz = -1, climate = -1;
  };
  const Row rows[] = {
      {{{"POLARIZ", "h"}}, "", 0},
      {{{"POLARIZ", " H "}}, "", 0},
      {{{"POLARIZ", "X"}}, "", 1},
      // A variability the mode removes needs no percentage (situation: tens 2
      // and 3; location: tens 1 and 3); time is never removed.
      {{{"LR_MDVAR", "23"}, {"LR_VARSIT", "0"}}, ""},
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "0"}}, "LR Situation Variability\nInvalid setting: 0"},
      {{{"LR_MDVAR", "13"}, {"LR_VARLOC", "0"}}, ""},
      {{{"LR_MDVAR", "33"}, {"LR_VARLOC", "100"}, {"LR_VARSIT", "-5"}}, ""},
      {{{"LR_MDVAR", "23"}, {"LR_VARLOC", "0"}}, "LR Location Variability\nInvalid setting: 0"},
      {{{"LR_MDVAR", "33"}, {"LR_VARTIM", "100"}}, "LR Time Variability\nInvalid setting: 100"},
      {{{"LR_VARTIM", "0"}}, "LR Time Variability\nInvalid setting: 0"},
      {{{"CLIM_CODE", "8"}}, "LR Climate Code\nInvalid setting: 8"},
      {{{"CLIM_CODE", "0"}}, "LR Climate Code\nInvalid setting: 0"},
      {{{"CLIM_CODE", "6.6"}}, "", -1, 7},
      {{{"CLIM_CODE", "1e9"}}, "LR Climate Code\n"},
      {{{"CONDUCTIVI", "-5"}}, "LR Soil Conductivity\nInvalid setting: -5"},
      {{{"CONDUCTIVI", "0"}}, "LR Soil Conductivity\nInvalid setting: 0"},
      {{{"CONDUCTIVI", "0.001"}}, ""},
      {{{"REL_PERMIT", "-15"}}, "LR Soil Permitivity\nInvalid setting: -15"},
      {{{"REL_PERMIT", "0"}}, "LR Soil Permitivity\nInvalid setting: 0"},
      {{{"SEA_REFRAC", "1e400"}}, "LR Sea Level Refractivity\n"},
      {{{"SUR_REFRAC", "abc"}}, "LR Surface Refractivity\nInvalid setting: abc"},
      {{{"SUR_REFRAC", "301 N"}}, ""},  // the lenient conversion reads the leading number
      {{{"LR_MDVAR", "mobile"}}, "LR MDVAR Mode of Variability\n"},
      {{{"CONDUCTIVI", nullptr}}, "LR Soil Conductivity\nInvalid setting: "},
      {{{"POLARIZ", nullptr}}, "LR Polarization\n"},
      {{{"LR_DESC", nullptr}}, "LR "},
  };
  for (const Row& r : rows) {
    auto m = Template();
    for (const auto& [k, v] : r.set) {
      if (v) m->Set(k, std::string(v));
      else m->Remove(k);
    }
    const std::string got = Read(m);
    SCOPED_TRACE(r.set[0].first + std::string(" ") + (r.set[0].second ? r.set[0].second : "(removed)"));
    if (*r.want == '\0') {
      EXPECT_EQ(got, "");
    } else {
      EXPECT_EQ(got.rfind(r.want, 0), 0u) << got;
    }
    EXPECT_EQ(calc.cPropMod() != nullptr, *r.want == '\0');
    if (r.polariz >= 0) {
      EXPECT_EQ(calc.iPolariz(), r.polariz);
    }
    if (r.climate >= 0) {
      EXPECT_EQ(calc.iClimate(), r.climate);
    }
  }
}

// ------------------------------------------------------------ texts

TEST(LRModeText, ByMdvar) {
  const std::pair<int, const char*> rows[] = {
      {0, "Single Message"}, {3, "Broadcast"}, {12, "Mobile; No Location Var"},
      {21, "Individual; No Situation Var"}, {30, "Single Message; No Situation Var, No Location Var"},
      {33, "Broadcast; No Situation Var, No Location Var"}, {41, "Individual; MDVAR = 41"}, {5, "Unknown Mode"},
      {-1, "Unknown Mode"}, {19, "Unknown Mode"}};
  for (const auto& [mdvar, want] : rows) EXPECT_EQ(modLRModeText(mdvar), want) << mdvar;
}

// The variability line names the percentages the mode keeps.
TEST_F(LRCalcTest, ParameterPrintOut) {
  const std::pair<std::vector<std::pair<const char*, const char*>>, const char*> rows[] = {
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "5"}},
       "LR Mode:  3\n\tBroadcast\n"},
      {{{"LR_MDVAR", "3"}, {"LR_VARSIT", "5"}},
       "Variability:\nSituation: 5.00%   Time:  90.00%   Location:  50.00%\n"},
      {{{"LR_MDVAR", "22"}}, "\nTime:  90.00%   Location:  50.00%\n"},
      {{{"LR_MDVAR", "31"}}, "\nTime:  90.00% \n"},
      {{{"POLARIZ", "X"}}, "\nPolarization: V\n"},
      {{{"CLIM_CODE", "7"}}, "\nClimate: 7 Maritime Temperate Over Sea\n"}};
  for (const auto& [set, want] : rows) {
    auto m = Template();
    for (const auto& [k, v] : set) m->Set(k, std::string(v));
    ASSERT_EQ(Read(m), "");
    const std::string t = Lines(calc);
    EXPECT_NE(t.find(want), std::string::npos) << t;
  }
}

// ------------------------------------------------------------ CovCalc

TEST_F(LRCalcTest, PathMatchesTheCore) {
  const auto [d, e] = Hilly(301);
  Ready(d, e);
  calc.dPathLthM(30000.0);
  calc.bDetails(true);
  calc.sDetailUnElv("ft");
  calc.CovCalc();
  EXPECT_FALSE(calc.bErrorRun());

  clsLRCore core;
  core.InitTables();
  const LRResult r = core.PointToPoint(Pfl(d, e), CoreInputs());
  ASSERT_TRUE(r.bOK) << r.sError;
  EXPECT_EQ(calc.dModelLoss(), r.dAttenDB);
  EXPECT_EQ(calc.lErrLevel(), r.lErrLevel);
  EXPECT_EQ(calc.lErrBits(), 0);
  EXPECT_EQ(calc.dDeltaHM(), r.dDeltaHM);
  EXPECT_EQ(calc.dHeEffM(), r.dHeEffM);
  EXPECT_EQ(calc.dEarthFactor(), r.dEarthFactor);
  EXPECT_EQ(calc.sMode1(), r.sMode1);
  EXPECT_EQ(calc.sMode2(), r.sMode2);
  EXPECT_GT(r.dAttenDB, 0.0) << "the ridge blocks the path";

  EXPECT_FLOAT_EQ(calc.rTgtElvM(), e.back()) << "no terrain: the last profile point";
  EXPECT_DOUBLE_EQ(calc.dFreeSpaceFld(), FreeSpaceFieldM(30000.0, 60.0));
  EXPECT_DOUBLE_EQ(calc.dNetField(), calc.dFreeSpaceFld() - calc.dModelLoss());
  EXPECT_EQ(calc.iLUCode(), 0);

  const std::string& t = calc.sDetails();
  EXPECT_EQ(t.rfind("Azimuth ", 0), 0u) << t;
  // Delta-h in the detail unit (ft).
  for (const char* line : {"\r\n\tFree Space Field: (", "\r\n\tAdditional Estimated transmission loss: ",
                           "\r\n\tPath terrain Delta-H: ", " ft", "\r\n\tEffective antenna heights: "})
    EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
  EXPECT_EQ(t.find("Land Use"), std::string::npos) << t;
  EXPECT_EQ(t.find("nan"), std::string::npos) << t;

  // A receiver height above sea level below the ground reaches the core as 0.1 m.
  calc.bMOBMSL(true);
  calc.MOBAntM(e.back() - 20.0);
  calc.bDetails(false);
  calc.sDetails("");
  calc.CovCalc();
  LRInputs low = CoreInputs();
  low.dRxHeightM = 0.1;
  const LRResult r2 = core.PointToPoint(Pfl(d, e), low);
  EXPECT_EQ(calc.dModelLoss(), r2.dAttenDB);
  EXPECT_EQ(calc.sDetails(), "") << "no details unless asked";
}

TEST_F(LRCalcTest, OtherPolarizationAndGroundReachTheCoreBadProfilesFailAtLevel4) {
  const auto [d, e] = Hilly(101);
  Ready(d, e);
  ASSERT_EQ(Read(Template({{"POLARIZ", "H"}, {"REL_PERMIT", "81"}, {"CONDUCTIVI", "5"}, {"SEA_REFRAC", "320"},
                           {"CLIM_CODE", "7"}, {"LR_MDVAR", "3"}, {"LR_VARSIT", "70"}, {"LR_VARLOC", "80"}})),
            "");
  calc.dPathLthM(30000.0);
  calc.CovCalc();
  const LRInputs in{.dTxHeightM = 75.0, .dRxHeightM = 9.0, .dFreqMHz = 450.0, .iPolariz = 0, .dSurRefrac = 301.0,
                   .dSeaRefrac = 320, .dRelPermit = 81, .dConductivity = 5, .iClimate = 7, .iMDVAR = 3,
                   .dSitPct = 70, .dLocPct = 80, .dTimPct = 90.0};
  clsLRCore core;
  const LRResult r = core.PointToPoint(Pfl(d, e), in);
  ASSERT_TRUE(r.bOK);
  EXPECT_EQ(calc.dModelLoss(), r.dAttenDB);
  // A profile the core cannot use: error level 4 and the reason in the details.
  for (const auto& [d, e] : {std::pair<std::vector<double>, std::vector<float>>{{0.0}, {100.0f}},
                             {{0.0, 0.0, 0.0}, {1.0f, 2.0f, 3.0f}}}) {
    Ready(d, e);
    calc.dPathLthM(30000.0);
    calc.bDetails(true);
    calc.sDetails("");
    calc.CovCalc();
    EXPECT_TRUE(calc.bErrorRun());
    EXPECT_FALSE(calc.sPathError().empty());
    EXPECT_TRUE(std::isfinite(calc.dDeltaHM()));
    EXPECT_TRUE(std::isfinite(calc.dHeEffM()[0]) && std::isfinite(calc.dHeEffM()[1]));
    EXPECT_EQ(calc.lErrLevel(), 4);
    EXPECT_NE(calc.sDetails().find("Path not computed: "), std::string::npos) << calc.sDetails();
  }
}

}  // namespace
}  // namespace zw
