// Receiver D/U tables: a section of a profile file loaded (first input line:
// the section name, the rest: the file), printed, looked up, saved to a copy
// and loaded again. A failed load leaves the table as it was.
#include <filesystem>

#include "FuzzUtil.h"
#include "interference/clsQXDtoU.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const std::string section(zw::fuzz::NextLine(rest));
  zw::fuzz::InputFile in(".INI", rest);

  zw::clsQXDtoU t;
  t.bSilent(true);
  t.sINIfile(in.path().string());
  const std::string before = t.sTextTable();
  if (!t.DtoU_Load(section).empty()) {
    Check(t.sTextTable() == before, "a failed load changed the table");
    return 0;
  }
  (void)t.sTextDLevels();
  for (int i = 0; i < t.iNumOffsets(); ++i) {
    (void)t.dOffsetLo(i);
    (void)t.dOffsetHi(i);
  }
  t.SortOnDdBm(true);
  t.SortOnOffset();

  // What was loaded saves, and the saved section loads again.
  const std::filesystem::path copy = in.path().string() + ".copy";
  t.sINIfile(copy.string());
  if (t.DtoU_Save("Fuzz").empty()) {
    zw::clsQXDtoU again;
    again.bSilent(true);
    again.sINIfile(copy.string());
    (void)again.DtoU_Load("Fuzz");
  }
  std::error_code ec;
  std::filesystem::remove(copy, ec);
  return 0;
}
