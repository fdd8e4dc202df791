#include "platform/terrain/clsObstructions.h"

#include <shapefil.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/DbfTable.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace zw::platform {
namespace {

struct Dbf {
  DBFHandle h = nullptr;
  explicit Dbf(const std::filesystem::path& p) : h(DBFOpen(p.string().c_str(), "rb")) {}
  ~Dbf() {
    if (h) DBFClose(h);
  }
  Dbf(const Dbf&) = delete;
  Dbf& operator=(const Dbf&) = delete;
};

std::string Text(DBFHandle h, int rec, int field) {
  if (field < 0 || DBFIsAttributeNULL(h, rec, field)) return "";
  const char* s = DBFReadStringAttribute(h, rec, field);
  return s ? Trim(s) : "";
}

// Strict number of a field: false when empty or not a number.
bool Number(DBFHandle h, int rec, int field, double& v) {
  const std::string s = Text(h, rec, field);
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0' && std::isfinite(v);
}

// A file that is no table at all: not a regular file, too large, or a header
// that does not match the file (e.g. one claiming 2^31 records). "" when it can be read.
std::string Unreadable(const std::string& file) {
  if (auto why = CheckRegularFile(file, kMaxObstructionBytes, "Obstruction file"); !why.empty()) return why;
  DbfTable check;
  if (auto why = check.Open(file, true); !why.empty())
    return "Obstruction file " + file + " cannot be read as a dBase table: " + why;
  return {};
}

// Reads one table into out; returns the problems met. *unusable: nothing of
// the file could be used.
std::string ReadTable(const std::string& file, std::vector<Obstruction>& out, bool* unusable) {
  *unusable = true;
  if (auto why = Unreadable(file); !why.empty()) return why;
  Dbf dbf(file);
  if (!dbf.h) return "Obstruction file cannot be read as a dBase table: " + file;
  const int fId = DBFGetFieldIndex(dbf.h, "OBS_ID"), fLat = DBFGetFieldIndex(dbf.h, "OBS_LAT"),
            fLon = DBFGetFieldIndex(dbf.h, "OBS_LON"), fHgt = DBFGetFieldIndex(dbf.h, "OBS_HGT"),
            fUn = DBFGetFieldIndex(dbf.h, "OBS_HGTUN"), fDesc = DBFGetFieldIndex(dbf.h, "OBS_DESC");
  std::string missing;
  for (auto [idx, name] : {std::pair{fId, "OBS_ID"}, {fLat, "OBS_LAT"}, {fLon, "OBS_LON"}, {fHgt, "OBS_HGT"}})
    if (idx < 0) missing += std::string(missing.empty() ? "" : ", ") + name;
  if (!missing.empty()) return "Obstruction file " + file + " lacks the field(s) " + missing;
  *unusable = false;
  int bad = 0;
  const int n = DBFGetRecordCount(dbf.h);
  for (int r = 0; r < n; ++r) {
    if (DBFIsRecordDeleted(dbf.h, r)) continue;
    Obstruction o;
    o.sId = Text(dbf.h, r, fId);
    if (o.sId.empty()) continue;
    double h = 0;
    const std::string unit = ToLower(Text(dbf.h, r, fUn));
    const bool unitOK = unit.empty() || unit == "m" || unit == "ft";
    if (!Number(dbf.h, r, fLat, o.dLat) || !Number(dbf.h, r, fLon, o.dLon) || !Number(dbf.h, r, fHgt, h) ||
        std::fabs(o.dLat) > 90.0 || std::fabs(o.dLon) > 180.0 || h < 0 || h > 10000 || !unitOK) {
      ++bad;
      continue;
    }
    o.dHgtM = unit == "ft" ? h * 0.3048 : h;
    o.sDesc = Text(dbf.h, r, fDesc);
    out.push_back(std::move(o));
  }
  if (bad > 0)
    return "Obstruction file " + file + ": " + std::to_string(bad) +
           " record(s) skipped (position, height or height unit not usable)";
  return "";
}

}  // namespace

void clsObstructions::AddFile(const std::string& file) {
  const std::string f = Trim(file);
  if (f.empty()) return;
  std::lock_guard lock(m_);
  if (std::find(files_.begin(), files_.end(), f) != files_.end()) return;
  files_.push_back(f);
  ++version_;
}

std::vector<std::string> clsObstructions::UsableFilesLocked() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < files_.size(); ++i)
    if (std::find(unusable_.begin(), unusable_.end(), i) == unusable_.end()) out.push_back(files_[i]);
  return out;
}

int clsObstructions::iFileCount() const {
  std::lock_guard lock(m_);
  return static_cast<int>(UsableFilesLocked().size());
}

std::string clsObstructions::sFileName(int index) const {
  std::lock_guard lock(m_);
  const auto files = UsableFilesLocked();
  if (index < 0 || index >= static_cast<int>(files.size())) return "";
  return files[static_cast<std::size_t>(index)];
}

void clsObstructions::AddWarning(const std::string& text) {
  std::lock_guard lock(m_);
  if (std::find(warnings_.begin(), warnings_.end(), text) == warnings_.end()) warnings_.push_back(text);
}

std::vector<std::string> clsObstructions::Warnings() const {
  std::lock_guard lock(m_);
  return warnings_;
}

std::string clsObstructions::Load() {
  std::lock_guard lock(m_);
  if (loaded_ < files_.size()) ++version_;
  for (; loaded_ < files_.size(); ++loaded_) {
    bool unusable = false;
    const std::string msg = ReadTable(files_[loaded_], items_, &unusable);
    if (unusable) unusable_.push_back(loaded_);
    if (msg.empty()) continue;
    messages_ += (messages_.empty() ? "" : "\r\n") + msg;
    const std::string warning = unusable ? msg + "; it was left out of the calculations" : msg;
    if (std::find(warnings_.begin(), warnings_.end(), warning) == warnings_.end()) warnings_.push_back(warning);
  }
  return messages_;
}

std::vector<Obstruction> clsObstructions::Items() {
  std::lock_guard lock(m_);
  return items_;
}

std::vector<Obstruction> clsObstructions::InBox(double maxLat, double minLat, double maxLon, double minLon) {
  std::lock_guard lock(m_);
  std::vector<Obstruction> v;
  for (const auto& o : items_)
    if (o.dLat <= maxLat && o.dLat >= minLat && o.dLon <= maxLon && o.dLon >= minLon) v.push_back(o);
  return v;
}

long clsObstructions::CountRecords(const std::filesystem::path& file, std::string* why) {
  if (auto err = Unreadable(file.string()); !err.empty()) {
    if (why) *why = err;
    return -1;
  }
  Dbf dbf(file);
  if (!dbf.h) {
    if (why) *why = "Obstruction file cannot be read as a dBase table: " + file.string();
    return -1;
  }
  const int fId = DBFGetFieldIndex(dbf.h, "OBS_ID");
  if (fId < 0) {
    if (why) *why = "Obstruction file " + file.string() + " lacks the field OBS_ID";
    return -1;
  }
  long n = 0;
  for (int r = 0; r < DBFGetRecordCount(dbf.h); ++r)
    if (!DBFIsRecordDeleted(dbf.h, r) && !Text(dbf.h, r, fId).empty()) ++n;
  return n;
}

unsigned clsObstructions::iVersion() const {
  std::lock_guard lock(m_);
  return version_ * 2u + (bUse_ ? 1u : 0u);
}

}  // namespace zw::platform
