#pragma once
// The progress window of long area operations (ktoProgress): caption,
// message, maximum and value, shown and closed, and a cancel button that is
// polled, not signalled. The host supplies a real window; QuietProgress keeps
// the values without showing anything (used when none was given).
#include <cstdint>
#include <string>
#include <string_view>

namespace zw::coverage {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void SetMessage(std::string_view message) = 0;
  virtual void SetMax(std::int64_t max) = 0;
  virtual void SetValue(std::int64_t value) = 0;
  virtual void Show() = 0;
  virtual void Close() = 0;
  // True while the cancel button has been pressed and not cleared.
  virtual bool CancelPressed() = 0;
  virtual void ClearCancel() = 0;
  // Gives the user interface a chance to repaint.
  virtual void Yield() {}
};

// Remembers what it is told; PressCancel simulates the button.
class QuietProgress : public ProgressWindow {
 public:
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  void SetMessage(std::string_view message) override { message_ = message; }
  void SetMax(std::int64_t max) override { max_ = max; }
  void SetValue(std::int64_t value) override {
    value_ = value;
    ++updates_;
  }
  void Show() override { shown_ = true; }
  void Close() override {
    shown_ = false;
    closed_ = true;
  }
  bool CancelPressed() override { return cancel_; }
  void ClearCancel() override { cancel_ = false; }

  void PressCancel() { cancel_ = true; }
  const std::string& Caption() const { return caption_; }
  const std::string& Message() const { return message_; }
  std::int64_t Max() const { return max_; }
  std::int64_t Value() const { return value_; }
  std::int64_t Updates() const { return updates_; }
  bool Shown() const { return shown_; }
  bool Closed() const { return closed_; }

 private:
  std::string caption_, message_;
  std::int64_t max_ = 0, value_ = 0, updates_ = 0;
  bool shown_ = false, closed_ = false, cancel_ = false;
};

}  // namespace zw::coverage
