#pragma once
// Shared set-up of the model calculator tests: templates and facilities as
// field collections, synthetic profiles (sampled from a ground function, or
// laid along a geodesic), a calculator made ready for a station, and a path
// run through it.
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ModelTestEnv.h"
#include "common/FieldCollection.h"
#include "coverage/clsQXAreaCov.h"
#include "geo/Geodesic.h"

namespace zw::test {

// A collection of text fields, as a template file gives them.
inline std::shared_ptr<FieldCollection> Fields(std::initializer_list<std::pair<const char*, const char*>> kv) {
  auto m = std::make_shared<FieldCollection>();
  for (const auto& [k, v] : kv) m->Set(k, std::string(v));
  return m;
}

// A facility on freqMHz, with an antenna gain in dBd when given.
inline std::shared_ptr<FieldCollection> Facility(double freqMHz, std::optional<double> gainDbd = {}) {
  auto f = std::make_shared<FieldCollection>();
  f->Set("TX_FREQMHZ", freqMHz);
  if (gainDbd) {
    f->Set("TX_A1GAIN", *gainDbd);
    f->Set("TX_A1GNUN", std::string("dBd"));
  }
  return f;
}

// A mobile whose threshold field is thresholdDbu.
inline std::shared_ptr<FieldCollection> Mobile(double thresholdDbu) {
  auto m = std::make_shared<FieldCollection>();
  m->Set("RX_A1FLD", thresholdDbu);
  return m;
}

// Ground elevation (m) at a distance (m) along the path.
using Ground = std::function<float(double)>;
inline Ground Level(float metres) {
  return [metres](double) { return metres; };
}

// A profile from 0 to lengthM every stepM (plus lengthM itself when closeEnd
// and the steps miss it), elevations from ground.
inline std::shared_ptr<GivenProfile> Sampled(double lengthM, double stepM, const Ground& ground,
                                             bool closeEnd = false) {
  auto p = std::make_shared<GivenProfile>();
  std::vector<double> d;
  std::vector<float> e;
  for (int i = 0; i * stepM <= lengthM + 1e-6; ++i) {
    d.push_back(i * stepM);
    e.push_back(ground(i * stepM));
  }
  if (closeEnd && d.back() < lengthM - 1e-6) {
    d.push_back(lengthM);
    e.push_back(ground(lengthM));
  }
  p->DIS_Array(std::move(d));
  p->ELV_Array(std::move(e));
  return p;
}

// A profile from arrays as given.
inline std::shared_ptr<GivenProfile> Arrays(std::vector<double> d, std::vector<float> e) {
  auto p = std::make_shared<GivenProfile>();
  p->DIS_Array(std::move(d));
  p->ELV_Array(std::move(e));
  return p;
}

// p with its end point at (lat, lon).
inline std::shared_ptr<GivenProfile> EndingAt(std::shared_ptr<GivenProfile> p, double lat, double lon = 0.0) {
  p->dEndLat(lat);
  p->dEndLon(lon);
  return p;
}

// A sampled profile from (lat, lon) toward azDeg, its end lengthKm away.
inline std::shared_ptr<GivenProfile> Along(double lat, double lon, double azDeg, double lengthKm, double stepM,
                                           const Ground& ground, bool closeEnd = false) {
  auto p = Sampled(lengthKm * 1000, stepM, ground, closeEnd);
  p->dStartLat(lat);
  p->dStartLon(lon);
  double endLat = 0, endLon = 0;
  Geodesic::ForwardKm(lat, lon, azDeg, lengthKm, endLat, endLon);
  p->dEndLat(endLat);
  p->dEndLon(endLon);
  return p;
}

// What a test sets on a calculator; what is left out keeps its default.
struct Station {
  std::shared_ptr<FieldCollection> tmpl{};  // read first
  std::optional<double> erpDbm{}, txAglM{}, txMslM{}, rxM{}, freqMHz{};
  bool details = false;
  std::string unDis{}, unElv{};  // detail units, when given
};

// Reads template t; true when the calculator took it.
inline bool Accepts(clsQXAreaCov& c, std::shared_ptr<FieldCollection> t) {
  c.cPropMod(std::move(t));
  return c.cPropMod() != nullptr;
}

// Silent, with the station's values set.
inline void Ready(clsQXAreaCov& c, const Station& s) {
  c.bSilent(true);
  if (s.tmpl) c.cPropMod(s.tmpl);
  if (s.erpDbm) c.FACERPdBm(*s.erpDbm);
  if (s.txAglM) c.FACTXmAGL(*s.txAglM);
  if (s.txMslM) c.FACTXmMSL(*s.txMslM);
  if (s.rxM) c.MOBAntM(*s.rxM);
  if (s.details) c.bDetails(true);
  if (!s.unDis.empty()) c.sDetailUnDis(s.unDis);
  if (!s.unElv.empty()) c.sDetailUnElv(s.unElv);
  if (s.freqMHz) c.cFAC(Facility(*s.freqMHz));
}

// Ready, with the profile and path length set for CovCalc.
inline void Ready(clsQXAreaCov& c, const Station& s, std::shared_ptr<platform::clsPathElv> p, double lengthM) {
  Ready(c, s);
  c.cPathElv(std::move(p));
  c.dPathLthM(lengthM);
}

// Runs one path over p toward azDeg, lengthKm long, the details cleared first.
inline void RunKm(clsQXAreaCov& c, const std::shared_ptr<platform::clsPathElv>& p, double lengthKm,
                  double azDeg = 90.0) {
  c.cPathElv(p);
  c.PathElvEnd(p->dEndLat(), p->dEndLon(), azDeg);
  c.dPathLthM(lengthKm * 1000.0);
  c.sDetails("");
  c.CovCalc();
}

}  // namespace zw::test
