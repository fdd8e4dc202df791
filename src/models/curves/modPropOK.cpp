#include "models/curves/modPropOK.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "common/TextJoin.h"
#include "models/curves/CurveFile.h"
#include "common/calcLogLinInterp.h"
#include "common/itplbv.h"
#include "common/calcMiscMath.h"

namespace zw {

namespace {

constexpr double kGridFreq[4] = {150.0, 450.0, 900.0, 1500.0};
constexpr const char* kMedFile[4] = {"okumura_fig41a_urban_150mhz.csv", "okumura_fig41b_urban_450mhz.csv",
                                     "okumura_fig41c_urban_900mhz.csv", "okumura_fig41d_urban_1500mhz.csv"};
constexpr double kMedHb[11] = {30, 50, 70, 100, 150, 200, 300, 450, 600, 800, 1000};
constexpr double kMedDist[29] = {1,  1.5, 2,  3,  4,  5,  6,  7,  8,  9,  10, 15, 20, 25, 30,
                                 35, 40,  45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100};

// Cells left empty past the figure's -10 dB floor: continued from the cell
// before with NTIA's Fig. 12 distance power law, n/2 = 2.5 at 24.5 m and 3.0 at
// 70 m base height (interpolated in log h), to 0.1 dB.
void ContinueTail(CurveCsv& t) {
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    const double halfN = 2.5 + 0.5 * std::log10(t.rows[i] / 24.5) / std::log10(70.0 / 24.5);
    for (std::size_t j = 1; j < t.columns.size(); ++j) {
      double& v = t.cells[i * t.columns.size() + j];
      if (!std::isnan(v)) continue;
      const double prev = t.at(i, j - 1);
      v = std::round(10.0 * (prev - 20.0 * halfN * std::log10(t.columns[j] / t.columns[j - 1]))) / 10.0;
    }
  }
}

double Linear(std::span<const double> x, std::span<const double> y, double xq);

// Reads a table whose axes must be the given ones.
std::string ReadTable(const std::filesystem::path& file, const char* rowWhat, std::span<const double> rowAxis,
                      const char* colWhat, std::span<const double> colAxis, CurveCsv& t, bool emptyTail = false) {
  t = ReadCurveCsv(file, emptyTail);
  if (!t.error.empty()) return t.error;
  std::string e = CheckCurveAxis(file, rowWhat, t.rows, rowAxis);
  if (e.empty()) e = CheckCurveAxis(file, colWhat, t.columns, colAxis);
  return e;
}

std::string Bad(const std::filesystem::path& file, const std::string& why) {
  return "Curve table " + file.string() + ": " + why;
}

std::vector<double> Column(const CurveCsv& t, std::size_t col, std::size_t rows) {
  std::vector<double> v;
  for (std::size_t i = 0; i < rows; ++i) v.push_back(t.at(i, col));
  return v;
}

std::vector<float> Floats(std::span<const double> v) { return {v.begin(), v.end()}; }

double Round2(double v) { return std::round(v * 100.0) / 100.0; }

constexpr double kGainHm[8] = {3, 4, 5, 6, 7, 8, 9, 10};
constexpr double kGainLargeF[6] = {100, 200, 400, 700, 1000, 2000};
constexpr double kGainMedF[3] = {-1000, -200, -100};
constexpr double kAreaF[14] = {100, 150, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1500, 2000, 3000};
constexpr double kCodes[4] = {1, 2, 3, 4};
constexpr double kRollF[3] = {453, 922, 1430};
constexpr double kRollDh[13] = {10, 15, 20, 30, 40, 50, 70, 100, 150, 200, 300, 400, 500};
constexpr double kUndDh[12] = {10, 20, 30, 40, 50, 70, 100, 150, 200, 300, 400, 500};
constexpr double kUndSites[2] = {-1, 1};
constexpr double kRidgeD1[3] = {15, 30, 60};
constexpr double kRidgeReadD2[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr double kRidgeD2[13] = {0, 1, 1.5, 2, 2.5, 3, 4, 5, 6, 7, 8, 9, 10};
// The model's first two ridge rows (d2 = 0 and 1 km) as documented.
constexpr double kRidgeDoc[2][3] = {{4.5, 11.5, 19.5}, {-13.0, -8.5, -3.7}};
constexpr double kSeaBeta[11] = {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1};
constexpr double kSigmaF[13] = {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1500, 2000, 3000};

std::string ReadMedGrid(const std::filesystem::path& file, CurveGrid& g) {
  CurveCsv t;
  std::string e = ReadTable(file, "the base-height rows (m)", kMedHb, "the distance columns (km)", kMedDist, t, true);
  if (!e.empty()) return e;
  ContinueTail(t);
  g = CurveGridOf(t, true);
  return {};
}

std::string ReadGain(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  auto f = dir / "okumura_mobile_gain_large_hata.csv";
  std::string e = ReadTable(f, "the mobile-height rows (m)", kGainHm, "the frequency columns (MHz)", kGainLargeF, t);
  if (!e.empty()) return e;
  c.gainLarge = CurveGridOf(t, false);
  f = dir / "okumura_mobile_gain_medium_hata.csv";
  e = ReadTable(f, "the mobile-height rows (m)", kGainHm, "the negated frequency columns (MHz)", kGainMedF, t);
  if (!e.empty()) return e;
  c.gainMed = CurveGridOf(t, false);
  return {};
}

std::string ReadArea(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  const auto f = dir / "okumura_area_corrections_hata.csv";
  std::string e = ReadTable(f, "the frequency rows (MHz)", kAreaF, "the area columns", std::span(kCodes, 3), t, true);
  if (!e.empty()) return e;
  // Quasi-open and open end at 2000 MHz: only the 3000 MHz row may be short.
  for (std::size_t i = 0; i + 1 < t.rows.size(); ++i)
    for (std::size_t j = 0; j < 3; ++j)
      if (std::isnan(t.at(i, j))) return Bad(f, "an empty cell below 3000 MHz");
  c.subFreq.assign(std::begin(kAreaF), std::end(kAreaF));
  c.suburban = Column(t, 0, 14);
  c.openFreq.assign(std::begin(kAreaF), std::end(kAreaF) - 1);
  c.quasiOpen = Column(t, 1, 13);
  c.open = Column(t, 2, 13);
  return {};
}

std::string ReadHills(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  auto f = dir / "okumura_rolling_hill_ntia.csv";
  std::string e = ReadTable(f, "the undulation rows (m)", kRollDh, "the frequency columns (MHz)", kRollF, t);
  if (!e.empty()) return e;
  c.roll = CurveGridOf(t, false);
  f = dir / "okumura_undulation_factor_ntia.csv";
  e = ReadTable(f, "the undulation rows (m)", kUndDh, "the site columns", kUndSites, t);
  if (!e.empty()) return e;
  for (std::size_t i = 0; i < t.rows.size(); ++i)
    if (t.at(i, 0) != -t.at(i, 1)) return Bad(f, "the -1 column must be the negated +1 column");
  c.undDh = Floats(kUndDh);
  c.undFactor = Floats(Column(t, 1, t.rows.size()));
  return {};
}

// NTIA's readings of Fig. 31, linear between them and held at the 8 km
// reading beyond it, on the model's axis; the first two rows as documented.
std::string ReadRidge(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  const auto f = dir / "okumura_isolated_ridge_ntia_ehata.csv";
  std::string e =
      ReadTable(f, "the base-to-ridge rows (km)", kRidgeD1, "the ridge-to-mobile columns (km)", kRidgeReadD2, t);
  if (!e.empty()) return e;
  CurveGrid& g = c.ridge;
  g.x = Floats(kRidgeD1);
  g.y = Floats(kRidgeD2);
  g.z.clear();
  for (std::size_t j = 0; j < std::size(kRidgeD2); ++j) {
    for (std::size_t i = 0; i < 3; ++i) {
      double v = 0;
      if (j < 2) {
        v = kRidgeDoc[j][i];
      } else {
        std::vector<double> ys;
        for (std::size_t k = 0; k < t.columns.size(); ++k) ys.push_back(t.at(i, k));
        v = Round2(Linear(t.columns, ys, std::min(kRidgeD2[j], 8.0)));
      }
      g.z.push_back(static_cast<float>(v));
    }
  }
  return {};
}

std::string ReadSea(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  const auto f = dir / "okumura_land_sea_grid.csv";
  std::string e = ReadTable(f, "the sea-fraction rows", kSeaBeta, "the curve columns", kCodes, t);
  if (!e.empty()) return e;
  c.seaBeta.assign(std::begin(kSeaBeta), std::end(kSeaBeta));
  for (std::size_t k = 0; k < 4; ++k) c.sea[k] = Column(t, k, 11);
  return {};
}

std::string ReadSigma(const std::filesystem::path& dir, OKCurveSet& c) {
  CurveCsv t;
  const auto f = dir / "okumura_location_sigma.csv";
  std::string e = ReadTable(f, "the frequency rows (MHz)", kSigmaF, "the area columns", std::span(kCodes, 2), t);
  if (!e.empty()) return e;
  c.sigmaFreq.assign(std::begin(kSigmaF), std::end(kSigmaF));
  c.sigmaUrban = Column(t, 0, 13);
  c.sigmaSuburban = Column(t, 1, 13);
  return {};
}

struct LoadCache {
  std::mutex m;
  std::map<std::string, std::shared_ptr<const OKCurveLoad>> byDir;
};

std::string Key(std::string_view s) { return ToLower(Trim(s)); }

double GridAt(const CurveGrid& g, double u, double v) {
  const std::int16_t lx = g.lx(), ly = g.ly(), n = 1;
  const float fu = static_cast<float>(u), fv = static_cast<float>(v);
  float w = 0.0f;
  std::int16_t ier = 0;
  itplbv(lx, ly, g.x[0], g.y[0], g.z[0], n, fu, fv, w, ier);
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

OKCurveLoad LoadOKCurves(const std::filesystem::path& dir) {
  OKCurveLoad r;
  try {
    auto set = std::make_shared<OKCurveSet>();
    for (int g = 0; g < 4; ++g) {
      r.error = ReadMedGrid(dir / kMedFile[g], set->med[g]);
      if (!r.error.empty()) return r;
    }
    for (auto* read : {ReadGain, ReadArea, ReadHills, ReadRidge, ReadSea, ReadSigma}) {
      r.error = read(dir, *set);
      if (!r.error.empty()) return r;
    }
    r.curves = std::move(set);
  } catch (const std::exception& e) {
    r.curves.reset();
    r.error = "The Okumura curve tables in " + dir.string() + " could not be read: " + e.what();
  }
  return r;
}

OKCurveLoad SharedOKCurves() {
  static LoadCache cache;  // entries are immutable once made
  const std::filesystem::path dir = CurveDirectory();
  std::lock_guard<std::mutex> lock(cache.m);
  auto& slot = cache.byDir[dir.lexically_normal().string()];
  if (!slot) slot = std::make_shared<const OKCurveLoad>(LoadOKCurves(dir));
  return *slot;
}

const OKCurveSet& OKCurves() {
  const OKCurveLoad l = SharedOKCurves();
  if (!l.curves) throw std::runtime_error(l.error);
  return *l.curves;  // the cache keeps the set alive
}

int iOKFreqGrid(double freqMHz) {
  int best = 0;
  for (int i = 1; i < 4; ++i)
    if (std::fabs(freqMHz - kGridFreq[i]) < std::fabs(freqMHz - kGridFreq[best])) best = i;
  return best;
}

double OKMedianField(const OKCurveSet& c, double freqMHz, double effBaseHeightM, double distKm, double erpDbk) {
  if (!std::isfinite(freqMHz) || !std::isfinite(effBaseHeightM) || !std::isfinite(distKm)) return erpDbk;
  const int g = iOKFreqGrid(freqMHz);
  const double d = Clamp(distKm, 1.0, 100.0), h = Clamp(effBaseHeightM, 30.0, 1000.0);
  return GridAt(c.med[g], h, d) + erpDbk;
}

double OKMedianField(double freqMHz, double effBaseHeightM, double distKm, double erpDbk) {
  return OKMedianField(OKCurves(), freqMHz, effBaseHeightM, distKm, erpDbk);
}

double OKMedianFieldPath(const OKCurveSet& c, double freqMHz, double effBaseHeightM, double distKm,
                         double erpDbk) {
  if (distKm > 100.0 && std::isfinite(distKm))
    return OKMedianField(c, freqMHz, effBaseHeightM, 99.99999, erpDbk) - 20.0 * dLog10(distKm / 100.0);
  return OKMedianField(c, freqMHz, effBaseHeightM, distKm, erpDbk);
}

double OKMedianFieldPath(double freqMHz, double effBaseHeightM, double distKm, double erpDbk) {
  return OKMedianFieldPath(OKCurves(), freqMHz, effBaseHeightM, distKm, erpDbk);
}

double OKMobileGain(const OKCurveSet& c, std::string_view areaType, double heightM, double freqMHz) {
  if (!std::isfinite(heightM) || !std::isfinite(freqMHz)) return 0.0;
  const double h = dMin(dMax(heightM, 1.0), 20.0);
  if (h <= 3.0) {
    // Below 3 m: X = frequency 200, 400 MHz, Y = height 1 ... 3 m.
    static const CurveGrid kLow{
        {200.0f, 400.0f}, {1.0f, 1.5f, 2.0f, 3.0f}, {-3.7f, -4.9f, -2.4f, -3.0f, -1.6f, -2.0f, 0.0f, 0.0f}};
    return GridAt(kLow, Clamp(freqMHz, 200.0, 400.0), h);
  }
  if (Key(areaType) == "urban-large") return GridAt(c.gainLarge, Clamp(freqMHz, 100, 2000), h);
  return GridAt(c.gainMed, Clamp(-freqMHz, -1000.0, -100.0), h);
}

double OKMobileGain(std::string_view areaType, double heightM, double freqMHz) {
  return OKMobileGain(OKCurves(), areaType, heightM, freqMHz);
}

double OKAreaCorr(const OKCurveSet& c, double freqMHz, std::string_view areaType) {
  if (!std::isfinite(freqMHz)) return 0.0;
  const std::string a = Key(areaType);
  if (a == "suburban") return LogLinInterpDbl(0, 13, c.subFreq, c.suburban, Clamp(freqMHz, 100.0, 3000.0));
  if (a == "quasi-open") return LogLinInterpDbl(0, 12, c.openFreq, c.quasiOpen, Clamp(freqMHz, 100.0, 2000.0));
  if (a == "open") return LogLinInterpDbl(0, 12, c.openFreq, c.open, Clamp(freqMHz, 100.0, 2000.0));
  return 0.0;
}

double OKAreaCorr(double freqMHz, std::string_view areaType) { return OKAreaCorr(OKCurves(), freqMHz, areaType); }

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
  // Probability between 0 and z, z = 0, 0.01 ... 3.99, to 7 decimals.
  static const std::vector<double> kNormal = [] {
    std::vector<double> p(400);
    for (int k = 0; k < 400; ++k) p[k] = std::round(0.5e7 * std::erf(k / 100.0 / std::sqrt(2.0))) / 1e7;
    return p;
  }();
  if (!std::isfinite(percentage)) return 0.0;
  const double q = percentage / 100.0 - 0.5;  // probability between the mean and z
  const double a = std::fabs(q);
  if (a >= kNormal[399]) return q < 0 ? -3.99 : 3.99;
  int i = 0;
  while (i < 398 && !(kNormal[i] <= a && a < kNormal[i + 1])) ++i;
  const double z = (i + (a - kNormal[i]) / (kNormal[i + 1] - kNormal[i])) / 100.0;
  return q < 0 ? -z : z;
}

double OKLocationCorr(const OKCurveSet& c, std::string_view areaType, double freqMHz, double percentage) {
  if (!std::isfinite(freqMHz)) return 0.0;
  const std::string a = Key(areaType);
  const bool sub = a == "suburban" || a == "quasi-open" || a == "open";
  const double f = Clamp(freqMHz, 100.0, 3000.0);
  const double sigma = LogLinInterpDbl(0, 12, c.sigmaFreq, sub ? c.sigmaSuburban : c.sigmaUrban, f);
  return OKNormalDeviate(percentage) * sigma;
}

double OKLocationCorr(std::string_view areaType, double freqMHz, double percentage) {
  return OKLocationCorr(OKCurves(), areaType, freqMHz, percentage);
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

OKLandSea OKLandSeaCorr(const OKCurveSet& c, std::span<const double> dis, std::span<const float> elv, int count,
                        double pathM, double seaElvM) {
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
  const std::vector<double>& c30 = r.family == 'a' ? c.sea[0] : c.sea[3];
  const std::vector<double>& c60 = r.family == 'a' ? c.sea[1] : c.sea[2];
  const double v30 = Linear(c.seaBeta, c30, r.beta);
  const double v60 = Linear(c.seaBeta, c60, r.beta);
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

OKLandSea OKLandSeaCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM,
                        double seaElvM) {
  return OKLandSeaCorr(OKCurves(), dis, elv, count, pathM, seaElvM);
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
  const auto rank = [&](double q) { return e[static_cast<std::size_t>(std::lround(q * static_cast<double>(e.size() - 1)))]; };
  u.lower = rank(0.1);
  u.upper = rank(0.9);
  u.top = e.back();
  u.dh = u.upper - u.lower;
  return u;
}

double OKRollingHillCorr(const OKCurveSet& c, double freqMHz, double dh) {
  if (!(dh >= 10.0) || !std::isfinite(freqMHz)) return 0.0;
  return GridAt(c.roll, Clamp(freqMHz, 453.0, 1430.0), dMin(dh, 500.0));
}

double OKRollingHillCorr(double freqMHz, double dh) { return OKRollingHillCorr(OKCurves(), freqMHz, dh); }

double OKHillLocationCorr(const OKUndulation& u, double rxGroundM) {
  return OKHillLocationCorr(OKCurves(), u, rxGroundM);
}

double OKHillLocationCorr(const OKCurveSet& c, const OKUndulation& u, double rxGroundM) {
  if (!(u.dh >= c.undDh[0]) || !std::isfinite(rxGroundM)) return 0.0;
  const double k = LogLinInterpSng(0, 11, c.undDh, c.undFactor, static_cast<float>(dMin(u.dh, 500.0)));
  if (rxGroundM <= u.lower) return -k;
  if (rxGroundM < u.upper) return -k * (u.upper - rxGroundM) / (u.upper - u.lower);
  if (u.top > u.upper && rxGroundM < u.top) return k * (rxGroundM - u.upper) / (u.top - u.upper);
  return u.top > u.upper ? k : 0.0;
}

double OKRidgeTerm(double heightM, double d1Km, double d2Km) {
  return OKRidgeTerm(OKCurves(), heightM, d1Km, d2Km);
}

double OKRidgeTerm(const OKCurveSet& c, double heightM, double d1Km, double d2Km) {
  if (!(heightM > 0) || !std::isfinite(heightM) || !std::isfinite(d1Km) || !std::isfinite(d2Km)) return 0.0;
  const double v = GridAt(c.ridge, Clamp(d1Km, 15.0, 60.0), Clamp(d2Km, 0.0, 10.0));
  return 0.07 * std::sqrt(heightM) * v;
}

OKRidge OKRidgeCorr(std::span<const double> dis, std::span<const float> elv, int count, double pathM) {
  return OKRidgeCorr(OKCurves(), dis, elv, count, pathM);
}

OKRidge OKRidgeCorr(const OKCurveSet& c, std::span<const double> dis, std::span<const float> elv, int count,
                    double pathM) {
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
  r.dB = OKRidgeTerm(c, r.heightM, r.d1Km, r.d2Km);
  return r;
}

}  // namespace zw
