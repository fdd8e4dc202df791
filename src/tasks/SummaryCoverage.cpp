// The sections of a coverage study's summary: fixed facility, coverage
// area, terrain data, propagation model, mobile, surface features, land use.
#include <array>
#include <filesystem>
#include <system_error>

#include "common/ModelTable.h"
#include "tasks/PathsFile.h"
#include "tasks/SummaryBuilder.h"

namespace zw::tasks::summary {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 7> kTerrainSets{
    "Pelorin 30-Second DTA files", "Pelorin 30-Second World DTA files", "Pelorin 3-Second DTA files",
    "Pelorin 30-Meter DTA files",  "US DMA DTED Data files",           "USGS NED Data",
    "USGS SRTM Data"};

}  // namespace

void SummaryBuilder::Facility() {
  r_.Line(0, "Fixed Facility:");
  const Entries fac(file_.FacilityData());
  if (fac.Empty()) {
    r_.Line(1, "No Fixed Facility data in the Task file");
    return;
  }
  const std::string desc = fac.Get("FAC_DESC");
  r_.Line(1, desc.empty() ? "NO FACILITY DESCRIPTION" : desc);
  r_.Line(1, "Position: " + PositionText(fac));
  const bool interpolated = ToUpper(fac.Get("FAC_ELMODE")).rfind('I', 0) == 0;
  r_.Line(1, "Site: " + Words({Given(fac.Get("FAC_ELV")), fac.Get("FAC_ELVUN"), "MSL",
                               interpolated ? "(Interpolated)" : ""}));
  r_.Line(1, "Frequency: " + Given(fac.Get("TX_FREQMHZ")) + " MHz");
  r_.Line(1, "ERP: " + Words({Given(fac.Get("TX_A1ERP")), fac.Get("TX_A1ERPUN")}));
  r_.Line(1, "Antenna: " + Words({Given(fac.Get("TX_A1AGL")), fac.Get("TX_A1AGLUN"), fac.Get("TX_A1ELMOD")}) +
                 ", " + AntennaText(fac));
  r_.Line(2, "Orientation: " + Fixed2(fac, "TX_A1ORIEN"));
  r_.Line(2, "Elec Tilt: " + Fixed2(fac, "TX_A1ETILT"));
  r_.Line(2, "Mech Tilt: " + Fixed2(fac, "TX_A1MTILT"));
  r_.Line(2, "Tilt Azim: " + Fixed2(fac, "TX_A1MDIR"));
  if (fac.Flag("TX_A1INVRT")) r_.Line(2, "INVERTED");
}

void SummaryBuilder::CoverageArea() {
  r_.Line(0, "Coverage Area:");
  const Entries qc(file_.Section("Quick Coverage"));
  if (qc.Empty()) {
    r_.Line(1, "No Quick Coverage settings in the Task file");
    return;
  }
  const std::string kind = file_.Coverage().radOrTile;
  if (kind == "T")
    Run("PRT_TILE", &SummaryBuilder::Tile);
  else if (kind == "R")
    Run("PRT_RADIAL", &SummaryBuilder::Radial);
  else if (kind == "C")
    Run("PRT_CONTOUR", &SummaryBuilder::Contour);
  else
    r_.Line(1, "Unknown study area: Rad or Tile is \"" + qc.Get("Rad or Tile") + "\"");
}

void SummaryBuilder::Tile() {
  const Entries qc(file_.Section("Quick Coverage"));
  r_.Line(1, "Tile Study:");
  if (!qc.Flag("Advanced Settings")) {
    r_.Line(2, Given(qc.Get("Distance")) + " from TX Site");
    r_.Line(2, Given(qc.Get("STEP")) + " steps");
    return;
  }
  r_.Line(2, "NS Limits: " + Given(qc.Get("ADV S LAT")) + " to " + Given(qc.Get("ADV N LAT")));
  r_.Line(2, "EW Limits: " + Given(qc.Get("ADV W LON")) + " to " + Given(qc.Get("ADV E LON")));
  r_.Line(2, "N-S Step: " + Given(qc.Get("ADV NS Step")));
  r_.Line(2, "E-W Step: " + Given(qc.Get("ADV EW Step")));
}

void SummaryBuilder::RadialLines() {
  const Entries qc(file_.Section("Quick Coverage"));
  // The units of bare numbers: the radials' length unit and the step's.
  std::string lengthUnit;
  if (const auto radials = ReadPathsFile(opt_.workDir / TaskFileName('E', id_, ".INI")); radials && !radials->empty())
    lengthUnit = radials->front().unit;
  r_.Line(2, Given(qc.Get("Num Rad")) + " radials");
  r_.Line(2, GivenWithUnit(qc.Get("Distance"), lengthUnit) + " from TX Site");
  r_.Line(2, GivenWithUnit(qc.Get("Step"), file_.Coverage().stepCov.unit) + " steps");
}

void SummaryBuilder::Radial() {
  r_.Line(1, "Radial Study:");
  RadialLines();
}

void SummaryBuilder::Contour() {
  r_.Line(1, "Contour Study:");
  RadialLines();
  r_.Line(2, ContourLine(file_.Text("RX Facility", "Level 0")));
}

void SummaryBuilder::TopoData() {
  r_.Line(0, "Topographic Data:");
  const QuickCoverage qc = file_.Coverage();
  const Entries e(qc.entries);
  std::string step;
  if (!qc.advanced) {
    step = Given(e.Get("Topo Step"));
  } else {
    const char* key = qc.radOrTile == "T" ? "ADV RAD STEP TIL" : "ADV RAD STEP TOPO";
    const ValueUnit& vu = qc.TerrainStep();
    step = vu.Valid() ? Words({FormatGeneral(vu.value), vu.unit}) : Given(e.Get(key)) + " (invalid)";
  }
  r_.Line(1, "Elevation increment: " + step);
  r_.Line(1, "Effective Earth Curvature: " + FormatGeneral(file_.KValue()));
  r_.Line(1, "Interpolation: " + Given(Trim(file_.Text("Elevation Data", "ELX_INT"))));
  for (const char* set : kTerrainSets) {
    const std::string v = e.Get(set, "0");
    if (v != "0") r_.Line(1, set);
  }
}

void SummaryBuilder::PropModel() {
  r_.Line(0, "Propagation Model:");
  const Entries pm(file_.PropagationModel());
  const std::string model = pm.Get("MODEL");
  if (model.empty()) {
    r_.Line(1, "Empty Propagation model for Task");
    return;
  }
  const std::string code = ModelCodeOf(model);
  if (code.empty()) {
    r_.Line(1, "Unknown propagation model: " + model);
    return;
  }
  const auto names = ModelDisplayNames(code);
  r_.Line(1, names.empty() ? model : names.front());
  const std::string level0 = file_.Text("RX Facility", "Level 0");
  auto p = [&](const char* label, std::initializer_list<const char*> keys) {
    std::string v;
    for (const char* k : keys) v = Words({v, pm.Get(k)});
    r_.Line(2, std::string(label) + v);
  };
  if (code == "BC" || code == "SM") {
    const double pct = FieldNumber(level0, 3, -1);
    r_.Line(2, Words({LevelText(level0), pct >= 0 ? "f(50," + FormatNumber(pct, "00") + ")" : "f(50,?)"}));
  } else if (code == "BU") {
    const std::string mode = ToUpper(pm.Get("BU_MODE"));
    if (mode == "MIN DISTANCE")
      p("Min Distance: ", {"MIN_DIST", "MINDISTUN"});
    else if (mode == "OBSTACLE PEAKS")
      p("Peak Resolution: ", {"MIN_DIST", "MINDISTUN"});
    else
      r_.Line(2, "Mode: " + Given(pm.Get("BU_MODE")));
  } else if (code == "CA" || code == "CX" || code == "CG") {
    if (code == "CA") p("Vertical Plane Gain: ", {"CA_VGNMODE"});
    r_.Line(2, ContourLine(level0));
  } else if (code == "HD") {
    p("Area Type: ", {"AREA_COR"});
  } else if (code == "LR") {
    p("POLARIZATION ", {"POLARIZ"});
    p("REL PERMITTIVITY ", {"REL_PERMIT"});
    p("CONDUCTIVITY ", {"CONDUCTIVI"});
    p("CLIMATE CODE ", {"CLIM_CODE"});
    p("VARIABILITY MODE ", {"LR_MDVAR"});
    p("LOCATION VARIABILITY ", {"LR_VARLOC"});
    p("TIME VARIABILITY ", {"LR_VARTIM"});
    p("SITUATION VARIABILITY ", {"LR_VARSIT"});
  } else if (code == "OK") {
    p("AREA TYPE: ", {"AREA_COR"});
    p("STREET ORIENTATION: ", {"ORIENT_COR"});
    p("SLOPE CORRECTION: ", {"SLOPE_COR"});
    p("LAND-SEA PATH CORRECTION: ", {"LNDSEA_COR"});
    p("SEA ELEVATION: ", {"LNDSE_EL", "LNDSE_ELUN"});
    p("ROLLING HILLS: ", {"ROLHIL_COR"});
    p("HILL DISTANCE: ", {"HIL_DIST", "HIL_DISTUN"});
    p("HILL LOCATION: ", {"HILLOC_COR"});
    p("ISOLATED RIDGES: ", {"OK_RIDGES"});
    p("PERCENT LOCATIONS: ", {"LOCS_COR"});
    p("PERCENT: ", {"LOCS_PRCNT"});
  } else if (code == "RO") {
    p("OBSTACLE RESOLUTION: ", {"RO_OBRES", "RO_OBRESUN"});
    p("LOSS MODE: ", {"RO_AMODE"});
  }
  // EG, SH and SF: the heading only.
}

// "Level 0" = level | units | percent [| level | units]: a power level
// (dBm, dBW, W, mW) is the receiver sensitivity, anything else the required
// field; the optional fields 4 and 5 give the other one.
void SummaryBuilder::Mobile() {
  r_.Line(0, "Mobile:");
  const RxFacility rx = file_.Rx();
  r_.Line(1, "Antenna Height: " + Given(Trim(rx.antennaHeight)));
  const std::string level0 = file_.Text("RX Facility", "Level 0");
  if (Field(level0, 1).empty()) {
    r_.Line(1, "Required Field: not given (RX Facility, Level 0)");
    return;
  }
  auto isPower = [](const std::string& unit) {
    const std::string u = ToUpper(unit);
    return u == "DBM" || u == "DBW" || u == "W" || u == "MW";
  };
  std::string sens, field;
  for (int first : {1, 4}) {
    const std::string level = Field(level0, first), unit = Field(level0, first + 1);
    if (level.empty()) continue;
    (isPower(unit) ? sens : field) = Words({level, unit});
  }
  if (!sens.empty()) r_.Line(1, "Receiver Sens: " + sens);
  if (!field.empty()) r_.Line(1, "Required Field: " + field);
}

void SummaryBuilder::Obstructions() {
  r_.Line(0, "Surface Feature Files:");
  const bool fromList = !file_.Section("Obstruction List").empty();
  const Entries sec(file_.Section(fromList ? "Obstruction List" : "Obstruction Files"));
  if (sec.Empty()) {
    r_.Line(1, "No Surface Feature Files in the Task file");
    return;
  }
  r_.Line(1, "Use Files: " + Given(sec.Get("Use Files")));
  r_.Line(1, "Num Files: " + Given(sec.Get("Num Files")));
  const ObstructionFiles of = file_.Obstructions(fromList);
  for (std::size_t i = 0; i < of.files.size(); ++i) {
    const std::string name = Trim(of.files[i]);
    std::string line = "File " + FormatNumber(double(i), "000") + ": " + (name.empty() ? "(blank)" : name);
    if (fromList && !name.empty()) line += " (in Task file )";
    std::error_code ec;
    fs::path p(name);
    if (!name.empty() && !fs::exists(p, ec) && !(p.is_relative() && fs::exists(opt_.workDir / p, ec)))
      line += " (not found)";
    r_.Line(2, line);
  }
}

void SummaryBuilder::LandUseTemplate() {
  r_.Line(0, "Land Use Template:");
  const LandUse lu = file_.LandUseSettings();
  if (!lu.include)
    r_.Line(1, "Land use not included");
  else
    r_.Line(1, Given(Trim(lu.templateName)));
}

}  // namespace zw::tasks::summary
