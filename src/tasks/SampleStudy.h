#pragma once
// The bundled sample study: Longley-Rice coverage tasks of an FM station on
// Mount Waumbek (New Hampshire) over the sample terrain tile, written as a
// task database, task files and a paths file into a work directory: a radial
// study and a tile study (a latitude/longitude grid) of the same transmitter.
#include <cstdint>
#include <filesystem>
#include <optional>
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
  bool withTile = true;      // also write the tile study as the next task
  double tileHalfDeg = 0.25; // grid limits: the site +- this many degrees
  double tileNsStepKm = 0.56, tileEwStepKm = 0.4;  // 100 x 100 points at this latitude
  std::string facDesc = "WZWR-FM (sample) Mount Waumbek NH";
  std::string tileDesc, tileSummary;      // empty: those of the sample's tile study
  std::optional<double> gridLat, gridLon; // centre of the grid (default: the transmitter)
};

// Writes the radial study as a new task of workDir (its database created
// when missing) and, with withTile, the tile study as the task after it
// (its number in *tileTask). The site elevation is read from the terrain
// file. Returns the radial task's number, or -88 with *error set.
std::int32_t WriteSampleStudy(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                              const SampleStudy& s = {}, std::string* error = nullptr,
                              std::int32_t* tileTask = nullptr);

// Writes one tile study of s as a new task of workDir (the site elevation
// read from the terrain file): its number, or -88 with *error set.
std::int32_t WriteSampleTile(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                             const SampleStudy& s, std::string* error = nullptr);

}  // namespace zw::tasks
