#pragma once
// The Rounded Obstacle calculator: diffraction over the rounded obstacles of
// the terrain profile, troposcatter, and free space, combined by the
// template's attenuation mode (modPropRO).
#include <string>

#include "coverage/clsQXAreaCov.h"
#include "models/terrain/modPropRO.h"

namespace zw {

class clsQXAreaCovRO : public clsQXAreaCov {
 public:
  clsQXAreaCovRO() = default;

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Rounded Obstacle"; }
  std::string sNameModel2() const override { return "RO"; }

  // Parameters in force.
  double dResolutionM() const { return dResolutionM_; }
  int iMode() const { return iMode_; }
  const std::string& sDesc() const { return sDesc_; }

  // Values of the last path.
  const RODiffraction& Diffraction() const { return diff_; }
  const ROTroposcatter& Scatter() const { return scat_; }
  // What the model loss stands for: "(free space) ", "(free space + diffraction) ", ...
  const std::string& sResult() const { return sResult_; }
  double dFreeSpaceLossDB() const { return dFreeSpaceLoss_; }
  // The obstacles of the last path.
  PathExtras LastPathExtras() const override;

 protected:
  bool ReadParameters(const FieldCollection& m) override;

 private:
  // The details text of the last path (ok false: not computed).
  std::string Details(const PathStart& ps, bool ok, const std::string& luName) const;
  double dResolutionM_ = 1.524;
  std::string sResText_ = "5", sResUnit_ = "ft";
  int iMode_ = kROModeMin;
  std::string sDesc_;

  RODiffraction diff_;
  ROTroposcatter scat_;
  std::string sResult_;
  double dFreeSpaceLoss_ = 0;
};

}  // namespace zw
