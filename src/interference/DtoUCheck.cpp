#include "interference/DtoUCheck.h"

#include <cmath>
#include <system_error>
#include <vector>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "interference/clsQXDtoU.h"
#include "interference/modDtoUText.h"
#include "platform/Profile.h"

namespace zw {
namespace {

constexpr const char* kAbsent = "\x01";

struct Section {
  std::filesystem::path file;
  std::string name;
  std::vector<std::string> problems;
  // The value of a key, or nothing (and the key named as missing).
  bool Get(const std::string& key, std::string& value) {
    value = platform::ProfileGetString(name, key, kAbsent, file);
    if (value != kAbsent) return true;
    problems.push_back(key + " is missing");
    return false;
  }
  void Bad(const std::string& what) { problems.push_back(what); }
};

int Count(Section& s, const char* key, int max) {
  std::string v;
  if (!s.Get(key, v)) return 0;
  const double d = IsNumericText(v) ? ParseDouble(v) : 0.0;
  if (!IsNumericText(v) || d != std::floor(d) || d < 1 || d > max) {
    s.Bad(std::string(key) + "=" + v + " is not a whole number from 1 to " + std::to_string(max) +
          (d == 0 && IsNumericText(v) ? " (an empty table holds no D/U ratio)" : ""));
    return 0;
  }
  return static_cast<int>(d);
}

// A list of one number per column.
std::vector<std::string> Columns(Section& s, const char* key, int n, const char* what) {
  std::string v;
  if (!s.Get(key, v) || n == 0) return {};
  const auto f = SplitBar(v);
  if (static_cast<int>(f.size()) != n)
    s.Bad(std::string(key) + " holds " + std::to_string(f.size()) + " value(s), not one per column (" +
          std::to_string(n) + ")");
  for (std::size_t i = 0; i < f.size(); ++i)
    if (!IsNumericText(f[i])) s.Bad(std::string(key) + " value " + std::to_string(i + 1) + " is not " + what + ": \"" + f[i] + "\"");
  return f;
}

void Rows(Section& s, int rows, int cols) {
  for (int r = 0; r < rows; ++r) {
    const std::string d = "Dsignal" + FormatNumber(r, "00"), c = "RXrej" + FormatNumber(r, "00");
    std::string v;
    if (s.Get(d, v)) {
      const auto f = SplitBar(v);
      if (f.size() != 2 || !IsNumericText(f[1]))
        s.Bad(std::string(d) + "=" + v + " is not DESCRIPTION|LEVEL (the desired level in dBm, e.g. Weak|-110)");
    }
    if (!s.Get(c, v) || cols == 0) continue;
    const auto f = SplitBar(v);
    if (static_cast<int>(f.size()) != cols)
      s.Bad(std::string(c) + " holds " + std::to_string(f.size()) + " value(s), not one per column (" +
            std::to_string(cols) + ")");
    for (std::size_t i = 0; i < f.size(); ++i)
      if (!f[i].empty() && !IsNumericText(f[i]))
        s.Bad(std::string(c) + " value " + std::to_string(i + 1) + " is not a D/U ratio in dB (or blank): \"" + f[i] + "\"");
  }
}

}  // namespace

std::string CheckDtoUTable(const std::filesystem::path& file, std::string_view section) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return "The D/U table file was not found: " + file.string();
  Section s{file, Trim(section), {}};
  if (s.name.empty()) return "No D/U table name was given";
  if (platform::ProfileGetSection(s.name, file).empty())
    return "The D/U table [" + s.name + "] is not in " + file.string() + " (or holds no key)";
  const int rows = Count(s, "numDsignals", kDtoUMaxRows);
  const int cols = Count(s, "numRXrej", kDtoUMaxOffsets);
  std::string v;
  if (s.Get("ChnlWidth", v) && !(IsNumericText(v) && ParseDouble(v) > 0))
    s.Bad("ChnlWidth=" + v + " is not a channel width above 0");
  v = platform::ProfileGetString(s.name, "ChnlWidthUn", kAbsent, file);
  if (v != kAbsent && !EqualsNoCase(v, "KHz") && !EqualsNoCase(v, "MHz"))
    s.Bad("ChnlWidthUn=" + v + " is not KHz or MHz");
  const auto offsets = Columns(s, "Offset", cols, "a frequency offset");
  const auto chnl = Columns(s, "Chnl", cols, "a channel offset (..., -1, 0, 1, ...)");
  for (std::size_t i = 0; i < offsets.size() && i < chnl.size(); ++i)
    for (std::size_t j = i + 1; j < offsets.size() && j < chnl.size(); ++j)
      if (IsNumericText(offsets[i]) && ParseDouble(offsets[i]) == ParseDouble(offsets[j]) &&
          (ParseDouble(chnl[i]) < 0) == (ParseDouble(chnl[j]) < 0))
        s.Bad("columns " + std::to_string(i + 1) + " and " + std::to_string(j + 1) + " cover the same band (Offset " +
              offsets[i] + ")");
  Rows(s, rows, cols);
  std::string out;
  for (const auto& p : s.problems) {
    if (!out.empty()) out += '\n';
    out.append("  ").append(p);
  }
  return out;
}

std::string DtoUStarterText(std::string_view section) {
  return "; Receiver D/U protection-ratio tables (see docs/dtou.md). One section per table.\n"
         "; numDsignals: rows (desired-signal levels); numRXrej: columns (undesired-signal offsets).\n"
         "; ChnlWidth, ChnlWidthUn: channel width and the unit of widths and offsets (KHz or MHz).\n"
         "; Offset, Chnl: per column, the undesired signal's frequency offset and channel offset, joined by |.\n"
         "; DsignalNN: description|desired level in dBm; RXrejNN: the D/U ratio in dB of each column (blank: none).\n"
         "[" + std::string(section) + "]\n"
         "numDsignals=3\n"
         "numRXrej=4\n"
         "ChnlWidthUn=KHz\n"
         "ChnlWidth=25\n"
         "Offset=-12.5|12.5|-12.5|37.5\n"
         "Chnl=0|1|-1|2\n"
         "Dsignal00=Weak|-110\n"
         "Dsignal01=Medium|-90\n"
         "Dsignal02=Strong|-70\n"
         "RXrej00=10|-50|-50|-60\n"
         "RXrej01=10|-45|-45|-55\n"
         "RXrej02=10|-40|-40|-50\n";
}

}  // namespace zw
