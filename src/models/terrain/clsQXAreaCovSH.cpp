#include "models/terrain/clsQXAreaCovSH.h"

#include <cmath>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "models/terrain/ProfileRequest.h"
#include "models/terrain/modPropSH.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

void clsQXAreaCovSH::OnFacility() {
  if (dFreqMHz_ > 0) dLambdaM_ = 300.0 / dFreqMHz_;
}

bool clsQXAreaCovSH::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3501);
  std::string label = "SH Fixed Angle Flag";
  const FieldValue* flag = m.FindNoCase("SH_BFIXED");
  if (!flag) return RejectSetting(label, "(missing)");
  bFixed_ = ParseInt16(Trim(ToText(*flag))) != 0;
  if (bFixed_) {
    label = "SH Fixed Angle";
    const FieldValue* a = m.FindNoCase("SH_VALFIX");
    if (!a) return RejectSetting(label, "(missing)");
    dFixedAngle_ = ParseDouble(*a);
    dFixedSlope_ = dSHFixedSlope(dFixedAngle_);
    if (!std::isfinite(dFixedSlope_) || std::fabs(dFixedAngle_) >= 90.0)
      return RejectSetting(label, FormatGeneral(dFixedAngle_));
  } else {
    dFixedAngle_ = 0;
    dFixedSlope_ = 0;
  }
  const FieldValue* desc = m.FindNoCase("SH_DESC");
  sDesc_ = desc ? Trim(ToText(*desc)) : std::string();
  return true;
}

bool clsQXAreaCovSH::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  const PathStart ps = BeginTerrainPath();

  static const std::vector<double> kNoDist;
  static const std::vector<float> kNoElev;
  bool held = false;
  if (cPathElv_) {
    held = RequestProfile(*cPathElv_, dPathLthM_);
    if (!held) {
      sPathError_ = "Shadow: no terrain profile to the point " + FormatNumber(ps.endLat, "#0.00") + ", " +
                    FormatNumber(ps.endLon, "#0.00");
      LogModelError(cPathElv_->sMessage().empty() ? sPathError_ : sPathError_ + ": " + cPathElv_->sMessage(), bSilent_);
    }
  } else {
    sPathError_ = "Shadow: no terrain profile object";
  }
  const auto& dist = cPathElv_ ? cPathElv_->DIS_Array() : kNoDist;
  const auto& elev = cPathElv_ ? ProfileElevations(*cPathElv_, cOBS_.get()) : kNoElev;
  const int n = cPathElv_ ? cPathElv_->iLastPoint() : -1;
  const SHRatioResult r =
      SHRatio(dPathLthM_, FACTXmMSL_, ps.rxMSL, dLambdaM_, n, dist, elev, bFixed_, dFixedSlope_);
  if (!r.bOK) {
    if (held) LogModelError(r.sLog, bSilent_);
    if (sPathError_.empty()) sPathError_ = r.sLog;
    bErrorRun_ = true;
  } else if (!held) {
    bErrorRun_ = true;
  }

  // The result is the clearance ratio; land use does not apply.
  dModelLoss_ = 0;
  iLUCode_ = 0;
  dLULoss_ = 0;
  dNetField_ = r.dRatio;

  if (bDetails_) sDetails_ = CommonPathDetails(ps);
  return false;
}

bool clsQXAreaCovSH::PrtParameters(std::ostream& out) {
  out << sNameModel() << " Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  if (bFixed_) out << "Fixed Angle: " << FormatNumber(dFixedAngle_, "#0.00") << "\n";
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

}  // namespace zw
