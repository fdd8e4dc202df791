#pragma once
// Transmit antenna: plain gain or a pattern (maximum gain, horizontal and
// vertical patterns) with its mounting, loaded from the antenna library
// (dBase tables) or from the antenna records of a settings file, and the
// gain lookups toward a receiver.
//
// Pattern arrays are laid out from index 1: the points are at 1..count and
// index 0 is unused (it holds 0). The upper bound of an array is therefore
// its count, and an antenna without a pattern has the one-element arrays {0}
// with counts 0. Pattern gains are absolute gains in the units asked for at
// loading (the maximum gain plus the pattern's relative value), so a
// calculator takes "reference gain - pattern gain" as the pattern loss.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zw {

// Procedure numbers of the loaders on the procedure trace.
inline constexpr std::int16_t kProcAntennaLibrary = 2301;
inline constexpr std::int16_t kProcAntennaProfile = 2302;

// The largest number of records a pattern may hold; a count above it is
// refused instead of allocating for it.
inline constexpr int kMaxPatternPoints = 100000;

struct clsAntenna {
  std::string sDesc;
  double dGain = 0;  // maximum gain, in sGainUn
  std::string sGainUn = "dBd";
  double dOrien = 0, dETilt = 0, dMTilt = 0, dMDir = 0;  // degrees
  bool bInverted = false;                                 // mounted upside down (flag as read)
  int iHorCount = 0;
  std::vector<double> daHaz{0.0}, daHgain{0.0};
  int iVertCount = 0;
  std::vector<double> daVel{0.0}, daVgain{0.0};
  double dFLow = 0, dFHigh = 0;  // frequency range of a library antenna
  std::string sFreqUn = "MHz";
  // Set by Invert(): the vertical angles are already negated.
  bool bVertInverted = false;

  bool HasPattern() const { return iHorCount > 0 || iVertCount > 0; }
  // No pattern: arrays {0}, counts 0.
  void ClearPattern();
  // Replaces a pattern by (angle, gain) points, laid out from index 1.
  void SetHorizontal(const std::vector<std::pair<double, double>>& points);
  void SetVertical(const std::vector<std::pair<double, double>>& points);
  // Negates every vertical elevation angle (antenna mounted upside down) and
  // reverses the points so the angles stay ascending. Applied once only: a
  // second call does nothing until a new vertical pattern is set.
  void Invert();

  // The lookups below on this antenna's arrays and mounting.
  double HorGain(double azimuth, double def) const;
  double VertGain(std::string_view mode, double azimuth, double elevAngle, double def, bool& err) const;
};

// Loads an antenna of the library in dir: library + ".DBF" (gain, units,
// description, frequency range), library + "AHD.DBF" (horizontal pattern,
// ordered by HOR_AZ) and library + "AVD.DBF" (vertical pattern, ordered by
// VERT_ANGLE), rows of ATYPE_ID = id (compared without regard to case or
// trailing blanks). The pattern fields hold relative field; they are
// converted to units ("dBi", "dBd" or "REL") against the maximum gain.
// A blank library or id loads no pattern and keeps the plain gain (returns "").
// Returns "" on success, else the message (shown through the message box
// unless silent); the antenna then has no pattern and keeps its other values.
// The mounting (orientation, tilts, inverted flag) is not touched.
std::string LoadAntennaFromLibrary(const std::filesystem::path& dir, std::string_view library,
                                   std::string_view id, std::string_view units, bool silent,
                                   clsAntenna& ant);

// Loads the antenna records of a settings file: description, gain, units and
// mounting from section (the task file's "Facility Data", or ZWCONANT.INI),
// gain overrides and the pattern records from section "Antenna Data". Record
// gains are dB relative to the maximum, converted to units. The inverted flag
// is read only; Invert() applies it. Returns "" or the failure text (not
// shown); on a failure the antenna has no pattern.
std::string LoadAntennaFromProfile(const std::filesystem::path& file, std::string_view section,
                                   std::string_view units, clsAntenna& ant);
inline std::string LoadAntennaFromProfile(const std::filesystem::path& file, std::string_view section,
                                          clsAntenna& ant) {
  return LoadAntennaFromProfile(file, section, "dBd", ant);
}

// Gain of the horizontal pattern (points 1..count, azimuths ascending in
// [0, 360)) toward azimuth (degrees), the pattern turned by orientation,
// interpolated linearly, across north between the last and the first point;
// def when count is below 1.
double HorizontalGain(double azimuth, int count, const std::vector<double>& az,
                      const std::vector<double>& gain, double orientation, double def);

// Gain of the vertical pattern (points 1..count). The mode is judged by its
// first three letters, upper-cased: "MAJ" gives the largest gain, "HOR" looks
// at elevation 0, anything else at elevAngle; the electrical tilt and the
// mechanical tilt (projected on the azimuth through its direction) are
// subtracted from the angle, and the gain is interpolated linearly between
// the neighbouring angles (the end gain outside the pattern). def when count
// is below 1; def and err set when the arrays do not hold the points or the
// angle is not a number.
double VerticalGain(std::string_view mode, double azimuth, double elevAngle, int count,
                    const std::vector<double>& el, const std::vector<double>& gain, double mechTilt,
                    double mechTiltDir, double elecTilt, double def, bool& err);

}  // namespace zw
