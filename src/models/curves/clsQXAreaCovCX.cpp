#include "models/curves/clsQXAreaCovCX.h"

#include <cmath>
#include <limits>

#include "common/Antenna.h"
#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "common/FreeSpace.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordText.h"
#include "geo/Geodesic.h"
#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/modPropCX.h"
#include "models/terrain/ProfileRequest.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr double kMetresPerMile = 1609.344;
// Net field of a path the model could not compute, or beyond the contour.
constexpr double kNotCoveredField = -999.0;

double DbmToWatts(double dbm) { return std::pow(10.0, (dbm - 30.0) / 10.0); }

}  // namespace

clsQXAreaCovCX::clsQXAreaCovCX()
    : clsQXAreaCovCX(Keys{"Carey - FCC 94-201", "Carey - FCC 94-201", "CX", "CX_hstrt", "CX_hstrtun", "CX_hstop",
                          "CX_hstopun", "CX_hradial", "CX_DESC", "CX_HStrt", "CX_HStop", "CX_HRadial", "CX"}) {}

clsQXAreaCovCX::clsQXAreaCovCX(Keys keys) : keys_(std::move(keys)) { sOKtoGO_.clear(); }

bool clsQXAreaCovCX::bContourStudy() const { return sTaskType_ == "Contour" || sTaskType_ == "CONTOUR"; }

bool clsQXAreaCovCX::ReadParameters(const FieldCollection& m) {
  ProcScope proc(4304);
  HaatWindow w;
  std::string label, shown;
  if (!ReadHaatWindow(m, HaatKeysOf(keys_), w, label, shown)) return RejectSetting(label, shown);
  if (!ReadModelParameters(m)) return false;
  haat_ = std::move(w);

  ReadSiteRadials(m, keys_.hradial, keys_.cfgHRadial, sRadials_, daRadials_);
  sDesc_ = TemplateDescription(m, keys_.desc);
  return true;
}

bool clsQXAreaCovCX::ReadModelParameters(const FieldCollection& m) {
  // A station type outside 1..7 would fail on every path: refuse it here.
  const std::string t = TemplateText(m, "CX_CURVE");
  const std::int16_t type = ParseInt16(t);
  if (CXRowOfType(type, 0.0) == 0) return RejectSetting("CX Part 22 Type", t);
  iType_ = type;
  return true;
}

std::string clsQXAreaCovCX::ContourMi(double& distMi) const {
  double km = distMi * 1.609344;
  std::string err = CX_Contour(km, dHaatM_, dHorizErpW_, dPathErpW_, iType_);
  if (err.empty()) distMi = km / 1.609344;
  return err;
}

std::string clsQXAreaCovCX::ModelPrintLine() const {
  return "FCC 94-201 Part 22 contour, station type " + std::to_string(iType_);
}

bool clsQXAreaCovCX::CovCalc() {
  ProcScope proc(4305);
  bErrorRun_ = false;
  bCovered_ = false;
  sPathError_.clear();

  if (FailZeroLengthPath(keys_.code, kNotCoveredField)) return false;
  dDistMi_ = dPathLthM_ / kMetresPerMile;
  if (!cPathElv_) {
    FailPath("No terrain profile object for this path", kNotCoveredField);
    LogModelError(keys_.name + ": " + sPathError_);
    if (bDetails_) sDetails_ += "Path not computed: " + sPathError_;
    return false;
  }
  dAzimuth_ = cPathElv_->dPathAz();
  dEndLat_ = cPathElv_->dEndLat();
  dEndLon_ = cPathElv_->dEndLon();

  // Radial HAAT (m) over the window, worked out first so that the vertical
  // pattern is read toward this path's horizon.
  const bool haveProfile = RequestProfile(*cPathElv_, dPathLthM_);
  const double averageM =
      haveProfile ? clsQXAreaCovBC::AverageTerrainM(cPathElv_->DIS_Array(), cPathElv_->ELV_Array(),
                                                    cPathElv_->iLastPoint() + 1, haat_.startM, haat_.stopM)
                  : 0.0;
  dHaatM_ = FACTXmMSL_ - averageM;

  const double pathDbm = PathErpDbm();
  dThreshold_ = cMOB_ ? cMOB_->GetDouble("RX_A1FLD", std::numeric_limits<double>::quiet_NaN())
                      : std::numeric_limits<double>::quiet_NaN();

  const bool contour = bContourStudy();
  std::string err;
  if (!haveProfile) {
    err = "No HAAT: " + (cPathElv_->sMessage().empty() ? std::string("No terrain profile for this path")
                                                       : cPathElv_->sMessage());
  } else {
    double mi = 0;
    err = ContourMi(mi);
    if (err.empty()) dContourMi_ = mi;
  }
  double lat = dEndLat_, lon = dEndLon_;
  if (err.empty() && contour &&
      !Geodesic::ForwardKm(cPathElv_->dStartLat(), cPathElv_->dStartLon(), dAzimuth_, dContourDistKm(), lat, lon)) {
    err = "The contour point cannot be placed from the site";
  }
  if (!err.empty()) {
    FailPath(err, kNotCoveredField);
    dContourMi_ = 0;
    LogModelError(keys_.name + " at azimuth " + FormatNumber(dAzimuth_, "###0.00") + ": " + err);
    if (bDetails_) sDetails_ += DetailLines(contour) + "\r\n\tContour not computed: " + err;
    return false;
  }

  dModelLoss_ = 0;
  dLULoss_ = 0;
  iLUCode_ = 0;
  if (contour) {
    ContourPoint(lat, lon, pathDbm);
  } else {
    CoveragePoint(pathDbm);
  }
  if (bDetails_) sDetails_ += DetailLines(contour);
  return false;
}

double clsQXAreaCovCX::PathErpDbm() {
  const double maxGain = dAntGainDbd_;
  const double hGain = HorizontalGain(dAzimuth_, iHazMax_, daHaz_, daHgain_, dAntOrien_, maxGain);
  const double erpAzDbm = FACERPdBm_ - (maxGain - hGain);
  double pathDbm = erpAzDbm;
  if (iVelMax_ >= 1) {
    const double h = std::max(std::isfinite(dHaatM_) ? dHaatM_ : 0.0, 30.0);
    const double angle = 0.0277 * std::sqrt(h);  // depression of the radio horizon, degrees
    bool err = false;
    const double vGain = VerticalGain(VerticalMode(), dAzimuth_, angle, iVelMax_, daVel_, daVgain_, dAntMTilt_,
                                      dAntMDir_, dAntETilt_, maxGain, err);
    if (!err && std::isfinite(vGain)) pathDbm = erpAzDbm - (maxGain - vGain);
  }
  dHorizErpW_ = DbmToWatts(erpAzDbm);
  dPathErpW_ = DbmToWatts(pathDbm);
  return pathDbm;
}

void clsQXAreaCovCX::ContourPoint(double lat, double lon, double pathDbm) {
  dContourLat_ = lat;
  dContourLon_ = lon;
  dFreeSpaceFld_ = FreeSpaceFieldMi(dContourMi_, pathDbm - 60.0);
  const float g = cPathElv_->ElvAt(lat, lon);
  rTgtElvM_ = (std::isfinite(g) && g > platform::kNoElevation + 1.0f) ? g : 0.0f;
  // The area run stores the contour point in the study's record
  // (ContourPoint), on its own thread, in the order of the study.
  dNetField_ = std::isfinite(dThreshold_) ? dThreshold_ : dFreeSpaceFld_;
}

void clsQXAreaCovCX::CoveragePoint(double pathDbm) {
  dFreeSpaceFld_ = FreeSpaceFieldMi(dDistMi_, pathDbm - 60.0);
  bCovered_ = dDistMi_ <= dContourMi_;
  if (bCovered_) {
    dNetField_ = std::isfinite(dThreshold_) ? std::min(dThreshold_, dFreeSpaceFld_) : dFreeSpaceFld_;
  } else {
    dNetField_ = kNotCoveredField;
  }
  dModelLoss_ = dFreeSpaceFld_ - dNetField_;
  const float g = cPathElv_->ElvAt(dEndLat_, dEndLon_);
  const auto& elv = cPathElv_->ELV_Array();
  rTgtElvM_ = (std::isfinite(g) && g > platform::kNoElevation + 1.0f) ? g : (elv.empty() ? 0.0f : elv.back());
}

std::string clsQXAreaCovCX::DetailLines(bool contour) const {
  std::string t = "Azimuth " + FormatNumber(dAzimuth_, "###0.00");
  t += " " + FormatNumber(dHorizErpW_, "####0.000") + " W";
  t += " " + FormatNumber(dContourMi_, "####0.00") + " mi";
  const double lat = contour ? dContourLat_ : dEndLat_;
  const double lon = contour ? dContourLon_ : dEndLon_;
  t += " " + CoordText(lat, "LT") + " " + CoordText(lon, "LN");
  t += "\r\n\tPath terrain HAAT: " + DetailElevation(dHaatM_, "#####0.00");
  if (!contour && !bErrorRun_) {
    t += std::string("\r\n\t") + (bCovered_ ? "Within" : "Beyond") + " the service contour (path " +
         FormatNumber(dDistMi_, "####0.00") + " mi)";
  }
  return t;
}

bool clsQXAreaCovCX::PrtParameters(std::ostream& out) {
  out << keys_.printName << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << ModelPrintLine() << "\n";
  PrintHaatWindow(out, haat_.startM, haat_.stopM, haat_.startUnit, sRadials_);
  out << "\n";
  return true;
}

}  // namespace zw
