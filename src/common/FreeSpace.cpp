#include "common/FreeSpace.h"

#include <cmath>
#include <iostream>

#include "common/calcMiscMath.h"

namespace zw {

namespace {

constexpr double kFieldAt1km1kW = 106.92;  // dBu, 1 kW ERP (dipole) at 1 km

// A floating-point fault in a free-space computation: logged, result 0.
double Fault(const char* procedure) {
  std::cerr << "Error 6: Overflow in " << procedure << '\n';
  return 0.0;
}

}  // namespace

double FreeSpaceFieldM(double distM, double erpDbm) {
  if (!(distM > 0)) {
    dLog10(distM);  // reports the distance outside the domain
    return 0.0;
  }
  const double e = erpDbm - 60.0 + kFieldAt1km1kW - 20.0 * dLog10(distM / 1000.0);
  return std::isfinite(e) ? e : Fault("FreeSpaceFieldM");
}

double FreeSpaceFieldMi(double distMi, double erpDbk) {
  if (!(distMi > 0)) {
    dLog10(distMi);
    return 0.0;
  }
  const double e = erpDbk + kFieldAt1km1kW - 20.0 * dLog10(1.609344 * distMi);
  return std::isfinite(e) ? e : Fault("FreeSpaceFieldMi");
}

}  // namespace zw
