#include "common/FieldSets.h"

#include <array>

#include "platform/NumberFormat.h"

namespace zw {

namespace {

struct FieldDef {
  std::string_view name;
  std::string_view format;
};

constexpr std::array<FieldDef, kFacilityFieldCount> kFacility{{
    {"DECLAT", "##0.00000"},
    {"DECLON", "##0.00000"},
    {"LONM", ""},
    {"FAC_CSDISP", ""},
    {"USI", ""},
    {"TRACK1", ""},
    {"ANNM", ""},
    {"KYAN", ""},
    {"PATHNM", ""},
    {"LONA", ""},
    {"IMPORTDATE", ""},
    {"FLAG1", ""},
    {"FLAG2", ""},
    {"CATEGORY1", ""},
    {"CATEGORY2", ""},
    {"AD", ""},
    {"ST", ""},
    {"CI", ""},
    {"CY", ""},
    {"EIRPFLAG", ""},
    {"CS", ""},
    {"FAC_DESC", ""},
    {"FAC_ID", "0000000"},
    {"FAC_LAT", "##0.00000"},
    {"FAC_LON", "##0.00000"},
    {"FAC_DATUM", ""},
    {"FAC_ELV", "#0.00"},
    {"FAC_ELVUN", ""},
    {"FAC_LOCID", ""},
    {"TX_TWRID", ""},
    {"FAC_NOTES", ""},
    {"FAC_MODE", ""},
    {"RX_A1ID", ""},
    {"RX_A1TID", ""},
    {"RX_A1TYP", ""},
    {"RX_A1GAIN", ""},
    {"RX_A1GNUN", ""},
    {"RX_A1AGL", "#0.00"},
    {"RX_A1AGLUN", ""},
    {"RX_A1FLD", "#0.00"},
    {"RX_A1MOUNT", ""},
    {"RX_A1MTDIS", ""},
    {"RX_A1MTUN", ""},
    {"RX_A1FACE", ""},
    {"RX_A1FACUN", ""},
    {"RX_A1ORIEN", "#0.00"},
    {"RX_A1ETILT", "#0.00"},
    {"RX_A1MTILT", "#0.00"},
    {"RX_A1MDIR", "#0.00"},
    {"RX_A1RDID", ""},
    {"RX_A1RDTID", ""},
    {"RX_A1RDTYP", ""},
    {"RX_A1RDLOS", "#0.00"},
    {"RX_A1L1ID", ""},
    {"RX_A1L1TID", ""},
    {"RX_A1L1TYP", ""},
    {"RX_A1L1LEN", "#0.00"},
    {"RX_A1L1LUN", ""},
    {"RX_A1L1LOS", "#0.00"},
    {"RX_A1L2ID", ""},
    {"RX_A1L2TID", ""},
    {"RX_A1L2TYP", ""},
    {"RX_A1L2LEN", "#0.00"},
    {"RX_A1L2LUN", ""},
    {"RX_A1L2LOS", "#0.00"},
    {"RX_A1CRID", ""},
    {"RX_A1CRTID", ""},
    {"RX_A1CRTYP", ""},
    {"RX_A1CRLOS", "#0.00"},
    {"RX_A1CNID", ""},
    {"RX_A1CNTID", ""},
    {"RX_A1CNTYP", ""},
    {"RX_A1CNLOS", "#0.00"},
    {"RX_A1JPID", ""},
    {"RX_A1JPTID", ""},
    {"RX_A1JPTYP", ""},
    {"RX_A1JPLOS", "#0.00"},
    {"RX_A1SPID", ""},
    {"RX_A1SPTID", ""},
    {"RX_A1SPTYP", ""},
    {"RX_A1SPLOS", "#0.00"},
    {"RX_A1M1ID", ""},
    {"RX_A1M1TID", ""},
    {"RX_A1M1TYP", ""},
    {"RX_A1M1LOS", "#0.00"},
    {"RX_A1M2ID", ""},
    {"RX_A1M2TID", ""},
    {"RX_A1M2TYP", ""},
    {"RX_A1M2LOS", "#0.00"},
    {"RX_1L1RID", ""},
    {"RX_1L1RTID", ""},
    {"RX_1L1RTYP", ""},
    {"RX_1L1RGAN", "#0.00"},
    {"RX_1L2RID", ""},
    {"RX_1L2RTID", ""},
    {"RX_1L2RTYP", ""},
    {"RX_1L2RGAN", "#0.00"},
    {"RX_A2TID", ""},
    {"RX_A2TYP", ""},
    {"RX_A2GAIN", "#0.00"},
    {"RX_A2GNUN", ""},
    {"RX_A2AGL", "#0.00"},
    {"RX_A2AGLUN", ""},
    {"RX_A2FLD", "#0.00"},
    {"RX_A2MOUNT", ""},
    {"RX_A2MTDIS", ""},
    {"RX_A2MTUN", ""},
    {"RX_A2FACE", ""},
    {"RX_A2FACUN", ""},
    {"RX_A2ORIEN", "#0.00"},
    {"RX_A2ETILT", "#0.00"},
    {"RX_A2MTILT", "#0.00"},
    {"RX_A2MDIR", "#0.00"},
    {"RX_A2RDID", ""},
    {"RX_A2RDTID", ""},
    {"RX_A2RDLOS", "#0.00"},
    {"RX_A2RDTYP", ""},
    {"RX_A2L1TID", ""},
    {"RX_A2L1TYP", ""},
    {"RX_A2L1LEN", "#0.00"},
    {"RX_A2L1LUN", ""},
    {"RX_A2L1LOS", "#0.00"},
    {"RX_A2L2TID", ""},
    {"RX_A2L2TYP", ""},
    {"RX_A2L2LEN", "#0.00"},
    {"RX_A2L2LUN", ""},
    {"RX_A2L2LOS", "#0.00"},
    {"RX_A2CRTID", ""},
    {"RX_A2CRTYP", ""},
    {"RX_A2CRLOS", "#0.00"},
    {"RX_A2CNTID", ""},
    {"RX_A2CNTYP", ""},
    {"RX_A2CNLOS", "#0.00"},
    {"RX_A2JPID", ""},
    {"RX_A2JPTID", ""},
    {"RX_A2JPTYP", ""},
    {"RX_A2JPLOS", "#0.00"},
    {"RX_A2SPID", ""},
    {"RX_A2SPTID", ""},
    {"RX_A2SPTYP", ""},
    {"RX_A2SPLOS", "#0.00"},
    {"RX_A2M1ID", ""},
    {"RX_A2M1TID", ""},
    {"RX_A2M1TYP", ""},
    {"RX_A2M1LOS", "#0.00"},
    {"RX_A2M2TID", ""},
    {"RX_A2M2TYP", ""},
    {"RX_A2M2LOS", "#0.00"},
    {"RX_2L1RTID", ""},
    {"RX_2L1RTYP", ""},
    {"RX_2L1RGAN", "#0.00"},
    {"RX_2L2RTID", ""},
    {"RX_2L2RTYP", ""},
    {"RX_2L2RGAN", "#0.00"},
    {"RX_TXRXID", ""},
    {"RX_FREQMHZ", "##0.00000"},
    {"RX_DFM", "#0.00"},
    {"RX_AIFM", "#0.00"},
    {"RX_EIFM", "#0.00"},
    {"RX_EIFM_TI", "#0.00"},
    {"RX_EIFM_CI", "#0.00"},
    {"RX_PASSIZE", ""},
    {"RX_PSIZEUN", ""},
    {"RX_SENS", "#0.00"},
    {"RX_SENSUN", ""},
    {"RX_THREF", ""},
    {"RX_THREFUN", ""},
    {"RX_IMPED", "#0.00"},
    {"TX_TXRXID", ""},
    {"TX_TPO", "#0.00"},
    {"TX_TPOUN", ""},
    {"TX_FREQMHZ", "##0.00000"},
    {"TX_DIVFMHZ", "##0.00000"},
    {"TX_L1TID", ""},
    {"TX_L1TYP", ""},
    {"TX_L1LEN", "#0.00"},
    {"TX_L1LENUN", ""},
    {"TX_L1LOS", "#0.00"},
    {"TX_L2TID", ""},
    {"TX_L2TYP", ""},
    {"TX_L2LEN", "#0.00"},
    {"TX_L2LENUN", ""},
    {"TX_L2LOS", "#0.00"},
    {"TX_CRTID", ""},
    {"TX_CRTYP", ""},
    {"TX_CRLOS", "#0.00"},
    {"TX_CNTID", ""},
    {"TX_CNTYP", ""},
    {"TX_CNLOS", "#0.00"},
    {"TX_JPTID", ""},
    {"TX_JPTYP", ""},
    {"TX_JPLOS", "#0.00"},
    {"TX_CBID", ""},
    {"TX_CBTID", ""},
    {"TX_CBTYP", ""},
    {"TX_CBLOS", "#0.00"},
    {"TX_M1TID", ""},
    {"TX_M1TYP", ""},
    {"TX_M1LOS", "#0.00"},
    {"TX_M2TID", ""},
    {"TX_M2TYP", ""},
    {"TX_M2LOS", "#0.00"},
    {"TX_A1TID", ""},
    {"TX_A1TYP", ""},
    {"TX_A1PWR", ""},
    {"TX_A1PWRUN", ""},
    {"TX_A1GAIN", "#0.00"},
    {"TX_A1GNUN", ""},
    {"TX_A1AGL", "#0.00"},
    {"TX_A1AGLUN", ""},
    {"TX_A1MOUNT", ""},
    {"TX_A1MTDIS", ""},
    {"TX_A1MTUN", ""},
    {"TX_A1FACE", ""},
    {"TX_A1FACUN", ""},
    {"TX_A1ORIEN", "#0.00"},
    {"TX_A1ETILT", "#0.00"},
    {"TX_A1MTILT", "#0.00"},
    {"TX_A1MDIR", "#0.00"},
    {"TX_A1RDID", ""},
    {"TX_A1RDTID", ""},
    {"TX_A1RDTYP", ""},
    {"TX_A1RDLOS", "#0.00"},
    {"TX_A1ERP", "#0.00"},
    {"TX_A1ERPUN", ""},
    {"TX_ERPMODE", ""},
    {"RX_A1FLDUN", ""},
    {"RX_FLDMODE", ""},
    {"TX_L1FNM", ""},
    {"TX_L2FNM", ""},
    {"TX_A1FNM", ""},
    {"TX_A1POL", ""},
    {"TX_A1INVRT", ""},
    {"RX_A1FNM", ""},
    {"RX_A1L1FNM", ""},
    {"RX_A1L2FNM", ""},
    {"RX_A1POL", ""},
    {"RX_A1INVRT", ""},
    {"RX_A2FNM", ""},
    {"RX_A2L1FNM", ""},
    {"RX_A2L2FNM", ""},
    {"RX_A2POL", ""},
    {"RX_A2INVRT", ""},
    {"FAC_ELMODE", ""},
    {"TX_A1ELMOD", ""},
    {"RX_A1ELMOD", ""},
    {"RX_A2ELMOD", ""},
    {"EDIT_DATE", ""},
    {"ANT_ELMODE", ""},
}};

constexpr std::array<FieldDef, kMobileFieldCount> kMobile{{
    {"MO_DESC", ""},
    {"MO_ID", "0000000"},
    {"MO_NOTES", ""},
    {"MO_MODE", ""},
    {"MO_OTHID", ""},
    {"MO_OTHTID", ""},
    {"MO_OTHTYP", ""},
    {"TX_TXRXID", ""},
    {"TX_TPO", "#0.00"},
    {"TX_TPOUN", ""},
    {"TX_FREQMHZ", "##0.00000"},
    {"TX_A1L1ID", ""},
    {"TX_A1L1TID", ""},
    {"TX_A1L1TYP", ""},
    {"TX_A1L1FNM", ""},
    {"TX_A1L1LEN", "#0.00"},
    {"TX_A1L1LUN", ""},
    {"TX_A1L1LOS", "#0.00"},
    {"TX_A1ID", ""},
    {"TX_A1TID", ""},
    {"TX_A1TYP", ""},
    {"TX_A1FNM", ""},
    {"TX_A1PWR", "#0.00"},
    {"TX_A1PWRUN", ""},
    {"TX_A1GAIN", "#0.00"},
    {"TX_A1GNUN", ""},
    {"TX_A1AGL", "#0.00"},
    {"TX_A1AGLUN", ""},
    {"TX_A1ERP", "#0.00"},
    {"TX_A1ERPUN", ""},
    {"TX_ERPMODE", ""},
    {"TX_A1POL", ""},
    {"TX_A1INVRT", ""},
    {"TX_CNID", ""},
    {"TX_CNTID", ""},
    {"TX_CNTYP", ""},
    {"TX_CNLOS", "#0.00"},
    {"TX_M1ID", ""},
    {"TX_M1TID", ""},
    {"TX_M1TYP", ""},
    {"TX_M1LOS", "#0.00"},
    {"TX_M2ID", ""},
    {"TX_M2TID", ""},
    {"TX_M2TYP", ""},
    {"TX_M2LOS", "#0.00"},
    {"RX_A1ID", ""},
    {"RX_A1TID", ""},
    {"RX_A1TYP", ""},
    {"RX_A1FNM", ""},
    {"RX_A1GAIN", "#0.00"},
    {"RX_A1GNUN", ""},
    {"RX_A1AGL", "#0.00"},
    {"RX_A1AGLUN", ""},
    {"RX_A1FLD", "#0.00"},
    {"RX_A1FLDUN", ""},
    {"RX_FLDMODE", ""},
    {"RX_A1L1ID", ""},
    {"RX_A1L1TID", ""},
    {"RX_A1L1TYP", ""},
    {"RX_A1L1FNM", ""},
    {"RX_A1L1LEN", "#0.00"},
    {"RX_A1L1LUN", ""},
    {"RX_A1L1LOS", "#0.00"},
    {"RX_1L1RID", ""},
    {"RX_1L1RTID", ""},
    {"RX_1L1RTYP", ""},
    {"RX_1L1RGAN", "#0.00"},
    {"RX_A1POL", ""},
    {"RX_A1INVRT", ""},
    {"RX_CNID", ""},
    {"RX_CNTID", ""},
    {"RX_CNTYP", ""},
    {"RX_CNLOS", "#0.00"},
    {"RX_M1ID", ""},
    {"RX_M1TID", ""},
    {"RX_M1TYP", ""},
    {"RX_M1LOS", "#0.00"},
    {"RX_M2ID", ""},
    {"RX_M2TID", ""},
    {"RX_M2TYP", ""},
    {"RX_M2LOS", "#0.00"},
    {"RX_BDID", ""},
    {"RX_BDTID", ""},
    {"RX_BDTYP", ""},
    {"RX_BDLOS", "#0.00"},
    {"RX_BLID", ""},
    {"RX_BLTID", ""},
    {"RX_BLTYP", ""},
    {"RX_BLLOS", "#0.00"},
    {"RX_VHID", ""},
    {"RX_VHTID", ""},
    {"RX_VHTYP", ""},
    {"RX_VHLOS", "#0.00"},
    {"RX_TXRXID", ""},
    {"RX_FREQMHZ", "##0.00000"},
    {"RX_SENS", "#0.00"},
    {"RX_SENSUN", ""},
    {"RX_THREF", "#0.00"},
    {"RX_THREFUN", ""},
    {"RX_IMPED", "#0.00"},
    {"MOB_RXREF", ""},
}};

template <std::size_t N>
const FieldDef* Lookup(const std::array<FieldDef, N>& set, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return nullptr;
  return &set[static_cast<std::size_t>(index)];
}

template <std::size_t N>
int IndexOf(const std::array<FieldDef, N>& set, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i)
    if (set[i].name == name) return static_cast<int>(i);
  return -1;
}

bool IsBlank(const FieldValue& v) {
  const auto* s = std::get_if<std::string>(&v);
  if (!s) return false;
  return s->find_first_not_of(" \t\r\n\v\f") == std::string::npos;
}

void Refill(FieldCollection& map, const FieldDef& f) {
  std::string key(f.name);
  map.Remove(key);
  map.Add(std::move(key), FormatNumber(0.0, f.format));
}

}  // namespace

std::string_view FacilityFieldName(int index) {
  const auto* f = Lookup(kFacility, index);
  return f ? f->name : std::string_view{};
}

std::string_view FacilityFieldFormat(int index) {
  const auto* f = Lookup(kFacility, index);
  return f ? f->format : std::string_view{};
}

std::string_view MobileFieldName(int index) {
  const auto* f = Lookup(kMobile, index);
  return f ? f->name : std::string_view{};
}

std::string_view MobileFieldFormat(int index) {
  const auto* f = Lookup(kMobile, index);
  return f ? f->format : std::string_view{};
}

int FacilityFieldIndex(std::string_view name) { return IndexOf(kFacility, name); }
int MobileFieldIndex(std::string_view name) { return IndexOf(kMobile, name); }

void FillBlankMobileNumbers(FieldCollection& mobile) {
  for (const auto& f : kMobile) {
    if (f.format.empty()) continue;
    const auto* v = mobile.Find(f.name);
    if (v && IsBlank(*v)) Refill(mobile, f);
  }
}

std::string FillBlankFacilityNumbers(FieldCollection& facility) {
  // Every numeric field must be there before anything is changed, so that a
  // rejected facility is handed back untouched.
  std::string missing;
  for (std::size_t i = 1; i < kFacility.size(); ++i) {
    const auto& f = kFacility[i];
    if (f.format.empty() || facility.Contains(f.name)) continue;
    missing += missing.empty() ? "" : ", ";
    missing += f.name;
  }
  if (!missing.empty()) return "Facility fields missing: " + missing;
  for (std::size_t i = 1; i < kFacility.size(); ++i) {
    const auto& f = kFacility[i];
    if (f.format.empty()) continue;
    if (IsBlank(*facility.Find(f.name))) Refill(facility, f);
  }
  return {};
}

}  // namespace zw
