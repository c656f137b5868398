#pragma once
// The updater's journal of an installation (gxrz.bin beside the program), and the pure
// decisions of recovery. The journal is written, flushed, before the first file is touched and
// removed once every step is done, so that a start after a crash, a power cut or the updater
// being ended can see what was under way and finish it or undo it: the folder ends up all old
// or all new, never a mix.
//
// Installing one file: the old file is copied aside to its backup (target + ".gxbak"), then
// the complete download (target + ".gxtmp") is moved over the target in one rename. The target
// name therefore always names a complete file, old or new; a download that is still there
// means its target was not touched yet, and a download that is gone means it is in place.
#include <cstdint>
#include <vector>

#include "util/text.h"

namespace update {

enum class JournalPhase {
  kInstall,   // the downloads are being moved in
  kRollBack,  // a step failed: the old files are being put back
};

struct JournalEntry {
  Text target;    // relative to the program's directory
  Text backup;    // target + ".gxbak"
  Text download;  // target + ".gxtmp"
  std::int64_t downloadSize = 0;  // the complete download's size
  bool hadOld = false;            // the target existed, so there is a backup to restore
};

struct InstallJournal {
  JournalPhase phase = JournalPhase::kInstall;
  std::vector<JournalEntry> entries;
};

// An entry for target with its work files named as the updater names them.
JournalEntry MakeJournalEntry(const Text& target, std::int64_t downloadSize, bool hadOld);

Text FormatJournal(const InstallJournal& journal);
// False for a text FormatJournal did not write (unknown phase, a broken line, work files not
// named after their target, a name that would leave the directory, no entry at all).
bool ParseJournal(const Text& text, InstallJournal& journal);

// What recovery finds on disk for one entry (or one leftover name).
struct FoundFiles {
  bool target = false;
  bool backup = false;
  bool download = false;
  std::int64_t downloadSize = -1;  // when download is true
};

enum class RecoveryDirection {
  kForward,  // finish: every target gets its new file
  kBack,     // undo: every target gets its old file back (or is removed when it is new)
};

struct RecoveryPlan {
  RecoveryDirection direction = RecoveryDirection::kBack;
  // False when neither direction can make every file whole (a backup or download is missing
  // that the direction needs); the plan then restores what it can and keeps what it cannot use.
  bool whole = true;
};

// Can the update be finished? Every target's new file must be there: still as its complete
// download, or already moved in (download gone, target present).
bool CanRollForward(const InstallJournal& journal, const std::vector<FoundFiles>& found);
// Can an installation be undone? Every target already replaced must have a backup (or have had
// no old file).
bool CanRollBack(const InstallJournal& journal, const std::vector<FoundFiles>& found);

// found[i] belongs to journal.entries[i]. An installation is finished when it can be (every
// download was complete before the journal was written, so that is the usual case), otherwise
// undone. A roll-back is always continued: a file it has already restored (download and backup
// gone) cannot be told from a new one by the files alone, so the journal says roll-back before
// the first old file is put back.
RecoveryPlan DecideRecovery(const InstallJournal& journal, const std::vector<FoundFiles>& found);

// Without a journal (an installation that never wrote one, or an older updater's leftovers):
// found holds, per name, what exists of the name, its ".gxbak" and its ".gxtmp". Downloads
// alone are an installation that never began: they are removed (kBack). A backup whose
// target is missing, or backups beside downloads, are an installation cut off half way: every
// backup is put back (kBack). Backups alone, every target present, are an installation cut off
// while it removed its backups: it is finished (kForward, the backups are removed).
RecoveryDirection DecideLeftoverRecovery(const std::vector<FoundFiles>& found);

}  // namespace update
