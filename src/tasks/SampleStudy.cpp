#include "tasks/SampleStudy.h"

#include <cmath>

#include "common/FieldSets.h"
#include "platform/NumberFormat.h"
#include "geo/Geodesic.h"
#include "platform/terrain/TerrainSource.h"
#include "tasks/PathsFile.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

constexpr const char* kDesc = "Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice radials";
constexpr const char* kSummary = "LR RAD 36 radials to 30 km, 60 dBu";
constexpr const char* kTileDesc = "Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice tiles";
constexpr const char* kTileSummary = "LR TIL 100 x 100 grid, site +-0.25 deg, 60 dBu";

platform::ProfileEntries Override(platform::ProfileEntries all, const platform::ProfileEntries& values) {
  for (const auto& [k, v] : values) {
    bool found = false;
    for (auto& e : all)
      if (e.first == k) {
        e.second = v;
        found = true;
      }
    if (!found) all.emplace_back(k, v);
  }
  return all;
}

std::string G(double v) { return FormatGeneral(v); }

std::string WriteSampleFiles(clsQXTask& task, const SampleStudy& s, double siteM, bool tile);

// One task of the sample: the radial study, or the tile study of the same
// transmitter (same facility, mobile, model and receiver).
std::int32_t WriteSampleTask(const std::filesystem::path& workDir, const SampleStudy& s, double siteM, bool tile,
                             std::string* error) {
  auto bad = [&](std::string why) {
    if (error) *error = std::move(why);
    return kNoTask;
  };
  clsQXTask creator(workDir);
  creator.SetSilent(true);
  std::string why;
  // The task's files first, its record last (TaskCreate removes the files on a failure).
  const std::int32_t id = creator.TaskCreate(
      [&](clsQXTask& task) { return WriteSampleFiles(task, s, siteM, tile); }, &why);
  if (id < 1) return bad(why);
  return id;
}

// The facility record of the sample study's transmitter at siteM (m) above sea level.
platform::ProfileEntries SampleFacility(const SampleStudy& s, double siteM) {
  platform::ProfileEntries facility;
  for (int i = 0; i < kFacilityFieldCount; ++i) facility.emplace_back(std::string(FacilityFieldName(i)), "");
  facility = Override(facility, {{"FAC_DESC", s.facDesc},
                                 {"FAC_CSDISP", "LL84"},
                                 {"FAC_DATUM", "WGS 84"},
                                 {"DECLAT", FormatNumber(s.txLat, "##0.00000")},
                                 {"DECLON", FormatNumber(s.txLon, "##0.00000")},
                                 {"FAC_LAT", FormatNumber(s.txLat, "##0.00000")},
                                 {"FAC_LON", FormatNumber(s.txLon, "##0.00000")},
                                 {"FAC_ELV", G(siteM)},
                                 {"FAC_ELVUN", "m"},
                                 {"TX_FREQMHZ", G(s.freqMHz)},
                                 {"TX_A1AGL", G(s.txAglM)},
                                 {"TX_A1AGLUN", "m"},
                                 {"TX_A1ELMOD", "AGL"},
                                 {"TX_A1ERP", G(s.erpKW)},
                                 {"TX_A1ERPUN", "kW"},
                                 {"TX_A1GAIN", "0"},
                                 {"TX_A1GNUN", "dBd"},
                                 {"TX_A1INVRT", "False"}});
  return facility;
}

// The mobile record: the receiver's height and required field.
platform::ProfileEntries SampleMobile(const SampleStudy& s) {
  platform::ProfileEntries mobile;
  for (int i = 0; i < kMobileFieldCount; ++i) mobile.emplace_back(std::string(MobileFieldName(i)), "");
  mobile = Override(mobile, {{"TX_A1AGL", G(s.rxAglM)},
                             {"TX_A1AGLUN", "m"},
                             {"MOB_RXREF", "AGL"},
                             {"MO_RXmAGL", G(s.rxAglM)},
                             {"RX_A1FLD", G(s.requiredDbu)},
                             {"RX_A1FLDUN", "dBu"}});
  return mobile;
}

// The [Quick Coverage] steps (radials, or a grid when tile).
QuickCoverage SampleQuickCoverage(const SampleStudy& s, bool tile) {
  QuickCoverage qc;
  qc.radOrTile = tile ? "T" : "R";
  qc.stepCov = {s.stepKm, "km"};
  qc.stepTopo = {s.topoStepKm, "km"};
  qc.stepTile = {s.topoStepKm, "km"};
  qc.advanced = true;
  if (!tile) {
    qc.numRad = std::to_string(s.radials);
    qc.distance = G(s.radiusKm) + " km";
    qc.step = G(s.stepKm) + " km";
  }
  qc.topoStep = G(s.topoStepKm) + " km";
  return qc;
}

// The grid: its limits and steps in [Elevation Data], as entered in [Quick Coverage].
ElevationData SampleGrid(const SampleStudy& s) {
  ElevationData grid;
  const double gLat = s.gridLat.value_or(s.txLat), gLon = s.gridLon.value_or(s.txLon);
  grid.slat = gLat - s.tileHalfDeg;
  grid.nlat = gLat + s.tileHalfDeg;
  grid.wlon = gLon - s.tileHalfDeg;
  grid.elon = gLon + s.tileHalfDeg;
  grid.nsStep = s.tileNsStepKm;
  grid.nsStepUnit = "km";
  grid.ewStep = s.tileEwStepKm;
  grid.ewStepUnit = "km";
  return grid;
}

// The radials' paths file: s.radials radials of s.radiusKm (km) from the site.
std::string WriteSampleRadials(clsQXTask& task, const SampleStudy& s) {
  std::vector<RadialLine> radials;
  for (int r = 0; r < s.radials; ++r) {
    RadialLine line;
    line.azimuth = 360.0 * r / s.radials;
    line.length = s.radiusKm;
    line.unit = "km";
    Geodesic::ForwardKm(s.txLat, s.txLon, line.azimuth, s.radiusKm, line.endLat, line.endLon);
    radials.push_back(line);
  }
  return WritePathsFile(task.TaskPathsFile(), s.txLat, s.txLon, radials);
}

std::string WriteSampleFiles(clsQXTask& task, const SampleStudy& s, double siteM, bool tile) {
  task.sDesc = tile ? (s.tileDesc.empty() ? kTileDesc : s.tileDesc) : kDesc;
  task.sSum = tile ? (s.tileSummary.empty() ? kTileSummary : s.tileSummary) : kSummary;
  task.SetTaskMode(1);
  task.SetTaskType(tile ? 2 : 1);

  const platform::ProfileEntries facility = SampleFacility(s, siteM);
  const platform::ProfileEntries mobile = SampleMobile(s);
  const platform::ProfileEntries model = {{"MODEL", "Longley-Rice"}, {"POLARIZ", "H"},      {"SUR_REFRAC", "301"},
                                          {"SEA_REFRAC", "0"},       {"REL_PERMIT", "15"},   {"CONDUCTIVI", "0.005"},
                                          {"CLIM_CODE", "5"},        {"LR_MDVAR", "12"},     {"LR_VARSIT", "50"},
                                          {"LR_VARLOC", "50"},       {"LR_VARTIM", "50"},
                                          {"LR_DESC", "Continental temperate, broadcast settings"}};
  const QuickCoverage qc = SampleQuickCoverage(s, tile);
  const ElevationData grid = SampleGrid(s);
  RxFacility rx;
  rx.antennaHeight = G(s.rxAglM) + " m AGL";
  rx.levels.push_back({G(s.requiredDbu) + "|dBu|50", "", "", ""});

  ProfileEdit edit;
  edit.Set("TASK", "TXT File Out", "None");
  edit.ReplaceSection("Facility Data", facility);
  edit.ReplaceSection("Mobile Data", mobile);
  edit.ReplaceSection("Propagation Model", model);
  edit.Coverage(qc);
  if (tile) {
    edit.Set("Quick Coverage", "ADV S LAT", G(grid.slat));
    edit.Set("Quick Coverage", "ADV N LAT", G(grid.nlat));
    edit.Set("Quick Coverage", "ADV W LON", G(grid.wlon));
    edit.Set("Quick Coverage", "ADV E LON", G(grid.elon));
    edit.Set("Quick Coverage", "ADV NS Step", G(grid.nsStep) + " km");
    edit.Set("Quick Coverage", "ADV EW Step", G(grid.ewStep) + " km");
  }
  for (const char* set : {"Pelorin 30-Second DTA files", "Pelorin 30-Second World DTA files",
                          "Pelorin 3-Second DTA files", "Pelorin 30-Meter DTA files", "US DMA DTED Data files",
                          "USGS NED Data"})
    edit.Set("Quick Coverage", set, "0");
  edit.Set("Quick Coverage", "USGS SRTM Data", "1");
  edit.Rx(rx);
  edit.LandUseSettings({false, ""});
  edit.Obstructions({false, {}});
  edit.KValue(1.333);
  if (tile) edit.Elevation(grid);
  if (auto err = task.EditTaskFile(edit); !err.empty()) return err;
  if (auto err = task.TaskWriteINI(); !err.empty()) return err;
  if (tile) return {};  // a grid has no radials
  return WriteSampleRadials(task, s);
}

}  // namespace

namespace {

// The site elevation (m, to 0.1 m) from the terrain file; NaN with *error set.
double SiteElevation(const std::filesystem::path& terrainFile, const SampleStudy& s, std::string* error) {
  platform::TerrainSource terrain;
  if (auto err = terrain.Add(terrainFile); !err.empty()) {
    if (error) *error = "Sample terrain not usable: " + err;
    return std::nan("");
  }
  const float siteElv = terrain.Elevation(s.txLat, s.txLon);
  if (siteElv <= platform::kNoElevationLimit) {
    if (error) *error = "The sample terrain has no elevation at the transmitter";
    return std::nan("");
  }
  return std::round(static_cast<double>(siteElv) * 10.0) / 10.0;
}

}  // namespace

std::int32_t WriteSampleTile(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                             const SampleStudy& s, std::string* error) {
  const double siteM = SiteElevation(terrainFile, s, error);
  if (std::isnan(siteM)) return kNoTask;
  return WriteSampleTask(workDir, s, siteM, true, error);
}

std::int32_t WriteSampleStudy(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                              const SampleStudy& s, std::string* error, std::int32_t* tileTask) {
  if (tileTask) *tileTask = kNoTask;
  const double siteM = SiteElevation(terrainFile, s, error);
  if (std::isnan(siteM)) return kNoTask;
  const std::int32_t radial = WriteSampleTask(workDir, s, siteM, false, error);
  if (radial < 1 || !s.withTile) return radial;
  const std::int32_t tile = WriteSampleTask(workDir, s, siteM, true, error);
  if (tile < 1) {
    clsQXTask undo(workDir);  // the sample is added whole or not at all
    undo.SetSilent(true);
    undo.TaskDeleteID(radial);
    return kNoTask;
  }
  if (tileTask) *tileTask = tile;
  return radial;
}

}  // namespace zw::tasks
