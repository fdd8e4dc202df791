#include "common/ModelTable.h"

#include <array>

namespace zw {

namespace {

struct ModelRow {
  std::string_view code;
  std::array<std::string_view, 3> names;  // unused places are empty
};

constexpr std::array<ModelRow, 13> kRows{{
    {"BC", {"Broadcast (Part 73)"}},
    {"CA", {"Carey - Interpolated"}},
    {"CG", {"Cellular - CGSA"}},
    {"CX", {"Carey - FCC 94-201"}},
    {"BU", {"Bullington"}},
    {"OK", {"Okumura"}},
    {"LR", {"Longley-Rice"}},
    {"EG", {"Egli"}},
    {"HD", {"Hata/Davidson"}},
    {"SM", {"Specialized Mobile Radio"}},
    {"SH", {"Shadow", "Shadowing - .5 Fresnel", "Shadowing - Line of Sight"}},
    {"SF", {"Shadow - Fixed Angle", "Shadow - Fixed Angle - .5 Fresnel", "Shadow - Fixed Angle - LOS"}},
    {"RO", {"Rounded Obstacle"}},
}};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

}  // namespace

std::string ModelCodeFromName(std::string_view displayName) {
  for (const auto& row : kRows)
    for (auto name : row.names)
      if (!name.empty() && EqualsNoCase(name, displayName)) return std::string(row.code);
  return {};
}

std::string ModelCodeOf(std::string_view nameOrCode) {
  const auto t = Trim(nameOrCode);
  if (t.empty()) return {};
  auto code = ModelCodeFromName(t);
  if (!code.empty()) return code;
  for (const auto& row : kRows)
    if (EqualsNoCase(row.code, t)) return std::string(row.code);
  return {};
}

std::vector<std::string> ModelDisplayNames(std::string_view code) {
  for (const auto& row : kRows)
    if (EqualsNoCase(row.code, code)) {
      std::vector<std::string> names;
      for (auto name : row.names)
        if (!name.empty()) names.emplace_back(name);
      return names;
    }
  return {};
}

std::vector<std::string> ModelCodes() {
  std::vector<std::string> codes;
  codes.reserve(kRows.size());
  for (const auto& row : kRows) codes.emplace_back(row.code);
  return codes;
}

ModelQuantity ModelResultOf(std::string_view nameOrCode) {
  const std::string code = ModelCodeOf(nameOrCode);
  if (code == "SH" || code == "SF") return {"clearance", "Fresnel zone radii"};
  if (code == "CX" || code == "CG") return {"contour distance", "km"};
  return {"field strength", "dBu"};
}

std::string TemplateTableType(std::string_view code) {
  std::string t = "QX";
  for (char c : code) t += Upper(c);
  return t + "FLDS";
}

}  // namespace zw
