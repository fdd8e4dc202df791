#include "tasks/StudyBuilder.h"

#include <fmt/format.h>

#include <cmath>
#include <system_error>

#include "common/Config.h"
#include "common/FieldSets.h"
#include "common/ModelTable.h"
#include "platform/NumberFormat.h"
#include "common/PatternFileCheck.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/Datum.h"
#include "geo/Geodesic.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"
#include "platform/Profile.h"
#include "platform/terrain/TerrainSource.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;
using platform::ProfileEntries;

constexpr const char* kTerrainSets[] = {"Pelorin 30-Second DTA files", "Pelorin 30-Second World DTA files",
                                        "Pelorin 3-Second DTA files",  "Pelorin 30-Meter DTA files",
                                        "US DMA DTED Data files",      "USGS NED Data",
                                        "USGS SRTM Data"};

std::string G(double v) { return FormatGeneral(v); }
std::string Words(const ValueUnit& v) { return G(v.value) + " " + v.unit; }

double Km(const ValueUnit& v) {
  bool err = false;
  const double km = ConvertLength(v.unit, "km", v.value, err);
  return err ? 0.0 : km;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

void Put(ProfileEntries& all, const std::string& key, const std::string& value) {
  for (auto& e : all)
    if (EqualsNoCase(e.first, key)) {
      e.second = value;
      return;
    }
  all.emplace_back(key, value);
}

// Writes a section: whole when fresh (on the blank field set), else key by key.
void WriteSection(ProfileEdit& edit, const std::string& section, ProfileEntries base, const ProfileEntries& values,
                  bool fresh) {
  if (!fresh) {
    for (const auto& [k, v] : values) edit.Set(section, k, v);
    return;
  }
  for (const auto& [k, v] : values) Put(base, k, v);
  edit.ReplaceSection(section, base);
}

struct Context {
  const StudyRequest& s;
  StudyDraft& out;
  std::vector<std::string> problems;
  std::string code;  // model code
  bool clearance = false, contourOnly = false;
  void Need(bool ok, const std::string& what) {
    if (!ok) problems.push_back("missing " + what);
  }
  void Bad(const std::string& why) { problems.push_back(why); }
};

// The model's template section: the field-definition keys with the model's
// defaults (or a template file's values), then the settings given.
ProfileEntries ModelSection(Context& c) {
  const StudyRequest& s = c.s;
  ProfileEntries given;
  if (!s.templateFile.empty()) {
    std::error_code ec;
    if (!fs::is_regular_file(s.templateFile, ec)) {
      c.Bad("the template file " + s.templateFile + " was not found (write one with `ravoprop template new CODE -o FILE`)");
      return {};
    }
    given = platform::ProfileGetSection("Propagation Model", s.templateFile);
    std::string model;
    for (const auto& [k, v] : given)
      if (EqualsNoCase(k, "MODEL")) model = Trim(v);
    const std::string code = ModelCodeOf(model);
    if (code.empty()) {
      c.Bad("the template file " + s.templateFile + " names no model of `ravoprop models` in [Propagation Model] MODEL (" +
            (model.empty() ? "blank" : model) + ")");
      return {};
    }
    if (!c.code.empty() && c.code != code) {
      c.Bad("the template file " + s.templateFile + " is for " + code + ", not for the model given (" + c.code + ")");
      return {};
    }
    c.code = code;
  }
  if (c.code.empty()) return {};
  std::string why;
  const auto fields = platform::ReadDataSumFields(platform::DefaultDataSumFile(), TemplateTableType(c.code), &why);
  if (!fields) {
    c.Bad("cannot read the field-definition table " + platform::DefaultDataSumFile().string() + ": " + why);
    return {};
  }
  ProfileEntries section = {{"MODEL", ModelDisplayNames(c.code).front()}};
  for (const auto& f : *fields) {
    if (!f.Valid()) continue;
    std::string value;
    for (const auto& m : ModelSettings(c.code))
      if (EqualsNoCase(m.key, f.name)) value = std::string(m.value);
    for (const auto& [k, v] : given)
      if (EqualsNoCase(k, f.name)) value = v;
    section.emplace_back(f.name, value);
  }
  for (const auto& [key, value] : s.modelSettings) {
    bool found = false;
    for (auto& [k, v] : section)
      if (!EqualsNoCase(k, "MODEL") && EqualsNoCase(k, key)) v = value, found = true;
    if (found) continue;
    std::string keys;
    for (std::size_t i = 1; i < section.size(); ++i) {
      if (i > 1) keys += ", ";
      keys += section[i].first;
    }
    c.Bad(fmt::format("{} is not a setting of the {} model ({}); its keys: {} (see `ravoprop models {}`)", key,
                      ModelDisplayNames(c.code).front(), c.code, keys, c.code));
  }
  return section;
}

// The site elevation: as given, else from the terrain at the site.
std::optional<ValueUnit> SiteElevation(Context& c) {
  const StudyRequest& s = c.s;
  if (s.siteElevation) return s.siteElevation;
  if (!s.lat || !s.lon) return std::nullopt;
  const std::string path = s.dem.empty() ? TerrainPath() : s.dem;
  platform::TerrainSource terrain;
  const std::string msg = terrain.Add(path);
  const float e = terrain.SourceCount() > 0 ? terrain.Elevation(*s.lat, *s.lon) : platform::kNoElevationLimit;
  if (terrain.SourceCount() == 0) {
    c.Bad("the terrain " + path + " holds no usable elevation data" + (msg.empty() ? "" : " (" + msg + ")") +
          "; give --dem FILE or --site-elev");
    return std::nullopt;
  }
  if (e <= platform::kNoElevationLimit) {
    c.Bad("the terrain " + path + " has no elevation at the site " + G(*s.lat) + ", " + G(*s.lon) +
          "; give --dem with a file covering the site, or --site-elev");
    return std::nullopt;
  }
  c.out.notes.push_back("site elevation " + FormatNumber(std::round(e * 10.0) / 10.0, "0.0") + " m read from " + path);
  return ValueUnit{std::round(static_cast<double>(e) * 10.0) / 10.0, "m"};
}

void Facility(Context& c, bool fresh) {
  const StudyRequest& s = c.s;
  c.Need(s.lat && s.lon, "--lat and --lon: the site's position (decimal degrees or \"44 26 11.4 N\")");
  c.Need(s.freqMHz.has_value(), "--freq: the frequency in MHz");
  c.Need(s.erp.has_value(), "--erp: the effective radiated power with its unit (e.g. 50kW)");
  c.Need(s.txAgl.has_value(), "--tx-agl: the transmit antenna height above ground (e.g. 100 for 100 m)");
  const auto elevation = SiteElevation(c);
  ProfileEntries v;
  // A pattern file gives the antenna's description, gain and mounting; options given win.
  std::string type = "Omnidirectional", gain = "0", gainUnit = "dBd";
  double orien = 0, etilt = 0, mtilt = 0, mdir = 0;
  bool inverted = false;
  const bool pattern = !s.antennaFile.empty() && !EqualsNoCase(s.antennaFile, "none");
  if (pattern) {
    if (auto why = CheckPatternFile(s.antennaFile); !why.empty()) c.Bad(why);
    auto get = [&](const char* key, const std::string& def) {
      return platform::ProfileGetString(s.antennaSection, key, def, s.antennaFile);
    };
    type = get("TX_A1TYP", "Pattern of " + fs::path(s.antennaFile).filename().string());
    gain = get("TX_A1GAIN", "0");
    gainUnit = get("TX_A1GNUN", "dBd");
    orien = ParseDouble(get("TX_A1ORIEN", "0"));
    etilt = ParseDouble(get("TX_A1ETILT", "0"));
    mtilt = ParseDouble(get("TX_A1MTILT", "0"));
    mdir = ParseDouble(get("TX_A1MDIR", "0"));
    inverted = ParseBool(get("TX_A1INVRT", "0"));
    c.out.edit.ReplaceSection("Antenna Data", platform::ProfileGetSection("Antenna Data", s.antennaFile));
  } else if (EqualsNoCase(s.antennaFile, "none")) {
    c.out.edit.RemoveSection("Antenna Data");
  }
  if (s.gain) gain = G(s.gain->value), gainUnit = s.gain->unit;
  const std::string latText = s.lat ? FormatNumber(*s.lat, "##0.000000") : "";
  const std::string lonText = s.lon ? FormatNumber(*s.lon, "##0.000000") : "";
  v = {{"FAC_DESC", s.name.empty() ? "Transmitter" : s.name},
       {"FAC_CSDISP", DatumLibKey(s.datum)},
       {"FAC_DATUM", s.datum},
       {"DECLAT", latText},
       {"DECLON", lonText},
       {"FAC_LAT", latText},
       {"FAC_LON", lonText},
       {"FAC_ELV", elevation ? G(elevation->value) : ""},
       {"FAC_ELVUN", elevation ? elevation->unit : ""},
       {"FAC_ELMODE", s.siteElevation ? "Entered" : "Interpolated"},
       {"TX_FREQMHZ", s.freqMHz ? G(*s.freqMHz) : ""},
       {"TX_A1AGL", s.txAgl ? G(s.txAgl->value) : ""},
       {"TX_A1AGLUN", s.txAgl ? s.txAgl->unit : ""},
       {"TX_A1ELMOD", "AGL"},
       {"TX_A1ERP", s.erp ? G(s.erp->value) : ""},
       {"TX_A1ERPUN", s.erp ? s.erp->unit : ""}};
  if (pattern || EqualsNoCase(s.antennaFile, "none") || fresh) {
    v.emplace_back("TX_A1TYP", type);
    v.emplace_back("TX_A1FNM", "");
    v.emplace_back("TX_A1TID", "");
  }
  if (pattern || s.gain || fresh) {
    v.emplace_back("TX_A1GAIN", gain);
    v.emplace_back("TX_A1GNUN", gainUnit);
  }
  auto mount = [&](const char* key, const std::optional<double>& given, double fromFile) {
    if (given || pattern || fresh) v.emplace_back(key, G(given ? *given : fromFile));
  };
  mount("TX_A1ORIEN", s.orientation, orien);
  mount("TX_A1ETILT", s.eTilt, etilt);
  mount("TX_A1MTILT", s.mTilt, mtilt);
  mount("TX_A1MDIR", s.mDir, mdir);
  if (s.inverted || pattern || fresh) v.emplace_back("TX_A1INVRT", s.inverted.value_or(inverted) ? "True" : "False");
  ProfileEntries base;
  for (int i = 0; i < kFacilityFieldCount; ++i) base.emplace_back(std::string(FacilityFieldName(i)), "");
  WriteSection(c.out.edit, "Facility Data", base, v, fresh);
  if (s.lat && s.lon) c.out.txLat = *s.lat, c.out.txLon = *s.lon;
}

void Receiver(Context& c, bool fresh) {
  const StudyRequest& s = c.s;
  c.Need(s.rxAgl.has_value(), "--rx-agl: the receive antenna height above ground (e.g. 9.1 for 9.1 m)");
  // The threshold is the field a point needs; a contour study's level stands for it.
  const std::optional<double> level = s.contourDbu ? s.contourDbu : s.thresholdDbu;
  if (!c.clearance && !c.contourOnly)
    c.Need(level.has_value(), "--threshold: the field strength the receiver needs, in dBu (e.g. 60)");
  const std::string field = G(level.value_or(0));
  ProfileEntries base;
  for (int i = 0; i < kMobileFieldCount; ++i) base.emplace_back(std::string(MobileFieldName(i)), "");
  bool err = false;
  const double rxM = s.rxAgl ? ConvertLength(s.rxAgl->unit, "m", s.rxAgl->value, err) : 0;
  WriteSection(c.out.edit, "Mobile Data", base,
               {{"TX_A1AGL", s.rxAgl ? G(s.rxAgl->value) : ""},
                {"TX_A1AGLUN", s.rxAgl ? s.rxAgl->unit : ""},
                {"MOB_RXREF", "AGL"},
                {"MO_RXmAGL", G(rxM)},
                {"RX_A1FLD", field},
                {"RX_A1FLDUN", "dBu"}},
               fresh);
  RxFacility rx;
  rx.antennaHeight = s.rxAgl ? Words(*s.rxAgl) + " AGL" : "";
  rx.levels.push_back({JoinFields({field, "dBu", G(s.contourPercent)}), "", "", ""});
  c.out.edit.Rx(rx);
}

void Model(Context& c) {
  const StudyRequest& s = c.s;
  const ProfileEntries section = ModelSection(c);
  c.Need(!c.code.empty() || !s.templateFile.empty(), "--model CODE (see `ravoprop models`) or --template FILE");
  if (section.empty()) return;
  c.out.edit.ReplaceSection("Propagation Model", section);
  double k = 1.333;
  if (s.kValue) {
    k = *s.kValue;
  } else if (!s.templateFile.empty()) {
    const std::string t = Trim(platform::ProfileGetString("Eff Curvature", "K-Value", "", s.templateFile));
    if (!t.empty() && !(TryParseDouble(t, k) && k > 0)) c.Bad("the template's [Eff Curvature] K-Value is not a number above 0: " + t);
  }
  c.out.edit.KValue(k);
}

// The study's points in a few words (summary and description).
std::string StudyWords(const StudyRequest& s) {
  switch (s.geometry) {
    case StudyGeometry::kRadials:
      return std::to_string(s.radials) + " radials" + (s.distance ? " to " + Words(*s.distance) : std::string());
    case StudyGeometry::kTargets: return std::to_string(s.targets.size()) + " target points";
    case StudyGeometry::kTile: {
      std::string w = "tile";
      if (s.tileExtent) w += " of the site +-" + Words(*s.tileExtent);
      else if (s.tileBounds && s.tileBounds->size() == 4)
        w += " " + G((*s.tileBounds)[0]) + ".." + G((*s.tileBounds)[2]) + ", " + G((*s.tileBounds)[1]) + ".." +
             G((*s.tileBounds)[3]);
      return w + (s.step ? ", step " + Words(*s.step) : std::string());
    }
    case StudyGeometry::kNone: break;
  }
  return {};
}

// The tile's limits: as given, or the site +- the extent.
std::optional<std::vector<double>> TileBounds(Context& c) {
  const StudyRequest& s = c.s;
  if (s.tileBounds) return s.tileBounds;
  if (!s.tileExtent) {
    c.Need(false, "--tile: the tile's extent around the site (e.g. 20km) or SOUTH,WEST,NORTH,EAST");
    return std::nullopt;
  }
  if (!s.lat || !s.lon) return std::nullopt;
  const double km = Km(*s.tileExtent);
  double n = 0, e = 0, south = 0, w = 0, lon = 0, lat = 0;
  Geodesic::ForwardKm(*s.lat, *s.lon, 0, km, n, lon);
  Geodesic::ForwardKm(*s.lat, *s.lon, 180, km, south, lon);
  Geodesic::ForwardKm(*s.lat, *s.lon, 90, km, lat, e);
  Geodesic::ForwardKm(*s.lat, *s.lon, 270, km, lat, w);
  if (!(n > south && e > w)) {
    c.Bad("the tile extent " + Words(*s.tileExtent) + " is too large for a tile around the site");
    return std::nullopt;
  }
  auto micro = [](double d) { return std::round(d * 1e6) / 1e6; };  // about 0.1 m
  return std::vector<double>{micro(south), micro(w), micro(n), micro(e)};
}

void Geometry(Context& c, bool fresh) {
  const StudyRequest& s = c.s;
  StudyDraft& out = c.out;
  const bool contour = s.contourDbu.has_value() || c.contourOnly;
  const ValueUnit terrainStep = s.terrainStep.value_or(ValueUnit{90, "m"});
  QuickCoverage qc;
  qc.advanced = true;
  qc.stepTopo = qc.stepTile = terrainStep;
  qc.topoStep = Words(terrainStep);
  std::string geo;
  const std::string words = StudyWords(s);
  switch (s.geometry) {
    case StudyGeometry::kNone:
      c.Need(false, "the study's points: --radials N --distance D --step S, --tile EXTENT --step S, or --targets FILE");
      return;
    case StudyGeometry::kRadials:
      c.Need(s.distance.has_value(), "--distance: the length of each radial (e.g. 30 for 30 km)");
      if (!c.contourOnly) c.Need(s.step.has_value(), "--step: the step between points along a radial (e.g. 1.5 or 500m)");
      geo = contour ? "CTR" : "RAD";
      qc.radOrTile = contour ? "C" : "R";
      qc.numRad = std::to_string(s.radials);
      if (s.distance) qc.distance = Words(*s.distance);
      if (s.step || s.distance) qc.stepCov = s.step.value_or(*s.distance);
      if (s.step || s.distance) qc.step = Words(s.step.value_or(*s.distance));
      break;
    case StudyGeometry::kTargets:
      if (contour) c.Bad("a contour study is one of radials: give --radials instead of --targets");
      geo = "TGT";
      qc.radOrTile = "R";
      qc.numRad = std::to_string(s.targets.size());
      break;
    case StudyGeometry::kTile: {
      if (contour) c.Bad("a contour study is one of radials: give --radials instead of --tile");
      c.Need(s.step.has_value(), "--step: the tile's grid step (e.g. 500m)");
      geo = "TIL";
      qc.radOrTile = "T";
      const auto b = TileBounds(c);
      if (!b || !s.step) break;
      if (s.tileExtent) qc.distance = Words(*s.tileExtent);
      qc.tileStep = Words(*s.step);
      ElevationData e;
      e.slat = (*b)[0], e.wlon = (*b)[1], e.nlat = (*b)[2], e.elon = (*b)[3];
      e.nsStep = e.ewStep = s.step->value;
      e.nsStepUnit = e.ewStepUnit = s.step->unit;
      out.edit.Elevation(e);
      const char* keys[] = {"ADV S LAT", "ADV W LON", "ADV N LAT", "ADV E LON"};
      for (int i = 0; i < 4; ++i) out.edit.Set("Quick Coverage", keys[i], G((*b)[static_cast<std::size_t>(i)]));
      out.edit.Set("Quick Coverage", "ADV NS Step", Words(*s.step));
      out.edit.Set("Quick Coverage", "ADV EW Step", Words(*s.step));
      break;
    }
  }
  if (!s.boundaryFile.empty()) {
    std::error_code ec;
    if (s.geometry != StudyGeometry::kTile) c.Bad("--boundary limits a tile study; give --tile too");
    if (!fs::is_regular_file(s.boundaryFile, ec)) c.Bad("the boundary file " + s.boundaryFile + " was not found");
    qc.boundaryFile = Absolute(s.boundaryFile);
    qc.boundaryId = s.boundaryId;
  } else if (!fresh) {
    out.edit.RemoveKey("Quick Coverage", "ADV Boundary");
  }
  out.edit.Coverage(qc);
  if (!s.dem.empty()) out.edit.Set("Quick Coverage", "TERRAIN PATH", Absolute(s.dem));
  else if (!fresh) out.edit.RemoveKey("Quick Coverage", "TERRAIN PATH");
  if (fresh)
    for (const char* set : kTerrainSets) out.edit.Set("Quick Coverage", set, "0");

  // Identity: the study code is the model code and the geometry.
  const char* kind = s.geometry == StudyGeometry::kTile ? "(TILE)" : "(RADIAL)";
  out.identity.mode = "COVERAGE";
  out.identity.type = contour ? "CONTOUR" : std::string(c.clearance ? "SHADOW " : "THRESHOLD ") + kind;
  const std::string level = s.contourDbu ? G(*s.contourDbu) + " dBu contour" :
                            s.thresholdDbu && !c.clearance ? G(*s.thresholdDbu) + " dBu" : "";
  out.identity.summary = (c.code.empty() ? "??" : c.code) + " " + geo + " " + words + (level.empty() ? "" : ", " + level);
  out.identity.txtFileOut = s.details ? "Details" : "None";
  out.identity.desc = s.desc.empty() ? MadeDescription(s, c.code) : s.desc;
}

// The paths file: radials evenly spaced from north, or one line per target.
void Paths(Context& c) {
  const StudyRequest& s = c.s;
  if (!s.lat || !s.lon) return;
  if (s.geometry == StudyGeometry::kRadials && s.distance && s.radials > 0) {
    std::vector<RadialLine> lines;
    for (int r = 0; r < s.radials; ++r) {
      RadialLine line;
      line.azimuth = 360.0 * r / s.radials;
      line.length = s.distance->value;
      line.unit = s.distance->unit;
      Geodesic::ForwardKm(*s.lat, *s.lon, line.azimuth, Km(*s.distance), line.endLat, line.endLon);
      lines.push_back(line);
    }
    c.out.radials = std::move(lines);
  } else if (s.geometry == StudyGeometry::kTargets) {
    std::vector<RadialLine> lines;
    for (const auto& t : s.targets) {
      RadialLine line;
      double az = 0, km = 0;
      Geodesic::InverseKm(*s.lat, *s.lon, t.lat, t.lon, az, km);
      if (!(km > 0)) {
        c.Bad("the target " + G(t.lat) + ", " + G(t.lon) + " is the site itself");
        continue;
      }
      line.azimuth = az;
      line.length = km;
      line.unit = "km";
      line.endLat = line.targetLat = t.lat;
      line.endLon = line.targetLon = t.lon;
      lines.push_back(line);
    }
    c.out.radials = std::move(lines);
  }
}

}  // namespace

std::string MadeDescription(const StudyRequest& s, const std::string& code) {
  const std::string model = code.empty() ? s.model : code;
  return (s.name.empty() ? std::string() : s.name + ": ") +
         (model.empty() ? std::string() : ModelDisplayNames(model).front() + ", ") + StudyWords(s);
}

std::string BuildStudy(const StudyRequest& req, bool fresh, StudyDraft& out) {
  out = StudyDraft{};
  Context c{req, out, {}, req.model, false, false};
  Model(c);  // first: the model decides the study type and what the receiver needs
  c.clearance = ModelResultOf(c.code).quantity == "clearance";
  c.contourOnly = ModelResultOf(c.code).quantity == "contour distance";
  if (c.clearance && req.contourDbu) c.Bad("the " + c.code + " model gives a clearance, not a field: it draws no dBu contour");
  Facility(c, fresh);
  Receiver(c, fresh);
  Geometry(c, fresh);
  Paths(c);
  std::string all;
  for (const auto& p : c.problems) AddProblem(all, p);
  return all;
}

}  // namespace zw::tasks
