#include "platform/terrain/clsObstructions.h"

#include <shapefil.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace zw::platform {
namespace {

std::string Trim(std::string s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

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

// Reads one table into out; returns the problems met.
std::string ReadTable(const std::string& file, std::vector<Obstruction>& out) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return "Obstruction file not found: " + file;
  Dbf dbf(file);
  if (!dbf.h) return "Obstruction file cannot be read as a dBase table: " + file;
  const int fId = DBFGetFieldIndex(dbf.h, "OBS_ID"), fLat = DBFGetFieldIndex(dbf.h, "OBS_LAT"),
            fLon = DBFGetFieldIndex(dbf.h, "OBS_LON"), fHgt = DBFGetFieldIndex(dbf.h, "OBS_HGT"),
            fUn = DBFGetFieldIndex(dbf.h, "OBS_HGTUN"), fDesc = DBFGetFieldIndex(dbf.h, "OBS_DESC");
  std::string missing;
  for (auto [idx, name] : {std::pair{fId, "OBS_ID"}, {fLat, "OBS_LAT"}, {fLon, "OBS_LON"}, {fHgt, "OBS_HGT"}})
    if (idx < 0) missing += std::string(missing.empty() ? "" : ", ") + name;
  if (!missing.empty()) return "Obstruction file " + file + " lacks the field(s) " + missing;
  int bad = 0;
  const int n = DBFGetRecordCount(dbf.h);
  for (int r = 0; r < n; ++r) {
    if (DBFIsRecordDeleted(dbf.h, r)) continue;
    Obstruction o;
    o.sId = Text(dbf.h, r, fId);
    if (o.sId.empty()) continue;
    double h = 0;
    const std::string unit = Lower(Text(dbf.h, r, fUn));
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

int clsObstructions::iFileCount() const {
  std::lock_guard lock(m_);
  return static_cast<int>(files_.size());
}

std::string clsObstructions::sFileName(int index) const {
  std::lock_guard lock(m_);
  if (index < 0 || index >= static_cast<int>(files_.size())) return "";
  return files_[static_cast<std::size_t>(index)];
}

std::string clsObstructions::Load() {
  std::lock_guard lock(m_);
  if (loaded_ < files_.size()) ++version_;
  for (; loaded_ < files_.size(); ++loaded_) {
    const std::string msg = ReadTable(files_[loaded_], items_);
    if (!msg.empty()) messages_ += (messages_.empty() ? "" : "\r\n") + msg;
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

long clsObstructions::CountRecords(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return -1;
  Dbf dbf(file);
  if (!dbf.h) return -1;
  const int fId = DBFGetFieldIndex(dbf.h, "OBS_ID");
  if (fId < 0) return -1;
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
