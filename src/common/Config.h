#pragma once
// The installation's directories and settings files, computed once per
// process, and the typed readers and writer of settings files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/FieldCollection.h"

namespace zw {

// The process-wide user login; per-user settings files carry it in their name.
std::string UserLogin();
void SetUserLogin(std::string_view login);

// Installation directory (empty when it cannot be found; the failure is logged).
std::string ProgramDirectory();
// The failure text of the last lookup ("" when the directory was found).
std::string ProgramDirectoryError();

std::string SuiteSettingsFile();     // ZWOXA32.INI
std::string DefaultsFile();          // ZWDEFAULTS.INI, per user
std::string CoverageSettingsFile();  // ZWQXCoverage.INI, per user
std::string SystemDirectory();
std::string WorkDirectory();
std::string TempDirectory();
std::string AntennaDirectory();
// Terrain of studies that name none: [CONFIG] "TERRAIN PATH" of the suite
// settings, else the terrain directory of the data shipped with the program.
std::string TerrainPath();

// Forgets every cached path (tests, or after the installation moved).
void ResetConfigCache();

// name with "_" + login inserted before the extension ("INI" when it has none)
// when a user login is set; unchanged otherwise.
std::string PerUserFileName(std::string_view name, std::string_view login);
std::string PerUserFileName(std::string_view name);

// Directory + name with one separator between them.
std::string JoinDir(std::string_view dir, std::string_view name);

// Readers: a blank file means the defaults file; they never fail.
std::string ReadString(std::string_view section, std::string_view key, std::string_view def = {},
                       std::string_view file = {});
bool ReadBool(std::string_view section, std::string_view key, bool def = false, std::string_view file = {});
double ReadDouble(std::string_view section, std::string_view key, double def = 0.0, std::string_view file = {});
std::int16_t ReadInt16(std::string_view section, std::string_view key, std::int16_t def = 0,
                       std::string_view file = {});
std::int32_t ReadInt32(std::string_view section, std::string_view key, std::int32_t def = 0,
                       std::string_view file = {});
FieldCollection ReadSectionMap(std::string_view section, std::string_view file = {});
// True when the value is "-1", "TRUE" or "1" (trimmed, any case).
bool ProfileTextIsTrue(std::string_view value);

bool WriteString(std::string_view section, std::string_view key, std::string_view value, std::string_view file = {});

// Checks a directory, offering to create it when mayCreate. The accepted path
// (without a trailing separator), or nullopt after telling the user why not.
std::optional<std::string> VerifyPath(std::string_view path, bool mayCreate);

}  // namespace zw
