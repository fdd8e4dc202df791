#include "tasks/StudyCommit.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "common/ErrorHandler.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = ".ravo-run-";
constexpr const char* kJournal = "COMMIT";
constexpr const char* kJournalHead = "ravoprop study commit 1";

std::string ErrnoText() { return std::error_code(errno, std::generic_category()).message(); }

// fsync of a file or a directory; false with errno set on failure.
bool SyncPath(const fs::path& p, bool directory) {
  const int fd = ::open(p.c_str(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  if (pid == static_cast<long>(::getpid())) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The pid in a staging folder's name: ".ravo-run-T0000001-<pid>-<random>".
long PidOf(const std::string& name) {
  const std::size_t a = name.find('-', std::strlen(kPrefix) + 1);
  if (a == std::string::npos) return -1;
  const std::size_t b = name.find('-', a + 1);
  if (b == std::string::npos) return -1;
  try {
    return std::stol(name.substr(a + 1, b - a - 1));
  } catch (...) {
    return -1;
  }
}

struct Journal {
  std::int32_t task = 0;
  StudyFlags flags;
  std::vector<std::pair<std::string, std::string>> files;
};

std::string JournalText(std::int32_t task, const StudyFlags& f,
                        const std::vector<std::pair<std::string, std::string>>& files) {
  std::ostringstream out;
  out << kJournalHead << "\n"
      << "task " << task << "\n"
      << "flags " << f.locked << f.incomplete << f.unfinished << f.ambiguous << "\n";
  for (const auto& [staged, target] : files) out << "file " << staged << "\t" << target << "\n";
  out << "end\n";
  return out.str();
}

// A name that stays inside its folder: no separators, no "." or "..".
bool PlainName(const std::string& n) {
  return !n.empty() && n != "." && n != ".." && n.find('/') == std::string::npos && n.find('\0') == std::string::npos;
}

bool ReadJournal(const fs::path& file, Journal& j) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kJournalHead) return false;
  bool end = false;
  while (std::getline(in, line)) {
    if (line == "end") {
      end = true;
      break;
    }
    if (line.rfind("task ", 0) == 0) {
      try {
        j.task = std::stoi(line.substr(5));
      } catch (...) {
        return false;
      }
    } else if (line.rfind("flags ", 0) == 0 && line.size() == 10) {
      j.flags = {line[6] == '1', line[7] == '1', line[8] == '1', line[9] == '1'};
    } else if (line.rfind("file ", 0) == 0) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) return false;
      std::string staged = line.substr(5, tab - 5), target = line.substr(tab + 1);
      if (!PlainName(staged) || !PlainName(target)) return false;
      j.files.emplace_back(std::move(staged), std::move(target));
    } else {
      return false;
    }
  }
  return end && j.task > 0;
}

std::string SetFlags(const fs::path& workDir, std::int32_t id, const StudyFlags& f) {
  clsQXTask task(workDir);
  task.SetSilent(true);
  task.SetLockWait(10000);
  task.SetTaskID(id);
  if (task.lTaskID() != id) return "Task " + std::to_string(id) + " is no longer in the task database";
  task.bLock = f.locked;
  task.bIncomplete = f.incomplete;
  task.bUnfinished = f.unfinished;
  task.bAmbiguous = f.ambiguous;
  return task.TaskSave();
}

// Renames the staged files that are still there, then sets the flags.
std::string RollForward(const fs::path& workDir, const fs::path& folder, const Journal& j) {
  std::string err;
  for (const auto& [staged, target] : j.files) {
    const fs::path from = folder / staged;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(from, ec))) continue;  // done before the interruption
    if (std::rename(from.c_str(), (workDir / target).c_str()) != 0)
      err = "Cannot put " + (workDir / target).string() + " in place: " + ErrnoText();
  }
  if (!err.empty()) return err;
  SyncPath(workDir, true);
  return SetFlags(workDir, j.task, j.flags);
}

}  // namespace

bool IsStudyStagingName(const std::string& name) { return name.rfind(kPrefix, 0) == 0; }

StudyCommit::~StudyCommit() {
  if (!committed_ && !folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

std::string StudyCommit::Begin(const fs::path& workDir, std::int32_t taskId) {
  workDir_ = workDir;
  taskId_ = taskId;
  std::random_device rd;
  char name[96];
  std::snprintf(name, sizeof name, "%sT%07d-%ld-%08x", kPrefix, static_cast<int>(taskId),
                static_cast<long>(::getpid()), rd());
  folder_ = workDir / name;
  std::error_code ec;
  if (!fs::create_directory(folder_, ec) || ec) {
    const std::string why = ec ? ec.message() : "it already exists";
    folder_.clear();
    return "Cannot make a staging folder in the work directory " + workDir.string() + ": " + why;
  }
  return {};
}

fs::path StudyCommit::Stage(const std::string& name, bool copyCurrent, std::string* error) {
  if (!PlainName(name) || folder_.empty()) {
    if (error) *error = "Not a file name of the work directory: " + name;
    return {};
  }
  const fs::path staged = folder_ / name;
  if (std::find(files_.begin(), files_.end(), name) != files_.end()) return staged;
  files_.push_back(name);
  const fs::path current = workDir_ / name;
  std::error_code ec;
  const auto st = fs::symlink_status(current, ec);
  if (copyCurrent && fs::is_regular_file(st)) {
    fs::copy_file(current, staged, fs::copy_options::overwrite_existing, ec);
    if (ec && error) *error = "Cannot copy " + current.string() + ": " + ec.message();
  }
  return staged;
}

std::string StudyCommit::Commit(const StudyFlags& flags) {
  if (folder_.empty()) return "No staging folder: the run was not prepared";
  // Files that were staged but not written are not part of the change.
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& name : files_) {
    const fs::path staged = folder_ / name;
    struct stat st {};
    if (::lstat(staged.c_str(), &st) != 0) continue;
    // The new file keeps the permission bits of the one it replaces.
    struct stat old {};
    if (::stat((workDir_ / name).c_str(), &old) == 0) ::chmod(staged.c_str(), old.st_mode & 07777);
    if (!SyncPath(staged, false)) return "Cannot write " + staged.string() + ": " + ErrnoText();
    files.emplace_back(name, name);
  }
  const fs::path temp = folder_ / "COMMIT.new";
  {
    const std::string text = JournalText(taskId_, flags, files);
    FILE* fp = std::fopen(temp.c_str(), "wb");
    if (!fp) return "Cannot write " + temp.string() + ": " + ErrnoText();
    const bool ok = std::fwrite(text.data(), 1, text.size(), fp) == text.size() && std::fflush(fp) == 0 &&
                    ::fsync(::fileno(fp)) == 0;
    const std::string why = ok ? std::string() : ErrnoText();
    std::fclose(fp);
    if (!ok) return "Cannot write " + temp.string() + ": " + why;
  }
  if (!SyncPath(folder_, true)) return "Cannot write " + folder_.string() + ": " + ErrnoText();
  if (std::rename(temp.c_str(), (folder_ / kJournal).c_str()) != 0)
    return "Cannot write " + (folder_ / kJournal).string() + ": " + ErrnoText();
  SyncPath(folder_, true);
  // Decided: from here on the change is finished, now or by the next command.
  committed_ = true;
  Journal j{taskId_, flags, files};
  if (auto err = RollForward(workDir_, folder_, j); !err.empty()) {
    WriteLogRecord("Study commit of task " + std::to_string(taskId_) + " not finished: " + err, true);
    return err + " (the next command in this work directory finishes it)";
  }
  std::error_code ec;
  fs::remove_all(folder_, ec);
  return {};
}

std::vector<std::string> RecoverStudyCommits(const fs::path& workDir) {
  std::vector<std::string> said;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(workDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (!IsStudyStagingName(name) || !entry.is_directory(ec) || entry.is_symlink(ec)) continue;
    const fs::path& folder = entry.path();
    Journal j;
    if (fs::exists(folder / kJournal, ec)) {
      if (!ReadJournal(folder / kJournal, j)) {
        said.push_back("Damaged run journal left as it was: " + (folder / kJournal).string());
        continue;
      }
      if (ProcessAlive(PidOf(name))) continue;  // its run is finishing it
      if (auto err = RollForward(workDir, folder, j); !err.empty()) {
        said.push_back("Could not finish the interrupted commit of task " + std::to_string(j.task) + ": " + err);
        continue;
      }
      said.push_back("Finished putting the results of task " + std::to_string(j.task) +
                     " in place (its run was interrupted while doing so)");
    } else if (ProcessAlive(PidOf(name))) {
      continue;  // a run under way
    }
    std::error_code rm;
    fs::remove_all(folder, rm);
  }
  return said;
}

}  // namespace zw::tasks
