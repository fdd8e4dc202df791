#include "models/terrain/typComplex.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zw {
namespace {

TEST(typComplex, Arithmetic) {
  const typComplex a = CplxMake(1, 2), b = CplxMake(3, -4);
  const typComplex s = CplxAdd(a, b);
  EXPECT_EQ(s.dRe, 4);
  EXPECT_EQ(s.dIm, -2);
  const typComplex p = CplxMul(a, b);  // (3 + 8) + (-4 + 6) i
  EXPECT_EQ(p.dRe, 11);
  EXPECT_EQ(p.dIm, 2);
  EXPECT_EQ(CplxAbs(b), 5);
  EXPECT_NEAR(CplxArg(CplxMake(0, 1)), 1.570796325, 1e-12);
  EXPECT_NEAR(CplxArg(CplxMake(-1, 0)), 3.14159265, 1e-12);
  EXPECT_EQ(CplxArg(CplxMake(0, 0)), 0);
}

TEST(typComplex, PolarSquareRootAndDivision) {
  // Ground constants: relative permittivity 15, conductivity term 0.63.
  const typComplex r = CplxSqrt(CplxMake(15 - 1, 0.63));
  EXPECT_NEAR(r.dRe, 3.743, 1e-3);
  EXPECT_NEAR(r.dIm, 0.084, 1e-3);
  const typComplex sq = CplxMul(r, r);
  EXPECT_NEAR(sq.dRe, 14, 1e-6);
  EXPECT_NEAR(sq.dIm, 0.63, 1e-6);

  const typComplex q = CplxDiv(CplxMake(11, 2), CplxMake(3, -4));
  EXPECT_NEAR(q.dRe, 1, 1e-7);  // pi is 3.14159265 in the arguments
  EXPECT_NEAR(q.dIm, 2, 1e-7);
  const typComplex n = CplxSqrt(CplxMake(-4, 0));
  EXPECT_NEAR(n.dRe, 0, 1e-8);
  EXPECT_NEAR(n.dIm, 2, 1e-8);
  const typComplex z = CplxDiv(CplxMake(1, 0), CplxMake(0, 0));
  EXPECT_FALSE(std::isfinite(z.dRe));  // no trap, no crash
}

}  // namespace
}  // namespace zw
