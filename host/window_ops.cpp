// The instance host's seam to foreign windows and processes: each operation is one or
// two platform calls with fixed arguments, so what the rest of host/ relies on is here.
#include "host/window_ops.h"

#include <psapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "util/delay.h"
#include "util/unique_resource.h"

namespace host {
namespace {

const char* OptionalText(const Text& text) { return text.empty() ? nullptr : text.c_str(); }

HWND HandleFromInteger(long long value) {
  // Handles are 32-bit values handled as signed integers.
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}

Text WindowTitle(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, buffer.data(), length + 1);
  if (copied <= 0) return Text();
  const auto* first = reinterpret_cast<const std::uint8_t*>(buffer.data());
  Bytes utf16(first, first + static_cast<std::size_t>(copied) * sizeof(wchar_t));
  return util::Utf16ToGbk(utf16);
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM list) noexcept {
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  } catch (...) {
    // Out of memory: the windows collected so far are still searched.
  }
  return TRUE;  // the enumeration always runs to the end
}

}  // namespace

HWND FindWindowByClassTitle(HWND parent, HWND after, const Text& className, const Text& title) {
  return FindWindowExA(parent, after, OptionalText(className), OptionalText(title));
}

bool HostHasChild(HWND window) {
  return FindWindowByClassTitle(window, nullptr, Text(), Text()) != nullptr;
}

Text GetWindowExePath(HWND window) {
  DWORD processId = 0;
  if (GetWindowThreadProcessId(window, &processId) == 0) return Text();
  util::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return Text();
  char buffer[1024] = {};
  DWORD length = GetModuleFileNameExA(process.get(), nullptr, buffer, sizeof buffer);
  if (length == 0) return Text();
  return util::Trim(Text(buffer, length < sizeof buffer ? length : sizeof buffer - 1));
}

HWND SetParentWindow(HWND child, HWND newParent) { return SetParent(child, newParent); }

bool MoveWindowKeep(HWND window, int x, int y, int width, int height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  if (width < 0) width = rect.right - rect.left;
  if (height < 0) height = rect.bottom - rect.top;
  return MoveWindow(window, x, y, width, height, TRUE) != FALSE;
}

bool MoveWindowKeepAsync(HWND window, int x, int y, int width, int height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  if (width < 0) width = rect.right - rect.left;
  if (height < 0) height = rect.bottom - rect.top;
  // SWP_ASYNCWINDOWPOS posts the change to the window's own thread instead of waiting
  // for it, so a hung client cannot stall the caller.
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_ASYNCWINDOWPOS | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

HWND WindowUnderCursor() {
  POINT point = {};
  if (!GetCursorPos(&point)) return nullptr;
  return WindowFromPoint(point);
}

Offset CursorOffsetInWindow(HWND window) {
  POINT point = {};
  RECT rect = {};
  GetCursorPos(&point);
  GetWindowRect(window, &rect);
  return Offset{point.x - rect.left, point.y - rect.top};
}

DWORD ProcessIdOfWindow(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

bool EndProcess(DWORD processId) {
  if (processId == 0) return false;
  util::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process) return false;
  // Does not wait for the process to end.
  return TerminateProcess(process.get(), 0) != FALSE;
}

bool RunProgram(const Text& commandLine) {
  // CreateProcessA may write into the command line: give it a private copy.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION created = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &created)) {
    return false;
  }
  util::UniqueHandle process(created.hProcess);
  util::UniqueHandle thread(created.hThread);
  // A client that never becomes input-idle costs one second, no more.
  WaitForInputIdle(process.get(), 1000);
  return true;
}

HWND FindWindowByHandleOrTitle(const Text& text) {
  // An empty text holds no number and would be "contained" in every title.
  if (text.empty()) return nullptr;
  HWND candidate = HandleFromInteger(util::TextToInteger(text));
  WINDOWINFO info = {};
  info.cbSize = sizeof info;
  if (candidate != nullptr && GetWindowInfo(candidate, &info)) return candidate;

  // Snapshot first: the callback stays trivial, and titles are read (and messages
  // handled) outside the enumeration.
  std::vector<HWND> windows;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (i > 0) util::ProcessPendingMessages();
    if (util::FindText(WindowTitle(windows[i]), text) != Text::npos) return windows[i];
  }
  return nullptr;
}

HWND ActivateWindow(HWND window) {
  DWORD current = GetCurrentThreadId();
  DWORD target = GetWindowThreadProcessId(window, nullptr);
  AttachThreadInput(target, current, TRUE);
  HWND result = SetActiveWindow(window);
  AttachThreadInput(target, current, FALSE);
  return result;
}

Text HandleText(HWND window) {
  return std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window)));
}

bool WindowExists(HWND window) { return IsWindow(window) != FALSE; }
bool WindowVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
void ShowWindowNormal(HWND window) { ShowWindow(window, SW_SHOWNORMAL); }
void SetWindowEnabled(HWND window, bool enabled) { EnableWindow(window, enabled ? TRUE : FALSE); }
void MinimiseWindow(HWND window) { CloseWindow(window); }
void RestoreWindow(HWND window) { OpenIcon(window); }
DWORD OwnProcessId() { return GetCurrentProcessId(); }

void TrimWorkingSet() {
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

}  // namespace host
