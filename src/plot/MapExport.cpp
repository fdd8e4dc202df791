#include "plot/MapExport.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <limits>

#include "common/TextJoin.h"
#include "coverage/ContourExport.h"
#include "coverage/CoverageFigures.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "plot/CategoryMap.h"
#include "plot/StudyMap.h"

namespace zw::plot {

namespace fs = std::filesystem;

namespace {

// Title and subtitle from the task file beside the table (T<n>.INI).
void Titles(const coverage::StudyResults& s, std::optional<double> threshold, MapDecor& d) {
  const std::string stem = s.table.stem().string();
  const fs::path task = s.table.parent_path() / ("T" + (stem.empty() ? std::string() : stem.substr(1)) + ".INI");
  auto get = [&](const char* section, const char* key) { return Trim(platform::ProfileGetString(section, key, "", task)); };
  std::string id = get("TASK", "Task ID");
  while (id.size() > 1 && id[0] == '0') id.erase(0, 1);
  const std::string desc = get("TASK", "Task Desc");
  d.title = id.empty() ? "Study " + s.code : "Task " + id + ": " + (desc.empty() ? s.code : desc);
  std::vector<std::string> parts;
  if (const std::string fac = get("Facility Data", "FAC_DESC"); !fac.empty()) parts.push_back(fac);
  if (!s.model.empty()) parts.push_back(s.model);
  if (const std::string f = get("Facility Data", "TX_FREQMHZ"); !f.empty()) parts.push_back(f + " MHz");
  if (threshold) parts.push_back(fmt::format("threshold {} {}", AxisLabel(*threshold), s.unit));
  parts.push_back(Trim(s.code) + (s.tile ? " (tile study)" : s.pointPerRadial ? " (contour points)" : " (radial study)"));
  for (const auto& p : parts) d.subtitle += (d.subtitle.empty() ? "" : "   |   ") + p;
  if (s.tx) d.txName = Trim(s.tx->desc.size() > 6 ? s.tx->desc.substr(6) : std::string());
  MarkTransmitters(s, d);
}

std::string ChooseScale(const coverage::StudyResults& s, const coverage::FieldRaster& r, const MapOptions& o,
                        std::optional<double> threshold, MapScale& out) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  auto take = [&](double v) {
    if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  };
  for (float v : r.values) take(v);
  for (const auto& m : r.marks) take(m.value);
  switch (o.scale) {
    case ScaleKind::Fixed: out = FixedScale(s.quantity, s.unit, lo, hi); break;
    case ScaleKind::Auto: out = AutoMapScale(s.quantity, s.unit, lo, hi); break;
    case ScaleKind::Threshold:
      if (!threshold) return "The covered / not covered scale needs a threshold in " + s.unit + ": give --threshold";
      out = ThresholdScale(s.quantity, s.unit, *threshold);
      break;
  }
  return {};
}

}  // namespace

std::string ExportMap(const fs::path& table, const fs::path& file, const MapOptions& o, std::string* note) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool kml = ext == ".kml";
  if (!kml && !ImageKindOf(file)) return ImageKindError(file) + " (or .kml for Google Earth)";
  // Best-server and interference studies: a map of their classes.
  if (!kml && IsCategoryStudy(table)) return ExportCategoryMap(table, file, o, note);
  coverage::StudyResults s;
  if (auto err = coverage::LoadStudyResults(table, o.study, s); !err.empty()) return err;
  coverage::FieldRaster r;
  if (auto err = coverage::RasteriseStudy(s, o.study, r); !err.empty()) return err;
  std::vector<std::string> notes;
  if (s.computed < static_cast<int>(s.points.size()))
    notes.push_back(fmt::format("{} of {} points have no result (not computed or failed); they are drawn as no value",
                                s.points.size() - s.computed, s.points.size()));
  const std::optional<double> threshold = o.threshold ? o.threshold : coverage::StudyThreshold(s);
  MapScale scale;
  if (auto err = ChooseScale(s, r, o, threshold, scale); !err.empty()) return err;
  MapDecor d;
  Titles(s, threshold, d);
  if (threshold && !r.pointsOnly) {
    std::vector<coverage::ContourRing> rings;
    if (coverage::StudyContours(s, o.study, {*threshold}, rings).empty())
      for (const auto& c : rings)
        for (const auto& poly : c.polygons)
          for (const auto& ring : poly) d.contour.push_back(ring);
    d.contourLabel = fmt::format("{} {} contour", AxisLabel(*threshold), s.unit);
  }
  if (!r.pointsOnly)
    for (const auto& set : s.contours) {
      LonLatRing ring;
      for (const auto& p : set)
        if (coverage::IsComputed(p.val)) ring.emplace_back(p.lon, p.lat);
      if (ring.size() < 3) continue;
      ring.push_back(ring.front());
      d.stored.push_back(std::move(ring));
      d.storedLabel = "study contour " + Trim(set.front().desc.size() > 3 ? set.front().desc.substr(3) : set.front().desc);
    }
  Shade shade;
  if (!o.dem.empty() && !kml) {
    const MapLayout L = PlanMap(r);
    // The raster's box at the map's pixels.
    const int w = static_cast<int>(L.mapW), h = static_cast<int>(L.mapH);
    const double geo[6] = {r.geo[0], r.geo[1] * r.width / w, 0, r.geo[3], 0, r.geo[5] * r.height / h};
    if (auto err = HillshadeFor(o.dem, geo, w, h, shade); err.empty())
      d.shade = &shade;
    else
      notes.push_back("no terrain shading: " + err);
  }
  if (note) {
    note->clear();
    for (const auto& n : notes) *note = JoinLines(*note, n);
  }
  if (!kml) return DrawStudyMap(r, scale, d, file);
  // The KML carries the study's own contours, not the traced one.
  d.contour.clear();
  const std::string stem = file.stem().string();
  const std::string overlay = r.pointsOnly ? std::string() : stem + "_overlay.png", legend = stem + "_legend.png";
  if (!overlay.empty())
    if (auto err = DrawOverlay(r, scale, file.parent_path() / overlay); !err.empty()) return err;
  if (auto err = DrawLegendPicture(scale, d, file.parent_path() / legend); !err.empty()) return err;
  std::string why;
  if (!platform::WriteFileAtomic(file, coverage::KmlDocument(s, r, overlay, legend), &why))
    return "Cannot write " + file.string() + ": " + why;
  return {};
}

}  // namespace zw::plot
