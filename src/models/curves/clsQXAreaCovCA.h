#pragma once
// The Carey calculator: the interpolated Carey F(50,50) / F(50,10) curves
// (with the 90 % offset) read at the path's distance and radial HAAT, by the
// frequency band below or above 300 MHz. Everything else (HAAT window,
// radials, ERP toward the path and the radio horizon, direct contours) is the
// broadcast calculator's. The grids (data/curves/carey) are derived, not
// digitised; the parameter print says so. Without the four files the
// calculator refuses to run, naming the missing files and their layout.
#include <memory>

#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/modPropCA.h"

namespace zw {

class clsQXAreaCovCA : public clsQXAreaCovBC {
 public:
  clsQXAreaCovCA();
  // With given grids (tests, or tables read elsewhere).
  explicit clsQXAreaCovCA(std::shared_ptr<const CareyCurveSet> curves);

  double dFreqMHz() const { return dFreqMHz_; }

 protected:
  double CurveLoss(std::string& err) override;
  std::string CurveContour(double& distMi) override;
  void CurveRange(double& haatLoFt, double& haatHiFt, double& distLoMi, double& distHiMi) const override;

 private:
  static Keys CAKeys();
  std::shared_ptr<const CareyCurveSet> carey_;
};

}  // namespace zw
