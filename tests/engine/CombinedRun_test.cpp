// The sample's multi-transmitter studies run end to end: the best server and
// the interference classes checked point by point against the input tables.
#include "engine/CombinedRun.h"

#include <gtest/gtest.h>

#include "Installation.h"
#include "coverage/ResultsExport.h"
#include "engine/clsRFProp.h"
#include "platform/DbfDataSum.h"
#include "platform/terrain/TerrainSource.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

coverage::StudyResults Load(const fs::path& work, int task) {
  coverage::StudyResults s;
  EXPECT_EQ(coverage::LoadStudyResults(work / coverage::ResultsFileName(task), {}, s), "") << task;
  return s;
}

TEST(CombinedRun, SampleBestServerAndInterferenceMatchTheirInputs) {
  test::Installation inst;
  const fs::path work = inst.NewWork("work");
  const fs::path dataSum = platform::DefaultDataSumFile();

  // Inputs not run yet: refused, saying which task to run.
  CombinedRunResult r = RunCombinedStudy(work, 6, dataSum);
  EXPECT_NE(r.error.find("run task 3 first"), std::string::npos) << r.error;
  EXPECT_FALSE(fs::exists(work / coverage::ResultsFileName(6)));

  auto terrain = std::make_shared<platform::TerrainSource>();
  terrain->Add(fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt");
  for (int task : {3, 4, 5}) {
    clsRFProp e;
    e.bSilent(true);
    e.sWorkDir(work.string());
    e.iThreads(2);
    e.cTerrain(terrain);
    e.lTaskID(task);
    ASSERT_TRUE(e.cTask()) << e.sTaskMessage();
    e.RunCovArea();
    ASSERT_TRUE(e.LastRun().complete) << task;
  }
  const coverage::StudyResults in[] = {Load(work, 3), Load(work, 4), Load(work, 5)};

  // Best server (Min Threshold 60 dBu): the strongest input, 0 below 60 dBu.
  r = RunCombinedStudy(work, 6, dataSum);
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.complete);
  const coverage::StudyResults best = Load(work, 6);
  std::vector<std::int32_t> tasks;
  std::vector<int> classes;
  ASSERT_TRUE(coverage::ReadCombinedFields(best.table, best.points, tasks, classes));
  ASSERT_EQ(best.points.size(), in[0].points.size());
  for (std::size_t k = 0; k < best.points.size(); ++k) {
    int win = 0;
    for (int i = 1; i < 3; ++i)
      if (in[i].points[k].val > in[win].points[k].val) win = i;
    ASSERT_NEAR(best.points[k].val, in[win].points[k].val, 1e-4) << k;
    ASSERT_EQ(tasks[k], in[win].points[k].val >= 60 ? 3 + win : 0) << k;
  }

  // Interference: unserved below 60 dBu, interfered where the margin is short;
  // the co-channel signal (20 dB) alone bounds the margin.
  r = RunCombinedStudy(work, 7, dataSum);
  ASSERT_EQ(r.error, "");
  const coverage::StudyResults inter = Load(work, 7);
  ASSERT_TRUE(coverage::ReadCombinedFields(inter.table, inter.points, tasks, classes));
  int counted[3] = {0, 0, 0};
  for (std::size_t k = 0; k < inter.points.size(); ++k) {
    const double desired = in[0].points[k].val, margin = inter.points[k].val;
    const int want = desired < 60 ? 0 : margin < 0 ? 2 : 1;
    ASSERT_EQ(classes[k], want) << k;
    ASSERT_LE(margin, desired - (in[1].points[k].val + 20) + 1e-3) << k;
    ++counted[want];
  }
  EXPECT_GT(counted[0], 0);
  EXPECT_GT(counted[1], 0);
  EXPECT_GT(counted[2], 0);
  EXPECT_NE(r.text.find("interfered: "), std::string::npos) << r.text;
}

}  // namespace
}  // namespace zw
