#pragma once
// The area-study run: every point of a study, in the order of its results
// table, through the model's calculator, with the result kept in memory for
// the table that is written once at the end. Points are computed on several
// threads, each with its own calculator and terrain profile object, in
// batches; every batch is taken over in table order on the calling thread,
// so the results, the details and every question asked are the same
// whatever the number of threads.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/FieldCollection.h"
#include "coverage/ProgressWindow.h"
#include "coverage/StudyPoints.h"
#include "coverage/clsQXAreaCov.h"
#include "engine/CalculatorSetup.h"

namespace zw {

namespace platform {
class TerrainSource;
}

// How each thread's terrain profile object is made.
struct PathSetup {
  std::shared_ptr<platform::TerrainSource> terrain;
  std::string login;
  double stepM = 0;
  double txLat = 0, txLon = 0;
  std::string datum;
  float txSiteElvM = 0;
  std::shared_ptr<clsObstructions> obs;
  // Effective earth-radius factor of the study ([Eff Curvature] K-Value).
  double kFactor = 4.0 / 3.0;
  double studyMaxLat = 0, studyMinLat = 0, studyMaxLon = 0, studyMinLon = 0;
};

std::shared_ptr<clsPathElv> MakePathElv(const PathSetup& s);

// What the calculator gave at one point of a study.
struct PointResult {
  bool missing = false;  // no terrain data
  bool failed = false;   // the model gave no result
  double field = 0;
  float elv = 0;
  std::int16_t luCode = 0;
  double luLoss = 0;
  std::int32_t bits = 0, level = 0;
  bool contour = false;
  double contourKm = 0, contourLat = 0, contourLon = 0;
  std::string details, failure;
  // The model's warnings: texts held for the run by the worker that computed
  // the point (unused ones null), then texts of the point's own.
  std::array<const std::string*, 2> heldWarnings{};
  std::vector<std::string> warnings;
  // The held texts made the point's own, for a result that outlives the run.
  void OwnWarnings();
};

// Computes the points of groups [g0, g1) of a study (see StudyGroups): each
// group sampled from its first point, so that a group's results are the
// same whoever computes it. "" or why not.
using GroupComputer = std::function<std::string(std::size_t g0, std::size_t g1, std::vector<PointResult>& out)>;

struct CoverageRunInputs {
  // The study's points (generated in memory); the run computes them in
  // study->order and never writes a file.
  const coverage::GeneratedStudy* study = nullptr;
  CalculatorSetup calc;
  PathSetup path;  // with the study area set
  double freqMHz = 0;
  int threads = 1;
  std::ostream* details = nullptr;  // one line per computed point when details are on
  std::int32_t taskId = 0;
  std::string taskDesc;
  std::shared_ptr<coverage::ProgressWindow> progress;
  // A cancel request of the progress window ends the run without asking
  // whether to (the request itself was the decision).
  bool cancelIsFinal = false;
  // Points computed together before they are handed over (per thread).
  int batchPerThread = 1024;
  // Set: every group of the study is handed to it at once (other processes
  // or machines compute them) instead of to the threads.
  GroupComputer computeGroups;
};

struct CoverageRunOutcome {
  std::string result;            // "" when the study ran to its end
  bool completed = false;        // the loop reached the last point
  bool cancelled = false;        // the user cancelled
  std::int64_t points = 0;       // points visited
  std::int64_t computed = 0;     // points with a result
  std::int64_t missing = 0;      // points without terrain data
  std::int64_t failed = 0;       // points the model could not compute
  std::int64_t notReached = 0;   // points not visited (cancelled)
  // Why the model failed, with how many points each ("" reasons are counted
  // under the model's general failure text).
  std::vector<std::pair<std::string, std::int64_t>> failReasons;
  // The model's validity warnings, with how many points each (they never
  // change a number).
  std::vector<std::pair<std::string, std::int64_t>> warnings;
  std::string WarningLines() const;
  bool directContour = false;    // the calculator finds contours itself
  // Set by the engine's run: the new files took the old ones' place, and
  // whether every point of the study has a result.
  bool resultsWritten = false;
  bool complete = false;
  // Every point's result, in the study's record order.
  std::vector<coverage::PointValue> values;
  // How much the study covers, worked out from the results in memory as the
  // table holds them ("" when they are read back from the table instead: a
  // contour reduced from the radials changes the table after the run).
  std::string figuresText;
  // Direct-contour models: points moved to the contour they found.
  std::vector<std::pair<std::uint32_t, coverage::StudyPoint>> moved;
  // The lines that say how many points have no result and why ("" when
  // every point was computed).
  std::string FailureLines(const std::string& modelName) const;
};

CoverageRunOutcome RunCoverageStudy(const CoverageRunInputs& in);

// The groups of a study's points: the positions in study.order where each
// group starts (the points of one radial, or a single tile point), and the
// end of the order last.
std::vector<std::size_t> StudyGroups(const coverage::GeneratedStudy& study);

// The points of groups [g0, g1) computed on the calling thread with a
// calculator of its own, in study order: what a thread of RunCoverageStudy
// does with them. "" or why not (a calculator that cannot be made, a range
// outside the study).
std::string ComputeStudyGroups(const CoverageRunInputs& in, std::size_t g0, std::size_t g1,
                               std::vector<PointResult>& out);

}  // namespace zw
