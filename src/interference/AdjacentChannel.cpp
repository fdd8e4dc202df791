#include "interference/AdjacentChannel.h"

#include <cmath>

#include "common/TextJoin.h"

namespace zw {

std::optional<InterferenceSum> ParseInterferenceSum(std::string_view text) {
  const std::string t = ToUpper(Trim(text));
  if (t == "POWER SUM" || t == "SUM" || t == "RSS" || t == "POWER") return InterferenceSum::kPowerSum;
  if (t == "MAXIMUM" || t == "MAX" || t == "LARGEST") return InterferenceSum::kMaximum;
  return std::nullopt;
}

std::string InterferenceSumName(InterferenceSum s) { return s == InterferenceSum::kMaximum ? "Maximum" : "Power Sum"; }

std::string PointClassName(PointClass c) {
  switch (c) {
    case PointClass::kServed: return "served";
    case PointClass::kInterfered: return "interfered";
    default: return "unserved";
  }
}

double FieldToDbm(double fieldDbu, double freqMHz) { return fieldDbu - 20.0 * std::log10(freqMHz) - 77.21; }

int DtoURowFor(const clsQXDtoU& table, double desiredDbm) {
  int atOrBelow = -1, lowest = -1;
  for (int i = 0; i < table.iNumDlevels(); ++i) {
    const double level = table.Dlevel(i)->dDdBm();
    if (lowest < 0 || level < table.Dlevel(lowest)->dDdBm()) lowest = i;
    if (level <= desiredDbm && (atOrBelow < 0 || level > table.Dlevel(atOrBelow)->dDdBm())) atOrBelow = i;
  }
  return atOrBelow >= 0 ? atOrBelow : lowest;
}

std::optional<double> RequiredDtoU(const clsQXDtoU& table, double desiredDbm, double offsetMHz) {
  const int row = DtoURowFor(table, desiredDbm);
  if (row < 0) return std::nullopt;
  const double v = table.dDtoUAtOffset(row, offsetMHz);
  if (v == kDtoUNotFound || v == -888.0) return std::nullopt;
  return v;
}

InterferenceResult ClassifyPoint(const clsQXDtoU& table, InterferenceSum sum, double thresholdDbu,
                                 std::optional<double> desiredDbu, double desiredFreqMHz,
                                 const std::vector<UndesiredSignal>& undesired) {
  InterferenceResult r;
  if (!desiredDbu) return r;
  const double dDbm = FieldToDbm(*desiredDbu, desiredFreqMHz);
  // Each undesired field raised by its required ratio: the level the desired
  // signal must reach to be protected from it alone.
  double power = 0, largest = -1e300;
  for (int i = 0; i < static_cast<int>(undesired.size()); ++i) {
    const auto& u = undesired[static_cast<std::size_t>(i)];
    if (!u.present) continue;
    const auto ratio = RequiredDtoU(table, dDbm, u.freqMHz - desiredFreqMHz);
    if (!ratio) continue;
    const double weighed = u.fieldDbu + *ratio;
    power += std::pow(10.0, weighed / 10.0);
    if (weighed > largest) largest = weighed, r.worst = i;
  }
  if (r.worst >= 0)
    r.marginDb = *desiredDbu - (sum == InterferenceSum::kMaximum ? largest : 10.0 * std::log10(power));
  if (*desiredDbu < thresholdDbu) return r;
  r.cls = r.marginDb < 0 ? PointClass::kInterfered : PointClass::kServed;
  return r;
}

}  // namespace zw
