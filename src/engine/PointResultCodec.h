#pragma once
// Point results as bytes, to carry them between processes (a study computed
// on other machines): every value bit for bit, so that a table written from
// decoded results is the one written from the computed ones. Encodings of
// consecutive ranges of points joined end to end decode as the whole range.
#include <string>
#include <string_view>
#include <vector>

#include "engine/CoverageRun.h"

namespace zw {

std::string EncodePointResults(const std::vector<PointResult>& results);

// Appends the results held in bytes to out. "" or why the bytes are not
// point results (nothing is appended then).
std::string DecodePointResults(std::string_view bytes, std::vector<PointResult>& out);

}  // namespace zw
