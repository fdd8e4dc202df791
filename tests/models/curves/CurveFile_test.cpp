#include "models/curves/CurveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

// A file t.csv holding text, in a directory of its own.
struct TempFile {
  test::TempDir dir;
  fs::path path = dir.path() / "t.csv";
  explicit TempFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
};

TEST(CurveFile, ReadsAxesAndCellsRowMajor) {
  TempFile f("h\\d,1,2,3\r\n10,5.5,4,-1.25\r\n20,6,5,0\r\n\r\n");
  const CurveCsv t = ReadCurveCsv(f.path);
  ASSERT_TRUE(t.error.empty()) << t.error;
  EXPECT_EQ(t.columns, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(t.rows, (std::vector<double>{10, 20}));
  EXPECT_DOUBLE_EQ(t.at(0, 2), -1.25);
  EXPECT_DOUBLE_EQ(t.at(1, 0), 6);
  const CurveGrid g = CurveGridOf(t, false);
  EXPECT_EQ(g.lx(), 3);
  EXPECT_EQ(g.ly(), 2);
  EXPECT_FLOAT_EQ(g.at(2, 0), -1.25f);
  const CurveGrid tr = CurveGridOf(t, true);
  EXPECT_EQ(tr.lx(), 2);
  EXPECT_EQ(tr.ly(), 3);
  EXPECT_FLOAT_EQ(tr.at(0, 2), -1.25f);  // X row axis, Y column axis
}

TEST(CurveFile, DamagedTablesAreRefusedWithTheFileNameAndTheExpectedAxis) {
  const char* bad[] = {
      "",                                     // empty
      "h\\d,1,2\n10,1,2\n",                   // one row only
      "h\\d,1,2\n10,1,2\n20,1\n",             // short row
      "h\\d,1,2\n10,1,2\n20,1,2,3\n",         // long row
      "h\\d,1,2\n10,1,x\n20,1,2\n",           // not a number
      "h\\d,1,2\n10,1,nan\n20,1,2\n",         // not finite
      "h\\d,1,2\n10,1,1e999\n20,1,2\n",       // overflow
      "h\\d,1,2\n10,1,\n20,1,2\n",            // empty cell
      "h\\d,2,1\n10,1,2\n20,1,2\n",           // header not ascending
      "h\\d,1,2\n20,1,2\n10,1,2\n",           // rows not ascending
      "h\\d,1,1\n10,1,2\n20,1,2\n",           // repeated axis value
      "h\\d,1,2\n10,1,2.5abc\n20,1,2\n",      // trailing garbage
  };
  for (const char* text : bad) {
    TempFile f(text);
    const CurveCsv t = ReadCurveCsv(f.path);
    EXPECT_NE(t.error.find(f.path.string()), std::string::npos) << text << " -> " << t.error;
    EXPECT_TRUE(t.cells.empty()) << text;  // never a partial table
  }
  const CurveCsv none = ReadCurveCsv("/nonexistent/dir/fcc.csv");
  EXPECT_NE(none.error.find("/nonexistent/dir/fcc.csv"), std::string::npos);
  EXPECT_NE(none.error.find("missing"), std::string::npos);
  TempFile f("h\\d,1,2,3\n10,5,4,\n20,6,5,4\n");
  EXPECT_FALSE(ReadCurveCsv(f.path).error.empty());
  const CurveCsv t = ReadCurveCsv(f.path, true);
  ASSERT_TRUE(t.error.empty()) << t.error;
  EXPECT_TRUE(std::isnan(t.at(0, 2)));
  TempFile g("h\\d,1,2,3\n10,5,,3\n20,6,5,4\n");  // a hole, not a tail
  EXPECT_FALSE(ReadCurveCsv(g.path, true).error.empty());
  // The axis check names the expected values.
  const std::vector<double> want{100, 200, 400};
  EXPECT_TRUE(CheckCurveAxis("f.csv", "rows", std::vector<double>{100, 200, 400}, want).empty());
  const std::string e = CheckCurveAxis("f.csv", "rows", std::vector<double>{100, 200}, want);
  EXPECT_NE(e.find("f.csv"), std::string::npos);
  EXPECT_NE(e.find("100, 200, 400"), std::string::npos);
  EXPECT_FALSE(CheckCurveAxis("f.csv", "rows", std::vector<double>{100, 250, 400}, want).empty());
}

}  // namespace
}  // namespace zw
