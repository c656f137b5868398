#pragma once
// The files through which tandrel.exe hands a forced update to the updater (Hgxcx.exe), all
// in the program's directory: both programs spell them from here.
namespace update {

// Names the program the updater starts again when it is done: [tysj] yxmc=tandrel.exe.
constexpr char kHandoffIniFile[] = "sdhwt.ini";
constexpr char kHandoffIniSection[] = "tysj";
constexpr char kHandoffIniKey[] = "yxmc";
// The due list: the lines of the files to download.
constexpr char kDueListFile[] = "gxwj.bin";
// The updater's note of a due list it could not install, so that the main program does not
// hand the same list straight back to it (see failed_update.h).
constexpr char kFailedUpdateFile[] = "gxsb.bin";
// The updater, written out from the image tandrel.exe carries.
constexpr char kUpdaterFile[] = "Hgxcx.exe";
// The program to start again.
constexpr char kRestartProgram[] = "tandrel.exe";
// The updater's own work files beside a target: the download until it is complete, and the
// old file until every new one is in place. No listed file may end in either.
constexpr char kDownloadSuffix[] = ".gxtmp";
constexpr char kBackupSuffix[] = ".gxbak";
// The updater's journal of an installation under way (see install_journal.h).
constexpr char kInstallJournalFile[] = "gxrz.bin";
// The updater's window title, which also names its single-instance event: while that event
// exists an updater is at work in the folder and the main program leaves its files alone.
constexpr char kUpdaterInstanceName[] = "程序更新";
// An older release's updater, deleted at every start.
constexpr char kStaleUpdaterFile[] = "gxcx.exe";

}  // namespace update
