#include "tasks/TaskLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

namespace zw::tasks {

std::string TaskLock::BusyMessage(const std::filesystem::path& workDir) {
  return "The task database in " + workDir.string() +
         " is busy: another program is writing it. Try again when it has finished.";
}

std::string TaskLock::Acquire(const std::filesystem::path& workDir, int waitMs) {
  if (fd_ >= 0) return {};
  const std::filesystem::path file = workDir / kTaskLockName;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int err = errno;  // before the message is built
    return "Cannot open the lock file " + file.string() + ": " + std::generic_category().message(err);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (true) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return {};
    }
    const int err = errno;
    if (err != EWOULDBLOCK && err != EINTR) {
      ::close(fd);
      return "Cannot lock " + file.string() + ": " + std::generic_category().message(err);
    }
    if (std::chrono::steady_clock::now() >= until) {
      ::close(fd);
      return BusyMessage(workDir);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void TaskLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace zw::tasks
