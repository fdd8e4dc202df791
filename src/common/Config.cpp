#include "common/Config.h"

#include <cctype>
#include <cmath>
#include <mutex>
#include <optional>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "common/Units.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Profile.h"

namespace zw {

namespace {

struct Paths {
  std::mutex m;
  std::string login;
  std::optional<std::string> programDir;
  std::string programDirError;
  std::optional<std::string> suite, defaults, coverage, system, work, temp, antenna;
};

Paths& State() {
  static Paths p;
  return p;
}

bool IsSep(char c) { return c == '/' || c == '\\'; }

std::string LookUpProgramDirectory(std::string& error) {
  const auto componentDir = platform::ExecutableDirectory();
  const auto r = platform::FindProgramDirectory(componentDir);
  error = r.error;
  if (r.directory.empty()) {
    // Without an installation the log is the user's (the one TechSupportLogPath names).
    const std::string log = UserStateLogPath();
    std::string text = GeneralDateNow() + ":  Empty return in getPelorinDirectoryAny (" +
                       std::string(platform::kHomeVariable) + ", " + platform::kRegistryFallbackFile +
                       " [CONFIG] PelorinDirectory)\n \n";
    const auto old = platform::ReadWholeFile(log);
    platform::WriteFileAtomic(log, (old ? *old : std::string()) + text);
  }
  return r.directory;
}

// A cached path; compute runs once (under no lock: it may itself read cached paths).
std::string Cached(std::optional<std::string> Paths::*slot, std::string (*compute)()) {
  Paths& p = State();
  {
    std::lock_guard lock(p.m);
    if ((p.*slot).has_value()) return *(p.*slot);
  }
  std::string value = compute();
  std::lock_guard lock(p.m);
  if (!(p.*slot).has_value()) p.*slot = std::move(value);
  return *(p.*slot);
}

std::string VerifiedOr(const std::string& path) {
  auto ok = VerifyPath(path, true);
  return ok ? *ok : path;
}

std::string SplitExtensionInsert(std::string_view name, std::string_view login) {
  // The extension starts at the last dot after the last separator.
  std::size_t lastSep = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsSep(name[i])) lastSep = i;
  }
  const std::size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string_view::npos && (lastSep == std::string_view::npos || dot > lastSep);
  const std::string_view base = hasExt ? name.substr(0, dot) : name;
  const std::string_view ext = hasExt ? name.substr(dot + 1) : std::string_view("INI");
  return std::string(base) + "_" + std::string(login) + "." + std::string(ext);
}

std::filesystem::path FileOrDefaults(std::string_view file) {
  const std::string_view f = TrimView(file);
  return f.empty() ? std::filesystem::path(DefaultsFile()) : std::filesystem::path(std::string(f));
}

}  // namespace

std::string UserLogin() {
  Paths& p = State();
  std::lock_guard lock(p.m);
  return p.login;
}

void SetUserLogin(std::string_view login) {
  {
    Paths& p = State();
    std::lock_guard lock(p.m);
    p.login = Trim(login);
    p.defaults.reset();
    p.coverage.reset();
  }
  ResetSystemUnits();
}

std::string ProgramDirectory() {
  Paths& p = State();
  {
    std::lock_guard lock(p.m);
    if (p.programDir) return *p.programDir;
  }
  std::string error;
  std::string dir = LookUpProgramDirectory(error);
  std::lock_guard lock(p.m);
  if (!p.programDir) {
    p.programDir = std::move(dir);
    p.programDirError = std::move(error);
  }
  return *p.programDir;
}

std::string ProgramDirectoryError() {
  ProgramDirectory();
  Paths& p = State();
  std::lock_guard lock(p.m);
  return p.programDirError;
}

std::string SuiteSettingsFile() {
  return Cached(&Paths::suite, [] { return JoinDir(ProgramDirectory(), "ZWOXA32.INI"); });
}

std::string DefaultsFile() {
  return Cached(&Paths::defaults, [] { return JoinDir(ProgramDirectory(), PerUserFileName("ZWDEFAULTS.INI")); });
}

std::string CoverageSettingsFile() {
  return Cached(&Paths::coverage, [] { return JoinDir(ProgramDirectory(), PerUserFileName("ZWQXCoverage.INI")); });
}

std::string SystemDirectory() {
  return Cached(&Paths::system, [] {
    std::string dir = ReadString("CONFIG", "SYSTEM_PATH", "", SuiteSettingsFile());
    if (dir.empty()) dir = JoinDir(ProgramDirectory(), "SYSTEM");
    return VerifiedOr(dir);
  });
}

std::string WorkDirectory() {
  return Cached(&Paths::work, [] {
    std::string dir = ReadString("CONFIG", "WORK PATH", "", SuiteSettingsFile());
    if (dir.empty()) dir = JoinDir(ProgramDirectory(), "WORK");
    return VerifiedOr(dir);
  });
}

std::string TempDirectory() {
  return Cached(&Paths::temp, [] { return VerifiedOr(JoinDir(ProgramDirectory(), "TEMP")); });
}

std::string AntennaDirectory() {
  return Cached(&Paths::antenna, [] { return VerifiedOr(JoinDir(ProgramDirectory(), "ANTENNAS")); });
}

std::string TerrainPath() {
  std::string dir = ReadString("CONFIG", "TERRAIN PATH", "", SuiteSettingsFile());
  return dir.empty() ? (platform::DataDirectory() / "terrain").string() : dir;
}

void ResetConfigCache() {
  {
    Paths& p = State();
    std::lock_guard lock(p.m);
    p.programDir.reset();
    p.programDirError.clear();
    p.suite.reset();
    p.defaults.reset();
    p.coverage.reset();
    p.system.reset();
    p.work.reset();
    p.temp.reset();
    p.antenna.reset();
  }
  ResetSystemUnits();
}

std::string PerUserFileName(std::string_view name, std::string_view login) {
  const std::string_view l = TrimView(login);
  if (l.empty()) return std::string(name);
  return SplitExtensionInsert(name, l);
}

std::string PerUserFileName(std::string_view name) { return PerUserFileName(name, UserLogin()); }

std::string JoinDir(std::string_view dir, std::string_view name) {
  while (!dir.empty() && IsSep(dir.back())) dir.remove_suffix(1);
  while (!name.empty() && IsSep(name.front())) name.remove_prefix(1);
  if (dir.empty()) return std::string(name);
  return platform::JoinPath(dir, name);
}

std::string ReadString(std::string_view section, std::string_view key, std::string_view def, std::string_view file) {
  return Trim(platform::ProfileGetString(TrimView(section), TrimView(key), TrimView(def), FileOrDefaults(file)));
}

bool ProfileTextIsTrue(std::string_view value) {
  const std::string v = ToUpper(TrimView(value));
  return v == "-1" || v == "TRUE" || v == "1";
}

bool ReadBool(std::string_view section, std::string_view key, bool def, std::string_view file) {
  const std::string v = ReadString(section, key, "", file);
  if (v.empty()) return def;
  return ProfileTextIsTrue(v);
}

double ReadDouble(std::string_view section, std::string_view key, double def, std::string_view file) {
  double d = 0;
  return TryParseDouble(ReadString(section, key, "", file), d) ? d : def;
}

std::int16_t ReadInt16(std::string_view section, std::string_view key, std::int16_t def, std::string_view file) {
  double d = 0;
  if (!TryParseDouble(ReadString(section, key, "", file), d) || !(d >= -32768.5 && d < 32767.5)) return def;
  return static_cast<std::int16_t>(std::nearbyint(d));
}

std::int32_t ReadInt32(std::string_view section, std::string_view key, std::int32_t def, std::string_view file) {
  double d = 0;
  if (!TryParseDouble(ReadString(section, key, "", file), d) || !(d >= -2147483648.5 && d < 2147483647.5)) return def;
  return static_cast<std::int32_t>(std::nearbyint(d));
}

FieldCollection ReadSectionMap(std::string_view section, std::string_view file) {
  return FieldCollection::FromPairs(platform::ProfileGetSection(TrimView(section), FileOrDefaults(file)));
}

bool WriteString(std::string_view section, std::string_view key, std::string_view value, std::string_view file) {
  return platform::ProfileWriteString(TrimView(section), TrimView(key), TrimView(value), FileOrDefaults(file));
}

std::optional<std::string> VerifyPath(std::string_view path, bool mayCreate) {
  std::string p = Trim(path);
  auto& ui = platform::Messages();
  if (p.empty()) {
    std::error_code ec;
    p = std::filesystem::current_path(ec).string();
    ui.Information("Path Specification", "Since no path was specified, the program will use the path:\n" + p);
  }
  while (p.size() > 1 && IsSep(p.back())) p.pop_back();
  // A bare drive ("C:") is taken as it stands.
  if (p.size() == 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') return p;
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) return p;
  if (mayCreate) {
    const bool yes = ui.YesNo("Path Not Found",
                              "The specified path does not exist:\n" + p + "\nDo you want to create the new path?", true);
    if (!yes) return std::nullopt;
    std::filesystem::create_directories(p, ec);
    if (ec || !std::filesystem::is_directory(p, ec)) {
      ui.Information("Path Error", "The specified path does not exist:\n" + p + "\n" + ec.message());
      return std::nullopt;
    }
    return p;
  }
  ui.Information("Path Error",
                 "The specified path does not exist:\n" + p + "\nYou must specify an existing path for this function.");
  return std::nullopt;
}

}  // namespace zw
