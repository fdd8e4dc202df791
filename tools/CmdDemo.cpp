// ravoprop demo: a Longley-Rice radial study on the bundled sample terrain
// (the White Mountains tile): field strength at points along 36 radials from a
// transmitter on Mount Waumbek, written as a results table and a summary.
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "Commands.h"
#include "engine/PointToPoint.h"
#include "geo/Geodesic.h"
#include "platform/FileSystem.h"

namespace zw::tool {
namespace {

struct DemoOptions {
  std::string data = "data";
  std::string out = "build/demo";
  int radials = 36;
  double radiusKm = 30;
  double stepKm = 1.5;
};

constexpr const char* kDemoTemplate =
    "[Propagation Model]\n"
    "MODEL=Longley-Rice\n"
    "POLARIZ=H\n"
    "SUR_REFRAC=301\n"
    "SEA_REFRAC=0\n"
    "REL_PERMIT=15\n"
    "CONDUCTIVI=0.005\n"
    "CLIM_CODE=5\n"
    "LR_MDVAR=12\n"
    "LR_VARSIT=50\n"
    "LR_VARLOC=50\n"
    "LR_VARTIM=50\n"
    "LR_DESC=Demo: continental temperate, broadcast-like settings\n";

int RunDemo(const DemoOptions& o) {
  ApplyGlobals();
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(o.out, ec);
  const fs::path out = fs::absolute(o.out, ec);
  const fs::path tile = fs::path(o.data) / "terrain" / "N44W072.hgt";
  if (!fs::exists(tile)) {
    std::cerr << "Sample terrain not found: " << tile << "\n";
    return 1;
  }
  const fs::path tpl = out / "demo_template.ini";
  if (!platform::WriteFileAtomic(tpl, kDemoTemplate)) {
    std::cerr << "Cannot write " << tpl << "\n";
    return 1;
  }

  const double txLat = 44.4365, txLon = -71.4131;  // Mount Waumbek, well inside the tile
  P2PRequest base;
  base.templateFile = tpl.string();
  base.dem = tile.string();
  base.fromLat = txLat;
  base.fromLon = txLon;
  base.haveFrom = base.haveTo = true;
  base.freqMHz = 98.5;
  base.txAglM = 100;
  base.rxAglM = 9.1;
  base.erpValue = 50;
  base.erpUnit = "kW";

  std::cout << "ravoprop demo: Longley-Rice radial study on " << tile.string() << "\n"
            << fmt::format("  transmitter {:.4f}, {:.4f} (Mount Waumbek), {} MHz, 50 kW ERP, {} m AGL\n", txLat,
                           txLon, base.freqMHz, base.txAglM)
            << fmt::format("  {} radials, points every {} km to {} km, receiver {} m AGL\n", o.radials, o.stepKm,
                           o.radiusKm, base.rxAglM);

  const auto start = std::chrono::steady_clock::now();
  P2PContext ctx;
  std::string table = "azimuth_deg,distance_km,lat,lon,field_dbu,free_space_dbu,loss_db,err_level,mode\n";
  int paths = 0, failed = 0, above60 = 0;
  double minField = 1e9, maxField = -1e9;
  std::vector<double> reach(static_cast<std::size_t>(o.radials), 0.0);
  for (int r = 0; r < o.radials; ++r) {
    const double az = 360.0 * r / o.radials;
    for (double d = o.stepKm; d <= o.radiusKm + 1e-9; d += o.stepKm) {
      P2PRequest q = base;
      Geodesic::ForwardKm(txLat, txLon, az, d, q.toLat, q.toLon);
      const P2PResult res = ctx.Run(q);
      ++paths;
      if (!res.ok) {
        ++failed;
        if (failed <= 3) std::cerr << fmt::format("  az {:.0f} d {:.1f} km: {}\n", az, d, res.error);
        continue;
      }
      minField = std::min(minField, res.netFieldDbu);
      maxField = std::max(maxField, res.netFieldDbu);
      if (res.netFieldDbu >= 60.0) {
        ++above60;
        reach[static_cast<std::size_t>(r)] = d;
      }
      table += fmt::format("{:.1f},{:.1f},{:.6f},{:.6f},{:.2f},{:.2f},{:.2f},{},{} {}\n", az, d, q.toLat, q.toLon,
                           res.netFieldDbu, res.freeSpaceDbu, res.modelLossDb, res.errLevel, res.mode[0],
                           res.mode[1]);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const fs::path results = out / "demo_results.csv";
  const fs::path summary = out / "demo_summary.txt";
  std::string text = fmt::format(
      "Longley-Rice radial study, sample terrain {}\n"
      "Transmitter {:.4f} {:.4f}, {} MHz, 50 kW ERP, antenna {} m AGL; receiver {} m AGL\n"
      "{} paths ({} failed) in {:.2f} s\n"
      "Net field from {:.2f} to {:.2f} dBu; {} points at or above 60 dBu\n\n"
      "Farthest point at or above 60 dBu per radial:\n",
      tile.filename().string(), txLat, txLon, base.freqMHz, base.txAglM, base.rxAglM, paths, failed, seconds,
      minField, maxField, above60);
  for (int r = 0; r < o.radials; ++r) {
    text += fmt::format("  {:6.1f} deg  {:5.1f} km\n", 360.0 * r / o.radials, reach[static_cast<std::size_t>(r)]);
  }
  if (!platform::WriteFileAtomic(results, table) || !platform::WriteFileAtomic(summary, text)) {
    std::cerr << "Cannot write the outputs in " << out << "\n";
    return 1;
  }
  std::cout << fmt::format("  {} paths ({} failed) in {:.2f} s; net field {:.2f} .. {:.2f} dBu\n", paths, failed,
                           seconds, minField, maxField)
            << "Outputs:\n"
            << "  results table: " << results.string() << "\n"
            << "  summary:       " << summary.string() << "\n"
            << "  template:      " << tpl.string() << "\n";
  return failed == paths ? 1 : 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto opts = std::make_shared<DemoOptions>();
  auto* cmd = app.add_subcommand("demo", "Run a radial study on the bundled sample terrain and print where its outputs are");
  cmd->add_option("--data", opts->data, "Directory of the bundled data");
  cmd->add_option("--out", opts->out, "Directory for the outputs");
  cmd->add_option("--radials", opts->radials, "Number of radials")->check(CLI::Range(1, 3600));
  cmd->add_option("--radius", opts->radiusKm, "Radius of the study, km")->check(CLI::Range(0.1, 100.0));
  cmd->add_option("--step", opts->stepKm, "Distance between points on a radial, km")->check(CLI::Range(0.05, 100.0));
  cmd->callback([opts] {
    const int rc = RunDemo(*opts);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
