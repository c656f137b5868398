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

util::UniqueIcon shownIcon;  // the icon the shell currently shows for us
bool iconShown = false;

std::uint32_t Little(const Bytes& b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | b[at + i];
  return value;
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

  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = icon.get();
  const Text cut = CutTrayTip(tip);
  std::memcpy(data.szTip, cut.data(), cut.size());

  // Without an icon the program simply runs on; the failure is only logged.
  if (!Shell_NotifyIconA(iconShown ? NIM_MODIFY : NIM_ADD, &data)) util::LogLastError("Shell_NotifyIconA(add/modify)");
  iconShown = true;
  shownIcon = std::move(icon);  // destroys the icon shown before, if any
  return true;
}

void RemoveTrayIcon(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kTrayIconId;
  // Called on every way out, also before any icon was shown: only a shown one can fail to go.
  if (!Shell_NotifyIconA(NIM_DELETE, &data) && iconShown) util::LogLastError("Shell_NotifyIconA(NIM_DELETE)");
  iconShown = false;
  shownIcon.reset();
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
