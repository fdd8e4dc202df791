#include "coverage/clsAreaCovPaths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include <tbb/parallel_sort.h>
#include <tbb/task_arena.h>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/AreaCovGeneration.h"
#include "coverage/ResultsTableWriter.h"
#include "platform/MessageBox.h"
#include "platform/NumberFormat.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace fs = std::filesystem;
using namespace studygen;

namespace {

constexpr const char* kResultsSection = "Results Data Base";

std::string NumberText(std::int32_t n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%07d", static_cast<int>(n));
  return buf;
}

// The geometry of a study code: characters 4 to 6, upper-cased.
std::string Geometry(std::string_view code) { return code.size() >= 6 ? ToUpper(code.substr(3, 3)) : std::string(); }

// A private folder beside the results table for the table being built.
fs::path NewBuildFolder(const fs::path& workDir, std::int32_t id) {
  std::random_device rd;
  char buf[64];
  std::snprintf(buf, sizeof buf, ".R%07d.new-%08x%08x", static_cast<int>(id), rd(), rd());
  // cppcheck-suppress returnDanglingLifetime ; operator/ copies buf into the returned path
  return workDir / buf;
}

}  // namespace

namespace studygen {

std::string AfterBlank(std::string_view text) { return std::string(kLineBreak) + std::string(text); }

std::vector<std::string> SplitFields(std::string_view value) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = value.find('|', start);
    out.emplace_back(value.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

double NumberField(const std::vector<std::string>& f, std::size_t k) {
  if (k < 1 || k > f.size()) return kMissingField;
  const std::string t = Trim(f[k - 1]);
  double v = 0;
  if (t.empty() || !TryParseDouble(t, v)) return kMissingField;
  return v;
}

std::string TextField(const std::vector<std::string>& f, std::size_t k) {
  return k >= 1 && k <= f.size() ? Trim(f[k - 1]) : std::string();
}

std::string CountText(double n) {
  if (!std::isfinite(n) || n >= 1e15) return "more than 1,000,000,000,000,000";
  return FormatNumber(n, "###,###,##0");
}

std::string TooManyPoints(double count, std::int64_t limit, std::string_view hint) {
  return JoinLines(JoinLines("The study would have " + CountText(count) + " points; at most " +
                                 CountText(static_cast<double>(limit)) + " points can be handled.",
                             hint),
                   "Nothing was generated.");
}

std::string Bound(double v) { return FormatNumber(v, "####.000000000"); }

}  // namespace studygen

// ---------------------------------------------------------------- task values

AreaStudyTask AreaStudyTask::ForNumber(std::int32_t number, fs::path workDir) {
  AreaStudyTask t;
  t.lTaskID = number;
  t.iTaskMode = 1;
  t.sTaskMode = "COVERAGE";
  t.workDir = std::move(workDir);
  return t;
}

std::string AreaStudyTask::sTaskID() const { return lTaskID > 0 ? NumberText(lTaskID) : std::string(); }

fs::path AreaStudyTask::TaskFile() const {
  return taskFile.empty() ? workDir / ("T" + NumberText(lTaskID) + ".INI") : taskFile;
}

fs::path AreaStudyTask::PathsFile() const {
  return pathsFile.empty() ? workDir / ("E" + NumberText(lTaskID) + ".INI") : pathsFile;
}

fs::path AreaStudyTask::DataSumFile() const {
  return dataSumFile.empty() ? platform::DefaultDataSumFile() : dataSumFile;
}

// ---------------------------------------------------------------- inputs

clsAreaCovPaths::~clsAreaCovPaths() { CloseRS(); }

void clsAreaCovPaths::SetTask(std::optional<AreaStudyTask> task) {
  CloseRS();
  built_ = false;
  task_ = std::move(task);
}

void clsAreaCovPaths::Widen(double lat, double lon) {
  maxLat_ = std::max(maxLat_, lat);
  minLat_ = std::min(minLat_, lat);
  maxLon_ = std::max(maxLon_, lon);
  minLon_ = std::min(minLon_, lon);
}

void clsAreaCovPaths::SetTXLat(double lat) {
  txLat_ = lat;
  maxLat_ = std::max(maxLat_, lat);
  minLat_ = std::min(minLat_, lat);
}

void clsAreaCovPaths::SetTXLon(double lon) {
  txLon_ = lon;
  maxLon_ = std::max(maxLon_, lon);
  minLon_ = std::min(minLon_, lon);
}

namespace {
void SiteMetres(float elv, const std::string& unit, float& metres) {
  if (unit.empty() || !(std::fabs(elv) < 32000.0f)) return;
  bool err = false;
  const double m = ConvertLength(unit, "m", static_cast<double>(elv), err);
  if (!err) metres = static_cast<float>(m);
}
}  // namespace

void clsAreaCovPaths::SetTXSiteElv(float elv) {
  siteElv_ = elv;
  SiteMetres(siteElv_, siteElvUn_, siteElvM_);
}

void clsAreaCovPaths::SetTXSiteElvUn(std::string unit) {
  siteElvUn_ = std::move(unit);
  SiteMetres(siteElv_, siteElvUn_, siteElvM_);
}

void clsAreaCovPaths::SetProgress(std::shared_ptr<ProgressWindow> p) {
  progress_ = std::move(p);
  ownProgress_ = false;
}

std::shared_ptr<ProgressWindow> clsAreaCovPaths::ktoProgress() {
  if (!progress_) {
    progress_ = std::make_shared<QuietProgress>();
    ownProgress_ = true;
  }
  return progress_;
}

void clsAreaCovPaths::CloseRS() {
  if (rs_) rs_->Close();
  rs_.reset();
  eof_ = true;
}

std::string clsAreaCovPaths::StudyCode() const {
  if (!code_.empty()) return code_;
  if (!task_) return {};
  return ResultsDb::StudyDescCode(task_->sSum, task_->sRDBDesc, direct_);
}

// ---------------------------------------------------------------- recordset

namespace {
std::string CheckTask(const std::optional<AreaStudyTask>& task) {
  if (!task) return "No Task object has been assigned for the Area Coverage Paths function.";
  if (task->iTaskMode != 1)
    return JoinLines(JoinLines("The selected Task is not an Area Coverage Study.",
                               "Task " + task->sTaskID() + " " + task->sTaskMode),
                     task->sDesc);
  return {};
}
}  // namespace

std::string clsAreaCovPaths::ObtainRS() {
  ProcScope proc(kProcCovPathsRS);
  if (auto err = CheckTask(task_); !err.empty()) {
    lastError_ = err;
    ReportError(0, "", err, task_ ? task_->bSilent : true);
    return err;
  }
  if (RSRDB()) return {};
  if (!MakeTaskRDB()) return lastError_.empty() ? "Error creating Task Results Database" : lastError_;
  eof_ = false;
  return {};
}

std::string clsAreaCovPaths::ReadCurrent(double& az, double& dis, double& lat, double& lon) {
  const auto r = rs_->Current();
  if (!r) {
    eof_ = true;
    return {};
  }
  eof_ = false;
  az = r->az;
  dis = r->dis;
  lat = r->lat;
  lon = r->lon;
  return {};
}

std::string clsAreaCovPaths::FirstPoint(double& az, double& dis, double& lat, double& lon) {
  if (auto err = ObtainRS(); !err.empty()) return err;
  rs_->MoveFirst();
  return ReadCurrent(az, dis, lat, lon);
}

std::string clsAreaCovPaths::NextPoint(double& az, double& dis, double& lat, double& lon) {
  if (auto err = ObtainRS(); !err.empty()) return err;
  if (!rs_->Eof()) rs_->MoveNext();
  return ReadCurrent(az, dis, lat, lon);
}

std::string clsAreaCovPaths::UpdateRDBLoc(double dis, double lat, double lon, std::optional<float> elv,
                                          std::optional<double> az) {
  if (auto err = ObtainRS(); !err.empty()) return err;
  return rs_->UpdateRDBLoc(dis, lat, lon, elv, az);
}

std::string clsAreaCovPaths::UpdateRDBRec(double dBu, float elv, std::int16_t luCode, double luLoss,
                                          std::int32_t wrnBits, std::int16_t wrnLvl) {
  if (auto err = ObtainRS(); !err.empty()) return err;
  return rs_->UpdateRDBRec(dBu, elv, luCode, luLoss, wrnBits, wrnLvl);
}

ResultsDb* clsAreaCovPaths::RDBSort(std::string_view direction, std::string_view descCode) {
  if (auto err = CheckTask(task_); !err.empty()) {
    lastError_ = err;
    return nullptr;
  }
  if (!rs_) {
    rs_ = std::make_unique<ResultsDb>(task_->workDir, task_->lTaskID, task_->DataSumFile());
    rs_->SetSilent(task_->bSilent);
    rs_->SetMustExist(built_);
  }
  const std::string code = descCode.empty() ? StudyCode() : std::string(descCode);
  if (auto err = rs_->RDBSort(direction, code); !err.empty()) {
    lastError_ = err;
    rs_.reset();
    eof_ = true;
    return nullptr;
  }
  eof_ = rs_->Eof();
  return rs_.get();
}

// ---------------------------------------------------------------- MakeTaskRDB

std::string clsAreaCovPaths::GenerateStudy(GeneratedStudy& out) {
  ProcScope proc(kProcCovPathsMake);
  lastError_.clear();
  std::string err = CheckTask(task_);
  const bool silent = task_ ? task_->bSilent : true;
  if (!err.empty()) {
    lastError_ = err;
    ReportError(0, "", err, silent);
    return err;
  }
  const AreaStudyTask& t = *task_;
  auto progress = ktoProgress();
  progress->SetCaption("Create Coverage Results Database");
  progress->SetMessage("Creating Database; Task " + t.sTaskID() + std::string(kLineBreak) + t.sDesc);
  progress->SetValue(0);
  progress->Show();
  progress->Yield();

  CloseRS();
  counted_ = 0;
  pointErrors_ = 0;
  out = GeneratedStudy{};
  Generation g;
  g.out = &out;
  g.maxLat = maxLat_;
  g.minLat = minLat_;
  g.maxLon = maxLon_;
  g.minLon = minLon_;
  proc.Step(1);
  err = Generate(g);
  if (!g.pointErrors.empty()) WriteLogRecord(JoinLines(g.pointErrors, ""), true);
  pointErrors_ = g.errors;
  if (ownProgress_) progress->Close();
  if (!err.empty()) {
    out = GeneratedStudy{};
    lastError_ = err;
    ReportError(0, "", err, silent);
    return err;
  }
  out.code = g.code;
  out.siteDesc = "TX SIT" + Trim(txDesc_);
  out.siteLat = txLat_;
  out.siteLon = txLon_;
  out.siteElvM = siteElvM_;
  out.maxLat = g.maxLat;
  out.minLat = g.minLat;
  out.maxLon = g.maxLon;
  out.minLon = g.minLon;
  out.counted = counted_;
  // The task file learns of the study with its results.
  out.resultsKeys = {{"Number", "1"},          {"RDB000", t.sRDBDesc},      {"minLat", Bound(g.minLat)},
                     {"maxLat", Bound(g.maxLat)}, {"minLon", Bound(g.minLon)}, {"maxLon", Bound(g.maxLon)}};
  // Computing order: the table's "DESC" order (azimuth, then each radial
  // from its far end inward; ties keep record order).
  out.order = ComputingOrder(out.points, threads_);
  maxLat_ = g.maxLat;
  minLat_ = g.minLat;
  maxLon_ = g.maxLon;
  minLon_ = g.minLon;
  code_ = g.code;
  return {};
}

// The points come in runs, a radial's points from the transmitter outward:
// the runs are ordered by azimuth, and a run alone on its azimuth is taken
// from its far end; points of runs that share an azimuth are sorted by
// distance. (What one stable sort of every point gives, without sorting them.)
std::vector<std::uint32_t> ComputingOrder(const std::vector<StudyPoint>& pts, int threads) {
  struct Run {
    double az;
    std::uint32_t first, end;
  };
  std::vector<Run> runs;
  for (std::size_t i = 0; i < pts.size();) {
    std::size_t j = i + 1;
    while (j < pts.size() && pts[j].az == pts[i].az && pts[j].disKm > pts[j - 1].disKm) ++j;
    runs.push_back({pts[i].az, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
    i = j;
  }
  // By azimuth, ties in record order: one total order, so that a parallel
  // sort gives what a stable one does (a tile's points are each a run).
  const auto before = [](const Run& a, const Run& b) { return a.az < b.az || (a.az == b.az && a.first < b.first); };
#if !defined(__SANITIZE_THREAD__)  // (libtbb is not built for ThreadSanitizer)
  if (threads > 1 && runs.size() >= 65536) {
    tbb::task_arena(threads).execute([&] { tbb::parallel_sort(runs.begin(), runs.end(), before); });
  } else
#endif
  {
    std::sort(runs.begin(), runs.end(), before);
  }
  std::vector<std::uint32_t> order;
  order.reserve(pts.size());
  for (std::size_t r = 0; r < runs.size();) {
    std::size_t q = r + 1;
    while (q < runs.size() && runs[q].az == runs[r].az) ++q;
    const std::size_t from = order.size();
    for (std::size_t k = r; k < q; ++k)
      for (std::uint32_t i = runs[k].end; i-- > runs[k].first;) order.push_back(i);
    if (q - r > 1)  // runs that share an azimuth: farthest first, ties in record order
      std::sort(order.begin() + static_cast<std::ptrdiff_t>(from), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return pts[a].disKm != pts[b].disKm ? pts[a].disKm > pts[b].disKm : a < b;
      });
    r = q;
  }
  return order;
}

std::string WriteStudyTable(const fs::path& file, const fs::path& dataSumFile, const GeneratedStudy& s,
                            const std::vector<PointValue>* values, const std::function<void(int)>& created,
                            int threads) {
  ResultsTableWriter w;
  if (auto err = w.Create(file, dataSumFile); !err.empty()) return err;
  if (created) created(w.Decimals(ResultsTableWriter::kVal));
  if (auto err = w.AddSkeleton(s.siteDesc, StudyPoint{s.siteLat, s.siteLon, 0, 0}, s.siteElvM); !err.empty())
    return err;
  if (auto err = w.AddAll(s.code, s.points, values, threads); !err.empty()) return err;
  return w.Finish();
}

ResultsDb* clsAreaCovPaths::MakeTaskRDB() {
  ProcScope proc(kProcCovPathsMake);
  GeneratedStudy study;
  std::string err = GenerateStudy(study);
  if (!err.empty()) return nullptr;
  const AreaStudyTask& t = *task_;
  // The table is built in a private folder and takes the old one's place in
  // one rename, once the task file knows of it.
  const fs::path folder = NewBuildFolder(t.workDir, t.lTaskID);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) err = "Cannot create " + folder.string() + ": " + ec.message();
  const fs::path built = folder / ResultsFileName(t.lTaskID);
  if (err.empty()) {
    proc.Step(2);
    if (auto e = WriteStudyTable(built, t.DataSumFile(), study, nullptr); !e.empty())
      err = JoinLines("Error writing RDB Skeleton File", e);
  }
  if (err.empty()) {
    if (t.writeResultsKeys) {
      err = t.writeResultsKeys(study.resultsKeys);
    } else {
      for (const auto& [k, v] : study.resultsKeys)
        if (!platform::ProfileWriteString(kResultsSection, k, v, t.TaskFile())) {
          err = "Cannot write the task file " + t.TaskFile().string();
          break;
        }
    }
  }
  if (err.empty()) {
    proc.Step(3);
    // Not while another program has the old table open.
    const fs::path target = t.workDir / ResultsFileName(t.lTaskID);
    const int fd = ::open(target.c_str(), O_RDWR);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0)
      err = "The results table " + target.string() + " is in use by another program; the study was not replaced.";
    if (err.empty()) {
      fs::rename(built, target, ec);
      if (ec) err = "Cannot replace the results table " + target.string() + ": " + ec.message();
      built_ = !ec;
    }
    if (fd >= 0) ::close(fd);
  }
  fs::remove_all(folder, ec);
  if (err.empty()) {
    proc.Step(4);
    if (!RDBSort("DESC", code_)) err = JoinLines("Error creating Task Results Database", lastError_);
  }
  if (!err.empty()) {
    lastError_ = err;
    CloseRS();
    ReportError(0, "", err, t.bSilent);
    return nullptr;
  }
  return rs_.get();
}

std::string clsAreaCovPaths::Generate(Generation& g) {
  const AreaStudyTask& t = *task_;
  const std::string six = t.sSum.substr(0, std::min<std::size_t>(6, t.sSum.size()));
  const std::string geometry = Geometry(six);
  int kind = 0;
  if (taskType_ == "THRESHOLD (TILE)" || taskType_ == "SHADOW (TILE)") {
    g.code = six;
  } else if (taskType_ == "THRESHOLD (RADIAL)" || taskType_ == "SHADOW (RADIAL)" || taskType_ == "Contour" ||
             taskType_ == "CONTOUR") {
    if (geometry == "TGT") {
      kind = kTargets;
      g.code = six;
      g.code.replace(3, 3, "RAD");
    } else if (direct_) {
      kind = kRadialEnds;
      g.code = geometry == "CTR" ? t.sRDBDesc : six;
    } else {
      kind = kStepped;
      g.code = six;
      if (geometry == "CTR") g.code.replace(3, 3, "RAD");
    }
  } else {
    return "Invalid Task Type: " + taskType_;
  }
  if (Trim(g.code).empty())
    return JoinLines(JoinLines("The study has no description code for its points.", "Task summary: " + t.sSum),
                     "Results description: " + t.sRDBDesc);
  return kind == 0 ? GenerateTiles(g) : GenerateRadials(g, kind);
}

// ---------------------------------------------------------------- shared steps

std::string clsAreaCovPaths::OpenTable(Generation& g, std::int64_t count) {
  const AreaStudyTask& t = *task_;
  if (progress_) progress_->SetMax(count);
  if (count < 1) {
    interval_ = 1000;
  } else {
    const int e = static_cast<int>(std::floor(std::log10(static_cast<double>(count)))) - 2;
    interval_ = 1;
    for (int i = 0; i < e; ++i) interval_ *= 10;
  }
  lastProgress_ = std::chrono::steady_clock::now();
  try {
    g.out->points.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  } catch (const std::bad_alloc&) {
    return "Not enough memory for the " + CountText(static_cast<double>(count)) + " points of the study.";
  }
  if (progress_) progress_->SetMessage(JoinLines(t.sDesc, "Sorting Points for Study"));
  return {};
}

bool clsAreaCovPaths::ProgressCheck(Generation&, std::int64_t n) {
  if (!progress_) return true;
  // The clock is read where the count is shown, and at every 256th point to
  // find a long wait since the last showing (not at each of millions).
  const bool due = n % interval_ == 0 || n < interval_;
  if (due || n % 256 == 0) {
    const auto now = std::chrono::steady_clock::now();
    const bool late = now - lastProgress_ > std::chrono::seconds(10);
    if (due || late) {
      progress_->SetValue(n);
      if (late && interval_ > 10) interval_ /= 2;
      lastProgress_ = now;
      progress_->Yield();
    }
  }
  if (progress_->CancelPressed()) {
    progress_->ClearCancel();
    const std::string text = std::string("Do you want to cancel this study?") + std::string(kBlankLine) +
                             "Click Yes to cancel the study." + std::string(kLineBreak) +
                             "Click No to close this dialog box and continue the study.";
    if (platform::Messages().YesNo("CANCEL?", text, false)) return false;
  }
  return true;
}

}  // namespace zw::coverage
