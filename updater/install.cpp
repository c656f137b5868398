#include "updater/install.h"

#include <windows.h>

#include "update/handoff_files.h"
#include "update/install_journal.h"
#include "update/install_recovery.h"
#include "util/files.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace updater {
namespace {

// The old main program may take a moment to let go of its image after it ended: a move over
// it is tried for about three seconds.
constexpr int kMoveAttempts = 10;

Text Join(const Text& directory, const Text& name) { return directory + "\\" + name; }

bool IsFile(const Text& path) { return util::IsRegularFile(path); }

// The size of a file, or -1 when it is missing or cannot be looked at.
std::int64_t FileSize(const Text& path) { return util::FileSizeOf(path); }

// A copy of the old file, on disk before the download may take its name.
bool CopyAside(const Text& target, const Text& backup) {
  if (!::CopyFileA(target.c_str(), backup.c_str(), FALSE)) {
    util::LogLastError("CopyFileA");
    util::LogWarning("%s could not be copied aside", target.c_str());
    return false;
  }
  util::UniqueHandle copy(::CreateFileA(backup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy || !::FlushFileBuffers(copy.get())) {
    util::LogLastError(copy ? "FlushFileBuffers (backup)" : "CreateFileA (backup)");
    util::LogWarning("the backup of %s is not known to be on disk", target.c_str());
    return false;
  }
  return true;
}

void DeleteDownloads(const Text& directory, const std::vector<Text>& names) {
  for (const Text& name : names) update::DeleteIfPresent(Join(directory, name) + update::kDownloadSuffix);
}

}  // namespace

Text BackupPath(const Text& target) { return target + update::kBackupSuffix; }

bool ReplaceFiles(const Text& directory, const std::vector<Text>& names,
                  const std::function<void(int step)>& afterStep) {
  int stepsDone = 0;
  auto stepDone = [&] {
    if (afterStep) afterStep(++stepsDone);
  };

  // A journal left by a recovery that could not finish holds what the next start needs to
  // finish it: this installation must not write over it.
  if (util::FileExists(update::JournalPath(directory))) {
    util::LogWarning("an earlier installation is not finished yet: no file is replaced");
    DeleteDownloads(directory, names);
    return false;
  }
  update::InstallJournal journal;
  for (const Text& name : names) {
    const Text target = Join(directory, name);
    const std::int64_t size = FileSize(target + update::kDownloadSuffix);
    if (size < 0) {
      util::LogWarning("the download of %s is missing: no file is replaced", name.c_str());
      DeleteDownloads(directory, names);
      return false;
    }
    journal.entries.push_back(update::MakeJournalEntry(name, size, IsFile(target)));
  }
  if (journal.entries.empty()) return true;
  if (!update::WriteJournal(directory, journal)) {
    util::LogWarning("the journal could not be written: no file is replaced");
    DeleteDownloads(directory, names);
    return false;
  }
  stepDone();

  bool ok = true;
  for (const update::JournalEntry& entry : journal.entries) {
    const Text target = Join(directory, entry.target);
    if (entry.hadOld) {
      ok = CopyAside(target, Join(directory, entry.backup));
      if (!ok) break;
      stepDone();
    }
    ok = update::MoveOver(Join(directory, entry.download), target, kMoveAttempts);
    if (!ok) break;
    stepDone();
  }
  if (!ok) {
    util::LogWarning("replacing the files failed: every old file is put back");
    // Noted before the first old file is put back: a file put back must never be taken for a
    // new one after a crash. Without the note every file stays as it is, whole, for the next
    // start to finish or undo.
    journal.phase = update::JournalPhase::kRollBack;
    if (!update::WriteJournal(directory, journal)) {
      util::LogError("the roll-back could not be noted: the next start finishes or undoes the installation");
      return false;
    }
    if (!update::CarryOutRecovery(directory, journal, kMoveAttempts))
      util::LogError("not every old file is back yet: the next start tries again");
    return false;
  }

  for (const update::JournalEntry& entry : journal.entries) {
    if (!entry.hadOld) continue;
    update::DeleteIfPresent(Join(directory, entry.backup));
    stepDone();
  }
  if (!update::RemoveJournal(directory)) util::LogWarning("the journal stays: the next start removes it");
  stepDone();
  util::LogInfo("replaced %u files", static_cast<unsigned>(names.size()));
  return true;
}

}  // namespace updater
