// Reading a results table into its roles (transmitter, study points,
// contours) and saying what its values are.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

#include "common/ModelTable.h"
#include "common/TextJoin.h"
#include "common/calcMiscMath.h"
#include "coverage/Aggregate.h"
#include "coverage/ResultsExport.h"
#include "platform/DbfTable.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

bool IsTxRecord(const RdbRecord& r) { return ToUpper(r.desc.substr(0, std::min<std::size_t>(6, r.desc.size()))) == "TX SIT"; }
bool IsContourRecord(const RdbRecord& r) { return r.desc.size() >= 6 && ToUpper(r.desc.substr(3, 3)) == "CTR"; }

}  // namespace

bool IsComputed(double val) {
  return std::isfinite(val) && val != kRdbNotComputed && val != kRdbFailedPath && val > kRdbNotComputed;
}

std::string LoadStudyResults(const fs::path& table, const ExportOptions& options, StudyResults& out) {
  out = StudyResults{};
  out.table = table;
  std::error_code ec;
  if (!fs::is_regular_file(table, ec)) return "Results table not found: " + table.string();
  platform::DbfTable t;
  if (auto err = t.Open(table, true); !err.empty()) return "Cannot read the results table " + table.string() + ": " + err;
  for (const char* f : {"RDB_DESC", "RDB_LAT", "RDB_LON", "RDB_AZ", "RDB_DIS", "RDB_VAL"})
    if (!t.HasField(f)) return "Not a results table (no " + std::string(f) + " field): " + table.string();
  const int fDesc = t.FieldIndex("RDB_DESC"), fLat = t.FieldIndex("RDB_LAT"), fLon = t.FieldIndex("RDB_LON"),
            fAz = t.FieldIndex("RDB_AZ"), fDis = t.FieldIndex("RDB_DIS"), fVal = t.FieldIndex("RDB_VAL"),
            fWrnLvl = t.FieldIndex("RDB_WRNLVL"), fWrn = t.FieldIndex("RDB_WRNING"), fElv = t.FieldIndex("RDB_ELV"),
            fLuCode = t.FieldIndex("RDB_LUCODE"), fLuLoss = t.FieldIndex("RDB_LULOSS");
  const std::vector<int> records = t.AllRecords();
  out.all.reserve(records.size());
  for (int r : records) {
    RdbRecord rec;
    rec.record = r;
    rec.desc = Trim(t.Text(r, fDesc));
    rec.lat = t.Number(r, fLat);
    rec.lon = t.Number(r, fLon);
    rec.az = t.Number(r, fAz);
    rec.dis = t.Number(r, fDis);
    rec.val = t.IsNull(r, fVal) ? kRdbNotComputed : t.Number(r, fVal);
    rec.wrnLvl = t.Integer(r, fWrnLvl);
    rec.wrnBits = t.Integer(r, fWrn);
    rec.elvEmpty = t.IsNull(r, fElv);
    rec.elv = static_cast<float>(t.Number(r, fElv));
    rec.luEmpty = t.IsNull(r, fLuCode);
    rec.luCode = static_cast<std::int16_t>(t.Integer(r, fLuCode, -32768, 32767));
    rec.luLoss = t.Number(r, fLuLoss);
    out.all.push_back(std::move(rec));
  }
  t.Close();

  std::map<std::string, std::vector<RdbRecord>> studies, contours;
  for (const auto& r : out.all) {
    if (IsTxRecord(r)) {
      if (!out.tx) out.tx = r;
    } else if (IsContourRecord(r)) {
      contours[r.desc].push_back(r);
    } else {
      studies[r.desc].push_back(r);
    }
  }
  if (!options.studyCode.empty()) {
    const std::string want = Trim(options.studyCode);
    const std::vector<RdbRecord>* found = nullptr;
    if (auto it = studies.find(want); it != studies.end()) found = &it->second;
    else if (auto c = contours.find(want); c != contours.end()) found = &c->second;
    if (!found) return "The results table " + table.string() + " holds no study \"" + want + "\"";
    out.code = want;
    out.points = *found;
  } else if (!studies.empty()) {
    auto best = studies.begin();
    for (auto it = studies.begin(); it != studies.end(); ++it)
      if (it->second.size() > best->second.size()) best = it;
    out.code = best->first;
    out.points = std::move(best->second);
  } else if (!contours.empty()) {
    // Models that give contours directly leave only the contour points.
    out.code = contours.begin()->first;
    out.points = contours.begin()->second;
  }
  for (auto& [desc, recs] : contours) {
    std::stable_sort(recs.begin(), recs.end(), [](const RdbRecord& a, const RdbRecord& b) { return a.az < b.az; });
    out.contours.push_back(recs);
  }
  out.tile = out.code.size() >= 6 && ToUpper(out.code.substr(3, 3)) == "TIL";
  if (out.points.empty()) return "The results table " + table.string() + " holds no study points";
  return DescribeStudyResults(out);
}

namespace {

// What the values of a study are: the model of its task file (R<n>.DBF
// beside T<n>.INI) through the model table, or the method of a study made
// from other studies.
void DescribeValues(StudyResults& out) {
  const fs::path& table = out.table;
  std::string combinedType;
  int method = -1;
  std::string stem = table.stem().string();
  if (!stem.empty() && (stem[0] == 'R' || stem[0] == 'r')) {
    const fs::path taskFile = table.parent_path() / ("T" + stem.substr(1) + ".INI");
    std::error_code fe;
    if (fs::is_regular_file(taskFile, fe)) {
      out.model = platform::ProfileGetString("Propagation Model", "MODEL", "", taskFile);
      combinedType = ToUpper(platform::ProfileGetString("TASK", "Task Type", "", taskFile));
      method = std::atoi(platform::ProfileGetString("TASK", "cboMathOpsIndex", "-1", taskFile).c_str());
    }
  }
  const ModelQuantity q = ModelResultOf(out.model);
  out.quantity = q.quantity;
  out.unit = q.unit;
  // Studies made from other studies: the value their method gives.
  if (combinedType.rfind("INTERFERENCE", 0) == 0) {
    out.quantity = "protection margin", out.unit = "dB";
  } else if (combinedType.rfind("AGGREGATE", 0) == 0 || combinedType.rfind("COMPOSITE", 0) == 0) {
    if (const auto m = AggregateMethodOf(method)) {
      const MethodQuantity mq = AggregateQuantity(*m);
      out.quantity = mq.quantity, out.unit = mq.unit;
    }
  }
}

// One point per radial: no azimuth holds two points of the study.
template <class Az>
bool OnePointPerRadial(std::size_t n, Az az) {
  std::vector<long long> key;
  key.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    key.push_back(std::llround(az(i) * 1e6));
    if (i > 0 && key[i] == key[i - 1]) return false;  // (a radial's points follow one another)
  }
  std::sort(key.begin(), key.end());
  return std::adjacent_find(key.begin(), key.end()) == key.end();
}

std::string NothingComputed(const StudyResults& out, std::size_t points) {
  return fmt::format("No {} has been computed in {} ({} points of study {} not computed): run the study first",
                     out.quantity, out.table.string(), points, out.code);
}

}  // namespace

std::string DescribeStudyResults(StudyResults& out) {
  DescribeValues(out);
  if (!out.tile) out.pointPerRadial = OnePointPerRadial(out.points.size(), [&](std::size_t i) { return out.points[i].az; });
  out.computed = 0;
  for (const auto& p : out.points)
    if (IsComputed(p.val)) ++out.computed;
  return out.computed == 0 ? NothingComputed(out, out.points.size()) : std::string();
}

std::string DescribeStudyInMemory(const fs::path& table, const GeneratedStudy& g, const std::vector<PointValue>& values,
                                  int valueDecimals, StudyResults& described, std::vector<double>& tableValues) {
  described = StudyResults{};
  described.table = table;
  described.code = Trim(g.code);
  described.tile = described.code.size() >= 6 && ToUpper(described.code.substr(3, 3)) == "TIL";
  tableValues.assign(g.points.size(), kRdbNotComputed);
  for (std::size_t i = 0; i < g.points.size() && i < values.size(); ++i) {
    const PointValue& v = values[i];
    if (v.status == PointStatus::kComputed || v.status == PointStatus::kModelFailed) {
      tableValues[i] = RoundToDecimals(v.fieldDbu, valueDecimals);
      if (IsComputed(tableValues[i])) ++described.computed;
    }
  }
  if (g.points.empty()) return "The study holds no points";
  DescribeValues(described);
  if (!described.tile)
    described.pointPerRadial = OnePointPerRadial(g.points.size(), [&](std::size_t i) { return g.points[i].az; });
  return described.computed == 0 ? NothingComputed(described, g.points.size()) : std::string();
}

double StudyResults::ValueOf(const RdbRecord& r) const {
  if (!IsComputed(r.val)) return std::numeric_limits<double>::quiet_NaN();
  return quantity == "contour distance" ? r.dis : r.val;
}

}  // namespace zw::coverage
