#pragma once
// A D/U table section checked whole before it is used from the command line:
// every key it must hold, present and readable, so that a table is either
// complete or refused with every missing or bad key named at once. Loading
// (clsQXDtoU::DtoU_Load) stays tolerant of blank cells, as tables written by
// the suite's editors may hold them.
#include <filesystem>
#include <string>
#include <string_view>

namespace zw {

// "" when [section] of file is a complete table: numDsignals and numRXrej
// whole numbers from 1, ChnlWidth a number above 0, ChnlWidthUn (when present)
// KHz or MHz, Offset and Chnl with one number per column, no two columns on the
// same band, and for every row Dsignal<nn> "description|level dBm" and
// RXrej<nn> with one value per column (a number, or blank for none). Else the
// problems, one per line.
std::string CheckDtoUTable(const std::filesystem::path& file, std::string_view section);

// The text of a table file holding one commented starting table named
// section: three desired-signal levels and four offset columns of a 25 kHz
// land-mobile receiver, ready to edit.
std::string DtoUStarterText(std::string_view section);

}  // namespace zw
