#include "interference/AdjacentChannel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TempDir.h"
#include "platform/FileSystem.h"

namespace zw {
namespace {

// 25 kHz channels: co-channel band -12.5..12.5 kHz (10 dB), +1 channel
// 12.5..37.5 kHz (-50 / -40 dB), rows at -110 and -70 dBm.
clsQXDtoU Table(const test::TempDir& d) {
  const auto file = d.path() / "rx.ini";
  EXPECT_TRUE(platform::WriteFileAtomic(file,
                                        "[RX]\nnumDsignals=2\nnumRXrej=2\nChnlWidthUn=KHz\nChnlWidth=25\n"
                                        "Offset=-12.5|12.5\nChnl=0|1\nDsignal00=Strong|-70\nDsignal01=Weak|-110\n"
                                        "RXrej00=10|-40\nRXrej01=10|-50\n"));
  clsQXDtoU t;
  t.bSilent(true);
  t.sINIfile(file.string());
  EXPECT_EQ(t.DtoU_Load("RX"), "");
  return t;
}

// The row by desired level (at or below it; the lowest below every row), the
// column by offset: at a band's exact lower edge, inside it, at its upper edge
// (the next band), and outside every band.
TEST(AdjacentChannel, RequiredDtoUByLevelAndOffset) {
  test::TempDir d;
  const clsQXDtoU t = Table(d);
  struct Row {
    double dbm, offsetMHz;
    std::optional<double> want;
  } rows[] = {
      {-100, 0.0, 10},      {-100, -0.0125 + 1e-9, 10}, {-100, 0.0125, -50}, {-100, 0.020, -50},
      {-70, 0.020, -40},    {-60, 0.020, -40},          {-130, 0.020, -50},  {-100, 0.0375, std::nullopt},
      {-100, 1.0, std::nullopt},
  };
  for (const auto& r : rows) {
    const auto got = RequiredDtoU(t, r.dbm, r.offsetMHz);
    EXPECT_EQ(got, r.want) << r.dbm << " dBm, " << r.offsetMHz << " MHz";
  }
  EXPECT_NEAR(FieldToDbm(60, 100), 60 - 40 - 77.21, 1e-12);
}

// Three points, desired 450 MHz, served from 30 dBu: one below the threshold,
// one protected, one interfered by a co-channel and an adjacent signal whose
// power sum decides (either alone would leave it served).
TEST(AdjacentChannel, ClassifiesThreePoints) {
  test::TempDir d;
  const clsQXDtoU t = Table(d);
  const double f = 450.0;
  // 40 dBu at 450 MHz is about -90 dBm: the weak row (co 10 dB, adjacent -50 dB).
  // Both undesired signals weigh 38.5 dBu; their power sum 41.51 dBu.
  const std::vector<UndesiredSignal> u{{true, 28.5, f}, {true, 88.5, f + 0.025}};
  const double sum = 38.5 + 10 * std::log10(2.0);
  struct Row {
    double desired;
    PointClass want;
  } rows[] = {{25, PointClass::kUnserved}, {50, PointClass::kServed}, {40, PointClass::kInterfered}};
  for (const auto& r : rows) {
    const InterferenceResult c = ClassifyPoint(t, InterferenceSum::kPowerSum, 30, r.desired, f, u);
    EXPECT_EQ(c.cls, r.want) << r.desired;
    EXPECT_NEAR(c.marginDb, r.desired - sum, 1e-9) << r.desired;
  }
  // With the largest alone, the third point is served; without a desired field it is unserved.
  EXPECT_EQ(ClassifyPoint(t, InterferenceSum::kMaximum, 30, 40, f, u).cls, PointClass::kServed);
  EXPECT_EQ(ClassifyPoint(t, InterferenceSum::kPowerSum, 30, std::nullopt, f, u).cls, PointClass::kUnserved);
  EXPECT_EQ(ParseInterferenceSum("rss"), InterferenceSum::kPowerSum);
  EXPECT_EQ(ParseInterferenceSum("Largest"), InterferenceSum::kMaximum);
  EXPECT_FALSE(ParseInterferenceSum("average"));
}

}  // namespace
}  // namespace zw
