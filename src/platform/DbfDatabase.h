#pragma once
// A directory of tables opened as one database, and the query a recordset
// is opened with:
//   SELECT * FROM table [WHERE field = 'text'] [ORDER BY f [ASC|DESC], ...]
// Table names are matched without regard to case against the .DBF files of
// the directory.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DbfTable.h"

namespace zw::platform {

struct DbfSelect {
  std::string table;
  // The filter: the live records whose field equals the text (text compared
  // without regard to case or surrounding blanks, numbers numerically; an
  // empty field matches nothing). No field: every live record.
  std::string whereField;
  std::string whereText;
  std::vector<DbfSortKey> order;

  // The filter as SQL: field + " = '" + text + "' " (quotes doubled), or "".
  std::string WhereText() const;
  // The order as SQL: "F1 ASC,F2 DESC", or "".
  std::string OrderText() const;
  // "SELECT * from " + table [+ " WHERE " + filter] [+ " ORDER BY " + order].
  std::string Text() const;
};

class DbfDatabase {
 public:
  // connect: "FoxPro 2.6" or "dBase III" (or empty); anything else is refused.
  std::string Open(const std::filesystem::path& directory, std::string_view connect = "FoxPro 2.6");
  bool IsOpen() const { return !dir_.empty(); }
  // The file of a table: an existing one matched without case, else
  // directory / (name + ".DBF").
  std::filesystem::path TablePath(std::string_view table) const;
  // Opens the query's table (for update unless readOnly) with the selected
  // records as the view, at the first. Failure text for an unknown field.
  std::string OpenRecordset(const DbfSelect& query, DbfTable& recordset, bool readOnly = false) const;

 private:
  std::filesystem::path dir_;
};

}  // namespace zw::platform
