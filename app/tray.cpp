// The notification-area icon, its menu, and the one way the user ends the program.
#include "app/tray.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "app/end_program.h"
#include "app/main_form.h"
#include "app/resources.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace app {
namespace {

constexpr UINT kTrayIconId = 100;
constexpr UINT kTrayCallbackMessage = 0x8064;
constexpr std::size_t kTipBytes = 62;
constexpr int kIconSize = 48;
constexpr DWORD kIconFormatVersion = 0x30000;
constexpr char kTrayTip[] = "Tandrel";

// The icon handed to the shell and what it was handed with: kept so that a refused add can
// be tried again and a new taskbar can be given the icon again. User-interface thread only.
struct TrayIconState {
  HWND window = nullptr;
  util::UniqueIcon icon;  // null: no icon is set
  Text tip;
  bool added = false;  // the shell accepted the add
  int retriesLeft = 0;
};
TrayIconState& Tray() {
  static TrayIconState* state = new TrayIconState;  // lives until the process ends
  return *state;
}
ui::Timer& RetryTimer() {
  static ui::Timer* timer = new ui::Timer;  // its ticks must outlive every static
  return *timer;
}
NotifyIconCall notifyIcon = Shell_NotifyIconA;

std::uint32_t Little(const Bytes& b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | b[at + i];
  return value;
}

NOTIFYICONDATAA IconData(const TrayIconState& tray) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = tray.window;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = tray.icon.get();
  std::memcpy(data.szTip, tray.tip.data(), tray.tip.size());  // cut to fit, the rest stays zero
  return data;
}

// One add of the current icon; true when the shell took it.
bool TryAdd() {
  TrayIconState& tray = Tray();
  if (!tray.icon) return false;
  NOTIFYICONDATAA data = IconData(tray);
  if (!notifyIcon(NIM_ADD, &data)) {
    util::LogLastError("Shell_NotifyIconA(NIM_ADD)");
    return false;
  }
  tray.added = true;
  return true;
}

void OnRetryTick() {
  TrayIconState& tray = Tray();
  if (tray.added || !tray.icon || tray.retriesLeft <= 0) {
    RetryTimer().SetInterval(0);
    return;
  }
  --tray.retriesLeft;
  if (TryAdd()) {
    RetryTimer().SetInterval(0);
    util::LogInfo("tray icon: added on a later try");
  } else if (tray.retriesLeft == 0) {
    RetryTimer().SetInterval(0);
    // Hidden and with nothing hosted the program can then be reached only by a new taskbar.
    util::LogError("tray icon: the shell refused the icon %d times, no more tries", kTrayAddRetries + 1);
  }
}

// Adds now; when the shell refuses, tries again on the timer up to `retries` times.
void StartAdding(int retries) {
  TrayIconState& tray = Tray();
  if (TryAdd()) {
    tray.retriesLeft = 0;
    RetryTimer().SetInterval(0);
    return;
  }
  util::LogWarning("tray icon: the shell refused the icon, trying again every %d ms up to %d times",
                   kTrayAddRetryMs, retries);
  tray.retriesLeft = retries;
  ui::Timer& timer = RetryTimer();
  timer.onTick = OnRetryTick;
  timer.SetInterval(kTrayAddRetryMs);
}

}  // namespace

Text CutTrayTip(const Text& tip) {
  if (tip.size() <= kTipBytes) return tip;
  // Walk whole characters so the cut never splits a two-byte one.
  std::size_t end = 0;
  while (end < kTipBytes) {
    std::size_t step = (util::IsLeadByte(static_cast<unsigned char>(tip[end])) && end + 1 < tip.size()) ? 2 : 1;
    if (end + step > kTipBytes) break;
    end += step;
  }
  return tip.substr(0, end);
}

Bytes TrayIconData() { return LoadResourceBytes(kProgramIconFileId); }

Bytes FirstIconImage(const Bytes& iconFile) {
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries with size at 8 and offset at 12.
  if (iconFile.size() < 22 || Little(iconFile, 0, 2) != 0 || Little(iconFile, 2, 2) != 1 ||
      Little(iconFile, 4, 2) == 0) {
    return {};
  }
  const std::uint32_t size = Little(iconFile, 14, 4);
  const std::uint32_t offset = Little(iconFile, 18, 4);
  if (size == 0 || offset > iconFile.size() || size > iconFile.size() - offset) return {};
  return Bytes(iconFile.begin() + offset, iconFile.begin() + offset + size);
}

bool SetTrayIcon(HWND window, const Bytes& iconFile, const Text& tip) {
  Bytes iconImage = FirstIconImage(iconFile);
  if (iconImage.empty()) {
    util::LogWarning("tray icon: the icon file (%u bytes) holds no usable image, no icon shown",
                     static_cast<unsigned>(iconFile.size()));
    return false;
  }
  util::UniqueIcon icon(CreateIconFromResourceEx(const_cast<PBYTE>(iconImage.data()),
                                                 static_cast<DWORD>(iconImage.size()), TRUE,
                                                 kIconFormatVersion, kIconSize, kIconSize,
                                                 LR_DEFAULTCOLOR));
  if (!icon) {
    util::LogLastError("CreateIconFromResourceEx(tray icon)");
    return false;
  }

  TrayIconState& tray = Tray();
  util::UniqueIcon previous = std::move(tray.icon);  // destroyed once the shell has the new one
  tray.window = window;
  tray.icon = std::move(icon);
  tray.tip = CutTrayTip(tip);
  if (tray.added) {
    NOTIFYICONDATAA data = IconData(tray);
    if (notifyIcon(NIM_MODIFY, &data)) return true;
    // The shell no longer knows the icon (it went without announcing a new taskbar): add it.
    util::LogLastError("Shell_NotifyIconA(NIM_MODIFY)");
    tray.added = false;
  }
  StartAdding(kTrayAddRetries);
  return true;
}

void RemoveTrayIcon(HWND window) {
  TrayIconState& tray = Tray();
  // The way out may run on any thread: the timer is touched only when tries are pending.
  if (tray.retriesLeft > 0) {
    tray.retriesLeft = 0;
    RetryTimer().SetInterval(0);
  }
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kTrayIconId;
  // Called on every way out, also before any icon was shown: only a shown one can fail to go.
  if (!notifyIcon(NIM_DELETE, &data) && tray.added) util::LogLastError("Shell_NotifyIconA(NIM_DELETE)");
  tray.added = false;
  tray.icon.reset();
}

UINT TaskbarCreatedMessage() {
  static const UINT message = [] {
    const UINT registered = RegisterWindowMessageA("TaskbarCreated");
    if (registered == 0) util::LogLastError("RegisterWindowMessageA(TaskbarCreated)");
    return registered;
  }();
  return message;
}

void OnTaskbarCreated() {
  TrayIconState& tray = Tray();
  if (!tray.icon) return;
  util::LogInfo("tray icon: a new taskbar was created, the icon is added again");
  tray.added = false;
  StartAdding(kTrayAddRetries);
}

NotifyIconCall ReplaceNotifyIconCall(NotifyIconCall call) {
  NotifyIconCall before = notifyIcon;
  notifyIcon = call ? call : Shell_NotifyIconA;
  return before;
}

void InstallTrayIcon() { SetTrayIcon(Form().mainWindow.Handle(), TrayIconData(), kTrayTip); }

void ShowMainWindow() {
  if (!OpenIcon(Form().mainWindow.Handle())) util::LogLastError("OpenIcon(main window)");  // restores and activates
  Form().mainWindow.SetVisible(true);
}

void OnTrayEvent(ui::TrayEvent event) {
  if (event == ui::TrayEvent::kLeftButtonUp) {
    ShowMainWindow();
  } else if (event == ui::TrayEvent::kRightButtonUp) {
    HWND main = Form().mainWindow.Handle();
    POINT pointer{};
    if (!GetCursorPos(&pointer)) util::LogLastError("GetCursorPos");
    // Foreground first, WM_NULL after: otherwise the menu stays open when the user clicks elsewhere.
    SetForegroundWindow(main);
    if (Form().trayMenu) Form().trayMenu->Popup(main, pointer.x - 5, pointer.y - 5, TPM_RIGHTALIGN);
    PostMessageA(main, WM_NULL, 0, 0);
  }
  // A double click does nothing: the button-up messages around it show the window.
}

void OnShowWindowCommand() { ShowMainWindow(); }

void OnExitCommand() { EndProgram(ExitReason::kUserExit); }

}  // namespace app
