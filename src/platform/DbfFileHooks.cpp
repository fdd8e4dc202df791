#include "platform/DbfFileHooks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>

namespace zw::platform {
namespace dbf {

thread_local std::string tlsLibraryMessage;
thread_local int tlsWriteError = 0;

namespace {

void QuietError(const char* message) { tlsLibraryMessage = message ? message : ""; }

thread_local DbfWriteFault tlsOpenFault;

void MarkFailed(HookFile* f, int err) {
  if (!f->failed) f->error = err != 0 ? err : EIO;
  f->failed = true;
  tlsWriteError = f->error;
}

SAFile HookOpen(const char* name, const char* access) {
  std::FILE* fp = std::fopen(name, access);
  if (!fp) return nullptr;
  auto* f = new (std::nothrow) HookFile;
  if (!f) {
    std::fclose(fp);
    return nullptr;
  }
  f->fp = fp;
  f->fault = tlsOpenFault;
  f->readOnly = std::string_view(access) == "rb";
  return reinterpret_cast<SAFile>(f);
}

HookFile* AsHook(SAFile file) { return reinterpret_cast<HookFile*>(file); }

SAOffset HookRead(void* p, SAOffset size, SAOffset n, SAFile file) {
  HookFile* f = AsHook(file);
  if (!f->readOnly) return std::fread(p, size, n, f->fp);
  if (size == 0 || n == 0) return 0;
  const auto want = static_cast<std::size_t>(size * n);
  constexpr std::size_t kWindow = 1 << 16;
  auto* out = static_cast<char*>(p);
  std::size_t got = 0;
  while (got < want) {
    const long at = f->pos;
    if (at < f->winStart || at >= f->winStart + static_cast<long>(f->win.size())) {
      // Refill the window at the read position (or read a large block directly).
      if (std::fseek(f->fp, at, SEEK_SET) != 0) break;
      if (want - got >= kWindow) {
        const std::size_t r = std::fread(out + got, 1, want - got, f->fp);
        got += r;
        f->pos += static_cast<long>(r);
        f->win.clear();
        break;
      }
      f->win.resize(kWindow);
      f->win.resize(std::fread(f->win.data(), 1, kWindow, f->fp));
      f->winStart = at;
      if (f->win.empty()) break;
    }
    const auto off = static_cast<std::size_t>(at - f->winStart);
    const std::size_t take = std::min(want - got, f->win.size() - off);
    std::memcpy(out + got, f->win.data() + off, take);
    got += take;
    f->pos += static_cast<long>(take);
  }
  return static_cast<SAOffset>(got / size);
}

SAOffset HookWrite(void* p, SAOffset size, SAOffset n, SAFile file) {
  HookFile* f = AsHook(file);
  if (f->failed) return 0;
  ++f->writes;
  if (f->fault.failAtWrite > 0 && f->writes == f->fault.failAtWrite) {
    if (f->fault.partial && size * n > 1) {
      std::fwrite(p, 1, size * n / 2, f->fp);
      std::fflush(f->fp);
    }
    if (f->fault.exitProcess) _exit(86);
    MarkFailed(f, f->fault.error);
    errno = f->error;
    return 0;
  }
  errno = 0;
  const SAOffset written = std::fwrite(p, size, n, f->fp);
  if (written != n || std::fflush(f->fp) != 0) {
    MarkFailed(f, errno);
    return 0;
  }
  return written;
}

SAOffset HookSeek(SAFile file, SAOffset offset, int whence) {
  HookFile* f = AsHook(file);
  if (f->readOnly && (whence == SEEK_SET || whence == SEEK_CUR)) {
    const long to = static_cast<long>(offset) + (whence == SEEK_CUR ? f->pos : 0);
    if (to < 0) return static_cast<SAOffset>(-1);
    f->pos = to;
    return 0;
  }
  const int rc = std::fseek(f->fp, static_cast<long>(offset), whence);
  if (f->readOnly && rc == 0) f->pos = std::ftell(f->fp);
  return static_cast<SAOffset>(rc);
}

SAOffset HookTell(SAFile file) {
  HookFile* f = AsHook(file);
  return static_cast<SAOffset>(f->readOnly ? f->pos : std::ftell(f->fp));
}

int HookFlush(SAFile file) {
  HookFile* f = AsHook(file);
  errno = 0;
  if (std::fflush(f->fp) != 0) MarkFailed(f, errno);
  return f->failed ? EOF : 0;
}

int HookClose(SAFile file) {
  HookFile* f = AsHook(file);
  const int rc = std::fclose(f->fp);
  delete f;
  return rc;
}

int HookRemove(const char* name) { return std::remove(name); }

}  // namespace

std::string WriteCause() {
  return tlsWriteError != 0 ? ": " + std::generic_category().message(tlsWriteError) : std::string();
}

SAHooks QuietHooks() {
  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.FOpen = HookOpen;
  hooks.FRead = HookRead;
  hooks.FWrite = HookWrite;
  hooks.FSeek = HookSeek;
  hooks.FTell = HookTell;
  hooks.FFlush = HookFlush;
  hooks.FClose = HookClose;
  hooks.Remove = HookRemove;
  hooks.Error = QuietError;
  return hooks;
}

HookFile* FileOf(DBFHandle h) { return h ? AsHook(h->fp) : nullptr; }

std::string WithLibraryMessage(std::string text) {
  if (!tlsLibraryMessage.empty()) {
    text += ": " + tlsLibraryMessage;
    tlsLibraryMessage.clear();
  }
  return text;
}

}  // namespace dbf

void SetDbfWriteFaultForNewFiles(const DbfWriteFault& fault) { dbf::tlsOpenFault = fault; }

}  // namespace zw::platform
