#include "platform/DbfFieldCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <type_traits>

#include "platform/Text.h"

namespace zw::platform::dbf {

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

std::string_view TrimField(std::string_view s) {
  s = TrimRight(s);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool IsNumericType(char t) { return t == 'N' || t == 'F'; }

bool ParseNumber(std::string_view text, double& out) {
  text = TrimField(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool RawIsNull(char type, std::string_view raw) {
  std::string_view t = TrimField(raw);
  if (t.empty()) return true;
  if (IsNumericType(type)) return t.find_first_not_of('*') == std::string_view::npos;
  if (type == 'L') return t == "?";
  if (type == 'D') return t == "00000000";
  return false;
}

int RawLogical(std::string_view raw) {
  std::string_view t = TrimField(raw);
  if (t.empty()) return -1;
  switch (t.front()) {
    case 'T': case 't': case 'Y': case 'y': return 1;
    case 'F': case 'f': case 'N': case 'n': return 0;
    default: return -1;
  }
}

namespace {

std::string NumberText(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

}  // namespace

std::string ValueAsText(const FieldValue& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return x;
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return std::to_string(x);
        } else {
          return NumberText(static_cast<double>(x));
        }
      },
      v);
}

namespace {

std::string EncodeNumber(const DbfField& f, const FieldValue& value, const std::string& where, std::string& out) {
  const auto width = static_cast<std::size_t>(f.width);
  double v = 0;
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (TrimField(*s).empty()) {
      out.assign(width, ' ');
      return {};
    }
    if (!ParseNumber(*s, v)) return "Not a number" + where + ": \"" + *s + "\"";
  } else if (const auto* b = std::get_if<bool>(&value)) {
    v = *b ? -1.0 : 0.0;
  } else {
    v = std::visit(
        [](const auto& x) -> double {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
            return 0.0;
          } else {
            return static_cast<double>(x);
          }
        },
        value);
  }
  if (!std::isfinite(v)) return "Not a finite number" + where;
  if (std::fabs(v) >= 1e20) return "The value does not fit" + where;
  if (f.decimals == 0) v = std::round(v);  // halves away from zero
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.*f", f.decimals, v);
  if (n <= 0 || n >= static_cast<int>(sizeof buf)) return "The value does not fit" + where;
  std::string text(buf, static_cast<std::size_t>(n));
  if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
  if (text.size() > width)
    return "The value " + text + " does not fit" + where + " (width " + std::to_string(f.width) + ")";
  out.assign(width - text.size(), ' ');
  out += text;
  return {};
}

std::string EncodeLogical(const DbfField& f, const FieldValue& value, const std::string& where, std::string& out) {
  int flag = -1;
  if (const auto* b = std::get_if<bool>(&value)) {
    flag = *b ? 1 : 0;
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    const std::string t = ToUpper(TrimField(*s));
    double d = 0;
    if (t.empty()) {
      flag = -1;
    } else if (t == "T" || t == "TRUE" || t == "Y" || t == "YES" || t == ".T.") {
      flag = 1;
    } else if (t == "F" || t == "FALSE" || t == "N" || t == "NO" || t == ".F.") {
      flag = 0;
    } else if (ParseNumber(t, d)) {
      flag = d != 0 ? 1 : 0;
    } else {
      return "Not a logical value" + where + ": \"" + *s + "\"";
    }
  } else {
    flag = ValueAsText(value) != "0" ? 1 : 0;
  }
  out = flag < 0 ? " " : (flag ? "T" : "F");
  out.resize(static_cast<std::size_t>(f.width), ' ');
  return {};
}

}  // namespace

std::string EncodeField(const DbfField& f, const FieldValue& value, std::string& out) {
  const auto width = static_cast<std::size_t>(f.width);
  const std::string where = " for field " + f.name;
  out.clear();
  if (f.type == 'C') {
    out = ValueAsText(value);
    if (out.size() > width) out.resize(width);
    out.resize(width, ' ');
    return {};
  }
  if (IsNumericType(f.type)) return EncodeNumber(f, value, where, out);
  if (f.type == 'L') return EncodeLogical(f, value, where, out);
  if (f.type == 'D') {
    const auto* s = std::get_if<std::string>(&value);
    if (!s) return "A date is written as YYYYMMDD" + where;
    std::string t;
    for (char c : TrimField(*s))
      if (c != '-') t += c;
    const bool digits = std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!t.empty() && (t.size() != 8 || !digits)) return "Not a date (YYYYMMDD)" + where + ": \"" + *s + "\"";
    out = t;
    out.resize(width, ' ');
    return {};
  }
  return std::string("Fields of type '") + f.type + "' cannot be written" + where;
}

}  // namespace zw::platform::dbf
