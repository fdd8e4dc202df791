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
#include "engine/CalculatorSetup.h"
#include "models/terrain/modPropLR.h"
#include "platform/Profile.h"
#include "platform/terrain/TerrainSource.h"
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

namespace {

// The path part of a result (profile, heights, frequency, ERP, land-use loss)
// from a calculator after its CovCalc.
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
}

// The effective earth-radius factor of a path: k as given, else the
// template file's [Eff Curvature] K-Value, else 4/3. "" or why not.
std::string EffectiveEarth(const P2PRequest& r, double& k) {
  if (!(k > 0)) {
    const std::string kText = platform::ProfileGetString("Eff Curvature", "K-Value", "", r.templateFile);
    k = 4.0 / 3.0;
    if (!kText.empty() && !(TryParseDouble(kText, k) && k > 0 && std::isfinite(k))) {
      return "Invalid Effective Earth Curvature K-Value in " + r.templateFile + ": " + kText +
             " (give a number above 0, e.g. 1.333)";
    }
  }
  if (!std::isfinite(k) || !(k > 0)) return "The effective earth-radius factor must be a number above 0, e.g. 1.333";
  return {};
}

// The ERP of a path in dBm (erpDbm), its frequency and antenna heights
// checked. "" or why not.
std::string CheckRadio(const P2PRequest& r, double& erpDbm) {
  bool err = false;
  erpDbm = ConvertPower(r.erpUnit, "dBm", r.erpValue, err);
  if (err) return "Invalid ERP: " + FormatGeneral(r.erpValue) + " " + r.erpUnit;
  if (!(r.freqMHz > 0) || !std::isfinite(r.freqMHz)) return "The frequency must be above 0 MHz";
  if (!std::isfinite(r.txAglM) || !std::isfinite(r.rxAglM)) return "Antenna heights must be numbers";
  return {};
}

// The transmit antenna of a path: gain, and a pattern from a settings file
// or the antenna library, else the mounting given. "" or why not.
std::string TransmitAntenna(const P2PRequest& r, clsAntenna& ant) {
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
  if (!antErr.empty()) return antErr;
  if (r.antennaFile.empty() && r.antennaLib.empty()) {
    ant.dOrien = r.orientation;
    ant.dETilt = r.eTilt;
    ant.dMTilt = r.mTilt;
    ant.dMDir = r.mDir;
    ant.bInverted = r.inverted;
  }
  if (ant.bInverted) ant.Invert();
  return {};
}

// What a request hands the calculator beside the model and its template:
// the transmitter (ERP in dBm, antenna, height above the site's ground
// elevation, m), the receiver and the details.
CalculatorSetup RequestSetup(const P2PRequest& r, const clsAntenna& ant, double erpDbm, double siteElv) {
  CalculatorSetup setup;
  setup.silent = true;
  auto fac = std::make_shared<FieldCollection>();
  fac->Set("TX_FREQMHZ", r.freqMHz);
  fac->Set("TX_A1GAIN", ant.dGain);
  fac->Set("TX_A1GNUN", ant.sGainUn);
  fac->Set("TX_A1ORIEN", ant.dOrien);
  fac->Set("TX_A1ETILT", ant.dETilt);
  fac->Set("TX_A1MTILT", ant.dMTilt);
  fac->Set("TX_A1MDIR", ant.dMDir);
  fac->Set("TX_A1INVRT", ant.bInverted);
  setup.mobMSL = false;
  setup.facERPdBm = erpDbm;
  setup.facTXmAGL = r.txAglM;
  setup.facTXmMSL = siteElv + r.txAglM;
  setup.mobAntM = r.rxAglM;
  setup.mobERPdBm = r.rxErpDbm;
  setup.details = r.details;
  setup.detailUnPwr = r.detailPwr;
  setup.detailUnDis = r.detailDis;
  setup.detailUnElv = r.detailElv;
  setup.fac = fac;
  setup.haz = ant.daHaz;
  setup.hgain = ant.daHgain;
  setup.vel = ant.daVel;
  setup.vgain = ant.daVgain;
  setup.mob = std::make_shared<FieldCollection>();
  return setup;
}

}  // namespace

void HarvestPath(const clsQXAreaCov& calc, P2PResult& out) {
  PathOutcome o = ReadOutcome(calc, true);
  out.model = calc.sNameModel2();
  out.modelName = calc.sNameModel();
  out.netFieldDbu = o.fieldDbu;
  out.freeSpaceDbu = o.freeSpaceDbu;
  out.modelLossDb = o.modelLossDb;
  out.errLevel = o.errLevel;
  out.quantity = calc.ResultQuantity();
  out.unit = calc.ResultUnit();
  out.warnings = std::move(o.warnings);
  if (out.quantity == "clearance") out.clearance = o.fieldDbu;
  const PathExtras x = calc.LastPathExtras();
  out.contourKm = x.contourKm;
  out.insideContour = x.insideContour;
  out.mode = x.mode;
  out.deltaHM = x.deltaHM;
  out.effHeightsM = x.effHeightsM;
  out.rxGroundM = o.rxGroundM;
  out.details = std::move(o.details);
  DescribePath(calc, out);
  out.marks = x.marks;
}

std::string ParameterText(clsQXAreaCov& calc) {
  std::ostringstream prt;
  calc.PrtParameters(prt);
  return prt.str();
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
  // one may be shorter, and the models lay such a profile on even spacing.
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

std::shared_ptr<platform::TerrainSource> OpenTerrain(const std::string& dem, std::string& error) {
  auto t = std::make_shared<platform::TerrainSource>();
  const std::string msg = t->Add(dem);
  if (t->SourceCount() == 0) {
    error = "No usable elevation data in " + dem + (msg.empty() ? "" : ": " + msg);
    return nullptr;
  }
  return t;
}

std::shared_ptr<platform::clsPathElv> TerrainProfile(std::shared_ptr<platform::TerrainSource> terrain,
                                                     const std::string& datum, double fromLat, double fromLon,
                                                     double toLat, double toLon, double stepM, std::string& error) {
  auto path = std::make_shared<platform::clsPathElv>(std::move(terrain));
  if (!datum.empty()) path->sDatum(datum);
  path->dStartLat(fromLat);
  path->dStartLon(fromLon);
  path->dEndLat(toLat);
  path->dEndLon(toLon);
  path->dStep(stepM);
  if (!path->ExtractProfile()) {
    error = path->sMessage().empty() ? "No terrain profile for this path" : path->sMessage();
    return nullptr;
  }
  // Terrain profiles keep their sampling step to the last, shorter
  // interval (the models even the spacing out where they need it), exactly
  // as the area studies sample them.
  if (error = CheckTerrainProfile(path->DIS_Array(), path->ELV_Array()); !error.empty()) return nullptr;
  return path;
}

std::shared_ptr<platform::TerrainSource> P2PContext::Terrain(const std::string& dem, std::string& error) {
  auto it = terrain_.find(dem);
  if (it != terrain_.end()) return it->second;
  auto t = OpenTerrain(dem, error);
  if (t) terrain_[dem] = t;
  return t;
}

std::shared_ptr<platform::clsPathElv> P2PContext::Profile(const P2PRequest& r, std::string& error) {
  std::shared_ptr<platform::clsPathElv> path;
  if (!r.dem.empty()) {
    if (!r.haveFrom || !r.haveTo) {
      error = "Terrain paths need both end points (--from and --to)";
      return nullptr;
    }
    auto terrain = Terrain(r.dem, error);
    if (!terrain) return nullptr;
    return TerrainProfile(terrain, "", r.fromLat, r.fromLon, r.toLat, r.toLon, r.stepM, error);
  } else {
    std::vector<double> d = r.distM;
    std::vector<float> e = r.elevM;
    if (!r.profileCsv.empty()) {
      if (std::string err = ReadProfileCsv(r.profileCsv, d, e); !err.empty()) {
        error = err;
        return nullptr;
      }
    } else if (std::string err = CheckProfile(d, e); !err.empty()) {
      error = err;
      return nullptr;
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
  return path;
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

  // The effective earth: given, else the template file's, else 4/3.
  double k = r.kFactor;
  if (out.error = EffectiveEarth(r, k); !out.error.empty()) return out;
  out.kFactor = k;

  // The profile.
  std::shared_ptr<platform::clsPathElv> path = Profile(r, out.error);
  if (!path) return out;
  path->dKFactor(k);
  out.points = path->iLastPoint() + 1;
  out.pathLengthM = path->DIS_Array().back();

  // Transmitter, antenna and receiver.
  double erpDbm = 0;
  if (out.error = CheckRadio(r, erpDbm); !out.error.empty()) return out;
  clsAntenna ant;
  if (out.error = TransmitAntenna(r, ant); !out.error.empty()) return out;

  CalculatorSetup setup = RequestSetup(r, ant, erpDbm, path->ELV_Array().front());
  setup.model = model;
  setup.propMod = tpl.map;
  if (!Configure(*calc, setup)) {
    out.error = calc->sReadError().empty() ? "The model template was not accepted" : calc->sReadError();
    return out;
  }
  calc->cPathElv(path);
  if (!calc->sOKtoGO().empty()) {
    out.error = Trim(calc->sOKtoGO());
    return out;
  }
  calc->PathElvEnd(path->dEndLat(), path->dEndLon(), path->dPathAz());
  calc->dPathLthM(out.pathLengthM);
  calc->sDetails("");
  calc->CovCalc();
  HarvestPath(*calc, out);
  // A path the model could not compute is a failure, whatever the model.
  if (calc->bErrorRun()) {
    out.error = calc->sPathError().empty()
                    ? "The " + calc->sNameModel() + " model could not compute this path; see the technical-support log"
                    : calc->sPathError();
    return out;
  }
  out.parameters = ParameterText(*calc);
  out.ok = true;
  return out;
}

}  // namespace zw
