#pragma once
// Bullington knife-edge diffraction over a terrain profile: the knife-edge
// level table, the "FIGURE 12" nomogram and the loss routine of the four loss
// modes (modsBUmode.h).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zw {

// Level of a knife edge, dB (0 or negative), by clearance ratio v (the ray's
// clearance above the edge over the first Fresnel-zone radius, negative when
// the edge blocks the ray) and ground-reflection coefficient r (0 to 1; values
// outside are taken as the nearer limit, a value that is not a number as 0).
// v >= 0.5 gives 0; v < -2.5 gives (v + 2) 4 - 22 for every r; between, the
// table of levels at v = -2.5 .. 0.5 and r = 0, 0.3, 1.0 is interpolated. A v
// that is not a number gives 0.
double dBUKnifeEdgeLevel(double v, double r);

// The table interpolation of dBUKnifeEdgeLevel, for -2.5 <= v <= 0.5 and
// 0 <= r <= 1 (values outside are taken as the nearer limit): one point of
// the table read with the bivariate curve interpolation (Akima, ACM
// algorithm 474: itplbv of models/curves), exact at the table nodes.
double dBUKnifeEdgeTableLookup(double v, double r);

// Level of the "FIGURE 12" nomogram scale at position E: -40 dB at E <= 0, -4
// dB at E >= 190.3 (the last scale point; positions 190.3 .. 196 fall past
// the scale and read its last level), else linear between the scale points.
double dBUNomogramScaleLevel(double dPosition);

// "FIGURE 12" level of a profile (0 or negative, dB): the single edge where
// the horizon rays of the two antennas (heights above sea level) meet, read
// from the nomogram at the edge's distance from the transmitter and height
// above the line of sight, and the frequency. A clear line of sight gives 0.
// Expects a checked profile (see BULoss); points without elevation are
// passed over; anything it cannot compute gives 0.
double dBUFigure12Level(int nPoints, std::span<const double> dist, std::span<const float> elev, double dTxMSL,
                        double dRxMSL, double dFreqMHz);

struct BUKnifeEdge {
  double dLevelDB = 0.0;  // level of the edge, dB (0 or negative)
  double dDistM = 0.0;    // distance from the transmitter, m
};

struct BULossResult {
  double dLevelDB = 0.0;           // Bullington level: sum of the edge levels, never positive
  std::vector<BUKnifeEdge> edges;  // knife edges (modes 0 to 2), in path order
  bool bOK = true;
  std::string sLog;                // text for the technical-support log when bOK is false
};

// The Bullington loss of the first nPoints points of a profile (distances in
// m from the transmitter, increasing; elevations in m), for antenna heights
// above sea level dTxMSL and dRxMSL, frequency in MHz, loss mode (modsBUmode),
// minimum distance dMinDistM and reflection coefficient dReflect.
//
//   FIGURE 12       the nomogram level; no edges listed.
//   INFLECTION      Bullington's equivalent edge: the meeting point of the two
//                   antennas' horizon rays, judged against the direct ray.
//   MIN DISTANCE    the edges are the obstacles the taut string from
//                   antenna to antenna rests on (ROHullObstacles: touching
//                   ground points, grouped while the string stays within one
//                   Fresnel radius of the ground), each at the vertex of its
//                   two tangent rays and judged against the ray between its
//                   neighbouring edges (Epstein-Peterson); edges closer
//                   together than dMinDistM count as one, the highest above
//                   the direct ray.
//   OBSTACLE PEAKS  the same obstacles; those whose vertices lie closer than
//                   the obstacle resolution dMinDistM (a distance along the
//                   path, m) are one obstacle, at the vertex of its outer
//                   tangent rays.
// A blocked direct ray therefore always gives an edge and a loss. On a clear
// line of sight the modes 0 and 2 take the local maximum of the ground itself
// (smooth ground, earth bulge alone, is no knife edge) of smallest clearance
// ratio, INFLECTION the point of smallest clearance ratio; it counts when its
// ratio is below 0.5. The wavelength is 300 / frequency.
// dEarthFactor > 0 raises the ground by the earth bulge d1 d2 / (2 k 6370 km)
// for modes 0 to 2, k the study's effective-earth factor (K-value); 0 takes
// the profile as given.
//
// Unknown mode: "Unknown BUMode in bu_loss calc"; failure of the peak finder:
// "RO_Peaks error in bu_loss calc"; bad input (fewer than two points, counts
// beyond the arrays, distances not increasing or the path not longer than 0,
// heights, frequency or coefficients that are not numbers, frequency not
// above 0): a message naming it. All give level 0, no edges and bOK false.
BULossResult BULoss(int nPoints, std::span<const double> dist, std::span<const float> elev, double dTxMSL,
                    double dRxMSL, double dFreqMHz, std::int16_t iMode, double dMinDistM, double dReflect,
                    double dEarthFactor = 0.0);

}  // namespace zw
