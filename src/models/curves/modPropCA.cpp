#include "models/curves/modPropCA.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>

#include "common/ErrorHandler.h"
#include "common/FreeSpace.h"
#include "models/curves/CurveFile.h"

namespace zw {

namespace {

std::string Unexpected(const char* what, const std::exception& e) {
  const std::string text = ErrorText(what, 5, e.what());
  LogModelError(text);
  return text;
}

}  // namespace

std::filesystem::path CareyCurveDirectory() { return CurveDirectory() / "carey"; }

std::vector<double> CareyHaatAxisFt() { return {100, 200, 500, 1000, 2000, 5000}; }

std::vector<double> CareyDistanceAxisMi(int k) {
  switch (k) {
    case 0: return {0.0001, 5, 7.5, 8.5, 10, 12, 14, 16, 20, 22.5, 25, 30, 40, 50, 60, 70, 80, 90, 100};
    case 1: return {0.0001, 10, 12, 14, 16, 18, 20, 22, 25, 30, 35, 40, 50, 60, 80, 100, 120, 150, 200};
    case 2:
      return {0.0001, 5, 7.5, 9.5, 11.5, 13, 14.5, 16, 17.5, 18.5, 20, 23,
              25,     27.5, 30.5, 35, 40, 45, 50, 54, 59.5, 65.5, 80, 100};
    default:
      return {0.0001, 7, 9, 11, 13, 15, 17, 20, 22, 25, 28, 31, 34, 38,
              43,     47, 51, 57, 62, 66, 77, 88, 100, 109, 126, 150, 200};
  }
}

std::string CareyLayoutText() {
  return "Each file is laid out like the FCC curve tables: header 'haat_ft\\dist_mi' then the distances in miles, "
         "one row per HAAT (100, 200, 500, 1000, 2000, 5000 ft) with the field in dBu for 1 kW ERP; "
         "F(50,50) low (below 300 MHz): 19 distances 0.0001, 5 ... 100 mi; F(50,10) low: 19, 0.0001, 10 ... 200 mi; "
         "F(50,50) high (300 MHz and above): 24, 0.0001, 5 ... 100 mi; F(50,10) high: 27, 0.0001, 7 ... 200 mi; "
         "120 dBu at 0.0001 mi.";
}

CareyCurveLoad LoadCareyCurves(const std::filesystem::path& dir) {
  CareyCurveLoad r;
  try {
    std::string missing;
    std::error_code ec;
    for (const char* f : kCareyFiles)
      if (!std::filesystem::is_regular_file(dir / f, ec)) missing += std::string(missing.empty() ? "" : ", ") + f;
    if (!missing.empty()) {
      r.error = "The Carey curve tables are not installed; missing in " + dir.string() + ": " + missing + ". " +
                CareyLayoutText();
      return r;
    }
    auto set = std::make_shared<CareyCurveSet>();
    const std::vector<double> haat = CareyHaatAxisFt();
    for (int k = 0; k < 4; ++k) {
      const auto file = dir / kCareyFiles[k];
      const CurveCsv t = ReadCurveCsv(file);
      r.error = t.error;
      if (r.error.empty()) r.error = CheckCurveAxis(file, "the HAAT rows (ft)", t.rows, haat);
      if (r.error.empty()) r.error = CheckCurveAxis(file, "the distance columns (mi)", t.columns, CareyDistanceAxisMi(k));
      if (!r.error.empty()) {
        r.error += ". " + CareyLayoutText();
        return r;
      }
      set->grid[k] = CurveGridOf(t, true);  // X HAAT, Y distance
    }
    r.curves = std::move(set);
  } catch (const std::exception& e) {
    r.curves.reset();
    r.error = "The Carey curve tables in " + dir.string() + " could not be read: " + e.what();
  }
  return r;
}

CareyCurveLoad SharedCareyCurves() {
  static std::mutex m;
  static std::map<std::string, std::shared_ptr<const CareyCurveLoad>> byDir;  // immutable entries
  const std::filesystem::path dir = CareyCurveDirectory();
  std::lock_guard<std::mutex> lock(m);
  auto& slot = byDir[dir.lexically_normal().string()];
  if (!slot) slot = std::make_shared<const CareyCurveLoad>(LoadCareyCurves(dir));
  return *slot;
}

const CurveGrid& CareyGrid(const CareyCurveSet& c, double freqMHz, std::int16_t percentage) {
  const bool f50 = percentage == 50 || percentage == 90;
  const int k = (freqMHz < 300 ? 0 : 2) + (f50 ? 0 : 1);
  return c.grid[k];
}

double CareyF90Offset(double freqMHz) { return freqMHz < 300 ? 10.8 : 14.7; }

void CA_Fld(const CareyCurveSet& c, double freqMHz, double haatFt, double erpDbk, std::int16_t percentage,
            double distMi, double& fieldDbu, std::string& errText) {
  ProcScope proc(kProcCAFld);
  try {
    errText.clear();
    const CurveGrid& g = CareyGrid(c, freqMHz, percentage);
    const float u = static_cast<float>(std::clamp(haatFt, kCAMinHaatFt, kCAMaxHaatFt));
    const float v = static_cast<float>(distMi);
    const std::int16_t lx = g.lx(), ly = g.ly(), n = 1;
    float w = 0.0f;
    std::int16_t ier = 0;
    itplbv(lx, ly, g.x[0], g.y[0], g.z[0], n, u, v, w, ier);  // IER not examined
    double value = w;
    if (percentage == 90) value -= CareyF90Offset(freqMHz);
    fieldDbu = value + erpDbk;
  } catch (const std::exception& e) {
    errText = Unexpected("Error in CA_Fld", e);
  }
}

double CA_Loss(const CareyCurveSet& c, double distMi, double haatFt, double freqMHz, std::int16_t percentage,
               double erpDbk, std::string& errText) {
  ProcScope proc(kProcCALoss);
  try {
    errText.clear();
    double field = 0.0;
    CA_Fld(c, freqMHz, haatFt, erpDbk, percentage, distMi, field, errText);
    if (!errText.empty()) return 88888.0;
    const double loss = FreeSpaceFieldMi(distMi, erpDbk) - field;
    return loss < 0 ? 0.0 : loss;
  } catch (const std::exception& e) {
    errText = Unexpected("Error in CA_Loss", e);
    return 88888.0;
  }
}

std::string CA_Contour(const CareyCurveSet& c, double& distMi, double haatFt, double freqMHz,
                       std::int16_t percentage, double erpDbk, double thresholdDbu) {
  ProcScope proc(kProcCAContour);
  try {
    const bool low = freqMHz < 300;
    const int n = low ? (percentage == 10 ? 282 : 192) : (percentage == 10 ? 288 : 152);
    const CurveGrid& g = CareyGrid(c, freqMHz, percentage);
    const float haat = static_cast<float>(std::clamp(haatFt, kCAMinHaatFt, kCAMaxHaatFt));
    std::vector<float> u(n, haat), v(n), w(n, 0.0f);
    for (int i = 0; i < n; ++i) v[i] = 0.5f * static_cast<float>(i);
    const std::int16_t lx = g.lx(), ly = g.ly(), nn = static_cast<std::int16_t>(n);
    std::int16_t ier = 0;
    itplbv(lx, ly, g.x[0], g.y[0], g.z[0], nn, u[0], v[0], w[0], ier);
    const double off = percentage == 90 ? CareyF90Offset(freqMHz) : 0.0;
    for (float& wi : w) wi = static_cast<float>(wi + erpDbk - off);
    const float thr = static_cast<float>(thresholdDbu);
    for (int i = 1; i < n; ++i) {
      if (w[i - 1] >= thr && thr > w[i])
        distMi = double(v[i - 1]) + double(v[i] - v[i - 1]) * (double(thr) - w[i - 1]) / (double(w[i]) - w[i - 1]);
    }
    return {};
  } catch (const std::exception& e) {
    return Unexpected("Error in CA_Contour", e);
  }
}

}  // namespace zw
