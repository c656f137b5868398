#pragma once
// Runs a copy of tandrel.exe from a fresh directory and finds its main window.
#include <windows.h>

#include <string>

namespace apptest {

// A path of the build (Unix) as Wine's Windows programs see it.
inline std::string WinePath(const std::string& unixPath) {
  if (unixPath.empty() || unixPath[0] != '/') return unixPath;
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

inline std::string FreshDirectory(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static int counter = 0;
  std::string dir = std::string(temp) + name + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(++counter);
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(f);
  return ok;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Ends the process when the test is over, whatever happened.
class ProgramProcess {
 public:
  ~ProgramProcess() { End(); }
  bool Start(const std::string& exePath) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string commandLine = "\"" + exePath + "\"";
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);  // not the program's directory
    return CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, temp, &si, &info_) != 0;
  }
  bool Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  // True when the process is still running after the given time.
  bool StillRunningAfter(DWORD milliseconds) const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_TIMEOUT;
  }
  DWORD Id() const { return info_.dwProcessId; }
  void End() {
    if (!info_.hProcess) return;
    TerminateProcess(info_.hProcess, 0);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
    info_ = PROCESS_INFORMATION{};
  }

  // The visible main window, once start-up has finished. A question box that start-up
  // shows (the desktop-shortcut offer) is answered with Cancel.
  HWND WaitForMainWindow(DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline && Running()) {
      found_ = nullptr;
      EnumWindows(&ProgramProcess::Visit, reinterpret_cast<LPARAM>(this));
      if (found_) return found_;
      Sleep(50);
    }
    return nullptr;
  }

 private:
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM self) noexcept {
    auto* me = reinterpret_cast<ProgramProcess*>(self);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != me->info_.dwProcessId || !IsWindowVisible(hwnd)) return TRUE;
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    }
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::string(cls) == "TandrelWindow" && std::string(title) == "Tandrel") {
      me->found_ = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  PROCESS_INFORMATION info_{};
  HWND found_ = nullptr;
};

}  // namespace apptest
