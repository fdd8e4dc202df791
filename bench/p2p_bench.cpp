// A whole Longley-Rice path through the calculator (profile object set, end
// point, CovCalc, results read) on profiles of 100, 1 000 and 10 000 points,
// a direct point-to-point run over the bundled DEM, and the receivers of the
// Python package's overhead benchmark (bench/python_overhead.py) through the
// engine call its vectorised form makes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <vector>

#include "common/ErrorHandler.h"
#include "common/ModelTemplate.h"
#include "engine/PointToPoint.h"
#include "models/terrain/clsQXAreaCovLR.h"
#include "platform/terrain/clsPathElv.h"

namespace {

std::shared_ptr<zw::FieldCollection> LRTemplate() {
  auto m = std::make_shared<zw::FieldCollection>();
  m->Set("POLARIZ", std::string("V"));
  m->Set("SUR_REFRAC", std::string("301"));
  m->Set("SEA_REFRAC", std::string("0"));
  m->Set("REL_PERMIT", std::string("15"));
  m->Set("CONDUCTIVI", std::string("0.005"));
  m->Set("CLIM_CODE", std::string("5"));
  m->Set("LR_MDVAR", std::string("12"));
  m->Set("LR_VARSIT", std::string("50"));
  m->Set("LR_VARLOC", std::string("90"));
  m->Set("LR_VARTIM", std::string("50"));
  m->Set("LR_DESC", std::string("bench"));
  return m;
}

// Rolling terrain over a 60 km path, reproducible (as in the core benchmark).
std::shared_ptr<zw::platform::clsPathElv> BenchPath(int points) {
  const int np = points - 1;
  std::vector<double> d;
  std::vector<float> e;
  for (int i = 0; i <= np; ++i) {
    const double x = static_cast<double>(i) / np;
    d.push_back(60e3 * x);
    e.push_back(static_cast<float>(180.0 + 70.0 * std::sin(11.0 * x) + 25.0 * std::sin(47.0 * x + 0.3) +
                                   200.0 * std::exp(-std::pow((x - 0.6) / 0.04, 2))));
  }
  auto p = std::make_shared<zw::platform::clsPathElv>();
  p->dStartLat(44.0);
  p->dStartLon(-71.0);
  p->DIS_Array(std::move(d));
  p->ELV_Array(std::move(e));
  return p;
}

void CalculatorPath(benchmark::State& state, bool details) {
  const auto path = BenchPath(static_cast<int>(state.range(0)));
  zw::clsQXAreaCovLR calc;
  calc.bSilent(true);
  calc.cPropMod(LRTemplate());
  auto fac = std::make_shared<zw::FieldCollection>();
  fac->Set("TX_FREQMHZ", 600.0);
  calc.cFAC(fac);
  calc.FACERPdBm(60.0);
  calc.FACTXmAGL(100.0);
  calc.FACTXmMSL(280.0);
  calc.MOBAntM(9.1);
  calc.bDetails(details);
  for (auto _ : state) {
    calc.cPathElv(path);
    if (!calc.sOKtoGO().empty()) state.SkipWithError("profile object not ready");
    calc.PathElvEnd(44.0, -70.25, 90.0);
    calc.dPathLthM(60e3);
    calc.sDetails("");
    calc.CovCalc();
    benchmark::DoNotOptimize(calc.dNetField());
    benchmark::DoNotOptimize(calc.sDetails().size());
  }
  if (calc.bErrorRun()) state.SkipWithError("path not computed");
  state.SetItemsProcessed(state.iterations());
}

void BM_LRCalculatorPath(benchmark::State& state) { CalculatorPath(state, false); }
void BM_LRCalculatorPathDetails(benchmark::State& state) { CalculatorPath(state, true); }

// The DEM path 44.27,-71.30 -> 44.10,-71.00 at 100 MHz, tx 100 m, rx 10 m.
// With a kept context the terrain is opened once; a fresh context opens it
// on every run.
void DemRun(benchmark::State& state, bool freshContext) {
  const auto dir = std::filesystem::temp_directory_path() / ("ravo-p2p-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  zw::SetTechSupportLogPath((dir / "ZWTECSUP.TXT").string());
  const auto ini = dir / "T.INI";
  std::ofstream(ini) << "[Propagation Model]\nMODEL=Longley-Rice\nLR_DESC=bench\nPOLARIZ=V\nCLIM_CODE=5\n"
                        "SUR_REFRAC=301\nSEA_REFRAC=0\nREL_PERMIT=15\nCONDUCTIVI=0.005\nLR_MDVAR=12\n"
                        "LR_VARSIT=50\nLR_VARLOC=50\nLR_VARTIM=50\n";
  zw::P2PRequest r;
  r.templateFile = ini.string();
  r.dem = RAVO_DATA_DIR "/terrain/N44W072.hgt";
  r.fromLat = 44.27;
  r.fromLon = -71.30;
  r.toLat = 44.10;
  r.toLon = -71.00;
  r.haveFrom = r.haveTo = true;
  r.freqMHz = 100;
  r.txAglM = 100;
  r.rxAglM = 10;
  auto ctx = std::make_unique<zw::P2PContext>();
  int points = 0;
  for (auto _ : state) {
    if (freshContext) ctx = std::make_unique<zw::P2PContext>();
    const zw::P2PResult out = ctx->Run(r);
    if (!out.ok) {
      state.SkipWithError(out.error.c_str());
      break;
    }
    points = out.points;
    benchmark::DoNotOptimize(out.netFieldDbu);
  }
  state.counters["points"] = points;
  state.SetItemsProcessed(state.iterations());
  zw::SetTechSupportLogPath("");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

void BM_P2PRunDem(benchmark::State& state) { DemRun(state, false); }
void BM_P2PRunDemFreshContext(benchmark::State& state) { DemRun(state, true); }

// N receivers around the sample transmitter (44.4365, -71.4131), receiver i
// at D/10 + 0.9 D i / (N - 1) on azimuth 137.50776405 i degrees (a
// golden-angle spiral; D the second argument, metres), placed exactly as
// bench/python_overhead.py places them. Each iteration runs every path
// through one kept context, LR's default template, 98.5 MHz, tx 100 m, rx
// 9.1 m: the loop of ravoprop.p2p_many without Python.
void BM_P2PManyDem(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const double maxKm = static_cast<double>(state.range(1)) / 1000.0;
  const auto dir = std::filesystem::temp_directory_path() / ("ravo-p2p-many-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  zw::SetTechSupportLogPath((dir / "ZWTECSUP.TXT").string());
  const auto ini = dir / "LR.INI";
  std::ofstream(ini) << zw::ModelTemplateIni("LR", nullptr).value_or("");
  zw::P2PRequest r;
  r.model = "LR";
  r.templateFile = ini.string();
  r.dem = RAVO_DATA_DIR "/terrain/N44W072.hgt";
  r.fromLat = 44.4365;
  r.fromLon = -71.4131;
  r.haveFrom = r.haveTo = true;
  r.freqMHz = 98.5;
  r.txAglM = 100;
  r.rxAglM = 9.1;
  const double pi = std::acos(-1.0);
  std::vector<double> lat(n), lon(n);
  for (int i = 0; i < n; ++i) {
    const double km = maxKm / 10.0 + 0.9 * maxKm * i / (n - 1), az = 137.50776405 * i * pi / 180.0;
    lat[i] = r.fromLat + km * std::cos(az) / 111.2;
    lon[i] = r.fromLon + km * std::sin(az) / (111.2 * std::cos(r.fromLat * pi / 180.0));
  }
  zw::P2PContext ctx;
  r.toLat = lat[0];
  r.toLon = lon[0];
  ctx.Run(r);  // the terrain opened before the clock runs, as in a warm Python session
  int failed = 0;
  double fieldSum = 0;  // the same paths give the same sum in Python
  for (auto _ : state) {
    failed = 0;
    fieldSum = 0;
    for (int i = 0; i < n; ++i) {
      r.toLat = lat[i];
      r.toLon = lon[i];
      const zw::P2PResult out = ctx.Run(r);
      failed += out.ok ? 0 : 1;
      fieldSum += out.ok ? out.netFieldDbu : 0.0;
    }
  }
  state.counters["paths"] = n;
  state.counters["failed"] = failed;
  state.counters["field_sum_dbu"] = fieldSum;
  state.SetItemsProcessed(state.iterations() * n);
  zw::SetTechSupportLogPath("");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace

BENCHMARK(BM_LRCalculatorPath)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_LRCalculatorPathDetails)->Arg(1000);
BENCHMARK(BM_P2PRunDem)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_P2PRunDemFreshContext)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_P2PManyDem)->Args({2000, 20000})->Args({2000, 2000})->Unit(benchmark::kMillisecond);
