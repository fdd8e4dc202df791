#include "coverage/ResultsDb.h"

#include <cmath>
#include <cstdio>

#include <sys/stat.h>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "platform/DbfUpkeep.h"
#include "platform/MessageBox.h"

namespace zw::coverage {

namespace {

using Values = std::vector<std::pair<std::string, FieldValue>>;

}  // namespace

std::string ResultsFileName(std::int32_t taskNumber) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "R%07d.DBF", static_cast<int>(taskNumber));
  return buf;
}

ResultsDb::ResultsDb(std::filesystem::path workDir, std::int32_t taskNumber, std::filesystem::path dataSumFile)
    : workDir_(std::move(workDir)), taskNumber_(taskNumber), dataSumFile_(std::move(dataSumFile)) {
  query_.table = File().stem().string();
}

std::string ResultsDb::SelectText() const { return query_.Text(); }

namespace {

std::optional<std::pair<std::uint64_t, std::uint64_t>> FileId(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

}  // namespace

std::string ResultsDb::LostText() const {
  return "The results table " + File().string() +
         " was removed or replaced while the study was running; the study's results are lost. Run the study again.";
}

std::string ResultsDb::StillInPlace() const {
  if (!rs_.IsOpen()) return {};
  const auto held = rs_.FileIdentity();
  if (held && FileId(File()) == held) return {};
  return LostText();
}

std::string ResultsDb::Report(std::string_view what, const std::string& error) {
  WriteLogRecord(JoinLines(JoinLines(std::string(what) + " " + error, File().string()), ""), true);
  return error;
}

std::string ResultsDb::Open() {
  if (rs_.IsOpen()) return {};
  std::string error;
  std::string step = "DB Path: " + workDir_.string();
  platform::DbfDatabase db;
  error = db.Open(workDir_, "FoxPro 2.6");
  std::vector<platform::DataSumField> rows;
  if (error.empty()) {
    step = "Field definitions: " + dataSumFile_.string();
    auto all = platform::ReadDataSumFields(dataSumFile_, "RDBDBASE", &error);
    if (all) {
      for (const auto& r : *all)
        if (r.Valid()) rows.push_back(r);
      if (rows.empty()) error = "The field-definition table has no results fields (RDBDBASE): " + dataSumFile_.string();
    }
  }
  if (error.empty()) {
    std::vector<platform::DbfField> layout;
    layout.reserve(rows.size());
    for (const auto& r : rows) layout.push_back(r.ToDbfField());
    step = "PathName: " + File().string();
    std::error_code ec;
    if (mustExist_ && !std::filesystem::exists(File(), ec))
      error = LostText();
    else
      error = platform::EnsureDbfTable(File(), layout, true, true, &rows);
  }
  if (error.empty()) {
    step = "SELECT: " + SelectText();
    error = db.OpenRecordset(query_, rs_);
  }
  if (error.empty()) return {};
  rs_.Close();
  if (!silent_)
    platform::Messages().Information("Database Error", JoinLines("Error opening database:", File().string()));
  WriteLogRecord(JoinLines(JoinLines(JoinLines("Results Database Open Error: 0 " + error, File().string()), step), ""),
                 true);
  return error;
}

std::string ResultsDb::Close() { return rs_.Close(); }

bool ResultsDb::AddRec1(std::string_view desc, double lat, double lon, double az, double dis, double val,
                        std::int32_t wrnLvl, std::int32_t wrnBits, float elv, std::int16_t luCode, double luLoss) {
  std::string error = Open();
  if (error.empty()) {
    Values v{{"RDB_DESC", std::string(desc)}, {"RDB_LAT", lat},        {"RDB_LON", lon},
             {"RDB_AZ", az},                  {"RDB_DIS", dis},        {"RDB_VAL", val},
             {"RDB_WRNLVL", wrnLvl},          {"RDB_WRNING", wrnBits}};
    if (elv > -30000.0f) v.emplace_back("RDB_ELV", static_cast<double>(elv));
    if (luCode >= 1 && luCode <= 999) {
      v.emplace_back("RDB_LUCODE", static_cast<std::int32_t>(luCode));
      v.emplace_back("RDB_LULOSS", luLoss);
    }
    error = rs_.AddNew(v);
  }
  if (error.empty()) return true;
  Report("Error in RDB_AddRec1", JoinLines("Err 0", error));
  return false;
}

std::string ResultsDb::UpdateRDBLoc(double dis, double lat, double lon, std::optional<float> elv,
                                    std::optional<double> az) {
  if (!rs_.IsOpen() || rs_.Eof()) return Report("UpdateRDBLoc", "RS Edit : no current record");
  Values v{{"RDB_Dis", dis}, {"RDB_Lat", lat}, {"RDB_Lon", lon}};
  if (elv) v.emplace_back("RDB_Elv", static_cast<double>(*elv));
  if (az) v.emplace_back("RDB_AZ", *az);
  if (auto err = rs_.UpdateCurrent(v); !err.empty()) return Report("UpdateRDBLoc", "RS Update " + err);
  return {};
}

std::string ResultsDb::UpdateRDBRec(double dBu, float elv, std::int16_t luCode, double luLoss, std::int32_t wrnBits,
                                    std::int16_t wrnLvl) {
  if (!rs_.IsOpen() || rs_.Eof()) return Report("UpdateRDBRec", "RS Edit : no current record");
  const std::int32_t code = (luCode > 999 || luCode < 0) ? -1 : luCode;
  Values v{{"RDB_Val", dBu},
           {"RDB_Elv", static_cast<double>(elv)},
           {"RDB_LuCode", code},
           {"RDB_LuLoss", luLoss},
           {"RDB_Wrning", wrnBits},
           {"RDB_WrnLvl", static_cast<std::int32_t>(wrnLvl)}};
  if (auto err = rs_.UpdateCurrent(v); !err.empty()) return Report("UpdateRDBRec", "RS Update " + err);
  return {};
}

std::string ResultsDb::StudyDescCode(std::string_view summary, std::string_view rdbDesc, bool directContour) {
  std::string code(summary.substr(0, std::min<std::size_t>(6, summary.size())));
  if (code.size() >= 6) {
    const std::string kind = ToUpper(code.substr(3, 3));
    if (kind == "CTR" || kind == "TGT") {
      if (directContour) return std::string(rdbDesc);
      code.replace(3, 3, "RAD");
    }
  }
  return code;
}

std::string ResultsDb::RDBSort(std::string_view direction, std::string_view descCode) {
  std::string dir = ToUpper(Trim(direction));
  if (dir != "ASC" && dir != "DESC") return "Sort direction must be ASC or DESC: " + std::string(direction);
  query_.order = {{"RDB_AZ", false}, {"RDB_Dis", dir == "DESC"}};
  query_.whereField = "RDB_Desc";
  query_.whereText = std::string(descCode);
  Close();
  return Open();
}

std::optional<RdbRecord> ResultsDb::Current() const {
  if (Eof()) return std::nullopt;
  const int r = rs_.Current();
  RdbRecord out;
  out.record = r;
  out.desc = rs_.Text(r, "RDB_DESC");
  out.lat = rs_.Number(r, "RDB_LAT");
  out.lon = rs_.Number(r, "RDB_LON");
  out.az = rs_.Number(r, "RDB_AZ");
  out.dis = rs_.Number(r, "RDB_DIS");
  out.val = rs_.Number(r, "RDB_VAL");
  out.wrnLvl = rs_.Integer(r, "RDB_WRNLVL");
  out.wrnBits = rs_.Integer(r, "RDB_WRNING");
  out.elvEmpty = rs_.IsNull(r, "RDB_ELV");
  out.elv = static_cast<float>(rs_.Number(r, "RDB_ELV"));
  out.luEmpty = rs_.IsNull(r, "RDB_LUCODE");
  out.luCode = static_cast<std::int16_t>(rs_.Integer(r, "RDB_LUCODE", -32768, 32767));
  out.luLoss = rs_.Number(r, "RDB_LULOSS");
  return out;
}

std::vector<RdbRecord> ResultsDb::ReadAll() const {
  std::vector<RdbRecord> out;
  if (!rs_.IsOpen()) return out;
  auto& rs = const_cast<platform::DbfTable&>(rs_);
  const int keep = rs.Position();
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(*Current());
  rs.MoveTo(keep);
  return out;
}

std::string ResultsDb::Clear() {
  const bool wasOpen = rs_.IsOpen();
  if (auto err = Close(); !err.empty()) return err;
  std::string error;
  auto layout = platform::ReadDataSumLayout(dataSumFile_, "RDBDBASE", &error);
  if (!layout) return Report("Clear", error);
  // Taking the lock first keeps another program's open table from being replaced.
  {
    platform::DbfTable lock;
    std::error_code ec;
    if (std::filesystem::exists(File(), ec))
      if (auto err = lock.Open(File()); !err.empty()) return Report("Clear", err);
    if (auto err = platform::DbfTable::Create(File(), *layout, true); !err.empty()) return Report("Clear", err);
  }
  return wasOpen ? Open() : std::string();
}

std::string ResultsDb::Remove() {
  if (auto err = Close(); !err.empty()) return err;
  std::error_code ec;
  if (!std::filesystem::exists(File(), ec)) return {};
  {
    platform::DbfTable lock;
    if (auto err = lock.Open(File()); !err.empty()) return Report("Remove", err);
    std::filesystem::remove(File(), ec);
  }
  if (ec) return Report("Remove", "Cannot delete " + File().string() + ": " + ec.message());
  return {};
}

}  // namespace zw::coverage
