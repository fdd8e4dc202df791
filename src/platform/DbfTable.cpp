#include "platform/DbfTable.h"

#include <shapefil.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <system_error>
#include <type_traits>

#include "platform/DbfFieldCodec.h"
#include "platform/DbfFileHooks.h"
#include "platform/DbfGuard.h"
#include "platform/DbfHeader.h"
#include "platform/Text.h"

namespace zw::platform {

using namespace dbf;

struct DbfTable::Handle {
  DBFHandle h = nullptr;
};

namespace {

void StampToday(DBFHandle h) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (localtime_r(&now, &tm)) DBFSetLastModifiedDate(h, tm.tm_year, tm.tm_mon + 1, tm.tm_mday);
}

}  // namespace

DbfTable::~DbfTable() { Close(); }

DbfTable::DbfTable(DbfTable&& other) noexcept { *this = std::move(other); }

DbfTable& DbfTable::operator=(DbfTable&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(handle_, other.handle_);
    path_ = std::move(other.path_);
    readOnly_ = other.readOnly_;
    fields_ = std::move(other.fields_);
    offsets_ = std::move(other.offsets_);
    recordLength_ = other.recordLength_;
    view_ = std::move(other.view_);
    pos_ = other.pos_;
    broken_ = std::move(other.broken_);
    other.broken_.clear();
    other.path_.clear();
    other.fields_.clear();
    other.offsets_.clear();
    other.view_.clear();
    other.pos_ = 0;
  }
  return *this;
}

std::string DbfTable::Create(const std::filesystem::path& file, const std::vector<DbfField>& fields,
                             bool replace) {
  return Guarded("Cannot create the table", file, [&]() -> std::string {
    if (!DbfExtension(file)) return "A table name must end in .dbf or .DBF: " + file.string();
    if (auto err = ValidateDbfLayout(fields); !err.empty()) return err + " (" + file.string() + ")";
    std::error_code ec;
    if (std::filesystem::exists(file, ec) && !replace) return "The table already exists: " + file.string();
    const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(dir, ec)) return "The directory does not exist: " + dir.string();
    const std::string temp = TempName(dir);

    SAHooks hooks = QuietHooks();
    tlsLibraryMessage.clear();
    tlsWriteError = 0;
    DBFHandle h = DBFCreateLL(temp.c_str(), "LDID/87", &hooks);
    if (!h) return WithLibraryMessage("Cannot create the table " + file.string());
    bool ok = true;
    for (const auto& f : fields) {
      if (DBFAddNativeFieldType(h, f.name.c_str(), f.type, f.width, f.decimals) < 0) {
        ok = false;
        break;
      }
    }
    if (ok) StampToday(h);
    DBFClose(h);
    // The header is written at close; make sure it is all there.
    if (ok) {
      HeaderCheck check = CheckHeader(temp);
      ok = check.error.empty() && check.fields.size() == fields.size();
    }
    if (ok) {
      std::filesystem::rename(temp, file, ec);
      if (ec) {
        std::filesystem::remove(temp, ec);
        return "Cannot write the table " + file.string() + ": " + ec.message();
      }
      return {};
    }
    std::filesystem::remove(temp, ec);
    if (tlsWriteError != 0) {
      tlsLibraryMessage.clear();
      return "Cannot create the table " + file.string() + WriteCause();
    }
    return WithLibraryMessage("Cannot create the table " + file.string());
  });
}

std::string DbfTable::Open(const std::filesystem::path& file, bool readOnly) {
  Close();
  return Guarded("Cannot open the table", file, [&]() -> std::string {
    if (!DbfExtension(file)) return "A table name must end in .dbf or .DBF: " + file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return "Table not found: " + file.string();
    if (file.extension() == ".DBF") {
      // shapelib tries the lower-case name first; refuse a second file there.
      auto lower = file;
      lower.replace_extension(".dbf");
      if (std::filesystem::exists(lower, ec) && !std::filesystem::equivalent(lower, file, ec))
        return "Two tables differ only in the case of the extension: " + file.string();
    }
    HeaderCheck check = CheckHeader(file);
    if (!check.error.empty()) return check.error;

    SAHooks hooks = QuietHooks();
    tlsLibraryMessage.clear();
    DBFHandle h = DBFOpenLL(file.string().c_str(), readOnly ? "rb" : "rb+", &hooks);
    if (!h) return WithLibraryMessage("Cannot open the table " + file.string());
    // The library must see the layout that was checked.
    bool same = DBFGetFieldCount(h) == static_cast<int>(check.fields.size()) &&
                h->nRecordLength == check.recordLength;
    for (int i = 0; same && i < DBFGetFieldCount(h); ++i)
      same = h->panFieldOffset[i] == check.offsets[static_cast<std::size_t>(i)] &&
             h->panFieldSize[i] == check.fields[static_cast<std::size_t>(i)].width;
    if (!same) {
      DBFClose(h);
      return "Unsupported table layout: " + file.string();
    }
    if (!readOnly) {
      HookFile* hf = FileOf(h);
      if (!hf || flock(fileno(hf->fp), LOCK_EX | LOCK_NB) != 0) {
        DBFClose(h);
        return "The table " + file.string() + " is in use by another program (locked); try again when it is closed";
      }
      StampToday(h);
    }
    handle_ = new Handle{h};
    path_ = file;
    readOnly_ = readOnly;
    fields_ = std::move(check.fields);
    offsets_ = std::move(check.offsets);
    recordLength_ = check.recordLength;
    view_.clear();
    pos_ = 0;
    broken_.clear();
    return {};
  });
}

std::string DbfTable::OpenOrCreate(const std::filesystem::path& file, const std::vector<DbfField>& fields) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    if (auto err = Create(file, fields); !err.empty()) return err;
  }
  return Open(file, false);
}

std::string DbfTable::Flush() { return Commit(); }

// The pending record goes to the file, then the header with the record
// count; a write failure on the way leaves the header as it was.
std::string DbfTable::Commit() {
  if (!handle_) return "No table is open";
  if (readOnly_) return {};
  if (!broken_.empty()) return broken_;
  tlsLibraryMessage.clear();
  DBFUpdateHeader(handle_->h);
  const HookFile* hf = FileOf(handle_->h);
  if ((hf && hf->failed) || !tlsLibraryMessage.empty()) {
    const std::string cause =
        hf && hf->failed ? std::generic_category().message(hf->error) : std::string("disk full or not writable");
    tlsLibraryMessage.clear();  // the cause says it
    broken_ = "Cannot write the table " + path_.string() + ": " + cause + "; the last change was not saved";
    return broken_;
  }
  return {};
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> DbfTable::FileIdentity() const {
  const HookFile* hf = handle_ ? FileOf(handle_->h) : nullptr;
  struct stat st {};
  if (!hf || !hf->fp || ::fstat(::fileno(hf->fp), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

std::string DbfTable::CheckWritable() const {
  if (!handle_) return "No table is open";
  if (readOnly_) return "The table is open read-only: " + path_.string();
  if (!broken_.empty()) return broken_;
  return {};
}


void DbfTable::SetWriteFault(const DbfWriteFault& fault) {
  if (HookFile* hf = handle_ ? FileOf(handle_->h) : nullptr) {
    hf->fault = fault;
    hf->writes = 0;
  }
}

std::string DbfTable::Close() {
  if (!handle_) return {};
  std::string result = broken_;
  if (result.empty() && !readOnly_ && handle_->h->bUpdated) result = Commit();
  tlsLibraryMessage.clear();
  DBFClose(handle_->h);  // writes nothing more after a failure (see the hooks)
  delete handle_;
  handle_ = nullptr;
  fields_.clear();
  offsets_.clear();
  view_.clear();
  pos_ = 0;
  broken_.clear();
  if (result.empty() && !tlsLibraryMessage.empty())
    result = WithLibraryMessage("Cannot write the table " + path_.string());
  tlsLibraryMessage.clear();
  return result;
}

int DbfTable::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int DbfTable::RecordCount() const { return handle_ ? DBFGetRecordCount(handle_->h) : 0; }

std::string DbfTable::CheckRecord(int record) const {
  if (!handle_) return "No table is open";
  if (record < 0 || record >= RecordCount()) return "No such record: " + std::to_string(record);
  return {};
}

bool DbfTable::IsDeleted(int record) const {
  if (!CheckRecord(record).empty()) return false;
  const char* tuple = DBFReadTuple(handle_->h, record);
  return tuple && tuple[0] == '*';
}

std::string_view DbfTable::RawField(int record, int field) const {
  if (!handle_ || field < 0 || field >= static_cast<int>(fields_.size())) return {};
  if (record < 0 || record >= RecordCount()) return {};
  const char* tuple = DBFReadTuple(handle_->h, record);
  if (!tuple) return {};
  const auto i = static_cast<std::size_t>(field);
  return {tuple + offsets_[i], static_cast<std::size_t>(fields_[i].width)};
}

FieldValue DbfTable::Value(int record, int field) const {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return std::string();
  const auto& f = fields_[static_cast<std::size_t>(field)];
  const std::string_view raw = RawField(record, field);
  if (IsNumericType(f.type)) {
    const bool asInt = f.decimals == 0 && f.width <= 9;
    double v = 0;
    if (RawIsNull(f.type, raw) || !ParseNumber(raw, v)) {
      if (asInt) return std::int32_t{0};
      return 0.0;
    }
    if (asInt) {
      // A short field can still spell a huge number ("1e300"): kept as a double.
      const double r = std::nearbyint(v);
      if (r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max())
        return static_cast<std::int32_t>(r);
    }
    return v;
  }
  if (f.type == 'L') return RawLogical(raw) == 1;
  if (f.type == 'D') return std::string(TrimField(raw));
  return std::string(TrimRight(raw));
}

FieldValue DbfTable::Value(int record, std::string_view field) const { return Value(record, FieldIndex(field)); }

std::string DbfTable::Text(int record, std::string_view field) const {
  return ValueAsText(Value(record, field));
}

std::string DbfTable::Text(int record, int field) const { return ValueAsText(Value(record, field)); }

std::int32_t DbfTable::Integer(int record, std::string_view field, std::int32_t lo, std::int32_t hi) const {
  return Integer(record, FieldIndex(field), lo, hi);
}

std::int32_t DbfTable::Integer(int record, int field, std::int32_t lo, std::int32_t hi) const {
  const double v = std::nearbyint(Number(record, field));
  if (std::isnan(v)) return 0;
  return static_cast<std::int32_t>(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

double DbfTable::Number(int record, std::string_view field) const { return Number(record, FieldIndex(field)); }

double DbfTable::Number(int record, int field) const {
  const FieldValue v = Value(record, field);
  return std::visit(
      [](const auto& x) -> double {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          double d = 0;
          return ParseNumber(x, d) ? d : 0.0;
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? -1.0 : 0.0;
        } else {
          return static_cast<double>(x);
        }
      },
      v);
}

bool DbfTable::IsNull(int record, std::string_view field) const { return IsNull(record, FieldIndex(field)); }

bool DbfTable::IsNull(int record, int i) const {
  if (i < 0 || i >= static_cast<int>(fields_.size()) || !CheckRecord(record).empty()) return true;
  return RawIsNull(fields_[static_cast<std::size_t>(i)].type, RawField(record, i));
}

std::optional<std::vector<FieldValue>> DbfTable::Row(int record) const {
  if (!CheckRecord(record).empty()) return std::nullopt;
  return Guarded([&]() -> std::optional<std::vector<FieldValue>> {
    std::vector<FieldValue> row;
    row.reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) row.push_back(Value(record, static_cast<int>(i)));
    return row;
  }, [](const std::exception&) -> std::optional<std::vector<FieldValue>> { return std::nullopt; });
}

std::string DbfTable::EncodeValue(int field, const FieldValue& value, std::string& out) const {
  return EncodeField(fields_[static_cast<std::size_t>(field)], value, out);
}

std::string DbfTable::WriteRaw(int record, int field, const std::string& raw) {
  tlsLibraryMessage.clear();
  if (!DBFWriteAttributeDirectly(handle_->h, record, field, const_cast<char*>(raw.c_str())))
    return WithLibraryMessage("Cannot write the table " + path_.string());
  return {};
}

std::string DbfTable::Set(int record, std::string_view field, const FieldValue& value) {
  return Guarded("Cannot write the table", [&]() -> std::string {
    if (auto err = CheckRecord(record); !err.empty()) return err;
    if (auto err = CheckWritable(); !err.empty()) return err;
    const int i = FieldIndex(field);
    if (i < 0) return "No field " + std::string(field) + " in " + path_.string();
    std::string raw;
    if (auto err = EncodeValue(i, value, raw); !err.empty()) return err;
    if (auto err = WriteRaw(record, i, raw); !err.empty()) return err;
    return Commit();
  });
}

std::string DbfTable::AppendBlank(int* record) { return Append({}, record); }

std::string DbfTable::Append(const std::vector<std::pair<std::string, FieldValue>>& values, int* record) {
  return Guarded("Cannot add a record", [&]() -> std::string {
    if (auto err = CheckWritable(); !err.empty()) return err;
    // Everything is converted before the record is added, so a refused value
    // adds nothing.
    std::vector<std::string> raws(fields_.size());
    std::vector<bool> given(fields_.size(), false);
    for (const auto& [name, value] : values) {
      const int i = FieldIndex(name);
      if (i < 0) return "No field " + name + " in " + path_.string();
      if (auto err = EncodeValue(i, value, raws[static_cast<std::size_t>(i)]); !err.empty()) return err;
      given[static_cast<std::size_t>(i)] = true;
    }
    const int rec = RecordCount();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (!given[i]) raws[i].assign(static_cast<std::size_t>(fields_[i].width), ' ');
      if (auto err = WriteRaw(rec, static_cast<int>(i), raws[i]); !err.empty()) {
        broken_ = err;  // the library already counts the record
        return err;
      }
    }
    if (auto err = Commit(); !err.empty()) return err;
    if (record) *record = rec;
    return {};
  });
}

std::string DbfTable::Update(int record, const std::vector<std::pair<std::string, FieldValue>>& values) {
  return Guarded("Cannot write the table", [&]() -> std::string {
    if (auto err = CheckRecord(record); !err.empty()) return err;
    if (auto err = CheckWritable(); !err.empty()) return err;
    std::vector<std::pair<int, std::string>> raws;
    for (const auto& [name, value] : values) {
      const int i = FieldIndex(name);
      if (i < 0) return "No field " + name + " in " + path_.string();
      std::string raw;
      if (auto err = EncodeValue(i, value, raw); !err.empty()) return err;
      raws.emplace_back(i, std::move(raw));
    }
    // All fields land in the library's record buffer, which goes to the file
    // in one write at the commit.
    for (const auto& [i, raw] : raws)
      if (auto err = WriteRaw(record, i, raw); !err.empty()) {
        broken_ = err;
        return err;
      }
    return Commit();
  });
}

std::string DbfTable::Delete(int record) {
  if (auto err = CheckRecord(record); !err.empty()) return err;
  if (auto err = CheckWritable(); !err.empty()) return err;
  if (!DBFMarkRecordDeleted(handle_->h, record, 1)) return WithLibraryMessage("Cannot delete the record");
  return Commit();
}

}  // namespace zw::platform
