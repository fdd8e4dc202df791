#pragma once
// All-or-nothing replacement of a study's files. A run builds its new files
// (results table, text report, summary, task file) in a private staging
// folder of the work directory; Commit then puts every one in place and sets
// the task record's flags. Until Commit, the files under their real names
// are untouched: a failed, cancelled or killed run leaves them as they were.
//
// Commit first writes a journal into the staging folder (a new name, synced,
// then renamed to "COMMIT"): from that instant the change is decided. The
// renames and the record update follow; a process killed among them leaves
// the journal, and RecoverStudyCommits (run by every command that opens the
// work directory) finishes the job. A staging folder without a journal whose
// writer is gone is removed. Readers therefore see the old files or the new
// ones, never a mix, once recovery has run.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zw::tasks {

// The task record flags a committed run sets.
struct StudyFlags {
  bool locked = true;
  bool incomplete = false;
  bool unfinished = false;
  bool ambiguous = false;
};

class StudyCommit {
 public:
  StudyCommit() = default;
  ~StudyCommit();  // removes the staging folder unless committed
  StudyCommit(const StudyCommit&) = delete;
  StudyCommit& operator=(const StudyCommit&) = delete;

  // Makes the staging folder of a task's run in workDir; "" or the failure.
  std::string Begin(const std::filesystem::path& workDir, std::int32_t taskId);
  const std::filesystem::path& Folder() const { return folder_; }
  const std::filesystem::path& WorkDir() const { return workDir_; }

  // The staging path of a file that will take the name `name` in the work
  // directory at the commit. With copyCurrent, the current file (when there
  // is one) is copied there first, so that edits apply to its content.
  std::filesystem::path Stage(const std::string& name, bool copyCurrent = false, std::string* error = nullptr);

  // Puts every staged file in its place and sets the task record's flags.
  // "" on success; a failure before the journal leaves everything as it was.
  std::string Commit(const StudyFlags& flags);
  bool Committed() const { return committed_; }

 private:
  std::filesystem::path workDir_, folder_;
  std::int32_t taskId_ = 0;
  std::vector<std::string> files_;  // staged under the name they take in the work directory
  bool committed_ = false;
};

// Finishes commits that were decided but interrupted, and removes staging
// folders of runs that ended without deciding. Returns the messages of what
// it did (empty when there was nothing to do).
std::vector<std::string> RecoverStudyCommits(const std::filesystem::path& workDir);

// True when the name is a run's staging folder ("~run-" + task + "." + pid + ...).
bool IsStudyStagingName(const std::string& name);

}  // namespace zw::tasks
