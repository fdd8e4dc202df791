#pragma once
// A tagged value of a field collection: text, double, single, 32-bit integer or boolean.
#include <cstdint>
#include <string>
#include <variant>

namespace zw {

using FieldValue = std::variant<std::string, double, float, std::int32_t, bool>;

// Text form of a value (numbers in their shortest round-trip form, booleans "True"/"False").
std::string ToText(const FieldValue& v);

}  // namespace zw
