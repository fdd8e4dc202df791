// ravoprop geo: datum conversion and coordinate text.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <string>

#include "Commands.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"

namespace zw::tool {
namespace {

struct GeoOptions {
  std::string from, to, dataDir, kind;
  double lat = 0, lon = 0, value = 0;
};

int RunConvert(const GeoOptions& o) {
  if (!o.dataDir.empty()) {
    const std::string m = CoordSysInit(o.dataDir);
    if (!m.empty()) std::cerr << kCoordDataMissingTitle << ": " << m << "\n";
  }
  auto key = [](const std::string& n) { return CoordSysIsValid(n) ? n : DatumLibKey(n); };
  const std::string src = key(o.from), dst = key(o.to);
  const CoordConversion r = ConvertPosition(src, dst, o.lat, o.lon);
  if (!r.bOK) {
    std::cerr << r.sError << "\n";
    return 1;
  }
  std::cout << fmt::format("{:.9f} {:.9f}\n", r.dLat, r.dLon);
  std::cout << "# " << src << " -> " << dst << ": " << r.Detail() << "\n";
  return 0;
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<GeoOptions>();
  auto* geo = app.add_subcommand("geo", "Coordinates: datum conversion and coordinate text");
  geo->require_subcommand(1);
  auto* conv = geo->add_subcommand("convert", "Convert a position between datums");
  conv->add_option("--from", o->from, "Datum or system of the position (NAD27, LL83, EPSG:4326 ...)")->required();
  conv->add_option("--to", o->to, "Datum or system wanted")->required();
  conv->add_option("--coord-data", o->dataDir, "Coordinate data directory (datum-shift grids)");
  conv->add_option("LAT", o->lat, "Latitude, decimal degrees")->required();
  conv->add_option("LON", o->lon, "Longitude, decimal degrees")->required();
  conv->callback([o] {
    const int rc = RunConvert(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
  auto* text = geo->add_subcommand("text", "Write a coordinate as degrees, minutes and seconds");
  text->add_option("VALUE", o->value, "Decimal degrees")->required();
  text->add_option("KIND", o->kind, "LT for a latitude, LN for a longitude")->required()->check(CLI::IsMember({"LT", "LN"}));
  text->callback([o] { std::cout << "\"" << CoordText(o->value, o->kind) << "\"\n"; });
});

}  // namespace
}  // namespace zw::tool
