#pragma once
// An antenna pattern file named by the user (a settings file whose
// [Antenna Data] section holds the pattern records) must hold a pattern, every
// record of it present and two numbers: a task file without a pattern is an
// omnidirectional antenna, a file named as a pattern is not.
#include <filesystem>
#include <string>

namespace zw {

// What such a file must hold, for messages.
extern const char* const kPatternFileFormat;

// "" when the file holds a usable pattern; else what is wrong with it and the
// format expected.
std::string CheckPatternFile(const std::filesystem::path& file);

}  // namespace zw
