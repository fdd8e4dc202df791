#pragma once
// Where the installation lives. The environment variable ZWRAVOPROP_HOME
// names it; without it, [CONFIG] PelorinDirectory of "ZWRegistry.INI" beside
// the executable does.
#include <filesystem>
#include <string>

namespace zw::platform {

inline constexpr const char* kHomeVariable = "ZWRAVOPROP_HOME";
inline constexpr const char* kRegistryFallbackFile = "ZWRegistry.INI";
inline constexpr const char* kProgramDirFailure = "Unable to get Pelorin Directory from Windows Registry";

// The directory of the running executable (current directory when unknown).
std::filesystem::path ExecutableDirectory();

struct ProgramDirResult {
  std::string directory;  // empty on failure
  std::string error;      // the failure text when directory is empty
};

// Looks the installation directory up (no caching here). componentDir is where
// the fallback file is looked for (the executable's directory by default).
ProgramDirResult FindProgramDirectory(const std::filesystem::path& componentDir = ExecutableDirectory());

// The directory of the data the program ships (field-definition table, curve
// tables): $ZWRAVOPROP_DATA, else "data" beside the executable, else
// "../share/zwravoprop/data" from it, else the source tree's data directory,
// else the installation prefix's share/zwravoprop/data.
std::filesystem::path DataDirectory();

// Drops the last character while the path ends in two separators of any kind.
std::string StripDoubledSeparators(std::string path);

}  // namespace zw::platform
