// Area-study runs through the engine (lTaskID, then RunCovArea) on copies of
// the sample study: a whole run, thread-count independence, agreement with
// point-to-point runs of the same paths, cancelling, missing terrain and the
// point details of the text report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/Config.h"
#include "common/FreeSpace.h"
#include "common/Units.h"
#include "coverage/ProgressWindow.h"
#include "coverage/ResultsDb.h"
#include "coverage/clsAreaCovPaths.h"
#include "engine/PointResultCodec.h"
#include "engine/clsRFProp.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsPathElv.h"
#include "tasks/clsQXTask.h"
#include "Installation.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

constexpr int kSamplePoints = 720;  // 36 radials of 20 points
constexpr const char* kSampleCode = "LR RAD";

using AreaInstall = test::Installation;

std::shared_ptr<platform::TerrainSource> Tile(const char* name) {
  auto t = std::make_shared<platform::TerrainSource>();
  t->Add(fs::path(RAVO_DATA_DIR) / "terrain" / name);
  return t;
}

std::shared_ptr<platform::TerrainSource> SampleTerrain() { return Tile("N44W072.hgt"); }

// Presses cancel when the run reports the given point.
class CancelAt : public coverage::QuietProgress {
 public:
  explicit CancelAt(std::int64_t n) : at_(n) {}
  void SetValue(std::int64_t value) override {
    QuietProgress::SetValue(value);
    if (value == at_) PressCancel();
  }

 private:
  std::int64_t at_;
};

struct StudyRun {
  std::string result;
  CoverageRunOutcome outcome;
  std::string firstTable;  // the results table after the first of two runs
};

// Computes groups as another process would: an engine of its own loads the
// task, generates the study and computes a few groups at a time, and its
// results travel as bytes.
GroupComputer Elsewhere(const fs::path& work, std::shared_ptr<platform::TerrainSource> terrain, bool details) {
  return [work, terrain, details](std::size_t g0, std::size_t g1, std::vector<PointResult>& out) -> std::string {
    clsRFProp remote;
    remote.bSilent(true);
    remote.sWorkDir(work.string());
    remote.cTerrain(terrain);
    remote.lTaskID(1);
    remote.bDetails(details);
    coverage::GeneratedStudy study;
    CoverageRunInputs in;
    if (auto e = remote.PrepareCovArea(study, in); !e.empty()) return e;
    std::string bytes;
    for (std::size_t a = g0; a < g1; a += 5) {
      std::vector<PointResult> part;
      if (auto e = ComputeStudyGroups(in, a, std::min(g1, a + 5), part); !e.empty()) return e;
      bytes += EncodePointResults(part);
    }
    out.clear();
    return DecodePointResults(bytes, out);
  };
}

struct RunOptions {
  int threads = 1;  // 0: the groups are computed elsewhere (Elsewhere)
  bool details = false;
  std::shared_ptr<platform::TerrainSource> terrain = nullptr;
  std::shared_ptr<coverage::ProgressWindow> progress = nullptr;
  bool twice = false;  // a second run on the same engine
};

std::string FileText(const fs::path& file) { return platform::ReadWholeFile(file).value_or(""); }

StudyRun RunStudy(const fs::path& work, const RunOptions& o = {}) {
  clsRFProp e;
  e.bSilent(true);
  e.sWorkDir(work.string());
  e.iThreads(o.threads);
  e.cTerrain(o.terrain ? o.terrain : SampleTerrain());
  if (o.threads == 0) e.cGroupComputer(Elsewhere(work, e.cTerrain(), o.details));
  if (o.progress) e.ktoProgress(o.progress);
  e.lTaskID(1);
  StudyRun r;
  if (!e.cTask()) {
    r.result = "not loaded: " + e.sTaskMessage();
    return r;
  }
  if (o.details) e.bDetails(true);
  r.result = e.RunCovArea();
  if (o.twice && r.result.empty()) {
    r.firstTable = FileText(work / "R0000001.DBF");
    r.result = e.RunCovArea();
  }
  r.outcome = e.LastRun();
  return r;
}

// The study's records in table order (without the transmitter site record).
std::vector<coverage::RdbRecord> Records(const fs::path& work) {
  coverage::ResultsDb db(work, 1);
  db.SetSilent(true);
  if (!db.RDBSort("DESC", kSampleCode).empty()) return {};
  return db.ReadAll();
}

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> out;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

// Lines that start a point's account in the text report.
std::vector<std::string> DetailEntries(const fs::path& work) {
  std::vector<std::string> out;
  for (const auto& l : Lines(work / "T0000001.TXT"))
    if (l.rfind("Azimuth ", 0) == 0) out.push_back(l);
  return out;
}

tasks::clsQXTask LoadTask(const fs::path& work) {
  tasks::clsQXTask t(work);
  t.SetSilent(true);
  t.SetTaskID(1);
  return t;
}

// ---------------------------------------------------------------------------

// Run twice on the same engine: the second run starts again and writes the same table.
TEST(CoverageRun, SampleStudyRunsToItsEnd) {
  AreaInstall inst;
  const fs::path work = inst.NewWork("w");
  auto progress = std::make_shared<coverage::QuietProgress>();
  const StudyRun r = RunStudy(work, {.threads = 2, .progress = progress, .twice = true});
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(FileText(work / "R0000001.DBF"), r.firstTable);
  EXPECT_TRUE(r.outcome.completed);
  EXPECT_FALSE(r.outcome.cancelled);
  EXPECT_EQ(r.outcome.points, kSamplePoints);
  EXPECT_EQ(r.outcome.computed, kSamplePoints);
  EXPECT_EQ(r.outcome.missing, 0);
  EXPECT_TRUE(inst.messages().Log().empty()) << inst.messages().Log().front().text;

  // The progress window was set up for the study, counted to its end and closed.
  EXPECT_EQ(progress->Caption(), "Compute Coverage Results Database");
  EXPECT_EQ(progress->Message().rfind("Computing Field Strength; Task 1\n", 0), 0u) << progress->Message();
  EXPECT_EQ(progress->Max(), kSamplePoints);
  EXPECT_EQ(progress->Value(), kSamplePoints);
  EXPECT_TRUE(progress->Closed());

  const auto recs = Records(work);
  ASSERT_EQ(recs.size(), static_cast<std::size_t>(kSamplePoints));
  double minLat = 1e9, maxLat = -1e9, minLon = 1e9, maxLon = -1e9;
  for (const auto& rec : recs) {
    ASSERT_TRUE(std::isfinite(rec.val)) << rec.az << " " << rec.dis;
    EXPECT_NE(rec.val, coverage::kRdbNotComputed);
    // 50 kW at 1.5 to 30 km: well above the noise, not above the free-space
    // field (beyond the few thousandths of a dB the model may add on clear paths).
    EXPECT_GT(rec.val, 0.0) << rec.az << " " << rec.dis;
    EXPECT_LE(rec.val, FreeSpaceFieldM(rec.dis * 1000.0, 10.0 * std::log10(50e6)) + 0.05) << rec.az << " " << rec.dis;
    EXPECT_FALSE(rec.elvEmpty);
    EXPECT_GT(rec.elv, 100.0f);  // the White Mountains: no point at sea level
    EXPECT_LT(rec.elv, 2000.0f);
    minLat = std::min(minLat, rec.lat);
    maxLat = std::max(maxLat, rec.lat);
    minLon = std::min(minLon, rec.lon);
    maxLon = std::max(maxLon, rec.lon);
  }
  // Table order: radials by azimuth, each from its far end inward.
  EXPECT_EQ(recs.front().az, 0.0);
  EXPECT_NEAR(recs.front().dis, 30.0, 1e-9);
  EXPECT_NEAR(recs[19].dis, 1.5, 1e-9);
  EXPECT_EQ(recs.back().az, 350.0);

  // The text report and the summary; the study bounds in the task file.
  EXPECT_TRUE(fs::is_regular_file(work / "T0000001.TXT"));
  EXPECT_TRUE(fs::is_regular_file(work / "S0000001.TXT"));
  EXPECT_GT(fs::file_size(work / "S0000001.TXT"), 0u);
  const std::string taskFile = (work / "T0000001.INI").string();
  EXPECT_NEAR(ReadDouble("Results Data Base", "MINLAT", 0, taskFile), minLat, 1e-6);
  EXPECT_NEAR(ReadDouble("Results Data Base", "MAXLAT", 0, taskFile), maxLat, 1e-6);
  EXPECT_NEAR(ReadDouble("Results Data Base", "MINlon", 0, taskFile), minLon, 1e-6);
  EXPECT_NEAR(ReadDouble("Results Data Base", "MAXlon", 0, taskFile), maxLon, 1e-6);

  // Marked as done.
  const tasks::clsQXTask t = LoadTask(work);
  ASSERT_EQ(t.lTaskID(), 1);
  EXPECT_TRUE(t.bLock);
  EXPECT_FALSE(t.bUnfinished);
  EXPECT_FALSE(t.bIncomplete);
  EXPECT_FALSE(t.bAmbiguous);
}

// The table and the report with point details are the same whatever the number
// of threads; the details give one entry per computed point after the report
// without details.
TEST(CoverageRun, ThreadCountDoesNotChangeTheResultsAndDetailsListEveryPoint) {
  AreaInstall inst;
  std::string table1, details1;
  std::vector<std::pair<std::string, std::int64_t>> warnings1;
  for (int threads : {1, 2, 3, 0}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    const fs::path work = inst.NewWork("w" + std::to_string(threads));
    const StudyRun r = RunStudy(work, {.threads = threads, .details = true});
    ASSERT_EQ(r.result, "");
    ASSERT_EQ(r.outcome.computed, kSamplePoints);
    const std::string table = FileText(work / "R0000001.DBF");
    ASSERT_FALSE(table.empty());
    // The report after its first line (the date and time of the run).
    const std::string report = FileText(work / "T0000001.TXT");
    ASSERT_NE(report.find('\n'), std::string::npos);
    const std::string details = report.substr(report.find('\n') + 1);
    if (threads == 1) {
      table1 = table;
      details1 = details;
      warnings1 = r.outcome.warnings;
      EXPECT_FALSE(warnings1.empty());  // (the sample's paths give the model's level warnings)
    } else {
      EXPECT_EQ(r.outcome.warnings, warnings1);  // texts and counts, whoever computed the points
      EXPECT_TRUE(table == table1) << "results tables differ";
      EXPECT_TRUE(details == details1) << "reports differ";
    }
  }
  const fs::path off = inst.NewWork("off"), on = inst.path() / "w2";
  ASSERT_EQ(RunStudy(off).result, "");
  EXPECT_TRUE(DetailEntries(off).empty());
  const auto entries = DetailEntries(on);
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kSamplePoints));
  // In table order, after the header (which is the report without details).
  EXPECT_EQ(entries.front().rfind("Azimuth 0.00 ", 0), 0u) << entries.front();
  EXPECT_EQ(entries.back().rfind("Azimuth 350.00 ", 0), 0u) << entries.back();
  auto a = Lines(off / "T0000001.TXT"), b = Lines(on / "T0000001.TXT");
  // The header is the report without details and without its closing count
  // (and the warnings after it).
  const auto closing = std::find(a.begin(), a.end(), "All 720 points computed.");
  ASSERT_NE(closing, a.end());
  a.erase(closing - 1, a.end());
  ASSERT_GT(b.size(), a.size());
  ASSERT_GT(a.size(), 1u);
  EXPECT_TRUE(std::equal(a.begin() + 1, a.end(), b.begin() + 1));
  EXPECT_EQ(b[a.size()].rfind("Azimuth 0.00 ", 0), 0u) << b[a.size()];
}

TEST(CoverageRun, EveryPointEqualsThePointToPointRunOfItsPath) {
  AreaInstall inst;
  const fs::path work = inst.NewWork("w");
  const StudyRun r = RunStudy(work, {.threads = 2});
  ASSERT_EQ(r.result, "");
  const auto recs = Records(work);
  ASSERT_EQ(recs.size(), static_cast<std::size_t>(kSamplePoints));

  // The same task, one path at a time: terrain at the task's step to the record's point.
  clsRFProp p2p;
  p2p.bSilent(true);
  p2p.sWorkDir(work.string());
  p2p.lTaskID(1);
  ASSERT_NE(p2p.cTask(), nullptr) << p2p.sTaskMessage();
  bool err = false;
  const double stepM = ConvertLength(p2p.sTopoStepUn(), "m", p2p.dTopoStep(), err);
  ASSERT_FALSE(err);
  ASSERT_NEAR(stepM, 90.0, 1e-9);
  auto terrain = SampleTerrain();

  // Near, middle and far points on radials spread round the transmitter,
  // including the first and last record of the table.
  std::vector<std::size_t> picks = {0, 19, static_cast<std::size_t>(kSamplePoints - 1)};
  for (std::size_t radial = 1; radial < 36; radial += 2) picks.push_back(radial * 20 + (radial * 7) % 20);
  double largest = 0;
  for (std::size_t i : picks) {
    const coverage::RdbRecord& rec = recs[i];
    SCOPED_TRACE("azimuth " + std::to_string(rec.az) + " distance " + std::to_string(rec.dis));
    auto path = std::make_shared<platform::clsPathElv>(terrain);
    path->sDatum(p2p.sFacDatum());
    path->dStartLat(p2p.dFacLat());
    path->dStartLon(p2p.dFacLon());
    path->dEndLat(rec.lat);
    path->dEndLon(rec.lon);
    path->dStep(stepM);
    ASSERT_TRUE(path->ExtractProfile()) << path->sMessage();
    p2p.cPathElv(path);
    p2p.dTgtLat(rec.lat);
    p2p.dTgtLon(rec.lon);
    p2p.dTgtAz(rec.az);
    p2p.dTgtDisKM(path->DIS_Array().back() / 1000.0);
    ASSERT_EQ(p2p.RunPathSetup(), "");
    ASSERT_EQ(p2p.RunPath(), "");
    const double diff = std::fabs(p2p.dFldDBU() - rec.val);
    largest = std::max(largest, diff);
    EXPECT_LE(diff, 0.001) << "run " << rec.val << " point-to-point " << p2p.dFldDBU();
    EXPECT_NEAR(p2p.Calculator()->rTgtElvM(), rec.elv, 0.01);
  }
  std::cout << "[ largest ] run vs point-to-point difference over " << picks.size()
            << " points: " << largest << " dB\n";
}

// Cancel pressed before the first point: Yes stops the run with nothing
// computed; No clears the request and the study runs to its end.
TEST(CoverageRun, CancelBeforeTheFirstPointAnsweredYesOrNo) {
  AreaInstall inst;
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    inst.messages().Clear();
    const fs::path work = inst.NewWork(yes ? "yes" : "no");
    auto progress = std::make_shared<coverage::QuietProgress>();
    progress->PressCancel();
    inst.messages().Answer(yes);
    const StudyRun r = RunStudy(work, {.threads = 2, .progress = progress});
    const auto q = inst.Questions("Cancel Study");
    ASSERT_EQ(q.size(), 1u);  // after No, the request was cleared
    EXPECT_EQ(q[0].text, "Do you want to Cancel this study?\nTask 1: Sample: FM 98.5 MHz Mount Waumbek, Longley-Rice "
                         "radials\n\n\tClick Yes to Cancel the study\n\tClick No to continue running the study");
    EXPECT_TRUE(progress->Closed());
    if (!yes) {
      EXPECT_EQ(r.result, "");
      EXPECT_TRUE(r.outcome.completed);
      EXPECT_EQ(r.outcome.computed, kSamplePoints);
      for (const auto& rec : Records(work)) EXPECT_NE(rec.val, coverage::kRdbNotComputed);
      EXPECT_TRUE(LoadTask(work).bLock);
      continue;
    }
    EXPECT_EQ(r.result.rfind("\nTask 1 CANCELLED by user", 0), 0u) << r.result;
    EXPECT_FALSE(r.outcome.resultsWritten);
    // Nothing was computed: no table, not marked as done, no summary.
    EXPECT_FALSE(fs::exists(work / "R0000001.DBF"));
    EXPECT_FALSE(LoadTask(work).bLock);
    EXPECT_FALSE(fs::exists(work / "S0000001.TXT"));
  }
}

TEST(CoverageRun, CancelDuringTheRunKeepsThePointsBeforeIt) {
  AreaInstall inst;
  const fs::path full = inst.NewWork("full");
  ASSERT_EQ(RunStudy(full).result, "");
  const auto reference = Records(full);
  ASSERT_EQ(reference.size(), static_cast<std::size_t>(kSamplePoints));

  // Cancel confirmed at point 200 (a polled point inside a radial), partial
  // results kept: points 1 to 199 are written, whatever the number of threads,
  // and only they have entries in the report with point details.
  for (int threads : {1, 2}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    inst.messages().Clear();
    const fs::path work = inst.NewWork("c" + std::to_string(threads));
    inst.messages().Answer(true);
    inst.messages().Answer(true);
    const StudyRun r =
        RunStudy(work, {.threads = threads, .details = true, .progress = std::make_shared<CancelAt>(200)});
    EXPECT_EQ(r.result, "\nTask 1 CANCELLED by user\n521 points not computed (the run was cancelled)");
    EXPECT_EQ(DetailEntries(work).size(), 199u);
    EXPECT_EQ(inst.Questions("Cancel Study").size(), 1u);
    EXPECT_EQ(inst.Questions("Keep Partial Results").size(), 1u);
    const auto recs = Records(work);
    ASSERT_EQ(recs.size(), reference.size());
    for (std::size_t i = 0; i < recs.size(); ++i) {
      if (i < 199) {
        EXPECT_EQ(recs[i].val, reference[i].val) << "point " << i + 1;
      } else {
        EXPECT_EQ(recs[i].val, coverage::kRdbNotComputed) << "point " << i + 1;
      }
    }
    EXPECT_FALSE(LoadTask(work).bLock);
    EXPECT_TRUE(LoadTask(work).bIncomplete);
  }
  // Partial results not kept: the complete ones stay.
  inst.messages().Clear();
  inst.messages().Answer(true);
  inst.messages().Answer(false);
  const auto before = FileText(full / "R0000001.DBF");
  const StudyRun r = RunStudy(full, {.threads = 2, .progress = std::make_shared<CancelAt>(200)});
  EXPECT_FALSE(r.outcome.resultsWritten);
  EXPECT_EQ(FileText(full / "R0000001.DBF"), before);
  EXPECT_TRUE(LoadTask(full).bLock);
}

TEST(CoverageRun, MissingTerrainAsksEveryHundredPoints) {
  AreaInstall inst;
  const std::string first =
      "No topo elevation data found for 100 of approximately 720 for this study.\n\nYou may need to obtain "
      "additional topo data files, OR you may need to index new files you have added.\n\nDo you want to cancel this "
      "study?\n\tClick Yes to cancel this study\n\tClick No to continue (this message may be repeated)";
  {
    // No, then Yes: the run stops at the 200th missing point.
    const fs::path work = inst.NewWork("yes");
    inst.messages().Answer(false);
    inst.messages().Answer(true);
    const StudyRun r = RunStudy(work, {.threads = 2, .terrain = Tile("N22W160.hgt")});
    const auto q = inst.Questions("Missing Topo Elevation Data");
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].text, first);
    EXPECT_NE(q[1].text.find("found for 200 of approximately 720 "), std::string::npos) << q[1].text;
    EXPECT_NE(r.result.find("No topo elevation data found for azimuth 0\n"), std::string::npos);
    EXPECT_NE(r.result.find("Study CANCELED by user"), std::string::npos) << r.result;
    EXPECT_EQ(r.result.find("azimuth 100\n"), std::string::npos);  // radial 11 starts at point 201
    EXPECT_FALSE(LoadTask(work).bLock);
    for (const auto& rec : Records(work)) EXPECT_EQ(rec.val, coverage::kRdbNotComputed);
  }
  {
    // No every time: every point is reported and the study ends.
    inst.messages().Clear();
    const fs::path work = inst.NewWork("no");
    const StudyRun r = RunStudy(work, {.threads = 1, .terrain = Tile("N22W160.hgt")});
    EXPECT_EQ(inst.Questions("Missing Topo Elevation Data").size(), 7u);
    EXPECT_EQ(r.outcome.missing, kSamplePoints);
    EXPECT_EQ(r.outcome.computed, 0);
    EXPECT_TRUE(r.outcome.completed);
    EXPECT_EQ(r.result.find("Study CANCELED by user"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = r.result.find("No topo elevation data found for azimuth ", p)) != std::string::npos;
         ++p)
      ++lines;
    EXPECT_EQ(lines, static_cast<std::size_t>(kSamplePoints));
    for (const auto& rec : Records(work)) EXPECT_EQ(rec.val, coverage::kRdbNotComputed);
  }
}

}  // namespace
}  // namespace zw
