#pragma once
// A computed path as one JSON object: the model, what its result is (field
// strength, clearance or contour distance, each field named with its unit),
// the path as the model saw it and the link budget of a field strength.
#include <nlohmann/json.hpp>

#include "engine/LinkBudget.h"
#include "engine/PointToPoint.h"

namespace zw {

nlohmann::json P2PResultJson(const P2PResult& r, const LinkBudgetInput& in = {});

}  // namespace zw
