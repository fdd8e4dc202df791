#pragma once
// The propagation-model template: built from a section of a task file or a
// defaults file. The section's key "MODEL" names the model; the template
// holds, in field-definition order, every template field of that model
// ("QX" + code + "FLDS" rows of the field-definition table), each with the
// text of the key of the same name in the section (empty when absent).
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/FieldCollection.h"

namespace zw {

struct PropTemplateResult {
  std::shared_ptr<FieldCollection> map;  // none on failure
  std::string modelName;                 // the "MODEL" value, also on failure
  std::string error;                     // empty on success
};

// Builds the template of section `section` of `file`. The model may be
// given by display name or by code. Failures: "Blank propagation model name";
// "Empty collection for Propagation Template Fields" + line break + "Data
// Type " + the template type (also when the field-definition table cannot be
// read; its own failure text then follows on a further line).
PropTemplateResult BuildPropTemplate(const std::filesystem::path& file, std::string_view section,
                                     const std::filesystem::path& dataSumFile);
// The same with the field-definition table shipped with the program.
PropTemplateResult BuildPropTemplate(const std::filesystem::path& file, std::string_view section);

}  // namespace zw
