// Loading a stored study through lTaskID and the calculation report of a
// loaded task, on a copy of the sample study.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ErrorHandler.h"
#include "coverage/clsAreaCovPaths.h"
#include "engine/clsRFProp.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "tasks/TaskFile.h"
#include "tasks/clsQXTask.h"
#include "Installation.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

// A temporary installation whose work directory holds a copy of the sample
// study.
class SampleInstall : public test::Installation {
 public:
  SampleInstall() : work_(NewWork("WORK")) {}
  fs::path work() const { return work_; }
  fs::path taskFile() const { return work() / "T0000001.INI"; }
  void Edit(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_EQ(tasks::ProfileEdit().Set(section, key, value).Apply(taskFile()), "");
  }

 private:
  fs::path work_;
};

// The lines of the sample task's calculation report after OpenCalcReport;
// `open` says whether the report was left open for the results.
std::vector<std::string> ReportLines(const SampleInstall& inst, bool* open = nullptr) {
  clsRFProp e;
  e.lTaskID(1);
  EXPECT_EQ(e.sTaskMessage(), "");
  std::ofstream out;
  EXPECT_EQ(e.OpenCalcReport(out), "");
  if (open) *open = out.is_open();
  out.close();
  std::ifstream in(inst.work() / "T0000001.TXT", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// True when a line is the text (or, with `start`, begins with it).
bool HasLine(const std::vector<std::string>& lines, const std::string& text, bool start = false) {
  for (const auto& l : lines)
    if (start ? l.rfind(text, 0) == 0 : l == text) return true;
  return false;
}

TEST(RFPropTaskLoad, SampleTaskLoadsEveryPart) {
  SampleInstall inst;
  clsRFProp e;
  e.lTaskID(1);
  ASSERT_EQ(e.sTaskMessage(), "");
  EXPECT_TRUE(inst.messages().Log().empty()) << inst.messages().Log().front().text;
  ASSERT_NE(e.cTask(), nullptr);
  EXPECT_EQ(e.cTask()->lTaskID(), 1);
  EXPECT_EQ(e.sTaskType(), "THRESHOLD (RADIAL)");
  // Facility.
  ASSERT_NE(e.cFAC(), nullptr);
  EXPECT_EQ(e.cFAC()->GetText("FAC_DESC"), "WZWR-FM (sample) Mount Waumbek NH");
  EXPECT_NEAR(e.dFacLat(), 44.4365, 1e-6);
  EXPECT_NEAR(e.dFacLon(), -71.4131, 1e-6);
  EXPECT_NEAR(e.dFreqMHz(), 98.5, 1e-9);
  EXPECT_NEAR(e.FACERPdBm(), 10.0 * std::log10(50e6), 1e-9);  // 50 kW in mW
  EXPECT_NEAR(e.FACTXmAGL(), 100.0, 1e-9);
  EXPECT_NEAR(e.FACTXmMSL(), 1236.0, 1e-9);
  // Mobile from [RX Facility].
  ASSERT_NE(e.cMOB(), nullptr);
  EXPECT_NEAR(e.MOBAntM(), 9.1, 1e-5);
  EXPECT_FALSE(e.bMOBMSL());
  EXPECT_EQ(e.cMOB()->GetText("RX_A1FLDUN"), "dBu");
  EXPECT_NEAR(e.cMOB()->GetDouble("RX_A1FLD"), 60.0, 1e-9);
  EXPECT_NEAR(e.dContourPct(), 50.0, 1e-9);
  // Model, terrain step, curvature, details flag, quick coverage.
  EXPECT_EQ(e.sPropModel(), "Longley-Rice");
  ASSERT_NE(e.cPropMod(), nullptr);
  ASSERT_NE(e.Calculator(), nullptr);
  EXPECT_EQ(e.Calculator()->sNameModel2(), "LR");
  EXPECT_NEAR(e.dTopoStep(), 0.09, 1e-12);
  EXPECT_EQ(e.sTopoStepUn(), "km");
  EXPECT_NEAR(e.dKCurve(), 1.333, 1e-12);
  EXPECT_FALSE(e.bDetails());
  ASSERT_NE(e.cQuickCov(), nullptr);
  EXPECT_EQ(e.cQuickCov()->GetText("Num Rad"), "36");
  EXPECT_EQ(e.cQuickCov()->GetText("ADV RAD STEP COV"), "1.5|km");
  // Land use and obstructions come from the task, both off.
  ASSERT_NE(e.cLandUse(), nullptr);
  EXPECT_FALSE(e.cLandUse()->bUse());
  ASSERT_NE(e.cOBS(), nullptr);
  EXPECT_FALSE(e.cOBS()->bUse());
  EXPECT_EQ(e.cOBS()->iFileCount(), 0);
  // The study generator knows the task and the transmitter.
  ASSERT_NE(e.cCovArea(), nullptr);
  ASSERT_NE(e.cCovArea()->task(), nullptr);
  EXPECT_EQ(e.cCovArea()->task()->lTaskID, 1);
  EXPECT_EQ(e.cCovArea()->task()->sDesc, "Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials");
  EXPECT_EQ(e.cCovArea()->TaskType(), "THRESHOLD (RADIAL)");
  EXPECT_NEAR(e.cCovArea()->TXLat(), 44.4365, 1e-9);
  EXPECT_NEAR(e.cCovArea()->TXSiteElvM(), 1136.0f, 1e-3);
}

// Each row edits a copy of the sample task, then loads it: refused with the
// message (and no task), or accepted.
TEST(RFPropTaskLoad, FailuresAreReportedAndLeaveNoTask) {
  const std::string pct = "Contour percent value must be greater than zero and less than 100.\nSetting is ";
  using Edits = std::vector<std::array<std::string, 3>>;
  const struct {
    Edits edits;
    std::string want;       // the whole message ("" accepted); {file}: the task file
    bool silent = false;    // silent: logged, not shown
    long id = 1;            // -1: task 1 with its task file removed
    bool partial = false;   // the message holds `want`
    double contourPct = 0;  // when accepted and not 0
  } cases[] = {
      {{}, "Task INI file not found:\n{file}", false, -1},
      {{}, "Task 0000077 not found in the task database", false, 77, true},
      {{{"Propagation Model", "MODEL", ""}}, "Empty Propagation model for Task"},
      {{{"Quick Coverage", "ADV RAD STEP TOPO", "0|km"}}, "Invalid Topo Data Step in Task."},
      // Radial studies take the topo step: a broken tile step does not matter.
      {{{"Quick Coverage", "ADV RAD STEP TIL", "|km"}}, ""},
      {{{"Quick Coverage", "Rad or Tile", "T"}, {"Quick Coverage", "ADV RAD STEP TIL", "0.09|"}},
       "Invalid Topo Data Step in Task.", true},
      // A contour study without a percent reads it as 0; other studies do not look at it.
      {{{"TASK", "Task Type", "CTR"}, {"RX Facility", "Level 0", "39|dBu"}}, pct + "0"},
      {{{"TASK", "Task Type", "CTR"}, {"RX Facility", "Level 0", "39|dBu|90"}}, "", false, 1, false, 90.0},
      {{{"RX Facility", "Level 0", "60|dBu|0"}}, ""},
  };
  for (const auto& c : cases) {
    SampleInstall inst;
    SCOPED_TRACE(c.want);
    for (const auto& [section, key, value] : c.edits) inst.Edit(section, key, value);
    if (c.id < 0) fs::remove(inst.taskFile());
    clsRFProp e;
    e.bSilent(c.silent);
    e.lTaskID(c.id < 0 ? 1 : c.id);
    std::string want = c.want;
    if (const auto at = want.find("{file}"); at != std::string::npos) want.replace(at, 6, inst.taskFile().string());
    if (c.partial) {
      EXPECT_NE(e.sTaskMessage().find(want), std::string::npos) << e.sTaskMessage();
    } else {
      EXPECT_EQ(e.sTaskMessage(), want);
    }
    if (want.empty()) {
      if (c.contourPct != 0) {
        EXPECT_NEAR(e.dContourPct(), c.contourPct, 1e-12);
      }
      continue;
    }
    EXPECT_EQ(e.cTask(), nullptr);
    EXPECT_EQ(e.cCovArea(), nullptr);
    if (c.silent) {
      EXPECT_TRUE(inst.messages().Log().empty());
      EXPECT_NE(inst.Log().find(want), std::string::npos);
    } else if (!c.partial) {
      EXPECT_TRUE(inst.Shown(want.substr(0, want.find('\n'))));
    }
  }
}

TEST(RFPropTaskLoad, ContourPercentOfContourStudies) {
  const std::string text = "Contour percent value must be greater than zero and less than 100.\nSetting is ";
  for (const char* type : {"CTR", "CONTOUR"}) {
    for (const char* pct : {"0", "100", "-5"}) {
      SampleInstall inst;
      inst.Edit("TASK", "Task Type", type);
      inst.Edit("RX Facility", "Level 0", std::string("39|dBu|") + pct);
      clsRFProp e;
      e.lTaskID(1);
      EXPECT_EQ(e.sTaskMessage(), text + pct) << type << " " << pct;
      const auto log = inst.messages().Log();
      ASSERT_EQ(log.size(), 1u) << type << " " << pct;  // shown once
      EXPECT_EQ(log[0].title, "Invalid or Incomplete RX Settings");
      EXPECT_EQ(log[0].text, text + pct);
      EXPECT_EQ(e.cTask(), nullptr);
    }
  }
}

TEST(RFPropTaskLoad, ContourOnlyModelsServeContourStudiesOfRadialsOnly) {
  struct Case {
    const char* type;
    const char* summary;
    const char* named;  // "" = accepted
  };
  const Case cases[] = {{"CONTOUR", "CX RAD 36 radials", ""},
                        {"CONTOUR", "CX TGT targets", "a CONTOUR study of target points (TGT)"},
                        {"THRESHOLD (RADIAL)", "CX RAD 36 radials", "a THRESHOLD (RADIAL) study"},
                        {"THRESHOLD (TILE)", "CX TIL 100 x 100", "a THRESHOLD (TILE) study"}};
  for (const char* model : {"Carey - FCC 94-201", "Cellular - CGSA"}) {
    for (const Case& c : cases) {
      SampleInstall inst;
      inst.Edit("Propagation Model", "MODEL", model);
      inst.Edit("Propagation Model", "CX_CURVE", "1");
      inst.Edit("TASK", "Task Type", c.type);
      inst.Edit("RX Facility", "Level 0", "39|dBu|50");
      {
        tasks::clsQXTask record(inst.work());  // the study's geometry is in the record's summary
        record.SetSilent(true);
        record.SetTaskID(1);
        record.sSum = c.summary;
        ASSERT_EQ(record.TaskSave(), "");
      }
      clsRFProp e;
      e.bSilent(true);
      e.lTaskID(1);
      if (*c.named == 0) {
        EXPECT_EQ(e.sTaskMessage(), "") << model << " " << c.type;
        EXPECT_NE(e.cTask(), nullptr);
        continue;
      }
      EXPECT_EQ(e.cTask(), nullptr) << model << " " << c.type;
      EXPECT_NE(e.sTaskMessage().find("serves contour studies (task type CONTOUR"), std::string::npos)
          << e.sTaskMessage();
      EXPECT_NE(e.sTaskMessage().find(std::string("not ") + c.named + "."), std::string::npos) << e.sTaskMessage();
      EXPECT_FALSE(fs::exists(inst.work() / "R0000001.DBF"));
    }
  }
}

TEST(RFPropTaskLoad, ReceiveSettingsReachTheMobile) {
  SampleInstall inst;
  inst.Edit("RX Facility", "Antenna Height", "30 ft");  // reference defaults to AGL
  inst.Edit("RX Facility", "Level 0", "39|dBm|50");
  clsRFProp e;
  e.lTaskID(1);
  EXPECT_NEAR(e.MOBAntM(), 9.144, 1e-4);
  EXPECT_EQ(e.cMOB()->GetText("MOB_RXREF"), "AGL");
  EXPECT_NE(e.sTaskMessage().find("Field strength units for mobile are not in dBu: dBm"), std::string::npos);
  EXPECT_EQ(e.cTask(), nullptr);
}

TEST(RFPropCalcReport, LinesOfTheSampleTask) {
  SampleInstall inst;
  bool open = false;
  const auto lines = ReportLines(inst, &open);
  EXPECT_TRUE(open);  // left open for the results
  ASSERT_GE(lines.size(), 14u);
  EXPECT_EQ(lines[1], "Task 1\tSample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials");
  EXPECT_EQ(lines[2], "Longley-Rice THRESHOLD (RADIAL) Calculations");
  EXPECT_EQ(lines[3], "WZWR-FM (sample) Mount Waumbek NH");
  EXPECT_EQ(lines[4], "98.50000 MHz");
  EXPECT_EQ(lines[5].rfind("Site ", 0), 0u);
  EXPECT_NE(lines[5].find("N"), std::string::npos);
  EXPECT_NE(lines[5].find("W"), std::string::npos);
  EXPECT_EQ(lines[6], "     1136.00m");
  EXPECT_EQ(lines[7], "     ");
  EXPECT_EQ(lines[8], "Transmit: 100.00m AGL");
  EXPECT_EQ(lines[9], "          50.00000kW ERP");
  // No antenna description: no antenna block.
  EXPECT_EQ(lines[10], "Effective earth curvature 1.333");
  EXPECT_EQ(lines[11], "Receive: 9.10m AGL");
  EXPECT_EQ(lines[12], "     ");
  EXPECT_EQ(lines[13], "Longley-Rice Propagation Study");
  EXPECT_FALSE(HasLine(lines, "Antenna: ", true));
  EXPECT_FALSE(HasLine(lines, "Obstruction files", true));
  EXPECT_FALSE(HasLine(lines, "Land Use Data", true));
}

TEST(RFPropCalcReport, AntennaBlockAndOptionalParts) {
  SampleInstall inst;
  inst.Edit("Facility Data", "TX_A1TYP", "Panel 4-bay");
  inst.Edit("Facility Data", "TX_A1ORIEN", "45");
  inst.Edit("Facility Data", "TX_A1MTILT", "0");
  inst.Edit("Facility Data", "TX_A1ETILT", "2.5");
  inst.Edit("Land Use", "Include LUC", "True");
  inst.Edit("Land Use", "LUC Template", "NLCD");
  const auto lines = ReportLines(inst);
  EXPECT_TRUE(HasLine(lines, "Antenna: Panel 4-bay"));
  EXPECT_TRUE(HasLine(lines, "         Orientation 45.00"));
  EXPECT_TRUE(HasLine(lines, "           Elec Tilt 2.50"));
  EXPECT_FALSE(HasLine(lines, "           Mech Tilt", true));
  EXPECT_FALSE(HasLine(lines, "           Inverted"));
  EXPECT_TRUE(HasLine(lines, "Land Use Data included in calculations;  Template:  NLCD"));
}

TEST(RFPropCalcReport, ParametersOnlyClosesAndOverwrites) {
  SampleInstall inst;
  inst.Edit("TASK", "TXT File Out", "Parameters Only");
  {
    std::ofstream old(inst.work() / "T0000001.TXT");
    old << "an older report with more lines than the new one\n";
    for (int i = 0; i < 100; ++i) old << "x\n";
  }
  bool open = true;
  const auto lines = ReportLines(inst, &open);
  EXPECT_FALSE(open);
  EXPECT_FALSE(HasLine(lines, "x"));
  EXPECT_TRUE(HasLine(lines, "Longley-Rice Propagation Study"));
}

TEST(RFPropCalcReport, WithoutTaskNothingIsWritten) {
  SampleInstall inst;
  clsRFProp e;
  e.bSilent(true);
  std::ofstream out;
  EXPECT_NE(e.OpenCalcReport(out), "");
  EXPECT_FALSE(out.is_open());
  EXPECT_FALSE(fs::exists(inst.work() / "T0000000.TXT"));
}

}  // namespace
}  // namespace zw
