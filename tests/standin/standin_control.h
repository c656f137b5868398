#pragma once
// Driving the stand-in client from a test: install it under a name, start and stop it,
// read its log and wait for events in it, ask it to log in.
#include <windows.h>

#include <string>
#include <vector>

#include "util/unique_resource.h"

namespace standin {

// Where the build put standin_client.exe.
std::string ClientBuildPath();

// A copy of the client in a directory, with its script beside it.
struct Installation {
  std::string dir;      // Windows path, no trailing backslash
  std::string exePath;  // dir\WeChat.exe (or the name given)
  std::string logPath;  // dir\standin.log
  std::string scriptPath;
  explicit operator bool() const { return !exePath.empty(); }
};
// Copies the client into dir (created if needed) as exeName and writes script as
// standin.ini (an empty script writes none). Empty on failure.
Installation Install(const std::string& dir, const std::string& script, const std::string& exeName = "WeChat.exe");
// Replaces the script of an installation (later starts read it).
bool WriteScript(const Installation& installation, const std::string& script);

// One parsed log line: "<hh:mm:ss.mmm> <pid> <event> [arguments]".
struct LogLine {
  std::string text;                 // the whole line
  int msOfDay = 0;                  // the time stamp as milliseconds since midnight
  DWORD pid = 0;
  std::string event;                // "created", "parent", ...
  std::vector<std::string> args;    // the words after the event
};
std::vector<LogLine> ReadLog(const Installation& installation);
bool ParseLogLine(const std::string& text, LogLine* line);

// First line whose event is `event`, whose pid matches (0: any) and whose first arguments
// equal `args` (a prefix), from the log's start; waits up to timeoutMs while handling this
// thread's messages. True and the line when found.
bool WaitForLog(const Installation& installation, DWORD pid, const std::string& event,
                const std::vector<std::string>& args, DWORD timeoutMs, LogLine* found = nullptr);
// Lines matching like WaitForLog, without waiting.
std::vector<LogLine> FindLog(const Installation& installation, DWORD pid, const std::string& event,
                             const std::vector<std::string>& args = {});

// The handle a "created <name> <hwnd> ..." line of that process gave, or 0.
HWND WindowFromLog(const Installation& installation, DWORD pid, const std::string& name);

// A started client; ended (TerminateProcess) when the object goes.
class RunningClient {
 public:
  RunningClient() = default;
  RunningClient(RunningClient&& other) noexcept : process_(std::move(other.process_)), pid_(other.pid_) {}
  RunningClient& operator=(RunningClient&& other) noexcept;
  ~RunningClient() { Stop(); }

  DWORD pid() const { return pid_; }
  HANDLE process() const { return process_.get(); }
  explicit operator bool() const { return static_cast<bool>(process_); }
  bool Running() const;
  // Waits up to timeoutMs for the process to end; true and its exit code when it did.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
  // Terminates it (if still running) and waits until it and its windows are gone.
  void Stop();

 private:
  friend RunningClient Start(const Installation&);
  util::UniqueHandle process_;
  DWORD pid_ = 0;
};
// Starts the installed client the way the host does: its path alone as the command line.
RunningClient Start(const Installation& installation);

// The client's top-level window of this class titled "微信" belonging to pid, or 0.
HWND FindTopLevelWindow(DWORD pid, const char* className);
// Asks the login window to log in (the registered message the client listens for).
bool RequestLogin(HWND loginWindow);
// Presses and releases the left mouse button at a point on the screen, with real input.
void ClickAt(int screenX, int screenY);

// The names the client uses.
extern const char kLoginWindowClass[];  // "WeChatLoginWndForPC"
extern const char kMainWindowClass[];   // "WeChatMainWndForPC"
extern const char kAlertWindowClass[];  // "AlertDialog"
extern const char kWindowTitle[];       // "微信" (GBK)
extern const char kLoginMessageName[];  // "TandrelStandinLogin"

}  // namespace standin
