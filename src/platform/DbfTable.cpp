#include "platform/DbfTable.h"

#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

#include <shapefil.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>
#include <ctime>
#include <memory>
#include <new>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>
#include <type_traits>

namespace zw::platform {

struct DbfTable::Handle {
  DBFHandle h = nullptr;
};

namespace {

// shapelib reports through its hooks; its messages are kept for the failure
// text of the operation in progress on this thread, never printed.
thread_local std::string tlsLibraryMessage;

void QuietError(const char* message) { tlsLibraryMessage = message ? message : ""; }

// File access of the library goes through these hooks: every write is
// pushed to the operating system at once and checked, and after the first
// failed write nothing more is written to that file (so the header is never
// updated over a record that is not on disk). Tests inject faults here.
// A file opened only for reading is read through a window of its own: the
// library seeks before every record, and a seek of the C library costs a
// system call even inside its buffer.
struct HookFile {
  std::FILE* fp = nullptr;
  DbfWriteFault fault;
  long writes = 0;
  bool failed = false;
  int error = 0;  // errno of the first failed write
  bool readOnly = false;
  long pos = 0;                 // read position (read-only files)
  long winStart = 0;            // file offset of win[0]
  std::vector<char> win;        // bytes read ahead
};

thread_local DbfWriteFault tlsOpenFault;

// errno of the last failed write of this thread (0 when none since it was cleared).
thread_local int tlsWriteError = 0;

void MarkFailed(HookFile* f, int err) {
  if (!f->failed) f->error = err != 0 ? err : EIO;
  f->failed = true;
  tlsWriteError = f->error;
}

// ": <cause>" of the last failed write, "" when none.
std::string WriteCause() {
  return tlsWriteError != 0 ? ": " + std::generic_category().message(tlsWriteError) : std::string();
}

SAFile HookOpen(const char* name, const char* access) {
  std::FILE* fp = std::fopen(name, access);
  if (!fp) return nullptr;
  auto* f = new (std::nothrow) HookFile;
  if (!f) {
    std::fclose(fp);
    return nullptr;
  }
  f->fp = fp;
  f->fault = tlsOpenFault;
  f->readOnly = std::string_view(access) == "rb";
  return reinterpret_cast<SAFile>(f);
}

HookFile* AsHook(SAFile file) { return reinterpret_cast<HookFile*>(file); }

SAOffset HookRead(void* p, SAOffset size, SAOffset n, SAFile file) {
  HookFile* f = AsHook(file);
  if (!f->readOnly) return std::fread(p, size, n, f->fp);
  if (size == 0 || n == 0) return 0;
  const auto want = static_cast<std::size_t>(size * n);
  constexpr std::size_t kWindow = 1 << 16;
  auto* out = static_cast<char*>(p);
  std::size_t got = 0;
  while (got < want) {
    const long at = f->pos;
    if (at < f->winStart || at >= f->winStart + static_cast<long>(f->win.size())) {
      // Refill the window at the read position (or read a large block directly).
      if (std::fseek(f->fp, at, SEEK_SET) != 0) break;
      if (want - got >= kWindow) {
        const std::size_t r = std::fread(out + got, 1, want - got, f->fp);
        got += r;
        f->pos += static_cast<long>(r);
        f->win.clear();
        break;
      }
      f->win.resize(kWindow);
      f->win.resize(std::fread(f->win.data(), 1, kWindow, f->fp));
      f->winStart = at;
      if (f->win.empty()) break;
    }
    const auto off = static_cast<std::size_t>(at - f->winStart);
    const std::size_t take = std::min(want - got, f->win.size() - off);
    std::memcpy(out + got, f->win.data() + off, take);
    got += take;
    f->pos += static_cast<long>(take);
  }
  return static_cast<SAOffset>(got / size);
}

SAOffset HookWrite(void* p, SAOffset size, SAOffset n, SAFile file) {
  HookFile* f = AsHook(file);
  if (f->failed) return 0;
  ++f->writes;
  if (f->fault.failAtWrite > 0 && f->writes == f->fault.failAtWrite) {
    if (f->fault.partial && size * n > 1) {
      std::fwrite(p, 1, size * n / 2, f->fp);
      std::fflush(f->fp);
    }
    if (f->fault.exitProcess) _exit(86);
    MarkFailed(f, f->fault.error);
    errno = f->error;
    return 0;
  }
  errno = 0;
  const SAOffset written = std::fwrite(p, size, n, f->fp);
  if (written != n || std::fflush(f->fp) != 0) {
    MarkFailed(f, errno);
    return 0;
  }
  return written;
}

SAOffset HookSeek(SAFile file, SAOffset offset, int whence) {
  HookFile* f = AsHook(file);
  if (f->readOnly && (whence == SEEK_SET || whence == SEEK_CUR)) {
    const long to = static_cast<long>(offset) + (whence == SEEK_CUR ? f->pos : 0);
    if (to < 0) return static_cast<SAOffset>(-1);
    f->pos = to;
    return 0;
  }
  const int rc = std::fseek(f->fp, static_cast<long>(offset), whence);
  if (f->readOnly && rc == 0) f->pos = std::ftell(f->fp);
  return static_cast<SAOffset>(rc);
}

SAOffset HookTell(SAFile file) {
  HookFile* f = AsHook(file);
  return static_cast<SAOffset>(f->readOnly ? f->pos : std::ftell(f->fp));
}

int HookFlush(SAFile file) {
  HookFile* f = AsHook(file);
  errno = 0;
  if (std::fflush(f->fp) != 0) MarkFailed(f, errno);
  return f->failed ? EOF : 0;
}

int HookClose(SAFile file) {
  HookFile* f = AsHook(file);
  const int rc = std::fclose(f->fp);
  delete f;
  return rc;
}

int HookRemove(const char* name) { return std::remove(name); }

SAHooks QuietHooks() {
  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.FOpen = HookOpen;
  hooks.FRead = HookRead;
  hooks.FWrite = HookWrite;
  hooks.FSeek = HookSeek;
  hooks.FTell = HookTell;
  hooks.FFlush = HookFlush;
  hooks.FClose = HookClose;
  hooks.Remove = HookRemove;
  hooks.Error = QuietError;
  return hooks;
}

HookFile* FileOf(DBFHandle h) { return h ? AsHook(h->fp) : nullptr; }

std::string WithLibraryMessage(std::string text) {
  if (!tlsLibraryMessage.empty()) {
    text += ": " + tlsLibraryMessage;
    tlsLibraryMessage.clear();
  }
  return text;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

std::string_view TrimField(std::string_view s) {
  s = TrimRight(s);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool IsNumericType(char t) { return t == 'N' || t == 'F'; }

// Strict number text: optional sign, digits, '.', exponent; the whole text.
bool ParseNumber(std::string_view text, double& out) {
  text = TrimField(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool RawIsNull(char type, std::string_view raw) {
  std::string_view t = TrimField(raw);
  if (t.empty()) return true;
  if (IsNumericType(type)) return t.find_first_not_of('*') == std::string_view::npos;
  if (type == 'L') return t == "?";
  if (type == 'D') return t == "00000000";
  return false;
}

// -1 empty, 0 false, 1 true.
int RawLogical(std::string_view raw) {
  std::string_view t = TrimField(raw);
  if (t.empty()) return -1;
  switch (t.front()) {
    case 'T': case 't': case 'Y': case 'y': return 1;
    case 'F': case 'f': case 'N': case 'n': return 0;
    default: return -1;
  }
}

std::string NumberText(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string ValueAsText(const FieldValue& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return x;
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return std::to_string(x);
        } else {
          return NumberText(static_cast<double>(x));
        }
      },
      v);
}

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > 10) return false;
  if (!std::isalpha(static_cast<unsigned char>(name.front()))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
unsigned Le16(const unsigned char* p) { return p[0] | (static_cast<unsigned>(p[1]) << 8); }

struct HeaderCheck {
  std::string error;
  std::vector<DbfField> fields;
  std::vector<int> offsets;
  int recordLength = 0;
};

// Reads the file header and field descriptors and checks that the records the
// header promises are all in the file, so that nothing is read past the end.
HeaderCheck CheckHeader(const std::filesystem::path& file) {
  HeaderCheck out;
  const std::string name = file.string();
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) {
    out.error = "Cannot read the table " + name + ": " + ec.message();
    return out;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    out.error = "Cannot open the table " + name;
    return out;
  }
  if (size < 33) {
    out.error = "Not a dBase table (file too short): " + name;
    return out;
  }
  unsigned char hdr[32];
  if (!in.read(reinterpret_cast<char*>(hdr), 32)) {
    out.error = "Cannot read the header of " + name;
    return out;
  }
  const std::uint64_t records = Le32(hdr + 4);
  const unsigned headerLength = Le16(hdr + 8);
  const unsigned recordLength = Le16(hdr + 10);
  if (headerLength < 33 || headerLength > size || recordLength < 2) {
    out.error = "Not a dBase table (bad header): " + name;
    return out;
  }
  std::vector<unsigned char> desc(headerLength - 32);
  if (!in.read(reinterpret_cast<char*>(desc.data()), static_cast<std::streamsize>(desc.size()))) {
    out.error = "Cannot read the header of " + name;
    return out;
  }
  int offset = 1;  // the deletion flag comes first
  for (std::size_t p = 0; p + 32 <= desc.size() && desc[p] != 0x0D; p += 32) {
    const unsigned char* d = desc.data() + p;
    DbfField f;
    const char* nameBytes = reinterpret_cast<const char*>(d);
    f.name.assign(nameBytes, strnlen(nameBytes, 11));
    f.type = static_cast<char>(d[11]);
    if (f.type == 'C') {
      f.width = d[16] + 256 * d[17];
      f.decimals = 0;
    } else {
      f.width = d[16];
      f.decimals = d[17];
    }
    if (f.width < 1 || f.name.empty()) {
      out.error = "Not a dBase table (bad field " + std::to_string(out.fields.size() + 1) + "): " + name;
      return out;
    }
    out.offsets.push_back(offset);
    offset += f.width;
    out.fields.push_back(std::move(f));
  }
  if (out.fields.empty()) {
    out.error = "Not a dBase table (no fields): " + name;
    return out;
  }
  if (static_cast<unsigned>(offset) > recordLength) {
    out.error = "Not a dBase table (fields longer than the record): " + name;
    return out;
  }
  if (records > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ||
      headerLength + records * recordLength > size) {
    out.error = "The table is truncated: " + name + " (the header promises " + std::to_string(records) +
                " records, the file holds " +
                std::to_string((size - headerLength) / recordLength) + ")";
    return out;
  }
  out.recordLength = static_cast<int>(recordLength);
  return out;
}

bool DbfExtension(const std::filesystem::path& file) {
  const auto ext = file.extension().string();
  return ext == ".dbf" || ext == ".DBF";
}

void StampToday(DBFHandle h) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (localtime_r(&now, &tm)) DBFSetLastModifiedDate(h, tm.tm_year, tm.tm_mon + 1, tm.tm_mday);
}

std::string TempName(const std::filesystem::path& dir) { return StagingPath(dir / "dbf.dbf").string(); }

}  // namespace

std::string ValidateDbfLayout(const std::vector<DbfField>& fields) {
  if (fields.empty()) return "A table needs at least one field";
  if (fields.size() > 255) return "A table holds at most 255 fields";
  int length = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto& f = fields[i];
    if (!ValidName(f.name)) return "Invalid field name: \"" + f.name + "\"";
    for (std::size_t j = 0; j < i; ++j)
      if (EqualsNoCase(fields[j].name, f.name)) return "Duplicate field name: " + f.name;
    const std::string where = " for field " + f.name;
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > 254) return "Invalid width" + where;
        if (f.decimals != 0) return "Invalid decimals" + where;
        break;
      case 'N':
      case 'F':
        if (f.width < 1 || f.width > 20) return "Invalid width" + where;
        if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2) || f.decimals > 15)
          return "Invalid decimals" + where;
        break;
      case 'L':
        if (f.width != 1 || f.decimals != 0) return "Invalid width" + where;
        break;
      case 'D':
        if (f.width != 8 || f.decimals != 0) return "Invalid width" + where;
        break;
      default:
        return std::string("Invalid field type '") + f.type + "'" + where;
    }
    length += f.width;
  }
  if (length > 65535) return "The record is too long";
  return {};
}

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
  try {
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
  } catch (const std::exception& e) {
    return "Cannot create the table " + file.string() + ": " + e.what();
  }
}

std::string DbfTable::Open(const std::filesystem::path& file, bool readOnly) {
  Close();
  try {
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
  } catch (const std::exception& e) {
    return "Cannot open the table " + file.string() + ": " + e.what();
  }
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

void SetDbfWriteFaultForNewFiles(const DbfWriteFault& fault) { tlsOpenFault = fault; }

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
  try {
    std::vector<FieldValue> row;
    row.reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) row.push_back(Value(record, static_cast<int>(i)));
    return row;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string DbfTable::EncodeValue(int field, const FieldValue& value, std::string& out) const {
  const auto& f = fields_[static_cast<std::size_t>(field)];
  const auto width = static_cast<std::size_t>(f.width);
  const std::string where = " for field " + f.name;
  out.clear();
  if (f.type == 'C') {
    out = ValueAsText(value);
    if (out.size() > width) out.resize(width);
    out.resize(width, ' ');
    return {};
  }
  if (IsNumericType(f.type)) {
    double v = 0;
    if (const auto* s = std::get_if<std::string>(&value)) {
      if (TrimField(*s).empty()) {
        out.assign(width, ' ');
        return {};
      }
      if (!ParseNumber(*s, v)) return "Not a number" + where + ": \"" + *s + "\"";
    } else if (const auto* b = std::get_if<bool>(&value)) {
      v = *b ? -1.0 : 0.0;
    } else {
      v = std::visit(
          [](const auto& x) -> double {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
              return 0.0;
            } else {
              return static_cast<double>(x);
            }
          },
          value);
    }
    if (!std::isfinite(v)) return "Not a finite number" + where;
    if (std::fabs(v) >= 1e20) return "The value does not fit" + where;
    if (f.decimals == 0) v = std::round(v);  // halves away from zero
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", f.decimals, v);
    if (n <= 0 || n >= static_cast<int>(sizeof buf)) return "The value does not fit" + where;
    std::string text(buf, static_cast<std::size_t>(n));
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    if (text.size() > width)
      return "The value " + text + " does not fit" + where + " (width " + std::to_string(f.width) + ")";
    out.assign(width - text.size(), ' ');
    out += text;
    return {};
  }
  if (f.type == 'L') {
    int flag = -1;
    if (const auto* b = std::get_if<bool>(&value)) {
      flag = *b ? 1 : 0;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
      std::string t(TrimField(*s));
      for (auto& c : t) c = Upper(c);
      double d = 0;
      if (t.empty()) {
        flag = -1;
      } else if (t == "T" || t == "TRUE" || t == "Y" || t == "YES" || t == ".T.") {
        flag = 1;
      } else if (t == "F" || t == "FALSE" || t == "N" || t == "NO" || t == ".F.") {
        flag = 0;
      } else if (ParseNumber(t, d)) {
        flag = d != 0 ? 1 : 0;
      } else {
        return "Not a logical value" + where + ": \"" + *s + "\"";
      }
    } else {
      flag = ValueAsText(value) != "0" ? 1 : 0;
    }
    out = flag < 0 ? " " : (flag ? "T" : "F");
    out.resize(width, ' ');
    return {};
  }
  if (f.type == 'D') {
    const auto* s = std::get_if<std::string>(&value);
    if (!s) return "A date is written as YYYYMMDD" + where;
    std::string t;
    for (char c : TrimField(*s))
      if (c != '-') t += c;
    const bool digits = std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!t.empty() && (t.size() != 8 || !digits)) return "Not a date (YYYYMMDD)" + where + ": \"" + *s + "\"";
    out = t;
    out.resize(width, ' ');
    return {};
  }
  return std::string("Fields of type '") + f.type + "' cannot be written" + where;
}

std::string DbfTable::WriteRaw(int record, int field, const std::string& raw) {
  tlsLibraryMessage.clear();
  if (!DBFWriteAttributeDirectly(handle_->h, record, field, const_cast<char*>(raw.c_str())))
    return WithLibraryMessage("Cannot write the table " + path_.string());
  return {};
}

std::string DbfTable::Set(int record, std::string_view field, const FieldValue& value) {
  try {
    if (auto err = CheckRecord(record); !err.empty()) return err;
    if (auto err = CheckWritable(); !err.empty()) return err;
    const int i = FieldIndex(field);
    if (i < 0) return "No field " + std::string(field) + " in " + path_.string();
    std::string raw;
    if (auto err = EncodeValue(i, value, raw); !err.empty()) return err;
    if (auto err = WriteRaw(record, i, raw); !err.empty()) return err;
    return Commit();
  } catch (const std::exception& e) {
    return std::string("Cannot write the table: ") + e.what();
  }
}

std::string DbfTable::SetNull(int record, std::string_view field) {
  if (auto err = CheckRecord(record); !err.empty()) return err;
  if (auto err = CheckWritable(); !err.empty()) return err;
  const int i = FieldIndex(field);
  if (i < 0) return "No field " + std::string(field) + " in " + path_.string();
  if (auto err = WriteRaw(record, i, std::string(static_cast<std::size_t>(fields_[static_cast<std::size_t>(i)].width), ' '));
      !err.empty())
    return err;
  return Commit();
}

std::string DbfTable::AppendBlank(int* record) { return Append({}, record); }

std::string DbfTable::Append(const std::vector<std::pair<std::string, FieldValue>>& values, int* record) {
  try {
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
  } catch (const std::exception& e) {
    return std::string("Cannot add a record: ") + e.what();
  }
}

std::string DbfTable::Update(int record, const std::vector<std::pair<std::string, FieldValue>>& values) {
  try {
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
  } catch (const std::exception& e) {
    return std::string("Cannot write the table: ") + e.what();
  }
}

std::string DbfTable::Delete(int record) {
  if (auto err = CheckRecord(record); !err.empty()) return err;
  if (auto err = CheckWritable(); !err.empty()) return err;
  if (!DBFMarkRecordDeleted(handle_->h, record, 1)) return WithLibraryMessage("Cannot delete the record");
  return Commit();
}

std::string DbfTable::Undelete(int record) {
  if (auto err = CheckRecord(record); !err.empty()) return err;
  if (auto err = CheckWritable(); !err.empty()) return err;
  if (!DBFMarkRecordDeleted(handle_->h, record, 0)) return WithLibraryMessage("Cannot restore the record");
  return Commit();
}

std::vector<int> DbfTable::AllRecords() const {
  std::vector<int> out;
  try {
    const int n = RecordCount();
    out.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
      if (!IsDeleted(r)) out.push_back(r);
  } catch (const std::exception&) {
    out.clear();
  }
  return out;
}

std::vector<int> DbfTable::Find(std::string_view field, const FieldValue& value, bool ignoreCase) const {
  std::vector<int> out;
  try {
    const int i = FieldIndex(field);
    if (i < 0) return out;
    const char type = fields_[static_cast<std::size_t>(i)].type;
    std::string target;
    if (type == 'C' || type == 'L' || type == 'D' || IsNumericType(type)) {
      if (!EncodeValue(i, value, target).empty()) return out;  // cannot be stored, so never found
    } else {
      target = ValueAsText(value);
    }
    const bool targetNull = RawIsNull(type, target);
    double targetNumber = 0;
    if (IsNumericType(type) && !targetNull) ParseNumber(target, targetNumber);
    const std::string_view t = TrimRight(target);
    const int n = RecordCount();
    for (int r = 0; r < n; ++r) {
      if (IsDeleted(r)) continue;
      const std::string_view raw = RawField(r, i);
      bool match = false;
      if (RawIsNull(type, raw) || targetNull) {
        match = RawIsNull(type, raw) && targetNull;
      } else if (IsNumericType(type)) {
        double v = 0;
        match = ParseNumber(raw, v) && v == targetNumber;
      } else if (type == 'L') {
        match = RawLogical(raw) == RawLogical(target);
      } else {
        const std::string_view s = TrimRight(raw);
        match = ignoreCase ? EqualsNoCase(s, t) : s == t;
      }
      if (match) out.push_back(r);
    }
  } catch (const std::exception&) {
    out.clear();
  }
  return out;
}

int DbfTable::FindFirst(std::string_view field, const FieldValue& value, bool ignoreCase) const {
  const auto all = Find(field, value, ignoreCase);
  return all.empty() ? -1 : all.front();
}

std::vector<int> DbfTable::Sorted(const std::vector<DbfSortKey>& keys, const std::vector<int>* records,
                                  std::string* error) const {
  std::vector<int> order;
  try {
    order = records ? *records : AllRecords();
    struct Key {
      int field;
      bool numeric;
      bool descending;
    };
    std::vector<Key> ks;
    for (const auto& k : keys) {
      const int i = FieldIndex(k.field);
      if (i < 0) {
        if (error) *error = "No field " + k.field + " to sort by in " + path_.string();
        return order;
      }
      ks.push_back({i, IsNumericType(fields_[static_cast<std::size_t>(i)].type), k.descending});
    }
    if (ks.empty()) return order;
    // One row of sort values per record, read once.
    struct Cell {
      bool null = true;
      double number = 0;
      std::string text;
    };
    std::vector<std::vector<Cell>> cells(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
      cells[r].resize(ks.size());
      for (std::size_t k = 0; k < ks.size(); ++k) {
        const std::string_view raw = RawField(order[r], ks[k].field);
        Cell& c = cells[r][k];
        if (ks[k].numeric) {
          c.null = RawIsNull('N', raw) || !ParseNumber(raw, c.number);
        } else {
          c.null = false;
          c.text = std::string(TrimRight(raw));
        }
      }
    }
    std::vector<std::size_t> idx(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::stable_sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) {
      for (std::size_t k = 0; k < ks.size(); ++k) {
        const Cell& x = cells[a][k];
        const Cell& y = cells[b][k];
        int cmp = 0;
        if (ks[k].numeric) {
          if (x.null != y.null) cmp = x.null ? -1 : 1;
          else if (!x.null) cmp = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
        } else {
          const int c = x.text.compare(y.text);
          cmp = c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (ks[k].descending) cmp = -cmp;
        if (cmp != 0) return cmp < 0;
      }
      return false;
    });
    std::vector<int> sorted(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i) sorted[i] = order[idx[i]];
    return sorted;
  } catch (const std::exception& e) {
    if (error) *error = std::string("Cannot sort the table: ") + e.what();
    return order;
  }
}

std::string DbfTable::AppendRecordsOf(const DbfTable& source, const std::vector<std::pair<int, std::string>>& shared,
                                      int* copied) {
  int n = 0;
  for (int r : source.AllRecords()) {
    std::vector<std::pair<std::string, FieldValue>> values;
    for (const auto& [i, name] : shared) {
      const auto& f = source.fields_[static_cast<std::size_t>(i)];
      if (RawIsNull(f.type, source.RawField(r, i))) continue;
      values.emplace_back(name, source.Value(r, i));
    }
    if (auto err = Append(values); !err.empty())
      return err + " (record " + std::to_string(r + 1) + " of " + source.path_.string() + ")";
    if (copied) *copied = ++n;
  }
  return {};
}

std::string DbfTable::CopyRowsFrom(const DbfTable& source, int* copied) {
  if (copied) *copied = 0;
  try {
    if (!handle_ || !source.IsOpen()) return "No table is open";
    if (readOnly_) return "The table is open read-only: " + path_.string();
    std::vector<std::pair<int, std::string>> shared;  // source field, name here
    for (std::size_t i = 0; i < source.fields_.size(); ++i)
      if (HasField(source.fields_[i].name)) shared.emplace_back(static_cast<int>(i), source.fields_[i].name);
    return AppendRecordsOf(source, shared, copied);
  } catch (const std::exception& e) {
    return std::string("Cannot copy the records: ") + e.what();
  }
}

std::string DbfTable::Select(const Filter& where, const std::vector<DbfSortKey>& order) {
  view_.clear();
  pos_ = 0;
  if (!handle_) return "No table is open";
  try {
    std::vector<int> rows;
    for (int r : AllRecords())
      if (!where || where(*this, r)) rows.push_back(r);
    std::string error;
    view_ = Sorted(order, &rows, &error);
    return error;
  } catch (const std::exception& e) {
    view_.clear();
    return std::string("Cannot select the records: ") + e.what();
  }
}

bool DbfTable::MoveTo(int position) {
  if (position < 0 || position > static_cast<int>(view_.size())) return false;
  pos_ = position;
  return true;
}

std::string DbfTable::AddNew() { return AddNew({}); }

std::string DbfTable::UpdateCurrent(const std::vector<std::pair<std::string, FieldValue>>& values) {
  if (Eof()) return "No current record";
  return Update(Current(), values);
}

std::string DbfTable::CopyFieldsFrom(const DbfTable& source, const std::vector<std::string>& fieldNames,
                                     int* copied) {
  if (copied) *copied = 0;
  try {
    if (!handle_ || !source.IsOpen()) return "No table is open";
    if (auto err = CheckWritable(); !err.empty()) return err;
    std::vector<std::pair<int, std::string>> shared;
    for (const auto& name : fieldNames) {
      const int i = source.FieldIndex(name);
      if (i < 0) return "No field " + name + " in " + source.path_.string();
      if (!HasField(name)) return "No field " + name + " in " + path_.string();
      shared.emplace_back(i, name);
    }
    return AppendRecordsOf(source, shared, copied);
  } catch (const std::exception& e) {
    return std::string("Cannot copy the records: ") + e.what();
  }
}

std::string DbfTable::AddNew(const std::vector<std::pair<std::string, FieldValue>>& values) {
  int rec = -1;
  if (auto err = Append(values, &rec); !err.empty()) return err;
  try {
    view_.push_back(rec);
  } catch (const std::exception& e) {
    return std::string("Cannot add a record: ") + e.what();
  }
  pos_ = static_cast<int>(view_.size()) - 1;
  return {};
}

// ---- Field-definition table.

int VbTypeCode(std::string_view typeName) {
  std::string t(TrimField(typeName));
  if (t.empty()) return -1;
  for (auto& c : t) c = Upper(c);
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
  const char fox = foxType.empty() ? '\0' : Upper(foxType.front());
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
  try {
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
  } catch (const std::exception& e) {
    if (error) *error = std::string("Cannot read the field-definition table: ") + e.what();
    return std::nullopt;
  }
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


// ---- Statements over a directory of tables.

namespace {

struct Token {
  enum Kind { kEnd, kWord, kText, kNumber, kSymbol } kind = kEnd;
  std::string text;
  bool bracketed = false;
};

std::string Tokenize(std::string_view sql, std::vector<Token>& out) {
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';') {
      ++i;
    } else if (c == '[') {
      const auto end = sql.find(']', i);
      if (end == std::string_view::npos) return "Unclosed [ in: " + std::string(sql);
      out.push_back({Token::kWord, std::string(sql.substr(i + 1, end - i - 1)), true});
      i = end + 1;
    } else if (c == '\'' || c == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < sql.size()) {
        if (sql[i] == c) {
          if (i + 1 < sql.size() && sql[i + 1] == c) {
            text += c;
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        text += sql[i++];
      }
      if (!closed) return "Unclosed quote in: " + std::string(sql);
      out.push_back({Token::kText, text});
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               ((c == '-' || c == '.') && i + 1 < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '.'))) {
      std::size_t j = i + 1;
      while (j < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[j])) || sql[j] == '.' || sql[j] == 'e' ||
                                sql[j] == 'E' || ((sql[j] == '-' || sql[j] == '+') && (sql[j - 1] == 'e' || sql[j - 1] == 'E'))))
        ++j;
      out.push_back({Token::kNumber, std::string(sql.substr(i, j - i))});
      i = j;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t j = i + 1;
      while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' || sql[j] == '.')) ++j;
      out.push_back({Token::kWord, std::string(sql.substr(i, j - i))});
      i = j;
    } else if ((c == '<' || c == '>' || c == '!') && i + 1 < sql.size() && (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) {
      out.push_back({Token::kSymbol, std::string(sql.substr(i, 2))});
      i += 2;
    } else if (c == '=' || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' || c == '*') {
      out.push_back({Token::kSymbol, std::string(1, c)});
      ++i;
    } else {
      return std::string("Unexpected character '") + c + "' in: " + std::string(sql);
    }
  }
  out.push_back({});
  return {};
}

struct Condition {
  enum Kind { kCompare, kAnd, kOr, kNot } kind = kCompare;
  std::string field;
  std::string op;
  bool literalIsText = false;
  std::string text;
  double number = 0;
  std::shared_ptr<Condition> a, b;
};

struct Statement {
  bool insert = false;
  std::string table;        // SELECT: the table read; INSERT: the source
  std::string target;       // INSERT: the table written
  std::vector<std::string> fields;  // INSERT: the fields copied
  std::shared_ptr<Condition> where;
  std::vector<DbfSortKey> order;
};

class Parser {
 public:
  Parser(std::vector<Token> t, std::string_view sql) : t_(std::move(t)), sql_(sql) {}

  std::string Parse(Statement& st) {
    if (Keyword("INSERT")) {
      st.insert = true;
      if (!Keyword("INTO")) return Fail("INTO expected");
      if (!Name(st.target)) return Fail("table name expected");
      if (!Keyword("SELECT")) return Fail("SELECT expected");
      do {
        std::string f;
        if (!Name(f)) return Fail("field name expected");
        st.fields.push_back(f);
      } while (Symbol(","));
    } else {
      if (!Keyword("SELECT")) return Fail("SELECT expected");
      if (!Symbol("*")) return Fail("only SELECT * is supported");
    }
    if (!Keyword("FROM")) return Fail("FROM expected");
    if (!Name(st.table)) return Fail("table name expected");
    if (Keyword("WHERE")) {
      std::string err;
      st.where = Or(err);
      if (!err.empty()) return err;
    }
    if (Keyword("ORDER")) {
      if (!Keyword("BY")) return Fail("BY expected");
      do {
        DbfSortKey k;
        if (!Name(k.field)) return Fail("field name expected");
        if (Keyword("DESC")) k.descending = true;
        else Keyword("ASC");
        st.order.push_back(k);
      } while (Symbol(","));
    }
    if (t_[p_].kind != Token::kEnd) return Fail("unexpected \"" + t_[p_].text + "\"");
    return {};
  }

 private:
  std::string Fail(const std::string& what) const {
    return "Cannot read the statement (" + what + "): " + std::string(sql_);
  }
  bool Keyword(const char* k) {
    if (t_[p_].kind == Token::kWord && !t_[p_].bracketed && EqualsNoCase(t_[p_].text, k)) {
      ++p_;
      return true;
    }
    return false;
  }
  bool Symbol(const char* s) {
    if (t_[p_].kind == Token::kSymbol && t_[p_].text == s) {
      ++p_;
      return true;
    }
    return false;
  }
  bool Name(std::string& out) {
    if (t_[p_].kind != Token::kWord) return false;
    static constexpr const char* kReserved[] = {"SELECT", "FROM", "WHERE", "ORDER", "BY", "AND", "OR", "NOT", "ASC", "DESC", "INTO"};
    if (!t_[p_].bracketed)
      for (const char* r : kReserved)
        if (EqualsNoCase(t_[p_].text, r)) return false;
    out = t_[p_++].text;
    return true;
  }
  std::shared_ptr<Condition> Or(std::string& err) {
    auto left = And(err);
    while (err.empty() && Keyword("OR")) {
      auto c = std::make_shared<Condition>();
      c->kind = Condition::kOr;
      c->a = left;
      c->b = And(err);
      left = c;
    }
    return left;
  }
  std::shared_ptr<Condition> And(std::string& err) {
    auto left = Factor(err);
    while (err.empty() && Keyword("AND")) {
      auto c = std::make_shared<Condition>();
      c->kind = Condition::kAnd;
      c->a = left;
      c->b = Factor(err);
      left = c;
    }
    return left;
  }
  std::shared_ptr<Condition> Factor(std::string& err) {
    if (Keyword("NOT")) {
      auto c = std::make_shared<Condition>();
      c->kind = Condition::kNot;
      c->a = Factor(err);
      return c;
    }
    if (Symbol("(")) {
      auto c = Or(err);
      if (err.empty() && !Symbol(")")) err = Fail(") expected");
      return c;
    }
    auto c = std::make_shared<Condition>();
    bool fieldFirst = true;
    if (!Name(c->field)) {
      if (!Literal(*c)) {
        err = Fail("comparison expected");
        return c;
      }
      fieldFirst = false;
    }
    static constexpr const char* kOps[] = {"<=", ">=", "<>", "!=", "=", "<", ">"};
    for (const char* op : kOps)
      if (Symbol(op)) {
        c->op = op;
        break;
      }
    if (c->op.empty()) {
      err = Fail("comparison operator expected");
      return c;
    }
    if (c->op == "!=") c->op = "<>";
    if (fieldFirst ? !Literal(*c) : !Name(c->field)) {
      err = Fail(fieldFirst ? "value expected" : "field name expected");
      return c;
    }
    if (!fieldFirst) {  // 5 < X is X > 5
      if (c->op == "<") c->op = ">";
      else if (c->op == ">") c->op = "<";
      else if (c->op == "<=") c->op = ">=";
      else if (c->op == ">=") c->op = "<=";
    }
    return c;
  }
  bool Literal(Condition& c) {
    const Token& t = t_[p_];
    if (t.kind == Token::kText) {
      c.literalIsText = true;
      c.text = t.text;
    } else if (t.kind == Token::kNumber) {
      if (!ParseNumber(t.text, c.number)) return false;
      c.text = t.text;
    } else if (t.kind == Token::kWord && !t.bracketed && (EqualsNoCase(t.text, "TRUE") || EqualsNoCase(t.text, "FALSE"))) {
      c.number = EqualsNoCase(t.text, "TRUE") ? 1 : 0;
      c.text = c.number != 0 ? "T" : "F";
    } else {
      return false;
    }
    ++p_;
    return true;
  }

  std::vector<Token> t_;
  std::string_view sql_;
  std::size_t p_ = 0;
};

std::string ParseStatement(std::string_view sql, Statement& st) {
  std::vector<Token> tokens;
  if (auto err = Tokenize(sql, tokens); !err.empty()) return err;
  return Parser(std::move(tokens), sql).Parse(st);
}

std::string CheckFields(const Condition* c, const DbfTable& t) {
  if (!c) return {};
  if (c->kind == Condition::kCompare)
    return t.HasField(c->field) ? std::string() : "No field " + c->field + " in " + t.Path().string();
  if (auto err = CheckFields(c->a.get(), t); !err.empty()) return err;
  return CheckFields(c->b.get(), t);
}

bool Compare(int cmp, const std::string& op) {
  if (op == "=") return cmp == 0;
  if (op == "<>") return cmp != 0;
  if (op == "<") return cmp < 0;
  if (op == ">") return cmp > 0;
  if (op == "<=") return cmp <= 0;
  return cmp >= 0;
}

std::string UpperText(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = Upper(c);
  return out;
}

bool Evaluate(const Condition& c, const DbfTable& t, int record) {
  switch (c.kind) {
    case Condition::kAnd: return Evaluate(*c.a, t, record) && Evaluate(*c.b, t, record);
    case Condition::kOr: return Evaluate(*c.a, t, record) || Evaluate(*c.b, t, record);
    case Condition::kNot: return !Evaluate(*c.a, t, record);
    case Condition::kCompare: break;
  }
  const int i = t.FieldIndex(c.field);
  if (i < 0) return false;
  const char type = t.Fields()[static_cast<std::size_t>(i)].type;
  if (IsNumericType(type) || type == 'L') {
    if (t.IsNull(record, c.field)) return false;
    double literal = c.number;
    if (c.literalIsText && !ParseNumber(c.text, literal)) return false;
    const double v = type == 'L' ? (t.Number(record, c.field) != 0 ? 1.0 : 0.0) : t.Number(record, c.field);
    return Compare(v < literal ? -1 : (v > literal ? 1 : 0), c.op);
  }
  const std::string v = UpperText(TrimField(t.Text(record, c.field)));
  const std::string lit = UpperText(TrimField(c.text));
  const int cmp = v.compare(lit);
  return Compare(cmp < 0 ? -1 : (cmp > 0 ? 1 : 0), c.op);
}

}  // namespace

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

bool DbfDatabase::TableExists(std::string_view table) const {
  std::error_code ec;
  return IsOpen() && std::filesystem::is_regular_file(TablePath(table), ec);
}

std::string DbfDatabase::OpenRecordset(std::string_view sql, DbfTable& recordset, bool readOnly) const {
  recordset.Close();
  if (!IsOpen()) return "No database is open";
  try {
    Statement st;
    if (auto err = ParseStatement(sql, st); !err.empty()) return err;
    if (st.insert) return "Not a SELECT statement: " + std::string(sql);
    if (auto err = recordset.Open(TablePath(st.table), readOnly); !err.empty()) return err;
    if (auto err = CheckFields(st.where.get(), recordset); !err.empty()) {
      recordset.Close();
      return err;
    }
    DbfTable::Filter filter;
    if (st.where) {
      auto cond = st.where;
      filter = [cond](const DbfTable& t, int r) { return Evaluate(*cond, t, r); };
    }
    if (auto err = recordset.Select(filter, st.order); !err.empty()) {
      recordset.Close();
      return err;
    }
    return {};
  } catch (const std::exception& e) {
    recordset.Close();
    return std::string("Cannot run the statement: ") + e.what();
  }
}

std::string DbfDatabase::Execute(std::string_view sql, int* rows) const {
  if (rows) *rows = 0;
  if (!IsOpen()) return "No database is open";
  try {
    Statement st;
    if (auto err = ParseStatement(sql, st); !err.empty()) return err;
    if (!st.insert) return "Not an INSERT statement: " + std::string(sql);
    DbfTable source;
    if (auto err = source.Open(TablePath(st.table), true); !err.empty()) return err;
    if (auto err = CheckFields(st.where.get(), source); !err.empty()) return err;
    if (st.where) {
      auto cond = st.where;
      if (auto err = source.Select([cond](const DbfTable& t, int r) { return Evaluate(*cond, t, r); }); !err.empty())
        return err;
    }
    DbfTable target;
    if (auto err = target.Open(TablePath(st.target)); !err.empty()) return err;
    if (st.where) {
      // Only the selected rows: copy through a filtered pass.
      for (const auto& f : st.fields)
        if (!source.HasField(f) || !target.HasField(f)) return "No field " + f + " in both tables";
      int n = 0;
      for (int r : source.View()) {
        std::vector<std::pair<std::string, FieldValue>> values;
        for (const auto& f : st.fields)
          if (!source.IsNull(r, f)) values.emplace_back(f, source.Value(r, f));
        if (auto err = target.Append(values); !err.empty()) return err;
        if (rows) *rows = ++n;
      }
      return target.Close();
    }
    if (auto err = target.CopyFieldsFrom(source, st.fields, rows); !err.empty()) return err;
    return target.Close();
  } catch (const std::exception& e) {
    return std::string("Cannot run the statement: ") + e.what();
  }
}

std::string DbfDatabase::CreateTable(std::string_view table, const std::vector<DbfField>& fields, bool replace) const {
  if (!IsOpen()) return "No database is open";
  return DbfTable::Create(TablePath(table), fields, replace);
}

// ---- Upkeep.

namespace {

std::string TimeText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (!localtime_r(&now, &tm)) return "00000000";
  char buf[32];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

}  // namespace

std::string EnsureDbfTable(const std::filesystem::path& file, const std::vector<DbfField>& required, bool create,
                           bool repair, const std::vector<DataSumField>* headerRows, DbfUpkeep* result) {
  DbfUpkeep local;
  DbfUpkeep& out = result ? *result : local;
  out = {};
  try {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      if (!create) return "Table not found: " + file.string();
      if (auto err = ValidateDbfLayout(required); !err.empty()) return err + " (" + file.string() + ")";
      // Built and corrected under a temporary name, then put in place.
      const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
      const auto temp = std::filesystem::path(TempName(dir));
      if (auto err = DbfTable::Create(temp, required); !err.empty()) return err;
      if (headerRows) {
        if (auto err = CorrectDbfHeader(temp, *headerRows); !err.empty()) {
          std::filesystem::remove(temp, ec);
          return err;
        }
      }
      std::filesystem::rename(temp, file, ec);
      if (ec) {
        std::filesystem::remove(temp, ec);
        return "Cannot write the table " + file.string() + ": " + ec.message();
      }
      out.created = true;
      return {};
    }
    DbfTable old;
    if (auto err = old.Open(file, true); !err.empty()) return err;
    for (const auto& f : required)
      if (!old.HasField(f.name)) out.missing.push_back(f.name);
    if (out.missing.empty()) return old.Close();
    std::string names;
    for (const auto& m : out.missing) names += (names.empty() ? "" : ", ") + m;
    if (!repair) return "The table " + file.string() + " lacks the field(s) " + names;
    // Held open for update (and so locked) until the repair is done.
    if (auto err = old.Open(file, false); !err.empty()) return err;

    // The new layout: the required fields, then the old table's other fields.
    std::vector<DbfField> layout = required;
    std::vector<std::string> shared;
    for (const auto& f : old.Fields()) {
      bool known = false;
      for (const auto& r : required)
        if (EqualsNoCase(r.name, f.name)) known = true;
      if (!known) layout.push_back(f);
      shared.push_back(f.name);
    }
    if (auto err = ValidateDbfLayout(layout); !err.empty()) return err + " (" + file.string() + ")";
    const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const auto temp = dir / (TimeText("%S%M%H%y") + ".DBF");
    if (std::filesystem::exists(temp, ec)) return "A temporary table is in the way: " + temp.string();
    auto cleanup = [&] { std::filesystem::remove(temp, ec); };
    if (auto err = DbfTable::Create(temp, layout); !err.empty()) return err;
    {
      DbfTable fresh;
      std::string err = fresh.Open(temp);
      if (err.empty()) err = fresh.CopyFieldsFrom(old, shared);
      if (auto closeErr = fresh.Close(); err.empty()) err = closeErr;
      if (err.empty()) {
        DbfTable check;
        err = check.Open(temp, true);
        if (err.empty() && check.RecordCount() != static_cast<int>(old.AllRecords().size()))
          err = "The copied table is incomplete: " + temp.string();
      }
      if (!err.empty()) {
        cleanup();
        return "Cannot repair the table " + file.string() + ": " + err;
      }
    }
    // The old file stays as a backup (never over an earlier one); the
    // table's name then takes the new file in one rename.
    const std::string base = file.stem().string() + "_" + TimeText("%Y%m%d%H%S");
    std::filesystem::path backup = dir / (base + ".DBF");
    for (int n = 1; std::filesystem::exists(backup, ec); ++n) backup = dir / (base + "_" + std::to_string(n) + ".DBF");
    std::filesystem::create_hard_link(file, backup, ec);
    if (ec) {
      ec.clear();
      std::filesystem::copy_file(file, backup, ec);
      if (ec) {
        cleanup();
        return "Cannot keep a backup of " + file.string() + ": " + ec.message();
      }
    }
    old.Close();
    std::filesystem::rename(temp, file, ec);
    if (ec) {
      cleanup();
      return "Cannot replace the table " + file.string() + ": " + ec.message();
    }
    out.repaired = true;
    out.backup = backup;
    return {};
  } catch (const std::exception& e) {
    return "Cannot check the table " + file.string() + ": " + e.what();
  }
}

std::string CorrectDbfHeader(const std::filesystem::path& file, const std::vector<DataSumField>& rows) {
  try {
    HeaderCheck check = CheckHeader(file);
    if (!check.error.empty()) return check.error;
    if (rows.size() != check.fields.size())
      return "The field definitions (" + std::to_string(rows.size()) + ") do not match the fields of " +
             file.string() + " (" + std::to_string(check.fields.size()) + ")";
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) return "Cannot read the table " + file.string();
    in.close();
    const std::uint32_t records = Le32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4);
    std::uint32_t displacement = 1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& r = rows[i];
      if (!EqualsNoCase(r.name, check.fields[i].name))
        return "The field definition " + r.name + " does not match the field " + check.fields[i].name + " of " +
               file.string();
      const std::size_t d = 32 * (i + 1);
      const std::string fox = UpperText(TrimField(r.foxType));
      if (fox == "N" || fox == "F") {
        if (r.width < 1 || r.width > 20 || r.decimals < 0 || r.decimals > 15 || (r.decimals > 0 && r.decimals > r.width - 2))
          return "Invalid width or decimals for field " + r.name + " (" + file.string() + ")";
        bytes[d + 11] = fox[0];
        bytes[d + 16] = static_cast<char>(r.width);
        bytes[d + 17] = static_cast<char>(r.decimals);
      } else if (r.width != check.fields[i].width) {
        return "The width of field " + r.name + " does not match the table " + file.string();
      }
      for (int b = 0; b < 4; ++b) bytes[d + 12 + static_cast<std::size_t>(b)] = static_cast<char>((displacement >> (8 * b)) & 0xFF);
      displacement += static_cast<std::uint32_t>(r.width);
    }
    if (displacement > 65535) return "The record is too long (" + file.string() + ")";
    if (records > 0 && displacement != static_cast<std::uint32_t>(check.recordLength))
      return "The field definitions would change the records of " + file.string();
    bytes[10] = static_cast<char>(displacement & 0xFF);
    bytes[11] = static_cast<char>((displacement >> 8) & 0xFF);
    const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::string temp = TempName(dir);
    {
      std::ofstream o(temp, std::ios::binary | std::ios::trunc);
      o.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      o.flush();
      if (!o) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return "Cannot write the table " + file.string();
      }
    }
    if (HeaderCheck again = CheckHeader(temp); !again.error.empty()) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return again.error;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) {
      std::filesystem::remove(temp, ec);
      return "Cannot write the table " + file.string() + ": " + ec.message();
    }
    return {};
  } catch (const std::exception& e) {
    return "Cannot correct the header of " + file.string() + ": " + e.what();
  }
}

}  // namespace zw::platform
