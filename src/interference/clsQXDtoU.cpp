#include "interference/clsQXDtoU.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <random>
#include <set>
#include <utility>

#include "common/Config.h"
#include "common/ErrorHandler.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "interference/modDtoUText.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"

namespace zw {
namespace fs = std::filesystem;

namespace {

constexpr const char* kAbsent = "\x01";  // default that no stored value can equal
constexpr std::int32_t kUnexpectedError = 51;

std::string IndexKey(std::string_view base, std::size_t i) { return std::string(base) + FormatNumber(double(i), "00"); }

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

bool BadSectionName(std::string_view s) {
  return s.find_first_of("[]\r\n") != std::string_view::npos;
}

// A key of the form base + digits (Dsignal07, RXrej12) and its index.
bool IndexedKey(std::string_view key, std::string_view base, std::size_t& index) {
  if (key.size() <= base.size() || !EqualsNoCase(key.substr(0, base.size()), base)) return false;
  index = 0;
  for (char c : key.substr(base.size())) {
    if (c < '0' || c > '9') return false;
    index = index * 10 + std::size_t(c - '0');
    if (index > 100000) return false;
  }
  return true;
}

// Reads a count key: "" with the value, or the reason it cannot be used.
std::string ReadCount(std::string_view section, std::string_view key, const std::string& file, int max,
                      bool required, int& count) {
  const std::string raw = platform::ProfileGetString(section, key, kAbsent, file);
  count = 0;
  if (raw == kAbsent || raw.empty()) {
    if (!required) return {};
    return "Key " + std::string(key) + " is missing.";
  }
  if (!IsNumericText(raw)) return "Key " + std::string(key) + " is not a number: " + Quoted(raw);
  const double v = ParseDouble(raw);
  if (v != std::floor(v) || v < (required ? 1 : 0) || v > max)
    return "Key " + std::string(key) + " must be a whole number from " + (required ? "1" : "0") + " to " +
           std::to_string(max) + ": " + Quoted(raw);
  count = static_cast<int>(v);
  return {};
}

}  // namespace

// ---- Attributes -------------------------------------------------------------

std::string clsQXDtoU::sChnlWidFmt() const { return Trim(sChnlWidFmt_).empty() ? "0.000" : sChnlWidFmt_; }

const std::string& clsQXDtoU::sINIfile() {
  if (Trim(sINIfile_).empty()) {
    const std::string dir = ProgramDirectory();
    if (!dir.empty()) return sINIfile_ = JoinDir(dir, kDtoUFileName);
    static const std::string bare = kDtoUFileName;
    return bare;
  }
  return sINIfile_;
}

clsDlevel* clsQXDtoU::Dlevel(int i) {
  return (i >= 0 && std::size_t(i) < rows_.size()) ? &rows_[std::size_t(i)] : nullptr;
}
const clsDlevel* clsQXDtoU::Dlevel(int i) const {
  return (i >= 0 && std::size_t(i) < rows_.size()) ? &rows_[std::size_t(i)] : nullptr;
}
clsRXoffset* clsQXDtoU::RXoffset(int i) {
  return (i >= 0 && std::size_t(i) < cols_.size()) ? &cols_[std::size_t(i)] : nullptr;
}
const clsRXoffset* clsQXDtoU::RXoffset(int i) const {
  return (i >= 0 && std::size_t(i) < cols_.size()) ? &cols_[std::size_t(i)] : nullptr;
}

std::int16_t clsQXDtoU::iDescWidMax() const {
  std::size_t w = 0;
  for (const auto& r : rows_) w = std::max(w, Trim(r.sDesc()).size());
  return static_cast<std::int16_t>(std::min<std::size_t>(w, 32767));
}

// ---- Rows and columns ---------------------------------------------------------

std::int16_t clsQXDtoU::iAddDLevel(int i) {
  ProcScope proc(kProcDtoUEdit);
  if (rows_.size() >= std::size_t(kDtoUMaxRows)) return kDtoUNoIndex;
  const int n = static_cast<int>(rows_.size());
  const int at = std::clamp(i, -1, n - 1) + 1;
  clsDlevel row;
  row.cells_.assign(cols_.size(), std::string());
  row.dDdBm(kDtoUMissing);
  rows_.insert(rows_.begin() + at, std::move(row));
  return static_cast<std::int16_t>(at);
}

std::int16_t clsQXDtoU::iAddOffset() {
  ProcScope proc(kProcDtoUEdit);
  if (cols_.size() >= std::size_t(kDtoUMaxOffsets)) return kDtoUNoIndex;
  clsRXoffset col;
  col.dChnlWidth(dChnlWid_);
  cols_.push_back(std::move(col));
  for (auto& r : rows_) r.iAddOffset();
  return static_cast<std::int16_t>(cols_.size() - 1);
}

bool clsQXDtoU::bRemDLevel(int i) {
  if (i < 0 || std::size_t(i) >= rows_.size()) return false;
  rows_.erase(rows_.begin() + i);
  return true;
}

bool clsQXDtoU::bRemOffset(int i) {
  if (i < 0 || std::size_t(i) >= cols_.size()) return false;
  cols_.erase(cols_.begin() + i);
  for (auto& r : rows_) r.bRemOffset(i);
  return true;
}

// ---- Failures -------------------------------------------------------------------

std::string clsQXDtoU::NoInstallation() const {
  std::string why = ProgramDirectoryError();
  if (Trim(why).empty()) why = "The installation directory is not known.";
  return Fail(JoinLines(why, std::string("The D/U table file ") + kDtoUFileName + " cannot be found without it."));
}

std::string clsQXDtoU::Fail(std::string_view message) const {
  if (!bSilent_) platform::Messages().Information(kDtoUTitle, message);
  return std::string(message);
}

// ---- Steps of loading and saving ------------------------------------------------

std::string clsQXDtoU::ReadOffsetColumns(const std::string& section, const std::string& file, int numCols,
                                         std::string& notes) {
  auto note = [&](const std::string& s) { notes = JoinLines(notes, s); };
  const auto chnl = SplitBar(platform::ProfileGetString(section, "Chnl", "", file));
  const auto offs = SplitBar(platform::ProfileGetString(section, "Offset", "", file));
  for (int i = 0; i < numCols; ++i) {
    const std::string c = BarField(chnl, std::size_t(i) + 1);
    const std::string f = BarField(offs, std::size_t(i) + 1);
    if (!c.empty() && !IsNumericText(c))
      return "Channel offset " + std::to_string(i + 1) + " of Chnl is not a number: " + Quoted(c);
    if (!f.empty() && !IsNumericText(f))
      return "Frequency offset " + std::to_string(i + 1) + " of Offset is not a number: " + Quoted(f);
    clsRXoffset col;
    col.dChnlWidth(dChnlWid_);
    col.sChnlOffset(c);
    col.sFOffset(f);
    cols_.push_back(std::move(col));
  }
  if (chnl.size() > std::size_t(numCols) && !(numCols == 0 && chnl.size() == 1 && chnl[0].empty()))
    note("Chnl has more values than numRXrej (" + std::to_string(numCols) + "); the extra values are ignored.");
  if (offs.size() > std::size_t(numCols) && !(numCols == 0 && offs.size() == 1 && offs[0].empty()))
    note("Offset has more values than numRXrej (" + std::to_string(numCols) + "); the extra values are ignored.");
  return {};
}

// Two columns with the same band would hide one another in offset look-ups.
std::string clsQXDtoU::SameOffsetColumns(int numCols) const {
  for (int i = 0; i < numCols; ++i) {
    for (int j = i + 1; j < numCols; ++j) {
      const auto& a = cols_[std::size_t(i)];
      const auto& b = cols_[std::size_t(j)];
      if (a.sFOffset().empty() || b.sFOffset().empty()) continue;
      if ((a.iChnlOffset() < 0) == (b.iChnlOffset() < 0) && a.dFOffset() == b.dFOffset())
        return "Offsets " + std::to_string(i + 1) + " and " + std::to_string(j + 1) + " are the same (channel " +
               a.sChnlOffset() + " / " + b.sChnlOffset() + ", offset " + a.sFOffset() + ").";
    }
  }
  return {};
}

std::string clsQXDtoU::ReadLevelRows(const std::string& section, const std::string& file, int numRows, int numCols,
                                     std::string& notes) {
  auto note = [&](const std::string& s) { notes = JoinLines(notes, s); };
  for (int r = 0; r < numRows; ++r) {
    const std::string dKey = IndexKey("Dsignal", std::size_t(r));
    const auto d = SplitBar(platform::ProfileGetString(section, dKey, "", file));
    clsDlevel row;
    row.sDesc(BarField(d, 1));
    const std::string level = BarField(d, 2, "-888");
    if (level.empty()) {
      row.dDdBm(kDtoUMissing);
    } else if (!IsNumericText(level)) {
      return "The level of " + dKey + " is not a number: " + Quoted(level);
    } else {
      row.sDdBm(level);
    }
    if (d.size() > 2) note(dKey + " has more than a description and a level; the rest is ignored.");
    const std::string cKey = IndexKey("RXrej", std::size_t(r));
    const auto cells = SplitBar(platform::ProfileGetString(section, cKey, " ", file));
    for (int j = 0; j < numCols; ++j) {
      row.iAddOffset();
      const std::string v = BarField(cells, std::size_t(j) + 1, " ");
      row.sDtoU(j, v);
      if (!Trim(v).empty() && !IsNumericText(v))
        note(cKey + " value " + std::to_string(j + 1) + " is not a number (" + Quoted(v) + "); read as missing.");
    }
    if (cells.size() > std::size_t(numCols) && !(cells.size() == 1 && cells[0].empty()))
      note(cKey + " has more values than numRXrej (" + std::to_string(numCols) + "); the extra values are ignored.");
    rows_.push_back(std::move(row));
  }
  return {};
}

std::string clsQXDtoU::SaveKeys(const std::string& notSaved,
                                std::vector<std::pair<std::string, std::string>>& keys) const {
  keys.emplace_back("numDsignals", std::to_string(rows_.size()));
  keys.emplace_back("numRXrej", std::to_string(cols_.size()));
  keys.emplace_back("ChnlWidthUn", Trim(sChnlUnits_));
  keys.emplace_back("ChnlWidth", NumberStorageText(dChnlWid_));
  std::string offs, chnl;
  for (std::size_t i = 0; i < cols_.size(); ++i) {
    offs += (i ? "|" : "") + cols_[i].sFOffset();
    chnl += (i ? "|" : "") + cols_[i].sChnlOffset();
  }
  keys.emplace_back("Offset", offs);
  keys.emplace_back("Chnl", chnl);
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const std::string desc = Trim(rows_[r].sDesc());
    if (desc.find_first_of("|\r\n") != std::string::npos)
      return JoinLines("The description of level " + std::to_string(r + 1) +
                           " holds a vertical bar or a line break: " + Quoted(desc),
                       notSaved);
    keys.emplace_back(IndexKey("Dsignal", r), desc + "|" + rows_[r].sDdBm());
  }
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    std::string cells;
    for (std::size_t j = 0; j < rows_[r].cells_.size(); ++j) cells += (j ? "|" : "") + rows_[r].cells_[j];
    keys.emplace_back(IndexKey("RXrej", r), cells);
  }
  for (const auto& [k, v] : keys) {
    if (v.size() > platform::kProfileValueMax)
      return JoinLines("The value of " + k + " is longer than " + std::to_string(platform::kProfileValueMax) +
                           " characters and could not be read back.",
                       notSaved);
  }
  return {};
}

// ---- Loading --------------------------------------------------------------------

std::string clsQXDtoU::DtoU_Load(std::string_view sectionIn) {
  ProcScope proc(kProcDtoULoad);
  const std::string section = Trim(sectionIn);
  const std::string file = sINIfile();
  try {
    proc.Step(100);
    if (Trim(sINIfile_).empty()) return NoInstallation();
    if (section.empty()) return Fail("No D/U table name was given.");
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return Fail(JoinLines("The D/U table file was not found:", file));
    const std::string where = "D/U table [" + section + "] of " + file;
    auto bad = [&](std::string_view why) {
      return Fail(
          JoinLines(JoinLines("The " + where + " cannot be used:", why), "The table was not loaded.", kBlankLine));
    };

    proc.Step(200);
    if (platform::ProfileGetString(section, "numDsignals", kAbsent, file) == kAbsent &&
        platform::ProfileGetSection(section, file).empty())
      return Fail(JoinLines("The D/U table [" + section + "] was not found in:", file));
    int numRows = 0, numCols = 0;
    if (auto why = ReadCount(section, "numDsignals", file, kDtoUMaxRows, true, numRows); !why.empty()) return bad(why);
    if (auto why = ReadCount(section, "numRXrej", file, kDtoUMaxOffsets, false, numCols); !why.empty()) return bad(why);

    std::string notes;
    auto note = [&](const std::string& s) { notes = JoinLines(notes, s); };

    proc.Step(300);
    clsQXDtoU t;
    t.sChnlWidFmt_ = sChnlWidFmt_;
    t.bSilent_ = bSilent_;
    t.sINIfile_ = sINIfile_;
    const std::string units = platform::ProfileGetString(section, "ChnlWidthUn", kAbsent, file);
    t.sChnlUnits_ = units == kAbsent ? std::string("KHz") : units.empty() ? sChnlUnits_ : units;
    const std::string width = platform::ProfileGetString(section, "ChnlWidth", "", file);
    t.dChnlWid_ = IsNumericText(width) ? ParseDouble(width) : 0.0;
    if (!width.empty() && !IsNumericText(width)) note("ChnlWidth is not a number (" + Quoted(width) + "); read as 0.");

    proc.Step(400);
    if (auto why = t.ReadOffsetColumns(section, file, numCols, notes); !why.empty()) return bad(why);
    proc.Step(500);
    if (auto why = t.SameOffsetColumns(numCols); !why.empty()) return bad(why);

    proc.Step(600);
    if (auto why = t.ReadLevelRows(section, file, numRows, numCols, notes); !why.empty()) return bad(why);

    proc.Step(700);
    dChnlWid_ = t.dChnlWid_;
    sChnlUnits_ = std::move(t.sChnlUnits_);
    rows_ = std::move(t.rows_);
    cols_ = std::move(t.cols_);
    sINIsection_ = section;
    sLoadNotes_ = notes;
    if (!notes.empty() && !bSilent_)
      platform::Messages().Information(kDtoUTitle, JoinLines("The " + where + " was loaded with remarks:", notes));
    return {};
  } catch (const std::exception& e) {
    return ReportError(kUnexpectedError, e.what(), "clsQXDtoU.DtoU_Load " + section, bSilent_);
  }
}

// ---- Saving ----------------------------------------------------------------------

std::string clsQXDtoU::DtoU_Save(std::string_view sectionIn) {
  ProcScope proc(kProcDtoUSave);
  const std::string section = Trim(sectionIn);
  const std::string file = sINIfile();
  try {
    proc.Step(100);
    if (Trim(sINIfile_).empty()) return NoInstallation();
    if (section.empty()) return Fail("No D/U table name was given; nothing was saved.");
    if (BadSectionName(section))
      return Fail("A D/U table name may not hold brackets or line breaks: " + Quoted(section));
    if (rows_.empty()) return Fail("The D/U table has no desired-signal levels; nothing was saved.");
    const std::string notSaved = "The D/U table [" + section + "] was not saved.";

    proc.Step(200);
    std::vector<std::pair<std::string, std::string>> keys;
    if (auto why = SaveKeys(notSaved, keys); !why.empty()) return Fail(why);

    // The keys are written into a copy of the file, which then replaces the
    // file in one step.
    proc.Step(300);
    std::error_code ec;
    std::string original;
    if (fs::exists(file, ec)) {
      auto text = platform::ReadWholeFile(file);
      if (!text) return Fail(JoinLines(JoinLines("The D/U table file cannot be read:", file), notSaved));
      original = std::move(*text);
    }
    // Staged beside the table file (never in a shared temporary folder), under
    // a name that RemoveStaleStaging clears when this process is gone.
    const fs::path work = platform::StagingPath(fs::path(file));
    struct Remove {
      fs::path p;
      ~Remove() {
        std::error_code e;
        fs::remove(p, e);
      }
    } cleanup{work};
    std::string why;
    if (!platform::WriteFileAtomic(work, original, &why))
      return Fail(JoinLines(JoinLines(JoinLines("The D/U table file could not be written:", file), why), notSaved));

    proc.Step(400);
    // Rows and cells of a larger table saved earlier under this name go.
    for (const auto& [k, v] : platform::ProfileGetSection(section, work)) {
      std::size_t idx = 0;
      if ((IndexedKey(k, "Dsignal", idx) || IndexedKey(k, "RXrej", idx)) && idx >= rows_.size()) {
        if (!platform::ProfileDelete(section, k, work))
          return Fail(JoinLines("The D/U table could not be prepared.", notSaved));
      }
    }
    for (const auto& [k, v] : keys) {
      if (!platform::ProfileWriteString(section, k, v, work))
        return Fail(JoinLines("The D/U table could not be prepared.", notSaved));
    }

    proc.Step(500);
    const auto text = platform::ReadWholeFile(work);
    if (!text) return Fail(JoinLines("The D/U table could not be prepared.", notSaved));
    if (!platform::WriteFileAtomic(file, *text, &why))
      return Fail(JoinLines(JoinLines(JoinLines("The D/U table file could not be written:", file), why), notSaved));
    sINIsection_ = section;
    return {};
  } catch (const std::exception& e) {
    return ReportError(kUnexpectedError, e.what(), "clsQXDtoU.DtoU_Save " + section, bSilent_);
  }
}

// ---- Text output -----------------------------------------------------------------

std::string clsQXDtoU::sTextTable() const {
  const bool hasWidth = dChnlWid_ > 0;
  std::string out = sINIsection_ + "\n";
  if (hasWidth && !Trim(sChnlUnits_).empty())
    out += "Channel Width: " + FormatGeneral(dChnlWid_) + " " + sChnlUnits_ + "\n\n";
  out += "\t\tDesired Signal Levels\n";
  std::string desc = "Desc\t", level = "D dBm\t";
  for (const auto& r : rows_) {
    desc += "\t" + Trim(r.sDesc());
    level += "\t" + r.sDdBm();
  }
  out += desc + "\n" + level + "\n";
  out += std::string(hasWidth ? "Chnl" : "....") + "\tFreq " + sChnlUnits_ + "\n";
  const std::string fmt = sChnlWidFmt();
  for (std::size_t j = 0; j < cols_.size(); ++j) {
    std::string line = (hasWidth ? cols_[j].sChnlOffset() : std::string("....")) + "\t" +
                       FormatNumber(cols_[j].dFOffset(), fmt);
    for (const auto& r : rows_) line += "\t" + r.sDtoU(int(j));
    out += line + "\n";
  }
  return out;
}

std::string clsQXDtoU::DtoU_Print() {
  ProcScope proc(kProcDtoUPrint);
  const std::string text = sTextTable();
  platform::Messages().Information("RX D/U - " + sINIsection_, text);
  return text;
}

std::string clsQXDtoU::sTextDLevels() const {
  const bool hasWidth = dChnlWid_ > 0;
  std::string desc = "\tDesc\t", level = "\tD dBm\t";
  for (const auto& r : rows_) {
    desc += "\t" + Trim(r.sDesc());
    level += "\t" + r.sDdBm();
  }
  std::string out = desc + "\n" + level + "\n";
  const std::string fmt = sChnlWidFmt();
  for (std::size_t j = 0; j < cols_.size(); ++j) {
    std::string line = "\t" + (hasWidth ? cols_[j].sChnlOffset() : std::string("....")) + "\t" +
                       FormatNumber(cols_[j].dFOffset(), fmt);
    for (const auto& r : rows_) line += "\t" + r.sDtoU(int(j));
    out += line + "\n";
  }
  return out;
}

// ---- Orderings -------------------------------------------------------------------

void clsQXDtoU::SortOnDdBm(bool descending) {
  ProcScope proc(kProcDtoUSort);
  std::stable_sort(rows_.begin(), rows_.end(), [descending](const clsDlevel& a, const clsDlevel& b) {
    return descending ? a.dDdBm() > b.dDdBm() : a.dDdBm() < b.dDdBm();
  });
}

void clsQXDtoU::SortOnOffset() {
  ProcScope proc(kProcDtoUSort);
  std::vector<std::size_t> order(cols_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return cols_[a].iChnlOffset() < cols_[b].iChnlOffset();
  });
  std::vector<clsRXoffset> cols;
  cols.reserve(cols_.size());
  for (std::size_t i : order) cols.push_back(std::move(cols_[i]));
  cols_ = std::move(cols);
  for (auto& r : rows_) {
    std::vector<std::string> cells;
    cells.reserve(order.size());
    for (std::size_t i : order) cells.push_back(i < r.cells_.size() ? std::move(r.cells_[i]) : std::string());
    r.cells_ = std::move(cells);
  }
}

// ---- Offset look-up ----------------------------------------------------------------

bool clsQXDtoU::IsKHz() const { return EqualsNoCase(Trim(sChnlUnits_), "KHz"); }

void clsQXDtoU::Band(int i, double& lo, double& hi) const {
  // The band is formed in the table's units and converted afterwards, so that
  // its edges are the same numbers as offsets written in megahertz.
  const double w = dChnlWid_;
  const double f = cols_[std::size_t(i)].dFOffset();
  if (cols_[std::size_t(i)].iChnlOffset() >= 0) {
    lo = f;
    hi = f + w;
  } else {
    lo = f - w;
    hi = f;
  }
  if (IsKHz()) {
    lo /= 1000.0;
    hi /= 1000.0;
  }
}

double clsQXDtoU::dOffsetLo(int i) const {
  if (i < 0 || std::size_t(i) >= cols_.size()) return kDtoUNotFound;
  double lo = 0, hi = 0;
  Band(i, lo, hi);
  return lo;
}

double clsQXDtoU::dOffsetHi(int i) const {
  if (i < 0 || std::size_t(i) >= cols_.size()) return kDtoUNotFound;
  double lo = 0, hi = 0;
  Band(i, lo, hi);
  return hi;
}

std::int16_t clsQXDtoU::iOffsetIndex(double freq) const {
  std::int16_t found = kDtoUNoIndex;
  if (!std::isfinite(freq)) return found;
  for (std::size_t i = 0; i < cols_.size(); ++i) {
    double lo = 0, hi = 0;
    Band(int(i), lo, hi);
    const bool in = freq >= 0 ? (lo <= freq && freq < hi) : (lo < freq && freq <= hi);
    if (in) found = static_cast<std::int16_t>(i);
  }
  return found;
}

double clsQXDtoU::dDtoUAtOffset(int row, double freqMHz) const {
  const clsDlevel* r = Dlevel(row);
  const std::int16_t j = iOffsetIndex(freqMHz);
  if (!r || j < 0) return kDtoUNotFound;
  return r->dDtoU(j);
}

}  // namespace zw
