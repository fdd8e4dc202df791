// Radial studies: points along the radial lines of the paths file (stepped,
// one at each radial's end, or the target points the lines name).
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/AreaCovGeneration.h"
#include "geo/Geodesic.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace fs = std::filesystem;
using namespace studygen;

namespace {

// One radial line of the paths file.
struct RadialLine {
  bool isRadial = false;
  std::string line;
  std::vector<std::string> fields;
  double az = kMissingField, dist = kMissingField, lat = kMissingField, lon = kMissingField;
  std::string unit;
  bool Usable() const { return isRadial && !fields.empty() && az >= -360 && dist > 0; }
};

RadialLine ParseRadial(std::string line) {
  RadialLine r;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  r.line = line;
  if (line.size() < 4 || ToUpper(line.substr(0, 4)) != "PATH") return r;
  r.isRadial = true;
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return r;
  const std::size_t eq2 = line.find('=', eq + 1);
  const std::string value = line.substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1);
  if (Trim(value).empty()) return r;
  r.fields = SplitFields(value);
  r.az = NumberField(r.fields, 4);
  r.dist = NumberField(r.fields, 7);
  r.unit = TextField(r.fields, 8);
  r.lat = NumberField(r.fields, 9);
  r.lon = NumberField(r.fields, 10);
  return r;
}

// Calls fn for every line of the file in order; false when it cannot be read.
template <class Fn>
bool ForEachLine(const fs::path& file, Fn&& fn) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    first = false;
    if (!fn(ParseRadial(line))) break;
  }
  return !in.bad();
}

// The step between points along a radial (km), from the task file.
std::string ReadRadialStep(const fs::path& taskFile, double& stepKm) {
  const std::string raw = platform::ProfileGetString("Quick Coverage", "ADV RAD STEP COV", "", taskFile);
  const auto f = SplitFields(raw);
  const double step = NumberField(f, 1);
  if (!(step > 0)) return JoinLines(JoinLines("Invalid radial step", "ADV RAD STEP COV: " + raw), taskFile.string());
  bool err = false;
  stepKm = ConvertLength(TextField(f, 2), "km", step, err);
  if (err || !(stepKm > 0) || !std::isfinite(stepKm))
    return JoinLines("Error converting radial Step", "ADV RAD STEP COV: " + raw);
  return {};
}

// First pass: how many points, and every radial's distance readable.
std::string CountRadialPoints(const fs::path& paths, int kind, double stepKm, const std::string& distError,
                              std::int64_t maxPoints, double& count) {
  count = 0;
  std::int64_t radials = 0;
  std::string err;
  const bool read = ForEachLine(paths, [&](const RadialLine& r) {
    if (!r.Usable()) return true;
    bool cerr = false;
    const double km = ConvertLength(r.unit, "km", r.dist, cerr);
    if (cerr || !std::isfinite(km) || !(km > 0)) {
      err = JoinLines(distError, r.line);
      return false;
    }
    ++radials;
    count = kind == kStepped ? std::nearbyint(count + km / stepKm) : count + 1;
    if (!(count <= static_cast<double>(maxPoints))) {
      err = TooManyPoints(count, maxPoints, "Use a larger step or fewer or shorter radials.");
      return false;
    }
    return true;
  });
  if (!read) return JoinLines("Cannot read the paths file", paths.string());
  if (!err.empty()) return err;
  if (radials == 0)
    return JoinLines(JoinLines("The paths file holds no usable radials (PATH lines with an azimuth and a length).",
                               paths.string()),
                     "Nothing was generated.");
  return {};
}

}  // namespace

// A usable line of the paths file and, while its block is worked on, its
// points.
struct clsAreaCovPaths::RadialWork {
  double az = 0, km = 0, lat = 0, lon = 0;
  std::string line;
  std::vector<StudyPoint> pts;  // positions; disKm < 0 marks a failed one
};

std::string clsAreaCovPaths::GenerateRadials(Generation& g, int kind) {
  ProcScope proc(kProcCovPathsRadials);
  const AreaStudyTask& t = *task_;
  const fs::path paths = t.PathsFile();
  std::error_code ec;
  if (!fs::is_regular_file(paths, ec))
    return JoinLines(AfterBlank("Paths file not found"), paths.string());
  const std::string distError = kind == kTargets ? "Error computing target point distance"
                                                 : "Error converting radial distance";
  double stepKm = 0;
  if (kind == kStepped)
    if (auto err = ReadRadialStep(t.TaskFile(), stepKm); !err.empty()) return err;

  double count = 0;
  proc.Step(1);
  if (auto err = CountRadialPoints(paths, kind, stepKm, distError, maxPoints_, count); !err.empty()) return err;
  counted_ = static_cast<std::int64_t>(count);

  proc.Step(2);
  std::string err;
  if (kind == kTargets) {
    // Target points make no progress of their own.
    auto keep = std::move(progress_);
    err = OpenTable(g, static_cast<std::int64_t>(count));
    progress_ = std::move(keep);
  } else {
    err = OpenTable(g, static_cast<std::int64_t>(count));
  }
  if (!err.empty()) return err;

  // Second pass: the points.
  proc.Step(3);
  // The usable lines in file order.
  std::vector<RadialWork> lines;
  ForEachLine(paths, [&](const RadialLine& r) {
    if (!r.Usable()) return true;
    bool cerr = false;
    const double km = ConvertLength(r.unit, "km", r.dist, cerr);
    if (cerr) {
      err = JoinLines(distError, r.line);
      return false;
    }
    lines.push_back({r.az, km, r.lat, r.lon, r.line, {}});
    return true;
  });
  if (!err.empty()) return err;
  if (!PlaceRadialPoints(g, kind, stepKm, lines)) return "Radial study cancelled by user";
  if (g.errors > kMaxPointErrors)
    return "Errors on more than " + std::to_string(kMaxPointErrors) + " points." + std::string(kLineBreak) +
           "Details are in the Tech Support Log file:" + std::string(kLineBreak) + TechSupportLogPath();
  if (g.written == 0) return JoinLines("No point of the study could be computed.", g.pointErrors);
  return {};
}

bool clsAreaCovPaths::PlaceRadialPoints(Generation& g, int kind, double stepKm, std::vector<RadialWork>& lines) {
  std::int64_t n = 0;
  bool cancelled = false;
  auto point = [&](double az, double dis, double lat, double lon, bool computed) {
    if (!computed) {
      g.pointErrors += AfterBlank("Error computing target coordinates for radial");
      ++g.errors;
      return;
    }
    g.Add(lat, lon, az, dis);
  };
  const Geodesic kmGeodesic("km");
  // The lines' points are worked out in parallel, a block of lines at a
  // time, and taken over in order.
  auto makePoints = [&](RadialWork& r) {
    r.pts.clear();
    // Multiples of the step (not a running sum, which drifts and can lose
    // the last point), none at the transmitter.
    const double limit = r.km * (1 + 1e-9);
    std::vector<double> dis;
    for (std::int64_t i = 1;; ++i) {
      const double d = kind == kStepped ? static_cast<double>(i) * stepKm : r.km;
      if (kind == kStepped && d > limit) break;
      dis.push_back(std::min(d, r.km));
      if (kind == kRadialEnds) break;
    }
    const std::size_t n = dis.size();
    std::vector<double> lat(n, 0.0), lon(n, 0.0);
    const auto ok = std::make_unique<bool[]>(n);
    kmGeodesic.Forward(txLat_, txLon_, r.az, dis.data(), n, lat.data(), lon.data(), ok.get());
    // As the table will hold them (here, where lines are worked on side by side).
    r.pts.reserve(n);
    for (std::size_t k = 0; k < n; ++k)
      r.pts.push_back(ok[k] ? Generation::AsHeld(lat[k], lon[k], r.az, dis[k]) : StudyPoint{0, 0, r.az, -1.0});
  };
  tbb::task_arena arena(std::max(1, threads_));
  constexpr std::size_t kBlock = 64;
  for (std::size_t b0 = 0; b0 < lines.size() && !cancelled && g.errors <= kMaxPointErrors; b0 += kBlock) {
    const std::size_t b1 = std::min(lines.size(), b0 + kBlock);
    if (kind != kTargets) {
#if defined(__SANITIZE_THREAD__)
      for (std::size_t k = b0; k < b1; ++k) makePoints(lines[k]);
#else
      arena.execute([&] { tbb::parallel_for(b0, b1, [&](std::size_t k) { makePoints(lines[k]); }); });
#endif
    }
    for (std::size_t k = b0; k < b1 && !cancelled && g.errors <= kMaxPointErrors; ++k) {
      RadialWork& r = lines[k];
      if (kind == kTargets) {
        const bool ok = r.lat >= -90 && r.lat <= 90 && r.lon >= -360 && r.lon <= 360;
        if (!ok) g.pointErrors += AfterBlank(JoinLines("Target point without a latitude and longitude:", r.line));
        point(r.az, r.km, r.lat, r.lon, ok);
        continue;
      }
      for (const auto& p : r.pts) {
        if (!ProgressCheck(g, ++n)) {
          cancelled = true;
          break;
        }
        if (p.disKm >= 0) {
          g.AddHeld(p);
        } else {
          point(r.az, p.disKm, p.lat, p.lon, false);
          if (g.errors > kMaxPointErrors) break;
        }
      }
      r.pts = {};
    }
  }
  return !cancelled;
}

}  // namespace zw::coverage
