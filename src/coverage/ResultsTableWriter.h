#pragma once
// Writes a whole results table in one sequential pass: the empty table with
// the layout of the field-definition table is made first (as any results
// table is), then the records are encoded into large buffers (runs of them
// side by side on several threads) and appended in order, and the header's
// record count is written once at the end, followed by a sync. A failure (disk full, ...) names the cause and the file; the caller
// then discards the file, which is never one in use.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/StudyPoints.h"
#include "platform/DbfTable.h"

namespace zw::coverage {

class ResultsTableWriter {
 public:
  ResultsTableWriter() = default;
  ~ResultsTableWriter();
  ResultsTableWriter(const ResultsTableWriter&) = delete;
  ResultsTableWriter& operator=(const ResultsTableWriter&) = delete;

  // Creates the table `file` (which must not exist) with the results layout.
  std::string Create(const std::filesystem::path& file, const std::filesystem::path& dataSumFile);

  // A skeleton record: value -888888, elevation only above -30000, no land use.
  std::string AddSkeleton(std::string_view desc, const StudyPoint& p, float elvM = -32200.0f);
  // Every point in order, with its value (skeletons when values is null; a
  // point not computed is written as a skeleton too), the records encoded on
  // up to `threads` threads and written in order.
  std::string AddAll(std::string_view desc, std::span<const StudyPoint> points, const std::vector<PointValue>* values,
                     int threads);
  // Writes the rest, the record count and the end mark; syncs and closes.
  std::string Finish();
  std::int64_t Records() const { return records_; }
  enum Slot { kDesc, kLat, kLon, kAz, kDis, kVal, kLvl, kBits, kElv, kLuCode, kLuLoss, kSlots };
  // Decimals of a field of the open table (-1 when it has no such field).
  int Decimals(Slot s) const { return cols_[s].offset < 0 ? -1 : cols_[s].decimals; }

 private:
  struct Column {
    int offset = -1;  // in the record; -1 when the table has no such field
    int width = 0;
    int decimals = 0;
    char type = 'N';
  };
  // Appends the record of a point to buf: with its value when v holds a
  // result, else a skeleton (the elevation shown when above -30000); the
  // first value that does not fit its field is named in error.
  void Encode(std::string& buf, std::string_view desc, const StudyPoint& p, const PointValue* v, float elvM,
              std::string& error) const;
  void PutNumber(char* rec, Slot s, double v, std::string& error) const;
  void PutText(char* rec, Slot s, std::string_view text) const;
  std::string Flush();
  std::string Fail(const std::string& what);
  // Asks the system to start writing what the table holds so far to disk.
  void StartWriteback();

  std::filesystem::path file_;
  std::FILE* fp_ = nullptr;
  Column cols_[kSlots];
  int recordLength_ = 0;
  long headerLength_ = 0;
  std::int64_t records_ = 0;
  std::string buffer_;
  std::string error_;
};

}  // namespace zw::coverage
