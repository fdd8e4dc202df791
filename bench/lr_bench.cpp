// Longley-Rice core per path on profiles of 100, 1 000 and 10 000 points.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "models/terrain/modPropLR.h"

namespace {

// Rolling terrain over a 60 km path, reproducible.
std::vector<double> BenchProfile(int points) {
  const int np = points - 1;
  std::vector<double> p{static_cast<double>(np), 60e3 / np};
  for (int i = 0; i <= np; ++i) {
    const double x = static_cast<double>(i) / np;
    p.push_back(180.0 + 70.0 * std::sin(11.0 * x) + 25.0 * std::sin(47.0 * x + 0.3) +
                200.0 * std::exp(-std::pow((x - 0.6) / 0.04, 2)));
  }
  return p;
}

void BM_LongleyRicePath(benchmark::State& state) {
  const auto pfl = BenchProfile(static_cast<int>(state.range(0)));
  zw::LRInputs in;
  in.dFreqMHz = 600.0;
  in.dTxHeightM = 100.0;
  in.dRxHeightM = 9.1;
  in.iMDVAR = 12;
  in.dLocPct = 90.0;
  zw::clsLRCore core;
  for (auto _ : state) {
    const zw::LRResult r = core.PointToPoint(pfl, in);
    benchmark::DoNotOptimize(r.dAttenDB);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LongleyRicePath)->Arg(100)->Arg(1000)->Arg(10000);
