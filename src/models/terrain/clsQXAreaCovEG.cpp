#include "models/terrain/clsQXAreaCovEG.h"

#include "models/terrain/ModelValidity.h"

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "models/terrain/modPropEG.h"

namespace zw {

namespace {

constexpr double kMetresPerMile = 1609.344;
// Net field of a path the model could not compute: far below any real field.
constexpr double kFailedPathField = -999.0;

double Feet(double metres) {
  bool err = false;
  const double ft = ConvertLength("m", "ft", metres, err);
  return err ? metres / 0.3048 : ft;
}

}  // namespace

void clsQXAreaCovEG::FACTXmAGL(double v) {
  clsQXAreaCov::FACTXmAGL(v);
  dTxHtFt_ = Feet(v);
}

void clsQXAreaCovEG::MOBAntM(double v) {
  clsQXAreaCov::MOBAntM(v);
  dRxHtFt_ = Feet(v);
}

bool clsQXAreaCovEG::ReadParameters(const FieldCollection& m) {
  ProcScope proc(3502);
  const FieldValue* desc = m.FindNoCase("EG_DESC");
  sDesc_ = desc ? Trim(ToText(*desc)) : std::string();
  if (sDesc_.empty()) sDesc_ = "{DEFAULTS SET IN RAVOPROP}";
  return true;
}

bool clsQXAreaCovEG::CovCalc() {
  bErrorRun_ = false;
  sPathError_.clear();
  const PathStart ps = BeginTerrainPath();

  if (!(dPathLthM_ > 0)) {
    // No field for a point at the transmitter.
    sPathError_ = "Egli: the path length is " + FormatGeneral(dPathLthM_) + " m; no field computed for this point";
    LogModelError(sPathError_, bSilent_);
    bErrorRun_ = true;
    dModelLoss_ = 0;
    dLULoss_ = 0;
    iLUCode_ = 0;
    dNetField_ = kFailedPathField;
    if (bDetails_) sDetails_ = CommonPathDetails(ps) + "\r\n\tPath not computed: " + sPathError_;
    return false;
  }
  dPathMi_ = dPathLthM_ / kMetresPerMile;

  // With the mobile height above sea level the height over the ground at the
  // point is the one that matters.
  const double rxFt = bMOBMSL_ ? Feet(ps.rxAGL) : dRxHtFt_;
  std::string err;
  // Egli's fit: 40 ... 900 MHz, to 64 km (40 mi).
  warnings_.clear();
  for (std::string w : {RangeWarning("Egli", "frequency", dFreqMHz_, 40, 900, "MHz"),
                        RangeWarning("Egli", "distance", dPathMi_ * 1.609344, 0, 64, "km")})
    if (!w.empty()) Warn(std::move(w));
  dModelLoss_ = dEgliExcess(dFreqMHz_, dPathMi_, dTxHtFt_, rxFt, &err);
  const bool noPower = err.empty() && ErpNotANumber(ps.erpToward, &err);
  if (!err.empty()) {
    sPathError_ = "Egli: " + err;
    bErrorRun_ = true;
    LogModelError(sPathError_, bSilent_);
  }
  std::string luName;
  FinishPath(ps.endLat, ps.endLon, &luName);
  if (noPower) dNetField_ = kFailedPathField;

  if (bDetails_) {
    std::string t = CommonPathDetails(ps);
    bool perr = false;
    const double dbk = ConvertPower("dBm", "dBk", ps.erpToward, perr);
    t += "\r\n\tFree Space Field: (" + FormatNumber(perr ? ps.erpToward : dbk, "####0.000") + " " +
         (perr ? "dBm" : "dBk") + "@" + DetailDistance(dPathLthM_) + ") " + FormatNumber(dFreeSpaceFld_, "###0.00") +
         " dBu";
    if (!sPathError_.empty()) t += "\r\n\tPath not computed: " + sPathError_;
    t += "\r\n\tAdditional Estimated transmission loss: " + FormatNumber(dModelLoss_, "###0.00") + " dB";
    t += LandUseDetails(luName);
    sDetails_ = t;
  }
  return false;
}

bool clsQXAreaCovEG::PrtParameters(std::ostream& out) {
  out << sNameModel() << " Propagation Study\n";
  out << "Parameter Template: " << sDesc_ << "\n";
  out << " \n";
  out << std::string(40, '=') << "\n";
  return true;
}

}  // namespace zw
