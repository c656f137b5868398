#include "tests/e2e/host/host_e2e.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace hosttest {

namespace {
constexpr char kHintText[] = "点击左侧  添加微信";
constexpr DWORD kStartTimeoutMs = 60000;

struct DescendantSearch {
  std::vector<HWND> found;
};
BOOL CALLBACK CollectDescendant(HWND w, LPARAM l) noexcept {
  reinterpret_cast<DescendantSearch*>(l)->found.push_back(w);
  return TRUE;
}
std::vector<HWND> DescendantsOf(HWND parent) {
  DescendantSearch s;
  EnumChildWindows(parent, CollectDescendant, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Direct children, top of the z-order first.
std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  return children;
}

int TagNumber(HWND w) {
  const std::string text = WindowText(w);
  if (text.empty() || text.size() > 1 || text[0] < '1' || text[0] > '6') return 0;
  return text[0] - '0';
}

bool IsTab(HWND w) {
  const Rect r = RectInParent(w);
  return r.width == 80 && r.height == 80 && HasVisibleStyle(w) && TagNumber(w) > 0;
}

void SendMouse(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}
}  // namespace

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HWND ParentOf(HWND window) {
  HWND parent = GetAncestor(window, GA_PARENT);
  return parent == GetDesktopWindow() ? nullptr : parent;
}

Rect RectInParent(HWND window) {
  RECT r = {};
  if (!GetWindowRect(window, &r)) return Rect();
  HWND parent = ParentOf(window);
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool HasVisibleStyle(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  if (!screen) return 0xFFFFFFFF;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 1;
  bi.bmiHeader.biHeight = 1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  COLORREF result = 0xFFFFFFFF;
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, 1, 1, screen, x, y, SRCCOPY)) {
      GdiFlush();
      const unsigned char* p = static_cast<const unsigned char*>(bits);  // B, G, R, x
      result = RGB(p[2], p[1], p[0]);
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

namespace {
bool PointerAt(int x, int y) {
  POINT p{};
  return GetCursorPos(&p) && p.x == x && p.y == y;
}
}  // namespace

void MovePointerTo(int screenX, int screenY) {
  // Under Wine a warp of the X pointer can come back late as a motion to an older place:
  // put the pointer there until it stays there.
  for (int attempt = 0; attempt < 10; ++attempt) {
    SetCursorPos(screenX, screenY);
    support::PumpMessagesFor(80);
    if (PointerAt(screenX, screenY)) {
      support::PumpMessagesFor(80);
      if (PointerAt(screenX, screenY)) break;
    }
  }
  // Then an event at the point itself: a low-level hook is called before the pointer
  // moves, so a handler asking for the pointer's position during a move sees where it came
  // from. A wheel turn happens where the pointer already is (the stand-in ignores it).
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = MOUSEEVENTF_WHEEL;
  in.mi.mouseData = static_cast<DWORD>(WHEEL_DELTA);
  SendInput(1, &in, sizeof in);
  support::PumpMessagesFor(50);
}

void PressAt(int screenX, int screenY, bool rightButton) {
  MovePointerTo(screenX, screenY);
  SendMouse(rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  support::PumpMessagesFor(40);
  SendMouse(rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
  support::PumpMessagesFor(40);
}

void KeyDown(WORD vk) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  SendInput(1, &in, sizeof in);
}

void KeyUp(WORD vk) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
}

std::vector<DWORD> StartedPids(const standin::Installation& installation) {
  std::vector<DWORD> pids;
  for (const standin::LogLine& line : standin::FindLog(installation, 0, "started")) pids.push_back(line.pid);
  return pids;
}

HWND ClientMainWindow(const standin::Installation& installation, DWORD pid) {
  return standin::WindowFromLog(installation, pid, "main");
}

HWND ClientLoginWindow(const standin::Installation& installation, DWORD pid) {
  return standin::WindowFromLog(installation, pid, "login");
}

bool ProcessRunning(DWORD pid) {
  HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!p) return false;
  const bool running = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
  CloseHandle(p);
  return running;
}

TandrelRun::~TandrelRun() {
  EndClients();
  program_.End();
}

void TandrelRun::EndClients() {
  std::vector<standin::Installation> all = tracked_;
  if (client_) all.push_back(client_);
  for (const standin::Installation& installation : all) {
    for (DWORD pid : StartedPids(installation)) {
      HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
      if (!p) continue;
      TerminateProcess(p, 1);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
  }
}

bool TandrelRun::Running() const { return program_.Running(); }

std::string TandrelRun::RouteBytes() const {
  std::string bytes;
  if (!support::ReadWholeFile(RoutePath(), &bytes)) return "<missing>";
  return bytes;
}

bool TandrelRun::Start(const Options& options) {
  if (!dir_) {
    failure = "no temporary directory";
    return false;
  }
  // The program and what ships beside it (the skin library and its skin).
  support::ProgramFiles shipped;
  shipped.everythingShipped = true;
  shipped.exe = options.programExe;
  const std::string exe = support::InstallProgram(dir_.path(), shipped);
  if (exe.empty()) {
    failure = "could not copy what is in " + support::BinDir();
    return false;
  }

  if (options.installClient) {
    client_ = standin::Install(dir_.path(), std::string(kClientPlace) + options.clientScript);
    if (!client_) {
      failure = "could not install the stand-in";
      return false;
    }
  }
  if (options.route == Route::kToClient && client_) {
    support::WriteWholeFile(RoutePath(), client_.exePath);
  } else if (options.route == Route::kCustom) {
    support::WriteWholeFile(RoutePath(), options.routeBytes);
  }

  // Start-up may ask whether to create a desktop shortcut: declined.
  if (!program_.Start(exe)) {
    failure = "tandrel.exe did not start";
    return false;
  }
  const HWND ready = program_.WaitForMainWindow(kStartTimeoutMs, [&](HWND main) {
    main_ = main;
    return FindWindows();
  });
  if (!ready || !Running()) {
    failure = Running() ? "tandrel.exe did not get ready" : "tandrel.exe ended during start-up";
    support::SaveScreenshotOfCurrentTest("start");
    return false;
  }
  // The host set-up enables every tab 1000 ms after loading the host windows; a click on
  // the add tab before that would have its disabled tabs enabled again under it.
  support::PumpMessagesFor(1500);
  return true;
}

bool TandrelRun::FindWindows() {
  // Host windows: children of MainWindow of its own window class. Each was made a child
  // in the order 1 to 6 and went to the top, so the z-order from the bottom is 1..6.
  const std::string ownClass = support::WindowClassOf(main_);
  std::vector<HWND> hosts;
  for (HWND c : ChildrenOf(main_)) {
    if (support::WindowClassOf(c) == ownClass) hosts.push_back(c);
  }
  if (hosts.size() != 6) return false;
  std::reverse(hosts.begin(), hosts.end());
  for (int k = 1; k <= 6; ++k) hosts_[k] = hosts[k - 1];
  const Rect pane = RectInParent(hosts_[1]);
  paneWidth_ = pane.width;
  paneHeight_ = pane.height;

  for (HWND d : DescendantsOf(main_)) {
    if (!strip_ && IsTab(d) && TagNumber(d) == 1) strip_ = ParentOf(d);
    if (!hint_ && WindowText(d) == kHintText) hint_ = d;
  }
  if (!strip_) return false;
  // Ready once the host set-up has enabled the tabs again.
  const std::vector<HWND> tabs = Tabs();
  return !tabs.empty() && IsWindowEnabled(tabs.back());
}

int TandrelRun::HostOf(HWND window) const {
  HWND parent = ParentOf(window);
  if (!parent) return 0;
  for (int k = 1; k <= 6; ++k) {
    if (hosts_[k] == parent) return k;
  }
  return 0;
}

std::vector<HWND> TandrelRun::Tabs() const {
  std::map<int, HWND> byTag;
  if (strip_) {
    for (HWND c : ChildrenOf(strip_)) {
      if (IsTab(c)) byTag[TagNumber(c)] = c;
    }
  }
  std::vector<HWND> tabs;
  for (const auto& entry : byTag) tabs.push_back(entry.second);
  return tabs;
}

int TandrelRun::VisibleHostCount() const {
  int n = 0;
  for (int k = 1; k <= 6; ++k) n += HasVisibleStyle(hosts_[k]) ? 1 : 0;
  return n;
}

POINT TandrelRun::ScreenPoint(HWND window, int x, int y) const {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  return p;
}

COLORREF TandrelRun::TabBackground(HWND tab) const {
  const POINT p = ScreenPoint(tab, 4, 4);
  return ScreenPixel(p.x, p.y);
}

COLORREF TandrelRun::TabCentre(HWND tab) const {
  const POINT p = ScreenPoint(tab, 40, 40);
  return ScreenPixel(p.x, p.y);
}

void TandrelRun::ClickTab(HWND tab) const {
  const POINT p = ScreenPoint(tab, 40, 40);
  PressAt(p.x, p.y);
}

bool TandrelRun::WaitForHosted(HWND window, int k, DWORD timeoutMs) const {
  return support::WaitFor(
      [&] {
        const Rect r = RectInParent(window);
        return HostOf(window) == k && r.x == 0 && r.y == 0 && r.width == paneWidth_ &&
               r.height == paneHeight_;
      },
      timeoutMs);
}

HWND TandrelRun::StartClientAndWaitForAdoption(DWORD* pid, DWORD timeoutMs) {
  support::Process started = support::StartProcess(client_.exePath);
  if (!started) return nullptr;
  const DWORD id = started.id;
  if (pid) *pid = id;
  HWND window = nullptr;
  const bool hosted = support::WaitFor(
      [&] {
        if (!window) window = ClientMainWindow(client_, id);
        return window && HostOf(window) != 0 && RectInParent(window).width == paneWidth_;
      },
      timeoutMs, 50);
  return hosted ? window : nullptr;
}

std::vector<Hosted> HostClients(TandrelRun& run, int n) {
  std::vector<Hosted> hosted;
  for (int k = 1; k <= n; ++k) {
    Hosted h{0, nullptr};
    h.window = run.StartClientAndWaitForAdoption(&h.pid);
    if (!h.window || !run.WaitForHosted(h.window, k)) return {};
    const size_t tabsWanted = k < 6 ? k + 1 : 6;
    if (!support::WaitFor([&] { return run.Tabs().size() == tabsWanted; }, 3000)) return {};
    hosted.push_back(h);
  }
  return hosted;
}

}  // namespace hosttest
