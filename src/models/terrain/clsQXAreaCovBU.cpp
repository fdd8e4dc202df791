#include "models/terrain/clsQXAreaCovBU.h"

#include <cmath>
#include <limits>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordText.h"
#include "models/terrain/ProfileRequest.h"
#include "models/terrain/modsBUmode.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;

}  // namespace

void clsQXAreaCovBU::OnFacility() {
  if (dFreqMHz_ > 0) dLambdaM_ = 300.0 / dFreqMHz_;
}

bool clsQXAreaCovBU::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3301);
  std::string label = "BU Reflection Coefficient";
  if (const FieldValue* v = m.FindNoCase("BU_REFLECT")) {
    dReflect_ = ParseDouble(*v);
  } else {
    dReflect_ = 0.0;
  }

  label = "BU Minimum Distance";
  sMinDistUnit_ = [&] {
    const FieldValue* u = m.FindNoCase("MinDistUn");
    return u ? Trim(ToText(*u)) : std::string();
  }();
  const FieldValue* md = m.FindNoCase("Min_Dist");
  sMinDistText_ = md ? Trim(ToText(*md)) : std::string();
  if (!sMinDistUnit_.empty()) {
    if (!md) return RejectSetting(label, "(missing)");
    bool err = false;
    const double metres = ConvertLength(sMinDistUnit_, "m", *md, err);
    if (err || !std::isfinite(metres)) return RejectSetting(label, sMinDistText_ + " " + sMinDistUnit_);
    dMinDistM_ = metres;
  }

  label = "BU Loss Mode";
  const FieldValue* mode = m.FindNoCase("Loss_Mode");
  if (!mode) return RejectSetting(label, "(missing)");
  iLossMode_ = iBUModeCode(ToText(*mode));

  const FieldValue* desc = m.FindNoCase("BU_DESC");
  sDesc_ = desc ? Trim(ToText(*desc)) : std::string();
  return true;
}

bool clsQXAreaCovBU::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  dLevel_ = 0;
  edges_.clear();
  const PathStart ps = BeginTerrainPath();

  bool ok = false;
  sPathError_ = ProfileError(cPathElv_.get(), dPathLthM_, ps.endLat, ps.endLon);
  if (sPathError_.empty()) {
    const auto& elev = ProfileElevations(*cPathElv_, cOBS_.get());
    const auto& dist = cPathElv_->DIS_Array();
    const BULossResult r = BULoss(cPathElv_->iLastPoint() + 1, dist, elev, FACTXmMSL_, ps.rxMSL, dFreqMHz_,
                                  iLossMode_, dMinDistM_, dReflect_, ps.kFactor);
    if (r.bOK) {
      ok = true;
      dLevel_ = r.dLevelDB > 0 ? 0.0 : r.dLevelDB;
      edges_ = r.edges;
    } else {
      sPathError_ = r.sLog;
    }
  }

  // Net field = free-space field + Bullington level - land-use loss.
  dModelLoss_ = -dLevel_;
  std::string luName;
  FinishPath(ps.endLat, ps.endLon, &luName);
  if (!ok) {
    bErrorRun_ = true;
    dNetField_ = kFailedPathField;
    LogModelError(sPathError_, bSilent_);
  }

  if (bDetails_) {
    std::string t = CommonPathDetails(ps);
    const double rise = FACTXmMSL_ - ps.rxMSL;
    const double slant = std::sqrt(dPathLthM_ * dPathLthM_ + rise * rise);
    bool err = false;
    const std::string unit = sDetailUnDis_.empty() ? "km" : sDetailUnDis_;
    const double slantShown = ConvertLength("m", unit, slant, err);
    t += "\r\n\t(Slant distance for " + FormatNumber(err ? slant : slantShown, "####0.00") + ")";
    if (!ok) t += "\r\n\tPath not computed: " + sPathError_;
    if (!edges_.empty()) {
      t += "\r\n\t Bullington knife-edge diffraction losses:";
      for (const BUKnifeEdge& e : edges_) {
        bool derr = false;
        const double d = ConvertLength("m", unit, e.dDistM, derr);
        t += "\r\n\t" + FormatNumber(e.dLevelDB, "###0.00") + " dB at " + FormatNumber(derr ? e.dDistM : d, "###0.00") +
             " " + (derr ? "m" : unit);
      }
      t += "\r\n\tAdditional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
      t += LandUseDetails(luName);
    }
    sDetails_ = t;
  }
  return false;
}

PathExtras clsQXAreaCovBU::LastPathExtras() const {
  PathExtras x;
  for (const BUKnifeEdge& k : KnifeEdges())
    x.marks.push_back({k.dDistM, std::numeric_limits<double>::quiet_NaN(),
                       "knife edge " + FormatNumber(k.dLevelDB, "0.0") + " dB"});
  return x;
}

bool clsQXAreaCovBU::PrtParameters(std::ostream& out) {
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << "Bullington loss based on " << sBUModeName(iLossMode_) << "\n";
  const auto minDist = [&](const char* what) {
    std::string text, unit;
    if (cPropMod_) {
      if (const FieldValue* v = cPropMod_->FindNoCase("MIN_DIST")) text = FormatNumber(ParseDouble(*v), "#0.00");
      if (const FieldValue* u = cPropMod_->FindNoCase("MINDISTUN")) unit = Trim(ToText(*u));
    } else {
      text = FormatNumber(ParseDouble(sMinDistText_), "#0.00");
      unit = sMinDistUnit_;
    }
    out << "\t" << what << text << " " << unit << "\n";
  };
  if (iLossMode_ == kBUModeMinDistance) minDist("Knife-edge Minimum Distance: ");
  if (iLossMode_ == kBUModeObstaclePeaks) minDist("Obstacle resolution: ");
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

}  // namespace zw
