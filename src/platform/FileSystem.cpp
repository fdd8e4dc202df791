#include "platform/FileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace zw::platform {

namespace {
constexpr char kSep = std::filesystem::path::preferred_separator;

bool IsSep(char c) { return c == '/' || c == kSep; }

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

std::string ErrnoText(int err) { return std::generic_category().message(err); }

// When this process started (near enough: when the library was loaded).
const std::filesystem::file_time_type kProcessStart = std::filesystem::file_time_type::clock::now();

bool AllDigits(std::string_view s) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool EndsWithNoCase(std::string_view s, std::string_view end) {
  if (s.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) != end[i]) return false;
  return true;
}

std::vector<std::string_view> SplitDots(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t at = 0;
  while (true) {
    const std::size_t dot = s.find('.', at);
    out.push_back(s.substr(at, dot == std::string_view::npos ? std::string_view::npos : dot - at));
    if (dot == std::string_view::npos) return out;
    at = dot + 1;
  }
}

// "<digits>_<digits>": the pid before the underscore, else 0.
long PidUnderscoreCount(std::string_view s) {
  const std::size_t u = s.find('_');
  if (u == std::string_view::npos || !AllDigits(s.substr(0, u)) || !AllDigits(s.substr(u + 1))) return 0;
  return std::stol(std::string(s.substr(0, u)));
}

// What a name says about its writer: not a staging name (nullopt), a staging
// name without a pid (0), or the writer's pid.
std::optional<long> StagingWriter(std::string_view name, bool isDirectory) {
  if (name.size() > 1 && name[0] == '~' && !isDirectory) {
    std::string_view base = name;
    if (EndsWithNoCase(base, ".dbf")) base.remove_suffix(4);
    const auto parts = SplitDots(base);
    if (parts.size() >= 3 && AllDigits(parts[parts.size() - 2]) && !parts.back().empty())
      return std::stol(std::string(parts[parts.size() - 2]));             // "~name.<pid>.<random>"
    if (const long pid = PidUnderscoreCount(parts.back()); pid > 0 && parts.size() >= 2) return pid;  // "~T...INI.<pid>_<n>"
    if (parts.size() == 1 && base.rfind("~tsk", 0) == 0) {
      const long pid = PidUnderscoreCount(base.substr(4));                 // "~tsk<pid>_<n>"
      if (pid > 0) return pid;
    }
    if (parts.size() == 1 && base.size() == 16 && base.rfind("~dbf", 0) == 0) return 0;  // "~dbf<12 hex>"
    return std::nullopt;
  }
  if (!isDirectory) {
    const std::size_t tmp = name.rfind(".tmp");
    if (tmp != std::string_view::npos && tmp > 0)
      if (const long pid = PidUnderscoreCount(name.substr(tmp + 4)); pid > 0) return pid;  // "<name>.tmp<pid>_<n>"
  }
  // The run's ".R0000001...." files and folders.
  if (name.size() > 10 && name[0] == '.' && (name[1] == 'R' || name[1] == 'T' || name[1] == 'S') &&
      AllDigits(name.substr(2, 7)) && name[9] == '.') {
    const std::string_view rest = name.substr(10);
    if (rest.rfind("new-", 0) == 0) return isDirectory ? std::optional<long>(0) : std::nullopt;
    const auto parts = SplitDots(rest);
    if (parts.size() >= 2 && AllDigits(parts[parts.size() - 2])) return std::stol(std::string(parts[parts.size() - 2]));
  }
  return std::nullopt;
}

bool ProcessGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }
}  // namespace

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  while (!name.empty() && IsSep(name.front())) name.remove_prefix(1);
  std::string out(dir);
  if (!IsSep(out.back())) out.push_back(kSep);
  out.append(name);
  return out;
}

std::string WithTrailingSeparator(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && !IsSep(out.back())) out.push_back(kSep);
  return out;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(ss).str();
}

bool WriteFileAtomic(const std::filesystem::path& file, std::string_view text, std::string* error) {
  std::filesystem::path target = file;
  if (!target.has_parent_path()) target = std::filesystem::path(".") / file;
  const std::filesystem::path tmp = StagingPath(target);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int err = errno;  // before the message is built
    SetError(error, "cannot write " + file.string() + ": " + std::generic_category().message(err));
    return false;
  }
  const char* p = text.data();
  std::size_t left = text.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // The reason of the first failure: the write, the sync or the close.
  int savedErrno = errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    SetError(error, "cannot write " + file.string() + ": " + std::generic_category().message(savedErrno));
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    return false;
  }
  // Keep the permissions of the file being replaced.
  std::error_code ec;
  const auto st = std::filesystem::status(file, ec);
  if (!ec && std::filesystem::exists(st)) std::filesystem::permissions(tmp, st.permissions(), ec);
  if (std::rename(tmp.c_str(), file.c_str()) != 0) {
    const int err = errno;
    SetError(error, "cannot replace " + file.string() + ": " + std::generic_category().message(err));
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

std::string CheckRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes, std::string_view what) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return std::string(what) + " not found: " + file.string();
    return std::string(what) + " " + file.string() + " cannot be read: " + ErrnoText(err);
  }
  if (S_ISDIR(st.st_mode)) return std::string(what) + " " + file.string() + " is a folder, not a file";
  if (!S_ISREG(st.st_mode))
    return std::string(what) + " " + file.string() +
           " is not a regular file (a device, pipe or socket); name a file";
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    constexpr std::uintmax_t kMB = std::uintmax_t{1024} * 1024;
    const std::string limit = maxBytes >= kMB ? std::to_string(maxBytes / kMB) + " MB"
                                              : std::to_string(maxBytes) + " bytes";
    return std::string(what) + " " + file.string() + " is too large: " + std::to_string(st.st_size) +
           " bytes, more than the " + limit + " such a file may have";
  }
  return {};
}

std::string ReadRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes, std::string* text,
                            std::string_view what) {
  // Opened without blocking (a FIFO would wait for a writer), then checked on
  // the open file, so what is read is what was checked.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return std::string(what) + " not found: " + file.string();
    return std::string(what) + " " + file.string() + " cannot be read: " + ErrnoText(err);
  }
  struct stat st {};
  std::string why;
  if (::fstat(fd, &st) != 0) {
    why = std::string(what) + " " + file.string() + " cannot be read: " + ErrnoText(errno);
  } else if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    why = CheckRegularFile(file, maxBytes, what);
    if (why.empty()) why = std::string(what) + " " + file.string() + " changed while it was read";
  }
  std::string out;
  if (why.empty()) {
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        why = std::string(what) + " " + file.string() + " cannot be read: " + ErrnoText(errno);
        break;
      }
      if (n == 0) break;  // shrank while read
      got += static_cast<std::size_t>(n);
    }
    out.resize(got);
  }
  ::close(fd);
  if (!why.empty()) return why;
  if (text) *text = std::move(out);
  return {};
}

std::filesystem::path StagingPath(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 gen{std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32)};
  char tag[32];
  std::snprintf(tag, sizeof tag, "%08x%04x", static_cast<unsigned>(gen() & 0xFFFFFFFFu), counter++ & 0xFFFFu);
  const std::string name = target.filename().string();
  const std::string pid = std::to_string(::getpid());
  std::string staged;
  if (EndsWithNoCase(name, ".dbf"))
    staged = "~" + name.substr(0, name.size() - 4) + "." + pid + "." + tag + name.substr(name.size() - 4);
  else
    staged = "~" + name + "." + pid + "." + tag;
  return target.parent_path() / staged;
}

std::vector<std::string> RemoveStaleStaging(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> removed;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  const long self = static_cast<long>(::getpid());
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path p = it->path();
    const std::string name = p.filename().string();
    if (name.empty() || (name[0] != '~' && name[0] != '.' && name.find(".tmp") == std::string::npos)) continue;
    std::error_code e;
    const fs::file_status st = fs::symlink_status(p, e);
    if (e) continue;
    const bool isDir = fs::is_directory(st);
    if (!isDir && !fs::is_regular_file(st)) continue;
    const std::optional<long> pid = StagingWriter(name, isDir);
    if (!pid || *pid == self) continue;
    const auto mtime = fs::last_write_time(p, e);
    if (e) continue;
    const bool dayOld = now - mtime > std::chrono::hours(24);
    const bool stale = *pid > 0 ? (ProcessGone(*pid) || dayOld) : (mtime < kProcessStart || dayOld);
    if (!stale) continue;
    if (isDir) fs::remove_all(p, e);
    else fs::remove(p, e);
    if (!e) removed.push_back(name);
  }
  return removed;
}

}  // namespace zw::platform
