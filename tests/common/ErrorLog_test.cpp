#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TempDir.h"
#include "common/ErrorHandler.h"
#include "platform/FileSystem.h"

namespace zw {
namespace {

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
