#pragma once
// The results table of an area study: "R" + task number ("0000000") +
// ".DBF" in the work directory, one record per study point. The layout comes
// from the field-definition table (rows of table type "RDBDBASE"); a missing
// table is created, a table lacking fields is rebuilt with them (the old file
// kept as a time-stamped backup). The recordset is selected with the study's
// filter and order; the point operations work on its current record.
//
// The task code passes plain values (work directory, task number,
// description code), so this module does not depend on the task object.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DbfDataSum.h"
#include "platform/DbfDatabase.h"
#include "platform/DbfTable.h"

namespace zw::coverage {

inline constexpr double kRdbNotComputed = -888888.0;
// The value the models give a path they could not compute.
inline constexpr double kRdbFailedPath = -999.0;

// "R" + the task number in "0000000" format + ".DBF".
std::string ResultsFileName(std::int32_t taskNumber);

// One record as read back. Empty elevation / land-use fields read as
// elvEmpty / luEmpty set (and the numbers 0).
struct RdbRecord {
  int record = -1;  // record number in the file
  std::string desc;
  double lat = 0, lon = 0, az = 0, dis = 0;
  double val = kRdbNotComputed;
  std::int32_t wrnLvl = 0, wrnBits = 0;
  float elv = 0;
  bool elvEmpty = true;
  std::int16_t luCode = 0;
  bool luEmpty = true;
  double luLoss = 0;
};

class ResultsDb {
 public:
  ResultsDb(std::filesystem::path workDir, std::int32_t taskNumber,
            std::filesystem::path dataSumFile = platform::DefaultDataSumFile());
  ~ResultsDb() { Close(); }
  ResultsDb(const ResultsDb&) = delete;
  ResultsDb& operator=(const ResultsDb&) = delete;

  std::filesystem::path File() const { return workDir_ / ResultsFileName(taskNumber_); }
  // The silent flag of reported failures (no message box when set).
  void SetSilent(bool silent) { silent_ = silent; }

  // The results filter and order (the task's sRDBWhere / sRDBOrder) as SQL.
  std::string Where() const { return query_.WhereText(); }
  std::string Order() const { return query_.OrderText(); }
  // The SELECT the recordset is opened with.
  std::string SelectText() const;

  // Opens the recordset when none is held: makes sure the table exists with
  // every results field (create, repair), then selects. On failure: reports
  // "Error opening database:" under the file name (title "Database Error"),
  // logs "Results Database Open Error: ...", and returns the failure text
  // with no recordset held.
  std::string Open();
  bool IsOpen() const { return rs_.IsOpen(); }
  // The held recordset, or none.
  platform::DbfTable* Recordset() { return rs_.IsOpen() ? &rs_ : nullptr; }
  // Drops the held recordset; the failure text of its last write, if any.
  std::string Close();
  // "" while the held recordset's file is still the table at File(); the
  // failure text when that file was removed or another took its place
  // (writes since then went to a file no one can read).
  std::string StillInPlace() const;
  // Open fails, instead of making a new empty table, when the table is not
  // there (set once the study's table has been built).
  void SetMustExist(bool mustExist) { mustExist_ = mustExist; }

  // RDB_AddRec1: adds a skeleton record (the elevation only above -30000,
  // land-use code and loss only for codes 1 to 999). False after logging
  // "Error in RDB_AddRec1" on a failure.
  bool AddRec1(std::string_view desc, double lat, double lon, double az, double dis, double val,
               std::int32_t wrnLvl, std::int32_t wrnBits, float elv, std::int16_t luCode, double luLoss);
  // UpdateRDBLoc on the current record.
  std::string UpdateRDBLoc(double dis, double lat, double lon, std::optional<float> elv = std::nullopt,
                           std::optional<double> az = std::nullopt);
  // UpdateRDBRec on the current record (land-use code -1 outside 0..999).
  std::string UpdateRDBRec(double dBu, float elv, std::int16_t luCode, double luLoss, std::int32_t wrnBits,
                           std::int16_t wrnLvl);

  // The description code of a study: Left(summary, 6); for "CTR"/"TGT" in
  // positions 4 to 6, the results description when the model computes
  // contours directly, else the six characters with "RAD" there.
  static std::string StudyDescCode(std::string_view summary, std::string_view rdbDesc, bool directContour);
  // Orders by "RDB_AZ ASC,RDB_Dis " + direction, filters by the description
  // code, and reopens the recordset.
  std::string RDBSort(std::string_view direction, std::string_view descCode);

  // Moving through the recordset.
  void MoveFirst() { rs_.MoveFirst(); }
  void MoveNext() { rs_.MoveNext(); }
  bool Eof() const { return !rs_.IsOpen() || rs_.Eof(); }
  int Count() const { return rs_.IsOpen() ? rs_.ViewCount() : 0; }
  int Position() const { return rs_.Position(); }
  // The current record, or nothing at the end.
  std::optional<RdbRecord> Current() const;
  // Every record of the recordset in its order.
  std::vector<RdbRecord> ReadAll() const;

  // Empties the table (a new empty table replaces it in one rename).
  std::string Clear();
  // Deletes the table file.
  std::string Remove();

 private:
  std::string Report(std::string_view what, const std::string& error);
  std::string LostText() const;

  std::filesystem::path workDir_;
  std::int32_t taskNumber_;
  std::filesystem::path dataSumFile_;
  platform::DbfSelect query_;  // the table, filter and order of the recordset
  bool silent_ = false;
  platform::DbfTable rs_;
  // The table was built for the study being run: a missing one was removed
  // under it and is not made anew.
  bool mustExist_ = false;
};

}  // namespace zw::coverage
