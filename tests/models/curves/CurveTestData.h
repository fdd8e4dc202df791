#pragma once
// The Carey curves' published check values, and a private copy of the shipped
// curve tables, made the data directory (ZWRAVOPROP_DATA) while the object
// lives, so tests can remove or damage a file without touching data/curves.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"

namespace zw::testing {

struct CareyTelling {
  int k;
  double haat, d, dbu;
};

// The published check values of the Carey curves, grid k (0 F(50,50) and 1
// F(50,10) below 300 MHz, 2 and 3 those above), HAAT ft, distance mi, dBu for
// 1 kW.
inline constexpr CareyTelling kCareyTelling[] = {
    {0, 100, 5, 59.9},   {0, 100, 10, 47.0},  {0, 100, 20, 32.4},   {0, 100, 50, 13.5},  {0, 100, 100, -1.0},
    {0, 1000, 5, 77.0},  {0, 1000, 10, 66.7}, {0, 1000, 20, 52.0},  {0, 1000, 50, 27.9}, {0, 1000, 100, 4.9},
    {0, 5000, 5, 86.9},  {0, 5000, 10, 78.5}, {0, 5000, 20, 65.0},  {0, 5000, 50, 39.0}, {0, 5000, 100, 13.0},
    {1, 1000, 10, 67.0}, {1, 1000, 20, 52.5}, {1, 1000, 50, 30.2},  {1, 1000, 100, 13.9}, {1, 1000, 200, -6.1},
    {2, 1000, 5, 79.0},  {2, 1000, 20, 46.8}, {2, 1000, 50, 20.0},  {2, 1000, 100, -0.7}, {3, 1000, 20, 47.4},
    {3, 1000, 100, 4.1}, {3, 1000, 200, -13.1},
};

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
