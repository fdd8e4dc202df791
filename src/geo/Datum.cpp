#include "geo/Datum.h"

#include <array>
#include <cctype>

namespace zw {
namespace {

struct DatumRow {
  const char* display;
  const char* key;
  int epsg;
  std::array<const char*, 5> names;
};

constexpr std::array<DatumRow, 4> kDatums{{
    {"NAD 27", "LL27", 4267, {"NAD27", "NAD 27", "NAD-27", "NAD_27", "LL27"}},
    {"NAD 83", "LL83", 4269, {"NAD83", "NAD 83", "NAD-83", "NAD_83", "LL83"}},
    {"WGS 84", "LL84", 4326, {"WGS84", "WGS 84", "WGS-84", "WGS_84", "LL84"}},
    {"WGS 72", "LL72", 4322, {"WGS72", "WGS 72", "WGS-72", "WGS_72", "LL72"}},
}};

std::string TrimUpper(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  std::string out;
  for (std::size_t i = b; i < e; ++i) out += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
  return out;
}

// The row for a typed datum name. The key spellings ("LL27" ...) count only
// when withKeys is set: the display-name lookup accepts them, the key lookup
// gets them through DatumEpsg.
const DatumRow* Find(std::string_view name, bool withKeys) {
  const std::string u = TrimUpper(name);
  for (const auto& row : kDatums)
    for (std::size_t i = 0; i < row.names.size(); ++i)
      if ((withKeys || i < 4) && u == row.names[i]) return &row;
  return nullptr;
}

}  // namespace

std::string DatumDisplayName(std::string_view name) {
  const DatumRow* r = Find(name, true);
  return r ? r->display : "";
}

std::string DatumLibKey(std::string_view name) {
  const DatumRow* r = Find(name, false);
  return r ? r->key : "LL";
}

int DatumEpsg(std::string_view key) {
  const std::string u = TrimUpper(key);
  for (const auto& row : kDatums)
    if (u == row.key) return row.epsg;
  return 0;
}

}  // namespace zw
