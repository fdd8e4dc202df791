#pragma once
// The command-line tests' common ground: a program directory `home` (the
// tool's support log and stderr.txt) and a fresh copy of the sample studies in
// `work`, in a temporary directory of the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "platform/FileSystem.h"

namespace zw::test {

// A file's bytes ("" when it cannot be read).
inline std::string ReadAll(const std::filesystem::path& p) { return platform::ReadWholeFile(p).value_or(""); }

// The bundled terrain tile under the sample studies (or another one of data/terrain).
inline std::filesystem::path Tile(const char* name = "N44W072.hgt") {
  return std::filesystem::path(RAVO_DATA_DIR) / "terrain" / name;
}

class SampleWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(home());
    CopySample(work());
  }
  std::filesystem::path home() const { return tmp.path() / "home"; }
  std::filesystem::path work() const { return tmp.path() / "work"; }
  // The tool with the arguments (already quoted as needed).
  ToolOutcome Run(const std::string& args) const { return RunTool(home(), args); }
  // What the last tool run wrote on stderr.
  std::string Err() const { return ReadAll(home() / "stderr.txt"); }
  // `run` of task 1 over the bundled tile on two threads, answering questions with `answer`.
  std::vector<std::string> RunArgs(const std::string& answer = "--yes") const {
    return {answer, "run", "--task", "1", "--threads", "2", "--workdir", work().string(), "--dem", Tile().string()};
  }
  // Sets KEY=value in the task file of task 1 (the key must be there).
  void SetTaskKey(const std::string& key, const std::string& value) const {
    const std::filesystem::path f = work() / "T0000001.INI";
    std::string text = ReadAll(f);
    const auto at = text.find(key + "=");
    ASSERT_NE(at, std::string::npos) << key;
    text.replace(at, text.find('\n', at) - at, key + "=" + value);
    std::ofstream(f, std::ios::binary) << text;
  }

  TempDir tmp;
};

}  // namespace zw::test
