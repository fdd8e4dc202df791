#pragma once
// Sub-commands of the ravoprop tool register themselves here; each lives in
// its own Cmd*.cpp file.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/ModelTemplate.h"

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
// Before a command reads or writes a work directory: finishes what an
// interrupted run had decided to put in place (see tasks::StudyCommit).
void PrepareWorkDir(const std::filesystem::path& dir);
// The work directory a command was given (empty: the configured one), made
// absolute and prepared as above; nullopt after saying on stderr that it does
// not exist (the caller exits with kExitFailed).
std::optional<std::filesystem::path> OpenWorkDir(const std::string& given);

// A frequency, MHz, inside the model's curves, for examples.
std::string ExampleFrequency(const std::string& code);

// Exit codes of the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;          // nothing done; files as before
inline constexpr int kExitUsage = 2;           // the command line is wrong
inline constexpr int kExitPartial = 3;         // results written, some points without a result
inline constexpr int kExitCancelled = 4;       // cancelled by the user

}  // namespace zw::tool
