#pragma once
// Model selection: the calculator of a model, by its display name or code.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/clsQXAreaCov.h"

namespace zw {

struct CalculatorRow {
  std::vector<std::string> names;  // main display names (of the model table), then codes
};

// The selection table in its search order.
const std::vector<CalculatorRow>& CalculatorTable();

// A new calculator for the first row whose display name or code equals name
// exactly (case-sensitive); nullptr when none matches.
std::unique_ptr<clsQXAreaCov> NewCalculator(std::string_view name);

}  // namespace zw
