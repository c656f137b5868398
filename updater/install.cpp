#include "updater/install.h"

#include <windows.h>

namespace updater {
namespace {

bool Exists(const Text& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Rename(const Text& from, const Text& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
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
  for (int attempt = 0; attempt < 10 && !::DeleteFileA(backup.c_str()); ++attempt) ::Sleep(300);
}

}  // namespace

Text BackupPath(const Text& target) { return target + ".gxbak"; }

bool ReplaceFiles(const std::vector<Replacement>& replacements) {
  std::vector<Step> steps(replacements.size());
  bool ok = true;
  for (std::size_t i = 0; i < replacements.size() && ok; ++i) {
    const Replacement& r = replacements[i];
    if (Exists(r.target)) {
      ok = Rename(r.target, BackupPath(r.target));
      steps[i].hadOld = ok;
      if (!ok) break;
    }
    ok = Rename(r.downloaded, r.target);
    steps[i].placed = ok;
  }
  if (!ok) {
    for (std::size_t i = replacements.size(); i-- > 0;) Undo(replacements[i], steps[i]);
  }
  for (std::size_t i = 0; i < replacements.size(); ++i) {
    ::DeleteFileA(replacements[i].downloaded.c_str());
    if (ok && steps[i].hadOld) DeleteBackup(BackupPath(replacements[i].target));
  }
  return ok;
}

}  // namespace updater
