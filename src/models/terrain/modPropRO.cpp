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

struct Crest {
  int idx;
  double d;
  double e;
  double R;
};

RODiffraction Failed(std::string why) {
  RODiffraction r;
  r.sError = std::move(why);
  return r;
}

}  // namespace

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

RODiffraction RODiffractionLoss(int nPoints, std::span<const double> dist, std::span<const float> elev,
                                double dTxMSL, double dRxMSL, double dFreqMHz, double dResolutionM,
                                double dEarthFactor) {
  if (nPoints < 2) return Failed("Rounded obstacle loss: the profile has fewer than two points");
  if (static_cast<std::size_t>(nPoints) > dist.size() || static_cast<std::size_t>(nPoints) > elev.size())
    return Failed("Rounded obstacle loss: the point count is beyond the profile arrays");
  if (!std::isfinite(dTxMSL) || !std::isfinite(dRxMSL) || std::isnan(dResolutionM) || std::isnan(dEarthFactor))
    return Failed("Rounded obstacle loss: an input is not a number");
  if (!(std::isfinite(dFreqMHz) && dFreqMHz > 0))
    return Failed("Rounded obstacle loss: the frequency must be greater than 0");
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1]))
      return Failed("Rounded obstacle loss: profile distances must be numbers in increasing order");
  const double d0 = dist[0], D = dist[n - 1] - d0;
  if (!(D > 0)) return Failed("Rounded obstacle loss: the path length must be greater than 0");

  const double lambda = 300.0 / dFreqMHz;
  const double k = dEarthFactor > 0 ? dEarthFactor : 0.0;
  std::vector<float> eff(elev.begin(), elev.begin() + static_cast<std::ptrdiff_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    if (NoElevation(eff[i])) continue;
    const double d = dist[i] - d0;
    if (k > 0) eff[i] = static_cast<float>(eff[i] + d * (D - d) / (2.0 * k * kEarthRadiusM));
  }
  std::vector<int> idx;
  std::string err;
  if (!ROPeaks(dist, eff, nPoints, dResolutionM > 0 ? dResolutionM : 1.524, idx, err))
    return Failed("Rounded obstacle loss: " + err);

  // Crests with their radius: parabola through the neighbouring points.
  auto neighbour = [&](int i, int step) {
    for (int j = i + step; j >= 0 && j < nPoints; j += step)
      if (!NoElevation(eff[static_cast<std::size_t>(j)])) return j;
    return -1;
  };
  std::vector<Crest> crests;
  for (int i : idx) {
    const double d = dist[static_cast<std::size_t>(i)] - d0;
    if (!(d > 0 && d < D)) continue;
    const double e = eff[static_cast<std::size_t>(i)];
    double R = 0.0;
    const int l = neighbour(i, -1), r = neighbour(i, +1);
    if (l >= 0 && r >= 0) {
      const double a = d - (dist[static_cast<std::size_t>(l)] - d0);
      const double b = (dist[static_cast<std::size_t>(r)] - d0) - d;
      if (a > 0 && b > 0) {
        const double c2 = ((eff[static_cast<std::size_t>(l)] - e) / a + (eff[static_cast<std::size_t>(r)] - e) / b) / (a + b);
        if (c2 < 0 && std::isfinite(c2)) R = -1.0 / (2.0 * c2);
      }
    }
    crests.push_back({i, d, e, R});
  }

  RODiffraction res;
  res.bOK = true;
  if (crests.empty()) return res;
  const Crest tx{-1, 0.0, dTxMSL, 0.0}, rx{-1, D, dRxMSL, 0.0};
  std::vector<Crest> chain;
  Crest cur = tx;
  for (;;) {
    double best = (rx.e - cur.e) / (rx.d - cur.d);
    const Crest* next = nullptr;
    for (const Crest& c : crests) {
      if (c.d <= cur.d) continue;
      const double s = (c.e - cur.e) / (c.d - cur.d);
      if (s > best) {
        best = s;
        next = &c;
      }
    }
    if (!next) break;
    chain.push_back(*next);
    cur = *next;
  }
  auto heightAbove = [](const Crest& a, const Crest& b, const Crest& c) {
    return c.e - (a.e + (b.e - a.e) * (c.d - a.d) / (b.d - a.d));
  };
  if (chain.empty()) {
    // Clear path: the crest of least clearance, when the Fresnel zone is touched.
    double bestNu = -1e300;
    const Crest* worst = nullptr;
    for (const Crest& c : crests) {
      const double nu = heightAbove(tx, rx, c) * std::sqrt(2.0 * D / (lambda * c.d * (D - c.d)));
      if (nu > bestNu) {
        bestNu = nu;
        worst = &c;
      }
    }
    if (worst) chain.push_back(*worst);
  }
  for (std::size_t j = 0; j < chain.size(); ++j) {
    const Crest& a = j == 0 ? tx : chain[j - 1];
    const Crest& b = j + 1 == chain.size() ? rx : chain[j + 1];
    const Crest& c = chain[j];
    ROObstacle o;
    o.iIndex = c.idx;
    o.dDistM = c.d;
    o.dElevM = c.e;
    o.dRadiusM = c.R;
    o.dDist1M = c.d - a.d;
    o.dDist2M = b.d - c.d;
    o.dAttenDB = dRORoundedObstacleLoss(heightAbove(a, b, c), o.dDist1M, o.dDist2M, c.R, lambda);
    if (chain.size() == 1 && o.dAttenDB <= 0 && heightAbove(tx, rx, c) < 0) break;  // clear of the zone
    res.dAttenDB += o.dAttenDB;
    res.obstacles.push_back(o);
  }
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
