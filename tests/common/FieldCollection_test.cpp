#include "common/FieldCollection.h"

#include <gtest/gtest.h>

#include <set>

#include "common/FieldSets.h"
#include "common/ModelTable.h"
#include "platform/DbfDataSum.h"
#include "platform/Text.h"

namespace zw {
namespace {

TEST(FieldCollection, KeepsInsertionOrderAndFirstValueOfAKey) {
  FieldCollection c{{"B", std::string("1")}, {"A", 2.5}, {"B", std::string("dup")}};
  EXPECT_EQ(c.Count(), 2u);
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"B", "A"}));
  EXPECT_FALSE(c.Add("A", 3.0));
  EXPECT_EQ(*c.Find("A"), FieldValue(2.5));
  EXPECT_TRUE(c.Add("C", true));
  EXPECT_EQ(c.At(2).first, "C");
  // Set replaces where the key stands; a new key goes to the end.
  c.Set("B", std::int32_t{7});
  EXPECT_EQ(c.At(0).second, FieldValue(std::int32_t{7}));
  c.Set("D", std::string("x"));
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"B", "A", "C", "D"}));
  // Removed and added again: to the end.
  c = FieldCollection{{"A", 1.0}, {"B", 2.0}, {"C", 3.0}};
  EXPECT_TRUE(c.Remove("A"));
  EXPECT_FALSE(c.Remove("A"));
  EXPECT_FALSE(c.Contains("A"));
  // Lookups after a removal still find the right entries.
  EXPECT_EQ(*c.Find("C"), FieldValue(3.0));
  EXPECT_TRUE(c.Add("A", 9.0));
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"B", "C", "A"}));
  EXPECT_EQ(*c.Find("B"), FieldValue(2.0));
  EXPECT_EQ(*c.Find("A"), FieldValue(9.0));
  c.Clear();
  EXPECT_TRUE(c.Empty());
  EXPECT_EQ(c.Find("B"), nullptr);
}

TEST(FieldCollection, KeysCompareAsWrittenUnlessAskedOtherwise) {
  FieldCollection c{{"Min_Dist", std::string("5")}, {"MIN_DIST", std::string("6")}};
  EXPECT_EQ(c.Count(), 2u);
  EXPECT_EQ(c.Find("min_dist"), nullptr);
  ASSERT_NE(c.FindNoCase("min_dist"), nullptr);
  EXPECT_EQ(*c.FindNoCase("MIN_DIST"), FieldValue(std::string("5")));  // first in order
  EXPECT_EQ(c.FindNoCase("MINDISTUN"), nullptr);
}

TEST(FieldCollection, TypedReadersConvertTolerantly) {
  FieldCollection c{{"T", std::string(" 12.5 dB")}, {"E", std::string("")},  {"J", std::string("junk")},
                    {"D", 2.5},                     {"F", 0.1f},             {"I", std::int32_t{-3}},
                    {"B", true},                    {"BT", std::string("True")}, {"BN", std::string("0")}};
  EXPECT_EQ(c.GetDouble("T"), 12.5);
  EXPECT_EQ(c.GetDouble("E"), 0.0);
  EXPECT_EQ(c.GetDouble("J"), 0.0);
  EXPECT_EQ(c.GetDouble("missing", -888), -888);
  EXPECT_EQ(c.GetSingle("F"), 0.1f);
  EXPECT_EQ(c.GetLong("D"), 2);  // halves to even
  EXPECT_EQ(c.GetLong("I"), -3);
  EXPECT_EQ(c.GetLong("T"), 12);
  EXPECT_EQ(c.GetLong("missing", -88), -88);
  EXPECT_TRUE(c.GetBool("B"));
  EXPECT_TRUE(c.GetBool("BT"));
  EXPECT_FALSE(c.GetBool("BN"));
  EXPECT_TRUE(c.GetBool("I"));
  EXPECT_TRUE(c.GetBool("missing", true));
  EXPECT_EQ(c.GetText("I"), "-3");
  EXPECT_EQ(c.GetText("B"), "True");
  EXPECT_EQ(c.GetText("missing", "dflt"), "dflt");
}

// The model table and the field-definition table name the same keys for
// every model, so `models CODE` and `template new` miss none and invent none.
TEST(ModelTable, EveryCodeHasItsNamesAndTemplateTypeAndDisplayNamesGiveCodes) {
  const std::pair<const char*, const char*> names[] = {
      {"longley-rice", "LR"}, {"Shadowing - Line of Sight", "SH"}, {"SHADOW - FIXED ANGLE - LOS", "SF"},
      {"Shadow", "SH"}, {"Broadcast (Part 73)", "BC"}, {"Carey - FCC 94-201", "CX"}, {"Rounded Obstacle", "RO"},
      {"Longley Rice", ""}, {"", ""}, {"LR", ""}};  // codes are not display names
  for (const auto& [name, code] : names) EXPECT_EQ(ModelCodeFromName(name), code) << name;
  const std::pair<const char*, const char*> codes[] = {{"lr", "LR"}, {"  Egli ", "EG"}, {"XX", ""}, {"   ", ""}};
  for (const auto& [name, code] : codes) EXPECT_EQ(ModelCodeOf(name), code) << name;
  const auto all = ModelCodes();
  ASSERT_EQ(all.size(), 13u);
  for (const auto& code : all) {
    const auto names = ModelDisplayNames(code);
    ASSERT_FALSE(names.empty()) << code;
    for (const auto& n : names) EXPECT_EQ(ModelCodeFromName(n), code) << n;
    std::string why;
    const auto fields = platform::ReadDataSumFields(platform::DefaultDataSumFile(), TemplateTableType(code), &why);
    ASSERT_TRUE(fields) << why;
    const auto settings = ModelSettings(code);
    ASSERT_EQ(fields->size(), settings.size()) << code;
    for (std::size_t i = 0; i < settings.size(); ++i) {
      EXPECT_TRUE(EqualsNoCase((*fields)[i].name, settings[i].key)) << code << " " << settings[i].key;
      EXPECT_FALSE(settings[i].meaning.empty() || settings[i].allowed.empty()) << code << " " << settings[i].key;
    }
    EXPECT_FALSE(ModelSummary(code).empty() || ModelStudies(code).empty()) << code;
  }
  EXPECT_EQ(ModelDisplayNames("sh"), (std::vector<std::string>{"Shadow", "Shadowing - .5 Fresnel",
                                                               "Shadowing - Line of Sight"}));
  EXPECT_TRUE(ModelDisplayNames("ZZ").empty());
  EXPECT_EQ(TemplateTableType("lr"), "QXLRFLDS");
  EXPECT_EQ(TemplateTableType(""), "QXFLDS");
}

FieldCollection FullFacility() {
  FieldCollection c;
  for (int i = 0; i < kFacilityFieldCount; ++i) c.Add(std::string(FacilityFieldName(i)), std::string("1"));
  return c;
}

TEST(FieldSets, NamesAndFormatsByNumberDistinctAndCounted) {
  // {got, want}: FAC_ELV (26) has a format, FAC_ELVUN (27) is text, RX_A1GAIN
  // (35) has no format but RX_A2GAIN (99) has; RX_THREF only as a mobile field.
  const std::pair<std::string_view, std::string_view> cases[] = {
      {FacilityFieldName(0), "DECLAT"}, {FacilityFieldName(22), "FAC_ID"}, {FacilityFieldName(223), "TX_A1ERP"},
      {FacilityFieldName(248), "ANT_ELMODE"}, {FacilityFieldFormat(0), "##0.00000"},
      {FacilityFieldFormat(22), "0000000"}, {FacilityFieldFormat(26), "#0.00"}, {FacilityFieldFormat(27), ""},
      {FacilityFieldFormat(35), ""}, {FacilityFieldFormat(99), "#0.00"}, {MobileFieldName(0), "MO_DESC"},
      {MobileFieldName(100), "MOB_RXREF"}, {MobileFieldFormat(1), "0000000"}, {MobileFieldFormat(97), "#0.00"},
      {FacilityFieldFormat(FacilityFieldIndex("RX_THREF")), ""}};
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "row " << i;
  for (int bad : {-1, 249, 100000}) {
    EXPECT_EQ(FacilityFieldName(bad), "");
    EXPECT_EQ(FacilityFieldFormat(bad), "");
  }
  for (int bad : {-1, 101}) {
    EXPECT_EQ(MobileFieldName(bad), "");
    EXPECT_EQ(MobileFieldFormat(bad), "");
  }
  EXPECT_EQ(FacilityFieldIndex("TX_FREQMHZ"), 171);
  EXPECT_EQ(MobileFieldIndex("TX_FREQMHZ"), 10);
  EXPECT_EQ(FacilityFieldIndex("tx_freqmhz"), -1);
  std::set<std::string_view> fac, mob;
  int facFormats = 0, mobFormats = 0;
  for (int i = 0; i < kFacilityFieldCount; ++i) {
    EXPECT_TRUE(fac.insert(FacilityFieldName(i)).second) << FacilityFieldName(i);
    facFormats += !FacilityFieldFormat(i).empty();
  }
  for (int i = 0; i < kMobileFieldCount; ++i) {
    EXPECT_TRUE(mob.insert(MobileFieldName(i)).second) << MobileFieldName(i);
    mobFormats += !MobileFieldFormat(i).empty();
  }
  EXPECT_EQ(facFormats, 7 + 1 + 66);
  EXPECT_EQ(mobFormats, 2 + 1 + 25);
}

TEST(FieldSets, BlankNumbersBecomeFormattedZerosAndAFacilityLackingOneIsRefused) {
  FieldCollection m{{"RX_A1AGL", std::string("  ")}, {"MO_ID", std::string("")}, {"TX_FREQMHZ", std::string("\t")},
                    {"MO_DESC", std::string("")},    {"RX_A1FLD", std::string("39")}, {"RX_SENS", 0.0}};
  FillBlankMobileNumbers(m);
  EXPECT_EQ(m.Keys(), (std::vector<std::string>{"MO_DESC", "RX_A1FLD", "RX_SENS", "MO_ID", "TX_FREQMHZ", "RX_A1AGL"}));
  EXPECT_EQ(*m.Find("RX_A1AGL"), FieldValue(std::string("0.00")));
  EXPECT_EQ(*m.Find("MO_ID"), FieldValue(std::string("0000000")));
  EXPECT_EQ(*m.Find("TX_FREQMHZ"), FieldValue(std::string("0.00000")));
  EXPECT_EQ(*m.Find("MO_DESC"), FieldValue(std::string("")));  // text fields stay blank
  EXPECT_EQ(*m.Find("RX_A1FLD"), FieldValue(std::string("39")));
  // Missing mobile fields are not added.
  EXPECT_FALSE(m.Contains("RX_A1GAIN"));
  FieldCollection f = FullFacility();
  f.Set("DECLAT", std::string(""));
  f.Set("DECLON", std::string(" "));
  f.Set("FAC_ID", std::string(""));
  f.Set("FAC_DESC", std::string(""));
  ASSERT_EQ(FillBlankFacilityNumbers(f), "");
  EXPECT_EQ(*f.Find("DECLAT"), FieldValue(std::string("")));
  EXPECT_EQ(f.At(0).first, "DECLAT");
  EXPECT_EQ(*f.Find("DECLON"), FieldValue(std::string("0.00000")));
  EXPECT_EQ(*f.Find("FAC_ID"), FieldValue(std::string("0000000")));
  EXPECT_EQ(*f.Find("FAC_DESC"), FieldValue(std::string("")));
  EXPECT_EQ(f.At(f.Count() - 2).first, "DECLON");
  EXPECT_EQ(f.At(f.Count() - 1).first, "FAC_ID");
  EXPECT_EQ(f.Count(), static_cast<std::size_t>(kFacilityFieldCount));
  f = FullFacility();
  f.Set("FAC_ELV", std::string(""));
  f.Remove("TX_A1ERP");
  f.Remove("RX_IMPED");
  f.Remove("FAC_DESC");  // text fields may be absent
  const FieldCollection before = f;
  const std::string err = FillBlankFacilityNumbers(f);
  EXPECT_NE(err.find("RX_IMPED"), std::string::npos);
  EXPECT_NE(err.find("TX_A1ERP"), std::string::npos);
  EXPECT_EQ(err.find("FAC_DESC"), std::string::npos);
  EXPECT_EQ(f, before);
  // DECLAT is not needed.
  FieldCollection g = FullFacility();
  g.Remove("DECLAT");
  EXPECT_EQ(FillBlankFacilityNumbers(g), "");
}

}  // namespace
}  // namespace zw
