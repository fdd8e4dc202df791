#include "models/curves/clsQXAreaCovBC.h"

#include "models/terrain/ModelValidity.h"

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
#include "models/curves/CurveStudyParams.h"
#include "models/curves/modPropBC.h"
#include "models/terrain/ProfileRequest.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr const char* kSettingsSection = "QXCoverage";
constexpr double kMetresPerMile = 1609.344;
constexpr double kMetresPerFoot = 0.3048;
// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;

std::int16_t PercentageOf(const std::string& t) {
  if (t == "10") return 10;
  if (t == "90") return 90;
  return 50;
}

}  // namespace

clsQXAreaCovBC::Keys clsQXAreaCovBC::BCKeys() {
  Keys k;
  k.name = "Broadcast (Part 73)";
  k.code = "BC";
  k.hstrt = "bc_hstrt";
  k.hstrtun = "bc_hstrtun";
  k.hstop = "bc_hstop";
  k.hstopun = "bc_hstopun";
  k.hradial = "bc_hradial";
  k.curve = "bc_curve";
  k.desc = "BC_DESC";
  k.cfgHStrt = "BC_HStrt";
  k.cfgHStop = "BC_HStop";
  k.cfgHRadial = "BC_HRadial";
  k.cfgCurve = "BC_CRV";
  k.channelKey = "BC Channel Default";
  k.channelDefault = 222;
  k.labelPrefix = "BC";
  return k;
}

clsQXAreaCovBC::clsQXAreaCovBC() : clsQXAreaCovBC(BCKeys()) {}

clsQXAreaCovBC::clsQXAreaCovBC(Keys keys, bool bcCurves) : keys_(std::move(keys)) {
  sOKtoGO_.clear();
  if (!bcCurves) return;
  const BCCurveLoad l = SharedBCCurves();
  curves_ = l.curves;
  if (!curves_) SetCurveError(l.error);
}

void clsQXAreaCovBC::SetCurveError(const std::string& why) {
  sCurveError_ = why;
  sOKtoGO_ += "\n" + keys_.name + ": " + why;
}

double clsQXAreaCovBC::CurveLoss(std::string& err) {
  if (!curves_) {
    err = sCurveError_;
    return 0.0;
  }
  return BC_Loss(*curves_, dDistMi_, dHaatFt_, iChannel_, iPct_, dErpHorDbk_, err);
}

std::string clsQXAreaCovBC::CurveContour(double& distMi) {
  if (!curves_) return sCurveError_;
  return BC_Contour(*curves_, distMi, dHaatFt_, iChannel_, iPct_, dErpHorDbk_, dThreshold_);
}

void clsQXAreaCovBC::FACERPdBm(double v) {
  clsQXAreaCov::FACERPdBm(v);
  dErpDbk_ = v - 60.0;
}

void clsQXAreaCovBC::FACTXmMSL(double v) {
  clsQXAreaCov::FACTXmMSL(v);
  dTxFtMSL_ = v / kMetresPerFoot;
}

void clsQXAreaCovBC::OnFacility() {
  iChannel_ = BCChannelFromFreq(dFreqMHz_);
  if (iChannel_ < 1) {
    iChannel_ = ReadInt16(kSettingsSection, keys_.channelKey, keys_.channelDefault, CoverageSettingsFile());
  }
}

bool clsQXAreaCovBC::bContourStudy() const {
  return bDirectContourCalc() && (sTaskType_ == "Contour" || sTaskType_ == "CONTOUR");
}

bool clsQXAreaCovBC::ReadParameters(const FieldCollection& m) {
  ProcScope proc(4204);

  HaatWindow w;
  std::string label, shown;
  if (!ReadHaatWindow(m, HaatKeysOf(keys_), w, label, shown)) return RejectSetting(label, shown);
  haat_ = std::move(w);

  ReadSiteRadials(m, keys_.hradial, keys_.cfgHRadial, sRadials_, daRadials_);

  std::string curve = TemplateText(m, keys_.curve);
  if (!(ParseDouble(curve) > 0)) curve = Trim(ReadString(kSettingsSection, keys_.cfgCurve, "50", CoverageSettingsFile()));
  iPct_ = PercentageOf(curve);

  sDesc_ = TemplateDescription(m, keys_.desc);
  return true;
}

double clsQXAreaCovBC::AverageTerrainM(const std::vector<double>& dis, const std::vector<float>& elv, int count,
                                       double startM, double stopM) {
  const std::size_t n = std::min({dis.size(), elv.size(), count > 0 ? static_cast<std::size_t>(count) : 0u});
  double sum = 0;
  int used = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (dis[i] > stopM) break;
    if (dis[i] >= startM && std::isfinite(elv[i]) && elv[i] > platform::kNoElevation + 1.0f) {
      sum += elv[i];
      ++used;
    }
  }
  return used > 0 ? sum / used : 0.0;
}

bool clsQXAreaCovBC::CovCalc() {
  ProcScope proc(4205);
  bErrorRun_ = false;
  sPathError_.clear();
  warnings_.clear();

  if (FailZeroLengthPath(keys_.code, kFailedPathField)) return false;
  dDistMi_ = dPathLthM_ / kMetresPerMile;

  // Never a field from missing or damaged curves.
  if (!sCurveError_.empty()) return FailUnstartedPath(sCurveError_);
  if (!cPathElv_) return FailUnstartedPath("No terrain profile object for this path");
  dAzimuth_ = cPathElv_->dPathAz();
  dEndLat_ = cPathElv_->dEndLat();
  dEndLon_ = cPathElv_->dEndLon();

  const bool haveProfile = PathHaatAndErp();
  if (!haveProfile) {
    const std::string why = cPathElv_->sMessage().empty() ? "No terrain profile for this path" : cPathElv_->sMessage();
    FailPath("No HAAT: " + why, kFailedPathField);
  } else if (!std::isfinite(dHaatFt_) || !std::isfinite(dErpHorDbk_)) {
    FailPath("The antenna height or ERP is not a number", kFailedPathField);
  }
  dFreeSpaceFld_ = bErrorRun_ ? 0.0 : FreeSpaceFieldMi(dDistMi_, dErpHorDbk_);
  if (bErrorRun_) {
    LogModelError(keys_.name + " path at azimuth " + FormatNumber(dAzimuth_, "###0.00") + ": " + sPathError_, bSilent_);
    if (bDetails_) sDetails_ += DetailLines(false, "") + "\r\n\tPath not computed: " + sPathError_;
    return false;
  }

  const bool contour = bContourStudy();
  std::string luName;
  if (contour) {
    if (!ContourPath()) return false;
  } else {
    FieldPath(&luName);
  }

  if (bDetails_) sDetails_ += DetailLines(contour, luName);
  return false;
}

bool clsQXAreaCovBC::FailUnstartedPath(std::string why) {
  FailPath(std::move(why), kFailedPathField);
  LogModelError(keys_.name + ": " + sPathError_, bSilent_);
  if (bDetails_) sDetails_ += "Path not computed: " + sPathError_;
  return false;
}

bool clsQXAreaCovBC::PathHaatAndErp() {
  // Radial HAAT of this path. It is worked out first so that the horizon
  // angle of the vertical pattern belongs to this path, not the previous one.
  bool haveProfile = RequestProfile(*cPathElv_, dPathLthM_);
  const double averageM = haveProfile ? AverageTerrainM(cPathElv_->DIS_Array(), cPathElv_->ELV_Array(),
                                                        cPathElv_->iLastPoint() + 1, haat_.startM, haat_.stopM)
                                      : 0.0;
  dHaatFt_ = dTxFtMSL_ - averageM / kMetresPerFoot;
  // The curves' own range: HAAT and distance within the grids (outside, the
  // HAAT is clamped and the distance extrapolated).
  {
    double hLo = 0, hHi = 0, dLo = 0, dHi = 0;
    CurveRange(hLo, hHi, dLo, dHi);
    for (std::string w : {RangeWarning(keys_.name, "HAAT", dHaatFt_, hLo, hHi, "ft"),
                          RangeWarning(keys_.name, "distance", dDistMi_, dLo, dHi, "mi")})
      if (!w.empty() && !bContourStudy()) Warn(std::move(w));
  }

  // ERP toward the azimuth, then toward the radio horizon.
  const double maxGain = dAntGainDbd_;
  const double hGain = HorizontalGain(dAzimuth_, iHazMax_, daHaz_, daHgain_, dAntOrien_, maxGain);
  dErpAzDbk_ = dErpDbk_ - (maxGain - hGain);
  dErpHorDbk_ = dErpAzDbk_;
  if (iVelMax_ >= 1) {
    bool err = false;
    const double vGain = BCHorizonGain(dHaatFt_, iChannel_, maxGain, dAzimuth_, iVelMax_, daVel_, daVgain_,
                                       dAntMTilt_, dAntMDir_, dAntETilt_, err);
    dErpHorDbk_ = dErpAzDbk_ - (maxGain - vGain);
  }
  dThreshold_ = cMOB_ ? cMOB_->GetDouble("RX_A1FLD", std::numeric_limits<double>::quiet_NaN())
                      : std::numeric_limits<double>::quiet_NaN();
  return haveProfile;
}

bool clsQXAreaCovBC::ContourPath() {
  dModelLoss_ = 0;
  dLULoss_ = 0;
  iLUCode_ = 0;
  dContourMi_ = 0;
  std::string err;
  if (!std::isfinite(dThreshold_)) {
    err = "The mobile's threshold field (RX_A1FLD) is missing or not a number";
  } else {
    err = CurveContour(dContourMi_);
  }
  double lat = dEndLat_, lon = dEndLon_;
  if (err.empty() &&
      !Geodesic::ForwardKm(cPathElv_->dStartLat(), cPathElv_->dStartLon(), dAzimuth_, dContourDistKm(), lat, lon)) {
    err = "The contour point cannot be placed from the site";
  }
  if (!err.empty()) {
    FailPath(err, kFailedPathField);
    dContourMi_ = 0;
    LogModelError(keys_.name + " contour at azimuth " + FormatNumber(dAzimuth_, "###0.00") + ": " + err, bSilent_);
    if (bDetails_) sDetails_ += DetailLines(true, "") + "\r\n\tContour not computed: " + err;
    return false;
  }
  dContourLat_ = lat;
  dContourLon_ = lon;
  const float g = cPathElv_->ElvAt(lat, lon);
  rTgtElvM_ = (std::isfinite(g) && g > platform::kNoElevation + 1.0f) ? g : 0.0f;
  // The area run stores the contour point in the study's record
  // (ContourPoint), on its own thread, in the order of the study.
  dNetField_ = dThreshold_;
  return true;
}

void clsQXAreaCovBC::FieldPath(std::string* luName) {
  std::string err;
  dModelLoss_ = CurveLoss(err);
  if (!err.empty()) {
    // The curves could not be read: the free-space field stands (loss 0).
    sPathError_ = err;
    LogModelError(keys_.name + " path at azimuth " + FormatNumber(dAzimuth_, "###0.00") + ": " + err, bSilent_);
  }
  const float g = cPathElv_->ElvAt(dEndLat_, dEndLon_);
  const auto& elv = cPathElv_->ELV_Array();
  rTgtElvM_ = (std::isfinite(g) && g > platform::kNoElevation + 1.0f) ? g : (elv.empty() ? 0.0f : elv.back());
  FinishPath(dEndLat_, dEndLon_, luName);
}

std::string clsQXAreaCovBC::DetailLines(bool contour, const std::string& luName) const {
  const double distM = contour ? dContourMi_ * kMetresPerMile : dPathLthM_;
  std::string t = "Azimuth " + FormatNumber(dAzimuth_, "###0.00");
  t += " " + DetailPower(dErpAzDbk_ + 60.0);
  t += " " + DetailDistance(distM);
  const double lat = contour ? dContourLat_ : dEndLat_;
  const double lon = contour ? dContourLon_ : dEndLon_;
  t += " " + CoordText(lat, "LT") + " " + CoordText(lon, "LN");
  if (!contour) {
    t += "\r\n\tFree Space Field: (" + DetailPower(dErpHorDbk_ + 60.0) + "@" + DetailDistance(dPathLthM_) + ") " +
         FormatNumber(dFreeSpaceFld_, "###0.00") + " dBu";
    t += "\r\n\tAdditional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
  }
  t += "\r\n\tPath terrain HAAT: " + DetailElevation(dHaatFt_ * kMetresPerFoot, "#####0.00");
  if (!contour && bLandUse_) {
    t += "\r\n\tLand Use Classification: " + FormatGeneral(iLUCode_) + " " + luName + " " + FormatGeneral(dLULoss_) +
         "dB";
  }
  return t;
}

void clsQXAreaCovBC::CurveRange(double& haatLoFt, double& haatHiFt, double& distLoMi, double& distHiMi) const {
  // FCC curves: HAAT 100 ... 5000 ft; F(50,50) from 1 mi, F(50,10) and
  // F(50,90) from 10 mi; to 200 mi (F(50,10) 300 mi).
  haatLoFt = 100;
  haatHiFt = 5000;
  distLoMi = iPct_ == 50 ? 1 : 10;
  distHiMi = iPct_ == 10 ? 300 : 200;
}

bool clsQXAreaCovBC::PrtParameters(std::ostream& out) {
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << keys_.curveTitle << " f(50," << iPct_ << ") curves\n";
  if (!keys_.curveNote.empty()) out << keys_.curveNote << "\n";
  PrintHaatWindow(out, haat_.startM, haat_.stopM, haat_.startUnit, sRadials_);
  out << "\n";
  return true;
}

}  // namespace zw
