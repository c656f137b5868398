#pragma once
// Bringing a folder back to all old or all new files after an installation was cut off (the
// updater ended, the machine lost power): the file work that carries out install_journal.h's
// decisions. Both programs run it when they start, before anything reads the files.
#include <cstdint>

#include "update/install_journal.h"
#include "util/text.h"

namespace update {

// directory\gxrz.bin.
Text JournalPath(const Text& directory);
// Whole or not at all, flushed to disk before it returns true.
bool WriteJournal(const Text& directory, const InstallJournal& journal);
// True when no journal is left (a half-written one included).
bool RemoveJournal(const Text& directory);

// Moves from over to in one rename (replacing it, written through), so that to names either
// its old or its new file at every instant. A file still held by a process that is ending
// (the old main program's image) is tried again: attempts in all, 300 ms apart. Logged.
bool MoveOver(const Text& from, const Text& to, int attempts);
// Deletes path; a missing file counts as deleted. Logged.
bool DeleteIfPresent(const Text& path);

// Carries out the recovery of journal in directory: finishes or undoes it as DecideRecovery
// says; a forward step that fails turns it into a roll-back, which is noted in the journal
// before the first old file is put back. True
// when every file is whole and the journal and the work files are gone; on false the journal
// stays when another try may do better. Every decision and failed file call is logged.
bool CarryOutRecovery(const Text& directory, InstallJournal journal, int moveAttempts);

enum class RecoveryOutcome {
  kNothingToDo,  // no journal, no work file
  kRecovered,    // the folder is all old or all new again, nothing left behind
  kIncomplete,   // something could not be made whole (logged); the next start tries again
  kSkipped,      // an updater is at work here: the files are its to finish
};

// Looks for a journal in directory and carries it out; without one, for leftover work files
// (".gxtmp", ".gxbak" in the folder and its subfolders) and deals with them as
// DecideLeftoverRecovery says.
RecoveryOutcome RecoverInterruptedInstall(const Text& directory, int moveAttempts);

// The main program's start: RecoverInterruptedInstall, unless an updater holds its instance
// event (it may be downloading into the folder right now; it recovers when it starts itself).
RecoveryOutcome RecoverAtProgramStart(const Text& directory);

const char* RecoveryOutcomeName(RecoveryOutcome outcome);

}  // namespace update
