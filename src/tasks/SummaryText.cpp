#include "tasks/SummaryText.h"

#include "geo/CoordSys.h"
#include "geo/CoordText.h"
#include "geo/Datum.h"

namespace zw::tasks::summary {

std::string Words(std::initializer_list<std::string> parts) {
  std::string out;
  for (const auto& p : parts) {
    const std::string t = Trim(p);
    if (t.empty()) continue;
    if (!out.empty()) out += ' ';
    out += t;
  }
  return out;
}

std::string Fixed2(const Entries& e, std::string_view key) { return FormatNumber(e.Number(key), "#0.00"); }

std::string Given(const std::string& s) { return s.empty() ? std::string("not given") : s; }

std::string GivenWithUnit(const std::string& s, const std::string& unit) {
  const bool bare = !s.empty() && s.find_first_not_of("0123456789.+-eE") == std::string::npos;
  return bare && !unit.empty() ? s + " " + unit : Given(s);
}

std::string LevelText(std::string_view level0) { return Words({Field(level0, 1), Field(level0, 2)}); }

std::string ContourLine(std::string_view level0) {
  const std::string level = LevelText(level0), pct = Field(level0, 3);
  if (Field(level0, 1).empty()) return "Contour level not given (RX Facility, Level 0)";
  return level + " " + Given(pct) + "% contour";
}

std::string PositionText(const Entries& fac) {
  double lat = 0, lon = 0;
  if (!TryParseDouble(fac.Get("FAC_LAT"), lat) || !TryParseDouble(fac.Get("FAC_LON"), lon))
    return "not given";
  const std::string datum = fac.Get("FAC_DATUM");
  std::string disp = fac.Get("FAC_CSDISP");
  if (disp.empty()) disp = datum;
  std::string note;
  const std::string srcKey = CoordSysIsValid(datum) ? datum : DatumLibKey(datum);
  const std::string dstKey = CoordSysIsValid(disp) ? disp : DatumLibKey(disp);
  if (!EqualsNoCase(srcKey, dstKey)) {
    const CoordConversion c = ConvertPosition(srcKey, dstKey, lat, lon);
    if (c.bOK) {
      lat = c.dLat;
      lon = c.dLon;
    } else {
      disp = datum;
      note = " (not converted: " + c.sError + ")";
    }
  }
  std::string name = DatumDisplayName(disp);
  if (name.empty()) name = disp;
  return Words({CoordText(lat, "LT"), CoordText(lon, "LN"), name}) + note;
}

std::string AntennaText(const Entries& fac) {
  const std::string file = fac.Get("TX_A1FNM"), type = fac.Get("TX_A1TID");
  if (!file.empty()) return "File " + file;
  if (!type.empty()) return "Type " + type;
  return "none (omnidirectional)";
}

std::string RemoteAntennaText(const TaskFile& f) {
  const Entries mob(f.MobileData());
  std::string ant = mob.Get("MO_A1FNM");
  if (ant.empty()) ant = Words({mob.Get("MO_A1TID"), mob.Get("MO_A1TYP")});
  if (ant.empty()) ant = "omnidirectional";
  std::string height = Trim(f.Rx().antennaHeight);
  if (height.empty() && !mob.Get("MO_RXmAGL").empty()) height = mob.Get("MO_RXmAGL") + " m AGL";
  return height.empty() ? ant : ant + ", " + height;
}

}  // namespace zw::tasks::summary
