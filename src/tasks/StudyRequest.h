#pragma once
// A coverage study as a user describes it: the transmitting facility, the
// receiver, the propagation model and its settings, the study geometry and
// the terrain, each value typed and with its unit. Settings are given by name
// as text ("freq" = "98.5", "erp" = "50 kW", "distance" = "30"), the same
// names for `task new` options and `task set` KEY=VALUE pairs; each is read
// whole or refused with what is accepted.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tasks/TaskFile.h"

namespace zw::tasks {

enum class StudyGeometry { kNone, kRadials, kTile, kTargets };

struct TargetPoint {
  double lat = 0, lon = 0;
};

struct StudyRequest {
  // Task.
  std::string desc;                      // task description ("" = made from the study)
  bool details = false;                  // per-path details in the text report
  // Facility.
  std::string name;                      // FAC_DESC
  std::optional<double> lat, lon;        // decimal degrees
  std::string datum = "WGS 84";          // display name of the datum
  std::optional<ValueUnit> siteElevation;  // none: read from the terrain at the site
  std::optional<ValueUnit> terrainElevation;  // read back from a task: the one read from the terrain
  std::optional<double> freqMHz;
  std::optional<ValueUnit> erp;          // W, kW, mW, dBm, dBW, dBk
  std::optional<ValueUnit> txAgl;        // above ground
  std::string antennaFile;               // settings file holding the pattern ("" = none, "none" = remove it)
  std::string antennaSection = "Antenna";
  std::optional<ValueUnit> gain;         // maximum gain, dBd or dBi (default 0 dBd)
  std::string antennaDesc;               // read back from a task: its antenna's description
  bool hasPattern = false;               // read back from a task: it holds pattern records
  // Mounting, degrees; none: the pattern file's, else 0.
  std::optional<double> orientation, eTilt, mTilt, mDir;
  std::optional<bool> inverted;
  // Receiver.
  std::optional<ValueUnit> rxAgl;
  std::optional<double> thresholdDbu;    // field the receiver needs
  // Model.
  std::string model;                     // code
  std::string templateFile;              // settings file with [Propagation Model]
  std::vector<std::pair<std::string, std::string>> modelSettings;  // KEY=VALUE, in order given
  std::optional<double> kValue;          // effective earth-radius factor
  // Geometry.
  StudyGeometry geometry = StudyGeometry::kNone;
  int radials = 0;
  std::optional<ValueUnit> distance;     // radial length
  std::optional<ValueUnit> step;         // between points along a radial, or the tile grid step
  std::optional<ValueUnit> tileExtent;   // tile: the site +- this distance
  std::optional<std::vector<double>> tileBounds;  // tile: south, west, north, east (degrees)
  std::string boundaryFile, boundaryId;  // tile: BNA polygon
  std::optional<double> contourDbu;      // a contour study at this level
  double contourPercent = 50;            // locations, percent (contour and curve models)
  std::string targetsFile;               // a file of LAT,LON lines
  std::vector<TargetPoint> targets;      // read from it (or from an existing task)
  // Terrain.
  std::string dem;                       // DEM file or directory ("" = the configured terrain)
  std::optional<ValueUnit> terrainStep;  // profile sampling step
};

// One setting a study takes: its name, the form of its value and what it is.
struct StudySettingInfo {
  std::string_view name, value, help;
};
// Every setting, in the order `task new --help` lists them.
const std::vector<StudySettingInfo>& StudySettings();

// Applies one setting (name as in StudySettings, or a model template key such
// as AREA_COR, which goes to modelSettings). "" when taken; else what is
// wrong and what is accepted, and the request is unchanged.
std::string ApplyStudySetting(StudyRequest& req, std::string_view name, std::string_view value);

// ---- Values as typed; each gives "" or why not.
// A length: "30" (in defaultUnit), "500m", "10 mi", "1.5km", "330ft"; above 0.
std::string ParseLengthText(std::string_view text, std::string_view defaultUnit, ValueUnit& out);
// A power: "50 kW", "50kW", "17dBk", "100 W" (mW, W, kW, dBm, dBW, dBk).
std::string ParsePowerText(std::string_view text, ValueUnit& out);

// Adds a problem to a list of them: one line each, indented by two blanks.
void AddProblem(std::string& list, std::string_view problem);

// Target points of a file: one "LAT,LON" per line, decimal degrees or DMS;
// blank lines and lines starting with '#' skipped, a first line without
// digits taken as a header. Every bad line is named.
std::string ReadTargetsFile(const std::string& file, std::vector<TargetPoint>& out);

}  // namespace zw::tasks
