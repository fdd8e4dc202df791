// ravoprop dtou: receiver D/U protection-ratio tables of ZWRXRej.INI (or
// another table file): print a table, load (check) it with offset look-ups,
// and save a table, sorted if asked, under a name of a table file.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Commands.h"
#include "common/TextJoin.h"
#include "interference/clsQXDtoU.h"
#include "platform/Profile.h"

namespace zw::tool {
namespace {

struct DtouOptions {
  std::string file;       // table file; the installation's ZWRXRej.INI when empty
  std::string table;      // section name
  std::string sortLevel;  // "", "asc" or "desc"
  bool sortOffset = false;
  std::vector<double> offsets;  // look-ups, MHz
  bool json = false;
  // save
  std::string from;       // source file (default: the table file)
  std::string fromTable;  // source section (default: --table)
};

void Prepare(clsQXDtoU& t, const std::string& file) {
  t.bSilent(true);  // failures are printed here, once
  if (!file.empty()) t.sINIfile(file);
}

// Loads; prints the failure and returns false, or prints the load's remarks.
bool Load(clsQXDtoU& t, const std::string& table) {
  const std::string why = t.DtoU_Load(table);
  if (!why.empty()) {
    std::cerr << why << "\n";
    return false;
  }
  if (!t.sLoadNotes().empty()) std::cerr << "Remarks on [" << t.sINIsection() << "]:\n" << t.sLoadNotes() << "\n";
  return true;
}

bool Sort(clsQXDtoU& t, const DtouOptions& o) {
  if (!o.sortLevel.empty()) {
    if (EqualsNoCase(o.sortLevel, "asc")) t.SortOnDdBm(false);
    else if (EqualsNoCase(o.sortLevel, "desc")) t.SortOnDdBm(true);
    else {
      std::cerr << "--sort-level takes asc or desc\n";
      return false;
    }
  }
  if (o.sortOffset) t.SortOnOffset();
  return true;
}

int ListTables(clsQXDtoU& t) {
  const auto names = platform::ProfileGetSectionNames(t.sINIfile());
  if (names.empty()) {
    std::cerr << "No D/U tables in " << t.sINIfile() << "\n";
    return 1;
  }
  for (const auto& n : names) std::cout << n << "\n";
  return 0;
}

int RunPrint(const DtouOptions& o) {
  ApplyGlobals();
  clsQXDtoU t;
  Prepare(t, o.file);
  if (Trim(o.table).empty()) return ListTables(t);
  if (!Load(t, o.table) || !Sort(t, o)) return 1;
  std::cout << t.sTextTable();
  return 0;
}

nlohmann::json LookUp(const clsQXDtoU& t, double f) {
  nlohmann::json j;
  j["offset_mhz"] = f;
  const int c = t.iOffsetIndex(f);
  j["column"] = c;
  if (c >= 0) {
    j["from_mhz"] = t.dOffsetLo(c);
    j["to_mhz"] = t.dOffsetHi(c);
    j["channel"] = t.RXoffset(c)->sChnlOffset();
    nlohmann::json du = nlohmann::json::array();
    for (int r = 0; r < t.iNumDlevels(); ++r) {
      const std::string cell = t.Dlevel(r)->sDtoU(c);
      du.push_back(cell.empty() ? nlohmann::json(nullptr) : nlohmann::json(t.Dlevel(r)->dDtoU(c)));
    }
    j["dtou_db"] = du;
  }
  return j;
}

int RunLoad(const DtouOptions& o) {
  ApplyGlobals();
  clsQXDtoU t;
  Prepare(t, o.file);
  if (!Load(t, o.table) || !Sort(t, o)) return 1;
  if (o.json) {
    nlohmann::json j;
    j["file"] = t.sINIfile();
    j["table"] = t.sINIsection();
    j["units"] = t.sChnlUnits();
    j["channel_width"] = t.dChnlWid();
    nlohmann::json levels = nlohmann::json::array();
    for (int r = 0; r < t.iNumDlevels(); ++r)
      levels.push_back({{"desc", t.Dlevel(r)->sDesc()}, {"dbm", t.Dlevel(r)->dDdBm()}});
    j["levels"] = levels;
    nlohmann::json cols = nlohmann::json::array();
    for (int c = 0; c < t.iNumOffsets(); ++c)
      cols.push_back({{"channel", t.RXoffset(c)->sChnlOffset()},
                      {"offset", t.RXoffset(c)->sFOffset()},
                      {"from_mhz", t.dOffsetLo(c)},
                      {"to_mhz", t.dOffsetHi(c)}});
    j["offsets"] = cols;
    nlohmann::json looks = nlohmann::json::array();
    for (double f : o.offsets) looks.push_back(LookUp(t, f));
    j["lookups"] = looks;
    if (!t.sLoadNotes().empty()) j["remarks"] = t.sLoadNotes();
    std::cout << j.dump(1) << "\n";
    return 0;
  }
  std::cout << fmt::format("[{}] of {}: {} levels x {} offsets, channel width {} {}\n", t.sINIsection(),
                           t.sINIfile(), t.iNumDlevels(), t.iNumOffsets(), t.dChnlWid(), t.sChnlUnits());
  for (int c = 0; c < t.iNumOffsets(); ++c)
    std::cout << fmt::format("  offset {}: channel {:>3}  {} .. {} MHz\n", c, t.RXoffset(c)->sChnlOffset(),
                             t.dOffsetLo(c), t.dOffsetHi(c));
  for (double f : o.offsets) {
    const int c = t.iOffsetIndex(f);
    if (c < 0) {
      std::cout << fmt::format("{} MHz: no offset column\n", f);
      continue;
    }
    std::cout << fmt::format("{} MHz: offset {} (channel {})\n", f, c, t.RXoffset(c)->sChnlOffset());
    for (int r = 0; r < t.iNumDlevels(); ++r) {
      const std::string cell = t.Dlevel(r)->sDtoU(c);
      std::cout << fmt::format("  {:<{}} {:>8} dBm  D/U {} dB\n", Trim(t.Dlevel(r)->sDesc()),
                               std::max<int>(1, t.iDescWidMax()), t.Dlevel(r)->sDdBm(), cell.empty() ? "-" : cell);
    }
  }
  return 0;
}

int RunSave(const DtouOptions& o) {
  ApplyGlobals();
  clsQXDtoU t;
  Prepare(t, o.from.empty() ? o.file : o.from);
  const std::string source = o.fromTable.empty() ? o.table : o.fromTable;
  if (!Load(t, source) || !Sort(t, o)) return 1;
  clsQXDtoU target;
  Prepare(target, o.file);
  t.sINIfile(target.sINIfile());
  const std::string why = t.DtoU_Save(o.table);
  if (!why.empty()) {
    std::cerr << why << "\n";
    return 1;
  }
  std::cout << fmt::format("Saved [{}] ({} levels x {} offsets) to {}\n", t.sINIsection(), t.iNumDlevels(),
                           t.iNumOffsets(), t.sINIfile());
  return 0;
}

void CommonOptions(CLI::App* c, DtouOptions& o, bool tableRequired) {
  c->add_option("--file", o.file, "Table file (default: ZWRXRej.INI in the installation directory)");
  auto* t = c->add_option("--table,-t", o.table, "Table (section) name");
  if (tableRequired) t->required();
  c->add_option("--sort-level", o.sortLevel, "Order the desired levels: asc or desc");
  c->add_flag("--sort-offset", o.sortOffset, "Order the offsets by channel offset");
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<DtouOptions>();
  auto* cmd = app.add_subcommand("dtou", "Receiver D/U protection-ratio tables (ZWRXRej.INI)");
  cmd->require_subcommand(1);

  auto* print = cmd->add_subcommand("print", "Print a table tab-separated (no --table: list the tables)");
  CommonOptions(print, *o, false);
  print->callback([o] {
    if (const int rc = RunPrint(*o); rc != 0) throw CLI::RuntimeError(rc);
  });

  auto* load = cmd->add_subcommand("load", "Load and check a table; look up offsets");
  CommonOptions(load, *o, true);
  load->add_option("--offset", o->offsets, "Undesired-signal offset to look up, MHz (repeatable)");
  load->add_flag("--json", o->json, "One JSON object");
  load->callback([o] {
    if (const int rc = RunLoad(*o); rc != 0) throw CLI::RuntimeError(rc);
  });

  auto* save = cmd->add_subcommand("save", "Save a table (loaded from --from/--from-table, sorted if asked)");
  CommonOptions(save, *o, true);
  save->add_option("--from", o->from, "File to take the table from (default: --file)");
  save->add_option("--from-table", o->fromTable, "Table to take (default: --table)");
  save->callback([o] {
    if (const int rc = RunSave(*o); rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
