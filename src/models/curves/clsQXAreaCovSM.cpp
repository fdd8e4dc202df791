#include "models/curves/clsQXAreaCovSM.h"

namespace zw {

clsQXAreaCovBC::Keys clsQXAreaCovSM::SMKeys() {
  Keys k;
  k.name = "Specialized Mobile Radio";
  k.code = "SM";
  k.hstrt = "SM_hstrt";
  k.hstrtun = "SM_hstrtun";
  k.hstop = "SM_hstop";
  k.hstopun = "SM_hstopun";
  k.hradial = "SM_hradial";
  k.curve = "SM_curve";
  k.desc = "SM_DESC";
  k.cfgHStrt = "SM_HStrt";
  k.cfgHStop = "SM_HStop";
  k.cfgHRadial = "SM_HRadial";
  k.cfgCurve = "SM_CRV";
  k.channelKey = "SM Channel Default";
  k.channelDefault = 14;
  k.labelPrefix = "SM";
  return k;
}

clsQXAreaCovSM::clsQXAreaCovSM() : clsQXAreaCovBC(SMKeys()) {}

}  // namespace zw
