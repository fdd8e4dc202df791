#include "platform/DbfDatabase.h"

#include <system_error>

#include "platform/DbfFieldCodec.h"
#include "platform/DbfGuard.h"
#include "platform/Text.h"

namespace zw::platform {

using namespace dbf;

std::string DbfSelect::WhereText() const {
  if (whereField.empty()) return {};
  std::string text = whereText;
  // A quote would end the text of the filter early.
  for (std::size_t p = 0; (p = text.find('\'', p)) != std::string::npos; p += 2) text.insert(p, 1, '\'');
  return whereField + " = '" + text + "' ";
}

std::string DbfSelect::OrderText() const {
  std::string out;
  for (const auto& k : order) out += (out.empty() ? "" : ",") + k.field + (k.descending ? " DESC" : " ASC");
  return out;
}

std::string DbfSelect::Text() const {
  std::string sql = "SELECT * from " + table;
  if (!whereField.empty()) sql += " WHERE " + WhereText();
  if (!order.empty()) sql += " ORDER BY " + OrderText();
  return sql;
}

std::string DbfDatabase::Open(const std::filesystem::path& directory, std::string_view connect) {
  dir_.clear();
  const std::string kind(TrimField(connect));
  if (!kind.empty() && !EqualsNoCase(kind, "FoxPro 2.6") && !EqualsNoCase(kind, "FoxPro 2.6;") &&
      !EqualsNoCase(kind, "dBase III") && !EqualsNoCase(kind, "dBase III;"))
    return "Unsupported database kind \"" + kind + "\" (" + directory.string() + ")";
  std::error_code ec;
  if (directory.empty() || !std::filesystem::is_directory(directory, ec))
    return "The database directory does not exist: " + directory.string();
  dir_ = directory;
  return {};
}

std::filesystem::path DbfDatabase::TablePath(std::string_view table) const {
  std::string base(TrimField(table));
  if (base.size() > 4 && EqualsNoCase(std::string_view(base).substr(base.size() - 4), ".dbf"))
    base.resize(base.size() - 4);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
    const auto name = entry.path().filename().string();
    if (name.size() == base.size() + 4 && EqualsNoCase(name, base + ".DBF")) return entry.path();
  }
  return dir_ / (base + ".DBF");
}

namespace {

// The filter of a query: the field's value equals the text.
DbfTable::Filter Equals(int field, char type, const std::string& text) {
  if (IsNumericType(type) || type == 'L') {
    double literal = 0;
    if (!ParseNumber(text, literal)) return [](const DbfTable&, int) { return false; };
    return [field, type, literal](const DbfTable& t, int record) {
      if (t.IsNull(record, field)) return false;
      const double v = type == 'L' ? (t.Number(record, field) != 0 ? 1.0 : 0.0) : t.Number(record, field);
      return v == literal;
    };
  }
  return [field, lit = ToUpper(TrimField(text))](const DbfTable& t, int record) {
    return ToUpper(TrimField(t.Text(record, field))) == lit;
  };
}

}  // namespace

std::string DbfDatabase::OpenRecordset(const DbfSelect& query, DbfTable& recordset, bool readOnly) const {
  recordset.Close();
  if (!IsOpen()) return "No database is open";
  const std::string error = Guarded("Cannot run the statement", [&]() -> std::string {
    if (auto err = recordset.Open(TablePath(query.table), readOnly); !err.empty()) return err;
    DbfTable::Filter filter;
    if (!query.whereField.empty()) {
      const int i = recordset.FieldIndex(query.whereField);
      if (i < 0) return "No field " + query.whereField + " in " + recordset.Path().string();
      filter = Equals(i, recordset.Fields()[static_cast<std::size_t>(i)].type, query.whereText);
    }
    return recordset.Select(filter, query.order);
  });
  if (!error.empty()) recordset.Close();
  return error;
}

}  // namespace zw::platform
