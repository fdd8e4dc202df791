#include "platform/DbfTable.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfDatabase.h"
#include "platform/DbfUpkeep.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <tuple>
#include <iterator>
#include <random>

#include "TempDir.h"

namespace zw::platform {
namespace {

namespace fs = std::filesystem;

const std::vector<DbfField> kLayout{
    {"NAME", 'C', 8, 0}, {"COUNT", 'N', 5, 0}, {"VALUE", 'N', 10, 3}, {"FLAG", 'L', 1, 0}, {"DAY", 'D', 8, 0},
};

std::string ReadBytes(const fs::path& p) { return ReadWholeFile(p).value_or(""); }
void WriteBytes(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

int FilesIn(const fs::path& dir) {
  return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// The little-endian number of `size` bytes at `at` (header fields).
unsigned Le(const std::string& b, std::size_t at, int size = 2) {
  unsigned v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

using Values = std::vector<std::pair<std::string, FieldValue>>;

class DbfTableTest : public ::testing::Test {
 protected:
  // A table of kLayout holding the rows, closed again.
  fs::path MakeTable(const std::string& name = "T.DBF", const std::vector<Values>& rows = {}) {
    const auto p = tmp.path() / name;
    EXPECT_EQ(DbfTable::Create(p, kLayout), "");
    DbfTable t;
    EXPECT_EQ(t.Open(p), "");
    for (const auto& r : rows) EXPECT_EQ(t.Append(r), "");
    return p;
  }
  // A new empty table of kLayout, open for update in `t`.
  fs::path OpenNew() {
    const auto p = MakeTable();
    EXPECT_EQ(t.Open(p), "");
    return p;
  }
  test::TempDir tmp;
  DbfTable t;  // the table OpenNew opened
};

TEST_F(DbfTableTest, CreatedTableReopensWithItsLayoutAndValuesWideNumbersAsDoubles) {
  const auto p = MakeTable();
  {
    DbfTable t;
    ASSERT_EQ(t.Open(p), "");
    EXPECT_EQ(t.Fields(), kLayout);
    EXPECT_EQ(t.RecordCount(), 0);
    int rec = -1;
    ASSERT_EQ(t.Append({{"name", std::string("abc  ")}, {"COUNT", 42}, {"VALUE", 3.14159}, {"FLAG", true},
                        {"DAY", std::string("2024-02-29")}},
                       &rec),
              "");
    EXPECT_EQ(rec, 0);
    ASSERT_EQ(t.AppendBlank(&rec), "");
    EXPECT_EQ(rec, 1);
    EXPECT_EQ(t.Close(), "");
  }
  DbfTable t;
  ASSERT_EQ(t.Open(p, true), "");
  ASSERT_EQ(t.RecordCount(), 2);
  // {record, field, value read}: the value kept to the field's 3 decimals; a
  // blank record reads as empty text, 0 and false; bad record numbers and
  // field names never read outside the file.
  const std::tuple<int, const char*, FieldValue> reads[] = {
      {0, "NAME", std::string("abc")}, {0, "COUNT", std::int32_t{42}}, {0, "VALUE", 3.142}, {0, "FLAG", true},
      {0, "DAY", std::string("20240229")}, {1, "NAME", std::string()}, {1, "COUNT", std::int32_t{0}},
      {1, "VALUE", 0.0}, {1, "FLAG", false}, {2, "NAME", std::string()}, {-1, "NAME", std::string()},
      {0, "NOSUCH", std::string()}};
  for (const auto& [rec, field, want] : reads) EXPECT_EQ(t.Value(rec, field), want) << rec << " " << field;
  // The blank record says it is empty.
  EXPECT_TRUE(t.IsNull(1, "VALUE"));
  EXPECT_FALSE(t.IsNull(0, "VALUE"));
  EXPECT_FALSE(t.Row(2).has_value());
  ASSERT_TRUE(t.Row(0).has_value());
  EXPECT_EQ(t.Row(0)->size(), kLayout.size());
  // Wide numeric fields read as doubles.
  const auto w = tmp.path() / "W.DBF";
  ASSERT_EQ(DbfTable::Create(w, {{"BIG", 'N', 11, 0}, {"SMALL", 'N', 9, 0}}), "");
  DbfTable wide;
  ASSERT_EQ(wide.Open(w), "");
  ASSERT_EQ(wide.Append({{"BIG", 12345678901.0}, {"SMALL", -99999999}}), "");
  EXPECT_EQ(wide.Value(0, "BIG"), FieldValue(12345678901.0));
  EXPECT_EQ(wide.Value(0, "SMALL"), FieldValue(std::int32_t{-99999999}));
}

TEST_F(DbfTableTest, ValuesAreConvertedToTheFieldTypeOrRefusedAddingNothing) {
  OpenNew();
  ASSERT_EQ(t.AppendBlank(), "");
  // Text is cut at the width; numbers given as text are parsed.
  EXPECT_EQ(t.Set(0, "NAME", std::string("ABCDEFGHIJK")), "");
  EXPECT_EQ(t.Text(0, "NAME"), "ABCDEFGH");
  EXPECT_EQ(t.Set(0, "VALUE", std::string(" -12.5 ")), "");
  EXPECT_EQ(t.Number(0, "VALUE"), -12.5);
  // Whole-number fields round halves away from zero; a rounded -0 is 0.
  EXPECT_EQ(t.Set(0, "COUNT", 2.5), "");
  EXPECT_EQ(t.Value(0, "COUNT"), FieldValue(std::int32_t{3}));
  EXPECT_EQ(t.Set(0, "COUNT", -2.5), "");
  EXPECT_EQ(t.Value(0, "COUNT"), FieldValue(std::int32_t{-3}));
  EXPECT_EQ(t.Set(0, "VALUE", -0.0001), "");
  EXPECT_FALSE(t.IsNull(0, "VALUE"));
  EXPECT_EQ(t.Text(0, "VALUE"), "0");
  // Refused values leave the field as it was.
  EXPECT_EQ(t.Set(0, "COUNT", 7), "");
  const std::pair<const char*, FieldValue> refused[] = {
      {"COUNT", 123456},  // 6 digits in a width of 5
      {"COUNT", std::string("12abc")}, {"COUNT", std::numeric_limits<double>::quiet_NaN()},
      {"FLAG", std::string("maybe")}, {"DAY", std::string("2024-2-9")}, {"NOSUCH", 1}};
  for (const auto& [field, value] : refused) EXPECT_NE(t.Set(0, field, value), "") << field;
  EXPECT_EQ(t.Value(0, "COUNT"), FieldValue(std::int32_t{7}));
  // Empty text empties a numeric field; logical text forms.
  EXPECT_EQ(t.Set(0, "COUNT", std::string("  ")), "");
  EXPECT_TRUE(t.IsNull(0, "COUNT"));
  EXPECT_EQ(t.Set(0, "FLAG", std::string(".T.")), "");
  EXPECT_EQ(t.Value(0, "FLAG"), FieldValue(true));
  EXPECT_EQ(t.Set(0, "FLAG", std::string("false")), "");
  EXPECT_EQ(t.Value(0, "FLAG"), FieldValue(false));
  EXPECT_EQ(t.Set(0, "FLAG", -1), "");
  EXPECT_EQ(t.Value(0, "FLAG"), FieldValue(true));
  EXPECT_EQ(t.Set(0, "FLAG", std::string()), "");
  EXPECT_TRUE(t.IsNull(0, "FLAG"));
  // A refused append adds no record.
  EXPECT_NE(t.Append({{"NAME", std::string("ok")}, {"COUNT", 999999}}), "");
  EXPECT_NE(t.Append({{"NOSUCH", 1}}), "");
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(DbfTableTest, DeletedRecordsAreMarkedAndSkippedAndReadOnlyTablesRefuseEveryChange) {
  const auto p = OpenNew();
  for (const char* n : {"a", "b", "a"}) ASSERT_EQ(t.Append({{"NAME", std::string(n)}}), "");
  ASSERT_EQ(t.Delete(0), "");
  EXPECT_TRUE(t.IsDeleted(0));
  EXPECT_EQ(t.RecordCount(), 3);  // marked, not removed
  EXPECT_EQ(t.AllRecords(), (std::vector<int>{1, 2}));
  EXPECT_EQ(t.Find("NAME", std::string("a")), (std::vector<int>{2}));
  EXPECT_NE(t.Delete(3), "");
  EXPECT_EQ(t.FindFirst("NAME", std::string("a")), 2);
  // The mark survives closing.
  ASSERT_EQ(t.Delete(1), "");
  t.Close();
  const auto before = ReadBytes(p);
  ASSERT_EQ(t.Open(p, true), "");
  EXPECT_TRUE(t.IsDeleted(1));
  // Read-only: every change is refused and the file stays as it was.
  EXPECT_NE(t.Set(2, "NAME", std::string("y")), "");
  EXPECT_NE(t.AppendBlank(), "");
  EXPECT_NE(t.Delete(2), "");
  t.Close();
  EXPECT_EQ(ReadBytes(p), before);
}

TEST_F(DbfTableTest, FindComparesByTheFieldType) {
  OpenNew();
  ASSERT_EQ(t.Append({{"NAME", std::string("Alpha")}, {"VALUE", 1.2344}, {"FLAG", true}}), "");
  ASSERT_EQ(t.Append({{"NAME", std::string("alpha")}, {"VALUE", 2.0}}), "");
  EXPECT_EQ(t.Find("NAME", std::string("Alpha")), (std::vector<int>{0}));
  EXPECT_EQ(t.Find("name", std::string("ALPHA"), true), (std::vector<int>{0, 1}));
  EXPECT_EQ(t.Find("NAME", std::string("Alph")), std::vector<int>{});
  // Numbers match at the field's precision, whatever form they come in.
  EXPECT_EQ(t.Find("VALUE", 1.2343999), (std::vector<int>{0}));
  EXPECT_EQ(t.Find("VALUE", std::string("2")), (std::vector<int>{1}));
  EXPECT_EQ(t.Find("VALUE", std::int32_t{2}), (std::vector<int>{1}));
  EXPECT_EQ(t.Find("FLAG", true), (std::vector<int>{0}));
  EXPECT_EQ(t.Find("FLAG", std::string("")), (std::vector<int>{1}));  // the empty one
  EXPECT_EQ(t.Find("NOSUCH", 1), std::vector<int>{});
  EXPECT_EQ(t.FindFirst("VALUE", 99.0), -1);
}

TEST_F(DbfTableTest, SortingIsStableAndTheRecordsetViewFiltersOrdersAndEdits) {
  OpenNew();
  // name, count
  const std::vector<std::pair<std::string, std::string>> rows{
      {"b", "2"}, {"a", "10"}, {"b", ""}, {"a", "9"}, {"b", "2"}, {"a", "-1"}};
  for (const auto& [n, c] : rows) ASSERT_EQ(t.Append({{"NAME", n}, {"COUNT", c}}), "");
  EXPECT_EQ(t.Sorted({{"COUNT", false}}), (std::vector<int>{2, 5, 0, 4, 3, 1}));
  EXPECT_EQ(t.Sorted({{"NAME", false}, {"COUNT", true}}), (std::vector<int>{1, 3, 5, 0, 4, 2}));
  // A subset keeps to its members.
  const std::vector<int> some{4, 1, 0};
  EXPECT_EQ(t.Sorted({{"COUNT", true}}, &some), (std::vector<int>{1, 4, 0}));
  std::string error;
  EXPECT_EQ(t.Sorted({{"NOSUCH", false}}, &some, &error), some);
  EXPECT_NE(error, "");
  // The recordset view filters, orders and edits.
  const auto p2 = MakeTable("V.DBF");
  DbfTable t2;
  ASSERT_EQ(t2.Open(p2), "");
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(t2.Append({{"NAME", std::string(i % 2 ? "odd" : "even")}, {"COUNT", i}}), "");
  ASSERT_EQ(t2.Delete(4), "");
  auto even = [](const DbfTable& tb, int r) { return tb.Text(r, "NAME") == "even"; };
  ASSERT_EQ(t2.Select(even, {{"COUNT", true}}), "");
  EXPECT_EQ(t2.ViewCount(), 2);  // 0 and 2; 4 is deleted
  std::vector<int> seen;
  for (t2.MoveFirst(); !t2.Eof(); t2.MoveNext()) {
    seen.push_back(std::get<std::int32_t>(t2.Value(t2.Current(), "COUNT")));
    ASSERT_EQ(t2.UpdateCurrent({{"VALUE", 1.5}}), "");
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 0}));
  EXPECT_EQ(t2.Current(), -1);
  EXPECT_NE(t2.UpdateCurrent({{"VALUE", 1.0}}), "");  // past the end
  EXPECT_EQ(t2.Number(2, "VALUE"), 1.5);
  EXPECT_TRUE(t2.IsNull(1, "VALUE"));
  ASSERT_EQ(t2.AddNew({}), "");
  EXPECT_EQ(t2.ViewCount(), 3);
  EXPECT_EQ(t2.Current(), 6);
  EXPECT_EQ(t2.Position(), 2);
  EXPECT_NE(t2.Select({}, {{"NOSUCH", false}}), "");
  ASSERT_EQ(t2.Select(), "");
  EXPECT_EQ(t2.ViewCount(), 6);
}

TEST_F(DbfTableTest, CopyFieldsTakesTheNamedFieldsOfLiveRecords) {
  const auto oldPath = MakeTable("OLD.DBF", {{{"NAME", std::string("first")}, {"COUNT", 1}},
                                             {{"NAME", std::string("gone")}, {"COUNT", 2}},
                                             {{"COUNT", 3}}});
  const auto newPath = tmp.path() / "NEW.DBF";
  ASSERT_EQ(DbfTable::Create(newPath, {{"COUNT", 'N', 8, 0}, {"EXTRA", 'N', 6, 2}, {"NAME", 'C', 3, 0}}), "");
  DbfTable src, dst;
  ASSERT_EQ(src.Open(oldPath), "");
  ASSERT_EQ(src.Delete(1), "");
  ASSERT_EQ(dst.Open(newPath), "");
  int copied = 0;
  EXPECT_NE(dst.CopyFieldsFrom(src, {"VALUE"}), "");  // not in NEW
  ASSERT_EQ(dst.CopyFieldsFrom(src, {"COUNT", "name"}, &copied), "");
  EXPECT_EQ(copied, 2);
  ASSERT_EQ(dst.RecordCount(), 2);
  EXPECT_EQ(dst.Text(0, "NAME"), "fir");
  EXPECT_EQ(dst.Number(1, "COUNT"), 3);
  EXPECT_TRUE(dst.IsNull(1, "NAME"));
  EXPECT_TRUE(dst.IsNull(0, "EXTRA"));
}

TEST_F(DbfTableTest, CreationIsAtomicChecksTheLayoutAndKeepsWhatExists) {
  const auto p = MakeTable();
  const auto before = ReadBytes(p);
  EXPECT_NE(DbfTable::Create(p, kLayout), "");  // exists
  EXPECT_EQ(ReadBytes(p), before);
  const auto q = tmp.path() / "Q.DBF";
  const std::vector<std::vector<DbfField>> refused{
      {}, {{"TOOLONGNAME1", 'C', 5, 0}}, {{"A", 'C', 5, 0}, {"a", 'N', 5, 0}}, {{"A", 'C', 0, 0}},
      {{"A", 'C', 255, 0}}, {{"A", 'N', 5, 4}}, {{"A", 'M', 10, 0}}, {{"1A", 'C', 5, 0}}};
  for (const auto& layout : refused) EXPECT_NE(DbfTable::Create(q, layout), "") << layout.size();
  EXPECT_NE(DbfTable::Create(tmp.path() / "Q.TXT", kLayout), "");
  EXPECT_NE(DbfTable::Create(tmp.path() / "missing" / "Q.DBF", kLayout), "");
  EXPECT_FALSE(fs::exists(q));
  EXPECT_EQ(FilesIn(tmp.path()), 1);  // no temporary file left behind
  // Replacing writes a fresh empty table.
  {
    DbfTable t;
    ASSERT_EQ(t.Open(p), "");
    ASSERT_EQ(t.AppendBlank(), "");
  }
  ASSERT_EQ(DbfTable::Create(p, {{"ONLY", 'C', 4, 0}}, true), "");
  DbfTable t;
  ASSERT_EQ(t.Open(p), "");
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.Fields().size(), 1u);
  EXPECT_EQ(FilesIn(tmp.path()), 1);
  // Open-or-create keeps an existing table.
  t.Close();
  const auto oc = tmp.path() / "OC.DBF";
  ASSERT_EQ(t.OpenOrCreate(oc, kLayout), "");
  ASSERT_EQ(t.Append({{"NAME", std::string("kept")}}), "");
  t.Close();
  ASSERT_EQ(t.OpenOrCreate(oc, {{"OTHER", 'C', 3, 0}}), "");
  EXPECT_EQ(t.Text(0, "NAME"), "kept");
}

TEST_F(DbfTableTest, DamagedFilesAreRefusedAndLeftAsTheyWere) {
  std::vector<Values> rows;
  for (int i = 0; i < 5; ++i) rows.push_back({{"NAME", std::string("r")}, {"COUNT", i}});
  const auto good = MakeTable("GOOD.DBF", rows);
  const std::string bytes = ReadBytes(good);
  const unsigned headerLength = Le(bytes, 8);
  auto with = [&](std::size_t at, char c) {
    std::string b = bytes;
    b[at] = c;
    return b;
  };
  std::mt19937 gen(7);
  std::string junk(1 << 20, '\0');
  for (auto& c : junk) c = static_cast<char>(gen());
  std::string noFields = bytes.substr(0, 32) + std::string(1, '\x0D');
  noFields[8] = 33;
  noFields[9] = 0;
  std::string recordTooShort = with(10, 5);
  recordTooShort[11] = 0;
  const struct {
    const char* name;
    std::string content;
    const char* says;  // in the message, when not empty
  } cases[] = {
      {"EMPTY.DBF", "", ""},
      {"SHORT.DBF", bytes.substr(0, 20), "too short"},
      {"JUNK.DBF", junk, ""},
      {"TRUNC.DBF", bytes.substr(0, headerLength + 43 * 2 + 10), "truncated"},
      {"MANY.DBF", with(4, 50), "truncated"},
      {"RECLEN.DBF", recordTooShort, ""},
      {"HDRLEN.DBF", bytes.substr(0, 40), ""},
      {"HDRBIG.DBF", with(9, 0x7f), "bad header"},
      {"NOFLD.DBF", noFields, ""},
      {"ZEROW.DBF", with(32 + 16, 0), "bad field"},
      {"TEXT.DBF", "TABLE_TYPE,DATASUM_ID\nQXLRFLDS,1\n", ""},
  };
  for (const auto& c : cases) {
    const auto p = tmp.path() / c.name;
    WriteBytes(p, c.content);
    DbfTable t;
    const std::string err = t.Open(p);
    EXPECT_NE(err, "") << c.name;
    EXPECT_NE(err.find(c.says), std::string::npos) << c.name << ": " << err;
    EXPECT_FALSE(t.IsOpen()) << c.name;
    EXPECT_EQ(t.RecordCount(), 0) << c.name;
    EXPECT_EQ(t.Value(0, 0), FieldValue(std::string())) << c.name;
    EXPECT_NE(t.AppendBlank(), "") << c.name;
    DbfUpkeep up;
    EXPECT_NE(EnsureDbfTable(p, kLayout, true, true, nullptr, &up), "") << c.name;
    EXPECT_EQ(ReadBytes(p), c.content) << c.name;
  }
  DbfTable t;
  EXPECT_NE(t.Open(tmp.path() / "NONE.DBF"), "");
  EXPECT_NE(t.Open(tmp.path()), "");  // a directory
  fs::copy_file(good, tmp.path() / "GOOD.TXT");
  EXPECT_NE(t.Open(tmp.path() / "GOOD.TXT"), "");
  // An unknown field type: readable, but not written.
  const auto odd = tmp.path() / "ODD.DBF";
  WriteBytes(odd, with(32 + 11, 'Q'));
  if (t.Open(odd).empty()) {
    EXPECT_NE(t.Set(0, "NAME", std::string("z")), "");
    t.Close();
  }
  EXPECT_EQ(ReadBytes(odd), with(32 + 11, 'Q'));
}

// Odd bytes inside a record: garbage and overflow stars read as empty; a short
// numeric field spelling a huge number (found by fuzzing: "1e300" in a
// five-character integer field) reads as that number.
TEST_F(DbfTableTest, GarbageInsideRecordsReadsAsEmptyAndHugeSpellingsAsTheirNumber) {
  const auto p = MakeTable("T.DBF", {{{"NAME", std::string("x")}, {"COUNT", 7}, {"VALUE", 1.0}}});
  std::string b = ReadBytes(p);
  const std::size_t count = Le(b, 8) + 1 + 8;  // after the deletion flag and NAME
  b.replace(count + 5, 10, "**********");     // VALUE, overflow stars
  const std::pair<const char*, FieldValue> cases[] = {
      {"1x2*!", std::int32_t{0}}, {"1e300", 1e300}, {"-9e99", -9e99}, {"3e+09", 3e9}};
  for (const auto& [spelled, want] : cases) {
    b.replace(count, 5, spelled);
    WriteBytes(p, b);
    DbfTable t;
    ASSERT_EQ(t.Open(p, true), "");
    EXPECT_EQ(t.Value(0, "COUNT"), want) << spelled;
    EXPECT_TRUE(t.IsNull(0, "VALUE"));
    EXPECT_TRUE(t.Row(0).has_value());
  }
}

// ---- Field-definition table.

TEST(DataSumTable, RowsComeInIdentifierOrderAndInvalidRowsAreMarked) {
  test::TempDir tmp;
  const auto p = tmp.path() / "DS.DBF";
  ASSERT_EQ(DbfTable::Create(p, {{"TABLE_TYPE", 'C', 10, 0}, {"DATASUM_ID", 'N', 6, 0}, {"FLD_NAME", 'C', 10, 0},
                                 {"FLD_WIDTH", 'N', 3, 0}, {"VB_TYPE", 'C', 10, 0}, {"FLD_DEC", 'N', 2, 0},
                                 {"FOX_TYPE", 'C', 1, 0}}),
            "");
  {
    DbfTable t;
    ASSERT_EQ(t.Open(p), "");
    auto add = [&](const char* type, int id, const char* name, const char* vb) {
      ASSERT_EQ(t.Append({{"TABLE_TYPE", std::string(type)}, {"DATASUM_ID", id}, {"FLD_NAME", std::string(name)},
                          {"FLD_WIDTH", 10}, {"VB_TYPE", std::string(vb)}, {"FLD_DEC", 2}, {"FOX_TYPE", std::string("N")}}),
                "");
    };
    add("QXZZFLDS", 30, "THIRD", "DOUBLE");
    add("QXZZFLDS", 10, "FIRST", "DOUBLE");
    add("OTHER", 20, "ELSE", "DOUBLE");
    add("qxzzflds", 20, "SECOND", "");
  }
  std::string error;
  auto rows = ReadDataSumFields(p, "QXZZFLDS", &error);
  ASSERT_TRUE(rows) << error;
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ((*rows)[0].name, "FIRST");
  EXPECT_EQ((*rows)[1].name, "SECOND");
  EXPECT_FALSE((*rows)[1].Valid());
  EXPECT_EQ((*rows)[2].name, "THIRD");
  EXPECT_EQ((*rows)[2].width, 10);
  EXPECT_EQ((*rows)[2].decimals, 2);
  auto layout = ReadDataSumLayout(p, "QXZZFLDS");
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->size(), 2u);
  EXPECT_TRUE(ReadDataSumFields(p, "NOTHING")->empty());
  EXPECT_FALSE(ReadDataSumFields(tmp.path() / "NONE.DBF", "QXZZFLDS", &error));
  EXPECT_NE(error, "");
  // A table without the columns is not a field-definition table.
  const auto q = tmp.path() / "NOTDS.DBF";
  ASSERT_EQ(DbfTable::Create(q, {{"TABLE_TYPE", 'C', 10, 0}}), "");
  EXPECT_FALSE(ReadDataSumFields(q, "QXZZFLDS"));
}

TEST(DataSumTable, MatchesItsTextSourceAndShippedLayoutsAreCompleteAndWritable) {
  const fs::path dir = RAVO_DATA_DIR;
  // Each line of the text source is its record's fields joined by commas.
  std::vector<std::string> csv;
  std::ifstream in(dir / "ZWDATASM.csv");
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line != "\r") csv.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
  ASSERT_GT(csv.size(), 1u);
  const char* columns[] = {"TABLE_TYPE", "DATASUM_ID", "FLD_NAME", "FLD_WIDTH", "VB_TYPE", "FLD_DEC", "FOX_TYPE"};
  EXPECT_EQ(csv[0], "TABLE_TYPE,DATASUM_ID,FLD_NAME,FLD_WIDTH,VB_TYPE,FLD_DEC,FOX_TYPE");
  DbfTable t;
  ASSERT_EQ(t.Open(dir / "ZWDATASM.DBF", true), "");
  ASSERT_EQ(t.AllRecords().size(), csv.size() - 1) << "rebuild with the zwdatasm target";
  for (std::size_t r = 1; r < csv.size(); ++r) {
    std::string fields;
    for (const char* c : columns) fields += (fields.empty() ? "" : ",") + t.Text(static_cast<int>(r - 1), c);
    EXPECT_EQ(fields, csv[r]) << "line " << r + 1;
  }
  const auto file = DefaultDataSumFile();
  test::TempDir tmp;
  const std::vector<std::string> types{"RDBDBASE", "TSKDBASE", "QXLRFLDS", "QXBUFLDS", "QXROFLDS",
                                       "QXSHFLDS", "QXSFFLDS", "QXEGFLDS", "QXHDFLDS", "QXOKFLDS",
                                       "QXBCFLDS", "QXSMFLDS", "QXCAFLDS", "QXCXFLDS", "QXCGFLDS"};
  for (const auto& type : types) {
    std::string error;
    auto rows = ReadDataSumFields(file, type, &error);
    ASSERT_TRUE(rows) << error;
    ASSERT_FALSE(rows->empty()) << type;
    for (const auto& row : *rows) EXPECT_TRUE(row.Valid()) << type << " " << row.name;
    auto layout = ReadDataSumLayout(file, type);
    ASSERT_TRUE(layout);
    EXPECT_EQ(ValidateDbfLayout(*layout), "") << type;
    EXPECT_EQ(DbfTable::Create(tmp.path() / (type + ".DBF"), *layout), "") << type;
  }
  auto names = [&](const std::string& type) {
    std::vector<std::string> n;
    const auto rows = ReadDataSumFields(file, type);
    if (rows)
      for (const auto& r : *rows) n.push_back(r.name);
    return n;
  };
  // Keys the readers look up as written keep their spelling.
  EXPECT_EQ(names("QXHDFLDS"), (std::vector<std::string>{"AREA_COR", "hd_hstrt", "hd_hstrtun", "hd_hstop",
                                                          "hd_hstopun", "hd_hradial", "HD_LUAREA", "HD_LULOSS",
                                                          "HD_DESC"}));
  EXPECT_EQ(names("QXEGFLDS"), (std::vector<std::string>{"EG_DESC"}));
  EXPECT_EQ(names("QXSFFLDS"), names("QXSHFLDS"));
}


// ---- Crash safety, locking, bad headers, statements, upkeep.

// Number of records the header promises, and whether they are all in the file.
std::pair<int, bool> HeaderRecords(const fs::path& p) {
  const std::string b = ReadBytes(p);
  if (b.size() < 12) return {-1, false};
  const int n = static_cast<int>(Le(b, 4, 4));
  return {n, Le(b, 8) + static_cast<std::size_t>(n) * Le(b, 10) <= b.size()};
}

TEST_F(DbfTableTest, AKillAtAnyWriteLeavesTheTableBeforeOrAfter) {
  // For each write of an append and of an edit, a child process dies right
  // there (optionally after half the bytes); the table must then open with
  // the old or the new content and a header matching the file.
  for (int op = 0; op < 2; ++op) {
    for (int k = 1; k <= 4; ++k) {
      for (bool partial : {false, true}) {
        fs::remove(tmp.path() / "K.DBF");
        const auto p = MakeTable("K.DBF", {{{"NAME", std::string("one")}, {"COUNT", 1}}});
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
          DbfTable t;
          if (!t.Open(p).empty()) _exit(2);
          t.SetWriteFault({k, partial, true});
          if (op == 0) t.Append({{"NAME", std::string("two")}, {"COUNT", 2}});
          else t.Update(0, {{"NAME", std::string("uno")}, {"COUNT", 11}});
          t.Close();
          _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        const auto [n, whole] = HeaderRecords(p);
        EXPECT_TRUE(whole) << op << " " << k;
        DbfTable t;
        ASSERT_EQ(t.Open(p, true), "") << op << " " << k;
        if (op == 0) {
          EXPECT_TRUE(t.RecordCount() == 1 || t.RecordCount() == 2);
          if (t.RecordCount() == 2) {
            EXPECT_EQ(t.Text(1, "NAME"), "two");
          }
          EXPECT_EQ(t.Text(0, "NAME"), "one");
        } else {
          ASSERT_EQ(t.RecordCount(), 1);
          const bool before = t.Text(0, "NAME") == "one" && t.Number(0, "COUNT") == 1;
          const bool after = t.Text(0, "NAME") == "uno" && t.Number(0, "COUNT") == 11;
          EXPECT_TRUE(before || after) << k << " " << t.Text(0, "NAME");
        }
      }
    }
  }
}

TEST_F(DbfTableTest, AFailedWriteIsReportedAndNothingMoreIsWritten) {
  const auto p = OpenNew();
  ASSERT_EQ(t.Append({{"NAME", std::string("a")}}), "");
  t.SetWriteFault({1, true, false});  // the record write fails half-way (disk full)
  const std::string err = t.Append({{"NAME", std::string("b")}});
  EXPECT_NE(err.find("not saved"), std::string::npos) << err;
  EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;  // the cause, named
  EXPECT_NE(err.find(p.string()), std::string::npos) << err;
  EXPECT_NE(t.Set(0, "NAME", std::string("x")), "");  // refused from now on
  EXPECT_NE(t.Close(), "");
  const auto [n, whole] = HeaderRecords(p);
  EXPECT_EQ(n, 1);
  EXPECT_TRUE(whole);
  DbfTable again;
  ASSERT_EQ(again.Open(p), "");
  EXPECT_EQ(again.Text(0, "NAME"), "a");
  ASSERT_EQ(again.Append({{"NAME", std::string("c")}}), "");  // writes over the half record
  EXPECT_EQ(again.RecordCount(), 2);
  EXPECT_EQ(again.Text(1, "NAME"), "c");
}

TEST_F(DbfTableTest, UpdateOfSeveralFieldsIsAllOrNothingAndATableOpenForUpdateIsLocked) {
  OpenNew();
  ASSERT_EQ(t.Append({{"NAME", std::string("a")}, {"COUNT", 5}}), "");
  EXPECT_NE(t.Update(0, {{"NAME", std::string("b")}, {"COUNT", 123456}}), "");  // does not fit
  EXPECT_NE(t.Update(0, {{"NAME", std::string("b")}, {"NOPE", 1}}), "");
  EXPECT_EQ(t.Text(0, "NAME"), "a");
  ASSERT_EQ(t.Update(0, {{"name", std::string("b")}, {"count", 7}, {"VALUE", std::string()}}), "");
  EXPECT_EQ(t.Text(0, "NAME"), "b");
  EXPECT_TRUE(t.IsNull(0, "VALUE"));
  // A table open for update is locked.
  const auto p2 = MakeTable("L.DBF");
  const int fd = ::open(p2.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // as another program would
  DbfTable t2;
  const std::string err = t2.Open(p2);
  EXPECT_NE(err.find("in use by another program"), std::string::npos) << err;
  EXPECT_EQ(t2.Open(p2, true), "");  // reading is still possible
  t2.Close();
  flock(fd, LOCK_UN);
  ::close(fd);
  EXPECT_EQ(t2.Open(p2), "");
  DbfTable second;
  EXPECT_NE(second.Open(p2), "");
}

TEST_F(DbfTableTest, SelectQueriesFilterAndOrder) {
  std::vector<Values> rows;
  const std::vector<std::tuple<const char*, int, double>> named{
      {"abc", 2, 5.0}, {"ABC ", 1, 7.5}, {"x'y", 3, 1.0}, {"abc", 1, 2.0}, {"zzz", 2, 9.0}};
  for (const auto& [n, c, v] : named) rows.push_back({{"NAME", std::string(n)}, {"COUNT", c}, {"VALUE", v}});
  rows.push_back({});  // and a blank record
  MakeTable("Pts.dbf", rows);
  DbfDatabase db;
  EXPECT_NE(db.Open(tmp.path(), "Excel 8.0"), "");
  ASSERT_EQ(db.Open(tmp.path(), "FoxPro 2.6"), "");
  const DbfSelect quoted{"PTS", "NAME", "x'y", {{"COUNT", false}, {"Value", true}}};
  EXPECT_EQ(quoted.Text(), "SELECT * from PTS WHERE NAME = 'x''y'  ORDER BY COUNT ASC,Value DESC");
  const std::vector<std::pair<DbfSelect, std::vector<double>>> cases{
      {{"PTS", "NAME", "abc", {{"COUNT", false}, {"Value", true}}}, {7.5, 2.0, 5.0}},  // case, blanks ignored
      {{"pts", "name", "x'y", {}}, {1.0}},
      {{"Pts", "COUNT", "2", {{"VALUE", true}}}, {9.0, 5.0}},  // numbers compared numerically
      {{"Pts", "COUNT", "two", {}}, {}},
  };
  for (const auto& [query, want] : cases) {
    DbfTable rs;
    ASSERT_EQ(db.OpenRecordset(query, rs), "") << query.Text();
    std::vector<double> values;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) values.push_back(rs.Number(rs.Current(), "VALUE"));
    EXPECT_EQ(values, want) << query.Text();
  }
  for (const DbfSelect& bad : {DbfSelect{"Pts", "NOSUCH", "1", {}}, DbfSelect{"Pts", "", "", {{"NOSUCH", false}}},
                               DbfSelect{"Missing", "", "", {}}}) {
    DbfTable rs;
    EXPECT_NE(db.OpenRecordset(bad, rs), "") << bad.Text();
    EXPECT_FALSE(rs.IsOpen());
  }
}

TEST_F(DbfTableTest, HeaderCorrectionWritesDisplacementsAndRecordLength) {
  const auto p = tmp.path() / "H.DBF";
  ASSERT_EQ(DbfTable::Create(p, {{"A", 'C', 10, 0}, {"B", 'N', 5, 0}, {"C", 'N', 20, 2}}), "");
  std::vector<DataSumField> rows(3);
  rows[0].name = "A"; rows[0].width = 10; rows[0].foxType = "C";
  rows[1].name = "B"; rows[1].width = 12; rows[1].decimals = 3; rows[1].foxType = "N";
  rows[2].name = "C"; rows[2].width = 20; rows[2].decimals = 4; rows[2].foxType = "F";
  ASSERT_EQ(CorrectDbfHeader(p, rows), "");
  const std::string b = ReadBytes(p);
  EXPECT_EQ(Le(b, 32 + 12), 1u);
  EXPECT_EQ(Le(b, 64 + 12), 11u);
  EXPECT_EQ(Le(b, 96 + 12), 23u);
  EXPECT_EQ(Le(b, 10), 43u);
  EXPECT_EQ(b[64 + 16], 12);
  EXPECT_EQ(b[96 + 11], 'F');
  DbfTable t;
  ASSERT_EQ(t.Open(p), "");
  ASSERT_EQ(t.Append({{"B", 1.234}, {"C", 5.5}}), "");
  EXPECT_DOUBLE_EQ(t.Number(0, "B"), 1.234);
  t.Close();
  // Rows that do not fit the table leave it untouched.
  const std::string before = ReadBytes(p);
  rows[1].width = 13;
  EXPECT_NE(CorrectDbfHeader(p, rows), "");  // would change the stored records
  rows.pop_back();
  EXPECT_NE(CorrectDbfHeader(p, rows), "");
  EXPECT_EQ(ReadBytes(p), before);
}

TEST_F(DbfTableTest, UpkeepCreatesRepairsWithBackupOrRefuses) {
  const auto p = tmp.path() / "U.DBF";
  const std::vector<DbfField> small{{"NAME", 'C', 8, 0}, {"COUNT", 'N', 5, 0}};
  DbfUpkeep up;
  EXPECT_NE(EnsureDbfTable(p, small, false, false, nullptr, &up), "");
  ASSERT_EQ(EnsureDbfTable(p, small, true, false, nullptr, &up), "");
  EXPECT_TRUE(up.created);
  {
    DbfTable t;
    ASSERT_EQ(t.Open(p), "");
    ASSERT_EQ(t.Append({{"NAME", std::string("a")}, {"COUNT", 3}}), "");
    ASSERT_EQ(t.Append({{"NAME", std::string("b")}, {"COUNT", 4}}), "");
    ASSERT_EQ(t.Delete(0), "");
  }
  const std::string old = ReadBytes(p);
  ASSERT_EQ(EnsureDbfTable(p, small, true, true, nullptr, &up), "");
  EXPECT_FALSE(up.repaired);
  EXPECT_EQ(ReadBytes(p), old);  // untouched when complete
  auto full = small;
  full.push_back({"EXTRA", 'N', 6, 2});
  const std::string err = EnsureDbfTable(p, full, true, false, nullptr, &up);
  EXPECT_NE(err.find("EXTRA"), std::string::npos) << err;
  EXPECT_EQ(ReadBytes(p), old);
  ASSERT_EQ(EnsureDbfTable(p, full, true, true, nullptr, &up), "");
  EXPECT_TRUE(up.repaired);
  ASSERT_TRUE(fs::exists(up.backup));
  EXPECT_EQ(ReadBytes(up.backup), old);
  EXPECT_EQ(up.backup.filename().string().substr(0, 2), "U_");
  EXPECT_EQ(up.backup.filename().string().size(), std::string("U_YYYYMMDDHHSS.DBF").size());
  DbfTable t;
  ASSERT_EQ(t.Open(p, true), "");
  EXPECT_TRUE(t.HasField("EXTRA"));
  ASSERT_EQ(t.RecordCount(), 1);  // the live row only
  EXPECT_EQ(t.Text(0, "NAME"), "b");
  EXPECT_EQ(t.Number(0, "COUNT"), 4);
  t.Close();
  // A second repair the same second keeps both backups.
  auto more = full;
  more.push_back({"MORE", 'C', 3, 0});
  ASSERT_EQ(EnsureDbfTable(p, more, true, true, nullptr, &up), "");
  EXPECT_TRUE(fs::exists(up.backup));
  int backups = 0;
  for (const auto& e : fs::directory_iterator(tmp.path()))
    if (e.path().filename().string().rfind("U_", 0) == 0) ++backups;
  EXPECT_EQ(backups, 2);
}

}  // namespace
}  // namespace zw::platform
