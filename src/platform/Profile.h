#pragma once
// Sectioned text (INI) profile files with the Windows profile rules:
// sections and keys match without regard to case, a missing file, section or
// key yields the default, values are trimmed and cut at 1999 characters, and
// writes keep every other line of the file and replace it atomically.
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zw::platform {

inline constexpr std::size_t kProfileValueMax = 1999;

using ProfileEntries = std::vector<std::pair<std::string, std::string>>;

// Value of key in section, trimmed, or def (trimmed) when absent.
std::string ProfileGetString(std::string_view section, std::string_view key,
                             std::string_view def, const std::filesystem::path& file);

// Every entry of a section in file order; empty when the file or section is absent.
ProfileEntries ProfileGetSection(std::string_view section, const std::filesystem::path& file);

// Names of the sections of a file in file order.
std::vector<std::string> ProfileGetSectionNames(const std::filesystem::path& file);

// Writes key = value into section (created at the end when missing), keeping the
// rest of the file as it was. Returns false when the file cannot be written; the
// file on disk is then unchanged and *error (when given) says why, naming the
// file and the cause (e.g. "No space left on device").
bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file, std::string* error = nullptr);

// Removes a key (or a whole section when key is empty). False on a write failure.
bool ProfileDelete(std::string_view section, std::string_view key, const std::filesystem::path& file,
                   std::string* error = nullptr);

}  // namespace zw::platform
