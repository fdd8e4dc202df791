// The installation's settings: INI files (Profile), file writing
// (FileSystem), the program directory and the messages to the user.
#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

namespace zw::platform {
namespace {

void Write(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
std::string Read(const std::filesystem::path& p) { return ReadWholeFile(p).value_or("<missing>"); }

TEST(Profile, ReadingFollowsTheWindowsRules) {
  test::TempDir dir;
  const auto f = dir.path() / "a.ini";
  Write(f,
        "\xEF\xBB\xBF[Main]\r\n"
        "  Name  =  Big Hill  \r\n"
        "; Name = commented\r\n"
        "Quoted=\"  spaced  \"\r\n"
        "name=second wins never\r\n"
        "Empty=\r\n"
        "[ other ]\r\n"
        "Key=1\r\n"
        "[MAIN]\r\n"
        "Late=only in the repeated section\r\n"
        "[Last]\nNoNewline=x");
  EXPECT_EQ(ProfileGetString("main", "NAME", "d", f), "Big Hill");
  EXPECT_EQ(ProfileGetString("Main", "Quoted", "d", f), "  spaced  ");
  EXPECT_EQ(ProfileGetString("Main", "Empty", "d", f), "");  // present but blank is not the default
  EXPECT_EQ(ProfileGetString("Other", "key", "d", f), "1");
  EXPECT_EQ(ProfileGetString("Main", "Late", "d", f), "d");  // the first section of a name is the one read
  EXPECT_EQ(ProfileGetString("Last", "NoNewline", "", f), "x");
  EXPECT_EQ(ProfileGetString("Main", "Missing", "  def  ", f), "def");
  EXPECT_EQ(ProfileGetString("None", "Key", "d", f), "d");
  EXPECT_EQ(ProfileGetString("Main", "Key", "d", dir.path() / "absent.ini"), "d");

  const auto sec = ProfileGetSection("MAIN", f);
  ASSERT_EQ(sec.size(), 4u);
  EXPECT_EQ(sec[0].first, "Name");
  EXPECT_EQ(sec[2].second, "second wins never");
  EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"Main", "other", "Last"}));
}

TEST(Profile, LongValuesAndJunkNeverBreakTheReader) {
  test::TempDir dir;
  const auto f = dir.path() / "junk.ini";
  std::string junk = "[S]\nK=" + std::string(1'000'000, 'v') + "\n";
  for (int i = 0; i < 256; ++i) junk.push_back(static_cast<char>(i));
  junk += "\n[\n=\n]]]\n[S2]\nK2=\xff\xfe\n";
  Write(f, junk);
  EXPECT_EQ(ProfileGetString("S", "K", "", f).size(), kProfileValueMax);
  EXPECT_EQ(ProfileGetString("S2", "K2", "", f), "\xff\xfe");
  EXPECT_EQ(ProfileGetString("", "", "d", f), "d");
}

TEST(Profile, WritingKeepsTheRestOfTheFile) {
  test::TempDir dir;
  const auto f = dir.path() / "w.ini";
  Write(f, "; header comment\r\n[A]\r\nx=1\r\n; note\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(ProfileWriteString("a", "X", "10", f));      // replaced in place, original key spelling lost
  ASSERT_TRUE(ProfileWriteString("A", "new", " v ", f));   // after the last entry of the section
  ASSERT_TRUE(ProfileWriteString("C", "k", "c", f));       // new section at the end
  EXPECT_EQ(Read(f),
            "; header comment\r\n[A]\r\nX=10\r\n; note\r\ny=2\r\nnew=v\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\nk=c\r\n");
  // The reader sees the change at once (no stale cached copy).
  EXPECT_EQ(ProfileGetString("A", "x", "", f), "10");
  ASSERT_TRUE(ProfileWriteString("A", "x", "11", f));
  EXPECT_EQ(ProfileGetString("A", "x", "", f), "11");

  ASSERT_TRUE(ProfileDelete("A", "y", f));
  EXPECT_EQ(ProfileGetString("A", "y", "gone", f), "gone");
  ASSERT_TRUE(ProfileDelete("B", "", f));
  EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"A", "C"}));

  // A new file is created; LF files stay LF.
  const auto g = dir.path() / "lf.ini";
  Write(g, "[S]\nk=1\n");
  ASSERT_TRUE(ProfileWriteString("S", "k", "2", g));
  EXPECT_EQ(Read(g), "[S]\nk=2\n");
  const auto h = dir.path() / "new.ini";
  ASSERT_TRUE(ProfileWriteString("S", "k", "v", h));
  EXPECT_EQ(ProfileGetString("S", "k", "", h), "v");
  EXPECT_FALSE(ProfileWriteString("", "k", "v", h));

  // A byte-order mark stays: dropping it would make a second, literal mark the
  // file's start and turn "\xEF\xBB\xBF[S]" from an other line into a header
  // that takes the entries after it (found by fuzzing).
  const auto b = dir.path() / "bom.ini";
  const std::string marked = "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nk=1\n";
  Write(b, marked);
  ASSERT_TRUE(ProfileWriteString("T", "x", "y", b));
  EXPECT_EQ(Read(b), marked + "\n[T]\nx=y\n");
  EXPECT_EQ(ProfileGetSectionNames(b), (std::vector<std::string>{"T"}));
}

TEST(Profile, AFailedWriteLeavesTheFileAsItWas) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  test::TempDir dir;
  const auto sub = dir.path() / "ro";
  std::filesystem::create_directory(sub);
  const auto f = sub / "x.ini";
  Write(f, "[S]\nk=1\n");
  ::chmod(sub.c_str(), 0555);
  EXPECT_FALSE(ProfileWriteString("S", "k", "2", f));
  ::chmod(sub.c_str(), 0755);
  EXPECT_EQ(Read(f), "[S]\nk=1\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sub), {}), 1);  // no temporary left behind
}

TEST(FileSystem, JoinAtomicWriteAndStaleStagingFilesOfGoneWriters) {
  EXPECT_EQ(JoinPath("/a/b/", "c.ini"), "/a/b/c.ini");
  EXPECT_EQ(JoinPath("/a/b", "/c.ini"), "/a/b/c.ini");
  EXPECT_EQ(JoinPath("", "c.ini"), "c.ini");
  EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
  EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");

  test::TempDir dir;
  const auto f = dir.path() / "f.txt";
  std::string err;
  ASSERT_TRUE(WriteFileAtomic(f, "one", &err)) << err;
  ASSERT_TRUE(WriteFileAtomic(f, "two", &err)) << err;
  EXPECT_EQ(Read(f), "two");
  EXPECT_FALSE(WriteFileAtomic(dir.path() / "no" / "such" / "f.txt", "x", &err));
  EXPECT_NE(err.find("No such file or directory"), std::string::npos) << err;  // the cause, named
  EXPECT_FALSE(ProfileWriteString("A", "k", "v", dir.path() / "no" / "f.ini", &err));
  EXPECT_NE(err.find((dir.path() / "no" / "f.ini").string()), std::string::npos) << err;
  EXPECT_FALSE(ReadWholeFile(dir.path() / "absent").has_value());
  // Staging files of writers that are gone (or older than a day) go; those of
  // live writers, and every other file, stay.
  namespace fs = std::filesystem;
  test::TempDir stage;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child), self = std::to_string(::getpid());
  const auto staged = StagingPath(stage.path() / "T0000001.INI").filename().string();
  EXPECT_EQ(staged.rfind("~T0000001.INI." + self + ".", 0), 0u) << staged;
  const auto stagedDbf = StagingPath(stage.path() / "R0000001.DBF").filename().string();
  EXPECT_EQ(stagedDbf.rfind("~R0000001." + self + ".", 0), 0u) << stagedDbf;
  EXPECT_EQ(stagedDbf.substr(stagedDbf.size() - 4), ".DBF");
  const struct {
    std::string name;
    bool folder;
    fs::file_time_type::duration age;  // 0: now
    bool goes;
  } cases[] = {
      {"~T0000001.INI." + dead + ".ab12", false, {}, true},
      {"~T0000001.INI." + self + ".ab12", false, {}, false},  // this process writes it
      {"~T0000002.INI.1.ab12", false, {}, false},             // a live writer's
      {"~T0000003.INI.1.ab12", false, std::chrono::hours(48), true},  // ... unless a day old
      {"~T0000001.INI." + dead + "_3", false, {}, true},      // earlier writers' names
      {"~tsk" + dead + "_0.dbf", false, {}, true},
      {"~dbf0123456789ab.dbf", false, std::chrono::hours(1), true},  // no pid: older than this process
      {"ZWTasks.INI.tmp" + dead + "_0", false, {}, true},
      {"~R0000001." + dead + ".ab.DBF", false, {}, true},
      {".R0000001.DBF." + dead + ".x1", false, {}, true},     // a run's staging files
      {".S0000001.TXT.1.x1", false, {}, false},
      {".R0000001.new-0011aabb", true, std::chrono::hours(1), true},
      {"T0000001.INI", false, std::chrono::hours(48), false},  // everything else stays
      {"~notes.txt", false, std::chrono::hours(48), false},
      {"R0000001.DBF", false, std::chrono::hours(48), false},
  };
  for (const auto& c : cases) {
    const auto p = stage.path() / c.name;
    if (c.folder) {
      fs::create_directories(p / "inside");
    } else {
      ASSERT_TRUE(WriteFileAtomic(p, "x"));
    }
    if (c.age.count() != 0) fs::last_write_time(p, fs::file_time_type::clock::now() - c.age);
  }
  const auto removed = RemoveStaleStaging(stage.path());
  for (const auto& c : cases) {
    EXPECT_EQ(!fs::exists(stage.path() / c.name), c.goes) << c.name;
    EXPECT_EQ(std::count(removed.begin(), removed.end(), c.name), c.goes ? 1 : 0) << c.name;
  }
}

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
