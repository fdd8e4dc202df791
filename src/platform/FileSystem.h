#pragma once
// File helpers: directory joining with the platform separator and atomic
// replacement of a file's contents (temporary file beside it, then rename).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Reads a file named by a user or a task file: only a regular file (no FIFO,
// device or directory, which could block or never end) of at most maxBytes.
// "" with *text filled, or a message naming the file and the reason (the size
// limit stated when it is the reason). `what` names the file in the message,
// e.g. "Boundary file".
std::string ReadRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes, std::string* text,
                            std::string_view what = "File");
// The same checks without reading: "" when the file is a regular file of at
// most maxBytes, else the message.
std::string CheckRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes,
                             std::string_view what = "File");

// The name a writer stages a file under before renaming it over target (or a
// scratch file beside it): "~<name>.<pid>.<random>" in target's directory;
// a ".dbf"/".DBF" name keeps that ending last ("~<stem>.<pid>.<random>.dbf").
// The pid lets RemoveStaleStaging tell a live writer's file from a leftover.
std::filesystem::path StagingPath(const std::filesystem::path& target);

// Removes the staging files of interrupted commands from dir: names made by
// StagingPath (and by earlier versions of the writers: "~T0000001.INI.<pid>_<n>",
// "~tsk<pid>_<n>.dbf", "~dbf<hex>.dbf", "<name>.tmp<pid>_<n>") and the run's
// ".R0000001.<...>.<pid>.<...>" (also ".T", ".S") files and ".R0000001.new-*"
// folders. One goes when its writer's process is gone, or it is older than a
// day; one without a pid when it is older than this process. Returns the
// names removed.
std::vector<std::string> RemoveStaleStaging(const std::filesystem::path& dir);

}  // namespace zw::platform
