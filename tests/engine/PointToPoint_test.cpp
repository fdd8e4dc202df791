// Direct point-to-point runs: profile checks and CSV reading, model
// selection, and whole runs on a CSV profile and on the bundled DEM.
#include "engine/PointToPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>

#include "Installation.h"
#include "engine/CalculatorFactory.h"
#include "models/terrain/modPropLR.h"
#include "platform/MessageBox.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

const std::string kLRTemplate =
    "[Propagation Model]\r\n"
    "MODEL=Longley-Rice\r\n"
    "LR_DESC=Test LR\r\n"
    "POLARIZ=V\r\nCLIM_CODE=5\r\nSUR_REFRAC=301\r\nSEA_REFRAC=0\r\nREL_PERMIT=15\r\nCONDUCTIVI=0.005\r\n"
    "LR_MDVAR=12\r\nLR_VARSIT=50\r\nLR_VARLOC=50\r\nLR_VARTIM=50\r\n";

class P2PTest : public ::testing::Test {
 protected:
  // A 20 km profile, 201 points, with a hill in the middle.
  std::string HillCsv(const std::string& eol = "\n", double offset = 0) {
    std::ostringstream s;
    s << "distance_m,elevation_m" << eol;
    for (int i = 0; i <= 200; ++i) {
      const double x = i / 200.0;
      s << offset + 100.0 * i << "," << 300.0 + 250.0 * std::exp(-std::pow((x - 0.5) / 0.08, 2)) << eol;
    }
    return s.str();
  }
  P2PRequest CsvRequest() {
    P2PRequest r;
    r.templateFile = tmp.Write("T.INI", kLRTemplate).string();
    r.profileCsv = tmp.Write("p.csv", HillCsv()).string();
    r.freqMHz = 450;
    r.txAglM = 50;
    r.rxAglM = 10;
    return r;
  }

  test::Installation tmp;
  platform::ScriptedMessages* messages = &tmp.messages();
};

// ------------------------------------------------------------ profiles

TEST(CheckProfile, AcceptsOnlyUsableProfiles) {
  const struct {
    std::vector<double> d;
    std::vector<float> e;
    std::string want;  // the start of the message
  } cases[] = {
      {{0, 100, 200}, {1, 2, 3}, ""},
      {{50, 150}, {1, 2}, ""},  // an offset start is fine
      {{0}, {1}, "A profile needs at least two points"},
      {{}, {}, "A profile needs at least two points"},
      {{0, 100}, {1}, "The profile's distance and elevation arrays differ in length"},
      {{0, 100, 200}, {1, std::nanf(""), 3}, "Profile point 2 is not a number"},
      {{0, 100, INFINITY}, {1, 2, 3}, "Profile point 3 is not a number"},
      {{0, 0, 0}, {1, 2, 3}, "Profile distances must increase from the transmitter"},
      {{200, 100, 0}, {1, 2, 3}, "Profile distances must increase from the transmitter"},
      {{0, 100, 250, 300}, {1, 2, 3, 4}, "Profile spacing is not equal: point 3"},
      {{0, 100.0004, 199.9998, 300}, {1, 2, 3, 4}, ""},  // rounding, also in the first interval
  };
  for (const auto& c : cases) {
    const std::string got = CheckProfile(c.d, c.e);
    EXPECT_EQ(got.substr(0, c.want.size()), c.want) << got;
    EXPECT_EQ(got.empty(), c.want.empty()) << got;
  }
  // 330 intervals of 92.5207... m written with three decimals, then one.
  std::vector<double> rounded;
  for (int i = 0; i <= 330; ++i) rounded.push_back(std::round(i * (30531.834 / 330) * 1000.0) / 1000.0);
  EXPECT_EQ(CheckProfile(rounded, std::vector<float>(rounded.size(), 5.0f)), "");
  for (double& x : rounded) x = std::round(x * 10.0) / 10.0;
  EXPECT_EQ(CheckProfile(rounded, std::vector<float>(rounded.size(), 5.0f)), "");
  // A shorter last interval is what a terrain profile ends with; a longer one is not.
  rounded.back() -= 40.0;
  EXPECT_EQ(CheckProfile(rounded, std::vector<float>(rounded.size(), 5.0f)), "");
  rounded.back() += 80.0;
  EXPECT_NE(CheckProfile(rounded, std::vector<float>(rounded.size(), 5.0f)), "");

  std::vector<double> d(kLRMaxIntervals + 1);
  std::vector<float> e(d.size(), 10.0f);
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = 30.0 * static_cast<double>(i);
  EXPECT_EQ(CheckProfile(d, e), "");
  d.push_back(d.back() + 30.0);
  e.push_back(10.0f);
  const std::string tooLong = CheckProfile(d, e);
  EXPECT_NE(tooLong.find("at most 32767 intervals"), std::string::npos) << tooLong;
  EXPECT_NE(tooLong.find("this one has 32768"), std::string::npos) << tooLong;
}

TEST_F(P2PTest, ReadsProfileCsv) {
  std::vector<double> d;
  std::vector<float> e;
  const auto crlf = tmp.Write("a.csv", "distance_m,elevation_m\r\n0,100\r\n50,110.5\r\n100,90\r\n");
  EXPECT_EQ(ReadProfileCsv(crlf.string(), d, e), "");
  EXPECT_EQ(d, (std::vector<double>{0, 50, 100}));
  EXPECT_EQ(e, (std::vector<float>{100.0f, 110.5f, 90.0f}));

  // No header, comments, blank lines, other separators, a trailing column.
  EXPECT_EQ(ReadProfileCsv(tmp.Write("b.csv", "# made by hand\n0;1\n\n10\t2\n20,3,extra\n").string(), d, e), "");
  EXPECT_EQ(d, (std::vector<double>{0, 10, 20}));
  EXPECT_EQ(e, (std::vector<float>{1, 2, 3}));

  // Refused files: the profile-* cases of the tests/bad corpus. The model's
  // interval limit:
  std::string big;
  for (int i = 0; i <= kLRMaxIntervals + 10; ++i) big += std::to_string(30 * i) + ",5\n";
  const std::string err = ReadProfileCsv(tmp.Write("big.csv", big).string(), d, e);
  EXPECT_NE(err.find("more than 32767 intervals"), std::string::npos) << err;
  EXPECT_LE(d.size(), static_cast<std::size_t>(kLRMaxIntervals) + 2) << "reading stops at the limit";
  std::string edge;
  for (int i = 0; i <= kLRMaxIntervals; ++i) edge += std::to_string(30 * i) + ",5\n";
  EXPECT_EQ(ReadProfileCsv(tmp.Write("edge.csv", edge).string(), d, e), "");
  EXPECT_EQ(d.size(), static_cast<std::size_t>(kLRMaxIntervals) + 1);
}

// ------------------------------------------------------------ selection

TEST(NewCalculator, TableOrderAndEveryName) {
  const auto& t = CalculatorTable();
  ASSERT_EQ(t.size(), 12u);
  const char* first[] = {"Longley-Rice", "Bullington", "Okumura", "Broadcast (Part 73)", "Carey - Interpolated",
                         "Cellular - CGSA", "Carey - FCC 94-201", "Egli", "Hata/Davidson",
                         "Specialized Mobile Radio", "Shadow", "Rounded Obstacle"};
  for (std::size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].names.front(), first[i]);
  EXPECT_EQ(t[10].names, (std::vector<std::string>{"Shadow", "Shadow - Fixed Angle", "SH", "SF"}));
  // Every name of a row gives that row's calculator.
  for (const auto& row : t) {
    for (const auto& name : row.names) {
      auto c = NewCalculator(name);
      ASSERT_TRUE(c) << name;
      EXPECT_NE(std::find(row.names.begin(), row.names.end(), c->sNameModel2()), row.names.end()) << name;
      EXPECT_EQ(c->sNameModel(), row.names.front()) << name;
    }
  }
}

// ------------------------------------------------------------ runs

TEST_F(P2PTest, RunsACsvProfile) {
  P2PContext ctx;
  P2PRequest r = CsvRequest();
  r.details = true;
  const P2PResult out = ctx.Run(r);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.model, "LR");
  EXPECT_EQ(out.modelName, "Longley-Rice");
  EXPECT_EQ(out.points, 201);
  EXPECT_DOUBLE_EQ(out.pathLengthM, 20000.0);
  EXPECT_FLOAT_EQ(static_cast<float>(out.rxGroundM), 300.0f + 250.0f * std::exp(-std::pow(0.5f / 0.08f, 2.0f)));
  EXPECT_NEAR(out.freeSpaceDbu, 60 - 60 + 106.92 - 20 * std::log10(20.0), 1e-9);
  EXPECT_NEAR(out.netFieldDbu, out.freeSpaceDbu - out.modelLossDb, 1e-9);
  EXPECT_GT(out.modelLossDb, 0.0);
  EXPECT_LT(out.netFieldDbu, out.freeSpaceDbu);

  // The same path through the core.
  std::vector<double> d;
  std::vector<float> e;
  ASSERT_EQ(ReadProfileCsv(r.profileCsv, d, e), "");
  std::vector<double> pfl{200.0, 100.0};
  for (float x : e) pfl.push_back(x);
  clsLRCore core;
  const LRResult lr = core.PointToPoint(pfl, {.dTxHeightM = 50, .dRxHeightM = 10, .dFreqMHz = 450, .iMDVAR = 12});
  ASSERT_TRUE(lr.bOK);
  EXPECT_EQ(out.modelLossDb, lr.dAttenDB);
  EXPECT_EQ(out.deltaHM, lr.dDeltaHM);
  EXPECT_EQ(out.effHeightsM, lr.dHeEffM);
  EXPECT_EQ(out.errLevel, lr.lErrLevel);
  EXPECT_EQ(out.mode[0], lr.sMode1);

  EXPECT_NE(out.details.find("Additional Estimated transmission loss: "), std::string::npos) << out.details;
  EXPECT_EQ(out.parameters.rfind("Longley-Rice Propagation Study\nParameter Template: Test LR\n", 0), 0u)
      << out.parameters;

  // A profile whose distances start elsewhere is measured from its first
  // point; CRLF lines read the same.
  r.profileCsv = tmp.Write("q.csv", HillCsv("\r\n", 5000.0)).string();
  r.details = false;
  const P2PResult shifted = ctx.Run(r);
  ASSERT_TRUE(shifted.ok) << shifted.error;
  EXPECT_EQ(shifted.netFieldDbu, out.netFieldDbu);
  EXPECT_EQ(shifted.details, "");

  // Distances rounded to whole metres around a 100.4 m step: the path keeps
  // its length and the field moves by no more than the length change explains.
  {
    std::ostringstream csv;
    for (int i = 0; i <= 200; ++i) csv << std::lround(100.4 * i) << "," << e[static_cast<std::size_t>(i)] << "\n";
    r.profileCsv = tmp.Write("r.csv", csv.str()).string();
    const P2PResult roundedRun = ctx.Run(r);
    ASSERT_TRUE(roundedRun.ok) << roundedRun.error;
    EXPECT_DOUBLE_EQ(roundedRun.pathLengthM, 20080.0);
    EXPECT_NEAR(roundedRun.freeSpaceDbu, 106.92 - 20 * std::log10(20.08), 1e-9);
  }

  // Given arrays instead of a file.
  r.profileCsv.clear();
  r.distM = d;
  r.elevM = e;
  const P2PResult arrays = ctx.Run(r);
  ASSERT_TRUE(arrays.ok) << arrays.error;
  EXPECT_EQ(arrays.netFieldDbu, out.netFieldDbu);
  EXPECT_TRUE(messages->Log().empty());
}

TEST_F(P2PTest, ErpUnits) {
  P2PContext ctx;
  P2PRequest r = CsvRequest();
  auto run = [&](double value, const char* unit) {
    r.erpValue = value;
    r.erpUnit = unit;
    return ctx.Run(r);
  };
  const P2PResult kw = run(1, "kW"), dbm = run(60, "dBm");
  ASSERT_TRUE(kw.ok && dbm.ok) << kw.error << dbm.error;
  EXPECT_NEAR(kw.netFieldDbu, dbm.netFieldDbu, 1e-9);
  EXPECT_NEAR(kw.freeSpaceDbu, dbm.freeSpaceDbu, 1e-9);
  const P2PResult dbk = run(30, "dBk");
  ASSERT_TRUE(dbk.ok);
  EXPECT_NEAR(dbk.freeSpaceDbu, dbm.freeSpaceDbu + 30.0, 1e-9);
  // (0 W and an unknown unit: the p2p-erp-* cases of the tests/bad corpus.)
}

TEST_F(P2PTest, FailuresSayWhy) {
  P2PContext ctx;
  P2PRequest r = CsvRequest();

  P2PRequest t = r;
  std::string bad = kLRTemplate;
  bad.replace(bad.find("LR_VARTIM=50"), 12, "LR_VARTIM=100");
  t.templateFile = tmp.Write("BAD.INI", bad).string();
  P2PResult out = ctx.Run(t);
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.error, "LR Time Variability\nInvalid setting: 100");
  EXPECT_TRUE(messages->Log().empty()) << "the run is silent";

  // Bad values the command line can give are rows of the tests/bad corpus.
  const struct {
    std::function<void(P2PRequest&)> change;
    std::string want;  // the start of the message
  } cases[] = {
      {[](P2PRequest& q) { q.templateFile.clear(); }, "No template file given"},
      {[](P2PRequest& q) { q.profileCsv.clear(); }, "A profile needs at least two points"},
  };
  for (const auto& c : cases) {
    t = r;
    c.change(t);
    const P2PResult got = ctx.Run(t);
    EXPECT_FALSE(got.ok) << c.want;
    EXPECT_EQ(got.error.substr(0, c.want.size()), c.want) << got.error;
  }
  // The command line names models without regard to case.
  t = r;
  t.model = "lr";
  out = ctx.Run(t);
  EXPECT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.model, "LR");

  // A good antenna pattern changes the field (broken ones: the corpus).
  t = r;
  const P2PResult omni = ctx.Run(t);
  ASSERT_TRUE(omni.ok) << omni.error;
  t.antennaFile = tmp.Write("ant.ini", "[Antenna Data]\nHorizRecs=2\nHRec00001=0|-10|\nHRec00002=180|-10|\n").string();
  const P2PResult shaped = ctx.Run(t);
  ASSERT_TRUE(shaped.ok) << shaped.error;
  EXPECT_NEAR(shaped.netFieldDbu, omni.netFieldDbu - 10.0, 1e-6);
}

TEST_F(P2PTest, RunsTheBundledDem) {
  P2PContext ctx;
  P2PRequest r;
  r.templateFile = tmp.Write("T.INI", kLRTemplate).string();
  r.dem = std::string(RAVO_DATA_DIR) + "/terrain/N44W072.hgt";
  r.fromLat = 44.27;
  r.fromLon = -71.30;
  r.toLat = 44.10;
  r.toLon = -71.00;
  r.haveFrom = r.haveTo = true;
  r.freqMHz = 100;
  r.txAglM = 100;
  r.rxAglM = 10;
  r.details = true;
  const P2PResult out = ctx.Run(r);
  ASSERT_TRUE(out.ok) << out.error;
  const double km = out.pathLengthM / 1000.0;
  EXPECT_NEAR(km, 30.4, 1.0);  // about 30 km south-east
  EXPECT_GT(out.points, 300) << "about 90 m spacing";
  EXPECT_NEAR(out.freeSpaceDbu, 60 - 60 + 106.92 - 20 * std::log10(km), 1e-9);
  EXPECT_TRUE(std::isfinite(out.netFieldDbu));
  EXPECT_LT(out.netFieldDbu, out.freeSpaceDbu);
  EXPECT_NEAR(out.netFieldDbu, out.freeSpaceDbu - out.modelLossDb, 1e-9);
  EXPECT_GT(out.deltaHM, 50.0) << "mountain terrain";
  EXPECT_GT(out.rxGroundM, 0.0);
  EXPECT_LT(out.rxGroundM, 2000.0);
  EXPECT_GE(out.errLevel, 0);
  EXPECT_LE(out.errLevel, 3);
  EXPECT_EQ(out.details.find("nan"), std::string::npos);

  // The opened terrain is reused: the same path again gives the same figure.
  const P2PResult again = ctx.Run(r);
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.netFieldDbu, out.netFieldDbu);

  // A coarser step still gives an evenly spaced profile over the whole path.
  r.stepM = 250;
  const P2PResult coarse = ctx.Run(r);
  ASSERT_TRUE(coarse.ok) << coarse.error;
  EXPECT_NEAR(coarse.pathLengthM, out.pathLengthM, 1.0);
  EXPECT_LT(coarse.points, out.points);
}

}  // namespace
}  // namespace zw
