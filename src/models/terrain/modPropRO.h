#pragma once
// Rounded-obstacle model routines: the obstacle peaks of a terrain profile.
#include <span>
#include <string>
#include <vector>

namespace zw {

// Obstacle peaks of the first nPoints points of a profile (distances in m,
// increasing; elevations in m): the indexes of the interior points that are
// local maxima standing at least dResolutionM above the lowest ground between
// them and the nearest higher ground on each side (or the profile end). A
// resolution of 0 or less takes every local maximum. On a flat top (equal
// neighbouring elevations) the middle point stands for the plateau. Points
// without elevation (at or below -30000 m, or not a number) are passed over.
// Indexes come out in profile order.
// False, with the reason in sErr and no peaks, when nPoints is beyond the
// arrays, a distance is not a number or distances decrease, or the
// resolution is not a number. Fewer than three points give no peaks.
bool ROPeaks(std::span<const double> dist, std::span<const float> elev, int nPoints, double dResolutionM,
             std::vector<int>& peaks, std::string& sErr);

}  // namespace zw
