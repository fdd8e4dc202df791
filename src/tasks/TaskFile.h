#pragma once
// The task file of a study ("T" + number + ".INI"): typed readers of its
// sections, raw access to any section or key, and an edit that applies a set
// of key writes and section replacements to the file all at once.
//
// Reading goes through the profile functions (section and key names match
// without regard to case; an absent key gives the reader's default). Writing
// never leaves a half-written file: the edits are made on a copy beside the
// file, which then replaces it in one rename.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Profile.h"

namespace zw::tasks {

// Sentinels of the task-file readers.
inline constexpr double kMissingNumber = -88888.0;

// ---- Typed accessors over the profile functions. An empty file name means
// the suite's settings file, not a task file.
std::string TaskReadText(std::string_view section, std::string_view key, std::string_view def,
                         const std::filesystem::path& file);
int TaskReadInt(std::string_view section, std::string_view key, int def, const std::filesystem::path& file);
double TaskReadDouble(std::string_view section, std::string_view key, double def, const std::filesystem::path& file);
// True when the trimmed, upper-cased value is "-1", "TRUE" or "1"; an absent
// key gives def.
bool TaskReadBool(std::string_view section, std::string_view key, bool def, const std::filesystem::path& file);

// ---- Compound values: fields separated by "|", numbered from 1.
std::vector<std::string> SplitFields(std::string_view value);
// Field n (from 1), trimmed; empty when missing.
std::string Field(std::string_view value, int n);
// Field n as a number, or def when missing or not a number.
double FieldNumber(std::string_view value, int n, double def = kMissingNumber);
std::string JoinFields(const std::vector<std::string>& fields);

// A value | unit pair ("1.5|km").
struct ValueUnit {
  double value = kMissingNumber;
  std::string unit;
  // A value above 0 with a unit.
  bool Valid() const { return value > 0 && !unit.empty(); }
  std::string Text() const;  // "value|unit" in the general number form
  static ValueUnit Parse(std::string_view text);
};

// ---- Sections.
struct TaskIdentity {          // [TASK]
  std::string taskId;          // "Task ID", seven digits
  std::string desc;            // "Task Desc"
  std::string mode;            // "Task Mode"
  std::string type;            // "Task Type"
  std::string summary;         // "Task Summary"
  std::string stat;            // "Task Stat" as written
  std::string txtFileOut;      // "TXT File Out"
  int mathOpsIndex = 0;        // "cboMathOpsIndex" (default 0)
  bool Details() const { return txtFileOut == "Details"; }
};

struct QuickCoverage {         // [Quick Coverage]
  std::string radOrTile;       // first letter of "Rad or Tile", upper-cased
  ValueUnit stepCov;           // "ADV RAD STEP COV"
  ValueUnit stepTopo;          // "ADV RAD STEP TOPO"
  ValueUnit stepTile;          // "ADV RAD STEP TIL"
  std::string boundaryFile;    // "ADV Boundary" field 1
  std::string boundaryId;      // "ADV Boundary" field 2
  bool advanced = false;       // "Advanced Settings"
  std::string numRad, distance, step, tileStep, topoStep;  // simple settings as entered
  platform::ProfileEntries entries;                        // the whole section
  bool HasBoundary() const { return !boundaryFile.empty() && !boundaryId.empty(); }
  // The terrain step of the study: the tile step for tile studies, else the topo step.
  const ValueUnit& TerrainStep() const { return radOrTile == "T" ? stepTile : stepTopo; }
};

struct ElevationData {         // [Elevation Data]
  double nlat = -888, slat = 888, elon = -888, wlon = 888;
  double nsStep = -88, ewStep = -88;
  std::string nsStepUnit, ewStepUnit;
  std::string interpolation;   // "ELX_INT"
  bool present = false;        // the section exists
};

struct LandUse {               // [Land Use]
  bool include = false;        // "Include LUC"
  std::string templateName;    // "LUC Template"
};

struct ObstructionFiles {      // [Obstruction Files] / [Obstruction List]
  bool useFiles = false;             // "Use Files"
  std::vector<std::string> files;    // "File 000" .. "File " + (n-1), as written (blank ones kept)
};

struct RxLevel {               // "Level n": level | units | percent
  std::string raw;
  std::string level, units, percent;
};

struct RxFacility {            // [RX Facility]
  std::string antennaHeight;   // "Antenna Height" as written
  std::string heightValue, heightUnit, heightRef = "AGL";  // its blank-separated fields
  std::vector<RxLevel> levels; // "Level 0", "Level 1", ... while present
};

struct ResultsDataBase {       // [Results Data Base]
  int number = 0;              // "Number"
  std::vector<std::string> descriptions;  // "RDB000", "RDB001", ...
};

class TaskFile {
 public:
  TaskFile() = default;
  explicit TaskFile(std::filesystem::path file) : file_(std::move(file)) {}
  const std::filesystem::path& Path() const { return file_; }
  bool Exists() const;

  // Raw access.
  std::string Text(std::string_view section, std::string_view key, std::string_view def = {}) const;
  int Int(std::string_view section, std::string_view key, int def = 0) const;
  double Double(std::string_view section, std::string_view key, double def = 0) const;
  bool Bool(std::string_view section, std::string_view key, bool def = false) const;
  platform::ProfileEntries Section(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  bool HasSection(std::string_view section) const;

  TaskIdentity Identity() const;
  platform::ProfileEntries FacilityData() const { return Section("Facility Data"); }
  platform::ProfileEntries MobileData() const { return Section("Mobile Data"); }
  platform::ProfileEntries PropagationModel() const { return Section("Propagation Model"); }
  QuickCoverage Coverage() const;
  ElevationData Elevation() const;
  LandUse LandUseSettings() const;
  // From [Obstruction List] when preferList and that section exists, else [Obstruction Files].
  ObstructionFiles Obstructions(bool preferList = false) const;
  double KValue() const;  // [Eff Curvature] "K-Value", default 1.333
  RxFacility Rx() const;
  ResultsDataBase Results() const;

 private:
  std::filesystem::path file_;
};

// A set of changes applied to a profile file in one replacement.
class ProfileEdit {
 public:
  // Called after the edited copy is complete and before it replaces the
  // file; returning false (or throwing) abandons the edit.
  using CommitHook = std::function<bool(const std::filesystem::path& temp)>;

  ProfileEdit& Set(std::string section, std::string key, std::string_view value);
  // Replaces a whole section (removed first, then written in the given order).
  ProfileEdit& ReplaceSection(const std::string& section, const platform::ProfileEntries& entries);
  ProfileEdit& RemoveKey(std::string section, std::string key);
  ProfileEdit& RemoveSection(std::string section);
  bool Empty() const { return ops_.empty(); }

  // Applies every change; "" on success, else the failure and the file as it was.
  std::string Apply(const std::filesystem::path& file, const CommitHook& hook = {}) const;

  // Typed sections.
  ProfileEdit& Identity(const TaskIdentity& id);  // the keys of [TASK] that are not empty
  ProfileEdit& Coverage(const QuickCoverage& qc); // typed keys only; entries replace the section when given
  ProfileEdit& Elevation(const ElevationData& e);
  ProfileEdit& LandUseSettings(const LandUse& lu);
  ProfileEdit& Obstructions(const ObstructionFiles& of, bool asList = false);
  ProfileEdit& KValue(double k);
  ProfileEdit& Rx(const RxFacility& rx);
  ProfileEdit& Results(const ResultsDataBase& r);

 private:
  struct Op {
    enum Kind { kSet, kRemoveKey, kRemoveSection } kind;
    std::string section, key, value;
  };
  std::vector<Op> ops_;
};

}  // namespace zw::tasks
