// mkdatasm: writes the field-definition table ZWDATASM.DBF from its text
// source ZWDATASM.csv (header line, then TABLE_TYPE, DATASUM_ID, FLD_NAME,
// FLD_WIDTH, VB_TYPE, FLD_DEC, FOX_TYPE per line).
//
//   mkdatasm data/ZWDATASM.csv data/ZWDATASM.DBF
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"

namespace {

using zw::platform::DbfField;
using zw::platform::DbfTable;

const std::vector<DbfField> kLayout{
    {"TABLE_TYPE", 'C', 10, 0}, {"DATASUM_ID", 'N', 6, 0}, {"FLD_NAME", 'C', 10, 0}, {"FLD_WIDTH", 'N', 3, 0},
    {"VB_TYPE", 'C', 10, 0},    {"FLD_DEC", 'N', 2, 0},    {"FOX_TYPE", 'C', 1, 0},
};

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream ss(line);
  std::string cell;
  while (std::getline(ss, cell, ',')) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

bool IsInt(const std::string& s) {
  return !s.empty() && s.size() < 7 && s.find_first_not_of("0123456789") == std::string::npos;
}

int Fail(const std::string& msg) {
  std::fprintf(stderr, "mkdatasm: %s\n", msg.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: mkdatasm <ZWDATASM.csv> <ZWDATASM.DBF>");
  const std::filesystem::path csv = argv[1], out = argv[2];
  std::ifstream in(csv);
  if (!in) return Fail("cannot read " + csv.string());

  std::vector<std::vector<std::string>> rows;
  std::set<std::string> ids, keys;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (lineNo == 1) continue;  // column names
    auto c = Split(line);
    const std::string at = csv.string() + ":" + std::to_string(lineNo) + ": ";
    if (c.size() != 7) return Fail(at + "expected 7 columns");
    if (!IsInt(c[1]) || !IsInt(c[3]) || !IsInt(c[5])) return Fail(at + "DATASUM_ID, FLD_WIDTH and FLD_DEC are whole numbers");
    if (c[2].empty() || c[2].size() > 10) return Fail(at + "a field name has 1 to 10 characters");
    if (!ids.insert(c[1]).second) return Fail(at + "DATASUM_ID repeated");
    if (!keys.insert(c[0] + "/" + c[2]).second) return Fail(at + "field repeated in its table type");
    if (zw::platform::VbTypeCode(c[4]) < 1) return Fail(at + "unknown VB_TYPE " + c[4]);
    rows.push_back(std::move(c));
  }

  // Written beside the target, then renamed over it.
  auto temp = out;
  temp.replace_filename("~mkdatasm.dbf");
  if (auto err = DbfTable::Create(temp, kLayout, true); !err.empty()) return Fail(err);
  {
    DbfTable t;
    if (auto err = t.Open(temp); !err.empty()) return Fail(err);
    for (const auto& c : rows) {
      auto err = t.Append({{"TABLE_TYPE", c[0]}, {"DATASUM_ID", c[1]}, {"FLD_NAME", c[2]}, {"FLD_WIDTH", c[3]},
                           {"VB_TYPE", c[4]}, {"FLD_DEC", c[5]}, {"FOX_TYPE", c[6]}});
      if (!err.empty()) return Fail(err);
    }
    if (auto err = t.Close(); !err.empty()) return Fail(err);
  }
  std::error_code ec;
  std::filesystem::rename(temp, out, ec);
  if (ec) return Fail("cannot write " + out.string() + ": " + ec.message());
  std::printf("%s: %zu rows\n", out.string().c_str(), rows.size());
  return 0;
}
