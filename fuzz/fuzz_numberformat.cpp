// Number pictures. Input: 8 bytes of a double, then the picture. The general
// and round-trip forms must read back as the value.
#include <cmath>
#include <cstdlib>

#include "FuzzUtil.h"
#include "platform/NumberFormat.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const double v = zw::fuzz::NextDouble(rest);
  const std::string picture(rest);

  const std::string s = zw::FormatNumber(v, picture);
  Check(s.size() < 4096 + 4 * picture.size(), "picture result unreasonably long");
  (void)zw::FormatNumber(-v, picture);
  (void)zw::FormatNumber(v * 1e-7, picture);
  if (!std::isfinite(v)) {
    Check(zw::FormatGeneral(v) == (std::isnan(v) ? "NaN" : v > 0 ? "Infinity" : "-Infinity"), "non-finite text");
    return 0;
  }
  const std::string rt = zw::FormatRoundTrip(v);
  Check(std::strtod(rt.c_str(), nullptr) == v, "round-trip text does not read back", rt);
  const std::string g = zw::FormatGeneral(v);
  const double back = std::strtod(g.c_str(), nullptr);
  // Fifteen digits of values next to the largest double round past it.
  if (std::isinf(back) && std::fabs(v) >= 1.797693134862315e308) return 0;
  Check(back == v || std::fabs(back - v) <= 1e-14 * std::fabs(v), "general text too far from the value", g);
  return 0;
}
