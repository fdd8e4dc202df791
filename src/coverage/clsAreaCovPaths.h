#pragma once
// The points of an area study. clsAreaCovPaths turns the study definition of
// the task file (and the radial lines of its paths file) into one skeleton
// record per receiving point in the study's results table, then hands the
// points to the coverage run one by one in the table's order (each radial
// from its far end inward, radials by increasing azimuth).
//
// Generators: stepped radials, radial ends (one point per radial, for models
// that find contour distances directly), target points, and the tile grid
// with an optional BNA boundary polygon.
//
// The table is built beside the old one (in a private folder of the work
// directory) and takes its place only when the whole study has been
// generated, so a failed or cancelled generation leaves the table and the
// task file as they were. A study that would have more points than the
// point limit is refused before anything is written.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/FieldCollection.h"
#include "coverage/ProgressWindow.h"
#include "coverage/ResultsDb.h"
#include "coverage/StudyPoints.h"
#include "platform/DbfTable.h"

namespace zw::platform {
class BnaPolygon;
}

namespace zw::coverage {

inline constexpr std::int16_t kProcCovPathsRS = 5201;
inline constexpr std::int16_t kProcCovPathsMake = 5202;
inline constexpr std::int16_t kProcCovPathsRadials = 5203;
inline constexpr std::int16_t kProcCovPathsTiles = 5204;

inline constexpr double kCovBoundUnset = 88888.0;
inline constexpr double kMissingField = -88888.0;
inline constexpr float kNoElevation = -32200.0f;
inline constexpr std::int64_t kDefaultMaxStudyPoints = 5'000'000;

// What the study generator needs of its task, as plain values (the task code
// fills it).
struct AreaStudyTask {
  std::int32_t lTaskID = -88;
  std::int16_t iTaskMode = 0;  // 1: coverage
  std::string sTaskMode;       // mode text, for messages
  std::string sDesc;           // task description
  std::string sSum;            // task summary; characters 1 to 6 are the study code
  std::string sRDBDesc;        // results description
  std::filesystem::path workDir;      // where the results table lives
  std::filesystem::path taskFile;     // "T" + number + ".INI"; empty: in workDir
  std::filesystem::path pathsFile;    // "E" + number + ".INI"; empty: in workDir
  std::filesystem::path dataSumFile;  // field definitions; empty: the installed one
  bool bSilent = false;
  // Writes keys of section "Results Data Base" of the task file in one go;
  // "" or the failure. Unset: written straight into taskFile.
  std::function<std::string(const std::vector<std::pair<std::string, std::string>>&)> writeResultsKeys;

  // A task of the given number in workDir with the files named after it.
  static AreaStudyTask ForNumber(std::int32_t number, std::filesystem::path workDir);
  std::string sTaskID() const;  // the number in "0000000" format
  std::filesystem::path TaskFile() const;
  std::filesystem::path PathsFile() const;
  std::filesystem::path DataSumFile() const;
};

namespace studygen {
struct TileGrid;
}

class clsAreaCovPaths {
 public:
  clsAreaCovPaths() = default;
  ~clsAreaCovPaths();
  clsAreaCovPaths(const clsAreaCovPaths&) = delete;
  clsAreaCovPaths& operator=(const clsAreaCovPaths&) = delete;

  // ---- Study inputs.
  void SetTask(std::optional<AreaStudyTask> task);
  const AreaStudyTask* task() const { return task_ ? &*task_ : nullptr; }
  void SetMOB(FieldCollection mob) { mob_ = std::move(mob); }
  const FieldCollection& MOB() const { return mob_; }

  void SetTaskType(std::string t) { taskType_ = std::move(t); }
  const std::string& TaskType() const { return taskType_; }
  void SetTXDesc(std::string d) { txDesc_ = std::move(d); }
  const std::string& TXDesc() const { return txDesc_; }
  void SetTXDatum(std::string d) { txDatum_ = std::move(d); }
  const std::string& TXDatum() const { return txDatum_; }
  void SetTXLat(double lat);
  double TXLat() const { return txLat_; }
  void SetTXLon(double lon);
  double TXLon() const { return txLon_; }
  void SetTXSiteElv(float elv);
  float TXSiteElv() const { return siteElv_; }
  void SetTXSiteElvUn(std::string unit);
  const std::string& TXSiteElvUn() const { return siteElvUn_; }
  float TXSiteElvM() const { return siteElvM_; }
  void SetDirectContourCalc(bool b) { direct_ = b; }
  bool bDirectContourCalc() const { return direct_; }

  // Bounds of the transmitter and every generated point.
  double dCovMaxLat() const { return maxLat_; }
  double dCovMinLat() const { return minLat_; }
  double dCovMaxLon() const { return maxLon_; }
  double dCovMinLon() const { return minLon_; }

  // The progress window; the getter makes a quiet one (owned) when none was set.
  void SetProgress(std::shared_ptr<ProgressWindow> p);
  std::shared_ptr<ProgressWindow> ktoProgress();
  bool OwnsProgress() const { return ownProgress_; }

  // Threads that generate a tile study's rows (the points are the same
  // whatever the number).
  void SetThreads(int n) { threads_ = n; }
  int Threads() const { return threads_; }

  // Most points a study may have; more is refused before generating.
  void SetMaxPoints(std::int64_t n) { maxPoints_ = n; }

  // ---- Generation and the run's walk through the points.
  // Generates the study's points in memory; nothing is written. "" or the
  // reason (also in sLastError() and the technical-support log).
  std::string GenerateStudy(GeneratedStudy& out);
  // Generates the study into its results table; the sorted results
  // recordset, or nullptr with the reason in sLastError() and in the
  // technical-support log.
  ResultsDb* MakeTaskRDB();
  // "" on success (bEOF set at the end of the table), else the failure.
  std::string FirstPoint(double& az, double& dis, double& lat, double& lon);
  std::string NextPoint(double& az, double& dis, double& lat, double& lon);
  // Reserved: produces no path.
  void NextPath(double& az, double& dis, double& lat, double& lon) const { az = dis = lat = lon = 0; }
  bool bEOF() const { return eof_; }

  // Writes into the current record of the recordset.
  std::string UpdateRDBLoc(double dis, double lat, double lon, std::optional<float> elv = std::nullopt,
                           std::optional<double> az = std::nullopt);
  std::string UpdateRDBRec(double dBu, float elv, std::int16_t luCode, double luLoss, std::int32_t wrnBits,
                           std::int16_t wrnLvl);
  // Re-sorts the study; an empty code means the code the study's points carry.
  ResultsDb* RDBSort(std::string_view direction, std::string_view descCode);

  std::int32_t RSNumRec() const { return rs_ ? rs_->Count() : 0; }
  std::int32_t RSCurRec() const { return rs_ && rs_->IsOpen() ? rs_->Position() : 0; }
  ResultsDb* RSRDB() { return rs_ && rs_->IsOpen() ? rs_.get() : nullptr; }
  // Drops the recordset (the next point request generates again).
  void CloseRS();

  // The description code the study's points carry (after generation: the
  // one written).
  std::string StudyCode() const;
  // The grid or radial points counted before the last generation.
  std::int64_t PointsCounted() const { return counted_; }
  const std::string& sLastError() const { return lastError_; }
  // Point errors tolerated by the last generation (each logged).
  std::int32_t PointErrors() const { return pointErrors_; }

 private:
  struct Generation;
  struct RadialWork;
  std::string ObtainRS();
  std::string ReadCurrent(double& az, double& dis, double& lat, double& lon);
  std::string Generate(Generation& g);
  std::string GenerateRadials(Generation& g, int kind);
  // The points of the radial lines, in order; false when the user cancelled.
  bool PlaceRadialPoints(Generation& g, int kind, double stepKm, std::vector<RadialWork>& lines);
  std::string GenerateTiles(Generation& g);
  // The grid points inside the boundary (all without one), row by row from
  // the south.
  std::string PlaceTilePoints(Generation& g, const studygen::TileGrid& grid, const platform::BnaPolygon* boundary);
  std::string OpenTable(Generation& g, std::int64_t count);
  // False when the user cancelled.
  bool ProgressCheck(Generation& g, std::int64_t n);
  void Widen(double lat, double lon);

  std::optional<AreaStudyTask> task_;
  FieldCollection mob_;
  std::string taskType_, txDesc_, txDatum_, siteElvUn_;
  double txLat_ = 0, txLon_ = 0;
  float siteElv_ = kNoElevation, siteElvM_ = kNoElevation;
  bool direct_ = false;
  double maxLat_ = -kCovBoundUnset, minLat_ = kCovBoundUnset, maxLon_ = -kCovBoundUnset, minLon_ = kCovBoundUnset;
  std::shared_ptr<ProgressWindow> progress_;
  bool ownProgress_ = false;
  std::int64_t maxPoints_ = kDefaultMaxStudyPoints;
  int threads_ = 1;
  std::unique_ptr<ResultsDb> rs_;
  bool eof_ = true;
  std::string code_;  // code written by the last generation
  std::int64_t counted_ = 0;
  // The study's table has been built by this object: from then on it must
  // be found, not made anew.
  bool built_ = false;
  std::int32_t pointErrors_ = 0;
  std::string lastError_;
  // Progress state of the generation under way.
  std::int64_t interval_ = 1000;
  std::chrono::steady_clock::time_point lastProgress_{};
};

// The order a study's points are computed in: by azimuth, each radial from
// its far end inward, ties in record order (indices into pts); the same on
// any number of threads.
std::vector<std::uint32_t> ComputingOrder(const std::vector<StudyPoint>& pts, int threads = 1);

// Writes a study's results table to `file` (which must not exist) in one
// pass: the transmitter site record, then every point in record order with
// its value (skeleton records when values is null), encoded on up to
// `threads` threads. `created`, when given, is called once the table is
// made, before any record, with the decimals the values are written with.
std::string WriteStudyTable(const std::filesystem::path& file, const std::filesystem::path& dataSumFile,
                            const GeneratedStudy& study, const std::vector<PointValue>* values,
                            const std::function<void(int valueDecimals)>& created = {}, int threads = 1);

}  // namespace zw::coverage
