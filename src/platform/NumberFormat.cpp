#include "platform/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/Text.h"

namespace zw {

namespace {

// A finite value as decimal digits: |value| = d[0].d[1]...d[n-1] x 10^exp10.
// Zero is the single digit '0' with exponent 0.
struct Digits {
  char d[32];
  int n = 0;
  int exp10 = 0;
  bool neg = false;

  bool IsZero() const { return n == 1 && d[0] == '0'; }
  void SetZero() {
    d[0] = '0';
    n = 1;
    exp10 = 0;
  }
  // Digit of the power of ten k.
  char At(int k) const {
    const int idx = exp10 - k;
    return (idx >= 0 && idx < n) ? d[idx] : '0';
  }
  void StripTrailingZeros() {
    while (n > 1 && d[n - 1] == '0') --n;
    if (n == 1 && d[0] == '0') exp10 = 0;
  }
};

// Reads the mantissa digits and exponent of to_chars scientific output.
void ReadScientific(const char* first, const char* last, Digits& g) {
  g.n = 0;
  const char* p = first;
  for (; p != last && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9' && g.n < static_cast<int>(sizeof g.d)) g.d[g.n++] = *p;
  }
  int e = 0;
  if (p != last) {
    ++p;  // 'e'
    bool negExp = false;
    if (p != last && (*p == '+' || *p == '-')) {
      negExp = *p == '-';
      ++p;
    }
    std::from_chars(p, last, e);
    if (negExp) e = -e;
  }
  g.exp10 = e;
  if (g.n == 0) g.SetZero();
}

// Decimal digits of a finite value, at most maxSig significant digits
// (the shortest round-trip text when that is short enough).
Digits Decompose(double v, int maxSig) {
  Digits g;
  g.neg = std::signbit(v);
  const double a = std::fabs(v);
  if (a == 0) {
    g.SetZero();
    return g;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
  ReadScientific(buf, res.ptr, g);
  if (g.n > maxSig) {
    res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, maxSig - 1);
    ReadScientific(buf, res.ptr, g);
  }
  g.StripTrailingZeros();
  return g;
}

// Rounds to the given number of decimals, half away from zero on the digits.
void RoundDecimals(Digits& g, int decimals) {
  if (g.IsZero()) return;
  const long keep = static_cast<long>(g.exp10) + 1 + decimals;
  if (keep >= g.n) return;
  if (keep < 0) {
    g.SetZero();
    return;
  }
  const bool up = g.d[keep] >= '5';
  g.n = static_cast<int>(keep);
  if (up) {
    int i = g.n - 1;
    while (i >= 0 && g.d[i] == '9') g.d[i--] = '0';
    if (i >= 0) {
      ++g.d[i];
    } else {
      std::memmove(g.d + 1, g.d, static_cast<std::size_t>(g.n));
      g.d[0] = '1';
      ++g.n;
      ++g.exp10;
    }
  }
  if (g.n == 0) {
    g.SetZero();
    return;
  }
  g.StripTrailingZeros();
}

bool NonFinite(double v, std::string& out) {
  if (std::isnan(v)) {
    out = "NaN";
    return true;
  }
  if (std::isinf(v)) {
    out = v < 0 ? "-Infinity" : "Infinity";
    return true;
  }
  return false;
}

// Plain layout of the digits: fixed notation for exponents fixedMin..fixedMax,
// otherwise d.dddE+XX.
std::string Layout(const Digits& g, int fixedMin, int fixedMax) {
  std::string s;
  if (g.IsZero()) return "0";
  if (g.neg) s += '-';
  if (g.exp10 >= fixedMin && g.exp10 <= fixedMax) {
    if (g.exp10 >= 0) {
      for (int k = g.exp10; k >= 0; --k) s += g.At(k);
      if (g.n > g.exp10 + 1) {
        s += '.';
        s.append(g.d + g.exp10 + 1, static_cast<std::size_t>(g.n - g.exp10 - 1));
      }
    } else {
      s += "0.";
      s.append(static_cast<std::size_t>(-g.exp10 - 1), '0');
      s.append(g.d, static_cast<std::size_t>(g.n));
    }
    return s;
  }
  s += g.d[0];
  if (g.n > 1) {
    s += '.';
    s.append(g.d + 1, static_cast<std::size_t>(g.n - 1));
  }
  s += 'E';
  s += g.exp10 < 0 ? '-' : '+';
  const int e = std::abs(g.exp10);
  if (e < 10) s += '0';
  s += std::to_string(e);
  return s;
}

bool IsPlaceholder(char c) { return c == '0' || c == '#' || c == '.'; }

// Literal text of a picture: '\' escapes the next character, "..." is quoted.
void AppendLiteral(std::string_view lit, std::string& out, bool& percent) {
  for (std::size_t i = 0; i < lit.size(); ++i) {
    const char c = lit[i];
    if (c == '\\') {
      if (i + 1 < lit.size()) out += lit[++i];
    } else if (c == '"') {
      const std::size_t end = lit.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? lit.size() : end;
      out.append(lit.substr(i + 1, stop - i - 1));
      i = stop;
    } else {
      if (c == '%') percent = true;
      out += c;
    }
  }
}

}  // namespace

std::string FormatGeneral(double value) {
  std::string out;
  if (NonFinite(value, out)) return out;
  return Layout(Decompose(value, 15), -5, 14);
}

std::string FormatRoundTrip(double value) {
  std::string out;
  if (NonFinite(value, out)) return out;
  return Layout(Decompose(value, 17), -5, 16);
}

namespace {

// The placeholder run of a picture: from the first '0', '#' or '.' to the last
// placeholder or ','; first stays npos when the picture has no placeholder.
void PlaceholderRun(std::string_view picture, std::size_t& first, std::size_t& last) {
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const char c = picture[i];
    if (c == '\\') {  // an escaped character is literal
      ++i;
      continue;
    }
    if (IsPlaceholder(c) || (c == ',' && first != std::string_view::npos)) {
      if (first == std::string_view::npos) first = i;
      last = i;
    }
  }
}

// What a placeholder run asks for: the least integer digits (from its first
// '0'), decimals in all and how many of them always shown, digit grouping and
// a decimal point.
struct BodyShape {
  int minInt = 0, decTotal = 0, decZero = 0;
  bool group = false, point = false;
};

BodyShape ShapeOf(std::string_view body) {
  int intCount = 0, firstZero = -1, decTotal = 0, decZero = 0;
  bool group = false, point = false;
  for (const char c : body) {
    if (!point) {
      if (c == '0') {
        if (firstZero < 0) firstZero = intCount;
        ++intCount;
      } else if (c == '#') {
        ++intCount;
      } else if (c == ',') {
        group = true;
      } else if (c == '.') {
        point = true;
      }
    } else if (c == '0') {
      decZero = ++decTotal;
    } else if (c == '#') {
      ++decTotal;
    }
  }
  return {firstZero < 0 ? 0 : intCount - firstZero, decTotal, decZero, group, point};
}

}  // namespace

std::string FormatNumber(double value, std::string_view picture) {
  std::string out;
  if (NonFinite(value, out)) return out;

  if (picture.empty() || EqualsNoCase(picture, "General Number") || EqualsNoCase(picture, "General") ||
      EqualsNoCase(picture, "G")) {
    return FormatGeneral(value);
  }
  if (EqualsNoCase(picture, "Fixed")) picture = "0.00";
  else if (EqualsNoCase(picture, "Standard")) picture = "#,##0.00";
  else if (EqualsNoCase(picture, "Percent")) picture = "0.00%";

  std::size_t first = std::string_view::npos, last = 0;
  PlaceholderRun(picture, first, last);
  bool percent = false;
  if (first == std::string_view::npos) {  // no placeholders: the text alone
    AppendLiteral(picture, out, percent);
    return out;
  }
  const std::string_view prefix = picture.substr(0, first);
  const std::string_view body = picture.substr(first, last - first + 1);
  const std::string_view suffix = picture.substr(last + 1);

  const BodyShape shape = ShapeOf(body);
  const int minInt = shape.minInt, decTotal = shape.decTotal, decZero = shape.decZero;
  const bool group = shape.group, point = shape.point;

  std::string pre, post;
  AppendLiteral(prefix, pre, percent);
  AppendLiteral(suffix, post, percent);
  if (percent) value *= 100.0;
  if (!std::isfinite(value)) return value < 0 ? "-Infinity" : "Infinity";

  Digits g = Decompose(value, 15);
  RoundDecimals(g, decTotal);
  if (g.IsZero()) g.neg = false;

  if (g.neg) out += '-';
  out += pre;
  const int intDigits = g.IsZero() ? 0 : (g.exp10 >= 0 ? g.exp10 + 1 : 0);
  const int width = intDigits > minInt ? intDigits : minInt;
  for (int k = width - 1; k >= 0; --k) {
    out += g.At(k);
    if (group && k > 0 && k % 3 == 0) out += ',';
  }
  if (point && decTotal > 0) {
    std::string frac;
    for (int j = 1; j <= decTotal; ++j) frac += g.At(-j);
    std::size_t len = frac.size();
    while (len > static_cast<std::size_t>(decZero) && frac[len - 1] == '0') --len;
    if (len > 0) {
      out += '.';
      out.append(frac, 0, len);
    }
  }
  out += post;
  return out;
}

}  // namespace zw
