#pragma once
// The propagation models: two-letter code and display names.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zw {

// Code of a display name (without regard to case); empty when the name is
// not in the table. The rows are tested in table order (BC, CA, CG, CX, BU,
// OK, LR, EG, HD, SM, SH, SF, RO) and the first match wins.
std::string ModelCodeFromName(std::string_view displayName);

// The code of a display name, a code itself or a short name the command line
// accepts ("Hata", "Shadowing", "Carey 94-201", "ITM", ...), compared without
// regard to case, blanks and punctuation; empty when none of them.
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

// One key of a model's template. Its type, width and decimals are those of
// the field-definition table (rows "QX" + code + "FLDS"); this row adds what
// the model's parameter reader makes of it.
struct ModelSetting {
  std::string_view key;      // name as in the field-definition table
  std::string_view unit;     // unit of the value; "" for a code or text
  std::string_view allowed;  // values or range the reader accepts
  std::string_view value;    // value of a new template (the reader's default where it has one)
  std::string_view meaning;
};

// What a model is for and which studies it serves; empty for an unknown code.
std::string_view ModelSummary(std::string_view code);
std::string_view ModelStudies(std::string_view code);
// The template keys of a model in field-definition order; empty for an
// unknown code.
std::span<const ModelSetting> ModelSettings(std::string_view code);

// "QX" + upper-cased code + "FLDS": the field-definition type of a model template.
std::string TemplateTableType(std::string_view code);

}  // namespace zw
