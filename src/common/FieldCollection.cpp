#include "common/FieldCollection.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "common/Units.h"
#include "platform/Text.h"

namespace zw {

namespace {

}  // namespace

FieldCollection::FieldCollection(std::initializer_list<Entry> entries) {
  for (const auto& e : entries) Add(e.first, e.second);
}

FieldCollection FieldCollection::FromPairs(
    const std::vector<std::pair<std::string, std::string>>& pairs) {
  FieldCollection c;
  for (const auto& [k, v] : pairs) c.Add(k, v);
  return c;
}

bool FieldCollection::Add(std::string key, FieldValue value) {
  if (Contains(key)) return false;
  index_.emplace(key, entries_.size());
  entries_.emplace_back(std::move(key), std::move(value));
  return true;
}

void FieldCollection::Set(std::string key, FieldValue value) {
  if (auto* v = Find(key)) {
    *v = std::move(value);
    return;
  }
  Add(std::move(key), std::move(value));
}

bool FieldCollection::Remove(std::string_view key) {
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  std::size_t pos = it->second;
  index_.erase(it);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
  Reindex(pos);
  return true;
}

void FieldCollection::Clear() {
  entries_.clear();
  index_.clear();
}

void FieldCollection::Reindex(std::size_t from) {
  for (std::size_t i = from; i < entries_.size(); ++i) index_[entries_[i].first] = i;
}

const FieldValue* FieldCollection::Find(std::string_view key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

FieldValue* FieldCollection::Find(std::string_view key) {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

const FieldValue* FieldCollection::FindNoCase(std::string_view key) const {
  for (const auto& e : entries_)
    if (EqualsNoCase(e.first, key)) return &e.second;
  return nullptr;
}

std::string FieldCollection::GetText(std::string_view key, std::string_view def) const {
  const auto* v = Find(key);
  return v ? ToText(*v) : std::string(def);
}

double FieldCollection::GetDouble(std::string_view key, double def) const {
  const auto* v = Find(key);
  return v ? ParseDouble(*v) : def;
}

float FieldCollection::GetSingle(std::string_view key, float def) const {
  const auto* v = Find(key);
  return v ? ParseSingle(*v) : def;
}

std::int32_t FieldCollection::GetLong(std::string_view key, std::int32_t def) const {
  const auto* v = Find(key);
  if (!v) return def;
  if (const auto* i = std::get_if<std::int32_t>(v)) return *i;
  double d = ParseDouble(*v);
  // Halves to even, as the usual integer conversion; out of range reads 0.
  d = std::nearbyint(d);
  if (!(d >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
        d <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
    return 0;
  return static_cast<std::int32_t>(d);
}

bool FieldCollection::GetBool(std::string_view key, bool def) const {
  const auto* v = Find(key);
  if (!v) return def;
  return std::visit(
      [](const auto& x) -> bool {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return ParseBool(x);
        } else if constexpr (std::is_same_v<T, bool>) {
          return x;
        } else {
          return x != 0;
        }
      },
      *v);
}

std::vector<std::string> FieldCollection::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& e : entries_) keys.push_back(e.first);
  return keys;
}

}  // namespace zw
