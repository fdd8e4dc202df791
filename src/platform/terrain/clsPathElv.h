#pragma once
// The terrain profile object: elevations along the geodesic from a start
// point (the transmitter) to an end point, both ends included, evenly spaced
// no farther apart than the step (at whole steps when the end lies on one,
// else at the length over the count of intervals). Elevations come from a
// shared TerrainSource; obstruction heights from an obstruction object are
// added to a second array where they stand on the path.
//
// Units: elevations "m" or "ft", distances "m", "km", "mi" or "ft"; both
// default to "m". The step and every length handed in or out are in the
// distance unit. A host may also hand the object ready profile arrays
// (ELV_Array, ELV_ArrayOBS, DIS_Array); those are then the profile until
// ClearArrays or a new terrain source.
//
// Profiles to points at whole steps on one azimuth from the same start reuse
// one sampled radial: its samples are computed once and extended as longer
// paths are asked for. One object serves one thread; the terrain source
// behind it may be shared.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/terrain/TerrainSource.h"

namespace zw::platform {

class clsObstructions;

class clsPathElv {
 public:
  clsPathElv();
  explicit clsPathElv(std::shared_ptr<TerrainSource> terrain);
  virtual ~clsPathElv();
  clsPathElv(const clsPathElv&) = delete;
  clsPathElv& operator=(const clsPathElv&) = delete;

  void cTerrain(std::shared_ptr<TerrainSource> terrain);
  const std::shared_ptr<TerrainSource>& cTerrain() const { return terrain_; }

  // Ends of the path, decimal degrees on the object's datum.
  double dStartLat() const { return startLat_; }
  void dStartLat(double v);
  double dStartLon() const { return startLon_; }
  void dStartLon(double v);
  double dEndLat() const { return endLat_; }
  void dEndLat(double v) { endLat_ = v; }
  double dEndLon() const { return endLon_; }
  void dEndLon(double v) { endLon_ = v; }

  // Units. A unit outside the lists above is refused (false, unchanged).
  // Arrays held are converted to the new unit.
  const std::string& sElvUnits() const { return elvUn_; }
  bool sElvUnits(const std::string& unit);
  const std::string& sDisUnits() const { return disUn_; }
  bool sDisUnits(const std::string& unit);

  const std::string& sUserLogin() const { return login_; }
  void sUserLogin(const std::string& login) { login_ = login; }

  // Sampling step in the distance unit; 0 or less samples at the spacing of
  // the finest elevation source at the start point.
  double dStep() const;
  void dStep(double step);

  // Datum of the positions: a datum name or key ("NAD 27", "LL83", ...);
  // anything else is WGS 84.
  const std::string& sDatum() const { return datum_; }
  void sDatum(const std::string& name);
  int iDatumEpsg() const { return datumEpsg_; }

  // Ground elevation of the transmitter site, in the elevation unit (kept for
  // the callers; the profile itself comes from the terrain).
  float rTxSiteElv() const { return txSiteElv_; }
  void rTxSiteElv(float v) { txSiteElv_ = v; }

  // Study area: reads the terrain blocks of the box ahead of the profiles.
  // Returns the number of blocks held for it.
  std::size_t StudyArea(double maxLat, double minLat, double maxLon, double minLon);

  void cOBS(std::shared_ptr<clsObstructions> obs);
  const std::shared_ptr<clsObstructions>& cOBS() const { return obs_; }

  // Effective earth-radius factor (k); 4/3 unless set.
  double dKFactor() const { return kFactor_; }
  void dKFactor(double k) { kFactor_ = k; }

  // Extracts the profile from the start to the end point. With a length
  // (distance unit) above 0 the profile runs that far along the azimuth of
  // the end point instead. False, with the arrays empty and the reason in
  // sMessage(), when there is no terrain on the path, the path has zero
  // length or its ends are invalid.
  virtual bool ExtractProfile(double length = 0);

  // Profile arrays of the last extraction (or as handed in).
  const std::vector<float>& ELV_Array() const { return elv_; }
  const std::vector<float>& ELV_ArrayOBS() const { return elvObs_.empty() ? elv_ : elvObs_; }
  const std::vector<double>& DIS_Array() const { return dis_; }
  void ELV_Array(std::vector<float> v);
  void ELV_ArrayOBS(std::vector<float> v);
  void DIS_Array(std::vector<double> v);
  void ClearArrays();
  // Index of the last profile point; -1 when there is no profile.
  int iLastPoint() const { return static_cast<int>(std::min(elv_.size(), dis_.size())) - 1; }

  // The geodesic from the start to the end already solved by the caller, as
  // the inverse problem gives it (length in metres, azimuth in degrees):
  // taken for these ends instead of solving the path again.
  void SolvedEnd(double lengthM, double azimuthDeg);

  // Azimuth (degrees) and length (distance unit) from the start to the end.
  double dPathAz() const;
  double dPathLth() const;

  // Ground elevation at a point in the elevation unit; kNoElevation (not
  // converted) where there is none.
  virtual float ElvAt(double lat, double lon);

  // Why the last extraction failed, or what it had to repair ("" when clean).
  const std::string& sMessage() const { return message_; }
  // Void samples of the last profile filled from their neighbours.
  int iFilledPoints() const { return filled_; }

  // Tuning: reuse of sampled radials (on by default), filling of short voids
  // (gaps up to dMaxFillGapM metres between valid samples; 0 fills none) and
  // the largest number of points of one profile.
  void bReuseRadial(bool v) { reuse_ = v; }
  // Forgets the radial sampled so far: the next profile samples afresh.
  void ForgetRadial() { ResetRadial(); }
  void dMaxFillGapM(double m) { maxGapM_ = m; }
  void iMaxPoints(int n) { maxPoints_ = n; }

 private:
  struct Radial;
  void ResetRadial();
  bool SampleRadial(std::size_t upTo);
  bool PlanProfile(double length, double& az, double& distM, double& stepM, std::size_t& last);
  // ExtractProfile from the terrain; the arrays may hold anything on failure.
  bool SampleProfile(double length);
  Radial& RadialFor(double az, double stepM, double distM);
  bool MendVoids(float ee, double az, double distM, double stepM);
  void ApplyObstructions(double azimuth, double lengthM, double stepM);
  double ElvFactor() const;  // metres -> elevation unit
  double DisFactor() const;  // metres -> distance unit

  std::shared_ptr<TerrainSource> terrain_;
  std::unique_ptr<TerrainSource::Cursor> cursor_;
  double startLat_ = 0, startLon_ = 0, endLat_ = 0, endLon_ = 0;
  // The inverse problem ExtractProfile solved (distance m, azimuth deg), kept
  // for dPathAz and dPathLth while the ends stay the same.
  struct Solved {
    double lat1 = std::numeric_limits<double>::quiet_NaN(), lon1 = 0, lat2 = 0, lon2 = 0, s12 = 0, az1 = 0;
  } solved_;
  bool SolvedFor() const;
  std::string elvUn_ = "m", disUn_ = "m", login_, datum_;
  double metresPerDisUnit_ = 1.0;  // (of disUn_)
  int datumEpsg_ = 4326;
  double stepM_ = 0;
  float txSiteElv_ = kNoElevation;
  std::shared_ptr<clsObstructions> obs_;
  double kFactor_ = 4.0 / 3.0;
  std::vector<float> elv_, elvObs_;
  std::vector<double> dis_;
  bool given_ = false;
  std::string message_;
  int filled_ = 0;
  bool reuse_ = true;
  double maxGapM_ = 1000.0;
  int maxPoints_ = 1000000;
  std::unique_ptr<Radial> radial_;
  std::vector<double> workM_;  // elevations of the profile in metres (NaN void)
};

}  // namespace zw::platform
