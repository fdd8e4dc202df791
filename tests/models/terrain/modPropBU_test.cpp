#include "models/terrain/modPropBU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/clsQXAreaCovBU.h"
#include "models/terrain/modsBUmode.h"

namespace zw {
namespace {

using Profile = test::ProfileArrays;
using test::Flat;

// Knife-edge loss of ITU-R P.526 (eq. 31): J(nu) = 6.9 + 20 log(sqrt((nu - 0.1)^2 + 1) + nu - 0.1).
// Its nu is sqrt(2) times the obstruction over the first Fresnel radius, so nu = -sqrt(2) v.
double P526J(double v) {
  const double nu = -std::sqrt(2.0) * v;
  return 6.9 + 20.0 * std::log10(std::sqrt((nu - 0.1) * (nu - 0.1) + 1.0) + nu - 0.1);
}

TEST(modPropBU, KnifeEdgeLevelTableLimitsAndP526) {
  EXPECT_EQ(dBUKnifeEdgeLevel(0.0, 0.0), -6.0);
  EXPECT_EQ(dBUKnifeEdgeLevel(0.7, 0.0), 0.0);
  EXPECT_EQ(dBUKnifeEdgeLevel(0.5, 1.0), 0.0);
  for (double r : {0.0, 0.3, 1.0, 0.65}) EXPECT_DOUBLE_EQ(dBUKnifeEdgeLevel(-3.0, r), -26.0);
  EXPECT_DOUBLE_EQ(dBUKnifeEdgeLevel(-2.5, 0.0), -24.0);
  // Every table node.
  const std::array<double, 7> v{-2.5, -2.0, -1.5, -1.0, -0.5, 0.0, 0.4999999};
  const std::array<std::array<double, 7>, 3> lv{{{-24, -22, -19, -17, -12, -6, 0},
                                                 {-54, -45, -36, -27, -18, -10, -1},
                                                 {-84, -70, -56, -43, -29, -16, -2}}};
  const std::array<double, 3> r{0.0, 0.3, 1.0};
  for (std::size_t j = 0; j < 3; ++j)
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(dBUKnifeEdgeLevel(v[i], r[j]), lv[j][i], 1e-9) << v[i] << " " << r[j];
  EXPECT_NEAR(dBUKnifeEdgeLevel(0.4999999, 0.3), -1.0, 1e-4);
  // Reflection coefficients outside 0..1 read as the nearer limit.
  EXPECT_DOUBLE_EQ(dBUKnifeEdgeLevel(-1.0, 1.7), -43.0);
  EXPECT_DOUBLE_EQ(dBUKnifeEdgeLevel(-1.0, -0.2), -17.0);
  EXPECT_DOUBLE_EQ(dBUKnifeEdgeLevel(-1.0, std::nan("")), -17.0);
  EXPECT_EQ(dBUKnifeEdgeLevel(std::nan(""), 0.0), 0.0);
  for (double v : {-2.5, -2.0, -1.5, -1.0, -0.5, 0.0, 0.5}) EXPECT_NEAR(dBUKnifeEdgeLevel(v, 0.0), -P526J(v), 1.0) << v;
  // Between the nodes the level stays between its neighbours (no overshoot)
  // and never rises as the clearance falls.
  double prev = 0.0;
  for (double v = 0.5; v >= -2.5; v -= 0.05) {
    for (double r : {0.0, 0.15, 0.3, 0.6, 1.0}) {
      const double l = dBUKnifeEdgeLevel(v, r);
      EXPECT_LE(l, 0.0);
      EXPECT_GE(l, -84.0);
    }
    const double l0 = dBUKnifeEdgeLevel(v, 0.0);
    EXPECT_LE(l0, prev + 1e-9) << v;
    prev = l0;
  }
}

TEST(modPropBU, NomogramScale) {
  const std::pair<double, double> rows[] = {{0.0, -40},   {-10.0, -40}, {196.0, -4}, {193.0, -4},  // past the last point
                                            {190.3, -4},  {4.3, -38},   {8.8, -37},  {168.3, -6},
                                            {178.0, -5},  {std::nan(""), -40}};
  for (const auto& [x, want] : rows) EXPECT_DOUBLE_EQ(dBUNomogramScaleLevel(x), want) << x;
}

// One edge 50 m above a 10 km line of sight, at mid-path, 300 MHz: d1 = 5000 m
// = 3.1069 mi, h = 164.04 ft; A = 49 log(31.069) = 73.124, B = 49 log(1.6404) + 32
// = 42.533, C = A - (A - B) 72/35.5 = 11.080, F = 130 - 24.5 log 100 = 81,
// E = C + (F - C) 72.5/36.5 = 149.962, between 143.8 (-10 dB) and 154.5 (-8 dB): -8.848 dB.
TEST(modPropBU, Figure12AndSingleKnifeEdgeInEveryEdgeMode) {
  Profile p = Flat(10000, 20, 0.0f);
  p.e[10] = 150.0f;
  EXPECT_NEAR(dBUFigure12Level(p.count(), p.d, p.e, 100, 100, 300), -8.848214, 1e-4);
  const BULossResult r = BULoss(p.count(), p.d, p.e, 100, 100, 300, kBUModeFigure12, 0, 0);
  EXPECT_TRUE(r.bOK);
  EXPECT_NEAR(r.dLevelDB, -8.848214, 1e-4);
  EXPECT_TRUE(r.edges.empty());
  // A single edge 50 m above the line of sight at mid-path of 10 km, 300 MHz:
  // r1 = sqrt(5000 x 5000 x 1 / 10000) = 50 m, v = -1: -17 dB (P.526: -16.3 dB).
  for (std::int16_t mode : {kBUModeMinDistance, kBUModeInflection, kBUModeObstaclePeaks}) {
    const BULossResult r = BULoss(p.count(), p.d, p.e, 100, 100, 300, mode, 1.0, 0.0);
    ASSERT_TRUE(r.bOK) << mode << r.sLog;
    ASSERT_EQ(r.edges.size(), 1u) << mode;
    EXPECT_NEAR(r.edges[0].dDistM, 5000.0, 1e-9);
    EXPECT_NEAR(r.edges[0].dLevelDB, -17.0, 1e-9);
    EXPECT_NEAR(r.dLevelDB, -17.0, 1e-9);
    EXPECT_NEAR(r.dLevelDB, -P526J(-1.0), 1.0);
  }
  EXPECT_NEAR(BULoss(p.count(), p.d, p.e, 100, 100, 300, kBUModeMinDistance, 0, 0.3).dLevelDB, -27.0, 1e-9);
  // A clear path is 0 dB.
  p.e[10] = 99.0f;  // below the line, even if inside the Fresnel zone
  EXPECT_EQ(dBUFigure12Level(p.count(), p.d, p.e, 100, 100, 300), 0.0);
  EXPECT_EQ(dBUFigure12Level(p.count(), p.d, p.e, 100, 300, 300), 0.0);
  EXPECT_EQ(dBUFigure12Level(2, p.d, p.e, 100, 100, 300), 0.0);  // no interior points
}

// Bullington's equivalent edge: the horizon rays of the two antennas meet
// above the two hills. Hills of 130 m at 2 km and 175 m at 8 km, antennas at
// 100 m, 10 km: the transmitter's horizon is the near hill, s1 = 30/2000; the
// receiver's is the hill next to it, s2 = 75/2000; the rays meet at
// x = s2 D / (s1 + s2) = 7142.86 m, s1 x = 107.14 m above the line of sight.
TEST(modPropBU, InflectionEquivalentEdge) {
  Profile p = Flat(10000, 20, 0.0f);
  p.e[4] = 130.0f;
  p.e[16] = 175.0f;
  const BULossResult r = BULoss(p.count(), p.d, p.e, 100, 100, 150, kBUModeInflection, 0, 0);
  ASSERT_TRUE(r.bOK);
  ASSERT_EQ(r.edges.size(), 1u);
  const double s1 = 30.0 / 2000.0, s2 = 75.0 / 2000.0;
  const double x = s2 * 10000.0 / (s1 + s2);
  EXPECT_NEAR(r.edges[0].dDistM, x, 1e-6);
  const double v = -(s1 * x) / std::sqrt(x * (10000.0 - x) * 2.0 / 10000.0);  // lambda 2 m
  EXPECT_NEAR(r.dLevelDB, dBUKnifeEdgeLevel(v, 0), 1e-9);
}

// Two equal edges (175 m at 2.5 km and 7.5 km, antennas at 100 m, 200 MHz,
// lambda 1.5 m), each judged against the ray from the antenna over the other
// edge (Epstein-Peterson): clearance -75 x 5000/7500 = -50 m, r1 =
// sqrt(1.5 x 2500 x 5000 / 7500) = 50 m, v = -1 each: -17 dB each.
TEST(modPropBU, TwoEdgesEpsteinPeterson) {
  Profile p = Flat(10000, 20, 0.0f);
  p.e[5] = 175.0f;
  p.e[15] = 175.0f;
  for (std::int16_t mode : {kBUModeMinDistance, kBUModeObstaclePeaks}) {
    const BULossResult r = BULoss(p.count(), p.d, p.e, 100, 100, 200, mode, 1.0, 0.0);
    ASSERT_EQ(r.edges.size(), 2u) << mode;
    EXPECT_NEAR(r.edges[0].dDistM, 2500.0, 1e-9);
    EXPECT_NEAR(r.edges[1].dDistM, 7500.0, 1e-9);
    EXPECT_NEAR(r.edges[0].dLevelDB, -17.0, 1e-9);
    EXPECT_NEAR(r.edges[1].dLevelDB, -17.0, 1e-9);
    EXPECT_NEAR(r.dLevelDB, -34.0, 1e-9);
  }
  EXPECT_NEAR(BULoss(p.count(), p.d, p.e, 100, 100, 200, kBUModeObstaclePeaks, 1.0, 0.3).dLevelDB, -54.0, 1e-9);
  // Closer together than the minimum distance: one edge, against the direct
  // ray (clearance -75 m, r1 = 53.03 m, v = -1.414).
  const BULossResult m = BULoss(p.count(), p.d, p.e, 100, 100, 200, kBUModeMinDistance, 6000, 0.0);
  ASSERT_EQ(m.edges.size(), 1u);
  EXPECT_NEAR(m.edges[0].dDistM, 2500.0, 1e-9);
  EXPECT_LT(m.dLevelDB, -17.0);
  EXPECT_GT(m.dLevelDB, -19.0);
  // Obstacles whose vertices lie closer than the resolution (a distance) are
  // one obstacle at the vertex of the outer tangent rays: the rays of slope
  // +-0.03 meet at 5 km, 250 m, 150 m above the line of sight (r1 = sqrt(1.5 x
  // 5000 x 5000 / 10000) = 61.2 m, v = -2.449).
  EXPECT_EQ(BULoss(p.count(), p.d, p.e, 100, 100, 200, kBUModeObstaclePeaks, 4999, 0).edges.size(), 2u);
  const BULossResult one = BULoss(p.count(), p.d, p.e, 100, 100, 200, kBUModeObstaclePeaks, 5001, 0);
  ASSERT_EQ(one.edges.size(), 1u);
  EXPECT_NEAR(one.edges[0].dDistM, 5000.0, 1e-6);
  EXPECT_NEAR(one.dLevelDB, dBUKnifeEdgeLevel(-150.0 / std::sqrt(1.5 * 2500.0), 0), 1e-9);
  // A lower edge between two higher ones does not touch the taut string.
  p.e[10] = 150.0f;
  EXPECT_EQ(BULoss(p.count(), p.d, p.e, 100, 100, 200, kBUModeObstaclePeaks, 1.0, 0.0).edges.size(), 2u);
}

TEST(modPropBU, LineOfSightInsideTheFresnelZoneAndABlockedRayAlwaysHasALoss) {
  Profile p = Flat(1000, 10, 0.0f);
  // Flat ground well clear: no peaks, no edges, 0 dB.
  const BULossResult clear = BULoss(p.count(), p.d, p.e, 10, 10, 300, kBUModeMinDistance, 0, 0);
  EXPECT_TRUE(clear.bOK);
  EXPECT_TRUE(clear.edges.empty());
  EXPECT_EQ(clear.dLevelDB, 0.0);
  // A point grazing the ray at mid-path: v = 0, -6 dB (P.526: J(0) = 6.0 dB).
  p.e[5] = 10.0f;
  for (std::int16_t mode : {kBUModeMinDistance, kBUModeInflection, kBUModeObstaclePeaks}) {
    const BULossResult r = BULoss(p.count(), p.d, p.e, 10, 10, 300, mode, 0, 0);
    ASSERT_EQ(r.edges.size(), 1u) << mode;
    EXPECT_NEAR(r.dLevelDB, -6.0, 1e-9);
    EXPECT_NEAR(r.edges[0].dDistM, 500.0, 1e-9);
  }
  // Inside the zone but clear: between -6 and 0 dB. 4 m clearance / 15.81 m.
  p.e[5] = 6.0f;
  const BULossResult part = BULoss(p.count(), p.d, p.e, 10, 10, 300, kBUModeMinDistance, 0, 0);
  ASSERT_EQ(part.edges.size(), 1u);
  EXPECT_LT(part.dLevelDB, 0.0);
  EXPECT_GT(part.dLevelDB, -6.0);
  // A blocked ray always has a loss, in every edge mode and at any obstacle
  // resolution or minimum distance (distances along the path): a 52 m ridge, and
  // a convex shoulder with no local maximum.
  Profile ridge = Flat(10000, 100, 0.0f);
  for (int i = 45; i <= 55; ++i) ridge.e[i] = 52.0f - 4.0f * static_cast<float>(std::abs(i - 50));
  Profile shoulder = Flat(10000, 100, 0.0f);
  for (std::size_t i = 0; i < shoulder.d.size(); ++i)
    shoulder.e[i] = static_cast<float>(std::clamp((shoulder.d[i] - 5000.0) * 0.05, 0.0, 200.0));
  struct Case {
    const Profile* p;
    double tx, rx;
  };
  for (const Case& c : {Case{&ridge, 30, 30}, Case{&shoulder, 100, 210}})
    for (std::int16_t mode : {kBUModeMinDistance, kBUModeInflection, kBUModeObstaclePeaks})
      for (double res : {0.0, 150.0, 5000.0}) {
        const BULossResult r = BULoss(c.p->count(), c.p->d, c.p->e, c.tx, c.rx, 300, mode, res, 0.0);
        ASSERT_TRUE(r.bOK);
        EXPECT_LE(r.dLevelDB, -6.0) << "mode " << mode << " resolution " << res << " tx " << c.tx;
      }
}

// The ground is bent by the study's effective earth (K-value): flat ground
// is an obstacle only where that earth itself blocks the ray. 50 km, 30 m
// antennas: the 4/3-earth bulge at mid-path, 25000^2 / (2 x 4/3 x 6370 km) =
// 36.8 m, blocks; with K 3 it is 16.4 m and the path is clear. 20 km, 5 m
// antennas: 5.9 m blocks at K 4/3, 3.9 m at K 2 does not.
TEST(modPropBU, EarthBulgeUsesTheStudysEffectiveEarth) {
  struct Case {
    double lengthM, antM, k;
    bool blocked;
  };
  for (const Case& c : {Case{50000, 30, 0, false}, Case{50000, 30, 4.0 / 3.0, true}, Case{50000, 30, 3, false},
                        Case{20000, 5, 4.0 / 3.0, true}, Case{20000, 5, 2, false}, Case{10000, 5, 4.0 / 3.0, false}})
    for (std::int16_t mode : {kBUModeMinDistance, kBUModeInflection, kBUModeObstaclePeaks}) {
      const Profile p = Flat(c.lengthM, 100, 0.0f);
      const BULossResult r = BULoss(p.count(), p.d, p.e, c.antM, c.antM, 100, mode, 0, 0, c.k);
      ASSERT_TRUE(r.bOK);
      SCOPED_TRACE(std::to_string(c.lengthM) + " m, K " + std::to_string(c.k) + ", mode " + std::to_string(mode));
      if (c.blocked) {
        ASSERT_FALSE(r.edges.empty());
        EXPECT_LE(r.dLevelDB, -6.0);
        EXPECT_NEAR(r.edges[0].dDistM, c.lengthM / 2, c.lengthM / 100);
      } else if (mode != kBUModeInflection) {
        EXPECT_TRUE(r.edges.empty());
        EXPECT_EQ(r.dLevelDB, 0.0);
      }
    }
}

TEST(modPropBU, UnknownModeAndBadInput) {
  // Only the exact upper-case name is a mode (otherwise 88, kBUModeInvalid).
  for (const char* name : {"Figure 12", " FIGURE 12", "FIGURE 12 ", ""})
    EXPECT_EQ(iBUModeCode(name), 88) << '"' << name << '"';
  for (int code : {88, -1, 4}) EXPECT_EQ(sBUModeName(static_cast<std::int16_t>(code)), "UNKNOWN") << code;
  const Profile p = Flat(1000, 10, 0.0f);
  const BULossResult bad = BULoss(p.count(), p.d, p.e, 10, 10, 300, iBUModeCode("Figure 12"), 0, 0);
  EXPECT_FALSE(bad.bOK);
  EXPECT_EQ(bad.sLog, "Unknown BUMode in bu_loss calc");
  EXPECT_EQ(bad.dLevelDB, 0.0);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto expectFail = [](const BULossResult& r) {
    EXPECT_FALSE(r.bOK);
    EXPECT_FALSE(r.sLog.empty());
    EXPECT_EQ(r.dLevelDB, 0.0);
    EXPECT_TRUE(r.edges.empty());
  };
  for (std::int16_t mode : {kBUModeMinDistance, kBUModeInflection, kBUModeObstaclePeaks, kBUModeFigure12}) {
    expectFail(BULoss(0, {}, {}, 10, 10, 300, mode, 0, 0));
    expectFail(BULoss(1, p.d, p.e, 10, 10, 300, mode, 0, 0));
    expectFail(BULoss(p.count() + 1, p.d, p.e, 10, 10, 300, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, nan, 10, 300, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, nan, 300, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, 10, 0, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, 10, -300, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, 10, nan, mode, 0, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, 10, 300, mode, nan, 0));
    expectFail(BULoss(p.count(), p.d, p.e, 10, 10, 300, mode, 0, nan));
    Profile back = p;
    back.d[4] = 900.0;
    expectFail(BULoss(back.count(), back.d, back.e, 10, 10, 300, mode, 0, 0));
    Profile zero = p;
    for (double& d : zero.d) d = 0.0;
    expectFail(BULoss(zero.count(), zero.d, zero.e, 10, 10, 300, mode, 0, 0));
  }
  // Voids in the profile are passed over.
  Profile v = Flat(10000, 20, 0.0f);
  v.e[10] = 150.0f;
  v.e[9] = -32200.0f;
  v.e[11] = std::numeric_limits<float>::quiet_NaN();
  const BULossResult r = BULoss(v.count(), v.d, v.e, 100, 100, 300, kBUModeMinDistance, 0, 0);
  EXPECT_TRUE(r.bOK);
  EXPECT_NEAR(r.dLevelDB, -17.0, 1e-9);
  EXPECT_TRUE(std::isfinite(dBUFigure12Level(v.count(), v.d, v.e, 100, 100, 300)));
}

// ------------------------------------------------------------ the calculator

class BUCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string mode, std::string minDist = "100",
                                                   std::string unit = "m") {
    return test::Fields({{"BU_REFLECT", "0"}, {"Min_Dist", minDist.c_str()}, {"MinDistUn", unit.c_str()},
                         {"Loss_Mode", mode.c_str()}, {"BU_DESC", "  Test BU  "}});
  }
  // 10 km at 0 m with one 150 m edge at mid-path; antennas 100 m above sea level, 300 MHz.
  static std::shared_ptr<test::GivenProfile> Profile(float edge = 150.0f) {
    return test::EndingAt(test::Sampled(10000.0, 500.0, [edge](double x) { return x == 5000.0 ? edge : 0.0f; }), 0.09);
  }
  static void Ready(clsQXAreaCovBU& c, std::shared_ptr<platform::clsPathElv> p, double freq = 300.0) {
    const double length = p->DIS_Array().empty() ? 10000.0 : p->DIS_Array().back();
    test::Ready(c, {.erpDbm = 60, .txAglM = 100, .txMslM = 100, .rxM = 100, .freqMHz = freq, .details = true,
                    .unDis = "km", .unElv = "m"},
                std::move(p), length);
  }
};

TEST_F(BUCalc, NamesReaderDefaultsKeysIgnoreCaseAndBlankUnit) {
  clsQXAreaCovBU c;
  auto m = Template("MIN DISTANCE", "100", "ft");
  m->Remove("BU_REFLECT");
  ASSERT_TRUE(test::Accepts(c, m));
  EXPECT_EQ(c.iLossMode(), kBUModeMinDistance);
  EXPECT_DOUBLE_EQ(c.dReflect(), 0.0);
  EXPECT_NEAR(c.dMinDistM(), 30.48, 1e-9);
  EXPECT_EQ(c.sDesc(), "Test BU");
  clsQXAreaCovBU bu;
  ASSERT_TRUE(test::Accepts(bu, Template("OBSTACLE PEAKS", "250", "m")));
  EXPECT_DOUBLE_EQ(bu.dMinDistM(), 250.0);
  ASSERT_TRUE(test::Accepts(
      bu, test::Fields({{"bu_reflect", "0.3"}, {"MIN_DIST", "5"}, {"MINDISTUN", "  "}, {"LOSS_MODE", "FIGURE 12"}})));
  EXPECT_DOUBLE_EQ(bu.dMinDistM(), 250.0);  // blank unit: the previous value stays
  EXPECT_DOUBLE_EQ(bu.dReflect(), 0.3);
  EXPECT_EQ(bu.iLossMode(), kBUModeFigure12);
  EXPECT_EQ(bu.sDesc(), "");
}

TEST_F(BUCalc, ReaderRejectsMissingModeAndTemplateAndCovCalcMatchesLossRoutine) {
  clsQXAreaCovBU c;
  c.bSilent(true);
  auto m = Template("MIN DISTANCE");
  m->Remove("Loss_Mode");
  EXPECT_FALSE(test::Accepts(c, m));
  EXPECT_NE(c.sReadError().find("BU Loss Mode"), std::string::npos);
  EXPECT_FALSE(test::Accepts(c, nullptr));
  EXPECT_EQ(c.sReadError(), "");
  for (const char* mode : {"MIN DISTANCE", "INFLECTION", "OBSTACLE PEAKS", "FIGURE 12"}) {
    clsQXAreaCovBU c;
    ASSERT_TRUE(test::Accepts(c, Template(mode, "1", "m"))) << mode;
    auto p = Profile();
    Ready(c, p);
    c.CovCalc();
    const BULossResult r = BULoss(21, p->DIS_Array(), p->ELV_Array(), 100, 100, 300, iBUModeCode(mode), 1.0, 0.0,
                                  p->dKFactor());
    ASSERT_TRUE(r.bOK);
    EXPECT_FALSE(c.bErrorRun()) << c.sPathError();
    EXPECT_LT(r.dLevelDB, -5.0) << mode;
    EXPECT_DOUBLE_EQ(c.dBullingtonLevel(), r.dLevelDB) << mode;
    EXPECT_DOUBLE_EQ(c.dModelLoss(), -r.dLevelDB);
    EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(10000.0, 60.0));
    EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() + r.dLevelDB);
    ASSERT_EQ(c.KnifeEdges().size(), r.edges.size());
    EXPECT_EQ(c.lErrLevel(), 0);
    EXPECT_EQ(c.lErrBits(), 0);
    EXPECT_FLOAT_EQ(c.rTgtElvM(), 0.0f);
    const std::string& t = c.sDetails();
    EXPECT_NE(t.find("\r\n\t(Slant distance for 10.00)"), std::string::npos) << t;
    if (!r.edges.empty()) {
      EXPECT_NE(t.find("\r\n\t Bullington knife-edge diffraction losses:"), std::string::npos) << t;
      EXPECT_NE(t.find(" dB at 5.00 km"), std::string::npos) << t;
      EXPECT_NE(t.find("Additional Estimated transmission loss: "), std::string::npos);
    } else {
      EXPECT_EQ(t.find("knife-edge"), std::string::npos) << mode;
    }
  }
}

TEST_F(BUCalc, ClearPathInvalidModeAndParametersByMode) {
  clsQXAreaCovBU c;
  c.cPropMod(Template("FIGURE 12"));
  auto p = Profile(20.0f);
  Ready(c, p);
  c.CovCalc();
  EXPECT_EQ(c.dBullingtonLevel(), 0.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld());
  EXPECT_EQ(c.sDetails().find("Bullington knife-edge"), std::string::npos);
  // A receiver height above sea level below the ground becomes 0.1 m above it.
  c.bMOBMSL(true);
  c.MOBAntM(-5.0);
  c.CovCalc();
  EXPECT_TRUE(std::isfinite(c.dNetField()));
  // An invalid mode is logged and flagged.
  clsQXAreaCovBU c2;
  c2.cPropMod(Template("Figure 12"));  // not upper case
  ASSERT_TRUE(c2.cPropMod());
  EXPECT_EQ(c2.iLossMode(), kBUModeInvalid);
  Ready(c2, Profile());
  c2.CovCalc();
  EXPECT_TRUE(c2.bErrorRun());
  EXPECT_TRUE(std::isfinite(c2.dNetField()));
  EXPECT_LT(c2.dNetField(), -500.0);
  EXPECT_NE(Log().find("Unknown BUMode in bu_loss calc"), std::string::npos);
  // The parameter print-out by mode.
  const std::pair<const char*, const char*> rows[] = {
      {"OBSTACLE PEAKS", "based on OBSTACLE PEAKS\n\tObstacle resolution: 12.50 m\n \n"},
      {"INFLECTION", "based on INFLECTION\n \n"},
      {"nonsense", "based on UNKNOWN\n \n"}};
  for (const auto& [mode, want] : rows) {
    clsQXAreaCovBU c;
    c.cPropMod(Template(mode, "12.5", "m"));
    std::ostringstream o;
    c.PrtParameters(o);
    EXPECT_NE(o.str().find(want), std::string::npos) << o.str();
  }
}

}  // namespace
}  // namespace zw
