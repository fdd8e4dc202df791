#include "tasks/TaskSummary.h"

#include <array>
#include <cmath>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>

#include "common/ErrorHandler.h"
#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"
#include "interference/clsQXDtoU.h"
#include "platform/FileSystem.h"
#include "tasks/PathsFile.h"
#include "tasks/TaskCodes.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 7> kTerrainSets{
    "Pelorin 30-Second DTA files", "Pelorin 30-Second World DTA files", "Pelorin 3-Second DTA files",
    "Pelorin 30-Meter DTA files",  "US DMA DTED Data files",           "USGS NED Data",
    "USGS SRTM Data"};

// Keyed look-up over a section read whole (names without regard to case).
class Entries {
 public:
  Entries() = default;
  explicit Entries(platform::ProfileEntries e) : e_(std::move(e)) {}
  bool Empty() const { return e_.empty(); }
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  std::string Get(std::string_view key, std::string_view def = {}) const {
    const std::string* v = Find(key);
    return v ? Trim(*v) : std::string(def);
  }
  double Number(std::string_view key) const { return ParseDouble(Get(key)); }
  bool Flag(std::string_view key) const {
    const std::string v = ToUpper(Get(key));
    return v == "-1" || v == "TRUE" || v == "1";
  }
  const platform::ProfileEntries& All() const { return e_; }

 private:
  const std::string* Find(std::string_view key) const {
    for (const auto& [k, v] : e_)
      if (EqualsNoCase(Trim(k), key)) return &v;
    return nullptr;
  }
  platform::ProfileEntries e_;
};

// Parts joined by one blank, blank parts left out.
std::string Words(std::initializer_list<std::string> parts) {
  std::string out;
  for (const auto& p : parts) {
    const std::string t = Trim(p);
    if (t.empty()) continue;
    if (!out.empty()) out += ' ';
    out += t;
  }
  return out;
}

std::string Tabs(int n) { return std::string(static_cast<std::size_t>(n), '\t'); }

class Report {
 public:
  void Line(int indent, std::string_view text) { out_ += Tabs(indent) + std::string(text) + "\n"; }
  void Blank() { out_ += "\n"; }
  std::string& Text() { return out_; }

 private:
  std::string out_;
};

std::string Fixed2(const Entries& e, std::string_view key) { return FormatNumber(e.Number(key), "#0.00"); }

// A number given as text, or "not given" when blank.
std::string Given(const std::string& s) { return s.empty() ? std::string("not given") : s; }

// A distance or step as entered; a bare number gets the unit the study's own
// keys give it, so that no number goes out without one.
std::string GivenWithUnit(const std::string& s, const std::string& unit) {
  const bool bare = !s.empty() && s.find_first_not_of("0123456789.+-eE") == std::string::npos;
  return bare && !unit.empty() ? s + " " + unit : Given(s);
}

// Level text of "Level 0" fields 1 and 2: "60 dBu".
std::string LevelText(std::string_view level0) { return Words({Field(level0, 1), Field(level0, 2)}); }

// "60 dBu 50% contour", or a clear note when the level is incomplete.
std::string ContourLine(std::string_view level0) {
  const std::string level = LevelText(level0), pct = Field(level0, 3);
  if (Field(level0, 1).empty()) return "Contour level not given (RX Facility, Level 0)";
  return level + " " + Given(pct) + "% contour";
}

// Latitude and longitude of a facility in its display system.
std::string PositionText(const Entries& fac) {
  double lat = 0, lon = 0;
  if (!TryParseDouble(fac.Get("FAC_LAT"), lat) || !TryParseDouble(fac.Get("FAC_LON"), lon))
    return "not given";
  const std::string datum = fac.Get("FAC_DATUM");
  std::string disp = fac.Get("FAC_CSDISP");
  if (disp.empty()) disp = datum;
  std::string note;
  const std::string srcKey = CoordSysIsValid(datum) ? datum : DatumLibKey(datum);
  const std::string dstKey = CoordSysIsValid(disp) ? disp : DatumLibKey(disp);
  if (!EqualsNoCase(srcKey, dstKey)) {
    const CoordConversion c = ConvertPosition(srcKey, dstKey, lat, lon);
    if (c.bOK) {
      lat = c.dLat;
      lon = c.dLon;
    } else {
      disp = datum;
      note = " (not converted: " + c.sError + ")";
    }
  }
  std::string name = DatumDisplayName(disp);
  if (name.empty()) name = disp;
  return Words({CoordText(lat, "LT"), CoordText(lon, "LN"), name}) + note;
}

std::string AntennaText(const Entries& fac) {
  const std::string file = fac.Get("TX_A1FNM"), type = fac.Get("TX_A1TID");
  if (!file.empty()) return "File " + file;
  if (!type.empty()) return "Type " + type;
  return "none (omnidirectional)";
}

// Remote (receiving) antenna of a task: its mobile antenna and height.
std::string RemoteAntennaText(const TaskFile& f) {
  const Entries mob(f.MobileData());
  std::string ant = mob.Get("MO_A1FNM");
  if (ant.empty()) ant = Words({mob.Get("MO_A1TID"), mob.Get("MO_A1TYP")});
  if (ant.empty()) ant = "omnidirectional";
  std::string height = Trim(f.Rx().antennaHeight);
  if (height.empty() && !mob.Get("MO_RXmAGL").empty()) height = mob.Get("MO_RXmAGL") + " m AGL";
  return height.empty() ? ant : ant + ", " + height;
}

// A section that fails stops the report; the failure names its marker.
struct SectionFailure : std::runtime_error {
  SectionFailure(std::string marker, const std::string& why)
      : std::runtime_error(why), marker(std::move(marker)) {}
  std::string marker;
};

class SummaryBuilder {
 public:
  SummaryBuilder(std::int32_t id, const TaskFile& file, const SummaryOptions& o) : id_(id), file_(file), opt_(o) {
    if (opt_.workDir.empty()) opt_.workDir = file_.Path().parent_path();
  }

  std::string Build(std::string* text) {
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

 private:
  void Header() {
    r_.Line(0, opt_.dateLine.empty() ? GeneralDateNow() : opt_.dateLine);
    r_.Line(0, "Task ID: " + TaskNumberText(id_));
    if (const std::string desc = Trim(file_.Text("TASK", "TASK DESC")); !desc.empty()) r_.Line(0, desc);
    r_.Blank();
  }

  // Runs one section under its marker.
  void Run(const char* marker, void (SummaryBuilder::*section)()) {
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

  void Coverage(bool fieldMeasurements) {
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

  // ---- Coverage sections ------------------------------------------------------

  void Facility() {
    r_.Line(0, "Fixed Facility:");
    const Entries fac(file_.FacilityData());
    if (fac.Empty()) {
      r_.Line(1, "No Fixed Facility data in the Task file");
      return;
    }
    const std::string desc = fac.Get("FAC_DESC");
    r_.Line(1, desc.empty() ? "NO FACILITY DESCRIPTION" : desc);
    r_.Line(1, "Position: " + PositionText(fac));
    const bool interpolated = ToUpper(fac.Get("FAC_ELMODE")).rfind('I', 0) == 0;
    r_.Line(1, "Site: " + Words({Given(fac.Get("FAC_ELV")), fac.Get("FAC_ELVUN"), "MSL",
                                 interpolated ? "(Interpolated)" : ""}));
    r_.Line(1, "Frequency: " + Given(fac.Get("TX_FREQMHZ")) + " MHz");
    r_.Line(1, "ERP: " + Words({Given(fac.Get("TX_A1ERP")), fac.Get("TX_A1ERPUN")}));
    r_.Line(1, "Antenna: " + Words({Given(fac.Get("TX_A1AGL")), fac.Get("TX_A1AGLUN"), fac.Get("TX_A1ELMOD")}) +
                   ", " + AntennaText(fac));
    r_.Line(2, "Orientation: " + Fixed2(fac, "TX_A1ORIEN"));
    r_.Line(2, "Elec Tilt: " + Fixed2(fac, "TX_A1ETILT"));
    r_.Line(2, "Mech Tilt: " + Fixed2(fac, "TX_A1MTILT"));
    r_.Line(2, "Tilt Azim: " + Fixed2(fac, "TX_A1MDIR"));
    if (fac.Flag("TX_A1INVRT")) r_.Line(2, "INVERTED");
  }

  void CoverageArea() {
    r_.Line(0, "Coverage Area:");
    const Entries qc(file_.Section("Quick Coverage"));
    if (qc.Empty()) {
      r_.Line(1, "No Quick Coverage settings in the Task file");
      return;
    }
    const std::string kind = file_.Coverage().radOrTile;
    if (kind == "T")
      Run("PRT_TILE", &SummaryBuilder::Tile);
    else if (kind == "R")
      Run("PRT_RADIAL", &SummaryBuilder::Radial);
    else if (kind == "C")
      Run("PRT_CONTOUR", &SummaryBuilder::Contour);
    else
      r_.Line(1, "Unknown study area: Rad or Tile is \"" + qc.Get("Rad or Tile") + "\"");
  }

  void Tile() {
    const Entries qc(file_.Section("Quick Coverage"));
    r_.Line(1, "Tile Study:");
    if (!qc.Flag("Advanced Settings")) {
      r_.Line(2, Given(qc.Get("Distance")) + " from TX Site");
      r_.Line(2, Given(qc.Get("STEP")) + " steps");
      return;
    }
    r_.Line(2, "NS Limits: " + Given(qc.Get("ADV S LAT")) + " to " + Given(qc.Get("ADV N LAT")));
    r_.Line(2, "EW Limits: " + Given(qc.Get("ADV W LON")) + " to " + Given(qc.Get("ADV E LON")));
    r_.Line(2, "N-S Step: " + Given(qc.Get("ADV NS Step")));
    r_.Line(2, "E-W Step: " + Given(qc.Get("ADV EW Step")));
  }

  void RadialLines() {
    const Entries qc(file_.Section("Quick Coverage"));
    // The units of bare numbers: the radials' length unit and the step's.
    std::string lengthUnit;
    if (const auto radials = ReadPathsFile(opt_.workDir / TaskFileName('E', id_, ".INI")); radials && !radials->empty())
      lengthUnit = radials->front().unit;
    r_.Line(2, Given(qc.Get("Num Rad")) + " radials");
    r_.Line(2, GivenWithUnit(qc.Get("Distance"), lengthUnit) + " from TX Site");
    r_.Line(2, GivenWithUnit(qc.Get("Step"), file_.Coverage().stepCov.unit) + " steps");
  }

  void Radial() {
    r_.Line(1, "Radial Study:");
    RadialLines();
  }

  void Contour() {
    r_.Line(1, "Contour Study:");
    RadialLines();
    r_.Line(2, ContourLine(file_.Text("RX Facility", "Level 0")));
  }

  void TopoData() {
    r_.Line(0, "Topographic Data:");
    const QuickCoverage qc = file_.Coverage();
    const Entries e(qc.entries);
    std::string step;
    if (!qc.advanced) {
      step = Given(e.Get("Topo Step"));
    } else {
      const char* key = qc.radOrTile == "T" ? "ADV RAD STEP TIL" : "ADV RAD STEP TOPO";
      const ValueUnit& vu = qc.TerrainStep();
      step = vu.Valid() ? Words({FormatGeneral(vu.value), vu.unit}) : Given(e.Get(key)) + " (invalid)";
    }
    r_.Line(1, "Elevation increment: " + step);
    r_.Line(1, "Effective Earth Curvature: " + FormatGeneral(file_.KValue()));
    r_.Line(1, "Interpolation: " + Given(Trim(file_.Text("Elevation Data", "ELX_INT"))));
    for (const char* set : kTerrainSets) {
      const std::string v = e.Get(set, "0");
      if (v != "0") r_.Line(1, set);
    }
  }

  void PropModel() {
    r_.Line(0, "Propagation Model:");
    const Entries pm(file_.PropagationModel());
    const std::string model = pm.Get("MODEL");
    if (model.empty()) {
      r_.Line(1, "Empty Propagation model for Task");
      return;
    }
    const std::string code = ModelCodeOf(model);
    if (code.empty()) {
      r_.Line(1, "Unknown propagation model: " + model);
      return;
    }
    const auto names = ModelDisplayNames(code);
    r_.Line(1, names.empty() ? model : names.front());
    const std::string level0 = file_.Text("RX Facility", "Level 0");
    auto p = [&](const char* label, std::initializer_list<const char*> keys) {
      std::string v;
      for (const char* k : keys) v = Words({v, pm.Get(k)});
      r_.Line(2, std::string(label) + v);
    };
    if (code == "BC" || code == "SM") {
      const double pct = FieldNumber(level0, 3, -1);
      r_.Line(2, Words({LevelText(level0), pct >= 0 ? "f(50," + FormatNumber(pct, "00") + ")" : "f(50,?)"}));
    } else if (code == "BU") {
      const std::string mode = ToUpper(pm.Get("BU_MODE"));
      if (mode == "MIN DISTANCE")
        p("Min Distance: ", {"MIN_DIST", "MINDISTUN"});
      else if (mode == "OBSTACLE PEAKS")
        p("Peak Resolution: ", {"MIN_DIST", "MINDISTUN"});
      else
        r_.Line(2, "Mode: " + Given(pm.Get("BU_MODE")));
    } else if (code == "CA" || code == "CX" || code == "CG") {
      if (code == "CA") p("Vertical Plane Gain: ", {"CA_VGNMODE"});
      r_.Line(2, ContourLine(level0));
    } else if (code == "HD") {
      p("Area Type: ", {"AREA_COR"});
    } else if (code == "LR") {
      p("POLARIZATION ", {"POLARIZ"});
      p("REL PERMITTIVITY ", {"REL_PERMIT"});
      p("CONDUCTIVITY ", {"CONDUCTIVI"});
      p("CLIMATE CODE ", {"CLIM_CODE"});
      p("VARIABILITY MODE ", {"LR_MDVAR"});
      p("LOCATION VARIABILITY ", {"LR_VARLOC"});
      p("TIME VARIABILITY ", {"LR_VARTIM"});
      p("SITUATION VARIABILITY ", {"LR_VARSIT"});
    } else if (code == "OK") {
      p("AREA TYPE: ", {"AREA_COR"});
      p("STREET ORIENTATION: ", {"ORIENT_COR"});
      p("SLOPE CORRECTION: ", {"SLOPE_COR"});
      p("LAND-SEA PATH CORRECTION: ", {"LNDSEA_COR"});
      p("SEA ELEVATION: ", {"LNDSE_EL", "LNDSE_ELUN"});
      p("ROLLING HILLS: ", {"ROLHIL_COR"});
      p("HILL DISTANCE: ", {"HIL_DIST", "HIL_DISTUN"});
      p("HILL LOCATION: ", {"HILLOC_COR"});
      p("ISOLATED RIDGES: ", {"OK_RIDGES"});
      p("PERCENT LOCATIONS: ", {"LOCS_COR"});
      p("PERCENT: ", {"LOCS_PRCNT"});
    } else if (code == "RO") {
      p("OBSTACLE RESOLUTION: ", {"RO_OBRES", "RO_OBRESUN"});
      p("LOSS MODE: ", {"RO_AMODE"});
    }
    // EG, SH and SF: the heading only.
  }

  // "Level 0" = level | units | percent [| level | units]: a power level
  // (dBm, dBW, W, mW) is the receiver sensitivity, anything else the required
  // field; the optional fields 4 and 5 give the other one.
  void Mobile() {
    r_.Line(0, "Mobile:");
    const RxFacility rx = file_.Rx();
    r_.Line(1, "Antenna Height: " + Given(Trim(rx.antennaHeight)));
    const std::string level0 = file_.Text("RX Facility", "Level 0");
    if (Field(level0, 1).empty()) {
      r_.Line(1, "Required Field: not given (RX Facility, Level 0)");
      return;
    }
    auto isPower = [](const std::string& unit) {
      const std::string u = ToUpper(unit);
      return u == "DBM" || u == "DBW" || u == "W" || u == "MW";
    };
    std::string sens, field;
    for (int first : {1, 4}) {
      const std::string level = Field(level0, first), unit = Field(level0, first + 1);
      if (level.empty()) continue;
      (isPower(unit) ? sens : field) = Words({level, unit});
    }
    if (!sens.empty()) r_.Line(1, "Receiver Sens: " + sens);
    if (!field.empty()) r_.Line(1, "Required Field: " + field);
  }

  void Obstructions() {
    r_.Line(0, "Surface Feature Files:");
    const bool fromList = !file_.Section("Obstruction List").empty();
    const Entries sec(file_.Section(fromList ? "Obstruction List" : "Obstruction Files"));
    if (sec.Empty()) {
      r_.Line(1, "No Surface Feature Files in the Task file");
      return;
    }
    r_.Line(1, "Use Files: " + Given(sec.Get("Use Files")));
    r_.Line(1, "Num Files: " + Given(sec.Get("Num Files")));
    const ObstructionFiles of = file_.Obstructions(fromList);
    for (std::size_t i = 0; i < of.files.size(); ++i) {
      const std::string name = Trim(of.files[i]);
      std::string line = "File " + FormatNumber(double(i), "000") + ": " + (name.empty() ? "(blank)" : name);
      if (fromList && !name.empty()) line += " (in Task file )";
      std::error_code ec;
      fs::path p(name);
      if (!name.empty() && !fs::exists(p, ec) && !(p.is_relative() && fs::exists(opt_.workDir / p, ec)))
        line += " (not found)";
      r_.Line(2, line);
    }
  }

  void LandUseTemplate() {
    r_.Line(0, "Land Use Template:");
    const LandUse lu = file_.LandUseSettings();
    if (!lu.include)
      r_.Line(1, "Land use not included");
    else
      r_.Line(1, Given(Trim(lu.templateName)));
  }

  // ---- Other tasks of aggregate and interference studies -------------------------

  struct Other {
    std::int32_t id = kNoTask;
    std::optional<TaskFile> file;  // set when the task file exists
    std::string raw;
  };

  Other Load(const std::string& value) const {
    Other o;
    o.raw = Trim(value);
    o.id = ParseTaskNumber(Field(value, 1));
    if (o.id < 1) return o;
    TaskFile f(opt_.workDir / TaskFileName('T', o.id, ".INI"));
    if (f.Exists()) o.file = std::move(f);
    return o;
  }

  // "Task 0000002: description" or why the task cannot be shown; true when it can.
  bool TaskLine(int indent, const Other& o) {
    if (o.id < 1) {
      r_.Line(indent, "Task \"" + o.raw + "\": not a task number");
      return false;
    }
    if (!o.file) {
      r_.Line(indent, "Task " + TaskNumberText(o.id) + ": task file not found");
      return false;
    }
    const std::string desc = Trim(o.file->Text("TASK", "Task Desc"));
    r_.Line(indent, "Task " + TaskNumberText(o.id) + ":" + (desc.empty() ? "NO TASK DESCRIPTION" : desc));
    return true;
  }

  void ComponentLines(int indent, const TaskFile& f) {
    const Entries fac(f.FacilityData());
    const std::string desc = fac.Get("FAC_DESC");
    r_.Line(indent, desc.empty() ? "NO FACILITY DESCRIPTION" : desc);
    r_.Line(indent, "Freq: " + Given(fac.Get("TX_FREQMHZ")) + " MHz");
    r_.Line(indent, "ERP: " + Words({Given(fac.Get("TX_A1ERP")), fac.Get("TX_A1ERPUN")}));
    r_.Line(indent, "Position: " + PositionText(fac));
    r_.Line(indent, "Antenna: " + AntennaText(fac) + ", " +
                        Words({Given(fac.Get("TX_A1AGL")), fac.Get("TX_A1AGLUN"), fac.Get("TX_A1ELMOD")}));
    r_.Line(indent, "Orientation: " + Fixed2(fac, "TX_A1ORIEN"));
    r_.Line(indent, "Tilt: Elec = " + Fixed2(fac, "TX_A1ETILT") + ";  Mech = " + Fixed2(fac, "TX_A1MTILT") +
                        " (Az " + Fixed2(fac, "TX_A1MDIR") + ")");
    if (fac.Flag("TX_A1INVRT")) r_.Line(indent, "INVERTED");
  }

  // Input tasks of an aggregate study: the first "Number" keys after "Number".
  std::vector<std::string> InputTasks(int& declared) {
    const Entries sec(file_.Section("Aggregate Results Input Files"));
    declared = static_cast<int>(std::lround(std::max(0.0, std::min(1e6, sec.Number("Number")))));
    std::vector<std::string> out;
    for (const auto& [k, v] : sec.All()) {
      if (EqualsNoCase(Trim(k), "Number")) continue;
      if (static_cast<int>(out.size()) >= declared) break;
      out.push_back(v);
    }
    return out;
  }

  std::string TaskValue(const char* key, const char* unit) {
    const std::string v = Trim(file_.Text("TASK", key));
    return v.empty() ? std::string("not given") : v + " " + unit;
  }

  void Aggregate() {
    Header();
    int declared = 0;
    const std::vector<std::string> inputs = InputTasks(declared);
    const int method = file_.Int("TASK", "cboMathOpsIndex", -1);
    const std::string name = AggregateMethodName(method);
    if (name.empty()) {
      r_.Line(0, "UNKNOWN STUDY TYPE");
    } else {
      r_.Line(0, "Composite Study: " + name);
      if (method != 9) r_.Line(1, "Minimum Threshold Value: " + TaskValue("Min Threshold", "dBu"));
      if (method == 4 || method == 5 || method == 6) r_.Line(1, "Capture Ratio: " + TaskValue("Isolation", "dB"));
      if (method == 6) r_.Line(1, "Maximum Delay Spread: " + TaskValue("Max SDS", "uSec"));
      if (method == 9) {
        r_.Line(1, "D/U Ratio: " + TaskValue("Isolation", "dB"));
        r_.Line(1, "Additional U isolation: " + TaskValue("Additional U Isolation", "dB"));
        if (inputs.empty()) {
          r_.Line(1, "Desired signal from: no input task");
        } else {
          const Other d = Load(inputs.front());
          r_.Line(1, "Desired signal from: ");
          TaskLine(2, d);
          r_.Line(1, "Remote Antenna: " + RemoteAntennaText(file_));
          r_.Line(2, "Aligned to " + (d.id > 0 ? "Task " + TaskNumberText(d.id) : std::string("the desired signal")));
        }
      }
    }
    r_.Blank();
    r_.Line(0, "Component Coverages:");
    if (inputs.empty()) r_.Line(1, "No input tasks (Aggregate Results Input Files)");
    for (const auto& v : inputs) {
      const Other o = Load(v);
      if (TaskLine(1, o)) ComponentLines(2, *o.file);
    }
    if (static_cast<int>(inputs.size()) < declared)
      r_.Line(1, FormatGeneral(declared) + " input tasks declared, " + FormatGeneral(double(inputs.size())) +
                     " listed");
    r_.Blank();
  }

  // One desired or undesired signal: its task, facility and remote antenna.
  void SignalBlock(const Other& o) {
    if (!TaskLine(1, o)) return;
    const Entries fac(o.file->FacilityData());
    const std::string desc = fac.Get("FAC_DESC");
    r_.Line(2, desc.empty() ? "NO FACILITY DESCRIPTION" : desc);
    r_.Line(2, "Freq: " + Given(fac.Get("TX_FREQMHZ")) + " MHz");
    r_.Line(2, "ERP: " + Words({Given(fac.Get("TX_A1ERP")), fac.Get("TX_A1ERPUN")}));
    r_.Line(1, "Remote Antenna: " + RemoteAntennaText(*o.file));
  }

  void DtoUTable(const std::string& name) {
    r_.Line(0, "Receiver D/U Specifications: " + name);
    if (name.empty()) {
      r_.Line(1, "No D/U Template in the Task file");
      return;
    }
    clsQXDtoU t;
    t.bSilent(true);
    // The study's own table file ("DtoU File", beside the task file when relative) unless one is given.
    const std::string own = Trim(file_.Text("Adjacent Channel Interference", "DtoU File"));
    if (!opt_.dtouFile.empty())
      t.sINIfile(opt_.dtouFile);
    else if (!own.empty())
      t.sINIfile(std::filesystem::path(own).is_relative() ? (file_.Path().parent_path() / own).string() : own);
    if (auto err = t.DtoU_Load(name); !err.empty()) {
      for (std::size_t a = 0, b; a <= err.size(); a = b + 1) {
        b = err.find('\n', a);
        if (b == std::string::npos) b = err.size();
        if (b > a) r_.Line(1, err.substr(a, b - a));
      }
      return;
    }
    t.SortOnDdBm(false);
    t.SortOnOffset();
    if (t.dChnlWid() > 0 && !Trim(t.sChnlUnits()).empty())
      r_.Line(1, "Channel Width: " + FormatGeneral(t.dChnlWid()) + " " + t.sChnlUnits());
    std::string desc = "Desc\t\t", dbm = "dBm\t\t";
    for (int i = 0; i < t.iNumDlevels(); ++i) {
      desc += "\t" + Trim(t.Dlevel(i)->sDesc());
      dbm += "\t" + t.Dlevel(i)->sDdBm();
    }
    r_.Line(1, desc);
    r_.Line(1, dbm);
    r_.Line(1, "Chnl\tFrom\tTo (MHz)\tD/U (dB)");
    for (int j = 0; j < t.iNumOffsets(); ++j) {
      std::string line = t.RXoffset(j)->sChnlOffset() + "\t" + FormatNumber(t.dOffsetLo(j), "0.0000") + "\t" +
                         FormatNumber(t.dOffsetHi(j), "0.0000");
      for (int i = 0; i < t.iNumDlevels(); ++i) line += "\t" + t.Dlevel(i)->sDtoU(j);
      r_.Line(1, line);
    }
  }

  void Interference() {
    r_.Line(0, "Adjacent Channel Interference Study");
    Header();
    const char* sec = "Adjacent Channel Interference";
    const Entries aci(file_.Section(sec));
    if (aci.Empty()) {
      r_.Line(0, "No Adjacent Channel Interference settings in the Task file");
      r_.Blank();
      return;
    }
    r_.Line(0, "*** DESIRED SIGNAL ***");
    const std::string desired = aci.Get("TaskD");
    if (desired.empty())
      r_.Line(1, "Task ID for Desired Signal is empty");
    else
      SignalBlock(Load(desired));
    r_.Blank();
    r_.Line(0, "Summation Method: " + Given(aci.Get("SumMethod")));
    r_.Blank();
    DtoUTable(aci.Get("DtoU Template"));
    r_.Blank();
    const int n = static_cast<int>(std::lround(std::max(0.0, std::min(9999.0, aci.Number("Num Undesired TASKS")))));
    r_.Line(0, "Num Undesired TASKS: " + FormatGeneral(n));
    for (int i = 0; i < n; ++i) {
      r_.Blank();
      r_.Line(0, "*** UNDESIRED SIGNAL ***");
      const std::string key = "TaskU" + FormatNumber(i, "0000");
      const std::string v = aci.Get(key);
      if (v.empty())
        r_.Line(1, key + " is empty");
      else
        SignalBlock(Load(v));
    }
    r_.Blank();
  }

  std::int32_t id_;
  const TaskFile& file_;
  SummaryOptions opt_;
  Report r_;
};

}  // namespace

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
