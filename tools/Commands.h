#pragma once
// Sub-commands of the ravoprop tool register themselves here; each lives in
// its own Cmd*.cpp file.
#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace zw::tool {

using CommandSetup = std::function<void(CLI::App&)>;

std::vector<CommandSetup>& Commands();

struct CommandRegistration {
  explicit CommandRegistration(CommandSetup setup) { Commands().push_back(std::move(setup)); }
};

// Global options shared by every sub-command.
struct GlobalOptions {
  bool yes = false;   // answer yes to every question
  bool no = false;    // answer no to every question
  bool silent = false;
};
GlobalOptions& Globals();
// Puts the global options into force (the message sink answers as told).
void ApplyGlobals();

}  // namespace zw::tool
