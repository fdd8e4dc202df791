#pragma once
// Bullington loss modes: conversion between the mode's name (as stored in the
// model template) and its code.
#include <cstdint>
#include <string>
#include <string_view>

namespace zw {

inline constexpr std::int16_t kBUModeMinDistance = 0;    // "MIN DISTANCE"
inline constexpr std::int16_t kBUModeInflection = 1;     // "INFLECTION"
inline constexpr std::int16_t kBUModeObstaclePeaks = 2;  // "OBSTACLE PEAKS"
inline constexpr std::int16_t kBUModeFigure12 = 3;       // "FIGURE 12"
inline constexpr std::int16_t kBUModeInvalid = 88;       // any other name

// Code of a mode name; the whole name must match exactly (case-sensitive, no
// trimming), anything else gives kBUModeInvalid.
std::int16_t iBUModeCode(std::string_view sName);

// Name of a mode code; "UNKNOWN" for any other code.
std::string sBUModeName(std::int16_t iCode);

}  // namespace zw
