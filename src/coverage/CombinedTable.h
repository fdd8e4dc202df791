#pragma once
// The results table of a study made from other studies (aggregate and
// composite tile studies, adjacent-channel interference): the layout of every
// results table plus two fields, the task number of the deciding input
// (RDB_TASK; 0 where none decides) and the class of the point (RDB_CLASS;
// interference studies: 0 unserved, 1 served, 2 interfered; -1 otherwise).
// Every transmitter of the inputs gets a site record ("TX SIT" + its
// description), then the points follow in grid order.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "coverage/ResultsDb.h"
#include "coverage/StudyPoints.h"

namespace zw::coverage {

inline constexpr const char* kRdbTaskField = "RDB_TASK";
inline constexpr const char* kRdbClassField = "RDB_CLASS";

struct CombinedSite {
  std::string desc;  // the transmitter's description (written after "TX SIT")
  double lat = 0, lon = 0;
};

struct CombinedPoint {
  StudyPoint point;
  std::optional<double> value;  // none: written as not computed (-888888)
  std::int32_t task = 0;
  int cls = -1;
  float elvM = -32200.0f;       // ground elevation, m (empty at -30000 and below)
};

// Writes the table `file` (which must not exist). "" or the failure.
std::string WriteCombinedTable(const std::filesystem::path& file, const std::filesystem::path& dataSumFile,
                               const std::string& code, const std::vector<CombinedSite>& sites,
                               const std::vector<CombinedPoint>& points);

// RDB_TASK and RDB_CLASS of records read from `table` (by their record
// numbers); false when the table has no RDB_TASK field (not a combined table).
bool ReadCombinedFields(const std::filesystem::path& table, const std::vector<RdbRecord>& records,
                        std::vector<std::int32_t>& tasks, std::vector<int>& classes);

}  // namespace zw::coverage
