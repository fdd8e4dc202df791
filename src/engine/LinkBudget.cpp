#include "engine/LinkBudget.h"

#include <cmath>

#include "common/FreeSpace.h"

namespace zw {

namespace {
constexpr double kDipoleGainDbi = 2.15;
}

double IsotropicPowerDbm(double fieldDbu, double freqMHz) { return fieldDbu - 20.0 * std::log10(freqMHz) - 77.21; }

double FreeSpaceLossDb(double distKm, double freqMHz) {
  return 32.45 + 20.0 * std::log10(freqMHz) + 20.0 * std::log10(distKm);
}

std::optional<LinkBudget> ComputeLinkBudget(const P2PResult& r, const LinkBudgetInput& in) {
  if (r.unit != "dBu" || !(r.freqMHz > 0) || !(r.pathLengthM > 0)) return std::nullopt;
  LinkBudget b;
  b.erpDbm = r.erpDbm;
  b.pathLengthKm = r.pathLengthM / 1000.0;
  b.freqMHz = r.freqMHz;
  // The free-space field is the ERP toward the receiver spread over the path.
  b.erpTowardDbm = r.freeSpaceDbu - FreeSpaceFieldM(r.pathLengthM, 0.0);
  b.patternGainDb = b.erpTowardDbm - b.erpDbm;
  b.eirpTowardDbm = b.erpTowardDbm + kDipoleGainDbi;
  b.freeSpaceLossDb = FreeSpaceLossDb(b.pathLengthKm, b.freqMHz);
  b.freeSpaceFieldDbu = r.freeSpaceDbu;
  b.modelLossDb = r.modelLossDb;
  b.landUseLossDb = r.landUseLossDb;
  b.fieldDbu = r.netFieldDbu;
  b.fieldUvPerM = std::pow(10.0, b.fieldDbu / 20.0);
  b.isotropicPowerDbm = IsotropicPowerDbm(b.fieldDbu, b.freqMHz);
  b.rxGainDbi = in.rxGainDbi;
  b.rxLineLossDb = in.rxLineLossDb;
  b.rxPowerDbm = b.isotropicPowerDbm + in.rxGainDbi - in.rxLineLossDb;
  b.threshold = in.threshold;
  if (b.threshold) b.marginDb = (b.threshold->unit == "dBm" ? b.rxPowerDbm : b.fieldDbu) - b.threshold->value;
  return b;
}

}  // namespace zw
