#include "common/Antenna.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "Installation.h"
#include "common/ErrorHandler.h"
#include "platform/DbfTable.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

namespace zw {
namespace {

namespace fs = std::filesystem;
using platform::DbfField;
using platform::DbfTable;
using Points = std::vector<std::pair<double, double>>;

// Arrays laid out from index 1, as the loaders leave them.
std::vector<double> Arr(std::initializer_list<double> v) {
  std::vector<double> a{0.0};
  a.insert(a.end(), v);
  return a;
}

std::string ReadText(const fs::path& p) { return platform::ReadWholeFile(p).value_or(""); }

// ---- Pattern lookups ---------------------------------------------------------------

TEST(AntennaHorizontalGain, InterpolatesTheTurnedPatternAcrossNorthAndDefaults) {
  const auto az = Arr({0, 90, 180, 270}), g = Arr({0, -3, -10, -3});
  const struct {
    double az;
    int count;
    std::vector<double> azs, gains;
    double orient, dflt, want;
  } cases[] = {
      {90, 4, az, g, 45, -99, -1.5},                      // r = 45
      {35, 4, az, g, 45, -99, -3 + 80.0 / 90.0 * 3},      // r = 350: between 270 and 360 (the first again)
      {225, 4, az, g, 45, -99, -10}, {45, 4, az, g, 45, -99, 0}, {270, 4, az, g, 0, -99, -3},
      {90 + 720, 4, az, g, 45, -99, -1.5}, {90 - 1080, 4, az, g, 45, -99, -1.5},  // whole turns away
      // Not starting at north: below the first point wraps to the last.
      {0, 3, Arr({10, 100, 350}), Arr({-2, -6, -4}), 0, -99, -3},
      {355, 3, Arr({10, 100, 350}), Arr({-2, -6, -4}), 0, -99, -3.5},
      {55, 3, Arr({10, 100, 350}), Arr({-2, -6, -4}), 0, -99, -4},
      // Empty, single and short patterns.
      {10, 0, az, g, 0, 7.5, 7.5}, {10, -88, az, g, 0, 7.5, 7.5}, {10, 1, {0.0}, {0.0}, 0, 7.5, 7.5},
      {10, 4, {}, {}, 0, 7.5, 7.5}, {0, 1, Arr({120}), Arr({-4}), 0, 9, -4}, {359.9, 1, Arr({120}), Arr({-4}), 0, 9, -4},
      {90, 10, az, g, 45, -99, -1.5},  // a count above what the arrays hold
      {5, 2, Arr({10, 370}), Arr({-1, -2}), 0, 9, -2},  // no span across north: no division by 0
      {std::nan(""), 4, az, g, 0, 9, 9},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(HorizontalGain(c.az, c.count, c.azs, c.gains, c.orient, c.dflt), c.want, 1e-12)
        << c.az << " " << c.count << " " << c.orient;
}

TEST(AntennaVerticalGain, ModesTiltsEndsAndBadInput) {
  const auto el = Arr({-10, 0, 5, 10}), g = Arr({-20, 0, -6, -12});
  // The factor the tilt uses is not exactly pi/180.
  const double across = 5 - std::cos(90 * 0.0174532925) * 5, acrossGain = -6 + (across - 5) / 5 * -6;
  ASSERT_NE(acrossGain, -6);
  const struct {
    const char* mode;
    double az, angle;
    int count;
    std::vector<double> els, gains;
    double mtilt, mdir, etilt, dflt, want;
    bool err;
  } cases[] = {
      {"MAJOR", 0, 7, 4, el, g, 0, 0, 0, -99, 0, false},
      {"maj", 0, 7, 4, el, Arr({-20, -1, -6, -12}), 3, 0, 2, -99, -1, false},
      {"MAJ", 0, 0, 2, Arr({0, 1}), Arr({-900000, -5}), 0, 0, 0, -99, -5, false},  // not the -888888 start
      {"Horizon", 0, 7, 4, el, g, 0, 0, 0, -99, 0, false},                        // angle 0, not 7
      {"   ", 0, 2.5, 4, el, g, 0, 0, 0, -99, -3, false},
      {"", 0, -5, 4, el, g, 0, 0, 0, -99, -10, false},
      {"", 0, 5, 4, el, g, 0, 0, 2.5, -99, -3, false},   // electrical tilt: 5 looks at 2.5
      {"HOR", 0, 5, 4, el, g, 0, 0, 2.5, -99, -5, false},  // ... and the horizon at -2.5
      {"", 90, 5, 4, el, g, 5, 90, 0, -99, 0, false},    // mechanical tilt: full toward its azimuth,
      {"", 270, 5, 4, el, g, 5, 90, 0, -99, -12, false},  // opposite away,
      {"", 0, 5, 4, el, g, 5, 90, 0, -99, acrossGain, false},  // (almost) none across
      {"", 90, 7.5, 4, el, g, 5, 90, 2.5, -99, 0, false},  // both tilts
      {"", 0, 40, 4, el, g, 0, 0, 0, -99, -12, false},     // above the last angle
      {"", 0, -40, 4, el, g, 0, 0, 0, -99, -20, false},    // below the first
      {"", 0, 1, 0, el, g, 0, 0, 0, 4.25, 4.25, false},
      {"MAJ", 0, 1, 0, el, g, 0, 0, 0, 4.25, 4.25, false},
      {"", 0, 30, 1, Arr({3}), Arr({-2}), 0, 0, 0, 9, -2, false},
      {"", 0, 1, 3, {0.0}, {0.0}, 0, 0, 0, 4.25, 4.25, true},  // a count the arrays do not hold
      {"", 0, std::nan(""), 4, el, g, 0, 0, 0, 4.25, 4.25, true},
  };
  for (const auto& c : cases) {
    bool err = !c.err;
    EXPECT_NEAR(VerticalGain(c.mode, c.az, c.angle, c.count, c.els, c.gains, c.mtilt, c.mdir, c.etilt, c.dflt, err),
                c.want, 1e-10)
        << "'" << c.mode << "' " << c.az << " " << c.angle;
    EXPECT_EQ(err, c.err) << "'" << c.mode << "' " << c.az << " " << c.angle;
  }
}

TEST(AntennaInvert, NegatesAnglesOnceAndKeepsThemAscending) {
  clsAntenna a;
  a.SetVertical({{-10, -20}, {0, 0}, {5, -6}, {10, -12}});
  bool err = false;
  const double before = a.VertGain("", 0, 7.5, -99, err);
  a.Invert();
  EXPECT_EQ(a.daVel, Arr({-10, -5, 0, 10}));
  EXPECT_EQ(a.daVgain, Arr({-12, -6, 0, -20}));
  EXPECT_DOUBLE_EQ(a.VertGain("", 0, -7.5, -99, err), before);
  a.Invert();  // applied already
  EXPECT_EQ(a.daVel, Arr({-10, -5, 0, 10}));
  a.SetVertical({{1, -1}});
  a.Invert();
  EXPECT_EQ(a.daVel, Arr({-1}));
  clsAntenna none;
  none.Invert();
  EXPECT_EQ(none.daVel, std::vector<double>{0.0});
  EXPECT_EQ(none.iVertCount, 0);
}

// ---- Library loading ---------------------------------------------------------------

class AntennaLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    MakeLibrary("LIB");
  }

  void MakeLibrary(const std::string& name, bool withVertical = true) {
    const auto main = dir / (name + ".DBF");
    const std::vector<DbfField> layout{{"ATYPE_ID", 'C', 12, 0}, {"ANTENNA", 'C', 30, 0}, {"GAIN", 'N', 8, 2},
                                       {"GAIN_UN", 'C', 5, 0},   {"F_LOW", 'N', 8, 1},    {"F_HIGH", 'N', 8, 1},
                                       {"FREQ_UN", 'C', 5, 0}};
    ASSERT_EQ(DbfTable::Create(main, layout, true), "");
    {
      DbfTable t;
      ASSERT_EQ(t.Open(main), "");
      ASSERT_EQ(t.Append({{"ATYPE_ID", std::string("DB404")}, {"ANTENNA", std::string("Four-bay dipole")},
                          {"GAIN", 6.0}, {"GAIN_UN", std::string("dBd")}, {"F_LOW", 150.0}, {"F_HIGH", 174.0},
                          {"FREQ_UN", std::string("MHz")}}),
                "");
      ASSERT_EQ(t.Append({{"ATYPE_ID", std::string("BARE")}, {"GAIN", 8.15}, {"GAIN_UN", std::string("dBi")}}), "");
      ASSERT_EQ(t.Close(), "");
    }
    MakePattern(dir / (name + "AHD.DBF"), "HOR_AZ", "HOR_FIELD",
                {{"DB404", 180, 0.5}, {"DB404", 0, 1.0}, {"BARE", 0, 0.25}, {"DB404", 90, 0.8}, {"DB404", 270, 0.8}});
    if (withVertical) {
      MakePattern(dir / (name + "AVD.DBF"), "VERT_ANGLE", "VERT_FIELD",
                  {{"DB404", 10, 0.5}, {"DB404", -10, 0.1}, {"DB404", 0, 1.0}});
    }
  }

  struct Row {
    std::string id;
    double angle, field;
  };
  static void MakePattern(const fs::path& file, const char* angle, const char* field, const std::vector<Row>& rows) {
    ASSERT_EQ(DbfTable::Create(file, {{"ATYPE_ID", 'C', 12, 0}, {angle, 'N', 8, 2}, {field, 'N', 8, 4}}, true), "");
    DbfTable t;
    ASSERT_EQ(t.Open(file), "");
    for (const Row& r : rows) ASSERT_EQ(t.Append({{"ATYPE_ID", r.id}, {angle, r.angle}, {field, r.field}}), "");
    ASSERT_EQ(t.Close(), "");
  }

  // An antenna carrying a plain gain, mounting and an older pattern.
  static clsAntenna Prepared() {
    clsAntenna a{.sDesc = "", .dGain = 3, .sGainUn = "dBd", .dOrien = 30, .dMTilt = 2, .bInverted = true};
    a.SetHorizontal({{0, 1}, {180, 2}});
    return a;
  }

  std::vector<platform::ScriptedMessages::Shown> Shown() { return tmp.messages().Log(); }

  test::Installation tmp;
  fs::path dir = tmp.path() / "ant";
};

TEST_F(AntennaLibrary, LoadsGainDescriptionAndOrderedPatternsInEveryUnitNamesAndDefaults) {
  clsAntenna a = Prepared();
  ASSERT_EQ(LoadAntennaFromLibrary(dir, "LIB", "DB404", "dBd", false, a), "");
  EXPECT_EQ(a.sDesc, "Four-bay dipole");
  EXPECT_DOUBLE_EQ(a.dGain, 6);
  EXPECT_EQ(a.sGainUn, "dBd");
  EXPECT_DOUBLE_EQ(a.dFLow, 150);
  EXPECT_DOUBLE_EQ(a.dFHigh, 174);
  EXPECT_EQ(a.sFreqUn, "MHz");
  ASSERT_EQ(a.iHorCount, 4);
  EXPECT_EQ(a.daHaz, Arr({0, 90, 180, 270}));
  // Maximum gain plus the relative field in dB, to four decimals.
  EXPECT_EQ(a.daHgain, Arr({6, 4.0618, -0.0206, 4.0618}));
  ASSERT_EQ(a.iVertCount, 3);
  EXPECT_EQ(a.daVel, Arr({-10, 0, 10}));
  EXPECT_EQ(a.daVgain, Arr({-14, 6, -0.0206}));
  // The mounting belongs to the facility and stays.
  EXPECT_DOUBLE_EQ(a.dOrien, 30);
  EXPECT_DOUBLE_EQ(a.dMTilt, 2);
  EXPECT_TRUE(a.bInverted);
  EXPECT_TRUE(Shown().empty());
  // Gain toward a receiver through the loaded arrays.
  EXPECT_DOUBLE_EQ(a.HorGain(30 + 180, -99), -0.0206);
  // Other units, names and defaults.
  a = clsAntenna();
  ASSERT_EQ(LoadAntennaFromLibrary(dir, "LIB", "DB404", "REL", true, a), "");
  EXPECT_EQ(a.daHgain, Arr({1, 0.8, 0.5, 0.8}));
  ASSERT_EQ(LoadAntennaFromLibrary(dir, "LIB", "DB404", "dBi", true, a), "");
  EXPECT_EQ(a.daHgain, Arr({8.15, 6.2118, 2.1294, 6.2118}));
  // Identifier and library name without regard to case; a ".DBF" left on the name.
  ASSERT_EQ(LoadAntennaFromLibrary(dir, "lib.dbf", " db404 ", "DBD", true, a), "");
  EXPECT_EQ(a.iHorCount, 4);
  // Missing optional fields take their defaults; no vertical rows is no vertical pattern.
  ASSERT_EQ(LoadAntennaFromLibrary(dir, "LIB", "BARE", "dBd", true, a), "");
  EXPECT_EQ(a.sDesc, "[NO DESCRIPTION]");
  EXPECT_EQ(a.sGainUn, "dBi");
  EXPECT_DOUBLE_EQ(a.dFLow, 0);
  EXPECT_EQ(a.sFreqUn, "MHz");
  EXPECT_EQ(a.daHgain, Arr({-6.0412}));  // 8.15 dBi = 6 dBd, field 0.25 = -12.04 dB
  EXPECT_EQ(a.iVertCount, 0);
  EXPECT_EQ(a.daVel, std::vector<double>{0.0});
}

TEST_F(AntennaLibrary, BlankIdentifierKeepsThePlainGainAndMessagesForTheRest) {
  for (const char* id : {"", "   "}) {
    clsAntenna a = Prepared();
    EXPECT_EQ(LoadAntennaFromLibrary(dir, "LIB", id, "dBd", false, a), "");
    EXPECT_DOUBLE_EQ(a.dGain, 3);
    EXPECT_FALSE(a.HasPattern());
    EXPECT_EQ(a.daHaz, std::vector<double>{0.0});
  }
  clsAntenna a = Prepared();
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "", "DB404", "dBd", false, a), "");
  EXPECT_FALSE(a.HasPattern());
  EXPECT_TRUE(Shown().empty());
  // Units, missing library and missing antenna.
  a = Prepared();
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "LIB", "DB404", "dBk", false, a), "Unrecognized DesiredUnits dBk");
  EXPECT_FALSE(a.HasPattern());
  EXPECT_DOUBLE_EQ(a.dGain, 3);

  const std::string missing = (dir / "NOPE.DBF").string();
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "NOPE", "DB404", "dBd", false, a),
            "The specified antenna data base was not found:\n" + missing +
                "\n\nThe antenna specified for this task will not be used.");
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "LIB", "XYZ", "dBd", false, a),
            "The specified antenna was not found:\nLIB\nAntenna ID: XYZ\n\n"
            "The antenna specified for this task will not be used.");
  const auto log = Shown();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].title, "Antenna Gain Units");
  EXPECT_EQ(log[1].title, "Antenna Data Base Error 2");
  EXPECT_EQ(log[2].title, "Antenna Data Base Error 3");
  EXPECT_EQ(log[2].text, "The specified antenna was not found:\nLIB\nAntenna ID: XYZ\n\n"
                         "The antenna specified for this task will not be used.");

  // Silent: the same texts, nothing shown.
  tmp.messages().Clear();
  EXPECT_NE(LoadAntennaFromLibrary(dir, "LIB", "XYZ", "dBd", true, a), "");
  EXPECT_NE(LoadAntennaFromLibrary(dir, "LIB", "DB404", "W", true, a), "");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(AntennaLibrary, BrokenTablesAreReportedLoggedAndLeaveNoPattern) {
  const std::string expected =
      "Error on antenna data\nLibrary: BAD DB404\nUnits: dBd\n\nAntenna information will be ignored.";
  // No vertical table.
  MakeLibrary("BAD", false);
  clsAntenna a = Prepared();
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "BAD", "DB404", "dBd", false, a), expected);
  EXPECT_FALSE(a.HasPattern());
  EXPECT_DOUBLE_EQ(a.dGain, 3);  // not the library's 6
  EXPECT_EQ(a.sDesc, "");
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].title, "Antenna File Error");
  EXPECT_EQ(Shown()[0].text, expected);
  const std::string logText = ReadText(tmp.path() / "ZWTECSUP.TXT");
  EXPECT_NE(logText.find("Get_Ant_ArrayDB Flag: 1600"), std::string::npos) << logText;

  // A relative field of 0 cannot be converted to dB.
  MakePattern(dir / "BADAVD.DBF", "VERT_ANGLE", "VERT_FIELD", {{"DB404", 0, 1.0}, {"DB404", 5, 0.0}});
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "BAD", "DB404", "dBd", true, a), expected);
  // A pattern table without its value field.
  ASSERT_EQ(DbfTable::Create(dir / "BADAVD.DBF", {{"ATYPE_ID", 'C', 12, 0}, {"VERT_ANGLE", 'N', 8, 2}}, true), "");
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "BAD", "DB404", "dBd", true, a), expected);

  // A damaged main table (cut short) is refused, not read.
  const fs::path main = dir / "BAD.DBF";
  const std::string bytes = ReadText(main);
  std::ofstream(main, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "BAD", "DB404", "dBd", true, a), expected);
  // Not a table at all.
  std::ofstream(main, std::ios::binary | std::ios::trunc) << "not a table";
  EXPECT_EQ(LoadAntennaFromLibrary(dir, "BAD", "DB404", "dBd", true, a), expected);
  EXPECT_FALSE(a.HasPattern());
  EXPECT_EQ(Shown().size(), 1u);
}

// ---- Settings-file loading -------------------------------------------------------------

class AntennaProfile : public ::testing::Test {
 protected:
  fs::path Write(const std::string& text) {
    const fs::path p = tmp.path() / "T0000001.INI";
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    return p;
  }
  test::TempDir tmp;
};

TEST_F(AntennaProfile, ReadsMountingOverridesAndRecordsOrRefusesBadFiles) {
  auto file = Write(
      "[Facility Data]\nTX_A1TYP=Panel 12\nTX_A1GAIN=2\nTX_A1GNUN=dBi\nTX_A1ORIEN=45\nTX_A1ETILT=1.5\n"
      "TX_A1MTILT=2\nTX_A1MDIR=90\nTX_A1INVRT=True\n"
      "[Antenna Data]\nTX_A1GAIN=10\nTX_A1GNUN=dBd\nHorizRecs=4\n"
      "HRec00001=0|0|\nHRec00002=180|-10|\nHRec00003=90|-3|\nHRec00004=270|-3|\n"
      "VertRecs=3\nVRec00001=-10|-20|\nVRec00003=10|-6|\n");  // VRec00002 missing: "0|0|"
  clsAntenna a;
  ASSERT_EQ(LoadAntennaFromProfile(file, "Facility Data", "dBd", a), "");
  EXPECT_EQ(a.sDesc, "Panel 12");
  EXPECT_DOUBLE_EQ(a.dGain, 10);
  EXPECT_EQ(a.sGainUn, "dBd");
  EXPECT_DOUBLE_EQ(a.dOrien, 45);
  EXPECT_DOUBLE_EQ(a.dETilt, 1.5);
  EXPECT_DOUBLE_EQ(a.dMTilt, 2);
  EXPECT_DOUBLE_EQ(a.dMDir, 90);
  EXPECT_TRUE(a.bInverted);
  EXPECT_EQ(a.iHorCount, 4);
  EXPECT_EQ(a.daHaz, Arr({0, 90, 180, 270}));
  EXPECT_EQ(a.daHgain, Arr({10, 7, 0, 7}));
  EXPECT_EQ(a.daVel, Arr({-10, 0, 10}));
  EXPECT_EQ(a.daVgain, Arr({-10, 10, 4}));
  // The flag is read, not applied; the caller inverts.
  a.Invert();
  EXPECT_EQ(a.daVel, Arr({-10, 0, 10}));
  EXPECT_EQ(a.daVgain, Arr({4, 10, -10}));
  EXPECT_DOUBLE_EQ(a.HorGain(90, -99), 8.5);

  clsAntenna r;
  ASSERT_EQ(LoadAntennaFromProfile(file, "Facility Data", "REL", r), "");
  EXPECT_EQ(r.daHgain, Arr({1, 0.7079, 0.3162, 0.7079}));
  // Conversion failures and bad files.
  a = clsAntenna();
  file = Write("[F]\nTX_A1GAIN=0\nTX_A1GNUN=dBd\n[Antenna Data]\nHorizRecs=1\nHRec00001=0|0|\n");
  EXPECT_EQ(LoadAntennaFromProfile(file, "F", "dBk", a), "Error on Ant Az Gain conversion");
  EXPECT_FALSE(a.HasPattern());
  // A maximum gain in a unit that does not convert.
  file = Write("[F]\nTX_A1GAIN=0\nTX_A1GNUN=REL\n[Antenna Data]\nHorizRecs=1\nHRec00001=0|0|\n");
  EXPECT_EQ(LoadAntennaFromProfile(file, "F", "dBd", a), "Error on Ant Az Gain conversion");
  // A vertical gain too far down to be a number.
  file = Write("[F]\n[Antenna Data]\nHorizRecs=1\nHRec00001=0|0|\nVertRecs=1\nVRec00001=0|-1e6|\n");
  EXPECT_EQ(LoadAntennaFromProfile(file, "F", "dBd", a), "Error on Ant El Gain conversion");
  EXPECT_FALSE(a.HasPattern());
  // Counts that cannot be allocated are refused; negative counts are none.
  file = Write("[F]\n[Antenna Data]\nHorizRecs=2000000000\n");
  EXPECT_NE(LoadAntennaFromProfile(file, "F", "dBd", a), "");
  file = Write("[F]\n[Antenna Data]\nHorizRecs=-5\nVertRecs=junk\n");
  EXPECT_EQ(LoadAntennaFromProfile(file, "F", "dBd", a), "");
  EXPECT_FALSE(a.HasPattern());
  // No file at all is a failure, not an antenna without a pattern.
  EXPECT_NE(LoadAntennaFromProfile(tmp.path() / "missing.INI", "F", "dBd", a), "");
}

}  // namespace
}  // namespace zw
