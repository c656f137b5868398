#pragma once
// The files the main program leaves beside itself for the updater, and the INI entry that
// names the program to start again. Both sides of the hand-off read these names from here.

namespace update {

constexpr char kHandoffIniFile[] = "sdhwt.ini";   // [tysj] yxmc = program to start again
constexpr char kHandoffIniSection[] = "tysj";
constexpr char kHandoffIniKey[] = "yxmc";
constexpr char kRestartProgram[] = "tandrel.exe";  // fixed, not the running executable's name
constexpr char kDueListFile[] = "gxwj.bin";        // the due list; the updater deletes it once read
constexpr char kUpdaterFile[] = "Hgxcx.exe";       // the carried updater, written out unchanged
constexpr char kStaleUpdaterFile[] = "gxcx.exe";   // an older release's updater, deleted at start

}  // namespace update
