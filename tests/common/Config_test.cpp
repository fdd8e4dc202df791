#include "common/Config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Installation.h"
#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

namespace zw {
namespace {

using test::Installation;

TEST(Config, PathsFollowTheInstallationAndTheLogin) {
  Installation inst;
  const std::string home = inst.path().string();
  ::setenv("ZWRAVOPROP_HOME", (home + "//").c_str(), 1);
  ResetConfigCache();
  EXPECT_EQ(ProgramDirectory(), home + "/");  // the doubled separator is dropped
  EXPECT_EQ(SuiteSettingsFile(), home + "/ZWOXA32.INI");
  EXPECT_EQ(DefaultsFile(), home + "/ZWDEFAULTS.INI");
  SetUserLogin("ann");
  EXPECT_EQ(DefaultsFile(), home + "/ZWDEFAULTS_ann.INI");
  EXPECT_EQ(CoverageSettingsFile(), home + "/ZWQXCoverage_ann.INI");
  EXPECT_EQ(SuiteSettingsFile(), home + "/ZWOXA32.INI");  // not per user

  EXPECT_EQ(PerUserFileName("NOEXT", "bob"), "NOEXT_bob.INI");
  EXPECT_EQ(PerUserFileName("dir.d/file", "bob"), "dir.d/file_bob.INI");
  EXPECT_EQ(PerUserFileName("A.B.txt", "bob"), "A.B_bob.txt");
  EXPECT_EQ(PerUserFileName("A.INI", "  "), "A.INI");
  EXPECT_EQ(JoinDir("C:\\ZW\\", "\\X.INI"), "C:\\ZW/X.INI");
}

TEST(Config, WorkingDirectoriesAreCreatedOnConsentAndSettingsOverride) {
  Installation inst;
  std::ofstream(inst.path() / "ZWOXA32.INI") << "[CONFIG]\nWORK PATH=" << (inst.path() / "w").string() << "/\n";
  EXPECT_EQ(WorkDirectory(), (inst.path() / "w").string());
  EXPECT_TRUE(std::filesystem::is_directory(inst.path() / "w"));
  EXPECT_EQ(SystemDirectory(), (inst.path() / "SYSTEM").string());
  inst.messages().Answer(false);  // refuses to create the antenna directory
  EXPECT_EQ(AntennaDirectory(), (inst.path() / "ANTENNAS").string());
  EXPECT_FALSE(std::filesystem::exists(inst.path() / "ANTENNAS"));
  const auto log = inst.messages().Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().title, "Path Not Found");
  EXPECT_NE(log.back().text.find("Do you want to create the new path?"), std::string::npos);
}

TEST(Config, VerifyPathMessages) {
  Installation inst;
  const std::string missing = (inst.path() / "a" / "b").string();
  EXPECT_FALSE(VerifyPath(missing, false).has_value());
  auto log = inst.messages().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].title, "Path Error");
  EXPECT_EQ(log[0].text, "The specified path does not exist:\n" + missing +
                             "\nYou must specify an existing path for this function.");
  inst.messages().Answer(true);
  EXPECT_EQ(VerifyPath(missing + "/", true), missing);  // created level by level, trailing separator gone
  EXPECT_TRUE(std::filesystem::is_directory(missing));
  EXPECT_EQ(VerifyPath("C:", false), "C:");
  inst.messages().Clear();
  EXPECT_TRUE(VerifyPath("  ", false).has_value());
  log = inst.messages().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].title, "Path Specification");
}

TEST(Config, TypedReadersAndDefaultsFile) {
  Installation inst;
  std::ofstream(inst.path() / "ZWDEFAULTS.INI")
      << "[S]\nb1=true\nb2= 1 \nb3=-1\nb4=yes\nd=12.5\nbad=abc\ni=40000\nn=-7\nbig=" << std::string(3000, 'x')
      << "\n[Map]\nk1=v1\nk2=v2\n";
  for (const char* key : {"b1", "b2", "b3"}) EXPECT_TRUE(ReadBool("S", key)) << key;
  EXPECT_FALSE(ReadBool("S", "b4", true));
  EXPECT_TRUE(ReadBool("S", "missing", true));
  EXPECT_DOUBLE_EQ(ReadDouble("S", "d", 1.0), 12.5);
  EXPECT_DOUBLE_EQ(ReadDouble("S", "bad", 1.0), 1.0);
  EXPECT_EQ(ReadInt16("S", "i", 3), 3);  // out of range of 16 bits
  EXPECT_EQ(ReadInt32("S", "i", 3), 40000);
  EXPECT_EQ(ReadInt16(" S ", " n ", 3), -7);
  EXPECT_EQ(ReadString("S", "big").size(), 1999u);
  const FieldCollection m = ReadSectionMap("map");
  ASSERT_EQ(m.Count(), 2u);
  EXPECT_EQ(m.At(1).first, "k2");
  ASSERT_TRUE(WriteString("S", "d", "3"));
  EXPECT_DOUBLE_EQ(ReadDouble("S", "d"), 3.0);
  EXPECT_TRUE(ReadBool("S", "b1"));  // the rest of the file is still there
}

TEST(ErrorHandler, LogRecordsTraceAndMessageAndAnUnwritableLogIsNotFatal) {
  Installation inst;
  const auto sys = inst.path() / "SYSTEM";
  std::ofstream(sys / "ZWEHPR00.INI") << "[PROC]\n5724=clsRFProp.lTaskID\n";
  std::ofstream(sys / "ZWEHPR01.INI") << "[PROC]\n77=Second file\n";
  {
    ProcScope a(5724);
    a.Step(1200);
    ProcScope b(77);
    ProcScope c(9999);
    c.Step(5);
    EXPECT_EQ(ProcCurrentStep(), 5);
    const std::string shown = ReportError(13, "Type mismatch", "while loading", false);
    EXPECT_NE(shown.find("Error 13:  Type mismatch"), std::string::npos);
    EXPECT_NE(shown.find("Faxing or e-mailing this file to Pelorin"), std::string::npos);
    EXPECT_NE(shown.find("(4) Any other details about the symptom."), std::string::npos);
  }
  EXPECT_EQ(ProcDepth(), 0u);
  ProcLeave();  // harmless on an empty trace

  const std::string log = platform::ReadWholeFile(inst.path() / "ZWTECSUP.TXT").value_or("");
  for (const char* line : {":  *************************  (ZWRavoprop ", ":  Error 13:  Type mismatch\n \n",
                           ":  clsRFProp.lTaskID; Flag 1200\n", ":  Second file\n", ":  Procedure: 9999; Flag 5\n",
                           ":  DETAIL: while loading\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  const auto shown = inst.messages().Log();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Error in ZWRAVOPROP");

  // Error 0 logs but shows nothing; an empty trace still writes "Procedures:".
  inst.messages().Clear();
  SetPendingError(5, "pending text");
  ReportError(0, "False", "", false);
  EXPECT_TRUE(inst.messages().Log().empty());
  const std::string log2 = platform::ReadWholeFile(inst.path() / "ZWTECSUP.TXT").value_or("");
  EXPECT_NE(log2.find(":  Error 0:  pending text\n \n"), std::string::npos);
  EXPECT_EQ(PendingErrorNumber(), 0);
  // An unwritable log is not fatal.
  SetTechSupportLogPath((inst.path() / "no" / "dir" / "log.txt").string());
  EXPECT_FALSE(WriteLogRecord("x", false));
  EXPECT_FALSE(ReportError(1, "d", "", true).empty());
  EXPECT_TRUE(inst.messages().Log().empty());  // silent
}

TEST(TextJoin, JoinRules) {
  EXPECT_EQ(JoinLines("", "B"), "B");
  EXPECT_EQ(JoinLines("  ", "B"), "B");
  EXPECT_EQ(JoinLines("A", " ", kBlankLine, false), "A");
  EXPECT_EQ(JoinLines("A", "", kBlankLine, true), "A\n\n");
  EXPECT_EQ(JoinLines("A", "B"), "A\nB");
  EXPECT_EQ(ErrorText("", 0, "x"), "");
  EXPECT_EQ(ErrorText("Proc", 0, "x"), "Proc\nError 0: x");
  EXPECT_EQ(ErrorText("", 9, "Bad"), "Error 9: Bad");
}

// Identical records are folded into one count; the log without an
// installation directory is the user's, always spelled ZWTECSUP.TXT.
TEST(ErrorLog, RepeatedRecordsAreFoldedAndTheLogHasOneName) {
  test::TempDir dir;
  const auto log = dir.path() / kTechSupportLogName;
  SetTechSupportLogPath(log.string());
  for (int i = 0; i < 1001; ++i) ASSERT_TRUE(WriteLogRecord("point failed: no terrain", false));
  ASSERT_TRUE(WriteLogRecord("another failure", false));
  ASSERT_TRUE(WriteLogRecord("another failure", false));
  FlushLogRecords();
  const std::string text = platform::ReadWholeFile(log).value_or("");
  SetTechSupportLogPath("");
  EXPECT_EQ(text.find("point failed"), text.rfind("point failed")) << text;  // written once
  EXPECT_NE(text.find("... and 1,000 more like this"), std::string::npos) << text;
  EXPECT_NE(text.find("... and 1 more like this"), std::string::npos) << text;
  EXPECT_LT(text.find("1,000 more"), text.find("another failure"));

  ::setenv("XDG_STATE_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(UserStateLogPath(), (dir.path() / "zwravoprop" / "ZWTECSUP.TXT").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "zwravoprop"));
  ::unsetenv("XDG_STATE_HOME");
  // Model errors of an area run, each naming its own point, are logged up to
  // the run's budget and then summed up in one line; outside a run all are.
  test::TempDir dir2;
  const auto log2 = dir2.path() / kTechSupportLogName;
  SetTechSupportLogPath(log2.string());
  auto count = [&](const std::string& what) {
    FlushLogRecords();
    const std::string text = platform::ReadWholeFile(log2).value_or("");
    std::size_t n = 0;
    for (std::size_t p = 0; (p = text.find(what, p)) != std::string::npos; ++p) ++n;
    return n;
  };
  {
    const ModelErrorBudget budget(10);
    for (int i = 0; i < 500; ++i) LogModelError("path at azimuth " + std::to_string(i) + " failed", true);
  }
  EXPECT_EQ(count("failed"), 10u);
  EXPECT_EQ(count("More model errors follow"), 1u);
  for (int i = 0; i < 20; ++i) LogModelError("path at azimuth " + std::to_string(i) + " failed", true);
  EXPECT_EQ(count("failed"), 30u);
  SetTechSupportLogPath("");
}

}  // namespace
}  // namespace zw
