// Antenna records of a settings file. Input: section line, units line, then
// the file. A loaded pattern must be laid out as the lookups expect.
#include <cmath>

#include "FuzzUtil.h"
#include "common/Antenna.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const std::string section(zw::fuzz::NextLine(rest));
  const std::string units(zw::fuzz::NextLine(rest));
  zw::fuzz::InputFile in(".INI", rest);

  zw::clsAntenna a;
  const std::string err = zw::LoadAntennaFromProfile(in.path(), section, units, a);
  if (!err.empty()) {
    Check(!a.HasPattern(), "a failed load left a pattern");
    return 0;
  }
  Check(a.iHorCount >= 0 && a.iVertCount >= 0, "negative count");
  Check(a.daHaz.size() == static_cast<std::size_t>(a.iHorCount) + 1 && a.daHgain.size() == a.daHaz.size(),
        "horizontal arrays do not match the count");
  Check(a.daVel.size() == static_cast<std::size_t>(a.iVertCount) + 1 && a.daVgain.size() == a.daVel.size(),
        "vertical arrays do not match the count");
  for (double az : {0.0, 45.0, 90.0, 180.0, 359.9, -10.0, 720.0}) (void)a.HorGain(az, 0);
  bool e = false;
  for (double el : {-90.0, -5.0, 0.0, 5.0, 90.0}) {
    (void)a.VertGain("", 0, el, 0, e);
    (void)a.VertGain("MAJ", 90, el, 0, e);
    (void)a.VertGain("HOR", 90, el, 0, e);
  }
  a.Invert();
  a.Invert();
  return 0;
}
