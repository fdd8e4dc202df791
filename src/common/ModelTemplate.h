#pragma once
// A model's template keys (type and width from the field-definition table,
// unit, accepted values, default and meaning from the model table) and a
// complete template with the defaults that runs as it is.
#include <optional>
#include <string>
#include <vector>

namespace zw {

struct ModelKey {
  std::string name, type, unit, allowed, value, meaning;
};
// The keys of a model (code or any name); nullopt with *why when the model is
// unknown or the field-definition table cannot be read.
std::optional<std::vector<ModelKey>> ModelKeys(const std::string& nameOrCode, std::string* why);
// A complete, commented template of the model with its defaults (a settings
// file with [Propagation Model] and [Eff Curvature]).
std::optional<std::string> ModelTemplateIni(const std::string& nameOrCode, std::string* why);

}  // namespace zw
