#include "engine/clsRFProp.h"

// The area run of a loaded study: its points generated, computed, and its
// files (results table, report, summary, task file) put in place together.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/ContourReduction.h"
#include "coverage/CoverageFigures.h"
#include "coverage/ResultsDb.h"
#include "coverage/ResultsExport.h"
#include "coverage/clsAreaCovPaths.h"
#include "engine/CoverageRun.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/NumberFormat.h"
#include "platform/terrain/TerrainSource.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskRunLock.h"
#include "tasks/TaskSummary.h"

namespace zw {


namespace {

// The permission bits say the file or folder may not be written (also when
// the process could write it anyway, as root can).
bool ReadOnlyBits(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

// Why the study's files in workDir cannot be replaced ("" when they can).
std::string NotReplaceable(const std::filesystem::path& workDir, std::initializer_list<std::string> names) {
  if (ReadOnlyBits(workDir))
    return "The work directory " + workDir.string() + " is read-only; the study was not run. Make it writable "
           "or copy the study to a writable directory.";
  for (const auto& name : names) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(workDir / name, ec)))
      return "The path " + (workDir / name).string() + " is a directory; the study's file cannot take its "
             "place. Remove or rename it to run the study.";
    if (ReadOnlyBits(workDir / name))
      return "The file " + (workDir / name).string() + " is read-only; the study was not run and its files "
             "were not replaced. Make it writable to run the study again.";
  }
  return {};
}

// The study's keys of its results table into the staged task file: "" or why not.
std::string ApplyResultsKeys(const coverage::GeneratedStudy& study, const std::filesystem::path& taskFile) {
  tasks::ProfileEdit keys;
  for (const auto& [k, v] : study.resultsKeys) keys.Set("Results Data Base", k, v);
  return keys.Apply(taskFile);
}

// The end of the calculation report (when one is open), which is then
// closed: how many points were computed, what the run left without a
// result, the warnings. "" or the failure.
std::string FinishReport(std::ofstream& report, const CoverageRunOutcome& run, const std::string& failures,
                         bool complete, std::size_t points, const std::filesystem::path& reportPath) {
  if (!report.is_open()) return {};
  report << kLineBreak
         << (complete ? "All " + FormatNumber(static_cast<double>(run.computed), "###,###,##0") + " points computed."
                      : "INCOMPLETE STUDY: " + FormatNumber(static_cast<double>(run.computed), "###,###,##0") +
                            " of " + FormatNumber(static_cast<double>(points), "###,###,##0") +
                            " points computed.")
         << kLineBreak;
  if (!failures.empty()) report << failures << kLineBreak;
  if (const std::string w = run.WarningLines(); !w.empty()) report << w << kLineBreak;
  report.flush();
  if (!report) return "Cannot write the calculation report " + reportPath.string();
  report.close();
  return {};
}

}  // namespace

std::string clsRFProp::WriteStudyResults(coverage::GeneratedStudy& study, CoverageRunOutcome& run,
                                         const StagedFiles& files, std::ostream* listing, std::string& result) {
  coverage::clsAreaCovPaths* paths = cCovArea_.get();
  // The results table, written once.
  ProcStep(1250);
  const bool reduceContour = run.completed && sTaskType_ == "CONTOUR" && !run.directContour;
  // The coverage figures (from the values as the table holds them) are
  // worked out while the table is written, on a thread of their own when the
  // run may use more than one (else after the table).
  std::future<std::string> figures;
  const auto startFigures = [&](int valueDecimals) {
    if (reduceContour || !run.moved.empty()) return;
    const auto policy =
        paths->Threads() > 1 ? std::launch::async | std::launch::deferred : std::launch::deferred;
    figures = std::async(policy, [&study, &run, &files, valueDecimals] {
      coverage::StudyResults written;
      std::vector<double> values;
      if (!coverage::DescribeStudyInMemory(files.table, study, run.values, valueDecimals, written, values).empty())
        return std::string();
      return coverage::CoverageFiguresText(
          coverage::ComputeCoverageFigures(written, study.points, values, coverage::StudyThreshold(written), {}));
    });
  };
  const std::string written = coverage::WriteStudyTable(files.table, paths->task()->DataSumFile(), study,
                                                        &run.values, startFigures, paths->Threads());
  if (!written.empty())  // (figures not started, or left unread)
    return JoinLines("The results table could not be written; the previous results were kept.", written);
  if (figures.valid()) run.figuresText = figures.get();

  // Contour from the radial results, for models that give no contours.
  ProcStep(1300);
  if (reduceContour) {
    coverage::ResultsDb rdb(files.folder, lTaskID_, paths->task()->DataSumFile());
    rdb.SetSilent(bSilent_);
    rdb.SetMustExist(true);
    if (std::string e = rdb.RDBSort("ASC", paths->StudyCode()); !e.empty())
      return JoinLines("The contour could not be reduced; the previous results were kept.", e);
    coverage::ContourRequest req;
    req.studyDesc = cTask_->sRDBDesc;
    req.taskFile = files.taskFile;
    req.levelDbu = cMOB_ ? cMOB_->GetDouble("RX_A1FLD") : 0.0;
    req.percent = dContourPct_;
    req.txLat = dFacLat_;
    req.txLon = dFacLon_;
    req.listing = listing;
    req.silent = bSilent_;
    const std::string contour = coverage::ReduceContour(rdb, req);
    result = JoinLines(result, contour, kBlankLine);
    if (std::string e = rdb.Close(); !e.empty())
      return JoinLines("The contour could not be written; the previous results were kept.", e);
  }

  // Bounds of the study's points (the transmitter site record is not one).
  ProcStep(1400);
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
  if (std::string e = bounds.Apply(files.taskFile); !e.empty()) return e;
  return {};
}

std::string clsRFProp::WriteSummary(const std::filesystem::path& workDir, const StagedFiles& files,
                                    std::string& result) {
  tasks::SummaryOptions so;
  so.workDir = workDir;
  std::string text;
  const std::string e = tasks::BuildTaskSummary(lTaskID_, tasks::TaskFile(files.taskFile.string()), &text, so);
  if (!e.empty()) result = JoinLines(result, e);
  if (!text.empty()) {
    std::string why;
    if (!platform::WriteFileAtomic(files.summary, text, &why))
      return "Cannot write the task summary " + files.summary.string() + ": " + why;
  }
  return {};
}

std::string clsRFProp::StageStudy(const std::filesystem::path& workDir, tasks::StudyCommit& commit,
                                  StagedFiles& files) {
  const std::string rName = tasks::TaskFileName('R', lTaskID_, ".DBF"),
                    tName = tasks::TaskFileName('T', lTaskID_, ".TXT"),
                    sName = tasks::TaskFileName('S', lTaskID_, ".TXT"),
                    iniName = tasks::TaskFileName('T', lTaskID_, ".INI");
  if (std::string e = NotReplaceable(workDir, {rName, tName, sName, iniName}); !e.empty()) return e;
  if (std::string e = commit.Begin(workDir, lTaskID_); !e.empty()) return e;
  std::string stageErr;
  files.taskFile = commit.Stage(iniName, true, &stageErr);
  if (!stageErr.empty()) return stageErr;
  files.table = commit.Stage(rName);
  files.report = commit.Stage(tName);
  files.summary = commit.Stage(sName);
  files.folder = commit.Folder();
  return {};
}

bool clsRFProp::ResultsToKeep(CoverageRunOutcome& run, std::size_t points, const std::string& failures,
                              std::string& result) {
  const bool reached = run.completed || run.cancelled;
  if (!reached) {
    if (!Trim(result).empty()) WriteLogRecord(result, true);
    return false;
  }
  if (run.computed == 0) {
    // Nothing to show for the run: the previous results stay.
    const std::string msg = JoinLines(JoinLines("No point of the study was computed; the previous results of task " +
                                                    std::to_string(lTaskID_) + " were kept.",
                                                failures),
                                      run.missing > 0 ? "Check the terrain data (--dem or the configured terrain)."
                                                      : "");
    WriteLogRecord(msg, true);
    result = JoinLines(result, msg, kBlankLine);
    return false;
  }
  if (run.cancelled) {
    const std::string q = "Task " + std::to_string(lTaskID_) + ": " + FormatNumber(static_cast<double>(run.computed),
                                                                                   "###,###,##0") +
                          " of " + FormatNumber(static_cast<double>(points), "###,###,##0") +
                          " points were computed before the cancellation.\n\n\tClick Yes to keep these partial "
                          "results (the study is marked incomplete)\n\tClick No to keep the previous results";
    if (!platform::Messages().YesNo("Keep Partial Results", q, false)) {
      run.cancelled = true;
      result = JoinLines(result, "The previous results of task " + std::to_string(lTaskID_) + " were kept.",
                         kBlankLine);
      return false;
    }
  }
  return true;
}

std::string clsRFProp::CommitStudy(tasks::StudyCommit& commit, bool complete, std::string& result) {
  tasks::StudyFlags flags;
  flags.locked = complete;
  flags.incomplete = !complete;
  if (std::string e = commit.Commit(flags); !e.empty()) {
    if (!commit.Committed())
      return JoinLines("The study's results could not be put in place; the previous results were kept.", e);
    result = JoinLines(result, e);
  }
  cTask_->bLock = flags.locked;
  cTask_->bAmbiguous = false;
  cTask_->bIncomplete = flags.incomplete;
  cTask_->bUnfinished = false;
  return {};
}

std::string clsRFProp::FillRunInputs(const coverage::GeneratedStudy& study, CoverageRunInputs& in) {
  in.study = &study;
  in.calc = Setup();
  // The area run's calculators take the study's task type (the engine's own
  // point-to-point calculator does not: a path is no contour study).
  in.calc.taskType = sTaskType_;

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

// One transaction from the run lock to the commit: the lock, the staged files
// and the report stream live for the whole run, so its steps stay in one body.
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
  tasks::StudyCommit commit;
  StagedFiles files;
  if (std::string e = StageStudy(workDir, commit, files); !e.empty()) return fail(e);

  // The study's points, in memory.
  proc.Step(950);
  coverage::GeneratedStudy study;
  paths->SetThreads(iThreads_);
  if (std::string e = paths->GenerateStudy(study); !e.empty()) {
    if (ktoProgress_) ktoProgress_->Close();
    ktoProgress_.reset();
    return e;
  }
  if (std::string e = ApplyResultsKeys(study, files.taskFile); !e.empty()) return fail(e);

  CoverageRunInputs in;
  if (std::string e = FillRunInputs(study, in); !e.empty()) return fail(e);
  in.progress = ktoProgress();
  in.cancelIsFinal = bCancelIsFinal_;

  // The text report of the study; point details follow it.
  proc.Step(1100);
  std::ofstream report;
  if (const std::string rep = OpenCalcReport(report, files.report); !rep.empty()) return fail(rep);
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
  const std::string failures = run.FailureLines(sPropModel_);
  if (!ResultsToKeep(run, study.points.size(), failures, result)) return finish(result);
  for (const auto& [idx, moved] : run.moved) study.points[idx] = moved;

  if (std::string e = WriteStudyResults(study, run, files, in.details, result); !e.empty())
    return finish(fail(e));

  // What the run left without a result goes into the report.
  const bool complete = run.completed && failures.empty();
  if (std::string e = FinishReport(report, run, failures, complete, study.points.size(), files.report); !e.empty())
    return finish(fail(e));

  // Summary.
  proc.Step(1500);
  if (std::string e = WriteSummary(workDir, files, result); !e.empty()) return finish(fail(e));

  // Everything in place at once, the task marked done (or incomplete).
  proc.Step(1600);
  if (std::string e = CommitStudy(commit, complete, result); !e.empty()) return finish(fail(e));
  run.resultsWritten = true;
  run.complete = complete;
  if (!failures.empty()) result = JoinLines(result, failures);
  return finish(result);
}

}  // namespace zw
