#include "tasks/CombinedTask.h"

#include <cctype>
#include <set>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "interference/AdjacentChannel.h"
#include "tasks/TaskCodes.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {

namespace fs = std::filesystem;

namespace {

std::string Letters(std::string_view s) {
  std::string out;
  for (char c : s)
    if (std::isalnum(static_cast<unsigned char>(c))) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Every listed task must exist as a tile study of the work directory.
std::string CheckInputs(const fs::path& workDir, const std::vector<std::int32_t>& ids, const std::string& role) {
  std::string problems;
  std::set<std::int32_t> seen;
  for (auto id : ids) {
    if (!seen.insert(id).second) {
      problems = JoinLines(problems, "Task " + std::to_string(id) + " is given twice");
      continue;
    }
    const TaskFile f(workDir / TaskFileName('T', id, ".INI"));
    const bool exists = f.Exists();
    if (exists && f.Coverage().radOrTile == "T") continue;
    std::string why = "The " + role;
    why += " task ";
    why += std::to_string(id);
    why += exists ? " is not a tile study; only tile studies on one grid can be combined" : " does not exist in ";
    if (!exists) why += workDir.string();
    problems = JoinLines(problems, why);
  }
  return problems;
}

StudyOutcome Create(const fs::path& workDir, const TaskIdentity& idn, std::int16_t mode, std::int16_t type,
                    const ProfileEdit& edit) {
  StudyOutcome out;
  clsQXTask creator(workDir);
  creator.SetSilent(true);
  std::string why;
  out.id = creator.TaskCreate(
      [&](clsQXTask& task) -> std::string {
        task.sDesc = idn.desc;
        task.sSum = idn.summary;
        task.SetTaskMode(mode);
        task.SetTaskType(type);
        if (auto err = task.EditTaskFile(edit); !err.empty()) return err;
        return task.TaskWriteINI();
      },
      &why);
  if (out.id < 1) out.error = why;
  return out;
}

}  // namespace

std::optional<int> ParseAggregateMethod(std::string_view text) {
  const std::string t = Trim(text);
  if (t.size() == 1 && t[0] >= '0' && t[0] <= '9') return t[0] - '0';
  for (int i = 0; i <= 9; ++i)
    if (!t.empty() && Letters(t) == Letters(AggregateMethodName(i))) return i;
  return std::nullopt;
}

std::string AggregateMethodList() {
  std::string s;
  for (int i = 0; i <= 9; ++i) s += (i ? ", " : "") + std::to_string(i) + " \"" + AggregateMethodName(i) + "\"";
  return s;
}

std::string ParseTaskList(std::string_view text, std::vector<std::int32_t>& out) {
  out.clear();
  std::string_view rest = text;
  while (true) {
    const auto comma = rest.find(',');
    const std::string part = Trim(rest.substr(0, comma));
    const std::int32_t id = ParseTaskNumber(part);
    if (id < 1) return "\"" + part + "\" in \"" + std::string(text) + "\" is not a task number (give e.g. 3,4,5)";
    out.push_back(id);
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return {};
}

StudyOutcome CreateAggregateTask(const fs::path& workDir, const AggregateRequest& req) {
  StudyOutcome out;
  const std::string name = AggregateMethodName(req.method);
  std::string problems;
  if (name.empty()) problems = "Unknown aggregate method " + std::to_string(req.method) + "; give one of " + AggregateMethodList();
  if (req.inputs.empty()) problems = JoinLines(problems, "Give the input tile tasks, e.g. --inputs 3,4,5");
  if (req.method == 9 && req.inputs.size() < 2)
    problems = JoinLines(problems, "The D/U ratio needs the desired task first and at least one undesired task");
  if (req.method == 7 && !req.minThresholdDbu)
    problems = JoinLines(problems, "Threshold Count counts against a threshold: give --min-threshold (dBu)");
  if (req.method == 6 && !(req.maxSdsUs.value_or(0) > 0))
    problems = JoinLines(problems, "Simulcast (Delay Spread) needs the largest tolerable spread: give --max-sds (uSec, above 0)");
  problems = JoinLines(problems, CheckInputs(workDir, req.inputs, "input"));
  if (!problems.empty()) return out.error = "The aggregate study was not created:\n" + problems, out;
  TaskIdentity idn;
  idn.type = TypeText(req.composite ? 6 : 5);
  idn.summary = "AG TIL " + name;
  std::string list;
  for (auto id : req.inputs) list += (list.empty() ? "" : ", ") + std::to_string(id);
  idn.desc = req.desc.empty() ? name + " of tasks " + list : req.desc;
  ProfileEdit e;
  e.Set("TASK", "cboMathOpsIndex", std::to_string(req.method));
  auto num = [&](const char* key, const std::optional<double>& v) {
    if (v) e.Set("TASK", key, FormatGeneral(*v));
  };
  num("Min Threshold", req.minThresholdDbu);
  num("Isolation", req.isolationDb);
  num("Max SDS", req.maxSdsUs);
  num("Additional U Isolation", req.addUIsolationDb);
  e.Set("Quick Coverage", "Rad or Tile", "T");
  const char* sec = "Aggregate Results Input Files";
  e.Set(sec, "Number", std::to_string(req.inputs.size()));
  for (std::size_t i = 0; i < req.inputs.size(); ++i)
    e.Set(sec, "Input" + FormatNumber(static_cast<double>(i), "0000"), TaskNumberText(req.inputs[i]));
  return Create(workDir, idn, 1, req.composite ? 6 : 5, e);
}

StudyOutcome CreateInterferenceTask(const fs::path& workDir, const InterferenceRequest& req) {
  StudyOutcome out;
  std::string problems;
  if (req.desired < 1) problems = "Give the desired task: --desired N";
  if (req.undesired.empty()) problems = JoinLines(problems, "Give the undesired tasks, e.g. --undesired 4,5");
  if (!ParseInterferenceSum(req.sumMethod))
    problems = JoinLines(problems, "Unknown summation method \"" + req.sumMethod + "\": give \"Power Sum\" or \"Maximum\"");
  if (Trim(req.table).empty()) problems = JoinLines(problems, "Give the receiver's D/U table: --dtou TABLE (see ravoprop dtou print)");
  std::vector<std::int32_t> all{req.desired};
  all.insert(all.end(), req.undesired.begin(), req.undesired.end());
  if (req.desired >= 1) problems = JoinLines(problems, CheckInputs(workDir, all, "signal"));
  if (!problems.empty()) return out.error = "The interference study was not created:\n" + problems, out;
  TaskIdentity idn;
  idn.type = TypeText(13);
  idn.summary = "AC TIL adjacent channel, D/U " + Trim(req.table);
  idn.desc = req.desc.empty() ? "Interference to task " + std::to_string(req.desired) + " (D/U " + Trim(req.table) + ")"
                              : req.desc;
  ProfileEdit e;
  const char* sec = "Adjacent Channel Interference";
  e.Set("Quick Coverage", "Rad or Tile", "T");
  e.Set(sec, "TaskD", TaskNumberText(req.desired));
  e.Set(sec, "SumMethod", req.sumMethod);
  e.Set(sec, "DtoU Template", Trim(req.table));
  if (!req.tableFile.empty()) e.Set(sec, "DtoU File", req.tableFile);
  e.Set(sec, "Num Undesired TASKS", std::to_string(req.undesired.size()));
  for (std::size_t i = 0; i < req.undesired.size(); ++i)
    e.Set(sec, "TaskU" + FormatNumber(static_cast<double>(i), "0000"), TaskNumberText(req.undesired[i]));
  return Create(workDir, idn, 7, 13, e);
}

}  // namespace zw::tasks
