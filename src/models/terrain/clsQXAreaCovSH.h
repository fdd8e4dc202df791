#pragma once
// The Shadow calculator: the smallest clearance of the path's ray over the
// terrain, in first Fresnel-zone radii (modPropSH). Its net field is that
// ratio, not a field strength. Serves the shadowing variants of the model
// table; a fixed-angle template replaces the transmitter-receiver ray by a
// ray of fixed elevation angle from the transmitter.
#include <string>

#include "coverage/clsQXAreaCov.h"

namespace zw {

class clsQXAreaCovSH : public clsQXAreaCov {
 public:
  clsQXAreaCovSH() = default;

  // The result is the clearance of the path in first-Fresnel-zone radii
  // (ResultQuantity, ResultUnit from the model table).
  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Shadow"; }
  std::string sNameModel2() const override { return "SH"; }

  bool bFixed() const { return bFixed_; }
  double dFixedAngle() const { return dFixedAngle_; }
  double dFixedSlope() const { return dFixedSlope_; }
  double dLambdaM() const { return dLambdaM_; }
  const std::string& sDesc() const { return sDesc_; }

 protected:
  bool ReadParameters(const FieldCollection& m) override;
  void OnFacility() override;

 private:
  bool bFixed_ = false;
  double dFixedAngle_ = 0, dFixedSlope_ = 0, dLambdaM_ = 0;
  std::string sDesc_;
};

}  // namespace zw
