#include "models/curves/modPropOK.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/TextJoin.h"
#include "models/curves/calcLogLinInterp.h"
#include "models/curves/defOKCurves.h"
#include "models/curves/itplbv.h"
#include "models/terrain/calcMiscMath.h"

namespace zw {

namespace {

constexpr double kGridFreq[4] = {150.0, 450.0, 900.0, 1500.0};

std::string Key(std::string_view s) { return ToLower(Trim(s)); }

// One point of a compiled grid (itplbv errors are ignored: W stays as set).
template <int NY, int NX>
double Grid(const float (&x)[NX], const float (&y)[NY], const float (&z)[NY][NX], double u, double v) {
  const std::int16_t lx = NX, ly = NY, n = 1;
  const float fu = static_cast<float>(u), fv = static_cast<float>(v);
  float w = 0.0f;
  std::int16_t ier = 0;
  itplbv(lx, ly, x[0], y[0], z[0][0], n, fu, fv, w, ier);
  return std::isfinite(w) ? w : 0.0;
}

double Clamp(double v, double lo, double hi) { return dMin(dMax(v, lo), hi); }

int Count(std::span<const double> dis, std::span<const float> elv, int count) {
  const auto n = std::min<std::size_t>(dis.size(), elv.size());
  return count < 0 ? 0 : static_cast<int>(std::min<std::size_t>(n, static_cast<std::size_t>(count)));
}

// Linear interpolation over ascending X, held at the ends.
double Linear(std::span<const double> x, std::span<const double> y, double xq) {
  if (xq <= x.front()) return y.front();
  if (xq >= x.back()) return y.back();
  std::size_t i = 0;
  while (i + 2 < x.size() && xq >= x[i + 1]) ++i;
  return y[i] + (y[i + 1] - y[i]) * (xq - x[i]) / (x[i + 1] - x[i]);
}

}  // namespace

int iOKFreqGrid(double freqMHz) {
  int best = 0;
  for (int i = 1; i < 4; ++i)
    if (std::fabs(freqMHz - kGridFreq[i]) < std::fabs(freqMHz - kGridFreq[best])) best = i;
  return best;
}

double OKMedianField(double freqMHz, double effBaseHeightM, double distKm, double erpDbk) {
  if (!std::isfinite(freqMHz) || !std::isfinite(effBaseHeightM) || !std::isfinite(distKm)) return erpDbk;
  const int g = iOKFreqGrid(freqMHz);
  const double d = Clamp(distKm, 1.0, 100.0), h = Clamp(effBaseHeightM, 30.0, 1000.0);
  return Grid(kOKMedHb, kOKMedDist, kOKMedField[g], h, d) + erpDbk;
}

double OKMedianFieldPath(double freqMHz, double effBaseHeightM, double distKm, double erpDbk) {
  if (distKm > 100.0 && std::isfinite(distKm))
    return OKMedianField(freqMHz, effBaseHeightM, 99.99999, erpDbk) - 20.0 * dLog10(distKm / 100.0);
  return OKMedianField(freqMHz, effBaseHeightM, distKm, erpDbk);
}

double OKMobileGain(std::string_view areaType, double heightM, double freqMHz) {
  if (!std::isfinite(heightM) || !std::isfinite(freqMHz)) return 0.0;
  const double h = dMin(dMax(heightM, 1.0), 20.0);
  if (h <= 3.0) {
    static constexpr float kF[2] = {200.0f, 400.0f};
    static constexpr float kH[4] = {1.0f, 1.5f, 2.0f, 3.0f};
    static constexpr float kG[4][2] = {{-3.7f, -4.9f}, {-2.4f, -3.0f}, {-1.6f, -2.0f}, {0.0f, 0.0f}};
    return Grid(kF, kH, kG, Clamp(freqMHz, 200.0, 400.0), h);
  }
  if (Key(areaType) == "urban-large") return Grid(kOKGainLargeFreq, kOKGainHm, kOKGainLarge, Clamp(freqMHz, 100, 2000), h);
  return Grid(kOKGainMedFreq, kOKGainHm, kOKGainMed, Clamp(-freqMHz, -1000.0, -100.0), h);
}

double OKAreaCorr(double freqMHz, std::string_view areaType) {
  if (!std::isfinite(freqMHz)) return 0.0;
  const std::string a = Key(areaType);
  if (a == "suburban") return LogLinInterpDbl(0, 13, kOKSubFreq, kOKSuburban, Clamp(freqMHz, 100.0, 3000.0));
  if (a == "quasi-open") return LogLinInterpDbl(0, 12, kOKOpenFreq, kOKQuasiOpen, Clamp(freqMHz, 100.0, 2000.0));
  if (a == "open") return LogLinInterpDbl(0, 12, kOKOpenFreq, kOKOpen, Clamp(freqMHz, 100.0, 2000.0));
  return 0.0;
}

double OKStreetCorr(std::string_view orientation, double distKm) {
  static constexpr float kD[8] = {5, 7, 10, 20, 30, 50, 70, 100};
  static constexpr float kAlong[8] = {6.82f, 6.23f, 6.0f, 5.18f, 4.73f, 3.95f, 3.45f, 2.82f};
  static constexpr float kAcross[8] = {-4.73f, -4.45f, -4.09f, -3.55f, -3.18f, -2.73f, -2.45f, -2.09f};
  if (!(distKm > 0) || !std::isfinite(distKm)) return 0.0;
  const float d = static_cast<float>(Clamp(distKm, 5.0, 100.0));
  const std::string o = Key(orientation);
  if (o == "along path") return LogLinInterpSng(0, 7, kD, kAlong, d);
  if (o == "across path") return LogLinInterpSng(0, 7, kD, kAcross, d);
  return 0.0;
}

double OKNormalDeviate(double percentage) {
  if (!std::isfinite(percentage)) return 0.0;
  const double q = percentage / 100.0 - 0.5;  // probability between the mean and z
  const double a = std::fabs(q);
  if (a >= kOKNormal[399]) return q < 0 ? -3.99 : 3.99;
  int i = 0;
  while (i < 398 && !(kOKNormal[i] <= a && a < kOKNormal[i + 1])) ++i;
  const double z = (i + (a - kOKNormal[i]) / (kOKNormal[i + 1] - kOKNormal[i])) / 100.0;
  return q < 0 ? -z : z;
}

double OKLocationCorr(std::string_view areaType, double freqMHz, double percentage) {
  if (!std::isfinite(freqMHz)) return 0.0;
  const std::string a = Key(areaType);
  const bool sub = a == "suburban" || a == "quasi-open" || a == "open";
  const double f = Clamp(freqMHz, 100.0, 3000.0);
  const double sigma = LogLinInterpDbl(0, 12, kOKSigmaFreq, sub ? kOKSigmaSuburban : kOKSigmaUrban, f);
  return OKNormalDeviate(percentage) * sigma;
}

double OKEffBaseHeight(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                       double txAMSL, double txAGL) {
  const int n = Count(dis, elv, count);
  double sum = 0;
  int k = 0;
  for (int i = 0; i < n; ++i) {
    if (dis[i] >= 3000.0 && dis[i] <= 15000.0 && dis[i] <= pathM && std::isfinite(elv[i])) {
      sum += elv[i];
      ++k;
    }
  }
  return k > 0 ? txAMSL - sum / k : txAGL;
}

double OKSlopeTerm(double thetaMr, double distKm) {
  if (!std::isfinite(thetaMr) || !std::isfinite(distKm) || thetaMr == 0) return 0.0;
  if (thetaMr > 0) {
    static constexpr double kX[5] = {0, 5, 10, 15, 20};
    static constexpr double kNear[5] = {0, 0.7, 1.7, 2.5, 3.0};
    static constexpr double kFar[5] = {0, 4.0, 7.3, 9.7, 12.0};
    const double nr = Linear(kX, kNear, thetaMr), fr = Linear(kX, kFar, thetaMr);
    if (distKm <= 10) return nr;
    if (distKm >= 60) return fr;
    return nr + (fr - nr) * (distKm - 10) / 50;
  }
  static constexpr double kX[5] = {-20, -15, -10, -5, 0};
  static constexpr double kNear[5] = {-5.0, -3.5, -2.3, -1.0, 0};
  static constexpr double kFar[5] = {-17.0, -12.5, -8.0, -3.5, 0};
  const double nr = Linear(kX, kNear, thetaMr), fr = Linear(kX, kFar, thetaMr);
  if (distKm <= 10) return nr;
  if (distKm >= 30) return fr;
  return nr + (fr - nr) * (distKm - 10) / 20;
}

OKSlope OKSlopeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM) {
  OKSlope s;
  const int n = Count(dis, elv, count);
  if (!(pathM >= 5000.0) || n < 2) return s;
  double sum = 0;
  int k = 0;
  for (int i = 1; i < n; ++i) {
    if (dis[i] > 0 && dis[i] <= pathM && std::isfinite(elv[i])) {
      sum += -1000.0 * std::atan((static_cast<double>(elv[0]) - elv[i]) / dis[i]);
      ++k;
    }
  }
  if (k == 0 || !std::isfinite(sum)) return s;
  s.thetaMr = sum / k;
  s.dB = OKSlopeTerm(s.thetaMr, pathM / 1000.0);
  return s;
}

OKLandSea OKLandSeaCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                        double seaElvM) {
  OKLandSea r;
  const int n = Count(dis, elv, count);
  if (!(pathM > 0) || !std::isfinite(seaElvM)) return r;
  double seaLen = 0, midSum = 0;
  int k = 0;
  for (int i = 1; i < n; ++i) {
    if (elv[i] <= seaElvM) {
      seaLen += dis[i] - dis[i - 1];
      midSum += 0.5 * (dis[i] + dis[i - 1]);
      ++k;
    }
  }
  r.beta = seaLen / pathM;
  if (!(r.beta > 0) || k == 0) {
    r.beta = 0;
    return r;
  }
  if (r.beta > 1) r.beta = 1;
  r.avgDisM = midSum / k;
  r.family = r.avgDisM <= pathM / 2 ? 'b' : 'a';
  const double* c30 = r.family == 'a' ? kOKSea[0] : kOKSea[3];
  const double* c60 = r.family == 'a' ? kOKSea[1] : kOKSea[2];
  const std::span<const double> beta(kOKSeaBeta);
  const double v30 = Linear(beta, std::span<const double>(c30, 11), r.beta);
  const double v60 = Linear(beta, std::span<const double>(c60, 11), r.beta);
  const double dKm = pathM / 1000.0;
  if (dKm < 30) {
    r.distClass = "30";
    r.dB = v30;
  } else if (dKm > 60) {
    r.distClass = "60";
    r.dB = v60;
  } else {
    r.distClass = "  ";
    r.dB = v30 + (v60 - v30) * (dKm - 30) / 30;
  }
  return r;
}

OKUndulation OKTerrainUndulation(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                                 double hillDistM) {
  OKUndulation u;
  const int n = Count(dis, elv, count);
  const double stretch = hillDistM > 0 && std::isfinite(hillDistM) ? hillDistM : 10000.0;
  std::vector<double> e;
  for (int i = 0; i < n; ++i)
    if (dis[i] <= pathM && dis[i] >= pathM - stretch && std::isfinite(elv[i])) e.push_back(elv[i]);
  u.points = static_cast<int>(e.size());
  if (e.empty()) return u;
  std::sort(e.begin(), e.end());
  const auto rank = [&](double q) { return e[static_cast<std::size_t>(std::lround(q * (e.size() - 1)))]; };
  u.lower = rank(0.1);
  u.upper = rank(0.9);
  u.top = e.back();
  u.dh = u.upper - u.lower;
  return u;
}

double OKRollingHillCorr(double freqMHz, double dh) {
  if (!(dh >= 10.0) || !std::isfinite(freqMHz)) return 0.0;
  return Grid(kOKRollFreq, kOKRollDh, kOKRoll, Clamp(freqMHz, 453.0, 1430.0), dMin(dh, 500.0));
}

double OKHillLocationCorr(const OKUndulation& u, double rxGroundM) {
  if (!(u.dh >= kOKUndDh[0]) || !std::isfinite(rxGroundM)) return 0.0;
  const double k = LogLinInterpSng(0, 11, kOKUndDh, kOKUndFactor, static_cast<float>(dMin(u.dh, 500.0)));
  if (rxGroundM <= u.lower) return -k;
  if (rxGroundM < u.upper) return -k * (u.upper - rxGroundM) / (u.upper - u.lower);
  if (u.top > u.upper && rxGroundM < u.top) return k * (rxGroundM - u.upper) / (u.top - u.upper);
  return u.top > u.upper ? k : 0.0;
}

double OKRidgeTerm(double heightM, double d1Km, double d2Km) {
  if (!(heightM > 0) || !std::isfinite(heightM) || !std::isfinite(d1Km) || !std::isfinite(d2Km)) return 0.0;
  const double v = Grid(kOKRidgeD1, kOKRidgeD2, kOKRidge, Clamp(d1Km, 15.0, 60.0), Clamp(d2Km, 0.0, 10.0));
  return 0.07 * std::sqrt(heightM) * v;
}

OKRidge OKRidgeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM) {
  OKRidge r;
  const int n = Count(dis, elv, count);
  double sum = 0;
  int k = 0, top = -1;
  for (int i = 0; i < n; ++i) {
    if (dis[i] > pathM || !std::isfinite(elv[i])) continue;
    sum += elv[i];
    ++k;
    if (i > 0 && dis[i] < pathM && (top < 0 || elv[i] > elv[top])) top = i;
  }
  if (top < 0 || k == 0) return r;
  r.heightM = elv[top] - sum / k;
  if (!(r.heightM > 0)) {
    r.heightM = 0;
    return r;
  }
  r.d1Km = dis[top] / 1000.0;
  r.d2Km = (pathM - dis[top]) / 1000.0;
  r.dB = OKRidgeTerm(r.heightM, r.d1Km, r.d2Km);
  return r;
}

}  // namespace zw
