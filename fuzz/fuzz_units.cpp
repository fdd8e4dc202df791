// Number and unit parsers. Input: from-unit line, to-unit line, then the
// number text.
#include <cmath>

#include "FuzzUtil.h"
#include "common/Units.h"

using zw::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest = zw::fuzz::AsText(data, size);
  const std::string from(zw::fuzz::NextLine(rest));
  const std::string to(zw::fuzz::NextLine(rest));
  const std::string_view text = rest;
  const std::string txt(text);

  const double v = zw::ParseDouble(text);
  Check(std::isfinite(v), "ParseDouble not finite", txt);
  double t = 1;
  const bool ok = zw::TryParseDouble(text, t);
  Check(std::isfinite(t), "TryParseDouble not finite", txt);
  Check(ok || t == 0, "TryParseDouble failed but gave a value", txt);
  Check(!ok || t == v, "TryParseDouble and ParseDouble differ", txt);
  (void)zw::ParseInt16(text);
  (void)zw::ParseBool(text);
  (void)zw::ParseDouble(zw::FieldValue(txt));
  (void)zw::ParseSingle(zw::FieldValue(txt));

  bool err = false;
  double p = zw::ConvertPower(from, to, text, err);
  Check(err ? p == 0 : !std::isnan(p), "ConvertPower", from + " " + to + " " + txt);
  p = zw::ConvertPower(from, to, v, err);
  Check(err ? p == 0 : !std::isnan(p), "ConvertPower(double)", from + " " + to + " " + txt);
  double l = zw::ConvertLength(from, to, text, err);
  Check(err ? l == 0 : !std::isnan(l), "ConvertLength", from + " " + to + " " + txt);
  l = zw::ConvertLength(from, to, v, err);
  Check(err ? l == 0 : !std::isnan(l), "ConvertLength(double)", from + " " + to + " " + txt);
  (void)zw::IsLengthUnit(from);
  std::string msg;
  (void)zw::ConvertGain(from, to, v, err, msg);
  (void)zw::ConvertPatternGain(from, to, v, 3.0, to, err, msg);
  (void)zw::ConvertPatternGain(from, "dBi", -v, v, from, err);
  return 0;
}
