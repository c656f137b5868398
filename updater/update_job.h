#pragma once
// The updater's work: every listed file downloaded at once, checked, then put in place together.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "update/manifest.h"
#include "updater/download.h"
#include "util/text.h"

namespace updater {

enum class RowPhase { kRunning, kCompleted, kFailed };

struct RowStatus {
  RowPhase phase = RowPhase::kRunning;
  std::int64_t received = 0;
  std::int64_t total = -1;  // -1: not known (yet)
  DWORD lastChange = 0;     // GetTickCount of the last progress
};

// The rows' state, written by the download threads, read by the window and the job.
class ProgressTable {
 public:
  void Reset(std::size_t rows);
  void Progress(std::size_t row, std::int64_t received, std::int64_t total);
  void Finish(std::size_t row, bool completed);
  std::vector<RowStatus> Snapshot() const;

 private:
  mutable std::mutex lock_;
  std::vector<RowStatus> rows_;
};

struct JobLimits {
  DownloadLimits download;
  // A row whose bytes have not moved for this long is aborted, whatever WinHttp does.
  DWORD watchdogMs = 45000;
  DWORD pollMs = 1000;
  // Called with 1, 2, ... after each step of putting the files in place (see ReplaceFiles).
  std::function<void(int step)> afterInstallStep;
};

// The temporary file a download goes to before it is complete.
Text DownloadPath(const Text& target);

// Downloads every entry into directory. A name that would leave the directory fails its
// row without a request. A download is complete as DownloadToFile judges it and as
// IsExpectedDownload accepts it (the SHA-256 the due list names, images for this machine,
// exactly the version named); an entry without a SHA-256 fails its row without a request. Only when every row completed are the targets replaced (ReplaceFiles);
// otherwise every old file stays as it was. Returns once every row has completed or
// failed; true when the files were replaced.
// The table is shared with the download threads, which may outlive the call when given up on.
bool RunUpdateJob(const Text& directory, const std::vector<update::DueEntry>& entries, const JobLimits& limits,
                  const std::shared_ptr<ProgressTable>& table);

// RunUpdateJob, then the note for the program's next start (update/failed_update.h): a job
// that failed leaves dueList (the due-list text as read) noted as failed, so that the program
// does not hand the same list straight back; a job that replaced the files removes the note.
bool RunUpdateJobAndNote(const Text& directory, const Text& dueList, const std::vector<update::DueEntry>& entries,
                         const JobLimits& limits, const std::shared_ptr<ProgressTable>& table);

}  // namespace updater
