// ravoprop p2p: one path (or a batch of paths) through a model's calculator.
#include <fmt/format.h>

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "engine/LinkBudget.h"
#include "engine/P2PJson.h"
#include "engine/PointToPoint.h"
#include "engine/TaskPath.h"
#include "geo/CoordText.h"
#include "platform/FileSystem.h"
#include "plot/Canvas.h"
#include "plot/PathPlot.h"

namespace zw::tool {
namespace {

struct P2POptions {
  P2PRequest req;
  std::string from, to;
  std::vector<std::string> erp;
  std::vector<std::string> gain;
  std::string antenna;  // FILE.ini[:SECTION]
  std::string batch;
  bool json = false;
  bool rxGiven = false;  // --rx-agl (or a batch row's rx-agl) was given
  std::string tempTemplate;  // template written from --model alone; removed after the run
  // A stored study instead of the template: its task number and work directory.
  std::int32_t task = 0;
  std::string workdir;
  // Link budget and plot.
  std::vector<std::string> rxGain, threshold;
  double rxLineLoss = 0;
  LinkBudgetInput budget;
  std::string plot;
  // How the text output shows lengths and powers (JSON keeps its named units).
  std::string units = "metric", power = "dBm";
};

// Display units of the text output.
struct Shown3 {
  bool imperial = false;
  std::string power = "dBm";
};

// LAT,LON in decimal degrees or degrees, minutes and seconds, read whole;
// "" or the message naming the option and the forms accepted.
std::string ParseLatLon(const char* option, const std::string& s, double& lat, double& lon) {
  std::string why;
  return ParseLatLonText(s, lat, lon, &why) ? std::string() : std::string(option) + " takes LAT,LON: " + why;
}

bool ParseNumber(const std::string& s, double& v) {
  std::istringstream in(Trim(s));
  in.imbue(std::locale::classic());
  in >> v;
  return !in.fail() && in.eof();
}

// --model without --template: the model's template with its defaults, written
// to a temporary file the run reads. "" or the message.
std::string EnsureTemplate(P2POptions& o) {
  P2PRequest& r = o.req;
  if (!r.templateFile.empty()) return {};
  if (r.model.empty())
    return "Give the model: --model CODE (defaults; `ravoprop models` lists the codes) or --template FILE "
           "(`ravoprop template new CODE -o FILE` writes one)";
  std::string why;
  const auto text = ModelTemplateIni(r.model, &why);
  if (!text) return why;
  if (o.tempTemplate.empty()) {
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec);
    if (ec) return "No temporary directory for the model's template: " + ec.message();
    o.tempTemplate = (dir / ("ravoprop-template-" + std::to_string(::getpid()) + ".ini")).string();
  }
  std::string failure;
  if (!platform::WriteFileAtomic(o.tempTemplate, *text, &failure))
    return "Cannot write the model's template " + o.tempTemplate + ": " + failure;
  r.templateFile = o.tempTemplate;
  return {};
}

// Removes the template EnsureTemplate wrote.
struct TempTemplateGuard {
  const P2POptions& o;
  ~TempTemplateGuard() {
    std::error_code ec;
    if (!o.tempTemplate.empty()) std::filesystem::remove(o.tempTemplate, ec);
  }
};

// --rx-gain, --rx-line-loss and --threshold; "" or the message.
std::string CompleteBudget(P2POptions& o) {
  LinkBudgetInput& b = o.budget;
  if (!o.rxGain.empty()) {
    double g = 0;
    const std::string unit = o.rxGain.size() == 2 ? ToLower(o.rxGain[1]) : std::string("dbi");
    if (o.rxGain.size() > 2 || !ParseNumber(o.rxGain[0], g) || (unit != "dbi" && unit != "dbd") || std::fabs(g) > 100)
      return "--rx-gain takes VALUE [dBi|dBd] between -100 and 100, e.g. --rx-gain 2.15 dBi";
    b.rxGainDbi = unit == "dbd" ? g + 2.15 : g;
  }
  if (!std::isfinite(o.rxLineLoss) || o.rxLineLoss < 0 || o.rxLineLoss > 200)
    return "--rx-line-loss takes the loss in dB between 0 and 200, e.g. --rx-line-loss 1.5";
  b.rxLineLossDb = o.rxLineLoss;
  if (!o.threshold.empty()) {
    LinkThreshold t;
    const std::string unit = o.threshold.size() == 2 ? ToLower(o.threshold[1]) : std::string("dbu");
    if (o.threshold.size() > 2 || !ParseNumber(o.threshold[0], t.value) || (unit != "dbu" && unit != "dbm"))
      return "--threshold takes VALUE [dBu|dBm]: a field (dBu, the default) or a received power (dBm), e.g. "
             "--threshold 60 dBu";
    t.unit = unit == "dbm" ? "dBm" : "dBu";
    b.threshold = t;
  }
  return {};
}

// Fills the request fields that come in as text; "" or the message.
std::string Complete(P2POptions& o) {
  if (auto err = CompleteBudget(o); !err.empty()) return err;
  P2PRequest& r = o.req;
  if (!o.from.empty()) {
    if (auto err = ParseLatLon("--from", o.from, r.fromLat, r.fromLon); !err.empty()) return err;
    r.haveFrom = true;
  }
  if (!o.to.empty()) {
    if (auto err = ParseLatLon("--to", o.to, r.toLat, r.toLon); !err.empty()) return err;
    r.haveTo = true;
  }
  if (!o.erp.empty()) {
    if (o.erp.size() != 2 || !ParseNumber(o.erp[0], r.erpValue)) return "--erp takes VALUE UNIT, e.g. --erp 1 kW";
    r.erpUnit = o.erp[1];
    // Above 150 dBm (1e9 kW) the value is a typing or unit error.
    bool err = false;
    const double dbm = ConvertPower(r.erpUnit, "dBm", r.erpValue, err);
    if (!err && !(dbm <= 150.0)) return "--erp " + o.erp[0] + " " + o.erp[1] + " is above 150 dBm";
  }
  if (!o.gain.empty()) {
    if (o.gain.size() != 2 || !ParseNumber(o.gain[0], r.gain)) return "--gain takes VALUE UNIT, e.g. --gain 6 dBd";
    std::string unit = o.gain[1];
    for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (unit != "dbd" && unit != "dbi")
      return "--gain unit '" + o.gain[1] + "' is not known: give dBd or dBi, e.g. --gain 6 dBd";
    r.gainUnit = unit == "dbd" ? "dBd" : "dBi";
  }
  if (!o.antenna.empty()) {
    const auto colon = o.antenna.rfind(':');
    if (colon != std::string::npos && colon > 1) {
      r.antennaFile = o.antenna.substr(0, colon);
      r.antennaSection = o.antenna.substr(colon + 1);
    } else {
      r.antennaFile = o.antenna;
    }
  }
  if (r.profileCsv.empty() && r.dem.empty() && r.distM.empty()) return "Give a profile (--profile FILE.csv) or terrain (--dem PATH --from --to)";
  if (!r.profileCsv.empty() && !r.dem.empty()) return "--profile and --dem exclude each other";
  if (!o.rxGiven) return "Give the receiver antenna height above ground: --rx-agl METRES (e.g. --rx-agl 9.1)";
  return EnsureTemplate(o);
}

// A value rounded to 2 decimals never shows as -0.00.
double Shown(double v) { return std::fabs(v) < 0.005 ? 0.0 : v; }

// A length in km as the user asked: "12.345 km" or "7.671 mi".
std::string Length(double km, const Shown3& u) {
  return u.imperial ? fmt::format("{:.3f} mi", km / 1.609344) : fmt::format("{:.3f} km", km);
}

// A height in m as the user asked: "12.34 m" or "40.49 ft".
std::string Height(double m, const Shown3& u) {
  return u.imperial ? fmt::format("{:.2f} ft", m / 0.3048) : fmt::format("{:.2f} m", m);
}

// A power in dBm as the user asked: dBm, dBW or watts with an SI prefix
// ("1.62 nW", "50 kW").
std::string Power(double dbm, const Shown3& u, int width = 8) {
  if (u.power == "dBW") return fmt::format("{:{}.2f} dBW", Shown(dbm - 30.0), width);
  if (u.power == "W") {
    static constexpr std::pair<double, const char*> kPrefix[] = {
        {1e9, "GW"}, {1e6, "MW"}, {1e3, "kW"}, {1.0, "W"}, {1e-3, "mW"}, {1e-6, "uW"},
        {1e-9, "nW"}, {1e-12, "pW"}, {1e-15, "fW"}, {1e-18, "aW"}};
    const double w = std::pow(10.0, (dbm - 30.0) / 10.0);
    for (const auto& [scale, name] : kPrefix)
      if (w >= scale * 0.9995 || scale == 1e-18) return fmt::format("{:{}.3g} {}", w / scale, width, name);
  }
  return fmt::format("{:{}.2f} dBm", Shown(dbm), width);
}

void PrintBudget(const LinkBudget& b, const Shown3& u) {
  std::cout << "Link budget:\n";
  std::cout << "  ERP (antenna maximum):    " << Power(b.erpDbm, u) << "\n";
  std::cout << fmt::format("  Antenna pattern toward Rx:{:8.2f} dB\n", Shown(b.patternGainDb));
  std::cout << "  ERP toward Rx:            " << Power(b.erpTowardDbm, u) << " (EIRP " << Power(b.eirpTowardDbm, u, 0)
            << ")\n";
  std::cout << fmt::format("  Free-space loss:          {:8.2f} dB ({} at {:.3f} MHz)\n", Shown(b.freeSpaceLossDb),
                           Length(b.pathLengthKm, u), b.freqMHz);
  std::cout << fmt::format("  Free-space field:         {:8.2f} dBu\n", Shown(b.freeSpaceFieldDbu));
  std::cout << fmt::format("  Model loss:               {:8.2f} dB\n", Shown(b.modelLossDb));
  std::cout << fmt::format("  Land-use loss:            {:8.2f} dB\n", Shown(b.landUseLossDb));
  std::cout << fmt::format("  Field at Rx:              {:8.2f} dBu ({:.2f} uV/m)\n", Shown(b.fieldDbu), b.fieldUvPerM);
  std::cout << fmt::format("  Rx antenna gain:          {:8.2f} dBi\n", Shown(b.rxGainDbi));
  std::cout << fmt::format("  Rx line loss:             {:8.2f} dB\n", Shown(b.rxLineLossDb));
  std::cout << "  Received power:           " << Power(b.rxPowerDbm, u) << "\n";
  if (b.threshold)
    std::cout << fmt::format("  Threshold:                {:8.2f} {} (margin {:+.2f} dB)\n", b.threshold->value,
                             b.threshold->unit, Shown(b.marginDb));
}

void PrintText(const P2PResult& r, const LinkBudgetInput& in = {}, const Shown3& u = {}) {
  std::cout << r.modelName << " (" << r.model << ")\n";
  std::cout << "Path length:      " << Length(r.pathLengthM / 1000.0, u) << ", " << r.points << " points\n";
  std::cout << fmt::format("Effective earth:  k = {:.3f}\n", r.kFactor);
  if (r.quantity == "contour distance") {
    std::cout << fmt::format("Contour distance: {:.2f} km ({:.2f} mi) along the path's azimuth\n", r.contourKm,
                             r.contourKm / 1.609344);
    std::cout << "Receiver:         " << (r.insideContour ? "inside" : "outside") << " the service contour\n";
  } else if (r.quantity == "clearance") {
    std::cout << fmt::format("Clearance:        {:.2f} {} (0.6 and above: the first Fresnel zone mostly clear)\n",
                             r.clearance, r.unit);
  } else {
    std::cout << fmt::format("Net field:        {:.2f} {}\n", r.netFieldDbu, r.unit);
    std::cout << fmt::format("Free-space field: {:.2f} dBu\n", r.freeSpaceDbu);
    std::cout << fmt::format("Model loss:       {:.2f} dB\n", Shown(r.modelLossDb));
  }
  for (const auto& w : r.warnings) std::cout << "Warning:          " << w << "\n";
  if (const auto b = ComputeLinkBudget(r, in)) PrintBudget(*b, u);
  if (r.model == "LR") {
    std::cout << fmt::format("Mode:             {} {}\n", Trim(r.mode[0]), Trim(r.mode[1]));
    std::cout << "Delta-h:          " << Height(r.deltaHM, u) << "\n";
    std::cout << "Effective heights: " << Height(r.effHeightsM[0], u) << ", " << Height(r.effHeightsM[1], u) << "\n";
    std::cout << fmt::format("Error level:      {}\n", r.errLevel);
  }
  if (!r.details.empty()) {
    std::string d = r.details;
    std::string clean;
    for (char c : d)
      if (c != '\r') clean.push_back(c);
    std::cout << "\n" << clean << "\n";
  }
  std::cout << "\n" << r.parameters;
}

// Splits one CSV line (double quotes group fields with commas in them).
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        out.back().push_back('"');
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else if (c != '\r') {
      out.back().push_back(c);
    }
  }
  for (auto& f : out) f = Trim(f);
  return out;
}

// One batch column applied to a row's options; "" or the message.
std::string ApplyColumn(P2POptions& o, std::string name, const std::string& v) {
  for (char& c : name) c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!name.empty() && name[0] == '-') name.erase(0, 1);
  if (v.empty()) return {};
  P2PRequest& r = o.req;
  auto num = [&](double& dst) { return ParseNumber(v, dst) ? std::string() : name + ": not a number: " + v; };
  if (name == "model") r.model = v;
  else if (name == "template") r.templateFile = v;
  else if (name == "section") r.section = v;
  else if (name == "profile") r.profileCsv = v;
  else if (name == "dem") r.dem = v;
  else if (name == "from") o.from = v;
  else if (name == "to") o.to = v;
  else if (name == "step") return num(r.stepM);
  else if (name == "azimuth") return num(r.azimuth);
  else if (name == "k-value" || name == "k") return num(r.kFactor);
  else if (name == "freq") return num(r.freqMHz);
  else if (name == "tx-agl") return num(r.txAglM);
  else if (name == "rx-agl") {
    o.rxGiven = true;
    return num(r.rxAglM);
  }
  else if (name == "erp") {
    std::istringstream in(v);
    std::string a, b;
    in >> a >> b;
    o.erp = {a, b.empty() ? std::string("dBm") : b};
  } else if (name == "erp-unit") {
    if (o.erp.size() == 2) o.erp[1] = v;
    else o.erp = {FormatGeneral(r.erpValue), v};
  } else if (name == "gain") {
    std::istringstream in(v);
    std::string a, b;
    in >> a >> b;
    o.gain = {a, b.empty() ? std::string("dBd") : b};
  } else if (name == "antenna") o.antenna = v;
  else if (name == "orientation") return num(r.orientation);
  else if (name == "etilt") return num(r.eTilt);
  else if (name == "mtilt") return num(r.mTilt);
  else if (name == "mdir") return num(r.mDir);
  else if (name == "details") r.details = ParseBool(v) || v == "1";
  else if (name == "id" || name == "name") {
  }  // labels of the row, echoed back
  else return "unknown column '" + name + "'";
  return {};
}

int RunBatch(const P2POptions& base) {
  std::ifstream in(base.batch, std::ios::binary);
  if (!in) {
    std::cerr << "Cannot read the batch file " << base.batch << "\n";
    return 1;
  }
  std::string line;
  std::vector<std::string> header;
  P2PContext ctx;
  int row = 0, failed = 0;
  while (std::getline(in, line)) {
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    if (header.empty()) {
      header = CsvFields(line);
      continue;
    }
    ++row;
    const auto fields = CsvFields(line);
    P2POptions o = base;
    const TempTemplateGuard guard{o};
    nlohmann::json j;
    j["row"] = row;
    std::string err;
    for (std::size_t i = 0; i < header.size() && err.empty(); ++i) {
      const std::string v = i < fields.size() ? fields[i] : std::string();
      if (header[i] == "id" || header[i] == "name") j[header[i]] = v;
      err = ApplyColumn(o, header[i], v);
    }
    if (err.empty()) err = Complete(o);
    if (err.empty()) {
      const P2PResult r = ctx.Run(o.req);
      if (r.ok) {
        j.update(P2PResultJson(r, o.budget));
      } else {
        err = r.error;
      }
    }
    if (!err.empty()) {
      ++failed;
      j["error"] = err;
      std::cerr << "row " << row << ": " << err << "\n";
    }
    std::cout << j.dump() << "\n";
  }
  return failed == 0 ? 0 : 1;
}

// One path of a stored study (--task): the receiver and the work directory
// read here, the rest done by the engine.
P2PResult RunTaskPath(const P2POptions& o, std::optional<LinkThreshold>& taskThreshold, std::string& title) {
  P2PResult out;
  TaskPathRequest req;
  if (o.to.empty()) {
    out.error = "--task needs the receiver point: --to LAT,LON";
    return out;
  }
  if (auto err = ParseLatLon("--to", o.to, req.toLat, req.toLon); !err.empty()) {
    out.error = err;
    return out;
  }
  const auto workdir = OpenWorkDir(o.workdir);
  if (!workdir) {
    out.error = "p2p --task reads the study from its work directory (--workdir DIR)";
    return out;
  }
  req.workDir = *workdir;
  req.task = o.task;
  req.dem = o.req.dem;
  req.details = o.req.details;
  TaskPathResult r = zw::RunTaskPath(req);
  taskThreshold = r.threshold;
  title = fmt::format("Task {}: {} to Rx {:.5f}, {:.5f}", o.task, r.txDesc, req.toLat, req.toLon);
  return std::move(r.path);
}

// The two ends of a path as the plot's title names them.
std::string EndsText(const P2POptions& o) {
  const P2PRequest& r = o.req;
  if (r.haveFrom && r.haveTo)
    return fmt::format("Tx {:.5f}, {:.5f} to Rx {:.5f}, {:.5f}", r.fromLat, r.fromLon, r.toLat, r.toLon);
  return fmt::format("Profile {} (azimuth {} deg)", std::filesystem::path(r.profileCsv).filename().string(),
                     FormatGeneral(r.azimuth));
}

// Prints a computed path (and writes its plot). The exit code.
int Report(const P2POptions& o, const P2PResult& r, const LinkBudgetInput& budget, const std::string& title) {
  if (!o.plot.empty()) {
    if (auto err = plot::DrawProfilePlot(plot::PathPlotOf(r, title, o.units == "imperial"), o.plot); !err.empty()) {
      std::cerr << err << "\n";
      return kExitFailed;
    }
  }
  if (o.json) {
    std::cout << P2PResultJson(r, budget).dump(1) << "\n";
  } else {
    PrintText(r, budget, Shown3{o.units == "imperial", o.power});
    if (!o.plot.empty()) std::cout << "\nProfile plot: " << o.plot << "\n";
  }
  return kExitOk;
}

int RunP2P(P2POptions& o) {
  ApplyGlobals();
  if (!o.plot.empty() && !plot::ImageKindOf(o.plot)) {
    std::cerr << plot::ImageKindError(o.plot) << "\n";
    return kExitUsage;
  }
  if (!o.plot.empty() && !o.batch.empty()) {
    std::cerr << "--plot draws one path: it excludes --batch\n";
    return kExitUsage;
  }
  if (o.task != 0) {
    if (!o.batch.empty() || !o.req.templateFile.empty() || !o.req.profileCsv.empty() || !o.from.empty() ||
        o.req.kFactor != 0) {
      std::cerr << "--task takes the transmitter, the model and the K-value from the study: it excludes "
                   "--template, --profile, --from, --k-value and --batch\n";
      return 2;
    }
    if (o.task < 1) {
      std::cerr << "--task takes a task number above 0\n";
      return 2;
    }
    if (const std::string err = CompleteBudget(o); !err.empty()) {
      std::cerr << err << "\n";
      return kExitUsage;
    }
    std::optional<LinkThreshold> taskThreshold;
    std::string title;
    const P2PResult r = RunTaskPath(o, taskThreshold, title);
    if (!r.ok) {
      std::cerr << r.error << "\n";
      if (o.json) std::cout << nlohmann::json{{"error", r.error}}.dump() << "\n";
      return 1;
    }
    LinkBudgetInput budget = o.budget;
    if (!budget.threshold) budget.threshold = taskThreshold;
    return Report(o, r, budget, title);
  }
  if (!o.batch.empty()) return RunBatch(o);
  const TempTemplateGuard guard{o};
  if (const std::string err = Complete(o); !err.empty()) {
    std::cerr << err << "\n";
    return 2;
  }
  P2PContext ctx;
  const P2PResult r = ctx.Run(o.req);
  if (!r.ok) {
    std::cerr << r.error << "\n";
    if (o.json) std::cout << nlohmann::json{{"error", r.error}}.dump() << "\n";
    return 1;
  }
  return Report(o, r, o.budget, EndsText(o));
}

const CommandRegistration reg([](CLI::App& app) {
  auto o = std::make_shared<P2POptions>();
  P2PRequest& r = o->req;
  auto* cmd = app.add_subcommand("p2p", "Field strength over one path (or a batch of paths) with a propagation model");
  cmd->add_option("--task", o->task, "Stored study: its task number (transmitter, model, terrain step from it)");
  cmd->add_option("--workdir", o->workdir, "Work directory of --task (default: the configured one)");
  cmd->add_option("--model", r.model,
                  "Model code or name (`ravoprop models`); without --template it runs with the model's defaults");
  cmd->add_option("--template", r.templateFile, "Settings file holding the model template");
  cmd->add_option("--section", r.section, "Template section (default \"Propagation Model\")");
  cmd->add_option("--profile", r.profileCsv, "Profile CSV: distance_m,elevation_m, first row at the transmitter");
  cmd->add_option("--dem", r.dem, "DEM file or directory (terrain path from --from to --to)");
  cmd->add_option("--from", o->from, "Transmitter LAT,LON (decimal degrees or \"44 26 11.4 N, 71 24 47.2 W\")");
  cmd->add_option("--to", o->to, "Receiver LAT,LON (decimal degrees or degrees, minutes and seconds)");
  cmd->add_option("--step", r.stepM, "Profile sampling step in metres (default: the DEM spacing)");
  cmd->add_option("--azimuth", r.azimuth, "Path azimuth of a --profile path, degrees (for antenna patterns)");
  cmd->add_option("--k-value", r.kFactor,
                  "Effective earth-radius factor (default: [Eff Curvature] K-Value of the template file, else 4/3)");
  cmd->add_option("--freq", r.freqMHz, "Frequency, MHz");
  cmd->add_option("--tx-agl", r.txAglM, "Transmitter antenna height above ground, m");
  cmd->add_option("--rx-agl", r.rxAglM, "Receiver antenna height above ground, m (required)")
      ->each([o](const std::string&) { o->rxGiven = true; });
  cmd->add_option("--erp", o->erp, "ERP VALUE UNIT (mW, W, kW, dBm, dBW, dBk); default 1 kW")->expected(2);
  cmd->add_option("--gain", o->gain, "Antenna maximum gain VALUE UNIT (dBd, dBi)")->expected(2);
  cmd->add_option("--antenna", o->antenna, "Antenna records of a settings file: FILE.ini[:SECTION]");
  cmd->add_option("--antenna-lib", r.antennaLib, "Antenna library name (with --antenna-dir and --antenna-id)");
  cmd->add_option("--antenna-dir", r.antennaLibDir, "Directory of the antenna library");
  cmd->add_option("--antenna-id", r.antennaId, "Antenna type identifier in the library");
  cmd->add_option("--orientation", r.orientation, "Antenna orientation, degrees");
  cmd->add_option("--etilt", r.eTilt, "Electrical tilt, degrees");
  cmd->add_option("--mtilt", r.mTilt, "Mechanical tilt, degrees");
  cmd->add_option("--mdir", r.mDir, "Direction of the mechanical tilt, degrees");
  cmd->add_flag("--inverted", r.inverted, "Antenna mounted upside down");
  cmd->add_flag("--details", r.details, "Include the model's account of the path");
  cmd->add_option("--detail-units", r.detailDis, "Distance unit of the details (km, mi, m)");
  cmd->add_flag("--json", o->json, "One JSON object");
  cmd->add_option("--plot", o->plot, "Profile plot of the path: FILE.png, .svg or .pdf");
  cmd->add_option("--rx-gain", o->rxGain, "Receive antenna gain VALUE [dBi|dBd] for the link budget (default 0 dBi)")
      ->expected(1, 2);
  cmd->add_option("--rx-line-loss", o->rxLineLoss, "Receive line loss, dB (default 0)");
  cmd->add_option("--units", o->units,
                  "Lengths and heights in the text output and the plot: metric (km, m; the default) or imperial (mi, ft)")
      ->transform(CLI::IsMember({"metric", "imperial"}, CLI::ignore_case));
  cmd->add_option("--power", o->power, "Powers in the text output's link budget: dBm (the default), dBW or W")
      ->transform(CLI::IsMember({"dBm", "dBW", "W"}, CLI::ignore_case));
  cmd->add_option("--threshold", o->threshold,
                  "Link threshold VALUE [dBu|dBm] for the margin (default: the study's receive level with --task)")
      ->expected(1, 2);
  cmd->add_option("--batch", o->batch, "CSV of paths (columns named like the options); one JSON object per line");
  cmd->callback([o] {
    const int rc = RunP2P(*o);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
});

}  // namespace
}  // namespace zw::tool
