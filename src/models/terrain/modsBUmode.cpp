#include "models/terrain/modsBUmode.h"

#include <array>

namespace zw {

namespace {
constexpr std::array<std::string_view, 4> kNames{"MIN DISTANCE", "INFLECTION", "OBSTACLE PEAKS", "FIGURE 12"};
}  // namespace

std::int16_t iBUModeCode(std::string_view sName) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (sName == kNames[i]) return static_cast<std::int16_t>(i);
  }
  return kBUModeInvalid;
}

std::string sBUModeName(std::int16_t iCode) {
  if (iCode < 0 || static_cast<std::size_t>(iCode) >= kNames.size()) return "UNKNOWN";
  return std::string(kNames[static_cast<std::size_t>(iCode)]);
}

}  // namespace zw
