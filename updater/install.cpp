#include "updater/install.h"

#include <windows.h>

#include "update/handoff_files.h"
#include "util/files.h"
#include "util/log.h"

namespace updater {
namespace {

bool Rename(const Text& from, const Text& to) {
  if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  util::LogLastError("MoveFileExA");
  util::LogWarning("could not move %s to %s", from.c_str(), to.c_str());
  return false;
}

void Delete(const Text& path) {
  if (!::DeleteFileA(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    util::LogLastError("DeleteFileA");
    util::LogWarning("%s stays behind", path.c_str());
  }
}

struct Step {
  bool hadOld = false;    // the target existed and was moved to its backup
  bool placed = false;    // the download now sits at the target
};

// Undoes step i: the download goes back out of the way, the old file back in.
void Undo(const Replacement& r, const Step& step) {
  if (step.placed) Rename(r.target, r.downloaded);
  if (step.hadOld) Rename(BackupPath(r.target), r.target);
}

// The old main program may take a moment to let go of its image after it ended.
void DeleteBackup(const Text& backup) {
  constexpr int kAttempts = 10;
  constexpr DWORD kPauseMs = 300;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::DeleteFileA(backup.c_str())) return;
    ::Sleep(kPauseMs);
  }
  util::LogLastError("DeleteFileA");
  util::LogWarning("the backup %s stays behind", backup.c_str());
}

}  // namespace

Text BackupPath(const Text& target) { return target + update::kBackupSuffix; }

bool ReplaceFiles(const std::vector<Replacement>& replacements) {
  std::vector<Step> steps(replacements.size());
  bool ok = true;
  for (std::size_t i = 0; i < replacements.size() && ok; ++i) {
    const Replacement& r = replacements[i];
    if (util::FileExists(r.target)) {
      ok = Rename(r.target, BackupPath(r.target));
      steps[i].hadOld = ok;
      if (!ok) break;
    }
    ok = Rename(r.downloaded, r.target);
    steps[i].placed = ok;
  }
  if (!ok) {
    util::LogWarning("replacing the files failed: every old file is put back");
    for (std::size_t i = replacements.size(); i-- > 0;) Undo(replacements[i], steps[i]);
  }
  for (std::size_t i = 0; i < replacements.size(); ++i) {
    Delete(replacements[i].downloaded);
    if (ok && steps[i].hadOld) DeleteBackup(BackupPath(replacements[i].target));
  }
  if (ok) util::LogInfo("replaced %u files", static_cast<unsigned>(replacements.size()));
  return ok;
}

}  // namespace updater
