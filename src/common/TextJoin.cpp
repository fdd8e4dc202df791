#include "common/TextJoin.h"

namespace zw {

std::string JoinLines(std::string_view text, std::string_view line, std::string_view separator, bool keepSeparator) {
  if (TrimView(text).empty()) return std::string(line);
  if (TrimView(line).empty() && !keepSeparator) return std::string(text);
  std::string out(text);
  out += separator;
  out += line;
  return out;
}

}  // namespace zw
