#pragma once
// The bytes of a table's header: checked before the library sees a file (so a
// truncated or inconsistent file is refused, never read past its end),
// layouts checked before one is written, and the names of files in the making.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/DbfTable.h"

namespace zw::platform::dbf {

std::uint32_t Le32(const unsigned char* p);
unsigned Le16(const unsigned char* p);

struct HeaderCheck {
  std::string error;
  std::vector<DbfField> fields;
  std::vector<int> offsets;
  int recordLength = 0;
};

// Reads the file header and field descriptors and checks that the records the
// header promises are all in the file, so that nothing is read past the end.
HeaderCheck CheckHeader(const std::filesystem::path& file);

// Whether the name ends in ".dbf" or ".DBF".
bool DbfExtension(const std::filesystem::path& file);

// A free name in dir for a table in the making (renamed into place when whole).
std::string TempName(const std::filesystem::path& dir);

}  // namespace zw::platform::dbf
