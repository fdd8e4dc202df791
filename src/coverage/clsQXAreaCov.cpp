#include "coverage/clsQXAreaCov.h"

#include <cmath>

#include "common/Antenna.h"
#include "common/ErrorHandler.h"
#include "common/FreeSpace.h"
#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordText.h"
#include "common/calcMiscMath.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// Error number of a rejected template setting and of a zero-length path
// ("Invalid procedure call or argument").
constexpr std::int32_t kInvalidCallError = 5;

constexpr const char* kSupportContact = "ZWRavoprop support (see the README of the installation).";

std::string UnitMismatch(std::string_view which, std::string_view unit) {
  std::string t;
  t += "\n";
  t += "Path Object must have " + std::string(which) + " Units = m\n";
  t += "Current setting is '" + std::string(unit) + "'\n";
  t += "This is an internal setting.  Please contact\n";
  t += kSupportContact;
  return t;
}

}  // namespace

void clsQXAreaCov::daHaz(std::vector<double> v) {
  iHazMax_ = v.empty() ? -88 : static_cast<int>(v.size()) - 1;
  daHaz_ = std::move(v);
}

void clsQXAreaCov::daVel(std::vector<double> v) {
  iVelMax_ = v.empty() ? -88 : static_cast<int>(v.size()) - 1;
  daVel_ = std::move(v);
}

bool clsQXAreaCov::RejectSetting(std::string_view label, std::string_view valueText) {
  sReadError_ = std::string(label) + "\n" + "Invalid setting: " + std::string(valueText);
  ReportError(kInvalidCallError, sReadError_, "", bSilent_);
  return false;
}

void clsQXAreaCov::cPropMod(std::shared_ptr<FieldCollection> m) {
  cPropMod_ = std::move(m);
  sReadError_.clear();
  if (!cPropMod_) return;
  if (!ReadParameters(*cPropMod_)) cPropMod_.reset();
}

void clsQXAreaCov::cFAC(std::shared_ptr<FieldCollection> m) {
  cFAC_ = std::move(m);
  if (!cFAC_) return;
  const FieldCollection& f = *cFAC_;
  dFreqMHz_ = f.GetDouble("TX_FREQMHZ");
  dAntOrien_ = f.GetDouble("TX_A1ORIEN");
  dAntETilt_ = f.GetDouble("TX_A1ETILT");
  dAntMTilt_ = f.GetDouble("TX_A1MTILT");
  dAntMDir_ = f.GetDouble("TX_A1MDIR");
  sAntFileName_ = f.GetText("TX_A1FNM");
  sAntTypeId_ = f.GetText("TX_A1TID");
  bAntInverted_ = f.GetBool("TX_A1INVRT");
  bool err = false;
  const std::string gain = ConvertGain(f.GetText("TX_A1GNUN", "dBd"), "dBd", f.GetDouble("TX_A1GAIN"), err);
  dAntGainDbd_ = err ? 0.0 : ParseDouble(gain);
  OnFacility();
}

void clsQXAreaCov::cLandUse(std::shared_ptr<clsLandUse> lu) {
  cLandUse_ = std::move(lu);
  bLandUse_ = cLandUse_ && cLandUse_->bUse();
}

void clsQXAreaCov::cPathElv(std::shared_ptr<clsPathElv> p) {
  cPathElv_ = std::move(p);
  // Only the unit text of the previous profile object is replaced: what the
  // model itself put in the not-ready text (missing curve data, say) stays.
  if (!sUnitText_.empty() && sOKtoGO_.size() >= sUnitText_.size() &&
      sOKtoGO_.compare(sOKtoGO_.size() - sUnitText_.size(), sUnitText_.size(), sUnitText_) == 0) {
    sOKtoGO_.erase(sOKtoGO_.size() - sUnitText_.size());
  }
  sUnitText_.clear();
  if (!cPathElv_) return;
  if (cPathElv_->sElvUnits() != "m") sUnitText_ += UnitMismatch("Elv", cPathElv_->sElvUnits());
  if (cPathElv_->sDisUnits() != "m") sUnitText_ += UnitMismatch("Dis", cPathElv_->sDisUnits());
  sOKtoGO_ += sUnitText_;
}

void clsQXAreaCov::PathElvEnd(double lat, double lon, double /*az*/) {
  if (!cPathElv_) return;
  cPathElv_->dEndLat(lat);
  cPathElv_->dEndLon(lon);
}

double clsQXAreaCov::ProfileLengthM() const {
  if (!cPathElv_) return 0.0;
  const int n = cPathElv_->iLastPoint() + 1;
  const auto& d = cPathElv_->DIS_Array();
  const auto& e = cPathElv_->ELV_Array();
  if (n < 2 || d.size() < static_cast<std::size_t>(n) || e.size() < static_cast<std::size_t>(n)) return 0.0;
  return d[static_cast<std::size_t>(n) - 1];
}

std::string clsQXAreaCov::ResultQuantity() const { return ModelResultOf(sNameModel2()).quantity; }
std::string clsQXAreaCov::ResultUnit() const { return ModelResultOf(sNameModel2()).unit; }

double clsQXAreaCov::PatternLossDb(double azimuth, double elevAngle) const {
  const double ref = dAntGainDbd_;
  const double h = HorizontalGain(azimuth, iHazMax_, daHaz_, daHgain_, dAntOrien_, ref);
  bool err = false;
  const double v =
      VerticalGain("ANGLE", azimuth, elevAngle, iVelMax_, daVel_, daVgain_, dAntMTilt_, dAntMDir_, dAntETilt_, ref, err);
  return (ref - h) + (err ? 0.0 : ref - v);
}

clsQXAreaCov::PathStart clsQXAreaCov::BeginTerrainPath() {
  PathStart ps;
  if (cPathElv_) {
    ps.azimuth = cPathElv_->dPathAz();
    ps.endLat = cPathElv_->dEndLat();
    ps.endLon = cPathElv_->dEndLon();
    ps.kFactor = cPathElv_->dKFactor();
    rTgtElvM_ = cPathElv_->ElvAt(ps.endLat, ps.endLon);
    // No data at the end point (a void): the profile's own last point stands in.
    const auto& elv = cPathElv_->ELV_Array();
    if ((!std::isfinite(rTgtElvM_) || rTgtElvM_ <= platform::kNoElevation + 1.0f) && !elv.empty()) {
      rTgtElvM_ = elv.back();
    }
  } else {
    rTgtElvM_ = 0.0f;
  }
  const double ground = rTgtElvM_;
  if (!bMOBMSL_) {
    ps.rxAGL = MOBAntM_;
    ps.rxMSL = ground + MOBAntM_;
  } else {
    ps.rxMSL = MOBAntM_;
    ps.rxAGL = MOBAntM_ - ground;
    if (ps.rxAGL <= 0) ps.rxAGL = 0.1;
  }
  ps.elevAngle = -dAtan2Deg(FACTXmMSL_ - ps.rxMSL, dPathLthM_);
  ps.erpToward = FACERPdBm_ - PatternLossDb(ps.azimuth, ps.elevAngle);
  dFreeSpaceFld_ = FreeSpaceFieldM(dPathLthM_, ps.erpToward);
  return ps;
}

void clsQXAreaCov::FinishPath(double endLat, double endLon, std::string* luClassName) {
  iLUCode_ = 0;
  dLULoss_ = 0;
  if (luClassName) luClassName->clear();
  if (bLandUse_ && cLandUse_) {
    std::int16_t code = 0;
    std::string name;
    double loss = 0;
    if (cLandUse_->Lookup(endLat, endLon, code, name, loss)) {
      iLUCode_ = code;
      dLULoss_ = loss;
      if (luClassName) *luClassName = name;
    }
  }
  dNetField_ = dFreeSpaceFld_ - dModelLoss_ - dLULoss_;
}

bool clsQXAreaCov::ErpNotANumber(double erpTowardDbm, std::string* why) {
  if (std::isfinite(erpTowardDbm)) return false;
  *why = "the transmitter's ERP toward the point is not a number; no field computed";
  return true;
}

void clsQXAreaCov::FailPath(std::string why, double netField) {
  bErrorRun_ = true;
  sPathError_ = std::move(why);
  dModelLoss_ = 0;
  dLULoss_ = 0;
  iLUCode_ = 0;
  dNetField_ = netField;
}

bool clsQXAreaCov::FailZeroLengthPath(std::string_view modelCode, double netField) {
  if (dPathLthM_ > 0 && std::isfinite(dPathLthM_)) return false;
  const std::string msg = "Zero-length path in ClsQXAreaCov" + std::string(modelCode) + ".CovCalc";
  ReportError(kInvalidCallError, msg, "", bSilent_);
  FailPath(msg, netField);
  if (bDetails_) sDetails_ += "Path not computed: " + msg;
  return true;
}

std::string clsQXAreaCov::DetailPower(double dbm) const {
  const std::string unit = sDetailUnPwr_.empty() ? "dBm" : sDetailUnPwr_;
  bool err = false;
  const double v = ConvertPower("dBm", unit, dbm, err);
  return FormatNumber(err ? dbm : v, "####0.000") + " " + (err ? "dBm" : unit);
}

std::string clsQXAreaCov::DetailDistance(double metres) const {
  const std::string unit = sDetailUnDis_.empty() ? "km" : sDetailUnDis_;
  bool err = false;
  const double v = ConvertLength("m", unit, metres, err);
  return FormatNumber(err ? metres : v, "####0.00") + " " + (err ? "m" : unit);
}

std::string clsQXAreaCov::DetailElevation(double metres, std::string_view picture) const {
  const std::string unit = sDetailUnElv_.empty() ? "m" : sDetailUnElv_;
  bool err = false;
  const double v = ConvertLength("m", unit, metres, err);
  return FormatNumber(err ? metres : v, picture) + " " + (err ? "m" : unit);
}

std::string clsQXAreaCov::CommonPathDetails(const PathStart& ps) const {
  std::string t = "Azimuth " + FormatNumber(ps.azimuth, "###0.00");
  t += " " + DetailPower(ps.erpToward);
  t += " " + DetailDistance(dPathLthM_);
  t += " " + CoordText(ps.endLat, "LT") + " " + CoordText(ps.endLon, "LN");
  t += "\r\n\tFree Space Field: (" + DetailPower(ps.erpToward) + "@" + DetailDistance(dPathLthM_) + ") " +
       FormatNumber(dFreeSpaceFld_, "###0.00") + " dBu";
  return t;
}

std::string clsQXAreaCov::LandUseDetails(const std::string& className) const {
  if (!bLandUse_) return {};
  return "\r\n\tLand Use Classification: " + FormatGeneral(iLUCode_) + " " + className + FormatGeneral(dLULoss_) +
         "dB";
}

}  // namespace zw
