// ravoprop dtou: receiver D/U protection-ratio tables of ZWRXRej.INI (or
// another table file): start a table file, print a table, load (check) it
// with offset look-ups, and save a table, sorted if asked, under a name of a
// table file. A table is checked whole before it is used.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Commands.h"
#include "common/TextJoin.h"
#include "interference/DtoUCheck.h"
#include "interference/clsQXDtoU.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "platform/Profile.h"

namespace zw::tool {
namespace {

namespace fs = std::filesystem;

struct DtouOptions {
  std::string file;       // table file; the installation's ZWRXRej.INI when empty
  std::string table;      // section name
  std::string sortLevel;  // "", "asc" or "desc"
  bool sortOffset = false;
  std::vector<double> offsets;  // look-ups, MHz
  bool json = false;
  // new
  std::string output;
  bool force = false;
  // save
  std::string from;       // source file (default: the table file)
  std::string fromTable;  // source section (default: --table)
};

// The table file: the one given, else the installation's, else the sample
// tables shipped with the program (said on stderr).
std::string TableFile(const std::string& given) {
  if (!given.empty()) return given;
  clsQXDtoU t;
  t.bSilent(true);
  const std::string installed = t.sINIfile();
  std::error_code ec;
  if (fs::is_regular_file(installed, ec)) return installed;
  const fs::path sample = platform::DataDirectory() / kDtoUFileName;
  if (!Globals().silent)
    std::cerr << "No D/U table file " << installed << " in the installation; using the sample tables " << sample.string()
              << " (give --file FILE)\n";
  return sample.string();
}

void Prepare(clsQXDtoU& t, const std::string& file) {
  t.bSilent(true);  // failures are printed here, once
  t.sINIfile(TableFile(file));
}

// Checks the table whole, then loads it; prints every problem and returns
// false, or prints the load's remarks.
bool Load(clsQXDtoU& t, const std::string& table) {
  if (const std::string problems = CheckDtoUTable(t.sINIfile(), table); !problems.empty()) {
    std::cerr << (problems.rfind("  ", 0) == 0 ? "The D/U table [" + Trim(table) + "] of " + t.sINIfile() +
                                                     " cannot be used (see docs/dtou.md):\n" + problems
                                               : problems)
              << "\n";
    return false;
  }
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

int RunNew(const DtouOptions& o) {
  ApplyGlobals();
  const std::string table = Trim(o.table).empty() ? std::string("LM 25k") : Trim(o.table);
  if (table.find_first_of("[]\r\n") != std::string::npos) {
    std::cerr << "A D/U table name may not hold brackets or line breaks: " << table << "\n";
    return 1;
  }
  std::error_code ec;
  if (fs::exists(o.output, ec) && !o.force) {
    std::cerr << o.output << " exists; it was left as it is (give --force to replace it)\n";
    return 1;
  }
  std::string failure;
  if (!platform::WriteFileAtomic(o.output, DtoUStarterText(table), &failure)) {
    std::cerr << "Cannot write " << o.output << ": " << failure << "\n";
    return 1;
  }
  if (!Globals().silent)
    std::cout << "Wrote " << o.output << " with the table [" << table << "] (3 levels x 4 offsets, 25 KHz channels); "
              << "edit it, then check it with: ravoprop dtou load --file " << o.output << " --table \"" << table
              << "\"\n";
  return 0;
}

int RunSave(const DtouOptions& o) {
  ApplyGlobals();
  clsQXDtoU t;
  Prepare(t, o.from.empty() ? o.file : o.from);
  const std::string source = o.fromTable.empty() ? o.table : o.fromTable;
  if (!Load(t, source) || !Sort(t, o)) return 1;
  t.sINIfile(TableFile(o.file));
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
  c->add_option("--file", o.file, "Table file (default: ZWRXRej.INI in the installation directory, else the sample "
                                  "tables of the data directory)");
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

  auto* nw = cmd->add_subcommand("new", "Write a table file holding one commented starting table to edit");
  nw->add_option("-o,--output", o->output, "Table file to write")->required();
  nw->add_option("--table,-t", o->table, "Table (section) name (default \"LM 25k\")");
  nw->add_flag("--force", o->force, "Replace the file when it exists");
  nw->callback([o] {
    if (const int rc = RunNew(*o); rc != 0) throw CLI::RuntimeError(rc);
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
