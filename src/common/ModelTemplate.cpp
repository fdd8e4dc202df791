#include "common/ModelTemplate.h"

#include <fmt/format.h>

#include "common/ModelTable.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "platform/Text.h"

namespace zw {

namespace {

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : std::string(separator)) + p;
  return out;
}

const ModelSetting* SettingOf(const std::string& code, std::string_view key) {
  for (const auto& s : ModelSettings(code))
    if (EqualsNoCase(s.key, key)) return &s;
  return nullptr;
}

std::string TypeText(const platform::DataSumField& f) {
  std::string t = ToLower(f.vbType);
  if (t == "double") return fmt::format("number ({} wide, {} decimals)", f.width, f.decimals);
  if (t == "integer") return fmt::format("integer ({} wide)", f.width);
  return fmt::format("text (up to {} characters)", f.width);
}

}  // namespace

std::optional<std::vector<ModelKey>> ModelKeys(const std::string& nameOrCode, std::string* why) {
  const std::string code = ModelCodeOf(nameOrCode);
  if (code.empty()) {
    *why = "Unknown model '" + nameOrCode + "': give a code or name of `ravoprop models` (" +
           Join(ModelCodes(), ", ") + ")";
    return std::nullopt;
  }
  std::string err;
  const auto fields = platform::ReadDataSumFields(platform::DefaultDataSumFile(), TemplateTableType(code), &err);
  if (!fields) {
    *why = "Cannot read the field-definition table " + platform::DefaultDataSumFile().string() + ": " + err;
    return std::nullopt;
  }
  std::vector<ModelKey> keys;
  for (const auto& f : *fields) {
    if (!f.Valid()) continue;
    ModelKey k;
    k.name = f.name;
    k.type = TypeText(f);
    if (const ModelSetting* s = SettingOf(code, f.name)) {
      k.unit = s->unit;
      k.allowed = s->allowed;
      k.value = s->value;
      k.meaning = s->meaning;
    }
    keys.push_back(std::move(k));
  }
  return keys;
}

std::optional<std::string> ModelTemplateIni(const std::string& nameOrCode, std::string* why) {
  const auto keys = ModelKeys(nameOrCode, why);
  if (!keys) return std::nullopt;
  const std::string code = ModelCodeOf(nameOrCode);
  std::string out = fmt::format(
      "; {} ({}) template: {}\n; Each key: its type, unit, accepted values and meaning; the values are the "
      "defaults.\n; Use: ravoprop p2p --template FILE --dem DEM --from LAT,LON --to LAT,LON --freq MHZ "
      "--tx-agl M --rx-agl M\n[Propagation Model]\nMODEL={}\n",
      ModelDisplayNames(code).front(), code, ModelSummary(code), ModelDisplayNames(code).front());
  for (const auto& k : *keys) {
    out += fmt::format("; {}: {}{}; {}", k.name, k.meaning.empty() ? "" : k.meaning + "; ", k.type,
                       k.allowed.empty() ? "as the model reads it" : k.allowed);
    if (!k.unit.empty()) out += "; unit " + k.unit;
    out += "\n" + k.name + "=" + k.value + "\n";
  }
  out +=
      "\n[Eff Curvature]\n; K-Value: effective earth-radius factor (above 0; 1.333 is the standard 4/3 earth)\n"
      "K-Value=1.333\n";
  return out;
}

}  // namespace zw
