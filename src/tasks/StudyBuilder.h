#pragma once
// A study description (StudyRequest) made into the files of a task, and read
// back from them: the task file's facility, mobile, receiver, model, coverage,
// terrain and curvature sections, and the radials of the paths file.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tasks/PathsFile.h"
#include "tasks/StudyRequest.h"
#include "tasks/TaskFile.h"

namespace zw::tasks {

struct StudyDraft {
  TaskIdentity identity;                         // desc, mode, type, summary, TXT File Out
  ProfileEdit edit;                              // the task file's study sections
  std::optional<std::vector<RadialLine>> radials;  // the paths file (none for a tile study)
  double txLat = 0, txLon = 0;
  std::vector<std::string> notes;                // values filled in (site elevation from the terrain ...)
};

// Builds the files of a study. fresh: a new task file (every facility and
// mobile field written, blank ones too); otherwise only the keys the study
// owns are written over the file, and the others stay. Every missing or bad
// value is named at once: "" on success, else the problems, one per line.
std::string BuildStudy(const StudyRequest& req, bool fresh, StudyDraft& out);

// The description a study gets when none is given: facility name, model
// name (of code; the request's model when empty) and its points in a few words.
std::string MadeDescription(const StudyRequest& req, const std::string& code = {});

// The study of a task file and its paths file, as far as the files tell it.
StudyRequest ReadStudy(const TaskFile& file, const std::filesystem::path& pathsFile);

// The study in words with units, one "Label: value" line each, grouped under
// Facility, Receiver, Model, Geometry and Terrain.
std::string DescribeStudy(const StudyRequest& req);

}  // namespace zw::tasks
