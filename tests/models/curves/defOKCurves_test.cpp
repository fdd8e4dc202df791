#include "models/curves/defOKCurves.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zw {
namespace {

// The compiled median grids come from the Fig. 41 digitisations in data/curves
// (data/curves/make_ok_tables.py); every digitised cell must match. Empty cells
// (below the figure's floor) hold a continuation that keeps falling.
std::vector<std::vector<std::string>> ReadCsv(const std::string& name) {
  std::ifstream in(std::string(RAVO_DATA_DIR) + "/curves/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> row;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) row.push_back(cell);
    if (!line.empty() && line.back() == ',') row.emplace_back();
    rows.push_back(row);
  }
  return rows;
}

TEST(OKCurves, MedianGridsMatchDigitisedFigures) {
  const char* files[4] = {"okumura_fig41a_urban_150mhz.csv", "okumura_fig41b_urban_450mhz.csv",
                          "okumura_fig41c_urban_900mhz.csv", "okumura_fig41d_urban_1500mhz.csv"};
  int empty = 0;
  for (int g = 0; g < 4; ++g) {
    const auto rows = ReadCsv(files[g]);
    ASSERT_EQ(rows.size(), 12u) << files[g];
    ASSERT_EQ(rows[0].size(), 30u);
    for (int j = 0; j < 29; ++j) EXPECT_FLOAT_EQ(kOKMedDist[j], std::stof(rows[0][j + 1]));
    for (int i = 0; i < 11; ++i) {
      ASSERT_EQ(rows[i + 1].size(), 30u) << files[g] << " row " << i;
      EXPECT_FLOAT_EQ(kOKMedHb[i], std::stof(rows[i + 1][0]));
      for (int j = 0; j < 29; ++j) {
        const std::string& c = rows[i + 1][j + 1];
        if (c.empty()) {
          ++empty;
          EXPECT_LT(kOKMedField[g][j][i], kOKMedField[g][j - 1][i]);
          EXPECT_LT(kOKMedField[g][j][i], -9.9f);
        } else {
          EXPECT_FLOAT_EQ(kOKMedField[g][j][i], std::stof(c)) << files[g] << " hb " << kOKMedHb[i] << " d "
                                                              << kOKMedDist[j];
        }
      }
    }
  }
  EXPECT_EQ(empty, 4);
}

TEST(OKCurves, TablesHoldTheirDocumentedEndValues) {
  EXPECT_DOUBLE_EQ(kOKSuburban[0], 6.0);
  EXPECT_DOUBLE_EQ(kOKSuburban[13], 14.0);
  EXPECT_DOUBLE_EQ(kOKQuasiOpen[0], 18.44);
  EXPECT_DOUBLE_EQ(kOKQuasiOpen[12], 27.56);
  EXPECT_DOUBLE_EQ(kOKOpen[0], 23.33);
  EXPECT_DOUBLE_EQ(kOKOpen[12], 32.5);
  EXPECT_FLOAT_EQ(kOKUndFactor[0], 2.0f);
  EXPECT_FLOAT_EQ(kOKUndFactor[11], 16.7f);
  EXPECT_FLOAT_EQ(kOKRoll[0][0], 1.3f);
  EXPECT_FLOAT_EQ(kOKRoll[1][1], 0.5f);
  EXPECT_FLOAT_EQ(kOKRidge[0][2], 19.5f);
  EXPECT_FLOAT_EQ(kOKRidge[1][2], -3.7f);
  EXPECT_DOUBLE_EQ(kOKSea[0][10], 10.9);
  EXPECT_DOUBLE_EQ(kOKSea[1][10], 14.8);
  EXPECT_DOUBLE_EQ(kOKSigmaUrban[0], 5.2);
  EXPECT_DOUBLE_EQ(kOKSigmaSuburban[12], 10.1);
  EXPECT_NEAR(kOKNormal[1], 0.004, 1e-4);
  EXPECT_NEAR(kOKNormal[196], 0.475, 1e-4);
  // Monotone where the physics says so.
  for (int i = 1; i < 14; ++i) EXPECT_GT(kOKSuburban[i], kOKSuburban[i - 1]);
  for (int i = 1; i < 13; ++i) EXPECT_GT(kOKOpen[i], kOKQuasiOpen[i]);
  for (int j = 1; j < 8; ++j) EXPECT_GT(kOKGainLarge[j][0], kOKGainLarge[j - 1][0]);
  for (int i = 1; i < 400; ++i) EXPECT_GT(kOKNormal[i], kOKNormal[i - 1]);
}

}  // namespace
}  // namespace zw
