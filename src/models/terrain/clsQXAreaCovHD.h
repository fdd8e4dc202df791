#pragma once
// The Hata/Davidson calculator: the Okumura-Hata loss with area-type
// corrections and the Davidson extensions (modPropHD), over free space, with
// the base height taken as the radial HAAT of the path's own profile.
#include <string>
#include <vector>

#include "coverage/clsQXAreaCov.h"
#include "models/terrain/modPropHD.h"

namespace zw {

class clsQXAreaCovHD : public clsQXAreaCov {
 public:
  clsQXAreaCovHD() = default;

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Hata/Davidson"; }
  std::string sNameModel2() const override { return "HD"; }

  // Parameters in force.
  const std::string& sAreaType() const { return sAreaType_; }  // 14 characters
  double dHaatStartM() const { return dHaatStartM_; }
  double dHaatStopM() const { return dHaatStopM_; }
  const std::string& sRadials() const { return sRadials_; }
  const std::vector<double>& Radials() const { return radials_; }
  bool bLUArea() const { return bLUArea_; }
  bool bLULoss() const { return bLULoss_; }
  const std::string& sDesc() const { return sDesc_; }

  // Values of the last path.
  double dHaatM() const { return dHaat_; }
  const HDLoss& Loss() const { return loss_; }

 protected:
  bool ReadParameters(const FieldCollection& m) override;

 private:
  std::string sAreaType_ = "NO CORRECTION ";
  double dHaatStartM_ = 3000, dHaatStopM_ = 16000;
  std::string sStartText_, sStopText_;  // value and unit in force, for the print-out
  std::string sRadials_;
  std::vector<double> radials_;
  bool bLUArea_ = false, bLULoss_ = false;
  std::string sDesc_;

  double dHaat_ = 0;
  HDLoss loss_;
  std::string sAreaTypeUsed_;
  bool bAreaSet_ = false;  // AREA_COR given in the template
  bool bAreaFromLU_ = false;
};

}  // namespace zw
