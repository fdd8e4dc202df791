#include "engine/CoverageRun.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <atomic>
#endif

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "platform/MessageBox.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr std::int16_t kProcRunCovArea = 5401;

using coverage::PointStatus;
using coverage::StudyPoint;

// Most distinct failure reasons kept; the rest are counted together.
constexpr std::size_t kMaxReasons = 20;

// One thread's calculator and terrain profile object.
struct Worker {
  std::unique_ptr<clsQXAreaCov> calc;
  std::shared_ptr<clsPathElv> path;
  std::string error;
  // The warnings of the last point, and the distinct texts met so far, kept
  // (at stable addresses) for as long as the worker lasts.
  std::vector<std::string> read;
  std::deque<std::string> texts;
  const std::string* last = nullptr;

  // The kept copy of a text; null when too many distinct ones came.
  const std::string* Keep(const std::string& text) {
    if (last && *last == text) return last;
    for (const auto& t : texts)
      if (t == text) return last = &t;
    if (texts.size() >= 64) return nullptr;
    return last = &texts.emplace_back(text);
  }
};

}  // namespace

void PointResult::OwnWarnings() {
  std::vector<std::string> own;
  for (const std::string* t : heldWarnings)
    if (t) own.push_back(*t);
  if (own.empty()) return;
  std::move(warnings.begin(), warnings.end(), std::back_inserter(own));
  warnings = std::move(own);
  heldWarnings = {};
}

namespace {

void Compute(Worker& w, const StudyPoint& p, const coverage::SolvedPath* solved, bool details, PointResult& r) {
  clsQXAreaCov& c = *w.calc;
  c.PathElvEnd(p.lat, p.lon, p.az);
  c.dPathLthM(p.disKm * 1000.0);
  if (solved) w.path->SolvedEnd(solved->lengthM, solved->az1Deg);
  w.path->ExtractProfile();
  if (w.path->ELV_Array().size() < 2) {
    r.missing = true;
    return;
  }
  c.sDetails("");
  c.CovCalc();
  PathOutcome o = ReadOutcome(c, details, false);
  r.field = o.fieldDbu;
  r.elv = o.rxGroundM;
  r.luCode = o.luCode;
  r.luLoss = o.landUseLossDb;
  r.bits = o.errBits;
  r.level = o.errLevel;
  r.contour = c.ContourPoint(r.contourKm, r.contourLat, r.contourLon);
  // A field the table cannot hold is no result either.
  if (o.failed || !std::isfinite(r.field) || std::fabs(r.field) >= 1e7) {
    r.failed = true;
    r.failure = std::move(o.failure);
    if (!std::isfinite(r.field) || std::fabs(r.field) >= 1e7) {
      if (r.failure.empty()) r.failure = "the model gave no finite field";
      r.field = -999.0;
    }
  }
  r.details = std::move(o.details);
  // The warnings (most points of a run repeat a few texts): held by the
  // worker when they are few and kept, else copied.
  const std::size_t nw = c.ReadWarnings(w.read);
  bool held = nw <= r.heldWarnings.size();
  for (std::size_t i = 0; held && i < nw; ++i) held = (r.heldWarnings[i] = w.Keep(w.read[i])) != nullptr;
  if (!held) {
    r.heldWarnings = {};
    r.warnings.assign(w.read.begin(), w.read.begin() + static_cast<std::ptrdiff_t>(nw));
  }
}

// The points of group g (positions groupStart[g] .. groupStart[g + 1] of the
// order) into res, whose first element is position `first`.
void ComputeGroup(Worker& w, const coverage::GeneratedStudy& study, const std::vector<std::size_t>& groupStart,
                  std::size_t g, std::size_t first, bool details, std::vector<PointResult>& res) {
  w.path->ForgetRadial();
  const bool solved = study.solved.size() == study.points.size();
  for (std::size_t i = groupStart[g]; i < groupStart[g + 1]; ++i) {
    const std::size_t k = study.order[i];
    // The next point's data, far from this one's in memory (points are
    // computed in azimuth order, and kept in table order), on its way.
    if (i + 1 < study.order.size()) {
      const std::size_t next = study.order[i + 1];
      __builtin_prefetch(&study.points[next]);
      if (solved) __builtin_prefetch(&study.solved[next]);
    }
    Compute(w, study.points[k], solved ? &study.solved[k] : nullptr, details, res[i - first]);
  }
}

Worker MakeWorker(const CoverageRunInputs& in) {
  Worker w;
  w.calc = MakeCalculator(in.calc, &w.error);
  if (w.calc) {
    w.path = MakePathElv(in.path);
    w.calc->cPathElv(w.path);
  }
  return w;
}

// The result of a computed point into the run's values and counts.
void Count(CoverageRunOutcome& out, std::uint32_t idx, const StudyPoint& pt, const PointResult& r) {
  coverage::PointValue& v = out.values[idx];
  if (r.contour) {
    out.moved.emplace_back(idx, StudyPoint{coverage::RoundToDecimals(r.contourLat, 7),
                                           coverage::RoundToDecimals(r.contourLon, 7), pt.az,
                                           coverage::RoundToDecimals(r.contourKm, 5)});
  }
  v.fieldDbu = r.field;
  v.elvM = r.elv;
  v.luCode = r.luCode;
  v.luLossDb = static_cast<float>(r.luLoss);
  v.wrnBits = r.bits;
  v.wrnLvl = static_cast<std::int16_t>(std::clamp<std::int32_t>(r.level, -32768, 32767));
  if (r.failed) {
    v.status = PointStatus::kModelFailed;
    ++out.failed;
    auto it = std::find_if(out.failReasons.begin(), out.failReasons.end(),
                           [&](const auto& e) { return e.first == r.failure; });
    if (it != out.failReasons.end()) {
      ++it->second;
    } else if (out.failReasons.size() < kMaxReasons) {
      out.failReasons.emplace_back(r.failure, 1);
    } else {
      ++out.failReasons.back().second;
    }
  } else {
    v.status = PointStatus::kComputed;
    ++out.computed;
  }
  const auto tally = [&](const std::string& w) {
    auto it = std::find_if(out.warnings.begin(), out.warnings.end(), [&](const auto& e) { return e.first == w; });
    if (it != out.warnings.end()) {
      ++it->second;
    } else if (out.warnings.size() < kMaxReasons) {
      out.warnings.emplace_back(w, 1);
    }
  };
  for (const std::string* w : r.heldWarnings)
    if (w) tally(*w);
  for (const auto& w : r.warnings) tally(w);
}

void ShowProgress(coverage::ProgressWindow& progress, const CoverageRunInputs& in, std::int64_t expected) {
  progress.SetCaption("Compute Coverage Results Database");
  progress.SetMessage("Computing Field Strength; Task " + std::to_string(in.taskId) + "\n" + in.taskDesc);
  progress.SetMax(expected);
  progress.SetValue(0);
  progress.Show();
  progress.Yield();
}

// The workers of a run: the probe (made first, on the calling thread, and
// the only one of a single-threaded run) and one per thread of the arena.
struct Crew {
  Crew(const CoverageRunInputs& inputs, int threadCount)
      : in(inputs),
        threads(threadCount),
        probe(MakeWorker(inputs)),
        workers([&inputs] { return MakeWorker(inputs); }),
        arena(threadCount)
#if defined(__SANITIZE_THREAD__)
        ,
        own(static_cast<std::size_t>(threadCount))
#endif
  {
  }

  // The points of groups [g0, g1) into results (from position groupStart[g0] on).
  void Compute(const std::vector<std::size_t>& groupStart, std::size_t g0, std::size_t g1,
               std::vector<PointResult>& results) {
    const std::size_t first = groupStart[g0];
    auto computeGroup = [&](Worker& w, std::size_t g) {
      ComputeGroup(w, *in.study, groupStart, g, first, in.calc.details, results);
    };
    if (threads == 1) {
      for (std::size_t g = g0; g < g1; ++g) computeGroup(probe, g);
      return;
    }
#if defined(__SANITIZE_THREAD__)
    // libtbb is not built for ThreadSanitizer, which then cannot see the
    // order its task hand-over gives; under it the same groups go to plain
    // threads that take them in turn, so that the workers' own code is
    // what gets checked.
    std::atomic<std::size_t> next{g0};
    std::vector<std::thread> pool;
    pool.reserve(own.size());
    for (std::size_t t = 0; t < own.size(); ++t)
      pool.emplace_back([&, t] {
        Worker& w = own[t];
        if (!w.calc) w = MakeWorker(in);
        for (std::size_t g = next.fetch_add(1); g < g1; g = next.fetch_add(1))
          if (w.calc) computeGroup(w, g);
      });
    for (auto& th : pool) th.join();
#else
    arena.execute([&] {
      tbb::parallel_for(tbb::blocked_range<std::size_t>(g0, g1, 1), [&](const tbb::blocked_range<std::size_t>& r) {
        Worker& w = workers.local();
        if (!w.calc) return;  // made like the probe, so this does not happen
        for (std::size_t g = r.begin(); g != r.end(); ++g) computeGroup(w, g);
      });
    });
#endif
  }

  const CoverageRunInputs& in;
  int threads;
  Worker probe;
  tbb::enumerable_thread_specific<Worker> workers;
  tbb::task_arena arena;
#if defined(__SANITIZE_THREAD__)
  std::vector<Worker> own;
#endif
};

std::string CancelQuestion(std::int32_t id, const std::string& desc) {
  return "Do you want to Cancel this study?\nTask " + std::to_string(id) + ": " + desc +
         "\n\n\tClick Yes to Cancel the study\n\tClick No to continue running the study";
}

std::string MissingQuestion(std::int64_t missing, std::int64_t expected) {
  return "No topo elevation data found for " + FormatNumber(static_cast<double>(missing), "###,###,##0") +
         " of approximately " + FormatNumber(static_cast<double>(expected), "###,###,##0") +
         " for this study.\n\nYou may need to obtain additional topo data files, OR you may need to index new files "
         "you have added.\n\nDo you want to cancel this study?\n\tClick Yes to cancel this study\n\tClick No to "
         "continue (this message may be repeated)";
}

// Takes the computed points over in table order: the progress and its
// cancel request, the missing-terrain question, the counts and the details.
struct Takeover {
  const CoverageRunInputs& in;
  CoverageRunOutcome& out;
  std::int64_t expected;
  std::string text;
  bool stop = false;     // the user stopped the run at missing terrain
  std::int64_t n = 0;    // points visited
  std::size_t done = 0;  // positions of the study's order handed over

  // The results of the points from position first of the order on.
  void Batch(std::size_t first, const std::vector<PointResult>& results) {
    auto& ui = platform::Messages();
    const auto& progress = in.progress;
    for (std::size_t i = 0; i < results.size(); ++i) {
      const std::uint32_t idx = in.study->order[first + i];
      if (first + i + 8 < in.study->order.size())  // (see ComputeGroup)
        __builtin_prefetch(&out.values[in.study->order[first + i + 8]], 1);
      const StudyPoint& pt = in.study->points[idx];
      const PointResult& r = results[i];
      ++n;
      if ((n < 100 || n % 100 == 0) && progress) {
        progress->SetValue(n);
        progress->Yield();
        if (progress->CancelPressed()) {
          if (in.cancelIsFinal || ui.YesNo("Cancel Study", CancelQuestion(in.taskId, in.taskDesc), false)) {
            // The run ends before this point: it and the rest of the batch
            // stay as generated, so the results do not depend on the batch
            // size (nor on the number of threads).
            out.cancelled = true;
            break;
          } else {
            progress->ClearCancel();
          }
        }
      }
      coverage::PointValue& v = out.values[idx];
      if (r.missing) {
        text += "No topo elevation data found for azimuth " + FormatGeneral(pt.az) + "\n";
        ++out.missing;
        v.status = PointStatus::kNoTerrain;
        done = first + i + 1;
        ++out.points;
        if (out.missing % 100 == 0 &&
            ui.YesNo("Missing Topo Elevation Data", MissingQuestion(out.missing, expected), false)) {
          text += "Study CANCELED by user\n";
          stop = true;
          break;
        }
        continue;
      }
      Count(out, idx, pt, r);
      if (in.calc.details && in.details) *in.details << r.details << "\n";
      ++out.points;
      done = first + i + 1;
    }
  }
};

// The batches of a study: whole groups up to the batch size, and at least a
// few groups per thread (radials longer than the batch would otherwise come
// one per batch and leave the other threads idle); all groups at once when
// they are computed elsewhere.
struct Batches {
  const std::vector<std::size_t>& groupStart;
  std::size_t batch, minGroups;
  bool allAtOnce;
  bool Any(std::size_t g0) const { return g0 + 1 < groupStart.size(); }
  std::size_t End(std::size_t g0) const {
    std::size_t g1 = g0 + 1;
    while (g1 + 1 < groupStart.size() &&
           (allAtOnce || groupStart[g1 + 1] - groupStart[g0] <= batch || g1 - g0 < minGroups))
      ++g1;
    return g1;
  }
  std::size_t Count(std::size_t g0, std::size_t g1) const { return groupStart[g1] - groupStart[g0]; }
};

// One thread that drives the crew through batch after batch on request, so
// that the calling thread can hand the previous batch over meanwhile (the
// same thread each time: the crew's per-thread workers are made once).
class AheadThread {
 public:
  AheadThread(Crew& crew, const std::vector<std::size_t>& groupStart)
      : crew_(crew), groupStart_(groupStart), thread_([this] { Loop(); }) {}
  ~AheadThread() {
    {
      std::lock_guard lock(m_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  AheadThread(const AheadThread&) = delete;
  AheadThread& operator=(const AheadThread&) = delete;

  // Starts computing groups [g0, g1) into out.
  void Start(std::size_t g0, std::size_t g1, std::vector<PointResult>& out) {
    std::lock_guard lock(m_);
    job_ = Job{g0, g1, &out};
    busy_ = true;
    cv_.notify_all();
  }
  // Waits for the batch started last; rethrows what computing it threw.
  void Wait() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return !busy_; });
    if (auto e = std::exchange(failed_, nullptr)) std::rethrow_exception(e);
  }

 private:
  struct Job {
    std::size_t g0, g1;
    std::vector<PointResult>* out;
  };
  void Loop() {
    std::unique_lock lock(m_);
    for (;;) {
      cv_.wait(lock, [this] { return quit_ || busy_; });
      if (quit_) return;
      const Job job = job_;
      lock.unlock();
      std::exception_ptr failed;
      try {
        crew_.Compute(groupStart_, job.g0, job.g1, *job.out);
      } catch (...) {
        failed = std::current_exception();
      }
      lock.lock();
      failed_ = failed;
      busy_ = false;
      cv_.notify_all();
    }
  }
  Crew& crew_;
  const std::vector<std::size_t>& groupStart_;
  std::mutex m_;
  std::condition_variable cv_;
  Job job_{};
  bool busy_ = false, quit_ = false;
  std::exception_ptr failed_;
  std::thread thread_;  // last: it starts once the rest is made
};

// Threads computing one batch while the calling thread hands the previous
// one over, so that the hand-over (progress, counts, questions) costs no
// computing time. Results do not depend on it: every group is computed the
// same way whoever computes it and whenever.
std::string RunOverlapped(const Batches& b, Crew& crew, Takeover& take) {
  std::vector<PointResult> cur(b.Count(0, b.End(0))), next;
  AheadThread ahead(crew, b.groupStart);  // after the vectors: it is joined before they go
  std::size_t g0 = 0, g1 = b.End(0);
  ahead.Start(g0, g1, cur);
  ahead.Wait();
  for (;;) {
    const std::size_t h0 = g1, h1 = b.Any(h0) ? b.End(h0) : h0;
    if (h1 > h0) {
      next.assign(b.Count(h0, h1), PointResult{});
      ahead.Start(h0, h1, next);
    }
    take.Batch(b.groupStart[g0], cur);
    if (h1 > h0) ahead.Wait();
    if (h1 == h0 || take.stop || take.out.cancelled) return {};
    std::swap(cur, next);
    g0 = h0;
    g1 = h1;
  }
}

// Computes the study in batches and hands each over in table order. "" when
// every batch came back (or the user stopped the run), else why not.
std::string RunBatches(const CoverageRunInputs& in, int threads, Crew& crew, Takeover& take) {
  // Points of one radial (the same azimuth, one after another) form a group
  // computed by one worker from the radial's first point on, so that every
  // radial is sampled the same way whatever the number of threads.
  const std::vector<std::size_t> groupStart = StudyGroups(*in.study);
  const Batches b{groupStart,
                  static_cast<std::size_t>(std::max(1, in.batchPerThread)) * static_cast<std::size_t>(threads),
                  threads == 1 ? std::size_t{1} : 4 * static_cast<std::size_t>(threads), bool(in.computeGroups)};
  if (!b.Any(0)) return {};
  if (threads > 1 && !in.computeGroups) return RunOverlapped(b, crew, take);
  std::vector<PointResult> results;
  for (std::size_t g0 = 0; b.Any(g0) && !take.stop && !take.out.cancelled;) {
    const std::size_t g1 = b.End(g0);
    const std::size_t count = b.Count(g0, g1);
    results.assign(count, PointResult{});
    if (in.computeGroups) {
      std::string why = in.computeGroups(g0, g1, results);
      if (why.empty() && results.size() != count)
        why = "The points were computed elsewhere but " + std::to_string(results.size()) + " results came back for " +
              std::to_string(count) + " points";
      if (!why.empty()) return why;
    } else {
      crew.Compute(groupStart, g0, g1, results);
    }
    take.Batch(groupStart[g0], results);
    g0 = g1;
  }
  return {};
}

}  // namespace

std::shared_ptr<clsPathElv> MakePathElv(const PathSetup& s) {
  auto p = std::make_shared<clsPathElv>(s.terrain);
  p->sUserLogin(s.login);
  p->sElvUnits("m");
  p->sDisUnits("m");
  if (s.stepM > 0) p->dStep(s.stepM);
  p->sDatum(s.datum.empty() ? std::string("WGS 84") : s.datum);
  p->dStartLat(s.txLat);
  p->dStartLon(s.txLon);
  p->rTxSiteElv(s.txSiteElvM);
  if (s.kFactor > 0) p->dKFactor(s.kFactor);
  if (s.terrain) {
    p->StudyArea(s.studyMaxLat + 0.00001, s.studyMinLat - 0.00001, s.studyMaxLon + 0.00001, s.studyMinLon - 0.00001);
  }
  p->cOBS(s.obs);
  return p;
}

std::string CoverageRunOutcome::FailureLines(const std::string& modelName) const {
  std::string out;
  auto line = [&](std::int64_t n, const std::string& what) {
    if (n > 0) out = JoinLines(out, FormatNumber(static_cast<double>(n), "###,###,##0") + " " + what);
  };
  line(missing, missing == 1 ? "point without terrain data" : "points without terrain data");
  for (const auto& [why, n] : failReasons)
    line(n, std::string(n == 1 ? "point" : "points") + " the model could not compute: " +
                (why.empty() ? "the " + modelName + " model gave no result" : why));
  line(notReached, notReached == 1 ? "point not computed (the run was cancelled)"
                                   : "points not computed (the run was cancelled)");
  return out;
}

std::string CoverageRunOutcome::WarningLines() const {
  std::string out;
  for (const auto& [w, n] : warnings) {
    std::string line = "Warning (";
    line += FormatNumber(static_cast<double>(n), "###,###,##0");
    line += n == 1 ? " point): " : " points): ";
    line += w;
    out = JoinLines(out, line);
  }
  return out;
}

std::vector<std::size_t> StudyGroups(const coverage::GeneratedStudy& study) {
  const auto& all = study.points;
  const auto& order = study.order;
  std::vector<std::size_t> groupStart;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || all[order[i]].az != all[order[i - 1]].az) groupStart.push_back(i);
  }
  groupStart.push_back(order.size());
  return groupStart;
}

std::string ComputeStudyGroups(const CoverageRunInputs& in, std::size_t g0, std::size_t g1,
                               std::vector<PointResult>& out) {
  out.clear();
  if (!in.study) return "Coverage area not set";
  const std::vector<std::size_t> groupStart = StudyGroups(*in.study);
  const std::size_t groups = groupStart.size() - 1;
  if (g0 > g1 || g1 > groups)
    return "Groups " + std::to_string(g0) + " to " + std::to_string(g1) + " are not in the study (it has " +
           std::to_string(groups) + " groups of points)";
  Worker w = MakeWorker(in);
  if (!w.calc) return w.error;
  if (!w.calc->sOKtoGO().empty()) return w.calc->sOKtoGO();
  if (in.calc.landUse) {
    const auto& s = *in.study;
    in.calc.landUse->PrepareBox(s.maxLat, s.minLat, s.maxLon, s.minLon, in.freqMHz);
  }
  const std::size_t first = groupStart[g0];
  out.assign(groupStart[g1] - first, PointResult{});
  for (std::size_t g = g0; g < g1; ++g) ComputeGroup(w, *in.study, groupStart, g, first, in.calc.details, out);
  for (auto& r : out) r.OwnWarnings();  // the worker goes at the return
  return {};
}

CoverageRunOutcome RunCoverageStudy(const CoverageRunInputs& in) {
  ProcScope proc(kProcRunCovArea);
  const ModelErrorBudget logBudget(100);
  CoverageRunOutcome out;
  const coverage::GeneratedStudy* study = in.study;
  if (!study) {
    out.result = "Coverage area not set";
    return out;
  }

  // Land use for the study area.
  proc.Step(1000);
  if (in.calc.landUse) {
    in.calc.landUse->PrepareBox(study->maxLat, study->minLat, study->maxLon, study->minLon, in.freqMHz);
  }
  const auto& all = study->points;
  const auto& order = study->order;
  const auto expected = static_cast<std::int64_t>(order.size());
  try {
    out.values.assign(all.size(), coverage::PointValue{});
  } catch (const std::bad_alloc&) {
    out.result = "Not enough memory for the results of " + std::to_string(all.size()) + " points";
    return out;
  }

  // The first worker is made here: its readiness decides whether to run.
  proc.Step(1200);
  const int threads = std::max(1, in.threads);
  Crew crew(in, threads);
  Worker& probe = crew.probe;
  if (!probe.calc) {
    out.result = probe.error;
    return out;
  }
  if (!probe.calc->sOKtoGO().empty()) {
    out.result = "\n" + probe.calc->sOKtoGO();
    return out;
  }
  out.directContour = probe.calc->bDirectContourCalc();

  auto progress = in.progress;
  if (progress) ShowProgress(*progress, in, expected);

  proc.Step(1300);
  Takeover take{in, out, expected, {}};
  if (std::string why = RunBatches(in, threads, crew, take); !why.empty()) {
    out.result = why;
    return out;
  }
  if (progress) progress->SetValue(take.n);
  out.notReached = static_cast<std::int64_t>(order.size() - take.done);
  if (out.cancelled) {
    const std::string msg = "\nTask " + std::to_string(in.taskId) + " CANCELLED by user";
    WriteLogRecord(msg, true);
    out.result = take.text + msg;
    return out;
  }
  out.cancelled = take.stop;
  out.completed = !take.stop;
  out.result = take.text;
  return out;
}

}  // namespace zw
