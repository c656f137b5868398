// The updater's window: one row per file (name, progress bar, size), refreshed from the
// progress table while the downloads run on a worker thread.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "update/handoff_files.h"
#include "update/install_recovery.h"
#include "update/manifest.h"
#include "updater/end_updater.h"
#include "updater/restart.h"
#include "updater/update_job.h"
#include "updater/updater_layout.h"
#include "updater/updater_window.h"
#include "util/files.h"
#include "util/log.h"
#include "util/program_directory.h"
#include "util/single_instance.h"

namespace updater {
namespace {

const char kClassName[] = "TandrelUpdaterWindow";
// Also the name of the updater's instance guard, which the main program looks for.
constexpr const char* kTitle = update::kUpdaterInstanceName;
constexpr int kWindowWidth = 460;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 200;
constexpr DWORD kPauseBeforeRestartMs = 2000;
// A due list is a few short lines per file; anything near this is not one.
constexpr std::size_t kMaxDueListBytes = 1 << 20;
// The main program that handed off may hold its image for a moment after it ended.
constexpr int kMoveAttempts = 10;

struct RowControls {
  HWND name = nullptr;
  HWND bar = nullptr;
  HWND size = nullptr;
};

// The hidden template row every file's row is copied from.
struct Template {
  struct Control { const char* cls; DWORD style; int x, width, height; };
  Control nameLabel{"STATIC", SS_LEFT, 12, 84, 20};
  Control progressBar{PROGRESS_CLASSA, PBS_SMOOTH, 98, 230, 18};
  Control sizeLabel{"STATIC", SS_LEFT, 336, 104, 20};
};

struct UpdaterState {
  HWND window = nullptr;
  Text directory;
  Text dueList;  // gxwj.bin's text as read, for the failed-update note
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
  HWND made = ::CreateWindowExA(0, control.cls, caption.c_str(), WS_CHILD | control.style, control.x, top,
                                control.width, control.height, State().window, nullptr, ::GetModuleHandleA(nullptr),
                                nullptr);
  if (!made) util::LogLastError("CreateWindowExA (updater row)");
  return made;
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

#ifdef TANDREL_INSTALL_FAULTS
// Test copies of the updater only: TANDREL_END_AFTER_INSTALL_STEP=k ends the process right
// after step k of putting the files in place, as Task Manager or a power cut would.
constexpr UINT kEndedAfterStepExitCode = 77;

std::function<void(int)> EndAfterInstallStepFromEnvironment() {
  char value[16] = {};
  const DWORD length = ::GetEnvironmentVariableA("TANDREL_END_AFTER_INSTALL_STEP", value, sizeof value);
  if (length == 0 || length >= sizeof value) return {};
  const int endAfter = std::atoi(value);
  if (endAfter <= 0) return {};
  return [endAfter](int step) {
    if (step != endAfter) return;
    util::LogWarning("test build: ended after installation step %d", step);
    ::TerminateProcess(::GetCurrentProcess(), kEndedAfterStepExitCode);
  };
}
#endif

void RunDownloads() noexcept {
  try {
    JobLimits limits;
#ifdef TANDREL_INSTALL_FAULTS
    limits.afterInstallStep = EndAfterInstallStepFromEnvironment();
#endif
    const bool replaced =
        RunUpdateJobAndNote(State().directory, State().dueList, State().entries, limits, State().table);
    util::LogInfo("update %s", replaced ? "installed: every file replaced" : "failed: the old files stay");
    if (!::PostMessageA(State().window, WM_TIMER, kRefreshTimer, 0)) util::LogLastError("PostMessageA");
    ::Sleep(kPauseBeforeRestartMs);
    RestartMainProgram(State().directory);
  } catch (...) {
    util::LogCaughtException("RunDownloads");
    EndUpdater(UpdaterExit::kDownloadsFailed);
  }
  EndUpdater(UpdaterExit::kFinished);
}

// The due list's entries; the list is read once and removed, so a later start asks nothing.
std::vector<update::DueEntry> TakeDueList(const Text& path, Text& dueList) {
  if (!util::FileExists(path)) EndUpdater(UpdaterExit::kNoDueList);
  Bytes bytes;
  if (!util::ReadWholeFile(path, bytes, kMaxDueListBytes)) util::LogWarning("%s could not be read", path.c_str());
  dueList.assign(bytes.begin(), bytes.end());
  std::vector<update::DueEntry> entries = update::ParseDueList(dueList);
  if (entries.empty()) EndUpdater(UpdaterExit::kEmptyDueList);
  if (!::DeleteFileA(path.c_str())) util::LogLastError("DeleteFileA (due list)");
  // Names and versions only: the addresses may carry more than the log needs.
  for (const update::DueEntry& entry : entries) {
    util::LogInfo("due: %s%s%s", entry.name.c_str(), entry.version.empty() ? "" : " version ", entry.version.c_str());
  }
  return entries;
}

// Start-up once the window exists.
void OnUpdaterWindowCreated() {
  UpdaterState& state = State();
  ::SetWindowTextA(state.window, kTitle);
  if (!util::ClaimSingleInstance(update::kUpdaterInstanceName)) EndUpdater(UpdaterExit::kSecondInstance);

  state.directory = util::ProgramDirectory();
  // An installation of an earlier run that was cut off is finished or undone before anything
  // else reads or replaces the files.
  const update::RecoveryOutcome recovery = update::RecoverInterruptedInstall(state.directory, kMoveAttempts);
  if (recovery != update::RecoveryOutcome::kNothingToDo)
    util::LogInfo("recovery of an interrupted update: %s", update::RecoveryOutcomeName(recovery));
  state.entries = TakeDueList(state.directory + "\\" + update::kDueListFile, state.dueList);
  util::LogInfo("asked to update %u files in %s", static_cast<unsigned>(state.entries.size()),
                state.directory.c_str());

  const int n = static_cast<int>(state.entries.size());
  RECT frame{};
  ::GetWindowRect(state.window, &frame);
  ::SetWindowPos(state.window, nullptr, 0, 0, frame.right - frame.left, WindowHeight(n), SWP_NOMOVE | SWP_NOZORDER);

  // The template row stays hidden; each file gets its own copy.
  MakeControl(state.design.nameLabel, kFirstRowTop, "合并进度：");
  MakeControl(state.design.progressBar, kFirstRowTop, "");
  MakeControl(state.design.sizeLabel, kFirstRowTop, "");
  for (int i = 1; i <= n; ++i) {
    RowControls row;
    row.name = MakeControl(state.design.nameLabel, RowTop(i), NameLabel(state.entries[i - 1].name));
    row.bar = MakeControl(state.design.progressBar, RowTop(i) + 1, "");
    row.size = MakeControl(state.design.sizeLabel, RowTop(i), "");
    for (HWND control : {row.name, row.bar, row.size}) {
      SetFont(control);
      ::ShowWindow(control, SW_SHOW);
    }
    state.rows.push_back(row);
  }
  HWND noticeLabel = ::CreateWindowExA(0, "STATIC", "注：程序正在自动更新中，请耐心等待！",
                                       WS_CHILD | WS_VISIBLE | SS_LEFT, 12, RowTop(n + 1) + 4, kWindowWidth - 30, 18,
                                       state.window, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  SetFont(noticeLabel);
  if (!::SetTimer(state.window, kRefreshTimer, kRefreshMs, nullptr)) util::LogLastError("SetTimer");

  try {
    std::thread(RunDownloads).detach();
  } catch (...) {
    util::LogCaughtException("starting the download thread");
    EndUpdater(UpdaterExit::kNoWorkerThread);
  }
}

LRESULT CALLBACK UpdaterProc(HWND window, UINT message, WPARAM wp, LPARAM lp) noexcept {
  switch (message) {
    case WM_TIMER:
      if (wp == kRefreshTimer) {
        try {
          RefreshRows();
        } catch (...) {
          util::LogCaughtException("RefreshRows");
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

void RunUpdater(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  if (!::InitCommonControlsEx(&controls)) util::LogWarning("InitCommonControlsEx failed: the progress bars may be missing");
  WNDCLASSA wc{};
  wc.lpfnWndProc = UpdaterProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassA(&wc)) util::LogLastError("RegisterClassA");
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int top = ::GetSystemMetrics(SM_CYSCREEN) / 3;
  State().window = ::CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                     left, top, kWindowWidth, WindowHeight(1), nullptr, nullptr, instance, nullptr);
  if (!State().window) {
    util::LogLastError("CreateWindowExA");
    EndUpdater(UpdaterExit::kNoWindow);
  }
  OnUpdaterWindowCreated();
  ::ShowWindow(State().window, SW_SHOWNORMAL);
  ::UpdateWindow(State().window);
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  if (got < 0) util::LogLastError("GetMessageA");
  EndUpdater(UpdaterExit::kMessageLoopEnded);
}

}  // namespace updater
