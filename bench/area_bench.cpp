// Whole area studies through the engine (lTaskID, RunCovArea) on the sample
// tile, with 1 and 2 threads: a Longley-Rice radial study of 360 radials at
// 0.5 km steps and a 200 x 200 tile study. Both are edited copies of the
// sample study; points_per_s counts the points computed per second of wall
// time (the generation of the results table included); points_per_cpu_s per
// second of processor time of all threads (what a loaded machine cannot skew).
//
// The 1-degree tile cannot hold 80 km radials from the sample transmitter
// (it lies 33 km from the tile's east edge), so each radial runs to 80 km or
// to 1 km short of the tile edge, whichever is nearer (33 to 67 km).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "engine/clsRFProp.h"
#include "geo/Geodesic.h"
#include "platform/MessageBox.h"
#include "platform/terrain/TerrainSource.h"
#include "tasks/PathsFile.h"
#include "tasks/TaskFile.h"

namespace {

namespace fs = std::filesystem;

// Processor time of the whole process (every thread), seconds.
double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
  return sec(u.ru_utime) + sec(u.ru_stime);
}

constexpr double kTxLat = 44.4365, kTxLon = -71.4131;  // the sample transmitter

// A temporary installation holding a copy of the sample study.
class BenchStudy {
 public:
  BenchStudy() {
    dir_ = fs::temp_directory_path() / ("ravo-area-bench-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(work());
    for (const auto& e : fs::directory_iterator(fs::path(RAVO_DATA_DIR) / "sample")) {
      if (e.path().extension() != ".md") fs::copy_file(e.path(), work() / e.path().filename());
    }
    ::setenv("ZWRAVOPROP_HOME", (dir_.string() + "/").c_str(), 1);
    zw::ResetConfigCache();
    zw::SetTechSupportLogPath((dir_ / "ZWTECSUP.TXT").string());
    previous_ = zw::platform::SetMessages(std::make_shared<zw::platform::ScriptedMessages>());
    terrain_ = std::make_shared<zw::platform::TerrainSource>();
    terrain_->Add(fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt");
  }
  ~BenchStudy() {
    zw::platform::SetMessages(previous_);
    zw::SetTechSupportLogPath("");
    ::unsetenv("ZWRAVOPROP_HOME");
    zw::ResetConfigCache();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path work() const { return dir_ / "WORK"; }
  std::string Edit(const zw::tasks::ProfileEdit& edit) const { return edit.Apply(work() / "T0000001.INI"); }
  const std::shared_ptr<zw::platform::TerrainSource>& terrain() const { return terrain_; }

 private:
  fs::path dir_;
  std::shared_ptr<zw::platform::MessageSink> previous_;
  std::shared_ptr<zw::platform::TerrainSource> terrain_;
};

// 360 radials at 0.5 km steps, each to 80 km or 1 km short of the tile edge.
std::string MakeRadialStudy(const BenchStudy& s) {
  std::vector<zw::tasks::RadialLine> radials;
  for (int az = 0; az < 360; ++az) {
    double km = 0.5;
    for (double d = 0.5; d <= 80.0 + 1e-9; d += 0.5) {
      double lat = 0, lon = 0;
      if (!zw::Geodesic::ForwardKm(kTxLat, kTxLon, az, d + 1.0, lat, lon)) break;
      if (lat <= 44.0 || lat >= 45.0 || lon <= -72.0 || lon >= -71.0) break;
      km = d;
    }
    zw::tasks::RadialLine r;
    r.azimuth = az;
    r.length = km;
    r.unit = "km";
    radials.push_back(r);
  }
  if (auto e = zw::tasks::WritePathsFile(s.work() / "E0000001.INI", kTxLat, kTxLon, radials); !e.empty()) return e;
  zw::tasks::ProfileEdit edit;
  edit.Set("Quick Coverage", "ADV RAD STEP COV", "0.5|km")
      .Set("Quick Coverage", "Num Rad", "360")
      .Set("Quick Coverage", "Distance", "80")
      .Set("Quick Coverage", "Step", "0.5");
  return s.Edit(edit);
}

// A 200 x 200 grid at 0.3 km steps centred on the transmitter, terrain every 90 m.
std::string MakeTileStudy(const BenchStudy& s) {
  constexpr double kRad = 0.0174532925;
  const double phi = kTxLat * kRad;
  const double kmPerDegLat = 111.13209 - 0.56605 * std::cos(2 * phi) + 0.0012 * std::cos(4 * phi);
  const double kmPerDegLon = 111.41513 * std::cos(phi) - 0.09455 * std::cos(3 * phi) + 0.00012 * std::cos(5 * phi);
  // Half a step beyond the 200th row and column, so that rounding keeps 200.
  const double dLat = 0.3 / kmPerDegLat, dLon = 0.3 / kmPerDegLon;
  const double south = kTxLat - 99.75 * dLat, west = kTxLon - 99.75 * dLon;
  zw::tasks::ProfileEdit edit;
  edit.Set("TASK", "Task Type", "THRESHOLD (TILE)")
      .Set("Quick Coverage", "Rad or Tile", "T")
      .Set("Quick Coverage", "ADV RAD STEP TIL", "0.09|km")
      .Set("Elevation Data", "elt_slat", std::to_string(south))
      .Set("Elevation Data", "elt_nlat", std::to_string(south + 199.5 * dLat))
      .Set("Elevation Data", "elt_wlon", std::to_string(west))
      .Set("Elevation Data", "elt_elon", std::to_string(west + 199.5 * dLon))
      .Set("Elevation Data", "elt_nsS", "0.3")
      .Set("Elevation Data", "elt_nsSun", "km")
      .Set("Elevation Data", "elt_ewS", "0.3")
      .Set("Elevation Data", "elt_ewSun", "km");
  return s.Edit(edit);
}

void AreaRun(benchmark::State& state, std::string (*make)(const BenchStudy&)) {
  BenchStudy study;
  if (const std::string e = make(study); !e.empty()) {
    state.SkipWithError(e.c_str());
    return;
  }
  const int threads = static_cast<int>(state.range(0));
  std::int64_t computed = 0, missing = 0;
  double seconds = 0, cpuSeconds = 0;
  for (auto _ : state) {
    zw::clsRFProp e;
    e.bSilent(true);
    e.sWorkDir(study.work().string());
    e.iThreads(threads);
    e.cTerrain(study.terrain());
    e.lTaskID(1);
    if (!e.cTask()) {
      state.SkipWithError(e.sTaskMessage().c_str());
      break;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = ProcessCpuSeconds();
    const std::string result = e.RunCovArea();
    cpuSeconds += ProcessCpuSeconds() - c0;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!e.LastRun().completed) {
      state.SkipWithError(("study did not complete: " + result.substr(0, 300)).c_str());
      break;
    }
    computed += e.LastRun().computed;
    missing += e.LastRun().missing;
  }
  const double runs = static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
  state.counters["points"] = static_cast<double>(computed) / runs;
  state.counters["missing"] = static_cast<double>(missing) / runs;
  state.counters["points_per_s"] = seconds > 0 ? static_cast<double>(computed) / seconds : 0.0;
  state.counters["points_per_cpu_s"] = cpuSeconds > 0 ? static_cast<double>(computed) / cpuSeconds : 0.0;
}

void BM_AreaRadialLR(benchmark::State& state) { AreaRun(state, MakeRadialStudy); }
void BM_AreaTileLR(benchmark::State& state) { AreaRun(state, MakeTileStudy); }

}  // namespace

BENCHMARK(BM_AreaRadialLR)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_AreaTileLR)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
