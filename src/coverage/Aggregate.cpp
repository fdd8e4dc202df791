#include "coverage/Aggregate.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace zw::coverage {

namespace {

double PowerOf(double dbu) { return std::pow(10.0, dbu / 10.0); }
double DbOfPower(double p) { return 10.0 * std::log10(p); }

// Arrival delay of a signal, microseconds.
double DelayUs(const AggregateSignal& s) { return s.distanceKm / kLightKmPerUs; }

// Index of the strongest present signal (-1 when none), optionally only
// among those at or above a threshold.
int Strongest(const std::vector<AggregateSignal>& sig, std::optional<double> floor = std::nullopt) {
  int best = -1;
  for (int i = 0; i < static_cast<int>(sig.size()); ++i) {
    const auto& s = sig[static_cast<std::size_t>(i)];
    if (!s.present || (floor && s.fieldDbu < *floor)) continue;
    if (best < 0 || s.fieldDbu > sig[static_cast<std::size_t>(best)].fieldDbu) best = i;
  }
  return best;
}

AggregateCell BestServer(const AggregateSettings& st, const std::vector<AggregateSignal>& sig, int best) {
  AggregateCell c{sig[static_cast<std::size_t>(best)].fieldDbu, best};
  if (st.minThresholdDbu && *c.value < *st.minThresholdDbu) c.winner = -1;
  if (st.isolationDb > 0)
    for (int i = 0; i < static_cast<int>(sig.size()); ++i)
      if (i != best && sig[static_cast<std::size_t>(i)].present &&
          *c.value - sig[static_cast<std::size_t>(i)].fieldDbu < st.isolationDb)
        c.winner = -1;  // no capture: the runner-up is within the capture ratio
  return c;
}

AggregateCell VectorSum(const AggregateSettings& st, const std::vector<AggregateSignal>& sig, int best) {
  std::complex<double> sum;
  double others = 0;
  for (int i = 0; i < static_cast<int>(sig.size()); ++i) {
    const auto& s = sig[static_cast<std::size_t>(i)];
    if (!s.present) continue;
    // Carrier cycles along the path: f (MHz) x delay (us); only the fraction matters.
    const double cycles = s.freqMHz * DelayUs(s);
    const double phase = -2.0 * std::numbers::pi * (cycles - std::floor(cycles));
    sum += std::polar(std::pow(10.0, s.fieldDbu / 20.0), phase);
    if (i != best) others += PowerOf(s.fieldDbu);
  }
  const double strongest = sig[static_cast<std::size_t>(best)].fieldDbu;
  // A receiver captured by the strongest signal hears it alone.
  if (st.isolationDb > 0 && (others <= 0 || strongest - DbOfPower(others) >= st.isolationDb))
    return {strongest, best};
  return {20.0 * std::log10(std::max(std::abs(sum), 1e-10)), best};
}

AggregateCell DelaySpread(const AggregateSettings& st, const std::vector<AggregateSignal>& sig) {
  const int ref = Strongest(sig, st.minThresholdDbu);
  if (ref < 0) return {0.0, -1};
  const auto& r = sig[static_cast<std::size_t>(ref)];
  double spread = 0;
  int worst = -1;
  for (int i = 0; i < static_cast<int>(sig.size()); ++i) {
    const auto& s = sig[static_cast<std::size_t>(i)];
    if (i == ref || !s.present || (st.minThresholdDbu && s.fieldDbu < *st.minThresholdDbu)) continue;
    if (st.isolationDb > 0 && r.fieldDbu - s.fieldDbu >= st.isolationDb) continue;  // captured
    const double d = std::fabs(DelayUs(s) - DelayUs(r));
    if (d > spread) spread = d, worst = i;
  }
  return {spread, worst};
}

AggregateCell DtoU(const AggregateSettings& st, const std::vector<AggregateSignal>& sig) {
  if (sig.empty() || !sig[0].present) return {};
  double u = 0;
  int worst = -1;
  for (int i = 1; i < static_cast<int>(sig.size()); ++i) {
    const auto& s = sig[static_cast<std::size_t>(i)];
    if (!s.present) continue;
    u += PowerOf(s.fieldDbu);
    if (worst < 0 || s.fieldDbu > sig[static_cast<std::size_t>(worst)].fieldDbu) worst = i;
  }
  if (worst < 0) return {kNoUndesiredDb, -1};
  return {sig[0].fieldDbu - (DbOfPower(u) - st.addUIsolationDb), worst};
}

}  // namespace

double PowerSumDbu(const std::vector<double>& fieldsDbu) {
  double p = 0;
  for (double e : fieldsDbu) p += PowerOf(e);
  return DbOfPower(p);
}

std::optional<AggregateMethod> AggregateMethodOf(int index) {
  if (index < 0 || index > 9) return std::nullopt;
  return static_cast<AggregateMethod>(index);
}

MethodQuantity AggregateQuantity(AggregateMethod m) {
  switch (m) {
    case AggregateMethod::kDelaySpread: return {"delay spread", "uSec"};
    case AggregateMethod::kThresholdCount: return {"transmitters at or above the threshold", "transmitters"};
    case AggregateMethod::kRange: return {"field range", "dB"};
    case AggregateMethod::kDtoU: return {"D/U ratio", "dB"};
    default: return {"field strength", "dBu"};
  }
}

std::string CheckAggregateSettings(const AggregateSettings& s) {
  if (s.method == AggregateMethod::kThresholdCount && !s.minThresholdDbu)
    return "Threshold Count needs the threshold it counts against: set \"Min Threshold\" (dBu) in [TASK]";
  if (s.method == AggregateMethod::kDelaySpread && !(s.maxSdsUs > 0))
    return "Simulcast (Delay Spread) needs the largest tolerable delay spread: set \"Max SDS\" (uSec, above 0) in [TASK]";
  return {};
}

AggregateCell CombinePoint(const AggregateSettings& st, const std::vector<AggregateSignal>& sig) {
  const int best = Strongest(sig);
  if (best < 0) return {};
  std::vector<double> fields;
  int weakest = best;
  for (int i = 0; i < static_cast<int>(sig.size()); ++i) {
    const auto& s = sig[static_cast<std::size_t>(i)];
    if (!s.present) continue;
    fields.push_back(s.fieldDbu);
    if (s.fieldDbu < sig[static_cast<std::size_t>(weakest)].fieldDbu) weakest = i;
  }
  const double hi = sig[static_cast<std::size_t>(best)].fieldDbu, lo = sig[static_cast<std::size_t>(weakest)].fieldDbu;
  switch (st.method) {
    case AggregateMethod::kMaximum: return {hi, best};
    case AggregateMethod::kMinimum: return {lo, weakest};
    case AggregateMethod::kAverage: return {PowerSumDbu(fields) - 10.0 * std::log10(double(fields.size())), -1};
    case AggregateMethod::kSum: return {PowerSumDbu(fields), -1};
    case AggregateMethod::kBestServer: return BestServer(st, sig, best);
    case AggregateMethod::kVectorSum: return VectorSum(st, sig, best);
    case AggregateMethod::kDelaySpread: return DelaySpread(st, sig);
    case AggregateMethod::kThresholdCount: {
      const double thr = st.minThresholdDbu.value_or(0);
      return {double(std::count_if(fields.begin(), fields.end(), [&](double e) { return e >= thr; })), -1};
    }
    case AggregateMethod::kRange: return {hi - lo, -1};
    case AggregateMethod::kDtoU: return DtoU(st, sig);
  }
  return {};
}

}  // namespace zw::coverage
