// BNA boundary files: the object named by the first line of the input is
// loaded (the whole input is the file), then points are tested against it.
#include <cmath>

#include "FuzzUtil.h"
#include "platform/terrain/BnaPolygon.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = zw::fuzz::AsText(data, size);
  std::string_view rest = text;
  const std::string id(zw::fuzz::NextLine(rest));
  zw::fuzz::InputFile in(".bna", text);

  zw::platform::BnaPolygon b;
  const int n = b.Load(in.path(), id);
  Check(n == b.iCount(), "Load and iCount differ");
  Check(b.X().size() == b.Y().size() && static_cast<int>(b.X().size()) == n, "vertex arrays differ in size");
  for (int i = 0; i < n; ++i) {
    Check(std::isfinite(b.X()[i]) && std::isfinite(b.Y()[i]), "vertex not finite");
  }
  if (n == 0) {
    Check(b.Inside(0, 0) == -1, "inside a polygon that is not loaded");
    return 0;
  }
  // The vertices themselves lie on the boundary.
  for (int i = 0; i < n && i < 64; ++i) {
    Check(b.Inside(b.X()[i], b.Y()[i]) == 0, "vertex not on the boundary");
  }
  (void)b.Inside(0, 0);
  (void)b.Inside(NAN, 0);
  (void)b.Inside(1e308, -1e308);
  return 0;
}
