// The D/U table: loading and saving sections of the table file, offset
// look-ups, orderings, text output and refusal of damaged files.
#include "interference/clsQXDtoU.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "Installation.h"
#include "common/Config.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

// The installation, with the D/U table file at hand.
struct Installation : test::Installation {
  fs::path file() const { return path() / kDtoUFileName; }
  void Write(const std::string& text) const { test::Installation::Write(kDtoUFileName, text); }
  std::string Read() const { return platform::ReadWholeFile(file()).value_or("<none>"); }
};

const char* kLandMobile =
    "[LM 25k]\n"
    "numDsignals=3\n"
    "numRXrej=2\n"
    "ChnlWidth=25\n"
    "Offset=12.5|-12.5\n"
    "Chnl=1|-1\n"
    "Dsignal00=Weak|-110\n"
    "Dsignal01=Medium|-90\n"
    "Dsignal02=Strong|-70\n"
    "RXrej00=-50|-52\n"
    "RXrej01=abc|-45\n"
    "RXrej02=-30\n";

TEST(clsQXDtoU, NoInstallationDirectoryIsAFailureNotTheCurrentDirectory) {
  Installation inst;
  ::setenv("ZWRAVOPROP_HOME", "", 1);
  ResetConfigCache();
  if (!ProgramDirectory().empty()) GTEST_SKIP() << "a fallback installation is registered";
  clsQXDtoU t;
  t.bSilent(true);
  t.iAddDLevel(0);
  EXPECT_NE(t.DtoU_Load("A").find("cannot be found without it"), std::string::npos);
  EXPECT_NE(t.DtoU_Save("A").find("cannot be found without it"), std::string::npos);
  EXPECT_FALSE(fs::exists(kDtoUFileName));
}

// The land-mobile section: loaded (its name in any case), its offset bands
// and look-ups, its printed forms, then the bands in megahertz units.
TEST(clsQXDtoU, LoadsASectionLooksUpOffsetsAndPrintsIt) {
  Installation inst;
  inst.Write(kLandMobile);
  clsQXDtoU t;
  t.bSilent(true);
  ASSERT_EQ(t.DtoU_Load("lm 25K"), "");
  EXPECT_EQ(t.sINIsection(), "lm 25K");
  ASSERT_EQ(t.iNumDlevels(), 3);
  ASSERT_EQ(t.iNumOffsets(), 2);
  EXPECT_EQ(t.sChnlUnits(), "KHz");  // no ChnlWidthUn key
  EXPECT_DOUBLE_EQ(t.dChnlWid(), 25.0);
  EXPECT_EQ(t.Dlevel(1)->sDesc(), "Medium");
  EXPECT_DOUBLE_EQ(t.Dlevel(2)->dDdBm(), -70.0);
  EXPECT_DOUBLE_EQ(t.Dlevel(0)->dDtoU(1), -52.0);
  // A cell that is not a number, and a missing one, read as empty / -888.
  EXPECT_EQ(t.Dlevel(1)->sDtoU(0), "");
  EXPECT_DOUBLE_EQ(t.Dlevel(1)->dDtoU(0), -888.0);
  EXPECT_DOUBLE_EQ(t.Dlevel(2)->dDtoU(1), -888.0);
  EXPECT_EQ(t.RXoffset(1)->iChnlOffset(), -1);
  EXPECT_DOUBLE_EQ(t.RXoffset(0)->dChnlWidth(), 25.0);
  EXPECT_EQ(t.iDescWidMax(), 6);
  EXPECT_NE(t.sLoadNotes().find("RXrej01 value 1 is not a number"), std::string::npos);
  EXPECT_TRUE(inst.messages().Log().empty());  // silent

  ASSERT_EQ(t.DtoU_Load("LM 25k"), "");
  EXPECT_DOUBLE_EQ(t.dOffsetLo(0), 0.0125);
  EXPECT_EQ(t.dOffsetHi(0), 0.0375);  // exactly: edges are compared exactly
  EXPECT_DOUBLE_EQ(t.dOffsetLo(1), -0.0375);
  EXPECT_DOUBLE_EQ(t.dOffsetHi(1), -0.0125);
  EXPECT_DOUBLE_EQ(t.dOffsetLo(2), -88.0);
  EXPECT_DOUBLE_EQ(t.dOffsetHi(-1), -88.0);
  // A positive band holds its lower edge, a negative one its upper edge; between and beyond: none.
  const std::pair<double, int> bands[] = {{0.0125, 0}, {0.02, 0},   {0.0375, -88}, {-0.0125, 1},
                                          {-0.0375, -88}, {0.0, -88}, {1.0, -88},    {std::nan(""), -88}};
  for (const auto& [mhz, index] : bands) EXPECT_EQ(t.iOffsetIndex(mhz), index) << mhz;
  EXPECT_DOUBLE_EQ(t.dDtoUAtOffset(0, 0.02), -50.0);
  EXPECT_DOUBLE_EQ(t.dDtoUAtOffset(0, -0.02), -52.0);
  EXPECT_DOUBLE_EQ(t.dDtoUAtOffset(1, 0.02), -888.0);  // empty cell
  EXPECT_DOUBLE_EQ(t.dDtoUAtOffset(0, 0.5), -88.0);
  EXPECT_DOUBLE_EQ(t.dDtoUAtOffset(7, 0.02), -88.0);

  EXPECT_EQ(t.DtoU_Print(),
            "LM 25k\n"
            "Channel Width: 25 KHz\n\n"
            "\t\tDesired Signal Levels\n"
            "Desc\t\tWeak\tMedium\tStrong\n"
            "D dBm\t\t-110\t-90\t-70\n"
            "Chnl\tFreq KHz\n"
            "1\t12.500\t-50\t\t-30\n"
            "-1\t-12.500\t-52\t-45\t\n");
  const auto log = inst.messages().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].title, "RX D/U - LM 25k");
  EXPECT_EQ(t.sTextDLevels(),
            "\tDesc\t\tWeak\tMedium\tStrong\n"
            "\tD dBm\t\t-110\t-90\t-70\n"
            "\t1\t12.500\t-50\t\t-30\n"
            "\t-1\t-12.500\t-52\t-45\t\n");
  t.dChnlWid(0);
  t.sChnlWidFmt("0.0");
  const std::string noWidth = t.sTextTable();
  EXPECT_EQ(noWidth.find("Channel Width"), std::string::npos);
  EXPECT_NE(noWidth.find("....\tFreq KHz\n....\t12.5\t"), std::string::npos);

  // Megahertz units take the offsets as they are; overlapping bands give the last.
  t.sChnlUnits("MHz");
  t.dChnlWid(0.1);
  EXPECT_DOUBLE_EQ(t.dOffsetLo(0), 12.5);
  EXPECT_EQ(t.iOffsetIndex(12.55), 0);
  t.RXoffset(1)->sChnlOffset("2");
  t.RXoffset(1)->sFOffset("12.52");
  EXPECT_EQ(t.iOffsetIndex(12.55), 1);
  EXPECT_EQ(t.iOffsetIndex(12.51), 0);
}

TEST(clsQXDtoU, UnitsKeyAndMissingFieldsOnLoad) {
  Installation inst;
  inst.Write(
      "[A]\nnumDsignals=1\nnumRXrej=3\nChnlWidthUn=MHz\nChnlWidth=wide\nOffset=1\n"
      "[B]\nnumDsignals=2\nChnlWidthUn=\n");
  clsQXDtoU t;
  t.bSilent(true);
  ASSERT_EQ(t.DtoU_Load("A"), "");
  EXPECT_EQ(t.sChnlUnits(), "MHz");
  EXPECT_DOUBLE_EQ(t.dChnlWid(), 0.0);  // not a number
  ASSERT_EQ(t.iNumOffsets(), 3);
  EXPECT_EQ(t.RXoffset(2)->sFOffset(), "");
  EXPECT_EQ(t.RXoffset(2)->sChnlOffset(), "");
  EXPECT_EQ(t.Dlevel(0)->sDesc(), "");
  EXPECT_DOUBLE_EQ(t.Dlevel(0)->dDdBm(), -888.0);  // no Dsignal00
  // An empty unit keeps the current one; no RXrej count means no columns.
  t.sChnlUnits("GHz?");
  ASSERT_EQ(t.DtoU_Load("B"), "");
  EXPECT_EQ(t.sChnlUnits(), "GHz?");
  EXPECT_EQ(t.iNumDlevels(), 2);
  EXPECT_EQ(t.iNumOffsets(), 0);
}

TEST(clsQXDtoU, InsertAndRemoveKeepOneCellPerColumn) {
  clsQXDtoU t;
  t.dChnlWid(12.5);
  EXPECT_EQ(t.iAddDLevel(5), 0);  // held within the (empty) table
  EXPECT_EQ(t.iAddOffset(), 0);
  EXPECT_EQ(t.iAddOffset(), 1);
  EXPECT_DOUBLE_EQ(t.RXoffset(1)->dChnlWidth(), 12.5);
  t.Dlevel(0)->sDesc("A");
  t.Dlevel(0)->sDtoU(1, "10");
  EXPECT_EQ(t.iAddDLevel(0), 1);
  EXPECT_EQ(t.iAddDLevel(-1), 0);  // before the first
  ASSERT_EQ(t.iNumDlevels(), 3);
  EXPECT_EQ(t.Dlevel(1)->sDesc(), "A");
  EXPECT_EQ(t.Dlevel(0)->sDdBm(), "-888");
  for (int r = 0; r < 3; ++r) EXPECT_EQ(t.Dlevel(r)->iNumOffsets(), 2);
  EXPECT_TRUE(t.bRemOffset(0));
  EXPECT_FALSE(t.bRemOffset(3));
  EXPECT_EQ(t.Dlevel(1)->sDtoU(0), "10");
  EXPECT_TRUE(t.bRemDLevel(0));
  EXPECT_FALSE(t.bRemDLevel(9));
  EXPECT_EQ(t.Dlevel(0)->sDesc(), "A");
}

clsQXDtoU Levels(std::initializer_list<std::pair<const char*, double>> rows) {
  clsQXDtoU t;
  t.iAddOffset();
  for (const auto& [d, v] : rows) {
    const int i = t.iAddDLevel(t.iNumDlevels() - 1);
    t.Dlevel(i)->sDesc(d);
    t.Dlevel(i)->dDdBm(v);
    t.Dlevel(i)->sDtoU(0, d[0] == 'x' ? "1" : "2");
  }
  return t;
}

std::string Order(const clsQXDtoU& t) {
  std::string s;
  for (int i = 0; i < t.iNumDlevels(); ++i) s += t.Dlevel(i)->sDesc();
  return s;
}

TEST(clsQXDtoU, SortsKeepEqualLevelsInOrderAndCellsWithTheirRowOrColumn) {
  auto t = Levels({{"a", -50}, {"b", -50}, {"c", -80}, {"d", -60}, {"e", -50}});
  t.SortOnDdBm(false);
  EXPECT_EQ(Order(t), "cdabe");
  t.SortOnDdBm(true);
  EXPECT_EQ(Order(t), "abedc");
  // Cells travel with their row.
  auto u = Levels({{"y", -50}, {"x", -90}});
  u.SortOnDdBm(false);
  EXPECT_EQ(u.Dlevel(0)->sDtoU(0), "1");

  // Sorting on the offsets moves each column's cells with it.
  t = clsQXDtoU();
  t.iAddDLevel(0);
  const int chnl[] = {2, -1, 0, -1};
  for (int j = 0; j < 4; ++j) {
    t.iAddOffset();
    t.RXoffset(j)->iChnlOffset(static_cast<std::int16_t>(chnl[j]));
    t.RXoffset(j)->dFOffset(j * 10);
    t.Dlevel(0)->sDtoU(j, std::to_string(j));
  }
  t.SortOnOffset();
  std::string order, cells;
  for (int j = 0; j < 4; ++j) {
    order += t.RXoffset(j)->sChnlOffset() + ",";
    cells += t.Dlevel(0)->sDtoU(j);
  }
  EXPECT_EQ(order, "-1,-1,0,2,");
  EXPECT_EQ(cells, "1320");
  EXPECT_DOUBLE_EQ(t.RXoffset(0)->dFOffset(), 10.0);
}

TEST(clsQXDtoU, SaveAndReloadReproduceTheTable) {
  Installation inst;
  inst.Write("; receiver tables\n[Other]\nkeep=1\n");
  clsQXDtoU t;
  t.bSilent(true);
  t.sChnlUnits("KHz");
  t.dChnlWid(12.5);
  for (int j = 0; j < 3; ++j) {
    t.iAddOffset();
    t.RXoffset(j)->iChnlOffset(static_cast<std::int16_t>(j - 1));
    t.RXoffset(j)->dFOffset((j - 1) * 6.25);
  }
  for (int r = 0; r < 12; ++r) {  // two-digit keys beyond 9
    const int i = t.iAddDLevel(r - 1);
    t.Dlevel(i)->sDesc("Level " + std::to_string(r));
    t.Dlevel(i)->dDdBm(-120.25 + r * 5);
    for (int j = 0; j < 3; ++j)
      if ((r + j) % 4) t.Dlevel(i)->sDtoU(j, std::to_string(-60 + r + j) + ".5");
  }
  ASSERT_EQ(t.DtoU_Save("NB 12.5"), "");
  EXPECT_EQ(t.sINIsection(), "NB 12.5");
  const std::string saved = inst.Read();
  EXPECT_NE(saved.find("Dsignal11=Level 11|-65.25"), std::string::npos);
  EXPECT_NE(saved.find("keep=1"), std::string::npos);  // the rest of the file stays

  clsQXDtoU u;
  u.bSilent(true);
  ASSERT_EQ(u.DtoU_Load("NB 12.5"), "");
  EXPECT_EQ(u.sChnlUnits(), "KHz");
  EXPECT_DOUBLE_EQ(u.dChnlWid(), 12.5);
  ASSERT_EQ(u.iNumDlevels(), 12);
  ASSERT_EQ(u.iNumOffsets(), 3);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(u.RXoffset(j)->sFOffset(), t.RXoffset(j)->sFOffset());
    EXPECT_EQ(u.RXoffset(j)->sChnlOffset(), t.RXoffset(j)->sChnlOffset());
  }
  for (int r = 0; r < 12; ++r) {
    EXPECT_EQ(u.Dlevel(r)->sDesc(), t.Dlevel(r)->sDesc());
    EXPECT_EQ(u.Dlevel(r)->sDdBm(), t.Dlevel(r)->sDdBm());
    for (int j = 0; j < 3; ++j) EXPECT_EQ(u.Dlevel(r)->sDtoU(j), t.Dlevel(r)->sDtoU(j)) << r << "," << j;
  }
  EXPECT_EQ(u.sLoadNotes(), "");

  // Saving a smaller table under the same name drops the old rows' keys.
  while (u.iNumDlevels() > 2) u.bRemDLevel(u.iNumDlevels() - 1);
  ASSERT_EQ(u.DtoU_Save("NB 12.5"), "");
  EXPECT_EQ(inst.Read().find("Dsignal05"), std::string::npos);
  EXPECT_EQ(inst.Read().find("RXrej11"), std::string::npos);
  // A second load→save→load leaves the file as it was.
  const std::string once = inst.Read();
  clsQXDtoU v;
  v.bSilent(true);
  ASSERT_EQ(v.DtoU_Load("NB 12.5"), "");
  ASSERT_EQ(v.DtoU_Save("NB 12.5"), "");
  EXPECT_EQ(inst.Read(), once);
}

TEST(clsQXDtoU, BadFilesAreRefusedAndTheTableKept) {
  Installation inst;
  inst.Write(std::string(kLandMobile) +
             "[Zero]\nnumDsignals=0\n"
             "[Words]\nnumDsignals=three\n"
             "[Huge]\nnumDsignals=100000\nnumRXrej=2\n"
             "[Cols]\nnumDsignals=1\nnumRXrej=-2\n"
             "[Dup]\nnumDsignals=1\nnumRXrej=3\nOffset=12.5|25|12.50\nChnl=1|2|1\n"
             "[BadLevel]\nnumDsignals=1\nDsignal00=Weak|very low\n"
             "[BadOffset]\nnumDsignals=1\nnumRXrej=1\nOffset=near\n"
             "[BadChnl]\nnumDsignals=1\nnumRXrej=1\nOffset=1\nChnl=next\n"
             "[NoCount]\nRXrej00=1\n");
  clsQXDtoU t;
  ASSERT_EQ(t.DtoU_Load("LM 25k"), "");
  inst.messages().Clear();
  const std::string before = inst.Read();

  struct Case {
    const char* section;
    const char* says;
  };
  for (const Case& c : {Case{"Missing", "was not found in:"}, Case{"Zero", "from 1 to 999"},
                        Case{"Words", "numDsignals is not a number"}, Case{"Huge", "from 1 to 999"},
                        Case{"Cols", "numRXrej must be"}, Case{"Dup", "Offsets 1 and 3 are the same"},
                        Case{"BadLevel", "Dsignal00 is not a number: \"very low\""},
                        Case{"BadOffset", "Offset is not a number: \"near\""},
                        Case{"BadChnl", "Chnl is not a number"}, Case{"NoCount", "numDsignals is missing"},
                        Case{"", "No D/U table name"}}) {
    inst.messages().Clear();
    const std::string why = t.DtoU_Load(c.section);
    EXPECT_NE(why.find(c.says), std::string::npos) << c.section << ": " << why;
    const auto log = inst.messages().Log();
    ASSERT_EQ(log.size(), 1u) << c.section;
    EXPECT_EQ(log[0].text, why);
    EXPECT_EQ(t.sINIsection(), "LM 25k") << c.section;
    EXPECT_EQ(t.iNumDlevels(), 3) << c.section;
    EXPECT_EQ(t.iNumOffsets(), 2) << c.section;
  }
  EXPECT_EQ(inst.Read(), before);
}

TEST(clsQXDtoU, MissingAndJunkFiles) {
  Installation inst;
  clsQXDtoU t;
  t.bSilent(true);
  EXPECT_NE(t.DtoU_Load("LM 25k").find("The D/U table file was not found:"), std::string::npos);
  EXPECT_TRUE(inst.messages().Log().empty());
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131 + 7) % 256));
  inst.Write(junk);
  EXPECT_NE(t.DtoU_Load("LM 25k").find("was not found in:"), std::string::npos);
  t.sINIfile((inst.path()).string());  // a directory
  EXPECT_NE(t.DtoU_Load("LM 25k").find("file was not found"), std::string::npos);
  EXPECT_EQ(t.iNumDlevels(), 0);
}

TEST(clsQXDtoU, SaveRefusesWhatCouldNotBeReadBack) {
  Installation inst;
  inst.Write(kLandMobile);
  const std::string before = inst.Read();
  clsQXDtoU t;
  t.bSilent(true);
  EXPECT_NE(t.DtoU_Save("Empty").find("no desired-signal levels"), std::string::npos);
  ASSERT_EQ(t.DtoU_Load("LM 25k"), "");
  EXPECT_NE(t.DtoU_Save("  ").find("No D/U table name"), std::string::npos);
  EXPECT_NE(t.DtoU_Save("A]B").find("brackets"), std::string::npos);
  t.Dlevel(0)->sDesc("Weak|old");
  EXPECT_NE(t.DtoU_Save("LM 25k").find("vertical bar"), std::string::npos);
  t.Dlevel(0)->sDesc("Weak");
  for (int j = 0; j < 400; ++j) {
    const int c = t.iAddOffset();
    t.Dlevel(0)->sDtoU(c, "-12.345");
  }
  EXPECT_NE(t.DtoU_Save("LM 25k").find("longer than 1999"), std::string::npos);
  EXPECT_EQ(inst.Read(), before);
  EXPECT_EQ(t.sINIsection(), "LM 25k");
  // A file in a directory that does not exist.
  while (t.iNumOffsets() > 2) t.bRemOffset(t.iNumOffsets() - 1);
  t.sINIfile((inst.path() / "no" / "such" / "ZWRXRej.INI").string());
  EXPECT_NE(t.DtoU_Save("LM 25k").find("could not be written"), std::string::npos);
  EXPECT_FALSE(fs::exists(inst.path() / "no"));
}

}  // namespace
}  // namespace zw
