#pragma once
// The propagation models: two-letter code and display names.
#include <string>
#include <string_view>
#include <vector>

namespace zw {

// Code of a display name (without regard to case); empty when the name is
// not in the table. The rows are tested in table order (BC, CA, CG, CX, BU,
// OK, LR, EG, HD, SM, SH, SF, RO) and the first match wins.
std::string ModelCodeFromName(std::string_view displayName);

// The code of a display name or of a code itself (trimmed, without regard to
// case), as the engine's model setting accepts either; empty when neither.
std::string ModelCodeOf(std::string_view nameOrCode);

// Display names of a code (without regard to case), first the main one;
// empty for an unknown code.
std::vector<std::string> ModelDisplayNames(std::string_view code);

// Every model code in table order.
std::vector<std::string> ModelCodes();

// What a model's result is and its unit: "field strength" in "dBu" (the
// field models), "clearance" in "Fresnel zone radii" (SH, SF), "contour
// distance" in "km" (CX, CG). A display name or a code; a name or code not in
// the table reads as field strength in dBu, the results table's default.
struct ModelQuantity {
  std::string quantity, unit;
};
ModelQuantity ModelResultOf(std::string_view nameOrCode);

// "QX" + upper-cased code + "FLDS": the field-definition type of a model template.
std::string TemplateTableType(std::string_view code);

}  // namespace zw
