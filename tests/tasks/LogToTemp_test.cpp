// The task tests log failures on purpose; their records go to a temporary
// log instead of the installation's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "common/ErrorHandler.h"

namespace {

class LogToTemp : public ::testing::Environment {
 public:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("ravo-tasks-log-" + std::to_string(::getpid()) + ".TXT");
    zw::SetTechSupportLogPath(path_.string());
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    zw::SetTechSupportLogPath("");
  }

 private:
  std::filesystem::path path_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new LogToTemp);

}  // namespace
