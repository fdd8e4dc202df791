#include "common/PatternFileCheck.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <system_error>

#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/Profile.h"

namespace zw {

const char* const kPatternFileFormat =
    "expected a settings file with an [Antenna Data] section: HorizRecs=N with HRec00001 ... HRecN = "
    "azimuth degrees|gain dB relative to the maximum|, and/or VertRecs=N with VRec00001 ... = elevation "
    "degrees|relative gain dB| (see \"Antenna pattern files\" in README.md)";

namespace {

// Problems of one record list ("" when every record is angle|gain).
std::string CheckRecords(const std::map<std::string, std::string>& data, const char* prefix, int n) {
  for (int i = 1; i <= n; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "%s%05d", prefix, i);
    const std::string shown = std::string(1, prefix[0]) + "Rec" + (key + 4);
    const auto it = data.find(key);
    if (it == data.end()) return shown + " is missing";
    const std::string& rec = it->second;
    const auto bar = rec.find('|');
    double angle = 0, gain = 0;
    const std::string g = bar == std::string::npos ? std::string() : rec.substr(bar + 1, rec.find('|', bar + 1) - bar - 1);
    if (bar == std::string::npos || !TryParseDouble(Trim(rec.substr(0, bar)), angle) || !TryParseDouble(Trim(g), gain) ||
        !std::isfinite(angle) || !std::isfinite(gain))
      return std::string(shown) + "=" + rec + " is not angle|gain";
  }
  return {};
}

}  // namespace

std::string CheckPatternFile(const std::filesystem::path& file) {
  const std::string name = file.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return "The antenna pattern file " + name + " was not found";
  std::ifstream probe(file, std::ios::binary);
  if (!probe) return "The antenna pattern file " + name + " cannot be read";
  std::map<std::string, std::string> data;
  for (auto& [k, v] : platform::ProfileGetSection("Antenna Data", file)) data.emplace(ToUpper(Trim(k)), Trim(v));
  auto count = [&](const char* key, int& n) {
    const auto it = data.find(ToUpper(key));
    double v = 0;
    if (it == data.end() || it->second.empty()) return std::string();
    if (!TryParseDouble(it->second, v) || v < 0 || v != std::trunc(v) || v > 100000)
      return std::string(key) + "=" + it->second + " is not a record count";
    n = static_cast<int>(v);
    return std::string();
  };
  int h = 0, v = 0;
  std::string why = count("HorizRecs", h);
  if (why.empty()) why = count("VertRecs", v);
  if (why.empty() && h + v == 0) why = "it holds no pattern records";
  if (why.empty()) why = CheckRecords(data, "HREC", h);
  if (why.empty()) why = CheckRecords(data, "VREC", v);
  if (why.empty()) return {};
  return "The antenna pattern file " + name + " cannot be read as a pattern: " + why + "; " + kPatternFileFormat;
}

}  // namespace zw
