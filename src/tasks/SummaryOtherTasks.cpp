// The sections of aggregate (composite) and interference studies' summaries:
// their method, component or signal tasks and the receiver D/U table.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "interference/clsQXDtoU.h"
#include "tasks/SummaryBuilder.h"

namespace zw::tasks::summary {

SummaryBuilder::Other SummaryBuilder::Load(const std::string& value) const {
  Other o;
  o.raw = Trim(value);
  o.id = ParseTaskNumber(Field(value, 1));
  if (o.id < 1) return o;
  TaskFile f(opt_.workDir / TaskFileName('T', o.id, ".INI"));
  if (f.Exists()) o.file = std::move(f);
  return o;
}

// "Task 0000002: description" or why the task cannot be shown; true when it can.
bool SummaryBuilder::TaskLine(int indent, const Other& o) {
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

void SummaryBuilder::ComponentLines(int indent, const TaskFile& f) {
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
std::vector<std::string> SummaryBuilder::InputTasks(int& declared) {
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

std::string SummaryBuilder::TaskValue(const char* key, const char* unit) {
  const std::string v = Trim(file_.Text("TASK", key));
  return v.empty() ? std::string("not given") : v + " " + unit;
}

void SummaryBuilder::Aggregate() {
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
void SummaryBuilder::SignalBlock(const Other& o) {
  if (!TaskLine(1, o)) return;
  const Entries fac(o.file->FacilityData());
  const std::string desc = fac.Get("FAC_DESC");
  r_.Line(2, desc.empty() ? "NO FACILITY DESCRIPTION" : desc);
  r_.Line(2, "Freq: " + Given(fac.Get("TX_FREQMHZ")) + " MHz");
  r_.Line(2, "ERP: " + Words({Given(fac.Get("TX_A1ERP")), fac.Get("TX_A1ERPUN")}));
  r_.Line(1, "Remote Antenna: " + RemoteAntennaText(*o.file));
}

void SummaryBuilder::DtoUTable(const std::string& name) {
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

void SummaryBuilder::Interference() {
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

}  // namespace zw::tasks::summary
