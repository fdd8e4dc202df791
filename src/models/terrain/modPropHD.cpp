#include "models/terrain/modPropHD.h"

#include <cctype>
#include <cmath>

#include "common/calcMiscMath.h"

namespace zw {

const std::array<std::string, 6>& HDAreaTypeNames() {
  static const std::array<std::string, 6> names{"NO CORRECTION ", "URBAN-LARGE   ", "URBAN-MEDIUM  ",
                                                "SUBURBAN      ", "QUASI-OPEN    ", "OPEN          "};
  return names;
}

int iHDAreaTypeIndex(std::string_view sName) {
  std::string s(sName);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (s.empty()) return -1;
  const auto& names = HDAreaTypeNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string_view n = names[i];
    while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
    if (s == n) return static_cast<int>(i);
  }
  return -1;
}

const std::string& sHDAreaTypeName(HDAreaType eType) {
  const auto i = static_cast<std::size_t>(eType);
  return HDAreaTypeNames()[i < 6 ? i : 0];
}

double dHDAverageTerrain(std::span<const double> dist, std::span<const float> elev, int nPoints, double dStartM,
                         double dStopM) {
  std::size_t n = nPoints > 0 ? static_cast<std::size_t>(nPoints) : 0;
  if (n > dist.size()) n = dist.size();
  if (n > elev.size()) n = elev.size();
  double sum = 0.0;
  long count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = dist[i];
    if (d > dStopM) break;
    if (!(d >= dStartM)) continue;  // before the start, or not a number
    const float e = elev[i];
    if (!std::isfinite(e) || e <= -30000.0f) continue;
    sum += e;
    ++count;
  }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

HDLoss HDCalcLoss(double dFreqMHz, double dBaseHtM, double dMobHtM, double dPathM, HDAreaType eType) {
  HDLoss r;
  if (!std::isfinite(dFreqMHz) || !std::isfinite(dBaseHtM) || !std::isfinite(dMobHtM) || !std::isfinite(dPathM)) {
    r.sError = "Hata/Davidson loss not computed: an input is not a number";
    return r;
  }
  if (dFreqMHz <= 0) {
    r.sError = "Hata/Davidson loss not computed: the frequency must be greater than 0";
    return r;
  }
  if (dPathM <= 0) {
    r.sError = "Hata/Davidson loss not computed: the path length must be greater than 0";
    return r;
  }
  const double f = dFreqMHz, hb = dBaseHtM, hm = dMobHtM, d = dPathM, dkm = d / 1000.0;
  const double lf = dLog10(f);
  const double ld = dLog10(d);
  const double lhb = dLog10(hb);
  r.bBaseNotPositive = !(hb > 0);

  r.dL0 = 69.55 + 26.16 * lf - 13.82 * lhb + (44.9 - 6.55 * lhb) * (ld - 3.0);

  if (eType == HDAreaType::UrbanLarge || eType == HDAreaType::UrbanMedium) {
    if (f >= 400) {
      const double x = dLog10(11.75 * hm);
      r.dA1 = -(3.2 * x * x - 4.97);
    } else if (f <= 200) {
      const double x = dLog10(1.54 * hm);
      r.dA1 = -(8.29 * x * x - 1.1);
    }
  } else {
    r.dA1 = -((1.1 * lf - 0.7) * hm - (1.56 * lf - 0.8));
  }

  const double open = -4.78 * lf * lf + 18.33 * lf - 40.94;
  switch (eType) {
    case HDAreaType::Suburban: {
      const double x = dLog10(f / 28.0);
      r.dA2 = -2.0 * x * x - 5.4;
      break;
    }
    case HDAreaType::Open: r.dA2 = open; break;
    case HDAreaType::QuasiOpen: r.dA2 = open + 5.0; break;
    default: r.dA2 = 0.0; break;
  }

  if (d > 20000.0) r.dA3 += 0.62137 * (dkm - 20.0) * (0.5 + 0.15 * dLog10(hb / 121.92));
  if (d > 64380.0) r.dA3 -= 0.174 * (dkm - 64.38);

  if (hb > 300.0) r.dA4 = -0.00784 * std::fabs(dLog10(9.98 / dkm)) * (hb - 300.0);

  const double lfr = dLog10(1500.0 / f);
  r.dA5 = -(f / 250.0) * lfr;
  if (d > 40238.0) r.dA5 -= 0.112 * lfr * (dkm - 40.238);

  r.dLoss = r.dL0 + r.dA1 + r.dA2 + r.dA3 + r.dA4 + r.dA5;
  r.dFreeSpace = 32.5 + 20.0 * lf + 20.0 * (ld - 3.0);
  const double excess = r.dLoss - r.dFreeSpace;
  if (!std::isfinite(excess)) {
    r = HDLoss{};
    r.sError = "Hata/Davidson loss not computed: the result is not a finite number";
    return r;
  }
  r.bFreeSpaceUsed = excess < 0;
  r.dModelLoss = excess < 0 ? 0.0 : excess;
  r.bOK = true;
  return r;
}

}  // namespace zw
