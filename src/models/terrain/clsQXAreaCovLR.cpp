#include "models/terrain/clsQXAreaCovLR.h"

#include "models/terrain/ModelValidity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "models/terrain/modLRModeText.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// Net field of a path the model could not compute: far below any real field,
// so that no study takes it for a received signal.
constexpr double kFailedPathField = -999.0;

// A template value as a number: numbers as they are, text with the lenient
// conversion. False when the key is missing or the text holds no number.
bool NumberOf(const FieldCollection& m, std::string_view key, double& out, std::string& shown) {
  const FieldValue* v = m.Find(key);
  if (!v) {
    shown = "(missing)";
    return false;
  }
  if (const auto* s = std::get_if<std::string>(v)) {
    shown = *s;
    return TryParseDouble(*s, out);
  }
  out = ParseDouble(*v);
  shown = FormatGeneral(out);
  return std::isfinite(out);
}

}  // namespace

bool clsQXAreaCovLR::EvenlySpaced(int last, const std::vector<double>& dist) {
  if (last < 2 || static_cast<std::size_t>(last) >= dist.size()) return true;  // nothing to even out
  const double step = dist[1] - dist[0];
  const double lastStep = dist[static_cast<std::size_t>(last)] - dist[static_cast<std::size_t>(last) - 1];
  return std::fabs(lastStep - step) <= 1e-6 * std::max(1.0, std::fabs(dist[static_cast<std::size_t>(last)]));
}

clsQXAreaCovLR::clsQXAreaCovLR() {
  sOKtoGO_.clear();
  core_.InitTables();
}

bool clsQXAreaCovLR::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3201);
  std::string label, shown;
  double d = 0;

  label = "LR Polarization";
  const FieldValue* pol = m.Find("POLARIZ");
  if (!pol) return RejectSetting(label, "(missing)");
  if (ToUpper(Trim(ToText(*pol))) == "H") {
    iPolariz_ = 0;
    sPolariz_ = "H";
  } else {
    iPolariz_ = 1;
    sPolariz_ = "V";
  }

  label = "LR Surface Refractivity";
  if (!NumberOf(m, "SUR_REFRAC", d, shown) || !std::isfinite(d)) return RejectSetting(label, shown);
  dSurRefrac_ = d;
  label = "LR Sea Level Refractivity";
  if (!NumberOf(m, "SEA_REFRAC", d, shown) || !std::isfinite(d)) return RejectSetting(label, shown);
  dSeaRefrac_ = d;
  label = "LR Soil Permitivity";
  // Ground constants are physical quantities: above zero and finite.
  if (!NumberOf(m, "REL_PERMIT", d, shown) || !(d > 0) || !std::isfinite(d)) return RejectSetting(label, shown);
  dRelPermit_ = d;
  label = "LR Soil Conductivity";
  if (!NumberOf(m, "CONDUCTIVI", d, shown) || !(d > 0) || !std::isfinite(d)) return RejectSetting(label, shown);
  dConduct_ = d;

  label = "LR Climate Code";
  if (!NumberOf(m, "CLIM_CODE", d, shown)) return RejectSetting(label, shown);
  if (!(d >= -32768.5 && d < 32767.5)) return RejectSetting(label, FormatGeneral(d));
  const auto clim = static_cast<std::int16_t>(std::nearbyint(d));
  if (clim < 1 || clim > 7) return RejectSetting(label, FormatGeneral(clim));
  iClimate_ = clim;

  label = "LR MDVAR Mode of Variability";
  if (!NumberOf(m, "LR_MDVAR", d, shown)) return RejectSetting(label, shown);
  if (!(d >= -32768.5 && d < 32767.5)) return RejectSetting(label, shown);  // not a 16-bit value
  iMDVAR_ = static_cast<std::int16_t>(std::nearbyint(d));
  const int group = iMDVAR_ / 10;

  label = "LR Situation Variability";
  if (!NumberOf(m, "LR_VARSIT", d, shown)) return RejectSetting(label, shown);
  if (!((d > 0 && d < 100) || group == 2 || group == 3)) return RejectSetting(label, FormatGeneral(d));
  dSit_ = d;
  label = "LR Location Variability";
  if (!NumberOf(m, "LR_VARLOC", d, shown)) return RejectSetting(label, shown);
  if (!((d > 0 && d < 100) || group == 1 || group == 3)) return RejectSetting(label, FormatGeneral(d));
  dLoc_ = d;
  label = "LR Time Variability";
  if (!NumberOf(m, "LR_VARTIM", d, shown)) return RejectSetting(label, shown);
  if (!(d > 0 && d < 100)) return RejectSetting(label, FormatGeneral(d));
  dTim_ = d;

  const FieldValue* desc = m.Find("LR_DESC");
  if (!desc) return RejectSetting(label, "(LR_DESC missing)");
  sDesc_ = Trim(ToText(*desc));
  return true;
}

bool clsQXAreaCovLR::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  const PathStart ps = BeginTerrainPath();

  std::string err;
  bool ok = cPathElv_ != nullptr;
  if (ok) {
    const bool obs = cOBS_ && cOBS_->bUse();
    const auto& elev = obs ? cPathElv_->ELV_ArrayOBS() : cPathElv_->ELV_Array();
    const auto& dist = cPathElv_->DIS_Array();
    const int last = cPathElv_->iLastPoint();
    if (EvenlySpaced(last, dist)) {
      ok = LRBuildProfile(last, dist, elev, pfl_, err);
    } else {
      ok = LRBuildEvenProfile(last, dist, elev, pfl_, err);
    }
  } else {
    err = "No terrain profile";
  }
  LRResult r;
  if (ok) {
    LRInputs in;
    in.dTxHeightM = FACTXmAGL_;
    in.dRxHeightM = ps.rxAGL;
    in.dFreqMHz = dFreqMHz_;
    in.iPolariz = iPolariz_;
    in.dSurRefrac = dSurRefrac_;
    in.dSeaRefrac = dSeaRefrac_;
    in.dRelPermit = dRelPermit_;
    in.dConductivity = dConduct_;
    in.iClimate = iClimate_;
    in.iMDVAR = iMDVAR_;
    in.dSitPct = dSit_;
    in.dLocPct = dLoc_;
    in.dTimPct = dTim_;
    r = core_.PointToPoint(pfl_, in);
    if (!r.bOK) {
      ok = false;
      err = r.sError;
    }
  }
  dHeEff_ = r.dHeEffM;
  dDeltaH_ = r.dDeltaHM;
  dEarthFactor_ = ok ? r.dEarthFactor : ps.kFactor;
  sMode1_ = r.sMode1;
  sMode2_ = r.sMode2;
  lErrLevel_ = ok ? r.lErrLevel : 4;
  bStateOfPath_ = ok;
  std::string luName;
  if (ok) {
    dModelLoss_ = r.dAttenDB;
    FinishPath(ps.endLat, ps.endLon, &luName);
  } else {
    // A path the model cannot compute is not a field: flag it and log why.
    bErrorRun_ = true;
    sPathError_ = err;
    dModelLoss_ = 0;
    FinishPath(ps.endLat, ps.endLon, &luName);
    dNetField_ = kFailedPathField;
    LogModelError("Longley-Rice path at azimuth " + FormatNumber(ps.azimuth, "###0.00") + ": " + err, bSilent_);
  }

  if (bDetails_) {
    std::string t = CommonPathDetails(ps);
    if (!ok) t += "\r\n\tPath not computed: " + err;
    t += "\r\n\t" + Trim(sMode1_) + " " + Trim(sMode2_);
    t += "\r\n\tAdditional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
    t += "\r\n\tPath terrain Delta-H: " + DetailElevation(dDeltaH_, "#####0.00");
    t += "\r\n\tEffective antenna heights: " + DetailElevation(dHeEff_[0], "#####0.00") + " " +
         DetailElevation(dHeEff_[1], "#####0.00");
    t += LandUseDetails(luName);
    sDetails_ = t;
  }
  return false;
}

PathExtras clsQXAreaCovLR::LastPathExtras() const {
  PathExtras x;
  x.mode = {sMode1(), sMode2()};
  x.deltaHM = dDeltaHM();
  x.effHeightsM = dHeEffM();
  const double length = ProfileLengthM();
  const auto h = dHorizonM();
  // A line-of-sight path has its horizons at the far end.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const bool tx = h[0] < length - 0.5, rx = h[1] < length - 0.5;
  if (tx && rx && std::fabs(h[0] - (length - h[1])) < 1.0) {
    x.marks.push_back({h[0], nan, "Tx and Rx horizon"});
  } else {
    if (tx) x.marks.push_back({h[0], nan, "Tx horizon"});
    if (rx) x.marks.push_back({length - h[1], nan, "Rx horizon"});
  }
  return x;
}

bool clsQXAreaCovLR::PrtParameters(std::ostream& out) {
  const auto pct = [](double v) { return FormatNumber(v, "##0.00"); };
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << "LR Mode:  " << FormatNumber(iMDVAR_, "##0") << "\n";
  out << "\t" << modLRModeText(iMDVAR_) << "\n";
  out << "Polarization: " << sPolariz_ << "\n";
  out << "Surface Refrac: " << FormatNumber(dSurRefrac_, "###0.00") << "(" << FormatNumber(dSeaRefrac_, "###0.00")
      << ")\n";
  out << "Permittivity: " << FormatNumber(dRelPermit_, "###0.00") << "  Conductivity:  "
      << FormatNumber(dConduct_, "###0.0000") << "\n";
  const int c = iClimate_ >= 1 && iClimate_ <= 7 ? iClimate_ : 5;
  out << "Climate: " << LRClimateNames()[static_cast<std::size_t>(c - 1)] << "\n";
  out << "Variability:\n";
  if (iMDVAR_ >= 30) {
    out << "Time:  " << pct(dTim_) << "% \n";
  } else if (iMDVAR_ >= 20) {
    out << "Time:  " << pct(dTim_) << "%   Location:  " << pct(dLoc_) << "%\n";
  } else if (iMDVAR_ >= 10) {
    out << "Situation: " << pct(dSit_) << "%   Time:  " << pct(dTim_) << "%\n";
  } else {
    out << "Situation: " << pct(dSit_) << "%   Time:  " << pct(dTim_) << "%   Location:  " << pct(dLoc_) << "%\n";
  }
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

namespace {

// Error level 3 with the checks of the model's preparation that raised it, in
// words without numbers (an area run counts the points per distinct text).
const std::string& LRLevel3Text(const clsLRCore::PathState& p) {
  // The text of each combination of reasons, made once: an area run asks for
  // it at every point of level 3.
  static const std::array<std::string, 8> kText = [] {
    static constexpr const char* kWhy[3] = {
        "a horizon nearer than a tenth, or farther than three times, the smooth-earth horizon distance",
        "a horizon elevation angle above 200 mrad",
        "a path shorter than the effective antenna heights' difference over 200 mrad"};
    std::array<std::string, 8> t;
    t[0] = LRErrorLevelText(3);
    for (unsigned m = 1; m < 8; ++m) {
      std::string why;
      for (unsigned b = 0; b < 3; ++b)
        if (m & (1u << b)) why += (why.empty() ? "" : "; ") + std::string(kWhy[b]);
      t[m] = "Longley-Rice error level 3: the path's geometry lies outside what the model was fitted to (" + why +
             "); the field is computed but less certain";
    }
    return t;
  }();
  unsigned mask = 0;
  for (std::size_t k = 0; k < 2; ++k) {
    if (p.dl[k] < 0.1 * p.dls[k] || p.dl[k] > 3.0 * p.dls[k]) mask |= 1u;
    if (std::fabs(p.the[k]) > 200e-3) mask |= 2u;
  }
  if (p.dist > 0 && p.dist < std::fabs(p.he[0] - p.he[1]) / 200e-3) mask |= 4u;
  return kText[mask];
}

}  // namespace

// Error level 4 with the ranges the path left, in words without numbers of
// its own; the general text when the reason is not among them.
std::string LRLevel4Text(const clsLRCore::PathState& p) {
  std::string why;
  const auto add = [&why](const char* s) { why += why.empty() ? s : std::string("; ") + s; };
  if (p.dist > 0 && p.dist < 1e3) add("a path shorter than 1 km");
  if (p.dist > 2000e3) add("a path longer than 2000 km");
  if (p.hg[0] < 0.5 || p.hg[0] > 3000.0 || p.hg[1] < 0.5 || p.hg[1] > 3000.0)
    add("an antenna height outside 0.5 ... 3000 m");
  if (p.wn > 0 && (p.wn < 0.419 || p.wn > 420.0)) add("a frequency outside 20 MHz ... 20 GHz");
  if (p.ens != 0 && (p.ens < 250.0 || p.ens > 400.0)) add("a surface refractivity outside 250 ... 400 N-units");
  if (why.empty()) return LRErrorLevelText(4);
  return "Longley-Rice error level 4: " + why + ", outside the model's range; the result should not be used";
}

std::size_t clsQXAreaCovLR::ReadWarnings(std::vector<std::string>& into) const {
  std::size_t n = clsQXAreaCov::ReadWarnings(into);
  if (lErrLevel_ == 3) {  // (the usual one: its text is copied, not made)
    PutWarning(into, n++, LRLevel3Text(core_.State()));
  } else if (lErrLevel_ != 0) {
    PutWarning(into, n++, lErrLevel_ == 4 && bStateOfPath_ ? LRLevel4Text(core_.State()) : LRErrorLevelText(lErrLevel_));
  }
  return n;
}

}  // namespace zw
