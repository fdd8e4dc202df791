#include "models/terrain/ProfileRequest.h"

#include <cmath>

#include "platform/NumberFormat.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

bool RequestProfile(platform::clsPathElv& p, double lengthM) {
  const auto& dis = p.DIS_Array();
  if (p.iLastPoint() >= 1 && std::fabs(dis.back() - lengthM) <= 0.01) return true;
  if (p.ExtractProfile(lengthM) && p.iLastPoint() >= 0) return true;
  return p.ExtractProfile(lengthM - 0.05) && p.iLastPoint() >= 0;
}

std::string ProfileError(platform::clsPathElv* p, double lengthM, double endLat, double endLon) {
  if (!p) return "No terrain profile";
  if (RequestProfile(*p, lengthM)) return {};
  return "No terrain profile to " + FormatNumber(endLat, "#0.00") + ", " + FormatNumber(endLon, "#0.00") +
         (p->sMessage().empty() ? "" : ": " + p->sMessage());
}

const std::vector<float>& ProfileElevations(const platform::clsPathElv& p, const platform::clsObstructions* obs) {
  return obs && obs->bUse() ? p.ELV_ArrayOBS() : p.ELV_Array();
}

}  // namespace zw
