// The files of the data exports: GeoTIFF (through GDAL's in-memory files),
// the KML document, GeoJSON and CSV.
#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <fmt/format.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/TextJoin.h"
#include "coverage/ResultsExport.h"
#include "platform/FileSystem.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

constexpr float kGeoTiffNoData = -9999.0f;

// A unique in-memory file name for GDAL output.
std::string MemName(std::string_view ext) {
  static std::atomic<unsigned> counter{0};
  return fmt::format("/vsimem/ravo_export_{}.{}", counter++, ext);
}

// Moves a finished in-memory GDAL file onto the target (temporary, rename).
std::string CommitMemFile(const std::string& mem, const fs::path& file) {
  vsi_l_offset size = 0;
  GByte* data = VSIGetMemFileBuffer(mem.c_str(), &size, FALSE);
  std::string error;
  if (data == nullptr || size == 0) {
    error = "GDAL produced no data for " + file.string();
  } else if (!platform::WriteFileAtomic(file, std::string_view(reinterpret_cast<const char*>(data), size), &error)) {
    error = "Cannot write " + file.string() + ": " + error;
  }
  VSIUnlink(mem.c_str());
  VSIUnlink((mem + ".aux.xml").c_str());
  return error;
}

std::string GdalError(std::string_view what) {
  const char* msg = CPLGetLastErrorMsg();
  return std::string(what) + (msg && *msg ? std::string(": ") + msg : std::string());
}

std::string WriteText(const fs::path& file, const std::string& text) {
  std::string error;
  if (!platform::WriteFileAtomic(file, text, &error)) return "Cannot write " + file.string() + ": " + error;
  return {};
}

std::string XmlEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out.push_back(c);
    }
  }
  return out;
}

// Table text may hold any byte; JSON wants valid UTF-8. Bytes that are not
// ASCII are taken as Latin-1 (the tables' own code page).
std::string ToUtf8(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string CsvField(std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string Num(double v) { return fmt::format("{}", v); }

}  // namespace

std::string WriteGeoTiff(const FieldRaster& raster, const fs::path& file, const std::string& quantity,
                         const std::string& unit) {
  if (raster.width <= 0 || raster.height <= 0) return "Nothing to write to " + file.string();
  GDALAllRegister();
  GDALDriverH drv = GDALGetDriverByName("GTiff");
  if (!drv) return "GDAL has no GTiff driver";
  const std::string mem = MemName("tif");
  const char* opts[] = {"COMPRESS=DEFLATE", nullptr};
  GDALDatasetH ds = GDALCreate(drv, mem.c_str(), raster.width, raster.height, 1, GDT_Float32, const_cast<char**>(opts));
  if (!ds) return GdalError("Cannot create the GeoTIFF");
  std::string error;
  double gt[6];
  std::copy(raster.geo, raster.geo + 6, gt);
  GDALSetGeoTransform(ds, gt);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRSetWellKnownGeogCS(srs, "WGS84");
  char* wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  GDALSetProjection(ds, wkt);
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  GDALSetRasterNoDataValue(band, kGeoTiffNoData);
  GDALSetMetadataItem(band, "UNITS", unit.c_str(), nullptr);
  GDALSetMetadataItem(band, "QUANTITY", quantity.c_str(), nullptr);
  GDALSetMetadataItem(band, "UNIT", unit.c_str(), nullptr);
  GDALSetMetadataItem(ds, "QUANTITY", quantity.c_str(), nullptr);
  GDALSetMetadataItem(ds, "UNIT", unit.c_str(), nullptr);
  GDALSetRasterUnitType(band, unit.c_str());
  GDALSetDescription(band, (quantity + " (" + unit + ")").c_str());
  std::vector<float> data(raster.values);
  for (float& v : data)
    if (!std::isfinite(v)) v = kGeoTiffNoData;
  if (GDALRasterIO(band, GF_Write, 0, 0, raster.width, raster.height, data.data(), raster.width, raster.height,
                   GDT_Float32, 0, 0) != CE_None)
    error = GdalError("Cannot write the GeoTIFF values");
  GDALClose(ds);
  if (!error.empty()) {
    VSIUnlink(mem.c_str());
    return error;
  }
  return CommitMemFile(mem, file);
}

std::string KmlDocument(const StudyResults& study, const FieldRaster& raster, const std::string& overlayName,
                        const std::string& legendName) {
  const std::string stem = fs::path(overlayName).stem().string();
  const double north = raster.geo[3], south = raster.geo[3] + raster.height * raster.geo[5];
  const double west = raster.geo[0], east = raster.geo[0] + raster.width * raster.geo[1];
  std::string title = study.quantity + " (" + study.unit + ")";
  if (!title.empty()) title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
  const std::string data = fmt::format(
      "    <ExtendedData><Data name=\"quantity\"><value>{}</value></Data>"
      "<Data name=\"unit\"><value>{}</value></Data></ExtendedData>\n",
      XmlEscape(study.quantity), XmlEscape(study.unit));
  std::string k;
  k += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
  k += fmt::format("  <name>{}</name>\n", XmlEscape(ToUtf8(study.code.empty() ? stem : study.code)));
  k += data;
  if (!raster.pointsOnly) {
    k += fmt::format("  <GroundOverlay>\n    <name>{}</name>\n", XmlEscape(title));
    k += fmt::format("    <Icon><href>{}</href></Icon>\n", XmlEscape(overlayName));
    k += fmt::format(
        "    <LatLonBox>\n      <north>{:.9f}</north>\n      <south>{:.9f}</south>\n      <east>{:.9f}</east>\n"
        "      <west>{:.9f}</west>\n    </LatLonBox>\n  </GroundOverlay>\n",
        north, south, east, west);
  } else {
    // One point per radial: the points with their values, and the closed contour.
    k += fmt::format("  <Folder>\n    <name>{}</name>\n", XmlEscape(title));
    for (const auto& p : study.points) {
      const double v = study.ValueOf(p);
      k += fmt::format("    <Placemark>\n      <name>{}</name>\n",
                       std::isfinite(v) ? fmt::format("{:.2f} {}", v, XmlEscape(study.unit)) : std::string("no data"));
      k += fmt::format("      <description>azimuth {} deg, {} km</description>\n", Num(p.az), Num(p.dis));
      k += "  " + data;
      k += fmt::format("      <Point><coordinates>{:.9f},{:.9f},0</coordinates></Point>\n    </Placemark>\n", p.lon,
                       p.lat);
    }
    for (const auto& ring : raster.rings) {
      k += "    <Placemark>\n      <name>Contour</name>\n      <Style><LineStyle><width>2</width></LineStyle>"
           "<PolyStyle><fill>0</fill></PolyStyle></Style>\n      <Polygon><outerBoundaryIs><LinearRing><coordinates>";
      for (const auto& [lat, lon] : ring) k += fmt::format("{:.9f},{:.9f},0 ", lon, lat);
      k += fmt::format("{:.9f},{:.9f},0</coordinates></LinearRing></outerBoundaryIs></Polygon>\n    </Placemark>\n",
                       ring.front().second, ring.front().first);
    }
    k += "  </Folder>\n";
  }
  k += fmt::format("  <ScreenOverlay>\n    <name>Legend ({})</name>\n", XmlEscape(study.unit));
  k += fmt::format("    <Icon><href>{}</href></Icon>\n", XmlEscape(legendName));
  k += "    <overlayXY x=\"0\" y=\"0\" xunits=\"fraction\" yunits=\"fraction\"/>\n"
       "    <screenXY x=\"0.01\" y=\"0.05\" xunits=\"fraction\" yunits=\"fraction\"/>\n  </ScreenOverlay>\n";
  if (study.tx) {
    const std::string name = Trim(study.tx->desc.size() > 6 ? study.tx->desc.substr(6) : std::string());
    k += fmt::format("  <Placemark>\n    <name>{}</name>\n", XmlEscape(ToUtf8(name.empty() ? "Transmitter" : name)));
    k += fmt::format("    <Point><coordinates>{:.9f},{:.9f},0</coordinates></Point>\n  </Placemark>\n",
                     study.tx->lon, study.tx->lat);
  }
  for (const auto& c : study.contours) {
    if (c.size() < 2 || raster.pointsOnly) continue;
    k += fmt::format("  <Placemark>\n    <name>{}</name>\n    <LineString><coordinates>", XmlEscape(ToUtf8(c.front().desc)));
    for (const auto& p : c) k += fmt::format("{:.9f},{:.9f},0 ", p.lon, p.lat);
    k += fmt::format("{:.9f},{:.9f},0</coordinates></LineString>\n  </Placemark>\n", c.front().lon, c.front().lat);
  }
  k += "</Document>\n</kml>\n";
  return k;
}

std::string WriteGeoJson(const StudyResults& study, const fs::path& file) {
  using nlohmann::json;
  auto orNull = [](bool empty, double v) { return empty ? json(nullptr) : json(v); };
  json features = json::array();
  if (study.tx) {
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Point"}, {"coordinates", {study.tx->lon, study.tx->lat}}}},
                        {"properties",
                         {{"kind", "transmitter"},
                          {"quantity", study.quantity},
                          {"unit", study.unit},
                          {"desc", ToUtf8(study.tx->desc)},
                          {"elevation", orNull(study.tx->elvEmpty, study.tx->elv)}}}});
  }
  for (const auto& p : study.points) {
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Point"}, {"coordinates", {p.lon, p.lat}}}},
                        {"properties",
                         {{"kind", "point"},
                          {"desc", ToUtf8(p.desc)},
                          {"azimuth", p.az},
                          {"distance", p.dis},
                          {"value", orNull(!IsComputed(p.val), study.ValueOf(p))},
                          {"quantity", study.quantity},
                          {"unit", study.unit},
                          {"elevation", orNull(p.elvEmpty, p.elv)},
                          {"landuse_code", p.luEmpty ? json(nullptr) : json(p.luCode)}}}});
  }
  // The contours of the table, or for a study of one point per radial
  // without any, the closed ring through its points.
  std::vector<std::vector<RdbRecord>> rings = study.contours;
  if (rings.empty() && study.pointPerRadial) {
    std::vector<RdbRecord> byAz;
    for (const auto& p : study.points)
      if (IsComputed(p.val)) byAz.push_back(p);
    std::stable_sort(byAz.begin(), byAz.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
    rings.push_back(byAz);
  }
  for (const auto& c : rings) {
    if (c.size() < 3) continue;  // no area to enclose
    json ring = json::array();
    for (const auto& p : c) ring.push_back({p.lon, p.lat});
    ring.push_back({c.front().lon, c.front().lat});
    // A contour's own value is the field level it follows (dBu).
    features.push_back({{"type", "Feature"},
                        {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}},
                        {"properties",
                         {{"kind", "contour"},
                          {"desc", ToUtf8(c.front().desc)},
                          {"level_dbu", c.front().val},
                          {"quantity", study.quantity},
                          {"unit", study.unit}}}});
  }
  json fc = {{"type", "FeatureCollection"}, {"quantity", study.quantity}, {"unit", study.unit}, {"features", features}};
  return WriteText(file, fc.dump(1) + "\n");
}

std::string WriteCsv(const StudyResults& study, const fs::path& file) {
  std::string out =
      "record,desc,lat,lon,azimuth_deg,distance_km,value,quantity,unit,elevation_m,landuse_code,landuse_loss_db,"
      "warning_level,warning_bits\r\n";
  const std::string what = CsvField(study.quantity) + "," + CsvField(study.unit);
  for (const auto& r : study.all) {
    const double v = study.ValueOf(r);
    out += fmt::format("{},{},{:.9f},{:.9f},{},{},{},{},{},{},{},{},{}\r\n", r.record, CsvField(r.desc), r.lat, r.lon,
                       Num(r.az), Num(r.dis), std::isfinite(v) ? Num(v) : std::string(), what,
                       r.elvEmpty ? std::string() : Num(r.elv), r.luEmpty ? std::string() : Num(r.luCode),
                       r.luEmpty ? std::string() : Num(r.luLoss), r.wrnLvl, r.wrnBits);
  }
  return WriteText(file, out);
}

}  // namespace zw::coverage
