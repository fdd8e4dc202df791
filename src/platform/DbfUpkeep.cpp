#include "platform/DbfUpkeep.h"

#include <ctime>
#include <system_error>

#include "platform/DbfGuard.h"
#include "platform/DbfHeader.h"
#include "platform/Text.h"

namespace zw::platform {

using namespace dbf;

namespace {

std::string TimeText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (!localtime_r(&now, &tm)) return "00000000";
  char buf[32];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

std::filesystem::path DirectoryOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// A missing table: built and corrected under a temporary name, then put in place.
std::string CreateMissing(const std::filesystem::path& file, const std::vector<DbfField>& required,
                          const std::vector<DataSumField>* headerRows) {
  std::error_code ec;
  if (auto err = ValidateDbfLayout(required); !err.empty()) return err + " (" + file.string() + ")";
  const auto temp = std::filesystem::path(TempName(DirectoryOf(file)));
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
  return {};
}

// Copies the shared fields of every live record of old into the new table
// temp, and checks that all of them arrived.
std::string CopyInto(const std::filesystem::path& temp, const DbfTable& old, const std::vector<std::string>& shared) {
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
  return err;
}

// The old file stays as a backup (never over an earlier one); the table's
// name then takes the new file in one rename. The backup's name in *backup.
std::string PutInPlace(const std::filesystem::path& file, const std::filesystem::path& temp, DbfTable& old,
                       std::filesystem::path* backupOut) {
  std::error_code ec;
  const auto dir = DirectoryOf(file);
  auto cleanup = [&] { std::filesystem::remove(temp, ec); };
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
  *backupOut = backup;
  return {};
}

// A new table of the required fields, then the old table's other fields,
// with the old records, put under the table's name.
std::string Rebuild(const std::filesystem::path& file, const std::vector<DbfField>& required, DbfTable& old,
                    std::filesystem::path* backup) {
  std::error_code ec;
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
  const auto temp = DirectoryOf(file) / (TimeText("%S%M%H%y") + ".DBF");
  if (std::filesystem::exists(temp, ec)) return "A temporary table is in the way: " + temp.string();
  if (auto err = DbfTable::Create(temp, layout); !err.empty()) return err;
  if (auto err = CopyInto(temp, old, shared); !err.empty()) {
    std::filesystem::remove(temp, ec);
    return "Cannot repair the table " + file.string() + ": " + err;
  }
  return PutInPlace(file, temp, old, backup);
}

}  // namespace

std::string EnsureDbfTable(const std::filesystem::path& file, const std::vector<DbfField>& required, bool create,
                           bool repair, const std::vector<DataSumField>* headerRows, DbfUpkeep* result) {
  DbfUpkeep local;
  DbfUpkeep& out = result ? *result : local;
  out = {};
  return Guarded("Cannot check the table", file, [&]() -> std::string {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      if (!create) return "Table not found: " + file.string();
      if (auto err = CreateMissing(file, required, headerRows); !err.empty()) return err;
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
    if (auto err = Rebuild(file, required, old, &out.backup); !err.empty()) return err;
    out.repaired = true;
    return {};
  });
}

}  // namespace zw::platform
