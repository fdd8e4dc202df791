#pragma once
// Lock of one task while a command works on its results: an exclusive,
// non-blocking flock on "T<7-digit number>.LCK" in the work directory. An area
// run holds it from start to end; `task delete` and an import over the task's
// number take it too, so neither can land in the middle of a run. The lock file
// holds the holder's process id (for the message) and is never deleted: removing
// it while held would let a second command lock a new file of the same name.
#include <cstdint>
#include <filesystem>
#include <string>

namespace zw::tasks {

class TaskRunLock {
 public:
  TaskRunLock() = default;
  ~TaskRunLock() { Release(); }
  TaskRunLock(const TaskRunLock&) = delete;
  TaskRunLock& operator=(const TaskRunLock&) = delete;

  // "" once the lock is held (also when this object already holds it);
  // otherwise why not, e.g. "Task 2 is being run by another command (pid 123);
  // wait for it to end or cancel it."
  std::string Acquire(const std::filesystem::path& workDir, std::int32_t task);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // True when another process (or another open of the file) holds the lock.
  // The probe takes a shared lock for an instant; Acquire retries briefly so
  // a probe never makes it fail.
  static bool IsHeld(const std::filesystem::path& workDir, std::int32_t task);

  // "T0000002.LCK".
  static std::string FileName(std::int32_t task);

 private:
  int fd_ = -1;
};

}  // namespace zw::tasks
