#pragma once
// The field-definition (data-summary) table "ZWDATASM.DBF": one row per
// field of each table layout, columns TABLE_TYPE, DATASUM_ID, FLD_NAME,
// FLD_WIDTH, VB_TYPE, FLD_DEC, FOX_TYPE.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DbfTable.h"

namespace zw::platform {

struct DataSumField {
  int id = 0;             // DATASUM_ID: the order of the field
  std::string name;       // FLD_NAME
  int width = 0;          // FLD_WIDTH
  std::string vbType;     // VB_TYPE as stored
  int typeCode = -1;      // database field type code of VB_TYPE (VbTypeCode)
  int decimals = 0;       // FLD_DEC
  std::string foxType;    // FOX_TYPE: one DBF type letter
  bool Valid() const { return typeCode >= 1; }
  // The DBF field it describes: FOX_TYPE when it is a letter this layer
  // writes, else the letter that fits the type name.
  DbfField ToDbfField() const;
};

// Field type code of a type name, matched after upper-casing: "TRUE/FALSE" 1,
// "BYTE" 2, "INTEGER" 3, "LONG" and "COUNTER" 4, "CURRENCY" 5, "SINGLE" 6,
// "DOUBLE" 7, "DATE/TIME" 8, "STRING" 10, "BINARY" 11, "MEMO" 12; an empty
// name -1 (the row is invalid); any other name 0.
int VbTypeCode(std::string_view typeName);

// The shipped field-definition table (data/ZWDATASM.DBF of the source tree).
std::filesystem::path DefaultDataSumFile();

// The rows of one table type (matched without regard to case) in DATASUM_ID
// order; an empty list when the type has no rows. Nothing, with *error set,
// when the table cannot be read or lacks one of its columns.
std::optional<std::vector<DataSumField>> ReadDataSumFields(const std::filesystem::path& dataSumFile,
                                                           std::string_view tableType,
                                                           std::string* error = nullptr);
// The layout of a table type as DBF fields (invalid rows left out).
std::optional<std::vector<DbfField>> ReadDataSumLayout(const std::filesystem::path& dataSumFile,
                                                       std::string_view tableType,
                                                       std::string* error = nullptr);

}  // namespace zw::platform
