#pragma once
// dBase / FoxPro 2.6 tables (.DBF) on shapelib: open or create a table with a
// field layout, read records as field values, add, edit and delete (mark)
// records, find records by a field value, and views of the records in a
// filtered, sorted order with a current position (a recordset).
//
// Files are checked before shapelib sees them: a truncated or inconsistent
// file is refused with a failure text, never read past its end. New tables
// are written under a temporary name in the target directory and renamed
// into place, so no half-written table is ever left under the real name.
//
// Field names are matched without regard to case. Reading: character and
// date fields give text (character fields without their trailing blanks),
// numeric fields give an integer when they have no decimals and at most 9
// digits, else a double; logical fields give a boolean. An empty field reads
// as the empty text, 0 or false (IsNull tells it apart).
//
// Every public function returns a failure text (empty on success) or a
// sentinel; none throws.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/FieldValue.h"

namespace zw::platform {

struct DbfField {
  std::string name;   // 1 to 10 characters: letters, digits, '_', starting with a letter
  char type = 'C';    // 'C' character, 'N' numeric, 'F' floating, 'L' logical, 'D' date
  int width = 10;     // C 1..254, N/F 1..20, L 1, D 8
  int decimals = 0;   // N/F: below width - 1 (or 0)

  bool operator==(const DbfField&) const = default;
};

struct DbfSortKey {
  std::string field;
  bool descending = false;
};

// Checks a layout for creation; empty when it can be written.
std::string ValidateDbfLayout(const std::vector<DbfField>& fields);

// ---- The field-definition (data-summary) table "ZWDATASM.DBF": one row per
// field of each table layout, columns TABLE_TYPE, DATASUM_ID, FLD_NAME,
// FLD_WIDTH, VB_TYPE, FLD_DEC, FOX_TYPE.
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

class DbfTable {
 public:
  DbfTable() = default;
  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;
  DbfTable(DbfTable&& other) noexcept;
  DbfTable& operator=(DbfTable&& other) noexcept;

  // Writes a new empty table (temporary file, then rename). An existing file
  // is replaced only when replace is set; otherwise that is a failure.
  static std::string Create(const std::filesystem::path& file, const std::vector<DbfField>& fields,
                            bool replace = false);

  // Opens an existing table (read-only, or for update). The name must end
  // in ".dbf" or ".DBF".
  std::string Open(const std::filesystem::path& file, bool readOnly = false);
  // Opens the table, creating it with the layout first when the file is missing.
  std::string OpenOrCreate(const std::filesystem::path& file, const std::vector<DbfField>& fields);
  // Writes what is pending and closes; empty when all was written.
  std::string Close();
  // Writes pending changes and the header (record count) to disk.
  std::string Flush();

  bool IsOpen() const { return handle_ != nullptr; }
  bool IsReadOnly() const { return readOnly_; }
  const std::filesystem::path& Path() const { return path_; }
  const std::vector<DbfField>& Fields() const { return fields_; }
  // Index of a field (without regard to case), or -1.
  int FieldIndex(std::string_view name) const;
  bool HasField(std::string_view name) const { return FieldIndex(name) >= 0; }

  // Records in the file, deleted ones included (record numbers 0 .. count-1).
  int RecordCount() const;
  bool IsDeleted(int record) const;

  // Reading. A bad record number or field gives the empty text / false.
  FieldValue Value(int record, int field) const;
  FieldValue Value(int record, std::string_view field) const;
  std::string Text(int record, std::string_view field) const;
  double Number(int record, std::string_view field) const;
  bool IsNull(int record, std::string_view field) const;
  // All values of a record in field order; nothing for a bad record number.
  std::optional<std::vector<FieldValue>> Row(int record) const;

  // Writing. A value is converted to the field's type: text for character
  // fields (cut at the width), a number that fits the width for numeric
  // fields (text is parsed; empty text stores an empty field), True/False
  // (or a number, or "T"/"Y"/"F"/"N"/"True"/"False") for logical fields,
  // "YYYYMMDD" for date fields. A value that does not fit is refused and the
  // field keeps its content.
  std::string Set(int record, std::string_view field, const FieldValue& value);
  std::string SetNull(int record, std::string_view field);
  // Adds a blank record; its number in *record.
  std::string AppendBlank(int* record = nullptr);
  // Adds a record with the given values (other fields blank). On a failure
  // no record is added.
  std::string Append(const std::vector<std::pair<std::string, FieldValue>>& values,
                     int* record = nullptr);
  std::string Delete(int record);
  std::string Undelete(int record);

  // Records that are not deleted, in record order.
  std::vector<int> AllRecords() const;
  // Records that are not deleted whose field equals the value (text compared
  // after trimming trailing blanks; numbers numerically; case as given unless
  // ignoreCase). An unknown field gives none.
  std::vector<int> Find(std::string_view field, const FieldValue& value, bool ignoreCase = false) const;
  // First such record, or -1.
  int FindFirst(std::string_view field, const FieldValue& value, bool ignoreCase = false) const;
  // The given records (all live records when null) ordered by the keys
  // (stable: ties keep record order). Text keys compare byte-wise, numeric
  // keys numerically with empty fields first. Unknown key fields give
  // *error and the records unsorted.
  std::vector<int> Sorted(const std::vector<DbfSortKey>& keys, const std::vector<int>* records = nullptr,
                          std::string* error = nullptr) const;

  // Appends every live record of source, copying the fields both tables
  // share by name. Returns the failure text; *copied tells how many rows.
  std::string CopyRowsFrom(const DbfTable& source, int* copied = nullptr);

  // ---- Recordset view: a filtered, ordered list of records and a position.
  using Filter = std::function<bool(const DbfTable&, int record)>;
  // Selects the live records that pass the filter (all when empty), ordered
  // by the keys, and moves to the first. Failure text for unknown key fields.
  std::string Select(const Filter& where = {}, const std::vector<DbfSortKey>& order = {});
  int ViewCount() const { return static_cast<int>(view_.size()); }
  const std::vector<int>& View() const { return view_; }
  void MoveFirst() { pos_ = 0; }
  void MoveNext() {
    if (pos_ < static_cast<int>(view_.size())) ++pos_;
  }
  bool MoveTo(int position);
  bool Eof() const { return pos_ >= static_cast<int>(view_.size()); }
  int Position() const { return pos_; }
  // Record number at the position, or -1 at the end.
  int Current() const { return Eof() ? -1 : view_[static_cast<std::size_t>(pos_)]; }
  FieldValue Get(std::string_view field) const { return Value(Current(), field); }
  std::string Put(std::string_view field, const FieldValue& value) { return Set(Current(), field, value); }
  // Adds a blank record, puts it at the end of the view and moves to it.
  std::string AddNew();

 private:
  struct Handle;
  std::string CheckRecord(int record) const;
  std::string RawField(int record, int field) const;
  std::string EncodeValue(int field, const FieldValue& value, std::string& out) const;
  std::string WriteRaw(int record, int field, const std::string& raw);

  Handle* handle_ = nullptr;
  std::filesystem::path path_;
  bool readOnly_ = false;
  std::vector<DbfField> fields_;
  std::vector<int> offsets_;
  int recordLength_ = 0;
  std::vector<int> view_;
  int pos_ = 0;
};

}  // namespace zw::platform
