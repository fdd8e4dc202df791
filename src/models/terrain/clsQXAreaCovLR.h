#pragma once
// The Longley-Rice calculator: the template's ground, climate and
// variability settings, the terrain profile of each path through the ITM
// point-to-point core, and the net field at the path end.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/clsQXAreaCov.h"
#include "models/terrain/modPropLR.h"

namespace zw {

class clsQXAreaCovLR : public clsQXAreaCov {
 public:
  clsQXAreaCovLR();

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Longley-Rice"; }
  std::string sNameModel2() const override { return "LR"; }
  std::int32_t lErrLevel() const override { return lErrLevel_; }
  // The error level of the last path in words (none at level 0).
  std::size_t ReadWarnings(std::vector<std::string>& into) const override;

  // Values of the last path.
  const std::array<double, 2>& dHeEffM() const { return dHeEff_; }
  double dDeltaHM() const { return dDeltaH_; }
  double dEarthFactor() const { return dEarthFactor_; }
  // Horizon distances of the last path in metres, from the transmitter and
  // from the receiver (each the path length when the path is line of sight).
  std::array<double, 2> dHorizonM() const { return core_.State().dl; }
  const std::string& sMode1() const { return sMode1_; }
  const std::string& sMode2() const { return sMode2_; }
  // The mode, delta-h, effective heights and the horizons of the last path.
  PathExtras LastPathExtras() const override;

  // Parameters in force.
  int iPolariz() const { return iPolariz_; }
  const std::string& sPolariz() const { return sPolariz_; }
  std::int16_t iClimate() const { return iClimate_; }
  std::int16_t iMDVAR() const { return iMDVAR_; }
  double dSitPct() const { return dSit_; }
  double dLocPct() const { return dLoc_; }
  double dTimPct() const { return dTim_; }

 protected:
  bool ReadParameters(const FieldCollection& m) override;

 private:
  static bool EvenlySpaced(int last, const std::vector<double>& dist);

  clsLRCore core_;
  std::vector<double> pfl_;  // profile work array, kept between paths

  int iPolariz_ = 1;
  std::string sPolariz_ = "V";
  double dSurRefrac_ = 0, dSeaRefrac_ = 0, dRelPermit_ = 0, dConduct_ = 0;
  std::int16_t iClimate_ = 5, iMDVAR_ = 0;
  double dSit_ = 50, dLoc_ = 50, dTim_ = 50;
  std::string sDesc_;

  std::array<double, 2> dHeEff_{0.0, 0.0};
  double dDeltaH_ = 0, dEarthFactor_ = 0;
  std::string sMode1_, sMode2_;
  std::int32_t lErrLevel_ = 0;
  bool bStateOfPath_ = false;  // the core's state is that of the last path (it computed)
};

}  // namespace zw
