// The study of a task's files read back (ReadStudy) and told in words
// (DescribeStudy).
#include <cmath>

#include "common/Config.h"
#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"
#include "tasks/StudyBuilder.h"

namespace zw::tasks {
namespace {

std::string G(double v) { return FormatGeneral(v); }
std::string Words(const ValueUnit& v) { return G(v.value) + " " + v.unit; }

std::string Get(const platform::ProfileEntries& all, std::string_view key) {
  for (const auto& [k, v] : all)
    if (EqualsNoCase(k, key)) return Trim(v);
  return {};
}

std::optional<double> Number(const std::string& text) {
  double v = 0;
  if (text.empty() || !TryParseDouble(text, v)) return std::nullopt;
  return v;
}

std::optional<ValueUnit> Quantity(const std::string& value, const std::string& unit) {
  const auto v = Number(value);
  if (!v || unit.empty()) return std::nullopt;
  return ValueUnit{*v, unit};
}

void ReadFacility(const TaskFile& file, StudyRequest& s) {
  const auto fac = file.FacilityData();
  s.name = Get(fac, "FAC_DESC");
  s.lat = Number(Get(fac, "DECLAT"));
  s.lon = Number(Get(fac, "DECLON"));
  const std::string datum = Get(fac, "FAC_DATUM");
  s.datum = DatumDisplayName(datum).empty() ? datum : DatumDisplayName(datum);
  const auto elevation = Quantity(Get(fac, "FAC_ELV"), Get(fac, "FAC_ELVUN"));
  if (ToUpper(Get(fac, "FAC_ELMODE")).rfind('I', 0) == 0) s.terrainElevation = elevation;
  else s.siteElevation = elevation;
  s.freqMHz = Number(Get(fac, "TX_FREQMHZ"));
  s.erp = Quantity(Get(fac, "TX_A1ERP"), Get(fac, "TX_A1ERPUN"));
  s.txAgl = Quantity(Get(fac, "TX_A1AGL"), Get(fac, "TX_A1AGLUN"));
  if (s.txAgl && EqualsNoCase(Get(fac, "TX_A1ELMOD"), "MSL") && s.siteElevation) {
    bool err = false;  // a height above sea level kept as one above ground
    const double site = ConvertLength(s.siteElevation->unit, s.txAgl->unit, s.siteElevation->value, err);
    if (!err) s.txAgl->value -= site;
  }
  s.gain = Quantity(Get(fac, "TX_A1GAIN").empty() ? "0" : Get(fac, "TX_A1GAIN"),
                    Get(fac, "TX_A1GNUN").empty() ? "dBd" : Get(fac, "TX_A1GNUN"));
  s.antennaDesc = Get(fac, "TX_A1TYP");
  const auto data = file.Section("Antenna Data");
  s.hasPattern = ParseDouble(Get(data, "HorizRecs")) > 0 || ParseDouble(Get(data, "VertRecs")) > 0;
  s.orientation = Number(Get(fac, "TX_A1ORIEN"));
  s.eTilt = Number(Get(fac, "TX_A1ETILT"));
  s.mTilt = Number(Get(fac, "TX_A1MTILT"));
  s.mDir = Number(Get(fac, "TX_A1MDIR"));
  s.inverted = ParseBool(Get(fac, "TX_A1INVRT"));
}

void ReadGeometry(const TaskFile& file, const std::filesystem::path& pathsFile, StudyRequest& s) {
  const TaskIdentity id = file.Identity();
  const QuickCoverage qc = file.Coverage();
  const std::string geo = id.summary.size() >= 6 ? ToUpper(id.summary.substr(3, 3)) : std::string();
  const std::string level = file.Rx().levels.empty() ? std::string() : file.Rx().levels[0].level;
  if ((Trim(id.type) == "CONTOUR" || Trim(id.type) == "Contour") && ModelResultOf(s.model).quantity == "field strength")
    s.contourDbu = Number(level);
  if (qc.radOrTile == "T") {
    s.geometry = StudyGeometry::kTile;
    const ElevationData e = file.Elevation();
    if (e.present) s.tileBounds = std::vector<double>{e.slat, e.wlon, e.nlat, e.elon};
    if (e.nsStep > 0 && !e.nsStepUnit.empty()) s.step = ValueUnit{e.nsStep, e.nsStepUnit};
    s.boundaryFile = qc.boundaryFile;
    s.boundaryId = qc.boundaryId;
    return;
  }
  const auto radials = ReadPathsFile(pathsFile);
  if (!radials) return;
  if (geo == "TGT") {
    s.geometry = StudyGeometry::kTargets;
    for (const auto& r : *radials)
      if (r.Usable() && r.targetLat != kMissingNumber && r.targetLon != kMissingNumber)
        s.targets.push_back({r.targetLat, r.targetLon});
    return;
  }
  s.geometry = StudyGeometry::kRadials;
  for (const auto& r : *radials) {
    if (!r.Usable()) continue;
    if (s.radials++ == 0) s.distance = ValueUnit{r.length, r.unit.empty() ? "km" : r.unit};
  }
  if (qc.stepCov.Valid()) s.step = qc.stepCov;
}

std::string Degrees(const std::optional<double>& v) { return G(v.value_or(0)) + " deg"; }

std::string Antenna(const StudyRequest& s) {
  std::string out = s.hasPattern ? "pattern \"" + s.antennaDesc + "\"" : "omnidirectional";
  if (s.gain) out += ", maximum gain " + Words(*s.gain);
  if (s.hasPattern)
    out += ", orientation " + Degrees(s.orientation) + ", electrical tilt " + Degrees(s.eTilt) +
           ", mechanical tilt " + Degrees(s.mTilt) + " toward " + Degrees(s.mDir);
  if (s.inverted.value_or(false)) out += ", mounted upside down";
  return out;
}

std::string GeometryText(const StudyRequest& s) {
  switch (s.geometry) {
    case StudyGeometry::kRadials:
      return std::to_string(s.radials) + " radials from north every " + G(360.0 / std::max(1, s.radials)) +
             " deg, " + (s.distance ? Words(*s.distance) : std::string("? km")) + " long" +
             (s.step ? ", a point every " + Words(*s.step) : std::string());
    case StudyGeometry::kTile: {
      std::string t = "tile";
      if (s.tileBounds && s.tileBounds->size() == 4) {
        const auto& b = *s.tileBounds;
        t += " from latitude " + G(b[0]) + " to " + G(b[2]) + " deg and longitude " + G(b[1]) + " to " + G(b[3]) + " deg";
      } else if (s.tileExtent) {
        t += " of the site +- " + Words(*s.tileExtent);
      }
      if (s.step) t += ", grid step " + Words(*s.step);
      if (!s.boundaryFile.empty()) t += ", inside polygon " + s.boundaryId + " of " + s.boundaryFile;
      return t;
    }
    case StudyGeometry::kTargets: return std::to_string(s.targets.size()) + " target points";
    case StudyGeometry::kNone: break;
  }
  return "(no points: no radials, tile or targets)";
}

}  // namespace

StudyRequest ReadStudy(const TaskFile& file, const std::filesystem::path& pathsFile) {
  StudyRequest s;
  const TaskIdentity id = file.Identity();
  s.desc = id.desc;
  s.details = id.Details();
  ReadFacility(file, s);
  const RxFacility rx = file.Rx();
  s.rxAgl = Quantity(rx.heightValue, rx.heightUnit);
  if (!rx.levels.empty()) {
    s.thresholdDbu = Number(rx.levels[0].level);
    if (const auto p = Number(rx.levels[0].percent); p && *p > 0 && *p < 100) s.contourPercent = *p;
  }
  for (const auto& [k, v] : file.PropagationModel()) {
    if (EqualsNoCase(k, "MODEL")) s.model = ModelCodeOf(Trim(v));
    else s.modelSettings.emplace_back(k, Trim(v));
  }
  s.kValue = file.KValue();
  ReadGeometry(file, pathsFile, s);
  const QuickCoverage qc = file.Coverage();
  s.dem = Get(qc.entries, "TERRAIN PATH");
  if (qc.TerrainStep().Valid()) s.terrainStep = qc.TerrainStep();
  return s;
}

std::string DescribeStudy(const StudyRequest& s) {
  std::string out;
  auto line = [&](std::string_view label, const std::string& value) {
    out += "  " + std::string(label) + std::string(label.size() < 16 ? 16 - label.size() : 1, ' ') + value + "\n";
  };
  const std::string unknown = "(not set)";
  out += "Facility\n";
  line("Name:", s.name.empty() ? unknown : s.name);
  line("Site:", s.lat && s.lon ? Trim(CoordText(*s.lat, "LT")) + ", " + Trim(CoordText(*s.lon, "LN")) + " (" +
                                     FormatNumber(*s.lat, "0.000000") + ", " + FormatNumber(*s.lon, "0.000000") +
                                     " deg, " + s.datum + ")"
                               : unknown);
  line("Site elevation:", s.siteElevation      ? Words(*s.siteElevation) + " above sea level"
                          : s.terrainElevation ? Words(*s.terrainElevation) + " above sea level, read from the terrain"
                                               : std::string("read from the terrain at the site"));
  line("Frequency:", s.freqMHz ? G(*s.freqMHz) + " MHz" : unknown);
  line("ERP:", s.erp ? Words(*s.erp) : unknown);
  line("Antenna height:", s.txAgl ? Words(*s.txAgl) + " above ground" : unknown);
  line("Antenna:", Antenna(s));
  out += "Receiver\n";
  line("Antenna height:", s.rxAgl ? Words(*s.rxAgl) + " above ground" : unknown);
  line("Threshold:", s.thresholdDbu ? G(*s.thresholdDbu) + " dBu" : unknown);
  line("Locations:", G(s.contourPercent) + " %");
  out += "Model\n";
  line("Model:", s.model.empty() ? unknown : ModelDisplayNames(s.model).front() + " (" + s.model + "), result " +
                                                 ModelResultOf(s.model).quantity + " in " + ModelResultOf(s.model).unit);
  for (const auto& [k, v] : s.modelSettings) {
    std::string unit;
    for (const auto& m : ModelSettings(s.model))
      if (EqualsNoCase(m.key, k) && !m.unit.empty() && m.unit.rfind("see ", 0) != 0) unit = " " + std::string(m.unit);
    line("", k + " = " + (v.empty() ? "(blank)" : v + unit));
  }
  line("K-value:", G(s.kValue.value_or(1.333)) + " (effective earth-radius factor)");
  out += "Geometry\n";
  line("Points:", GeometryText(s));
  if (s.contourDbu) line("Contour:", G(*s.contourDbu) + " dBu at " + G(s.contourPercent) + " % of locations");
  out += "Terrain\n";
  line("DEM:", s.dem.empty() ? "the configured terrain (" + TerrainPath() + ")" : s.dem);
  line("Profile step:", s.terrainStep ? Words(*s.terrainStep) : unknown);
  return out;
}

}  // namespace zw::tasks
