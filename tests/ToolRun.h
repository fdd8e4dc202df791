#pragma once
// Runs the ravoprop tool of this build (RAVO_TOOL_PATH) through the shell:
// stdout and stderr kept apart, no terminal on stdin.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>
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

// Starts the tool in the background with `home` as its program directory,
// stdin from /dev/null and its output in home/stdout.txt and home/stderr.txt.
// With fileSizeLimit > 0 no file it writes can grow past that many bytes (a
// full disk for the files it writes: the write fails with EFBIG).
inline pid_t StartTool(const std::filesystem::path& home, const std::vector<std::string>& args,
                       long fileSizeLimit = 0) {
  const std::string out = (home / "stdout.txt").string(), err = (home / "stderr.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("ZWRAVOPROP_HOME", home.c_str(), 1);
    if (!freopen("/dev/null", "r", stdin) || !freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
      _exit(127);
    if (fileSizeLimit > 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit lim{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &lim);
    }
    std::vector<char*> argv{const_cast<char*>(RAVO_TOOL_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(RAVO_TOOL_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for a started tool at most `limit` (then kills it); the wait status,
// or -1 when it had to be killed.
inline int WaitTool(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60)) {
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status;
}

}  // namespace zw::test
