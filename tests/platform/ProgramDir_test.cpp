#include "platform/ProgramDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TempDir.h"
#include "platform/MessageBox.h"

namespace zw::platform {
namespace {

class HomeVariable {
 public:
  explicit HomeVariable(const char* value) {
    if (const char* old = std::getenv(kHomeVariable)) old_ = old, had_ = true;
    if (value) ::setenv(kHomeVariable, value, 1); else ::unsetenv(kHomeVariable);
  }
  ~HomeVariable() {
    if (had_) ::setenv(kHomeVariable, old_.c_str(), 1); else ::unsetenv(kHomeVariable);
  }

 private:
  std::string old_;
  bool had_ = false;
};

TEST(ProgramDir, EnvironmentThenFallbackFileThenFailure) {
  test::TempDir dir;
  {
    HomeVariable home("/opt/zw//");
    EXPECT_EQ(FindProgramDirectory(dir.path()).directory, "/opt/zw/");
  }
  HomeVariable unset(nullptr);
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
