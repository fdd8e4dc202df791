#include "coverage/ContourReduction.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "geo/CoordText.h"
#include "geo/Geodesic.h"
#include "platform/Profile.h"

namespace zw::coverage {

namespace {

constexpr std::string_view kSection = "Results Data Base";
constexpr std::string_view kFailure = "Error on Contour Interpolation";

}  // namespace

std::string ContourDescription(std::string_view studyDesc, double percent, double levelDbu) {
  return std::string(studyDesc.substr(0, std::min<std::size_t>(3, studyDesc.size()))) + "CTR" + " " +
         FormatNumber(percent, "#0.0") + "% " + FormatNumber(levelDbu, "##0.000") + "dBu";
}

bool ContourPoints(const std::vector<RdbRecord>& records, double levelDbu, double percent, double txLat,
                   double txLon, std::vector<ContourPoint>& points, std::string* error) {
  points.clear();
  if (records.empty()) return true;
  const std::string& desc = records.front().desc;
  long n = 0, k = 0;
  ContourPoint cur;
  for (std::size_t i = 0; i < records.size() && records[i].desc == desc; ++i) {
    const RdbRecord& r = records[i];
    cur.az = r.az;
    ++n;
    if (r.val >= levelDbu) ++k;
    if (100.0 * static_cast<double>(k) / static_cast<double>(n) >= percent) {
      cur.dis = r.dis;
      cur.lat = r.lat;
      cur.lon = r.lon;
    }
    const bool last = i + 1 >= records.size() || records[i + 1].az != r.az || records[i + 1].desc != desc;
    if (!last) continue;
    if (!(cur.dis > 0)) {
      cur.tooShort = true;
      cur.dis = kTooShortContourKm;
      double lat = 0, lon = 0;
      if (!Geodesic::ForwardKm(txLat, txLon, cur.az, kTooShortContourKm, lat, lon) || !std::isfinite(lat) ||
          !std::isfinite(lon)) {
        if (error)
          *error = "Cannot place the contour point of azimuth " + FormatGeneral(cur.az) +
                   " from the transmitter at " + FormatGeneral(txLat) + ", " + FormatGeneral(txLon);
        return false;
      }
      cur.lat = lat;
      cur.lon = lon;
    }
    points.push_back(cur);
    n = k = 0;
    cur = ContourPoint{};
  }
  return true;
}

std::string ContourListingLine(const ContourPoint& p) {
  return FormatNumber(p.az, "###0.00") + " Az " + "\t" + FormatNumber(p.dis, "###0.000") + " km" + "\t" +
         CoordText(p.lat, "LT") + "\t" + CoordText(p.lon, "LN");
}

// Lists the contour set desc under [Results Data Base] of the task file (its
// RDBnnn key reused when listed before); false, with the file as it was, when
// the file cannot take it.
bool ListContourSet(const std::filesystem::path& taskFile, const std::string& desc) {
  const int count =
      std::max(0, static_cast<int>(ParseDouble(platform::ProfileGetString(kSection, "Number", "0", taskFile))));
  int listed = -1;
  for (int i = 0; i < count && listed < 0; ++i)
    if (platform::ProfileGetString(kSection, "RDB" + FormatNumber(i, "000"), "", taskFile) == desc) listed = i;
  const int number = listed >= 0 ? count : count + 1;
  const std::string key = "RDB" + FormatNumber(listed >= 0 ? listed : number - 1, "000");
  // The description first: a file that took it but not the new count still
  // lists only the result sets it had.
  const auto before = platform::ProfileGetSection(kSection, taskFile);
  if (!platform::ProfileWriteString(kSection, key, desc, taskFile) ||
      (number != count &&
       !platform::ProfileWriteString(kSection, "Number", std::to_string(number), taskFile))) {
    auto old = std::find_if(before.begin(), before.end(), [&](const auto& e) { return EqualsNoCase(e.first, key); });
    if (old == before.end())
      platform::ProfileDelete(kSection, key, taskFile);
    else
      platform::ProfileWriteString(kSection, key, old->second, taskFile);
    return false;
  }
  return true;
}

std::string ReduceContour(ResultsDb& results, const ContourRequest& request, ContourOutcome* outcome) {
  ProcScope proc(kProcContourReduction);
  ContourOutcome local;
  ContourOutcome& out = outcome ? *outcome : local;
  out = ContourOutcome{};

  proc.Step(1);
  if (!results.IsOpen() || results.Count() == 0)
    return "\nResults data base " + results.File().filename().string() +
           " does not contain any entries for the required study (" + request.studyDesc +
           ").  You must first execute the coverage study to create the database.";

  // Added records are removed again on a failure, so that the table never
  // holds a contour set the task file does not know of.
  std::vector<int> added;
  auto fail = [&](const std::string& why) {
    for (auto it = added.rbegin(); it != added.rend(); ++it)
      if (auto* rs = results.Recordset()) rs->Delete(*it);
    out.points.clear();
    out.tooShort = 0;
    out.failed = true;
    ReportError(0, kFailure, why, request.silent);
    return JoinLines(std::string("\n") + std::string(kFailure), why);
  };

  proc.Step(2);
  if (!std::isfinite(request.levelDbu) || !std::isfinite(request.percent))
    return fail("The contour level and percentage must be numbers (" + FormatGeneral(request.levelDbu) + " dBu, " +
                FormatGeneral(request.percent) + "%).");
  // The study is read whole first: records added below join the recordset
  // and must not be walked.
  const std::vector<RdbRecord> records = results.ReadAll();
  std::vector<ContourPoint> points;
  std::string error;
  proc.Step(3);
  if (!ContourPoints(records, request.levelDbu, request.percent, request.txLat, request.txLon, points, &error))
    return fail(error);

  const std::string desc = ContourDescription(request.studyDesc, request.percent, request.levelDbu);
  // A contour of the same description from an earlier run is replaced, not
  // duplicated: its records go once the new set is in place, and its task
  // file key is reused.
  std::vector<int> earlier;
  if (const auto* rs = results.Recordset()) earlier = rs->Find("RDB_DESC", desc);
  proc.Step(4);
  for (const ContourPoint& p : points) {
    if (!results.AddRec1(desc, p.lat, p.lon, p.az, p.dis, request.levelDbu, 0, 0, -32200.0f, 0, 0.0))
      return fail("Cannot add the contour record of azimuth " + FormatGeneral(p.az) + " to " +
                  results.File().string());
    if (auto cur = results.Current()) added.push_back(cur->record);
    if (p.tooShort) ++out.tooShort;
    if (request.listing) *request.listing << ContourListingLine(p) << '\n';
  }

  proc.Step(5);
  if (!ListContourSet(request.taskFile, desc))
    return fail("Cannot write the contour result set into the task file " + request.taskFile.string());
  out.points = std::move(points);
  if (auto* rs = results.Recordset())
    for (int r : earlier) {
      if (auto err = rs->Delete(r); !err.empty()) {
        ReportError(0, kFailure, "Cannot remove the earlier contour record: " + err, request.silent);
        return JoinLines(std::string("\n") + std::string(kFailure), "Cannot remove the earlier contour record: " + err);
      }
    }

  if (out.tooShort > 0)
    return "\n" + std::to_string(out.tooShort) + " radials were too short to compute the contour.";
  return {};
}

}  // namespace zw::coverage
