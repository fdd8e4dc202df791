#pragma once
// The area-study run: every point of a study, in the order of its results
// table, through the model's calculator, with the result kept in memory for
// the table that is written once at the end. Points are computed on several
// threads, each with its own calculator and terrain profile object, in
// batches; every batch is taken over in table order on the calling thread,
// so the results, the details and every question asked are the same
// whatever the number of threads.
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

namespace zw {

namespace platform {
class TerrainSource;
}

// Everything a calculator is given before its first path, so that each
// thread can build its own, configured exactly like the engine's.
struct CalculatorSetup {
  std::string model;  // display name or code
  bool silent = false;
  std::shared_ptr<FieldCollection> propMod, fac, mob;
  bool mobMSL = false;
  double facERPdBm = 0, facTXmAGL = 0, facTXmMSL = 0, mobAntM = 0;
  bool details = false;
  std::string detailUnPwr, detailUnDis, detailUnElv;
  std::vector<double> haz, hgain, vel, vgain;
  std::shared_ptr<clsObstructions> obs;
  std::shared_ptr<clsLandUse> landUse;
  std::string taskType;
};

// A configured calculator, or nullptr with the reason.
std::unique_ptr<clsQXAreaCov> MakeCalculator(const CalculatorSetup& s, std::string* error);

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
  int batchPerThread = 64;
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

}  // namespace zw
