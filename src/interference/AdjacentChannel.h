#pragma once
// Adjacent-channel interference at one point: the desired signal against the
// undesired ones, each weighed by the receiver's D/U protection ratio for its
// frequency offset and the desired level (clsQXDtoU). docs/multi-transmitter.md
// gives the formulas.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interference/clsQXDtoU.h"

namespace zw {

// How the undesired signals add up ("SumMethod").
enum class InterferenceSum { kPowerSum, kMaximum };
// "Power Sum" (also "Sum", "RSS", "Power"), "Maximum" (also "Max", "Largest"); any case.
std::optional<InterferenceSum> ParseInterferenceSum(std::string_view text);
std::string InterferenceSumName(InterferenceSum s);

enum class PointClass : int { kUnserved = 0, kServed = 1, kInterfered = 2 };
std::string PointClassName(PointClass c);

// Protection margin where no undesired signal counts (dB).
inline constexpr double kNoInterferenceMarginDb = 999.0;

// Received power (dBm) of a field (dBu) at a 0 dBi antenna: E - 20 log10 f(MHz) - 77.21.
double FieldToDbm(double fieldDbu, double freqMHz);

// The row of the table for a desired level (dBm): the highest level at or
// below it; below every row, the lowest row. -1 for a table without rows.
int DtoURowFor(const clsQXDtoU& table, double desiredDbm);
// Required D/U (dB) for that row and an undesired offset (MHz, undesired minus
// desired); nullopt when no column covers the offset or its cell is empty.
std::optional<double> RequiredDtoU(const clsQXDtoU& table, double desiredDbm, double offsetMHz);

struct UndesiredSignal {
  bool present = false;
  double fieldDbu = 0, freqMHz = 0;
};

struct InterferenceResult {
  PointClass cls = PointClass::kUnserved;
  double marginDb = kNoInterferenceMarginDb;  // D minus the weighed undesired sum; >= 0 protected
  int worst = -1;                             // undesired signal that weighs most (-1: none counts)
};

// Classifies a point: unserved when the desired field is missing or below
// thresholdDbu, interfered when served but the margin is below 0, else served.
InterferenceResult ClassifyPoint(const clsQXDtoU& table, InterferenceSum sum, double thresholdDbu,
                                 std::optional<double> desiredDbu, double desiredFreqMHz,
                                 const std::vector<UndesiredSignal>& undesired);

}  // namespace zw
