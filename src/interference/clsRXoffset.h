#pragma once
// One column of a receiver D/U table: the frequency and channel offset of the
// undesired signal. Numbers are held as text; text that is not a number is
// stored empty and reads back as 0.
#include <cstdint>
#include <string>
#include <string_view>

namespace zw {

class clsRXoffset {
 public:
  double dChnlWidth() const;
  void dChnlWidth(double v);

  // Frequency offset in the table's channel units.
  double dFOffset() const;
  void dFOffset(double v);
  const std::string& sFOffset() const { return sFOffset_; }
  void sFOffset(std::string_view v);

  // Channel offset (..., -1, 0, 1, ...); 0 when the text is not a number.
  std::int16_t iChnlOffset() const;
  void iChnlOffset(std::int16_t v);
  const std::string& sChnlOffset() const { return sChnlOffset_; }
  void sChnlOffset(std::string_view v);

 private:
  std::string sChnlWidth_;
  std::string sFOffset_;
  std::string sChnlOffset_;
};

}  // namespace zw
