#pragma once
// The propagation engine: a host creates one per study, hands it the study
// inputs (a task number, or the facility, mobile and model collections and a
// terrain profile), runs a point-to-point path or an area study and reads the
// results back. The engine does no propagation arithmetic itself: it checks
// and converts the inputs, selects the model's calculator and collects its
// outputs.
//
// Calling order: OXAUserLogin first (it clears the collections), then the
// inputs in any order, then RunPathSetup and RunPath once per path.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Antenna.h"
#include "common/FieldCollection.h"
#include "coverage/ProgressWindow.h"
#include "coverage/clsQXAreaCov.h"
#include "engine/CoverageRun.h"
#include "tasks/clsQXTask.h"

namespace zw {

namespace platform {
class TerrainSource;
}
namespace coverage {
class clsAreaCovPaths;
}
namespace tasks {
class StudyCommit;
}

// Procedure numbers of the engine on the procedure trace.
inline constexpr std::int16_t kProcRFPropInit = 5701;
inline constexpr std::int16_t kProcRFPropFacility = 5710;
inline constexpr std::int16_t kProcRFPropMobile = 5711;
inline constexpr std::int16_t kProcRFPropPathElv = 5712;
inline constexpr std::int16_t kProcRFPropArrays = 5713;
inline constexpr std::int16_t kProcRFPropUserLogin = 5720;
inline constexpr std::int16_t kProcRFPropTaskID = 5724;
inline constexpr std::int16_t kProcRFPropTaskFile = 5725;
inline constexpr std::int16_t kProcRFPropTaskAntenna = 5726;
inline constexpr std::int16_t kProcRFPropRxSettings = 5727;
inline constexpr std::int16_t kProcRFPropCalcReport = 5760;
inline constexpr std::int16_t kProcRFPropSetModel = 5730;
inline constexpr std::int16_t kProcRFPropCovModel = 5731;
inline constexpr std::int16_t kProcRFPropPathSetup = 5740;
inline constexpr std::int16_t kProcRFPropRunPath = 5741;
inline constexpr std::int16_t kProcRFPropCovArea = 5750;

class clsRFProp {
 public:
  clsRFProp();
  ~clsRFProp();
  clsRFProp(const clsRFProp&) = delete;
  clsRFProp& operator=(const clsRFProp&) = delete;

  // Inputs.
  // Work directory of the task database, task files and reports; empty (the
  // default) means the configured one. Set it before lTaskID.
  void sWorkDir(std::string dir) { sWorkDir_ = std::move(dir); }
  const std::string& sWorkDir() const { return sWorkDir_; }
  // Loads a stored study; below 1 drops the task.
  void lTaskID(std::int32_t id);
  std::int32_t lTaskID() const { return lTaskID_; }
  // Stores and checks the facility / mobile; the problems found are reported
  // and kept in sFacilityMessage / sMobileMessage.
  void cFAC(std::shared_ptr<FieldCollection> m);
  const std::shared_ptr<FieldCollection>& cFAC() const { return cFAC_; }
  void cMOB(std::shared_ptr<FieldCollection> m);
  const std::shared_ptr<FieldCollection>& cMOB() const { return cMOB_; }
  void cPropMod(std::shared_ptr<FieldCollection> m) { cPropMod_ = std::move(m); }
  const std::shared_ptr<FieldCollection>& cPropMod() const { return cPropMod_; }
  // Obstruction and land-use switches; each creates its object when none is held.
  void OBS_AddFile(const std::string& file);
  void OBS_Use(bool use);
  void LU_Use(bool use);
  void LU_Template(const std::string& name);
  // A terrain profile object; its units are forced to metres.
  void cPathElv(std::shared_ptr<clsPathElv> p);
  const std::shared_ptr<clsPathElv>& cPathElv() const { return cPathElv_; }
  // Ready profile arrays (elevations m, distances m from the transmitter);
  // a profile object is created for them when none is held.
  void ELV_Array(std::vector<float> elv);
  void ELV_ArrayOBS(std::vector<float> elv);
  void DIS_Array(std::vector<double> dis);

  bool bSilent() const { return bSilent_; }
  void bSilent(bool v) { bSilent_ = v; }
  double dTopoStep() const { return dTopoStep_; }
  void dTopoStep(double v) { dTopoStep_ = v; }
  const std::string& sTopoStepUn() const { return sTopoStepUn_; }
  void sTopoStepUn(std::string v) { sTopoStepUn_ = std::move(v); }
  bool bDetails() const { return bDetails_; }
  void bDetails(bool v) { bDetails_ = v; }
  // Detail units fall back to the per-user defaults file when not set.
  const std::string& sDetailUnPwr();
  const std::string& sDetailUnDis();
  const std::string& sDetailUnElv();
  void sDetailUnPwr(std::string v) { sDetailUnPwr_ = std::move(v); }
  void sDetailUnDis(std::string v) { sDetailUnDis_ = std::move(v); }
  void sDetailUnElv(std::string v) { sDetailUnElv_ = std::move(v); }
  double dKCurve() const { return dKCurve_; }
  void dKCurve(double v) { dKCurve_ = v; }
  const std::string& sPropModel() const { return sPropModel_; }
  void sPropModel(std::string v) { sPropModel_ = std::move(v); }
  double dTgtDisKM() const { return dTgtDisKM_; }
  void dTgtDisKM(double v) { dTgtDisKM_ = v; }
  double dTgtLat() const { return dTgtLat_; }
  void dTgtLat(double v) { dTgtLat_ = v; }
  double dTgtLon() const { return dTgtLon_; }
  void dTgtLon(double v) { dTgtLon_ = v; }
  double dTgtAz() const { return dTgtAz_; }
  void dTgtAz(double v) { dTgtAz_ = v; }

  // Runs; each returns "" on success, else the failure text.
  std::string RunPathSetup();
  std::string RunPath();
  // Area studies are not part of this build; returns why.
  std::string RunCovArea();
  // Threads of an area run (1: the calling thread only).
  void iThreads(int n) { iThreads_ = n < 1 ? 1 : n; }
  int iThreads() const { return iThreads_; }
  // Terrain of area runs: the one set here, else the task's own ([Quick
  // Coverage] "TERRAIN PATH"), else the configured or bundled terrain.
  void cTerrain(std::shared_ptr<platform::TerrainSource> t) {
    terrainGiven_ = t != nullptr;
    cTerrain_ = std::move(t);
  }
  std::shared_ptr<platform::TerrainSource> cTerrain();
  // The checks of loading a task (lTaskID) on a task file that has no task
  // record yet (a study being written): facility, receiver, model and its
  // settings, terrain step, antenna, K-value, the task's terrain and the
  // model's study types. "" when the study would load, else the messages.
  std::string CheckStudyFile(const std::filesystem::path& taskFile);
  // The progress window of area runs (a quiet one unless set).
  void ktoProgress(std::shared_ptr<coverage::ProgressWindow> p) { ktoProgress_ = std::move(p); }
  std::shared_ptr<coverage::ProgressWindow> ktoProgress();
  // The loaded task's study generated and the inputs of its run filled as
  // RunCovArea makes them (in.study points at study); nothing is written.
  // "" or why not.
  std::string PrepareCovArea(coverage::GeneratedStudy& study, CoverageRunInputs& in);
  // Set: RunCovArea hands the study's points to it (other processes compute
  // them) instead of to its threads.
  void cGroupComputer(GroupComputer f) { groupComputer_ = std::move(f); }
  // Counts of the last completed area run.
  const CoverageRunOutcome& LastRun() const { return lastRun_; }

  // The calculation report of the loaded task: "T" + number + ".TXT" in the
  // work directory, created or overwritten, holding the study's inputs and
  // the model's parameters. "" with out open for the results to follow, or
  // the failure (nothing written). With the details text "Parameters Only"
  // (or the task's "TXT File Out" set so) the file is closed before returning.
  std::string OpenCalcReport(std::ofstream& out);
  // The same into the given file (the run's staged report).
  std::string OpenCalcReport(std::ofstream& out, const std::filesystem::path& file);
  // A cancel request of the progress window cancels the area run at once
  // (the command line's Ctrl-C) instead of asking first.
  void bCancelIsFinal(bool v) { bCancelIsFinal_ = v; }

  // State of a loaded task (none / empty / 0 without one).
  tasks::clsQXTask* cTask() const { return cTask_.get(); }
  const std::string& sTaskType() const { return sTaskType_; }
  const std::shared_ptr<FieldCollection>& cQuickCov() const { return cQuickCov_; }
  double dContourPct() const { return dContourPct_; }
  const std::shared_ptr<coverage::clsAreaCovPaths>& cCovArea() const { return cCovArea_; }
  // Why the last lTaskID did not load ("" when it loaded or there was no task).
  const std::string& sTaskMessage() const { return sTaskMsg_; }

  // Results of the last RunPath.
  const std::string& sDetails() const { return sDetails_; }
  double dFldDBU() const { return dFldDBU_; }
  double dFreeSpaceField() const { return dFreeSpaceField_; }

  // Sets the process-wide user login; clears the collections (set it first).
  void OXAUserLogin(const std::string& login);

  // The calculator of the last setup (none before one), for callers that read
  // model-specific values of the last path.
  clsQXAreaCov* Calculator() const { return cCovModel_.get(); }
  const std::shared_ptr<clsObstructions>& cOBS() const { return cOBS_; }
  const std::shared_ptr<clsLandUse>& cLandUse() const { return cLandUse_; }
  // The transmit antenna (gain and pattern) of the last facility.
  const clsAntenna& Antenna() const { return ant_; }

  // Values derived from the facility and the mobile.
  double FACERPdBm() const { return FACERPdBm_; }
  double FACTXmAGL() const { return FACTXmAGL_; }
  double FACTXmMSL() const { return FACTXmMSL_; }
  double MOBAntM() const { return MOBAntM_; }
  bool bMOBMSL() const { return bMOBMSL_; }
  double dFacLat() const { return dFacLat_; }
  double dFacLon() const { return dFacLon_; }
  double dFreqMHz() const { return dFreqMHz_; }
  const std::string& sFacDatum() const { return sFacDatum_; }
  int iFacDatumCode() const { return iFacDatumCode_; }
  // Messages of the last facility / mobile assignment ("" when accepted).
  const std::string& sFacilityMessage() const { return sFacMsg_; }
  const std::string& sMobileMessage() const { return sMobMsg_; }

 private:
  // Error number of an input the engine refuses ("Invalid procedure call or argument").
  static constexpr std::int32_t kInputError = 5;

  void Initialize();
  // Reports a failure through the error handler with the engine's silent flag.
  void Report(std::string_view message) const;
  std::unique_ptr<clsQXAreaCov> SetModel();
  bool SetCovModel(std::unique_ptr<clsQXAreaCov> m);
  // What the engine hands its calculators (Configure); no task type.
  CalculatorSetup Setup() const;
  std::string TransmitAntennaLine() const;
  std::string ParameterListing();
  void EnsurePathElv();
  const std::string& DetailUnit(std::string& stored, const char* key, const char* def);
  // Task loading: the task file's sections into the engine. "" or the
  // failure; *reported tells that it was already shown or logged.
  std::string ReadTaskFile(bool* reported);
  std::string LoadTaskAntenna(const std::string& taskFile);
  // The task's fixed facility and mobile, each checked: "" or why not.
  std::string LoadTaskStations(const tasks::TaskFile& tf, const std::string& taskFile, bool* reported);
  // The task's obstruction files (those that hold obstructions): "" or why not.
  std::string LoadTaskObstructions(const tasks::TaskFile& tf);
  // The generator of the loaded task's points, with the task and the transmitter.
  std::shared_ptr<coverage::clsAreaCovPaths> StudyPaths(std::int32_t id);
  // The mobile of [RX Facility]; none with *message set when it is unusable.
  std::shared_ptr<FieldCollection> ReadRxSettings(const std::string& taskFile, std::string* message);
  void DropTask();
  // The task's terrain loaded (when it names one): "" or why it cannot be used.
  std::string TaskTerrainProblem();
  // The staged files of an area run (they replace the old ones together).
  struct StagedFiles {
    std::filesystem::path folder, taskFile, table, report, summary;
  };
  // The study's files checked replaceable and staged in commit: "" or why not.
  std::string StageStudy(const std::filesystem::path& workDir, tasks::StudyCommit& commit, StagedFiles& files);
  // Whether the results of an area run are to be written: false when it did
  // not reach its end, computed nothing, or was cancelled and its partial
  // results are not kept; result then holds the run's text.
  bool ResultsToKeep(CoverageRunOutcome& run, std::size_t points, const std::string& failures, std::string& result);
  // Everything staged put in place at once, the task marked done (or
  // incomplete); a note of the commit goes into result. "" or the failure.
  std::string CommitStudy(tasks::StudyCommit& commit, bool complete, std::string& result);
  // The results table written, the contour reduced (models that give none),
  // the bounds of the points into the task file. "" or the failure.
  std::string WriteStudyResults(coverage::GeneratedStudy& study, CoverageRunOutcome& run, const StagedFiles& files,
                                std::ostream* listing, std::string& result);
  // The task summary; a summary that cannot be built is noted in result.
  // "" or the failure to write it.
  std::string WriteSummary(const std::filesystem::path& workDir, const StagedFiles& files, std::string& result);
  // The run's inputs of a generated study: "" or why it cannot run.
  std::string FillRunInputs(const coverage::GeneratedStudy& study, CoverageRunInputs& in);

  std::int32_t lTaskID_ = 0;
  std::unique_ptr<tasks::clsQXTask> cTask_;
  std::string sWorkDir_;
  int iThreads_ = 1;
  std::shared_ptr<platform::TerrainSource> cTerrain_;
  bool terrainGiven_ = false;  // set by the host: kept across tasks
  std::string sModelError_;    // why the model did not take the template (SetModel)
  std::shared_ptr<coverage::ProgressWindow> ktoProgress_;
  CoverageRunOutcome lastRun_;
  bool bCancelIsFinal_ = false;
  GroupComputer groupComputer_;
  std::string sTaskType_, sTaskMsg_;
  std::string sTxtFileOut_;  // [TASK] "TXT File Out" of the loaded task
  std::shared_ptr<FieldCollection> cQuickCov_;
  double dContourPct_ = 0;
  // Created at task loading for the area run; the run configures it.
  std::shared_ptr<coverage::clsAreaCovPaths> cCovArea_;
  std::shared_ptr<FieldCollection> cFAC_, cMOB_, cPropMod_;
  std::shared_ptr<clsPathElv> cPathElv_;
  bool bOwnPathElv_ = false;  // created here for given arrays
  std::shared_ptr<clsObstructions> cOBS_;
  std::shared_ptr<clsLandUse> cLandUse_;
  std::unique_ptr<clsQXAreaCov> cCovModel_;
  bool bPathReady_ = false;  // a setup succeeded and its path has not run yet
  bool bSilent_ = false, bDetails_ = false;
  double dTopoStep_ = 0;
  std::string sTopoStepUn_;
  std::string sDetailUnPwr_, sDetailUnDis_, sDetailUnElv_;
  double dKCurve_ = 0;
  std::string sPropModel_;
  double dTgtDisKM_ = 0, dTgtLat_ = 0, dTgtLon_ = 0, dTgtAz_ = 0;
  std::string sDetails_, sParamText_;
  double dFldDBU_ = 0, dFreeSpaceField_ = 0;

  // Facility values.
  std::string sFacDesc_, sFacDatum_;
  int iFacDatumCode_ = 0;
  double dFacLat_ = 0, dFacLon_ = 0;
  float rFacElv_ = 0;
  std::string sFacElvUn_;
  double dFreqMHz_ = 0, dAntHgt_ = 0;
  std::string sAntHgtUn_, sAntElMode_;
  double dERP_ = 0;
  std::string sERPUn_;
  double FACERPdBm_ = 0, FACTXmAGL_ = 0, FACTXmMSL_ = 0;
  clsAntenna ant_;
  bool bFacOK_ = false;
  // Mobile values.
  float rMobHgt_ = 0;
  std::string sMobHgtUn_, sMobRef_;
  double MOBAntM_ = 0;
  bool bMOBMSL_ = false;
  bool bMobOK_ = false;
  std::string sFacMsg_, sMobMsg_;
};

}  // namespace zw
