#pragma once
// Unit conversions (power, length, antenna gain), tolerant number parsing and
// the system units of the per-user defaults file.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/FieldValue.h"

namespace zw {

// Tolerant parse: ordinary conversion, else the leading numeric part, else 0. Never throws.
double ParseDouble(std::string_view text);
double ParseDouble(const FieldValue& v);
float ParseSingle(const FieldValue& v);
bool ParseBool(std::string_view text);
std::int16_t ParseInt16(std::string_view text);

// Conversions return the value and set err (false on success; true and 0 on failure).
double ConvertPower(std::string_view from, std::string_view to, std::string_view value, bool& err);
double ConvertPower(std::string_view from, std::string_view to, double value, bool& err);
double ConvertLength(std::string_view from, std::string_view to, double value, bool& err);
double ConvertLength(std::string_view from, std::string_view to, std::string_view value, bool& err);
double ConvertLength(std::string_view from, std::string_view to, const FieldValue& value, bool& err);
// Gain conversions return text formatted "0.0000".
std::string ConvertGain(std::string_view from, std::string_view to, double value, bool& err);
std::string ConvertPatternGain(std::string_view from, std::string_view to, double value,
                               double maxGain, std::string_view maxGainUnits, bool& err);

std::string SystemDistanceUnits();
std::string SystemElevationUnits();

}  // namespace zw
