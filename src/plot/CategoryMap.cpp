#include "plot/CategoryMap.h"

#include <fmt/format.h>

#include <map>

#include "common/TextJoin.h"
#include "coverage/CombinedTable.h"
#include "platform/Profile.h"
#include "plot/StudyMap.h"

namespace zw::plot {

namespace fs = std::filesystem;

namespace {

enum class Kind { kNone, kBestServer, kInterference };

fs::path TaskFileOf(const fs::path& table) {
  const std::string stem = table.stem().string();
  return table.parent_path() / ("T" + (stem.empty() ? std::string() : stem.substr(1)) + ".INI");
}

Kind KindOf(const fs::path& table) {
  const fs::path f = TaskFileOf(table);
  const std::string type = ToUpper(platform::ProfileGetString("TASK", "Task Type", "", f));
  if (type.rfind("INTERFERENCE", 0) == 0) return Kind::kInterference;
  if ((type.rfind("AGGREGATE", 0) == 0 || type.rfind("COMPOSITE", 0) == 0) &&
      Trim(platform::ProfileGetString("TASK", "cboMathOpsIndex", "", f)) == "4")
    return Kind::kBestServer;
  return Kind::kNone;
}

// Distinct colours of the transmitters, in input order.
const Rgb kPalette[] = {{0.12, 0.47, 0.71}, {1.00, 0.50, 0.05}, {0.17, 0.63, 0.17}, {0.84, 0.15, 0.16},
                        {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.74, 0.74, 0.13},
                        {0.09, 0.75, 0.81}};
const Rgb kNone{0.78, 0.78, 0.78};

// At most n characters: words in brackets go first, then the end.
std::string Shortened(std::string s, std::size_t n) {
  for (std::size_t open = s.find(" ("); s.size() > n && open != std::string::npos; open = s.find(" (")) {
    const std::size_t close = s.find(')', open);
    if (close == std::string::npos) break;
    s.erase(open, close + 1 - open);
  }
  if (s.size() > n) s.replace(n - 3, std::string::npos, "...");
  return s;
}

// The transmitters' site names by input task number, in input order.
std::vector<std::pair<std::int32_t, std::string>> InputNames(const fs::path& table) {
  const fs::path f = TaskFileOf(table);
  std::vector<std::pair<std::int32_t, std::string>> out;
  for (const auto& [k, v] : platform::ProfileGetSection("Aggregate Results Input Files", f)) {
    if (EqualsNoCase(Trim(k), "Number")) continue;
    const std::string id = Trim(v.substr(0, v.find('|')));
    const fs::path in = table.parent_path() / ("T" + id + ".INI");
    std::string name = Trim(platform::ProfileGetString("Facility Data", "FAC_DESC", "", in));
    out.emplace_back(std::atoi(id.c_str()), name);
  }
  return out;
}

}  // namespace

bool IsCategoryStudy(const fs::path& table) { return KindOf(table) != Kind::kNone; }

std::string ExportCategoryMap(const fs::path& table, const fs::path& file, const MapOptions& o, std::string* note) {
  if (!ImageKindOf(file)) return ImageKindError(file);
  const Kind kind = KindOf(table);
  coverage::StudyResults s;
  if (auto err = coverage::LoadStudyResults(table, o.study, s); !err.empty()) return err;
  std::vector<std::int32_t> tasks;
  std::vector<int> classes;
  if (!coverage::ReadCombinedFields(table, s.points, tasks, classes))
    return "The results table " + table.string() + " holds no deciding task (RDB_TASK): run the study again";
  MapScale scale;
  std::map<std::int32_t, int> classOf;  // task number -> class (best server)
  if (kind == Kind::kInterference) {
    scale.quantity = "interference", scale.unit = "class of point";
    scale.colours = {kNone, {0.17, 0.63, 0.17}, {0.84, 0.15, 0.16}};
    scale.labels = {"unserved (desired below threshold)", "served", "interfered (D/U short)"};
  } else {
    scale.quantity = "best server", scale.unit = "transmitter";
    scale.colours = {kNone};
    scale.labels = {"none (below threshold, no capture)"};
    int k = 0;
    for (const auto& [id, name] : InputNames(table)) {
      classOf[id] = ++k;
      scale.colours.push_back(kPalette[static_cast<std::size_t>(k - 1) % std::size(kPalette)]);
      scale.labels.push_back(Shortened(fmt::format("task {}: {}", id, name.empty() ? "no name" : name), 36));
    }
  }
  for (std::size_t c = 1; c < scale.colours.size(); ++c) scale.breaks.push_back(static_cast<double>(c) - 0.5);
  for (std::size_t i = 0; i < s.points.size(); ++i) {
    auto& p = s.points[i];
    if (!coverage::IsComputed(p.val)) continue;
    if (kind == Kind::kInterference) {
      p.val = classes[i] < 0 ? coverage::kRdbNotComputed : classes[i];
    } else {
      auto it = classOf.find(tasks[i]);
      p.val = it == classOf.end() ? 0.0 : it->second;
    }
  }
  coverage::FieldRaster r;
  if (auto err = coverage::RasteriseStudy(s, o.study, r); !err.empty()) return err;
  MapDecor d;
  const fs::path tf = TaskFileOf(table);
  std::string id = Trim(platform::ProfileGetString("TASK", "Task ID", "", tf));
  while (id.size() > 1 && id[0] == '0') id.erase(0, 1);
  d.title = "Task " + id + ": " + Trim(platform::ProfileGetString("TASK", "Task Desc", "", tf));
  d.subtitle = kind == Kind::kInterference
                   ? "Adjacent channel interference, D/U table " +
                         Trim(platform::ProfileGetString("Adjacent Channel Interference", "DtoU Template", "", tf)) +
                         "   |   " + Trim(s.code) + " (tile study)"
                   : "Best server of " + std::to_string(classOf.size()) + " transmitters   |   " + Trim(s.code) +
                         " (tile study)";
  MarkTransmitters(s, d);
  if (note) note->clear();
  if (note && s.computed < static_cast<int>(s.points.size()))
    *note = fmt::format("{} of {} points have no result; they are drawn as no value", s.points.size() - s.computed,
                        s.points.size());
  return DrawStudyMap(r, scale, d, file);
}

}  // namespace zw::plot
