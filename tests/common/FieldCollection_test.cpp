#include "common/FieldCollection.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zw
