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
//
// Crash safety: every write operation (Set, Append, Update, Delete...) is
// committed on its own: the record bytes go to the file first, the header
// (record count) after them, so a crash, kill or full disk leaves the table
// as it was before or after the operation. After a failed write the open
// table refuses further changes (the header is never written over records
// that did not reach the disk); reopen it. A table opened for update holds
// an exclusive advisory lock (flock); a second update open of the same file,
// from this or another process, is refused with a message.
//
// The field-definition table (DbfDataSum.h), a directory of tables and the
// query a recordset is opened with (DbfDatabase.h), and table upkeep
// (DbfUpkeep.h) stand on this class.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FieldValue.h"

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

// Write failures for tests: the failAtWrite-th low-level write after the
// table is opened (1 = the first) fails; with partial, half of its bytes are
// written first; with exitProcess the process ends there (a simulated kill).
struct DbfWriteFault {
  int failAtWrite = 0;
  bool partial = false;
  bool exitProcess = false;
  int error = 28;  // the errno the failed write reports (ENOSPC: the disk is full)
};

// Installs a write fault for every table this thread opens or creates from
// now on (tests; a default fault removes it).
void SetDbfWriteFaultForNewFiles(const DbfWriteFault& fault);

// Checks a layout for creation; empty when it can be written.
std::string ValidateDbfLayout(const std::vector<DbfField>& fields);

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
  // Installs a write fault (tests); a default fault removes it.
  void SetWriteFault(const DbfWriteFault& fault);

  bool IsOpen() const { return handle_ != nullptr; }
  // Device and inode of the open file (nothing when none is open): tells
  // whether the name still leads to it.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity() const;
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
  // Number rounded and held within [lo, hi] (0 for a value that is not a
  // number): for codes and counts a damaged table may hold anything in.
  std::int32_t Integer(int record, std::string_view field, std::int32_t lo = std::numeric_limits<std::int32_t>::min(),
                       std::int32_t hi = std::numeric_limits<std::int32_t>::max()) const;
  bool IsNull(int record, std::string_view field) const;
  // The same by field index (FieldIndex), for reading many records.
  std::string Text(int record, int field) const;
  double Number(int record, int field) const;
  std::int32_t Integer(int record, int field, std::int32_t lo = std::numeric_limits<std::int32_t>::min(),
                       std::int32_t hi = std::numeric_limits<std::int32_t>::max()) const;
  bool IsNull(int record, int field) const;
  // All values of a record in field order; nothing for a bad record number.
  std::optional<std::vector<FieldValue>> Row(int record) const;

  // Writing. A value is converted to the field's type: text for character
  // fields (cut at the width), a number that fits the width for numeric
  // fields (text is parsed; empty text stores an empty field), True/False
  // (or a number, or "T"/"Y"/"F"/"N"/"True"/"False") for logical fields,
  // "YYYYMMDD" for date fields. A value that does not fit is refused and the
  // field keeps its content.
  std::string Set(int record, std::string_view field, const FieldValue& value);
  // Adds a blank record; its number in *record.
  std::string AppendBlank(int* record = nullptr);
  // Adds a record with the given values (other fields blank). On a failure
  // no record is added.
  std::string Append(const std::vector<std::pair<std::string, FieldValue>>& values,
                     int* record = nullptr);
  // Edits several fields of a record at once: all values are converted
  // first (a refused value changes nothing), then written and committed
  // together. Empty text stores an empty field.
  std::string Update(int record, const std::vector<std::pair<std::string, FieldValue>>& values);
  std::string Delete(int record);

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

  // ---- Recordset view: a filtered, ordered list of records and a position.
  using Filter = std::function<bool(const DbfTable&, int record)>;
  // Selects the live records that pass the filter (all when empty), ordered
  // by the keys, and moves to the first. Failure text for unknown key fields.
  std::string Select(const Filter& where = {}, const std::vector<DbfSortKey>& order = {});
  int ViewCount() const { return static_cast<int>(view_.size()); }
  void MoveFirst() { pos_ = 0; }
  void MoveNext() {
    if (pos_ < static_cast<int>(view_.size())) ++pos_;
  }
  bool MoveTo(int position);
  bool Eof() const { return pos_ >= static_cast<int>(view_.size()); }
  int Position() const { return pos_; }
  // Record number at the position, or -1 at the end.
  int Current() const { return Eof() ? -1 : view_[static_cast<std::size_t>(pos_)]; }
  // Adds a record with the values, puts it at the end of the view and moves to it.
  std::string AddNew(const std::vector<std::pair<std::string, FieldValue>>& values);
  // Edits the current record (Update on Current()).
  std::string UpdateCurrent(const std::vector<std::pair<std::string, FieldValue>>& values);

  // Appends every live record of source, copying only the named fields
  // (each must exist in both tables). Returns the failure text.
  std::string CopyFieldsFrom(const DbfTable& source, const std::vector<std::string>& fieldNames,
                             int* copied = nullptr);

 private:
  struct Handle;
  std::string CheckRecord(int record) const;
  // The field's bytes in the table's record buffer: valid until the next
  // read of another record.
  std::string_view RawField(int record, int field) const;
  std::string EncodeValue(int field, const FieldValue& value, std::string& out) const;
  std::string WriteRaw(int record, int field, const std::string& raw);
  std::string Commit();
  std::string CheckWritable() const;
  // Appends every record of source with the given fields (index in source,
  // name here); empty source fields stay blank. Returns the failure text;
  // *copied counts the records added.
  std::string AppendRecordsOf(const DbfTable& source, const std::vector<std::pair<int, std::string>>& shared,
                              int* copied);

  Handle* handle_ = nullptr;
  std::filesystem::path path_;
  bool readOnly_ = false;
  std::vector<DbfField> fields_;
  std::vector<int> offsets_;
  int recordLength_ = 0;
  std::vector<int> view_;
  int pos_ = 0;
  std::string broken_;
};

}  // namespace zw::platform
