#include "engine/clsRFProp.h"

// The engine's inputs (facility, mobile, profile, switches), the model's
// calculator and the point-to-point run.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "common/FieldSets.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/ProgramDir.h"
#include "platform/terrain/TerrainSource.h"
#include "engine/CalculatorFactory.h"
#include "engine/FacilityCheck.h"
#include "geo/CoordSys.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr const char* kSupportRequest =
    "Please e-mail the technical-support log \"ZWTechSup.TXT\" from the program directory to Pelorin technical "
    "support along with a description of what you were trying to do when this error occurred.";

// The failure text of a run, extended by a pending runtime error.
std::string WithPendingError(std::string text) {
  if (PendingErrorNumber() != 0) {
    text = JoinLines(text, ErrorText("", PendingErrorNumber(), PendingErrorDescription()));
  }
  return text;
}

}  // namespace

clsRFProp::clsRFProp() { Initialize(); }

clsRFProp::~clsRFProp() = default;

void clsRFProp::Initialize() {
  ProcScope proc(kProcRFPropInit);
  cFAC_.reset();
  cMOB_.reset();
  cPropMod_.reset();
  cOBS_.reset();
  cLandUse_.reset();
  proc.Step(1000);
  // The coordinate library gets its data directory from the installation.
  const std::string programDir = ProgramDirectory();
  const std::string dataDir =
      ReadString("CONFIG", "COORDSYS DATA PATH", JoinDir(programDir, "COORDSYS DATA"), SuiteSettingsFile());
  const std::string msg = CoordSysInit(Trim(dataDir));
  if (!msg.empty()) platform::Messages().Information(kCoordDataMissingTitle, msg);
}

void clsRFProp::Report(std::string_view message) const {
  const std::int32_t pending = PendingErrorNumber();
  if (pending != 0) {
    ReportError(pending, PendingErrorDescription(), message, bSilent_);
  } else {
    ReportError(kInputError, message, "", bSilent_);
  }
}

// ---------------------------------------------------------------------------
// Facility and mobile

void clsRFProp::cFAC(std::shared_ptr<FieldCollection> m) {
  ProcScope proc(kProcRFPropFacility);
  cFAC_ = std::move(m);
  sFacMsg_.clear();
  bFacOK_ = false;
  if (!cFAC_) return;
  FieldCollection& f = *cFAC_;
  const FacilityValues v = CheckFacility(f);
  sFacDesc_ = v.desc;
  sFacDatum_ = v.datum;
  iFacDatumCode_ = v.datumCode;
  dFacLat_ = v.lat;
  dFacLon_ = v.lon;
  rFacElv_ = v.siteElv;
  sFacElvUn_ = v.siteElvUn;
  dAntHgt_ = v.antHgt;
  sAntHgtUn_ = v.antHgtUn;
  sAntElMode_ = v.antElMode;
  FACTXmAGL_ = v.txAglM;
  FACTXmMSL_ = v.txMslM;
  dERP_ = v.erp;
  sERPUn_ = v.erpUn;
  FACERPdBm_ = v.erpDbm;
  dFreqMHz_ = v.freqMHz;
  sFacMsg_ = v.message;
  bool refused = v.refused;  // a message that makes the facility unusable
  auto fail = [&](std::string_view msg) {
    AddMessage(sFacMsg_, msg);
    refused = true;
  };

  proc.Step(1800);
  const bool inverted = f.GetBool("TX_A1INVRT");
  // The pattern of an open task is not reloaded below, so a flag set now
  // would not reach it.
  const bool taskOpen = cTask_ != nullptr;  // its antenna comes from the task file
  if (taskOpen && inverted && ant_.HasPattern() && !ant_.bVertInverted) {
    AddMessage(sFacMsg_, "Antenna inverted flag set after pattern loaded.");
  }

  proc.Step(1900);
  if (!taskOpen) {
    const std::string file = Trim(f.GetText("TX_A1FNM"));
    const std::string id = Trim(f.GetText("TX_A1TID"));
    ant_ = clsAntenna{};
    ant_.dOrien = f.GetDouble("TX_A1ORIEN");
    ant_.dETilt = f.GetDouble("TX_A1ETILT");
    ant_.dMTilt = f.GetDouble("TX_A1MTILT");
    ant_.dMDir = f.GetDouble("TX_A1MDIR");
    if (file.empty() || id.empty()) {
      ant_.dGain = ParseDouble(f.GetText("TX_A1GAIN"));
      ant_.sGainUn = f.GetText("TX_A1GNUN");
      ant_.ClearPattern();
      ant_.bInverted = false;
    } else {
      ant_.bInverted = inverted;
      const std::string msg = LoadAntennaFromLibrary(AntennaDirectory(), file, id, "dBd", bSilent_, ant_);
      if (!msg.empty()) {
        fail(msg);
      } else if (inverted && ant_.HasPattern()) {
        // An antenna mounted upside down looks at the negated elevation angles.
        ant_.Invert();
      }
    }
  }

  bFacOK_ = !refused;
  if (!sFacMsg_.empty()) Report(sFacMsg_);
}

void clsRFProp::cMOB(std::shared_ptr<FieldCollection> m) {
  ProcScope proc(kProcRFPropMobile);
  cMOB_ = std::move(m);
  sMobMsg_.clear();
  bMobOK_ = false;
  if (!cMOB_) return;
  FieldCollection& f = *cMOB_;
  FillBlankMobileNumbers(f);

  proc.Step(1000);
  rMobHgt_ = f.GetSingle("TX_A1AGL");
  sMobHgtUn_ = f.GetText("TX_A1AGLUN");
  sMobRef_ = f.GetText("MOB_RXREF");
  bMOBMSL_ = (sMobRef_ == "MSL");
  bool err = false;
  MOBAntM_ = ConvertLength(sMobHgtUn_, "m", static_cast<double>(rMobHgt_), err);
  if (err || !std::isfinite(MOBAntM_)) {
    AddMessage(sMobMsg_, "Error converting Mobile TX Antenna to meters");
  } else if (MOBAntM_ <= 0 && !bMOBMSL_) {
    // Every reference but "MSL" is used as above ground by the calculators.
    AddMessage(sMobMsg_, "Invalid Mobile TX Antenna Height");
  }

  proc.Step(1100);
  const std::string fldUn = f.GetText("RX_A1FLDUN");
  if (fldUn != "dBu") AddMessage(sMobMsg_, "Field strength units for mobile are not in dBu: " + fldUn);

  bMobOK_ = sMobMsg_.empty();
  if (!sMobMsg_.empty()) Report(sMobMsg_);
}

// ---------------------------------------------------------------------------
// Obstructions, land use and the terrain profile

void clsRFProp::OBS_AddFile(const std::string& file) {
  if (!cOBS_) cOBS_ = std::make_shared<clsObstructions>();
  cOBS_->AddFile(file);
}

void clsRFProp::OBS_Use(bool use) {
  if (!cOBS_) cOBS_ = std::make_shared<clsObstructions>();
  cOBS_->bUse(use);
}

void clsRFProp::LU_Use(bool use) {
  if (!cLandUse_) cLandUse_ = std::make_shared<clsLandUse>();
  cLandUse_->bUse(use);
}

void clsRFProp::LU_Template(const std::string& name) {
  if (!cLandUse_) cLandUse_ = std::make_shared<clsLandUse>();
  cLandUse_->sTemplate(name);
}

void clsRFProp::cPathElv(std::shared_ptr<clsPathElv> p) {
  ProcScope proc(kProcRFPropPathElv);
  // Calculators take profiles in metres only.
  if (p && (p->sElvUnits() != "m" || p->sDisUnits() != "m")) {
    p->sElvUnits("m");
    p->sDisUnits("m");
  }
  cPathElv_ = std::move(p);
  bOwnPathElv_ = false;
}

void clsRFProp::EnsurePathElv() {
  if (cPathElv_) return;
  cPathElv_ = std::make_shared<clsPathElv>();
  cPathElv_->sUserLogin(UserLogin());
  bOwnPathElv_ = true;
}

void clsRFProp::ELV_Array(std::vector<float> elv) {
  ProcScope proc(kProcRFPropArrays);
  EnsurePathElv();
  cPathElv_->ELV_Array(std::move(elv));
}

void clsRFProp::ELV_ArrayOBS(std::vector<float> elv) {
  ProcScope proc(kProcRFPropArrays);
  EnsurePathElv();
  cPathElv_->ELV_ArrayOBS(std::move(elv));
}

void clsRFProp::DIS_Array(std::vector<double> dis) {
  ProcScope proc(kProcRFPropArrays);
  EnsurePathElv();
  cPathElv_->DIS_Array(std::move(dis));
}

// ---------------------------------------------------------------------------
// Detail units and the user login

const std::string& clsRFProp::DetailUnit(std::string& stored, const char* key, const char* def) {
  if (Trim(stored).empty()) stored = ReadString("System Units", key, def);
  return stored;
}

const std::string& clsRFProp::sDetailUnPwr() { return DetailUnit(sDetailUnPwr_, "Power Units", "dBm"); }
const std::string& clsRFProp::sDetailUnDis() { return DetailUnit(sDetailUnDis_, "Distance Units", "km"); }
const std::string& clsRFProp::sDetailUnElv() { return DetailUnit(sDetailUnElv_, "Elevation Units", "m"); }

void clsRFProp::OXAUserLogin(const std::string& login) {
  ProcScope proc(kProcRFPropUserLogin);
  SetUserLogin(login);  // also forgets the cached per-user file names
  ResetSystemUnits();   // they were read from the previous user's defaults
  Initialize();
}

// ---------------------------------------------------------------------------
// Model selection and the calculator

std::unique_ptr<clsQXAreaCov> clsRFProp::SetModel() {
  ProcScope proc(kProcRFPropSetModel);
  sModelError_.clear();
  if (Trim(sPropModel_).empty()) {
    const std::string msg = JoinLines("Prop Model has not been assigned.", kSupportRequest, kBlankLine);
    if (!bSilent_) platform::Messages().Information("Invalid Settings", msg);
    // Logged only: the user has just been shown the message.
    ReportError(0, msg, "", true);
    return nullptr;
  }
  proc.Step(1000);
  auto calc = NewCalculator(sPropModel_);
  if (!calc) {
    sModelError_ = "No model is named " + sPropModel_ + " (see `ravoprop models`)";
    return nullptr;
  }

  proc.Step(1100);
  const bool taken = Configure(*calc, Setup());
  sModelError_ = calc->sReadError();
  if (!taken) {
    Report("Error setting Prop model in SetModel Class");
    return nullptr;
  }
  return calc;
}

bool clsRFProp::SetCovModel(std::unique_ptr<clsQXAreaCov> m) {
  ProcScope proc(kProcRFPropCovModel);
  cCovModel_ = std::move(m);
  return cCovModel_ != nullptr;  // false: the caller reports it with its own text
}

CalculatorSetup clsRFProp::Setup() const {
  CalculatorSetup c;
  c.model = sPropModel_;
  c.silent = bSilent_;
  c.propMod = cPropMod_;
  c.fac = cFAC_;
  c.mob = cMOB_;
  c.mobMSL = bMOBMSL_;
  c.facERPdBm = FACERPdBm_;
  c.facTXmAGL = FACTXmAGL_;
  c.facTXmMSL = FACTXmMSL_;
  c.mobAntM = MOBAntM_;
  c.details = bDetails_;
  c.detailUnPwr = sDetailUnPwr_;
  c.detailUnDis = sDetailUnDis_;
  c.detailUnElv = sDetailUnElv_;
  c.haz = ant_.daHaz;
  c.hgain = ant_.daHgain;
  c.vel = ant_.daVel;
  c.vgain = ant_.daVgain;
  c.obs = cOBS_;
  c.landUse = cLandUse_;
  return c;
}

// ---------------------------------------------------------------------------
// Point-to-point run

std::string clsRFProp::RunPathSetup() {
  ProcScope proc(kProcRFPropPathSetup);
  bPathReady_ = false;
  // A failure after the model was chosen: reported, returned.
  auto failed = [this](const std::string& msg) {
    const std::string text = WithPendingError(msg);
    Report(msg);
    return text;
  };

  proc.Step(1000);
  if (!SetCovModel(SetModel())) {
    const std::string msg = std::string(kBlankLine) + "Error setting cCovModel in clsRFProp.RunPathSetup";
    const std::string text = WithPendingError(msg);
    Report(JoinLines("Coverage Area not set in clsRFProp.cCovModel", msg));
    return text;
  }

  // The calculator would run on values that were refused or never given.
  proc.Step(1100);
  if (!cFAC_) return failed("Fixed facility (cFAC) not set in clsRFProp.RunPathSetup");
  if (!bFacOK_) return failed(JoinLines("Fixed facility not accepted:", sFacMsg_));
  if (!cMOB_) return failed("Mobile (cMOB) not set in clsRFProp.RunPathSetup");
  if (!bMobOK_) return failed(JoinLines("Mobile not accepted:", sMobMsg_));
  if (!cPathElv_) {
    return failed("Terrain profile not set in clsRFProp.RunPathSetup: give cPathElv or ELV_Array and DIS_Array");
  }
  if (bOwnPathElv_) {
    const auto& elv = cPathElv_->ELV_Array();
    const auto& dis = cPathElv_->DIS_Array();
    if (elv.size() < 2 || elv.size() != dis.size()) {
      return failed("Terrain profile arrays unusable in clsRFProp.RunPathSetup: ELV_Array holds " +
                    std::to_string(elv.size()) + " points, DIS_Array " + std::to_string(dis.size()) +
                    " (equal counts of at least 2 needed)");
    }
    // A profile handed in as arrays starts at the transmitter.
    cPathElv_->sDatum(sFacDatum_);
    cPathElv_->dStartLat(dFacLat_);
    cPathElv_->dStartLon(dFacLon_);
  }

  // The study's effective earth, for the profile and every model that bends it.
  if (dKCurve_ > 0 && std::isfinite(dKCurve_)) cPathElv_->dKFactor(dKCurve_);

  proc.Step(1200);
  cCovModel_->cPathElv(cPathElv_);

  // Land use for the box of this path: from the transmitter to the target.
  proc.Step(1300);
  if (cLandUse_ && cLandUse_->bUse()) {
    const double lat1 = cPathElv_->dStartLat(), lon1 = cPathElv_->dStartLon();
    const double lat2 = dTgtLat_, lon2 = dTgtLon_;
    cLandUse_->PrepareBox(std::max(lat1, lat2), std::min(lat1, lat2), std::max(lon1, lon2), std::min(lon1, lon2),
                          dFreqMHz_);
  }
  cCovModel_->cLandUse(cLandUse_);

  proc.Step(1400);
  const std::string notReady = cCovModel_->sOKtoGO();
  if (!Trim(notReady).empty()) return notReady;

  proc.Step(1500);
  cCovModel_->PathElvEnd(dTgtLat_, dTgtLon_, dTgtAz_);
  cCovModel_->dPathLthM(dTgtDisKM_ * 1000.0);
  cCovModel_->sDetails("");
  bPathReady_ = true;
  return {};
}

std::string clsRFProp::RunPath() {
  ProcScope proc(kProcRFPropRunPath);
  if (!cCovModel_ || !bPathReady_) {
    const std::string msg = "No path set up in clsRFProp.RunPath: call RunPathSetup before each RunPath";
    Report(msg);
    return msg;
  }
  bPathReady_ = false;

  proc.Step(1000);
  cCovModel_->CovCalc();

  proc.Step(1100);
  std::string text = TransmitAntennaLine();
  text += kLineBreak;
  text += ParameterListing();
  text += kLineBreak;
  text += cCovModel_->sDetails();
  if (ToUpper(cCovModel_->sNameModel().substr(0, 6)) != "SHADOW") {
    text += kLineBreak;
    text += "Net received field: " + FormatNumber(cCovModel_->dNetField(), "#0.00") + " " + "dBu";
  }
  sDetails_ = text;
  dFldDBU_ = cCovModel_->dNetField();
  dFreeSpaceField_ = cCovModel_->dFreeSpaceFld();

  // A path the model could not compute is not a result.
  if (cCovModel_->bErrorRun()) {
    return "The " + cCovModel_->sNameModel() +
           " model could not compute this path; see the details and the technical-support log";
  }
  return {};
}

std::string clsRFProp::TransmitAntennaLine() const {
  // Heights back in the facility's antenna-height unit; metres when that unit is unknown.
  auto height = [this](double metres) {
    bool err = false;
    const double v = ConvertLength("m", sAntHgtUn_, metres, err);
    return err ? FormatNumber(metres, "#0.00") + " m" : FormatNumber(v, "#0.00") + " " + sAntHgtUn_;
  };
  return "TX Ant: " + height(FACTXmMSL_) + " " + "MSL" + " " + "(" + "Site " +
         FormatNumber(rFacElv_, "#0.00") + " " + sFacElvUn_ + " " + "MSL" + " + " + height(FACTXmAGL_) + " " +
         "AGL" + ")" + std::string(kLineBreak);
}

std::string clsRFProp::ParameterListing() {
  // The listing of this run only: earlier runs' listings are not repeated.
  sParamText_.clear();
  std::ostringstream out;
  cCovModel_->PrtParameters(out);
  std::istringstream in(out.str());
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    sParamText_ += kLineBreak;
    sParamText_ += line;
  }
  return sParamText_;
}

std::shared_ptr<platform::TerrainSource> clsRFProp::cTerrain() {
  if (cTerrain_) return cTerrain_;
  // A task that names its terrain has it loaded with the task (TaskTerrainProblem).
  auto t = std::make_shared<platform::TerrainSource>();
  t->Add(TerrainPath());
  cTerrain_ = t;
  return cTerrain_;
}

std::shared_ptr<coverage::ProgressWindow> clsRFProp::ktoProgress() {
  if (!ktoProgress_) ktoProgress_ = std::make_shared<coverage::QuietProgress>();
  return ktoProgress_;
}

}  // namespace zw
