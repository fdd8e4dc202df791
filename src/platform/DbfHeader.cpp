#include "platform/DbfHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "platform/DbfFieldCodec.h"
#include "platform/DbfGuard.h"
#include "platform/DbfUpkeep.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace zw::platform {
namespace dbf {

namespace {

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > 10) return false;
  if (!std::isalpha(static_cast<unsigned char>(name.front()))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

}  // namespace

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
unsigned Le16(const unsigned char* p) { return p[0] | (static_cast<unsigned>(p[1]) << 8); }

HeaderCheck CheckHeader(const std::filesystem::path& file) {
  HeaderCheck out;
  const std::string name = file.string();
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) {
    out.error = "Cannot read the table " + name + ": " + ec.message();
    return out;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    out.error = "Cannot open the table " + name;
    return out;
  }
  if (size < 33) {
    out.error = "Not a dBase table (file too short): " + name;
    return out;
  }
  unsigned char hdr[32];
  if (!in.read(reinterpret_cast<char*>(hdr), 32)) {
    out.error = "Cannot read the header of " + name;
    return out;
  }
  const std::uint64_t records = Le32(hdr + 4);
  const unsigned headerLength = Le16(hdr + 8);
  const unsigned recordLength = Le16(hdr + 10);
  if (headerLength < 33 || headerLength > size || recordLength < 2) {
    out.error = "Not a dBase table (bad header): " + name;
    return out;
  }
  std::vector<unsigned char> desc(headerLength - 32);
  if (!in.read(reinterpret_cast<char*>(desc.data()), static_cast<std::streamsize>(desc.size()))) {
    out.error = "Cannot read the header of " + name;
    return out;
  }
  int offset = 1;  // the deletion flag comes first
  for (std::size_t p = 0; p + 32 <= desc.size() && desc[p] != 0x0D; p += 32) {
    const unsigned char* d = desc.data() + p;
    DbfField f;
    const char* nameBytes = reinterpret_cast<const char*>(d);
    f.name.assign(nameBytes, strnlen(nameBytes, 11));
    f.type = static_cast<char>(d[11]);
    if (f.type == 'C') {
      f.width = d[16] + 256 * d[17];
      f.decimals = 0;
    } else {
      f.width = d[16];
      f.decimals = d[17];
    }
    if (f.width < 1 || f.name.empty()) {
      out.error = "Not a dBase table (bad field " + std::to_string(out.fields.size() + 1) + "): " + name;
      return out;
    }
    out.offsets.push_back(offset);
    offset += f.width;
    out.fields.push_back(std::move(f));
  }
  if (out.fields.empty()) {
    out.error = "Not a dBase table (no fields): " + name;
    return out;
  }
  if (static_cast<unsigned>(offset) > recordLength) {
    out.error = "Not a dBase table (fields longer than the record): " + name;
    return out;
  }
  if (records > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ||
      headerLength + records * recordLength > size) {
    out.error = "The table is truncated: " + name + " (the header promises " + std::to_string(records) +
                " records, the file holds " +
                std::to_string((size - headerLength) / recordLength) + ")";
    return out;
  }
  out.recordLength = static_cast<int>(recordLength);
  return out;
}

bool DbfExtension(const std::filesystem::path& file) {
  const auto ext = file.extension().string();
  return ext == ".dbf" || ext == ".DBF";
}

std::string TempName(const std::filesystem::path& dir) { return StagingPath(dir / "dbf.dbf").string(); }

}  // namespace dbf

using namespace dbf;

std::string ValidateDbfLayout(const std::vector<DbfField>& fields) {
  if (fields.empty()) return "A table needs at least one field";
  if (fields.size() > 255) return "A table holds at most 255 fields";
  int length = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto& f = fields[i];
    if (!ValidName(f.name)) return "Invalid field name: \"" + f.name + "\"";
    for (std::size_t j = 0; j < i; ++j)
      if (EqualsNoCase(fields[j].name, f.name)) return "Duplicate field name: " + f.name;
    const std::string where = " for field " + f.name;
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > 254) return "Invalid width" + where;
        if (f.decimals != 0) return "Invalid decimals" + where;
        break;
      case 'N':
      case 'F':
        if (f.width < 1 || f.width > 20) return "Invalid width" + where;
        if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2) || f.decimals > 15)
          return "Invalid decimals" + where;
        break;
      case 'L':
        if (f.width != 1 || f.decimals != 0) return "Invalid width" + where;
        break;
      case 'D':
        if (f.width != 8 || f.decimals != 0) return "Invalid width" + where;
        break;
      default:
        return std::string("Invalid field type '") + f.type + "'" + where;
    }
    length += f.width;
  }
  if (length > 65535) return "The record is too long";
  return {};
}

std::string CorrectDbfHeader(const std::filesystem::path& file, const std::vector<DataSumField>& rows) {
  return Guarded("Cannot correct the header of", file, [&]() -> std::string {
    HeaderCheck check = CheckHeader(file);
    if (!check.error.empty()) return check.error;
    if (rows.size() != check.fields.size())
      return "The field definitions (" + std::to_string(rows.size()) + ") do not match the fields of " +
             file.string() + " (" + std::to_string(check.fields.size()) + ")";
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) return "Cannot read the table " + file.string();
    in.close();
    const std::uint32_t records = Le32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4);
    std::uint32_t displacement = 1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& r = rows[i];
      if (!EqualsNoCase(r.name, check.fields[i].name))
        return "The field definition " + r.name + " does not match the field " + check.fields[i].name + " of " +
               file.string();
      const std::size_t d = 32 * (i + 1);
      const std::string fox = ToUpper(TrimField(r.foxType));
      if (fox == "N" || fox == "F") {
        if (r.width < 1 || r.width > 20 || r.decimals < 0 || r.decimals > 15 || (r.decimals > 0 && r.decimals > r.width - 2))
          return "Invalid width or decimals for field " + r.name + " (" + file.string() + ")";
        bytes[d + 11] = fox[0];
        bytes[d + 16] = static_cast<char>(r.width);
        bytes[d + 17] = static_cast<char>(r.decimals);
      } else if (r.width != check.fields[i].width) {
        return "The width of field " + r.name + " does not match the table " + file.string();
      }
      for (int b = 0; b < 4; ++b) bytes[d + 12 + static_cast<std::size_t>(b)] = static_cast<char>((displacement >> (8 * b)) & 0xFF);
      displacement += static_cast<std::uint32_t>(r.width);
    }
    if (displacement > 65535) return "The record is too long (" + file.string() + ")";
    if (records > 0 && displacement != static_cast<std::uint32_t>(check.recordLength))
      return "The field definitions would change the records of " + file.string();
    bytes[10] = static_cast<char>(displacement & 0xFF);
    bytes[11] = static_cast<char>((displacement >> 8) & 0xFF);
    const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::string temp = TempName(dir);
    {
      std::ofstream o(temp, std::ios::binary | std::ios::trunc);
      o.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      o.flush();
      if (!o) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return "Cannot write the table " + file.string();
      }
    }
    if (HeaderCheck again = CheckHeader(temp); !again.error.empty()) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return again.error;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) {
      std::filesystem::remove(temp, ec);
      return "Cannot write the table " + file.string() + ": " + ec.message();
    }
    return {};
  });
}

}  // namespace zw::platform
