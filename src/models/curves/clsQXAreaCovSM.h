#pragma once
// The Specialized Mobile Radio calculator: the broadcast-curve calculator
// with the SM template and settings keys, names and default channel (14).
// SMR frequencies above 806 MHz take channel 69, so the UHF curves.
#include "models/curves/clsQXAreaCovBC.h"

namespace zw {

class clsQXAreaCovSM : public clsQXAreaCovBC {
 public:
  clsQXAreaCovSM();

 private:
  static Keys SMKeys();
};

}  // namespace zw
