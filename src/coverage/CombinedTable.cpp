#include "coverage/CombinedTable.h"

#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"

namespace zw::coverage {

namespace fs = std::filesystem;

std::string WriteCombinedTable(const fs::path& file, const fs::path& dataSumFile, const std::string& code,
                               const std::vector<CombinedSite>& sites, const std::vector<CombinedPoint>& points) {
  std::string error;
  auto layout = platform::ReadDataSumLayout(dataSumFile, "RDBDBASE", &error);
  if (!layout) return error;
  if (layout->empty()) return "The field-definition table has no results fields (RDBDBASE): " + dataSumFile.string();
  layout->push_back({kRdbTaskField, 'N', 7, 0});
  layout->push_back({kRdbClassField, 'N', 2, 0});
  if (auto err = platform::DbfTable::Create(file, *layout); !err.empty()) return err;
  platform::DbfTable t;
  if (auto err = t.Open(file); !err.empty()) return err;
  using Row = std::vector<std::pair<std::string, FieldValue>>;
  for (const auto& s : sites) {
    const Row row{{"RDB_DESC", "TX SIT" + s.desc}, {"RDB_LAT", s.lat}, {"RDB_LON", s.lon}, {"RDB_AZ", 0.0},
                  {"RDB_DIS", 0.0}, {"RDB_VAL", kRdbNotComputed}, {kRdbTaskField, std::int32_t{0}},
                  {kRdbClassField, std::int32_t{-1}}};
    if (auto err = t.Append(row); !err.empty()) return err;
  }
  for (const auto& p : points) {
    Row row{{"RDB_DESC", code},
            {"RDB_LAT", p.point.lat},
            {"RDB_LON", p.point.lon},
            {"RDB_AZ", p.point.az},
            {"RDB_DIS", p.point.disKm},
            {"RDB_VAL", p.value.value_or(kRdbNotComputed)},
            {"RDB_WRNLVL", std::int32_t{0}},
            {"RDB_WRNING", std::int32_t{0}},
            {kRdbTaskField, p.task},
            {kRdbClassField, std::int32_t{p.cls}}};
    if (p.elvM > -30000.0f) row.emplace_back("RDB_ELV", p.elvM);
    if (auto err = t.Append(row); !err.empty()) return err;
  }
  return t.Close();
}

bool ReadCombinedFields(const fs::path& table, const std::vector<RdbRecord>& records, std::vector<std::int32_t>& tasks,
                        std::vector<int>& classes) {
  tasks.assign(records.size(), 0);
  classes.assign(records.size(), -1);
  platform::DbfTable t;
  if (!t.Open(table, true).empty() || !t.HasField(kRdbTaskField)) return false;
  const bool haveClass = t.HasField(kRdbClassField);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].record < 0) continue;
    tasks[i] = t.Integer(records[i].record, kRdbTaskField);
    if (haveClass) classes[i] = t.Integer(records[i].record, kRdbClassField);
  }
  return true;
}

}  // namespace zw::coverage
