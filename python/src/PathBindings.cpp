// Single paths, many paths from one transmitter, and terrain profiles.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <memory>

#include "Bindings.h"
#include "engine/LinkBudget.h"
#include "engine/P2PJson.h"
#include "engine/PointToPoint.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsPathElv.h"

namespace zw::py {

namespace {

namespace pyb = pybind11;

template <typename T>
pyb::array_t<T> ToArray(const std::vector<T>& v) {
  pyb::array_t<T> a(static_cast<pyb::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

std::string P2PJsonText(P2PContext& ctx, const P2PRequest& req, double rxGainDbi, double rxLineLossDb,
                        std::optional<double> threshold, const std::string& thresholdUnit) {
  P2PResult r;
  {
    pyb::gil_scoped_release nogil;
    r = ctx.Run(req);
  }
  if (!r.ok) throw EngineError(r.error);
  LinkBudgetInput budget;
  budget.rxGainDbi = rxGainDbi;
  budget.rxLineLossDb = rxLineLossDb;
  if (threshold) budget.threshold = LinkThreshold{*threshold, thresholdUnit};
  return P2PResultJson(r, budget).dump();
}

// Paths from the request's transmitter to each receiver: the values as
// arrays (NaN where the path has no result) and each failure by index.
pyb::dict P2PMany(P2PContext& ctx, P2PRequest req, pyb::array_t<double, pyb::array::c_style | pyb::array::forcecast> lat,
                  pyb::array_t<double, pyb::array::c_style | pyb::array::forcecast> lon) {
  if (lat.ndim() != 1 || lon.ndim() != 1 || lat.shape(0) != lon.shape(0))
    throw EngineError("to_lat and to_lon must be one-dimensional arrays of the same length (degrees)");
  const auto n = static_cast<std::size_t>(lat.shape(0));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> field(n, nan), freeSpace(n, nan), loss(n, nan), length(n, nan), ground(n, nan), value(n, nan);
  std::vector<std::int32_t> level(n, 0);
  std::vector<std::pair<std::size_t, std::string>> errors;
  std::string quantity = "field strength", unit = "dBu";
  const double* la = lat.data();
  const double* lo = lon.data();
  {
    pyb::gil_scoped_release nogil;
    req.haveTo = true;
    for (std::size_t i = 0; i < n; ++i) {
      req.toLat = la[i];
      req.toLon = lo[i];
      const P2PResult r = ctx.Run(req);
      if (!r.ok) {
        errors.emplace_back(i, r.error);
        continue;
      }
      quantity = r.quantity;
      unit = r.unit;
      field[i] = r.netFieldDbu;
      freeSpace[i] = r.freeSpaceDbu;
      loss[i] = r.modelLossDb;
      level[i] = r.errLevel;
      length[i] = r.pathLengthM;
      ground[i] = r.rxGroundM;
      value[i] = r.quantity == "clearance" ? r.clearance : r.quantity == "contour distance" ? r.contourKm : r.netFieldDbu;
    }
  }
  pyb::dict d;
  d["quantity"] = quantity;
  d["unit"] = unit;
  d["value"] = ToArray(value);
  d["net_field_dbu"] = ToArray(field);
  d["free_space_dbu"] = ToArray(freeSpace);
  d["model_loss_db"] = ToArray(loss);
  d["err_level"] = ToArray(level);
  d["path_length_m"] = ToArray(length);
  d["rx_ground_m"] = ToArray(ground);
  pyb::dict errs;
  for (const auto& [i, e] : errors) errs[pyb::int_(i)] = e;
  d["errors"] = errs;
  return d;
}

pyb::dict Profile(const std::string& dem, double lat1, double lon1, double lat2, double lon2, double step,
                  const std::string& datum) {
  std::vector<double> dist;
  std::vector<float> elev;
  double az = 0, length = 0;
  std::string message;
  {
    pyb::gil_scoped_release nogil;
    auto terrain = OpenTerrain(dem, message);
    if (terrain) {
      platform::clsPathElv path(terrain);
      path.sDatum(datum);
      path.dStartLat(lat1);
      path.dStartLon(lon1);
      path.dEndLat(lat2);
      path.dEndLon(lon2);
      path.dStep(step);
      if (!path.ExtractProfile()) {
        message = path.sMessage().empty() ? "No profile between the two points" : path.sMessage();
      } else {
        dist = path.DIS_Array();
        elev = path.ELV_Array();
        az = path.dPathAz();
        length = path.dPathLth();
      }
    }
  }
  if (!message.empty()) throw EngineError(message);
  pyb::dict d;
  d["distance_m"] = ToArray(dist);
  d["elevation_m"] = ToArray(elev);
  d["azimuth_deg"] = az;
  d["length_m"] = length;
  return d;
}

}  // namespace

void BindPaths(pyb::module_& m) {
  pyb::class_<P2PRequest>(m, "P2PRequest", "One path's inputs (see ravoprop.p2p).")
      .def(pyb::init<>())
      .def_readwrite("model", &P2PRequest::model)
      .def_readwrite("template_file", &P2PRequest::templateFile)
      .def_readwrite("section", &P2PRequest::section)
      .def_readwrite("profile_csv", &P2PRequest::profileCsv)
      .def_readwrite("dist_m", &P2PRequest::distM)
      .def_readwrite("elev_m", &P2PRequest::elevM)
      .def_readwrite("dem", &P2PRequest::dem)
      .def_readwrite("from_lat", &P2PRequest::fromLat)
      .def_readwrite("from_lon", &P2PRequest::fromLon)
      .def_readwrite("to_lat", &P2PRequest::toLat)
      .def_readwrite("to_lon", &P2PRequest::toLon)
      .def_readwrite("have_from", &P2PRequest::haveFrom)
      .def_readwrite("have_to", &P2PRequest::haveTo)
      .def_readwrite("step_m", &P2PRequest::stepM)
      .def_readwrite("azimuth", &P2PRequest::azimuth)
      .def_readwrite("k_factor", &P2PRequest::kFactor)
      .def_readwrite("freq_mhz", &P2PRequest::freqMHz)
      .def_readwrite("tx_agl_m", &P2PRequest::txAglM)
      .def_readwrite("rx_agl_m", &P2PRequest::rxAglM)
      .def_readwrite("erp_value", &P2PRequest::erpValue)
      .def_readwrite("erp_unit", &P2PRequest::erpUnit)
      .def_readwrite("gain", &P2PRequest::gain)
      .def_readwrite("gain_unit", &P2PRequest::gainUnit)
      .def_readwrite("orientation", &P2PRequest::orientation)
      .def_readwrite("e_tilt", &P2PRequest::eTilt)
      .def_readwrite("m_tilt", &P2PRequest::mTilt)
      .def_readwrite("m_dir", &P2PRequest::mDir)
      .def_readwrite("inverted", &P2PRequest::inverted)
      .def_readwrite("antenna_file", &P2PRequest::antennaFile)
      .def_readwrite("antenna_section", &P2PRequest::antennaSection)
      .def_readwrite("details", &P2PRequest::details);
  pyb::class_<P2PContext>(m, "P2PContext", "Keeps opened terrain between paths.")
      .def(pyb::init<>())
      .def("run_json", &P2PJsonText, pyb::arg("request"), pyb::arg("rx_gain_dbi") = 0.0,
           pyb::arg("rx_line_loss_db") = 0.0, pyb::arg("threshold") = std::nullopt,
           pyb::arg("threshold_unit") = "dBu", "One path as the JSON text of `ravoprop p2p --json`.")
      .def("run_many", &P2PMany, pyb::arg("request"), pyb::arg("to_lat"), pyb::arg("to_lon"),
           "Paths from the request's transmitter to every receiver, values as arrays.");
  m.def("profile", &Profile, pyb::arg("dem"), pyb::arg("from_lat"), pyb::arg("from_lon"), pyb::arg("to_lat"),
        pyb::arg("to_lon"), pyb::arg("step_m") = 0.0, pyb::arg("datum") = "WGS 84",
        "Terrain profile between two points: distances (m) and elevations (m) as arrays.");
}

}  // namespace zw::py
