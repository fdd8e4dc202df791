#include "platform/terrain/clsLandUse.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/Text.h"

namespace zw::platform {
namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::size_t b = 0;
  while (true) {
    const std::size_t e = s.find(sep, b);
    out.push_back(Trim(s.substr(b, e == std::string::npos ? std::string::npos : e - b)));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return out;
}

bool Num(const std::string& s, double& v) {
  const std::string t = Trim(s);
  if (t.empty()) return false;
  char* end = nullptr;
  v = std::strtod(t.c_str(), &end);
  return end && *end == '\0' && std::isfinite(v);
}

// "3" or "8@150;12@900"; false when malformed.
bool ParseLoss(const std::string& s, std::vector<std::pair<double, double>>& out) {
  out.clear();
  if (Trim(s).empty()) {
    out.emplace_back(0.0, 0.0);
    return true;
  }
  if (s.find('@') == std::string::npos) {
    double v = 0;
    if (!Num(s, v)) return false;
    out.emplace_back(0.0, v);
    return true;
  }
  for (const auto& part : Split(s, ';')) {
    if (part.empty()) continue;
    const std::size_t at = part.find('@');
    double v = 0, f = 0;
    if (at == std::string::npos || !Num(part.substr(0, at), v) || !Num(part.substr(at + 1), f) || f <= 0) return false;
    out.emplace_back(f, v);
  }
  std::sort(out.begin(), out.end());
  return !out.empty();
}

std::string NoCorrection(std::string s) {
  s = ToUpper(Trim(s));
  return s == "NO CORRECTION" ? "" : s;
}

}  // namespace

struct clsLandUse::CursorHolder {
  TerrainSource::Cursor cur;
  CursorHolder(const TerrainSource& s, int datum) : cur(s, datum) {}
};

clsLandUse::clsLandUse() = default;
clsLandUse::~clsLandUse() = default;

bool clsLandUse::bUse() const {
  std::lock_guard lock(m_);
  return bUse_;
}
void clsLandUse::bUse(bool v) {
  std::lock_guard lock(m_);
  bUse_ = v;
}
std::string clsLandUse::sTemplate() const {
  std::lock_guard lock(m_);
  return template_;
}
void clsLandUse::sTemplate(const std::string& name) {
  std::lock_guard lock(m_);
  if (Trim(name) == template_) return;
  template_ = Trim(name);
  loaded_ = false;
}
void clsLandUse::sTemplateDir(const std::filesystem::path& dir) {
  std::lock_guard lock(m_);
  templateDir_ = dir;
  loaded_ = false;
}
void clsLandUse::iDatumEpsg(int epsg) {
  std::lock_guard lock(m_);
  datum_ = epsg > 0 ? epsg : 4326;
  cursor_.reset();
}
std::string clsLandUse::sMessage() const {
  std::lock_guard lock(m_);
  return message_;
}
std::vector<std::string> clsLandUse::Warnings() const {
  std::lock_guard lock(m_);
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < message_.size()) {
    std::size_t end = message_.find("\r\n", at);
    if (end == std::string::npos) end = message_.size();
    if (end > at) out.push_back(message_.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

bool clsLandUse::bUsable() const {
  std::lock_guard lock(m_);
  return loaded_ && raster_ != nullptr;
}

std::string clsLandUse::LoadTemplate() {
  loaded_ = true;
  message_.clear();
  classes_.clear();
  unknownLoss_.assign(1, {0.0, 0.0});
  cursor_.reset();
  raster_.reset();
  if (template_.empty()) return message_ = "No land-use template has been named";
  std::filesystem::path file(template_);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec) && !templateDir_.empty()) {
    file = templateDir_ / template_;
    if (!std::filesystem::is_regular_file(file, ec)) file = templateDir_ / (template_ + ".INI");
    if (!std::filesystem::is_regular_file(file, ec)) file = templateDir_ / (template_ + ".ini");
  }
  if (!std::filesystem::is_regular_file(file, ec)) return message_ = "Land-use template not found: " + template_;
  if (auto why = CheckRegularFile(file, kMaxLandUseTemplateBytes, "Land-use template"); !why.empty())
    return message_ = why;

  std::string problems;
  auto note = [&](const std::string& m) { problems += (problems.empty() ? "" : "\r\n") + m; };
  const std::string rasterName = ProfileGetString("Land Use", "Raster", "", file);
  if (!ParseLoss(ProfileGetString("Land Use", "Unknown Loss", "0", file), unknownLoss_)) {
    note("Land-use template " + file.string() + ": \"Unknown Loss\" is not a loss");
    unknownLoss_.assign(1, {0.0, 0.0});
  }
  for (const auto& [key, value] : ProfileGetSection("Classes", file)) {
    double code = 0;
    if (!Num(key, code) || code != std::floor(code) || code < 0 || code > 32767) {
      note("Land-use template " + file.string() + ": class code \"" + key + "\" is not a whole number 0 to 32767");
      continue;
    }
    const auto f = Split(value, '|');
    ClassDef d;
    d.name = f.size() > 0 ? f[0] : "";
    if (!ParseLoss(f.size() > 1 ? f[1] : "", d.loss)) {
      note("Land-use template " + file.string() + ": class " + key + " has no usable loss (\"" + f[1] + "\")");
      continue;
    }
    d.areaType = NoCorrection(f.size() > 2 ? f[2] : "");
    d.street = NoCorrection(f.size() > 3 ? f[3] : "");
    classes_[static_cast<int>(code)] = std::move(d);
  }
  if (rasterName.empty()) {
    note("Land-use template " + file.string() + " names no raster ([Land Use] Raster)");
  } else {
    std::filesystem::path rp(rasterName);
    if (rp.is_relative()) rp = file.parent_path() / rp;
    raster_ = std::make_unique<TerrainSource>(TerrainSource::Kind::Classes);
    const std::string m = raster_->Add(rp);
    if (!m.empty()) note(m);
    if (raster_->SourceCount() == 0) raster_.reset();
  }
  return message_ = problems;
}

double clsLandUse::LossAt(const std::vector<std::pair<double, double>>& t) const {
  if (t.empty()) return 0;
  if (t.size() == 1 || freqMHz_ <= t.front().first) return t.front().second;
  if (freqMHz_ >= t.back().first) return t.back().second;
  for (std::size_t i = 1; i < t.size(); ++i)
    if (freqMHz_ <= t[i].first) {
      const double span = t[i].first - t[i - 1].first;
      const double u = span > 0 ? (freqMHz_ - t[i - 1].first) / span : 0;
      return t[i - 1].second + u * (t[i].second - t[i - 1].second);
    }
  return t.back().second;
}

std::string clsLandUse::PrepareBox(double maxLat, double minLat, double maxLon, double minLon, double freqMHz) {
  std::lock_guard lock(m_);
  if (std::isfinite(freqMHz) && freqMHz > 0) freqMHz_ = freqMHz;
  if (!loaded_) LoadTemplate();
  if (raster_) raster_->Preload(maxLat, minLat, maxLon, minLon, datum_);
  return message_;
}

bool clsLandUse::LookupClass(double lat, double lon, LandUseClass& out) {
  out = LandUseClass{};
  std::lock_guard lock(m_);
  if (!loaded_) LoadTemplate();
  if (!raster_) return false;
  if (!cursor_) cursor_ = std::make_unique<CursorHolder>(*raster_, datum_);
  double v = 0;
  if (!raster_->Nearest(lat, lon, v, cursor_->cur)) return false;
  const double r = std::round(v);
  out.iCode = r >= -32768 && r <= 32767 ? static_cast<std::int16_t>(r) : std::int16_t{-1};
  if (auto it = classes_.find(static_cast<int>(out.iCode)); it != classes_.end()) {
    out.sName = it->second.name;
    out.dLossDB = LossAt(it->second.loss);
    out.sAreaType = it->second.areaType;
    out.sStreet = it->second.street;
  } else {
    out.sName = "Unlisted class " + std::to_string(out.iCode);
    out.dLossDB = LossAt(unknownLoss_);
  }
  return true;
}

bool clsLandUse::Lookup(double lat, double lon, std::int16_t& code, std::string& name, double& lossDB) {
  LandUseClass c;
  const bool ok = LookupClass(lat, lon, c);
  code = c.iCode;
  name = c.sName;
  lossDB = c.dLossDB;
  return ok;
}

}  // namespace zw::platform
