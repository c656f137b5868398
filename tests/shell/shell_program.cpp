#include "shell_program.h"

namespace shell_test {
namespace {

struct Search {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) noexcept {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && (!search->visibleOnly || IsWindowVisible(window))) search->found.push_back(window);
  return TRUE;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TitleOf(HWND window) {
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  return title;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) noexcept {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

std::string InstallProgram(const std::string& dir, const std::string& exeName, Files files) {
  const std::string bin = support::BinDir();
  if (!support::CopyFileTo(bin + "\\tandrel.exe", dir + "\\" + exeName)) return "";
  if (files.skinLibrary && !support::CopyFileTo(bin + "\\SkinH_EL.dll", dir + "\\SkinH_EL.dll")) return "";
  if (files.skinFile && !support::CopyFileTo(bin + "\\sefds.she", dir + "\\sefds.she")) return "";
  return dir + "\\" + exeName;
}

support::Process StartProgram(const std::string& exePath) {
  std::string dir = exePath.substr(0, exePath.rfind('\\'));
  return support::StartProcess("\"" + exePath + "\"", dir);
}

std::vector<HWND> WindowsOf(DWORD pid, bool visibleOnly) {
  Search search{pid, visibleOnly, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowOf(DWORD pid, const char* className, const char* title) {
  for (HWND w : WindowsOf(pid, false)) {
    if (className && ClassOf(w) != className) continue;
    if (title && TitleOf(w) != title) continue;
    return w;
  }
  return nullptr;
}

HWND WaitForQuestion(DWORD pid, DWORD timeoutMs) {
  HWND box = nullptr;
  support::WaitFor([&] {
    box = FindWindowOf(pid, "#32770", "提示信息");
    return box && IsWindowVisible(box);
  }, timeoutMs);
  return box && IsWindowVisible(box) ? box : nullptr;
}

HWND MainWindowOf(DWORD pid) {
  for (HWND w : WindowsOf(pid, true)) {
    if (ClassOf(w) != "#32770" && TitleOf(w) == "Tandrel") return w;
  }
  return nullptr;
}

HWND WaitForMainWindow(DWORD pid, DWORD timeoutMs) {
  HWND main = nullptr;
  support::WaitFor([&] {
    if (HWND box = FindWindowOf(pid, "#32770", "提示信息"); box && IsWindowVisible(box)) {
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    }
    main = MainWindowOf(pid);
    return main != nullptr;
  }, timeoutMs);
  return main;
}

std::string MessageBoxText(HWND box) {
  std::vector<HWND> children;
  EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::string text;
  for (HWND child : children) {
    if (ClassOf(child) == "Static") text += TitleOf(child);
  }
  return text;
}

bool InstanceEventExists() {
  HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kInstanceEventName);
  if (!event) return false;
  CloseHandle(event);
  return true;
}

std::vector<RECT> TrayIcons() {
  std::vector<RECT> icons;
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (!tray) return icons;
  std::vector<HWND> children;
  EnumChildWindows(tray, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    // Each icon is a window of its own in the taskbar of Wine's desktop.
    if (ClassOf(child) == "__wine_tray_icon" && IsWindowVisible(child)) {
      RECT r;
      GetWindowRect(child, &r);
      icons.push_back(r);
    }
  }
  return icons;
}

void ClickScreen(int x, int y, bool right) {
  SetCursorPos(x, y);
  support::PumpMessagesFor(50);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input[0], sizeof(INPUT));
  support::PumpMessagesFor(50);
  SendInput(1, &input[1], sizeof(INPUT));
}

}  // namespace shell_test
