#include "engine/clsRFProp.h"

// Loading a stored study: the task file's sections into the engine, the
// model chosen and checked, the study's point generator made.
#include <cmath>
#include <filesystem>
#include <sstream>

#include "common/ErrorHandler.h"
#include "common/FieldSets.h"
#include "common/PropTemplate.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/clsAreaCovPaths.h"
#include "geo/CoordSys.h"
#include "geo/Datum.h"
#include "platform/MessageBox.h"
#include "platform/NumberFormat.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "tasks/TaskCodes.h"

namespace zw {

namespace {

// Obstruction file names are numbered with three digits.
constexpr int kMaxObstructionFiles = 1000;

}  // namespace


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

// The facility's position converted to its own datum (FAC_DATUM), so that
// the values derived from it match the map. "" or why not.
std::string ToFacilityDatum(FieldCollection* fac) {
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
  return {};
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
  cCovArea_ = StudyPaths(id);
}

std::shared_ptr<coverage::clsAreaCovPaths> clsRFProp::StudyPaths(std::int32_t id) {
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
  return paths;
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

  if (std::string e = LoadTaskStations(tf, file, reported); !e.empty()) return e;

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
  if (std::string msg = LoadTaskObstructions(tf); !msg.empty()) return msg;

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
  // A text that holds no number would otherwise read as the default K.
  const std::string kText = Trim(tf.Text("Eff Curvature", "K-Value"));
  double k = 0;
  if ((!kText.empty() && !TryParseDouble(kText, k)) || !(dKCurve_ > 0) || !std::isfinite(dKCurve_)) {
    return "Invalid Effective Earth Curvature K-Value in Task: " + kText;
  }
  bDetails_ = ident.Details();
  sDetailUnDis_ = SystemDistanceUnits();
  sDetailUnElv_ = SystemElevationUnits();
  return {};
}

std::string clsRFProp::LoadTaskStations(const tasks::TaskFile& tf, const std::string& taskFile, bool* reported) {
  // The facility, its position converted to its own datum first so that the
  // values derived from it match the map.
  ProcStep(1100);
  auto fac = std::make_shared<FieldCollection>(FieldCollection::FromPairs(tf.FacilityData()));
  if (std::string e = ToFacilityDatum(fac.get()); !e.empty()) return e;
  cFAC(fac);
  if (!bFacOK_) {
    *reported = true;  // the facility check reported its messages
    return JoinLines("Fixed facility of the task not accepted:", sFacMsg_);
  }

  ProcStep(1200);
  std::string rxMsg;
  auto mob = ReadRxSettings(taskFile, &rxMsg);
  if (!mob) {
    *reported = true;
    return rxMsg;
  }
  cMOB(mob);
  if (!bMobOK_) {
    *reported = true;
    return JoinLines("Mobile of the task not accepted:", sMobMsg_);
  }
  return {};
}

std::string clsRFProp::LoadTaskObstructions(const tasks::TaskFile& tf) {
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

}  // namespace zw
