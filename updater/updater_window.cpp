// The updater's window: one row per file (name, progress bar, size), refreshed from the
// progress table while the downloads run on a worker thread.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <thread>
#include <vector>

#include "update/manifest.h"
#include "updater/instance_guard.h"
#include "updater/restart.h"
#include "updater/update_job.h"
#include "updater/updater_layout.h"
#include "util/unique_resource.h"

namespace updater {
namespace {

const char kClassName[] = "TandrelUpdaterWindow";
const char kTitle[] = "程序更新";
constexpr int kWindowWidth = 460;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 200;
constexpr DWORD kPauseBeforeRestartMs = 2000;

struct RowControls {
  HWND name = nullptr;
  HWND bar = nullptr;
  HWND size = nullptr;
};

struct Template {
  struct Control { const char* cls; DWORD style; int x, width, height; };
  Control 透明标签a{"STATIC", SS_LEFT, 12, 84, 20};
  Control 进度条1{PROGRESS_CLASSA, PBS_SMOOTH, 98, 230, 18};
  Control 透明标签b{"STATIC", SS_LEFT, 336, 104, 20};
};

struct UpdaterState {
  HWND window = nullptr;
  Text directory;
  std::vector<update::DueEntry> entries;
  std::vector<RowControls> rows;
  std::shared_ptr<ProgressTable> table = std::make_shared<ProgressTable>();
  Template design;
};

UpdaterState& State() {
  static UpdaterState state;
  return state;
}

HWND MakeControl(const Template::Control& control, int top, const Text& caption) {
  return ::CreateWindowExA(0, control.cls, caption.c_str(), WS_CHILD | control.style, control.x, top, control.width,
                           control.height, State().window, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

void SetFont(HWND control) {
  ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
}

void RefreshRows() {
  const std::vector<RowStatus> rows = State().table->Snapshot();
  for (std::size_t i = 0; i < rows.size() && i < State().rows.size(); ++i) {
    const RowStatus& row = rows[i];
    const RowControls& controls = State().rows[i];
    Text label;
    if (row.phase == RowPhase::kFailed) {
      label = kFailedLabel;
    } else if (row.total >= 0) {
      const std::int64_t scale = ProgressScale(row.total);
      ::SendMessageA(controls.bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(row.total / scale));
      ::SendMessageA(controls.bar, PBM_SETPOS, static_cast<WPARAM>(row.received / scale), 0);
      label = SizeLabel(row.received, row.total);
    } else {
      label = SizeText(row.received);
    }
    char current[128] = {};
    ::GetWindowTextA(controls.size, current, sizeof current);
    if (label != current) ::SetWindowTextA(controls.size, label.c_str());
  }
}

void RunDownloads() noexcept {
  try {
    JobLimits limits;
    RunUpdateJob(State().directory, State().entries, limits, State().table);
    ::PostMessageA(State().window, WM_TIMER, kRefreshTimer, 0);
    ::Sleep(kPauseBeforeRestartMs);
    RestartMainProgram(State().directory);
  } catch (...) {
  }
  ::TerminateProcess(::GetCurrentProcess(), 0);
}

Text ReadWholeFile(const Text& path) {
  util::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  Text bytes;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

void EndUpdater() { ::TerminateProcess(::GetCurrentProcess(), 0); }

// Start-up once the window exists.
void OnUpdaterWindowCreated() {
  UpdaterState& state = State();
  ::SetWindowTextA(state.window, kTitle);
  EnsureSingleInstance(kTitle);

  state.directory = OwnDirectory();
  const Text dueListPath = state.directory + "\\gxwj.bin";
  if (::GetFileAttributesA(dueListPath.c_str()) == INVALID_FILE_ATTRIBUTES) EndUpdater();
  state.entries = update::ParseDueList(ReadWholeFile(dueListPath));
  if (state.entries.empty()) EndUpdater();
  ::DeleteFileA(dueListPath.c_str());

  const int n = static_cast<int>(state.entries.size());
  RECT frame{};
  ::GetWindowRect(state.window, &frame);
  ::SetWindowPos(state.window, nullptr, 0, 0, frame.right - frame.left, WindowHeight(n), SWP_NOMOVE | SWP_NOZORDER);

  // The template row stays hidden; each file gets its own copy.
  MakeControl(state.design.透明标签a, kFirstRowTop, "合并进度：");
  MakeControl(state.design.进度条1, kFirstRowTop, "");
  MakeControl(state.design.透明标签b, kFirstRowTop, "");
  for (int i = 1; i <= n; ++i) {
    RowControls row;
    row.name = MakeControl(state.design.透明标签a, RowTop(i), NameLabel(state.entries[i - 1].name));
    row.bar = MakeControl(state.design.进度条1, RowTop(i) + 1, "");
    row.size = MakeControl(state.design.透明标签b, RowTop(i), "");
    for (HWND control : {row.name, row.bar, row.size}) {
      SetFont(control);
      ::ShowWindow(control, SW_SHOW);
    }
    state.rows.push_back(row);
  }
  HWND 透明标签3 = ::CreateWindowExA(0, "STATIC", "注：程序正在自动更新中，请耐心等待！", WS_CHILD | WS_VISIBLE | SS_LEFT,
                                  12, RowTop(n + 1) + 4, kWindowWidth - 30, 18, state.window, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  SetFont(透明标签3);
  ::SetTimer(state.window, kRefreshTimer, kRefreshMs, nullptr);

  try {
    std::thread(RunDownloads).detach();
  } catch (...) {
    EndUpdater();
  }
}

LRESULT CALLBACK UpdaterProc(HWND window, UINT message, WPARAM wp, LPARAM lp) noexcept {
  switch (message) {
    case WM_TIMER:
      if (wp == kRefreshTimer) {
        try {
          RefreshRows();
        } catch (...) {
        }
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      // The labels are transparent on the window's background.
      ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      return 0;  // the update ends the window itself
    default:
      break;
  }
  return ::DefWindowProcA(window, message, wp, lp);
}

}  // namespace

int RunUpdater(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  WNDCLASSA wc{};
  wc.lpfnWndProc = UpdaterProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  ::RegisterClassA(&wc);
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int top = ::GetSystemMetrics(SM_CYSCREEN) / 3;
  State().window = ::CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                     left, top, kWindowWidth, WindowHeight(1), nullptr, nullptr, instance, nullptr);
  if (!State().window) return 1;
  OnUpdaterWindowCreated();
  ::ShowWindow(State().window, SW_SHOWNORMAL);
  ::UpdateWindow(State().window);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace updater
