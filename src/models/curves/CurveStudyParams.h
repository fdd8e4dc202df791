#pragma once
// Template values shared by the curve calculators that work out a radial
// HAAT (BC, SM, CX, CG): the HAAT window, the site radials and the
// description, each with its QXCoverage setting when the template leaves it
// out.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/FieldCollection.h"

namespace zw {

// A template value as trimmed text ("" when missing).
std::string TemplateText(const FieldCollection& m, std::string_view key);

// The template and setting keys of the HAAT window, and the prefix of the
// reader labels ("<prefix> HAAT Start Distance", "<prefix> HAAT Stop Distance").
struct HaatWindowKeys {
  std::string_view start, startUnit, stop, stopUnit;  // template
  std::string_view cfgStart, cfgStop;                 // QXCoverage settings
  std::string_view labelPrefix;
};

// The window keys of a calculator's key set (hstrt, hstrtun, hstop, hstopun,
// cfgHStrt, cfgHStop, labelPrefix).
template <class Keys>
HaatWindowKeys HaatKeysOf(const Keys& k) {
  return {k.hstrt, k.hstrtun, k.hstop, k.hstopun, k.cfgHStrt, k.cfgHStop, k.labelPrefix};
}

// The HAAT window in metres with the texts it was read from.
struct HaatWindow {
  double startM = 0, stopM = 0;
  std::string startText, startUnit, stopText, stopUnit;
};

// Each window end from the template, or from its setting ("value|unit",
// defaults 3 km and 16 km) when the template's value is 0 or less or its unit
// blank. False when an end cannot be converted to metres or the window is
// empty (stop not beyond start: HAAT would become the height above sea
// level); rejectLabel and rejectValue then name the refused end.
bool ReadHaatWindow(const FieldCollection& m, const HaatWindowKeys& keys, HaatWindow& window,
                    std::string& rejectLabel, std::string& rejectValue);

// The site radials from the template, or from the setting (default every
// 45 degrees): text with commas and runs of blanks made one blank, and the
// azimuths in it.
void ReadSiteRadials(const FieldCollection& m, std::string_view key, std::string_view cfgKey, std::string& text,
                     std::vector<double>& azimuths);

// The template's description, "{DEFAULTS SET IN RAVOPROP}" when blank.
std::string TemplateDescription(const FieldCollection& m, std::string_view key);

// The HAAT lines of the parameter print-out: the window in the unit of its
// start (m when blank or not convertible) and the site radials.
void PrintHaatWindow(std::ostream& out, double startM, double stopM, const std::string& unit,
                     const std::string& radials);

}  // namespace zw
