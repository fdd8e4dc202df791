#include "interference/clsDlevel.h"

#include "common/Units.h"
#include "interference/modDtoUText.h"

namespace zw {

void clsDlevel::sDdBm(std::string_view v) { sDdBm_ = NumberStorageText(v); }
double clsDlevel::dDdBm() const { return ParseDouble(sDdBm_); }
void clsDlevel::dDdBm(double v) { sDdBm_ = NumberStorageText(v); }

std::string clsDlevel::sDtoU(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= cells_.size()) return {};
  return cells_[static_cast<std::size_t>(i)];
}

void clsDlevel::sDtoU(int i, std::string_view v) {
  if (i < 0 || static_cast<std::size_t>(i) >= cells_.size()) return;
  cells_[static_cast<std::size_t>(i)] = NumberStorageText(v);
}

double clsDlevel::dDtoU(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= cells_.size()) return 0.0;
  const std::string& c = cells_[static_cast<std::size_t>(i)];
  return IsNumericText(c) ? ParseDouble(c) : kDtoUMissing;
}

std::int16_t clsDlevel::iAddOffset() {
  cells_.emplace_back();
  return iNumOffsets();
}

bool clsDlevel::bRemOffset(int i) {
  if (i < 0 || static_cast<std::size_t>(i) >= cells_.size()) return false;
  cells_.erase(cells_.begin() + i);
  return true;
}

}  // namespace zw
