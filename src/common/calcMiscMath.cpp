#include "common/calcMiscMath.h"

#include <atomic>
#include <string>

#include "common/ErrorHandler.h"
#include "platform/MessageBox.h"

namespace zw {

namespace {

// Reports a logarithm of a value that is not positive: the "Math Error"
// message (shown for the first such error of the process only, so that an
// area study does not stop at every point) and a log record every time.
void ReportLogDomain() {
  static std::atomic<bool> shown{false};
  const std::string text = std::string("Log 0 error in ") + "ZWRavoprop" + "\n\n" + "Results may be incorrect.";
  WriteLogRecord("Math Error: Log 0 error", true);
  if (!shown.exchange(true)) platform::Messages().Information("Math Error", text);
}

}  // namespace

double dLog10(double x) {
  if (x > 0) return std::log10(x);  // exact at powers of ten, unlike ln(x) / ln(10)
  ReportLogDomain();
  return 1.0;
}

float rLog10(float x) {
  if (x > 0) return std::log10(x);
  ReportLogDomain();
  return 1.0f;
}

}  // namespace zw
