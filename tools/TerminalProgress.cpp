#include "TerminalProgress.h"

#include <fmt/format.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace zw::tool {

namespace {
std::atomic<bool> gInterrupted{false};
// The first Ctrl-C asks whether to cancel (at the next progress check); a
// second one while that is pending ends the process at once. The results
// table stays readable either way: every record is written whole.
void OnInterrupt(int) {
  if (gInterrupted.exchange(true)) _exit(130);
}
// SIGTERM and SIGHUP end the run at once: nothing of it has replaced the
// previous files yet (or, past the point of no return, the next command in
// the work directory finishes putting them in place).
void OnTerminate(int sig) { _exit(128 + sig); }
}  // namespace

TerminalProgress::TerminalProgress() {
  tty_ = ::isatty(STDERR_FILENO) != 0;
  gInterrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnTerminate);
  std::signal(SIGHUP, OnTerminate);
  start_ = lastDraw_ = std::chrono::steady_clock::now();
}

TerminalProgress::~TerminalProgress() {
  TerminalProgress::Close();  // no dynamic dispatch in a destructor
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGHUP, SIG_DFL);
}

double TerminalProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TerminalProgress::Show() {
  shown_ = true;
  start_ = std::chrono::steady_clock::now();
  if (tty_) std::fprintf(stderr, "%s\n", caption_.c_str());
}

void TerminalProgress::SetValue(std::int64_t value) {
  value_ = value;
  const auto now = std::chrono::steady_clock::now();
  if (tty_ && shown_ && now - lastDraw_ > std::chrono::milliseconds(200)) {
    lastDraw_ = now;
    Draw(false);
  }
}

void TerminalProgress::Draw(bool final) {
  const double secs = Seconds();
  const double rate = secs > 0 ? static_cast<double>(value_) / secs : 0.0;
  const double left = rate > 0 && max_ > value_ ? static_cast<double>(max_ - value_) / rate : 0.0;
  const int width = 30;
  const int filled = max_ > 0 ? static_cast<int>(width * std::min<double>(1.0, static_cast<double>(value_) / static_cast<double>(max_))) : 0;
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(width - filled), '.');
  if (final) {
    std::fprintf(stderr, "%s%lld of %lld points in %.1f s (%.0f points/s)\n", tty_ ? "\r\033[K" : "",
                 static_cast<long long>(value_), static_cast<long long>(max_), secs, rate);
  } else {
    std::fprintf(stderr, "\r[%s] %lld/%lld  %.0f points/s  %.0f s left ", bar.c_str(), static_cast<long long>(value_),
                 static_cast<long long>(max_), rate, left);
  }
  std::fflush(stderr);
}

void TerminalProgress::Close() {
  if (closed_ || !shown_) return;
  closed_ = true;
  Draw(true);
}

bool TerminalProgress::CancelPressed() { return gInterrupted.load(); }

void TerminalProgress::ClearCancel() { gInterrupted = false; }

}  // namespace zw::tool
