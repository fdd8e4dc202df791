#pragma once
// The ten methods of aggregate and composite tile studies: at one grid point,
// the fields of several transmitters' coverage studies become one value.
// Fields are in dBu; power sums and averages are taken in linear power
// (10^(E/10)), never in dB. docs/multi-transmitter.md gives every formula.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zw::coverage {

// "cboMathOpsIndex" of the task file.
enum class AggregateMethod : int {
  kMaximum = 0,
  kMinimum = 1,
  kAverage = 2,
  kSum = 3,
  kBestServer = 4,
  kVectorSum = 5,
  kDelaySpread = 6,
  kThresholdCount = 7,
  kRange = 8,
  kDtoU = 9,
};

inline constexpr double kLightKmPerUs = 0.299792458;  // speed of light, km per microsecond
// The D/U ratio where no undesired signal has a value (dB).
inline constexpr double kNoUndesiredDb = 999.0;

// One transmitter's signal at a point.
struct AggregateSignal {
  bool present = false;    // the input study has a value here
  double fieldDbu = 0;     // field strength, dBu
  double distanceKm = 0;   // path length from its transmitter, km
  double freqMHz = 0;      // its carrier, MHz
};

// The method and its settings (task file [TASK]).
struct AggregateSettings {
  AggregateMethod method = AggregateMethod::kMaximum;
  std::optional<double> minThresholdDbu;  // "Min Threshold", dBu
  double isolationDb = 0;    // "Isolation": capture ratio (best server, simulcast), required D/U (D/U ratio), dB
  double maxSdsUs = 0;       // "Max SDS": largest tolerable delay spread, microseconds
  double addUIsolationDb = 0;  // "Additional U Isolation": extra loss of the undesired signals, dB
};

struct AggregateCell {
  std::optional<double> value;  // none: no input has a value here
  int winner = -1;              // index of the deciding input (-1: none / not a method that has one)
};

// What a method's value is: quantity and unit.
struct MethodQuantity {
  std::string quantity, unit;
};
MethodQuantity AggregateQuantity(AggregateMethod m);
// The method of an index 0..9 (nullopt outside).
std::optional<AggregateMethod> AggregateMethodOf(int index);
// "" when the settings suit the method, else what is missing.
std::string CheckAggregateSettings(const AggregateSettings& s);

// The method's result at one point from each input's signal (input 0 is the
// desired signal of the D/U ratio).
AggregateCell CombinePoint(const AggregateSettings& s, const std::vector<AggregateSignal>& signals);

// Power sum of fields in dBu: 10 log10(sum 10^(E/10)).
double PowerSumDbu(const std::vector<double>& fieldsDbu);

}  // namespace zw::coverage
