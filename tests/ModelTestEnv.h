#pragma once
// Shared set-up of the calculator tests: a scripted message sink, the support
// log in a temporary directory (read back by Log()), and optionally that
// directory as the program home so each test writes its own settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "platform/MessageBox.h"
#include "platform/terrain/clsPathElv.h"

namespace zw::test {

// A profile handed in as arrays, with the last profile point as the ground
// at any position.
class GivenProfile : public platform::clsPathElv {
 public:
  float ElvAt(double, double) override { return ELV_Array().empty() ? 0.0f : ELV_Array().back(); }
};

struct ModelTestOptions {
  bool configHome = false;         // ZWRAVOPROP_HOME points at the temp directory
  bool resetErrorDisplay = true;   // the "model error shown once" flag is cleared in SetUp
};

class ModelTestEnv : public ::testing::Test {
 protected:
  ModelTestEnv() = default;
  explicit ModelTestEnv(ModelTestOptions options) : options_(options) {}

  void SetUp() override {
    if (options_.configHome) {
      ::setenv("ZWRAVOPROP_HOME", tmp.path().string().c_str(), 1);
      ResetConfigCache();
    }
    SetTechSupportLogPath(LogPath());
    previous = platform::SetMessages(messages);
    if (options_.resetErrorDisplay) ResetModelErrorDisplay();
  }
  void TearDown() override {
    platform::SetMessages(previous);
    SetTechSupportLogPath("");
    if (options_.configHome) {
      ::unsetenv("ZWRAVOPROP_HOME");
      ResetConfigCache();
    }
  }

  std::string LogPath() const { return (tmp.path() / "ZWTECSUP.TXT").string(); }
  // The support log written so far ("" when there is none).
  std::string Log() const {
    std::ifstream in(LogPath());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  platform::ScriptedMessages& Messages() { return *messages; }
  // Replaces the coverage settings file (configHome) with a [QXCoverage] section.
  void Settings(const std::string& body) { std::ofstream(CoverageSettingsFile()) << "[QXCoverage]\n" << body; }

  TempDir tmp;
  std::shared_ptr<platform::ScriptedMessages> messages = std::make_shared<platform::ScriptedMessages>();
  std::shared_ptr<platform::MessageSink> previous;

 private:
  ModelTestOptions options_;
};

}  // namespace zw::test
