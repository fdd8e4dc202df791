#include "common/ModelTable.h"

#include <array>

#include "platform/Text.h"

namespace zw {

namespace {

using S = ModelSetting;
constexpr std::string_view kLength = "m, km, ft or mi";
constexpr std::string_view kOnOff = "NO CORRECTION (off) or ON";

// The HAAT window and site radials of the curve models (keys hd_hstrt, bc_hstrt,
// ...): a start or stop of 0 or a blank unit takes the QXCoverage setting (3 km,
// 16 km); blank radials take the setting's (every 45 degrees).
constexpr std::string_view kHaatStart = "start of the HAAT averaging window along each radial";
constexpr std::string_view kHaatStop = "end of the HAAT averaging window";
constexpr std::string_view kRadials = "site radials whose average terrain gives the height above average terrain";
constexpr std::string_view kAzimuths = "azimuths separated by blanks or commas";
constexpr std::string_view kEvery45 = "0 45 90 135 180 225 270 315";

constexpr S kLR[] = {
    {"POLARIZ", "", "H or V", "H", "polarization: horizontal or vertical"},
    {"SUR_REFRAC", "N-units", "a number (250 to 400 usual)", "301", "surface refractivity"},
    {"SEA_REFRAC", "N-units", "a number", "0", "sea-level refractivity (informational)"},
    {"REL_PERMIT", "", "above 0", "15", "relative permittivity of the ground (15 average ground)"},
    {"CONDUCTIVI", "S/m", "above 0", "0.005", "ground conductivity (0.005 average ground)"},
    {"CLIM_CODE", "", "1 to 7", "5",
     "radio climate: 1 equatorial, 2 continental subtropical, 3 maritime subtropical, 4 desert, 5 continental "
     "temperate, 6 maritime temperate over land, 7 maritime temperate over sea"},
    {"LR_MDVAR", "", "0 to 3, plus 10 or 20 to leave out location or situation variability", "12",
     "mode of variability: 0 single message, 1 individual, 2 mobile, 3 broadcast (12: broadcast style)"},
    {"LR_VARSIT", "%", "above 0 and below 100", "50", "confidence (situation variability)"},
    {"LR_VARLOC", "%", "above 0 and below 100", "50", "locations (location variability)"},
    {"LR_VARTIM", "%", "above 0 and below 100", "50", "time (time variability)"},
    {"LR_DESC", "", "text", "Longley-Rice defaults", "description shown in reports"},
};
constexpr S kBU[] = {
    {"BU_REFLECT", "", "a number", "0", "reflection coefficient of the ground"},
    {"MIN_DIST", "see MINDISTUN", "a number", "0", "knife-edge minimum distance (MIN DISTANCE) or obstacle resolution (OBSTACLE PEAKS)"},
    {"MINDISTUN", "", kLength, "m", "unit of MIN_DIST; blank leaves MIN_DIST unused"},
    {"LOSS_MODE", "", "MIN DISTANCE, INFLECTION, OBSTACLE PEAKS or FIGURE 12 (exactly)", "FIGURE 12",
     "how the equivalent knife edge is found"},
    {"BU_DESC", "", "text", "Bullington defaults", "description shown in reports"},
};
constexpr S kRO[] = {
    {"RO_OBRES", "see RO_OBRESUN", "above 0", "5", "obstacle resolution: terrain features closer than this are one obstacle"},
    {"RO_OBRESUN", "", kLength, "ft", "unit of RO_OBRES"},
    {"RO_AMODE", "", "MIN, MAX, DIF, SCA or FIG 9.9", "MIN",
     "attenuation: least or greatest of diffraction and troposcatter, diffraction only, scatter only, or the "
     "figure-9.9 combination"},
    {"RO_DESC", "", "text", "Rounded Obstacle defaults", "description shown in reports"},
};
constexpr S kSH[] = {
    {"SH_BFIXED", "", "0 or 1", "0", "1: clearance along a fixed angle from the antenna instead of the line of sight"},
    {"SH_VALFIX", "degrees", "above -90 and below 90", "0", "the fixed angle (used when SH_BFIXED is 1)"},
    {"SH_DESC", "", "text", "Shadow defaults", "description shown in reports"},
};
constexpr S kSF[] = {
    {"SH_BFIXED", "", "0 or 1", "1", "1: clearance along a fixed angle from the antenna instead of the line of sight"},
    {"SH_VALFIX", "degrees", "above -90 and below 90", "0", "the fixed angle"},
    {"SH_DESC", "", "text", "Shadow fixed-angle defaults", "description shown in reports"},
};
constexpr S kEG[] = {
    {"EG_DESC", "", "text", "Egli defaults", "description shown in reports"},
};
constexpr S kHD[] = {
    {"AREA_COR", "", "NO CORRECTION, URBAN-LARGE, URBAN-MEDIUM, SUBURBAN, QUASI-OPEN or OPEN", "NO CORRECTION",
     "area type correction"},
    {"hd_hstrt", "see hd_hstrtun", "above 0", "3", kHaatStart},
    {"hd_hstrtun", "", kLength, "km", "unit of hd_hstrt"},
    {"hd_hstop", "see hd_hstopun", "beyond the start", "16", kHaatStop},
    {"hd_hstopun", "", kLength, "km", "unit of hd_hstop"},
    {"hd_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"HD_LUAREA", "", "0 or 1", "0", "1: the area type from the land-use data at the receiver"},
    {"HD_LULOSS", "", "0 or 1", "0", "1: add the land-use loss at the receiver"},
    {"HD_DESC", "", "text", "Hata/Davidson defaults", "description shown in reports"},
};
constexpr S kOK[] = {
    {"AREA_COR", "", "NO CORRECTION, URBAN-LARGE, URBAN-MEDIUM, SUBURBAN, QUASI-OPEN or OPEN", "NO CORRECTION",
     "area type correction"},
    {"ORIENT_COR", "", "NO CORRECTION, ALONG PATH or ACROSS PATH", "NO CORRECTION", "street orientation correction"},
    {"SLOPE_COR", "", kOnOff, "NO CORRECTION", "terrain slope correction"},
    {"LNDSEA_COR", "", kOnOff, "NO CORRECTION", "mixed land-sea path correction"},
    {"LNDSE_EL", "see LNDSE_ELUN", "a number", "0", "elevation below which the path is sea"},
    {"LNDSE_ELUN", "", kLength, "m", "unit of LNDSE_EL"},
    {"ROLHIL_COR", "", kOnOff, "NO CORRECTION", "rolling hilly terrain correction"},
    {"HIL_DIST", "see HIL_DISTUN", "a number", "0", "distance over which the hilly terrain is judged"},
    {"HIL_DISTUN", "", kLength, "m", "unit of HIL_DIST"},
    {"HILLOC_COR", "", kOnOff, "NO CORRECTION", "receiver position on a hill correction"},
    {"RIDGES_COR", "", kOnOff, "NO CORRECTION", "isolated ridge correction"},
    {"LOCS_COR", "", kOnOff, "NO CORRECTION", "location percentage correction"},
    {"LOCS_PRCNT", "%", "0 to 100", "50", "locations percentage (used with LOCS_COR)"},
    {"OK_LUAREA", "", "0 or 1", "0", "1: the area type from the land-use data at the receiver"},
    {"OK_LUSTRT", "", "0 or 1", "0", "1: the street orientation from the land-use data"},
    {"OK_LULOSS", "", "0 or 1", "0", "1: add the land-use loss at the receiver"},
    {"OK_DESC", "", "text", "Okumura defaults", "description shown in reports"},
};
constexpr S kBC[] = {
    {"bc_hstrt", "see bc_hstrtun", "above 0", "3", kHaatStart},
    {"bc_hstrtun", "", kLength, "km", "unit of bc_hstrt"},
    {"bc_hstop", "see bc_hstopun", "beyond the start", "16", kHaatStop},
    {"bc_hstopun", "", kLength, "km", "unit of bc_hstop"},
    {"bc_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"bc_curve", "%", "50, 10 or 90 (others read as 50)", "50", "FCC curve: F(50,50), F(50,10) or F(50,90)"},
    {"BC_DESC", "", "text", "FCC broadcast curves defaults", "description shown in reports"},
};
constexpr S kSM[] = {
    {"SM_hstrt", "see SM_hstrtun", "above 0", "3", kHaatStart},
    {"SM_hstrtun", "", kLength, "km", "unit of SM_hstrt"},
    {"SM_hstop", "see SM_hstopun", "beyond the start", "16", kHaatStop},
    {"SM_hstopun", "", kLength, "km", "unit of SM_hstop"},
    {"SM_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"SM_curve", "%", "50, 10 or 90 (others read as 50)", "50", "curve: F(50,50), F(50,10) or F(50,90)"},
    {"SM_DESC", "", "text", "SMR curves defaults", "description shown in reports"},
};
constexpr S kCA[] = {
    {"ca_vgnmode", "", "text", "", "vertical-gain mode (shown in the summary)"},
    {"ca_hstrt", "see ca_hstrtun", "above 0", "3", kHaatStart},
    {"ca_hstrtun", "", kLength, "km", "unit of ca_hstrt"},
    {"ca_hstop", "see ca_hstopun", "beyond the start", "16", kHaatStop},
    {"ca_hstopun", "", kLength, "km", "unit of ca_hstop"},
    {"ca_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"ca_curve", "%", "50, 10 or 90 (others read as 50)", "50", "Carey curve percentage"},
    {"CA_DESC", "", "text", "Carey defaults", "description shown in reports"},
};
constexpr S kCX[] = {
    {"CX_CURVE", "", "1 to 7", "1", "Part 22 station type of the FCC 94-201 contour"},
    {"CX_hstrt", "see CX_hstrtun", "above 0", "3", kHaatStart},
    {"CX_hstrtun", "", kLength, "km", "unit of CX_hstrt"},
    {"CX_hstop", "see CX_hstopun", "beyond the start", "16", kHaatStop},
    {"CX_hstopun", "", kLength, "km", "unit of CX_hstop"},
    {"CX_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"CX_DESC", "", "text", "Carey FCC 94-201 defaults", "description shown in reports"},
};
constexpr S kCG[] = {
    {"cg_vgnmode", "", "MAJOR, HORIZON or blank", "",
     "vertical gain toward the receiver: the pattern's maximum (MAJOR), at the horizontal (HORIZON), else at "
     "the depression of the radio horizon"},
    {"cg_hstrt", "see cg_hstrtun", "above 0", "3", kHaatStart},
    {"cg_hstrtun", "", kLength, "km", "unit of cg_hstrt"},
    {"cg_hstop", "see cg_hstopun", "beyond the start", "16", kHaatStop},
    {"cg_hstopun", "", kLength, "km", "unit of cg_hstop"},
    {"cg_hradial", "degrees", kAzimuths, kEvery45, kRadials},
    {"cg_gulfmex", "", "0 or 1", "0", "1: Gulf of Mexico station"},
    {"cg_unservd", "", "0 or 1", "0", "1: unserved area"},
    {"cg_DESC", "", "text", "Cellular CGSA defaults", "description shown in reports"},
};

constexpr std::string_view kFieldStudies =
    "point to point; radial and tile field studies (THRESHOLD (RADIAL), THRESHOLD (TILE))";
constexpr std::string_view kShadowStudies =
    "point to point; radial and tile clearance studies (SHADOW (RADIAL), SHADOW (TILE))";
constexpr std::string_view kContourStudies =
    "point to point; CONTOUR studies of radials (the contour point of each radial)";

struct ModelRow {
  std::string_view code;
  std::array<std::string_view, 3> names;  // unused places are empty
  std::array<std::string_view, 4> aliases;  // short names of the command line
  std::string_view summary, studies;
  std::span<const ModelSetting> settings;
};

constexpr std::array<ModelRow, 13> kRows{{
    {"BC", {"Broadcast (Part 73)"}, {"Broadcast", "Part 73", "FCC"},
     "FCC broadcast curves (47 CFR 73.333) with the height above average terrain", kFieldStudies, kBC},
    {"CA", {"Carey - Interpolated"}, {"Carey"}, "Carey curves, interpolated", kFieldStudies, kCA},
    {"CG", {"Cellular - CGSA"}, {"Cellular", "CGSA"}, "cellular geographic service area boundary (47 CFR 22.911)",
     kContourStudies, kCG},
    {"CX", {"Carey - FCC 94-201"}, {"Carey 94-201", "FCC 94-201"}, "Part 22 service contour by station type (FCC 94-201)",
     kContourStudies, kCX},
    {"BU", {"Bullington"}, {}, "Bullington's equivalent knife edge over the terrain profile", kFieldStudies, kBU},
    {"OK", {"Okumura"}, {}, "Okumura's urban curves with their corrections", kFieldStudies, kOK},
    {"LR", {"Longley-Rice"}, {"ITM", "Longley Rice"}, "Longley-Rice irregular terrain model, point-to-point mode",
     kFieldStudies, kLR},
    {"EG", {"Egli"}, {}, "Egli's empirical model over plane earth with the terrain's heights", kFieldStudies, kEG},
    {"HD", {"Hata/Davidson"}, {"Hata", "Davidson", "Hata-Davidson"}, "Hata's formulas with Davidson's extension",
     kFieldStudies, kHD},
    {"SM", {"Specialized Mobile Radio"}, {"SMR"}, "SMR curves with the height above average terrain", kFieldStudies, kSM},
    {"SH", {"Shadow", "Shadowing - .5 Fresnel", "Shadowing - Line of Sight"}, {"Shadowing"},
     "clearance of the path in Fresnel zone radii", kShadowStudies, kSH},
    {"SF", {"Shadow - Fixed Angle", "Shadow - Fixed Angle - .5 Fresnel", "Shadow - Fixed Angle - LOS"},
     {"Shadowing - Fixed Angle"}, "clearance above a fixed angle from the antenna, in Fresnel zone radii",
     kShadowStudies, kSF},
    {"RO", {"Rounded Obstacle"}, {"Rounded"}, "rounded-obstacle diffraction and troposcatter", kFieldStudies, kRO},
}};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cased letters and digits only: "Carey 94-201" and "CAREY94201" compare equal.
std::string Squeezed(std::string_view s) {
  std::string out;
  for (char c : s)
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) out += Upper(c);
  return out;
}

const ModelRow* RowOf(std::string_view code) {
  for (const auto& row : kRows)
    if (EqualsNoCase(row.code, Trim(code))) return &row;
  return nullptr;
}

}  // namespace

std::string ModelCodeFromName(std::string_view displayName) {
  for (const auto& row : kRows)
    for (auto name : row.names)
      if (!name.empty() && EqualsNoCase(name, displayName)) return std::string(row.code);
  return {};
}

std::string ModelCodeOf(std::string_view nameOrCode) {
  const auto t = Trim(nameOrCode);
  if (t.empty()) return {};
  auto code = ModelCodeFromName(t);
  if (!code.empty()) return code;
  if (const ModelRow* row = RowOf(t)) return std::string(row->code);
  // Short names, then every name without its blanks and punctuation.
  const std::string squeezed = Squeezed(t);
  if (squeezed.empty()) return {};
  for (const auto& row : kRows)
    for (auto name : row.aliases)
      if (!name.empty() && Squeezed(name) == squeezed) return std::string(row.code);
  for (const auto& row : kRows)
    for (auto name : row.names)
      if (!name.empty() && Squeezed(name) == squeezed) return std::string(row.code);
  return {};
}

std::string_view ModelSummary(std::string_view code) {
  const ModelRow* row = RowOf(code);
  return row ? row->summary : std::string_view();
}

std::string_view ModelStudies(std::string_view code) {
  const ModelRow* row = RowOf(code);
  return row ? row->studies : std::string_view();
}

std::span<const ModelSetting> ModelSettings(std::string_view code) {
  const ModelRow* row = RowOf(code);
  return row ? row->settings : std::span<const ModelSetting>();
}

std::vector<std::string> ModelDisplayNames(std::string_view code) {
  for (const auto& row : kRows)
    if (EqualsNoCase(row.code, code)) {
      std::vector<std::string> names;
      for (auto name : row.names)
        if (!name.empty()) names.emplace_back(name);
      return names;
    }
  return {};
}

std::vector<std::string> ModelCodes() {
  std::vector<std::string> codes;
  codes.reserve(kRows.size());
  for (const auto& row : kRows) codes.emplace_back(row.code);
  return codes;
}

ModelQuantity ModelResultOf(std::string_view nameOrCode) {
  const std::string code = ModelCodeOf(nameOrCode);
  if (code == "SH" || code == "SF") return {"clearance", "Fresnel zone radii"};
  if (code == "CX" || code == "CG") return {"contour distance", "km"};
  return {"field strength", "dBu"};
}

std::string TemplateTableType(std::string_view code) {
  std::string t = "QX";
  for (char c : code) t += Upper(c);
  return t + "FLDS";
}

}  // namespace zw
