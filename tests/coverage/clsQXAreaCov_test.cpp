// The calculator base: the unit check of the terrain profile object and the
// common start and end of a terrain path (receiver heights, elevation angle, ERP toward the point,
// free-space and net field).
#include "coverage/clsQXAreaCov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "ModelTestEnv.h"
#include "common/Antenna.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {
namespace {

constexpr double kDegPerRad = 57.29577951308232;

// A model with a fixed loss; it exposes the start of the last path.
class FixedLossCalc : public clsQXAreaCov {
 public:
  bool CovCalc() override {
    last = BeginTerrainPath();
    dModelLoss_ = loss;
    FinishPath(last.endLat, last.endLon, &className);
    return false;
  }
  bool PrtParameters(std::ostream&) override { return true; }
  std::string sNameModel() const override { return "Fixed"; }
  std::string sNameModel2() const override { return "FX"; }

  double loss = 0;
  PathStart last;
  std::string className;

 protected:
  bool ReadParameters(const FieldCollection&) override { return true; }
};

// A profile object with a fixed ground elevation at the end point.
class FlatGround : public platform::clsPathElv {
 public:
  explicit FlatGround(float ground) : ground_(ground) {}
  float ElvAt(double, double) override { return ground_; }

 private:
  float ground_;
};

class CalcTest : public test::ModelTestEnv {
 protected:
  CalcTest() : ModelTestEnv({.resetErrorDisplay = false}) {}
  // A 10 km path due east from (44, -71) at ground 200 m, end ground `ground`.
  std::shared_ptr<FlatGround> Path(float ground) {
    auto p = std::make_shared<FlatGround>(ground);
    p->dStartLat(44.0);
    p->dStartLon(-71.0);
    p->dEndLat(44.0);
    p->dEndLon(-70.875);  // about 10 km east
    p->DIS_Array({0.0, 5000.0, 10000.0});
    p->ELV_Array({200.0f, 150.0f, ground});
    return p;
  }
  // A calculator on Path(ground) with 60 dBm ERP and a receiver 10 m above ground.
  void OnPath(FixedLossCalc& c, float ground, double gainDbd = 0) {
    c.cFAC(Facility(gainDbd));
    c.cPathElv(Path(ground));
    c.dPathLthM(10000.0);
    c.FACERPdBm(60.0);
    c.MOBAntM(10.0);
  }
  static std::shared_ptr<FieldCollection> Facility(double gainDbd) {
    auto f = std::make_shared<FieldCollection>();
    f->Set("TX_FREQMHZ", 100.0);
    f->Set("TX_A1GAIN", gainDbd);
    f->Set("TX_A1GNUN", std::string("dBd"));
    return f;
  }
};

TEST_F(CalcTest, ProfileUnitsMustBeMetres) {
  FixedLossCalc c;
  auto p = std::make_shared<platform::clsPathElv>();
  c.cPathElv(p);
  EXPECT_EQ(c.sOKtoGO(), "");

  ASSERT_TRUE(p->sDisUnits("km"));
  c.cPathElv(p);
  const std::string dis = c.sOKtoGO();
  EXPECT_EQ(dis.rfind("\n", 0), 0u) << "each reason starts with an empty line";
  EXPECT_NE(dis.find("Path Object must have Dis Units = m\n"), std::string::npos) << dis;
  EXPECT_NE(dis.find("Current setting is 'km'\n"), std::string::npos) << dis;
  EXPECT_NE(dis.find("This is an internal setting.  Please contact\n"), std::string::npos) << dis;
  EXPECT_EQ(dis.find("Elv Units"), std::string::npos);

  ASSERT_TRUE(p->sElvUnits("ft"));
  c.cPathElv(p);
  const std::string both = c.sOKtoGO();
  EXPECT_NE(both.find("Path Object must have Elv Units = m"), std::string::npos) << both;
  EXPECT_NE(both.find("Current setting is 'ft'"), std::string::npos) << both;
  EXPECT_NE(both.find("Dis Units"), std::string::npos) << both;

  // Back to metres (and to no object): ready again.
  ASSERT_TRUE(p->sDisUnits("m"));
  ASSERT_TRUE(p->sElvUnits("m"));
  c.cPathElv(p);
  EXPECT_EQ(c.sOKtoGO(), "");
  c.cPathElv(nullptr);
  EXPECT_EQ(c.sOKtoGO(), "");
}

TEST_F(CalcTest, ReceiverHeightsAboveGroundOrSeaLevel) {
  FixedLossCalc c;
  OnPath(c, 120.0f);
  c.FACTXmAGL(50.0);
  c.FACTXmMSL(250.0);
  c.CovCalc();
  EXPECT_FLOAT_EQ(c.rTgtElvM(), 120.0f);
  EXPECT_DOUBLE_EQ(c.last.rxAGL, 10.0);
  EXPECT_DOUBLE_EQ(c.last.rxMSL, 130.0);

  c.bMOBMSL(true);
  c.MOBAntM(150.0);
  c.CovCalc();
  EXPECT_DOUBLE_EQ(c.last.rxMSL, 150.0);
  EXPECT_DOUBLE_EQ(c.last.rxAGL, 30.0);

  // At or below the ground: 0.1 m above it.
  c.MOBAntM(100.0);
  c.CovCalc();
  EXPECT_DOUBLE_EQ(c.last.rxMSL, 100.0);
  EXPECT_DOUBLE_EQ(c.last.rxAGL, 0.1);
  c.MOBAntM(120.0);
  c.CovCalc();
  EXPECT_DOUBLE_EQ(c.last.rxAGL, 0.1);

  // A void at the end point: the ground is the last profile point.
  FixedLossCalc v;
  auto p = Path(platform::kNoElevation);
  p->ELV_Array({200.0f, 150.0f, 90.0f});
  v.cPathElv(p);
  v.dPathLthM(10000.0);
  v.MOBAntM(10.0);
  v.CovCalc();
  EXPECT_FLOAT_EQ(v.rTgtElvM(), 90.0f);
  EXPECT_DOUBLE_EQ(v.last.rxMSL, 100.0);
}

TEST_F(CalcTest, ElevationAngleIsNegativeTowardALowerReceiver) {
  FixedLossCalc c;
  OnPath(c, 100.0f);  // receiver 110 m above sea level

  c.FACTXmMSL(610.0);
  c.CovCalc();
  EXPECT_NEAR(c.last.elevAngle, -std::atan(500.0 / 10000.0) * kDegPerRad, 1e-6);
  EXPECT_LT(c.last.elevAngle, 0.0);

  c.FACTXmMSL(10.0);
  c.CovCalc();
  EXPECT_NEAR(c.last.elevAngle, std::atan(100.0 / 10000.0) * kDegPerRad, 1e-6);

  // Zero path length: straight down, not a division by zero.
  c.FACTXmMSL(610.0);
  c.dPathLthM(0.0);
  c.CovCalc();
  EXPECT_DOUBLE_EQ(c.last.elevAngle, -90.0);
}

TEST_F(CalcTest, ErpTowardThePointFollowsBothPatterns) {
  FixedLossCalc c;
  OnPath(c, 100.0f, 6.0);
  const double az = c.cPathElv()->dPathAz();
  ASSERT_NEAR(az, 90.0, 0.1);

  // Maximum 6 dBd toward north; pattern gains are absolute (dBd).
  clsAntenna ant;
  ant.SetHorizontal({{0.0, 6.0}, {90.0, 0.0}, {180.0, -10.0}, {270.0, 0.0}});
  // Asymmetric vertical pattern: full gain above the horizon, falling below.
  ant.SetVertical({{-90.0, -30.0}, {0.0, 6.0}, {90.0, 6.0}});
  c.daHaz(ant.daHaz);
  c.daHgain(ant.daHgain);
  c.daVel(ant.daVel);
  c.daVgain(ant.daVgain);
  c.FACTXmMSL(610.0);  // receiver 500 m below the antenna
  c.CovCalc();

  const double elev = -std::atan(500.0 / 10000.0) * kDegPerRad;
  const double hLoss = 6.0 - (0.0 + (6.0 - 0.0) * (90.0 - az) / 90.0);
  const double vLoss = 6.0 - (6.0 + 36.0 * elev / 90.0);
  EXPECT_NEAR(c.last.erpToward, 60.0 - hLoss - vLoss, 1e-6);
  EXPECT_GT(vLoss, 1.0) << "the receiver lies below the horizon";
  EXPECT_NEAR(c.dFreeSpaceFld(), c.last.erpToward - 60.0 + 106.92 - 20.0 * std::log10(10.0), 1e-6);

  // A receiver above the antenna sees the full vertical gain.
  c.FACTXmMSL(50.0);
  c.CovCalc();
  EXPECT_NEAR(c.last.erpToward, 60.0 - hLoss, 1e-9);

  // Without a pattern the ERP is the facility's.
  FixedLossCalc plain;
  OnPath(plain, 100.0f, 6.0);
  plain.CovCalc();
  EXPECT_DOUBLE_EQ(plain.last.erpToward, 60.0);
  EXPECT_NEAR(plain.dFreeSpaceFld(), 86.92, 1e-9);
}

TEST_F(CalcTest, NetFieldIsFreeSpaceLessModelAndLandUseLoss) {
  FixedLossCalc c;
  c.cFAC(Facility(0));
  c.loss = 23.5;
  c.dPathLthM(1000.0);
  c.FACERPdBm(60.0);
  auto p = std::make_shared<FlatGround>(1500.0f);
  p->dStartLat(37.29);
  p->dStartLon(-113.0);
  p->DIS_Array({0.0, 1000.0});
  p->ELV_Array({1500.0f, 1500.0f});
  c.cPathElv(p);
  c.PathElvEnd(37.3, -113.0, 123.0);
  EXPECT_DOUBLE_EQ(p->dEndLat(), 37.3);
  EXPECT_DOUBLE_EQ(p->dEndLon(), -113.0);

  c.CovCalc();
  EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), 106.92);
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), 106.92 - 23.5);

  // Evergreen forest at the end point: 10 dB at 900 MHz.
  auto lu = std::make_shared<platform::clsLandUse>();
  lu->sTemplateDir(std::string(RAVO_DATA_DIR) + "/terrain");
  lu->sTemplate("NLCD");
  lu->bUse(true);
  ASSERT_EQ(lu->PrepareBox(37.35, 37.15, -112.9, -113.05, 900), "");
  c.cLandUse(lu);
  c.CovCalc();
  EXPECT_EQ(c.iLUCode(), 42);
  EXPECT_EQ(c.className, "Evergreen Forest");
  EXPECT_DOUBLE_EQ(c.dLULoss(), 10.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), 106.92 - 23.5 - 10.0);

  // Land use switched off: no loss even with the object held.
  lu->bUse(false);
  c.cLandUse(lu);
  c.CovCalc();
  EXPECT_EQ(c.iLUCode(), 0);
  EXPECT_EQ(c.dLULoss(), 0.0);
  EXPECT_DOUBLE_EQ(c.dNetField(), 106.92 - 23.5);
}

TEST_F(CalcTest, FacilityValuesAndCommonDefaults) {
  FixedLossCalc c;
  OnPath(c, 100.0f);
  // A gain in dBi reaches the pattern lookup as dBd: with a flat pattern at
  // the same absolute gain there is no pattern loss.
  auto f = Facility(0);
  f->Set("TX_A1GAIN", 8.15);
  f->Set("TX_A1GNUN", std::string("dBi"));
  c.cFAC(f);
  clsAntenna ant;
  ant.SetHorizontal({{0.0, 6.0}, {180.0, 6.0}});
  c.daHaz(ant.daHaz);
  c.daHgain(ant.daHgain);
  c.CovCalc();
  EXPECT_NEAR(c.last.erpToward, 60.0, 1e-9);
}

}  // namespace
}  // namespace zw
