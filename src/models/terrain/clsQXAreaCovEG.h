#pragma once
// The Egli calculator: the Egli empirical path loss as an excess over free
// space (modPropEG), from the path length and the antenna heights.
#include <string>

#include "coverage/clsQXAreaCov.h"

namespace zw {

class clsQXAreaCovEG : public clsQXAreaCov {
 public:
  clsQXAreaCovEG() = default;

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Egli"; }
  std::string sNameModel2() const override { return "EG"; }

  // Heights in feet derived when let.
  void FACTXmAGL(double v) override;
  void MOBAntM(double v) override;
  using clsQXAreaCov::FACTXmAGL;
  using clsQXAreaCov::MOBAntM;

  double dTxHtFt() const { return dTxHtFt_; }
  double dRxHtFt() const { return dRxHtFt_; }
  double dPathMi() const { return dPathMi_; }
  const std::string& sDesc() const { return sDesc_; }

 protected:
  bool ReadParameters(const FieldCollection& m) override;

 private:
  double dTxHtFt_ = 0, dRxHtFt_ = 0, dPathMi_ = 0;
  std::string sDesc_ = "{DEFAULTS SET IN RAVOPROP}";
};

}  // namespace zw
