// Longley-Rice core: the variability step (the published routine avar) with
// its climate tables.
#include "models/terrain/modPropLR.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace zw {

namespace {

using lr::kThird;
using lr::sq;

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

// Climate curve of the variability step.
double curve(double c1, double c2, double x1, double x2, double x3, double de) {
  return (c1 + c2 / (1.0 + sq((de - x2) / x3))) * sq(de / x1) / (1.0 + sq(de / x1));
}

}  // namespace

// The published routine, kept whole so that it reads line by line against the
// algorithm's text (its static values and the order of its arithmetic).
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

}  // namespace zw
