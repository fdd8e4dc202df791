#pragma once
// File helpers: directory joining with the platform separator and atomic
// replacement of a file's contents (temporary file beside it, then rename).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zw::platform {

// Directory and name joined with exactly one separator between them. An empty
// directory gives the name unchanged.
std::string JoinPath(std::string_view dir, std::string_view name);

// The directory with a trailing separator (nothing added when empty or present).
std::string WithTrailingSeparator(std::string_view dir);

// Whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

// Replaces the file with text: written to a temporary file in the same
// directory, flushed, then renamed over the target. On any failure the target
// is untouched, the temporary file removed and false returned with a reason.
bool WriteFileAtomic(const std::filesystem::path& file, std::string_view text, std::string* error = nullptr);

}  // namespace zw::platform
