#pragma once
// Advisory lock of a work directory's task database: an exclusive flock on
// "ZWTasks.lck" held while the task table, the number file or a task file is
// written. Another process holding it makes the writer give up with a "busy"
// message instead of waiting or interleaving its writes.
#include <filesystem>
#include <string>

namespace zw::tasks {

inline constexpr const char* kTaskLockName = "ZWTasks.lck";

class TaskLock {
 public:
  TaskLock() = default;
  ~TaskLock() { Release(); }
  TaskLock(const TaskLock&) = delete;
  TaskLock& operator=(const TaskLock&) = delete;

  // Takes the lock of the directory, waiting at most waitMs for another
  // holder to let go. "" on success; otherwise the reason (the busy message
  // when someone else holds it).
  std::string Acquire(const std::filesystem::path& workDir, int waitMs = 2000);
  void Release();
  bool Held() const { return fd_ >= 0; }

  static std::string BusyMessage(const std::filesystem::path& workDir);

 private:
  int fd_ = -1;
};

}  // namespace zw::tasks
