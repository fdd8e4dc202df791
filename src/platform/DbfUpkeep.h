#pragma once
// Table upkeep: a table made sure to hold every field its layout needs
// (created, or rebuilt with the missing fields), and a new table's header
// corrected from the field-definition rows.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"

namespace zw::platform {

struct DbfUpkeep {
  bool created = false;
  bool repaired = false;
  std::filesystem::path backup;  // the old file kept after a repair
  std::vector<std::string> missing;
};

// Makes sure the table has every required field (by name, without case).
// Missing file: created when create is set (then, with headerRows given, the
// header is corrected from them). Fields missing: with repair, a new table of
// the full layout is built under a temporary name, the shared fields copied,
// the old file kept as base + "_" + YYYYMMDDHHSS + ".DBF" and the new one put
// under the table's name (in one rename, so the name always holds a whole
// table); without repair a failure naming the missing fields.
std::string EnsureDbfTable(const std::filesystem::path& file, const std::vector<DbfField>& required,
                           bool create, bool repair, const std::vector<DataSumField>* headerRows = nullptr,
                           DbfUpkeep* result = nullptr);

// Rewrites the field descriptors of a table from definition rows (in their
// order, one row per descriptor): for "N"/"F" rows the type letter, width and
// decimals; for every row the field's displacement in the record (from 1,
// after the deletion flag); then the record length. Refused, with the file
// untouched, when the rows do not match the descriptors by count and name,
// or when the table holds records and the record length would change. The
// file is replaced through a temporary file.
std::string CorrectDbfHeader(const std::filesystem::path& file, const std::vector<DataSumField>& rows);

}  // namespace zw::platform
