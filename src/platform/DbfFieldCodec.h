#pragma once
// The bytes of one field of a record and the values they stand for: reading
// (trimming, empty fields, numbers, logicals) and writing (a value converted
// to the field's type and width).
#include <string>
#include <string_view>

#include "platform/DbfTable.h"

namespace zw::platform::dbf {

// Without trailing blanks and NULs.
std::string_view TrimRight(std::string_view s);
// Also without leading blanks and tabs.
std::string_view TrimField(std::string_view s);
bool IsNumericType(char t);
// Strict number text: optional sign, digits, '.', exponent; the whole text.
bool ParseNumber(std::string_view text, double& out);
// Whether a field's bytes hold no value (blank, "***" numbers, "?" logical, "00000000" date).
bool RawIsNull(char type, std::string_view raw);
// -1 empty, 0 false, 1 true.
int RawLogical(std::string_view raw);
// Text of a value: booleans "True"/"False", numbers in their shortest form.
std::string ValueAsText(const FieldValue& v);
// The field's bytes for a value in *out (exactly its width); the failure
// text when the value does not fit the field.
std::string EncodeField(const DbfField& f, const FieldValue& value, std::string& out);

}  // namespace zw::platform::dbf
