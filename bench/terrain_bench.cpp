// Terrain profile extraction on the sample SRTM tile: samples per second with a
// cold and a warm tile cache, a 40 km radial at 90 m sampled afresh, tile-style
// paths (each to its own azimuth) at 90 m, and a radial study's profiles with
// the radial sampled once versus every profile sampled on its own.
#include <benchmark/benchmark.h>

#include <memory>

#include "geo/Geodesic.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsPathElv.h"

namespace {

using zw::platform::clsPathElv;
using zw::platform::TerrainSource;

std::shared_ptr<TerrainSource> Tile() {
  auto t = std::make_shared<TerrainSource>();
  t->Add(std::string(RAVO_DATA_DIR) + "/terrain/N44W072.hgt");
  return t;
}

// One 40 km profile at a 30 m step (about 1300 samples).
void Profile40km(clsPathElv& p, double az) {
  double lat = 0, lon = 0;
  zw::Geodesic::ForwardKm(44.5, -71.5, az, 40.0, lat, lon);
  p.dEndLat(lat);
  p.dEndLon(lon);
  p.ExtractProfile();
  benchmark::DoNotOptimize(p.ELV_Array().data());
}

void BM_ProfileColdCache(benchmark::State& state) {
  auto t = Tile();
  std::size_t samples = 0;
  double az = 0;
  for (auto _ : state) {
    state.PauseTiming();
    t->ClearCache();
    clsPathElv p(t);
    p.dStartLat(44.5);
    p.dStartLon(-71.5);
    p.dStep(30);
    state.ResumeTiming();
    Profile40km(p, az += 7.3);
    samples += p.ELV_Array().size();
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void BM_ProfileWarmCache(benchmark::State& state) {
  auto t = Tile();
  t->Preload(45, 44, -71, -72);
  clsPathElv p(t);
  p.dStartLat(44.5);
  p.dStartLon(-71.5);
  p.dStep(30);
  p.bReuseRadial(false);
  std::size_t samples = 0;
  double az = 0;
  for (auto _ : state) {
    Profile40km(p, az += 7.3);
    samples += p.ELV_Array().size();
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// A radial of a stepped study: profiles to points every 300 m out to 40 km.
void BM_RadialStudy(benchmark::State& state) {
  auto t = Tile();
  t->Preload(45, 44, -71, -72);
  clsPathElv p(t);
  p.dStartLat(44.5);
  p.dStartLon(-71.5);
  p.dStep(30);
  p.bReuseRadial(state.range(0) != 0);
  double az = 0;
  std::size_t profiles = 0;
  for (auto _ : state) {
    az += 11.1;
    for (int k = 1; k <= 133; ++k) {
      double lat = 0, lon = 0;
      zw::Geodesic::ForwardKm(44.5, -71.5, az, 0.3 * k, lat, lon);
      p.dEndLat(lat);
      p.dEndLon(lon);
      p.ExtractProfile();
      benchmark::DoNotOptimize(p.ELV_Array().data());
      ++profiles;
    }
  }
  state.counters["profiles/s"] = benchmark::Counter(static_cast<double>(profiles), benchmark::Counter::kIsRate);
}

// One 40 km radial at a 90 m step (about 445 samples), sampled afresh each time.
void BM_Radial40km90m(benchmark::State& state) {
  auto t = Tile();
  t->Preload(45, 44, -71, -72);
  clsPathElv p(t);
  p.dStartLat(44.4365);
  p.dStartLon(-71.4131);
  p.dStep(90);
  std::size_t samples = 0;
  double az = 0;
  for (auto _ : state) {
    double lat = 0, lon = 0;
    zw::Geodesic::ForwardKm(44.4365, -71.4131, az += 0.0375, 40.0, lat, lon);
    p.ForgetRadial();
    p.dEndLat(lat);
    p.dEndLon(lon);
    p.ExtractProfile();
    benchmark::DoNotOptimize(p.ELV_Array().data());
    samples += p.ELV_Array().size();
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// Tile-style paths at a 90 m step: from the sample transmitter to every point of
// a 60 x 60 grid over the 40 km box, each point on its own azimuth.
void BM_TilePaths90m(benchmark::State& state) {
  auto t = Tile();
  t->Preload(45, 44, -71, -72);
  clsPathElv p(t);
  p.dStartLat(44.4365);
  p.dStartLon(-71.4131);
  p.dStep(90);
  std::size_t samples = 0;
  int k = 0;
  for (auto _ : state) {
    const int r = (k / 60) % 60, c = k % 60;
    ++k;
    p.dEndLat(44.4365 - 0.36 + 0.72 * r / 59.0);
    p.dEndLon(-71.4131 - 0.5 + 1.0 * c / 59.0);
    p.ExtractProfile();
    benchmark::DoNotOptimize(p.ELV_Array().data());
    samples += p.ELV_Array().size();
  }
  state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_Radial40km90m);
BENCHMARK(BM_TilePaths90m);
BENCHMARK(BM_ProfileColdCache);
BENCHMARK(BM_ProfileWarmCache);
BENCHMARK(BM_RadialStudy)->Arg(1)->ArgName("reuse")->Arg(0);
