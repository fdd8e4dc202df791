#include "interference/clsRXoffset.h"

#include "common/Units.h"
#include "interference/modDtoUText.h"

namespace zw {

double clsRXoffset::dChnlWidth() const { return ParseDouble(sChnlWidth_); }
void clsRXoffset::dChnlWidth(double v) { sChnlWidth_ = NumberStorageText(v); }

double clsRXoffset::dFOffset() const { return ParseDouble(sFOffset_); }
void clsRXoffset::dFOffset(double v) { sFOffset_ = NumberStorageText(v); }
void clsRXoffset::sFOffset(std::string_view v) { sFOffset_ = NumberStorageText(v); }

std::int16_t clsRXoffset::iChnlOffset() const { return ParseInt16(sChnlOffset_); }
void clsRXoffset::iChnlOffset(std::int16_t v) { sChnlOffset_ = NumberStorageText(static_cast<double>(v)); }
void clsRXoffset::sChnlOffset(std::string_view v) { sChnlOffset_ = NumberStorageText(v); }

}  // namespace zw
