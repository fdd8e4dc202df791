#pragma once
// The checks of a facility collection (cFAC) as one function: what the engine
// derives from it, and the messages of what is wrong. The antenna is left to
// the engine, which knows whether a task supplies it.
#include <string>
#include <string_view>

#include "common/FieldCollection.h"

namespace zw {

struct FacilityValues {
  std::string desc, datum;
  int datumCode = 0;                   // EPSG code of the datum
  double lat = -888.0, lon = -888.0;   // decimal degrees; -888: none
  float siteElv = 0;                   // site elevation, in siteElvUn
  std::string siteElvUn;
  double antHgt = 0;                   // antenna height, in antHgtUn, above antElMode
  std::string antHgtUn, antElMode;
  double erp = 0;                      // ERP in erpUn
  std::string erpUn;
  double erpDbm = 0, txAglM = 0, txMslM = 0;
  double freqMHz = 0;
  std::string message;                 // the problems found, a blank line between them
  bool refused = false;                // a problem makes the facility unusable
};

// Fills the blank numeric fields of f (a missing one refuses the facility)
// and checks the rest: coordinates, site elevation, antenna height, ERP and
// frequency. Every check runs, so that each value belongs to this facility.
FacilityValues CheckFacility(FieldCollection& f);

// Appends a message to the collected text, a blank line between messages.
void AddMessage(std::string& collected, std::string_view message);

}  // namespace zw
