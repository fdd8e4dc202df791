#pragma once
// The broadcast calculator: FCC Part 73 F(50,50), F(50,10) and F(50,90)
// curves read at the path's distance and radial HAAT, with the ERP brought
// toward the path azimuth and the radio horizon. In contour studies it finds
// the contour distance along the path azimuth directly. The SMR calculator
// (clsQXAreaCovSM) is this calculator with its own keys, names and default
// channel.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coverage/clsQXAreaCov.h"
#include "models/curves/CurveStudyParams.h"
#include "models/curves/modPropBC.h"

namespace zw {

class clsQXAreaCovBC : public clsQXAreaCov {
 public:
  clsQXAreaCovBC();

  bool CovCalc() override;
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return keys_.name; }
  std::string sNameModel2() const override { return keys_.code; }
  bool bDirectContourCalc() const override { return true; }

  void FACERPdBm(double v) override;
  void FACTXmMSL(double v) override;

  // The study's task type ("Contour" or "CONTOUR" selects the contour
  // branch). The area run lets it until the coverage-paths object carries it.
  void sTaskType(std::string t) { sTaskType_ = std::move(t); }
  const std::string& sTaskType() const { return sTaskType_; }
  bool bContourStudy() const;
  void StudyTaskType(const std::string& type) override { sTaskType_ = type; }
  bool ContourPoint(double& distKm, double& lat, double& lon) const override {
    if (!bContourStudy() || bErrorRun_) return false;
    distKm = dContourDistKm();
    lat = dContourLat_;
    lon = dContourLon_;
    return true;
  }

  // Derived and parameter values.
  std::int16_t iChannel() const { return iChannel_; }
  std::int16_t iPercentage() const { return iPct_; }
  double dHaatStartM() const { return haat_.startM; }
  double dHaatStopM() const { return haat_.stopM; }
  const std::vector<double>& daRadials() const { return daRadials_; }
  const std::string& sRadials() const { return sRadials_; }
  const std::string& sDesc() const { return sDesc_; }

  // Values of the last path.
  double dDistMi() const { return dDistMi_; }
  double dAzimuth() const { return dAzimuth_; }
  double dErpAzDbk() const { return dErpAzDbk_; }
  double dErpHorDbk() const { return dErpHorDbk_; }
  double dHaatFt() const { return dHaatFt_; }
  double dThresholdDbu() const { return dThreshold_; }
  // Contour branch: distance (miles, and km) and the contour point.
  double dContourDistMi() const { return dContourMi_; }
  double dContourDistKm() const { return dContourMi_ * 1.609344; }
  double dContourLat() const { return dContourLat_; }
  double dContourLon() const { return dContourLon_; }
  // Why the curve tables could not be read ("" when they were); the same text
  // stands in sOKtoGO, so the calculator refuses to run.
  const std::string& sCurveError() const { return sCurveError_; }

  // Average terrain elevation (m) over a HAAT window (m) of a profile: points
  // from the first on, stopping at the first beyond the window end, counted
  // when at or beyond the window start; 0 when none counts.
  static double AverageTerrainM(const std::vector<double>& dis, const std::vector<float>& elv, int count,
                                double startM, double stopM);

 protected:
  // Keys, names and texts that tell BC and SM apart.
  struct Keys {
    std::string name, code;
    std::string hstrt, hstrtun, hstop, hstopun, hradial, curve, desc;     // template
    std::string cfgHStrt, cfgHStop, cfgHRadial, cfgCurve;                 // QXCoverage settings
    std::string channelKey;                                               // default-channel setting
    std::int16_t channelDefault = 0;
    std::string labelPrefix;                                              // reader labels
    std::string curveTitle = "FCC Part 73";                               // parameter print
    std::string curveNote;                                                // line after it, when set
  };
  // bcCurves false: the subclass reads curve tables of its own.
  explicit clsQXAreaCovBC(Keys keys, bool bcCurves = true);

  // The curve tables could not be read: the calculator refuses to run.
  void SetCurveError(const std::string& why);
  // Model loss (dB) of the current path from the curves; err on failure.
  virtual double CurveLoss(std::string& err);
  // Contour distance (mi) along the current path; returns the error text.
  virtual std::string CurveContour(double& distMi);
  // The HAAT (ft) and distance (mi) the curves cover; a path outside gets a warning.
  virtual void CurveRange(double& haatLoFt, double& haatHiFt, double& distLoMi, double& distHiMi) const;

  bool ReadParameters(const FieldCollection& m) override;
  void OnFacility() override;

 private:
  static Keys BCKeys();
  // The steps of CovCalc. A path failed before its HAAT is known: logged, and
  // the reason in the details; false.
  bool FailUnstartedPath(std::string why);
  // The path's HAAT (ft) with the curves' range warnings, the ERP toward the
  // azimuth and the radio horizon (dBk) and the mobile's threshold field; false
  // without a terrain profile.
  bool PathHaatAndErp();
  // A contour study's path: the contour distance and point; false (path failed) when there is none.
  bool ContourPath();
  // A field study's path: the curves' loss and the net field.
  void FieldPath(std::string* luName);
  std::string DetailLines(bool contour, const std::string& luName) const;

  Keys keys_;
  std::string sTaskType_;

  std::int16_t iChannel_ = -88;
  std::int16_t iPct_ = 50;
  HaatWindow haat_{3000, 16000, "3", "km", "16", "km"};
  std::vector<double> daRadials_;
  std::string sRadials_;
  std::string sDesc_;

  double dErpDbk_ = -60, dTxFtMSL_ = 0;
  double dDistMi_ = 0, dAzimuth_ = 0, dEndLat_ = 0, dEndLon_ = 0;
  double dErpAzDbk_ = 0, dErpHorDbk_ = 0, dHaatFt_ = 0, dThreshold_ = 0;
  double dContourMi_ = 0, dContourLat_ = 0, dContourLon_ = 0;
  std::string sCurveError_;
  std::shared_ptr<const BCCurveSet> curves_;
};

}  // namespace zw
