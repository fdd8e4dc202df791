#include "tasks/TaskSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;
const fs::path kSample = fs::path(RAVO_DATA_DIR) / "sample";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

bool Has(const std::string& text, const std::string& line) {
  const auto l = Lines(text);
  return std::find(l.begin(), l.end(), line) != l.end();
}

#define EXPECT_LINE(text, line) EXPECT_TRUE(Has(text, line)) << "missing line [" << (line) << "] in:\n" << (text)
#define EXPECT_NO_LINE(text, line) EXPECT_FALSE(Has(text, line)) << "unexpected line [" << (line) << "] in:\n" << (text)

// A work directory holding a copy of the sample study.
struct SampleDir {
  zw::test::TempDir d;
  SampleDir() {
    for (const auto& e : fs::directory_iterator(kSample)) fs::copy_file(e.path(), d.path() / e.path().filename());
  }
  fs::path Task(int id) const { return d.path() / TaskFileName('T', id, ".INI"); }
  void Write(int id, const std::string& text) const { ASSERT_TRUE(platform::WriteFileAtomic(Task(id), text)); }
  // The sample task file with some keys changed.
  void EditSample(const ProfileEdit& e) const { ASSERT_EQ(e.Apply(Task(1)), ""); }
};

SummaryOptions Fixed(const fs::path& dir = {}) { return {.workDir = dir, .dtouFile = "", .dateLine = "DATE"}; }

std::string Build(const fs::path& file, int id = 1, SummaryOptions o = Fixed()) {
  std::string text;
  const std::string err = BuildTaskSummary(id, TaskFile(file), &text, o);
  EXPECT_EQ(err, "") << text;
  return text;
}

TEST(TaskSummary, SampleStudyReportIsWrittenToTheSummaryFile) {
  SampleDir s;
  clsQXTask t(s.d.path());
  t.SetSilent(true);
  t.SetTaskID(1);
  ASSERT_EQ(t.lTaskID(), 1);
  const fs::path out = s.d.path() / "S0000001.TXT";
  ASSERT_TRUE(platform::WriteFileAtomic(out, "old report\n"));

  std::string text;
  ASSERT_EQ(WriteTaskSummary(t, &text, Fixed()), "");
  EXPECT_EQ(platform::ReadWholeFile(out).value_or(""), text);

  const auto l = Lines(text);
  ASSERT_GE(l.size(), 4u);
  EXPECT_EQ(l[0], "DATE");
  EXPECT_EQ(l[1], "Task ID: 0000001");
  EXPECT_EQ(l[2], "Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials");
  for (const char* line : {"Fixed Facility:", "\tWZWR-FM (sample) Mount Waumbek NH",
                           "\tPosition: 44 26 11.40 N 71 24 47.16 W WGS 84", "\tSite: 1136 m MSL",
                           "\tFrequency: 98.5 MHz", "\tERP: 50 kW", "\tAntenna: 100 m AGL, none (omnidirectional)",
                           "\t\tOrientation: 0.00", "\t\tElec Tilt: 0.00", "\t\tMech Tilt: 0.00",
                           "\t\tTilt Azim: 0.00", "Coverage Area:", "\tRadial Study:", "\t\t36 radials",
                           "\t\t30 km from TX Site", "\t\t1.5 km steps", "Topographic Data:",
                           "\tElevation increment: 0.09 km", "\tEffective Earth Curvature: 1.333",
                           "\tUSGS SRTM Data", "Propagation Model:", "\tLongley-Rice", "\t\tPOLARIZATION H",
                           "\t\tREL PERMITTIVITY 15", "\t\tCONDUCTIVITY 0.005", "\t\tCLIMATE CODE 5",
                           "\t\tVARIABILITY MODE 12", "\t\tLOCATION VARIABILITY 50", "\t\tTIME VARIABILITY 50",
                           "\t\tSITUATION VARIABILITY 50", "Mobile:", "\tAntenna Height: 9.1 m AGL",
                           "\tRequired Field: 60 dBu", "Surface Feature Files:", "\tUse Files: False",
                           "\tNum Files: 0", "Land Use Template:", "\tLand use not included"})
    EXPECT_LINE(text, line);
  EXPECT_NO_LINE(text, "\t\tINVERTED");
  EXPECT_NO_LINE(text, "\tUSGS NED Data");
  // Sections in their fixed order, each ending with a blank line.
  const auto at = [&](const std::string& h) { return std::find(l.begin(), l.end(), h) - l.begin(); };
  const char* order[] = {"Fixed Facility:", "Coverage Area:",         "Topographic Data:", "Propagation Model:",
                         "Mobile:",         "Surface Feature Files:", "Land Use Template:"};
  for (std::size_t i = 1; i < std::size(order); ++i) EXPECT_LT(at(order[i - 1]), at(order[i])) << order[i];
  EXPECT_EQ(l[static_cast<std::size_t>(at("Coverage Area:") - 1)], "");

  // Without its task file nothing is written: the existing report is kept.
  fs::remove(s.Task(1));
  EXPECT_NE(WriteTaskSummary(t), "");
  EXPECT_EQ(platform::ReadWholeFile(out).value_or(""), text);
}

// The sample task with some keys changed: the lines its summary must and must not hold.
TEST(TaskSummary, EditedSampleTasks) {
  const std::string shp = (fs::path(RAVO_DATA_DIR) / "sample" / "T0000001.INI").string();  // a file that exists
  const struct {
    const char* what;
    ProfileEdit edit;
    std::vector<std::string> lines, absent;
  } cases[] = {
      {"terrain data sets by name when not zero",
       ProfileEdit()
           .Set("Quick Coverage", "Pelorin 3-Second DTA files", "1")
           .Set("Quick Coverage", "US DMA DTED Data files", "yes")
           .Set("Quick Coverage", "USGS NED Data", " 0 ")
           .Set("Quick Coverage", "USGS SRTM Data", "0")
           .RemoveKey("Quick Coverage", "Pelorin 30-Meter DTA files"),
       {"\tPelorin 3-Second DTA files", "\tUS DMA DTED Data files"},
       {"\tUSGS NED Data", "\tUSGS SRTM Data", "\tPelorin 30-Meter DTA files", "\tPelorin 30-Second DTA files",
        "\tPelorin 30-Second World DTA files"}},
      {"bare distance and step in the study's units",
       ProfileEdit().Set("Quick Coverage", "Distance", "12").Set("Quick Coverage", "Step", "2")
           .Set("Quick Coverage", "ADV RAD STEP COV", "2|mi"),
       {"\t\t12 km from TX Site", "\t\t2 mi steps"}, {}},
      {"simple tile study",
       ProfileEdit().Set("Quick Coverage", "Rad or Tile", "tile").Set("Quick Coverage", "Advanced Settings", "False")
           .Set("Quick Coverage", "Topo Step", "0.25 km").Set("Elevation Data", "ELX_INT", "Bilinear"),
       {"\tTile Study:", "\t\t30 km from TX Site", "\t\t1.5 km steps", "\tElevation increment: 0.25 km",
        "\tInterpolation: Bilinear"},
       {}},
      {"advanced tile study",
       ProfileEdit().Set("Quick Coverage", "Rad or Tile", "tile").Set("Quick Coverage", "Advanced Settings", "True")
           .Set("Quick Coverage", "ADV S LAT", "44.0").Set("Quick Coverage", "ADV N LAT", "45.0")
           .Set("Quick Coverage", "ADV W LON", "-72.0").Set("Quick Coverage", "ADV E LON", "-71.0")
           .Set("Quick Coverage", "ADV NS Step", "0.5|km").Set("Quick Coverage", "ADV RAD STEP TIL", "0.03|mi"),
       {"\t\tNS Limits: 44.0 to 45.0", "\t\tEW Limits: -72.0 to -71.0", "\t\tN-S Step: 0.5|km",
        "\t\tE-W Step: not given", "\tElevation increment: 0.03 mi"},
       {}},
      {"contour study with a broadcast-curve model",
       ProfileEdit().Set("Quick Coverage", "Rad or Tile", "Contour").Set("RX Facility", "Level 0", "54|dBu|50")
           .ReplaceSection("Propagation Model", {{"MODEL", "BC"}}),
       {"\tContour Study:", "\t\t36 radials", "\t\t54 dBu 50% contour", "\t\t54 dBu f(50,50)"}, {}},
      {"Okumura, inverted antenna, interpolated site, receiver sensitivity",
       ProfileEdit()
           .ReplaceSection("Propagation Model",
                           {{"MODEL", "OK"}, {"AREA_COR", "Urban"}, {"HIL_DIST", "2"}, {"HIL_DISTUN", "km"}})
           .Set("Facility Data", "TX_A1INVRT", "True").Set("Facility Data", "FAC_ELMODE", "Interpolated")
           .Set("Facility Data", "TX_A1ORIEN", "45.125").Set("RX Facility", "Level 0", "-95|dBm|50"),
       {"\t\tAREA TYPE: Urban", "\t\tHILL DISTANCE: 2 km", "\t\tPERCENT: ", "\t\tINVERTED",
        "\t\tOrientation: 45.13", "\tSite: 1136 m MSL (Interpolated)", "\tReceiver Sens: -95 dBm"},
       {"\tRequired Field: -95 dBm"}},
      {"field measurements end after the facility", ProfileEdit().Set("TASK", "Task Type", "field measurements"),
       {"Fixed Facility:"}, {"Coverage Area:", "Propagation Model:"}},
      {"obstruction list and land use",
       ProfileEdit()
           .ReplaceSection("Obstruction List", {{"Use Files", "True"}, {"Num Files", "2"}, {"File 000", shp},
                                                {"File 001", "/nowhere/trees.shp"}})
           .Set("Land Use", "Include LUC", "True").Set("Land Use", "LUC Template", "USGS 24 class"),
       {"\tUse Files: True", "\tNum Files: 2", "\t\tFile 000: " + shp + " (in Task file )",
        "\t\tFile 001: /nowhere/trees.shp (in Task file ) (not found)", "\tUSGS 24 class"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SampleDir s;
    s.EditSample(c.edit);
    const std::string text = Build(s.Task(1));
    for (const auto& line : c.lines) EXPECT_LINE(text, line);
    for (const auto& line : c.absent) EXPECT_NO_LINE(text, line);
  }
}

TEST(TaskSummary, MissingSectionsAndFilesGiveClearText) {
  zw::test::TempDir d;
  const fs::path f = d.path() / "T0000007.INI";
  ASSERT_TRUE(platform::WriteFileAtomic(f, "[TASK]\nTask Type=THRESHOLD (RADIAL)\n"));
  const std::string text = Build(f, 7);
  for (const char* line : {"Task ID: 0000007", "\tNo Fixed Facility data in the Task file",
                           "\tNo Quick Coverage settings in the Task file", "\tEmpty Propagation model for Task",
                           "\tAntenna Height: not given", "\tRequired Field: not given (RX Facility, Level 0)",
                           "\tNo Surface Feature Files in the Task file", "\tLand use not included",
                           "\tEffective Earth Curvature: 1.333"})
    EXPECT_LINE(text, line);

  ASSERT_TRUE(platform::WriteFileAtomic(
      f, "[TASK]\n[Facility Data]\nFAC_LAT=abc\n[Quick Coverage]\nRad or Tile=X\nAdvanced Settings=1\n"
         "[Propagation Model]\nMODEL=Nonesuch\n[RX Facility]\nLevel 0=|dBu|\n"));
  const std::string bad = Build(f, 7);
  for (const char* line : {"\tNO FACILITY DESCRIPTION", "\tPosition: not given",
                           "\tUnknown study area: Rad or Tile is \"X\"", "\tElevation increment: not given (invalid)",
                           "\tUnknown propagation model: Nonesuch"})
    EXPECT_LINE(bad, line);

  std::string text2 = "kept";
  EXPECT_EQ(BuildTaskSummary(-88, TaskFile(f), &text2), "No Task ID");
  EXPECT_EQ(text2, "");
  EXPECT_EQ(BuildTaskSummary(8, TaskFile(d.path() / "T0000008.INI"), nullptr).rfind("Task INI file not found", 0), 0u);

  // No task number: nothing written (no task file: SampleStudyReportIsWrittenToTheSummaryFile).
  clsQXTask none(d.path());
  none.SetSilent(true);
  EXPECT_EQ(WriteTaskSummary(none), "No Task ID");
}

TEST(TaskSummary, AggregateStudyListsMethodAndComponents) {
  SampleDir s;
  s.Write(3, "[TASK]\nTask Desc=Second site\n[Facility Data]\nFAC_DESC=WZWS\nFAC_LAT=44.5\nFAC_LON=-71.5\n"
             "FAC_DATUM=WGS 84\nTX_FREQMHZ=98.7\nTX_A1ERP=10\nTX_A1ERPUN=kW\nTX_A1AGL=50\nTX_A1AGLUN=m\n"
             "TX_A1FNM=dipole.ant\nTX_A1ORIEN=90\nTX_A1ETILT=1.5\nTX_A1MTILT=-2\nTX_A1MDIR=180\nTX_A1INVRT=-1\n");
  const std::string head =
      "[TASK]\nTask Type=AGGREGATE FIELD (TILE)\nTask Desc=Simulcast\nMin Threshold=30\nIsolation=10\n"
      "Max SDS=40\nAdditional U Isolation=6\n";
  const std::string inputs = "[Aggregate Results Input Files]\nNumber=4\nTask1=1\nTask2=3\nTask3=44\nTask4=abc\n";
  s.Write(10, head + "cboMathOpsIndex=6\n" + inputs);
  const std::string text = Build(s.Task(10), 10, Fixed(s.d.path()));
  for (const char* line :
       {"Task ID: 0000010", "Simulcast", "Composite Study: Simulcast (Delay Spread)",
        "\tMinimum Threshold Value: 30 dBu", "\tCapture Ratio: 10 dB", "\tMaximum Delay Spread: 40 uSec",
        "Component Coverages:", "\tTask 0000001:Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials",
        "\t\tWZWR-FM (sample) Mount Waumbek NH", "\t\tFreq: 98.5 MHz", "\t\tERP: 50 kW",
        "\tTask 0000003:Second site", "\t\tWZWS", "\t\tFreq: 98.7 MHz", "\t\tPosition: 44 30 0.00 N 71 30 0.00 W WGS 84",
        "\t\tAntenna: File dipole.ant, 50 m", "\t\tOrientation: 90.00",
        "\t\tTilt: Elec = 1.50;  Mech = -2.00 (Az 180.00)", "\t\tINVERTED", "\tTask 0000044: task file not found",
        "\tTask \"abc\": not a task number"})
    EXPECT_LINE(text, line);
  EXPECT_NO_LINE(text, "Fixed Facility:");

  s.Write(10, head + inputs);  // no method index: -1
  EXPECT_LINE(Build(s.Task(10), 10, Fixed(s.d.path())), "UNKNOWN STUDY TYPE");

  s.Write(10, head + "cboMathOpsIndex=9\n" + inputs);
  const std::string du = Build(s.Task(10), 10, Fixed(s.d.path()));
  for (const char* line : {"Composite Study: D/U Ratio", "\tD/U Ratio: 10 dB", "\tAdditional U isolation: 6 dB",
                           "\t\tTask 0000001:Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials"})
    EXPECT_LINE(du, line);
  EXPECT_NO_LINE(du, "\tMinimum Threshold Value: 30 dBu");

  // Composite, fewer inputs listed than declared.
  s.Write(10, "[TASK]\nTask Type=Composite Field (Tile)\ncboMathOpsIndex=0\n"
              "[Aggregate Results Input Files]\nNumber=3\nA=1\n");
  const std::string few = Build(s.Task(10), 10, Fixed(s.d.path()));
  for (const char* line :
       {"Composite Study: Maximum", "\tMinimum Threshold Value: not given", "\t3 input tasks declared, 1 listed"})
    EXPECT_LINE(few, line);
}

TEST(TaskSummary, InterferenceStudyListsSignalsAndTheDtoUTable) {
  SampleDir s;
  const fs::path table = s.d.path() / "RXREJ.INI";
  ASSERT_TRUE(platform::WriteFileAtomic(
      table, "[RX1]\nnumDsignals=2\nnumRXrej=2\nChnlWidth=25\nOffset=12.5|-12.5\nChnl=1|-1\n"
             "Dsignal00=Strong|-50\nDsignal01=Weak|-90\nRXrej00=60|61\nRXrej01=40|41\n"));
  s.Write(20, "[TASK]\nTask Type=INTERFERENCE\nTask Desc=ACI check\n[Adjacent Channel Interference]\n"
              "Num Undesired TASKS=2\nSumMethod=Power Sum\nDtoU Template=RX1\nTaskD=\nTaskU0000=1\n");
  SummaryOptions o = Fixed(s.d.path());
  o.dtouFile = table.string();
  const std::string text = Build(s.Task(20), 20, o);
  const auto l = Lines(text);
  ASSERT_FALSE(l.empty());
  EXPECT_EQ(l[0], "Adjacent Channel Interference Study");
  for (const char* line :
       {"Task ID: 0000020", "ACI check", "*** DESIRED SIGNAL ***", "\tTask ID for Desired Signal is empty",
        "Summation Method: Power Sum", "Receiver D/U Specifications: RX1", "\tChannel Width: 25 KHz",
        "\tDesc\t\t\tWeak\tStrong", "\tdBm\t\t\t-90\t-50", "\tChnl\tFrom\tTo (MHz)\tD/U (dB)",
        "\t-1\t-0.0375\t-0.0125\t41\t61", "\t1\t0.0125\t0.0375\t40\t60", "Num Undesired TASKS: 2",
        "*** UNDESIRED SIGNAL ***", "\tTask 0000001:Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials",
        "\t\tFreq: 98.5 MHz", "\tRemote Antenna: omnidirectional, 9.1 m AGL", "\tTaskU0001 is empty"})
    EXPECT_LINE(text, line);
  EXPECT_EQ(std::count(l.begin(), l.end(), "*** UNDESIRED SIGNAL ***"), 2);
  // The negative offset row comes before the positive one.
  EXPECT_LT(std::find(l.begin(), l.end(), "\t-1\t-0.0375\t-0.0125\t41\t61"),
            std::find(l.begin(), l.end(), "\t1\t0.0125\t0.0375\t40\t60"));

  // A table that is not in the file, and a study without its section.
  s.Write(20, "[TASK]\nTask Type=Interference\n[Adjacent Channel Interference]\nDtoU Template=NOPE\nTaskD=1\n");
  const std::string missing = Build(s.Task(20), 20, o);
  EXPECT_NE(missing.find("The D/U table [NOPE] was not found in:"), std::string::npos) << missing;
  EXPECT_LINE(missing, "\tTask 0000001:Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials");
  EXPECT_LINE(missing, "Num Undesired TASKS: 0");
  s.Write(20, "[TASK]\nTask Type=INTERFERENCE\n");
  EXPECT_LINE(Build(s.Task(20), 20, o), "No Adjacent Channel Interference settings in the Task file");
}

}  // namespace
}  // namespace zw::tasks
