#include "engine/PointResultCodec.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zw {

namespace {

// First byte of every point's record (a check that the bytes are records).
constexpr unsigned char kRecordMark = 0xA5;

template <typename T>
void Put(std::string& out, T v) {
  static_assert(std::is_trivially_copyable_v<T>);
  char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));
  out.append(b, sizeof(T));
}

void PutText(std::string& out, const std::string& s) {
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(s.size()));
  out += s;
}

class Reader {
 public:
  explicit Reader(std::string_view b) : b_(b) {}
  bool AtEnd() const { return pos_ == b_.size(); }
  template <typename T>
  bool Get(T& v) {
    if (b_.size() - pos_ < sizeof(T)) return false;
    std::memcpy(&v, b_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return true;
  }
  bool GetText(std::string& s) {
    std::uint32_t n = 0;
    if (!Get(n) || b_.size() - pos_ < n) return false;
    s.assign(b_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  std::size_t Position() const { return pos_; }

 private:
  std::string_view b_;
  std::size_t pos_ = 0;
};

bool GetOne(Reader& in, PointResult& r) {
  unsigned char mark = 0, flags = 0;
  if (!in.Get(mark) || mark != kRecordMark || !in.Get(flags)) return false;
  r.missing = flags & 1;
  r.failed = flags & 2;
  r.contour = flags & 4;
  std::uint32_t warnings = 0;
  if (!in.Get(r.field) || !in.Get(r.elv) || !in.Get(r.luCode) || !in.Get(r.luLoss) || !in.Get(r.bits) ||
      !in.Get(r.level) || !in.Get(r.contourKm) || !in.Get(r.contourLat) || !in.Get(r.contourLon) ||
      !in.GetText(r.details) || !in.GetText(r.failure) || !in.Get(warnings))
    return false;
  r.warnings.clear();
  for (std::uint32_t i = 0; i < warnings; ++i) {
    std::string w;
    if (!in.GetText(w)) return false;
    r.warnings.push_back(std::move(w));
  }
  return true;
}

}  // namespace

std::string EncodePointResults(const std::vector<PointResult>& results) {
  std::string out;
  out.reserve(results.size() * 64);
  for (const auto& r : results) {
    Put(out, kRecordMark);
    Put<unsigned char>(out, static_cast<unsigned char>((r.missing ? 1 : 0) | (r.failed ? 2 : 0) | (r.contour ? 4 : 0)));
    Put(out, r.field);
    Put(out, r.elv);
    Put(out, r.luCode);
    Put(out, r.luLoss);
    Put(out, r.bits);
    Put(out, r.level);
    Put(out, r.contourKm);
    Put(out, r.contourLat);
    Put(out, r.contourLon);
    PutText(out, r.details);
    PutText(out, r.failure);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(r.warnings.size()));
    for (const auto& w : r.warnings) PutText(out, w);
  }
  return out;
}

std::string DecodePointResults(std::string_view bytes, std::vector<PointResult>& out) {
  Reader in(bytes);
  std::vector<PointResult> got;
  while (!in.AtEnd()) {
    PointResult r;
    if (!GetOne(in, r))
      return "The point results are damaged at byte " + std::to_string(in.Position()) + " of " +
             std::to_string(bytes.size()) + " (after " + std::to_string(got.size()) + " points): compute them again";
    got.push_back(std::move(r));
  }
  out.insert(out.end(), std::make_move_iterator(got.begin()), std::make_move_iterator(got.end()));
  return {};
}

}  // namespace zw
