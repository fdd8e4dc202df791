#pragma once
// Text pieces of the task summary report: a keyed view of a task file
// section, the report being built, and the small formatters its sections
// share (facility position, antennas, contour levels, values with units).
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/NumberFormat.h"
#include "platform/Profile.h"
#include "tasks/TaskFile.h"

namespace zw::tasks::summary {

// Keyed look-up over a section read whole (names without regard to case).
class Entries {
 public:
  Entries() = default;
  explicit Entries(platform::ProfileEntries e) : e_(std::move(e)) {}
  bool Empty() const { return e_.empty(); }
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  std::string Get(std::string_view key, std::string_view def = {}) const {
    const std::string* v = Find(key);
    return v ? Trim(*v) : std::string(def);
  }
  double Number(std::string_view key) const { return ParseDouble(Get(key)); }
  bool Flag(std::string_view key) const {
    const std::string v = ToUpper(Get(key));
    return v == "-1" || v == "TRUE" || v == "1";
  }
  const platform::ProfileEntries& All() const { return e_; }

 private:
  const std::string* Find(std::string_view key) const {
    for (const auto& [k, v] : e_)
      if (EqualsNoCase(Trim(k), key)) return &v;
    return nullptr;
  }
  platform::ProfileEntries e_;
};

// Parts joined by one blank, blank parts left out.
std::string Words(std::initializer_list<std::string> parts);

inline std::string Tabs(int n) { return std::string(static_cast<std::size_t>(n), '\t'); }

class Report {
 public:
  void Line(int indent, std::string_view text) { out_ += Tabs(indent) + std::string(text) + "\n"; }
  void Blank() { out_ += "\n"; }
  std::string& Text() { return out_; }

 private:
  std::string out_;
};

// A section value with two decimals ("#0.00").
std::string Fixed2(const Entries& e, std::string_view key);

// A number given as text, or "not given" when blank.
std::string Given(const std::string& s);

// A distance or step as entered; a bare number gets the unit the study's own
// keys give it, so that no number goes out without one.
std::string GivenWithUnit(const std::string& s, const std::string& unit);

// Level text of "Level 0" fields 1 and 2: "60 dBu".
std::string LevelText(std::string_view level0);

// "60 dBu 50% contour", or a clear note when the level is incomplete.
std::string ContourLine(std::string_view level0);

// Latitude and longitude of a facility in its display system.
std::string PositionText(const Entries& fac);

// The transmitting antenna of a facility: its file, its type, or none.
std::string AntennaText(const Entries& fac);

// Remote (receiving) antenna of a task: its mobile antenna and height.
std::string RemoteAntennaText(const TaskFile& f);

}  // namespace zw::tasks::summary
