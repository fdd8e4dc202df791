#pragma once
// One path computed directly with a model's calculator: the profile from a
// file or from terrain data, the transmitter and receiver heights, the ERP
// and antenna, the model template of a settings file. Used by the command
// line (single paths and batches) and the benchmarks.
#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/FieldCollection.h"
#include "coverage/clsQXAreaCov.h"

namespace zw {

namespace platform {
class TerrainSource;
class clsPathElv;
}

struct P2PRequest {
  std::string model;                        // code or display name; "" = the template's MODEL
  std::string templateFile;                 // settings file holding the template section
  std::string section = "Propagation Model";
  // The profile: a CSV file (distance_m,elevation_m) ...
  std::string profileCsv;
  // ... or given arrays (distance m, elevation m) ...
  std::vector<double> distM;
  std::vector<float> elevM;
  // ... or terrain data between two points.
  std::string dem;
  double fromLat = 0, fromLon = 0, toLat = 0, toLon = 0;
  bool haveFrom = false, haveTo = false;
  double stepM = 0;                         // 0: the terrain's own spacing
  double azimuth = 0;                       // path azimuth of a given profile (antenna patterns)
  // Effective earth-radius factor; 0: the template file's [Eff Curvature]
  // K-Value, else 4/3.
  double kFactor = 0;
  double freqMHz = 0;
  double txAglM = 0, rxAglM = 0;
  double erpValue = 60, rxErpDbm = 0;
  std::string erpUnit = "dBm";
  // Antenna: maximum gain and its unit, mounting, and a pattern from the
  // antenna records of a settings file or from the antenna library.
  double gain = 0;
  std::string gainUnit = "dBd";
  double orientation = 0, eTilt = 0, mTilt = 0, mDir = 0;
  bool inverted = false;
  std::string antennaFile, antennaSection = "Antenna";
  std::string antennaLibDir, antennaLib, antennaId;
  bool details = false;
  std::string detailPwr = "dBm", detailDis = "km", detailElv = "m";
};

struct P2PResult {
  bool ok = false;
  std::string error;                        // why no result
  std::string model;                        // model code
  std::string modelName;
  double netFieldDbu = 0, freeSpaceDbu = 0, modelLossDb = 0;
  std::int32_t errLevel = 0;
  std::array<std::string, 2> mode{" ", " "};
  double deltaHM = 0;
  std::array<double, 2> effHeightsM{0, 0};
  double pathLengthM = 0;
  double kFactor = 0;                       // effective earth-radius factor used
  int points = 0;
  double rxGroundM = 0;
  std::string details;
  std::string parameters;                   // the model's parameter print-out
  // What the result is: "field strength" (dBu; netFieldDbu), "clearance"
  // (first-Fresnel-zone radii; clearance), "contour distance" (km; contourKm).
  std::string quantity = "field strength", unit = "dBu";
  double clearance = 0;                     // shadowing models
  double contourKm = 0;                     // contour-only models: along the path's azimuth
  bool insideContour = false;               // the path's end lies within it
  std::vector<std::string> warnings;        // validity of the inputs; never change a number

  // The path as the model saw it (profile plots, link budgets).
  std::vector<double> profileDistM;         // from the transmitter
  std::vector<float> profileElevM;          // ground above sea level
  std::vector<float> profileElevObsM;       // with obstructions (empty: none on the path)
  double txAglM = 0, rxAglM = 0;            // antenna heights above the ground at the ends
  double freqMHz = 0;
  double erpDbm = 0;                        // ERP in the direction of the antenna's maximum
  double landUseLossDb = 0;
  // Land-use class at each profile point (empty: the study uses no land use).
  std::vector<std::string> profileLandUse;
  // Points of the path the model used: knife edges, obstacle crests, horizons.
  using Mark = PathMark;
  std::vector<Mark> marks;
};

// Keeps opened terrain sources and built templates between paths of a batch.
class P2PContext {
 public:
  P2PContext();
  ~P2PContext();
  P2PResult Run(const P2PRequest& r);

 private:
  std::shared_ptr<platform::TerrainSource> Terrain(const std::string& dem, std::string& error);
  // The profile of a request (terrain between two points, a CSV file or
  // given arrays), measured from its first point; nullptr with the reason.
  std::shared_ptr<platform::clsPathElv> Profile(const P2PRequest& r, std::string& error);
  std::map<std::string, std::shared_ptr<platform::TerrainSource>> terrain_;
};

// Fills a result from a calculator after its CovCalc: the model, the field,
// free-space field and model loss, what the result is, the warnings, the
// details, the model's own figures (LastPathExtras) and the path as the
// model saw it (profile, heights, frequency, ERP, land use, marks). Leaves
// ok, error and parameters to the caller, which knows whether the path
// counts as computed.
void HarvestPath(const clsQXAreaCov& calc, P2PResult& out);

// The model's parameter print-out.
std::string ParameterText(clsQXAreaCov& calc);

// Reads a profile CSV: distance_m,elevation_m per row (a header line allowed),
// first row at the transmitter, spacing as CheckProfile accepts. "" on success, else why not.
std::string ReadProfileCsv(const std::string& file, std::vector<double>& distM, std::vector<float>& elevM);

// Checks a profile: at least two points, finite values, at most 32767
// intervals (the model's profile limit), the engine's spacing rule for
// DIS_Array: every interval the first one (within rounding), the last one
// possibly shorter. "" when usable.
std::string CheckProfile(const std::vector<double>& distM, const std::vector<float>& elevM);

// Terrain data of a file or directory; nullptr with the reason when it holds none.
std::shared_ptr<platform::TerrainSource> OpenTerrain(const std::string& dem, std::string& error);

// The profile of terrain between two points (decimal degrees, in datum; ""
// the profile's own) at a step (m; 0: the terrain's spacing), checked as
// CheckTerrainProfile; nullptr with the reason.
std::shared_ptr<platform::clsPathElv> TerrainProfile(std::shared_ptr<platform::TerrainSource> terrain,
                                                     const std::string& datum, double fromLat, double fromLon,
                                                     double toLat, double toLon, double stepM, std::string& error);

// A profile sampled from terrain: as CheckProfile, except that the last
// interval may be shorter than the others.
std::string CheckTerrainProfile(const std::vector<double>& distM, const std::vector<float>& elevM);

}  // namespace zw
