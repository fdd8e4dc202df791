#include "common/itplbv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace zw {
namespace {

using Fn = std::function<double(double, double)>;

CurveGrid MakeGrid(std::vector<float> x, std::vector<float> y, const Fn& f) {
  CurveGrid g{std::move(x), std::move(y), {}};
  for (float yj : g.y)
    for (float xi : g.x) g.z.push_back(static_cast<float>(f(xi, yj)));
  return g;
}

std::vector<float> Interp(const CurveGrid& g, const std::vector<float>& u, const std::vector<float>& v,
                          std::int16_t* ierOut = nullptr) {
  std::vector<float> w(u.size(), -999.0f);
  const std::int16_t ier = itplbv(g.x, g.y, g.z, u, v, w);
  if (ierOut) *ierOut = ier;
  else EXPECT_EQ(ier, 0);
  return w;
}

// Uneven axes on both sides of zero; queries run two cells beyond every edge.
const std::vector<float> kUnevenX{0.0f, 1.0f, 2.5f, 3.0f, 7.0f, 8.25f};
const std::vector<float> kUnevenY{-2.0f, 0.0f, 1.0f, 4.0f, 4.5f};

double Wavy(double x, double y) { return std::sin(1.3 * x) * 10 + std::cos(0.7 * y) * 4 + 0.3 * x * y; }

TEST(itplbv, ReproducesEveryNodeExactly) {
  for (const auto& axes : {std::pair{kUnevenX, kUnevenY}, std::pair{std::vector<float>{1, 2}, kUnevenY},
                           std::pair{kUnevenX, std::vector<float>{-1, 5}}}) {
    const CurveGrid g = MakeGrid(axes.first, axes.second, Wavy);
    std::vector<float> u, v;
    for (float yj : g.y)
      for (float xi : g.x) u.push_back(xi), v.push_back(yj);
    const std::vector<float> w = Interp(g, u, v);
    for (std::size_t k = 0; k < w.size(); ++k) EXPECT_EQ(w[k], g.z[k]) << "node " << k;  // last nodes included
  }
}

TEST(itplbv, BilinearSurfacesExact) {
  const Fn plane = [](double x, double y) { return 3 + 2 * x - 1.5 * y; };
  const Fn bilinear = [](double x, double y) { return -7 + 0.5 * x + 2 * y + 0.25 * x * y; };
  const auto check = [](const CurveGrid& g, const Fn& f, double u0, double u1, double v0, double v1) {
    std::vector<float> u, v;
    for (double uu = u0; uu <= u1; uu += 0.37)
      for (double vv = v0; vv <= v1; vv += 0.41) u.push_back(float(uu)), v.push_back(float(vv));
    const std::vector<float> w = Interp(g, u, v);
    for (std::size_t k = 0; k < w.size(); ++k) {
      ASSERT_NEAR(w[k], f(u[k], v[k]), 2e-5 * (1 + std::fabs(f(u[k], v[k])))) << u[k] << ", " << v[k];
    }
  };
  // A plane everywhere, two cells beyond every edge and corner included.
  check(MakeGrid(kUnevenX, kUnevenY, plane), plane, -3.0, 11.5, -5.0, 7.5);
  // Two-point axes: the one cell's polynomial serves everywhere.
  check(MakeGrid({1.0f, 2.0f}, kUnevenY, plane), plane, -3.0, 6.0, -5.0, 7.5);
  check(MakeGrid({1.0f, 2.0f}, {0.0f, 3.0f}, plane), plane, -3.0, 6.0, -5.0, 7.5);
  // A bilinear surface inside an uneven grid ...
  check(MakeGrid(kUnevenX, kUnevenY, bilinear), bilinear, 0.0, 8.25, -2.0, 4.5);
  // ... and outside an even one. (Outside an uneven grid the published
  // algorithm extends the cross slopes linearly in the node index, not in the
  // coordinate, so a bilinear surface is not reproduced there exactly.)
  const std::vector<float> ex{-2, 0, 2, 4, 6}, ey{10, 15, 20, 25};
  check(MakeGrid(ex, ey, bilinear), bilinear, -6.0, 10.0, 2.0, 33.0);
}

TEST(itplbv, BiquadraticExactOnEvenSpacing) {
  // Akima's slopes are exact for quadratics on evenly spaced data, so the
  // bicubic cells reproduce any biquadratic inside the grid ...
  const std::vector<float> x{0, 2, 4, 6, 8, 10}, y{-3, -2, -1, 0, 1, 2, 3};
  const Fn biq = [](double a, double b) { return 1 + a * a * b * b / 50 - 0.3 * a * a + b - 0.5 * a * b; };
  const CurveGrid g = MakeGrid(x, y, biq);
  std::vector<float> u, v;
  for (double uu = 0; uu <= 10; uu += 0.3)
    for (double vv = -3; vv <= 3; vv += 0.17) u.push_back(float(uu)), v.push_back(float(vv));
  std::vector<float> w = Interp(g, u, v);
  for (std::size_t k = 0; k < w.size(); ++k) ASSERT_NEAR(w[k], biq(u[k], v[k]), 1e-4) << u[k] << ", " << v[k];

  // ... and a quadratic whose cross term is bilinear also in the
  // extrapolated cells beyond every edge and corner.
  const Fn quad = [](double a, double b) { return a * a - 2 * b * b + 0.7 * a * b - a + 3; };
  const CurveGrid q = MakeGrid(x, y, quad);
  u.clear(), v.clear();
  for (double uu = -4; uu <= 14; uu += 0.5)
    for (double vv = -5; vv <= 5; vv += 0.5) u.push_back(float(uu)), v.push_back(float(vv));
  w = Interp(q, u, v);
  for (std::size_t k = 0; k < w.size(); ++k) ASSERT_NEAR(w[k], quad(u[k], v[k]), 2e-5 * (1 + std::fabs(quad(u[k], v[k])))) << u[k] << ", " << v[k];
}

TEST(itplbv, StepDataDoesNotOvershoot) {
  // A cliff between x = 2 and x = 3: a global cubic spline rings on both
  // sides; Akima's surface stays flat on the flats and monotone on the cliff.
  const std::vector<float> x{0, 1, 2, 3, 4, 5, 6}, y{0, 1, 2, 3};
  const CurveGrid g = MakeGrid(x, y, [](double a, double) { return a <= 2 ? 0.0 : 10.0; });
  for (double vv = -0.5; vv <= 3.5; vv += 0.5) {
    std::vector<float> u, v;
    for (double uu = 0; uu <= 6; uu += 0.05) u.push_back(float(uu)), v.push_back(float(vv));
    const std::vector<float> w = Interp(g, u, v);
    for (std::size_t k = 0; k < w.size(); ++k) {
      if (u[k] <= 2) {
        EXPECT_NEAR(w[k], 0.0f, 1e-5) << u[k];
      }
      if (u[k] >= 3) {
        EXPECT_NEAR(w[k], 10.0f, 1e-5) << u[k];
      }
      EXPECT_GE(w[k], -1e-5f);
      EXPECT_LE(w[k], 10.00001f);
      if (k > 0) {
        EXPECT_GE(w[k], w[k - 1] - 1e-5f) << u[k];
      }
    }
  }
}

TEST(itplbv, MirroredAndTransposedGridsGiveTheSameSurface) {
  // Catches edge handling that differs between the low and high ends of an
  // axis, and x/y mix-ups.
  const CurveGrid g = MakeGrid(kUnevenX, kUnevenY, Wavy);
  CurveGrid m, t;
  for (auto it = g.x.rbegin(); it != g.x.rend(); ++it) m.x.push_back(-*it);
  m.y = g.y;
  for (std::size_t j = 0; j < g.y.size(); ++j)
    for (std::size_t i = g.x.size(); i-- > 0;) m.z.push_back(g.at(i, j));
  t.x = g.y, t.y = g.x;
  for (std::size_t i = 0; i < g.x.size(); ++i)
    for (std::size_t j = 0; j < g.y.size(); ++j) t.z.push_back(g.at(i, j));
  std::vector<float> u, v, mu;
  for (double uu = -2.5; uu <= 10.5; uu += 0.31)
    for (double vv = -4.0; vv <= 6.5; vv += 0.29) u.push_back(float(uu)), v.push_back(float(vv)), mu.push_back(-float(uu));
  const std::vector<float> w = Interp(g, u, v), wm = Interp(m, mu, v), wt = Interp(t, v, u);
  for (std::size_t k = 0; k < w.size(); ++k) {
    ASSERT_NEAR(wm[k], w[k], 1e-4 * (1 + std::fabs(w[k]))) << u[k] << ", " << v[k];
    ASSERT_NEAR(wt[k], w[k], 1e-4 * (1 + std::fabs(w[k]))) << u[k] << ", " << v[k];
  }
}

TEST(itplbv, ExtrapolatesContinuouslyAndFinitely) {
  const CurveGrid g = MakeGrid(kUnevenX, kUnevenY, Wavy);
  // Continuous across every edge of the grid.
  for (float vv : {-2.0f, 0.5f, 4.5f}) {
    const float eps = 1e-3f;
    for (float edge : {g.x.front(), g.x.back()}) {
      const auto w = Interp(g, {edge - eps, edge, edge + eps}, {vv, vv, vv});
      EXPECT_NEAR(w[0], w[1], 0.05f);
      EXPECT_NEAR(w[2], w[1], 0.05f);
    }
  }
  for (float uu : {0.0f, 2.7f, 8.25f}) {
    for (float edge : {g.y.front(), g.y.back()}) {
      const auto w = Interp(g, {uu, uu, uu}, {edge - 1e-3f, edge, edge + 1e-3f});
      EXPECT_NEAR(w[0], w[1], 0.05f);
      EXPECT_NEAR(w[2], w[1], 0.05f);
    }
  }
  // Far outside (corners included) the value is finite.
  const auto w = Interp(g, {-100, 500, -100, 500, 3}, {-100, -100, 900, 900, 1e4f});
  for (float wk : w) EXPECT_TRUE(std::isfinite(wk));
}

TEST(itplbv, ReportsBadArgumentsAndLeavesResultsAlone) {
  const CurveGrid g = MakeGrid(kUnevenX, kUnevenY, Wavy);
  const CurveGrid saved = g;
  float w = 123.0f;
  std::int16_t ier = 0;
  const float u = 1.0f, v = 1.0f;
  const auto call = [&](std::int16_t lx, std::int16_t ly, const float* x, const float* y, std::int16_t n) {
    w = 123.0f;
    ier = 0;
    itplbv(lx, ly, *x, *y, g.z[0], n, u, v, w, ier);
    return ier;
  };
  EXPECT_EQ(call(1, 5, g.x.data(), g.y.data(), 1), 1);
  EXPECT_EQ(call(-4, 5, g.x.data(), g.y.data(), 1), 1);
  EXPECT_EQ(call(6, 1, g.x.data(), g.y.data(), 1), 2);
  EXPECT_EQ(call(6, 5, g.x.data(), g.y.data(), 0), 3);
  const std::vector<float> xEq{0, 1, 1, 3, 7, 8}, xDown{0, 1, 0.5f, 3, 7, 8}, xNaN{0, 1, NAN, 3, 7, 8};
  EXPECT_EQ(call(6, 5, xEq.data(), g.y.data(), 1), 4);
  EXPECT_EQ(call(6, 5, xDown.data(), g.y.data(), 1), 5);
  EXPECT_EQ(call(6, 5, xNaN.data(), g.y.data(), 1), 5);
  const std::vector<float> yEq{-2, 0, 0, 4, 4.5f}, yDown{-2, 0, 1, 4, -4.5f};
  EXPECT_EQ(call(6, 5, g.x.data(), yEq.data(), 1), 6);
  EXPECT_EQ(call(6, 5, g.x.data(), yDown.data(), 1), 7);
  EXPECT_EQ(w, 123.0f);  // untouched on every argument error
  EXPECT_EQ(call(6, 5, g.x.data(), g.y.data(), 1), 0);
  EXPECT_NE(w, 123.0f);

  // A query point that is not a number: flagged, the other points computed.
  std::vector<float> uu{1.0f, NAN, 2.0f}, vv{1.0f, 1.0f, INFINITY}, ww(3, 0.0f);
  EXPECT_EQ(itplbv(g.x, g.y, g.z, uu, vv, ww), 8);
  EXPECT_TRUE(std::isfinite(ww[0]));
  EXPECT_TRUE(std::isnan(ww[1]));
  EXPECT_TRUE(std::isnan(ww[2]));

  // Checked form: sizes must agree.
  std::vector<float> shortZ(g.z.begin(), g.z.end() - 1), w2(2);
  EXPECT_EQ(itplbv(g.x, g.y, shortZ, uu, vv, ww), 9);
  EXPECT_EQ(itplbv(g.x, g.y, g.z, uu, vv, w2), 9);
  EXPECT_FALSE(ItplbvErrorText(5).empty());
  EXPECT_TRUE(ItplbvErrorText(0).empty());

  EXPECT_EQ(g.x, saved.x);  // the grid is read only
  EXPECT_EQ(g.y, saved.y);
  EXPECT_EQ(g.z, saved.z);
}

}  // namespace
}  // namespace zw
