#include "common/FieldSets.h"

#include <gtest/gtest.h>

#include <set>

namespace zw {
namespace {

FieldCollection FullFacility() {
  FieldCollection c;
  for (int i = 0; i < kFacilityFieldCount; ++i) c.Add(std::string(FacilityFieldName(i)), std::string("1"));
  return c;
}

TEST(FieldSets, NamesAndFormatsByNumberDistinctAndCounted) {
  EXPECT_EQ(FacilityFieldName(0), "DECLAT");
  EXPECT_EQ(FacilityFieldName(22), "FAC_ID");
  EXPECT_EQ(FacilityFieldName(223), "TX_A1ERP");
  EXPECT_EQ(FacilityFieldName(248), "ANT_ELMODE");
  EXPECT_EQ(FacilityFieldFormat(0), "##0.00000");
  EXPECT_EQ(FacilityFieldFormat(22), "0000000");
  EXPECT_EQ(FacilityFieldFormat(26), "#0.00");   // FAC_ELV
  EXPECT_EQ(FacilityFieldFormat(27), "");        // FAC_ELVUN is text
  EXPECT_EQ(FacilityFieldFormat(35), "");        // RX_A1GAIN has no format
  EXPECT_EQ(FacilityFieldFormat(99), "#0.00");   // RX_A2GAIN has
  EXPECT_EQ(MobileFieldName(0), "MO_DESC");
  EXPECT_EQ(MobileFieldName(100), "MOB_RXREF");
  EXPECT_EQ(MobileFieldFormat(1), "0000000");    // MO_ID
  EXPECT_EQ(MobileFieldFormat(97), "#0.00");     // RX_THREF (mobile only)
  EXPECT_EQ(FacilityFieldFormat(FacilityFieldIndex("RX_THREF")), "");
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
