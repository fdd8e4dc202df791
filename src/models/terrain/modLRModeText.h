#pragma once
// Description of a Longley-Rice mode of variability (MDVAR).
#include <string>

namespace zw {

std::string modLRModeText(int mdvar);

}  // namespace zw
