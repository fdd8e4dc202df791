#pragma once
// One row of a receiver D/U table: a desired-signal level and its D/U ratio
// (dB) for every offset column. Numbers are held as text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zw {

inline constexpr double kDtoUMissing = -888.0;

class clsDlevel {
 public:
  const std::string& sDesc() const { return sDesc_; }
  void sDesc(std::string_view v) { sDesc_ = std::string(v); }

  // Desired level in dBm; a non-numeric text is stored empty and reads 0.
  const std::string& sDdBm() const { return sDdBm_; }
  void sDdBm(std::string_view v);
  double dDdBm() const;
  void dDdBm(double v);

  // Cell i (from 0): the D/U ratio text; empty for an index outside the row.
  // Writing a non-numeric text (or an empty one) stores an empty text; writing
  // outside the row does nothing.
  std::string sDtoU(int i) const;
  void sDtoU(int i, std::string_view v);
  // Numeric value of cell i: -888 when the cell holds no number, 0 outside the row.
  double dDtoU(int i) const;

  std::int16_t iNumOffsets() const { return static_cast<std::int16_t>(cells_.size()); }
  // Appends one empty cell; returns the new cell count.
  std::int16_t iAddOffset();
  // Removes cell i; false (and nothing changes) for an index outside the row.
  bool bRemOffset(int i);

 private:
  friend class clsQXDtoU;  // moves cells when columns are exchanged
  std::string sDesc_;
  std::string sDdBm_;
  std::vector<std::string> cells_;
};

}  // namespace zw
