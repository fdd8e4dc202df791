#pragma once
// A progress bar on the terminal (stderr) for long runs: points done, points
// per second and time left; Ctrl-C presses its cancel button. Without a
// terminal it prints nothing until the final line.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "coverage/ProgressWindow.h"

namespace zw::tool {

class TerminalProgress : public coverage::ProgressWindow {
 public:
  TerminalProgress();
  ~TerminalProgress() override;
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  void SetMessage(std::string_view message) override { message_ = message; }
  void SetMax(std::int64_t max) override { max_ = max; }
  void SetValue(std::int64_t value) override;
  void Show() override;
  void Close() override;
  bool CancelPressed() override;
  void ClearCancel() override;

  std::int64_t Value() const { return value_; }
  double Seconds() const;

 private:
  void Draw(bool final);
  std::string caption_, message_;
  std::int64_t max_ = 0, value_ = 0;
  bool tty_ = false, shown_ = false, closed_ = false;
  std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace zw::tool
