// Curve interpolation per point (one point a call, and 200 points a call as
// the contour scans read them) and the field of one path per model, on a
// synthetic 1000-point profile.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "geo/Geodesic.h"
#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/clsQXAreaCovCG.h"
#include "models/curves/clsQXAreaCovCX.h"
#include "models/curves/clsQXAreaCovOK.h"
#include "models/curves/clsQXAreaCovSM.h"
#include "common/itplbv.h"
#include "models/curves/modPropBC.h"
#include "models/terrain/clsQXAreaCovBU.h"
#include "models/terrain/clsQXAreaCovEG.h"
#include "models/terrain/clsQXAreaCovHD.h"
#include "models/terrain/clsQXAreaCovRO.h"
#include "models/terrain/clsQXAreaCovSH.h"
#include "platform/terrain/clsPathElv.h"

namespace {

using namespace zw;

// Itplbv on the F(50,50) UHF grid: N points per call.
void BM_Itplbv(benchmark::State& state) {
  const CurveGrid& g = *BCCurveGrid(50, BCBand::UHF);
  const int n = static_cast<int>(state.range(0));
  std::vector<float> u(n), v(n, 1000.0f), w(n);
  for (int i = 0; i < n; ++i) u[i] = 1.0f + 0.5f * i;
  const std::int16_t lx = g.lx(), ly = g.ly(), nn = static_cast<std::int16_t>(n);
  for (auto _ : state) {
    std::int16_t ier = 0;
    itplbv(lx, ly, g.x[0], g.y[0], g.z[0], nn, u[0], v[0], w[0], ier);
    benchmark::DoNotOptimize(w.data());
  }
  state.counters["points/s"] = benchmark::Counter(double(state.iterations()) * n, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Itplbv)->Arg(1)->Arg(200);

class GivenPath : public platform::clsPathElv {
 public:
  float ElvAt(double, double) override { return ELV_Array().empty() ? 0.0f : ELV_Array().back(); }
};

constexpr int kPoints = 1000;
constexpr double kLengthKm = 49.95;  // 1000 points, 50 m apart

std::shared_ptr<GivenPath> Profile() {
  auto p = std::make_shared<GivenPath>();
  p->dStartLat(44.0);
  p->dStartLon(-71.0);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(44.0, -71.0, 90.0, kLengthKm, lat, lon);
  p->dEndLat(lat);
  p->dEndLon(lon);
  std::vector<double> d(kPoints);
  std::vector<float> e(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    d[i] = 50.0 * i;
    e[i] = static_cast<float>(300.0 + 120.0 * std::sin(i / 37.0) + 40.0 * std::sin(i / 5.3));
  }
  p->DIS_Array(std::move(d));
  p->ELV_Array(std::move(e));
  return p;
}

template <class Calc>
void BM_Path(benchmark::State& state) {
  Calc c;
  c.bSilent(true);
  auto tmpl = std::make_shared<FieldCollection>();
  tmpl->Set("CX_CURVE", std::string("1"));  // a Part 22 station type for CX; other models ignore it
  c.cPropMod(tmpl);
  c.FACERPdBm(90.0);
  c.FACTXmAGL(60.0);
  c.FACTXmMSL(420.0);
  c.MOBAntM(2.0);
  auto fac = std::make_shared<FieldCollection>();
  fac->Set("TX_FREQMHZ", 600.0);
  fac->Set("TX_A1GAIN", 0.0);
  fac->Set("TX_A1GNUN", std::string("dBd"));
  c.cFAC(fac);
  auto mob = std::make_shared<FieldCollection>();
  mob->Set("RX_A1FLD", 40.0);
  c.cMOB(mob);
  auto p = Profile();
  c.cPathElv(p);
  c.PathElvEnd(p->dEndLat(), p->dEndLon(), 90.0);
  c.dPathLthM(kLengthKm * 1000.0);
  if (!c.sOKtoGO().empty()) state.SkipWithError(c.sOKtoGO().c_str());
  for (auto _ : state) {
    c.CovCalc();
    benchmark::DoNotOptimize(c.dNetField());
  }
}
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovBC);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovSM);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovCX);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovCG);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovOK);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovBU);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovSH);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovEG);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovHD);
BENCHMARK_TEMPLATE(BM_Path, clsQXAreaCovRO);

}  // namespace
