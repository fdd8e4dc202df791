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
  k.curveNote = kCareyGridNote;
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

void clsQXAreaCovCA::CurveRange(double& haatLoFt, double& haatHiFt, double& distLoMi, double& distHiMi) const {
  // The grids: HAAT 100 ... 5000 ft; F(50,50) to 100 mi, F(50,10) to 200 mi.
  const bool f50 = iPercentage() == 50 || iPercentage() == 90;
  haatLoFt = kCAMinHaatFt;
  haatHiFt = kCAMaxHaatFt;
  distLoMi = 0;
  distHiMi = f50 ? 100 : 200;
}

}  // namespace zw
