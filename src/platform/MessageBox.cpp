#include "platform/MessageBox.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace zw::platform {

namespace {
std::mutex gSinkMutex;
std::shared_ptr<MessageSink>& Slot() {
  static std::shared_ptr<MessageSink> sink = std::make_shared<TerminalMessages>();
  return sink;
}
}  // namespace

MessageSink& Messages() {
  std::lock_guard lock(gSinkMutex);
  return *Slot();
}

std::shared_ptr<MessageSink> SetMessages(std::shared_ptr<MessageSink> sink) {
  std::lock_guard lock(gSinkMutex);
  auto previous = Slot();
  Slot() = sink ? std::move(sink) : std::make_shared<TerminalMessages>();
  return previous;
}

void TerminalMessages::Information(std::string_view title, std::string_view text) {
  if (quiet_) return;
  std::cerr << "[" << title << "] " << text << "\n";
}

bool TerminalMessages::YesNo(std::string_view title, std::string_view text, bool defaultYes) {
  const bool interactive = forced_ == Answer::kAsk && ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
  std::cerr << "[" << title << "] " << text << (defaultYes ? " [Y/n] " : " [y/N] ");
  if (!interactive) {
    const bool yes = forced_ == Answer::kYes || (forced_ == Answer::kAsk && defaultYes);
    std::cerr << (yes ? "yes" : "no") << "\n";
    return yes;
  }
  std::string reply;
  if (!std::getline(std::cin, reply)) return defaultYes;
  if (reply.empty()) return defaultYes;
  return reply[0] == 'y' || reply[0] == 'Y';
}

void ScriptedMessages::Information(std::string_view title, std::string_view text) {
  std::lock_guard lock(m_);
  shown_.push_back({"information", std::string(title), std::string(text)});
}

bool ScriptedMessages::YesNo(std::string_view title, std::string_view text, bool defaultYes) {
  std::lock_guard lock(m_);
  shown_.push_back({"yesno", std::string(title), std::string(text)});
  if (answers_.empty()) return defaultYes;
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

}  // namespace zw::platform
