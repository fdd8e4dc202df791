#include "models/terrain/clsQXAreaCovRO.h"

#include <cmath>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "models/terrain/ProfileRequest.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;
constexpr double kDefaultResolutionM = 1.524;  // 5 ft

std::string Right(std::string s, std::size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

std::string TextOf(const FieldCollection& m, std::string_view key, std::string_view def) {
  const FieldValue* v = m.FindNoCase(key);
  std::string t = v ? Trim(ToText(*v)) : std::string();
  return t.empty() ? std::string(def) : t;
}

}  // namespace

bool clsQXAreaCovRO::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3401);
  sResText_ = TextOf(m, "RO_OBRES", "5");
  sResUnit_ = TextOf(m, "RO_OBRESUN", "ft");
  bool err = false;
  const double res = ConvertLength(sResUnit_, "m", sResText_, err);
  if (err || !std::isfinite(res)) return RejectSetting("Unit conversion error:", sResText_ + " " + sResUnit_);
  dResolutionM_ = res > 0 ? res : kDefaultResolutionM;

  const std::string mode = TextOf(m, "RO_AMODE", "MIN");
  iMode_ = iROModeCode(mode);
  if (iMode_ == kROModeInvalid) return RejectSetting("RO Attenuation Mode", mode);

  sDesc_ = TextOf(m, "RO_DESC", "");
  return true;
}

bool clsQXAreaCovRO::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  diff_ = RODiffraction{};
  scat_ = ROTroposcatter{};
  sResult_.clear();
  dFreeSpaceLoss_ = 0;
  const PathStart ps = BeginTerrainPath();

  bool ok = false;
  sPathError_ = ProfileError(cPathElv_.get(), dPathLthM_, ps.endLat, ps.endLon);
  if (sPathError_.empty()) {
    const auto& elev = ProfileElevations(*cPathElv_, cOBS_.get());
    const auto& dist = cPathElv_->DIS_Array();
    const int n = cPathElv_->iLastPoint() + 1;
    diff_ = RODiffractionLoss(n, dist, elev, FACTXmMSL_, ps.rxMSL, dFreqMHz_, dResolutionM_, ps.kFactor);
    scat_ = ROTroposcatterLoss(n, dist, elev, FACTXmMSL_, ps.rxMSL, dFreqMHz_, ps.kFactor);
    if (!diff_.bOK) {
      sPathError_ = diff_.sError;
    } else if (!scat_.bOK) {
      sPathError_ = scat_.sError;
    } else {
      ok = true;
    }
  }

  if (ok) {
    dModelLoss_ = dROCombine(iMode_, diff_.dAttenDB, scat_.dAttenDB, &sResult_);
    dFreeSpaceLoss_ = scat_.dFreeSpaceDB;
  } else {
    dModelLoss_ = 0;
    sResult_ = "(free space) ";
  }
  std::string luName;
  FinishPath(ps.endLat, ps.endLon, &luName);
  if (!ok) {
    bErrorRun_ = true;
    dNetField_ = kFailedPathField;
    LogModelError(sPathError_, bSilent_);
  }

  if (bDetails_) sDetails_ = Details(ps, ok, luName);
  return false;
}

std::string clsQXAreaCovRO::Details(const PathStart& ps, bool ok, const std::string& luName) const {
  const auto db = [](double v) { return FormatNumber(v, "###0.00") + " dB"; };
  const auto dis = [&](double m) {
    bool err = false;
    const std::string unit = sDetailUnDis_.empty() ? "km" : sDetailUnDis_;
    const double v = ConvertLength("m", unit, m, err);
    return FormatNumber(err ? m : v, "####0.00");
  };
  const auto elv = [&](double m) {
    bool err = false;
    const std::string unit = sDetailUnElv_.empty() ? "m" : sDetailUnElv_;
    const double v = ConvertLength("m", unit, m, err);
    return FormatNumber(err ? m : v, "#####0.0");
  };
  std::string t = CommonPathDetails(ps);
  if (!ok) t += "\r\n\tPath not computed: " + sPathError_;
  t += "\r\n\tRounded Obstacle " + sROModeName(iMode_) + ": " + sResult_;
  t += "\r\n\t N PATH LOC  ELEVATION    RADIUS   DISTANCE";
  int k = 0;
  for (const ROObstacle& o : diff_.obstacles) {
    ++k;
    t += "\r\n\t" + Right(std::to_string(k), 2) + Right(std::to_string(o.iIndex), 9) + Right(elv(o.dElevM), 11) +
         Right(elv(o.dRadiusM), 10) + Right(dis(o.dDistM), 11);
  }
  t += "\r\n\t PATH    START         OBS         END      DIST 1    DIST 2    RADIUS    ATTEN";
  k = 0;
  for (const ROObstacle& o : diff_.obstacles) {
    ++k;
    t += "\r\n\t" + Right(std::to_string(k), 5) + Right(dis(o.dDistM - o.dDist1M), 9) + Right(dis(o.dDistM), 12) +
         Right(dis(o.dDistM + o.dDist2M), 12) + Right(dis(o.dDist1M), 10) + Right(dis(o.dDist2M), 10) +
         Right(elv(o.dRadiusM), 10) + Right(FormatNumber(o.dAttenDB, "##0.00"), 9);
  }
  t += LandUseDetails(luName);
  t += "\r\n\tDiffraction Attenuation: " + db(diff_.dAttenDB);
  t += "\r\n\tTroposcatter Attenuation: " + db(scat_.dAttenDB);
  t += "\r\n\t  Free Space Attenuation: " + db(dFreeSpaceLoss_);
  t += "\r\n\t  Total Path Attenuation: " + db(dFreeSpaceLoss_ + dModelLoss_);
  return t;
}

PathExtras clsQXAreaCovRO::LastPathExtras() const {
  PathExtras x;
  int i = 0;
  for (const ROObstacle& o : Diffraction().obstacles)
    x.marks.push_back({o.dDistM, o.dElevM,
                       "obstacle " + std::to_string(++i) + ": " + FormatNumber(o.dAttenDB, "0.0") + " dB, r " +
                           FormatNumber(o.dRadiusM, "0") + " m"});
  return x;
}

bool clsQXAreaCovRO::PrtParameters(std::ostream& out) {
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << "Attenuation mode: " << sROModeName(iMode_) << "\n";
  out << "\tObstacle resolution: " << FormatNumber(ParseDouble(sResText_), "#0.00") << " " << sResUnit_ << "\n";
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

}  // namespace zw
