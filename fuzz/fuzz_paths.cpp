// Radial paths files: the text read as a file and as text gives the same
// radials, each under a PATH key, with its fields as written.
#include <cmath>

#include "FuzzUtil.h"
#include "tasks/PathsFile.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = zw::fuzz::AsText(data, size);
  zw::fuzz::InputFile in(".INI", text);
  std::string error;
  const auto fromFile = zw::tasks::ReadPathsFile(in.path(), &error);
  Check(fromFile.has_value(), "a readable paths file was refused", error);
  const auto fromText = zw::tasks::ParsePaths(text);
  Check(fromFile->size() == fromText.size(), "file and text give different radial counts");
  for (std::size_t i = 0; i < fromText.size(); ++i) {
    const auto& r = fromText[i];
    Check(r.key.size() >= 4, "radial key shorter than PATH", r.key);
    Check((*fromFile)[i].key == r.key, "file and text give different keys", r.key);
    // A usable radial has a real azimuth and a positive length.
    if (r.Usable()) Check(!std::isnan(r.azimuth) && r.length > 0, "unusable radial taken as usable", r.key);
  }
  return 0;
}
