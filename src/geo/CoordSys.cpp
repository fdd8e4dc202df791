#include "geo/CoordSys.h"

#include <proj.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geo/Datum.h"
#include "platform/Text.h"

namespace zw {
namespace {

std::mutex gDirMutex;
std::filesystem::path gDataDir;
std::atomic<unsigned> gDirGeneration{0};

// "EPSG:n" of a key, "" for "LL", "?" for a key that is not accepted.
std::string CrsOf(const std::string& key) {
  if (key == "LL") return "";
  if (const int code = DatumEpsg(key)) return "EPSG:" + std::to_string(code);
  if (key.rfind("EPSG:", 0) == 0 && key.size() > 5 && key.size() < 12) {
    for (std::size_t i = 5; i < key.size(); ++i)
      if (!std::isdigit(static_cast<unsigned char>(key[i]))) return "?";
    return key;
  }
  return "?";
}

// PROJ's default search path, taken before any directory has been set.
const std::string& DefaultSearchPath() {
  static const std::string path = [] {
    const PJ_INFO info = proj_info();
    return std::string(info.searchpath ? info.searchpath : "");
  }();
  return path;
}

// PROJ context and transformations of one thread: PROJ objects are not shared
// between threads.
class ThreadConverter {
 public:
  ThreadConverter() : ctx_(proj_context_create()) { proj_log_level(ctx_, PJ_LOG_NONE); }
  ~ThreadConverter() {
    for (auto& [k, p] : cache_)
      if (p) proj_destroy(p);
    proj_context_destroy(ctx_);
  }
  ThreadConverter(const ThreadConverter&) = delete;
  ThreadConverter& operator=(const ThreadConverter&) = delete;

  PJ_CONTEXT* ctx() {
    const unsigned gen = gDirGeneration.load();
    if (gen != gen_) {
      gen_ = gen;
      std::filesystem::path dir;
      {
        std::lock_guard lock(gDirMutex);
        dir = gDataDir;
      }
      if (!dir.empty()) {
        // The data directory first, then PROJ's own places (proj.db lives there).
        std::vector<std::string> dirs{dir.string()};
        const std::string& def = DefaultSearchPath();
        std::size_t b = 0;
        while (b <= def.size()) {
          const std::size_t e = def.find_first_of(";:", b);
          const std::string one = def.substr(b, e == std::string::npos ? std::string::npos : e - b);
          if (!one.empty()) dirs.push_back(one);
          if (e == std::string::npos) break;
          b = e + 1;
        }
        std::vector<const char*> ptrs;
        ptrs.reserve(dirs.size());
        for (const auto& x : dirs) ptrs.push_back(x.c_str());
        proj_context_set_search_paths(ctx_, static_cast<int>(ptrs.size()), ptrs.data());
      }
      for (auto& [k, p] : cache_)
        if (p) proj_destroy(p);
      cache_.clear();
    }
    return ctx_;
  }

  bool IsGeographic(const std::string& crs) {
    PJ* p = proj_create(ctx(), crs.c_str());
    if (!p) return false;
    const PJ_TYPE t = proj_get_type(p);
    proj_destroy(p);
    return t == PJ_TYPE_GEOGRAPHIC_2D_CRS || t == PJ_TYPE_GEOGRAPHIC_3D_CRS;
  }

  // Normalised (longitude, latitude order) transformation src -> dst, or null
  // with the library's message.
  PJ* Get(const std::string& src, const std::string& dst, std::string& err) {
    PJ_CONTEXT* c = ctx();
    const std::string k = src + ">" + dst;
    if (auto it = cache_.find(k); it != cache_.end()) return it->second;
    PJ* raw = proj_create_crs_to_crs(c, src.c_str(), dst.c_str(), nullptr);
    PJ* norm = nullptr;
    if (raw) {
      norm = proj_normalize_for_visualization(c, raw);
      proj_destroy(raw);
    }
    if (!norm) err = proj_context_errno_string(c, proj_context_errno(c));
    cache_[k] = norm;
    return norm;
  }

  PJ_CONTEXT* raw() { return ctx_; }

 private:
  PJ_CONTEXT* ctx_;
  unsigned gen_ = ~0u;
  std::map<std::string, PJ*> cache_;
};

ThreadConverter& Converter() {
  thread_local ThreadConverter conv;
  return conv;
}

std::string Resolve(std::string_view key) {
  if (CoordSysIsValid(key)) return ToUpper(key);
  const std::string k = DatumLibKey(key);
  return CoordSysIsValid(k) ? k : "LL";
}

}  // namespace

std::string CoordSysInit(const std::filesystem::path& dataDir) {
  {
    std::lock_guard lock(gDirMutex);
    gDataDir = dataDir;
  }
  ++gDirGeneration;
  std::error_code ec;
  if (!dataDir.empty() && std::filesystem::is_directory(dataDir, ec)) return "";
  // The conversions run on PROJ's own data: only when that is missing too
  // can they not run.
  {
    PJ_CONTEXT* c = proj_context_create();
    PJ* crs = c ? proj_create(c, "EPSG:4267") : nullptr;
    const bool projWorks = crs != nullptr;
    if (crs) proj_destroy(crs);
    if (c) proj_context_destroy(c);
    if (projWorks) return "";
  }
  return "Coordinate System Data not found in " + dataDir.string() + "\r\n\r\n" +
         "This function cannot continue.  Please call Pelorin for assistance.";
}

std::filesystem::path CoordSysDataDir() {
  std::lock_guard lock(gDirMutex);
  return gDataDir;
}

bool CoordSysIsValid(std::string_view key) {
  const std::string u = ToUpper(key);
  const std::string crs = CrsOf(u);
  if (crs.empty()) return true;
  if (crs == "?") return false;
  if (DatumEpsg(u)) return true;
  return Converter().IsGeographic(crs);
}

std::string CoordConversion::Detail() const {
  if (sMethod.empty()) return "";
  if (dAccuracyM < 0) return sMethod + " (accuracy unknown)";
  if (dAccuracyM == 0) return sMethod + " (exact)";
  char buf[64];
  std::snprintf(buf, sizeof buf, " (accuracy about %g m)", dAccuracyM);
  return sMethod + buf;
}

CoordConversion ConvertPosition(std::string_view src, std::string_view dst, double lat, double lon) {
  CoordConversion r;
  if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 540.0) {
    r.sError = "Invalid coordinates: latitude must lie between -90 and 90 degrees";
    return r;
  }
  const std::string s = Resolve(src), d = Resolve(dst);
  const std::string cs = CrsOf(s), cd = CrsOf(d);
  if (cs.empty() || cd.empty() || cs == cd) {
    r.bOK = true;
    r.dLat = lat;
    r.dLon = lon;
    r.sMethod = cs.empty() || cd.empty() ? "no datum conversion (LL)" : "same coordinate system";
    r.dAccuracyM = 0;
    return r;
  }
  ThreadConverter& conv = Converter();
  std::string err;
  PJ* P = conv.Get(cs, cd, err);
  if (!P) {
    r.sError = err.empty() ? "Coordinate system conversion not available" : err;
    return r;
  }
  proj_errno_reset(P);
  PJ_COORD c = proj_coord(lon, lat, 0, 0);
  PJ_COORD out = proj_trans(P, PJ_FWD, c);
  if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y) || out.xy.x == HUGE_VAL) {
    const int e = proj_errno(P);
    r.sError = e ? proj_context_errno_string(conv.raw(), e) : "Position cannot be converted";
    return r;
  }
  r.bOK = true;
  r.dLon = out.xy.x;
  r.dLat = out.xy.y;
  if (PJ* op = proj_trans_get_last_used_operation(P)) {
    if (const char* n = proj_get_name(op)) r.sMethod = n;
    // The axis swaps of the normalised pipeline say nothing about the datum shift.
    for (const char* noise : {"axis order change (2D) + ", " + axis order change (2D)"})
      for (std::size_t at; (at = r.sMethod.find(noise)) != std::string::npos;)
        r.sMethod.erase(at, std::char_traits<char>::length(noise));
    r.dAccuracyM = proj_coordoperation_get_accuracy(conv.raw(), op);
    proj_destroy(op);
  } else {
    if (const char* n = proj_get_name(P)) r.sMethod = n;
    r.dAccuracyM = proj_coordoperation_get_accuracy(conv.raw(), P);
  }
  return r;
}

}  // namespace zw
