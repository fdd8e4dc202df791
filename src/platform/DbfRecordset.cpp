#include "platform/DbfTable.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/DbfFieldCodec.h"
#include "platform/DbfGuard.h"
#include "platform/Text.h"

namespace zw::platform {

using namespace dbf;

std::vector<int> DbfTable::AllRecords() const {
  return Guarded([&] {
    std::vector<int> out;
    const int n = RecordCount();
    out.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
      if (!IsDeleted(r)) out.push_back(r);
    return out;
  }, [](const std::exception&) { return std::vector<int>(); });
}

std::vector<int> DbfTable::Find(std::string_view field, const FieldValue& value, bool ignoreCase) const {
  return Guarded([&] {
    std::vector<int> out;
    const int i = FieldIndex(field);
    if (i < 0) return out;
    const char type = fields_[static_cast<std::size_t>(i)].type;
    std::string target;
    if (type == 'C' || type == 'L' || type == 'D' || IsNumericType(type)) {
      if (!EncodeValue(i, value, target).empty()) return out;  // cannot be stored, so never found
    } else {
      target = ValueAsText(value);
    }
    const bool targetNull = RawIsNull(type, target);
    double targetNumber = 0;
    if (IsNumericType(type) && !targetNull) ParseNumber(target, targetNumber);
    const std::string_view t = TrimRight(target);
    const int n = RecordCount();
    for (int r = 0; r < n; ++r) {
      if (IsDeleted(r)) continue;
      const std::string_view raw = RawField(r, i);
      bool match = false;
      if (RawIsNull(type, raw) || targetNull) {
        match = RawIsNull(type, raw) && targetNull;
      } else if (IsNumericType(type)) {
        double v = 0;
        match = ParseNumber(raw, v) && v == targetNumber;
      } else if (type == 'L') {
        match = RawLogical(raw) == RawLogical(target);
      } else {
        const std::string_view s = TrimRight(raw);
        match = ignoreCase ? EqualsNoCase(s, t) : s == t;
      }
      if (match) out.push_back(r);
    }
    return out;
  }, [](const std::exception&) { return std::vector<int>(); });
}

int DbfTable::FindFirst(std::string_view field, const FieldValue& value, bool ignoreCase) const {
  const auto all = Find(field, value, ignoreCase);
  return all.empty() ? -1 : all.front();
}

std::vector<int> DbfTable::Sorted(const std::vector<DbfSortKey>& keys, const std::vector<int>* records,
                                  std::string* error) const {
  std::vector<int> order;
  return Guarded([&] {
    order = records ? *records : AllRecords();
    struct Key {
      int field;
      bool numeric;
      bool descending;
    };
    std::vector<Key> ks;
    for (const auto& k : keys) {
      const int i = FieldIndex(k.field);
      if (i < 0) {
        if (error) *error = "No field " + k.field + " to sort by in " + path_.string();
        return order;
      }
      ks.push_back({i, IsNumericType(fields_[static_cast<std::size_t>(i)].type), k.descending});
    }
    if (ks.empty()) return order;
    // One row of sort values per record, read once.
    struct Cell {
      bool null = true;
      double number = 0;
      std::string text;
    };
    std::vector<std::vector<Cell>> cells(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
      cells[r].resize(ks.size());
      for (std::size_t k = 0; k < ks.size(); ++k) {
        const std::string_view raw = RawField(order[r], ks[k].field);
        Cell& c = cells[r][k];
        if (ks[k].numeric) {
          c.null = RawIsNull('N', raw) || !ParseNumber(raw, c.number);
        } else {
          c.null = false;
          c.text = std::string(TrimRight(raw));
        }
      }
    }
    std::vector<std::size_t> idx(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::stable_sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) {
      for (std::size_t k = 0; k < ks.size(); ++k) {
        const Cell& x = cells[a][k];
        const Cell& y = cells[b][k];
        int cmp = 0;
        if (ks[k].numeric) {
          if (x.null != y.null) cmp = x.null ? -1 : 1;
          else if (!x.null) cmp = x.number < y.number ? -1 : (x.number > y.number ? 1 : 0);
        } else {
          const int c = x.text.compare(y.text);
          cmp = c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (ks[k].descending) cmp = -cmp;
        if (cmp != 0) return cmp < 0;
      }
      return false;
    });
    std::vector<int> sorted(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i) sorted[i] = order[idx[i]];
    return sorted;
  }, [&](const std::exception& e) {
    if (error) *error = std::string("Cannot sort the table: ") + e.what();
    return order;
  });
}

std::string DbfTable::AppendRecordsOf(const DbfTable& source, const std::vector<std::pair<int, std::string>>& shared,
                                      int* copied) {
  int n = 0;
  for (int r : source.AllRecords()) {
    std::vector<std::pair<std::string, FieldValue>> values;
    for (const auto& [i, name] : shared) {
      const auto& f = source.fields_[static_cast<std::size_t>(i)];
      if (RawIsNull(f.type, source.RawField(r, i))) continue;
      values.emplace_back(name, source.Value(r, i));
    }
    if (auto err = Append(values); !err.empty())
      return err + " (record " + std::to_string(r + 1) + " of " + source.path_.string() + ")";
    if (copied) *copied = ++n;
  }
  return {};
}

std::string DbfTable::Select(const Filter& where, const std::vector<DbfSortKey>& order) {
  view_.clear();
  pos_ = 0;
  if (!handle_) return "No table is open";
  return Guarded([&]() -> std::string {
    std::vector<int> rows;
    for (int r : AllRecords())
      if (!where || where(*this, r)) rows.push_back(r);
    std::string error;
    view_ = Sorted(order, &rows, &error);
    return error;
  }, [this](const std::exception& e) {
    view_.clear();
    return std::string("Cannot select the records: ") + e.what();
  });
}

bool DbfTable::MoveTo(int position) {
  if (position < 0 || position > static_cast<int>(view_.size())) return false;
  pos_ = position;
  return true;
}

std::string DbfTable::UpdateCurrent(const std::vector<std::pair<std::string, FieldValue>>& values) {
  if (Eof()) return "No current record";
  return Update(Current(), values);
}

std::string DbfTable::CopyFieldsFrom(const DbfTable& source, const std::vector<std::string>& fieldNames,
                                     int* copied) {
  if (copied) *copied = 0;
  return Guarded("Cannot copy the records", [&]() -> std::string {
    if (!handle_ || !source.IsOpen()) return "No table is open";
    if (auto err = CheckWritable(); !err.empty()) return err;
    std::vector<std::pair<int, std::string>> shared;
    for (const auto& name : fieldNames) {
      const int i = source.FieldIndex(name);
      if (i < 0) return "No field " + name + " in " + source.path_.string();
      if (!HasField(name)) return "No field " + name + " in " + path_.string();
      shared.emplace_back(i, name);
    }
    return AppendRecordsOf(source, shared, copied);
  });
}

std::string DbfTable::AddNew(const std::vector<std::pair<std::string, FieldValue>>& values) {
  int rec = -1;
  if (auto err = Append(values, &rec); !err.empty()) return err;
  return Guarded("Cannot add a record", [&]() -> std::string {
    view_.push_back(rec);
    pos_ = static_cast<int>(view_.size()) - 1;
    return {};
  });
}

}  // namespace zw::platform
