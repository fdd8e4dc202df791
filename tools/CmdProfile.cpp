// ravoprop profile: the terrain profile between two points.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Commands.h"
#include "geo/CoordText.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw::tool {
namespace {

struct ProfileOptions {
  std::string dem;
  std::string from, to;
  double step = 0;
  bool csv = false, json = false;
  std::vector<std::string> obs;
  std::string datum = "WGS 84";
};

int RunProfile(const ProfileOptions& o) {
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
  cmd->callback([o] {
    const int rc = RunProfile(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
