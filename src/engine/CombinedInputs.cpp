#include "engine/CombinedInputs.h"

#include <fmt/format.h>

#include <cmath>
#include <set>
#include <unordered_map>

#include "common/TextJoin.h"
#include "common/Units.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskFile.h"
#include "tasks/clsQXTask.h"

namespace zw {

namespace fs = std::filesystem;

namespace {

long long Key(double deg) { return std::llround(deg * 1e6); }
long long PointKey(double lat, double lon) { return Key(lat) * 1000000000LL + Key(lon); }

struct GridShape {
  std::size_t rows = 0, cols = 0;
  double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
};

GridShape ShapeOf(const coverage::StudyResults& s) {
  std::set<long long> lats, lons;
  GridShape g{0, 0, 1e9, -1e9, 1e9, -1e9};
  for (const auto& p : s.points) {
    lats.insert(Key(p.lat));
    lons.insert(Key(p.lon));
    g.minLat = std::min(g.minLat, p.lat), g.maxLat = std::max(g.maxLat, p.lat);
    g.minLon = std::min(g.minLon, p.lon), g.maxLon = std::max(g.maxLon, p.lon);
  }
  g.rows = lats.size();
  g.cols = lons.size();
  return g;
}

}  // namespace

std::string LoadInputStudy(const fs::path& workDir, std::int32_t owner, std::int32_t task, InputStudy& out) {
  out = InputStudy{};
  out.task = task;
  const std::string of = fmt::format("input task {} of task {}", task, owner);
  tasks::clsQXTask t(workDir);
  t.SetSilent(true);
  t.SetTaskID(task);
  if (!t.LastError().empty()) return t.LastError();
  if (t.lTaskID() < 1)
    return fmt::format("The {} does not exist in {}: create it, or correct the list of inputs of task {}", of,
                       workDir.string(), owner);
  const tasks::TaskFile f(workDir / tasks::TaskFileName('T', task, ".INI"));
  if (!f.Exists()) return fmt::format("The {} has no task file {}", of, f.Path().string());
  if (f.Coverage().radOrTile != "T")
    return fmt::format("The {} is not a tile study; only tile studies on one grid can be combined", of);
  const fs::path table = workDir / coverage::ResultsFileName(task);
  std::error_code ec;
  if (!fs::is_regular_file(table, ec) || t.bUnfinished)
    return fmt::format("The {} has not been run yet: run task {} first (ravoprop run --task {})", of, task, task);
  if (auto err = coverage::LoadStudyResults(table, {}, out.results); !err.empty())
    return fmt::format("The {} has no results to use: {}; run task {} first (ravoprop run --task {})", of, err, task,
                       task);
  if (out.results.unit != "dBu")
    return fmt::format("The {} gives {} in {}, not a field strength in dBu", of, out.results.quantity,
                       out.results.unit);
  out.desc = Trim(f.Text("TASK", "Task Desc"));
  out.facility = Trim(f.Text("Facility Data", "FAC_DESC"));
  if (out.facility.empty()) out.facility = "task " + std::to_string(task);
  if (!TryParseDouble(Trim(f.Text("Facility Data", "TX_FREQMHZ")), out.freqMHz) || !(out.freqMHz > 0))
    return fmt::format("The {} has no transmitter frequency (TX_FREQMHZ in [Facility Data], MHz)", of);
  return {};
}

std::string GridText(const coverage::StudyResults& s) {
  const GridShape g = ShapeOf(s);
  return fmt::format("{} x {} points, {:.5f} to {:.5f} deg N, {:.5f} to {:.5f} deg E", g.rows, g.cols, g.minLat,
                     g.maxLat, g.minLon, g.maxLon);
}

std::string CheckSameGrid(const InputStudy& a, const InputStudy& b) {
  const GridShape ga = ShapeOf(a.results), gb = ShapeOf(b.results);
  const double tol = 1e-6;
  const bool same = ga.rows == gb.rows && ga.cols == gb.cols && std::fabs(ga.minLat - gb.minLat) < tol &&
                    std::fabs(ga.maxLat - gb.maxLat) < tol && std::fabs(ga.minLon - gb.minLon) < tol &&
                    std::fabs(ga.maxLon - gb.maxLon) < tol;
  if (same) return {};
  return fmt::format(
      "Task {} is on another grid than task {}; the inputs must share one grid (the same limits and steps in "
      "[Elevation Data]).\n  task {}: {}\n  task {}: {}",
      b.task, a.task, a.task, GridText(a.results), b.task, GridText(b.results));
}

std::vector<const coverage::RdbRecord*> AlignPoints(const InputStudy& base, const InputStudy& other) {
  std::unordered_map<long long, const coverage::RdbRecord*> at;
  at.reserve(other.results.points.size());
  for (const auto& r : other.results.points) at.emplace(PointKey(r.lat, r.lon), &r);
  std::vector<const coverage::RdbRecord*> out;
  out.reserve(base.results.points.size());
  for (const auto& p : base.results.points) {
    auto it = at.find(PointKey(p.lat, p.lon));
    out.push_back(it == at.end() ? nullptr : it->second);
  }
  return out;
}

std::string OpenCombinedTask(const std::filesystem::path& workDir, std::int32_t task, tasks::TaskRunLock& lock) {
  tasks::RecoverStudyCommits(workDir);
  if (auto e = lock.Acquire(workDir, task); !e.empty()) return e;
  const tasks::TaskFile f(workDir / tasks::TaskFileName('T', task, ".INI"));
  if (!f.Exists()) return "Task " + std::to_string(task) + " has no task file " + f.Path().string();
  return {};
}

std::string LoadAlignedInputs(const std::filesystem::path& workDir, std::int32_t owner,
                              const std::vector<std::int32_t>& ids, std::vector<InputStudy>& in,
                              std::vector<std::vector<const coverage::RdbRecord*>>& at) {
  in.assign(ids.size(), InputStudy{});
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (auto e = LoadInputStudy(workDir, owner, ids[i], in[i]); !e.empty()) return e;
    if (i > 0)
      if (auto e = CheckSameGrid(in[0], in[i]); !e.empty()) return e;
  }
  at.clear();
  at.reserve(in.size());
  for (const auto& s : in) at.push_back(AlignPoints(in[0], s));
  return {};
}

std::vector<coverage::CombinedSite> InputSites(const std::vector<InputStudy>& in) {
  std::vector<coverage::CombinedSite> sites;
  for (const auto& s : in)
    if (s.results.tx) sites.push_back({s.facility, s.results.tx->lat, s.results.tx->lon});
  return sites;
}

std::string ListedTasks(const fs::path& taskFile, const std::string& section, const std::vector<std::string>& keys,
                        std::vector<std::int32_t>& out) {
  out.clear();
  const tasks::TaskFile f(taskFile);
  for (const auto& key : keys) {
    const std::string v = Trim(f.Text(section, key));
    const std::int32_t id = tasks::ParseTaskNumber(tasks::Field(v, 1));
    if (id < 1)
      return fmt::format("[{}] {}={} of {} is not a task number", section, key, v, taskFile.filename().string());
    out.push_back(id);
  }
  return {};
}

}  // namespace zw
