#include "platform/ProgramDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TempDir.h"
#include "platform/MessageBox.h"

namespace zw::platform {
namespace {

TEST(ProgramDir, EnvironmentThenFallbackFileThenFailure) {
  test::TempDir dir;
  ::setenv(kHomeVariable, "/opt/zw//", 1);
  EXPECT_EQ(FindProgramDirectory(dir.path()).directory, "/opt/zw/");
  ::unsetenv(kHomeVariable);  // (left unset, as every test that sets it leaves it)
  auto r = FindProgramDirectory(dir.path());
  EXPECT_EQ(r.directory, "");
  EXPECT_EQ(r.error, "Unable to get Pelorin Directory from Windows Registry");
  std::ofstream(dir.path() / kRegistryFallbackFile) << "[config]\r\npelorindirectory = C:\\ZW\\\\\r\n";
  r = FindProgramDirectory(dir.path());
  EXPECT_EQ(r.directory, "C:\\ZW\\");
  EXPECT_EQ(r.error, "");
  const std::pair<const char*, const char*> cases[] = {
      {"a\\\\", "a\\"}, {"a//", "a/"}, {"a\\/", "a\\"}, {"a/\\\\/", "a/"}, {"a/", "a/"}, {"", ""}};
  for (const auto& [in, want] : cases) EXPECT_EQ(StripDoubledSeparators(in), want) << in;
}

TEST(MessageBox, ScriptedAnswersThenDefaults) {
  auto scripted = std::make_shared<ScriptedMessages>();
  auto previous = SetMessages(scripted);
  scripted->Answer(false);
  EXPECT_FALSE(Messages().YesNo("T", "create?", true));
  EXPECT_TRUE(Messages().YesNo("T", "again?", true));  // script exhausted: the default
  Messages().Information("Title", "Text");
  const auto log = scripted->Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2].kind, "information");
  EXPECT_EQ(log[2].title, "Title");
  SetMessages(previous);

  TerminalMessages forced(TerminalMessages::Answer::kNo, true);
  EXPECT_FALSE(forced.YesNo("T", "q", true));
  TerminalMessages yes(TerminalMessages::Answer::kYes, true);
  EXPECT_TRUE(yes.YesNo("T", "q", false));
}

}  // namespace
}  // namespace zw::platform
