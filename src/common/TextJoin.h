#pragma once
// Message assembly and the small text helpers every subsystem uses.
#include <string>
#include <string_view>

namespace zw {

inline constexpr std::string_view kLineBreak = "\n";
inline constexpr std::string_view kBlankLine = "\n\n";

// text + separator + line; the line alone when text is blank; text alone when
// line is blank and keepSeparator is false.
std::string JoinLines(std::string_view text, std::string_view line, std::string_view separator = kLineBreak,
                      bool keepSeparator = false);

// Leading and trailing blanks (space, tab, CR, LF) removed.
std::string Trim(std::string_view s);
std::string_view TrimView(std::string_view s);
std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zw
