// Studies in a work directory: made, changed, run (on this machine's threads
// or through a group computer of the caller), their results read back, and
// parts of a study computed for a run elsewhere.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>

#include "Bindings.h"
#include "coverage/CoverageFigures.h"
#include "coverage/ResultsExport.h"
#include "engine/CombinedRun.h"
#include "engine/PointResultCodec.h"
#include "engine/PointToPoint.h"
#include "engine/clsRFProp.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "platform/terrain/TerrainSource.h"
#include "tasks/StudyTask.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskRunLock.h"

namespace zw::py {

namespace {

namespace pyb = pybind11;
namespace fs = std::filesystem;
using Settings = std::vector<std::pair<std::string, std::string>>;

template <typename T>
pyb::array_t<T> ToArray(const std::vector<T>& v) {
  pyb::array_t<T> a(static_cast<pyb::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

std::string LoadCheck(const fs::path& taskFile) {
  clsRFProp engine;
  engine.bSilent(true);
  return engine.CheckStudyFile(taskFile);
}

fs::path ExistingDir(const std::string& workdir) {
  std::error_code ec;
  if (!fs::is_directory(workdir, ec))
    throw EngineError("Work directory not found: " + workdir + " (create it first, e.g. mkdir -p " + workdir + ")");
  return fs::absolute(workdir);
}

std::shared_ptr<platform::TerrainSource> Terrain(const std::string& dem) {
  if (dem.empty()) return nullptr;
  std::string error;
  auto t = OpenTerrain(dem, error);
  if (!t) throw EngineError(error);
  return t;
}

// An engine with the task loaded (EngineError when it does not load).
void Load(clsRFProp& e, const fs::path& dir, std::int32_t task, const std::string& dem, bool details) {
  e.bSilent(true);
  e.sWorkDir(dir.string());
  if (auto t = Terrain(dem)) e.cTerrain(t);
  e.lTaskID(task);
  if (!e.cTask() || !e.cCovArea())
    throw EngineError(e.sTaskMessage().empty() ? "Task " + std::to_string(task) + " could not be loaded"
                                               : e.sTaskMessage());
  if (details) e.bDetails(true);
}

pyb::tuple CreateStudy(const std::string& workdir, const Settings& settings) {
  const fs::path dir = ExistingDir(workdir);
  tasks::StudyRequest req;
  std::string problems;
  for (const auto& [k, v] : settings)
    if (auto why = tasks::ApplyStudySetting(req, k, v); !why.empty()) problems += (problems.empty() ? "" : "\n") + why;
  if (!problems.empty()) throw EngineError("The study was not created:\n" + problems);
  tasks::StudyOutcome r;
  {
    pyb::gil_scoped_release nogil;
    r = tasks::CreateStudyTask(dir, req, LoadCheck);
  }
  if (r.id < 1) throw EngineError(r.error);
  return pyb::make_tuple(r.id, r.notes);
}

std::vector<std::string> EditStudy(const std::string& workdir, std::int32_t task, const Settings& settings) {
  const fs::path dir = ExistingDir(workdir);
  tasks::StudyOutcome r;
  {
    pyb::gil_scoped_release nogil;
    r = tasks::EditStudyTask(dir, task, settings, LoadCheck);
  }
  if (r.id < 1) throw EngineError(r.error);
  return r.notes;
}

// The computer's bytes for groups [g0, g1) decoded; Python's exception text
// when it raised.
// The function is shared, so that copies of the computer made while the GIL
// is released never touch its reference count.
GroupComputer FromPython(const pyb::function& f) {
  std::shared_ptr<pyb::function> computer(new pyb::function(f), [](pyb::function* p) {
    pyb::gil_scoped_acquire gil;
    delete p;
  });
  return [computer](std::size_t g0, std::size_t g1, std::vector<PointResult>& out) -> std::string {
    pyb::gil_scoped_acquire gil;
    try {
      const pyb::bytes b = (*computer)(g0, g1);
      out.clear();
      return DecodePointResults(std::string_view(b), out);
    } catch (pyb::error_already_set& e) {
      return std::string("The points computed elsewhere did not come back: ") + e.what();
    }
  };
}

pyb::dict RunStudy(const std::string& workdir, std::int32_t task, int threads, const std::string& dem, bool details,
                   std::optional<pyb::function> computer) {
  const fs::path dir = ExistingDir(workdir);
  pyb::dict d;
  if (const tasks::TaskFile tf(dir / tasks::TaskFileName('T', task, ".INI"));
      tf.Exists() && IsCombinedStudyType(tf.Identity().type)) {
    CombinedRunResult r;
    {
      pyb::gil_scoped_release nogil;
      r = RunCombinedStudy(dir, task, platform::DefaultDataSumFile());
    }
    if (!r.error.empty()) throw EngineError(r.error + "\nThe previous results of task " + std::to_string(task) + " were kept.");
    d["text"] = r.text;
    d["points"] = r.points;
    d["computed"] = r.computed;
    d["complete"] = r.complete;
    return d;
  }
  clsRFProp e;
  Load(e, dir, task, dem, details);
  e.iThreads(threads);
  if (computer) e.cGroupComputer(FromPython(*computer));
  std::string result;
  {
    pyb::gil_scoped_release nogil;
    result = e.RunCovArea();
  }
  e.cGroupComputer(nullptr);
  const CoverageRunOutcome& run = e.LastRun();
  if (!run.resultsWritten)
    throw EngineError((result.empty() ? std::string() : result + "\n") + "Study of task " + std::to_string(task) +
                      (run.cancelled ? " cancelled" : " did not run to its end") + "; its previous results were kept");
  if (!run.figuresText.empty()) {
    if (auto err = coverage::AppendFiguresToReport(e.cTask()->TaskTXTFile(), run.figuresText); !err.empty())
      result += "\nWarning: the coverage figures were not added to the report: " + err;
  }
  d["text"] = result;
  d["figures"] = run.figuresText;
  d["warnings"] = run.WarningLines();
  d["points"] = run.points + run.notReached;
  d["computed"] = run.computed;
  d["missing"] = run.missing;
  d["failed"] = run.failed;
  d["complete"] = run.complete;
  d["table"] = e.cTask()->TaskResultsFile();
  d["report"] = e.cTask()->TaskTXTFile();
  d["summary"] = e.cTask()->TaskSummaryFile();
  return d;
}

pyb::dict LoadResults(const std::string& table) {
  coverage::StudyResults s;
  std::string err;
  {
    pyb::gil_scoped_release nogil;
    err = coverage::LoadStudyResults(table, {}, s);
  }
  if (!err.empty()) throw EngineError(err);
  const std::size_t n = s.points.size();
  std::vector<double> lat(n), lon(n), az(n), dis(n), val(n);
  std::vector<float> elv(n);
  std::vector<std::int32_t> lvl(n), bits(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto& p = s.points[i];
    lat[i] = p.lat;
    lon[i] = p.lon;
    az[i] = p.az;
    dis[i] = p.dis;
    val[i] = s.ValueOf(p);
    elv[i] = p.elv;
    lvl[i] = p.wrnLvl;
    bits[i] = p.wrnBits;
  }
  pyb::dict d;
  d["lat"] = ToArray(lat);
  d["lon"] = ToArray(lon);
  d["az"] = ToArray(az);
  d["dis_km"] = ToArray(dis);
  d["value"] = ToArray(val);
  d["elv_m"] = ToArray(elv);
  d["wrn_lvl"] = ToArray(lvl);
  d["wrn_bits"] = ToArray(bits);
  d["quantity"] = s.quantity;
  d["unit"] = s.unit;
  d["model"] = s.model;
  d["code"] = s.code;
  d["tile"] = s.tile;
  coverage::FieldRaster r;
  if (coverage::RasteriseStudy(s, {}, r).empty() && !r.pointsOnly) {
    pyb::array_t<float> grid({r.height, r.width});
    std::copy(r.values.begin(), r.values.end(), grid.mutable_data());
    d["grid"] = grid;
    d["geotransform"] = std::vector<double>(std::begin(r.geo), std::end(r.geo));
  }
  return d;
}

// A study generated on this process for computing some of its groups.
class StudyPart {
 public:
  StudyPart(const std::string& workdir, std::int32_t task, const std::string& dem, bool details) {
    Load(e_, ExistingDir(workdir), task, dem, details);
    pyb::gil_scoped_release nogil;
    if (auto err = e_.PrepareCovArea(study_, in_); !err.empty()) {
      pyb::gil_scoped_acquire gil;
      throw EngineError(err);
    }
    groups_ = StudyGroups(study_);
  }
  std::size_t Groups() const { return groups_.size() - 1; }
  std::size_t Points() const { return study_.order.size(); }
  pyb::bytes Compute(std::size_t g0, std::size_t g1) {
    std::vector<PointResult> out;
    std::string err, bytes;
    {
      pyb::gil_scoped_release nogil;
      err = ComputeStudyGroups(in_, g0, g1, out);
      if (err.empty()) bytes = EncodePointResults(out);
    }
    if (!err.empty()) throw EngineError(err);
    return pyb::bytes(bytes);
  }

 private:
  clsRFProp e_;
  coverage::GeneratedStudy study_;
  CoverageRunInputs in_;
  std::vector<std::size_t> groups_;
};

}  // namespace

void BindStudies(pyb::module_& m) {
  m.def("create_study", &CreateStudy, pyb::arg("workdir"), pyb::arg("settings"),
        "A new study task from settings (the names of `task new`): (task number, notes).");
  m.def("edit_study", &EditStudy, pyb::arg("workdir"), pyb::arg("task"), pyb::arg("settings"),
        "Changes settings of a study task (the KEY=VALUE names of `task set`); the notes.");
  m.def("run_study", &RunStudy, pyb::arg("workdir"), pyb::arg("task"), pyb::arg("threads") = 1,
        pyb::arg("dem") = "", pyb::arg("details") = false, pyb::arg("computer") = std::nullopt,
        "Runs a task's study; computer(g0, g1) -> bytes computes the groups elsewhere.");
  m.def("load_results", &LoadResults, pyb::arg("table"), "A results table's study points as arrays.");
  pyb::class_<StudyPart>(m, "StudyPart", "A study generated for computing some of its groups of points.")
      .def(pyb::init<const std::string&, std::int32_t, const std::string&, bool>(), pyb::arg("workdir"),
           pyb::arg("task"), pyb::arg("dem") = "", pyb::arg("details") = false)
      .def_property_readonly("groups", &StudyPart::Groups)
      .def_property_readonly("points", &StudyPart::Points)
      .def("compute", &StudyPart::Compute, pyb::arg("g0"), pyb::arg("g1"),
           "The point results of groups [g0, g1) as bytes.");
}

}  // namespace zw::py
