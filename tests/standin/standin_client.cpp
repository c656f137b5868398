// The stand-in messaging client: a small Win32 program that tests copy anywhere under the
// name WeChat.exe. It takes no arguments (the host starts it by its path alone) and reads
// what to do from a script:
//   1. the file standin.ini beside the executable, else
//   2. the environment variable TANDREL_STANDIN_SCRIPT: the path of a script file, or the
//      script text itself with lines separated by '|' or new lines, else
//   3. nothing: show the login window at once and wait for a log-in.
//
// Script lines ("#" starts a comment; later lines override earlier ones):
//   start login|main|hidden  login window first (default) / main window at once /
//                            main window created but not visible, no login window
//   login_window <ms>        show the login window <ms> after start (default 0)
//   login <when>             log in by itself
//   size <w> <h>             main window size (default 800 600)
//   position <x> <y>         main window position on the screen (default 60 40)
//   colour <RRGGBB>          avatar colour (default: derived from the process id)
//   busy <ms>|forever        first of all, sleep without reading any message: the process
//                            is not input-idle meanwhile (WaitForInputIdle times out)
//   resize <when> <w> <h>    resize the main window (waits for it to exist)
//   alert <when>             show a top-level AlertDialog titled "微信"
//   exit <when> [code]       destroy the windows and exit with code (default 0)
//   crash <when>             access violation
//   hang <when> [ms]         stop handling messages for ms, or for ever
//   log <path>               log file (default standin.log beside the executable)
//   [N] / [all]              following lines apply to the Nth instance started from this
//                            directory only / to every instance again
// <when> is <ms> after start, login+<ms> after the login window shows, or main+<ms> after
// the main window first becomes visible.
//
// Logging in: a click on the login window's "登录" button, the registered message
// "TandrelStandinLogin" posted to the login window, or a "login" line.
//
// The log gets one flushed line per event, shared by every instance of the directory:
//   <hh:mm:ss.mmm> <pid> <event> [arguments]
// events: started <instance> <RRGGBB> <exe> | script-error <text> | busy <ms|forever> |
//   busy-end | created <login|main|alert> <hwnd> <x> <y> <w> <h> | shown <name> |
//   hidden <name> | parent <name> <hwnd, 0 = desktop> | enabled <name> | disabled <name> |
//   moved <name> <x> <y> <w> <h> (in the parent's client area) | login <button|message|script> |
//   click <name> <x> <y> | close <name> | destroyed <name> | resize <w> <h> | hang <ms|forever> |
//   resumed | crashing | exiting <code>
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/standin/standin_paint.h"
#include "tests/standin/standin_script.h"

namespace {

constexpr char kLoginClass[] = "WeChatLoginWndForPC";
constexpr char kMainClass[] = "WeChatMainWndForPC";
constexpr char kAlertClass[] = "AlertDialog";
constexpr char kControlClass[] = "TandrelStandinControl";
constexpr char kTitle[] = "微信";
constexpr char kLoginMessageName[] = "TandrelStandinLogin";
constexpr int kLoginButtonId = 1;
constexpr UINT_PTR kStepTimer = 1;

// What was last logged of a window, so that only changes are logged.
struct Tracked {
  HWND window = nullptr;
  const char* name = "";
  HWND parent = nullptr;
  bool visible = false;
  bool enabled = true;
  RECT rect = {};
};

struct Client {
  standin::Script script;
  DWORD pid = 0;
  int instance = 1;
  COLORREF colour = 0;
  std::string exePath, exeDir, logPath;
  HANDLE logFile = INVALID_HANDLE_VALUE;
  HANDLE logMutex = nullptr;
  UINT loginMessage = 0;
  HWND control = nullptr;
  Tracked login, main, alert;
  DWORD startTick = 0, loginShownTick = 0, mainShownTick = 0;
  bool loginWindowDone = false, loggedIn = false;
  bool resizeDone = false, alertDone = false, exitDone = false, crashDone = false, hangDone = false, loginDone = false;
  std::string caption;
};

Client g;
int* volatile gCrashAddress = nullptr;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// FNV-1a of the directory: a name for the objects all instances of one directory share.
std::string DirectoryKey() {
  unsigned hash = 2166136261u;
  for (char c : g.exeDir) {
    unsigned char byte = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    hash = (hash ^ byte) * 16777619u;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  out->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
  CloseHandle(f);
  return true;
}

void Log(const std::string& event) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char head[64];
  std::snprintf(head, sizeof head, "%02u:%02u:%02u.%03u %lu ", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                static_cast<unsigned long>(g.pid));
  std::string line = head + event + "\r\n";
  if (g.logFile == INVALID_HANDLE_VALUE) return;
  // Every instance of the directory appends to the same file: one whole line at a time.
  if (g.logMutex) WaitForSingleObject(g.logMutex, 2000);
  SetFilePointer(g.logFile, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(g.logFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  FlushFileBuffers(g.logFile);
  if (g.logMutex) ReleaseMutex(g.logMutex);
}

std::string Number(long long value) { return std::to_string(value); }
std::string HandleText(HWND w) { return Number(static_cast<long long>(reinterpret_cast<UINT_PTR>(w))); }

// The instance number among all starts from this directory (1 for the first).
int NextInstanceNumber(HANDLE mutex) {
  std::string counterPath = g.exeDir + "\\standin.count";
  if (mutex) WaitForSingleObject(mutex, 2000);
  std::string text;
  int previous = ReadWholeFile(counterPath, &text) ? std::atoi(text.c_str()) : 0;
  int mine = previous + 1;
  HANDLE f = CreateFileA(counterPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    std::string number = Number(mine);
    DWORD written = 0;
    WriteFile(f, number.data(), static_cast<DWORD>(number.size()), &written, nullptr);
    CloseHandle(f);
  }
  if (mutex) ReleaseMutex(mutex);
  return mine;
}

std::string LoadScriptText(std::string* source) {
  std::string text;
  if (ReadWholeFile(g.exeDir + "\\standin.ini", &text)) {
    *source = "file";
    return text;
  }
  char value[8192];
  DWORD length = GetEnvironmentVariableA("TANDREL_STANDIN_SCRIPT", value, sizeof value);
  if (length > 0 && length < sizeof value) {
    std::string env(value, length);
    if (env.find('|') == std::string::npos && env.find('\n') == std::string::npos && ReadWholeFile(env, &text)) {
      *source = "environment file";
      return text;
    }
    *source = "environment";
    return env;
  }
  *source = "none";
  return std::string();
}

// ---- window state tracking ----

Tracked* TrackedOf(HWND w) {
  if (w && w == g.login.window) return &g.login;
  if (w && w == g.main.window) return &g.main;
  if (w && w == g.alert.window) return &g.alert;
  return nullptr;
}

HWND ParentOf(HWND w) {
  HWND parent = GetAncestor(w, GA_PARENT);
  return parent == GetDesktopWindow() ? nullptr : parent;
}

RECT RectInParent(HWND w, HWND parent) {
  RECT r = {};
  GetWindowRect(w, &r);
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string RectText(const RECT& r) {
  return Number(r.left) + " " + Number(r.top) + " " + Number(r.right - r.left) + " " + Number(r.bottom - r.top);
}

void CheckState(Tracked* t) {
  if (!t || !t->window || !IsWindow(t->window)) return;
  HWND w = t->window;
  HWND parent = ParentOf(w);
  if (parent != t->parent) {
    t->parent = parent;
    Log(std::string("parent ") + t->name + " " + HandleText(parent));
  }
  bool visible = (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != t->visible) {
    t->visible = visible;
    Log(std::string(visible ? "shown " : "hidden ") + t->name);
    if (visible && t == &g.main && !g.mainShownTick) g.mainShownTick = GetTickCount();
    if (visible && t == &g.login && !g.loginShownTick) g.loginShownTick = GetTickCount();
  }
  bool enabled = IsWindowEnabled(w) != FALSE;
  if (enabled != t->enabled) {
    t->enabled = enabled;
    Log(std::string(enabled ? "enabled " : "disabled ") + t->name);
  }
  RECT rect = RectInParent(w, parent);
  if (!EqualRect(&rect, &t->rect)) {
    t->rect = rect;
    Log(std::string("moved ") + t->name + " " + RectText(rect));
  }
}

void CheckAll() {
  CheckState(&g.login);
  CheckState(&g.main);
  CheckState(&g.alert);
}

void StartTracking(Tracked* t, HWND w, const char* name) {
  t->window = w;
  t->name = name;
  t->parent = ParentOf(w);
  t->visible = false;
  t->enabled = IsWindowEnabled(w) != FALSE;
  t->rect = RectInParent(w, t->parent);
  Log(std::string("created ") + name + " " + HandleText(w) + " " + RectText(t->rect));
}

// Common messages of the three windows; true when handled.
bool HandleCommon(HWND w, UINT message, LRESULT* result) {
  Tracked* t = TrackedOf(w);
  switch (message) {
    case WM_WINDOWPOSCHANGED:
    case WM_ENABLE:
      CheckState(t);
      return false;
    case WM_CLOSE:
      if (t) Log(std::string("close ") + t->name);
      // Closing any of the client's windows ends the client, as closing WeChat's windows does.
      Log("exiting 0");
      PostQuitMessage(0);
      *result = 0;
      return true;
    case WM_DESTROY:
      if (t) {
        Log(std::string("destroyed ") + t->name);
        t->window = nullptr;
      }
      return false;
    default:
      return false;
  }
}

// ---- the windows ----

void ShowMainWindow(bool visible);

void DoLogin(const char* how) {
  if (g.loggedIn || !g.login.window) return;
  g.loggedIn = true;
  Log(std::string("login ") + how);
  DestroyWindow(g.login.window);
  ShowMainWindow(true);
}

LRESULT CALLBACK LoginProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  LRESULT result = 0;
  if (message == g.loginMessage && g.loginMessage) {
    DoLogin("message");
    return 0;
  }
  if (HandleCommon(w, message, &result)) return result;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kLoginButtonId && HIWORD(wParam) == BN_CLICKED) DoLogin("button");
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT client;
      GetClientRect(w, &client);
      HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
      FillRect(dc, &client, white);
      DeleteObject(white);
      RECT band = {0, 0, client.right, 60};
      HBRUSH green = CreateSolidBrush(RGB(7, 193, 96));
      FillRect(dc, &band, green);
      DeleteObject(green);
      SetBkMode(dc, TRANSPARENT);
      RECT title = {0, 80, client.right, 120};
      DrawTextA(dc, kTitle, -1, &title, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
      RECT who = {0, 130, client.right, 170};
      std::string text = "stand-in pid " + Number(g.pid);
      DrawTextA(dc, text.c_str(), -1, &who, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
      EndPaint(w, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(w, message, wParam, lParam);
  }
}

LRESULT CALLBACK MainProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  LRESULT result = 0;
  if (HandleCommon(w, message, &result)) return result;
  if (standin::HandleMainWindowPaint(w, message, wParam, lParam, g.colour, g.caption.c_str(), &result))
    return result;
  switch (message) {
    case WM_SIZE:
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      Log("click main " + Number(static_cast<short>(LOWORD(lParam))) + " " +
          Number(static_cast<short>(HIWORD(lParam))));
      return 0;
    default:
      return DefWindowProcA(w, message, wParam, lParam);
  }
}

LRESULT CALLBACK AlertProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  LRESULT result = 0;
  if (HandleCommon(w, message, &result)) return result;
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT client;
    GetClientRect(w, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, "stand-in alert", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(w, &ps);
    return 0;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

POINT CentredOnScreen(int width, int height) {
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  POINT p = {work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2};
  return p;
}

void ShowLoginWindow() {
  const int width = 280, height = 400;
  POINT at = CentredOnScreen(width, height);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND w = CreateWindowExA(WS_EX_APPWINDOW, kLoginClass, kTitle, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU, at.x,
                           at.y, width, height, nullptr, nullptr, instance, nullptr);
  if (!w) return;
  CreateWindowExA(0, "BUTTON", "登录", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 40, 300, 200, 40, w,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kLoginButtonId)), instance, nullptr);
  StartTracking(&g.login, w, "login");
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  CheckState(&g.login);
}

void ShowMainWindow(bool visible) {
  if (g.main.window) return;
  HWND w = CreateWindowExA(WS_EX_APPWINDOW, kMainClass, kTitle, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU |
                           WS_MINIMIZEBOX | WS_MAXIMIZEBOX, g.script.mainX, g.script.mainY, g.script.mainWidth,
                           g.script.mainHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!w) return;
  StartTracking(&g.main, w, "main");
  if (visible) {
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
  }
  CheckState(&g.main);
}

void ShowAlert() {
  const int width = 300, height = 150;
  POINT at = CentredOnScreen(width, height);
  HWND w = CreateWindowExA(WS_EX_TOPMOST, kAlertClass, kTitle, WS_POPUP | WS_BORDER, at.x, at.y, width, height,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!w) return;
  StartTracking(&g.alert, w, "alert");
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  CheckState(&g.alert);
}

// ---- timed steps ----

bool Due(const standin::When& when) {
  if (!when.Set()) return false;
  DWORD anchor = 0;
  switch (when.anchor) {
    case standin::Anchor::kStart: anchor = g.startTick; break;
    case standin::Anchor::kLoginShown: anchor = g.loginShownTick; break;
    case standin::Anchor::kMainShown: anchor = g.mainShownTick; break;
  }
  if (!anchor) return false;
  return GetTickCount() - anchor >= static_cast<DWORD>(when.ms);
}

void RunDueSteps() {
  const standin::Script& s = g.script;
  if (!g.loginWindowDone && s.start == standin::StartMode::kLogin &&
      GetTickCount() - g.startTick >= static_cast<DWORD>(s.loginWindowDelayMs)) {
    g.loginWindowDone = true;
    ShowLoginWindow();
  }
  if (!g.loginDone && g.login.window && g.loginShownTick && Due(s.login)) {
    g.loginDone = true;
    DoLogin("script");
  }
  if (!g.resizeDone && g.main.window && Due(s.resize)) {
    g.resizeDone = true;
    Log("resize " + Number(s.resizeWidth) + " " + Number(s.resizeHeight));
    SetWindowPos(g.main.window, nullptr, 0, 0, s.resizeWidth, s.resizeHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!g.alertDone && Due(s.alert)) {
    g.alertDone = true;
    ShowAlert();
  }
  if (!g.hangDone && Due(s.hang)) {
    g.hangDone = true;
    Log(std::string("hang ") + (s.hangMs < 0 ? "forever" : Number(s.hangMs)));
    Sleep(s.hangMs < 0 ? INFINITE : static_cast<DWORD>(s.hangMs));
    Log("resumed");
  }
  if (!g.crashDone && Due(s.crash)) {
    g.crashDone = true;
    Log("crashing");
    *gCrashAddress = 1;
  }
  if (!g.exitDone && Due(s.exit)) {
    g.exitDone = true;
    Log("exiting " + Number(s.exitCode));
    if (g.alert.window) DestroyWindow(g.alert.window);
    if (g.main.window) DestroyWindow(g.main.window);
    if (g.login.window) DestroyWindow(g.login.window);
    PostQuitMessage(s.exitCode);
  }
}

LRESULT CALLBACK ControlProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_TIMER && wParam == kStepTimer) {
    RunDueSteps();
    CheckAll();
    return 0;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
  struct {
    const char* name;
    WNDPROC proc;
  } classes[] = {{kLoginClass, LoginProc}, {kMainClass, MainProc}, {kAlertClass, AlertProc},
                 {kControlClass, ControlProc}};
  for (const auto& c : classes) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = c.proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = c.name;
    if (!RegisterClassA(&wc)) return false;
  }
  return true;
}

std::string ColourText(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g.startTick = GetTickCount();
  if (!g.startTick) g.startTick = 1;  // 0 means "not reached" for the anchors
  g.pid = GetCurrentProcessId();
  char path[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  g.exePath = path;
  g.exeDir = DirectoryOf(g.exePath);

  std::string key = DirectoryKey();
  g.logMutex = CreateMutexA(nullptr, FALSE, ("TandrelStandinLog-" + key).c_str());
  g.instance = NextInstanceNumber(g.logMutex);
  std::string source;
  std::string text = LoadScriptText(&source);
  g.script = standin::ParseStandinScript(text, g.instance);
  g.logPath = g.script.logPath.empty() ? g.exeDir + "\\standin.log" : g.script.logPath;
  g.logFile = CreateFileA(g.logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  g.colour = g.script.hasColour ? g.script.colour : standin::AvatarColourForProcess(g.pid);
  g.caption = "微信 stand-in\npid " + Number(g.pid) + ", instance " + Number(g.instance);

  Log("started " + Number(g.instance) + " " + ColourText(g.colour) + " " + g.exePath);
  Log("script " + source);
  for (const std::string& error : g.script.errors) Log("script-error " + error);

  // Not reading messages at all keeps the process from ever becoming input-idle.
  if (g.script.busyMs != 0) {
    Log(std::string("busy ") + (g.script.busyMs < 0 ? "forever" : Number(g.script.busyMs)));
    DWORD began = GetTickCount();
    while (g.script.busyMs < 0 || GetTickCount() - began < static_cast<DWORD>(g.script.busyMs)) Sleep(50);
    Log("busy-end");
  }

  g.loginMessage = RegisterWindowMessageA(kLoginMessageName);
  if (!RegisterClasses(instance)) {
    Log("exiting 1");
    return 1;
  }
  g.control = CreateWindowExA(0, kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (g.script.start == standin::StartMode::kMain) ShowMainWindow(true);
  if (g.script.start == standin::StartMode::kHidden) ShowMainWindow(false);
  RunDueSteps();
  SetTimer(g.control, kStepTimer, 20, nullptr);

  MSG msg;
  int code = 0;
  for (;;) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) {
      code = 1;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (g.logFile != INVALID_HANDLE_VALUE) CloseHandle(g.logFile);
  return code;
}
