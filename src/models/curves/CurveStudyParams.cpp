#include "models/curves/CurveStudyParams.h"

#include <cmath>
#include <sstream>

#include "common/Config.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"

namespace zw {

namespace {

constexpr const char* kSettingsSection = "QXCoverage";

bool WindowEnd(const FieldCollection& m, std::string_view key, std::string_view unitKey, std::string_view setting,
               std::string_view settingDefault, double& metres, std::string& value, std::string& unit) {
  value = TemplateText(m, key);
  unit = TemplateText(m, unitKey);
  if (!(ParseDouble(value) > 0) || unit.empty()) {
    const std::string s = ReadString(kSettingsSection, setting, settingDefault, CoverageSettingsFile());
    const auto bar = s.find('|');
    value = Trim(s.substr(0, bar));
    unit = bar == std::string::npos ? std::string() : Trim(s.substr(bar + 1));
  }
  bool err = false;
  metres = ConvertLength(unit, "m", value, err);
  return !err && std::isfinite(metres) && metres >= 0;
}

std::string NormaliseRadials(std::string t) {
  for (char& c : t)
    if (c == ',') c = ' ';
  t = Trim(t);
  std::string::size_type p;
  while ((p = t.find("  ")) != std::string::npos) t.erase(p, 1);
  return t;
}

std::vector<double> SplitRadials(const std::string& t) {
  std::vector<double> out;
  std::istringstream in(t);
  std::string word;
  while (in >> word) out.push_back(ParseDouble(word));
  return out;
}

}  // namespace

std::string TemplateText(const FieldCollection& m, std::string_view key) {
  const FieldValue* v = m.FindNoCase(key);
  return v ? Trim(ToText(*v)) : std::string();
}

bool ReadHaatWindow(const FieldCollection& m, const HaatWindowKeys& keys, HaatWindow& window,
                    std::string& rejectLabel, std::string& rejectValue) {
  const std::string prefix(keys.labelPrefix);
  HaatWindow w;
  if (!WindowEnd(m, keys.start, keys.startUnit, keys.cfgStart, "3|km", w.startM, w.startText, w.startUnit)) {
    rejectLabel = prefix + " HAAT Start Distance";
    rejectValue = Trim(w.startText + " " + w.startUnit);
    return false;
  }
  if (!WindowEnd(m, keys.stop, keys.stopUnit, keys.cfgStop, "16|km", w.stopM, w.stopText, w.stopUnit) ||
      !(w.stopM > w.startM)) {
    rejectLabel = prefix + " HAAT Stop Distance";
    rejectValue = Trim(w.stopText + " " + w.stopUnit);
    return false;
  }
  window = std::move(w);
  return true;
}

void ReadSiteRadials(const FieldCollection& m, std::string_view key, std::string_view cfgKey, std::string& text,
                     std::vector<double>& azimuths) {
  std::string radials = TemplateText(m, key);
  if (radials.empty())
    radials = ReadString(kSettingsSection, cfgKey, "0 45 90 135 180 225 270 315", CoverageSettingsFile());
  text = NormaliseRadials(radials);
  azimuths = SplitRadials(text);
}

std::string TemplateDescription(const FieldCollection& m, std::string_view key) {
  std::string desc = TemplateText(m, key);
  return desc.empty() ? "{DEFAULTS SET IN RAVOPROP}" : desc;
}

void PrintHaatWindow(std::ostream& out, double startM, double stopM, const std::string& unit,
                     const std::string& radials) {
  bool err = false;
  const std::string shown = unit.empty() ? "m" : unit;
  double start = ConvertLength("m", shown, startM, err);
  double stop = ConvertLength("m", shown, stopM, err);
  if (err) {
    start = startM;
    stop = stopM;
  }
  out << "Radial HAAT based on elevations " << FormatNumber(start, "#0.00") << " to " << FormatNumber(stop, "#0.00")
      << " " << (err ? "m" : shown) << "\n";
  out << "Site HAAT based on radials " << radials << "\n";
}

}  // namespace zw
