#pragma once
// One path of a stored study: the engine loads the task, the profile comes
// from the terrain at the task's sampling step, then the engine's own path
// setup and run give the result.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/LinkBudget.h"
#include "engine/PointToPoint.h"

namespace zw {

struct TaskPathRequest {
  std::filesystem::path workDir;  // the study's work directory
  std::int32_t task = 0;
  double toLat = 0, toLon = 0;    // the receiver, decimal degrees
  std::string dem;                // terrain; "" = the data directory's terrain folder
  bool details = false;           // the model's account of the path
};

struct TaskPathResult {
  P2PResult path;                          // path.ok false: path.error says why
  std::optional<LinkThreshold> threshold;  // the study's receive level (dBu), when it has one
  std::string txDesc;                      // the study's transmitter (FAC_DESC), trimmed
};

TaskPathResult RunTaskPath(const TaskPathRequest& r);

}  // namespace zw
