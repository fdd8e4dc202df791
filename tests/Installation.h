#pragma once
// An installation of the system in a temporary directory for one test: the
// home variable pointing at it, its coordinate-data and system folders, a
// scripted message sink, and the process-wide settings reset on both ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "common/Units.h"
#include "geo/CoordSys.h"
#include "platform/MessageBox.h"

namespace zw::test {

class Installation {
 public:
  Installation() : messages_(std::make_shared<platform::ScriptedMessages>()) {
    ::setenv("ZWRAVOPROP_HOME", (dir_.path().string() + "/").c_str(), 1);
    std::filesystem::create_directories(dir_.path() / "COORDSYS DATA");
    std::filesystem::create_directories(dir_.path() / "SYSTEM");  // procedure-name files of the error log
    previous_ = platform::SetMessages(messages_);
    Reset();
  }
  ~Installation() {
    ::unsetenv("ZWRAVOPROP_HOME");
    Reset();
    CoordSysInit("");
    platform::SetMessages(previous_);
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  std::filesystem::path path() const { return dir_.path(); }
  platform::ScriptedMessages& messages() { return *messages_; }
  // True when a message shown so far contains the text.
  bool Shown(const std::string& text) const {
    for (const auto& m : messages_->Log())
      if (m.text.find(text) != std::string::npos) return true;
    return false;
  }
  // The questions (yes/no) shown so far under a title.
  std::vector<platform::ScriptedMessages::Shown> Questions(const std::string& title) const {
    std::vector<platform::ScriptedMessages::Shown> out;
    for (const auto& m : messages_->Log())
      if (m.kind == "yesno" && m.title == title) out.push_back(m);
    return out;
  }
  // The error log of the installation.
  std::string Log() const {
    std::ifstream in(dir_.path() / kTechSupportLogName);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_.path() / name) << text;
    return dir_.path() / name;
  }
  // A work directory `name` holding a fresh copy of the sample studies.
  std::filesystem::path NewWork(const std::string& name) const {
    const std::filesystem::path w = dir_.path() / name;
    std::filesystem::create_directories(w);
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(RAVO_DATA_DIR) / "sample"))
      if (e.path().extension() != ".md") std::filesystem::copy_file(e.path(), w / e.path().filename());
    return w;
  }

 private:
  static void Reset() {
    SetUserLogin("");
    ResetConfigCache();
    ResetSystemUnits();
    SetTechSupportLogPath("");
  }
  TempDir dir_;
  std::shared_ptr<platform::ScriptedMessages> messages_;
  std::shared_ptr<platform::MessageSink> previous_;
};

}  // namespace zw::test
