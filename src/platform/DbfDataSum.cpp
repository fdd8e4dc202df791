#include "platform/DbfDataSum.h"

#include <array>
#include <utility>

#include "platform/DbfFieldCodec.h"
#include "platform/DbfGuard.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

namespace zw::platform {

using namespace dbf;

int VbTypeCode(std::string_view typeName) {
  const std::string t = ToUpper(TrimField(typeName));
  if (t.empty()) return -1;
  static constexpr std::array<std::pair<std::string_view, int>, 12> kCodes{{
      {"STRING", 10}, {"COUNTER", 4}, {"TRUE/FALSE", 1}, {"BYTE", 2}, {"INTEGER", 3}, {"LONG", 4},
      {"CURRENCY", 5}, {"SINGLE", 6}, {"DOUBLE", 7}, {"DATE/TIME", 8}, {"BINARY", 11}, {"MEMO", 12},
  }};
  for (const auto& [name, code] : kCodes)
    if (t == name) return code;
  return 0;
}

DbfField DataSumField::ToDbfField() const {
  DbfField f;
  f.name = name;
  f.width = width;
  f.decimals = decimals;
  const char fox = foxType.empty() ? '\0' : ToUpper(foxType.substr(0, 1)).front();
  if (fox == 'C' || fox == 'N' || fox == 'F' || fox == 'L' || fox == 'D') {
    f.type = fox;
  } else {
    switch (typeCode) {
      case 1: f.type = 'L'; break;
      case 8: f.type = 'D'; break;
      case 10: case 11: case 12: f.type = 'C'; break;
      default: f.type = 'N'; break;
    }
  }
  if (f.type == 'C' || f.type == 'L' || f.type == 'D') f.decimals = 0;
  return f;
}

std::filesystem::path DefaultDataSumFile() {
  return DataDirectory() / "ZWDATASM.DBF";
}

std::optional<std::vector<DataSumField>> ReadDataSumFields(const std::filesystem::path& dataSumFile,
                                                           std::string_view tableType, std::string* error) {
  using Rows = std::optional<std::vector<DataSumField>>;
  auto failed = [error](const std::exception& e) -> Rows {
    if (error) *error = std::string("Cannot read the field-definition table: ") + e.what();
    return std::nullopt;
  };
  return Guarded([&]() -> Rows {
    DbfTable table;
    if (auto err = table.Open(dataSumFile, true); !err.empty()) {
      if (error) *error = err;
      return std::nullopt;
    }
    for (const char* column : {"TABLE_TYPE", "DATASUM_ID", "FLD_NAME", "FLD_WIDTH", "VB_TYPE", "FLD_DEC", "FOX_TYPE"}) {
      if (!table.HasField(column)) {
        if (error) *error = std::string("The field-definition table has no column ") + column + ": " +
                            dataSumFile.string();
        return std::nullopt;
      }
    }
    std::string sortError;
    const auto rows = table.Sorted({{"DATASUM_ID", false}}, nullptr, &sortError);
    std::vector<DataSumField> out;
    for (int r : rows) {
      if (!EqualsNoCase(TrimRight(table.Text(r, "TABLE_TYPE")), TrimField(tableType))) continue;
      DataSumField f;
      f.id = table.Integer(r, "DATASUM_ID");
      f.name = std::string(TrimField(table.Text(r, "FLD_NAME")));
      f.width = table.Integer(r, "FLD_WIDTH");
      f.vbType = std::string(TrimField(table.Text(r, "VB_TYPE")));
      f.typeCode = VbTypeCode(f.vbType);
      f.decimals = table.Integer(r, "FLD_DEC");
      f.foxType = std::string(TrimField(table.Text(r, "FOX_TYPE")));
      out.push_back(std::move(f));
    }
    return out;
  }, failed);
}

std::optional<std::vector<DbfField>> ReadDataSumLayout(const std::filesystem::path& dataSumFile,
                                                       std::string_view tableType, std::string* error) {
  auto rows = ReadDataSumFields(dataSumFile, tableType, error);
  if (!rows) return std::nullopt;
  std::vector<DbfField> layout;
  for (const auto& r : *rows)
    if (r.Valid()) layout.push_back(r.ToDbfField());
  return layout;
}

}  // namespace zw::platform
