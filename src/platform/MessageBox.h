#pragma once
// Messages to the user. The engine never talks to a terminal itself: it goes
// through the process-wide message sink, which the CLI sets to a terminal sink
// and tests set to a scripted one.
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zw::platform {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Information(std::string_view title, std::string_view text) = 0;
  // A yes/no question; the answer, or defaultYes when no one can answer.
  virtual bool YesNo(std::string_view title, std::string_view text, bool defaultYes) = 0;
};

// The sink in use (a terminal sink on stderr until one is set).
MessageSink& Messages();
// Sets the sink; nullptr restores the default. Returns the previous sink.
std::shared_ptr<MessageSink> SetMessages(std::shared_ptr<MessageSink> sink);

// Prints to stderr. Questions are asked on the terminal when stdin is one and
// no forced answer is set; otherwise the stated default (or the forced answer)
// is taken and printed with the question.
class TerminalMessages : public MessageSink {
 public:
  enum class Answer { kAsk, kYes, kNo };
  explicit TerminalMessages(Answer forced = Answer::kAsk, bool quiet = false) : forced_(forced), quiet_(quiet) {}
  void Information(std::string_view title, std::string_view text) override;
  bool YesNo(std::string_view title, std::string_view text, bool defaultYes) override;

 private:
  Answer forced_;
  bool quiet_;
};

// Records every message and answers questions from a script (then the default).
class ScriptedMessages : public MessageSink {
 public:
  struct Shown {
    std::string kind;  // "information" or "yesno"
    std::string title;
    std::string text;
  };
  void Answer(bool yes) {
    std::lock_guard lock(m_);
    answers_.push_back(yes);
  }
  void Information(std::string_view title, std::string_view text) override;
  bool YesNo(std::string_view title, std::string_view text, bool defaultYes) override;
  std::vector<Shown> Log() const {
    std::lock_guard lock(m_);
    return shown_;
  }
  void Clear() {
    std::lock_guard lock(m_);
    shown_.clear();
  }

 private:
  mutable std::mutex m_;
  std::deque<bool> answers_;
  std::vector<Shown> shown_;
};

}  // namespace zw::platform
