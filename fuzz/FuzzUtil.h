#pragma once
// Helpers of the fuzz targets: the input written to a file of this process
// (the readers take files), and a failed invariant that stops the run.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zw::fuzz {

// A directory of this process under the temp directory, made on first use.
inline const std::filesystem::path& WorkDir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("ravo-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// The input as a file of WorkDir(), removed again when this goes. Each input
// gets a new name: readers may keep what they read of a file while its size
// and time stamp stay the same, and two inputs can share both.
class InputFile {
 public:
  InputFile(std::string_view suffix, const std::uint8_t* data, std::size_t size) {
    static unsigned long counter = 0;
    path_ = WorkDir() / ("in" + std::to_string(++counter) + std::string(suffix));
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  InputFile(std::string_view suffix, std::string_view text)
      : InputFile(suffix, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) {}
  ~InputFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A double from the next 8 bytes of the input (0 when fewer remain).
inline double NextDouble(std::string_view& rest) {
  double v = 0;
  if (rest.size() >= sizeof v) {
    std::memcpy(&v, rest.data(), sizeof v);
    rest.remove_prefix(sizeof v);
  }
  return v;
}

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz invariant failed: %s %s\n", what, detail.c_str());
  std::abort();
}

inline void Check(bool ok, const char* what, const std::string& detail = {}) {
  if (!ok) Fail(what, detail);
}

// Targets that take several strings cut the input into lines: the next
// piece up to a '\n' (consumed), or the rest.
inline std::string_view NextLine(std::string_view& rest) {
  const auto n = rest.find('\n');
  std::string_view piece = rest.substr(0, n);
  rest = n == std::string_view::npos ? std::string_view{} : rest.substr(n + 1);
  return piece;
}

}  // namespace zw::fuzz
