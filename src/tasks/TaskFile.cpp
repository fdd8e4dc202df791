#include "tasks/TaskFile.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <system_error>

#include "common/Config.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/FileSystem.h"

namespace zw::tasks {
namespace {

std::filesystem::path FileOrSuite(const std::filesystem::path& file) {
  return file.empty() ? std::filesystem::path(SuiteSettingsFile()) : file;
}

std::string Three(int i) { return FormatNumber(i, "000"); }

// Values are single lines: a line break would start a new entry or section.
std::string OneLine(std::string_view v) {
  std::string out(v);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

bool ValidKey(std::string_view k) {
  const std::string t = Trim(k);
  if (t.empty() || t.front() == '[' || t.front() == ';' || t.front() == '#') return false;
  return t.find_first_of("=\r\n") == std::string::npos;
}

bool ValidSection(std::string_view s) {
  const std::string t = Trim(s);
  return !t.empty() && t.find_first_of("[]\r\n") == std::string::npos;
}

std::string Num(double v) { return FormatGeneral(v); }

}  // namespace

std::string TaskReadText(std::string_view section, std::string_view key, std::string_view def,
                         const std::filesystem::path& file) {
  return platform::ProfileGetString(section, key, def, FileOrSuite(file));
}

int TaskReadInt(std::string_view section, std::string_view key, int def, const std::filesystem::path& file) {
  return ReadInt32(section, key, def, FileOrSuite(file).string());
}

double TaskReadDouble(std::string_view section, std::string_view key, double def, const std::filesystem::path& file) {
  return ReadDouble(section, key, def, FileOrSuite(file).string());
}

bool TaskReadBool(std::string_view section, std::string_view key, bool def, const std::filesystem::path& file) {
  // A marker default tells an absent key from a present one.
  const std::string v = platform::ProfileGetString(section, key, "\x01", FileOrSuite(file));
  if (v == "\x01") return def;
  return ProfileTextIsTrue(v);
}

std::vector<std::string> SplitFields(std::string_view value) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    const auto bar = value.find('|', start);
    out.emplace_back(value.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string Field(std::string_view value, int n) {
  if (n < 1) return {};
  const auto f = SplitFields(value);
  return static_cast<std::size_t>(n) <= f.size() ? Trim(f[static_cast<std::size_t>(n - 1)]) : std::string();
}

double FieldNumber(std::string_view value, int n, double def) {
  double d = 0;
  return TryParseDouble(Field(value, n), d) ? d : def;
}

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) out += '|';
    out += fields[i];
  }
  return out;
}

std::string ValueUnit::Text() const { return Num(value) + "|" + unit; }

ValueUnit ValueUnit::Parse(std::string_view text) {
  ValueUnit v;
  v.value = FieldNumber(text, 1);
  v.unit = Field(text, 2);
  return v;
}

// ---- TaskFile

bool TaskFile::Exists() const {
  std::error_code ec;
  return !file_.empty() && std::filesystem::is_regular_file(file_, ec);
}

std::string TaskFile::Text(std::string_view section, std::string_view key, std::string_view def) const {
  return Exists() ? TaskReadText(section, key, def, file_) : Trim(def);
}
int TaskFile::Int(std::string_view section, std::string_view key, int def) const {
  return Exists() ? TaskReadInt(section, key, def, file_) : def;
}
double TaskFile::Double(std::string_view section, std::string_view key, double def) const {
  return Exists() ? TaskReadDouble(section, key, def, file_) : def;
}
bool TaskFile::Bool(std::string_view section, std::string_view key, bool def) const {
  return Exists() ? TaskReadBool(section, key, def, file_) : def;
}
platform::ProfileEntries TaskFile::Section(std::string_view section) const {
  return Exists() ? platform::ProfileGetSection(section, file_) : platform::ProfileEntries{};
}
std::vector<std::string> TaskFile::SectionNames() const {
  return Exists() ? platform::ProfileGetSectionNames(file_) : std::vector<std::string>{};
}
bool TaskFile::HasSection(std::string_view section) const {
  for (const auto& s : SectionNames())
    if (EqualsNoCase(s, Trim(section))) return true;
  return false;
}

TaskIdentity TaskFile::Identity() const {
  TaskIdentity id;
  id.taskId = Text("TASK", "Task ID");
  id.desc = Text("TASK", "Task Desc");
  id.mode = Text("TASK", "Task Mode");
  id.type = Text("TASK", "Task Type");
  id.summary = Text("TASK", "Task Summary");
  id.stat = Text("TASK", "Task Stat");
  id.txtFileOut = Text("TASK", "TXT File Out");
  id.mathOpsIndex = Int("TASK", "cboMathOpsIndex", 0);
  return id;
}

QuickCoverage TaskFile::Coverage() const {
  constexpr std::string_view s = "Quick Coverage";
  QuickCoverage q;
  const std::string rt = Text(s, "Rad or Tile");
  q.radOrTile = rt.empty() ? std::string() : ToUpper(rt.substr(0, 1));
  q.stepCov = ValueUnit::Parse(Text(s, "ADV RAD STEP COV"));
  q.stepTopo = ValueUnit::Parse(Text(s, "ADV RAD STEP TOPO"));
  q.stepTile = ValueUnit::Parse(Text(s, "ADV RAD STEP TIL"));
  const std::string b = Text(s, "ADV Boundary");
  q.boundaryFile = Field(b, 1);
  q.boundaryId = Field(b, 2);
  q.advanced = Bool(s, "Advanced Settings");
  q.numRad = Text(s, "Num Rad");
  q.distance = Text(s, "Distance");
  q.step = Text(s, "Step");
  q.tileStep = Text(s, "STEP");
  q.topoStep = Text(s, "Topo Step");
  q.entries = Section(s);
  return q;
}

ElevationData TaskFile::Elevation() const {
  constexpr std::string_view s = "Elevation Data";
  ElevationData e;
  e.present = HasSection(s);
  e.nlat = Double(s, "elt_nlat", -888);
  e.slat = Double(s, "elt_slat", 888);
  e.elon = Double(s, "elt_elon", -888);
  e.wlon = Double(s, "elt_wlon", 888);
  e.nsStep = Double(s, "elt_nsS", -88);
  e.nsStepUnit = Text(s, "elt_nsSun");
  e.ewStep = Double(s, "elt_ewS", -88);
  e.ewStepUnit = Text(s, "elt_ewSun");
  e.interpolation = Text(s, "ELX_INT");
  return e;
}

LandUse TaskFile::LandUseSettings() const {
  return LandUse{Bool("Land Use", "Include LUC", false), Text("Land Use", "LUC Template")};
}

ObstructionFiles TaskFile::Obstructions(bool preferList) const {
  const std::string s = preferList && HasSection("Obstruction List") ? "Obstruction List" : "Obstruction Files";
  ObstructionFiles o;
  o.useFiles = Bool(s, "Use Files", false);
  const int n = Int(s, "Num Files", 0);
  // A junk count never makes the reader loop for long: indices are three digits.
  for (int i = 0; i < n && i < 1000; ++i) o.files.push_back(Text(s, "File " + Three(i)));
  return o;
}

double TaskFile::KValue() const { return Double("Eff Curvature", "K-Value", 1.333); }

RxFacility TaskFile::Rx() const {
  constexpr std::string_view s = "RX Facility";
  RxFacility rx;
  rx.antennaHeight = Text(s, "Antenna Height");
  std::vector<std::string> parts;
  std::string cur;
  for (char c : rx.antennaHeight + " ") {
    if (c == ' ' || c == '\t') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (parts.size() > 0) rx.heightValue = parts[0];
  if (parts.size() > 1) rx.heightUnit = parts[1];
  if (parts.size() > 2) rx.heightRef = parts[2];
  const auto entries = Section(s);
  for (int n = 0; n < 1000; ++n) {
    const std::string key = "Level " + std::to_string(n);
    bool found = false;
    for (const auto& [k, v] : entries) {
      if (EqualsNoCase(k, key)) {
        rx.levels.push_back(RxLevel{v, Field(v, 1), Field(v, 2), Field(v, 3)});
        found = true;
        break;
      }
    }
    if (!found) break;
  }
  return rx;
}

ResultsDataBase TaskFile::Results() const {
  ResultsDataBase r;
  r.number = Int("Results Data Base", "Number", 0);
  for (int i = 0; i < std::max(r.number, 1) && i < 1000; ++i) {
    const std::string key = "RDB" + Three(i);
    const std::string v = Text("Results Data Base", key, "\x01");
    if (v == "\x01") break;
    r.descriptions.push_back(v);
  }
  return r;
}

// ---- ProfileEdit

ProfileEdit& ProfileEdit::Set(std::string section, std::string key, std::string_view value) {
  ops_.push_back({Op::kSet, std::move(section), std::move(key), OneLine(value)});
  return *this;
}

ProfileEdit& ProfileEdit::ReplaceSection(const std::string& section, const platform::ProfileEntries& entries) {
  RemoveSection(section);
  for (auto& [k, v] : entries) Set(section, k, v);
  if (entries.empty()) ops_.push_back({Op::kSet, section, {}, {}});  // keeps an empty section header
  return *this;
}

ProfileEdit& ProfileEdit::RemoveKey(std::string section, std::string key) {
  ops_.push_back({Op::kRemoveKey, std::move(section), std::move(key), {}});
  return *this;
}

ProfileEdit& ProfileEdit::RemoveSection(std::string section) {
  ops_.push_back({Op::kRemoveSection, std::move(section), {}, {}});
  return *this;
}

std::string ProfileEdit::Apply(const std::filesystem::path& file, const CommitHook& hook) const {
  for (const Op& op : ops_) {
    if (!ValidSection(op.section)) return "Invalid section name: \"" + op.section + "\"";
    if (op.kind != Op::kRemoveSection && !(op.kind == Op::kSet && op.key.empty()) && !ValidKey(op.key))
      return "Invalid key name: \"" + op.key + "\" in section [" + op.section + "]";
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (!fs::is_directory(dir, ec)) return "The directory does not exist: " + dir.string();
  const fs::path temp = platform::StagingPath(dir / file.filename());
  auto fail = [&](std::string why) {
    fs::remove(temp, ec);
    return why;
  };
  try {
    if (fs::exists(file, ec)) {
      if (!fs::copy_file(file, temp, fs::copy_options::overwrite_existing, ec))
        return fail("Cannot copy " + file.string() + ": " + ec.message());
    } else {
      std::string why;
      if (!platform::WriteFileAtomic(temp, "", &why)) return fail("Cannot write " + file.string() + ": " + why);
    }
    for (const Op& op : ops_) {
      bool ok = true;
      std::string why;
      switch (op.kind) {
        case Op::kSet:
          if (op.key.empty()) {
            // An empty section: write a placeholder key and take it out again.
            ok = platform::ProfileWriteString(op.section, "~", "", temp, &why) &&
                 platform::ProfileDelete(op.section, "~", temp, &why);
          } else {
            ok = platform::ProfileWriteString(op.section, op.key, op.value, temp, &why);
          }
          break;
        case Op::kRemoveKey: ok = platform::ProfileDelete(op.section, op.key, temp, &why); break;
        case Op::kRemoveSection: ok = platform::ProfileDelete(op.section, "", temp, &why); break;
      }
      if (!ok) return fail("Cannot write " + file.string() + (why.empty() ? std::string() : ": " + why));
    }
    if (hook && !hook(temp)) return fail("Writing " + file.string() + " was abandoned; the file is unchanged");
    if (std::rename(temp.c_str(), file.c_str()) != 0)
      return fail("Cannot replace " + file.string() + ": " + std::error_code(errno, std::generic_category()).message());
    return {};
  } catch (const std::exception& e) {
    return fail("Writing " + file.string() + " failed (" + e.what() + "); the file is unchanged");
  }
}

ProfileEdit& ProfileEdit::Identity(const TaskIdentity& id) {
  if (!id.mode.empty()) Set("TASK", "Task Mode", id.mode);
  if (!id.summary.empty()) Set("TASK", "Task Summary", id.summary);
  if (!id.type.empty()) Set("TASK", "Task Type", id.type);
  Set("TASK", "Task Desc", id.desc);
  Set("TASK", "Task Stat", id.stat.empty() ? "0" : id.stat);
  if (!id.txtFileOut.empty()) Set("TASK", "TXT File Out", id.txtFileOut);
  if (!id.taskId.empty()) Set("TASK", "Task ID", id.taskId);
  return *this;
}

ProfileEdit& ProfileEdit::Coverage(const QuickCoverage& q) {
  constexpr const char* s = "Quick Coverage";
  if (!q.entries.empty()) ReplaceSection(s, q.entries);
  if (!q.radOrTile.empty()) Set(s, "Rad or Tile", q.radOrTile);
  if (q.stepCov.value != kMissingNumber) Set(s, "ADV RAD STEP COV", q.stepCov.Text());
  if (q.stepTopo.value != kMissingNumber) Set(s, "ADV RAD STEP TOPO", q.stepTopo.Text());
  if (q.stepTile.value != kMissingNumber) Set(s, "ADV RAD STEP TIL", q.stepTile.Text());
  if (q.HasBoundary()) Set(s, "ADV Boundary", q.boundaryFile + "|" + q.boundaryId);
  Set(s, "Advanced Settings", q.advanced ? "True" : "False");
  if (!q.numRad.empty()) Set(s, "Num Rad", q.numRad);
  if (!q.distance.empty()) Set(s, "Distance", q.distance);
  if (!q.step.empty()) Set(s, "Step", q.step);
  if (!q.tileStep.empty()) Set(s, "STEP", q.tileStep);
  if (!q.topoStep.empty()) Set(s, "Topo Step", q.topoStep);
  return *this;
}

ProfileEdit& ProfileEdit::Elevation(const ElevationData& e) {
  constexpr const char* s = "Elevation Data";
  Set(s, "elt_nlat", Num(e.nlat));
  Set(s, "elt_slat", Num(e.slat));
  Set(s, "elt_elon", Num(e.elon));
  Set(s, "elt_wlon", Num(e.wlon));
  Set(s, "elt_nsS", Num(e.nsStep));
  Set(s, "elt_nsSun", e.nsStepUnit);
  Set(s, "elt_ewS", Num(e.ewStep));
  Set(s, "elt_ewSun", e.ewStepUnit);
  if (!e.interpolation.empty()) Set(s, "ELX_INT", e.interpolation);
  return *this;
}

ProfileEdit& ProfileEdit::LandUseSettings(const LandUse& lu) {
  Set("Land Use", "Include LUC", lu.include ? "True" : "False");
  Set("Land Use", "LUC Template", lu.templateName);
  return *this;
}

ProfileEdit& ProfileEdit::Obstructions(const ObstructionFiles& of, bool asList) {
  const std::string s = asList ? "Obstruction List" : "Obstruction Files";
  RemoveSection(s);
  Set(s, "Use Files", of.useFiles ? "True" : "False");
  Set(s, "Num Files", std::to_string(of.files.size()));
  for (std::size_t i = 0; i < of.files.size(); ++i) Set(s, "File " + Three(static_cast<int>(i)), of.files[i]);
  return *this;
}

ProfileEdit& ProfileEdit::KValue(double k) { return Set("Eff Curvature", "K-Value", Num(k)); }

ProfileEdit& ProfileEdit::Rx(const RxFacility& rx) {
  constexpr const char* s = "RX Facility";
  std::string h = rx.antennaHeight;
  if (h.empty() && !rx.heightValue.empty()) h = Trim(rx.heightValue + " " + rx.heightUnit + " " + rx.heightRef);
  Set(s, "Antenna Height", h);
  for (std::size_t i = 0; i < rx.levels.size(); ++i) {
    const RxLevel& l = rx.levels[i];
    Set(s, "Level " + std::to_string(i), l.raw.empty() ? JoinFields({l.level, l.units, l.percent}) : l.raw);
  }
  return *this;
}

ProfileEdit& ProfileEdit::Results(const ResultsDataBase& r) {
  constexpr const char* s = "Results Data Base";
  Set(s, "Number", std::to_string(r.number));
  for (std::size_t i = 0; i < r.descriptions.size(); ++i) Set(s, "RDB" + Three(static_cast<int>(i)), r.descriptions[i]);
  return *this;
}

}  // namespace zw::tasks
