#pragma once
// Cellular service-area boundary (CGSA) distance, 47 CFR 22.911(a): the
// closed forms d = 2.531 h^0.34 p^0.17 km (Gulf of Mexico: 6.895 h^0.30
// p^0.15 km), h the radial HAAT in metres, p the radial ERP in watts. They
// are evaluated in their English-unit form (h in feet, d in miles):
// 1.05 h^0.34 p^0.17 and 3.0 h^0.30 p^0.15, with the height floors of the
// rule in feet (Gulf 25 ft, unserved-area cell below 10 W 10 ft, else 100 ft).
#include <string>

namespace zw {

inline constexpr double kCGMaxHaatFt = 5000.0;
// Shortest boundary distance of a land cell (miles).
inline constexpr double kCGMinDistMi = 3.4;

// HAAT (ft) the formula uses for a radial HAAT in metres.
double CGFormulaHaatFt(double haatM, bool gulfOfMexico, bool unservedArea, double horizErpW);

// Distance (miles) to the service-area boundary. Returns "" on success and an
// error text (distMi unchanged) when the HAAT or ERP is not a number.
std::string CG_Contour(double& distMi, double haatM, bool gulfOfMexico, bool unservedArea, double horizErpW,
                       double pathErpW);

}  // namespace zw
