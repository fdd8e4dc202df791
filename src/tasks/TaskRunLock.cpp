#include "tasks/TaskRunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

namespace zw::tasks {

namespace {

std::string ErrnoText(int err) { return std::generic_category().message(err); }

// The pid the holder wrote into the file, "" when there is none to read.
std::string HolderPid(int fd) {
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return {};
  std::string pid;
  for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i) pid.push_back(buf[i]);
  return pid;
}

}  // namespace

std::string TaskRunLock::FileName(std::int32_t task) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "T%07d.LCK", static_cast<int>(task));
  return buf;
}

std::string TaskRunLock::Acquire(const std::filesystem::path& workDir, std::int32_t task) {
  if (fd_ >= 0) return {};
  const std::filesystem::path file = workDir / FileName(task);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    const int err = errno;
    return "Cannot open the lock file " + file.string() + " of task " + std::to_string(task) + ": " + ErrnoText(err);
  }
  // A probe by IsHeld holds the file for microseconds; a real holder for the
  // length of a command. A quarter of a second tells the two apart.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err != EWOULDBLOCK && err != EINTR) {
      ::close(fd);
      return "Cannot lock " + file.string() + ": " + ErrnoText(err);
    }
    if (std::chrono::steady_clock::now() >= until) {
      const std::string pid = HolderPid(fd);
      ::close(fd);
      return "Task " + std::to_string(task) + " is being run by another command" +
             (pid.empty() ? std::string() : " (pid " + pid + ")") + "; wait for it to end or cancel it.";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The holder's pid, for the message another command prints. Best effort:
  // the lock is held whether or not this can be written.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
  }
  fd_ = fd;
  return {};
}

void TaskRunLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool TaskRunLock::IsHeld(const std::filesystem::path& workDir, std::int32_t task) {
  const std::filesystem::path file = workDir / FileName(task);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // no lock file: nobody has ever run the task here
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // closing drops the probe's lock
  return held;
}

}  // namespace zw::tasks
