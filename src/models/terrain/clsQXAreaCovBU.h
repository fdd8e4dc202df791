#pragma once
// The Bullington calculator: knife-edge diffraction over the terrain profile
// of each path (modPropBU), the loss mode and minimum distance of the
// template, and the net field at the path end.
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/clsQXAreaCov.h"
#include "models/terrain/modPropBU.h"

namespace zw {

class clsQXAreaCovBU : public clsQXAreaCov {
 public:
  clsQXAreaCovBU() = default;

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Bullington"; }
  std::string sNameModel2() const override { return "BU"; }

  // Parameters in force.
  std::int16_t iLossMode() const { return iLossMode_; }
  double dMinDistM() const { return dMinDistM_; }
  double dReflect() const { return dReflect_; }
  double dLambdaM() const { return dLambdaM_; }
  const std::string& sDesc() const { return sDesc_; }

  // Results of the last path.
  double dBullingtonLevel() const { return dLevel_; }
  const std::vector<BUKnifeEdge>& KnifeEdges() const { return edges_; }
  // The knife edges of the last path.
  PathExtras LastPathExtras() const override;

 protected:
  bool ReadParameters(const FieldCollection& m) override;
  void OnFacility() override;

 private:
  std::int16_t iLossMode_ = 88;
  double dMinDistM_ = 0, dReflect_ = 0, dLambdaM_ = 0;
  std::string sDesc_;
  std::string sMinDistText_, sMinDistUnit_;  // as the template gives them, for the print-out

  double dLevel_ = 0;
  std::vector<BUKnifeEdge> edges_;
};

}  // namespace zw
