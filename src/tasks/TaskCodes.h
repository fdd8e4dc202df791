#pragma once
// Task modes, task types and aggregate methods as codes and texts, task
// number text and the names of a task's files.
#include <cstdint>
#include <string>
#include <string_view>

namespace zw::tasks {

inline constexpr std::int32_t kNoTask = -88;

// Mode codes: 1 "COVERAGE", 2 "Area Elev", 3 "INTERMOD", 4 "AutoPath",
// 5 "THRRECALC", 7 "INTERFERENCE"; any other code has the empty text.
std::string ModeText(std::int16_t code);
// The general conversion: all six texts (as written); anything else 0.
std::int16_t ModeFromText(std::string_view text);
// The setter's conversion: only the first four texts; anything else 0.
std::int16_t ModeFromTextShort(std::string_view text);

// Type codes 1..13 (see TypeText); "Contour" reads as 9 too; anything else 0.
std::string TypeText(std::int16_t code);
std::int16_t TypeFromText(std::string_view text);
// A type text the study programs accept: one with a code, the shadow studies
// ("SHADOW (RADIAL)", "SHADOW (TILE)") and the contour code "CTR".
bool KnownTypeText(std::string_view text);

// Aggregate method by "cboMathOpsIndex"; empty outside 0 to 9.
std::string AggregateMethodName(int index);

// Task number in "0000000" format.
std::string TaskNumberText(std::int32_t id);
// kind + number + ext ("T", 42, ".INI" -> "T0000042.INI"); empty when the number is not above 0.
std::string TaskFileName(char kind, std::int32_t id, std::string_view ext);
// Parses a task number given as text (digits, leading zeros allowed); kNoTask when it is not one.
std::int32_t ParseTaskNumber(std::string_view text);

}  // namespace zw::tasks
