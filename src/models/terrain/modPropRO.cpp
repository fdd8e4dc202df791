#include "models/terrain/modPropRO.h"

#include <algorithm>
#include <cmath>

namespace zw {

bool ROPeaks(std::span<const double> dist, std::span<const float> elev, int nPoints, double dResolutionM,
             std::vector<int>& peaks, std::string& sErr) {
  peaks.clear();
  sErr.clear();
  if (nPoints < 0 || static_cast<std::size_t>(nPoints) > dist.size() ||
      static_cast<std::size_t>(nPoints) > elev.size()) {
    sErr = "Obstacle peaks: the point count is beyond the profile arrays";
    return false;
  }
  if (std::isnan(dResolutionM)) {
    sErr = "Obstacle peaks: the resolution is not a number";
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1])) {
      sErr = "Obstacle peaks: profile distances must be numbers in increasing order";
      return false;
    }
  }
  // Points with an elevation, in profile order.
  std::vector<std::size_t> idx;
  idx.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isfinite(elev[i]) && elev[i] > -30000.0f) idx.push_back(i);
  }
  const std::size_t m = idx.size();
  if (m < 3) return true;
  auto e = [&](std::size_t k) { return static_cast<double>(elev[idx[k]]); };
  const double res = dResolutionM > 0 ? dResolutionM : 0.0;

  std::size_t k = 1;
  while (k + 1 < m) {
    // A plateau of equal elevations starting at k.
    std::size_t k2 = k;
    while (k2 + 1 < m && e(k2 + 1) == e(k)) ++k2;
    const bool top = e(k - 1) < e(k) && k2 + 1 < m && e(k2 + 1) < e(k);
    if (top) {
      const double h = e(k);
      // Lowest ground before higher ground (or the end), left and right.
      double lowL = h;
      for (std::size_t j = k; j-- > 0;) {
        if (e(j) > h) break;
        if (e(j) < lowL) lowL = e(j);
      }
      double lowR = h;
      for (std::size_t j = k2 + 1; j < m; ++j) {
        if (e(j) > h) break;
        if (e(j) < lowR) lowR = e(j);
      }
      if (h - lowL >= res && h - lowR >= res && (h - lowL > 0) && (h - lowR > 0))
        peaks.push_back(static_cast<int>(idx[(k + k2) / 2]));
    }
    k = k2 + 1;
  }
  return true;
}

}  // namespace zw

namespace zw {

namespace {

constexpr double kEarthRadiusM = 6370e3;
constexpr double kPiRO = 3.14159265358979;

bool NoElevation(float e) { return !std::isfinite(e) || e <= -30000.0f; }

RODiffraction Failed(std::string why) {
  RODiffraction r;
  r.sError = std::move(why);
  return r;
}

}  // namespace

std::vector<ROHullObstacle> ROHullObstacles(std::span<const double> dist, std::span<const float> effElev,
                                            int nPoints, double dTxMSL, double dRxMSL, double dLambdaM) {
  std::vector<ROHullObstacle> out;
  if (nPoints < 3 || static_cast<std::size_t>(nPoints) > dist.size() ||
      static_cast<std::size_t>(nPoints) > effElev.size() || !std::isfinite(dTxMSL) || !std::isfinite(dRxMSL) ||
      !(dLambdaM > 0))
    return out;
  const std::size_t n = static_cast<std::size_t>(nPoints);
  const double d0 = dist[0], D = dist[n - 1] - d0;
  if (!(D > 0)) return out;
  struct P {
    int i;  // profile index; -1 for an antenna
    double d, e;
  };
  // Upper convex hull, antennas at the ends (monotone chain).
  std::vector<P> hull{{-1, 0.0, dTxMSL}};
  auto push = [&](const P& q) {
    while (hull.size() >= 2) {
      const P& o = hull[hull.size() - 2];
      const P& a = hull.back();
      const double cross = (a.d - o.d) * (q.e - o.e) - (a.e - o.e) * (q.d - o.d);
      if (cross >= 0) hull.pop_back();  // a is not above the chord o-q
      else break;
    }
    hull.push_back(q);
  };
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (NoElevation(effElev[i])) continue;
    const double d = dist[i] - d0;
    if (!(d > 0 && d < D)) continue;
    push({static_cast<int>(i), d, static_cast<double>(effElev[i])});
  }
  push({-1, D, dRxMSL});
  if (hull.size() < 3) return out;  // the direct ray clears the ground

  const auto fresnel = [&](double d) { return std::sqrt(dLambdaM * d * (D - d) / D); };
  // Deepest gap, in Fresnel radii, between the string and the ground from hull point a to b.
  const auto gap = [&](const P& a, const P& b) {
    double worst = 0.0;
    for (int i = a.i + 1; i < b.i; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (NoElevation(effElev[k])) continue;
      const double d = dist[k] - d0;
      const double y = a.e + (b.e - a.e) * (d - a.d) / (b.d - a.d);
      const double rf = fresnel(d);
      if (rf > 0) worst = std::max(worst, (y - effElev[k]) / rf);
    }
    return worst;
  };
  const auto slope = [](const P& a, const P& b) { return (b.e - a.e) / (b.d - a.d); };
  std::size_t j = 1;
  while (j + 1 < hull.size()) {
    std::size_t k = j;
    while (k + 2 < hull.size() && gap(hull[k], hull[k + 1]) <= 1.0) ++k;
    ROHullObstacle o;
    o.iFirst = hull[j].i;
    o.iLast = hull[k].i;
    o.iTop = o.iFirst;
    for (int i = o.iFirst; i <= o.iLast; ++i)
      if (!NoElevation(effElev[static_cast<std::size_t>(i)]) &&
          effElev[static_cast<std::size_t>(i)] > effElev[static_cast<std::size_t>(o.iTop)])
        o.iTop = i;
    o.dSlopeIn = slope(hull[j - 1], hull[j]);
    o.dSlopeOut = slope(hull[k], hull[k + 1]);
    o.dVertexDistM = hull[j].d;
    o.dVertexElevM = hull[j].e;
    if (k > j && o.dSlopeIn > o.dSlopeOut) {
      const P& a = hull[j];
      const P& b = hull[k];
      const double x = (b.e - a.e + o.dSlopeIn * a.d - o.dSlopeOut * b.d) / (o.dSlopeIn - o.dSlopeOut);
      o.dVertexDistM = std::clamp(x, a.d, b.d);
      o.dVertexElevM = a.e + o.dSlopeIn * (o.dVertexDistM - a.d);
    }
    out.push_back(o);
    j = k + 1;
  }
  return out;
}

double dROFitRadius(std::span<const double> dist, std::span<const float> effElev, int nPoints, int iTop,
                    double dDepthM, const ROHullObstacle* pRays) {
  if (iTop <= 0 || iTop + 1 >= nPoints || static_cast<std::size_t>(nPoints) > dist.size() ||
      static_cast<std::size_t>(nPoints) > effElev.size() || NoElevation(effElev[static_cast<std::size_t>(iTop)]))
    return 0.0;
  const double top = effElev[static_cast<std::size_t>(iTop)];
  const double depthM = std::isfinite(dDepthM) && dDepthM > 0 ? dDepthM : 0.0;
  const double x0 = dist[static_cast<std::size_t>(iTop)];
  // How far point i lies below the top (ITU-R P.526 4.3: the parabola is
  // fitted near the apex, within about a Fresnel radius of it) and, with the
  // rays, below the tangent ray on its side.
  const auto depth = [&](int i, float e) {
    if (pRays == nullptr) return top - e;
    const double x = dist[static_cast<std::size_t>(i)] - dist[0] - pRays->dVertexDistM;
    return std::max(top - e, pRays->dVertexElevM + (x < 0 ? pRays->dSlopeIn : pRays->dSlopeOut) * x - e);
  };
  // Normal equations of e = c0 + c1 x + c2 x^2, x from the top.
  double s[5] = {0, 0, 0, 0, 0}, t[3] = {0, 0, 0};
  int left = 0, right = 0;
  const auto add = [&](int i) {
    const double x = dist[static_cast<std::size_t>(i)] - x0, e = effElev[static_cast<std::size_t>(i)];
    double p = 1.0;
    for (int q = 0; q < 5; ++q, p *= x) {
      s[q] += p;
      if (q < 3) t[q] += p * e;
    }
  };
  // The reach of the obstacle on each side of the top, then a window as wide
  // on both sides as the narrower reach: a parabola over a one-sided window
  // (a level plateau behind a brink) misses the bend at the top.
  int first[2] = {iTop, iTop}, last[2] = {iTop, iTop};
  for (int side = 0; side < 2; ++side) {
    const int step = side == 0 ? -1 : 1;
    for (int i = iTop + step; i >= 0 && i < nPoints; i += step) {
      const float e = effElev[static_cast<std::size_t>(i)];
      if (NoElevation(e)) continue;
      if (first[side] != iTop && depth(i, e) > depthM) break;
      if (first[side] == iTop) first[side] = i;
      last[side] = i;
    }
  }
  if (first[0] == iTop || first[1] == iTop) return 0.0;
  const auto away = [&](int i) { return std::fabs(dist[static_cast<std::size_t>(i)] - x0); };
  // At least the nearest point on each side.
  const double reach =
      std::max({std::min(away(last[0]), away(last[1])), away(first[0]), away(first[1])}) * (1 + 1e-12);
  add(iTop);
  for (int side = 0; side < 2; ++side) {
    int& count = side == 0 ? left : right;
    const int step = side == 0 ? -1 : 1;
    for (int i = first[side]; i != last[side] + step; i += step) {
      if (NoElevation(effElev[static_cast<std::size_t>(i)]) || away(i) > reach) continue;
      add(i);
      ++count;
    }
  }
  // Solve the 3 x 3 system for c2 (Cramer).
  const double a[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
  const auto det3 = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double det = det3(a);
  if (!(std::fabs(det) > 0) || !std::isfinite(det)) return 0.0;
  double b[3][3] = {{s[0], s[1], t[0]}, {s[1], s[2], t[1]}, {s[2], s[3], t[2]}};
  const double c2 = det3(b) / det;
  if (!(c2 < 0) || !std::isfinite(c2)) return 0.0;
  return -1.0 / (2.0 * c2);
}

double dROKnifeEdgeJ(double nu) {
  if (!(nu > -0.78)) return 0.0;  // also NaN
  const double x = nu - 0.1;
  const double j = 6.9 + 20.0 * std::log10(std::sqrt(x * x + 1.0) + x);
  return std::isfinite(j) && j > 0 ? j : 0.0;
}

double dRORoundedObstacleLoss(double h, double d1, double d2, double R, double lambda) {
  if (!std::isfinite(h) || !(d1 > 0) || !(d2 > 0) || !(lambda > 0) || !std::isfinite(d1 + d2 + lambda) ||
      !(R >= 0) || !std::isfinite(R))
    return 0.0;
  const double nu = h * std::sqrt(2.0 * (d1 + d2) / (lambda * d1 * d2));
  const double j = dROKnifeEdgeJ(nu);
  if (j <= 0 || R == 0) return j;
  const double q = std::cbrt(kPiRO * R / lambda);
  const double m = R * ((d1 + d2) / (d1 * d2)) / q;
  const double n = h * q * q / R;
  const double mn = m * n;
  const double sm = std::sqrt(m);
  double t;
  if (mn <= 4.0)
    t = 7.2 * sm - (2.0 - 12.5 * n) * m + 3.6 * m * sm - 0.8 * m * m;
  else
    t = -6.0 - 20.0 * std::log10(mn) + 7.2 * sm - (2.0 - 17.0 * n) * m + 3.6 * m * sm - 0.8 * m * m;
  const double a = j + t;
  return std::isfinite(a) && a > 0 ? a : 0.0;
}

namespace {

// The first fault of the inputs of RODiffractionLoss ("" when there is none).
std::string RODiffractionInputFault(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                    double dTxMSL, double dRxMSL, double dFreqMHz, double dResolutionM,
                                    double dEarthFactor) {
  if (nPoints < 2) return "Rounded obstacle loss: the profile has fewer than two points";
  if (static_cast<std::size_t>(nPoints) > dist.size() || static_cast<std::size_t>(nPoints) > elev.size())
    return "Rounded obstacle loss: the point count is beyond the profile arrays";
  if (!std::isfinite(dTxMSL) || !std::isfinite(dRxMSL) || std::isnan(dResolutionM) || std::isnan(dEarthFactor))
    return "Rounded obstacle loss: an input is not a number";
  if (!(std::isfinite(dFreqMHz) && dFreqMHz > 0)) return "Rounded obstacle loss: the frequency must be greater than 0";
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1]))
      return "Rounded obstacle loss: profile distances must be numbers in increasing order";
  if (!(dist[n - 1] - dist[0] > 0)) return "Rounded obstacle loss: the path length must be greater than 0";
  return "";
}

// Radius (m) of the first Fresnel zone at d1 and d2 (m) from the path ends.
double FresnelRadiusM(double lambda, double d1, double d2) { return std::sqrt(lambda * d1 * d2 / (d1 + d2)); }

// Blocked path: each obstacle at the vertex of its tangent rays, against the
// ray between its neighbours' vertices (Epstein-Peterson).
void AddHullObstacles(RODiffraction& res, const std::vector<ROHullObstacle>& hull, std::span<const double> dist,
                      const std::vector<float>& eff, int nPoints, double dTxMSL, double dRxMSL, double D,
                      double lambda) {
  const auto vx = [&](std::size_t j, double& d, double& e) {
    if (j == 0) {
      d = 0.0;
      e = dTxMSL;
    } else if (j == hull.size() + 1) {
      d = D;
      e = dRxMSL;
    } else {
      d = hull[j - 1].dVertexDistM;
      e = hull[j - 1].dVertexElevM;
    }
  };
  for (std::size_t j = 1; j <= hull.size(); ++j) {
    double ad = 0, ae = 0, bd = 0, be = 0, cd = 0, ce = 0;
    vx(j - 1, ad, ae);
    vx(j, cd, ce);
    vx(j + 1, bd, be);
    const ROHullObstacle& h = hull[j - 1];
    ROObstacle o;
    o.iIndex = h.iTop;
    o.dDistM = cd;
    o.dElevM = ce;
    o.dDist1M = cd - ad;
    o.dDist2M = bd - cd;
    if (!(o.dDist1M > 0 && o.dDist2M > 0)) continue;
    o.dRadiusM = dROFitRadius(dist, eff, nPoints, h.iTop, FresnelRadiusM(lambda, o.dDist1M, o.dDist2M), &h);
    const double above = ce - (ae + (be - ae) * o.dDist1M / (bd - ad));
    o.dAttenDB = dRORoundedObstacleLoss(above, o.dDist1M, o.dDist2M, o.dRadiusM, lambda);
    res.dAttenDB += o.dAttenDB;
    res.obstacles.push_back(o);
  }
}

// Clear path: the crest of least clearance among the local maxima, when it
// enters the Fresnel zone.
RODiffraction ClearPathLoss(RODiffraction res, std::span<const double> dist, const std::vector<float>& eff,
                            int nPoints, double dTxMSL, double dRxMSL, double dResolutionM, double lambda) {
  const double d0 = dist[0], D = dist[static_cast<std::size_t>(nPoints) - 1] - d0;
  std::vector<int> idx;
  std::string err;
  if (!ROPeaks(dist, eff, nPoints, dResolutionM > 0 ? dResolutionM : 1.524, idx, err))
    return Failed("Rounded obstacle loss: " + err);
  double bestNu = -1e300;
  int worst = -1;
  for (int i : idx) {
    const double d = dist[static_cast<std::size_t>(i)] - d0;
    if (!(d > 0 && d < D)) continue;
    const double above = eff[static_cast<std::size_t>(i)] - (dTxMSL + (dRxMSL - dTxMSL) * d / D);
    const double nu = above * std::sqrt(2.0 * D / (lambda * d * (D - d)));
    if (nu > bestNu) {
      bestNu = nu;
      worst = i;
    }
  }
  if (worst < 0) return res;
  ROObstacle o;
  o.iIndex = worst;
  o.dDistM = dist[static_cast<std::size_t>(worst)] - d0;
  o.dElevM = eff[static_cast<std::size_t>(worst)];
  o.dDist1M = o.dDistM;
  o.dDist2M = D - o.dDistM;
  o.dRadiusM = dROFitRadius(dist, eff, nPoints, worst, FresnelRadiusM(lambda, o.dDist1M, o.dDist2M));
  const double above = o.dElevM - (dTxMSL + (dRxMSL - dTxMSL) * o.dDistM / D);
  o.dAttenDB = dRORoundedObstacleLoss(above, o.dDist1M, o.dDist2M, o.dRadiusM, lambda);
  if (o.dAttenDB <= 0) return res;  // clear of the zone
  res.dAttenDB = o.dAttenDB;
  res.obstacles.push_back(o);
  return res;
}

}  // namespace

RODiffraction RODiffractionLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                double dTxMSL, double dRxMSL, double dFreqMHz, double dResolutionM,
                                double dEarthFactor) {
  const std::string fault =
      RODiffractionInputFault(nPoints, dist, elev, dTxMSL, dRxMSL, dFreqMHz, dResolutionM, dEarthFactor);
  if (!fault.empty()) return Failed(fault);
  const std::size_t n = static_cast<std::size_t>(nPoints);
  const double d0 = dist[0], D = dist[n - 1] - d0;

  const double lambda = 300.0 / dFreqMHz;
  const double k = dEarthFactor > 0 ? dEarthFactor : 0.0;
  std::vector<float> eff(elev.begin(), elev.begin() + static_cast<std::ptrdiff_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    if (NoElevation(eff[i])) continue;
    const double d = dist[i] - d0;
    if (k > 0) eff[i] = static_cast<float>(eff[i] + d * (D - d) / (2.0 * k * kEarthRadiusM));
  }
  RODiffraction res;
  res.bOK = true;
  const std::vector<ROHullObstacle> hull = ROHullObstacles(dist, eff, nPoints, dTxMSL, dRxMSL, lambda);
  if (hull.empty()) return ClearPathLoss(res, dist, eff, nPoints, dTxMSL, dRxMSL, dResolutionM, lambda);
  AddHullObstacles(res, hull, dist, eff, nPoints, dTxMSL, dRxMSL, D, lambda);
  return res;
}

}  // namespace zw

namespace zw {

namespace {

std::string UpperTrimmed(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  std::string t(s.substr(a, b - a));
  for (char& c : t)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return t;
}

ROTroposcatter ScatterFailed(std::string why) {
  ROTroposcatter r;
  r.sError = std::move(why);
  return r;
}

}  // namespace

int iROModeCode(std::string_view sName) {
  const std::string s = UpperTrimmed(sName);
  if (s == "MIN") return kROModeMin;
  if (s == "MAX") return kROModeMax;
  if (s == "DIF") return kROModeDif;
  if (s == "SCA") return kROModeSca;
  if (s == "FIG 9.9" || s == "FIG9.9" || s == "FIGURE 9.9" || s == "9.9") return kROModeFig99;
  return kROModeInvalid;
}

std::string sROModeName(int iMode) {
  switch (iMode) {
    case kROModeMin: return "MIN";
    case kROModeMax: return "MAX";
    case kROModeDif: return "DIF";
    case kROModeSca: return "SCA";
    case kROModeFig99: return "FIG 9.9";
    default: return "UNKNOWN";
  }
}

ROTroposcatter ROTroposcatterLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                  double dTxMSL, double dRxMSL, double dFreqMHz, double dEarthFactor) {
  if (nPoints < 2) return ScatterFailed("Troposcatter loss: the profile has fewer than two points");
  if (static_cast<std::size_t>(nPoints) > dist.size() || static_cast<std::size_t>(nPoints) > elev.size())
    return ScatterFailed("Troposcatter loss: the point count is beyond the profile arrays");
  if (!std::isfinite(dTxMSL) || !std::isfinite(dRxMSL) || std::isnan(dEarthFactor))
    return ScatterFailed("Troposcatter loss: an input is not a number");
  if (!(std::isfinite(dFreqMHz) && dFreqMHz > 0))
    return ScatterFailed("Troposcatter loss: the frequency must be greater than 0");
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1]))
      return ScatterFailed("Troposcatter loss: profile distances must be numbers in increasing order");
  const double d0 = dist[0], D = dist[n - 1] - d0;
  if (!(D > 0)) return ScatterFailed("Troposcatter loss: the path length must be greater than 0");

  const double ae = (dEarthFactor > 0 && std::isfinite(dEarthFactor) ? dEarthFactor : 4.0 / 3.0) * kEarthRadiusM;
  // Horizon angles (radians): no lower than the angle to the other antenna.
  double thT = (dRxMSL - dTxMSL) / D - D / (2.0 * ae);
  double thR = (dTxMSL - dRxMSL) / D - D / (2.0 * ae);
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (NoElevation(elev[i])) continue;
    const double d = dist[i] - d0;
    if (!(d > 0 && d < D)) continue;
    thT = std::max(thT, (elev[i] - dTxMSL) / d - d / (2.0 * ae));
    thR = std::max(thR, (elev[i] - dRxMSL) / (D - d) - (D - d) / (2.0 * ae));
  }
  ROTroposcatter r;
  r.dHorizonTxMrad = 1000.0 * std::atan(thT);
  r.dHorizonRxMrad = 1000.0 * std::atan(thR);
  r.dThetaMrad = 1000.0 * D / ae + r.dHorizonTxMrad + r.dHorizonRxMrad;
  const double fGHz = dFreqMHz / 1000.0, dKm = D / 1000.0;
  const double lf2 = std::log10(fGHz / 2.0);
  const double Lf = 25.0 * std::log10(fGHz) - 2.5 * lf2 * lf2;
  const double Lc = 0.051;  // exp(0.055 (Gt + Gr)) with Gt = Gr = 0 dBi
  constexpr double kN0 = 301.0;
  // The angular distance is at least the earth's own at this length (a
  // line-of-sight path can make the sum of the horizon angles negative).
  const double theta = std::max(r.dThetaMrad, 1e-6);
  r.dBasicLossDB = 190.0 + Lf + 20.0 * std::log10(dKm) + 0.573 * theta - 0.15 * kN0 + Lc;
  r.dFreeSpaceDB = 32.45 + 20.0 * std::log10(dFreqMHz) + 20.0 * std::log10(dKm);
  const double a = r.dBasicLossDB - r.dFreeSpaceDB;
  if (!std::isfinite(a)) return ScatterFailed("Troposcatter loss: the loss could not be computed");
  r.dAttenDB = a > 0 ? a : 0.0;
  r.bOK = true;
  return r;
}

double dROCombine(int iMode, double dDiffDB, double dScatDB, std::string* sWhich) {
  const double ad = std::isfinite(dDiffDB) && dDiffDB > 0 ? dDiffDB : 0.0;
  const double as = std::isfinite(dScatDB) && dScatDB > 0 ? dScatDB : 0.0;
  double a = ad;
  std::string which = "(free space + diffraction) ";
  switch (iMode) {
    case kROModeMin:
      if (as < ad) {
        a = as;
        which = "(free space + scatter) ";
      }
      break;
    case kROModeMax:
      if (as > ad) {
        a = as;
        which = "(free space + scatter) ";
      }
      break;
    case kROModeSca:
      a = as;
      which = "(free space + scatter) ";
      break;
    case kROModeFig99: {
      a = -10.0 * std::log10(std::pow(10.0, -ad / 10.0) + std::pow(10.0, -as / 10.0));
      if (!(a > 0)) a = 0.0;
      which = "(free space + figure 9.9) ";
      break;
    }
    default:
      break;
  }
  if (a <= 0) which = "(free space) ";
  if (sWhich) *sWhich = which;
  return a;
}

}  // namespace zw
