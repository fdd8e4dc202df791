#include "models/terrain/modLRModeText.h"

namespace zw {

std::string modLRModeText(int mdvar) {
  int m = mdvar;
  while (m > 3) m -= 10;
  if (m < 0) return "Unknown Mode";
  static const char* const kBase[] = {"Single Message", "Individual", "Mobile", "Broadcast"};
  std::string text = kBase[m];
  switch (mdvar - m) {
    case 0: break;
    case 10: text += "; No Location Var"; break;
    case 20: text += "; No Situation Var"; break;
    case 30: text += "; No Situation Var, No Location Var"; break;
    default: text += "; MDVAR = " + std::to_string(mdvar); break;
  }
  return text;
}

}  // namespace zw
