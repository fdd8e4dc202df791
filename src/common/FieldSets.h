#pragma once
// The fixed-facility (249 fields, numbers 0 to 248) and mobile (101 fields,
// numbers 0 to 100) field sets in their fixed order, with the display format
// of each numeric field, and the filling of blank numeric fields that is
// applied when a collection is handed to the engine.
#include <string>
#include <string_view>

#include "common/FieldCollection.h"

namespace zw {

inline constexpr int kFacilityFieldCount = 249;
inline constexpr int kMobileFieldCount = 101;

// Name and display format of a field by number; a number outside the set
// gives empty texts. A field without a format is a text field.
std::string_view FacilityFieldName(int index);
std::string_view FacilityFieldFormat(int index);
std::string_view MobileFieldName(int index);
std::string_view MobileFieldFormat(int index);

// Number of a field by its name (compared as written), or -1.
int FacilityFieldIndex(std::string_view name);
int MobileFieldIndex(std::string_view name);

// Mobile: every numeric field that is present and blank (text empty after
// trimming) is removed and added again, at the end, holding 0 in the field's
// format ("0.00000", "0000000", "0.00").
void FillBlankMobileNumbers(FieldCollection& mobile);

// Facility: the same for the numeric fields numbered 1 to 248 (DECLAT is left
// as it is); every one of them must be present. Returns empty on success;
// otherwise a failure text naming the missing fields, and the map is left
// exactly as it was.
std::string FillBlankFacilityNumbers(FieldCollection& facility);

}  // namespace zw
