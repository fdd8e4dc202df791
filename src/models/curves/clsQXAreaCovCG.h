#pragma once
// The cellular CGSA calculator: the Part 22 contour calculator with the
// service-area-boundary formula of 47 CFR 22.911(a), its Gulf-of-Mexico and
// unserved-area options and the vertical-plane gain mode of its template.
#include <cstdint>

#include "models/curves/clsQXAreaCovCX.h"

namespace zw {

class clsQXAreaCovCG : public clsQXAreaCovCX {
 public:
  clsQXAreaCovCG();

  bool bGulfOfMexico() const { return bGulf_; }
  bool bUnservedArea() const { return bUnserved_; }
  const std::string& sVertGainMode() const { return sVgnMode_; }
  std::int16_t iChannel() const { return iChannel_; }

 protected:
  bool ReadModelParameters(const FieldCollection& m) override;
  std::string ContourMi(double& distMi) const override;
  std::string ModelPrintLine() const override;
  std::string VerticalMode() const override { return sVgnMode_.empty() ? std::string("   ") : sVgnMode_; }
  void OnFacility() override;

 private:
  static Keys CGKeys();
  bool bGulf_ = false, bUnserved_ = false;
  std::string sVgnMode_;
  std::int16_t iChannel_ = -88;
};

}  // namespace zw
