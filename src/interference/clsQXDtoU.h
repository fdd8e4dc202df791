#pragma once
// A receiver's D/U protection-ratio table: one row (clsDlevel) per
// desired-signal level, one column (clsRXoffset) per undesired-signal offset,
// every row holding one cell per column. Tables live as named sections of a
// profile file (ZWRXRej.INI in the installation directory by default).
//
// Loading reads the whole section into a fresh table and takes it over only
// when the section is sound; saving rewrites the file in one atomic step, so a
// failure leaves both the table and the file as they were.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "interference/clsDlevel.h"
#include "interference/clsRXoffset.h"

namespace zw {

inline constexpr const char* kDtoUFileName = "ZWRXRej.INI";
inline constexpr const char* kDtoUTitle = "RX D/U Table";
inline constexpr double kDtoUNotFound = -88.0;
inline constexpr std::int16_t kDtoUNoIndex = -88;
// Largest row and column counts a table file may declare.
inline constexpr int kDtoUMaxRows = 999;
inline constexpr int kDtoUMaxOffsets = 999;

inline constexpr std::int16_t kProcDtoULoad = 7101;
inline constexpr std::int16_t kProcDtoUSave = 7102;
inline constexpr std::int16_t kProcDtoUPrint = 7103;
inline constexpr std::int16_t kProcDtoUSort = 7104;
inline constexpr std::int16_t kProcDtoUEdit = 7105;

class clsQXDtoU {
 public:
  double dChnlWid() const { return dChnlWid_; }
  void dChnlWid(double v) { dChnlWid_ = v; }
  // "KHz" (any case) means kilohertz; anything else megahertz.
  const std::string& sChnlUnits() const { return sChnlUnits_; }
  void sChnlUnits(std::string_view v) { sChnlUnits_ = std::string(v); }
  // Picture of printed frequency offsets; "0.000" while unset.
  std::string sChnlWidFmt() const;
  void sChnlWidFmt(std::string_view v) { sChnlWidFmt_ = std::string(v); }
  // The tables' file; while unset, ZWRXRej.INI in the installation directory
  // (kept once found).
  const std::string& sINIfile();
  void sINIfile(std::string_view v) { sINIfile_ = std::string(v); }
  // Section last loaded or saved.
  const std::string& sINIsection() const { return sINIsection_; }
  void sINIsection(std::string_view v) { sINIsection_ = std::string(v); }
  // Failures are logged but not shown when set.
  bool bSilent() const { return bSilent_; }
  void bSilent(bool v) { bSilent_ = v; }

  std::int16_t iNumDlevels() const { return static_cast<std::int16_t>(rows_.size()); }
  std::int16_t iNumOffsets() const { return static_cast<std::int16_t>(cols_.size()); }
  // Row / column i, or nullptr out of range. Pointers stay valid until rows or
  // columns are added, removed or the table is loaded.
  clsDlevel* Dlevel(int i);
  const clsDlevel* Dlevel(int i) const;
  clsRXoffset* RXoffset(int i);
  const clsRXoffset* RXoffset(int i) const;
  // Longest row description (trimmed); 0 for an empty table.
  std::int16_t iDescWidMax() const;

  // Inserts a cleared row (no description, level -888, empty cells) after row
  // i (-1: first); i is held within the table. Returns the new row's index, or
  // -88 when the table is full.
  std::int16_t iAddDLevel(int i);
  // Appends a column (width dChnlWid) and a cell to every row; returns its
  // index, or -88 when the table is full.
  std::int16_t iAddOffset();
  // Remove row / column i (with its cell in every row); false out of range.
  bool bRemDLevel(int i);
  bool bRemOffset(int i);

  // Persistence. Each returns "" on success, else the failure text (shown
  // unless silent); on failure the table and the file are unchanged.
  std::string DtoU_Load(std::string_view section);
  std::string DtoU_Save(std::string_view section);
  // Remarks of the last successful load (values that were not numbers and
  // were read as missing, extra list fields); "" when none.
  const std::string& sLoadNotes() const { return sLoadNotes_; }

  // Text output: the whole table tab-separated (sTextTable), shown in a
  // window titled "RX D/U - " + section by DtoU_Print (which returns it), and
  // the description, level and offset lines indented one tab for reports.
  std::string sTextTable() const;
  std::string DtoU_Print();
  std::string sTextDLevels() const;

  // Orderings. Rows of equal level, and columns of equal channel offset, keep
  // their order.
  void SortOnDdBm(bool descending);
  void SortOnOffset();

  // Offset band of column i in MHz (-88 for an index outside the columns).
  double dOffsetLo(int i) const;
  double dOffsetHi(int i) const;
  // Last column whose band holds freqMHz (lo <= f < hi for f >= 0,
  // lo < f <= hi for f < 0), or -88.
  std::int16_t iOffsetIndex(double freqMHz) const;
  // D/U (dB) of row for the undesired offset freqMHz: the cell of the column
  // found by iOffsetIndex; -88 when no column (or no such row), -888 when
  // that cell is empty.
  double dDtoUAtOffset(int row, double freqMHz) const;

 private:
  bool IsKHz() const;
  void Band(int i, double& lo, double& hi) const;
  std::string Fail(std::string_view message) const;
  std::string NoInstallation() const;
  // Steps of DtoU_Load and DtoU_Save; each answers "" or why the table cannot
  // be used (loading) or saved. Remarks on what was read are added to notes.
  std::string ReadOffsetColumns(const std::string& section, const std::string& file, int numCols,
                                std::string& notes);
  std::string SameOffsetColumns(int numCols) const;
  std::string ReadLevelRows(const std::string& section, const std::string& file, int numRows, int numCols,
                            std::string& notes);
  // The keys of the saved table, in file order.
  std::string SaveKeys(const std::string& notSaved, std::vector<std::pair<std::string, std::string>>& keys) const;

  double dChnlWid_ = 0.0;
  std::string sChnlUnits_;
  std::string sChnlWidFmt_;
  std::string sINIfile_;
  std::string sINIsection_;
  bool bSilent_ = false;
  std::string sLoadNotes_;
  std::vector<clsDlevel> rows_;
  std::vector<clsRXoffset> cols_;
};

}  // namespace zw
