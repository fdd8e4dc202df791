#pragma once
// The area-study run: every point of a study, in the order of its results
// table, through the model's calculator, with the result written into the
// point's record. Points are computed on several threads, each with its own
// calculator and terrain profile object, in batches; every batch is written
// in table order on the calling thread, so the table, the details and every
// question asked are the same whatever the number of threads.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/FieldCollection.h"
#include "coverage/ProgressWindow.h"
#include "coverage/clsQXAreaCov.h"

namespace zw {

namespace coverage {
class clsAreaCovPaths;
}
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
  double studyMaxLat = 0, studyMinLat = 0, studyMaxLon = 0, studyMinLon = 0;
};

std::shared_ptr<clsPathElv> MakePathElv(const PathSetup& s);

struct CoverageRunInputs {
  coverage::clsAreaCovPaths* paths = nullptr;
  CalculatorSetup calc;
  PathSetup path;
  double freqMHz = 0;
  int threads = 1;
  std::ostream* details = nullptr;  // one line per computed point when details are on
  std::int32_t taskId = 0;
  std::string taskDesc;
  std::shared_ptr<coverage::ProgressWindow> progress;
  // Points computed together before they are written (per thread).
  int batchPerThread = 64;
};

struct CoverageRunOutcome {
  std::string result;            // "" when the study ran to its end
  bool completed = false;        // the loop reached the last point
  bool cancelled = false;        // the user cancelled
  std::int64_t points = 0;       // points visited
  std::int64_t computed = 0;     // points written with a result
  std::int64_t missing = 0;      // points without terrain data
  bool directContour = false;    // the calculator finds contours itself
};

CoverageRunOutcome RunCoverageStudy(const CoverageRunInputs& in);

}  // namespace zw
