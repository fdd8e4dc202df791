#include "engine/CalculatorFactory.h"

#include <functional>

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
    auto add = [&r](std::vector<std::string> names, Make make) {
      const bool built = static_cast<bool>(make);
      r.push_back({{std::move(names), built}, std::move(make)});
    };
    add({"Longley-Rice", "LR"}, Maker<clsQXAreaCovLR>());
    add({"Bullington", "BU"}, Maker<clsQXAreaCovBU>());
    add({"Okumura", "OK"}, Maker<clsQXAreaCovOK>());
    add({"Broadcast (Part 73)", "BC"}, Maker<clsQXAreaCovBC>());
    add({"Carey - Interpolated", "CA"}, Maker<clsQXAreaCovCA>());
    add({"Cellular - CGSA", "CG"}, Maker<clsQXAreaCovCG>());
    add({"Carey - FCC 94-201", "CX"}, Maker<clsQXAreaCovCX>());
    add({"Egli", "EG"}, Maker<clsQXAreaCovEG>());
    add({"Hata/Davidson", "HD"}, Maker<clsQXAreaCovHD>());
    add({"Specialized Mobile Radio", "SM"}, Maker<clsQXAreaCovSM>());
    add({"Shadow", "Shadow - Fixed Angle", "SH", "SF"}, Maker<clsQXAreaCovSH>());
    add({"Rounded Obstacle", "RO"}, Maker<clsQXAreaCovRO>());
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
      if (n == name) return r.make ? r.make() : nullptr;
    }
  }
  return nullptr;
}

}  // namespace zw
