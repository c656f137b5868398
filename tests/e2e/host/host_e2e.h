#pragma once
// Runs the real tandrel.exe from a private directory with the stand-in client beside it as
// WeChat.exe, and looks at it from outside: the window tree (parents, rectangles, visible and
// enabled states), the tabs' tags (their window text), pixels of our own window on the
// screen, route.dat and the stand-in's log.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/fixtures/standin/standin_control.h"
#include "tests/support/program_under_test.h"
#include "tests/support/test_support.h"

namespace hosttest {

constexpr COLORREF kSelected = 3026478;    // RGB 46,46,46
constexpr COLORREF kUnselected = 8421504;  // RGB 128,128,128
// Keeps top-level stand-in windows away from the tab strip, so the strip can be sampled.
constexpr char kClientPlace[] = "position 700 100\n";

bool UnderWine();

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};
// The window's rectangle in its parent's client area (screen for a top-level window).
Rect RectInParent(HWND window);
HWND ParentOf(HWND window);  // 0 for a top-level window
bool HasVisibleStyle(HWND window);
std::string WindowText(HWND window);
// The pixel of the screen at a point (0xFFFFFFFF when it cannot be read).
COLORREF ScreenPixel(int x, int y);
// Pointer moves and presses with real input, at exact pixels.
void MovePointerTo(int screenX, int screenY);
void PressAt(int screenX, int screenY, bool rightButton = false);
// Alt+A with real input: each step separately.
void KeyDown(WORD vk);
void KeyUp(WORD vk);

class TandrelRun {
 public:
  enum class Route { kToClient, kNone, kCustom };
  struct Options {
    std::string clientScript;    // standin.ini of the stand-in beside tandrel.exe
    bool installClient = true;
    Route route = Route::kToClient;
    std::string routeBytes;      // with Route::kCustom
    std::string programExe;      // the tandrel.exe to copy; empty: the one the build ships
  };

  TandrelRun() = default;
  ~TandrelRun();
  TandrelRun(const TandrelRun&) = delete;
  TandrelRun& operator=(const TandrelRun&) = delete;

  // Copies the program and the client, starts tandrel.exe, answers the desktop-shortcut
  // question with Cancel, and waits until the six host windows exist and the add tab is
  // enabled. False (with a reason in `failure`) when it did not get there.
  bool Start(const Options& options);
  std::string failure;

  const std::string& Dir() const { return dir_.path(); }
  std::string RoutePath() const { return dir_.File("route.dat"); }
  std::string RouteBytes() const;
  const standin::Installation& Client() const { return client_; }
  DWORD Pid() const { return program_.Id(); }
  HANDLE Process() const { return program_.Handle(); }
  bool Running() const;

  HWND Main() const { return main_; }
  HWND Host(int k) const { return hosts_[k]; }  // 1..6
  int HostOf(HWND window) const;                // k when window's parent is host k, else 0
  int PaneWidth() const { return paneWidth_; }
  int PaneHeight() const { return paneHeight_; }
  // Visible tab controls in the strip, ordered by their tag (index 0 = tag "1").
  std::vector<HWND> Tabs() const;
  int VisibleHostCount() const;
  HWND HintText() const { return hint_; }
  // Screen point of a client-area point of a window.
  POINT ScreenPoint(HWND window, int x, int y) const;
  // The tab's background (a pixel near its corner) and its centre pixel, on the screen.
  COLORREF TabBackground(HWND tab) const;
  COLORREF TabCentre(HWND tab) const;
  void ClickTab(HWND tab) const;

  // Another installed stand-in whose started processes are ended at the end.
  void Track(const standin::Installation& installation) { tracked_.push_back(installation); }
  // Starts the stand-in beside tandrel.exe once more and waits until its main window is a
  // child of a host window; returns that window (0 on time-out).
  HWND StartClientAndWaitForAdoption(DWORD* pid = nullptr, DWORD timeoutMs = 15000);
  // The stand-in beside tandrel.exe, started directly by the test.
  standin::RunningClient StartClient() { return standin::Start(client_); }
  // Waits until window is a child of host k, sized to the pane at (0, 0).
  bool WaitForHosted(HWND window, int k, DWORD timeoutMs = 10000) const;
  // Ends every stand-in process that logged a start in a tracked installation.
  void EndClients();

 private:
  bool FindWindows();
  support::TempDir dir_;
  standin::Installation client_;
  std::vector<standin::Installation> tracked_;
  support::ProgramUnderTest program_;
  HWND main_ = nullptr;
  HWND strip_ = nullptr;
  HWND hint_ = nullptr;
  HWND hosts_[7] = {};
  int paneWidth_ = 0, paneHeight_ = 0;
};

// Pids of the stand-in processes that logged a start in an installation, in start order.
std::vector<DWORD> StartedPids(const standin::Installation& installation);
// The stand-in main window of a process, top-level or hosted (from its log).
HWND ClientMainWindow(const standin::Installation& installation, DWORD pid);
HWND ClientLoginWindow(const standin::Installation& installation, DWORD pid);
bool ProcessRunning(DWORD pid);

struct Hosted {
  DWORD pid;
  HWND window;
};
// Starts n clients one after the other, each adopted (and its new add tab there) before the
// next starts; empty when any step fails.
std::vector<Hosted> HostClients(TandrelRun& run, int n);

}  // namespace hosttest
