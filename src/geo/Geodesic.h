#pragma once
// Geodesic forward and inverse calculations on the WGS 84 ellipsoid (Karney's
// method through PROJ's geodesic routines). Azimuths are degrees clockwise from
// north in [0, 360); distances are in the calculator's distance unit ("km"
// unless told otherwise; "m", "mi" and "ft" are also accepted).
#include <string>
#include <string_view>

namespace zw {

class Geodesic {
 public:
  explicit Geodesic(std::string_view distUnit = "km");

  // False when the unit is not one of "km", "m", "mi", "ft".
  bool bUnitOK() const { return metresPerUnit_ > 0; }
  const std::string& sDistUnit() const { return unit_; }

  // Position at distance dist along azimuth az from (lat1, lon1). Longitude
  // comes back in [-180, 180). Returns false (outputs untouched) on a latitude
  // outside -90..90, a negative or non-finite distance, or a bad unit.
  bool Forward(double lat1, double lon1, double az, double dist, double& lat2, double& lon2) const;

  // Azimuth at the first point and distance from (lat1, lon1) to (lat2, lon2).
  // A zero-length path gives azimuth 0. Returns false on invalid coordinates.
  bool Inverse(double lat1, double lon1, double lat2, double lon2, double& az, double& dist) const;

  // The same in kilometres, without a calculator object.
  static bool ForwardKm(double lat1, double lon1, double az, double distKm, double& lat2, double& lon2);
  static bool InverseKm(double lat1, double lon1, double lat2, double lon2, double& az, double& distKm);

  // Metres per unit for "m", "km", "mi", "ft" (case-insensitive); 0 otherwise.
  static double MetresPerUnit(std::string_view unit);

 private:
  std::string unit_;
  double metresPerUnit_ = 0;
};

}  // namespace zw
