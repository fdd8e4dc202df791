#pragma once
// The link budget of a path whose result is a field strength: from the ERP
// toward the receiver (the antenna pattern's gain included) through the
// free-space and model losses to the field at the receiver and the power a
// receive antenna of a given gain delivers after its line loss, with the
// margin over a threshold. Every value in the unit its name says.
#include <optional>
#include <string>

#include "engine/PointToPoint.h"

namespace zw {

// A threshold in dBu (a field) or dBm (a received power).
struct LinkThreshold {
  double value = 0;
  std::string unit = "dBu";
};

struct LinkBudgetInput {
  double rxGainDbi = 0;       // receive antenna gain over isotropic
  double rxLineLossDb = 0;    // cable and connector loss before the receiver
  std::optional<LinkThreshold> threshold;
};

struct LinkBudget {
  double erpDbm = 0;              // ERP in the direction of the antenna's maximum
  double patternGainDb = 0;       // pattern gain toward the receiver (0 or negative)
  double erpTowardDbm = 0;        // ERP toward the receiver
  double eirpTowardDbm = 0;       // the same over an isotropic antenna (+2.15 dB)
  double pathLengthKm = 0, freqMHz = 0;
  double freeSpaceLossDb = 0;     // basic free-space loss between isotropic antennas
  double freeSpaceFieldDbu = 0;
  double modelLossDb = 0;         // the model's loss beyond free space (land use not included)
  double landUseLossDb = 0;
  double fieldDbu = 0, fieldUvPerM = 0;
  double isotropicPowerDbm = 0;   // power an isotropic antenna receives from that field
  double rxGainDbi = 0, rxLineLossDb = 0;
  double rxPowerDbm = 0;          // at the receiver input
  std::optional<LinkThreshold> threshold;
  double marginDb = 0;            // against the threshold in its own unit
};

// dBm received by an isotropic antenna in a field of e dBu at f MHz:
// e - 20 log10(f) - 77.21.
double IsotropicPowerDbm(double fieldDbu, double freqMHz);
// Basic free-space loss, dB: 32.45 + 20 log10(f MHz) + 20 log10(d km).
double FreeSpaceLossDb(double distKm, double freqMHz);

// The budget of a computed path (a field strength result). nullopt when the
// result is not a field strength or the path has no frequency or length.
std::optional<LinkBudget> ComputeLinkBudget(const P2PResult& r, const LinkBudgetInput& in);

}  // namespace zw
