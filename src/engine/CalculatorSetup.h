#pragma once
// The one door into a model's calculator: everything it is given before its
// first path, handed over in one fixed order by Configure, and what it gives
// back after a path. The engine's point-to-point run, the area run (each of
// its threads) and the single-path runs of the command line and the Python
// package all configure their calculators here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/FieldCollection.h"
#include "coverage/clsQXAreaCov.h"

namespace zw {

// Everything a calculator is given before its first path.
struct CalculatorSetup {
  std::string model;  // display name or code
  bool silent = false;
  std::shared_ptr<FieldCollection> propMod, fac, mob;
  bool mobMSL = false;
  double facERPdBm = 0, facTXmAGL = 0, facTXmMSL = 0, mobAntM = 0;
  double mobERPdBm = 0;
  bool details = false;
  std::string detailUnPwr, detailUnDis, detailUnElv;
  std::vector<double> haz, hgain, vel, vgain;
  std::shared_ptr<clsObstructions> obs;
  std::shared_ptr<clsLandUse> landUse;
  std::string taskType;  // the study's task type (contour studies take their own branch)
};

// Hands the setup to the calculator; the collections are shared with it as
// they are. False when the model did not take the template (calc.sReadError
// says why); the calculator is then not to be run.
bool Configure(clsQXAreaCov& calc, const CalculatorSetup& s);

// What a calculator gives after a path (CovCalc), read in one place by every run.
struct PathOutcome {
  double fieldDbu = 0;        // net field (the result: see ResultQuantity)
  double freeSpaceDbu = 0;    // free-space field
  double modelLossDb = 0;
  double landUseLossDb = 0;
  std::int16_t luCode = 0;    // land-use class at the path's end
  float rxGroundM = 0;        // ground elevation at the receiver, m
  std::int32_t errBits = 0, errLevel = 0;
  bool failed = false;        // the model could not compute the path
  std::string failure;        // why, when the model says
  std::vector<std::string> warnings;
  std::string details;        // the model's account (when asked for)
};

PathOutcome ReadOutcome(const clsQXAreaCov& calc, bool withDetails, bool withWarnings = true);

// A new calculator of s.model configured with copies of the collections of s
// (so that every thread has its own), or nullptr with the reason.
std::unique_ptr<clsQXAreaCov> MakeCalculator(const CalculatorSetup& s, std::string* error);

}  // namespace zw
