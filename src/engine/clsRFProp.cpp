#include "engine/clsRFProp.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "common/FieldSets.h"
#include "platform/NumberFormat.h"
#include "common/PropTemplate.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/ContourReduction.h"
#include "coverage/CoverageFigures.h"
#include "coverage/ResultsExport.h"
#include "coverage/clsAreaCovPaths.h"
#include "engine/CoverageRun.h"
#include "platform/ProgramDir.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/FileSystem.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskRunLock.h"
#include "tasks/TaskSummary.h"
#include "engine/CalculatorFactory.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

// Error number of an input the engine refuses ("Invalid procedure call or argument").
constexpr std::int32_t kInputError = 5;

// Sanity limits of a facility: no model holds above 100 GHz, and an ERP above
// 150 dBm (1e9 kW) is a typing or unit error, not a transmitter.
constexpr double kMaxFreqMHz = 100000.0;
constexpr double kMaxERPdBm = 150.0;
// Obstruction file names are numbered with three digits.
constexpr int kMaxObstructionFiles = 1000;

constexpr const char* kSupportRequest =
    "Please e-mail the technical-support log \"ZWTechSup.TXT\" from the program directory to Pelorin technical "
    "support along with a description of what you were trying to do when this error occurred.";

// Appends a message to the collected text, a blank line between messages.
void AddMessage(std::string& collected, std::string_view message) {
  collected = JoinLines(collected, message, kBlankLine);
}

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
// Task loading

namespace {

// Why a contour-only model cannot run this study ("" when it can, or when the
// model gives a field): such models serve contour studies of radials only.
std::string ContourOnlyRefusal(const clsQXAreaCov& model, const std::string& taskType, const std::string& summary) {
  if (model.ResultQuantity() != "contour distance") return {};
  const std::string type = Trim(taskType);
  const std::string geometry = summary.size() >= 6 ? ToUpper(summary.substr(3, 3)) : std::string();
  const bool contour = type == "CONTOUR" || type == "Contour";
  if (contour && geometry != "TGT") return {};
  const std::string what = contour ? "a CONTOUR study of target points (TGT)" : "a " + type + " study";
  return "The " + model.sNameModel() + " model (" + model.sNameModel2() +
         ") gives a service-contour distance, not a field: it serves contour studies (task type CONTOUR, "
         "one contour point per radial), not " + what +
         ". Make the task a CONTOUR study of radials or choose a field-strength model.";
}

}  // namespace

void clsRFProp::DropTask() {
  cCovArea_.reset();
  cTask_.reset();
  if (!terrainGiven_) cTerrain_.reset();  // the next task may name its own
}

std::string clsRFProp::TaskTerrainProblem() {
  if (terrainGiven_ || !cTask_) return {};
  const std::string path = Trim(tasks::TaskFile(cTask_->TaskINIFile()).Text("Quick Coverage", "TERRAIN PATH"));
  if (path.empty()) return {};
  auto t = std::make_shared<platform::TerrainSource>();
  const std::string msg = t->Add(path);
  if (t->SourceCount() == 0)
    return "The terrain of the task (Quick Coverage TERRAIN PATH) holds no usable elevation data: " + path +
           (msg.empty() ? std::string() : "\n" + msg);
  cTerrain_ = std::move(t);
  return {};
}

std::string clsRFProp::CheckStudyFile(const std::filesystem::path& taskFile) {
  lTaskID(0);
  cTask_ = std::make_unique<tasks::clsQXTask>(taskFile.parent_path());
  cTask_->SetSilent(true);
  cTask_->SetTaskINIFile(taskFile.string());
  cTask_->sSum = tasks::TaskFile(taskFile).Identity().summary;
  bool reported = false;
  std::string msg = ReadTaskFile(&reported);
  if (msg.empty()) msg = TaskTerrainProblem();
  if (msg.empty()) {
    const auto model = SetModel();
    if (!model)
      msg = JoinLines("The propagation model " + sPropModel_ + " did not take the task's template", sModelError_);
    else
      msg = ContourOnlyRefusal(*model, sTaskType_, cTask_->sSum);
  }
  DropTask();
  return msg;
}

void clsRFProp::lTaskID(std::int32_t id) {
  ProcScope proc(kProcRFPropTaskID);
  lTaskID_ = id;
  sTaskMsg_.clear();
  sTaskType_.clear();
  sTxtFileOut_.clear();
  cQuickCov_.reset();
  dContourPct_ = 0;
  DropTask();
  if (id < 1) return;  // no task: nothing to load

  // A failure leaves no task behind: the area run must not take a half-loaded study.
  auto failed = [&](const std::string& msg, bool reported) {
    sTaskMsg_ = msg;
    if (!reported) Report(msg);
    DropTask();
  };

  proc.Step(1000);
  cTask_ = std::make_unique<tasks::clsQXTask>(std::filesystem::path(sWorkDir_));
  cTask_->SetSilent(bSilent_);
  cTask_->SetTaskID(id);
  if (cTask_->lTaskID() != id) {
    std::string msg = "Task " + tasks::TaskNumberText(id) + " not found in the task database " +
                      cTask_->TablePath().string();
    if (!cTask_->LastError().empty()) msg = JoinLines(msg, cTask_->LastError());
    failed(msg, false);
    return;
  }

  proc.Step(1100);
  bool reported = false;
  if (std::string msg = ReadTaskFile(&reported); !msg.empty()) {
    failed(msg, reported);
    return;
  }

  if (std::string msg = TaskTerrainProblem(); !msg.empty()) {
    failed(msg, false);
    return;
  }

  proc.Step(1200);
  if (!SetCovModel(SetModel())) {
    failed(JoinLines("Error setting cCovModel in clsRFProp.lTaskID", sModelError_), false);
    return;
  }
  // A model that gives only a service-contour distance has nothing to store
  // at a tile, a stepped radial point or a target: refused before any point
  // is generated.
  if (std::string why = ContourOnlyRefusal(*cCovModel_, sTaskType_, cTask_->sSum); !why.empty()) {
    failed(why, false);
    return;
  }

  // The study's points: the generator gets the task and the transmitter
  // here; the area run adds what it needs of the model.
  proc.Step(1300);
  auto paths = std::make_shared<coverage::clsAreaCovPaths>();
  coverage::AreaStudyTask t = coverage::AreaStudyTask::ForNumber(id, cTask_->WorkDir());
  t.iTaskMode = cTask_->GetTaskModeE();
  t.sTaskMode = cTask_->GetTaskMode();
  t.sDesc = cTask_->sDesc;
  t.sSum = cTask_->sSum;
  t.sRDBDesc = cTask_->sRDBDesc;
  t.taskFile = cTask_->TaskINIFile();
  t.pathsFile = cTask_->TaskPathsFile();
  t.bSilent = bSilent_;
  tasks::clsQXTask* task = cTask_.get();  // lives as long as the paths object (DropTask)
  t.writeResultsKeys = [task](const std::vector<std::pair<std::string, std::string>>& keys) {
    tasks::ProfileEdit edit;
    for (const auto& [k, v] : keys) edit.Set("Results Data Base", k, v);
    return task->EditTaskFile(edit);
  };
  paths->SetTask(std::move(t));
  if (cMOB_) paths->SetMOB(*cMOB_);
  paths->SetTaskType(sTaskType_);
  paths->SetTXDesc(sFacDesc_);
  paths->SetTXDatum(sFacDatum_);
  paths->SetTXLat(dFacLat_);
  paths->SetTXLon(dFacLon_);
  paths->SetTXSiteElv(rFacElv_);
  paths->SetTXSiteElvUn(sFacElvUn_);
  paths->SetDirectContourCalc(cCovModel_->bDirectContourCalc());
  cCovArea_ = std::move(paths);
}

std::string clsRFProp::ReadTaskFile(bool* reported) {
  ProcScope proc(kProcRFPropTaskFile);
  *reported = false;
  if (!cTask_) return "No Task to read.";
  const std::string file = cTask_->TaskINIFile();
  const tasks::TaskFile tf(file);
  if (file.empty() || !tf.Exists()) return "Task INI file not found:\n" + file;

  proc.Step(1000);
  const tasks::TaskIdentity ident = tf.Identity();
  if (!Trim(ident.mode).empty() && tasks::ModeFromText(Trim(ident.mode)) == 0) {
    return "Unknown task mode in Task: " + ident.mode;
  }
  sTaskType_ = ident.type;
  sTxtFileOut_ = ident.txtFileOut;

  // The facility, its position converted to its own datum first so that the
  // values derived from it match the map.
  proc.Step(1100);
  auto fac = std::make_shared<FieldCollection>(FieldCollection::FromPairs(tf.FacilityData()));
  {
    const std::string latText = Trim(fac->GetText("DECLAT"));
    const std::string lonText = Trim(fac->GetText("DECLON"));
    double lat = 0, lon = 0;
    if (TryParseDouble(latText, lat) && TryParseDouble(lonText, lon) && lat >= -880.0 && lon >= -880.0) {
      auto systemKey = [](const std::string& name) {
        if (CoordSysIsValid(name)) return name;
        const std::string key = DatumLibKey(name);
        return CoordSysIsValid(key) ? key : std::string("LL");
      };
      const std::string from = systemKey(Trim(fac->GetText("FAC_CSDISP")));
      const std::string datum = Trim(fac->GetText("FAC_DATUM"));
      const std::string to = systemKey(datum);
      const CoordConversion c = ConvertPosition(from, to, lat, lon);
      if (!c.bOK) {
        return JoinLines("Error converting the facility position from " + from + " to " + to + ":", c.sError);
      }
      fac->Set("DECLAT", FormatNumber(c.dLat, "##0.00000"));
      fac->Set("DECLON", FormatNumber(c.dLon, "##0.00000"));
      fac->Set("FAC_DATUM", datum.empty() ? to : datum);
      fac->Set("FAC_LAT", FormatNumber(c.dLat, "##0.00000"));
      fac->Set("FAC_LON", FormatNumber(c.dLon, "##0.00000"));
    }
  }
  cFAC(fac);
  if (!bFacOK_) {
    *reported = true;  // the facility check reported its messages
    return JoinLines("Fixed facility of the task not accepted:", sFacMsg_);
  }

  proc.Step(1200);
  std::string rxMsg;
  auto mob = ReadRxSettings(file, &rxMsg);
  if (!mob) {
    *reported = true;
    return rxMsg;
  }
  cMOB(mob);
  if (!bMobOK_) {
    *reported = true;
    return JoinLines("Mobile of the task not accepted:", sMobMsg_);
  }

  proc.Step(1300);
  cQuickCov_ = std::make_shared<FieldCollection>(FieldCollection::FromPairs(tf.Section("Quick Coverage")));

  proc.Step(1400);
  const PropTemplateResult tpl = BuildPropTemplate(file, "Propagation Model");
  sPropModel_ = tpl.modelName;
  if (Trim(tpl.modelName).empty()) return "Empty Propagation model for Task";
  if (!tpl.map) return tpl.error;
  cPropMod_ = tpl.map;

  proc.Step(1500);
  const tasks::LandUse lu = tf.LandUseSettings();
  cLandUse_ = std::make_shared<clsLandUse>();
  cLandUse_->bUse(lu.include);
  cLandUse_->sTemplate(lu.templateName);

  // Obstruction files are numbered from "File 000"; a file that is missing or
  // holds no obstruction is left out.
  proc.Step(1600);
  const tasks::ObstructionFiles of = tf.Obstructions();
  if (const int n = tf.Int("Obstruction Files", "Num Files", 0); n < 0 || n > kMaxObstructionFiles) {
    return "Invalid Obstruction Files Num Files in Task: " + std::to_string(n) + " (at most " +
           std::to_string(kMaxObstructionFiles) + ")";
  }
  cOBS_ = std::make_shared<clsObstructions>();
  cOBS_->bUse(of.useFiles);
  for (const std::string& name : of.files) {
    const std::string f = Trim(name);
    if (f.empty()) continue;
    // A named table that cannot be used is said so (log and report), not dropped without a word.
    std::string why;
    const long n = clsObstructions::CountRecords(f, &why);
    if (n > 0) {
      cOBS_->AddFile(f);
    } else if (of.useFiles) {
      if (n == 0) why = "Obstruction file " + f + " holds no obstruction";
      why += "; it was left out of the calculations";
      cOBS_->AddWarning(why);
      WriteLogRecord(why, true);
    }
  }

  proc.Step(1700);
  const tasks::QuickCoverage qc = tf.Coverage();
  const tasks::ValueUnit& step = qc.TerrainStep();
  dTopoStep_ = step.value;
  sTopoStepUn_ = step.unit;
  if (!(step.value > 0) || !std::isfinite(step.value) || Trim(step.unit).empty()) {
    return "Invalid Topo Data Step in Task.";
  }

  proc.Step(1800);
  if (std::string msg = LoadTaskAntenna(file); !msg.empty()) return msg;

  proc.Step(1900);
  dKCurve_ = tf.KValue();
  {
    // A text that holds no number would otherwise read as the default K.
    const std::string kText = Trim(tf.Text("Eff Curvature", "K-Value"));
    double k = 0;
    if ((!kText.empty() && !TryParseDouble(kText, k)) || !(dKCurve_ > 0) || !std::isfinite(dKCurve_)) {
      return "Invalid Effective Earth Curvature K-Value in Task: " + kText;
    }
  }
  bDetails_ = ident.Details();
  sDetailUnDis_ = SystemDistanceUnits();
  sDetailUnElv_ = SystemElevationUnits();
  return {};
}

std::string clsRFProp::LoadTaskAntenna(const std::string& taskFile) {
  ProcScope proc(kProcRFPropTaskAntenna);
  clsAntenna ant;
  const std::string msg = LoadAntennaFromProfile(taskFile, "Facility Data", "dBd", ant);
  if (!msg.empty()) return JoinLines("Antenna of the task not loaded:", msg);
  // An antenna mounted upside down looks at the negated elevation angles.
  if (ant.HasPattern() && ant.bInverted) ant.Invert();
  ant_ = std::move(ant);
  return {};
}

std::shared_ptr<FieldCollection> clsRFProp::ReadRxSettings(const std::string& taskFile, std::string* message) {
  ProcScope proc(kProcRFPropRxSettings);
  message->clear();
  const tasks::TaskFile tf(taskFile);
  // The task's own mobile fields, when it has them, under the receive settings.
  auto mob = std::make_shared<FieldCollection>(FieldCollection::FromPairs(tf.MobileData()));

  proc.Step(1000);
  std::istringstream height(tf.Text("RX Facility", "Antenna Height"));
  std::string value, unit, ref;
  height >> value >> unit >> ref;
  if (ref.empty()) ref = "AGL";
  if (value.empty()) {
    mob->Set("TX_A1AGL", std::string());
  } else {
    mob->Set("TX_A1AGL", static_cast<float>(ParseDouble(value)));
  }
  mob->Set("TX_A1AGLUN", unit);
  mob->Set("MOB_RXREF", ref);

  proc.Step(1100);
  const std::string level0 = tf.Text("RX Facility", "Level 0");
  std::string level = tasks::Field(level0, 1), units = tasks::Field(level0, 2), pct = tasks::Field(level0, 3);
  if (level.empty()) level = "0";
  if (pct.empty()) pct = "0";
  mob->Set("RX_A1FLD", ParseDouble(level));
  mob->Set("RX_A1FLDUN", units);
  dContourPct_ = ParseDouble(pct);

  proc.Step(1200);
  const std::string type = ToUpper(Trim(sTaskType_));
  if ((type == "CTR" || type == "CONTOUR") && !(dContourPct_ > 0 && dContourPct_ < 100)) {
    *message = "Contour percent value must be greater than zero and less than 100.\nSetting is " + pct;
  }
  if (!message->empty()) {
    if (!bSilent_) platform::Messages().Information("Invalid or Incomplete RX Settings", *message);
    ReportError(kInputError, *message, "", true);  // logged; the user has seen it
    return nullptr;
  }
  return mob;
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
  bool refused = false;  // a message that makes the facility unusable
  auto fail = [&](std::string_view msg) {
    AddMessage(sFacMsg_, msg);
    refused = true;
  };

  proc.Step(1000);
  // A missing numeric field is refused with the map untouched; the checks
  // below still run so that every derived value belongs to this facility.
  if (const std::string missing = FillBlankFacilityNumbers(f); !missing.empty()) fail(missing);

  proc.Step(1100);
  sFacDesc_ = f.GetText("FAC_DESC");
  // DECLAT is not normalised: blank means no latitude.
  const FieldValue* lat = f.Find("DECLAT");
  dFacLat_ = (!lat || Trim(ToText(*lat)).empty()) ? -888.0 : f.GetDouble("DECLAT");
  dFacLon_ = f.GetDouble("DECLON", -888.0);
  sFacDatum_ = f.GetText("FAC_DATUM");
  // A coordinate text that holds no number (such as "nan") would otherwise read as 0.
  auto notNumber = [&f](const char* key) {
    const std::string text = Trim(f.GetText(key));
    double v = 0;
    return !text.empty() && !TryParseDouble(text, v);
  };
  if (notNumber("DECLAT") || notNumber("DECLON") || !(dFacLat_ >= -880.0) || !(dFacLon_ >= -880.0) ||
      !std::isfinite(dFacLat_) || !std::isfinite(dFacLon_)) {
    // The text as given when it holds no number, so that "nan" is not shown as 0.
    auto shown = [&](const char* key, double value) {
      return notNumber(key) ? Trim(f.GetText(key)) : FormatGeneral(value);
    };
    fail("Invalid Task Fixed Facility Coordinates\n" + shown("DECLAT", dFacLat_) + "\n" + shown("DECLON", dFacLon_));
  }
  proc.Step(1200);
  iFacDatumCode_ = DatumEpsg(DatumLibKey(sFacDatum_));

  proc.Step(1300);
  rFacElv_ = f.GetSingle("FAC_ELV");
  sFacElvUn_ = f.GetText("FAC_ELVUN");
  // A text that holds no number (such as "nan") would otherwise read as 0 m.
  double elvParsed = 0;
  const std::string elvText = Trim(f.GetText("FAC_ELV"));
  const bool elvNotNumber = !elvText.empty() && !TryParseDouble(elvText, elvParsed);
  if (elvNotNumber || !(rFacElv_ >= -30000.0f) || !std::isfinite(rFacElv_) || Trim(sFacElvUn_).empty()) {
    fail("Invalid Task TX Site elevation");
  }

  proc.Step(1400);
  dAntHgt_ = f.GetSingle("TX_A1AGL");
  sAntHgtUn_ = f.GetText("TX_A1AGLUN");
  sAntElMode_ = f.GetText("TX_A1ELMOD");
  bool err = false;
  const double siteInAntUnits = ConvertLength(sFacElvUn_, sAntHgtUn_, static_cast<double>(rFacElv_), err);
  double agl = 0, msl = 0;
  if (sAntElMode_ == "MSL") {
    msl = dAntHgt_;
    agl = dAntHgt_ - siteInAntUnits;
    if (err) fail("Error converting FAC TX MSL Antenna height to AGL");
  } else {
    agl = dAntHgt_;
    msl = dAntHgt_ + siteInAntUnits;
    if (err) fail("Error converting FAC TX Antenna AGL height to MSL");
  }

  proc.Step(1500);
  FACTXmAGL_ = ConvertLength(sAntHgtUn_, "m", agl, err);
  if (err) {
    fail("Error converting FAC TX Antenna AGL to meters");
  } else if (!(FACTXmAGL_ > 0) || !std::isfinite(FACTXmAGL_)) {
    fail("Invalid FAC TX Antenna Height");
  }
  FACTXmMSL_ = ConvertLength(sAntHgtUn_, "m", msl, err);
  if (err) {
    fail("Error converting FAC TX Antenna MSL to meters");
  } else if (!(FACTXmMSL_ > 0) || !std::isfinite(FACTXmMSL_)) {
    fail("Invalid FAC TX Antenna Height");
  }

  proc.Step(1600);
  dERP_ = f.GetDouble("TX_A1ERP");
  sERPUn_ = f.GetText("TX_A1ERPUN");
  if (!(dERP_ >= -88880.0) || !std::isfinite(dERP_) || Trim(sERPUn_).empty()) {
    fail("Invalid FAC TX ERP");
  } else {
    FACERPdBm_ = ConvertPower(sERPUn_, "dBm", dERP_, err);
    if (err || !std::isfinite(FACERPdBm_)) {
      fail("Error converting FAC ERP to dBm");
    } else if (FACERPdBm_ > kMaxERPdBm) {
      fail("Invalid FAC TX ERP: " + FormatGeneral(FACERPdBm_) + " dBm is above " + FormatGeneral(kMaxERPdBm) + " dBm");
    }
  }

  proc.Step(1700);
  dFreqMHz_ = f.GetDouble("TX_FREQMHZ");
  if (!(dFreqMHz_ > 0) || !std::isfinite(dFreqMHz_)) {
    fail("Invalid Task TX Frequency");
  } else if (dFreqMHz_ > kMaxFreqMHz) {
    fail("Invalid Task TX Frequency: " + FormatGeneral(dFreqMHz_) + " MHz is above " + FormatGeneral(kMaxFreqMHz) +
         " MHz");
  }

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
  calc->bSilent(bSilent_);
  calc->cPropMod(cPropMod_);
  sModelError_ = calc->sReadError();
  if (!calc->cPropMod()) {
    Report("Error setting Prop model in SetModel Class");
    return nullptr;
  }
  proc.Step(1200);
  calc->bMOBMSL(bMOBMSL_);
  calc->FACERPdBm(FACERPdBm_);
  calc->FACTXmAGL(FACTXmAGL_);
  calc->FACTXmMSL(FACTXmMSL_);
  calc->MOBAntM(MOBAntM_);
  calc->bDetails(bDetails_);
  calc->sDetails("");
  calc->sDetailUnPwr(sDetailUnPwr_);
  calc->sDetailUnDis(sDetailUnDis_);
  calc->sDetailUnElv(sDetailUnElv_);
  return calc;
}

bool clsRFProp::SetCovModel(std::unique_ptr<clsQXAreaCov> m) {
  ProcScope proc(kProcRFPropCovModel);
  cCovModel_ = std::move(m);
  if (!cCovModel_) return false;  // the caller reports it with its own text
  cCovModel_->cOBS(cOBS_);
  cCovModel_->cFAC(cFAC_);
  cCovModel_->daHaz(ant_.daHaz);
  cCovModel_->daHgain(ant_.daHgain);
  cCovModel_->daVel(ant_.daVel);
  cCovModel_->daVgain(ant_.daVgain);
  cCovModel_->cMOB(cMOB_);
  return true;
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

namespace {

// The permission bits say the file or folder may not be written (also when
// the process could write it anyway, as root can).
bool ReadOnlyBits(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

}  // namespace

std::string clsRFProp::FillRunInputs(const coverage::GeneratedStudy& study, CoverageRunInputs& in) {
  in.study = &study;
  CalculatorSetup& c = in.calc;
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
  c.taskType = sTaskType_;

  PathSetup& ps = in.path;
  ps.terrain = cTerrain();
  ps.login = UserLogin();
  bool err = false;
  ps.stepM = ConvertLength(sTopoStepUn_, "m", dTopoStep_, err);
  // Below 1 m a profile would hold more points than any terrain has samples.
  if (err || !(ps.stepM >= 1.0) || !std::isfinite(ps.stepM)) return "Invalid Topo Data Step in Task.";
  ps.txLat = dFacLat_;
  ps.txLon = dFacLon_;
  ps.datum = sFacDatum_;
  const double siteM = ConvertLength(sFacElvUn_, "m", static_cast<double>(rFacElv_), err);
  ps.txSiteElvM = err ? rFacElv_ : static_cast<float>(siteM);
  ps.obs = cOBS_;
  if (dKCurve_ > 0) ps.kFactor = dKCurve_;
  ps.studyMaxLat = study.maxLat;
  ps.studyMinLat = study.minLat;
  ps.studyMaxLon = study.maxLon;
  ps.studyMinLon = study.minLon;

  in.freqMHz = dFreqMHz_;
  in.threads = iThreads_;
  in.taskId = lTaskID_;
  in.taskDesc = cTask_->sDesc;
  in.computeGroups = groupComputer_;
  return {};
}

std::string clsRFProp::PrepareCovArea(coverage::GeneratedStudy& study, CoverageRunInputs& in) {
  coverage::clsAreaCovPaths* paths = cCovArea_.get();
  if (!paths || !cCovModel_ || !cTask_) return "No coverage study loaded (set lTaskID first)";
  paths->SetDirectContourCalc(cCovModel_->bDirectContourCalc());
  paths->SetThreads(iThreads_);
  if (std::string e = paths->GenerateStudy(study); !e.empty()) return e;
  return FillRunInputs(study, in);
}

std::string clsRFProp::RunCovArea() {
  ProcScope proc(kProcRFPropCovArea);
  lastRun_ = CoverageRunOutcome{};
  coverage::clsAreaCovPaths* paths = cCovArea_.get();
  if (!paths) return "Coverage area not set";
  if (!cCovModel_ || !cTask_) {
    const std::string msg = "No coverage study loaded (set lTaskID first)";
    Report(msg);
    return msg;
  }
  paths->SetDirectContourCalc(cCovModel_->bDirectContourCalc());
  auto fail = [&](const std::string& msg) {
    Report(msg);
    if (ktoProgress_) ktoProgress_->Close();
    ktoProgress_.reset();
    return msg;
  };

  // The study's files are built aside and replace the old ones together at
  // the end; until then the old ones stay exactly as they were.
  proc.Step(900);
  const std::filesystem::path workDir = cTask_->WorkDir();
  tasks::RecoverStudyCommits(workDir);
  tasks::TaskRunLock runLock;
  if (std::string e = runLock.Acquire(workDir, lTaskID_); !e.empty()) return fail(e);
  const std::string rName = tasks::TaskFileName('R', lTaskID_, ".DBF"),
                    tName = tasks::TaskFileName('T', lTaskID_, ".TXT"),
                    sName = tasks::TaskFileName('S', lTaskID_, ".TXT"),
                    iniName = tasks::TaskFileName('T', lTaskID_, ".INI");
  if (ReadOnlyBits(workDir))
    return fail("The work directory " + workDir.string() + " is read-only; the study was not run. Make it writable "
                "or copy the study to a writable directory.");
  for (const auto& name : {rName, tName, sName, iniName}) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(workDir / name, ec)))
      return fail("The path " + (workDir / name).string() + " is a directory; the study's file cannot take its "
                  "place. Remove or rename it to run the study.");
    if (ReadOnlyBits(workDir / name))
      return fail("The file " + (workDir / name).string() + " is read-only; the study was not run and its files "
                  "were not replaced. Make it writable to run the study again.");
  }
  tasks::StudyCommit commit;
  if (std::string e = commit.Begin(workDir, lTaskID_); !e.empty()) return fail(e);
  std::string stageErr;
  const std::filesystem::path taskFile = commit.Stage(iniName, true, &stageErr);
  if (!stageErr.empty()) return fail(stageErr);
  const std::filesystem::path tablePath = commit.Stage(rName);
  const std::filesystem::path reportPath = commit.Stage(tName);
  const std::filesystem::path summaryPath = commit.Stage(sName);

  // The study's points, in memory.
  proc.Step(950);
  coverage::GeneratedStudy study;
  paths->SetThreads(iThreads_);
  if (std::string e = paths->GenerateStudy(study); !e.empty()) {
    if (ktoProgress_) ktoProgress_->Close();
    ktoProgress_.reset();
    return e;
  }
  {
    tasks::ProfileEdit keys;
    for (const auto& [k, v] : study.resultsKeys) keys.Set("Results Data Base", k, v);
    if (std::string e = keys.Apply(taskFile); !e.empty()) return fail(e);
  }

  CoverageRunInputs in;
  if (std::string e = FillRunInputs(study, in); !e.empty()) return fail(e);
  in.progress = ktoProgress();
  in.cancelIsFinal = bCancelIsFinal_;

  // The text report of the study; point details follow it.
  proc.Step(1100);
  std::ofstream report;
  if (const std::string rep = OpenCalcReport(report, reportPath); !rep.empty()) return fail(rep);
  in.details = report.is_open() ? &report : nullptr;

  proc.Step(1200);
  CoverageRunOutcome run = RunCoverageStudy(in);
  std::string result = run.result;
  auto finish = [&](std::string text) {
    if (ktoProgress_) ktoProgress_->Close();
    ktoProgress_.reset();
    if (report.is_open()) report.close();
    run.values.clear();
    run.values.shrink_to_fit();
    lastRun_ = std::move(run);
    return text;
  };
  const bool reached = run.completed || run.cancelled;
  if (!reached) {
    if (!Trim(result).empty()) WriteLogRecord(result, true);
    return finish(result);
  }
  const std::string failures = run.FailureLines(sPropModel_);
  if (run.computed == 0) {
    // Nothing to show for the run: the previous results stay.
    const std::string msg = JoinLines(JoinLines("No point of the study was computed; the previous results of task " +
                                                    std::to_string(lTaskID_) + " were kept.",
                                                failures),
                                      run.missing > 0 ? "Check the terrain data (--dem or the configured terrain)."
                                                      : "");
    WriteLogRecord(msg, true);
    return finish(JoinLines(result, msg, kBlankLine));
  }
  if (run.cancelled) {
    const std::string q = "Task " + std::to_string(lTaskID_) + ": " + FormatNumber(static_cast<double>(run.computed),
                                                                                   "###,###,##0") +
                          " of " + FormatNumber(static_cast<double>(study.points.size()), "###,###,##0") +
                          " points were computed before the cancellation.\n\n\tClick Yes to keep these partial "
                          "results (the study is marked incomplete)\n\tClick No to keep the previous results";
    if (!platform::Messages().YesNo("Keep Partial Results", q, false)) {
      run.cancelled = true;
      return finish(JoinLines(result, "The previous results of task " + std::to_string(lTaskID_) + " were kept.",
                              kBlankLine));
    }
  }
  for (const auto& [idx, moved] : run.moved) study.points[idx] = moved;

  // The results table, written once.
  proc.Step(1250);
  int valueDecimals = -1;
  if (std::string e =
          coverage::WriteStudyTable(tablePath, paths->task()->DataSumFile(), study, &run.values, &valueDecimals);
      !e.empty())
    return finish(fail(JoinLines("The results table could not be written; the previous results were kept.", e)));
  const bool reduceContour = run.completed && sTaskType_ == "CONTOUR" && !run.directContour;
  if (!reduceContour && run.moved.empty()) {
    coverage::StudyResults written;
    std::vector<double> values;
    if (coverage::DescribeStudyInMemory(tablePath, study, run.values, valueDecimals, written, values).empty())
      run.figuresText = coverage::CoverageFiguresText(
          coverage::ComputeCoverageFigures(written, study.points, values, coverage::StudyThreshold(written), {}));
  }

  // Contour from the radial results, for models that give no contours.
  proc.Step(1300);
  if (reduceContour) {
    coverage::ResultsDb rdb(commit.Folder(), lTaskID_, paths->task()->DataSumFile());
    rdb.SetSilent(bSilent_);
    rdb.SetMustExist(true);
    if (std::string e = rdb.RDBSort("ASC", paths->StudyCode()); !e.empty())
      return finish(fail(JoinLines("The contour could not be reduced; the previous results were kept.", e)));
    coverage::ContourRequest req;
    req.studyDesc = cTask_->sRDBDesc;
    req.taskFile = taskFile;
    req.levelDbu = cMOB_ ? cMOB_->GetDouble("RX_A1FLD") : 0.0;
    req.percent = dContourPct_;
    req.txLat = dFacLat_;
    req.txLon = dFacLon_;
    req.listing = in.details;
    req.silent = bSilent_;
    const std::string contour = coverage::ReduceContour(rdb, req);
    result = JoinLines(result, contour, kBlankLine);
    if (std::string e = rdb.Close(); !e.empty())
      return finish(fail(JoinLines("The contour could not be written; the previous results were kept.", e)));
  }

  // Bounds of the study's points (the transmitter site record is not one).
  proc.Step(1400);
  double minLat = 88888, maxLat = -88888, minLon = 88888, maxLon = -88888;
  for (const auto& p : study.points) {
    minLat = std::min(minLat, p.lat);
    maxLat = std::max(maxLat, p.lat);
    minLon = std::min(minLon, p.lon);
    maxLon = std::max(maxLon, p.lon);
  }
  tasks::ProfileEdit bounds;
  bounds.Set("Results Data Base", "MINLAT", FormatGeneral(minLat))
      .Set("Results Data Base", "MAXLAT", FormatGeneral(maxLat))
      .Set("Results Data Base", "MINlon", FormatGeneral(minLon))
      .Set("Results Data Base", "MAXlon", FormatGeneral(maxLon));
  if (std::string e = bounds.Apply(taskFile); !e.empty()) return finish(fail(e));

  // What the run left without a result goes into the report.
  const bool complete = run.completed && failures.empty();
  if (report.is_open()) {
    report << kLineBreak
           << (complete ? "All " + FormatNumber(static_cast<double>(run.computed), "###,###,##0") + " points computed."
                        : "INCOMPLETE STUDY: " + FormatNumber(static_cast<double>(run.computed), "###,###,##0") +
                              " of " + FormatNumber(static_cast<double>(study.points.size()), "###,###,##0") +
                              " points computed.")
           << kLineBreak;
    if (!failures.empty()) report << failures << kLineBreak;
    if (const std::string w = run.WarningLines(); !w.empty()) report << w << kLineBreak;
    report.flush();
    if (!report) return finish(fail("Cannot write the calculation report " + reportPath.string()));
    report.close();
  }

  // Summary.
  proc.Step(1500);
  {
    tasks::SummaryOptions so;
    so.workDir = workDir;
    std::string text;
    const std::string e = tasks::BuildTaskSummary(lTaskID_, tasks::TaskFile(taskFile.string()), &text, so);
    if (!e.empty()) result = JoinLines(result, e);
    if (!text.empty()) {
      std::string why;
      if (!platform::WriteFileAtomic(summaryPath, text, &why))
        return finish(fail("Cannot write the task summary " + summaryPath.string() + ": " + why));
    }
  }

  // Everything in place at once, the task marked done (or incomplete).
  proc.Step(1600);
  tasks::StudyFlags flags;
  flags.locked = complete;
  flags.incomplete = !complete;
  if (std::string e = commit.Commit(flags); !e.empty()) {
    if (!commit.Committed())
      return finish(fail(JoinLines("The study's results could not be put in place; the previous results were kept.", e)));
    result = JoinLines(result, e);
  }
  run.resultsWritten = true;
  run.complete = complete;
  cTask_->bLock = flags.locked;
  cTask_->bAmbiguous = false;
  cTask_->bIncomplete = flags.incomplete;
  cTask_->bUnfinished = false;
  if (!failures.empty()) result = JoinLines(result, failures);
  return finish(result);
}

std::string clsRFProp::OpenCalcReport(std::ofstream& out) {
  if (lTaskID_ < 1 || !cTask_) return OpenCalcReport(out, {});
  const std::filesystem::path file = cTask_->WorkDir() / tasks::TaskFileName('T', lTaskID_, ".TXT");
  // Never written through a link planted at the report's name.
  std::error_code ec;
  if (std::filesystem::is_symlink(file, ec)) {
    const std::string msg = "The calculation report " + file.string() + " is a symbolic link; it was not written";
    Report(msg);
    return msg;
  }
  return OpenCalcReport(out, file);
}

std::string clsRFProp::OpenCalcReport(std::ofstream& out, const std::filesystem::path& file) {
  ProcScope proc(kProcRFPropCalcReport);
  if (out.is_open()) out.close();
  if (lTaskID_ < 1 || !cTask_) {
    const std::string msg = "No task loaded: the calculation report has no task to describe";
    Report(msg);
    return msg;
  }
  if (!cCovModel_) {
    const std::string msg = "No coverage model: the calculation report cannot list the model's parameters";
    Report(msg);
    return msg;
  }
  proc.Step(1000);
  out.open(file, std::ios::binary | std::ios::trunc);
  if (!out) {
    const std::string msg = "Cannot write the calculation report " + file.string();
    Report(msg);
    return msg;
  }

  proc.Step(1100);
  const std::string_view nl = kLineBreak;
  out << GeneralDateNow() << nl;
  out << "Task " << lTaskID_ << "\t" << cTask_->sDesc << nl;
  out << sPropModel_ << " " << sTaskType_ << " Calculations" << nl;
  out << Trim(sFacDesc_) << nl;
  out << FormatNumber(dFreqMHz_, "####0.00000") << " MHz" << nl;
  out << "Site " << CoordText(dFacLat_, "LT") << " " << CoordText(dFacLon_, "LN") << nl;
  out << "     " << FormatNumber(rFacElv_, "####0.00") << sFacElvUn_ << nl;
  out << "     " << nl;
  out << "Transmit: " << FormatNumber(dAntHgt_, "####0.00") << sAntHgtUn_ << " " << sAntElMode_ << nl;
  out << "          " << FormatNumber(dERP_, "####0.00000") << sERPUn_ << " " << "ERP" << nl;
  if (!Trim(ant_.sDesc).empty()) {
    out << "Antenna: " << ant_.sDesc << nl;
    out << "         Orientation " << FormatNumber(ant_.dOrien, "###0.00") << nl;
    if (ant_.dMTilt != 0) {
      out << "           Mech Tilt " << FormatNumber(ant_.dMTilt, "###0.00") << " on Azimuth "
          << FormatNumber(ant_.dMDir, "###0.00") << nl;
    }
    if (ant_.dETilt != 0) out << "           Elec Tilt " << FormatNumber(ant_.dETilt, "###0.00") << nl;
    if (ant_.bInverted) out << "           Inverted" << nl;
  }
  out << "Effective earth curvature " << FormatNumber(dKCurve_, "0.000") << nl;
  if (cOBS_ && cOBS_->bUse() && cOBS_->iFileCount() > 0) {
    out << "     " << nl << "Obstruction files included in calculations:" << nl;
    for (int i = 0; i < cOBS_->iFileCount(); ++i) out << cOBS_->sFileName(i) << nl;
    out << "     " << nl;
  }
  if (cLandUse_ && cLandUse_->bUse() && !Trim(cLandUse_->sTemplate()).empty()) {
    out << "Land Use Data included in calculations;  Template:  " << cLandUse_->sTemplate() << nl;
    out << "     " << nl;
  }
  // Inputs the task names that could not be used are said, not dropped.
  {
    std::vector<std::string> warnings;
    if (cOBS_) warnings = cOBS_->Warnings();
    if (cLandUse_)
      for (const auto& w : cLandUse_->Warnings()) warnings.push_back(w);
    for (const auto& w : warnings) out << "WARNING: " << w << nl;
    if (!warnings.empty()) out << "     " << nl;
  }
  out << "Receive: " << FormatNumber(rMobHgt_, "###0.00") << sMobHgtUn_ << " " << sMobRef_ << nl;
  out << "     " << nl;

  proc.Step(1200);
  cCovModel_->PrtParameters(out);
  out.flush();
  if (!out) {
    out.close();
    const std::string msg = "Error writing the calculation report " + file.string();
    Report(msg);
    return msg;
  }
  if (sDetails_ == "Parameters Only" || sTxtFileOut_ == "Parameters Only") out.close();
  return {};
}

}  // namespace zw
