// ravoprop geo: datum conversion and coordinate text.
#include <fmt/format.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "Commands.h"
#include "platform/NumberFormat.h"
#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"

namespace zw::tool {
namespace {

struct GeoOptions {
  std::string from, to, dataDir, kind;
  std::string lat, lon;
  double value = 0;
};

constexpr const char* kAccepted =
    "give a datum (NAD 27, NAD 83, WGS 84, WGS 72), a system key (LL27, LL83, LL84, LL72; LL for no datum "
    "conversion) or EPSG:n of a geographic (latitude/longitude) system, e.g. EPSG:4326";

// The system key of a datum or system name; "" after saying why on stderr.
std::string SystemKey(const char* option, const std::string& name) {
  if (CoordSysIsValid(name)) return name;
  if (!DatumDisplayName(name).empty()) return DatumLibKey(name);
  std::cerr << option << " '" << name << "' is not a datum or geographic system this command converts: " << kAccepted
            << "\n";
  return {};
}

int RunConvert(const GeoOptions& o) {
  if (!o.dataDir.empty()) {
    const std::string m = CoordSysInit(o.dataDir);
    if (!m.empty()) std::cerr << kCoordDataMissingTitle << ": " << m << "\n";
  }
  const std::string src = SystemKey("--from", o.from), dst = src.empty() ? "" : SystemKey("--to", o.to);
  if (src.empty() || dst.empty()) return 2;
  double lat = 0, lon = 0;
  std::string why;
  if (!ParseCoordinate(o.lat, "LT", lat, &why) || !ParseCoordinate(o.lon, "LN", lon, &why)) {
    std::cerr << why << "\n";
    return 2;
  }
  const CoordConversion r = ConvertPosition(src, dst, lat, lon);
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
  conv->add_option("LAT", o->lat, "Latitude: decimal degrees or \"44 26 11.4 N\"")->required();
  conv->add_option("LON", o->lon, "Longitude: decimal degrees or \"71 24 47.2 W\"")->required();
  conv->callback([o] {
    const int rc = RunConvert(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
  auto* text = geo->add_subcommand("text", "Write a coordinate as degrees, minutes and seconds");
  text->add_option("VALUE", o->value, "Decimal degrees")->required();
  text->add_option("KIND", o->kind, "LT for a latitude, LN for a longitude")->required()->check(CLI::IsMember({"LT", "LN"}));
  text->callback([o] {
    // A latitude lies within -90..90, a longitude within -180..180; the
    // hemisphere letter follows the sign (S and W below 0).
    const double limit = o->kind == "LT" ? 90.0 : 180.0;
    if (!(std::fabs(o->value) <= limit)) {
      std::cerr << FormatGeneral(o->value) << " is not a " << (o->kind == "LT" ? "latitude" : "longitude")
                << ": give decimal degrees from " << -limit << " to " << limit << "\n";
      throw CLI::RuntimeError(2);
    }
    std::cout << "\"" << CoordText(o->value, o->kind) << "\"\n";
  });
});

}  // namespace
}  // namespace zw::tool
