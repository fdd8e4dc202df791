#include "models/terrain/clsQXAreaCovHD.h"

#include "models/terrain/ModelValidity.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr const char* kSettingsSection = "QXCoverage";
// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;

std::string TextOf(const FieldCollection& m, std::string_view key) {
  const FieldValue* v = m.FindNoCase(key);
  return v ? Trim(ToText(*v)) : std::string();
}

// A HAAT distance of the template, or the per-user setting ("value|unit")
// when the template's value is 0 or less or its unit blank. False when the
// unit cannot be converted.
bool HaatDistance(const FieldCollection& m, std::string_view key, std::string_view unitKey, std::string_view setting,
                  std::string_view settingDefault, double& metres, std::string& shown) {
  std::string value = TextOf(m, key), unit = TextOf(m, unitKey);
  if (!(ParseDouble(value) > 0) || unit.empty()) {
    const std::string s = ReadString(kSettingsSection, setting, settingDefault, CoverageSettingsFile());
    const auto bar = s.find('|');
    value = Trim(s.substr(0, bar));
    unit = bar == std::string::npos ? std::string() : Trim(s.substr(bar + 1));
  }
  shown = value + " " + unit;
  bool err = false;
  metres = ConvertLength(unit, "m", value, err);
  return !err && std::isfinite(metres);
}

std::vector<double> ParseRadials(const std::string& text) {
  std::vector<double> out;
  std::string t = text;
  for (char& c : t)
    if (c == ',') c = ' ';
  std::istringstream in(t);
  std::string word;
  while (in >> word) {
    double v = 0;
    if (TryParseDouble(word, v)) out.push_back(v);
  }
  return out;
}

}  // namespace

bool clsQXAreaCovHD::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3701);
  std::string area = ToUpper(m.FindNoCase("AREA_COR") ? ToText(*m.FindNoCase("AREA_COR")) : "NO CORRECTION ");
  const int idx = iHDAreaTypeIndex(area);
  if (idx < 0) {
    // The task record is not held by this calculator's callers yet: the task
    // line names what is known of it.
    sReadError_ = "Invalid Area Type setting for Hata/Davidson:\n" + area + "\n\nTask: ";
    ReportError(0, sReadError_, "", true);
    if (!bSilent_) platform::Messages().Information("Invalid Setting", sReadError_);
    return false;
  }
  sAreaType_ = sHDAreaTypeName(static_cast<HDAreaType>(idx));
  bAreaSet_ = m.FindNoCase("AREA_COR") != nullptr;

  double metres = 0;
  if (!HaatDistance(m, "hd_hstrt", "hd_hstrtun", "hd_HStrt", "3|km", metres, sStartText_))
    return RejectSetting("HD HAAT Start Distance", sStartText_);
  dHaatStartM_ = metres;
  if (!HaatDistance(m, "hd_hstop", "hd_hstopun", "hd_HStop", "16|km", metres, sStopText_))
    return RejectSetting("HD HAAT Stop Distance", sStopText_);
  dHaatStopM_ = metres;

  sRadials_ = TextOf(m, "hd_hradial");
  if (sRadials_.empty())
    sRadials_ = ReadString(kSettingsSection, "hd_HRadial", "0 45 90 135 180 225 270 315", CoverageSettingsFile());
  radials_ = ParseRadials(sRadials_);

  const auto flag = [&](std::string_view key) {
    const std::string t = TextOf(m, key);
    return ParseInt16(t.empty() ? "0" : t) != 0;
  };
  bLUArea_ = flag("HD_LUAREA");
  bLULoss_ = flag("HD_LULOSS");
  sDesc_ = TextOf(m, "HD_DESC");
  return true;
}

bool clsQXAreaCovHD::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  const PathStart ps = BeginTerrainPath();

  // Radial HAAT from the path's own profile.
  double average = 0;
  if (cPathElv_) {
    const bool obs = cOBS_ && cOBS_->bUse();
    const auto& elev = obs ? cPathElv_->ELV_ArrayOBS() : cPathElv_->ELV_Array();
    average = dHDAverageTerrain(cPathElv_->DIS_Array(), elev, cPathElv_->iLastPoint() + 1, dHaatStartM_, dHaatStopM_);
  }
  dHaat_ = FACTXmMSL_ - average;

  // Land use: with either flag set the land-use data may give the area type
  // (HD_LUAREA) and the loss (HD_LULOSS); without flags, the plain land-use
  // loss of every profile model. The area type already stands for the
  // clutter, so with HD_LUAREA alone no land-use loss is added on top.
  sAreaTypeUsed_ = sAreaType_;
  bAreaFromLU_ = false;
  platform::LandUseClass lu;
  const bool luFlags = bLandUse_ && cLandUse_ && (bLUArea_ || bLULoss_);
  if (luFlags && cLandUse_->LookupClass(ps.endLat, ps.endLon, lu) && bLUArea_) {
    const int idx = iHDAreaTypeIndex(lu.sAreaType);
    if (idx >= 0) {
      sAreaTypeUsed_ = sHDAreaTypeName(static_cast<HDAreaType>(idx));
      bAreaFromLU_ = true;
    }
  }

  // Hata's formulas (150 ... 1500 MHz, base 30 ... 200 m, 1 ... 20 km) as
  // Davidson extended them: 30 ... 1500 MHz, HAAT 30 ... 2500 m, to 300 km;
  // mobile 1 ... 10 m.
  warnings_.clear();
  for (std::string w : {RangeWarning("Hata/Davidson", "frequency", dFreqMHz_, 30, 1500, "MHz"),
                        RangeWarning("Hata/Davidson", "transmitter HAAT", dHaat_, 30, 2500, "m"),
                        RangeWarning("Hata/Davidson", "receiver height", ps.rxAGL, 1, 10, "m"),
                        RangeWarning("Hata/Davidson", "distance", dPathLthM_ / 1000.0, 1, 300, "km")})
    if (!w.empty()) Warn(std::move(w));
  loss_ = HDCalcLoss(dFreqMHz_, dHaat_, ps.rxAGL, dPathLthM_,
                     static_cast<HDAreaType>(std::max(0, iHDAreaTypeIndex(sAreaTypeUsed_))));
  dModelLoss_ = loss_.bOK ? loss_.dModelLoss : 0.0;

  std::string luName;
  if (luFlags) {
    iLUCode_ = lu.iCode;
    luName = lu.sName;
    dLULoss_ = bLULoss_ ? lu.dLossDB : 0.0;
    dNetField_ = dFreeSpaceFld_ - dModelLoss_ - dLULoss_;
  } else {
    FinishPath(ps.endLat, ps.endLon, &luName);
  }
  if (loss_.bOK && ErpNotANumber(ps.erpToward, &loss_.sError)) loss_.bOK = false;
  if (!loss_.bOK) {
    sPathError_ = loss_.sError;
    bErrorRun_ = true;
    dNetField_ = kFailedPathField;
    LogModelError("Hata/Davidson path at azimuth " + FormatNumber(ps.azimuth, "###0.00") + ": " + sPathError_, bSilent_);
  }

  if (bDetails_) {
    const auto db = [](double v) { return FormatNumber(v, "##0.0") + "dB"; };
    std::string t = CommonPathDetails(ps);
    if (!loss_.bOK) t += "\r\n\tPath not computed: " + sPathError_;
    t += "\r\n\tBasic Hata/Davidson Loss: " + db(loss_.dL0) + "(HAAT=" + DetailElevation(dHaat_, "##0.0") + ")";
    t += "\r\n\tAdjustment for RX height: " + db(loss_.dA1);
    t += "\r\n\tAdjustment for Area Type: " + db(loss_.dA2) + " " + sAreaTypeUsed_ +
         (bAreaFromLU_ ? " (from Land Use data)" : bAreaSet_ ? " (template area type)" : " (default area type)");
    t += "\r\n\tAdjustment for Range: " + db(loss_.dA3);
    t += "\r\n\tAdjustment for Base Height: " + db(loss_.dA4);
    t += "\r\n\tAdjustment for Frequency: " + db(loss_.dA5);
    if (loss_.bFreeSpaceUsed) t += "\r\n\t** calculation exceeded free-space field;  free-space value used **";
    t += "\r\n\tAdditional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
    t += LandUseDetails(luName);
    sDetails_ = t;
  }
  return false;
}

bool clsQXAreaCovHD::PrtParameters(std::ostream& out) {
  bool err = false;
  const auto km = [&](double m) {
    const double v = ConvertLength("m", "km", m, err);
    return FormatNumber(v, "#0.00");
  };
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << "\tArea type: " << sAreaType_ << "\n";
  out << "Radial HAAT based on elevations " << km(dHaatStartM_) << " to " << km(dHaatStopM_) << " km\n";
  out << "Site HAAT based on radials " << sRadials_ << "\n";
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

}  // namespace zw
