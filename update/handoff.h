#pragma once
// The forced update's file work: leave the due list for the updater, write the updater out,
// start it. Nothing here shows a window or ends the process: the caller tells the user and
// ends the program with the updater's start as its last step.
#include "update/handoff_files.h"
#include "util/text.h"

namespace update {

// Resource id of the updater image inside tandrel.exe (RCDATA).
constexpr int kUpdaterImageResource = 101;

// The updater image carried by the running executable; empty when it has none.
Bytes CarriedUpdaterImage();

// sdhwt.ini (program to restart) and gxwj.bin (the due list) in directory. False when
// gxwj.bin could not be written: the update is skipped for this start.
bool WriteHandoffFiles(const Text& directory, const Text& dueList);

// directory\Hgxcx.exe from the carried image; false when it could not be written.
bool WriteUpdater(const Text& directory);

// Starts directory\Hgxcx.exe without arguments in a normal window and gives it up to a
// second to become ready for input; false when it could not be started.
bool StartUpdater(const Text& directory);

}  // namespace update
