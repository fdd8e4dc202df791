#include "tasks/TaskSummary.h"

#include <algorithm>
#include <exception>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "tasks/SummaryBuilder.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks::summary {

SummaryBuilder::SummaryBuilder(std::int32_t id, const TaskFile& file, const SummaryOptions& o)
    : id_(id), file_(file), opt_(o) {
  if (opt_.workDir.empty()) opt_.workDir = file_.Path().parent_path();
}

std::string SummaryBuilder::Build(std::string* text) {
  const TaskIdentity idn = file_.Identity();
  const std::string type = Trim(idn.type);
  const std::string head9 = ToUpper(Trim(type.substr(0, std::min<std::size_t>(9, type.size()))));
  const std::string head12 = ToUpper(Trim(type.substr(0, std::min<std::size_t>(12, type.size()))));
  std::string err;
  try {
    if (head9 == "AGGREGATE" || head9 == "COMPOSITE")
      Aggregate();
    else if (head12 == "INTERFERENCE")
      Interference();
    else
      Coverage(EqualsNoCase(type, "Field Measurements"));
  } catch (const SectionFailure& f) {
    WriteLogRecord("Error in " + f.marker + "; Task " + TaskNumberText(id_), true);
    WriteLogRecord("Err 0 " + std::string(f.what()), false);
    r_.Line(0, "Error in " + f.marker);
    err = "Error in " + f.marker;
  }
  if (text) *text = r_.Text();
  return err;
}

void SummaryBuilder::Header() {
  r_.Line(0, opt_.dateLine.empty() ? GeneralDateNow() : opt_.dateLine);
  r_.Line(0, "Task ID: " + TaskNumberText(id_));
  if (const std::string desc = Trim(file_.Text("TASK", "TASK DESC")); !desc.empty()) r_.Line(0, desc);
  r_.Blank();
}

void SummaryBuilder::Run(const char* marker, void (SummaryBuilder::*section)()) {
  try {
    (this->*section)();
  } catch (const SectionFailure&) {
    throw;
  } catch (const std::exception& e) {
    throw SectionFailure(marker, e.what());
  } catch (...) {
    throw SectionFailure(marker, "unexpected failure");
  }
  r_.Blank();
}

void SummaryBuilder::Coverage(bool fieldMeasurements) {
  Header();
  Run("PRT_FAC", &SummaryBuilder::Facility);
  if (fieldMeasurements) return;
  Run("PRT_COV", &SummaryBuilder::CoverageArea);
  Run("PRT_TOPODATA", &SummaryBuilder::TopoData);
  Run("PRT_PROPMODEL", &SummaryBuilder::PropModel);
  Run("PRT_MOBILE", &SummaryBuilder::Mobile);
  Run("PRT_OBS", &SummaryBuilder::Obstructions);
  Run("PRT_LULC", &SummaryBuilder::LandUseTemplate);
}

}  // namespace zw::tasks::summary

namespace zw::tasks {

using summary::SummaryBuilder;

std::string BuildTaskSummary(std::int32_t taskId, const TaskFile& file, std::string* text,
                             const SummaryOptions& options) {
  ProcScope proc(kProcTaskSummary);
  if (text) text->clear();
  if (taskId < 1) return "No Task ID";
  if (!file.Exists()) return "Task INI file not found:\n" + file.Path().string();
  try {
    SummaryBuilder b(taskId, file, options);
    return b.Build(text);
  } catch (const std::exception& e) {
    WriteLogRecord(std::string(kSummaryFailure) + "; Task " + TaskNumberText(taskId), true);
    WriteLogRecord("Err 0 " + std::string(e.what()), false);
  } catch (...) {
    WriteLogRecord(std::string(kSummaryFailure) + "; Task " + TaskNumberText(taskId), true);
  }
  return kSummaryFailure;
}

std::string WriteTaskSummary(const clsQXTask& task, std::string* text, const SummaryOptions& options) {
  if (text) text->clear();
  if (task.lTaskID() < 1) return "No Task ID";
  SummaryOptions o = options;
  if (o.workDir.empty()) o.workDir = task.WorkDir();
  const TaskFile file(task.TaskFileNameOf('T', ".INI"));
  std::string report;
  std::string err = BuildTaskSummary(task.lTaskID(), file, &report, o);
  if (text) *text = report;
  // A report cut short by a failing section is still written; nothing is
  // written when no report could be built at all.
  if (report.empty()) return err;
  std::string why;
  if (!platform::WriteFileAtomic(task.TaskSummaryFile(), report, &why)) {
    const std::string msg = "Cannot write the task summary " + task.TaskSummaryFile() + ": " + why;
    WriteLogRecord(msg, true);
    return err.empty() ? msg : JoinLines(err, msg);
  }
  return err;
}

}  // namespace zw::tasks
