#include "interference/modDtoUText.h"

#include <charconv>
#include <cmath>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"

namespace zw {

bool IsNumericText(std::string_view text) {
  std::string_view t = TrimView(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  // from_chars also reads "inf" and "nan"; only digits may start a number here.
  const std::size_t first = (t.front() == '-') ? 1 : 0;
  if (first >= t.size()) return false;
  const char c = t[first];
  if (!((c >= '0' && c <= '9') || c == '.')) return false;
  double v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(v);
}

namespace {
double ReadNumeric(std::string_view text) {
  std::string_view t = TrimView(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double v = 0;
  std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  return v;
}
}  // namespace

std::string NumberStorageText(std::string_view text) {
  if (!IsNumericText(text)) return {};
  return NumberStorageText(ReadNumeric(text));
}

std::string NumberStorageText(double value) {
  if (!std::isfinite(value)) return {};
  return FormatGeneral(value);
}

std::vector<std::string> SplitBar(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    out.push_back(Trim(text.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start)));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string BarField(const std::vector<std::string>& fields, std::size_t n, std::string_view def) {
  if (n == 0 || n > fields.size()) return std::string(def);
  return fields[n - 1];
}

}  // namespace zw
