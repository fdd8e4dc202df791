#include "platform/terrain/clsPathElv.h"

#include <geodesic.h>

#include <cctype>
#include <cmath>
#include <limits>

#include "geo/Datum.h"
#include "geo/Geodesic.h"
#include "platform/terrain/clsObstructions.h"
#include "platform/Text.h"

namespace zw::platform {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFallbackStepM = 90.0;

bool ValidPoint(double lat, double lon) {
  return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0 && std::fabs(lon) <= 540.0;
}

std::string Metres(double m) {
  char b[48];
  std::snprintf(b, sizeof b, "%.0f m", m);
  return b;
}

}  // namespace

// One sampled radial: samples at k * step along the geodesic from the start,
// placed by a GeodesicLine (exact points every 65.536 km, interpolated between).
struct clsPathElv::Radial {
  double lat = 0, lon = 0, az = 0, stepM = 0;
  int datum = 0;
  GeodesicLine path;
  std::vector<float> e;  // metres, NaN where void: the first `taken` hold samples
  std::vector<double> sLat, sLon;  // (the arrays only grow: a new radial reuses them)
  std::size_t taken = 0;
};

clsPathElv::clsPathElv() = default;
clsPathElv::clsPathElv(std::shared_ptr<TerrainSource> terrain) { cTerrain(std::move(terrain)); }
clsPathElv::~clsPathElv() = default;

void clsPathElv::cTerrain(std::shared_ptr<TerrainSource> terrain) {
  terrain_ = std::move(terrain);
  cursor_.reset();
  ResetRadial();
  given_ = false;
}

void clsPathElv::dStartLat(double v) {
  if (v != startLat_) ResetRadial();
  startLat_ = v;
}
void clsPathElv::dStartLon(double v) {
  if (v != startLon_) ResetRadial();
  startLon_ = v;
}

double clsPathElv::ElvFactor() const { return elvUn_ == "ft" ? 1.0 / 0.3048 : 1.0; }
double clsPathElv::DisFactor() const { return 1.0 / metresPerDisUnit_; }

bool clsPathElv::sElvUnits(const std::string& unit) {
  const std::string u = ToLower(unit);
  if (u != "m" && u != "ft") return false;
  const double f = (u == "ft" ? 1.0 / 0.3048 : 1.0) / ElvFactor();
  if (f != 1.0) {
    for (auto* arr : {&elv_, &elvObs_})
      for (float& v : *arr)
        if (v > kNoElevationLimit) v = static_cast<float>(v * f);
    if (txSiteElv_ > kNoElevationLimit) txSiteElv_ = static_cast<float>(txSiteElv_ * f);
  }
  elvUn_ = u;
  return true;
}

bool clsPathElv::sDisUnits(const std::string& unit) {
  const std::string u = ToLower(unit);
  const double mpu = Geodesic::MetresPerUnit(u);
  if (mpu <= 0) return false;
  const double f = metresPerDisUnit_ / mpu;
  if (f != 1.0)
    for (double& d : dis_) d *= f;
  disUn_ = u;
  metresPerDisUnit_ = mpu;
  return true;
}

double clsPathElv::dStep() const { return stepM_ * DisFactor(); }
void clsPathElv::dStep(double step) {
  const double m = std::isfinite(step) && step > 0 ? step / DisFactor() : 0.0;
  if (m != stepM_) ResetRadial();
  stepM_ = m;
}

void clsPathElv::sDatum(const std::string& name) {
  datum_ = name;
  std::string key = DatumLibKey(name);
  if (key == "LL") key = name;
  const int epsg = DatumEpsg(key);
  const int e = epsg > 0 ? epsg : 4326;
  if (e != datumEpsg_) {
    datumEpsg_ = e;
    cursor_.reset();
    ResetRadial();
  }
}

std::size_t clsPathElv::StudyArea(double maxLat, double minLat, double maxLon, double minLon) {
  if (!terrain_) return 0;
  return terrain_->Preload(maxLat, minLat, maxLon, minLon, datumEpsg_);
}

void clsPathElv::cOBS(std::shared_ptr<clsObstructions> obs) { obs_ = std::move(obs); }

void clsPathElv::ELV_Array(std::vector<float> v) {
  elv_ = std::move(v);
  given_ = true;
}
void clsPathElv::ELV_ArrayOBS(std::vector<float> v) {
  elvObs_ = std::move(v);
  given_ = true;
}
void clsPathElv::DIS_Array(std::vector<double> v) {
  dis_ = std::move(v);
  given_ = true;
}
void clsPathElv::ClearArrays() {
  elv_.clear();
  elvObs_.clear();
  dis_.clear();
  given_ = false;
}

bool clsPathElv::SolvedFor() const {
  return solved_.lat1 == startLat_ && solved_.lon1 == startLon_ && solved_.lat2 == endLat_ &&
         solved_.lon2 == endLon_ && std::isfinite(solved_.s12) && std::isfinite(solved_.az1);
}

void clsPathElv::SolvedEnd(double lengthM, double azimuthDeg) {
  solved_ = {startLat_, startLon_, endLat_, endLon_, lengthM, azimuthDeg};
}

// Both give what Geodesic::InverseKm gives, from the profile's own solution
// when it is for these ends (an area run asks right after each profile).
double clsPathElv::dPathAz() const {
  if (SolvedFor()) return Geodesic::PathAzimuth(solved_.s12, solved_.az1);
  double az = 0, d = 0;
  return Geodesic::InverseKm(startLat_, startLon_, endLat_, endLon_, az, d) ? az : 0.0;
}

double clsPathElv::dPathLth() const {
  if (SolvedFor()) return solved_.s12 / 1000.0 * 1000.0 * DisFactor();
  double az = 0, d = 0;
  return Geodesic::InverseKm(startLat_, startLon_, endLat_, endLon_, az, d) ? d * 1000.0 * DisFactor() : 0.0;
}

float clsPathElv::ElvAt(double lat, double lon) {
  if (!terrain_) return kNoElevation;
  if (!cursor_) cursor_ = std::make_unique<TerrainSource::Cursor>(*terrain_, datumEpsg_);
  const float v = terrain_->Elevation(lat, lon, *cursor_);
  return v > kNoElevationLimit ? static_cast<float>(v * ElvFactor()) : kNoElevation;
}

void clsPathElv::ResetRadial() {
  if (!radial_) return;
  radial_->taken = 0;
  radial_->stepM = -1;
}

// Samples the radial up to index upTo (inclusive).
bool clsPathElv::SampleRadial(std::size_t upTo) {
  Radial& r = *radial_;
  const std::size_t k = r.taken;
  if (k > upTo) return true;
  if (r.e.size() <= upTo) {
    r.e.resize(upTo + 1);
    r.sLat.resize(upTo + 1);
    r.sLon.resize(upTo + 1);
  }
  r.taken = upTo + 1;
  r.path.Positions(k, upTo + 1 - k, r.stepM, r.sLat.data() + k, r.sLon.data() + k);
  terrain_->Elevations(r.sLat.data() + k, r.sLon.data() + k, upTo + 1 - k, r.e.data() + k, *cursor_);
  return true;
}

bool clsPathElv::ExtractProfile(double length) {
  message_.clear();
  filled_ = 0;
  if (given_) {
    if (elv_.size() != dis_.size()) {
      message_ = "The elevation and distance arrays of the profile differ in length";
      return false;
    }
    if (!elvObs_.empty() && elvObs_.size() != elv_.size()) elvObs_.clear();
    return !elv_.empty();
  }
  elvObs_.clear();
  // The arrays kept from the last path are resized, not emptied first (every
  // value is written), and emptied when no profile comes.
  if (SampleProfile(length)) return true;
  elv_.clear();
  dis_.clear();
  return false;
}

bool clsPathElv::SampleProfile(double length) {
  if (!terrain_ || terrain_->SourceCount() == 0) {
    message_ = "No terrain elevation data has been given to the profile";
    return false;
  }
  if (!ValidPoint(startLat_, startLon_) || !ValidPoint(endLat_, endLon_)) {
    message_ = "Invalid path end points: latitudes must lie between -90 and 90 degrees";
    return false;
  }
  double az = 0, distM = 0, stepM = 0;
  std::size_t last = 0;
  if (!PlanProfile(length, az, distM, stepM, last)) return false;
  Radial& r = RadialFor(az, stepM, distM);
  SampleRadial(last);

  const std::size_t n = last + 2;
  double eLat = 0, eLon = 0;
  r.path.Position(distM, eLat, eLon);  // placed like every other sample
  const float ee = terrain_->Elevation(eLat, eLon, *cursor_);
  const double ef = ElvFactor(), df = DisFactor();
  elv_.resize(n);
  dis_.resize(n);
  // A profile with data at every sample (the usual case) goes straight to its
  // arrays; one with voids is mended first.
  // (Loops without a branch or a carried flag, which the compiler runs
  // several samples at a time.)
  const float* e = r.e.data();
  int voids = ee > kNoElevationLimit ? 0 : 1;
  for (std::size_t i = 0; i <= last; ++i) voids += e[i] > kNoElevationLimit ? 0 : 1;
  if (voids > 0) return MendVoids(ee, az, distM, stepM);
  float* elv = elv_.data();
  if (ef == 1.0) {
    std::copy(e, e + last + 1, elv);
  } else {
    for (std::size_t i = 0; i <= last; ++i) elv[i] = static_cast<float>(static_cast<double>(e[i]) * ef);
  }
  elv[n - 1] = static_cast<float>(static_cast<double>(ee) * ef);
  double* dis = dis_.data();
  for (int i = 0; i <= static_cast<int>(last); ++i) dis[i] = static_cast<double>(i) * stepM * df;
  dis[n - 1] = distM * df;
  ApplyObstructions(az, distM, stepM);
  return true;
}

// The path's solution, sampling step and index of the last sample before
// the end; false with the message when the path cannot be sampled.
bool clsPathElv::PlanProfile(double length, double& az, double& distM, double& stepM, std::size_t& last) {
  if (!SolvedFor()) {  // (solved already when the ends are the same, or handed in)
    double s12 = 0, a1 = 0, a2 = 0;
    geod_inverse(&Wgs84(), startLat_, startLon_, endLat_, endLon_, &s12, &a1, &a2);
    solved_ = {startLat_, startLon_, endLat_, endLon_, s12, a1};
  }
  distM = solved_.s12;
  az = solved_.az1;
  if (length > 0 && std::isfinite(length)) distM = length / DisFactor();
  if (!(distM > 1e-3)) {
    message_ = "Zero-length path: the start and end points coincide";
    return false;
  }
  if (!cursor_) cursor_ = std::make_unique<TerrainSource::Cursor>(*terrain_, datumEpsg_);

  stepM = stepM_;
  if (stepM <= 0) {
    stepM = terrain_->ResolutionAt(startLat_, startLon_, *cursor_);
    if (stepM <= 0) stepM = terrain_->ResolutionAt(endLat_, endLon_, *cursor_);
    if (stepM <= 0) stepM = kFallbackStepM;
  }
  // The profile's intervals: as many as whole steps reach the end, an end
  // within 5 cm of a whole step counting as on it (what the positions of a
  // study's points are rounded to leaves them that near).
  constexpr double kOnStepM = 0.05;
  const double kLast = std::ceil((distM - kOnStepM) / stepM) - 1.0;
  if (kLast + 2.0 > static_cast<double>(maxPoints_)) {
    message_ = "The path of " + Metres(distM) + " would need more than " + std::to_string(maxPoints_) +
               " profile points at a step of " + Metres(stepM);
    return false;
  }
  last = static_cast<std::size_t>(std::max(kLast, 0.0));
  // The samples are evenly spaced, no farther apart than the step: at whole
  // steps when the end is on one (the points of a radial study then share
  // their samples), else at the length over the count of intervals, so that
  // no model has to lay the profile on even spacing again.
  const double intervals = static_cast<double>(last + 1);
  if (intervals * stepM > distM + kOnStepM) stepM = distM / intervals;
  return true;
}

// The radial of this start, azimuth and step, reused while the end stays on
// it (the end within 5 cm of the geodesic sampled), else started afresh.
clsPathElv::Radial& clsPathElv::RadialFor(double az, double stepM, double distM) {
  if (!radial_) radial_ = std::make_unique<Radial>();
  Radial& r = *radial_;
  // Azimuths from geod_inverse lie in [-180, 180]: their difference is within a turn.
  double dAz = std::fabs(az - r.az);
  if (dAz > 180.0) dAz = 360.0 - dAz;
  dAz *= M_PI / 180.0;
  const bool same = reuse_ && r.stepM == stepM && r.lat == startLat_ && r.lon == startLon_ &&
                    r.datum == datumEpsg_ && dAz * distM < 0.05;
  if (!same) {
    r.lat = startLat_;
    r.lon = startLon_;
    r.az = az;
    r.stepM = stepM;
    r.datum = datumEpsg_;
    r.taken = 0;
    r.path.Start(startLat_, startLon_, az);
  }
  return r;
}

// The profile of a radial with voids: the ends must have data, short interior
// gaps are bridged linearly; false with the message otherwise.
bool clsPathElv::MendVoids(float ee, double az, double distM, double stepM) {
  const Radial& r = *radial_;
  const std::size_t n = elv_.size(), last = n - 2;
  auto distOf = [&](std::size_t i) { return i + 1 == n ? distM : static_cast<double>(i) * stepM; };
  const double ef = ElvFactor(), df = DisFactor();
  elv_.clear();
  dis_.clear();
  workM_.resize(n);
  for (std::size_t i = 0; i <= last; ++i) workM_[i] = r.e[i] > kNoElevationLimit ? r.e[i] : kNaN;
  workM_[n - 1] = ee > kNoElevationLimit ? ee : kNaN;

  // Voids: the ends must have data; short interior gaps are bridged linearly.
  if (std::isnan(workM_[0]) || std::isnan(workM_[n - 1])) {
    std::size_t valid = 0;
    for (double v : workM_) valid += std::isnan(v) ? 0 : 1;
    message_ = valid == 0 ? "No terrain elevation data on the path"
                          : std::string("No terrain elevation data at the ") +
                                (std::isnan(workM_[0]) ? "start" : "end") + " of the path";
    return false;
  }
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (!std::isnan(workM_[i])) continue;
    std::size_t j = i;
    while (std::isnan(workM_[j])) ++j;  // workM_[n-1] is valid
    const double d0 = distOf(i - 1), d1 = distOf(j);
    if (d1 - d0 > maxGapM_) {
      message_ = "No terrain elevation data on the path from " + Metres(distOf(i)) + " to " +
                 Metres(distOf(j - 1)) + " from the start";
      return false;
    }
    for (std::size_t k = i; k < j; ++k) {
      const double u = (distOf(k) - d0) / (d1 - d0);
      workM_[k] = workM_[i - 1] + u * (workM_[j] - workM_[i - 1]);
      ++filled_;
    }
    i = j;
  }
  if (filled_ > 0)
    message_ = std::to_string(filled_) + " profile point(s) without terrain data were filled from their neighbours";

  elv_.resize(n);
  dis_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    elv_[i] = static_cast<float>(workM_[i] * ef);
    dis_[i] = distOf(i) * df;
  }
  ApplyObstructions(az, distM, stepM);
  return true;
}

void clsPathElv::ApplyObstructions(double azimuth, double lengthM, double stepM) {
  if (!obs_ || !obs_->bUse()) return;
  obs_->Load();
  const double tolM = std::max(0.5 * stepM, 10.0);
  // Box of the path widened by the tolerance.
  // The exact end on the radial sampled (solved here only: most runs have no
  // obstructions, and the sampling itself interpolates).
  const Radial& r = *radial_;
  geod_geodesicline line{};
  geod_lineinit(&line, &Wgs84(), r.lat, r.lon, r.az, GEOD_LATITUDE | GEOD_LONGITUDE | GEOD_DISTANCE_IN);
  double endLat = 0, endLon = 0;
  geod_position(&line, lengthM, &endLat, &endLon, nullptr);
  const double tolLat = tolM / 110000.0 + 1e-6;
  const double cosLat = std::max(std::cos(std::max(std::fabs(startLat_), std::fabs(endLat)) * M_PI / 180.0), 0.01);
  const double tolLon = tolM / (110000.0 * cosLat) + 1e-6;
  const auto items = obs_->InBox(std::max(startLat_, endLat) + tolLat, std::min(startLat_, endLat) - tolLat,
                                 std::max(startLon_, endLon) + tolLon, std::min(startLon_, endLon) - tolLon);
  if (items.empty()) return;
  elvObs_ = elv_;
  const double ef = ElvFactor();
  const std::size_t n = elv_.size();
  for (const auto& o : items) {
    double s = 0, a1 = 0, a2 = 0;
    geod_inverse(&Wgs84(), startLat_, startLon_, o.dLat, o.dLon, &s, &a1, &a2);
    const double da = (a1 - azimuth) * M_PI / 180.0;
    const double along = s * std::cos(da), cross = s * std::sin(da);
    if (std::fabs(cross) > tolM || along < -tolM || along > lengthM + tolM) continue;
    // Nearest profile point.
    std::size_t idx = along <= 0 ? 0 : static_cast<std::size_t>(std::llround(along / stepM));
    if (idx > n - 2 || std::fabs(lengthM - along) < std::fabs(static_cast<double>(idx) * stepM - along)) idx = n - 1;
    const float top = static_cast<float>(elv_[idx] + o.dHgtM * ef);
    if (top > elvObs_[idx]) elvObs_[idx] = top;
  }
}

}  // namespace zw::platform
