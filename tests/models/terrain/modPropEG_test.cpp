#include "models/terrain/modPropEG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/FreeSpace.h"
#include "models/CalcHarness.h"
#include "models/terrain/clsQXAreaCovEG.h"

namespace zw {
namespace {

// Egli (Proc. IRE 45, 1957): L = 117 + 40 log d + 20 log f - 20 log(ht hr),
// d in miles, heights in feet; the reference is the dipole-to-dipole free
// space loss 32.27 + 20 log f + 20 log d (36.58 for isotropic antennas less
// 2 x 2.15 dB). The frequency cancels: excess = 84.73 + 20 log d - 20 log(ht hr),
// never below 0 (free space).
TEST(modPropEG, NeverBelowFreeSpace) {
  // 150 MHz, 10 mi, 100 ft, 10 ft: 140.52 - 95.79 = 44.73 dB.
  EXPECT_NEAR(dEgliExcess(150, 10, 100, 10), 44.73, 1e-9);
  // 30 mi, 500 ft and 6 ft: 84.73 + 29.5424 - 69.5424 = 44.73 dB.
  EXPECT_NEAR(dEgliExcess(450, 30, 500, 6), 84.73 + 20 * std::log10(30.0) - 20 * std::log10(3000.0), 1e-9);
  EXPECT_NEAR(dEgliExcess(450, 30, 500, 6), dEgliExcess(40, 30, 500, 6), 1e-9);
  // 1 mi between 1000 ft masts: 84.73 - 120 < 0.
  EXPECT_EQ(dEgliExcess(150, 1, 1000, 1000), 0.0);
  // Exactly at the reference: 20 log(ht hr / d) = 84.73.
  const double hthr = std::pow(10.0, 84.73 / 20.0);
  EXPECT_NEAR(dEgliExcess(100, 1, hthr, 1), 0.0, 1e-9);
}

TEST(modPropEG, BadInputGivesTheFailureValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // {MHz, mi, ft, ft, what the message names ("" any)}; the last: the height product overflows.
  const struct {
    double f, d, ht, hr;
    const char* names;
  } rows[] = {{150, 0, 100, 10, "path length"}, {150, -3, 100, 10, ""},  {0, 10, 100, 10, "frequency"},
              {150, 10, 0, 10, "transmitter"},  {150, 10, 100, -1, "receiver"}, {nan, 10, 100, 10, ""},
              {150, nan, 100, 10, ""},          {150, inf, 100, 10, ""},  {150, 10, 1e200, 1e200, ""}};
  std::string err;
  for (const auto& r : rows) {
    EXPECT_EQ(dEgliExcess(r.f, r.d, r.ht, r.hr, &err), 888.0) << r.f << " " << r.d << " " << r.ht << " " << r.hr;
    EXPECT_NE(err.find(r.names), std::string::npos) << err;
  }
  EXPECT_EQ(dEgliExcess(150, 10, 100, 10, &err), dEgliExcess(150, 10, 100, 10));
  EXPECT_TRUE(err.empty());
}

// ------------------------------------------------------------ the calculator

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
  // 117 + 40 + 43.52 - 60 = 140.52; reference 32.27 + 43.52 + 20 = 95.79: 44.73 dB.
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
