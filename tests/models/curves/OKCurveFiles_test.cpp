// The Okumura tables are read from data/curves at run time: the loaded values
// are the files' cells (the median grids' empty tail continued), and a
// damaged file refuses the Okumura calculator with the file's name.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CurveTestData.h"
#include "common/ErrorHandler.h"
#include "models/curves/clsQXAreaCovOK.h"
#include "models/curves/modPropOK.h"

namespace zw {
namespace {

using Csv = std::vector<std::vector<std::string>>;

Csv ReadCsv(const std::string& name) {
  std::ifstream in(std::string(RAVO_DATA_DIR) + "/curves/" + name);
  EXPECT_TRUE(in.good()) << name;
  Csv rows;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> row;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) row.push_back(cell);
    if (line.back() == ',') row.emplace_back();
    rows.push_back(row);
  }
  return rows;
}

double Cell(const Csv& t, std::size_t r, std::size_t c) { return std::stod(t.at(r + 1).at(c + 1)); }

const char* const kMed[4] = {"okumura_fig41a_urban_150mhz.csv", "okumura_fig41b_urban_450mhz.csv",
                             "okumura_fig41c_urban_900mhz.csv", "okumura_fig41d_urban_1500mhz.csv"};

TEST(OKCurveFiles, MedianGridsAreTheDigitisedFigures) {
  const OKCurveSet& c = OKCurves();
  int empty = 0;
  for (int g = 0; g < 4; ++g) {
    const Csv rows = ReadCsv(kMed[g]);
    ASSERT_EQ(rows.size(), 12u) << kMed[g];
    const CurveGrid& m = c.med[g];
    ASSERT_EQ(m.x.size(), 11u);
    ASSERT_EQ(m.y.size(), 29u);
    for (int j = 0; j < 29; ++j) EXPECT_FLOAT_EQ(m.y[j], std::stof(rows[0][j + 1]));
    for (int i = 0; i < 11; ++i) {
      ASSERT_EQ(rows[i + 1].size(), 30u) << kMed[g] << " row " << i;
      EXPECT_FLOAT_EQ(m.x[i], std::stof(rows[i + 1][0]));
      for (int j = 0; j < 29; ++j) {
        const std::string& s = rows[i + 1][j + 1];
        if (!s.empty()) {
          EXPECT_FLOAT_EQ(m.at(i, j), std::stof(s)) << kMed[g] << " hb " << m.x[i] << " d " << m.y[j];
          continue;
        }
        // Past the figure's floor: NTIA's Fig. 12 power law from the cell before.
        ++empty;
        const double halfN = 2.5 + 0.5 * std::log10(m.x[i] / 24.5) / std::log10(70.0 / 24.5);
        const double want = m.at(i, j - 1) - 20.0 * halfN * std::log10(m.y[j] / m.y[j - 1]);
        EXPECT_NEAR(m.at(i, j), want, 0.05 + 1e-6);
        EXPECT_LT(m.at(i, j), m.at(i, j - 1));
        EXPECT_LT(m.at(i, j), -9.9f);
      }
    }
  }
  EXPECT_EQ(empty, 4);
  // The continuation of the 1500 MHz / 30 m curve, as the tables had it.
  EXPECT_FLOAT_EQ(c.med[3].at(0, 25), -10.0f);
  EXPECT_FLOAT_EQ(c.med[3].at(0, 28), -13.7f);
}

TEST(OKCurveFiles, DerivedTablesAreTheirFilesAndTheRidgeTheNtiaReadings) {
  const OKCurveSet& c = OKCurves();
  const Csv gl = ReadCsv("okumura_mobile_gain_large_hata.csv"), gm = ReadCsv("okumura_mobile_gain_medium_hata.csv");
  for (std::size_t j = 0; j < 8; ++j) {
    for (std::size_t i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(c.gainLarge.at(i, j), Cell(gl, j, i));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.gainMed.at(i, j), Cell(gm, j, i));
  }
  const Csv area = ReadCsv("okumura_area_corrections_hata.csv");
  ASSERT_EQ(c.suburban.size(), 14u);
  ASSERT_EQ(c.open.size(), 13u);
  for (std::size_t i = 0; i < 14; ++i) EXPECT_DOUBLE_EQ(c.suburban[i], Cell(area, i, 0));
  for (std::size_t i = 0; i < 13; ++i) {
    EXPECT_DOUBLE_EQ(c.quasiOpen[i], Cell(area, i, 1));
    EXPECT_DOUBLE_EQ(c.open[i], Cell(area, i, 2));
  }
  const Csv roll = ReadCsv("okumura_rolling_hill_ntia.csv"), und = ReadCsv("okumura_undulation_factor_ntia.csv");
  for (std::size_t j = 0; j < 13; ++j)
    for (std::size_t i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.roll.at(i, j), Cell(roll, j, i));
  for (std::size_t i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(c.undFactor[i], Cell(und, i, 1));
  const Csv sea = ReadCsv("okumura_land_sea_grid.csv"), sig = ReadCsv("okumura_location_sigma.csv");
  for (std::size_t k = 0; k < 4; ++k)
    for (std::size_t i = 0; i < 11; ++i) EXPECT_DOUBLE_EQ(c.sea[k][i], Cell(sea, i, k));
  for (std::size_t i = 0; i < 13; ++i) {
    EXPECT_DOUBLE_EQ(c.sigmaUrban[i], Cell(sig, i, 0));
    EXPECT_DOUBLE_EQ(c.sigmaSuburban[i], Cell(sig, i, 1));
  }
  // End values as documented for the model.
  const std::pair<double, double> ends[] = {{c.suburban[0], 6.0},    {c.suburban[13], 14.0},     {c.quasiOpen[0], 18.44},
                                            {c.quasiOpen[12], 27.56}, {c.open[0], 23.33},         {c.open[12], 32.5},
                                            {c.sea[0][10], 10.9},     {c.sea[1][10], 14.8},       {c.sigmaUrban[0], 5.2},
                                            {c.sigmaSuburban[12], 10.1}};
  for (const auto& [got, want] : ends) EXPECT_DOUBLE_EQ(got, want);
  const std::pair<float, float> fends[] = {
      {c.undFactor[0], 2.0f}, {c.undFactor[11], 16.7f}, {c.roll.at(0, 0), 1.3f}, {c.roll.at(1, 1), 0.5f}};
  for (const auto& [got, want] : fends) EXPECT_FLOAT_EQ(got, want);
  for (std::size_t i = 1; i < 14; ++i) EXPECT_GT(c.suburban[i], c.suburban[i - 1]);
  for (std::size_t i = 0; i < 13; ++i) EXPECT_GT(c.open[i], c.quasiOpen[i]);
  for (std::size_t j = 1; j < 8; ++j) EXPECT_GT(c.gainLarge.at(0, j), c.gainLarge.at(0, j - 1));
  const Csv r = ReadCsv("okumura_isolated_ridge_ntia_ehata.csv");  // rows d1 15/30/60, columns d2 0..8 km
  const CurveGrid& g = c.ridge;
  ASSERT_EQ(g.x.size(), 3u);
  ASSERT_EQ(g.y.size(), 13u);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < g.y.size(); ++j) {
      const double d2 = g.y[j];
      if (d2 >= 2 && d2 <= 8 && d2 == std::floor(d2)) {
        EXPECT_FLOAT_EQ(g.at(i, j), Cell(r, i, static_cast<int>(d2)));
      }
      if (d2 > 8) {
        EXPECT_FLOAT_EQ(g.at(i, j), Cell(r, i, 8)) << "held beyond the last reading";
      }
      if (d2 == 1.5f) {
        EXPECT_FLOAT_EQ(g.at(i, j), std::round(50.0 * (Cell(r, i, 1) + Cell(r, i, 2))) / 100.0);
      }
    }
  }
  // The first two rows as documented, not the readings.
  EXPECT_FLOAT_EQ(g.at(0, 0), 4.5f);
  EXPECT_FLOAT_EQ(g.at(2, 0), 19.5f);
  EXPECT_FLOAT_EQ(g.at(2, 1), -3.7f);
}

// A missing file is AllCalculators' CurveTable row for OK; these are damaged ones.
TEST(OKCurveFiles, DamagedFileOrMisplacedBlankRefusesTheCalculator) {
  const std::pair<const char*, std::string> cases[] = {
      {"okumura_fig41d_urban_1500mhz.csv", "hb_m\\dist_km,1,2\n30,1,x\n50,2,3\n"},
      {"okumura_fig41b_urban_450mhz.csv",  // a short axis
       "hb_m\\dist_km,1,1.5,2,3,4,5,6,7,8,9,10,15,20,25,30,35,40,45,50,55,60,65,70,75,80,85,90,95\n30,1,2\n"},
      {"okumura_fig41c_urban_900mhz.csv", ""},
      {"okumura_isolated_ridge_ntia_ehata.csv", "d1\\d2,0,1,2,3,4,5,6,7,8\n15,1,2,3,4,5,6,7,8,9\n30,1,2,3,4,5,6,7,8,9\n"},
      {"okumura_undulation_factor_ntia.csv", "dh\\site,-1,1\n10,-2,2\n20,-5,6\n30,-7,7\n40,-8,8\n50,-9,9\n70,-1,1\n"
                                             "100,-1,1\n150,-1,1\n200,-1,1\n300,-1,1\n400,-1,1\n500,-1,1\n"},
      {"okumura_mobile_gain_medium_hata.csv", "hm\\f,-1000,-200,-100\n3,0,0,0\n4,1,1,nan\n"},
  };
  for (const auto& [file, text] : cases) {
    SCOPED_TRACE(file);
    testing::CurveDataCopy data;
    data.Write(file, text);
    const OKCurveLoad l = SharedOKCurves();
    EXPECT_FALSE(l.curves);
    EXPECT_NE(l.error.find(data.File(file).string()), std::string::npos) << l.error;
    EXPECT_THROW((void)OKCurves(), std::runtime_error);
    EXPECT_EQ(clsQXAreaCovOK().sCurveError(), l.error);
  }
  ResetModelErrorDisplay();
  // The shipped tables are untouched and still read.
  EXPECT_TRUE(SharedOKCurves().curves);
  EXPECT_TRUE(clsQXAreaCovOK().sOKtoGO().empty());
  testing::CurveDataCopy data;
  // A blank in the middle of a median row, and a blank in the area table
  // below 3000 MHz, are damage, not a curve leaving the figure.
  std::ifstream in(data.File("okumura_area_corrections_hata.csv"));
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  const auto at = text.find("\n1000.0,");
  ASSERT_NE(at, std::string::npos);
  const auto end = text.find('\n', at + 1);
  text.replace(at + 1, end - at - 1, "1000.0,10.22,,");
  data.Write("okumura_area_corrections_hata.csv", text);
  const OKCurveLoad l = SharedOKCurves();
  EXPECT_FALSE(l.curves);
  EXPECT_NE(l.error.find("okumura_area_corrections_hata.csv"), std::string::npos) << l.error;
  EXPECT_NE(l.error.find("below 3000 MHz"), std::string::npos) << l.error;
}

}  // namespace
}  // namespace zw
