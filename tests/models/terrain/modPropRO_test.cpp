#include "models/terrain/modPropRO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/ProfileArrays.h"
#include "models/terrain/clsQXAreaCovRO.h"

namespace zw {
namespace {

std::vector<double> Steps(std::size_t n, double step = 100.0) {
  std::vector<double> d(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<double>(i) * step;
  return d;
}

// Peaks: a plateau stands by its middle point, a rise to the receiver end is
// none, bumps below the resolution drop, voids are passed over, only the first
// `count` points are looked at; bad profiles are refused.
TEST(modPropRO, PeaksOfAProfile) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> hill{0, 10, 20, 30, 40, 35, 37, 20, 0};  // a 2 m bump on a 40 m hill
  const struct {
    std::vector<float> e;
    int count;
    double resM;
    std::vector<int> want;
  } rows[] = {
      {{0, 10, 5, 5, 8, 8, 8, 2, 20, 20, 30}, 11, 0.0, {1, 5}},
      {hill, 9, 0.0, {4, 6}}, {hill, 9, 5.0, {4}}, {hill, 9, 45.0, {}}, {hill, 5, 0.0, {}},
      {{0, 5, -32200, 9, nan, 3, 0}, 7, 0.0, {3}},
      {{}, 0, 0.0, {}}, {{5, 9}, 2, 0.0, {}},
  };
  for (const auto& r : rows) {
    std::vector<int> peaks{7};
    std::string err;
    ASSERT_TRUE(ROPeaks(Steps(r.e.size()), r.e, r.count, r.resM, peaks, err)) << err;
    EXPECT_EQ(peaks, r.want) << r.count << " " << r.resM;
  }
  std::vector<int> peaks;
  std::string err;
  const std::vector<double> d2{0, 100};
  const std::vector<float> e2{5, 9};
  EXPECT_FALSE(ROPeaks(std::vector<double>{0, 100, 50, 300}, std::vector<float>{0, 10, 0, 0}, 4, 0.0, peaks, err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(ROPeaks(d2, e2, 3, 0.0, peaks, err));  // beyond the arrays
  EXPECT_FALSE(ROPeaks(d2, e2, -1, 0.0, peaks, err));
  EXPECT_FALSE(ROPeaks(d2, e2, 2, std::nan(""), peaks, err));
  EXPECT_FALSE(ROPeaks(std::vector<double>{0, std::nan(""), 200}, std::vector<float>{0, 10, 0}, 3, 0.0, peaks, err));
  EXPECT_TRUE(peaks.empty());
}

// ITU-R P.526, knife edge: J(nu) = 6.9 + 20 log(sqrt((nu - 0.1)^2 + 1) + nu - 0.1).
TEST(modPropRO, KnifeEdgeJ) {
  const double rows[][3] = {{0.0, 6.0329, 1e-4}, {1.0, 13.9257, 1e-4}, {-0.5, 1.9592, 1e-4},
                            {-0.78, 0, 0},       {-3.0, 0, 0},         {std::nan(""), 0, 0}};
  for (const auto& [nu, want, tol] : rows) EXPECT_NEAR(dROKnifeEdgeJ(nu), want, tol) << nu;
}

// ITU-R P.526, single rounded obstacle: A = J(nu) + T(m, n). h = 50 m, d1 = d2
// = 5 km, lambda = 1 m: nu = 1.4142, J = 16.342 dB. R = 1 km: (pi R / lambda)^(1/3)
// = 14.646, m = 0.027311, n = 10.7251, mn = 0.2929 <= 4, T = 7.2 m^0.5 - (2 -
// 12.5 n) m + 3.6 m^1.5 - 0.8 m^2 = 4.8124: A = 21.155 dB. R = 20 km: m = 0.20123,
// n = 3.9512, T = 13.059: A = 29.401 dB. Well clear of the Fresnel zone there is
// no loss, and bad input gives 0, never NaN.
TEST(modPropRO, RoundedObstacleLossHandComputation) {
  const struct {
    double h, d1, d2, r, lambda, want, tol;
  } rows[] = {
      {50, 5000, 5000, 0, 1.0, 16.3423, 1e-4},  {50, 5000, 5000, 1000, 1.0, 21.1547, 1e-3},
      {50, 5000, 5000, 20000, 1.0, 29.4011, 1e-3}, {-50, 5000, 5000, 1000, 1.0, 0, 0},
      {std::nan(""), 5000, 5000, 1000, 1.0, 0, 0}, {50, 0, 5000, 1000, 1.0, 0, 0},
      {50, 5000, -1, 1000, 1.0, 0, 0},           {50, 5000, 5000, -1, 1.0, 0, 0},
      {50, 5000, 5000, 1000, 0.0, 0, 0},
  };
  for (const auto& r : rows)
    EXPECT_NEAR(dRORoundedObstacleLoss(r.h, r.d1, r.d2, r.r, r.lambda), r.want, r.tol) << r.h << " " << r.r;
}

using Path = test::ProfileArrays;
using test::Flat;

TEST(modPropRO, DiffractionOverAProfileHillClearPathsAndBulge) {
  // Crest 150 m at 5 km with 100 m at 4.5 and 5.5 km: the parabola through the
  // three points drops 50 m in 500 m, R = 500^2 / (2 x 50) = 2500 m.
  Path p = Flat(10000, 20);
  p.e[9] = 100.0f;
  p.e[10] = 150.0f;
  p.e[11] = 100.0f;
  const RODiffraction r = RODiffractionLoss(p.count(), p.d, p.e, 100, 100, 300, 1.524, 0);
  ASSERT_TRUE(r.bOK) << r.sError;
  ASSERT_EQ(r.obstacles.size(), 1u);
  const ROObstacle& o = r.obstacles[0];
  EXPECT_EQ(o.iIndex, 10);
  EXPECT_NEAR(o.dDistM, 5000.0, 1e-9);
  EXPECT_NEAR(o.dRadiusM, 2500.0, 1e-6);
  EXPECT_NEAR(o.dDist1M, 5000.0, 1e-9);
  EXPECT_NEAR(o.dDist2M, 5000.0, 1e-9);
  EXPECT_NEAR(o.dAttenDB, dRORoundedObstacleLoss(50, 5000, 5000, 2500, 1.0), 1e-9);
  EXPECT_GT(o.dAttenDB, 16.3423);  // more than the knife edge
  EXPECT_NEAR(r.dAttenDB, o.dAttenDB, 1e-12);
  // Clear paths, and the earth bulge.
  const Path q = Flat(50000, 100);
  const RODiffraction flat = RODiffractionLoss(q.count(), q.d, q.e, 30, 30, 100, 0, 0);
  ASSERT_TRUE(flat.bOK);
  EXPECT_TRUE(flat.obstacles.empty());
  EXPECT_EQ(flat.dAttenDB, 0.0);
  // The 4/3-earth bulge of 36.8 m at mid-path blocks 30 m antennas.
  const RODiffraction curved = RODiffractionLoss(q.count(), q.d, q.e, 30, 30, 100, 0, 4.0 / 3.0);
  ASSERT_TRUE(curved.bOK);
  ASSERT_FALSE(curved.obstacles.empty());
  EXPECT_GT(curved.dAttenDB, 6.0);
  EXPECT_TRUE(std::isfinite(curved.dAttenDB));
}

// A parabolic hill of radius R and height H at mid-path (no earth bulge),
// sampled at a step, its elevations optionally in whole metres and with
// +-0.5 m roughness. ITU-R P.526 4.3: the tangent rays from the antennas
// (height a) touch the hill at u0 = -c + sqrt(c^2 - 2 R (H - a)) from its top,
// meet above the top at H + u0^2 / (2 R); d1 = d2 = c.
Path Hill(double step, double c, double H, double R, int rounding) {
  return test::Stepped(2 * c, step, [=, seed = 12345u](double x) mutable {
    double e = std::max(0.0, H - (x - c) * (x - c) / (2 * R));
    if (rounding >= 2) {
      seed = seed * 1103515245u + 12345u;
      e += (static_cast<double>((seed >> 16) % 1001) / 1000.0 - 0.5);
    }
    return rounding >= 1 ? std::round(e) : e;
  });
}

TEST(modPropRO, RoundedHillFollowsP526AndABlockedRayAlwaysHasALoss) {
  const double c = 10000, H = 150, R = 5000, a = 10, lambda = 1.0;
  const double u0 = -c + std::sqrt(c * c - 2 * R * (H - a));
  const double p526 = dRORoundedObstacleLoss(H + u0 * u0 / (2 * R) - a, c, c, R, lambda);
  for (double step : {25.0, 50.0, 100.0, 200.0})
    for (int rounding : {0, 1, 2}) {
      const Path p = Hill(step, c, H, R, rounding);
      const RODiffraction r = RODiffractionLoss(p.count(), p.d, p.e, a, a, 300, 0, 0);
      ASSERT_TRUE(r.bOK);
      ASSERT_EQ(r.obstacles.size(), 1u) << step << " " << rounding;
      EXPECT_NEAR(r.dAttenDB, p526, 1.0) << "step " << step << " rounding " << rounding;
      EXPECT_NEAR(r.obstacles[0].dDistM, c, step) << step << " " << rounding;
    }
  // A convex shoulder (no local maximum) that blocks the ray, and a narrow
  // ridge: a blocked ray always has a loss, at or above the knife edge's 6 dB.
  Path s = Flat(10000, 100);
  for (std::size_t i = 0; i < s.d.size(); ++i)
    s.e[i] = static_cast<float>(std::clamp((s.d[i] - 5000.0) * 0.05, 0.0, 200.0));
  // Rising ground to 200 m at 9 km, level beyond; receiver 10 m above it.
  const RODiffraction sh = RODiffractionLoss(s.count(), s.d, s.e, 100, 210, 300, 150, 0);
  ASSERT_TRUE(sh.bOK);
  ASSERT_FALSE(sh.obstacles.empty());
  EXPECT_GT(sh.dAttenDB, 6.0);
  EXPECT_NEAR(sh.obstacles[0].dDistM, 9000.0, 100.0);
  // The same ground with the receiver high enough to see over it: no loss.
  EXPECT_EQ(RODiffractionLoss(s.count(), s.d, s.e, 100, 400, 300, 150, 0).dAttenDB, 0.0);
}

// The brink of a drop 300 m before the receiver, with ground behind it that
// the ray from the transmitter passes far above: the brink is fitted over its
// own bend, so raising the ground behind it (still well under the ray) moves
// the loss little, where a fit reaching back over that ground once gave
// hundreds of dB.
TEST(modPropRO, BrinkIsFittedOverItsBendAndBadInputIsRefused) {
  auto brink = [](float behind) {
    Path p = Flat(10000, 200);  // 50 m step
    for (std::size_t i = 0; i < p.d.size(); ++i) {
      const double x = p.d[i];
      p.e[i] = x < 2000 ? 100.0f
               : x <= 9700 ? static_cast<float>(200.0 + (behind - 200.0) * (9700.0 - x) / 7700.0)
                           : static_cast<float>(std::max(100.0, 200.0 - (x - 9700.0) * 0.6));
    }
    const RODiffraction r = RODiffractionLoss(p.count(), p.d, p.e, 600, 110, 100, 0, 0);
    EXPECT_TRUE(r.bOK);
    EXPECT_EQ(r.obstacles.size(), 1u) << behind;
    return r.dAttenDB;
  };
  const double level = brink(200.0f);
  EXPECT_GT(level, 6.0);
  EXPECT_LT(level, 50.0);
  EXPECT_NEAR(brink(230.0f), level, 1.0);
  // Bad input.
  const Path p = Flat(1000, 10);
  const double nan = std::nan("");
  for (const RODiffraction& r :
       {RODiffractionLoss(0, {}, {}, 10, 10, 300, 1, 0), RODiffractionLoss(1, p.d, p.e, 10, 10, 300, 1, 0),
        RODiffractionLoss(p.count() + 1, p.d, p.e, 10, 10, 300, 1, 0),
        RODiffractionLoss(p.count(), p.d, p.e, nan, 10, 300, 1, 0),
        RODiffractionLoss(p.count(), p.d, p.e, 10, 10, 0, 1, 0),
        RODiffractionLoss(p.count(), p.d, p.e, 10, 10, nan, 1, 0),
        RODiffractionLoss(p.count(), p.d, p.e, 10, 10, 300, nan, 0)}) {
    EXPECT_FALSE(r.bOK);
    EXPECT_FALSE(r.sError.empty());
    EXPECT_EQ(r.dAttenDB, 0.0);
  }
  Path same = p;
  for (double& d : same.d) d = 5.0;
  EXPECT_FALSE(RODiffractionLoss(same.count(), same.d, same.e, 10, 10, 300, 1, 0).bOK);
}

// ------------------------------------------------------------ the calculator

class ROCalc : public test::ModelTestEnv {
 protected:
  static std::shared_ptr<FieldCollection> Template(std::string mode, std::string res = "5", std::string unit = "ft") {
    return test::Fields(
        {{"RO_OBRES", res.c_str()}, {"RO_OBRESUN", unit.c_str()}, {"RO_AMODE", mode.c_str()}, {"RO_DESC", "Hills"}});
  }
  // 20 km at 0 m, 100 m steps, with a rounded hill of 200 m at 10 km.
  static std::shared_ptr<test::GivenProfile> Hill(float top = 200.0f) {
    const auto ground = [top](double x) {
      x -= 10000.0;
      return static_cast<float>(std::max(0.0, top - x * x / 5000.0));
    };
    return test::EndingAt(test::Sampled(20000.0, 100.0, ground), 0.18);
  }
  static void Ready(clsQXAreaCovRO& c, std::shared_ptr<platform::clsPathElv> p, double freq = 300.0) {
    const double length = p->DIS_Array().empty() ? 20000.0 : p->DIS_Array().back();
    test::Ready(c, {.erpDbm = 60, .txAglM = 30, .txMslM = 30, .rxM = 10, .freqMHz = freq, .details = true,
                    .unDis = "km", .unElv = "m"},
                std::move(p), length);
  }
};

TEST_F(ROCalc, Reader) {
  clsQXAreaCovRO c;
  c.cPropMod(std::make_shared<FieldCollection>());  // every default
  ASSERT_TRUE(c.cPropMod());
  EXPECT_NEAR(c.dResolutionM(), 1.524, 1e-12);
  EXPECT_EQ(c.iMode(), kROModeMin);
  c.cPropMod(Template("dif", "10", "m"));
  EXPECT_DOUBLE_EQ(c.dResolutionM(), 10.0);
  EXPECT_EQ(c.iMode(), kROModeDif);
  ASSERT_TRUE(test::Accepts(c, Template(" Fig 9.9 ", "0", "m")));
  EXPECT_NEAR(c.dResolutionM(), 1.524, 1e-12);  // 0 or less: 5 ft
  EXPECT_EQ(c.iMode(), kROModeFig99);
  c.bSilent(true);
  EXPECT_FALSE(test::Accepts(c, Template("MIN", "5", "cubits")));
  EXPECT_EQ(c.sReadError().rfind("Unit conversion error:\n", 0), 0u) << c.sReadError();
}

TEST_F(ROCalc, ModeNamesAndCombination) {
  for (int m : {kROModeMin, kROModeMax, kROModeDif, kROModeSca, kROModeFig99})
    EXPECT_EQ(iROModeCode(sROModeName(m)), m);
  EXPECT_EQ(iROModeCode("FIGURE 9.9"), kROModeFig99);
  EXPECT_EQ(sROModeName(7), "UNKNOWN");
  std::string w;
  EXPECT_EQ(dROCombine(kROModeMin, 20, 35, &w), 20);
  EXPECT_EQ(w, "(free space + diffraction) ");
  EXPECT_EQ(dROCombine(kROModeMin, 40, 35, &w), 35);
  EXPECT_EQ(w, "(free space + scatter) ");
  EXPECT_EQ(dROCombine(kROModeMax, 20, 35, &w), 35);
  EXPECT_EQ(dROCombine(kROModeSca, 20, 35, &w), 35);
  EXPECT_EQ(dROCombine(kROModeDif, 0, 35, &w), 0);
  EXPECT_EQ(w, "(free space) ");
  EXPECT_NEAR(dROCombine(kROModeFig99, 10, 10, &w), 10 - 10 * std::log10(2.0), 1e-12);
  EXPECT_EQ(w, "(free space + figure 9.9) ");
  EXPECT_EQ(dROCombine(kROModeFig99, 0, 50, &w), 0);
  EXPECT_EQ(w, "(free space) ");
  EXPECT_EQ(dROCombine(kROModeMin, std::nan(""), 30, &w), 0);
}

// Smooth earth, 200 km, antennas 10 m over flat sea-level ground, 1000 MHz,
// k = 4/3: each horizon lies sqrt(2 ae h) away and dips sqrt(2 h / ae) below
// the horizontal, so theta = 1000 (D / ae - 2 sqrt(2 h / ae)) mrad.
TEST_F(ROCalc, TroposcatterOverSmoothEarth) {
  test::ProfileArrays p = test::Flat(200000, 2000);  // 100 m steps
  const ROTroposcatter r = ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 1000, 4.0 / 3.0);
  ASSERT_TRUE(r.bOK) << r.sError;
  const double ae = 4.0 / 3.0 * 6370e3;
  const double theta = 1000.0 * (200e3 / ae - 2.0 * std::sqrt(2.0 * 10.0 / ae));
  EXPECT_NEAR(r.dThetaMrad, theta, 0.01);
  const double lbs = 190.0 - 2.5 * std::pow(std::log10(0.5), 2) + 20.0 * std::log10(200.0) + 0.573 * theta -
                     0.15 * 301 + 0.051;
  EXPECT_NEAR(r.dBasicLossDB, lbs, 0.01);
  EXPECT_NEAR(r.dFreeSpaceDB, 32.45 + 60.0 + 20.0 * std::log10(200.0), 1e-9);
  EXPECT_NEAR(r.dAttenDB, lbs - r.dFreeSpaceDB, 0.01);
  EXPECT_GT(r.dAttenDB, 50.0);
  // A hill in the way raises both horizons and the loss.
  p.e[1000] = 1500.0f;
  EXPECT_GT(ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 1000, 4.0 / 3.0).dAttenDB, r.dAttenDB + 5.0);
  // Bad input.
  EXPECT_FALSE(ROTroposcatterLoss(1, p.d, p.e, 10, 10, 1000, 0).bOK);
  EXPECT_FALSE(ROTroposcatterLoss(2001, p.d, p.e, 10, 10, 0, 0).bOK);
  EXPECT_FALSE(ROTroposcatterLoss(3000, p.d, p.e, 10, 10, 100, 0).bOK);
}

TEST_F(ROCalc, CovCalcMatchesModelRoutinesAndClearPathIsFreeSpace) {
  for (const char* mode : {"MIN", "MAX", "DIF", "SCA", "FIG 9.9"}) {
    clsQXAreaCovRO c;
    c.cPropMod(Template(mode));
    auto p = Hill();
    Ready(c, p);
    c.CovCalc();
    ASSERT_FALSE(c.bErrorRun()) << c.sPathError();
    const double k = p->dKFactor();
    const RODiffraction dr = RODiffractionLoss(201, p->DIS_Array(), p->ELV_Array(), 30, 10, 300, 1.524, k);
    const ROTroposcatter sr = ROTroposcatterLoss(201, p->DIS_Array(), p->ELV_Array(), 30, 10, 300, k);
    ASSERT_TRUE(dr.bOK && sr.bOK);
    ASSERT_EQ(dr.obstacles.size(), 1u);
    EXPECT_GT(dr.dAttenDB, 10.0);
    std::string which;
    const double a = dROCombine(iROModeCode(mode), dr.dAttenDB, sr.dAttenDB, &which);
    EXPECT_DOUBLE_EQ(c.dModelLoss(), a) << mode;
    EXPECT_EQ(c.sResult(), which);
    EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(20000.0, 60.0));
    EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() - a);
    const std::string& t = c.sDetails();
    const std::string lines[] = {
        which, "\r\n\t N PATH LOC  ELEVATION    RADIUS   DISTANCE\r\n\t 1      100",
        "\r\n\t PATH    START         OBS         END      DIST 1    DIST 2    RADIUS    ATTEN",
        "\r\n\tDiffraction Attenuation: ", "\r\n\tTroposcatter Attenuation: ", "\r\n\t  Free Space Attenuation: "};
    for (const std::string& line : lines) EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
    const auto total = t.find("\r\n\t  Total Path Attenuation: ");
    ASSERT_NE(total, std::string::npos);
    EXPECT_EQ(t.find("\r\n", total + 2), std::string::npos);  // the last line
  }
  // A clear path is free space.
  clsQXAreaCovRO c;
  c.cPropMod(Template("DIF"));
  Ready(c, Hill(1.0f));
  c.FACTXmMSL(300.0);
  c.MOBAntM(300.0);
  c.CovCalc();
  EXPECT_EQ(c.dModelLoss(), 0.0);
  EXPECT_EQ(c.sResult(), "(free space) ");
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld());
}

}  // namespace
}  // namespace zw
