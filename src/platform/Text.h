#pragma once
// The text helpers every layer uses: trimming, ASCII case folding and
// case-blind comparison. Files, keys and codes of this system are ASCII, so
// the case rules do not depend on the locale.
#include <string>
#include <string_view>

namespace zw {

// Without leading and trailing blanks (space, tab, CR, LF, VT, FF).
std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);
std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
// Equal but for the case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zw
