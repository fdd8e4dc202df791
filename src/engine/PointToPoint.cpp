#include "engine/PointToPoint.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>

#include "common/Antenna.h"
#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/PropTemplate.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "common/PatternFileCheck.h"
#include "engine/CalculatorFactory.h"
#include "geo/Geodesic.h"
#include "platform/terrain/clsLandUse.h"
#include "models/terrain/clsQXAreaCovBU.h"
#include "models/terrain/clsQXAreaCovLR.h"
#include "models/terrain/clsQXAreaCovRO.h"
#include "models/terrain/modPropLR.h"
#include "platform/Profile.h"
#include "platform/terrain/TerrainSource.h"
#include "models/curves/clsQXAreaCovCX.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// A profile handed in as arrays: the end point lies on the given azimuth at
// the profile's length, and the ground there is the last profile point.
class GivenProfile : public platform::clsPathElv {
 public:
  float ElvAt(double, double) override { return ELV_Array().empty() ? 0.0f : ELV_Array().back(); }
};

bool SplitCsvLine(const std::string& line, double& a, double& b, bool& isNumber, bool& firstIsNumber) {
  const auto comma = line.find_first_of(",;\t");
  if (comma == std::string::npos) return false;
  const std::string x = Trim(line.substr(0, comma));
  std::string y = Trim(line.substr(comma + 1));
  const auto more = y.find_first_of(",;\t");
  if (more != std::string::npos) y = Trim(y.substr(0, more));
  auto parse = [](const std::string& s, double& v) {
    if (s.empty()) return false;
    std::istringstream in(s);
    in.imbue(std::locale::classic());
    in >> v;
    return !in.fail() && in.eof();
  };
  firstIsNumber = parse(x, a);
  isNumber = firstIsNumber && parse(y, b);
  if (!isNumber && (ToLower(x) == "nan" || ToLower(y) == "nan")) {
    a = b = std::nan("");
    isNumber = true;
  }
  return true;
}

}  // namespace

void DescribePath(const clsQXAreaCov& calc, P2PResult& out) {
  if (const auto& path = calc.cPathElv()) {
    const int n = path->iLastPoint() + 1;
    const auto& d = path->DIS_Array();
    const auto& e = path->ELV_Array();
    const auto& eo = path->ELV_ArrayOBS();
    if (n >= 2 && d.size() >= static_cast<std::size_t>(n) && e.size() >= static_cast<std::size_t>(n)) {
      out.profileDistM.assign(d.begin(), d.begin() + n);
      out.profileElevM.assign(e.begin(), e.begin() + n);
      bool obstructed = false;
      for (int i = 0; i < n && i < static_cast<int>(eo.size()); ++i) obstructed = obstructed || eo[i] > e[i];
      if (obstructed) out.profileElevObsM.assign(eo.begin(), eo.begin() + n);
    }
  }
  out.txAglM = calc.FACTXmAGL();
  out.rxAglM = calc.bMOBMSL() ? calc.MOBAntM() - calc.rTgtElvM() : calc.MOBAntM();
  out.freqMHz = calc.cFAC() ? calc.cFAC()->GetDouble("TX_FREQMHZ") : 0.0;
  out.erpDbm = calc.FACERPdBm();
  out.landUseLossDb = calc.dLULoss();
  out.profileLandUse.clear();
  if (const auto& lu = calc.cLandUse(); lu && lu->bUse() && calc.cPathElv() && !out.profileDistM.empty()) {
    // The class under each profile point, along the path's geodesic (the
    // profile's distances are metres from its start).
    const auto& path = *calc.cPathElv();
    const double az = path.dPathAz();
    out.profileLandUse.reserve(out.profileDistM.size());
    for (const double d : out.profileDistM) {
      double lat = 0, lon = 0, loss = 0;
      std::int16_t code = 0;
      std::string name;
      if (!Geodesic::ForwardKm(path.dStartLat(), path.dStartLon(), az, (d - out.profileDistM.front()) / 1000.0, lat,
                               lon) ||
          !lu->Lookup(lat, lon, code, name, loss))
        name.clear();
      out.profileLandUse.push_back(name);
    }
  }
  out.marks.clear();
  const double length = out.profileDistM.empty() ? 0.0 : out.profileDistM.back();
  if (const auto* bu = dynamic_cast<const clsQXAreaCovBU*>(&calc)) {
    for (const BUKnifeEdge& k : bu->KnifeEdges())
      out.marks.push_back({k.dDistM, std::numeric_limits<double>::quiet_NaN(),
                           "knife edge " + FormatNumber(k.dLevelDB, "0.0") + " dB"});
  } else if (const auto* ro = dynamic_cast<const clsQXAreaCovRO*>(&calc)) {
    int i = 0;
    for (const ROObstacle& o : ro->Diffraction().obstacles)
      out.marks.push_back({o.dDistM, o.dElevM,
                           "obstacle " + std::to_string(++i) + ": " + FormatNumber(o.dAttenDB, "0.0") + " dB, r " +
                               FormatNumber(o.dRadiusM, "0") + " m"});
  } else if (const auto* lr = dynamic_cast<const clsQXAreaCovLR*>(&calc)) {
    const auto h = lr->dHorizonM();
    // A line-of-sight path has its horizons at the far end.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const bool tx = h[0] < length - 0.5, rx = h[1] < length - 0.5;
    if (tx && rx && std::fabs(h[0] - (length - h[1])) < 1.0) {
      out.marks.push_back({h[0], nan, "Tx and Rx horizon"});
    } else {
      if (tx) out.marks.push_back({h[0], nan, "Tx horizon"});
      if (rx) out.marks.push_back({length - h[1], nan, "Rx horizon"});
    }
  }
}

std::string ReadProfileCsv(const std::string& file, std::vector<double>& distM, std::vector<float>& elevM) {
  distM.clear();
  elevM.clear();
  std::ifstream in(file, std::ios::binary);
  if (!in) return "Cannot read the profile file " + file;
  std::string line;
  int row = 0;
  while (std::getline(in, line)) {
    ++row;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    double d = 0, e = 0;
    bool number = false, firstNumber = false;
    if (!SplitCsvLine(line, d, e, number, firstNumber)) {
      return "Profile file " + file + " line " + std::to_string(row) + ": expected distance_m,elevation_m";
    }
    if (!number) {
      // A header line names its columns; a row that starts with a distance
      // is data, and dropping it would shorten the path unnoticed.
      if (distM.empty() && !firstNumber) continue;
      std::string msg = "Profile file ";
      msg.append(file).append(" line ").append(std::to_string(row)).append(": not a number: ").append(line);
      return msg;
    }
    if (distM.size() > static_cast<std::size_t>(kLRMaxIntervals) + 1) {
      return "Profile file " + file + " has more than " + std::to_string(kLRMaxIntervals) +
             " intervals (the model's 16-bit profile limit)";
    }
    distM.push_back(d);
    elevM.push_back(static_cast<float>(e));
  }
  return CheckProfile(distM, elevM);
}

std::string CheckProfile(const std::vector<double>& distM, const std::vector<float>& elevM) {
  if (distM.size() != elevM.size()) return "The profile's distance and elevation arrays differ in length";
  if (distM.size() < 2) return "A profile needs at least two points";
  if (distM.size() - 1 > static_cast<std::size_t>(kLRMaxIntervals)) {
    return "A profile may have at most " + std::to_string(kLRMaxIntervals) +
           " intervals (the model's 16-bit profile limit); this one has " + std::to_string(distM.size() - 1);
  }
  for (std::size_t i = 0; i < distM.size(); ++i) {
    if (!std::isfinite(distM[i]) || !std::isfinite(elevM[i])) {
      return "Profile point " + std::to_string(i + 1) + " is not a number";
    }
  }
  // The engine's rule for DIS_Array: the spacing is the first interval and
  // the number of intervals comes from the points. Each later interval may
  // carry the rounding of distances written with a few decimals; the last
  // one may be shorter (a profile sampled from terrain ends at the receiver),
  // and the models lay such a profile on even spacing as they do a terrain
  // path's.
  const double step = distM[1] - distM[0];
  if (!(step > 0)) return "Profile distances must increase from the transmitter";
  const double tol = std::max(1e-3, 0.01 * step);
  const std::size_t last = distM.size() - 1;
  for (std::size_t i = 2; i <= last; ++i) {
    const double interval = distM[i] - distM[i - 1];
    const bool ok = i == last ? interval > 0 && interval <= step + tol : std::fabs(interval - step) <= tol;
    if (!ok) {
      return "Profile spacing is not equal: point " + std::to_string(i + 1) + " is " + std::to_string(interval) +
             " m after the one before it, the first interval " + std::to_string(step) +
             " m (equal intervals, the last one may be shorter)";
    }
  }
  return {};
}

std::string CheckTerrainProfile(const std::vector<double>& distM, const std::vector<float>& elevM) {
  if (distM.size() != elevM.size()) return "The profile's distance and elevation arrays differ in length";
  if (distM.size() < 2) return "A profile needs at least two points";
  if (distM.size() - 1 > static_cast<std::size_t>(kLRMaxIntervals)) {
    return "A profile may have at most " + std::to_string(kLRMaxIntervals) +
           " intervals (the model's 16-bit profile limit); this one has " + std::to_string(distM.size() - 1) +
           " (use a larger --step)";
  }
  for (std::size_t i = 0; i < distM.size(); ++i) {
    if (!std::isfinite(distM[i]) || !std::isfinite(elevM[i])) {
      return "Profile point " + std::to_string(i + 1) + " is not a number";
    }
    if (i > 0 && !(distM[i] > distM[i - 1])) return "Profile distances must increase from the transmitter";
  }
  return {};
}

P2PContext::P2PContext() = default;
P2PContext::~P2PContext() = default;

std::shared_ptr<platform::TerrainSource> P2PContext::Terrain(const std::string& dem, std::string& error) {
  auto it = terrain_.find(dem);
  if (it != terrain_.end()) return it->second;
  auto t = std::make_shared<platform::TerrainSource>();
  const std::string msg = t->Add(dem);
  if (t->SourceCount() == 0) {
    error = "No usable elevation data in " + dem + (msg.empty() ? "" : ": " + msg);
    return nullptr;
  }
  terrain_[dem] = t;
  return t;
}

P2PResult P2PContext::Run(const P2PRequest& r) {
  P2PResult out;
  // The template and the model.
  if (r.templateFile.empty()) {
    out.error = "No template file given";
    return out;
  }
  const PropTemplateResult tpl = BuildPropTemplate(r.templateFile, r.section);
  if (!tpl.map) {
    out.error = tpl.error.empty() ? "No template in " + r.templateFile + " [" + r.section + "]" : tpl.error;
    return out;
  }
  std::string model = Trim(r.model.empty() ? tpl.modelName : r.model);
  // The command line takes codes and names without regard to case.
  if (const std::string code = ModelCodeOf(model); !code.empty()) model = code;
  auto calc = NewCalculator(model);
  if (!calc) {
    out.error = "Model '" + model + "' is not available";
    return out;
  }
  out.model = calc->sNameModel2();
  out.modelName = calc->sNameModel();
  calc->bSilent(true);
  calc->cPropMod(tpl.map);
  if (!calc->cPropMod()) {
    out.error = calc->sReadError().empty() ? "The model template was not accepted" : calc->sReadError();
    return out;
  }

  // The effective earth: given, else the template file's, else 4/3.
  double k = r.kFactor;
  if (!(k > 0)) {
    const std::string kText = platform::ProfileGetString("Eff Curvature", "K-Value", "", r.templateFile);
    k = 4.0 / 3.0;
    if (!kText.empty() && !(TryParseDouble(kText, k) && k > 0 && std::isfinite(k))) {
      out.error = "Invalid Effective Earth Curvature K-Value in " + r.templateFile + ": " + kText +
                  " (give a number above 0, e.g. 1.333)";
      return out;
    }
  }
  if (!std::isfinite(k) || !(k > 0)) {
    out.error = "The effective earth-radius factor must be a number above 0, e.g. 1.333";
    return out;
  }
  out.kFactor = k;

  // The profile.
  std::shared_ptr<platform::clsPathElv> path;
  if (!r.dem.empty()) {
    if (!r.haveFrom || !r.haveTo) {
      out.error = "Terrain paths need both end points (--from and --to)";
      return out;
    }
    std::string err;
    auto terrain = Terrain(r.dem, err);
    if (!terrain) {
      out.error = err;
      return out;
    }
    path = std::make_shared<platform::clsPathElv>(terrain);
    path->dStartLat(r.fromLat);
    path->dStartLon(r.fromLon);
    path->dEndLat(r.toLat);
    path->dEndLon(r.toLon);
    path->dStep(r.stepM);
    if (!path->ExtractProfile()) {
      out.error = path->sMessage().empty() ? "No terrain profile for this path" : path->sMessage();
      return out;
    }
    // Terrain profiles keep their sampling step to the last, shorter
    // interval (the models even the spacing out where they need it), exactly
    // as the area studies sample them.
    const std::string check = CheckTerrainProfile(path->DIS_Array(), path->ELV_Array());
    if (!check.empty()) {
      out.error = check;
      return out;
    }
  } else {
    std::vector<double> d = r.distM;
    std::vector<float> e = r.elevM;
    if (!r.profileCsv.empty()) {
      if (std::string err = ReadProfileCsv(r.profileCsv, d, e); !err.empty()) {
        out.error = err;
        return out;
      }
    } else if (std::string err = CheckProfile(d, e); !err.empty()) {
      out.error = err;
      return out;
    }
    // Measured from the first point and otherwise handed on as given: the
    // models take it exactly as the engine takes the same DIS_Array.
    const double first = d.front();
    if (first != 0)
      for (double& x : d) x -= first;
    auto given = std::make_shared<GivenProfile>();
    double lat2 = 0, lon2 = 0;
    Geodesic::ForwardKm(0.0, 0.0, r.azimuth, d.back() / 1000.0, lat2, lon2);
    given->dEndLat(lat2);
    given->dEndLon(lon2);
    given->DIS_Array(std::move(d));
    given->ELV_Array(std::move(e));
    path = given;
  }
  path->dKFactor(k);
  out.points = path->iLastPoint() + 1;
  out.pathLengthM = path->DIS_Array().back();

  // Transmitter, antenna and receiver.
  bool err = false;
  const double erpDbm = ConvertPower(r.erpUnit, "dBm", r.erpValue, err);
  if (err) {
    out.error = "Invalid ERP: " + FormatGeneral(r.erpValue) + " " + r.erpUnit;
    return out;
  }
  if (!(r.freqMHz > 0) || !std::isfinite(r.freqMHz)) {
    out.error = "The frequency must be above 0 MHz";
    return out;
  }
  if (!std::isfinite(r.txAglM) || !std::isfinite(r.rxAglM)) {
    out.error = "Antenna heights must be numbers";
    return out;
  }
  clsAntenna ant;
  ant.dGain = r.gain;
  ant.sGainUn = r.gainUnit;
  std::string antErr;
  if (!r.antennaFile.empty()) {
    antErr = CheckPatternFile(r.antennaFile);
    if (antErr.empty()) antErr = LoadAntennaFromProfile(r.antennaFile, r.antennaSection, "dBd", ant);
    if (!antErr.empty() && antErr.find(r.antennaFile) == std::string::npos)
      antErr = "The antenna pattern file " + r.antennaFile + ": " + antErr;
  } else if (!r.antennaLib.empty()) {
    antErr = LoadAntennaFromLibrary(r.antennaLibDir, r.antennaLib, r.antennaId, "dBd", true, ant);
  }
  if (!antErr.empty()) {
    out.error = antErr;
    return out;
  }
  if (r.antennaFile.empty() && r.antennaLib.empty()) {
    ant.dOrien = r.orientation;
    ant.dETilt = r.eTilt;
    ant.dMTilt = r.mTilt;
    ant.dMDir = r.mDir;
    ant.bInverted = r.inverted;
  }
  if (ant.bInverted) ant.Invert();

  auto fac = std::make_shared<FieldCollection>();
  fac->Set("TX_FREQMHZ", r.freqMHz);
  fac->Set("TX_A1GAIN", ant.dGain);
  fac->Set("TX_A1GNUN", ant.sGainUn);
  fac->Set("TX_A1ORIEN", ant.dOrien);
  fac->Set("TX_A1ETILT", ant.dETilt);
  fac->Set("TX_A1MTILT", ant.dMTilt);
  fac->Set("TX_A1MDIR", ant.dMDir);
  fac->Set("TX_A1INVRT", ant.bInverted);
  const double siteElv = path->ELV_Array().front();

  calc->bMOBMSL(false);
  calc->FACERPdBm(erpDbm);
  calc->FACTXmAGL(r.txAglM);
  calc->FACTXmMSL(siteElv + r.txAglM);
  calc->MOBAntM(r.rxAglM);
  calc->MOBERPdBm(r.rxErpDbm);
  calc->bDetails(r.details);
  calc->sDetails("");
  calc->sDetailUnPwr(r.detailPwr);
  calc->sDetailUnDis(r.detailDis);
  calc->sDetailUnElv(r.detailElv);
  calc->cFAC(fac);
  calc->daHaz(ant.daHaz);
  calc->daHgain(ant.daHgain);
  calc->daVel(ant.daVel);
  calc->daVgain(ant.daVgain);
  calc->cMOB(std::make_shared<FieldCollection>());
  calc->cPathElv(path);
  if (!calc->sOKtoGO().empty()) {
    out.error = Trim(calc->sOKtoGO());
    return out;
  }
  calc->PathElvEnd(path->dEndLat(), path->dEndLon(), path->dPathAz());
  calc->dPathLthM(out.pathLengthM);
  calc->sDetails("");
  calc->CovCalc();

  out.netFieldDbu = calc->dNetField();
  out.freeSpaceDbu = calc->dFreeSpaceFld();
  out.modelLossDb = calc->dModelLoss();
  out.errLevel = calc->lErrLevel();
  out.quantity = calc->ResultQuantity();
  out.unit = calc->ResultUnit();
  out.warnings = calc->Warnings();
  if (out.quantity == "clearance") out.clearance = calc->dNetField();
  if (auto* cx = dynamic_cast<clsQXAreaCovCX*>(calc.get())) {
    out.contourKm = cx->dContourDistKm();
    out.insideContour = cx->bCovered();
  }
  out.rxGroundM = calc->rTgtElvM();
  out.details = calc->sDetails();
  DescribePath(*calc, out);
  if (auto* lr = dynamic_cast<clsQXAreaCovLR*>(calc.get())) {
    out.mode = {lr->sMode1(), lr->sMode2()};
    out.deltaHM = lr->dDeltaHM();
    out.effHeightsM = lr->dHeEffM();
  }
  // A path the model could not compute is a failure, whatever the model.
  if (calc->bErrorRun()) {
    out.error = calc->sPathError().empty()
                    ? "The " + calc->sNameModel() + " model could not compute this path; see the technical-support log"
                    : calc->sPathError();
    return out;
  }
  std::ostringstream prt;
  calc->PrtParameters(prt);
  out.parameters = prt.str();
  out.ok = true;
  return out;
}

}  // namespace zw
