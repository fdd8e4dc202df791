#pragma once
// The task summary report under construction: one builder per report, one
// member per section. Coverage sections are in SummaryCoverage.cpp, the
// aggregate and interference studies in SummaryOtherTasks.cpp.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tasks/SummaryText.h"
#include "tasks/TaskCodes.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskSummary.h"

namespace zw::tasks::summary {

// A section that fails stops the report; the failure names its marker.
struct SectionFailure : std::runtime_error {
  SectionFailure(std::string marker, const std::string& why)
      : std::runtime_error(why), marker(std::move(marker)) {}
  std::string marker;
};

class SummaryBuilder {
 public:
  SummaryBuilder(std::int32_t id, const TaskFile& file, const SummaryOptions& o);

  // The report into *text; "" on success, else "Error in " + the failing section's marker.
  std::string Build(std::string* text);

 private:
  void Header();
  // Runs one section under its marker.
  void Run(const char* marker, void (SummaryBuilder::*section)());
  void Coverage(bool fieldMeasurements);

  // Coverage sections
  void Facility();
  void CoverageArea();
  void Tile();
  void RadialLines();
  void Radial();
  void Contour();
  void TopoData();
  void PropModel();
  void Mobile();
  void Obstructions();
  void LandUseTemplate();

  // Other tasks of aggregate and interference studies
  struct Other {
    std::int32_t id = kNoTask;
    std::optional<TaskFile> file;  // set when the task file exists
    std::string raw;
  };

  Other Load(const std::string& value) const;
  // "Task 0000002: description" or why the task cannot be shown; true when it can.
  bool TaskLine(int indent, const Other& o);
  void ComponentLines(int indent, const TaskFile& f);
  // Input tasks of an aggregate study: the first "Number" keys after "Number".
  std::vector<std::string> InputTasks(int& declared);
  std::string TaskValue(const char* key, const char* unit);
  void Aggregate();
  // One desired or undesired signal: its task, facility and remote antenna.
  void SignalBlock(const Other& o);
  void DtoUTable(const std::string& name);
  void Interference();

  std::int32_t id_;
  const TaskFile& file_;
  SummaryOptions opt_;
  Report r_;
};

}  // namespace zw::tasks::summary
