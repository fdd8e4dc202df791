#include "platform/FieldValue.h"

#include <charconv>
#include <cmath>
#include <type_traits>

#include "platform/NumberFormat.h"

namespace zw {

std::string ToText(const FieldValue& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return x;
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return std::to_string(x);
        } else if constexpr (std::is_same_v<T, float>) {
          // The shortest text of the single itself, not of its widened double
          // (0.1f reads "0.1", not "0.100000001490116").
          char buf[32];
          auto res = std::to_chars(buf, buf + sizeof buf, x);
          double d = 0;
          std::from_chars(buf, res.ptr, d);
          return FormatRoundTrip(std::isfinite(x) ? d : static_cast<double>(x));
        } else {
          return FormatRoundTrip(x);
        }
      },
      v);
}

}  // namespace zw
