#include "models/terrain/clsQXAreaCovEG.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/terrain/modPropEG.h"

namespace zw {
namespace {

class EGCalc : public test::ModelTestEnv {
 protected:
  // f = 150 MHz, d = 10 miles, h_t = 100 ft, h_r = 10 ft over flat ground at 0 m.
  static void Ready(clsQXAreaCovEG& c, double lengthM = 16093.44) {
    test::Ready(c, {.tmpl = test::Fields({{"EG_DESC", " Egli 1 "}}), .erpDbm = 50, .txAglM = 30.48, .txMslM = 30.48,
                    .rxM = 3.048, .freqMHz = 150, .details = true, .unDis = "mi"},
                test::Arrays({0.0, lengthM / 2, lengthM}, {0.0f, 0.0f, 0.0f}), lengthM);
  }
};

TEST_F(EGCalc, HandComputedExcessInFeetShortPathNoneZeroHeightAnError) {
  clsQXAreaCovEG c;
  Ready(c);
  EXPECT_EQ(c.sDesc(), "Egli 1");
  EXPECT_NEAR(c.dTxHtFt(), 100.0, 1e-9);
  EXPECT_NEAR(c.dRxHtFt(), 10.0, 1e-9);
  c.CovCalc();
  EXPECT_FALSE(c.bErrorRun());
  EXPECT_NEAR(c.dPathMi(), 10.0, 1e-12);
  // 117 + 40 + 43.52 - 60 = 140.52; reference 32.27 + 43.52 + 20 = 95.79.
  EXPECT_NEAR(c.dModelLoss(), 44.73, 0.01);
  EXPECT_DOUBLE_EQ(c.dModelLoss(), dEgliExcess(150, 10, 100, 10));
  EXPECT_DOUBLE_EQ(c.dFreeSpaceFld(), FreeSpaceFieldM(16093.44, 50.0));
  EXPECT_DOUBLE_EQ(c.dNetField(), c.dFreeSpaceFld() - c.dModelLoss());
  const std::string& t = c.sDetails();
  EXPECT_NE(t.find("dBk@10.00 mi) "), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n\tAdditional Estimated transmission loss: 44.73 dB"), std::string::npos) << t;
  // A mobile height above sea level over ground at 0 m: the same 10 ft.
  c.bMOBMSL(true);
  c.CovCalc();
  EXPECT_NEAR(c.dModelLoss(), dEgliExcess(150, 10, 100, 10), 1e-9);
  // A short path has no excess; a zero height is an error.
  clsQXAreaCovEG c2;
  Ready(c2, 100.0);
  c2.FACTXmAGL(300.0);
  c2.CovCalc();
  EXPECT_EQ(c2.dModelLoss(), 0.0);
  EXPECT_DOUBLE_EQ(c2.dNetField(), c2.dFreeSpaceFld());
  clsQXAreaCovEG h;
  Ready(h);
  h.MOBAntM(0.0);
  h.CovCalc();
  EXPECT_EQ(h.dModelLoss(), 888.0);
  EXPECT_TRUE(h.bErrorRun());
  EXPECT_TRUE(std::isfinite(h.dNetField()));
}

}  // namespace
}  // namespace zw
