#pragma once
// Part 22 service-contour distance by station type (FCC 94-201): a closed
// form d = K x h^A x p^B with d in km, h the radial HAAT in metres and p the
// radial ERP in watts.
#include <cstdint>
#include <string>

namespace zw {

// One coefficient row of the contour formula.
struct CXCoefficients {
  double k, a, b;
};

// The nine rows (index 1..9; row 0 is unused).
const CXCoefficients& CXRow(int row);
// Row of a Part 22 station type at a HAAT (m); 0 for a type outside 1..7.
int CXRowOfType(std::int16_t part22Type, double haatM);

// Distance (km) to the service contour. h is at least 30 m; p is the largest
// of the path ERP, 0.1 W and the horizontal ERP / 500. Returns "" on success;
// "Invalid Part 22 Type in CX_Contour" for a type outside 1..7, and an error
// text for a HAAT or ERP that is not a number; distKm is unchanged then.
std::string CX_Contour(double& distKm, double haatM, double horizErpW, double pathErpW, std::int16_t part22Type);

// The ERP the contour formulas use (watts): the largest of the path ERP,
// 0.1 W and the horizontal ERP / 500.
double Part22FormulaErpW(double horizErpW, double pathErpW);

}  // namespace zw
