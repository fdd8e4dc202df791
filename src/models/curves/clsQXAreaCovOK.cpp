#include "models/curves/clsQXAreaCovOK.h"

#include "models/terrain/ModelValidity.h"

#include <cmath>
#include <utility>
#include <ostream>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "common/calcMiscMath.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr const char* kOff = "NO CORRECTION ";
// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;

const char* const kAreaForms[5] = {"URBAN-LARGE   ", "URBAN-MEDIUM  ", "SUBURBAN      ", "QUASI-OPEN    ",
                                   "OPEN          "};
const char* const kStreetForms[2] = {"ALONG PATH", "ACROSS PATH"};

std::string Raw(const FieldCollection& m, std::string_view key, std::string_view fallback) {
  const FieldValue* v = m.FindNoCase(key);
  return v ? ToText(*v) : std::string(fallback);
}

bool IsOff(const std::string& v) { return EqualsNoCase(Trim(v), Trim(kOff)) || Trim(v).empty(); }

// The stored form of an area type or street orientation text; "" when unknown.
template <std::size_t N>
std::string Form(std::string_view text, const char* const (&forms)[N]) {
  const std::string t = Trim(text);
  for (const char* f : forms)
    if (EqualsNoCase(t, Trim(f))) return f;
  return {};
}

bool IsUrban(const std::string& area) {
  const std::string a = ToUpper(Trim(area));
  return a == "URBAN-LARGE" || a == "URBAN-MEDIUM";
}

}  // namespace

clsQXAreaCovOK::clsQXAreaCovOK() {
  const OKCurveLoad l = SharedOKCurves();
  curves_ = l.curves;
  if (!curves_) {
    sCurveError_ = l.error;
    sOKtoGO_ += "\nOkumura: " + l.error;
  }
}

bool clsQXAreaCovOK::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3801);
  bCorr_.fill(false);
  sAreaType_ = sOrient_ = kOff;

  const std::string area = Raw(m, "AREA_COR", kOff);
  if (!IsOff(area)) {
    sAreaType_ = Form(area, kAreaForms);
    if (sAreaType_.empty()) {
      sAreaType_ = kOff;
      return RejectSetting("Okumura Area type", Trim(area));
    }
    bCorr_[kArea] = true;
  }
  const std::string orient = Raw(m, "ORIENT_COR", kOff);
  if (!IsOff(orient)) {
    sOrient_ = Form(orient, kStreetForms);
    if (sOrient_.empty()) {
      sOrient_ = kOff;
      return RejectSetting("Okumura Street orientation", Trim(orient));
    }
    bCorr_[kOrient] = true;
  }
  const std::pair<Corr, const char*> onOff[6] = {{kSlope, "SLOPE_COR"},  {kLandSea, "LNDSEA_COR"},
                                                 {kRollHill, "ROLHIL_COR"}, {kHillLoc, "HILLOC_COR"},
                                                 {kRidge, "RIDGES_COR"},   {kLocPct, "LOCS_COR"}};
  sSetting_.fill(std::string());
  sSetting_[kArea] = Trim(sAreaType_);
  sSetting_[kOrient] = Trim(sOrient_);
  for (const auto& [c, key] : onOff) {
    const std::string v = Raw(m, key, kOff);
    bCorr_[c] = !IsOff(v);
    sSetting_[c] = Trim(v);
  }

  bool err = false;
  sSeaText_ = Trim(Raw(m, "LNDSE_EL", "0"));
  sSeaUnit_ = Trim(Raw(m, "LNDSE_ELUN", "m"));
  if (sSeaText_.empty()) sSeaText_ = "0";
  if (sSeaUnit_.empty()) sSeaUnit_ = "m";
  dSeaElvM_ = ConvertLength(sSeaUnit_, "m", sSeaText_, err);
  if (err || !std::isfinite(dSeaElvM_)) return RejectSetting("Okumura Land-Sea MSL elevation", sSeaText_ + " " + sSeaUnit_);

  sHillText_ = Trim(Raw(m, "HIL_DIST", "0"));
  sHillUnit_ = Trim(Raw(m, "HIL_DISTUN", "m"));
  if (sHillText_.empty()) sHillText_ = "0";
  if (sHillUnit_.empty()) sHillUnit_ = "m";
  dHillDistM_ = ConvertLength(sHillUnit_, "m", sHillText_, err);
  if (err || !std::isfinite(dHillDistM_)) return RejectSetting("Okumura Hill distance", sHillText_ + " " + sHillUnit_);

  const std::string pct = Trim(Raw(m, "LOCS_PRCNT", "50"));
  dLocPct_ = 50;
  if (bCorr_[kLocPct]) {
    double v = 0;
    if (!TryParseDouble(pct, v) || !(v >= 0 && v <= 100)) return RejectSetting("Okumura Location percentage", pct);
    dLocPct_ = v;
  }

  const auto flag = [&](std::string_view key) {
    const std::string t = Trim(Raw(m, key, "1"));
    return ParseInt16(t.empty() ? "1" : t) != 0;
  };
  bLUArea_ = flag("OK_LUAREA");
  bLUStreet_ = flag("OK_LUSTRT");
  bLULoss_ = flag("OK_LULOSS");
  sDesc_ = Trim(Raw(m, "OK_DESC", ""));
  return true;
}

void clsQXAreaCovOK::TermsFromLandUse(const platform::LandUseClass* lu) {
  t_.areaUsed = sAreaType_;
  t_.streetUsed = sOrient_;
  if (lu && bLUArea_ && bCorr_[kArea]) {
    const std::string f = Form(lu->sAreaType, kAreaForms);
    if (!f.empty()) {
      t_.areaUsed = f;
      t_.areaFromLU = true;
    }
  }
  if (lu && bLUStreet_ && bCorr_[kOrient]) {
    const std::string f = Form(lu->sStreet, kStreetForms);
    if (!f.empty()) {
      t_.streetUsed = f;
      t_.streetFromLU = true;
    }
  }
}

double clsQXAreaCovOK::CorrectionSum(std::span<const double> dis, std::span<const float> elv, int n, double dKm) {
  double sum = 0;
  if (bCorr_[kArea]) sum += t_.area = OKAreaCorr(*curves_, dFreqMHz_, t_.areaUsed);
  if (bCorr_[kOrient]) sum += t_.street = OKStreetCorr(t_.streetUsed, dKm);
  if (bCorr_[kSlope]) {
    t_.slope = OKSlopeCorr(dis, elv, n, dPathLthM_);
    sum += t_.slope.dB;
  }
  if (bCorr_[kLandSea]) {
    t_.landSea = OKLandSeaCorr(*curves_, dis, elv, n, dPathLthM_, dSeaElvM_);
    sum += t_.landSea.dB;
  }
  t_.undulation = OKTerrainUndulation(dis, elv, n, dPathLthM_, dHillDistM_);
  if (bCorr_[kRollHill]) sum += t_.rollHill = OKRollingHillCorr(*curves_, dFreqMHz_, t_.undulation.dh);
  if (bCorr_[kHillLoc]) sum += t_.hillLoc = OKHillLocationCorr(*curves_, t_.undulation, rTgtElvM_);
  if (bCorr_[kRidge]) {
    t_.ridge = OKRidgeCorr(*curves_, dis, elv, n, dPathLthM_);
    sum += t_.ridge.dB;
  }
  if (bCorr_[kLocPct]) sum -= t_.location = OKLocationCorr(*curves_, t_.areaUsed, dFreqMHz_, dLocPct_);
  return sum;
}

bool clsQXAreaCovOK::CovCalc() {
  bErrorRun_ = false;
  t_ = Terms{};
  const PathStart ps = BeginTerrainPath();
  t_.rxAGL = ps.rxAGL;
  t_.lookAngle = ps.elevAngle;
  if (!curves_) {
    // Never a field from missing or damaged curves.
    bErrorRun_ = true;
    dModelLoss_ = 0;
    dNetField_ = kFailedPathField;
    LogModelError("Okumura: " + sCurveError_, bSilent_);
    if (bDetails_) sDetails_ = "Path not computed: " + sCurveError_;
    return false;
  }

  std::span<const double> dis;
  std::span<const float> elv;
  int n = 0;
  if (cPathElv_) {
    const bool obs = cOBS_ && cOBS_->bUse();
    dis = cPathElv_->DIS_Array();
    elv = obs ? std::span<const float>(cPathElv_->ELV_ArrayOBS()) : std::span<const float>(cPathElv_->ELV_Array());
    n = cPathElv_->iLastPoint() + 1;
  }
  const double dKm = dPathLthM_ / 1000.0;

  // Land use: area type and street orientation where the data give them
  // (only for a term that is switched on), and its loss.
  platform::LandUseClass lu;
  const bool luFound = bLandUse_ && cLandUse_ && cLandUse_->LookupClass(ps.endLat, ps.endLon, lu);
  TermsFromLandUse(luFound ? &lu : nullptr);

  const double erpDbk = ps.erpToward - 60.0;
  t_.effBaseM = OKEffBaseHeight(dis, elv, n, dPathLthM_, FACTXmMSL_, FACTXmAGL_);
  // Okumura's curves: 100 ... 3000 MHz, effective base height 30 ... 1000 m,
  // 1 ... 100 km, mobile 1 ... 10 m (outside, the grids are extrapolated).
  warnings_.clear();
  for (std::string w : {RangeWarning("Okumura", "frequency", dFreqMHz_, 100, 3000, "MHz"),
                        RangeWarning("Okumura", "effective base height", t_.effBaseM, 30, 1000, "m"),
                        RangeWarning("Okumura", "receiver height", ps.rxAGL, 1, 10, "m"),
                        RangeWarning("Okumura", "distance", dKm, 1, 100, "km")})
    if (!w.empty()) Warn(std::move(w));
  t_.median = OKMedianFieldPath(*curves_, dFreqMHz_, t_.effBaseM, dKm, erpDbk);
  t_.mobileGain = IsUrban(t_.areaUsed) ? OKMobileGain(*curves_, t_.areaUsed, ps.rxAGL, dFreqMHz_) : 0.0;

  const double sum = CorrectionSum(dis, elv, n, dKm);

  t_.field = t_.median + t_.mobileGain + sum;
  if (t_.field > dFreeSpaceFld_) {
    t_.field = dFreeSpaceFld_;
    t_.freeSpaceUsed = true;
  }
  dModelLoss_ = dFreeSpaceFld_ - t_.field;

  std::string luName;
  iLUCode_ = 0;
  dLULoss_ = 0;
  if (luFound) {
    iLUCode_ = lu.iCode;
    luName = lu.sName;
    dLULoss_ = bLULoss_ ? lu.dLossDB : 0.0;
  }
  dNetField_ = dFreeSpaceFld_ - dModelLoss_ - dLULoss_;
  if (!std::isfinite(dNetField_) || !(dFreqMHz_ > 0) || !std::isfinite(dFreqMHz_) || !std::isfinite(t_.effBaseM) ||
      !std::isfinite(ps.erpToward) || !std::isfinite(FACTXmMSL_)) {
    bErrorRun_ = true;
    dModelLoss_ = 0;
    dNetField_ = kFailedPathField;
    LogModelError("Okumura path at azimuth " + FormatNumber(ps.azimuth, "###0.00") +
                      ": the field could not be computed (frequency, ERP or heights missing or not finite)",
                  bSilent_);
  }
  if (bDetails_) sDetails_ = Details(ps, luName);
  return false;
}

std::string clsQXAreaCovOK::Details(const PathStart& ps, const std::string& luName) const {
  const auto dB = [](double v) { return " " + FormatNumber(v, "#0.00") + " dB"; };
  const std::string nl = "\r\n\t", term = "\r\n\t\t";
  std::string s = CommonPathDetails(ps);
  s += nl + "Azimuth ERP: " + DetailPower(ps.erpToward) + "; Dis: " + DetailDistance(dPathLthM_);
  s += nl + "Interpolated RX Site: " + DetailElevation(rTgtElvM_, "####0.0") + " AMSL " + " + " +
       DetailElevation(ps.rxAGL, "##0.0") + " AGL " + " = " + DetailElevation(rTgtElvM_ + ps.rxAGL, "####0.0") +
       " AMSL ";
  s += nl + "Eff base ant hgt: " + FormatNumber(t_.effBaseM, "##0.0") + " m" + "; RX ant hgt: " +
       FormatNumber(t_.rxAGL, "##0.0") + " m";
  s += nl + "Look angle: " + FormatNumber(t_.lookAngle, "#0.000") + "; Basic median field: " +
       FormatNumber(t_.median, "#0.00") + " dBu";
  s += nl + "Receiver antenna height: " + FormatNumber(t_.rxAGL, "#0.0") + " m AGL" + dB(t_.mobileGain);
  if (bCorr_[kArea])
    s += term + "Area type: " + Trim(t_.areaUsed) + (t_.areaFromLU ? " area from Land Use data" : " default area type") +
         dB(t_.area);
  if (bCorr_[kOrient])
    s += term + "Streets: " + Trim(t_.streetUsed) +
         (t_.streetFromLU ? " street orientation from Land Use data" : " default street orientation") + dB(t_.street);
  if (bCorr_[kSlope]) s += term + "Average slope: " + FormatNumber(t_.slope.thetaMr, "#0.00") + "mr" + dB(t_.slope.dB);
  if (bCorr_[kLandSea]) {
    bool err = false;
    const double km = ConvertLength("m", "km", t_.landSea.avgDisM, err);
    s += term + "Mixed land-sea path: " + dB(t_.landSea.dB).substr(1) + "; Land-sea Avg Dis: " +
         FormatNumber(km, "0.000") + " km; LandSea Beta: " + FormatNumber(t_.landSea.beta, "0.000");
  }
  if (bCorr_[kRollHill])
    s += term + "Terrain undulation: " + FormatNumber(t_.undulation.dh, "#0.0") + " m (" +
         FormatNumber(t_.undulation.lower, "#0.0") + "," + FormatNumber(t_.undulation.upper, "#0.0") + ")" +
         dB(t_.rollHill);
  if (bCorr_[kHillLoc]) s += term + "Rolling hills fine correction: " + dB(t_.hillLoc).substr(1);
  if (bCorr_[kRidge]) s += term + "Isolated ridge: " + dB(t_.ridge.dB).substr(1);
  if (bCorr_[kLocPct])
    s += term + "(" + FormatNumber(-t_.location, "#0.00") + " dB above average) " + FormatNumber(dLocPct_, "#0.00") +
         "% of the locations in the area ";
  if (t_.freeSpaceUsed) s += nl + "** calculation exceeded free-space field;  free-space value used **";
  s += nl + "Additional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
  s += nl + "Net Field: " + FormatNumber(dNetField_, "###0.00") + " dBu";
  s += LandUseDetails(luName);
  return s;
}

bool clsQXAreaCovOK::PrtParameters(std::ostream& out) {
  const auto setting = [&](Corr c, const std::string& text) { return bCorr_[c] ? text : std::string("NO CORRECTION"); };
  bool err = false;
  const double seaShown = ConvertLength("m", sSeaUnit_, dSeaElvM_, err);
  const double hillShown = ConvertLength("m", sHillUnit_, dHillDistM_, err);
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << "\tArea type: " << setting(kArea, sSetting_[kArea]) << "\n";
  out << "\tStreet orientation: " << setting(kOrient, sSetting_[kOrient]) << "\n";
  out << "\tSlope correction: " << setting(kSlope, sSetting_[kSlope]) << "\n";
  out << "\tLand-Sea correction: "
      << setting(kLandSea, sSetting_[kLandSea] + " (MSL=" + FormatNumber(seaShown, "##0.00") + sSeaUnit_ + ")") << "\n";
  out << "\tRolling hill correction: "
      << setting(kRollHill, sSetting_[kRollHill] + " (" + FormatNumber(hillShown, "##0.00") + " " + sHillUnit_ + " from RX)") << "\n";
  out << "\tHill location correction: " << setting(kHillLoc, sSetting_[kHillLoc]) << "\n";
  out << "\tRidge correction: " << setting(kRidge, sSetting_[kRidge]) << "\n";
  out << "\tPcnt location correction: "
      << setting(kLocPct, sSetting_[kLocPct] + " ( " + FormatNumber(dLocPct_, "##0.00") + "%" + ")") << "\n";
  return true;
}

}  // namespace zw
