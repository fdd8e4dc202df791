#include "coverage/clsAreaCovPaths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include "common/ErrorHandler.h"
#include "common/calcMiscMath.h"
#include "coverage/ResultsTableWriter.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/Geodesic.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/terrain/BnaPolygon.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

constexpr int kStepped = 1, kRadialEnds = 2, kTargets = 3;
constexpr int kMaxPointErrors = 100;
constexpr const char* kResultsSection = "Results Data Base";

std::string NumberText(std::int32_t n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%07d", static_cast<int>(n));
  return buf;
}

// "" + line break + text: the message starts on a new line.
std::string AfterBlank(std::string_view text) { return std::string(kLineBreak) + std::string(text); }

// The geometry of a study code: characters 4 to 6, upper-cased.
std::string Geometry(std::string_view code) { return code.size() >= 6 ? ToUpper(code.substr(3, 3)) : std::string(); }

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

// Field k (from 1) as a number; a missing field, or one holding no number at
// all, reads as the missing-number value.
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

// One radial line of the paths file.
struct RadialLine {
  bool isRadial = false;
  std::string line;
  std::vector<std::string> fields;
  double az = kMissingField, dist = kMissingField, lat = kMissingField, lon = kMissingField;
  std::string unit;
  bool Usable() const { return isRadial && !fields.empty() && az >= -360 && dist > 0; }
};

RadialLine ParseRadial(std::string line) {
  RadialLine r;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  r.line = line;
  if (line.size() < 4 || ToUpper(line.substr(0, 4)) != "PATH") return r;
  r.isRadial = true;
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return r;
  const std::size_t eq2 = line.find('=', eq + 1);
  const std::string value = line.substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1);
  if (Trim(value).empty()) return r;
  r.fields = SplitFields(value);
  r.az = NumberField(r.fields, 4);
  r.dist = NumberField(r.fields, 7);
  r.unit = TextField(r.fields, 8);
  r.lat = NumberField(r.fields, 9);
  r.lon = NumberField(r.fields, 10);
  return r;
}

// Calls fn for every line of the file in order; false when it cannot be read.
template <class Fn>
bool ForEachLine(const fs::path& file, Fn&& fn) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    first = false;
    if (!fn(ParseRadial(line))) break;
  }
  return !in.bad();
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

// A private folder beside the results table for the table being built.
fs::path NewBuildFolder(const fs::path& workDir, std::int32_t id) {
  std::random_device rd;
  char buf[64];
  std::snprintf(buf, sizeof buf, ".R%07d.new-%08x%08x", static_cast<int>(id), rd(), rd());
  // cppcheck-suppress returnDanglingLifetime ; operator/ copies buf into the returned path
  return workDir / buf;
}

}  // namespace

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

// ---------------------------------------------------------------- generation state

struct clsAreaCovPaths::Generation {
  GeneratedStudy* out = nullptr;
  std::string code;
  std::int64_t written = 0;
  std::int32_t errors = 0;
  std::string pointErrors;
  double maxLat, minLat, maxLon, minLon;
  // A point as the table will hold it.
  void Add(double lat, double lon, double az, double dis) {
    StudyPoint p{RoundToDecimals(lat, 7), RoundToDecimals(lon, 7), RoundToDecimals(az, 3), RoundToDecimals(dis, 5)};
    out->points.push_back(p);
    maxLat = std::max(maxLat, p.lat);
    minLat = std::min(minLat, p.lat);
    maxLon = std::max(maxLon, p.lon);
    minLon = std::min(minLon, p.lon);
    ++written;
  }
};

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
  out.order.resize(out.points.size());
  for (std::size_t i = 0; i < out.order.size(); ++i) out.order[i] = static_cast<std::uint32_t>(i);
  const auto& pts = out.points;
  std::stable_sort(out.order.begin(), out.order.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (pts[a].az != pts[b].az) return pts[a].az < pts[b].az;
    return pts[a].disKm > pts[b].disKm;
  });
  maxLat_ = g.maxLat;
  minLat_ = g.minLat;
  maxLon_ = g.maxLon;
  minLon_ = g.minLon;
  code_ = g.code;
  return {};
}

std::string WriteStudyTable(const fs::path& file, const fs::path& dataSumFile, const GeneratedStudy& s,
                            const std::vector<PointValue>* values, int* valueDecimals) {
  ResultsTableWriter w;
  if (auto err = w.Create(file, dataSumFile); !err.empty()) return err;
  if (valueDecimals) *valueDecimals = w.Decimals(ResultsTableWriter::kVal);
  if (auto err = w.AddSkeleton(s.siteDesc, StudyPoint{s.siteLat, s.siteLon, 0, 0}, s.siteElvM); !err.empty())
    return err;
  for (std::size_t i = 0; i < s.points.size(); ++i) {
    const std::string err = values ? w.Add(s.code, s.points[i], (*values)[i]) : w.AddSkeleton(s.code, s.points[i]);
    if (!err.empty()) return err;
  }
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
  const auto now = std::chrono::steady_clock::now();
  const bool late = now - lastProgress_ > std::chrono::seconds(10);
  if (n % interval_ == 0 || n < interval_ || late) {
    progress_->SetValue(n);
    if (late && interval_ > 10) interval_ /= 2;
    lastProgress_ = now;
    progress_->Yield();
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

// ---------------------------------------------------------------- radials

std::string clsAreaCovPaths::GenerateRadials(Generation& g, int kind) {
  ProcScope proc(kProcCovPathsRadials);
  const AreaStudyTask& t = *task_;
  const fs::path paths = t.PathsFile();
  std::error_code ec;
  if (!fs::is_regular_file(paths, ec))
    return JoinLines(AfterBlank("Paths file not found"), paths.string());
  const std::string distError = kind == kTargets ? "Error computing target point distance"
                                                 : "Error converting radial distance";

  // The step between points along a radial.
  double stepKm = 0;
  if (kind == kStepped) {
    const std::string raw = platform::ProfileGetString("Quick Coverage", "ADV RAD STEP COV", "", t.TaskFile());
    const auto f = SplitFields(raw);
    const double step = NumberField(f, 1);
    if (!(step > 0))
      return JoinLines(JoinLines("Invalid radial step", "ADV RAD STEP COV: " + raw), t.TaskFile().string());
    bool err = false;
    stepKm = ConvertLength(TextField(f, 2), "km", step, err);
    if (err || !(stepKm > 0) || !std::isfinite(stepKm))
      return JoinLines("Error converting radial Step", "ADV RAD STEP COV: " + raw);
  }

  // First pass: how many points, and every radial's distance readable.
  double count = 0;
  std::int64_t radials = 0;
  std::string err;
  proc.Step(1);
  const bool read = ForEachLine(paths, [&](const RadialLine& r) {
    if (!r.Usable()) return true;
    bool cerr = false;
    const double km = ConvertLength(r.unit, "km", r.dist, cerr);
    if (cerr || !std::isfinite(km) || !(km > 0)) {
      err = JoinLines(distError, r.line);
      return false;
    }
    ++radials;
    count = kind == kStepped ? std::nearbyint(count + km / stepKm) : count + 1;
    if (!(count <= static_cast<double>(maxPoints_))) {
      err = TooManyPoints(count, maxPoints_, "Use a larger step or fewer or shorter radials.");
      return false;
    }
    return true;
  });
  if (!read) return JoinLines("Cannot read the paths file", paths.string());
  if (!err.empty()) return err;
  if (radials == 0)
    return JoinLines(JoinLines("The paths file holds no usable radials (PATH lines with an azimuth and a length).",
                               paths.string()),
                     "Nothing was generated.");
  counted_ = static_cast<std::int64_t>(count);

  proc.Step(2);
  if (kind == kTargets) {
    // Target points make no progress of their own.
    auto keep = std::move(progress_);
    err = OpenTable(g, static_cast<std::int64_t>(count));
    progress_ = std::move(keep);
  } else {
    err = OpenTable(g, static_cast<std::int64_t>(count));
  }
  if (!err.empty()) return err;

  // Second pass: the points.
  proc.Step(3);
  std::int64_t n = 0;
  bool cancelled = false;
  auto point = [&](double az, double dis, double lat, double lon, bool computed) {
    if (!computed) {
      g.pointErrors += AfterBlank("Error computing target coordinates for radial");
      ++g.errors;
      return;
    }
    g.Add(lat, lon, az, dis);
  };
  // The lines in file order; their points are worked out in parallel, a
  // block of lines at a time, and taken over in order.
  struct Radial {
    double az = 0, km = 0, lat = 0, lon = 0;
    std::string line;
    std::vector<StudyPoint> pts;  // positions; disKm < 0 marks a failed one
  };
  std::vector<Radial> lines;
  ForEachLine(paths, [&](const RadialLine& r) {
    if (!r.Usable()) return true;
    bool cerr = false;
    const double km = ConvertLength(r.unit, "km", r.dist, cerr);
    if (cerr) {
      err = JoinLines(distError, r.line);
      return false;
    }
    lines.push_back({r.az, km, r.lat, r.lon, r.line, {}});
    return true;
  });
  if (!err.empty()) return err;
  auto makePoints = [&](Radial& r) {
    r.pts.clear();
    // Multiples of the step (not a running sum, which drifts and can lose
    // the last point), none at the transmitter.
    const double limit = r.km * (1 + 1e-9);
    for (std::int64_t i = 1;; ++i) {
      double dis = kind == kStepped ? static_cast<double>(i) * stepKm : r.km;
      if (kind == kStepped && dis > limit) break;
      dis = std::min(dis, r.km);
      double lat = 0, lon = 0;
      const bool ok = Geodesic::ForwardKm(txLat_, txLon_, r.az, dis, lat, lon);
      r.pts.push_back({lat, lon, r.az, ok ? dis : -1.0});
      if (kind == kRadialEnds) break;
    }
  };
  tbb::task_arena arena(std::max(1, threads_));
  constexpr std::size_t kBlock = 64;
  for (std::size_t b0 = 0; b0 < lines.size() && !cancelled && g.errors <= kMaxPointErrors; b0 += kBlock) {
    const std::size_t b1 = std::min(lines.size(), b0 + kBlock);
    if (kind != kTargets) {
#if defined(__SANITIZE_THREAD__)
      for (std::size_t k = b0; k < b1; ++k) makePoints(lines[k]);
#else
      arena.execute([&] { tbb::parallel_for(b0, b1, [&](std::size_t k) { makePoints(lines[k]); }); });
#endif
    }
    for (std::size_t k = b0; k < b1 && !cancelled && g.errors <= kMaxPointErrors; ++k) {
      Radial& r = lines[k];
      if (kind == kTargets) {
        const bool ok = r.lat >= -90 && r.lat <= 90 && r.lon >= -360 && r.lon <= 360;
        if (!ok) g.pointErrors += AfterBlank(JoinLines("Target point without a latitude and longitude:", r.line));
        point(r.az, r.km, r.lat, r.lon, ok);
        continue;
      }
      for (const auto& p : r.pts) {
        if (!ProgressCheck(g, ++n)) {
          cancelled = true;
          break;
        }
        point(r.az, p.disKm, p.lat, p.lon, p.disKm >= 0);
        if (g.errors > kMaxPointErrors) break;
      }
      r.pts = {};
    }
  }
  if (cancelled) return "Radial study cancelled by user";
  if (!err.empty()) return err;
  if (g.errors > kMaxPointErrors)
    return "Errors on more than " + std::to_string(kMaxPointErrors) + " points." + std::string(kLineBreak) +
           "Details are in the Tech Support Log file:" + std::string(kLineBreak) + TechSupportLogPath();
  if (g.written == 0) return JoinLines("No point of the study could be computed.", g.pointErrors);
  return {};
}

// ---------------------------------------------------------------- tiles

std::string clsAreaCovPaths::GenerateTiles(Generation& g) {
  ProcScope proc(kProcCovPathsTiles);
  const AreaStudyTask& t = *task_;
  const fs::path file = t.TaskFile();
  auto number = [&](const char* key, const char* def) {
    return ParseDouble(platform::ProfileGetString("Elevation Data", key, def, file));
  };
  const double north = number("elt_nlat", "-888"), south = number("elt_slat", "888");
  const double east = number("elt_elon", "-888"), west = number("elt_wlon", "888");
  if (!(north > south && east > west))
    return JoinLines(JoinLines("Invalid Tile limits", Bound(south) + " to " + Bound(north)),
                     Bound(west) + " to " + Bound(east));

  const double nsStep = number("elt_nsS", "-88"), ewStep = number("elt_ewS", "-88");
  const std::string nsUnit = platform::ProfileGetString("Elevation Data", "elt_nsSun", "", file);
  const std::string ewUnit = platform::ProfileGetString("Elevation Data", "elt_ewSun", "", file);
  if (!(nsStep > 0 && ewStep > 0 && !nsUnit.empty() && !ewUnit.empty()))
    return JoinLines(JoinLines("Invalid Tile steps", "NS: " + FormatNumber(nsStep, "#0.00") + " " + nsUnit),
                     "EW: " + FormatNumber(ewStep, "#0.00") + " " + ewUnit);

  const double kmPerDegLat = KmPerDegLat((south + north) / 2);
  const double kmPerDegLon = KmPerDegLon((south + north) / 2);
  bool cerr = false;
  const double ewKm = ConvertLength(ewUnit, "km", ewStep, cerr);
  if (cerr) return "Error converting EW Tile Step";
  const double nsKm = ConvertLength(nsUnit, "km", nsStep, cerr);
  if (cerr) return "Error converting NS Tile Step";
  const double dLon = ewKm / kmPerDegLon, dLat = nsKm / kmPerDegLat;
  if (!(dLon > 0 && dLat > 0 && std::isfinite(dLon) && std::isfinite(dLat)))
    return JoinLines(JoinLines("Invalid Tile steps", "NS: " + FormatNumber(nsStep, "#0.00") + " " + nsUnit),
                     "EW: " + FormatNumber(ewStep, "#0.00") + " " + ewUnit);

  // Boundary polygon.
  platform::BnaPolygon boundary;
  bool useBoundary = false;
  {
    const auto f = SplitFields(platform::ProfileGetString("Quick Coverage", "ADV Boundary", "", file));
    const std::string bna = TextField(f, 1), id = TextField(f, 2);
    if (!bna.empty() && !id.empty()) {
      fs::path p(bna);
      std::error_code ec;
      if (p.is_relative() && !fs::exists(p, ec)) p = file.parent_path() / p;
      if (boundary.Load(p, id) < 1) {
        std::string why = JoinLines(JoinLines("Boundary polygon not found", "File: " + p.string()), "Polygon: " + id);
        return JoinLines(why, boundary.sMessage());
      }
      useBoundary = true;
    }
  }

  // Grid positions are multiples of the steps from the south-west corner.
  const double latTol = dLat * 1e-9, lonTol = dLon * 1e-9;
  const double rows = std::floor((north - south + latTol) / dLat) + 1;
  const double cols = std::floor((east - west + lonTol) / dLon) + 1;
  if (!(rows * cols <= static_cast<double>(maxPoints_)))
    return TooManyPoints(rows * cols, maxPoints_, "Use larger tile steps or a smaller area.");

  // First pass: count the grid points.
  proc.Step(1);
  std::int64_t count = 0;
  for (std::int64_t i = 0;; ++i) {
    const double lat = south + static_cast<double>(i) * dLat;
    if (lat > north + latTol) break;
    for (std::int64_t j = 0;; ++j) {
      if (west + static_cast<double>(j) * dLon > east + lonTol) break;
      ++count;
    }
  }
  counted_ = count;
  if (auto err = OpenTable(g, count); !err.empty()) return err;

  proc.Step(2);
  // Rows are worked out in parallel, a block of them at a time, and taken
  // over in order; the cancel request is looked at between rows.
  std::int64_t colCount = 0;
  while (west + static_cast<double>(colCount) * dLon <= east + lonTol) ++colCount;
  std::int64_t rowCount = 0;
  while (south + static_cast<double>(rowCount) * dLat <= north + latTol) ++rowCount;
  struct RowPoints {
    std::vector<StudyPoint> pts;
    bool failed = false;
  };
  auto makeRow = [&](std::int64_t i, RowPoints& row) {
    const double lat = std::min(south + static_cast<double>(i) * dLat, north);
    std::optional<platform::BnaPolygon::Row> edges;
    if (useBoundary) edges.emplace(boundary, lat);
    row.pts.clear();
    row.failed = false;
    for (std::int64_t j = 0; j < colCount; ++j) {
      const double lon = std::min(west + static_cast<double>(j) * dLon, east);
      if (edges && edges->Inside(lon) == -1) continue;
      double az = 0, dis = 0;
      if (!Geodesic::InverseKm(txLat_, txLon_, lat, lon, az, dis)) {
        row.failed = true;
        return;
      }
      row.pts.push_back({lat, lon, az, dis});
    }
  };
  const std::int64_t block = 64;
  std::vector<RowPoints> work(static_cast<std::size_t>(block));
  tbb::task_arena arena(std::max(1, threads_));
  std::int64_t n = 0;
  for (std::int64_t i0 = 0; i0 < rowCount; i0 += block) {
    const std::int64_t i1 = std::min(rowCount, i0 + block);
#if defined(__SANITIZE_THREAD__)
    for (std::int64_t i = i0; i < i1; ++i) makeRow(i, work[static_cast<std::size_t>(i - i0)]);
#else
    arena.execute([&] {
      tbb::parallel_for(i0, i1, [&](std::int64_t i) { makeRow(i, work[static_cast<std::size_t>(i - i0)]); });
    });
#endif
    for (std::int64_t i = i0; i < i1; ++i) {
      const RowPoints& row = work[static_cast<std::size_t>(i - i0)];
      // Progress (and the cancel request) counts every grid point, inside
      // the boundary or not.
      for (std::int64_t j = 0; j < colCount; ++j)
        if (!ProgressCheck(g, ++n)) return "Tile study cancelled by user";
      if (row.failed) return AfterBlank("Error computing azimuth and distance for tile location");
      for (const auto& p : row.pts) g.Add(p.lat, p.lon, p.az, p.disKm);
    }
  }
  if (g.written == 0)
    return JoinLines("No grid point of the tile study lies inside the boundary polygon.", "Nothing was generated.");
  return {};
}

}  // namespace zw::coverage
