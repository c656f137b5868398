#pragma once
// A copy of tandrel.exe as the tests run it: installed into a folder of the test's, started,
// its main window found by process id, the desktop-shortcut question answered or left open,
// and at the end ended together with every process it started.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace support {

// The question the program asks at start unless a desktop shortcut already points at it.
extern const char kShortcutQuestionTitle[];
extern const char kShortcutQuestionText[];

struct ProgramFiles {
  std::string exe;                      // the executable to copy; empty: BinDir()\tandrel.exe
  std::string exeName = "tandrel.exe";  // its name in the folder
  bool skinLibrary = true;              // BinDir()\SkinH_EL.dll beside it
  bool skinFile = true;                 // BinDir()\sefds.she beside it
  bool everythingShipped = false;       // instead: every file of BinDir() (the updater too)
  std::vector<std::string> beside;      // further files copied beside it, by path
};
// Copies the program and the chosen files into dir; the copy's path, or empty when a file
// could not be copied.
std::string InstallProgram(const std::string& dir, const ProgramFiles& files = ProgramFiles());

enum class ShortcutQuestion {
  kDecline,  // answered Cancel whenever a wait of ours sees it
  kLeave,    // left open for the test
};

struct StartOptions {
  std::string arguments;         // after the quoted executable path, when not empty
  std::string currentDirectory;  // empty: the program's own folder
  ShortcutQuestion question = ShortcutQuestion::kDecline;
};

// Top-level windows of a process (visibleOnly: only those shown), and the text of a
// message box (its static controls).
std::vector<HWND> TopLevelWindowsOf(DWORD pid, bool visibleOnly);
std::string MessageBoxText(HWND box);
// The shown desktop-shortcut question of a process, or null.
HWND ShortcutQuestionOf(DWORD pid);

class ProgramUnderTest {
 public:
  ProgramUnderTest();
  ~ProgramUnderTest();  // End()
  ProgramUnderTest(const ProgramUnderTest&) = delete;
  ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

  // Starts exePath (ending a process this object started before). False when it did not start.
  bool Start(const std::string& exePath, const StartOptions& options = StartOptions());

  DWORD Id() const { return process_.id; }
  HANDLE Handle() const { return process_.handle.get(); }
  explicit operator bool() const { return static_cast<bool>(process_); }
  bool Running() const;
  // True when the process still runs after the given time (a bounded wait for nothing to happen).
  bool StillRunningAfter(DWORD milliseconds) const;
  // Waits up to timeoutMs for the process to end; true and its exit code when it did.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;

  // The shown main window (class "TandrelWindow", title "Tandrel") of the process, once
  // ready(window) holds as well; null when the time ran out or the process ended. Meanwhile
  // the shortcut question is answered as the start options say.
  HWND WaitForMainWindow(DWORD timeoutMs, const std::function<bool(HWND)>& ready = nullptr);
  // The question once it shows (left as it is), or null after timeoutMs.
  HWND WaitForShortcutQuestion(DWORD timeoutMs);
  // Whether a wait of ours has seen the question since the start.
  bool AskedShortcutQuestion() const { return asked_; }

  // Ends the process and every process it started (followed while it ran, through the
  // ones that have ended since), and waits for them to be gone.
  void End();

 private:
  class Descendants;
  void LookAtQuestion();
  support::Process process_;
  StartOptions options_;
  bool asked_ = false;
  std::unique_ptr<Descendants> descendants_;
};

}  // namespace support
