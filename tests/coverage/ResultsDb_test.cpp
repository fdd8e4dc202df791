#include "coverage/ResultsDb.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include "Installation.h"
#include "coverage/ResultsTableWriter.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

namespace zw::coverage {
namespace {

namespace fs = std::filesystem;

class ResultsDbTest : public ::testing::Test {
 protected:
  test::Installation tmp;  // the table's folder
  platform::ScriptedMessages* messages = &tmp.messages();
};

// The one-pass writer encodes every record exactly as the table layer does
// for a skeleton record (AddRec1) later filled by UpdateRDBRec.
TEST_F(ResultsDbTest, TheOnePassWriterWritesTheRecordsTheTableLayerWrites) {
  struct Row {
    StudyPoint p;
    PointValue v;
  };
  const PointStatus done = PointStatus::kComputed;
  const Row rows[] = {
      {{44.1234567, -71.7654321, 359.999, 0.09}, {83.12345, 512.5f, 1.25f, 7, 2, 42, done}},
      {{-0.0000001, 179.9999999, 0.0005, 1234.56789}, {-0.00001, -32200.0f, 0, 0, 0, 1000, done}},
      {{10, -10, 90, 5}, {-999.0, 0, 0, 0, 4, -5, PointStatus::kModelFailed}},
      {{10.5, -10.5, 180, 2.5}, {}},  // not computed: a skeleton
      {{11, -11, 270, 3}, {1e6 - 0.5, 3000.25f, 12.345f, 0x7FFFFFFF, 32767, 999, done}},
  };
  const fs::path oneDir = tmp.path() / "one";
  fs::create_directories(oneDir);
  {
    ResultsTableWriter w;
    ASSERT_EQ(w.Create(oneDir / ResultsFileName(3), platform::DefaultDataSumFile()), "");
    std::vector<StudyPoint> points;
    std::vector<PointValue> values;
    for (const auto& r : rows) {
      points.push_back(r.p);
      values.push_back(r.v);
    }
    ASSERT_EQ(w.AddAll("ABCRAD", points, &values, 2), "");
    ASSERT_EQ(w.Finish(), "");
  }
  ResultsDb db(tmp.path(), 3);
  for (const auto& r : rows)
    ASSERT_TRUE(db.AddRec1("ABCRAD", r.p.lat, r.p.lon, r.p.az, r.p.disKm, kRdbNotComputed, 0, 0, -32200.0f, 0, 0));
  ASSERT_EQ(db.RDBSort("ASC", "ABCRAD"), "");
  for (int i = 0; i < db.Count(); ++i) {
    ASSERT_TRUE(db.Recordset()->MoveTo(i));
    const Row* r = &rows[db.Current()->record];
    if (r->v.status == PointStatus::kNotComputed) continue;
    ASSERT_EQ(db.UpdateRDBRec(r->v.fieldDbu, r->v.elvM, r->v.luCode, r->v.luLossDb, r->v.wrnBits, r->v.wrnLvl), "");
  }
  ASSERT_EQ(db.Close(), "");
  const std::string a = platform::ReadWholeFile(oneDir / ResultsFileName(3)).value_or("");
  const std::string b = platform::ReadWholeFile(tmp.path() / ResultsFileName(3)).value_or("");
  ASSERT_GT(a.size(), 32u);
  // Everything but the date of the last update (bytes 1 to 3).
  EXPECT_EQ(a.substr(4), b.substr(4));
  EXPECT_EQ(a.substr(0, 1), b.substr(0, 1));
}

TEST_F(ResultsDbTest, SkeletonRecordsFollowTheStorageRules) {
  ResultsDb db(tmp.path(), 7);
  ASSERT_TRUE(db.AddRec1("ABCRAD", 44.1, -71.2, 90, 5.5, kRdbNotComputed, 0, 0, -32200.0f, 1000, 3.0));
  ASSERT_TRUE(db.AddRec1("ABCRAD", 44.2, -71.3, 180, 2.5, kRdbNotComputed, 1, 2, 512.5f, 42, 1.5));
  ASSERT_TRUE(fs::exists(tmp.path() / "R0000007.DBF"));
  const auto all = db.ReadAll();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_TRUE(all[0].elvEmpty);    // -32200 means no elevation
  EXPECT_TRUE(all[0].luEmpty);     // code 1000 is not stored at all
  EXPECT_DOUBLE_EQ(all[0].val, kRdbNotComputed);
  EXPECT_FALSE(all[1].elvEmpty);
  EXPECT_FLOAT_EQ(all[1].elv, 512.5f);
  EXPECT_EQ(all[1].luCode, 42);
  EXPECT_DOUBLE_EQ(all[1].luLoss, 1.5);
  EXPECT_EQ(all[1].wrnBits, 2);
  // Updating writes what it is given: -32200 elevation, -1 for a bad code.
  db.MoveFirst();
  ASSERT_EQ(db.UpdateRDBRec(55.25, -32200.0f, 1000, 0.0, 8, 3), "");
  ASSERT_EQ(db.UpdateRDBLoc(6.0, 44.15, -71.25, 100.0f, 91.0), "");
  auto r = db.Current();
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->val, 55.25);
  EXPECT_EQ(r->luCode, -1);
  EXPECT_FALSE(r->luEmpty);
  EXPECT_FLOAT_EQ(r->elv, 100.0f);  // the location update came after
  EXPECT_EQ(r->wrnLvl, 3);
  EXPECT_EQ(r->wrnBits, 8);
  EXPECT_DOUBLE_EQ(r->az, 91.0);
  db.MoveNext();
  ASSERT_EQ(db.UpdateRDBRec(40, -32200.0f, -5, 0.0, 0, 0), "");
  EXPECT_FALSE(db.Current()->elvEmpty);
  EXPECT_FLOAT_EQ(db.Current()->elv, -32200.0f);
  EXPECT_EQ(db.Current()->luCode, -1);
  db.MoveNext();
  EXPECT_TRUE(db.Eof());
  EXPECT_NE(db.UpdateRDBRec(1, 1, 1, 1, 1, 1), "");  // no current record
  // Everything is on disk for another reader.
  ASSERT_EQ(db.Close(), "");
  ResultsDb again(tmp.path(), 7);
  ASSERT_EQ(again.Open(), "");
  EXPECT_EQ(again.Count(), 2);
  EXPECT_DOUBLE_EQ(again.ReadAll()[1].val, 40);
}

TEST_F(ResultsDbTest, SortSelectsTheStudyByAzimuthThenDistance) {
  ResultsDb db(tmp.path(), 8);
  const std::vector<std::tuple<const char*, double, double>> pts{
      {"TILXXX", 90, 3}, {"TILXXX", 0, 2}, {"OTHER", 0, 1}, {"TILXXX", 90, 1}, {"TILXXX", 0, 5}};
  for (const auto& [d, az, dis] : pts) ASSERT_TRUE(db.AddRec1(d, 1, 2, az, dis, kRdbNotComputed, 0, 0, 0, 0, 0));
  const std::string code = ResultsDb::StudyDescCode("TILXXX tile study", "", false);
  EXPECT_EQ(code, "TILXXX");
  ASSERT_EQ(db.RDBSort("ASC", code), "");
  EXPECT_EQ(db.Where(), "RDB_Desc = 'TILXXX' ");
  EXPECT_EQ(db.Order(), "RDB_AZ ASC,RDB_Dis ASC");
  std::vector<std::pair<double, double>> got;
  for (const auto& r : db.ReadAll()) got.emplace_back(r.az, r.dis);
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{0, 2}, {0, 5}, {90, 1}, {90, 3}}));
  ASSERT_EQ(db.RDBSort("DESC", code), "");
  got.clear();
  for (const auto& r : db.ReadAll()) got.emplace_back(r.az, r.dis);
  EXPECT_EQ(got, (std::vector<std::pair<double, double>>{{0, 5}, {0, 2}, {90, 3}, {90, 1}}));
  EXPECT_EQ(db.Position(), 0);
  EXPECT_NE(db.RDBSort("UP", code), "");
  // A quote in the code stays inside the filter text.
  ASSERT_EQ(db.RDBSort("ASC", "O'X"), "");
  EXPECT_EQ(db.Count(), 0);
  // Contour and target studies read their radials.
  EXPECT_EQ(ResultsDb::StudyDescCode("ABCCTR123", "ABCCT1", true), "ABCCT1");
  EXPECT_EQ(ResultsDb::StudyDescCode("ABCCTR123", "ABCCT1", false), "ABCRAD");
  EXPECT_EQ(ResultsDb::StudyDescCode("ABCTGT", "X", false), "ABCRAD");
  EXPECT_EQ(ResultsDb::StudyDescCode("AB", "X", false), "AB");
}

TEST_F(ResultsDbTest, ATableLackingAFieldIsRebuiltAndTheOldKept) {
  const auto file = tmp.path() / "R0000009.DBF";
  auto layout = platform::ReadDataSumLayout(platform::DefaultDataSumFile(), "RDBDBASE");
  ASSERT_TRUE(layout);
  layout->pop_back();  // no RDB_LULOSS
  ASSERT_EQ(platform::DbfTable::Create(file, *layout), "");
  {
    platform::DbfTable t;
    ASSERT_EQ(t.Open(file), "");
    ASSERT_EQ(t.Append({{"RDB_DESC", std::string("OLDRAD")}, {"RDB_VAL", 12.5}}), "");
  }
  ResultsDb db(tmp.path(), 9);
  ASSERT_EQ(db.Open(), "");
  ASSERT_TRUE(db.Recordset()->HasField("RDB_LULOSS"));
  ASSERT_EQ(db.Count(), 1);
  EXPECT_EQ(db.Current()->desc, "OLDRAD");
  EXPECT_DOUBLE_EQ(db.Current()->val, 12.5);
  int backups = 0;
  for (const auto& e : fs::directory_iterator(tmp.path()))
    if (e.path().filename().string().rfind("R0000009_", 0) == 0) ++backups;
  EXPECT_EQ(backups, 1);
}

TEST_F(ResultsDbTest, FailuresAreReportedAndLeaveTheTableAlone) {
  // A damaged table: message box, log line, no recordset, file untouched.
  const auto file = tmp.path() / "R0000010.DBF";
  {
    ResultsDb db(tmp.path(), 10);
    ASSERT_TRUE(db.AddRec1("A", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  }
  auto bytes = *platform::ReadWholeFile(file);
  bytes[4] = 50;  // more records than the file holds
  ASSERT_TRUE(platform::WriteFileAtomic(file, bytes));
  ResultsDb db(tmp.path(), 10);
  EXPECT_NE(db.Open(), "");
  EXPECT_EQ(db.Recordset(), nullptr);
  ASSERT_EQ(messages->Log().size(), 1u);
  EXPECT_EQ(messages->Log()[0].title, "Database Error");
  EXPECT_EQ(messages->Log()[0].text.rfind("Error opening database:", 0), 0u);
  EXPECT_NE(tmp.Log().find("Results Database Open Error: "), std::string::npos);
  EXPECT_FALSE(db.AddRec1("A", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  EXPECT_NE(tmp.Log().find("Error in RDB_AddRec1"), std::string::npos);
  EXPECT_EQ(*platform::ReadWholeFile(file), bytes);

  // A table held by another program.
  const auto other = tmp.path() / "R0000011.DBF";
  {
    ResultsDb first(tmp.path(), 11);
    ASSERT_EQ(first.Open(), "");
  }
  const int fd = ::open(other.c_str(), O_RDWR);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  ResultsDb locked(tmp.path(), 11);
  locked.SetSilent(true);
  const std::string err = locked.Open();
  EXPECT_NE(err.find("in use by another program"), std::string::npos) << err;
  EXPECT_NE(locked.Remove(), "");
  EXPECT_TRUE(fs::exists(other));
  ::close(fd);

  // A missing field-definition table.
  ResultsDb nodefs(tmp.path(), 12, tmp.path() / "NONE.DBF");
  nodefs.SetSilent(true);
  EXPECT_NE(nodefs.Open(), "");
  EXPECT_FALSE(fs::exists(tmp.path() / "R0000012.DBF"));
}

TEST_F(ResultsDbTest, ClearRemoveAndATableRemovedOrReplacedUnderTheRecordsetIsNoticed) {
  ResultsDb db(tmp.path(), 14);
  ASSERT_TRUE(db.AddRec1("A", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  EXPECT_EQ(db.StillInPlace(), "");
  ASSERT_EQ(db.Clear(), "");  // our own replacement is the table from now on
  EXPECT_EQ(db.StillInPlace(), "");

  fs::remove(db.File());
  EXPECT_NE(db.StillInPlace().find("was removed or replaced"), std::string::npos);
  db.Close();
  EXPECT_EQ(db.StillInPlace(), "");  // nothing held, nothing to lose

  ASSERT_TRUE(db.AddRec1("B", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  fs::copy_file(db.File(), tmp.path() / "copy.dbf");
  fs::rename(tmp.path() / "copy.dbf", db.File());  // another file of the same name
  EXPECT_NE(db.StillInPlace(), "");

  // Clear empties, Remove deletes (and a second Remove is no failure).
  ResultsDb db13(tmp.path(), 13);
  ASSERT_TRUE(db13.AddRec1("A", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  ASSERT_EQ(db13.Clear(), "");
  EXPECT_TRUE(db13.IsOpen());
  EXPECT_EQ(db13.Count(), 0);
  ASSERT_TRUE(db13.AddRec1("B", 1, 2, 3, 4, 5, 0, 0, 0, 0, 0));
  EXPECT_EQ(db13.Count(), 1);
  ASSERT_EQ(db13.Remove(), "");
  EXPECT_FALSE(fs::exists(db13.File()));
  EXPECT_EQ(db13.Remove(), "");
}

}  // namespace
}  // namespace zw::coverage
