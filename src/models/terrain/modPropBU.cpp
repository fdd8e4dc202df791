#include "models/terrain/modPropBU.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/itplbv.h"
#include "common/calcMiscMath.h"
#include "models/terrain/modPropRO.h"
#include "models/terrain/modsBUmode.h"

namespace zw {

namespace {

// Knife-edge level table: X = clearance ratio v (7 values), Y = reflection
// coefficient r (3 values), Z with X fastest, as the curve interpolation reads
// its grids.
constexpr std::array<float, 7> kKnifeV{-2.5f, -2.0f, -1.5f, -1.0f, -0.5f, 0.0f, 0.5f};
constexpr std::array<float, 3> kKnifeR{0.0f, 0.3f, 1.0f};
constexpr std::array<float, 21> kKnifeLevel{
    -24, -22, -19, -17, -12, -6, 0,   // r = 0
    -54, -45, -36, -27, -18, -10, -1,  // r = 0.3
    -84, -70, -56, -43, -29, -16, -2,  // r = 1.0
};

// "FIGURE 12" loss scale: positions and their levels.
constexpr std::array<double, 20> kScalePos{-5.7,  4.3,   13.3,  23.5,  33.3,  43.3,  52.8,
                                           63.3,  72.8,  82.3,  92.3,  102.3, 111.8, 121.8,
                                           132.3, 143.8, 154.5, 168.3, 178.0, 190.3};
constexpr std::array<double, 20> kScaleLevel{-40, -38, -36, -34, -32, -30, -28, -26, -24, -22,
                                             -20, -18, -16, -14, -12, -10, -8,  -6,  -5,  -4};

constexpr double kEarthRadiusM = 6370e3;

bool NoElevation(float e) { return !std::isfinite(e) || e <= -30000.0f; }

// A profile point in the loss routine's working form: distance from the
// transmitter and effective ground height.
struct Pt {
  double d;
  double e;
};

// Clearance ratio of point p under the ray from a to b.
double ClearanceRatio(const Pt& a, const Pt& b, const Pt& p, double lambda) {
  const double d1 = p.d - a.d, d2 = b.d - p.d, d = b.d - a.d;
  const double y = a.e + (b.e - a.e) * d1 / d;
  const double rf = std::sqrt(d1 * d2 * lambda / d);
  return (y - p.e) / rf;
}

BULossResult Fail(std::string text) {
  BULossResult r;
  r.bOK = false;
  r.sLog = std::move(text);
  return r;
}

}  // namespace

double dBUKnifeEdgeTableLookup(double v, double r) {
  // One point of the table with the curve interpolation (LX 7, LY 3, U = v,
  // V = r, single precision as the routine takes them).
  const float u = static_cast<float>(std::clamp(v, static_cast<double>(kKnifeV.front()), static_cast<double>(kKnifeV.back())));
  const float w = static_cast<float>(std::clamp(r, static_cast<double>(kKnifeR.front()), static_cast<double>(kKnifeR.back())));
  float level = 0.0f;
  const std::int16_t ier = itplbv(kKnifeV, kKnifeR, kKnifeLevel, std::span<const float>(&u, 1),
                                  std::span<const float>(&w, 1), std::span<float>(&level, 1));
  // The table is fixed and the point finite: a failure cannot come from the
  // caller; read it as no loss rather than pass on a value not computed.
  if (ier != 0 || !std::isfinite(level)) return 0.0;
  return level;
}

double dBUKnifeEdgeLevel(double v, double r) {
  if (std::isnan(v)) return 0.0;
  if (v >= 0.5) return 0.0;
  if (v < -2.5) return (v + 2.0) * 4.0 - 22.0;
  if (std::isnan(r)) r = 0.0;
  r = std::clamp(r, 0.0, 1.0);
  const double level = dBUKnifeEdgeTableLookup(v, r);
  return level > 0 ? 0.0 : level;
}

double dBUNomogramScaleLevel(double E) {
  if (std::isnan(E) || E <= 0) return kScaleLevel.front();
  if (E > kScalePos.back()) return kScaleLevel.back();
  for (std::size_t k = 0; k + 1 < kScalePos.size(); ++k) {
    if (kScalePos[k] < E && E <= kScalePos[k + 1]) {
      const double t = (E - kScalePos[k]) / (kScalePos[k + 1] - kScalePos[k]);
      return kScaleLevel[k] + (kScaleLevel[k + 1] - kScaleLevel[k]) * t;
    }
  }
  return kScaleLevel.back();
}

double dBUFigure12Level(int nPoints, std::span<const double> dist, std::span<const float> elev, double dTxMSL,
                        double dRxMSL, double dFreqMHz) {
  if (nPoints < 3 || static_cast<std::size_t>(nPoints) > dist.size() ||
      static_cast<std::size_t>(nPoints) > elev.size() || !(dFreqMHz > 0))
    return 0.0;
  const std::size_t n = static_cast<std::size_t>(nPoints);
  const double d0 = dist[0];
  const double D = dist[n - 1] - d0;
  if (!(D > 0)) return 0.0;
  const double ht = dTxMSL, hr = dRxMSL;
  double s1 = -88888.0, s2 = -88888.0;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (NoElevation(elev[i])) continue;
    const double d = dist[i] - d0;
    if (!(d > 0 && d < D)) continue;
    s1 = std::max(s1, (elev[i] - ht) / d);
    s2 = std::max(s2, (elev[i] - hr) / (D - d));
  }
  const double s3 = (hr - ht) / D;
  if (s3 >= s1) return 0.0;

  const double alpha = std::atan(s1) - std::atan(s3);
  const double beta = std::atan(s2) + std::atan(s3);
  const double gamma = kPi - alpha - beta;
  const double L = std::sqrt(D * D + (hr - ht) * (hr - ht));
  const double a = std::fabs(L * std::sin(beta) / std::sin(gamma));
  const double d1 = a * std::cos(std::atan(s1));
  const double h = d1 * std::tan(std::atan(s1)) - d1 * std::tan(std::atan(s3));
  if (!(std::isfinite(d1) && std::isfinite(h) && d1 > 0 && h > 0)) return 0.0;

  const double dMi = d1 / 1609.344, hFt = h / 0.3048;
  const double A = 49.0 * dLog10(dMi / 0.1);
  const double B = 49.0 * dLog10(hFt / 100.0) + 32.0;
  const double C = A - (A - B) * 72.0 / 35.5;
  const double F = 130.0 - 24.5 * dLog10(dFreqMHz / 3.0);
  const double E = C + (F - C) * 72.5 / 36.5;
  const double level = (E >= 196.0) ? -4.0 : dBUNomogramScaleLevel(E);
  return level > 0 ? 0.0 : level;
}

// Kept whole: Bullington's construction, mode by mode, checked line by line against the publication.
BULossResult BULoss(int nPoints, std::span<const double> dist, std::span<const float> elev, double dTxMSL,
                    double dRxMSL, double dFreqMHz, std::int16_t iMode, double dMinDistM, double dReflect,
                    double dEarthFactor) {
  if (iMode < kBUModeMinDistance || iMode > kBUModeFigure12) return Fail("Unknown BUMode in bu_loss calc");
  if (nPoints < 2) return Fail("Bullington loss: the profile has fewer than two points");
  if (static_cast<std::size_t>(nPoints) > dist.size() || static_cast<std::size_t>(nPoints) > elev.size())
    return Fail("Bullington loss: the point count is beyond the profile arrays");
  if (!std::isfinite(dTxMSL) || !std::isfinite(dRxMSL))
    return Fail("Bullington loss: an antenna height is not a number");
  if (!(std::isfinite(dFreqMHz) && dFreqMHz > 0))
    return Fail("Bullington loss: the frequency must be greater than 0");
  if (std::isnan(dMinDistM) || std::isnan(dReflect) || std::isnan(dEarthFactor))
    return Fail("Bullington loss: a model parameter is not a number");
  const std::size_t n = static_cast<std::size_t>(nPoints);
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(dist[i]) || (i > 0 && dist[i] < dist[i - 1]))
      return Fail("Bullington loss: profile distances must be numbers in increasing order");
  }
  const double d0 = dist[0];
  const double D = dist[n - 1] - d0;
  if (!(D > 0)) return Fail("Bullington loss: the path length must be greater than 0");

  BULossResult res;
  if (iMode == kBUModeFigure12) {
    res.dLevelDB = dBUFigure12Level(nPoints, dist, elev, dTxMSL, dRxMSL, dFreqMHz);
    return res;
  }

  const double lambda = 300.0 / dFreqMHz;
  const double k = dEarthFactor > 0 ? dEarthFactor : 0.0;
  const Pt tx{0.0, dTxMSL}, rx{D, dRxMSL};
  // Interior points with elevation, raised by the earth bulge when asked.
  auto point = [&](std::size_t i) {
    const double d = dist[i] - d0;
    double e = elev[i];
    if (k > 0) e += d * (D - d) / (2.0 * k * kEarthRadiusM);
    return Pt{d, e};
  };
  auto interior = [&](std::size_t i) { return !NoElevation(elev[i]) && dist[i] - d0 > 0 && dist[i] - d0 < D; };

  if (iMode == kBUModeInflection) {
    double s1 = -88888.0, s2 = -88888.0, best = 88888.0;
    Pt worst{};
    for (std::size_t i = 1; i + 1 < n; ++i) {
      if (!interior(i)) continue;
      const Pt p = point(i);
      s1 = std::max(s1, (p.e - tx.e) / p.d);
      s2 = std::max(s2, (p.e - rx.e) / (D - p.d));
      const double v = ClearanceRatio(tx, rx, p, lambda);
      if (v < best) {
        best = v;
        worst = p;
      }
    }
    if (best >= 0.5) return res;  // clear of the Fresnel zone, or no interior point
    const double s3 = (rx.e - tx.e) / D;
    Pt edge = worst;
    if (s1 > s3) {
      const double de = (rx.e - tx.e + s2 * D) / (s1 + s2);
      edge = Pt{de, tx.e + s1 * de};
    }
    if (edge.d > 0 && edge.d < D) {
      const double v = ClearanceRatio(tx, rx, edge, lambda);
      const double lvl = dBUKnifeEdgeLevel(v, dReflect);
      res.edges.push_back({lvl, edge.d});
      res.dLevelDB = lvl;
    }
    return res;
  }

  // Modes 0 and 2: the obstacles the taut string rests on, on the effective
  // earth; each an edge at the vertex of its two tangent rays.
  std::vector<float> eff(elev.begin(), elev.begin() + static_cast<std::ptrdiff_t>(n));
  for (std::size_t i = 0; i < n; ++i)
    if (!NoElevation(eff[i])) eff[i] = static_cast<float>(point(i).e);
  std::vector<ROHullObstacle> obs = ROHullObstacles(dist, eff, nPoints, dTxMSL, dRxMSL, lambda);
  if (iMode == kBUModeObstaclePeaks && dMinDistM > 0 && obs.size() > 1) {
    // The obstacle resolution is a distance: obstacles whose vertices lie
    // closer than it along the path are one, with the vertex of the outer
    // tangent rays.
    std::vector<ROHullObstacle> merged{obs.front()};
    for (std::size_t j = 1; j < obs.size(); ++j) {
      ROHullObstacle& m = merged.back();
      const ROHullObstacle& o = obs[j];
      if (o.dVertexDistM - m.dVertexDistM >= dMinDistM) {
        merged.push_back(o);
        continue;
      }
      const double ad = dist[static_cast<std::size_t>(m.iFirst)] - d0, ae = eff[static_cast<std::size_t>(m.iFirst)];
      const double bd = dist[static_cast<std::size_t>(o.iLast)] - d0, be = eff[static_cast<std::size_t>(o.iLast)];
      if (eff[static_cast<std::size_t>(o.iTop)] > eff[static_cast<std::size_t>(m.iTop)]) m.iTop = o.iTop;
      m.iLast = o.iLast;
      m.dSlopeOut = o.dSlopeOut;
      if (m.dSlopeIn > m.dSlopeOut) {
        const double x = (be - ae + m.dSlopeIn * ad - m.dSlopeOut * bd) / (m.dSlopeIn - m.dSlopeOut);
        m.dVertexDistM = std::clamp(x, ad, bd);
        m.dVertexElevM = ae + m.dSlopeIn * (m.dVertexDistM - ad);
      }
    }
    obs.swap(merged);
  }
  std::vector<Pt> edges;
  for (const ROHullObstacle& o : obs)
    if (o.dVertexDistM > 0 && o.dVertexDistM < D) edges.push_back(Pt{o.dVertexDistM, o.dVertexElevM});

  if (edges.empty()) {
    // Line of sight: the terrain peak (a local maximum of the ground itself,
    // so smooth ground is no knife edge) of smallest clearance ratio.
    std::vector<int> peakIdx;
    std::string sErr;
    if (!ROPeaks(dist, elev, nPoints, 0.0, peakIdx, sErr)) return Fail("RO_Peaks error in bu_loss calc");
    double best = 88888.0;
    Pt worst{};
    for (int i : peakIdx) {
      if (!interior(static_cast<std::size_t>(i))) continue;
      const Pt p = point(static_cast<std::size_t>(i));
      const double v = ClearanceRatio(tx, rx, p, lambda);
      if (v < best) {
        best = v;
        worst = p;
      }
    }
    if (best < 0.5) {
      const double lvl = dBUKnifeEdgeLevel(best, dReflect);
      res.edges.push_back({lvl, worst.d});
      res.dLevelDB = lvl;
    }
    return res;
  }

  if (iMode == kBUModeMinDistance && dMinDistM > 0 && edges.size() > 1) {
    // Edges closer together than the minimum distance count as one: the one
    // standing highest above the direct ray.
    auto above = [&](const Pt& p) { return p.e - (tx.e + (rx.e - tx.e) * p.d / D); };
    std::vector<Pt> kept;
    std::size_t g = 0;
    while (g < edges.size()) {
      std::size_t h = g;
      Pt top = edges[g];
      while (h + 1 < edges.size() && edges[h + 1].d - edges[h].d < dMinDistM) {
        ++h;
        if (above(edges[h]) > above(top)) top = edges[h];
      }
      kept.push_back(top);
      g = h + 1;
    }
    edges.swap(kept);
  }

  for (std::size_t j = 0; j < edges.size(); ++j) {
    const Pt& a = j == 0 ? tx : edges[j - 1];
    const Pt& b = j + 1 == edges.size() ? rx : edges[j + 1];
    const double v = ClearanceRatio(a, b, edges[j], lambda);
    const double lvl = dBUKnifeEdgeLevel(v, dReflect);
    res.edges.push_back({lvl, edges[j].d});
    res.dLevelDB += lvl;
  }
  if (res.dLevelDB > 0) res.dLevelDB = 0.0;
  return res;
}

}  // namespace zw
