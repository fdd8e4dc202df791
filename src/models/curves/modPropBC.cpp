#include "models/curves/modPropBC.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>

#include "common/Antenna.h"
#include "common/ErrorHandler.h"
#include "common/FreeSpace.h"
#include "models/curves/CurveFile.h"

namespace zw {

namespace {

constexpr const char* kBandFile[3] = {"lowvhf_fm", "highvhf", "uhf"};

std::vector<double> DistanceAxis(int pct) {
  std::vector<double> d;
  if (pct == 50)
    for (int i = 1; i <= 5; ++i) d.push_back(i);
  const int last = pct == 10 ? 300 : 200;
  for (int m = 10; m <= last; m += 10) d.push_back(m);
  return d;
}

// One grid file: read, axes checked, distance fastest as the file has it.
std::string ReadGrid(const std::filesystem::path& file, int pct, CurveGrid& g) {
  const CurveCsv t = ReadCurveCsv(file);
  if (!t.error.empty()) return t.error;
  std::string e = CheckCurveAxis(file, "the HAAT rows (ft)", t.rows, kBCHaatAxisFt);
  if (e.empty()) e = CheckCurveAxis(file, "the distance columns (mi)", t.columns, DistanceAxis(pct));
  if (!e.empty()) return e;
  g = CurveGridOf(t, false);
  return {};
}

struct LoadCache {
  std::mutex m;
  std::map<std::string, std::shared_ptr<const BCCurveLoad>> byDir;
};

// Nearest integer, halves to the even one.
double NearestEven(double x) {
  const double r = std::round(x);  // halves away from zero
  if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
  return r;
}

std::int16_t ChannelOf(double offset, int first) {
  return static_cast<std::int16_t>(static_cast<long>(NearestEven(offset)) / 6 + first);
}

double ClampHaat(double haatFt) { return std::clamp(haatFt, kBCMinHaatFt, kBCMaxHaatFt); }

// Runtime-error number of an unexpected failure, in the suite's numbering.
std::int32_t ErrorNumberOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return 7;     // out of memory
  if (dynamic_cast<const std::out_of_range*>(&e)) return 9;  // subscript out of range
  return 5;                                                  // invalid procedure call
}

std::string Unexpected(const char* what, const std::exception& e) {
  const std::string text = ErrorText(what, ErrorNumberOf(e), e.what());
  LogModelError(text);
  return text;
}

}  // namespace

BCBand BCBandOfChannel(std::int16_t channel) {
  if (channel >= 2 && channel <= 6) return BCBand::LowVHF;
  if (channel >= 7 && channel <= 13) return BCBand::HighVHF;
  if (channel >= 14 && channel <= 83) return BCBand::UHF;
  if (channel >= 200 && channel <= 300) return BCBand::LowVHF;  // FM reads the low-VHF curves
  return BCBand::None;
}

std::int16_t BCChannelFromFreq(double f) {
  if (f >= 54 && f <= 72) return ChannelOf(f - 55.25, 2);
  if (f >= 76 && f <= 88) return ChannelOf(f - 77.25, 5);
  if (f >= 88.1 && f <= 107.9) return static_cast<std::int16_t>(NearestEven((f - 87.9) / 0.2 + 200));
  if (f >= 174 && f <= 216) return ChannelOf(f - 175.25, 7);
  if (f >= 470 && f <= 806) return ChannelOf(f - 471.25, 14);
  if (f > 806) return 69;
  return -88;
}

BCCurveLoad LoadBCCurves(const std::filesystem::path& dir) {
  BCCurveLoad r;
  try {
    auto set = std::make_shared<BCCurveSet>();
    for (int b = 0; b < 3; ++b) {
      const std::string band = kBandFile[b];
      for (int pct : {50, 10, 90}) {
        CurveGrid& g = pct == 50 ? set->f50[b] : pct == 10 ? set->f10[b] : set->f90[b];
        r.error = ReadGrid(dir / ("fcc_f50" + std::to_string(pct) + "_" + band + ".csv"), pct, g);
        if (!r.error.empty()) return r;
      }
    }
    r.curves = std::move(set);
  } catch (const std::exception& e) {
    r.curves.reset();
    r.error = "The FCC curve tables in " + dir.string() + " could not be read: " + e.what();
  }
  return r;
}

BCCurveLoad SharedBCCurves() {
  static LoadCache cache;  // entries are immutable once made
  const std::filesystem::path dir = CurveDirectory();
  std::lock_guard<std::mutex> lock(cache.m);
  auto& slot = cache.byDir[dir.lexically_normal().string()];
  if (!slot) slot = std::make_shared<const BCCurveLoad>(LoadBCCurves(dir));
  return *slot;
}

const BCCurveSet& BCCurves() {
  const BCCurveLoad l = SharedBCCurves();
  if (!l.curves) throw std::runtime_error(l.error);
  return *l.curves;  // the cache keeps the set alive
}

std::string BCCurveSetup() { return SharedBCCurves().error; }

const CurveGrid* BCCurveGrid(std::int16_t percentage, BCBand band) {
  const BCCurveLoad l = SharedBCCurves();
  return l.curves ? BCCurveGrid(*l.curves, percentage, band) : nullptr;
}

const CurveGrid* BCCurveGrid(const BCCurveSet& c, std::int16_t percentage, BCBand band) {
  if (band == BCBand::None) return nullptr;
  const int b = static_cast<int>(band) - 1;
  switch (percentage) {
    case 50: return &c.f50[b];
    case 10: return &c.f10[b];
    case 90: return &c.f90[b];
    default: return nullptr;
  }
}

void BC_Fld(std::int16_t channel, double haatFt, double erpDbk, std::int16_t percentage, double distMi,
            double& fieldDbu, std::string& errText) {
  const BCCurveLoad l = SharedBCCurves();
  if (!l.curves) {
    errText = l.error;
    return;
  }
  BC_Fld(*l.curves, channel, haatFt, erpDbk, percentage, distMi, fieldDbu, errText);
}

void BC_Fld(const BCCurveSet& curves, std::int16_t channel, double haatFt, double erpDbk, std::int16_t percentage,
            double distMi, double& fieldDbu, std::string& errText) {
  ProcScope proc(kProcBCFld);
  try {
    errText.clear();
    const BCBand band = BCBandOfChannel(channel);
    const double haat = ClampHaat(haatFt);
    // F(50,10) is not tabulated inside 10 miles, where it equals F(50,50).
    const std::int16_t pct = (percentage == 10 && distMi <= 10) ? std::int16_t{50} : percentage;
    float w = 0.0f;
    if (const CurveGrid* g = BCCurveGrid(curves, pct, band)) {
      std::int16_t ier = 0;
      const std::int16_t lx = g->lx(), ly = g->ly(), n = 1;
      const float u = static_cast<float>(distMi), v = static_cast<float>(haat);
      itplbv(lx, ly, g->x[0], g->y[0], g->z[0], n, u, v, w, ier);
      if (ier != 0) {
        errText = "Error " + std::to_string(ier) + " in BC_Fld curve interpolation";
        return;
      }
    }
    fieldDbu = w + erpDbk;
  } catch (const std::exception& e) {
    errText = Unexpected("Error in BC_Fld", e);
  }
}

double BC_Loss(double distMi, double haatFt, std::int16_t channel, std::int16_t percentage, double erpDbk,
               std::string& errText) {
  const BCCurveLoad l = SharedBCCurves();
  if (!l.curves) {
    errText = l.error;
    return 0.0;
  }
  return BC_Loss(*l.curves, distMi, haatFt, channel, percentage, erpDbk, errText);
}

double BC_Loss(const BCCurveSet& curves, double distMi, double haatFt, std::int16_t channel, std::int16_t percentage,
               double erpDbk, std::string& errText) {
  ProcScope proc(kProcBCLoss);
  try {
    double field = 0.0;
    BC_Fld(curves, channel, haatFt, erpDbk, percentage, distMi, field, errText);
    if (!errText.empty()) return 0.0;
    const double loss = FreeSpaceFieldMi(distMi, erpDbk) - field;
    return loss < 0 ? 0.0 : loss;
  } catch (const std::exception& e) {
    errText = Unexpected("Error in BC_Loss", e);
    return 0.0;
  }
}

std::string BC_Contour(double& distMi, double haatFt, std::int16_t channel, std::int16_t percentage, double erpDbk,
                       double thresholdDbu) {
  const BCCurveLoad l = SharedBCCurves();
  if (!l.curves) return l.error;
  return BC_Contour(*l.curves, distMi, haatFt, channel, percentage, erpDbk, thresholdDbu);
}

std::string BC_Contour(const BCCurveSet& curves, double& distMi, double haatFt, std::int16_t channel,
                       std::int16_t percentage, double erpDbk, double thresholdDbu) {
  ProcScope proc(kProcBCContour);
  constexpr int kPoints = 200;
  constexpr float kStep = 0.5f;
  try {
    distMi = 0.0;
    std::int16_t pct = percentage;
    const BCBand band = BCBandOfChannel(channel);
    const float haat = static_cast<float>(ClampHaat(haatFt));
    const float thr = static_cast<float>(thresholdDbu);
    std::array<float, kPoints> u{}, v{}, w{};
    v.fill(haat);
    float d0 = 1.0f;
    for (;;) {
      proc.Step(d0 <= 1.0f ? 1000 : d0 <= 100.5f ? 1100 : 1200);
      for (int i = 0; i < kPoints; ++i) u[i] = d0 + kStep * static_cast<float>(i);
      w.fill(0.0f);
      const CurveGrid* g = BCCurveGrid(curves, pct, band);
      if (g) {
        std::int16_t ier = 0;
        const std::int16_t lx = g->lx(), ly = g->ly(), n = kPoints;
        itplbv(lx, ly, g->x[0], g->y[0], g->z[0], n, u[0], v[0], w[0], ier);
        if (ier != 0) {
          distMi = 0.0;
          return "Error " + std::to_string(ier) + " in BC_Contour curve interpolation";
        }
      }
      for (float& wi : w) wi = static_cast<float>(wi + erpDbk);
      // The last crossing of the pass wins; an earlier pass's stays otherwise.
      for (int i = 1; i < kPoints; ++i) {
        if (w[i - 1] >= thr && thr > w[i]) {
          distMi = double(u[i - 1]) + double(u[i] - u[i - 1]) * (double(thr) - w[i - 1]) / (double(w[i]) - w[i - 1]);
        }
      }
      if ((pct == 50 && distMi >= 1.0) || (pct == 10 && distMi > 10) || (pct == 90 && distMi > 10)) return {};
      if (d0 <= 100) {
        d0 = 100.5f;
        continue;
      }
      if (w[kPoints - 1] >= thr) {
        // The field still meets the threshold at the end of the pass: the
        // contour lies farther out. Search on along this grid (F(50,10) runs
        // to 300 miles); past the end of the curves the answer is that end.
        // Falling back to F(50,50) here would give a shorter, wrong distance,
        // and the free-space fallback below is meant for thresholds above the
        // field at 1 mile.
        if (g && u[kPoints - 1] < g->x.back()) {
          d0 = u[kPoints - 1] + kStep;
          continue;
        }
        distMi = double(u[kPoints - 1]);
        return {};
      }
      if (pct == 50) break;
      pct = 50;
      d0 = 1.0f;
    }
    distMi = std::min(std::pow(10.0, (102.8 - thresholdDbu + erpDbk) / 20.0), 1.0);
    return {};
  } catch (const std::exception& e) {
    return Unexpected("Error in BC_Contour", e);
  }
}

double BCHorizonGain(double haatFt, std::int16_t channel, double maxGainDbd, double azimuth, int vertCount,
                     const std::vector<double>& vertAngles, const std::vector<double>& vertGains, double mechTilt,
                     double mechTiltDir, double elecTilt, bool& err) {
  err = false;
  if (vertCount <= 0) return maxGainDbd;
  if (channel >= 2 && channel <= 83) {
    double h = haatFt * 0.3048;
    h = std::max(h, 30.0);
    // Depression of the radio horizon below the horizontal, in degrees.
    double angle = 0.0277 * std::sqrt(std::fabs(h));
    if (h < 0) angle = -angle;
    bool lookupErr = false;
    const double g = VerticalGain("   ", azimuth, angle, vertCount, vertAngles, vertGains, mechTilt, mechTiltDir,
                                  elecTilt, maxGainDbd, lookupErr);
    if (lookupErr || !std::isfinite(g)) {
      err = true;
      return maxGainDbd;
    }
    return (maxGainDbd - g > 0.91515) ? g : maxGainDbd;
  }
  if (channel >= 200 && channel <= 300) {
    // FM: the horizontal-angle lookup is made for its error flag only.
    bool lookupErr = false;
    (void)VerticalGain("HOR", azimuth, 0.0, vertCount, vertAngles, vertGains, mechTilt, mechTiltDir, elecTilt,
                       maxGainDbd, lookupErr);
    err = lookupErr;
    return maxGainDbd;
  }
  return maxGainDbd;
}

}  // namespace zw
