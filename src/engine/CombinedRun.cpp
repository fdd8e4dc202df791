#include "engine/CombinedRun.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "tasks/StudyCommit.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskSummary.h"

namespace zw {

namespace fs = std::filesystem;

bool IsCombinedStudyType(std::string_view taskType) {
  const std::string t = ToUpper(Trim(taskType));
  return t.rfind("AGGREGATE", 0) == 0 || t.rfind("COMPOSITE", 0) == 0 || t.rfind("INTERFERENCE", 0) == 0;
}

CombinedRunResult RunCombinedStudy(const fs::path& workDir, std::int32_t task, const fs::path& dataSumFile) {
  const tasks::TaskFile f(workDir / tasks::TaskFileName('T', task, ".INI"));
  const std::string type = ToUpper(Trim(f.Identity().type));
  if (type.rfind("INTERFERENCE", 0) == 0) return RunInterferenceStudy(workDir, task, dataSumFile);
  if (IsCombinedStudyType(type)) return RunAggregateStudy(workDir, task, dataSumFile);
  CombinedRunResult r;
  r.error = "Task " + std::to_string(task) + " is not an aggregate, composite or interference study (type \"" +
            f.Identity().type + "\")";
  return r;
}

std::string CommitCombinedStudy(const fs::path& workDir, std::int32_t task, const fs::path& dataSumFile,
                                const CombinedOutput& out, std::string* note) {
  tasks::StudyCommit commit;
  if (auto e = commit.Begin(workDir, task); !e.empty()) return e;
  std::string err;
  const fs::path taskFile = commit.Stage(tasks::TaskFileName('T', task, ".INI"), true, &err);
  if (!err.empty()) return err;
  const fs::path table = commit.Stage(tasks::TaskFileName('R', task, ".DBF"));
  const fs::path report = commit.Stage(tasks::TaskFileName('T', task, ".TXT"));
  const fs::path summary = commit.Stage(tasks::TaskFileName('S', task, ".TXT"));

  double minLat = 88888, maxLat = -88888, minLon = 88888, maxLon = -88888;
  for (const auto& p : out.points) {
    minLat = std::min(minLat, p.point.lat), maxLat = std::max(maxLat, p.point.lat);
    minLon = std::min(minLon, p.point.lon), maxLon = std::max(maxLon, p.point.lon);
  }
  tasks::ProfileEdit edit = out.edits;
  const char* rdb = "Results Data Base";
  edit.Set(rdb, "Number", "1")
      .Set(rdb, "RDB000", out.code)
      .Set(rdb, "MINLAT", FormatGeneral(minLat))
      .Set(rdb, "MAXLAT", FormatGeneral(maxLat))
      .Set(rdb, "MINlon", FormatGeneral(minLon))
      .Set(rdb, "MAXlon", FormatGeneral(maxLon));
  if (auto e = edit.Apply(taskFile); !e.empty()) return e;
  if (auto e = coverage::WriteCombinedTable(table, dataSumFile, out.code, out.sites, out.points); !e.empty())
    return JoinLines("The results table could not be written; the previous results were kept.", e);
  std::string why;
  if (!platform::WriteFileAtomic(report, out.report, &why)) return "Cannot write the report " + report.string() + ": " + why;
  tasks::SummaryOptions so;
  so.workDir = workDir;
  so.dtouFile = out.dtouFile;
  std::string text;
  const std::string se = tasks::BuildTaskSummary(task, tasks::TaskFile(taskFile), &text, so);
  if (!text.empty() && !platform::WriteFileAtomic(summary, text, &why))
    return "Cannot write the task summary " + summary.string() + ": " + why;
  tasks::StudyFlags flags;
  flags.locked = out.complete;
  flags.incomplete = !out.complete;
  if (auto e = commit.Commit(flags); !e.empty()) {
    if (!commit.Committed())
      return JoinLines("The study's results could not be put in place; the previous results were kept.", e);
    if (note) *note = e;
    return {};
  }
  if (note) *note = se;
  return {};
}

std::optional<double> TaskNumberSetting(const tasks::TaskFile& f, const char* key, std::string* error) {
  const std::string v = Trim(f.Text("TASK", key));
  if (v.empty()) return std::nullopt;
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  if (end != v.c_str() + v.size() || !std::isfinite(d)) {
    if (error) *error = JoinLines(*error, "[TASK] " + std::string(key) + "=" + v + " is not a number");
    return std::nullopt;
  }
  return d;
}

}  // namespace zw
