#include "common/PropTemplate.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "common/ModelTable.h"
#include "platform/DbfTable.h"

namespace zw {
namespace {

namespace fs = std::filesystem;

class PropTemplateTest : public ::testing::Test {
 protected:
  fs::path WriteIni(const std::string& text) {
    const auto p = tmp.path() / "T0000042.INI";
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  test::TempDir tmp;
};

TEST_F(PropTemplateTest, EgliEmptyAndLongleyRiceInTemplateOrder) {
  const auto ini = WriteIni("[Propagation Model]\r\nMODEL=Egli\r\n");
  const auto r = BuildPropTemplate(ini, "Propagation Model");
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.modelName, "Egli");
  ASSERT_TRUE(r.map);
  EXPECT_EQ(r.map->Keys(), (std::vector<std::string>{"EG_DESC"}));
  EXPECT_EQ(*r.map->Find("EG_DESC"), FieldValue(std::string("")));
  const auto ini2 = WriteIni(
      "[Other]\nMODEL=Okumura\n"
      "[propagation model]\n"
      "model = longley-rice\n"
      "lr_desc=  Default LR  \n"
      "POLARIZ=V\nCLIM_CODE=5\nSUR_REFRAC=301\nSEA_REFRAC=0\nREL_PERMIT=15\nCONDUCTIVI=0.005\n"
      "LR_MDVAR=12\nLR_VARSIT=50\nLR_VARLOC=50\nLR_VARTIM=90\nNOT_A_FIELD=1\n");
  const auto lr = BuildPropTemplate(ini2, "Propagation Model");
  ASSERT_EQ(lr.error, "");
  EXPECT_EQ(lr.modelName, "longley-rice");
  ASSERT_TRUE(lr.map);
  EXPECT_EQ(lr.map->Keys(), (std::vector<std::string>{"POLARIZ", "SUR_REFRAC", "SEA_REFRAC", "REL_PERMIT",
                                                     "CONDUCTIVI", "CLIM_CODE", "LR_MDVAR", "LR_VARSIT",
                                                     "LR_VARLOC", "LR_VARTIM", "LR_DESC"}));
  EXPECT_EQ(lr.map->GetText("LR_DESC"), "Default LR");
  EXPECT_EQ(lr.map->GetText("CONDUCTIVI"), "0.005");
  EXPECT_EQ(lr.map->GetDouble("LR_VARTIM"), 90.0);
  EXPECT_FALSE(lr.map->Contains("NOT_A_FIELD"));
  EXPECT_FALSE(lr.map->Contains("MODEL"));
}

TEST_F(PropTemplateTest, EveryModelHasATemplate) {
  for (const auto& code : ModelCodes()) {
    for (const auto& name : ModelDisplayNames(code)) {
      const auto ini = WriteIni("[Propagation Model]\nMODEL=" + name + "\n");
      const auto r = BuildPropTemplate(ini, "Propagation Model");
      EXPECT_EQ(r.error, "") << name;
      ASSERT_TRUE(r.map) << name;
      EXPECT_FALSE(r.map->Empty()) << name;
    }
  }
  // The model may also be named by its code.
  const auto ini = WriteIni("[Propagation Model]\nMODEL=hd\nhd_hstrt=3\n");
  const auto r = BuildPropTemplate(ini, "Propagation Model");
  ASSERT_TRUE(r.map) << r.error;
  EXPECT_EQ(r.map->GetText("hd_hstrt"), "3");
}

TEST_F(PropTemplateTest, FailuresGiveTheirTextsAndNoMap) {
  auto r = BuildPropTemplate(WriteIni("[Propagation Model]\nMODEL=\n"), "Propagation Model");
  EXPECT_EQ(r.error, "Blank propagation model name");
  EXPECT_FALSE(r.map);
  r = BuildPropTemplate(tmp.path() / "missing.ini", "Propagation Model");
  EXPECT_EQ(r.error, "Blank propagation model name");
  r = BuildPropTemplate(WriteIni("[Propagation Model]\nMODEL=Free Space\n"), "Propagation Model");
  EXPECT_EQ(r.error, "Empty collection for Propagation Template Fields\r\nData Type QXFLDS");
  EXPECT_EQ(r.modelName, "Free Space");
  EXPECT_FALSE(r.map);
  // A field-definition table that cannot be read says why, after the usual text.
  const auto ini = WriteIni("[Propagation Model]\nMODEL=Egli\n");
  r = BuildPropTemplate(ini, "Propagation Model", tmp.path() / "NONE.DBF");
  EXPECT_EQ(r.error.rfind("Empty collection for Propagation Template Fields\r\nData Type QXEGFLDS\r\n", 0), 0u)
      << r.error;
  EXPECT_FALSE(r.map);
  std::ofstream(tmp.path() / "BAD.DBF", std::ios::binary) << "not a table";
  r = BuildPropTemplate(ini, "Propagation Model", tmp.path() / "BAD.DBF");
  EXPECT_FALSE(r.map);
  EXPECT_NE(r.error.find("Data Type QXEGFLDS"), std::string::npos);
}

TEST_F(PropTemplateTest, FieldsComeFromTheGivenDefinitionTable) {
  const auto ds = tmp.path() / "DS.DBF";
  ASSERT_EQ(platform::DbfTable::Create(ds, {{"TABLE_TYPE", 'C', 10, 0}, {"DATASUM_ID", 'N', 6, 0},
                                            {"FLD_NAME", 'C', 10, 0}, {"FLD_WIDTH", 'N', 3, 0},
                                            {"VB_TYPE", 'C', 10, 0}, {"FLD_DEC", 'N', 2, 0},
                                            {"FOX_TYPE", 'C', 1, 0}}),
            "");
  {
    platform::DbfTable t;
    ASSERT_EQ(t.Open(ds), "");
    int id = 3;
    for (const char* name : {"EG_B", "EG_A", "EG_B"})
      ASSERT_EQ(t.Append({{"TABLE_TYPE", std::string("QXEGFLDS")}, {"DATASUM_ID", id--},
                          {"FLD_NAME", std::string(name)}, {"VB_TYPE", std::string("STRING")}}),
                "");
  }
  const auto ini = WriteIni("[PM]\nMODEL=Egli\nEG_A=1\nEG_B=2\n");
  const auto r = BuildPropTemplate(ini, "PM", ds);
  ASSERT_TRUE(r.map) << r.error;
  EXPECT_EQ(r.map->Keys(), (std::vector<std::string>{"EG_B", "EG_A"}));  // by identifier, once each
  EXPECT_EQ(r.map->GetText("EG_A"), "1");
}

}  // namespace
}  // namespace zw
