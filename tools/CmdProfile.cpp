// ravoprop profile: the terrain profile between two points.
#include <fmt/format.h>

#include <iostream>
#include <cmath>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Commands.h"
#include "geo/CoordText.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"
#include "plot/Canvas.h"
#include "plot/ProfilePlot.h"

namespace zw::tool {
namespace {

struct ProfileOptions {
  std::string dem;
  std::string from, to;
  double step = 0;
  bool csv = false, json = false;
  std::vector<std::string> obs;
  std::string datum = "WGS 84";
  // The plot: antennas (either height given), frequency for the Fresnel zone, effective earth.
  std::string plot;
  std::optional<double> txAgl, rxAgl;
  double freq = 0, k = 4.0 / 3.0;
  std::string units = "metric";
};

// The plot of the extracted profile; "" or the message.
std::string PlotProfile(const ProfileOptions& o, const platform::clsPathElv& path, bool withObs) {
  plot::ProfilePlot p;
  p.distM = path.DIS_Array();
  p.elevM = path.ELV_Array();
  if (withObs) p.elevObsM = path.ELV_ArrayOBS();
  p.antennas = o.txAgl.has_value() || o.rxAgl.has_value();
  p.txAglM = o.txAgl.value_or(0);
  p.rxAglM = o.rxAgl.value_or(0);
  p.kFactor = o.k;
  p.freqMHz = o.freq;
  p.imperial = o.units == "imperial";
  p.title = fmt::format("{} to {}", o.from, o.to);
  p.subtitle = fmt::format("azimuth {:.2f} deg   length {:.3f} km   {} points   k = {:.3f}{}", path.dPathAz(),
                           path.dPathLth() / 1000.0, path.DIS_Array().size(), o.k,
                           o.freq > 0 ? fmt::format("   {:.3f} MHz", o.freq) : std::string());
  return plot::DrawProfilePlot(p, o.plot);
}

int RunProfile(const ProfileOptions& o) {
  if (!o.plot.empty() && !plot::ImageKindOf(o.plot)) {
    std::cerr << plot::ImageKindError(o.plot) << "\n";
    return 2;
  }
  for (double v : {o.txAgl.value_or(0), o.rxAgl.value_or(0), o.freq})
    if (!std::isfinite(v) || v < 0 || v > 1e6) {
      std::cerr << "--tx-agl, --rx-agl and --freq take numbers of 0 or above (metres, MHz)\n";
      return 2;
    }
  if (!(o.k > 0) || !std::isfinite(o.k)) {
    std::cerr << "--k-value takes the effective earth-radius factor above 0, e.g. 1.333\n";
    return 2;
  }
  double lat1 = 0, lon1 = 0, lat2 = 0, lon2 = 0;
  std::string why;
  if (!ParseLatLonText(o.from, lat1, lon1, &why) || !ParseLatLonText(o.to, lat2, lon2, &why)) {
    std::cerr << "Points are given as LAT,LON: " << why << "\n";
    return 2;
  }
  auto terrain = std::make_shared<platform::TerrainSource>();
  const std::string msg = terrain->Add(o.dem);
  if (!msg.empty()) std::cerr << msg << "\n";
  if (terrain->SourceCount() == 0) {
    std::cerr << "No usable elevation data in " << o.dem << "\n";
    return 1;
  }
  platform::clsPathElv path(terrain);
  path.sDatum(o.datum);
  path.dStartLat(lat1);
  path.dStartLon(lon1);
  path.dEndLat(lat2);
  path.dEndLon(lon2);
  path.dStep(o.step);
  if (!o.obs.empty()) {
    auto obs = std::make_shared<platform::clsObstructions>();
    for (const auto& f : o.obs) obs->AddFile(f);
    obs->bUse(true);
    const std::string om = obs->Load();
    if (!om.empty()) std::cerr << om << "\n";
    path.cOBS(obs);
  }
  if (!path.ExtractProfile()) {
    std::cerr << path.sMessage() << "\n";
    return 1;
  }
  if (!path.sMessage().empty()) std::cerr << path.sMessage() << "\n";
  const auto& d = path.DIS_Array();
  const auto& e = path.ELV_Array();
  const auto& eo = path.ELV_ArrayOBS();
  const bool withObs = !o.obs.empty();
  if (!o.plot.empty()) {
    if (auto err = PlotProfile(o, path, withObs); !err.empty()) {
      std::cerr << err << "\n";
      return 1;
    }
    if (!o.csv && !o.json) std::cerr << "Profile plot: " << o.plot << "\n";
  }
  if (o.json) {
    nlohmann::json j;
    j["azimuth_deg"] = path.dPathAz();
    j["length_m"] = path.dPathLth();
    j["points"] = d.size();
    auto& pts = j["profile"] = nlohmann::json::array();
    for (std::size_t i = 0; i < d.size(); ++i) {
      nlohmann::json p{{"distance_m", d[i]}, {"elevation_m", e[i]}};
      if (withObs) p["elevation_obs_m"] = eo[i];
      pts.push_back(p);
    }
    std::cout << j.dump(1) << "\n";
    return 0;
  }
  if (!o.csv) std::cout << fmt::format("# azimuth {:.6f} deg, length {:.3f} m, {} points\n", path.dPathAz(), path.dPathLth(), d.size());
  std::cout << (withObs ? "distance_m,elevation_m,elevation_obs_m\n" : "distance_m,elevation_m\n");
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (withObs)
      std::cout << fmt::format("{:.3f},{:.2f},{:.2f}\n", d[i], e[i], eo[i]);
    else
      std::cout << fmt::format("{:.3f},{:.2f}\n", d[i], e[i]);
  }
  return 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<ProfileOptions>();
  auto* cmd = app.add_subcommand("profile", "Print the terrain profile between two points");
  cmd->add_option("--dem", o->dem, "DEM file or directory of DEM files")->required();
  cmd->add_option("--from", o->from, "Start point LAT,LON (decimal degrees)")->required()->allow_extra_args(false);
  cmd->add_option("--to", o->to, "End point LAT,LON (decimal degrees)")->required()->allow_extra_args(false);
  cmd->add_option("--step", o->step, "Sampling step in metres (default: the DEM spacing)");
  cmd->add_option("--obs", o->obs, "Obstruction DBF file(s) to add to the profile");
  cmd->add_option("--datum", o->datum, "Datum of the points (NAD 27, NAD 83, WGS 84, WGS 72)");
  auto* csv = cmd->add_flag("--csv", o->csv, "CSV only, without the header comment");
  cmd->add_flag("--json", o->json, "JSON output")->excludes(csv);
  cmd->add_option("--plot", o->plot, "Draw the profile: FILE.png, .svg or .pdf");
  cmd->add_option("--tx-agl", o->txAgl, "Plot: transmitter antenna height above ground, m (draws the ray)");
  cmd->add_option("--rx-agl", o->rxAgl, "Plot: receiver antenna height above ground, m");
  cmd->add_option("--freq", o->freq, "Plot: frequency, MHz (draws the first Fresnel zone)");
  cmd->add_option("--k-value", o->k, "Plot: effective earth-radius factor (default 4/3)");
  cmd->add_option("--units", o->units, "Plot: axes in metric (km, m; the default) or imperial (mi, ft) units")
      ->transform(CLI::IsMember({"metric", "imperial"}, CLI::ignore_case));
  cmd->callback([o] {
    const int rc = RunProfile(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
