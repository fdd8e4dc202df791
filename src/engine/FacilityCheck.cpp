#include "engine/FacilityCheck.h"

#include <cmath>
#include <functional>

#include "common/ErrorHandler.h"
#include "common/FieldSets.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/Datum.h"
#include "platform/NumberFormat.h"

namespace zw {

namespace {

// Sanity limits of a facility: no model holds above 100 GHz, and an ERP above
// 150 dBm (1e9 kW) is a typing or unit error, not a transmitter.
constexpr double kMaxFreqMHz = 100000.0;
constexpr double kMaxERPdBm = 150.0;

// A field whose text holds no number (such as "nan"), which would otherwise read as 0.
bool NotNumber(const FieldCollection& f, const char* key) {
  const std::string text = Trim(f.GetText(key));
  double v = 0;
  return !text.empty() && !TryParseDouble(text, v);
}

// Coordinates and datum.
void CheckPosition(const FieldCollection& f, FacilityValues& v, const std::function<void(std::string_view)>& fail) {
  v.desc = f.GetText("FAC_DESC");
  // DECLAT is not normalised: blank means no latitude.
  const FieldValue* lat = f.Find("DECLAT");
  v.lat = (!lat || Trim(ToText(*lat)).empty()) ? -888.0 : f.GetDouble("DECLAT");
  v.lon = f.GetDouble("DECLON", -888.0);
  v.datum = f.GetText("FAC_DATUM");
  if (NotNumber(f, "DECLAT") || NotNumber(f, "DECLON") || !(v.lat >= -880.0) || !(v.lon >= -880.0) ||
      !std::isfinite(v.lat) || !std::isfinite(v.lon)) {
    // The text as given when it holds no number, so that "nan" is not shown as 0.
    auto shown = [&](const char* key, double value) {
      return NotNumber(f, key) ? Trim(f.GetText(key)) : FormatGeneral(value);
    };
    fail("Invalid Task Fixed Facility Coordinates\n" + shown("DECLAT", v.lat) + "\n" + shown("DECLON", v.lon));
  }
  ProcStep(1200);
  v.datumCode = DatumEpsg(DatumLibKey(v.datum));
}

// Site elevation and the antenna height above ground and sea level, in metres.
void CheckHeights(const FieldCollection& f, FacilityValues& v, const std::function<void(std::string_view)>& fail) {
  v.siteElv = f.GetSingle("FAC_ELV");
  v.siteElvUn = f.GetText("FAC_ELVUN");
  // A text that holds no number (such as "nan") would otherwise read as 0 m.
  if (NotNumber(f, "FAC_ELV") || !(v.siteElv >= -30000.0f) || !std::isfinite(v.siteElv) ||
      Trim(v.siteElvUn).empty()) {
    fail("Invalid Task TX Site elevation");
  }

  ProcStep(1400);
  v.antHgt = f.GetSingle("TX_A1AGL");
  v.antHgtUn = f.GetText("TX_A1AGLUN");
  v.antElMode = f.GetText("TX_A1ELMOD");
  bool err = false;
  const double siteInAntUnits = ConvertLength(v.siteElvUn, v.antHgtUn, static_cast<double>(v.siteElv), err);
  double agl = 0, msl = 0;
  if (v.antElMode == "MSL") {
    msl = v.antHgt;
    agl = v.antHgt - siteInAntUnits;
    if (err) fail("Error converting FAC TX MSL Antenna height to AGL");
  } else {
    agl = v.antHgt;
    msl = v.antHgt + siteInAntUnits;
    if (err) fail("Error converting FAC TX Antenna AGL height to MSL");
  }

  ProcStep(1500);
  v.txAglM = ConvertLength(v.antHgtUn, "m", agl, err);
  if (err) {
    fail("Error converting FAC TX Antenna AGL to meters");
  } else if (!(v.txAglM > 0) || !std::isfinite(v.txAglM)) {
    fail("Invalid FAC TX Antenna Height");
  }
  v.txMslM = ConvertLength(v.antHgtUn, "m", msl, err);
  if (err) {
    fail("Error converting FAC TX Antenna MSL to meters");
  } else if (!(v.txMslM > 0) || !std::isfinite(v.txMslM)) {
    fail("Invalid FAC TX Antenna Height");
  }
}

// ERP (and its value in dBm) and frequency.
void CheckPower(const FieldCollection& f, FacilityValues& v, const std::function<void(std::string_view)>& fail) {
  v.erp = f.GetDouble("TX_A1ERP");
  v.erpUn = f.GetText("TX_A1ERPUN");
  bool err = false;
  if (!(v.erp >= -88880.0) || !std::isfinite(v.erp) || Trim(v.erpUn).empty()) {
    fail("Invalid FAC TX ERP");
  } else {
    v.erpDbm = ConvertPower(v.erpUn, "dBm", v.erp, err);
    if (err || !std::isfinite(v.erpDbm)) {
      fail("Error converting FAC ERP to dBm");
    } else if (v.erpDbm > kMaxERPdBm) {
      fail("Invalid FAC TX ERP: " + FormatGeneral(v.erpDbm) + " dBm is above " + FormatGeneral(kMaxERPdBm) + " dBm");
    }
  }

  ProcStep(1700);
  v.freqMHz = f.GetDouble("TX_FREQMHZ");
  if (!(v.freqMHz > 0) || !std::isfinite(v.freqMHz)) {
    fail("Invalid Task TX Frequency");
  } else if (v.freqMHz > kMaxFreqMHz) {
    fail("Invalid Task TX Frequency: " + FormatGeneral(v.freqMHz) + " MHz is above " + FormatGeneral(kMaxFreqMHz) +
         " MHz");
  }
}

}  // namespace

void AddMessage(std::string& collected, std::string_view message) {
  collected = JoinLines(collected, message, kBlankLine);
}

FacilityValues CheckFacility(FieldCollection& f) {
  FacilityValues v;
  auto fail = [&v](std::string_view msg) {
    AddMessage(v.message, msg);
    v.refused = true;
  };
  ProcStep(1000);
  // A missing numeric field is refused with the map untouched; the checks
  // below still run so that every derived value belongs to this facility.
  if (const std::string missing = FillBlankFacilityNumbers(f); !missing.empty()) fail(missing);
  ProcStep(1100);
  CheckPosition(f, v, fail);
  ProcStep(1300);
  CheckHeights(f, v, fail);
  ProcStep(1600);
  CheckPower(f, v, fail);
  return v;
}

}  // namespace zw
