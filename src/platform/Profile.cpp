#include "platform/Profile.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace zw::platform {

namespace {

// A value as the profile reader returns it: trimmed, one pair of matching
// surrounding quotes removed, cut at the maximum length.
std::string CleanValue(std::string_view raw) {
  std::string_view v = TrimView(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  if (v.size() > kProfileValueMax) v = v.substr(0, kProfileValueMax);
  return std::string(v);
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class LineKind { kBlank, kComment, kSection, kEntry, kOther };

struct Line {
  LineKind kind = LineKind::kBlank;
  std::string name;   // section name or key, trimmed
  std::string value;  // entry value, cleaned
};

struct Parsed {
  std::vector<std::string> raw;  // lines without their terminators
  std::vector<Line> lines;
  bool crlf = false;
  bool bom = false;  // the file starts with a UTF-8 byte-order mark, kept on writes
};

Line Classify(std::string_view text) {
  Line line;
  const std::string_view t = TrimView(text);
  if (t.empty()) return line;
  if (t.front() == ';' || t.front() == '#') {
    line.kind = LineKind::kComment;
    return line;
  }
  if (t.front() == '[') {
    const auto close = t.find(']');
    line.kind = LineKind::kSection;
    line.name = std::string(TrimView(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1)));
    return line;
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) {
    line.kind = LineKind::kOther;
    line.name = std::string(t);
    return line;
  }
  line.kind = LineKind::kEntry;
  line.name = std::string(TrimView(t.substr(0, eq)));
  line.value = CleanValue(t.substr(eq + 1));
  return line;
}

Parsed Parse(std::string_view text) {
  Parsed p;
  // A UTF-8 byte-order mark is not part of the first line.
  p.bom = text.substr(0, 3) == kBom;
  if (p.bom) text.remove_prefix(3);
  p.crlf = text.find("\r\n") != std::string_view::npos;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view l = text.substr(pos, nl - pos);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    p.raw.emplace_back(l);
    p.lines.push_back(Classify(l));
    pos = nl + 1;
  }
  return p;
}

// Parsed files are kept while their size and modification time stay the same,
// so that reading many keys of one file parses it once.
struct CacheEntry {
  std::filesystem::file_time_type mtime;
  std::uintmax_t size = 0;
  std::shared_ptr<const Parsed> parsed;
};

std::mutex gCacheMutex;
std::map<std::string, CacheEntry> gCache;

void Forget(const std::filesystem::path& file) {
  std::lock_guard lock(gCacheMutex);
  gCache.erase(file.string());
}

std::shared_ptr<const Parsed> Load(const std::filesystem::path& file) {
  std::error_code ec;
  const auto mtime = std::filesystem::last_write_time(file, ec);
  if (ec) return nullptr;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) return nullptr;
  {
    std::lock_guard lock(gCacheMutex);
    auto it = gCache.find(file.string());
    if (it != gCache.end() && it->second.mtime == mtime && it->second.size == size) return it->second.parsed;
  }
  const auto text = ReadWholeFile(file);
  if (!text) return nullptr;
  auto parsed = std::make_shared<const Parsed>(Parse(*text));
  std::lock_guard lock(gCacheMutex);
  if (gCache.size() > 256) gCache.clear();
  gCache[file.string()] = CacheEntry{mtime, size, parsed};
  return parsed;
}

// Index of the first header line of the section, or npos.
std::size_t FindSection(const Parsed& p, std::string_view section) {
  const std::string_view want = TrimView(section);
  for (std::size_t i = 0; i < p.lines.size(); ++i) {
    if (p.lines[i].kind == LineKind::kSection && EqualsNoCase(p.lines[i].name, want)) return i;
  }
  return std::string::npos;
}

// One past the last line belonging to the section that starts at header.
std::size_t SectionEnd(const Parsed& p, std::size_t header) {
  std::size_t i = header + 1;
  while (i < p.lines.size() && p.lines[i].kind != LineKind::kSection) ++i;
  return i;
}

bool Store(const std::filesystem::path& file, const Parsed& p, const std::vector<std::string>& raw,
           std::string* error) {
  const std::string eol = p.crlf || p.raw.empty() ? "\r\n" : "\n";
  std::string out(p.bom ? kBom : "");
  for (const auto& l : raw) {
    out += l;
    out += eol;
  }
  const bool ok = WriteFileAtomic(file, out, error);
  Forget(file);
  return ok;
}

}  // namespace

std::string ProfileGetString(std::string_view section, std::string_view key, std::string_view def,
                             const std::filesystem::path& file) {
  const auto fallback = [&] { return CleanValue(def); };
  if (TrimView(section).empty() || TrimView(key).empty()) return fallback();
  const auto p = Load(file);
  if (!p) return fallback();
  const std::size_t header = FindSection(*p, section);
  if (header == std::string::npos) return fallback();
  const std::string_view want = TrimView(key);
  const std::size_t end = SectionEnd(*p, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Line& l = p->lines[i];
    if (l.kind == LineKind::kEntry && EqualsNoCase(l.name, want)) return l.value;
  }
  return fallback();
}

ProfileEntries ProfileGetSection(std::string_view section, const std::filesystem::path& file) {
  ProfileEntries out;
  const auto p = Load(file);
  if (!p) return out;
  const std::size_t header = FindSection(*p, section);
  if (header == std::string::npos) return out;
  const std::size_t end = SectionEnd(*p, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Line& l = p->lines[i];
    if (l.kind == LineKind::kEntry) out.emplace_back(l.name, l.value);
  }
  return out;
}

std::vector<std::string> ProfileGetSectionNames(const std::filesystem::path& file) {
  std::vector<std::string> out;
  const auto p = Load(file);
  if (!p) return out;
  for (const Line& l : p->lines) {
    if (l.kind != LineKind::kSection) continue;
    const bool seen = std::any_of(out.begin(), out.end(), [&](const std::string& s) { return EqualsNoCase(s, l.name); });
    if (!seen) out.push_back(l.name);
  }
  return out;
}

bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file, std::string* error) {
  const std::string_view sec = TrimView(section);
  const std::string_view k = TrimView(key);
  if (sec.empty() || k.empty()) return false;
  Parsed p;
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) {
    const auto text = ReadWholeFile(file);
    if (!text) {
      if (error) *error = "cannot read " + file.string();
      return false;
    }
    p = Parse(*text);
  }
  std::vector<std::string> raw = p.raw;
  const std::string entry = std::string(k) + "=" + std::string(TrimView(value));
  const std::size_t header = FindSection(p, sec);
  if (header == std::string::npos) {
    while (!raw.empty() && TrimView(raw.back()).empty()) raw.pop_back();
    if (!raw.empty()) raw.emplace_back();
    raw.push_back("[" + std::string(sec) + "]");
    raw.push_back(entry);
    return Store(file, p, raw, error);
  }
  const std::size_t end = SectionEnd(p, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (p.lines[i].kind == LineKind::kEntry && EqualsNoCase(p.lines[i].name, k)) {
      raw[i] = entry;
      return Store(file, p, raw, error);
    }
  }
  // New key: after the last non-blank line of the section.
  std::size_t at = end;
  while (at > header + 1 && p.lines[at - 1].kind == LineKind::kBlank) --at;
  raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(at), entry);
  return Store(file, p, raw, error);
}

bool ProfileDelete(std::string_view section, std::string_view key, const std::filesystem::path& file,
                   std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return true;
  const auto text = ReadWholeFile(file);
  if (!text) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  const Parsed p = Parse(*text);
  const std::size_t header = FindSection(p, section);
  if (header == std::string::npos) return true;
  const std::size_t end = SectionEnd(p, header);
  std::vector<std::string> raw;
  raw.reserve(p.raw.size());
  const std::string_view k = TrimView(key);
  bool changed = false;
  for (std::size_t i = 0; i < p.raw.size(); ++i) {
    const bool inSection = i >= header && i < end;
    if (inSection && k.empty()) {
      changed = true;
      continue;
    }
    if (inSection && p.lines[i].kind == LineKind::kEntry && EqualsNoCase(p.lines[i].name, k)) {
      changed = true;
      continue;
    }
    raw.push_back(p.raw[i]);
  }
  return !changed || Store(file, p, raw, error);
}

}  // namespace zw::platform
