#include "common/PropTemplate.h"

#include <exception>

#include "common/ModelTable.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "platform/Profile.h"

namespace zw {

PropTemplateResult BuildPropTemplate(const std::filesystem::path& file, std::string_view section,
                                     const std::filesystem::path& dataSumFile) {
  PropTemplateResult result;
  try {
    result.modelName = platform::ProfileGetString(section, "MODEL", "", file);
    if (result.modelName.empty()) {
      result.error = "Blank propagation model name";
      return result;
    }
    const std::string type = TemplateTableType(ModelCodeOf(result.modelName));
    std::string readError;
    auto fields = platform::ReadDataSumFields(dataSumFile, type, &readError);
    if (!fields || fields->empty()) {
      result.error = "Empty collection for Propagation Template Fields\r\nData Type " + type;
      if (!readError.empty()) result.error += "\r\n" + readError;
      return result;
    }
    auto map = std::make_shared<FieldCollection>();
    for (const auto& f : *fields) {
      if (f.name.empty()) continue;
      // A field listed twice keeps its first place.
      map->Add(f.name, platform::ProfileGetString(section, f.name, "", file));
    }
    result.map = std::move(map);
  } catch (const std::exception& e) {
    result.map.reset();
    result.error = std::string("Error building the propagation template: ") + e.what();
  }
  return result;
}

PropTemplateResult BuildPropTemplate(const std::filesystem::path& file, std::string_view section) {
  return BuildPropTemplate(file, section, platform::DefaultDataSumFile());
}

}  // namespace zw
