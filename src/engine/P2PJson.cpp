#include "engine/P2PJson.h"

namespace zw {

namespace {

nlohmann::json BudgetJson(const LinkBudget& b) {
  nlohmann::json j{{"erp_dbm", b.erpDbm},
                   {"pattern_gain_db", b.patternGainDb},
                   {"erp_toward_rx_dbm", b.erpTowardDbm},
                   {"eirp_toward_rx_dbm", b.eirpTowardDbm},
                   {"path_length_km", b.pathLengthKm},
                   {"freq_mhz", b.freqMHz},
                   {"free_space_loss_db", b.freeSpaceLossDb},
                   {"free_space_field_dbu", b.freeSpaceFieldDbu},
                   {"model_loss_db", b.modelLossDb},
                   {"land_use_loss_db", b.landUseLossDb},
                   {"field_dbu", b.fieldDbu},
                   {"field_uv_per_m", b.fieldUvPerM},
                   {"isotropic_rx_power_dbm", b.isotropicPowerDbm},
                   {"rx_gain_dbi", b.rxGainDbi},
                   {"rx_line_loss_db", b.rxLineLossDb},
                   {"rx_power_dbm", b.rxPowerDbm}};
  if (b.threshold) {
    j["threshold"] = {{"value", b.threshold->value}, {"unit", b.threshold->unit}};
    j["margin_db"] = b.marginDb;
  }
  return j;
}

}  // namespace

nlohmann::json P2PResultJson(const P2PResult& r, const LinkBudgetInput& in) {
  nlohmann::json j;
  j["model"] = r.model;
  j["quantity"] = r.quantity;
  j["unit"] = r.unit;
  if (r.quantity == "contour distance") {
    j["contour_km"] = r.contourKm;
    j["contour_mi"] = r.contourKm / 1.609344;
    j["inside_contour"] = r.insideContour;
  } else if (r.quantity == "clearance") {
    j["clearance_fresnel_radii"] = r.clearance;
  } else {
    j["net_field_dbu"] = r.netFieldDbu;
    j["free_space_dbu"] = r.freeSpaceDbu;
    j["model_loss_db"] = r.modelLossDb;
  }
  j["err_level"] = r.errLevel;
  j["mode"] = {r.mode[0], r.mode[1]};
  j["delta_h_m"] = r.deltaHM;
  j["eff_heights_m"] = {r.effHeightsM[0], r.effHeightsM[1]};
  j["path_length_m"] = r.pathLengthM;
  j["k_factor"] = r.kFactor;
  j["points"] = r.points;
  j["rx_ground_m"] = r.rxGroundM;
  j["warnings"] = r.warnings;
  j["details"] = r.details;
  if (const auto b = ComputeLinkBudget(r, in)) j["link_budget"] = BudgetJson(*b);
  return j;
}

}  // namespace zw
