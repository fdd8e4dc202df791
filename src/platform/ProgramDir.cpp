#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

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
  // A program elsewhere: the source tree it was built from, else the
  // installation prefix it was configured for.
  const std::vector<std::filesystem::path> builtIn = {
#ifdef RAVO_SOURCE_DATA_DIR
      RAVO_SOURCE_DATA_DIR,
#endif
#ifdef RAVO_INSTALL_DATA_DIR
      RAVO_INSTALL_DATA_DIR,
#endif
  };
  for (const auto& dir : builtIn)
    if (std::filesystem::is_regular_file(dir / "ZWDATASM.DBF", ec)) return dir;
  return builtIn.empty() ? std::filesystem::path("data") : builtIn.front();
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
