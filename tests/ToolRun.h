#pragma once
// Runs the ravoprop tool of this build (RAVO_TOOL_PATH) through the shell:
// stdout and stderr kept apart, no terminal on stdin.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zw::test {

struct ToolOutcome {
  int exitCode = -1;
  std::string out, err;
};

// A path quoted for the shell.
inline std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// The tool with the arguments (already quoted as needed); `home` is its
// program directory (and so holds the support log) and takes stderr.txt.
inline ToolOutcome RunTool(const std::filesystem::path& home, const std::string& args) {
  const auto errFile = home / "stderr.txt";
  const std::string cmd =
      "ZWRAVOPROP_HOME=" + Quote(home) + " '" RAVO_TOOL_PATH "' " + args + " 2>" + Quote(errFile) + " </dev/null";
  ToolOutcome o;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return o;
  char buf[4096];
  std::size_t n = 0;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
  const int status = pclose(p);
  o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(errFile, std::ios::binary);
  o.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
  return o;
}

// The sample study (task database, task and paths files) copied into dir.
inline void CopySample(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(RAVO_DATA_DIR) / "sample"))
    if (e.path().extension() != ".md") std::filesystem::copy_file(e.path(), dir / e.path().filename());
}

}  // namespace zw::test
