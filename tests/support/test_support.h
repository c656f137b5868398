#pragma once
// Helpers every test program gets (tandrel_test_support): screenshots, waiting with a
// deadline, processes, the build's directories, temporary directories and whole files.
#include <windows.h>

#include <functional>
#include <string>

#include "util/unique_resource.h"

namespace support {

// ---- screenshots ----
// Saves a PNG of the whole desktop as <dir>\<name>.png (a number is added when the file
// exists), dir being $TANDREL_SCREENSHOT_DIR or the current directory. Returns the path
// written, or empty. A failing test saves one by itself (named Suite.Test).
std::string SaveScreenshot(const std::string& name);
// The same for the test that is running now: <Suite>.<Test>[-<suffix>].
std::string SaveScreenshotOfCurrentTest(const std::string& suffix = "");

// ---- waiting ----
// Polls condition every pollMs until it holds or timeoutMs have passed, handling this
// thread's window messages meanwhile. True when the condition held (it is checked once
// more at the deadline).
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);
// Handles this thread's messages for ms (for letting windows settle, not for waiting on a
// condition).
void PumpMessagesFor(DWORD ms);

// ---- windows and input ----
std::string WindowClassOf(HWND window);
std::string WindowTitleOf(HWND window);  // as bytes of the ANSI code page
// Moves the pointer to (x, y) on the screen with SendInput, as a hand would.
void MovePointerTo(int x, int y);

// ---- processes ----
struct Process {
  util::UniqueHandle handle;
  DWORD id = 0;
  explicit operator bool() const { return static_cast<bool>(handle); }
};
// CreateProcessA with the command line as given; currentDirectory empty keeps ours.
Process StartProcess(const std::string& commandLine, const std::string& currentDirectory = "");
// Waits up to timeoutMs for the process to end; true and its exit code when it did.
bool WaitForExit(const Process& process, DWORD timeoutMs, DWORD* exitCode = nullptr);
// Ends the process if it still runs and waits for it to be gone.
void EndProcessAndWait(Process& process, DWORD timeoutMs = 5000);
// Starts, waits up to timeoutMs and returns the exit code; -1 when it could not start or
// did not end in time (it is then ended).
long long RunProcess(const std::string& commandLine, DWORD timeoutMs, const std::string& currentDirectory = "");

// ---- paths ----
// A path as Windows sees it: a Unix path "/a/b" becomes "Z:\a\b" (Wine maps the Unix root
// to Z:); forward slashes become backslashes.
std::string ToWindowsPath(const std::string& path);
std::string SourceDir();    // the source tree's root
std::string BuildDir();     // the build directory
std::string BinDir();       // <build>\bin: tandrel.exe and the shipped files
std::string TestBinDir();   // <build>\tests\bin: the test programs and the stand-in client
std::string ExeDir();       // the directory of the running program
bool FileExists(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool CopyFileTo(const std::string& from, const std::string& to);  // overwrites
// Deletes a directory with everything in it; true when it is gone.
bool RemoveDirectoryTree(const std::string& path);

// A fresh empty directory under %TEMP%, named after the running test, removed with its
// contents when the object goes (best effort: files still open stay).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  explicit operator bool() const { return !path_.empty(); }

 private:
  std::string path_;
};

}  // namespace support
