// Profile (INI) files: every read function on the input file, then a write
// of one key on a copy, which must read back and leave every other entry as
// it was. Input: section line, key line, value line, then the file.
#include <algorithm>
#include <cctype>

#include "FuzzUtil.h"
#include "platform/Profile.h"

using namespace zw::platform;
using zw::fuzz::Check;

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Reads every section and checks what the reader promises of values.
std::vector<std::pair<std::string, ProfileEntries>> ReadAll(const std::filesystem::path& file) {
  std::vector<std::pair<std::string, ProfileEntries>> all;
  for (const auto& name : ProfileGetSectionNames(file)) {
    auto entries = ProfileGetSection(name, file);
    for (const auto& entry : entries) {
      const std::string& key = entry.first;
      const std::string& value = entry.second;
      Check(value.size() <= kProfileValueMax, "value longer than the maximum");
      Check(Trim(key) == key, "key not trimmed", key);
      // The first entry of a key is the one read.
      const auto first = std::find_if(entries.begin(), entries.end(),
                                      [&](const auto& e) { return SameNoCase(e.first, key); });
      // GetString answers the default for an empty section or key name.
      if (!Trim(key).empty() && !Trim(name).empty()) {
        Check(ProfileGetString(name, key, "#default#", file) == first->second, "GetString differs from GetSection",
              name + "/" + key);
      }
    }
    all.emplace_back(name, std::move(entries));
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const std::string section(zw::fuzz::NextLine(rest));
  const std::string key(zw::fuzz::NextLine(rest));
  const std::string value(zw::fuzz::NextLine(rest));
  zw::fuzz::InputFile in(".ini", rest);

  const auto before = ReadAll(in.path());
  (void)ProfileGetString(section, key, value, in.path());

  // A key and section the file syntax can hold, a value that reads back as written.
  const std::string_view sec = Trim(section), k = Trim(key), v = Trim(value);
  const auto bad = [](std::string_view s, std::string_view chars) { return s.find_first_of(chars) != s.npos; };
  if (sec.empty() || k.empty() || bad(sec, std::string_view("]\r\n", 3)) || bad(k, std::string_view("=\r\n", 3)) ||
      k.front() == ';' || k.front() == '#' || k.front() == '[' || bad(v, std::string_view("\r\n", 2)) ||
      (!v.empty() && (v.front() == '"' || v.front() == '\''))) {
    return 0;
  }
  Check(ProfileWriteString(section, key, value, in.path()), "write failed");
  const std::string expected(v.substr(0, kProfileValueMax));
  Check(ProfileGetString(section, key, "#default#", in.path()) == expected, "written value does not read back",
        std::string(sec) + "/" + std::string(k));

  // Every other entry is as it was.
  const auto after = ReadAll(in.path());
  for (const auto& section_entries : before) {
    const std::string& name = section_entries.first;
    const ProfileEntries& entries = section_entries.second;
    const auto it = std::find_if(after.begin(), after.end(), [&](const auto& s) { return s.first == name; });
    Check(it != after.end(), "section lost by a write", name);
    if (!SameNoCase(name, sec)) {
      Check(it->second == entries, "other section changed by a write", name);
      continue;
    }
    ProfileEntries kept, now;
    for (const auto& e : entries) if (!SameNoCase(e.first, k)) kept.push_back(e);
    for (const auto& e : it->second) if (!SameNoCase(e.first, k)) now.push_back(e);
    Check(kept == now, "other keys of the section changed by a write", name);
  }
  return 0;
}
