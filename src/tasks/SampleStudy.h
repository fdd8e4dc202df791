#pragma once
// The bundled sample study: a Longley-Rice radial coverage task of an FM
// station on Mount Waumbek (New Hampshire) over the sample terrain tile,
// written as a task database, task file and paths file into a work directory.
#include <cstdint>
#include <filesystem>
#include <string>

namespace zw::tasks {

struct SampleStudy {
  double txLat = 44.4365, txLon = -71.4131;  // Mount Waumbek
  double freqMHz = 98.5;
  double erpKW = 50;
  double txAglM = 100;
  double rxAglM = 9.1;
  double requiredDbu = 60;
  int radials = 36;
  double radiusKm = 30;
  double stepKm = 1.5;
  double topoStepKm = 0.09;  // about one sample of the 3-second tile
};

// Writes the study as a new task of workDir (its database created when
// missing). The site elevation is read from the terrain file. Returns the
// task number, or -88 with *error set.
std::int32_t WriteSampleStudy(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                              const SampleStudy& s = {}, std::string* error = nullptr);

}  // namespace zw::tasks
