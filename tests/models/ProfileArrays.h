#pragma once
// Profiles as the model routines take them: distances and elevations side by
// side, level or from a ground function.
#include <vector>

namespace zw::test {

struct ProfileArrays {
  std::vector<double> d;  // m from the transmitter
  std::vector<float> e;   // m above sea level
  int count() const { return static_cast<int>(d.size()); }
  int last() const { return count() - 1; }
};

// lengthM in `intervals` equal steps, every point at elevM.
inline ProfileArrays Flat(double lengthM, int intervals, float elevM = 0.0f) {
  ProfileArrays p;
  for (int i = 0; i <= intervals; ++i) {
    p.d.push_back(lengthM * i / intervals);
    p.e.push_back(elevM);
  }
  return p;
}

// Points every stepM from 0 to lengthM, elevations ground(distance).
template <typename Ground>
ProfileArrays Stepped(double lengthM, double stepM, Ground ground) {
  ProfileArrays p;
  for (double x = 0; x <= lengthM + 1e-9; x += stepM) {
    p.d.push_back(x);
    p.e.push_back(static_cast<float>(ground(x)));
  }
  return p;
}

}  // namespace zw::test
