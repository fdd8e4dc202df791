// ravoprop: command-line front end of the ZWRavoprop propagation library.
#include <cstdio>
#include <exception>
#include <iostream>

#include "Commands.h"
#include "Version.h"
#include "common/Config.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "tasks/StudyCommit.h"

namespace zw::tool {

std::vector<CommandSetup>& Commands() {
  static std::vector<CommandSetup> all;
  return all;
}

GlobalOptions& Globals() {
  static GlobalOptions g;
  return g;
}

void ApplyGlobals() {
  using platform::TerminalMessages;
  const auto answer = Globals().yes ? TerminalMessages::Answer::kYes
                      : Globals().no ? TerminalMessages::Answer::kNo
                                     : TerminalMessages::Answer::kAsk;
  platform::SetMessages(std::make_shared<TerminalMessages>(answer, Globals().silent));
}

void PrepareWorkDir(const std::filesystem::path& dir) {
  std::error_code ec;
  if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return;
  for (const auto& line : tasks::RecoverStudyCommits(dir))
    if (!Globals().silent) std::cerr << line << "\n";
  // Staging files of commands that were killed (their process is gone).
  platform::RemoveStaleStaging(dir);
}

std::optional<std::filesystem::path> OpenWorkDir(const std::string& given) {
  namespace fs = std::filesystem;
  const fs::path dir = given.empty() ? fs::path(WorkDirectory()) : fs::path(given);
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) {
    std::cerr << "Work directory not found: " << (dir.empty() ? std::string("(none configured)") : dir.string())
              << (given.empty() ? " (the configured one; give --workdir DIR)"
                                : " (create it first, e.g. mkdir -p " + dir.string() + ")")
              << "\n";
    return std::nullopt;
  }
  fs::path abs = fs::absolute(dir, ec).lexically_normal();
  if (abs.filename().empty()) abs = abs.parent_path();
  PrepareWorkDir(abs);
  return abs;
}

}  // namespace zw::tool

namespace {

int Run(int argc, char** argv) {
  using namespace zw::tool;
  CLI::App app{"ravoprop - radio-frequency propagation studies (" RAVO_COMPONENT_NAME " " RAVO_VERSION_STRING ")"};
  app.set_version_flag("--version", std::string(RAVO_COMPONENT_NAME " " RAVO_VERSION_STRING));
  app.require_subcommand(0, 1);
  // Options of a command group (--workdir of task, --yes/--no/--silent of the
  // tool) are taken before or after the sub-command that follows them.
  app.fallthrough();
  auto* yes = app.add_flag("--yes", Globals().yes, "Answer yes to every question");
  app.add_flag("--no", Globals().no, "Answer no to every question")->excludes(yes);
  app.add_flag("--silent", Globals().silent, "Log errors without asking or showing them");
  for (auto& setup : Commands()) setup(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return app.exit(e);  // a command's own exit code
  } catch (const CLI::ParseError& e) {
    // The parser's own codes (105-109 ...) would hide the documented one: a
    // wrong command line is 2, after its message; help and version are 0.
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
    return 0;
  }
  return 0;
}

}  // namespace

// A failure no command caught (out of memory, a library error) ends with a
// message and a non-zero exit instead of an abort.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ravoprop: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "ravoprop: unexpected failure\n");
  }
  return 1;
}
