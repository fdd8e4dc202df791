#include "models/curves/clsQXAreaCovCA.h"

namespace zw {

clsQXAreaCovBC::Keys clsQXAreaCovCA::CAKeys() {
  Keys k;
  k.name = "Carey - Interpolated";
  k.code = "CA";
  k.hstrt = "ca_hstrt";
  k.hstrtun = "ca_hstrtun";
  k.hstop = "ca_hstop";
  k.hstopun = "ca_hstopun";
  k.hradial = "ca_hradial";
  k.curve = "ca_curve";
  k.desc = "CA_DESC";
  k.cfgHStrt = "CA_HStrt";
  k.cfgHStop = "CA_HStop";
  k.cfgHRadial = "ca_HRadial";
  k.cfgCurve = "CA_CRV";
  k.channelKey = "BC Channel Default";
  k.channelDefault = 222;
  k.labelPrefix = "CA";
  k.curveTitle = "Carey";
  return k;
}

clsQXAreaCovCA::clsQXAreaCovCA() : clsQXAreaCovBC(CAKeys(), false) {
  const CareyCurveLoad l = SharedCareyCurves();
  carey_ = l.curves;
  if (!carey_) SetCurveError(l.error);
}

clsQXAreaCovCA::clsQXAreaCovCA(std::shared_ptr<const CareyCurveSet> curves)
    : clsQXAreaCovBC(CAKeys(), false), carey_(std::move(curves)) {
  if (!carey_) SetCurveError("No Carey curve grids were given");
}

double clsQXAreaCovCA::CurveLoss(std::string& err) {
  if (!carey_) {
    err = sCurveError();
    return 88888.0;
  }
  return CA_Loss(*carey_, dDistMi(), dHaatFt(), dFreqMHz_, iPercentage(), dErpHorDbk(), err);
}

std::string clsQXAreaCovCA::CurveContour(double& distMi) {
  if (!carey_) return sCurveError();
  return CA_Contour(*carey_, distMi, dHaatFt(), dFreqMHz_, iPercentage(), dErpHorDbk(), dThresholdDbu());
}

}  // namespace zw
