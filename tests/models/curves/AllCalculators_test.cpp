// What the model calculators do alike: their names, refusing a bad template
// with a labelled message (logged when silent, shown otherwise), and a
// zero-length path flagged, logged and shown without a NaN field.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "models/CalcHarness.h"
#include "models/curves/clsQXAreaCovBC.h"
#include "models/curves/clsQXAreaCovCA.h"
#include "models/curves/clsQXAreaCovCG.h"
#include "models/curves/clsQXAreaCovCX.h"
#include "models/curves/clsQXAreaCovOK.h"
#include "models/curves/clsQXAreaCovSM.h"
#include "models/terrain/clsQXAreaCovBU.h"
#include "models/terrain/clsQXAreaCovEG.h"
#include "models/terrain/clsQXAreaCovHD.h"
#include "models/terrain/clsQXAreaCovLR.h"
#include "models/terrain/clsQXAreaCovRO.h"
#include "models/terrain/clsQXAreaCovSH.h"

namespace zw {
namespace {

using Make = std::function<std::unique_ptr<clsQXAreaCov>()>;
template <class C>
Make New() {
  return [] { return std::make_unique<C>(); };
}

struct Model {
  const char* code;
  Make make;
  const char* name;
  bool directContour;
};

const Model kModels[] = {
    {"EG", New<clsQXAreaCovEG>(), "Egli", false},
    {"SH", New<clsQXAreaCovSH>(), "Shadow", false},
    {"BU", New<clsQXAreaCovBU>(), "Bullington", false},
    {"HD", New<clsQXAreaCovHD>(), "Hata/Davidson", false},
    {"RO", New<clsQXAreaCovRO>(), "Rounded Obstacle", false},
    {"LR", New<clsQXAreaCovLR>(), "Longley-Rice", false},
    {"OK", New<clsQXAreaCovOK>(), "Okumura", false},
    {"CA", New<clsQXAreaCovCA>(), "Carey - Interpolated", true},
    {"CG", New<clsQXAreaCovCG>(), "Cellular - CGSA", true},
    {"CX", New<clsQXAreaCovCX>(), "Carey - FCC 94-201", true},
    {"BC", New<clsQXAreaCovBC>(), "Broadcast (Part 73)", true},
    {"SM", New<clsQXAreaCovSM>(), "Specialized Mobile Radio", true},
};

std::shared_ptr<FieldCollection> Empty() { return std::make_shared<FieldCollection>(); }

std::shared_ptr<FieldCollection> LRTemplate() {
  return test::Fields({{"POLARIZ", "V"}, {"SUR_REFRAC", "301"}, {"SEA_REFRAC", "0"}, {"REL_PERMIT", "15"},
                       {"CONDUCTIVI", "0.005"}, {"CLIM_CODE", "5"}, {"LR_MDVAR", "12"}, {"LR_VARSIT", "50"},
                       {"LR_VARLOC", "50"}, {"LR_VARTIM", "90"}, {"LR_DESC", "LR"}});
}

// A model that refuses a zero-length path, and what it logs and shows.
struct ZeroLength {
  const char* code;
  Make make;
  std::function<std::shared_ptr<FieldCollection>()> good;  // an accepted template
  const char* message;
};

const ZeroLength kZeroLength[] = {
    {"EG", New<clsQXAreaCovEG>(), Empty, "Egli: the path length is 0"},
    {"HD", New<clsQXAreaCovHD>(), Empty, "Hata/Davidson path at azimuth"},
    {"CA", New<clsQXAreaCovCA>(), Empty, "Zero-length path in ClsQXAreaCovCA.CovCalc"},
    {"CG", New<clsQXAreaCovCG>(), Empty, "Zero-length path in ClsQXAreaCovCG.CovCalc"},
    {"CX", New<clsQXAreaCovCX>(), [] { return test::Fields({{"CX_CURVE", "3"}}); },
     "Zero-length path in ClsQXAreaCovCX.CovCalc"},
    {"BC", New<clsQXAreaCovBC>(), Empty, "Zero-length path in ClsQXAreaCovBC.CovCalc"},
    {"SM", New<clsQXAreaCovSM>(), Empty, "Zero-length path in ClsQXAreaCovSM.CovCalc"},
};

class EveryCalculator : public ::testing::TestWithParam<Model> {};

TEST_P(EveryCalculator, Names) {
  const auto c = GetParam().make();
  EXPECT_EQ(c->sNameModel(), GetParam().name);
  EXPECT_EQ(c->sNameModel2(), GetParam().code);
  EXPECT_EQ(c->bDirectContourCalc(), GetParam().directContour);
}

INSTANTIATE_TEST_SUITE_P(Models, EveryCalculator, ::testing::ValuesIn(kModels),
                         [](const auto& info) { return std::string(info.param.code); });

class ZeroLengthPath : public test::ModelTestEnv, public ::testing::WithParamInterface<ZeroLength> {
 protected:
  ZeroLengthPath() : ModelTestEnv({.configHome = true}) {}
};

TEST_P(ZeroLengthPath, IsFlaggedLoggedAndShownWithoutNaN) {
  const ZeroLength& m = GetParam();
  const auto c = m.make();
  test::Ready(*c, {.tmpl = m.good(), .erpDbm = 60, .txAglM = 30, .txMslM = 130, .rxM = 2, .freqMHz = 150});
  ASSERT_TRUE(c->cPropMod()) << c->sReadError();
  c->cMOB(test::Mobile(43.0));
  const auto p = test::Along(44.0, -71.0, 90.0, 30.0, 500, test::Level(100.0f));
  test::RunKm(*c, p, 30.0);
  ASSERT_FALSE(c->bErrorRun()) << c->sPathError();
  c->bSilent(false);
  test::RunKm(*c, p, 0.0);
  EXPECT_TRUE(c->bErrorRun());
  EXPECT_TRUE(std::isfinite(c->dNetField()));
  EXPECT_NE(Log().find(m.message), std::string::npos) << Log();
  // The model's message once; besides it only the numeric routines' notice
  // of a logarithm of 0, which a process shows the first time only.
  int mine = 0;
  for (const auto& s : messages->Log()) {
    if (s.text.find(m.message) != std::string::npos) ++mine;
    else EXPECT_NE(s.text.find("Log 0"), std::string::npos) << s.text;
  }
  EXPECT_EQ(mine, 1) << m.message;
}

INSTANTIATE_TEST_SUITE_P(Models, ZeroLengthPath, ::testing::ValuesIn(kZeroLength),
                         [](const auto& info) { return std::string(info.param.code); });

// A template the model's reader refuses, and the message naming the setting.
struct Refusal {
  const char* code;
  Make make;
  std::function<std::shared_ptr<FieldCollection>()> bad;
  const char* error;
};

const Refusal kRefusals[] = {
    {"SH", New<clsQXAreaCovSH>(), [] { return test::Fields({{"SH_BFIXED", "1"}, {"SH_DESC", "Half Fresnel"}}); },
     "SH Fixed Angle\nInvalid setting: (missing)"},
    {"BU", New<clsQXAreaCovBU>(),
     [] {
       return test::Fields({{"BU_REFLECT", "0"}, {"Min_Dist", "100"}, {"MinDistUn", "parsecs"},
                            {"Loss_Mode", "MIN DISTANCE"}, {"BU_DESC", "  Test BU  "}});
     },
     "BU Minimum Distance\nInvalid setting: 100 parsecs"},
    {"HD", New<clsQXAreaCovHD>(),
     [] { return test::Fields({{"AREA_COR", "SUBURBAN"}, {"hd_hstop", "5"}, {"hd_hstopun", "furlongs"}}); },
     "HD HAAT Stop Distance\nInvalid setting: 5 furlongs"},
    {"RO", New<clsQXAreaCovRO>(),
     [] { return test::Fields({{"RO_OBRES", "5"}, {"RO_OBRESUN", "ft"}, {"RO_AMODE", "AVG"}, {"RO_DESC", "Hills"}}); },
     "RO Attenuation Mode\nInvalid setting: AVG"},
    {"LR", New<clsQXAreaCovLR>(),
     [] {
       auto m = LRTemplate();
       m->Set("LR_VARTIM", std::string("100"));
       return m;
     },
     "LR Time Variability\nInvalid setting: 100"},
    {"OK", New<clsQXAreaCovOK>(), [] { return test::Fields({{"AREA_COR", "downtown"}}); },
     "Okumura Area type\nInvalid setting: downtown"},
    {"CX", New<clsQXAreaCovCX>(),
     [] { return test::Fields({{"CX_CURVE", "3"}, {"CX_hstrt", "3"}, {"CX_hstrtun", "furlongs"}}); },
     "CX HAAT Start Distance\nInvalid setting: 3 furlongs"},
    {"BC", New<clsQXAreaCovBC>(), [] { return test::Fields({{"bc_hstrt", "3"}, {"bc_hstrtun", "furlongs"}}); },
     "BC HAAT Start Distance\nInvalid setting: 3 furlongs"},
    {"SM", New<clsQXAreaCovSM>(), [] { return test::Fields({{"SM_hstrt", "2"}, {"SM_hstrtun", "parsecs"}}); },
     "SM HAAT Start Distance\nInvalid setting: 2 parsecs"},
};

class EveryReader : public test::ModelTestEnv, public ::testing::WithParamInterface<Refusal> {
 protected:
  EveryReader() : ModelTestEnv({.configHome = true}) {}
};

TEST_P(EveryReader, RefusesABadTemplateLoggedWhenSilentShownOtherwise) {
  const Refusal& r = GetParam();
  const auto c = r.make();
  c->bSilent(true);
  c->cPropMod(r.bad());
  EXPECT_FALSE(c->cPropMod());
  EXPECT_EQ(c->sReadError(), r.error);
  EXPECT_NE(Log().find(r.error), std::string::npos) << Log();
  EXPECT_TRUE(messages->Log().empty());
  c->bSilent(false);
  c->cPropMod(r.bad());
  EXPECT_FALSE(c->cPropMod());
  ASSERT_EQ(messages->Log().size(), 1u);
  EXPECT_NE(messages->Log()[0].text.find(r.error), std::string::npos) << messages->Log()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Models, EveryReader, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.code); });

}  // namespace
}  // namespace zw
