#include "tasks/StudyTask.h"

#include <gtest/gtest.h>

#include <functional>

#include "TempDir.h"
#include "platform/FileSystem.h"
#include "tasks/StudyBuilder.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {
namespace {

namespace fs = std::filesystem;
const fs::path kDem = fs::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt";

// Each setting read whole, with its unit (refusals, which quote what was given: the
// study-* cases of the tests/bad corpus).
TEST(StudyRequestTest, SettingsAreReadWholeOrRefused) {
  struct Row {
    const char* name;
    const char* value;
    std::function<bool(const StudyRequest&)> want;
  };
  auto vu = [](const std::optional<ValueUnit>& v, double value, const char* unit) {
    return v && v->value == value && v->unit == unit;
  };
  const Row rows[] = {
      {"distance", "30", [&](const StudyRequest& s) { return vu(s.distance, 30, "km"); }},
      {"distance", "500m", [&](const StudyRequest& s) { return vu(s.distance, 500, "m"); }},
      {"--step", "10 mi", [&](const StudyRequest& s) { return vu(s.step, 10, "mi"); }},
      {"tx-agl", "330ft", [&](const StudyRequest& s) { return vu(s.txAgl, 330, "ft"); }},
      {"rx-agl", "9.1", [&](const StudyRequest& s) { return vu(s.rxAgl, 9.1, "m"); }},
      {"erp", "17dBk", [&](const StudyRequest& s) { return vu(s.erp, 17, "dBk"); }},
      {"erp", "50 kw", [&](const StudyRequest& s) { return vu(s.erp, 50, "kW"); }},
      {"freq", "1.9GHz", [](const StudyRequest& s) { return s.freqMHz == 1900.0; }},
      {"lat", "44 26 11.4 N", [](const StudyRequest& s) { return std::abs(*s.lat - 44.4365) < 1e-9; }},
      {"model", "Hata", [](const StudyRequest& s) { return s.model == "HD"; }},
      {"tile", "20km", [&](const StudyRequest& s) { return s.geometry == StudyGeometry::kTile && vu(s.tileExtent, 20, "km"); }},
      {"tile", "44.2,-71.7,44.7,-71.1", [](const StudyRequest& s) { return s.tileBounds && (*s.tileBounds)[3] == -71.1; }},
      {"AREA_COR", "2", [](const StudyRequest& s) { return s.modelSettings.size() == 1 && s.modelSettings[0].second == "2"; }},
  };
  for (const Row& r : rows) {
    StudyRequest s;
    const std::string why = ApplyStudySetting(s, r.name, r.value);
    EXPECT_EQ(why, "") << r.name << "=" << r.value;
    EXPECT_TRUE(r.want(s)) << r.name << "=" << r.value;
  }
}

StudyRequest Radials() {
  StudyRequest s;
  for (const auto& [k, v] : std::vector<std::pair<const char*, const char*>>{
           {"name", "WZWR"}, {"lat", "44.4365"}, {"lon", "-71.4131"}, {"freq", "98.5"}, {"erp", "50kW"},
           {"tx-agl", "100"}, {"rx-agl", "9.1"}, {"threshold", "60"}, {"model", "LR"}, {"radials", "4"},
           {"distance", "5"}, {"step", "1"}, {"dem", kDem.c_str()}})
    EXPECT_EQ(ApplyStudySetting(s, k, v), "") << k;
  return s;
}

// Nothing given: every missing value is named at once.
TEST(StudyBuilderTest, NamesEveryMissingValue) {
  StudyDraft d;
  const std::string why = BuildStudy(StudyRequest{}, true, d);
  for (const char* opt : {"--model", "--lat", "--freq", "--erp", "--tx-agl", "--rx-agl", "--threshold", "--radials"})
    EXPECT_NE(why.find(opt), std::string::npos) << opt << " in:\n" << why;
}

// A study written as a task reads back as given; the files load as a study.
TEST(StudyTaskTest, CreateReadsBackAndRefusedChangeLeavesFilesIntact) {
  zw::test::TempDir dir;
  const StudyOutcome made = CreateStudyTask(dir.path(), Radials(), {});
  ASSERT_EQ(made.id, 1) << made.error;
  clsQXTask t(dir.path());
  t.SetSilent(true);
  t.SetTaskID(1);
  EXPECT_EQ(t.sSum, "LR RAD 4 radials to 5 km, 60 dBu");
  EXPECT_EQ(t.sDesc, "WZWR: Longley-Rice, 4 radials to 5 km");
  const StudyRequest back = ReadStudy(t.File(), t.TaskPathsFile());
  EXPECT_EQ(back.radials, 4);
  EXPECT_EQ(back.distance->Text(), "5|km");
  EXPECT_EQ(back.step->Text(), "1|km");
  EXPECT_EQ(back.erp->Text(), "50|kW");
  EXPECT_GT(back.terrainElevation->value, 1000);  // Mount Waumbek, from the DEM
  const std::string words = DescribeStudy(back);
  for (const char* want : {"98.5 MHz", "50 kW", "100 m above ground", "9.1 m above ground", "60 dBu",
                           "Longley-Rice (LR)", "CONDUCTIVI = 0.005 S/m", "5 km long, a point every 1 km", "90 m"})
    EXPECT_NE(words.find(want), std::string::npos) << want << " in:\n" << words;

  // A change the load check refuses, and one with a bad value: both leave the files as they were.
  const std::string ini = *platform::ReadWholeFile(t.TaskINIFile());
  const std::string paths = *platform::ReadWholeFile(t.TaskPathsFile());
  auto refuse = [](const fs::path&) { return std::string("Invalid Task TX Frequency"); };
  EXPECT_NE(EditStudyTask(dir.path(), 1, {{"freq", "100"}, {"radials", "8"}}, refuse).error.find("Invalid Task TX"),
            std::string::npos);
  EXPECT_NE(EditStudyTask(dir.path(), 1, {{"freq", "x"}}, {}).error.find("'x'"), std::string::npos);
  EXPECT_EQ(*platform::ReadWholeFile(t.TaskINIFile()), ini);
  EXPECT_EQ(*platform::ReadWholeFile(t.TaskPathsFile()), paths);

  // An accepted change moves the points, the summary and the made description with it.
  const StudyOutcome set = EditStudyTask(dir.path(), 1, {{"radials", "8"}, {"distance", "3km"}}, {});
  ASSERT_EQ(set.id, 1) << set.error;
  t.SetTaskID(1);
  EXPECT_EQ(t.sSum, "LR RAD 8 radials to 3 km, 60 dBu");
  EXPECT_EQ(t.sDesc, "WZWR: Longley-Rice, 8 radials to 3 km");
  EXPECT_EQ(ReadStudy(t.File(), t.TaskPathsFile()).radials, 8);

  // A study the load check refuses leaves no task behind.
  EXPECT_EQ(CreateStudyTask(dir.path(), Radials(), refuse).id, kNoTask);
  EXPECT_FALSE(fs::exists(dir.path() / "T0000002.INI"));
  EXPECT_EQ(t.numTasks(), 1);
}

// A made description too long for the task table loses whole clauses, never
// half a number or unit; a description the user gave is refused instead.
TEST(StudyTaskTest, LongDescriptionsAreShortenedAtAClauseOrRefused) {
  zw::test::TempDir dir;
  StudyRequest long_name = Radials();
  long_name.name = "WZWR-FM Mount Waumbek relay, north site";
  const StudyOutcome made = CreateStudyTask(dir.path(), long_name, {});
  ASSERT_EQ(made.id, 1) << made.error;
  clsQXTask t(dir.path());
  t.SetSilent(true);
  t.SetTaskID(1);
  EXPECT_EQ(t.sDesc, "WZWR-FM Mount Waumbek relay, north site: Longley-Rice");
  StudyRequest given = Radials();
  given.desc = std::string(61, 'd');
  const StudyOutcome refused = CreateStudyTask(dir.path(), given, {});
  EXPECT_EQ(refused.id, kNoTask);
  EXPECT_NE(refused.error.find("longer than the 60 characters"), std::string::npos) << refused.error;
}

}  // namespace
}  // namespace zw::tasks
