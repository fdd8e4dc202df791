// ravoprop models / template: the propagation models of the model table, each
// key of their templates (type and width from the field-definition table,
// unit, accepted values, default and meaning from the model table), and a
// complete template with the defaults that runs as it is.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "common/ModelTable.h"
#include "common/TextJoin.h"
#include "platform/DbfTable.h"
#include "platform/FileSystem.h"

namespace zw::tool {

namespace {

namespace fs = std::filesystem;

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : std::string(separator)) + p;
  return out;
}

std::string Names(const std::string& code) { return Join(ModelDisplayNames(code), "; "); }

}  // namespace

namespace {

struct ModelsOptions {
  std::string model, output;
  bool markdown = false, force = false;
};

int ListModels(bool markdown) {
  if (markdown) {
    std::cout << "## Models and their template keys\n\nWritten by `ravoprop models --markdown` from the model table "
                 "(src/common/ModelTable.cpp) and the field-definition table (data/ZWDATASM.csv).\n\n"
                 "| Code | Names | Result | Studies |\n|---|---|---|---|\n";
    for (const auto& code : ModelCodes()) {
      const ModelQuantity q = ModelResultOf(code);
      std::cout << fmt::format("| [{}](#{}) | {} | {} ({}) | {} |\n", code, ToLower(code), Names(code), q.quantity,
                               q.unit, ModelStudies(code));
    }
    return kExitOk;
  }
  std::cout << fmt::format("{:<4} {:<36} {:<32} {}\n", "Code", "Names", "Result", "Studies");
  for (const auto& code : ModelCodes()) {
    const ModelQuantity q = ModelResultOf(code);
    std::cout << fmt::format("{:<4} {:<36} {:<32} {}\n", code, ModelDisplayNames(code).front(),
                             q.quantity + " (" + q.unit + ")", ModelStudies(code));
  }
  std::cout << "\n`ravoprop models CODE` shows a model's template keys; `ravoprop template new CODE -o FILE` writes "
               "its template.\n";
  return kExitOk;
}

int ShowModel(const std::string& nameOrCode, bool markdown) {
  std::string why;
  const auto keys = ModelKeys(nameOrCode, &why);
  if (!keys) {
    std::cerr << why << "\n";
    return kExitFailed;
  }
  const std::string code = ModelCodeOf(nameOrCode);
  const ModelQuantity q = ModelResultOf(code);
  if (markdown) {
    std::cout << fmt::format("\n### {}\n\n{} ({}): {}. Result: {} in {}. Studies: {}.\n\n", code, Names(code), code,
                             ModelSummary(code), q.quantity, q.unit, ModelStudies(code))
              << "| Key | Type | Unit | Accepted | Default | Meaning |\n|---|---|---|---|---|---|\n";
    for (const auto& k : *keys)
      std::cout << fmt::format("| `{}` | {} | {} | {} | {} | {} |\n", k.name, k.type, k.unit, k.allowed,
                               k.value.empty() ? "(blank)" : "`" + k.value + "`", k.meaning);
    std::cout << fmt::format(
        "\n```\nravoprop template new {0} -o {1}.ini\nravoprop p2p --template {1}.ini --dem data/terrain/N44W072.hgt "
        "--from 44.4365,-71.4131 --to 44.30,-71.20 --freq {2} --tx-agl 100 --rx-agl 9.1\n```\n",
        code, ToLower(code), ExampleFrequency(code));
    return kExitOk;
  }
  std::cout << fmt::format("{} ({}): {}\n", Names(code), code, ModelSummary(code))
            << fmt::format("Result:  {} in {}\nStudies: {}\n\nTemplate keys ([Propagation Model], MODEL={}):\n",
                           q.quantity, q.unit, ModelStudies(code), ModelDisplayNames(code).front());
  for (const auto& k : *keys) {
    std::cout << fmt::format("  {:<11} {}\n", k.name, k.meaning);
    std::cout << fmt::format("  {:<11} type {}; {}{}; default {}\n", "", k.type, k.allowed,
                             k.unit.empty() ? "" : "; unit " + k.unit, k.value.empty() ? "(blank)" : k.value);
  }
  return kExitOk;
}

int NewTemplate(const ModelsOptions& o) {
  std::string why;
  const auto text = ModelTemplateIni(o.model, &why);
  if (!text) {
    std::cerr << why << "\n";
    return kExitFailed;
  }
  if (o.output.empty() || o.output == "-") {
    std::cout << *text;
    return kExitOk;
  }
  std::error_code ec;
  if (fs::exists(o.output, ec) && !o.force) {
    std::cerr << o.output << " exists; it was left as it is (give --force to replace it)\n";
    return kExitFailed;
  }
  std::string failure;
  if (!platform::WriteFileAtomic(o.output, *text, &failure)) {
    std::cerr << "Cannot write " << o.output << ": " << failure << "\n";
    return kExitFailed;
  }
  if (!Globals().silent) std::cout << "Wrote " << o.output << " (" << ModelCodeOf(o.model) << " with its defaults)\n";
  return kExitOk;
}

void Throw(int rc) {
  if (rc != 0) throw CLI::RuntimeError(rc);
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<ModelsOptions>();
  auto* models = app.add_subcommand("models", "List the propagation models, or show one model's template keys");
  models->add_option("MODEL", o->model, "Model code or name (e.g. LR, \"Longley-Rice\", Hata)");
  models->add_flag("--markdown", o->markdown, "Markdown (docs/models.md is this output of every model)");
  models->callback([o] {
    ApplyGlobals();
    if (!o->model.empty()) return Throw(ShowModel(o->model, o->markdown));
    int rc = ListModels(o->markdown);
    if (o->markdown)
      for (const auto& code : ModelCodes())
        if (rc == 0) rc = ShowModel(code, true);
    Throw(rc);
  });

  auto* tpl = app.add_subcommand("template", "Model templates");
  tpl->require_subcommand(1);
  auto* n = tpl->add_subcommand("new", "Write a model's complete template with its defaults (runs as it is)");
  n->add_option("MODEL", o->model, "Model code or name")->required();
  n->add_option("-o,--output", o->output, "Template file to write (default: standard output)");
  n->add_flag("--force", o->force, "Replace the file when it exists");
  n->callback([o] {
    ApplyGlobals();
    Throw(NewTemplate(*o));
  });
});

}  // namespace

std::string ExampleFrequency(const std::string& code) {
  // Frequencies inside each model's curves: cellular and SMR bands for the
  // land-mobile curves, FM for the rest.
  if (code == "CX" || code == "CG" || code == "CA") return "880";
  if (code == "SM") return "860";
  if (code == "OK" || code == "HD") return "450";
  return "98.5";
}

}  // namespace zw::tool
