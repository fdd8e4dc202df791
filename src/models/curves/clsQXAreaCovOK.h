#pragma once
// The Okumura calculator: the basic median field of Okumura's urban curves
// for the path's effective base height, plus the receiving-antenna height
// gain and the corrections the template switches on (modPropOK), never above
// free space.
#include <array>
#include <memory>
#include <span>
#include <string>

#include "coverage/clsQXAreaCov.h"
#include "models/curves/modPropOK.h"

namespace zw {

namespace platform {
struct LandUseClass;
}

class clsQXAreaCovOK : public clsQXAreaCov {
 public:
  // Order of the on/off switches.
  enum Corr { kArea, kOrient, kSlope, kLandSea, kRollHill, kHillLoc, kRidge, kLocPct };

  // Reads the median-field grids of the data directory; when one is missing
  // or damaged the study is refused (sOKtoGO names the file) and every path
  // fails with that message.
  clsQXAreaCovOK();
  const std::string& sCurveError() const { return sCurveError_; }

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return "Okumura"; }
  std::string sNameModel2() const override { return "OK"; }

  // Parameters in force (stored forms: fixed-width upper case, "NO CORRECTION " when off).
  const std::array<bool, 8>& bCorrections() const { return bCorr_; }
  const std::string& sAreaType() const { return sAreaType_; }
  const std::string& sOrientation() const { return sOrient_; }
  double dSeaElvM() const { return dSeaElvM_; }
  double dHillDistM() const { return dHillDistM_; }
  double dLocPercent() const { return dLocPct_; }
  bool bLUArea() const { return bLUArea_; }
  bool bLUStreet() const { return bLUStreet_; }
  bool bLULoss() const { return bLULoss_; }
  const std::string& sDesc() const { return sDesc_; }

  // Values of the last path.
  struct Terms {
    double effBaseM = 0, rxAGL = 0, lookAngle = 0, median = 0, mobileGain = 0;
    double area = 0, street = 0, location = 0;
    OKSlope slope;
    OKLandSea landSea;
    OKUndulation undulation;
    double rollHill = 0, hillLoc = 0;
    OKRidge ridge;
    double field = 0;
    bool freeSpaceUsed = false;
    std::string areaUsed, streetUsed;
    bool areaFromLU = false, streetFromLU = false;
  };
  const Terms& Last() const { return t_; }

 protected:
  bool ReadParameters(const FieldCollection& m) override;

 private:
  // Steps of CovCalc: the area type and street orientation the land-use class
  // at the path end gives (lu null: none found), and the sum (dB) of the
  // correction terms switched on.
  void TermsFromLandUse(const platform::LandUseClass* lu);
  double CorrectionSum(std::span<const double> dis, std::span<const float> elv, int n, double dKm);
  std::string Details(const PathStart& ps, const std::string& luName) const;

  std::array<bool, 8> bCorr_{};
  std::array<std::string, 8> sSetting_;  // setting texts as given, for the print-out
  std::string sAreaType_ = "NO CORRECTION ", sOrient_ = "NO CORRECTION ";
  double dSeaElvM_ = 0, dHillDistM_ = 0, dLocPct_ = 50;
  std::string sSeaText_, sHillText_;  // value and unit as given, for the print-out
  std::string sSeaUnit_ = "m", sHillUnit_ = "m";
  bool bLUArea_ = true, bLUStreet_ = true, bLULoss_ = true;
  std::string sDesc_;
  Terms t_;
  std::shared_ptr<const OKCurveSet> curves_;
  std::string sCurveError_;
};

}  // namespace zw
