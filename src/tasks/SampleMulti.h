#pragma once
// The multi-transmitter part of the bundled sample: three FM stations as tile
// studies on one small grid around Mount Waumbek (the sample's WZWR-FM, a
// co-channel station on Mount Washington and a first-adjacent one on Cape
// Horn), the best-server aggregate of the three, and the adjacent-channel
// interference study of WZWR-FM against the other two through the D/U table
// "FM 200k" of the sample's ZWRXRej.INI.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tasks/TaskCodes.h"

namespace zw::tasks {

inline constexpr const char* kSampleDtoUTable = "FM 200k";

struct MultiSampleTasks {
  std::int32_t tiles[3] = {kNoTask, kNoTask, kNoTask};
  std::int32_t bestServer = kNoTask, interference = kNoTask;
};

// Writes the five tasks as new tasks of workDir, and the D/U table file
// ZWRXRej.INI beside them. "" or the failure (then none of them is left).
std::string WriteMultiSample(const std::filesystem::path& workDir, const std::filesystem::path& terrainFile,
                             MultiSampleTasks& out);

// The text of the sample's D/U table file.
std::string SampleDtoUText();

}  // namespace zw::tasks
