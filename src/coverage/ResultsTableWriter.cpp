#include "coverage/ResultsTableWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <system_error>

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include "coverage/ResultsDb.h"
#include "platform/DbfUpkeep.h"
#include "platform/Text.h"

namespace zw::coverage {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBufferBytes = 4u << 20;
// Bytes of records written between requests to start writing them to disk.
constexpr std::size_t kStartWritebackBytes = 32u << 20;
constexpr const char* kSlotNames[] = {"RDB_DESC", "RDB_LAT",    "RDB_LON",    "RDB_AZ",     "RDB_DIS",   "RDB_VAL",
                                      "RDB_WRNLVL", "RDB_WRNING", "RDB_ELV", "RDB_LUCODE", "RDB_LULOSS"};

const double kPow10[] = {1,   1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9, 1e10,
                         1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The fixed-point text of v with `decimals` decimals into out (right-aligned
// in width, blanks before); false when it does not fit. Whole numbers round
// halves away from zero; "-0" is written without its sign.
bool FixedText(double v, int decimals, int width, char* out) {
  char buf[64];
  const char* text = buf;  // the n characters written
  int n = 0;
  const double scaled = v * kPow10[std::clamp(decimals, 0, 18)];
  if (std::isfinite(v) && decimals >= 0 && decimals <= 15 && std::fabs(scaled) < 9e15) {
    const long long x = std::llround(scaled);
    unsigned long long u = x < 0 ? static_cast<unsigned long long>(-x) : static_cast<unsigned long long>(x);
    // The digits from the last, two at a time where they can be.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* const end = buf + sizeof buf;
    char* p = end;
    const auto pair = [&] {
      p -= 2;
      std::memcpy(p, kPairs + 2 * (u % 100), 2);
      u /= 100;
    };
    int d = 0;
    for (; d + 2 <= decimals; d += 2) pair();
    if (d < decimals) {
      *--p = static_cast<char>('0' + u % 10);
      u /= 10;
    }
    if (decimals > 0) *--p = '.';
    while (u >= 10) pair();
    if (u > 0 || p == end || *p == '.') *--p = static_cast<char>('0' + u);
    if (x < 0) *--p = '-';
    n = static_cast<int>(end - p);
    text = p;
  } else {
    if (!std::isfinite(v) || std::fabs(v) >= 1e20) return false;
    const double r = decimals == 0 ? std::round(v) : v;
    n = std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
    if (n <= 0 || n >= static_cast<int>(sizeof buf)) return false;
    if (buf[0] == '-' && std::strpbrk(buf, "123456789") == nullptr) {
      ++text;
      --n;
    }
  }
  if (n > width) return false;
  std::memset(out, ' ', static_cast<std::size_t>(width - n));
  std::memcpy(out + (width - n), text, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

double RoundToDecimals(double v, int decimals) {
  if (!std::isfinite(v) || decimals < 0 || decimals > 15) return v;
  const double p = kPow10[decimals];
  const double scaled = v * p;
  if (std::fabs(scaled) >= 9e15) return v;
  return static_cast<double>(std::llround(scaled)) / p;
}

ResultsTableWriter::~ResultsTableWriter() {
  if (fp_) std::fclose(fp_);
}

std::string ResultsTableWriter::Fail(const std::string& what) {
  if (error_.empty()) error_ = what + " " + file_.string() + ": " + std::error_code(errno, std::generic_category()).message();
  if (fp_) {
    std::fclose(fp_);
    fp_ = nullptr;
  }
  return error_;
}

std::string ResultsTableWriter::Create(const fs::path& file, const fs::path& dataSumFile) {
  file_ = file;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec))) return "The table already exists: " + file.string();
  std::string error;
  auto all = platform::ReadDataSumFields(dataSumFile, "RDBDBASE", &error);
  if (!all) return error;
  std::vector<platform::DataSumField> rows;
  for (const auto& r : *all)
    if (r.Valid()) rows.push_back(r);
  if (rows.empty()) return "The field-definition table has no results fields (RDBDBASE): " + dataSumFile.string();
  std::vector<platform::DbfField> layout;
  layout.reserve(rows.size());
  for (const auto& r : rows) layout.push_back(r.ToDbfField());
  if (auto err = platform::EnsureDbfTable(file, layout, true, false, &rows); !err.empty()) return err;

  // The layout as written (after the header correction).
  std::vector<platform::DbfField> fields;
  {
    platform::DbfTable t;
    if (auto err = t.Open(file, true); !err.empty()) return err;
    if (t.RecordCount() != 0) return "A new results table holds records: " + file.string();
    fields = t.Fields();
  }
  int offset = 1;
  for (const auto& f : fields) {
    for (int s = 0; s < kSlots; ++s)
      if (cols_[s].offset < 0 && EqualsNoCase(f.name, kSlotNames[s])) cols_[s] = {offset, f.width, f.decimals, f.type};
    offset += f.width;
  }
  recordLength_ = offset;
  for (int s = 0; s < kSlots; ++s) {
    const Column& c = cols_[s];
    if (c.offset < 0) continue;
    const bool numeric = c.type == 'N' || c.type == 'F';
    if ((s == kDesc && c.type != 'C') || (s != kDesc && !numeric))
      return std::string("The results field ") + kSlotNames[s] + " has an unexpected type in " + file.string();
  }
  fp_ = std::fopen(file.c_str(), "r+b");
  if (!fp_) return Fail("Cannot open");
  unsigned char head[32];
  if (std::fread(head, 1, sizeof head, fp_) != sizeof head) return Fail("Cannot read");
  headerLength_ = head[8] | (head[9] << 8);
  if ((head[10] | (head[11] << 8)) != recordLength_) return "Unexpected record length in " + file.string();
  if (std::fseek(fp_, headerLength_, SEEK_SET) != 0) return Fail("Cannot write");
  return {};
}

void ResultsTableWriter::PutNumber(char* rec, Slot s, double v, std::string& error) const {
  const Column& c = cols_[s];
  if (c.offset < 0) return;
  if (!FixedText(v, c.decimals, c.width, rec + c.offset) && error.empty())
    error = "The value " + std::to_string(v) + " does not fit the field " + kSlotNames[s] + " of " + file_.string();
}

void ResultsTableWriter::PutText(char* rec, Slot s, std::string_view text) const {
  const Column& c = cols_[s];
  if (c.offset < 0) return;
  std::memcpy(rec + c.offset, text.data(), std::min<std::size_t>(text.size(), static_cast<std::size_t>(c.width)));
}

std::string ResultsTableWriter::Flush() {
  if (!fp_) return error_.empty() ? "The results table is not open" : error_;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), fp_) != buffer_.size())
    return Fail("Cannot write the results table");
  buffer_.clear();
  return {};
}

void ResultsTableWriter::Encode(std::string& buf, std::string_view desc, const StudyPoint& p, const PointValue* v,
                                float elvM, std::string& error) const {
  const std::size_t at = buf.size();
  buf.append(static_cast<std::size_t>(recordLength_), ' ');
  char* rec = buf.data() + at;
  PutText(rec, kDesc, desc);
  PutNumber(rec, kLat, p.lat, error);
  PutNumber(rec, kLon, p.lon, error);
  PutNumber(rec, kAz, p.az, error);
  PutNumber(rec, kDis, p.disKm, error);
  if (v && (v->status == PointStatus::kComputed || v->status == PointStatus::kModelFailed)) {
    PutNumber(rec, kVal, v->fieldDbu, error);
    PutNumber(rec, kLvl, v->wrnLvl, error);
    PutNumber(rec, kBits, v->wrnBits, error);
    PutNumber(rec, kElv, v->elvM, error);
    PutNumber(rec, kLuCode, (v->luCode > 999 || v->luCode < 0) ? -1 : v->luCode, error);
    PutNumber(rec, kLuLoss, v->luLossDb, error);
  } else {  // a skeleton record
    PutNumber(rec, kVal, kRdbNotComputed, error);
    PutNumber(rec, kLvl, 0, error);
    PutNumber(rec, kBits, 0, error);
    if (elvM > -30000.0f) PutNumber(rec, kElv, elvM, error);
  }
}

std::string ResultsTableWriter::AddSkeleton(std::string_view desc, const StudyPoint& p, float elvM) {
  if (!error_.empty()) return error_;
  Encode(buffer_, desc, p, nullptr, elvM, error_);
  ++records_;
  if (buffer_.size() >= kBufferBytes) return Flush();
  return error_;
}

std::string ResultsTableWriter::AddAll(std::string_view desc, std::span<const StudyPoint> points,
                                       const std::vector<PointValue>* values, int threads) {
  if (!error_.empty()) return error_;
  if (values && values->size() != points.size()) return "The results do not match the study's points";
  if (auto err = Flush(); !err.empty()) return err;  // what was added before goes first
  // Runs of records are encoded side by side and written in order as they
  // come: at most two runs a thread are held.
  constexpr std::size_t kRun = 16384;
  const std::size_t runs = (points.size() + kRun - 1) / kRun;
  struct Run {
    std::string text, error;
    std::size_t count = 0;
  };
  auto encode = [&](std::size_t r) {
    Run out;
    const std::size_t first = r * kRun, last = std::min(points.size(), first + kRun);
    out.text.reserve((last - first) * static_cast<std::size_t>(recordLength_));
    for (std::size_t i = first; i < last && out.error.empty(); ++i)
      Encode(out.text, desc, points[i], values ? &(*values)[i] : nullptr, -32200.0f, out.error);
    out.count = last - first;
    return out;
  };
  std::atomic<bool> failed{false};
  std::size_t unsynced = 0;
  auto write = [&](Run run) {
    if (failed.load()) return;
    if (!run.error.empty()) {
      error_ = std::move(run.error);
    } else if (std::fwrite(run.text.data(), 1, run.text.size(), fp_) != run.text.size()) {
      Fail("Cannot write the results table");
    } else {
      records_ += static_cast<std::int64_t>(run.count);
      unsynced += run.text.size();
      if (unsynced >= kStartWritebackBytes) {
        StartWriteback();
        unsynced = 0;
      }
      return;
    }
    failed.store(true);
  };
#if defined(__SANITIZE_THREAD__)
  (void)threads;
  for (std::size_t r = 0; r < runs && !failed.load(); ++r) write(encode(r));
#else
  const int n = std::max(1, threads);
  std::size_t next = 0;
  tbb::task_arena arena(n);
  arena.execute([&] {
    tbb::parallel_pipeline(
        2 * static_cast<std::size_t>(n),
        tbb::make_filter<void, std::size_t>(tbb::filter_mode::serial_in_order,
                                            [&](tbb::flow_control& fc) -> std::size_t {
                                              if (next >= runs || failed.load()) fc.stop();
                                              return next++;
                                            }) &
            tbb::make_filter<std::size_t, Run>(tbb::filter_mode::parallel, encode) &
            tbb::make_filter<Run, void>(tbb::filter_mode::serial_in_order, write));
  });
#endif
  return error_;
}

void ResultsTableWriter::StartWriteback() {
#if defined(__linux__)
  // Only a hint (Finish's fsync reports any failure): the disk starts on what
  // is written while the rest is encoded, and the fsync waits for less.
  if (std::fflush(fp_) == 0) ::sync_file_range(::fileno(fp_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

std::string ResultsTableWriter::Finish() {
  if (!error_.empty()) return error_;
  buffer_.push_back('\x1A');
  if (auto err = Flush(); !err.empty()) return err;
  if (records_ > 0x7FFFFFFF) return "Too many records for one table: " + file_.string();
  const auto n = static_cast<std::uint32_t>(records_);
  const unsigned char count[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                                  static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
  if (std::fseek(fp_, 4, SEEK_SET) != 0 || std::fwrite(count, 1, 4, fp_) != 4) return Fail("Cannot write");
  if (std::fflush(fp_) != 0 || ::fsync(::fileno(fp_)) != 0) return Fail("Cannot write the results table");
  const int rc = std::fclose(fp_);
  fp_ = nullptr;
  if (rc != 0) return Fail("Cannot write the results table");
  return {};
}

}  // namespace zw::coverage
