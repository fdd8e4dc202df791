#pragma once
// The coverage calculator: one implementation per propagation model. The
// engine hands it the facility, mobile, model template, antenna pattern and
// terrain profile object, then asks it path after path for the field at the
// far end (CovCalc). This base class holds the state and behaviour every
// model shares; a model adds its parameter reader, CovCalc and PrtParameters.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/FieldCollection.h"

namespace zw {

namespace platform {
class clsPathElv;
class clsObstructions;
class clsLandUse;
class DbfTable;
}  // namespace platform
using platform::clsLandUse;
using platform::clsObstructions;
using platform::clsPathElv;
using platform::DbfTable;
class clsAreaCovPaths;
class clsQXTask;

// A point of a path that a model used: a knife edge, an obstacle crest, a horizon.
struct PathMark {
  double distM = 0;                                           // from the transmitter
  double heightM = std::numeric_limits<double>::quiet_NaN();  // above sea level with the earth bulge; NaN: the ground
  std::string label;
};

// What a model tells of its last path beside the field: each model fills the
// parts it has (the defaults stand for "not given").
struct PathExtras {
  std::array<std::string, 2> mode{" ", " "};  // propagation mode (Longley-Rice)
  double deltaHM = 0;                         // terrain irregularity, m
  std::array<double, 2> effHeightsM{0, 0};    // effective antenna heights, m
  double contourKm = 0;                       // contour-only models: along the path's azimuth
  bool insideContour = false;                 // the path's end lies within that contour
  std::vector<PathMark> marks;
};

class clsQXAreaCov {
 public:
  virtual ~clsQXAreaCov() = default;

  // Computes the current path; results are read through the getters below.
  // The model calculators return false; no caller looks at the result.
  virtual bool CovCalc() = 0;
  // Writes the model's parameter description line by line. Returns true.
  virtual bool PrtParameters(std::ostream& out) = 0;
  virtual std::string sNameModel() const = 0;
  virtual std::string sNameModel2() const = 0;
  virtual bool bDirectContourCalc() const { return false; }
  // The study's task type, for the models whose contour studies take another
  // branch ("Contour"/"CONTOUR"); other models ignore it.
  virtual void StudyTaskType(const std::string& /*type*/) {}
  // Direct-contour models: the contour point found by the last CovCalc
  // (distance from the transmitter in km, latitude, longitude). The area run
  // stores it in the point's record; false when the last path gave none.
  virtual bool ContourPoint(double& /*distKm*/, double& /*lat*/, double& /*lon*/) const { return false; }
  // The model's own figures of the last path (see PathExtras); the base gives none.
  virtual PathExtras LastPathExtras() const { return {}; }

  // What the result of CovCalc is, and its unit: "field strength" in "dBu"
  // (the field models), "clearance" in "Fresnel zone radii" (the shadowing
  // models), "contour distance" in "km" (the contour-only models).
  // Both come from the model table (ModelResultOf of sNameModel2), which the
  // exports of a results table read too.
  std::string ResultQuantity() const;
  std::string ResultUnit() const;
  // Warnings of the last path: inputs outside the published range of the
  // model, and what its own error levels mean. They never change a number.
  std::vector<std::string> Warnings() const {
    std::vector<std::string> w;
    w.resize(ReadWarnings(w));
    return w;
  }
  // The same into the first elements of `into`, their count returned; the
  // strings there are written over, not made afresh (an area run asks at
  // every point), and any beyond the count are left as they were.
  virtual std::size_t ReadWarnings(std::vector<std::string>& into) const {
    for (std::size_t i = 0; i < warnings_.size(); ++i) PutWarning(into, i, warnings_[i]);
    return warnings_.size();
  }

  void bDetails(bool v) { bDetails_ = v; }
  bool bDetails() const { return bDetails_; }
  const std::string& sDetails() const { return sDetails_; }
  void sDetails(std::string v) { sDetails_ = std::move(v); }
  void sDetailUnPwr(std::string v) { sDetailUnPwr_ = std::move(v); }
  void sDetailUnDis(std::string v) { sDetailUnDis_ = std::move(v); }
  void sDetailUnElv(std::string v) { sDetailUnElv_ = std::move(v); }
  const std::string& sDetailUnPwr() const { return sDetailUnPwr_; }
  const std::string& sDetailUnDis() const { return sDetailUnDis_; }
  const std::string& sDetailUnElv() const { return sDetailUnElv_; }
  const std::string& sOKtoGO() const { return sOKtoGO_; }
  // Why the last template was rejected ("" when it was accepted).
  const std::string& sReadError() const { return sReadError_; }

  double dModelLoss() const { return dModelLoss_; }
  double dFreeSpaceFld() const { return dFreeSpaceFld_; }
  double dLULoss() const { return dLULoss_; }
  std::int16_t iLUCode() const { return iLUCode_; }
  double dNetField() const { return dNetField_; }
  virtual std::int32_t lErrLevel() const { return 0; }
  virtual std::int32_t lErrBits() const { return 0; }
  float rTgtElvM() const { return rTgtElvM_; }
  // True when the last CovCalc could not compute its path (the net field is
  // then a sentinel far below any real field).
  bool bErrorRun() const { return bErrorRun_; }
  // Why the last CovCalc could not compute its path ("" when it could, or
  // when the model gives no reason).
  const std::string& sPathError() const { return sPathError_; }
  bool bErrorSet() const { return false; }
  bool bSilent() const { return bSilent_; }
  void bSilent(bool v) { bSilent_ = v; }

  // Pattern arrays: the calculator keeps a copy. The index of the last point
  // of daHaz / daVel is -88 when the array is empty.
  void daHaz(std::vector<double> v);
  void daHgain(std::vector<double> v) { daHgain_ = std::move(v); }
  void daVel(std::vector<double> v);
  void daVgain(std::vector<double> v) { daVgain_ = std::move(v); }

  // Model template: a model validates it; when that fails it is cleared.
  void cPropMod(std::shared_ptr<FieldCollection> m);
  const std::shared_ptr<FieldCollection>& cPropMod() const { return cPropMod_; }
  void cFAC(std::shared_ptr<FieldCollection> m);
  const std::shared_ptr<FieldCollection>& cFAC() const { return cFAC_; }
  void cMOB(std::shared_ptr<FieldCollection> m) { cMOB_ = std::move(m); }
  const std::shared_ptr<FieldCollection>& cMOB() const { return cMOB_; }
  void cAreaCov(clsAreaCovPaths* p) { cAreaCov_ = p; }
  clsAreaCovPaths* cAreaCov() const { return cAreaCov_; }
  void cTask(clsQXTask* t) { cTask_ = t; }
  clsQXTask* cTask() const { return cTask_; }
  void RSRDB(DbfTable* t) { RSRDB_ = t; }
  DbfTable* RSRDB() const { return RSRDB_; }
  void cOBS(std::shared_ptr<clsObstructions> o) { cOBS_ = std::move(o); }
  const std::shared_ptr<clsObstructions>& cOBS() const { return cOBS_; }
  void cLandUse(std::shared_ptr<clsLandUse> lu);
  const std::shared_ptr<clsLandUse>& cLandUse() const { return cLandUse_; }
  void cPathElv(std::shared_ptr<clsPathElv> p);
  const std::shared_ptr<clsPathElv>& cPathElv() const { return cPathElv_; }

  virtual void FACERPdBm(double v) { FACERPdBm_ = v; }
  double FACERPdBm() const { return FACERPdBm_; }
  virtual void FACTXmAGL(double v) { FACTXmAGL_ = v; }
  double FACTXmAGL() const { return FACTXmAGL_; }
  virtual void FACTXmMSL(double v) { FACTXmMSL_ = v; }
  double FACTXmMSL() const { return FACTXmMSL_; }
  virtual void MOBERPdBm(double v) { MOBERPdBm_ = v; }
  double MOBERPdBm() const { return MOBERPdBm_; }
  virtual void MOBAntM(double v) { MOBAntM_ = v; }
  double MOBAntM() const { return MOBAntM_; }
  void bMOBMSL(bool v) { bMOBMSL_ = v; }
  bool bMOBMSL() const { return bMOBMSL_; }
  virtual void dPathLthM(double v) { dPathLthM_ = v; }
  double dPathLthM() const { return dPathLthM_; }

  // Passes the path end to the terrain profile object; the azimuth is not used.
  void PathElvEnd(double lat, double lon, double az);

 protected:
  // The model's parameter reader; false rejects the template.
  virtual bool ReadParameters(const FieldCollection& m) = 0;
  // Ends a parameter reader: label + line break + "Invalid setting: " + value
  // goes to the error handler. Returns false.
  bool RejectSetting(std::string_view label, std::string_view valueText);
  // Called after cFAC has been read (channel-based models derive a channel).
  virtual void OnFacility() {}

  // Steps 1 to 5 of the terrain-model sequence: end point, receiver heights,
  // elevation angle, ERP toward the point and free-space field. Returns the
  // ERP toward the point in dBm.
  struct PathStart {
    double azimuth = 0, endLat = 0, endLon = 0, kFactor = 0;
    double rxAGL = 0, rxMSL = 0, elevAngle = 0, erpToward = 0;
  };
  PathStart BeginTerrainPath();
  // Step 7: land use at the path end and the net field.
  void FinishPath(double endLat, double endLon, std::string* luClassName);
  // A transmitter power that is not a number gives no field (the free-space
  // routine answers 0 dBu for it): true, with *why set, when the ERP toward
  // the point (dBm) is not a number.
  static bool ErpNotANumber(double erpTowardDbm, std::string* why);
  // A path the model could not compute: the run is an error run with `why` as
  // its reason, no model or land-use loss, and `netField` (dBu) as the point's
  // field rather than the one of the previous path.
  void FailPath(std::string why, double netField);
  // A path of no length (or not a number) is reported under the model's code
  // and failed with `netField` (dBu); true when the path was failed.
  bool FailZeroLengthPath(std::string_view modelCode, double netField);
  // The common account of a path that the details text starts with.
  std::string CommonPathDetails(const PathStart& ps) const;

  // Length of the last profile in metres (its last point's distance; 0 without a usable profile).
  double ProfileLengthM() const;

  // Loss of the antenna pattern toward an azimuth and elevation angle against
  // the reference (maximum) gain, in dB: both patterns' shortfalls added.
  double PatternLossDb(double azimuth, double elevAngle) const;
  // The land-use line of the details (empty with land use off).
  std::string LandUseDetails(const std::string& className) const;
  // A power (dBm), distance or elevation (metres) in the detail unit with it.
  std::string DetailPower(double dbm) const;
  std::string DetailDistance(double metres) const;
  std::string DetailElevation(double metres, std::string_view picture) const;

  static void PutWarning(std::vector<std::string>& into, std::size_t at, std::string_view text) {
    if (into.size() <= at) into.resize(at + 1);
    into[at].assign(text);
  }
  // Adds a warning of the current path (a text given twice is kept once).
  void Warn(std::string text) {
    for (const auto& w : warnings_)
      if (w == text) return;
    warnings_.push_back(std::move(text));
  }

  // State common to every model.
  std::vector<std::string> warnings_;
  bool bDetails_ = false;
  std::string sDetails_;
  std::string sDetailUnPwr_, sDetailUnDis_, sDetailUnElv_;
  std::string sOKtoGO_;
  std::string sReadError_;
  std::string sUnitText_;  // the profile-unit part of sOKtoGO_
  bool bErrorRun_ = false;
  std::string sPathError_;
  bool bSilent_ = false;
  double dModelLoss_ = 0, dFreeSpaceFld_ = 0, dLULoss_ = 0, dNetField_ = 0;
  std::int16_t iLUCode_ = 0;
  float rTgtElvM_ = 0;
  std::vector<double> daHaz_{0.0}, daHgain_{0.0}, daVel_{0.0}, daVgain_{0.0};
  int iHazMax_ = -88, iVelMax_ = -88;
  std::shared_ptr<FieldCollection> cPropMod_, cFAC_, cMOB_;
  clsAreaCovPaths* cAreaCov_ = nullptr;
  clsQXTask* cTask_ = nullptr;
  DbfTable* RSRDB_ = nullptr;
  std::shared_ptr<clsObstructions> cOBS_;
  std::shared_ptr<clsLandUse> cLandUse_;
  bool bLandUse_ = false;
  std::shared_ptr<clsPathElv> cPathElv_;
  double FACERPdBm_ = 0, FACTXmAGL_ = 0, FACTXmMSL_ = 0, MOBERPdBm_ = 0, MOBAntM_ = 0;
  bool bMOBMSL_ = false;
  double dPathLthM_ = 0;

  // Facility values read by cFAC set.
  double dFreqMHz_ = 0, dAntOrien_ = 0, dAntETilt_ = 0, dAntMTilt_ = 0, dAntMDir_ = 0;
  std::string sAntFileName_, sAntTypeId_;
  bool bAntInverted_ = false;
  double dAntGainDbd_ = 0;
};

}  // namespace zw
