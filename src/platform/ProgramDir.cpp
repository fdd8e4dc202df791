#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/Profile.h"

namespace zw::platform {

namespace {
bool IsSep(char c) { return c == '/' || c == '\\'; }

std::string TrimBlank(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}
}  // namespace

std::filesystem::path ExecutableDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

std::filesystem::path DataDirectory() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing in the program changes the environment
  if (const char* env = std::getenv("ZWRAVOPROP_DATA")) {
    std::string dir = TrimBlank(env);
    if (!dir.empty()) return dir;
  }
  std::error_code ec;
  const auto exe = ExecutableDirectory();
  for (const auto& candidate : {exe / "data", exe / ".." / "share" / "zwravoprop" / "data"}) {
    if (std::filesystem::is_regular_file(candidate / "ZWDATASM.DBF", ec)) return candidate.lexically_normal();
  }
#ifdef RAVO_SOURCE_DATA_DIR
  return RAVO_SOURCE_DATA_DIR;
#else
  return "data";
#endif
}

std::string StripDoubledSeparators(std::string path) {
  while (path.size() >= 2 && IsSep(path[path.size() - 1]) && IsSep(path[path.size() - 2])) path.pop_back();
  return path;
}

ProgramDirResult FindProgramDirectory(const std::filesystem::path& componentDir) {
  ProgramDirResult r;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing in the program changes the environment
  if (const char* env = std::getenv(kHomeVariable)) {
    std::string dir = TrimBlank(env);
    if (!dir.empty()) {
      r.directory = StripDoubledSeparators(std::move(dir));
      return r;
    }
  }
  std::string dir = ProfileGetString("CONFIG", "PelorinDirectory", "", componentDir / kRegistryFallbackFile);
  if (dir.empty()) {
    r.error = kProgramDirFailure;
    return r;
  }
  r.directory = StripDoubledSeparators(std::move(dir));
  return r;
}

}  // namespace zw::platform
