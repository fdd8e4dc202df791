#include "tasks/TaskCodes.h"

#include <array>
#include <charconv>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"

namespace zw::tasks {
namespace {

struct CodeText {
  std::int16_t code;
  const char* text;
};

constexpr std::array<CodeText, 6> kModes{{{1, "COVERAGE"}, {2, "Area Elev"}, {3, "INTERMOD"}, {4, "AutoPath"},
                                          {5, "THRRECALC"}, {7, "INTERFERENCE"}}};

constexpr std::array<CodeText, 12> kTypes{{{1, "THRESHOLD (RADIAL)"},
                                           {2, "THRESHOLD (TILE)"},
                                           {3, "INTERMOD"},
                                           {4, "RECALC THRESHOLD CVG"},
                                           {5, "AGGREGATE FIELD (TILE)"},
                                           {6, "COMPOSITE FIELD (TILE)"},
                                           {7, "AutoPath"},
                                           {8, "Area Elev"},
                                           {9, "CONTOUR"},
                                           {11, "ANY TASK"},
                                           {12, "SINGLE COVERAGE STUDY"},
                                           {13, "INTERFERENCE"}}};

constexpr std::array<const char*, 10> kMethods{"Maximum",     "Minimum",
                                               "Average",     "Sum",
                                               "Best Server", "Simulcast (Vector Sum)",
                                               "Simulcast (Delay Spread)", "Threshold Count",
                                               "Range",       "D/U Ratio"};

}  // namespace

std::string ModeText(std::int16_t code) {
  for (const auto& m : kModes)
    if (m.code == code) return m.text;
  return {};
}

std::int16_t ModeFromText(std::string_view text) {
  for (const auto& m : kModes)
    if (text == m.text) return m.code;
  return 0;
}

std::int16_t ModeFromTextShort(std::string_view text) {
  const std::int16_t c = ModeFromText(text);
  return c >= 1 && c <= 4 ? c : std::int16_t{0};
}

std::string TypeText(std::int16_t code) {
  for (const auto& t : kTypes)
    if (t.code == code) return t.text;
  return {};
}

std::int16_t TypeFromText(std::string_view text) {
  if (text == "Contour") return 9;
  for (const auto& t : kTypes)
    if (text == t.text) return t.code;
  return 0;
}

bool KnownTypeText(std::string_view text) {
  const std::string t = Trim(text);
  return TypeFromText(t) != 0 || t == "SHADOW (RADIAL)" || t == "SHADOW (TILE)" || t == "CTR";
}

std::string AggregateMethodName(int index) {
  return index >= 0 && index < static_cast<int>(kMethods.size()) ? kMethods[static_cast<std::size_t>(index)] : "";
}

std::string TaskNumberText(std::int32_t id) { return FormatNumber(id, "0000000"); }

std::string TaskFileName(char kind, std::int32_t id, std::string_view ext) {
  if (id <= 0) return {};
  return std::string(1, kind) + TaskNumberText(id) + std::string(ext);
}

std::int32_t ParseTaskNumber(std::string_view text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 9) return kNoTask;
  std::int32_t v = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), v);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size() || v < 1) return kNoTask;
  return v;
}

}  // namespace zw::tasks
