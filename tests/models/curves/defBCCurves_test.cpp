#include "models/curves/defBCCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zw {
namespace {

// The compiled-in tables are generated from the published FCC curve tables in
// data/curves (data/curves/make_bc_tables.py); they must match them cell by cell.
std::vector<std::vector<double>> ReadCsv(const std::string& name) {
  std::ifstream in(std::string(RAVO_DATA_DIR) + "/curves/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<std::vector<double>> rows;
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<double> row;
    std::stringstream ss(line);
    std::string cell;
    bool first = true;
    while (std::getline(ss, cell, ',')) {
      if (header && first) row.push_back(NAN);  // the haat\dist corner
      else row.push_back(std::stod(cell));
      first = false;
    }
    rows.push_back(row);
    header = false;
  }
  return rows;
}

template <std::size_t ND>
void ExpectTable(const std::string& file, const float (&dist)[ND], const float (&field)[kBCHaatCount][ND]) {
  const auto rows = ReadCsv(file);
  ASSERT_EQ(rows.size(), std::size_t(kBCHaatCount) + 1) << file;
  ASSERT_EQ(rows[0].size(), ND + 1) << file;
  for (std::size_t i = 0; i < ND; ++i) EXPECT_EQ(dist[i], float(rows[0][i + 1])) << file;
  for (int j = 0; j < kBCHaatCount; ++j) {
    ASSERT_EQ(rows[j + 1].size(), ND + 1) << file;
    EXPECT_EQ(kBCHaatFt[j], float(rows[j + 1][0])) << file;
    for (std::size_t i = 0; i < ND; ++i) EXPECT_EQ(field[j][i], float(rows[j + 1][i + 1])) << file << " " << j << "," << i;
  }
}

const char* const kBands[3] = {"lowvhf_fm", "highvhf", "uhf"};

TEST(defBCCurves, TablesMatchThePublishedFiles) {
  for (int b = 0; b < 3; ++b) {
    ExpectTable(std::string("fcc_f5050_") + kBands[b] + ".csv", kBCDist50, kBCF50[b]);
    ExpectTable(std::string("fcc_f5010_") + kBands[b] + ".csv", kBCDist10, kBCF10[b]);
    ExpectTable(std::string("fcc_f5090_") + kBands[b] + ".csv", kBCDist90, kBCF90[b]);
  }
}

TEST(defBCCurves, TablesAreConsistent) {
  for (int b = 0; b < 3; ++b) {
    for (int j = 0; j < kBCHaatCount; ++j) {
      // F(50,90) = 2 F(50,50) - F(50,10) over 10-200 miles (to the 0.1 dB of the tables).
      for (int i = 0; i < kBCDist90Count; ++i) {
        EXPECT_NEAR(kBCF90[b][j][i], 2 * kBCF50[b][j][i + 5] - kBCF10[b][j][i], 0.1001) << b << " " << j << " " << i;
      }
      // Field falls with distance and does not fall with height.
      for (int i = 1; i < kBCDist50Count; ++i) EXPECT_LT(kBCF50[b][j][i], kBCF50[b][j][i - 1]);
      for (int i = 1; i < kBCDist10Count; ++i) EXPECT_LT(kBCF10[b][j][i], kBCF10[b][j][i - 1]);
      if (j > 0) {
        for (int i = 0; i < kBCDist50Count; ++i) EXPECT_GE(kBCF50[b][j][i], kBCF50[b][j - 1][i]);
        for (int i = 0; i < kBCDist10Count; ++i) EXPECT_GE(kBCF10[b][j][i], kBCF10[b][j - 1][i]);
      }
    }
  }
}

}  // namespace
}  // namespace zw
