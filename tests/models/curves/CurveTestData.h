#pragma once
// A private copy of the shipped curve tables, made the data directory
// (ZWRAVOPROP_DATA) while the object lives, so tests can remove or damage a
// file without touching data/curves.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"

namespace zw::testing {

class CurveDataCopy {
 public:
  CurveDataCopy() {
    const std::filesystem::path from = std::string(RAVO_DATA_DIR) + "/curves";
    for (const auto& e : std::filesystem::recursive_directory_iterator(from))
      if (e.path().extension() == ".csv") {
        const auto to = root_ / "curves" / std::filesystem::relative(e.path(), from);
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy_file(e.path(), to);
      }
    std::filesystem::create_directories(root_ / "curves");
    if (const char* old = std::getenv("ZWRAVOPROP_DATA")) {
      had_ = true;
      old_ = old;
    }
    ::setenv("ZWRAVOPROP_DATA", root_.c_str(), 1);
  }
  ~CurveDataCopy() {
    if (had_) ::setenv("ZWRAVOPROP_DATA", old_.c_str(), 1);
    else ::unsetenv("ZWRAVOPROP_DATA");
  }
  std::filesystem::path File(const std::string& name) const { return root_ / "curves" / name; }
  void Remove(const std::string& name) const { std::filesystem::remove(File(name)); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary | std::ios::trunc) << text;
  }

 private:
  test::TempDir dir_;
  const std::filesystem::path root_ = dir_.path();
  bool had_ = false;
  std::string old_;
};

}  // namespace zw::testing
