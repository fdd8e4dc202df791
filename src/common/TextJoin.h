#pragma once
// Message assembly (the text helpers every layer uses come with it).
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace zw {

inline constexpr std::string_view kLineBreak = "\n";
inline constexpr std::string_view kBlankLine = "\n\n";

// text + separator + line; the line alone when text is blank; text alone when
// line is blank and keepSeparator is false.
std::string JoinLines(std::string_view text, std::string_view line, std::string_view separator = kLineBreak,
                      bool keepSeparator = false);

}  // namespace zw
