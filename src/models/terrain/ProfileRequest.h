#pragma once
// Getting the terrain profile of the current path for the profile and curve
// calculators.
#include <string>
#include <vector>

namespace zw {
namespace platform {
class clsObstructions;
class clsPathElv;
}  // namespace platform

// The profile to the current end point for the path length; when none comes
// back, once more 5 cm short of it. A profile already held for this length
// (the area run and the point-to-point run extract it first) is used as it is.
bool RequestProfile(platform::clsPathElv& p, double lengthM);

// The profile of the path as RequestProfile gets it; "" when it is held,
// otherwise why not ("No terrain profile" without a profile object, or the
// end point with the profile object's message).
std::string ProfileError(platform::clsPathElv* p, double lengthM, double endLat, double endLon);

// The elevations of a held profile: with obstructions when they are in use.
const std::vector<float>& ProfileElevations(const platform::clsPathElv& p, const platform::clsObstructions* obs);

}  // namespace zw
