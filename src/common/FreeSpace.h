#pragma once
// Free-space field strength of a path, from the 106.92 dBu produced at 1 km by
// 1 kW ERP referred to a half-wave dipole.
namespace zw {

// Terrain models: distance in metres, ERP in dBm; field in dBu.
// E = P - 60 + 106.92 - 20 log10(d / 1000).
double FreeSpaceFieldM(double distM, double erpDbm);

// Curve models: distance in statute miles, ERP in dBk; field in dBu.
// E = P + 106.92 - 20 log10(1.609344 d).
double FreeSpaceFieldMi(double distMi, double erpDbk);

// A distance of 0 or below (or NaN) is reported by the guarded logarithm and
// gives 0; a result that is not finite (an infinite or NaN power, say) is
// reported to the error log and gives 0.

}  // namespace zw
