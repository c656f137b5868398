#pragma once
// The forced update: leave the due list for the updater, write the updater out, start it, end.
#include "util/text.h"

namespace update {

// Resource id of the updater image inside tandrel.exe (RCDATA).
constexpr int kUpdaterImageResource = 101;

// The updater image carried by the running executable; empty when it has none.
Bytes CarriedUpdaterImage();

// Writes bytes to path whole, creating or truncating it; on a failed write the file is
// removed rather than left half-written.
bool WriteWholeFile(const Text& path, const Bytes& bytes);

// sdhwt.ini (program to restart) and gxwj.bin (the due list) in directory. False when
// gxwj.bin could not be written: the update is skipped for this start.
bool WriteHandoffFiles(const Text& directory, const Text& dueList);

// The whole hand-off. Returns false only when gxwj.bin could not be written; otherwise it
// tells the user, starts the updater and ends the process.
bool HandOff(const Text& directory, const Text& dueList);

}  // namespace update
