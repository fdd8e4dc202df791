#include "coverage/ContourExport.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <fmt/format.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "coverage/CoverageFigures.h"
#include "platform/FileSystem.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

using Ring = std::vector<std::pair<double, double>>;

std::string GdalError(std::string_view what) {
  const char* msg = CPLGetLastErrorMsg();
  return std::string(what) + (msg && *msg ? std::string(": ") + msg : std::string());
}

// The raster framed by one cell far below every value, no-value cells too.
GDALDatasetH FramedRaster(const FieldRaster& r, double floor) {
  GDALDriverH mem = GDALGetDriverByName("MEM");
  if (!mem) return nullptr;
  const int w = r.width + 2, h = r.height + 2;
  GDALDatasetH ds = GDALCreate(mem, "", w, h, 1, GDT_Float64, nullptr);
  if (!ds) return nullptr;
  std::vector<double> v(static_cast<std::size_t>(w) * h, floor);
  for (int row = 0; row < r.height; ++row)
    for (int col = 0; col < r.width; ++col)
      if (const double x = r.Value(col, row); std::isfinite(x)) v[static_cast<std::size_t>(row + 1) * w + col + 1] = x;
  double gt[6] = {r.geo[0] - r.geo[1], r.geo[1], 0, r.geo[3] - r.geo[5], 0, r.geo[5]};
  GDALSetGeoTransform(ds, gt);
  if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, w, h, v.data(), w, h, GDT_Float64, 0, 0) != CE_None) {
    GDALClose(ds);
    return nullptr;
  }
  return ds;
}

std::vector<std::vector<Ring>> PolygonsOf(OGRGeometryH g) {
  std::vector<std::vector<Ring>> out;
  const auto type = wkbFlatten(OGR_G_GetGeometryType(g));
  if (type == wkbMultiPolygon) {
    for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) {
      auto sub = PolygonsOf(OGR_G_GetGeometryRef(g, i));
      out.insert(out.end(), sub.begin(), sub.end());
    }
  } else if (type == wkbPolygon) {
    std::vector<Ring> poly;
    for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) {
      OGRGeometryH ring = OGR_G_GetGeometryRef(g, i);
      Ring pts;
      for (int k = 0; k < OGR_G_GetPointCount(ring); ++k) pts.emplace_back(OGR_G_GetX(ring, k), OGR_G_GetY(ring, k));
      if (pts.size() >= 4) poly.push_back(std::move(pts));
    }
    if (!poly.empty()) out.push_back(std::move(poly));
  }
  return out;
}

// The area at or above one level of a framed raster.
std::string TraceLevel(GDALDatasetH raster, double level, ContourRing& out) {
  GDALDriverH memv = GDALGetDriverByName("Memory");
  if (!memv) return "GDAL has no Memory vector driver";
  GDALDatasetH vds = GDALCreate(memv, "", 0, 0, 0, GDT_Unknown, nullptr);
  if (!vds) return GdalError("Cannot create the contour layer");
  OGRLayerH layer = GDALDatasetCreateLayer(vds, "contour", nullptr, wkbMultiPolygon, nullptr);
  for (const char* name : {"id", "lo", "hi"}) {
    OGRFieldDefnH fd = OGR_Fld_Create(name, name[0] == 'i' ? OFTInteger : OFTReal);
    OGR_L_CreateField(layer, fd, TRUE);
    OGR_Fld_Destroy(fd);
  }
  char** opts = nullptr;
  opts = CSLSetNameValue(opts, "FIXED_LEVELS", fmt::format("{}", level).c_str());
  opts = CSLSetNameValue(opts, "POLYGONIZE", "YES");
  opts = CSLSetNameValue(opts, "ID_FIELD", "0");
  opts = CSLSetNameValue(opts, "ELEV_FIELD_MIN", "1");
  opts = CSLSetNameValue(opts, "ELEV_FIELD_MAX", "2");
  const CPLErr err = GDALContourGenerateEx(GDALGetRasterBand(raster, 1), layer, opts, nullptr, nullptr);
  CSLDestroy(opts);
  std::string error;
  if (err != CE_None) {
    error = GdalError("The contour generator failed");
  } else {
    OGR_L_ResetReading(layer);
    while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
      if (std::fabs(OGR_F_GetFieldAsDouble(f, 1) - level) < 1e-9 && OGR_F_GetGeometryRef(f)) {
        auto polys = PolygonsOf(OGR_F_GetGeometryRef(f));
        out.polygons.insert(out.polygons.end(), polys.begin(), polys.end());
      }
      OGR_F_Destroy(f);
    }
  }
  GDALClose(vds);
  return error;
}

Ring RingThrough(std::vector<RdbRecord> recs) {
  std::stable_sort(recs.begin(), recs.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
  Ring ring;
  for (const auto& p : recs)
    if (IsComputed(p.val)) ring.emplace_back(p.lon, p.lat);
  if (ring.size() >= 3) ring.push_back(ring.front());
  return ring;
}

std::string LevelsText(const std::vector<double>& levels) {
  std::string t;
  for (double l : levels) t += (t.empty() ? "" : ", ") + FormatGeneral(l);
  return t;
}

}  // namespace

std::optional<VectorFormat> ParseVectorFormat(std::string_view name) {
  const std::string n = ToLower(Trim(name));
  if (n == "geojson" || n == "json") return VectorFormat::GeoJson;
  if (n == "kml") return VectorFormat::Kml;
  if (n == "shp" || n == "shapefile") return VectorFormat::Shapefile;
  return std::nullopt;
}

std::string StudyContours(const StudyResults& study, const ExportOptions& options, const std::vector<double>& levels,
                          std::vector<ContourRing>& out) {
  out.clear();
  const auto receive = TaskReceiveLevel(study);
  // Contours stored in the table, or a study of contour points: their polygon.
  if (levels.empty() && (!study.contours.empty() || study.pointPerRadial)) {
    const auto sets = !study.contours.empty() ? study.contours : std::vector<std::vector<RdbRecord>>{study.points};
    for (const auto& set : sets) {
      ContourRing c;
      if (!study.contours.empty()) c.level = set.front().val;
      else if (receive) std::tie(c.level, c.unit) = *receive;
      else c.level = std::numeric_limits<double>::quiet_NaN();
      if (Ring r = RingThrough(set); !r.empty()) c.polygons.push_back({std::move(r)});
      if (!c.polygons.empty()) out.push_back(std::move(c));
    }
    if (out.empty()) return "Study " + study.code + " has fewer than three contour points: no polygon to write";
    return {};
  }
  if (study.pointPerRadial)
    return "Study " + study.code + " holds one point per radial: its contour is the polygon of its points; "
           "--levels applies to field maps (tile and stepped radial studies)";
  std::vector<double> want = levels;
  if (want.empty()) {
    const auto t = StudyThreshold(study);
    if (!t) return "The task file gives no receive level in " + study.unit + ": give the levels, e.g. --levels 60,70";
    want.push_back(*t);
  }
  FieldRaster raster;
  if (auto err = RasteriseStudy(study, options, raster); !err.empty()) return err;
  double lo = *std::min_element(want.begin(), want.end());
  for (float v : raster.values)
    if (std::isfinite(v)) lo = std::min(lo, static_cast<double>(v));
  GDALAllRegister();
  GDALDatasetH ds = FramedRaster(raster, lo - 1000.0);
  if (!ds) return GdalError("Cannot build the raster to trace");
  std::string error;
  for (double level : want) {
    ContourRing c;
    c.level = level;
    c.unit = study.unit;
    c.quantity = study.quantity;
    if (error = TraceLevel(ds, level, c); !error.empty()) break;
    if (!c.polygons.empty()) out.push_back(std::move(c));
  }
  GDALClose(ds);
  if (!error.empty()) return error;
  if (out.empty())
    return fmt::format("No point of study {} reaches {} {}: no contour to write", study.code, LevelsText(want),
                       study.unit);
  return {};
}

std::string WriteContours(const std::vector<ContourRing>& contours, VectorFormat format, const fs::path& file) {
  static std::atomic<unsigned> counter{0};
  GDALAllRegister();
  const char* driverName = format == VectorFormat::GeoJson ? "GeoJSON" : format == VectorFormat::Kml ? "KML" : "ESRI Shapefile";
  GDALDriverH drv = GDALGetDriverByName(driverName);
  if (!drv) return std::string("GDAL has no ") + driverName + " driver";
  const std::string dir = fmt::format("/vsimem/ravo_contours_{}", counter++);
  const std::string ext = format == VectorFormat::GeoJson ? ".geojson" : format == VectorFormat::Kml ? ".kml" : ".shp";
  const std::string mem = dir + "/" + file.stem().string() + ext;
  VSIMkdir(dir.c_str(), 0755);
  GDALDatasetH ds = GDALCreate(drv, mem.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!ds) return GdalError("Cannot create " + file.string());
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRSetWellKnownGeogCS(srs, "WGS84");
  OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayerH layer = GDALDatasetCreateLayer(ds, "contours", srs, wkbMultiPolygon, nullptr);
  OSRDestroySpatialReference(srs);
  std::string error = layer ? "" : GdalError("Cannot create the contour layer");
  const std::pair<const char*, OGRFieldType> fields[] = {{"level", OFTReal}, {"unit", OFTString}, {"quantity", OFTString}};
  for (const auto& [name, type] : fields) {
    if (!error.empty()) break;
    OGRFieldDefnH fd = OGR_Fld_Create(name, type);
    if (OGR_L_CreateField(layer, fd, TRUE) != OGRERR_NONE) error = GdalError("Cannot add the field " + std::string(name));
    OGR_Fld_Destroy(fd);
  }
  for (const auto& c : contours) {
    if (!error.empty()) break;
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    // By name: KML layers come with Name and Description fields first.
    if (std::isfinite(c.level)) OGR_F_SetFieldDouble(f, OGR_F_GetFieldIndex(f, "level"), c.level);
    OGR_F_SetFieldString(f, OGR_F_GetFieldIndex(f, "unit"), c.unit.c_str());
    OGR_F_SetFieldString(f, OGR_F_GetFieldIndex(f, "quantity"), c.quantity.c_str());
    if (const int name = OGR_F_GetFieldIndex(f, "Name"); name >= 0)
      OGR_F_SetFieldString(f, name, fmt::format("{} {} {}", c.quantity, FormatGeneral(c.level), c.unit).c_str());
    OGRGeometryH multi = OGR_G_CreateGeometry(wkbMultiPolygon);
    for (const auto& poly : c.polygons) {
      OGRGeometryH pg = OGR_G_CreateGeometry(wkbPolygon);
      for (const auto& ring : poly) {
        OGRGeometryH lr = OGR_G_CreateGeometry(wkbLinearRing);
        for (const auto& [x, y] : ring) OGR_G_AddPoint_2D(lr, x, y);
        OGR_G_AddGeometryDirectly(pg, lr);
      }
      OGR_G_AddGeometryDirectly(multi, pg);
    }
    OGR_F_SetGeometryDirectly(f, multi);
    if (OGR_L_CreateFeature(layer, f) != OGRERR_NONE) error = GdalError("Cannot write a contour");
    OGR_F_Destroy(f);
  }
  GDALClose(ds);
  // The files GDAL wrote, each moved onto its own name beside the target.
  char** names = VSIReadDir(dir.c_str());
  for (int i = 0; names && names[i] && error.empty(); ++i) {
    const std::string name = names[i];
    const fs::path target = file.parent_path() / (file.stem().string() + fs::path(name).extension().string());
    vsi_l_offset size = 0;
    std::string memFile = dir;
    memFile.append("/").append(name);
    GByte* data = VSIGetMemFileBuffer(memFile.c_str(), &size, FALSE);
    if (!data) error = "GDAL produced no data for " + target.string();
    else if (std::string why; !platform::WriteFileAtomic(
                 format == VectorFormat::Shapefile ? target : file,
                 std::string_view(reinterpret_cast<const char*>(data), size), &why))
      error = "Cannot write " + target.string() + ": " + why;
  }
  CSLDestroy(names);
  VSIRmdirRecursive(dir.c_str());
  return error;
}

std::string ExportContours(const fs::path& table, VectorFormat format, const fs::path& file,
                           const std::vector<double>& levels, const ExportOptions& options) {
  StudyResults study;
  if (auto err = LoadStudyResults(table, options, study); !err.empty()) return err;
  std::vector<ContourRing> contours;
  if (auto err = StudyContours(study, options, levels, contours); !err.empty()) return err;
  return WriteContours(contours, format, file);
}

}  // namespace zw::coverage
