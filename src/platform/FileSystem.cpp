#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zw::platform {

namespace {
constexpr char kSep = std::filesystem::path::preferred_separator;

bool IsSep(char c) { return c == '/' || c == kSep; }

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}
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
  static std::atomic<unsigned> counter{0};
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  const std::filesystem::path tmp =
      dir / (file.filename().string() + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int err = errno;  // before the message is built
    SetError(error, "cannot create " + tmp.string() + ": " + std::generic_category().message(err));
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
    SetError(error, "cannot write " + tmp.string() + ": " + std::generic_category().message(savedErrno));
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

}  // namespace zw::platform
