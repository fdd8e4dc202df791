#include "engine/clsRFProp.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Config.h"
#include "common/FieldSets.h"
#include "platform/NumberFormat.h"
#include "common/PropTemplate.h"
#include "common/TextJoin.h"
#include "engine/PointToPoint.h"
#include "geo/Geodesic.h"
#include "platform/DbfTable.h"
#include "platform/MessageBox.h"
#include "platform/terrain/TerrainSource.h"
#include "platform/terrain/clsPathElv.h"
#include "Installation.h"

namespace zw {
namespace {

using test::Installation;

using Fields = std::vector<std::pair<std::string, std::string>>;

// Every facility field blank, then a transmitter at 0,0 (site 100 m, antenna
// 30 m above ground, 60 dBm at 450 MHz), then the given changes.
std::shared_ptr<FieldCollection> Facility(const Fields& changes = {}) {
  auto f = std::make_shared<FieldCollection>();
  for (int i = 0; i < kFacilityFieldCount; ++i) f->Add(std::string(FacilityFieldName(i)), std::string());
  const Fields good = {{"DECLAT", "0"},      {"DECLON", "0"},      {"FAC_DATUM", "NAD 83"}, {"FAC_ELV", "100"},
                       {"FAC_ELVUN", "m"},   {"TX_A1AGL", "30"},   {"TX_A1AGLUN", "m"},     {"TX_A1ELMOD", "AGL"},
                       {"TX_A1ERP", "60"},   {"TX_A1ERPUN", "dBm"}, {"TX_FREQMHZ", "450"},  {"TX_A1GAIN", "0"},
                       {"TX_A1GNUN", "dBd"}};
  for (const Fields* values : {&good, &changes})
    for (const auto& [k, v] : *values) f->Set(k, v);
  return f;
}

std::shared_ptr<FieldCollection> Mobile(const std::string& hgt, const std::string& un, const std::string& ref,
                                        const std::string& fldUn = "dBu") {
  return std::make_shared<FieldCollection>(FieldCollection{{"TX_A1AGL", hgt},
                                                           {"TX_A1AGLUN", un},
                                                           {"MOB_RXREF", ref},
                                                           {"RX_A1FLD", std::string("39")},
                                                           {"RX_A1FLDUN", fldUn}});
}

constexpr const char* kLRTemplate =
    "[Propagation Model]\nMODEL=Longley-Rice\nLR_DESC=Test LR\nPOLARIZ=V\nCLIM_CODE=5\nSUR_REFRAC=301\n"
    "SEA_REFRAC=0\nREL_PERMIT=15\nCONDUCTIVI=0.005\nLR_MDVAR=12\nLR_VARSIT=50\nLR_VARLOC=50\nLR_VARTIM=50\n";

std::shared_ptr<FieldCollection> LRTemplate(const Installation& inst, const std::string& text = kLRTemplate) {
  const auto r = BuildPropTemplate(inst.Write("LR.INI", text), "Propagation Model");
  EXPECT_EQ(r.error, "");
  return r.map;
}

// An engine ready for RunPathSetup toward azimuth 45 on a 10 km profile with
// a ridge in the middle, 200 m spacing.
void Prepare(clsRFProp& e, const Installation& inst) {
  e.bSilent(true);
  e.sPropModel("LR");
  e.cPropMod(LRTemplate(inst));
  e.cFAC(Facility());
  e.cMOB(Mobile("2", "m", "AGL"));
  std::vector<double> dis;
  std::vector<float> elv;
  for (int i = 0; i <= 50; ++i) {
    dis.push_back(200.0 * i);
    elv.push_back(static_cast<float>(100.0 + 80.0 * std::exp(-std::pow((i - 25) / 6.0, 2)) + (i % 3)));
  }
  e.ELV_Array(elv);
  e.DIS_Array(dis);
  double lat = 0, lon = 0;
  Geodesic::ForwardKm(0, 0, 45, 10, lat, lon);
  e.dTgtLat(lat);
  e.dTgtLon(lon);
  e.dTgtAz(45);
  e.dTgtDisKM(10);
  e.sDetailUnPwr("dBm");
  e.sDetailUnDis("km");
  e.sDetailUnElv("m");
}

TEST(RFPropEngine, UserLoginClearsTheCollectionsAndSelectsTheUsersDefaults) {
  Installation inst;
  clsRFProp e;
  e.bSilent(true);
  e.cFAC(Facility());
  e.cMOB(Mobile("2", "m", "AGL"));
  e.cPropMod(LRTemplate(inst));
  e.OBS_Use(true);
  ASSERT_TRUE(e.cFAC());
  inst.Write("ZWDEFAULTS_ann.INI", "[System Units]\nDistance Units=nm\n");
  e.OXAUserLogin("ann");
  EXPECT_EQ(UserLogin(), "ann");
  EXPECT_FALSE(e.cFAC());
  EXPECT_FALSE(e.cMOB());
  EXPECT_FALSE(e.cPropMod());
  EXPECT_FALSE(e.cOBS());
  EXPECT_EQ(DefaultsFile(), (inst.path() / "ZWDEFAULTS_ann.INI").string());
  EXPECT_EQ(e.sDetailUnDis(), "nm");
  // The login reaches the profile objects the engine creates.
  e.ELV_Array({1.0f, 2.0f});
  ASSERT_TRUE(e.cPathElv());
  EXPECT_EQ(e.cPathElv()->sUserLogin(), "ann");
  // Without a facility the run is refused rather than computed on old values.
  Prepare(e, inst);
  e.cFAC(nullptr);
  EXPECT_NE(e.RunPathSetup().find("cFAC"), std::string::npos);
}

TEST(RFPropEngine, AProfileInOtherUnitsIsTakenInMetres) {
  Installation inst;
  clsRFProp e;
  auto p = std::make_shared<platform::clsPathElv>();
  p->ELV_Array({328.084f, 656.168f});
  p->DIS_Array({0.0, 3280.84});
  ASSERT_TRUE(p->sElvUnits("ft"));
  ASSERT_TRUE(p->sDisUnits("ft"));
  e.cPathElv(p);
  EXPECT_EQ(e.cPathElv()->sElvUnits(), "m");
  EXPECT_EQ(e.cPathElv()->sDisUnits(), "m");
  // Only one unit off: both end in metres.
  auto q = std::make_shared<platform::clsPathElv>();
  ASSERT_TRUE(q->sDisUnits("km"));
  e.cPathElv(q);
  EXPECT_EQ(q->sElvUnits(), "m");
  EXPECT_EQ(q->sDisUnits(), "m");
}

TEST(RFPropFacility, HeightsErpAndDatum) {
  Installation inst;
  clsRFProp e;
  e.cFAC(Facility({{"TX_A1ELMOD", "MSL"}, {"TX_A1AGL", "150"}, {"TX_A1ERP", "100"}, {"TX_A1ERPUN", "W"}}));
  EXPECT_EQ(e.sFacilityMessage(), "");
  EXPECT_TRUE(inst.messages().Log().empty());
  EXPECT_DOUBLE_EQ(e.FACTXmAGL(), 50.0);
  EXPECT_DOUBLE_EQ(e.FACTXmMSL(), 150.0);
  EXPECT_NEAR(e.FACERPdBm(), 50.0, 1e-9);
  EXPECT_EQ(e.iFacDatumCode(), 4269);
  // Above ground in feet on a site given in metres.
  e.cFAC(Facility({{"TX_A1AGL", "100"}, {"TX_A1AGLUN", "ft"}}));
  EXPECT_EQ(e.sFacilityMessage(), "");
  EXPECT_NEAR(e.FACTXmAGL(), 30.48, 1e-9);
  EXPECT_NEAR(e.FACTXmMSL(), 130.48, 1e-4);
  // Blank numeric fields were filled in the map the host handed over.
  EXPECT_EQ(e.cFAC()->GetText("TX_A1MTILT"), "0.00");
}

TEST(RFPropFacility, EveryProblemIsCollectedAndReported) {
  Installation inst;
  clsRFProp e;
  e.cFAC(Facility({{"DECLAT", "-888"}, {"FAC_ELVUN", ""}, {"TX_A1ELMOD", "MSL"}, {"TX_A1AGL", "50"},
                   {"FAC_ELV", "100"}, {"TX_A1ERPUN", ""}, {"TX_FREQMHZ", "0"}}));
  const std::string m = e.sFacilityMessage();
  EXPECT_EQ(m.rfind("Invalid Task Fixed Facility Coordinates\n-888\n0", 0), 0u) << m;
  // Blank site units cannot be converted for the MSL antenna.
  for (const char* says : {"\n\nInvalid Task TX Site elevation", "Invalid FAC TX ERP", "Invalid Task TX Frequency",
                           "Error converting FAC TX MSL Antenna height to AGL"})
    EXPECT_NE(m.find(says), std::string::npos) << says;
  EXPECT_TRUE(inst.Shown("Invalid Task TX Frequency"));
  EXPECT_NE(inst.Log().find("Invalid FAC TX ERP"), std::string::npos);

  // Antenna below the ground of an MSL site.
  clsRFProp f;
  f.bSilent(true);
  f.cFAC(Facility({{"TX_A1ELMOD", "MSL"}, {"TX_A1AGL", "80"}}));
  EXPECT_EQ(f.sFacilityMessage(), "Invalid FAC TX Antenna Height");
  EXPECT_FALSE(inst.Shown("Invalid FAC TX Antenna Height"));  // silent: logged only
  EXPECT_NE(inst.Log().find("Invalid FAC TX Antenna Height"), std::string::npos);

  // A blank latitude is no latitude; missing numeric fields are named.
  f.cFAC(Facility({{"DECLAT", " "}}));
  EXPECT_NE(f.sFacilityMessage().find("Invalid Task Fixed Facility Coordinates"), std::string::npos);
  auto partial = std::make_shared<FieldCollection>(FieldCollection{{"TX_FREQMHZ", std::string("450")}});
  f.cFAC(partial);
  EXPECT_NE(f.sFacilityMessage().find("Facility fields missing: "), std::string::npos);
  EXPECT_EQ(partial->Count(), 1u);
}

// A one-antenna library: 6 dBd, horizontal and vertical patterns.
void MakeAntennaLibrary(const std::filesystem::path& dir) {
  using platform::DbfTable;
  std::filesystem::create_directories(dir);
  // A table of antenna A1's rows {a, b}.
  auto table = [](const std::filesystem::path& file, const platform::DbfField& a, const platform::DbfField& b,
                  const std::vector<std::pair<FieldValue, FieldValue>>& rows) {
    ASSERT_EQ(DbfTable::Create(file, {{"ATYPE_ID", 'C', 12, 0}, a, b}, true), "");
    DbfTable t;
    ASSERT_EQ(t.Open(file), "");
    for (const auto& [x, y] : rows)
      ASSERT_EQ(t.Append({{"ATYPE_ID", std::string("A1")}, {a.name, x}, {b.name, y}}), "");
    ASSERT_EQ(t.Close(), "");
  };
  table(dir / "LIB.DBF", {"GAIN", 'N', 8, 2}, {"GAIN_UN", 'C', 5, 0}, {{6.0, std::string("dBd")}});
  table(dir / "LIBAHD.DBF", {"HOR_AZ", 'N', 8, 2}, {"HOR_FIELD", 'N', 8, 4}, {{0.0, 1.0}, {180.0, 0.5}});
  table(dir / "LIBAVD.DBF", {"VERT_ANGLE", 'N', 8, 2}, {"VERT_FIELD", 'N', 8, 4},
        {{-10.0, 0.1}, {0.0, 1.0}, {5.0, 0.5}});
}

TEST(RFPropFacility, AntennaFromTheLibraryOrPlainGain) {
  Installation inst;
  MakeAntennaLibrary(inst.path() / "ANTENNAS");
  clsRFProp e;
  e.bSilent(true);
  e.cFAC(Facility({{"TX_A1FNM", "LIB"}, {"TX_A1TID", "A1"}, {"TX_A1INVRT", "True"}}));
  ASSERT_EQ(e.sFacilityMessage(), "");
  const clsAntenna& a = e.Antenna();
  EXPECT_DOUBLE_EQ(a.dGain, 6.0);
  ASSERT_EQ(a.iHorCount, 2);
  ASSERT_EQ(a.iVertCount, 3);
  // Mounted upside down: the vertical angles are negated (and kept ascending).
  EXPECT_EQ(a.daVel, (std::vector<double>{0.0, -5.0, 0.0, 10.0}));
  // Setting the same facility again does not invert twice.
  e.cFAC(Facility({{"TX_A1FNM", "LIB"}, {"TX_A1TID", "A1"}, {"TX_A1INVRT", "True"}}));
  EXPECT_EQ(e.Antenna().daVel, (std::vector<double>{0.0, -5.0, 0.0, 10.0}));
  EXPECT_EQ(e.sFacilityMessage(), "");

  // An unknown antenna is refused with the loader's message.
  e.cFAC(Facility({{"TX_A1FNM", "LIB"}, {"TX_A1TID", "NONE"}}));
  EXPECT_NE(e.sFacilityMessage(), "");
  EXPECT_FALSE(e.Antenna().HasPattern());

  // No file or no id: the plain gain and no pattern.
  e.cFAC(Facility({{"TX_A1FNM", "LIB"}, {"TX_A1GAIN", "2.5 dB"}, {"TX_A1GNUN", "dBi"}}));
  EXPECT_EQ(e.sFacilityMessage(), "");
  EXPECT_DOUBLE_EQ(e.Antenna().dGain, 2.5);
  EXPECT_EQ(e.Antenna().sGainUn, "dBi");
  EXPECT_FALSE(e.Antenna().HasPattern());
  EXPECT_EQ(e.Antenna().daHaz, std::vector<double>{0.0});
}

TEST(RFPropMobile, HeightReferenceAndFieldUnits) {
  Installation inst;
  clsRFProp e;
  e.cMOB(Mobile("-5", "m", "MSL"));
  EXPECT_EQ(e.sMobileMessage(), "");
  EXPECT_TRUE(e.bMOBMSL());
  EXPECT_DOUBLE_EQ(e.MOBAntM(), -5.0);
  EXPECT_TRUE(inst.messages().Log().empty());

  e.cMOB(Mobile("-5", "m", "AGL"));
  EXPECT_EQ(e.sMobileMessage(), "Invalid Mobile TX Antenna Height");
  EXPECT_FALSE(e.bMOBMSL());
  EXPECT_TRUE(inst.Shown("Invalid Mobile TX Antenna Height"));
  // A blank reference is used as above ground, so it is checked the same way.
  e.cMOB(Mobile("0", "m", ""));
  EXPECT_EQ(e.sMobileMessage(), "Invalid Mobile TX Antenna Height");

  e.cMOB(Mobile("6", "ft", "AGL", "dBm"));
  EXPECT_EQ(e.sMobileMessage(), "Field strength units for mobile are not in dBu: dBm");
  EXPECT_NEAR(e.MOBAntM(), 1.8288, 1e-6);
  e.cMOB(Mobile("6", "furlong", "AGL", "dBu"));
  EXPECT_EQ(e.sMobileMessage(), "Error converting Mobile TX Antenna to meters");
}

// The model is named exactly; every refused input stops the setup.
TEST(RFPropSetup, ModelSelectionIsExactAndRefusedInputsStopTheSetup) {
  Installation inst;
  clsRFProp e;
  Prepare(e, inst);
  e.sPropModel("lr");
  EXPECT_EQ(Trim(e.RunPathSetup()), "Error setting cCovModel in clsRFProp.RunPathSetup");
  EXPECT_EQ(e.Calculator(), nullptr);
  for (const char* name : {"LR", "Longley-Rice"}) {
    e.sPropModel(name);
    EXPECT_EQ(e.RunPathSetup(), "") << name;
    ASSERT_NE(e.Calculator(), nullptr);
    EXPECT_EQ(e.Calculator()->sNameModel2(), "LR");
  }
  // Unassigned model: the settings message, then the setup failure.
  e.bSilent(false);
  e.sPropModel("  ");
  EXPECT_EQ(Trim(e.RunPathSetup()), "Error setting cCovModel in clsRFProp.RunPathSetup");
  const auto log = inst.messages().Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().title, "Invalid Settings");
  EXPECT_EQ(log.front().text.rfind("Prop Model has not been assigned.\n\n", 0), 0u);
  EXPECT_NE(log.front().text.find("along with a description of what you were trying to do when this error occurred."),
            std::string::npos);

  // A template the model refuses; no profile, or arrays of different lengths.
  clsRFProp d;
  Prepare(d, inst);
  auto bad = LRTemplate(inst);
  bad->Set("LR_VARTIM", std::string("150"));
  d.cPropMod(bad);
  EXPECT_EQ(Trim(d.RunPathSetup()), "Error setting cCovModel in clsRFProp.RunPathSetup");
  EXPECT_NE(inst.Log().find("Error setting Prop model in SetModel Class"), std::string::npos);

  clsRFProp f;
  Prepare(f, inst);
  f.cPathElv(nullptr);
  EXPECT_NE(f.RunPathSetup().find("Terrain profile not set"), std::string::npos);
  f.ELV_Array({100.0f, 101.0f, 102.0f});
  f.DIS_Array({0.0, 100.0});
  EXPECT_NE(f.RunPathSetup().find("ELV_Array holds 3 points, DIS_Array 2"), std::string::npos);
  EXPECT_NE(f.RunPath(), "");
  EXPECT_EQ(f.sDetails(), "");

  // A refused facility or mobile.
  clsRFProp g;
  Prepare(g, inst);
  g.cFAC(Facility({{"TX_FREQMHZ", "-1"}}));
  const std::string r = g.RunPathSetup();
  EXPECT_NE(r.find("Invalid Task TX Frequency"), std::string::npos) << r;
  EXPECT_NE(g.RunPath(), "");  // nothing to run
  g.cFAC(Facility());
  g.cMOB(Mobile("2", "m", "AGL", "dBm"));
  EXPECT_NE(g.RunPathSetup().find("Field strength units for mobile are not in dBu: dBm"), std::string::npos);
  g.cMOB(Mobile("2", "m", "AGL"));
  EXPECT_EQ(g.RunPathSetup(), "");
}

TEST(RFPropSetup, PathEndAndLengthReachTheCalculator) {
  Installation inst;
  clsRFProp e;
  Prepare(e, inst);
  e.dTgtDisKM(12.5);
  e.dTgtLat(0.07);
  e.dTgtLon(0.08);
  ASSERT_EQ(e.RunPathSetup(), "");
  EXPECT_DOUBLE_EQ(e.Calculator()->dPathLthM(), 12500.0);
  EXPECT_EQ(e.cPathElv()->dEndLat(), 0.07);
  EXPECT_EQ(e.cPathElv()->dEndLon(), 0.08);
  // The profile handed in as arrays starts at the transmitter.
  EXPECT_EQ(e.cPathElv()->dStartLat(), 0.0);
  EXPECT_EQ(e.Calculator()->FACTXmMSL(), 130.0);
  EXPECT_EQ(e.Calculator()->MOBAntM(), 2.0);
  EXPECT_EQ(e.Calculator()->sDetails(), "");
  // Land use switched on without a usable template: the path still runs, with no class.
  e.LU_Use(true);
  e.dTgtDisKM(10);
  ASSERT_EQ(e.RunPathSetup(), "");
  EXPECT_EQ(e.RunPath(), "");
  EXPECT_EQ(e.Calculator()->iLUCode(), 0);
  EXPECT_EQ(e.Calculator()->dLULoss(), 0.0);
}

// The engine's details: the transmit antenna line, the model's parameter
// listing, its account of the path and the net field.
TEST(RFPropRun, DetailsListTheAntennaParametersAccountAndField) {
  Installation inst;
  clsRFProp e;
  Prepare(e, inst);
  e.bDetails(true);
  ASSERT_EQ(e.RunPathSetup(), "");
  ASSERT_EQ(e.RunPath(), "");
  std::string params;
  std::istringstream in(ParameterText(*e.Calculator()));
  for (std::string line; std::getline(in, line);) params += "\n" + line;
  const std::string expected = "TX Ant: 130.00 m MSL (Site 100.00 m MSL + 30.00 m AGL)\n" + std::string("\n") +
                               params + "\n" + e.Calculator()->sDetails() + "\n" + "Net received field: " +
                               FormatNumber(e.dFldDBU(), "#0.00") + " dBu";
  EXPECT_EQ(e.sDetails(), expected);

  // A second path on the same engine: its own listing only, and a new setup first.
  EXPECT_NE(e.RunPath(), "");
  EXPECT_EQ(e.sDetails(), expected);
  ASSERT_EQ(e.RunPathSetup(), "");
  ASSERT_EQ(e.RunPath(), "");
  EXPECT_EQ(e.sDetails(), expected);

  // The antenna line in the facility's units.
  clsRFProp f;
  Prepare(f, inst);
  f.cFAC(Facility({{"FAC_ELV", "328.084"}, {"FAC_ELVUN", "ft"}, {"TX_A1AGL", "98.4252"}, {"TX_A1AGLUN", "ft"}}));
  ASSERT_EQ(f.sFacilityMessage(), "");
  ASSERT_EQ(f.RunPathSetup(), "");
  ASSERT_EQ(f.RunPath(), "");
  EXPECT_EQ(f.sDetails().rfind("TX Ant: 426.51 ft MSL (Site 328.08 ft MSL + 98.43 ft AGL)\n", 0), 0u) << f.sDetails();
  // Details off: the line, the listing and the net field still appear.
  EXPECT_NE(f.sDetails().find("\nLongley-Rice Propagation Study\n"), std::string::npos);
  const std::string net = "\nNet received field: " + FormatNumber(f.dFldDBU(), "#0.00") + " dBu";
  EXPECT_EQ(f.sDetails().substr(f.sDetails().size() - net.size()), net);
}

// A profile at a 90 m step with a shorter last interval, written with three
// decimals (the sample terrain's elevations): the CSV path is accepted and
// gives exactly what the engine gives for the same arrays.
TEST(RFPropRun, ProfileCsvFollowsTheEngineRuleForDisArray) {
  Installation inst;
  auto terrain = std::make_shared<platform::TerrainSource>();
  terrain->Add((std::filesystem::path(RAVO_DATA_DIR) / "terrain" / "N44W072.hgt").string());
  platform::clsPathElv path(terrain);
  path.dStartLat(44.4365);
  path.dStartLon(-71.4131);
  path.dEndLat(44.2);
  path.dEndLon(-71.6);
  path.dStep(90);
  ASSERT_TRUE(path.ExtractProfile()) << path.sMessage();
  std::string csv = "distance_m,elevation_m\n";
  const std::size_t n = path.DIS_Array().size();
  for (std::size_t i = 0; i < n; ++i)
    csv += fmt::format("{:.3f},{:.2f}\n", i + 1 < n ? 90.0 * i : 90.0 * i - 41.0, path.ELV_Array()[i]);
  const auto file = inst.Write("path.csv", csv);
  std::vector<double> dis;
  std::vector<float> elv;
  ASSERT_EQ(ReadProfileCsv(file.string(), dis, elv), "");
  const std::size_t last = dis.size() - 1;
  ASSERT_LT(dis[last] - dis[last - 1], dis[1] - dis[0] - 1.0) << "a shorter last interval";

  P2PRequest req;
  req.model = "LR";
  req.templateFile = inst.Write("LR.INI", kLRTemplate).string();
  req.profileCsv = file.string();
  req.azimuth = 45;
  req.freqMHz = 450;
  req.txAglM = 30;
  req.rxAglM = 2;
  req.erpValue = 60;
  req.erpUnit = "dBm";
  P2PContext ctx;
  const P2PResult p2p = ctx.Run(req);
  ASSERT_TRUE(p2p.ok) << p2p.error;
  EXPECT_DOUBLE_EQ(p2p.pathLengthM, dis.back());

  clsRFProp e;
  Prepare(e, inst);
  e.ELV_Array(elv);
  e.DIS_Array(dis);
  e.dTgtDisKM(dis.back() / 1000.0);
  ASSERT_EQ(e.RunPathSetup(), "");
  ASSERT_EQ(e.RunPath(), "");
  EXPECT_EQ(e.Calculator()->dModelLoss(), p2p.modelLossDb);
  EXPECT_EQ(e.dFldDBU(), p2p.netFieldDbu);

  // A later interval off the first one by more than rounding is refused.
  std::vector<double> bad = dis;
  bad[2] += 5;
  EXPECT_EQ(CheckProfile(bad, elv).rfind("Profile spacing is not equal: point 3", 0), 0u);
}

TEST(RFPropTask, TaskNumbers) {
  Installation inst;
  clsRFProp e;
  e.lTaskID(0);
  e.lTaskID(-3);
  EXPECT_TRUE(inst.messages().Log().empty());
  EXPECT_EQ(inst.Log().find("Task database"), std::string::npos);
  e.lTaskID(12);
  EXPECT_TRUE(inst.Shown("Task 0000012 not found in the task database"));
  EXPECT_NE(e.RunCovArea(), "");
}

}  // namespace
}  // namespace zw
