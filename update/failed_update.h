#pragma once
// The note of a due list the updater could not install (gxsb.bin beside the program). Without
// it a download that keeps failing, or a server whose file never has the version asked for,
// would send the program and the updater round in a circle for ever: the updater starts the
// program again, which finds the same files due and hands them straight back.
//
// The note moves through two states: the updater writes "failed" with the list; the next start
// that finds the same list due starts normally once and marks it "skipped"; the start after
// that hands off again. A list that differs hands off at once. A completed update removes it.
#include "util/text.h"

namespace update {

struct FailedUpdateRecord {
  enum class State {
    kNone,     // no note (or one that cannot be read as one)
    kFailed,   // the updater could not install dueList
    kSkipped,  // one start went on without handing dueList off again
  };
  State state = State::kNone;
  Text dueList;  // the due-list text exactly as handed to the updater
};

// The file's bytes; an unknown first line gives kNone.
Text FormatFailedUpdateRecord(const FailedUpdateRecord& record);
FailedUpdateRecord ParseFailedUpdateRecord(const Text& text);

enum class HandOffDecision {
  kHandOff,         // start the updater
  kStartNormally,   // the same list just failed: this start goes on as if nothing were due
};
// Pure: what a start that finds dueList due does, given the note.
HandOffDecision DecideHandOff(const FailedUpdateRecord& record, const Text& dueList);

// A start that finds dueList due asks this: reads the note in directory, decides, and when this
// start goes on normally marks the note so that the next one hands off again. Logged.
HandOffDecision DecideAndNoteHandOff(const Text& directory, const Text& dueList);

// directory\gxsb.bin. A missing or unreadable note reads as kNone (an unreadable one is logged).
FailedUpdateRecord ReadFailedUpdateRecord(const Text& directory);
// Written whole or not at all; false (logged) when it could not be written.
bool WriteFailedUpdateRecord(const Text& directory, const FailedUpdateRecord& record);
// True when no note is left (also when there was none).
bool RemoveFailedUpdateRecord(const Text& directory);

}  // namespace update
