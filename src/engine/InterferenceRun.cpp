// Adjacent-channel interference studies: the desired tile study against the
// undesired ones, point by point, through the receiver's D/U table
// (interference/AdjacentChannel).
#include <fmt/format.h>

#include <array>
#include <cmath>
#include <set>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "coverage/CoverageFigures.h"
#include "engine/CombinedInputs.h"
#include "engine/CombinedRun.h"
#include "interference/AdjacentChannel.h"
#include "interference/DtoUCheck.h"
#include "platform/ProgramDir.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskRunLock.h"

namespace zw {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSection = "Adjacent Channel Interference";

struct Settings {
  std::int32_t desired = 0;
  std::vector<std::int32_t> undesired;
  InterferenceSum sum = InterferenceSum::kPowerSum;
  std::string table, tableFile;
};

// The D/U table file: "DtoU File" of the section, else the installation's
// ZWRXRej.INI, else the sample tables of the data directory.
std::string TableFile(const tasks::TaskFile& f) {
  if (std::string given = Trim(f.Text(kSection, "DtoU File")); !given.empty()) {
    const fs::path p(given);
    return p.is_relative() ? (f.Path().parent_path() / p).string() : given;
  }
  clsQXDtoU t;
  t.bSilent(true);
  const std::string installed = t.sINIfile();
  std::error_code ec;
  if (fs::is_regular_file(installed, ec)) return installed;
  return (platform::DataDirectory() / kDtoUFileName).string();
}

std::string ReadSettings(const tasks::TaskFile& f, std::int32_t task, Settings& s) {
  if (!f.HasSection(kSection))
    return fmt::format("Task {} has no [{}] section: make it with `ravoprop task new --interference --desired 3 "
                       "--undesired 4,5 --dtou TABLE`", task, kSection);
  std::vector<std::int32_t> d;
  if (Trim(f.Text(kSection, "TaskD")).empty())
    return fmt::format("Task {}: Task ID for Desired Signal is empty ([{}] TaskD)", task, kSection);
  if (auto e = ListedTasks(f.Path(), kSection, {"TaskD"}, d); !e.empty()) return e;
  s.desired = d[0];
  const int n = f.Int(kSection, "Num Undesired TASKS", 0);
  if (n < 1) return fmt::format("Task {} has no undesired tasks ([{}] Num Undesired TASKS)", task, kSection);
  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) keys.push_back("TaskU" + FormatNumber(i, "0000"));
  if (auto e = ListedTasks(f.Path(), kSection, keys, s.undesired); !e.empty()) return e;
  std::set<std::int32_t> seen{s.desired, task};
  for (auto id : s.undesired)
    if (!seen.insert(id).second)
      return fmt::format("Task {}: task {} is listed twice (or is the desired task, or the study itself)", task, id);
  const std::string sum = f.Text(kSection, "SumMethod");
  const auto how = Trim(sum).empty() ? std::optional(InterferenceSum::kPowerSum) : ParseInterferenceSum(sum);
  if (!how)
    return fmt::format("Task {}: [{}] SumMethod={} is not \"Power Sum\" or \"Maximum\"", task, kSection, sum);
  s.sum = *how;
  s.table = Trim(f.Text(kSection, "DtoU Template"));
  if (s.table.empty()) return fmt::format("Task {} names no D/U table ([{}] DtoU Template)", task, kSection);
  s.tableFile = TableFile(f);
  if (auto problems = CheckDtoUTable(s.tableFile, s.table); !problems.empty())
    return fmt::format("Task {}: the D/U table [{}] of {} cannot be used:\n{}", task, s.table, s.tableFile, problems);
  return {};
}

}  // namespace

CombinedRunResult RunInterferenceStudy(const fs::path& workDir, std::int32_t task, const fs::path& dataSumFile) {
  CombinedRunResult r;
  tasks::TaskRunLock lock;
  if (r.error = OpenCombinedTask(workDir, task, lock); !r.error.empty()) return r;
  const tasks::TaskFile f(workDir / tasks::TaskFileName('T', task, ".INI"));
  Settings s;
  if (r.error = ReadSettings(f, task, s); !r.error.empty()) return r;
  clsQXDtoU table;
  table.bSilent(true);
  table.sINIfile(s.tableFile);
  if (r.error = table.DtoU_Load(s.table); !r.error.empty()) return r;

  std::vector<std::int32_t> ids{s.desired};
  ids.insert(ids.end(), s.undesired.begin(), s.undesired.end());
  std::vector<InputStudy> in;
  std::vector<std::vector<const coverage::RdbRecord*>> at;
  if (r.error = LoadAlignedInputs(workDir, task, ids, in, at); !r.error.empty()) return r;
  const auto threshold = coverage::StudyThreshold(in[0].results);
  if (!threshold)
    return r.error = fmt::format("The desired task {} has no receive level in dBu ([RX Facility] Level 0, e.g. "
                                 "60|dBu|50): it decides which points are served", s.desired), r;
  CombinedOutput out;
  out.code = "AC TIL";
  out.sites = InputSites(in);
  const auto& base = in[0].results.points;
  const std::vector<double> areas = coverage::PointCellAreasKm2(in[0].results);
  std::array<std::pair<std::int64_t, double>, 3> byClass{};
  std::vector<UndesiredSignal> u(s.undesired.size());
  for (std::size_t k = 0; k < base.size(); ++k) {
    for (std::size_t i = 1; i < in.size(); ++i) {
      const coverage::RdbRecord* rec = at[i][k];
      u[i - 1] = {rec && coverage::IsComputed(rec->val), rec ? rec->val : 0, in[i].freqMHz};
    }
    const std::optional<double> d = coverage::IsComputed(base[k].val) ? std::optional(base[k].val) : std::nullopt;
    const InterferenceResult c = ClassifyPoint(table, s.sum, *threshold, d, in[0].freqMHz, u);
    coverage::CombinedPoint p;
    p.point = {base[k].lat, base[k].lon, base[k].az, base[k].dis};
    if (d) p.value = c.marginDb;
    p.task = c.worst >= 0 ? s.undesired[static_cast<std::size_t>(c.worst)] : 0;
    p.cls = static_cast<int>(c.cls);
    if (!base[k].elvEmpty) p.elvM = base[k].elv;
    out.points.push_back(p);
    ++r.points;
    if (!d) continue;
    ++r.computed;
    auto& b = byClass[static_cast<std::size_t>(c.cls)];
    ++b.first;
    b.second += areas[k];
  }
  r.complete = r.computed == r.points;
  out.complete = r.complete;

  std::string& t = r.text;
  t = fmt::format("Adjacent channel interference study of task {}\n", task);
  t += fmt::format("  desired: task {}, {}, {} MHz; served at or above {} dBu\n", s.desired, in[0].facility,
                   FormatGeneral(in[0].freqMHz), FormatGeneral(*threshold));
  for (std::size_t i = 1; i < in.size(); ++i)
    t += fmt::format("  undesired: task {}, {}, {} MHz (offset {} MHz)\n", in[i].task, in[i].facility,
                     FormatGeneral(in[i].freqMHz), FormatGeneral(std::round((in[i].freqMHz - in[0].freqMHz) * 1e6) / 1e6));
  t += fmt::format("  D/U table [{}] of {}; undesired signals summed by {}\n", s.table, s.tableFile,
                   InterferenceSumName(s.sum));
  t += "  grid: " + GridText(in[0].results) + "\n";
  t += "  value: protection margin in dB (desired field minus the undesired fields raised by their required D/U; "
       "999: no undesired signal counts); RDB_CLASS: 0 unserved, 1 served, 2 interfered\n";
  t += fmt::format("  points: {}, with a desired field: {}\n", r.points, r.computed);
  for (PointClass c : {PointClass::kServed, PointClass::kInterfered, PointClass::kUnserved}) {
    const auto& b = byClass[static_cast<std::size_t>(c)];
    t += fmt::format("  {:<11} {:>7} points, {:10.2f} km^2\n", PointClassName(c) + ":", b.first, b.second);
  }
  out.report = t;
  out.dtouFile = s.tableFile;  // resolved here: the summary is built on the staged copy of the task file
  out.edits.Set("RX Facility", "Level 0", "0|dB|50");
  std::string note;
  if (r.error = CommitCombinedStudy(workDir, task, dataSumFile, out, &note); !r.error.empty()) return r;
  if (!note.empty()) t += note + "\n";
  return r;
}

}  // namespace zw
