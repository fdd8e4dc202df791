#pragma once
// An ordered keyed map of field values: the facility, the mobile and the
// propagation-model template travel through the system as one of these.
// Keys are field names compared as written (FindNoCase is there for the
// readers that match without regard to case); iteration follows insertion
// order, and an entry that is removed and added again moves to the end.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FieldValue.h"

namespace zw {

class FieldCollection {
 public:
  using Entry = std::pair<std::string, FieldValue>;
  using const_iterator = std::vector<Entry>::const_iterator;

  FieldCollection() = default;
  // Entries in the order given; a repeated key keeps its first value.
  FieldCollection(std::initializer_list<Entry> entries);

  // A map of text values from (key, value) pairs such as a profile section;
  // a repeated key keeps its first value (the one a key lookup would find).
  static FieldCollection FromPairs(const std::vector<std::pair<std::string, std::string>>& pairs);

  std::size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  bool Contains(std::string_view key) const { return index_.find(key) != index_.end(); }

  // Adds at the end. False, and nothing changed, when the key is already present.
  bool Add(std::string key, FieldValue value);
  // Replaces the value where it stands, or adds at the end when the key is new.
  void Set(std::string key, FieldValue value);
  // False when the key was not present.
  bool Remove(std::string_view key);
  void Clear();

  // The value of a key, or nullptr.
  const FieldValue* Find(std::string_view key) const;
  FieldValue* Find(std::string_view key);
  // The first entry (in map order) whose key matches without regard to ASCII case.
  const FieldValue* FindNoCase(std::string_view key) const;

  // Typed readers; a missing key gives the default. Text values are converted
  // with the tolerant conversions of the unit routines (never failing).
  std::string GetText(std::string_view key, std::string_view def = {}) const;
  double GetDouble(std::string_view key, double def = 0.0) const;
  float GetSingle(std::string_view key, float def = 0.0f) const;
  std::int32_t GetLong(std::string_view key, std::int32_t def = 0) const;
  bool GetBool(std::string_view key, bool def = false) const;

  // Positional access in map order (i below Count()).
  const Entry& At(std::size_t i) const { return entries_[i]; }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  std::vector<std::string> Keys() const;

  bool operator==(const FieldCollection& other) const { return entries_ == other.entries_; }

 private:
  void Reindex(std::size_t from);

  std::vector<Entry> entries_;
  std::map<std::string, std::size_t, std::less<>> index_;
};

}  // namespace zw
