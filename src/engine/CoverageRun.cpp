#include "engine/CoverageRun.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>

#if defined(__SANITIZE_THREAD__)
#include <atomic>
#include <thread>
#endif

#include "common/ErrorHandler.h"
#include "common/NumberFormat.h"
#include "common/TextJoin.h"
#include "coverage/clsAreaCovPaths.h"
#include "engine/CalculatorFactory.h"
#include "platform/MessageBox.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

namespace {

constexpr std::int16_t kProcRunCovArea = 5401;

struct StudyPoint {
  double az = 0, disKm = 0, lat = 0, lon = 0;
};

struct PointResult {
  bool missing = false;
  double field = 0;
  float elv = 0;
  std::int16_t luCode = 0;
  double luLoss = 0;
  std::int32_t bits = 0, level = 0;
  bool contour = false;
  double contourKm = 0, contourLat = 0, contourLon = 0;
  std::string details;
};

// One thread's calculator and terrain profile object.
struct Worker {
  std::unique_ptr<clsQXAreaCov> calc;
  std::shared_ptr<clsPathElv> path;
  std::string error;
};

void Compute(Worker& w, const StudyPoint& p, bool details, PointResult& r) {
  clsQXAreaCov& c = *w.calc;
  c.PathElvEnd(p.lat, p.lon, p.az);
  c.dPathLthM(p.disKm * 1000.0);
  w.path->ExtractProfile();
  if (w.path->ELV_Array().size() < 2) {
    r.missing = true;
    return;
  }
  c.sDetails("");
  c.CovCalc();
  r.field = c.dNetField();
  r.elv = c.rTgtElvM();
  r.luCode = c.iLUCode();
  r.luLoss = c.dLULoss();
  r.bits = c.lErrBits();
  r.level = c.lErrLevel();
  r.contour = c.ContourPoint(r.contourKm, r.contourLat, r.contourLon);
  if (details) r.details = c.sDetails();
}

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

}  // namespace

std::unique_ptr<clsQXAreaCov> MakeCalculator(const CalculatorSetup& s, std::string* error) {
  auto c = NewCalculator(Trim(s.model));
  if (!c) {
    if (error) *error = "Error setting cCovModel: no calculator for model '" + s.model + "'";
    return nullptr;
  }
  c->bSilent(s.silent);
  c->StudyTaskType(s.taskType);
  c->cPropMod(s.propMod ? std::make_shared<FieldCollection>(*s.propMod) : nullptr);
  if (!c->cPropMod()) {
    if (error) *error = "Error setting Prop model in SetModel Class";
    return nullptr;
  }
  c->bMOBMSL(s.mobMSL);
  c->FACERPdBm(s.facERPdBm);
  c->FACTXmAGL(s.facTXmAGL);
  c->FACTXmMSL(s.facTXmMSL);
  c->MOBAntM(s.mobAntM);
  c->bDetails(s.details);
  c->sDetails("");
  c->sDetailUnPwr(s.detailUnPwr);
  c->sDetailUnDis(s.detailUnDis);
  c->sDetailUnElv(s.detailUnElv);
  c->cOBS(s.obs);
  c->cFAC(s.fac ? std::make_shared<FieldCollection>(*s.fac) : nullptr);
  c->daHaz(s.haz);
  c->daHgain(s.hgain);
  c->daVel(s.vel);
  c->daVgain(s.vgain);
  c->cMOB(s.mob ? std::make_shared<FieldCollection>(*s.mob) : nullptr);
  c->cLandUse(s.landUse);
  return c;
}

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
  if (s.terrain) {
    p->StudyArea(s.studyMaxLat + 0.00001, s.studyMinLat - 0.00001, s.studyMaxLon + 0.00001, s.studyMinLon - 0.00001);
  }
  p->cOBS(s.obs);
  return p;
}

CoverageRunOutcome RunCoverageStudy(const CoverageRunInputs& in) {
  ProcScope proc(kProcRunCovArea);
  CoverageRunOutcome out;
  coverage::clsAreaCovPaths* paths = in.paths;
  if (!paths) {
    out.result = "Coverage area not set";
    return out;
  }
  auto& ui = platform::Messages();

  // Land use for the study area.
  proc.Step(1000);
  if (in.calc.landUse) {
    in.calc.landUse->PrepareBox(paths->dCovMaxLat(), paths->dCovMinLat(), paths->dCovMaxLon(), paths->dCovMinLon(),
                                in.freqMHz);
  }

  // The study's points, in table order (generating the study when needed).
  proc.Step(1100);
  std::vector<StudyPoint> points;
  StudyPoint p;
  if (std::string err = paths->FirstPoint(p.az, p.disKm, p.lat, p.lon); !err.empty()) {
    out.result = err;
    return out;
  }
  while (!paths->bEOF()) {
    points.push_back(p);
    if (std::string err = paths->NextPoint(p.az, p.disKm, p.lat, p.lon); !err.empty()) {
      out.result = err;
      return out;
    }
  }
  const auto expected = static_cast<std::int64_t>(paths->RSNumRec());

  // Bounds after generation; every thread's profile object preloads them.
  PathSetup ps = in.path;
  ps.studyMaxLat = paths->dCovMaxLat();
  ps.studyMinLat = paths->dCovMinLat();
  ps.studyMaxLon = paths->dCovMaxLon();
  ps.studyMinLon = paths->dCovMinLon();

  auto makeWorker = [&]() {
    Worker w;
    w.calc = MakeCalculator(in.calc, &w.error);
    if (w.calc) {
      w.path = MakePathElv(ps);
      w.calc->cPathElv(w.path);
    }
    return w;
  };
  // The first worker is made here: its readiness decides whether to run.
  proc.Step(1200);
  Worker probe = makeWorker();
  if (!probe.calc) {
    out.result = probe.error;
    return out;
  }
  if (!probe.calc->sOKtoGO().empty()) {
    out.result = "\n" + probe.calc->sOKtoGO();
    return out;
  }
  out.directContour = probe.calc->bDirectContourCalc();
  tbb::enumerable_thread_specific<Worker> workers(makeWorker);

  auto progress = in.progress;
  if (progress) {
    progress->SetCaption("Compute Coverage Results Database");
    progress->SetMessage("Computing Field Strength; Task " + std::to_string(in.taskId) + "\n" + in.taskDesc);
    progress->SetMax(expected);
    progress->SetValue(0);
    progress->Show();
    progress->Yield();
  }

  // Second pass: compute a batch, then write it in table order.
  proc.Step(1300);
  if (std::string err = paths->FirstPoint(p.az, p.disKm, p.lat, p.lon); !err.empty()) {
    out.result = err;
    return out;
  }
  const int threads = std::max(1, in.threads);
  tbb::task_arena arena(threads);
  // Points of one radial (the same azimuth, one after another) form a group
  // computed by one worker from the radial's first point on, so that every
  // radial is sampled the same way whatever the number of threads.
  std::vector<std::size_t> groupStart;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == 0 || points[i].az != points[i - 1].az) groupStart.push_back(i);
  }
  groupStart.push_back(points.size());
  const std::size_t batch = static_cast<std::size_t>(std::max(1, in.batchPerThread)) * static_cast<std::size_t>(threads);
  const std::size_t minGroups = threads == 1 ? 1 : 4 * static_cast<std::size_t>(threads);
  auto computeGroup = [&](Worker& w, std::size_t g, std::size_t first, std::vector<PointResult>& res) {
    w.path->ForgetRadial();
    for (std::size_t i = groupStart[g]; i < groupStart[g + 1]; ++i) {
      Compute(w, points[i], in.calc.details, res[i - first]);
    }
  };
#if defined(__SANITIZE_THREAD__)
  std::vector<Worker> own(static_cast<std::size_t>(threads));
#endif
  std::vector<PointResult> results;
  std::string text;
  bool stop = false;
  std::int64_t n = 0;
  for (std::size_t g0 = 0; g0 + 1 < groupStart.size() && !stop;) {
    // Whole groups up to the batch size, and at least a few groups per
    // thread: radials longer than the batch would otherwise come one per
    // batch and leave the other threads idle.
    std::size_t g1 = g0 + 1;
    while (g1 + 1 < groupStart.size() &&
           (groupStart[g1 + 1] - groupStart[g0] <= batch || g1 - g0 < minGroups))
      ++g1;
    const std::size_t first = groupStart[g0];
    const std::size_t count = groupStart[g1] - first;
    results.assign(count, PointResult{});
    if (threads == 1) {
      for (std::size_t g = g0; g < g1; ++g) computeGroup(probe, g, first, results);
    } else {
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
          if (!w.calc) w = makeWorker();
          for (std::size_t g = next.fetch_add(1); g < g1; g = next.fetch_add(1))
            if (w.calc) computeGroup(w, g, first, results);
        });
      for (auto& th : pool) th.join();
#else
      arena.execute([&] {
        tbb::parallel_for(tbb::blocked_range<std::size_t>(g0, g1, 1), [&](const tbb::blocked_range<std::size_t>& r) {
          Worker& w = workers.local();
          if (!w.calc) return;  // made like the probe, so this does not happen
          for (std::size_t g = r.begin(); g != r.end(); ++g) computeGroup(w, g, first, results);
        });
      });
#endif
    }
    g0 = g1;
    for (std::size_t i = 0; i < count; ++i) {
      const StudyPoint& pt = points[first + i];
      const PointResult& r = results[i];
      ++n;
      if ((n < 100 || n % 100 == 0) && progress) {
        progress->SetValue(n);
        progress->Yield();
        if (progress->CancelPressed()) {
          if (ui.YesNo("Cancel Study", CancelQuestion(in.taskId, in.taskDesc), false)) {
            // The run ends before this point: it and the rest of the batch
            // stay as generated, so the table does not depend on the batch
            // size (nor on the number of threads).
            out.cancelled = true;
            break;
          } else {
            progress->ClearCancel();
          }
        }
      }
      if (r.missing) {
        text += "No topo elevation data found for azimuth " + FormatGeneral(pt.az) + "\n";
        ++out.missing;
        if (out.missing % 100 == 0 &&
            ui.YesNo("Missing Topo Elevation Data", MissingQuestion(out.missing, expected), false)) {
          text += "Study CANCELED by user\n";
          stop = true;
          break;
        }
      } else {
        if (r.contour) paths->UpdateRDBLoc(r.contourKm, r.contourLat, r.contourLon);
        const auto level = static_cast<std::int16_t>(std::clamp<std::int32_t>(r.level, -32768, 32767));
        if (std::string err = paths->UpdateRDBRec(r.field, r.elv, r.luCode, r.luLoss, r.bits, level); !err.empty()) {
          out.result = JoinLines(text, err);
          paths->CloseRS();
          return out;
        }
        ++out.computed;
        if (in.calc.details && in.details) *in.details << r.details << "\n";
      }
      ++out.points;
      if (std::string err = paths->NextPoint(p.az, p.disKm, p.lat, p.lon); !err.empty()) {
        out.result = JoinLines(text, err);
        return out;
      }
    }
    if (out.cancelled) {
      const std::string msg = "\nTask " + std::to_string(in.taskId) + " CANCELLED by user";
      WriteLogRecord(msg, true);
      paths->CloseRS();
      out.result = text + msg;
      return out;
    }
  }
  if (progress) progress->SetValue(n);
  if (!stop) {
    // A table removed or replaced meanwhile took the writes with it.
    if (std::string err = paths->CheckResultsTable(); !err.empty()) {
      WriteLogRecord(err, true);
      paths->CloseRS();
      out.result = JoinLines(text, err);
      return out;
    }
  }
  out.completed = !stop;
  out.result = text;
  return out;
}

}  // namespace zw
