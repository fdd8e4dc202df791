#include "engine/CalculatorFactory.h"

#include <functional>

#include "common/ModelTable.h"
#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/clsQXAreaCovCA.h"
#include "models/curves/clsQXAreaCovCG.h"
#include "models/curves/clsQXAreaCovCX.h"
#include "models/curves/clsQXAreaCovOK.h"
#include "models/curves/clsQXAreaCovSM.h"
#include "models/terrain/clsQXAreaCovBU.h"
#include "models/terrain/clsQXAreaCovEG.h"
#include "models/terrain/clsQXAreaCovHD.h"
#include "models/terrain/clsQXAreaCovLR.h"
#include "models/terrain/clsQXAreaCovRO.h"
#include "models/terrain/clsQXAreaCovSH.h"

namespace zw {

namespace {

using Make = std::function<std::unique_ptr<clsQXAreaCov>()>;

template <class T>
Make Maker() {
  return [] { return std::make_unique<T>(); };
}

struct Row {
  CalculatorRow row;
  Make make;
};

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = [] {
    std::vector<Row> r;
    // A row's names: the main display name of each of its codes (the model
    // table's), then the codes.
    auto add = [&r](std::vector<std::string> codes, Make make) {
      std::vector<std::string> names;
      names.reserve(2 * codes.size());
      for (const auto& code : codes) names.push_back(ModelDisplayNames(code).front());
      names.insert(names.end(), codes.begin(), codes.end());
      r.push_back({{std::move(names)}, std::move(make)});
    };
    add({"LR"}, Maker<clsQXAreaCovLR>());
    add({"BU"}, Maker<clsQXAreaCovBU>());
    add({"OK"}, Maker<clsQXAreaCovOK>());
    add({"BC"}, Maker<clsQXAreaCovBC>());
    add({"CA"}, Maker<clsQXAreaCovCA>());
    add({"CG"}, Maker<clsQXAreaCovCG>());
    add({"CX"}, Maker<clsQXAreaCovCX>());
    add({"EG"}, Maker<clsQXAreaCovEG>());
    add({"HD"}, Maker<clsQXAreaCovHD>());
    add({"SM"}, Maker<clsQXAreaCovSM>());
    add({"SH", "SF"}, Maker<clsQXAreaCovSH>());
    add({"RO"}, Maker<clsQXAreaCovRO>());
    return r;
  }();
  return rows;
}

}  // namespace

const std::vector<CalculatorRow>& CalculatorTable() {
  static const std::vector<CalculatorRow> table = [] {
    std::vector<CalculatorRow> t;
    for (const Row& r : Rows()) t.push_back(r.row);
    return t;
  }();
  return table;
}

std::unique_ptr<clsQXAreaCov> NewCalculator(std::string_view name) {
  for (const Row& r : Rows()) {
    for (const std::string& n : r.row.names) {
      if (n == name) return r.make();
    }
  }
  return nullptr;
}

}  // namespace zw
