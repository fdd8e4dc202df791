// Aggregate and composite tile studies: the input tile studies combined
// point by point with the task's method (coverage/Aggregate).
#include <fmt/format.h>

#include <map>
#include <set>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "coverage/Aggregate.h"
#include "coverage/CoverageFigures.h"
#include "engine/CombinedInputs.h"
#include "engine/CombinedRun.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskRunLock.h"

namespace zw {

namespace fs = std::filesystem;
using coverage::AggregateMethod;

namespace {

constexpr const char* kInputSection = "Aggregate Results Input Files";

// The settings of [TASK]; "" or what is wrong.
std::string ReadSettings(const tasks::TaskFile& f, std::int32_t task, coverage::AggregateSettings& st) {
  const int index = f.Int("TASK", "cboMathOpsIndex", -1);
  const auto m = coverage::AggregateMethodOf(index);
  if (!m) {
    std::string names;
    for (int i = 0; i <= 9; ++i) names += fmt::format("{}{} {}", i ? ", " : "", i, tasks::AggregateMethodName(i));
    return fmt::format("Task {} has no aggregate method: [TASK] cboMathOpsIndex={} must be one of {}", task,
                       f.Text("TASK", "cboMathOpsIndex"), names);
  }
  st.method = *m;
  std::string err;
  st.minThresholdDbu = TaskNumberSetting(f, "Min Threshold", &err);
  st.isolationDb = TaskNumberSetting(f, "Isolation", &err).value_or(0);
  st.maxSdsUs = TaskNumberSetting(f, "Max SDS", &err).value_or(0);
  st.addUIsolationDb = TaskNumberSetting(f, "Additional U Isolation", &err).value_or(0);
  if (!err.empty()) return fmt::format("Task {}: {}", task, err);
  if (auto e = coverage::CheckAggregateSettings(st); !e.empty()) return fmt::format("Task {}: {}", task, e);
  return {};
}

// The input task numbers of [Aggregate Results Input Files].
std::string ReadInputs(const tasks::TaskFile& f, std::int32_t task, std::vector<std::int32_t>& ids) {
  const auto sec = f.Section(kInputSection);
  const int declared = f.Int(kInputSection, "Number", 0);
  std::vector<std::string> keys;
  for (const auto& [k, v] : sec)
    if (!EqualsNoCase(Trim(k), "Number") && static_cast<int>(keys.size()) < declared) keys.push_back(k);
  if (declared < 1 || keys.empty())
    return fmt::format("Task {} lists no input tasks ([{}] Number and one key per task): give them with `ravoprop task "
                       "new --aggregate METHOD --inputs 3,4,5`", task, kInputSection);
  if (static_cast<int>(keys.size()) < declared)
    return fmt::format("Task {} declares {} input tasks in [{}] but lists {}", task, declared, kInputSection,
                       keys.size());
  if (auto e = ListedTasks(f.Path(), kInputSection, keys, ids); !e.empty()) return e;
  std::set<std::int32_t> seen;
  for (auto id : ids) {
    if (id == task) return fmt::format("Task {} lists itself as an input", task);
    if (!seen.insert(id).second) return fmt::format("Task {} lists input task {} twice", task, id);
  }
  return {};
}

std::string SettingsText(const coverage::AggregateSettings& st) {
  std::string t;
  auto add = [&](const std::string& s) { t += (t.empty() ? "" : "; ") + s; };
  if (st.minThresholdDbu) add("Min Threshold " + FormatGeneral(*st.minThresholdDbu) + " dBu");
  if (st.isolationDb != 0)
    add((st.method == AggregateMethod::kDtoU ? "required D/U " : "capture ratio ") + FormatGeneral(st.isolationDb) + " dB");
  if (st.method == AggregateMethod::kDelaySpread) add("Max SDS " + FormatGeneral(st.maxSdsUs) + " uSec");
  if (st.method == AggregateMethod::kDtoU) add("additional U isolation " + FormatGeneral(st.addUIsolationDb) + " dB");
  return t.empty() ? std::string("none") : t;
}

bool HasWinner(AggregateMethod m) {
  return m == AggregateMethod::kMaximum || m == AggregateMethod::kMinimum || m == AggregateMethod::kBestServer ||
         m == AggregateMethod::kVectorSum || m == AggregateMethod::kDelaySpread || m == AggregateMethod::kDtoU;
}

}  // namespace

CombinedRunResult RunAggregateStudy(const fs::path& workDir, std::int32_t task, const fs::path& dataSumFile) {
  CombinedRunResult r;
  tasks::TaskRunLock lock;
  if (r.error = OpenCombinedTask(workDir, task, lock); !r.error.empty()) return r;
  const tasks::TaskFile f(workDir / tasks::TaskFileName('T', task, ".INI"));
  coverage::AggregateSettings st;
  std::vector<std::int32_t> ids;
  if (r.error = ReadSettings(f, task, st); !r.error.empty()) return r;
  if (r.error = ReadInputs(f, task, ids); !r.error.empty()) return r;
  if (st.method == AggregateMethod::kDtoU && ids.size() < 2)
    return r.error = fmt::format("Task {}: the D/U ratio needs a desired input and at least one undesired one", task), r;
  std::vector<InputStudy> in;
  std::vector<std::vector<const coverage::RdbRecord*>> at;
  if (r.error = LoadAlignedInputs(workDir, task, ids, in, at); !r.error.empty()) return r;

  CombinedOutput out;
  out.code = "AG TIL";
  out.sites = InputSites(in);
  const auto& base = in[0].results.points;
  const std::vector<double> areas = coverage::PointCellAreasKm2(in[0].results);
  std::map<std::int32_t, std::pair<std::int64_t, double>> byWinner;  // task -> points, km^2
  std::vector<coverage::AggregateSignal> sig(in.size());
  for (std::size_t k = 0; k < base.size(); ++k) {
    for (std::size_t i = 0; i < in.size(); ++i) {
      const coverage::RdbRecord* rec = at[i][k];
      sig[i] = {rec && coverage::IsComputed(rec->val), rec ? rec->val : 0, rec ? rec->dis : 0, in[i].freqMHz};
    }
    const coverage::AggregateCell c = coverage::CombinePoint(st, sig);
    coverage::CombinedPoint p;
    p.point = {base[k].lat, base[k].lon, base[k].az, base[k].dis};
    p.value = c.value;
    p.task = c.winner >= 0 ? in[static_cast<std::size_t>(c.winner)].task : 0;
    if (!base[k].elvEmpty) p.elvM = base[k].elv;
    out.points.push_back(p);
    ++r.points;
    if (!c.value) continue;
    ++r.computed;
    auto& w = byWinner[p.task];
    ++w.first;
    w.second += areas[k];
  }
  r.complete = r.computed == r.points;
  out.complete = r.complete;

  const coverage::MethodQuantity q = coverage::AggregateQuantity(st.method);
  const std::string name = tasks::AggregateMethodName(static_cast<int>(st.method));
  std::string& t = r.text;
  t = fmt::format("Aggregate study of task {}: {} (cboMathOpsIndex {})\n", task, name, static_cast<int>(st.method));
  t += fmt::format("  value: {} in {}{}\n", q.quantity, q.unit,
                   HasWinner(st.method) ? "; RDB_TASK: the deciding input's task number (0: none)" : "");
  t += "  settings: " + SettingsText(st) + "\n";
  t += "  inputs, on one grid (" + GridText(in[0].results) + "):\n";
  for (const auto& s : in)
    t += fmt::format("    task {}: {}, {} MHz, {} of {} points with a field\n", s.task, s.facility,
                     FormatGeneral(s.freqMHz), s.results.computed, s.results.points.size());
  t += fmt::format("  points: {}, with a value: {}\n", r.points, r.computed);
  if (HasWinner(st.method)) {
    t += st.method == AggregateMethod::kBestServer ? "  best server (points, area of their cells):\n"
                                                   : "  deciding input (points, area of their cells):\n";
    for (const auto& [id, w] : byWinner)
      t += fmt::format("    {}: {} points, {:.2f} km^2\n",
                       id > 0 ? "task " + std::to_string(id) : std::string("none"), w.first, w.second);
  }
  out.report = t;
  // The threshold of the coverage figures and maps, in the value's unit.
  std::optional<std::string> level;
  if (q.unit == "dBu" && st.minThresholdDbu) level = FormatGeneral(*st.minThresholdDbu) + "|dBu|50";
  if (st.method == AggregateMethod::kDtoU && st.isolationDb != 0) level = FormatGeneral(st.isolationDb) + "|dB|50";
  if (level)
    out.edits.Set("RX Facility", "Level 0", *level);
  else
    out.edits.RemoveKey("RX Facility", "Level 0");
  std::string note;
  if (r.error = CommitCombinedStudy(workDir, task, dataSumFile, out, &note); !r.error.empty()) return r;
  if (!note.empty()) t += note + "\n";
  return r;
}

}  // namespace zw
