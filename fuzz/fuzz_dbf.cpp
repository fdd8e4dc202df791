// dBase tables: the input is a .DBF file, opened read-only; every field of
// every record is read through each accessor, and the table is read as a
// field-definition table.
#include <cmath>

#include "FuzzUtil.h"
#include "platform/DbfDataSum.h"
#include "platform/DbfTable.h"

using zw::fuzz::Check;
using namespace zw::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zw::fuzz::InputFile in(".DBF", data, size);
  {
    DbfTable t;
    if (t.Open(in.path(), true).empty()) {
      Check(t.IsOpen(), "opened table is not open");
      const auto& fields = t.Fields();
      const int count = t.RecordCount();
      Check(count >= 0, "negative record count");
      for (int r = 0; r < count; ++r) {
        (void)t.IsDeleted(r);
        const auto row = t.Row(r);
        Check(row.has_value() && row->size() == fields.size(), "row of a valid record missing or short");
        for (int f = 0; f < static_cast<int>(fields.size()); ++f) {
          (void)t.Value(r, f);
          (void)t.Value(r, fields[f].name);
          (void)t.Text(r, fields[f].name);
          (void)t.Number(r, fields[f].name);
          (void)t.IsNull(r, fields[f].name);
        }
      }
      // Out of range reads give the empty value.
      Check(!t.Row(-1) && !t.Row(count), "row outside the table");
      (void)t.Value(count, 0);
      (void)t.Value(0, static_cast<int>(fields.size()));
      (void)t.AllRecords();
      if (!fields.empty()) {
        (void)t.Sorted({{fields[0].name, false}});
        (void)t.Select({}, {{fields.back().name, true}});
        for (t.MoveFirst(); !t.Eof(); t.MoveNext()) (void)t.Value(t.Current(), fields[0].name);
      }
    }
    t.Close();
  }
  std::string error;
  (void)ReadDataSumFields(in.path(), "ANTENNA", &error);
  return 0;
}
