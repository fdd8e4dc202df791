#pragma once
// Unit conversions (power, length, antenna gain), tolerant number parsing and
// the system units of the per-user defaults file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/FieldValue.h"

namespace zw {

// Tolerant parse: ordinary conversion, else the leading numeric part, else 0. Never throws.
// The ordinary conversion takes the whole trimmed text: optional sign, digits
// with '.' as decimal point (whatever the locale), an optional exponent, and
// thousands groups of three digits ("1,234,567"). When it fails, trailing
// characters that are not digits are dropped ("12.5 dB" reads 12.5), then the
// number the text starts with is taken ("12.5dB3" reads 12.5); else 0. Only
// finite numbers are read ("NaN", "inf" and "1e999" read 0). A boolean value
// reads -1 (True) or 0.
double ParseDouble(std::string_view text);
double ParseDouble(const FieldValue& v);
// Text arguments are text, not tagged values (these resolve the overloads).
inline double ParseDouble(const char* text) { return ParseDouble(std::string_view(text ? text : "")); }
inline double ParseDouble(const std::string& text) { return ParseDouble(std::string_view(text)); }
// As ParseDouble; false (value 0) when the text holds no number at all.
bool TryParseDouble(std::string_view text, double& value);
// A value outside the range of a single reads 0.
float ParseSingle(const FieldValue& v);
// "True"/"False" in any case; a number is true when not 0; anything else false.
bool ParseBool(std::string_view text);
// Ordinary conversion, halves rounded to even; "True" is -1; text that is not
// a number, or outside -32768..32767, gives 0.
std::int16_t ParseInt16(std::string_view text);

// Conversions return the value and set err (false on success; true and 0 on failure).
// Power units "mW", "W", "kW", "dBm", "dBW", "dBk" (any case, blanks ignored).
// A linear power of 0 or below fails, as does a text holding no number.
double ConvertPower(std::string_view from, std::string_view to, std::string_view value, bool& err);
double ConvertPower(std::string_view from, std::string_view to, double value, bool& err);
// Length units are case-sensitive: "m", "km", "cm", "mm", "ft", "in", "mi",
// "nm" (1853 m), the meter and decimeter spellings. Identical unit strings
// return the value unchanged, known or not.
double ConvertLength(std::string_view from, std::string_view to, double value, bool& err);
double ConvertLength(std::string_view from, std::string_view to, std::string_view value, bool& err);
double ConvertLength(std::string_view from, std::string_view to, const FieldValue& value, bool& err);
inline double ConvertLength(std::string_view from, std::string_view to, const char* value, bool& err) {
  return ConvertLength(from, to, std::string_view(value ? value : ""), err);
}
inline double ConvertLength(std::string_view from, std::string_view to, const std::string& value, bool& err) {
  return ConvertLength(from, to, std::string_view(value), err);
}
bool IsLengthUnit(std::string_view unit);
// Gain conversions return text formatted "0.0000" ("0.0000" on failure, the
// message "Convert: " + value "###0.0000" + the units in the overloads that
// take one). Units "dBd", "dBi", "REL" (any case). A REL value of 0 or below fails.
std::string ConvertGain(std::string_view from, std::string_view to, double value, bool& err);
std::string ConvertGain(std::string_view from, std::string_view to, double value, bool& err,
                        std::string& message);
// A pattern value against the antenna's maximum gain (in maxGainUnits; units
// that are not gain units are taken as dBd). "REL" here is relative field.
std::string ConvertPatternGain(std::string_view from, std::string_view to, double value,
                               double maxGain, std::string_view maxGainUnits, bool& err);
std::string ConvertPatternGain(std::string_view from, std::string_view to, double value,
                               double maxGain, std::string_view maxGainUnits, bool& err,
                               std::string& message);

// [System Units] "Distance Units" (default "mi") and "Elevation Units"
// (default "m") of the per-user defaults file: one of "nm", "km", "m", "mi",
// "ft" (read without regard to case, returned lower-case). A value that is not
// one of these gives the default and is read again next time. Cached for the
// process (thread-safe).
std::string SystemDistanceUnits();
std::string SystemElevationUnits();
// Forgets the cached system units (the user login or the defaults file changed).
void ResetSystemUnits();
// One key of [System Units] of a defaults file, checked as above (no cache).
std::string ReadSystemUnit(std::string_view key, std::string_view def, const std::filesystem::path& file);

}  // namespace zw
