#include "models/curves/clsQXAreaCovCG.h"

#include "common/Config.h"
#include "common/Units.h"
#include "models/curves/modPropBC.h"
#include "models/curves/modPropCG.h"

namespace zw {

clsQXAreaCovCG::Keys clsQXAreaCovCG::CGKeys() {
  Keys k;
  k.name = "Cellular - CGSA";
  k.printName = "Cellular - CGSA (Carey)";
  k.code = "CG";
  k.hstrt = "cg_hstrt";
  k.hstrtun = "cg_hstrtun";
  k.hstop = "cg_hstop";
  k.hstopun = "cg_hstopun";
  k.hradial = "cg_hradial";
  k.desc = "cg_DESC";
  k.cfgHStrt = "cg_HStrt";
  k.cfgHStop = "cg_HStop";
  k.cfgHRadial = "cg_HRadial";
  k.labelPrefix = "CG";
  return k;
}

clsQXAreaCovCG::clsQXAreaCovCG() : clsQXAreaCovCX(CGKeys()) {}

void clsQXAreaCovCG::OnFacility() {
  iChannel_ = BCChannelFromFreq(dFreqMHz_);
  if (iChannel_ < 1) iChannel_ = ReadInt16("QXCoverage", "BC Channel Default", 222, CoverageSettingsFile());
}

bool clsQXAreaCovCG::ReadModelParameters(const FieldCollection& m) {
  bGulf_ = ParseBool(TemplateText(m, "cg_gulfmex"));
  bUnserved_ = ParseBool(TemplateText(m, "cg_unservd"));
  sVgnMode_ = TemplateText(m, "cg_vgnmode");
  return true;
}

std::string clsQXAreaCovCG::ContourMi(double& distMi) const {
  return CG_Contour(distMi, dHaatM(), bGulf_, bUnserved_, dHorizErpW(), dPathErpW());
}

std::string clsQXAreaCovCG::ModelPrintLine() const {
  std::string t = "CGSA service area boundary (47 CFR 22.911)";
  if (bGulf_) t += ", Gulf of Mexico station";
  if (bUnserved_) t += ", unserved area";
  return t;
}

}  // namespace zw
