#pragma once
// The radial paths file of an area study ("E" + number + ".INI"): one line per
// radial whose first four characters are "PATH" (any case), its value "|"
// fields: 4 azimuth (degrees), 7 length, 8 length unit, 9 and 10 target
// latitude and longitude. The file is read as plain text, whatever section
// the lines stand in. The writer fills fields 1 to 3, 5 and 6 with the radial
// number, the transmitter position and the end point.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tasks/TaskFile.h"

namespace zw::tasks {

struct Radial {
  std::string key;                    // "PATH7"
  double azimuth = kMissingNumber;    // field 4
  double length = kMissingNumber;     // field 7
  std::string unit;                   // field 8
  double targetLat = kMissingNumber;  // field 9
  double targetLon = kMissingNumber;  // field 10
  std::vector<std::string> fields;    // every field as written
  // A radial the study uses: azimuth at -360 or above and a length above 0.
  bool Usable() const { return azimuth >= -360 && length > 0; }
};

// Radials of a paths file in file order; nothing when the file cannot be read.
std::optional<std::vector<Radial>> ReadPathsFile(const std::filesystem::path& file, std::string* error = nullptr);
// Radials in the text of a paths file.
std::vector<Radial> ParsePaths(std::string_view text);

struct RadialLine {
  double azimuth = 0;
  double length = 0;
  std::string unit = "km";
  double endLat = kMissingNumber, endLon = kMissingNumber;        // fields 5, 6 (optional)
  double targetLat = kMissingNumber, targetLon = kMissingNumber;  // fields 9, 10 (optional)
};

// Text of a paths file: section [Paths], keys PATH0, PATH1, ... and "Num Paths".
std::string PathsFileText(double txLat, double txLon, const std::vector<RadialLine>& radials);
// Writes the file in one replacement (temporary file, then rename); "" or the failure.
std::string WritePathsFile(const std::filesystem::path& file, double txLat, double txLon,
                           const std::vector<RadialLine>& radials);

}  // namespace zw::tasks
