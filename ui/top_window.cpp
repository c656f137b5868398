// Top-level windows: the main window and the host windows.
#include "ui/control_data.h"

namespace ui {
namespace {

constexpr char kTopWindowClass[] = "TandrelWindow";

LRESULT CALLBACK TopWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* data = reinterpret_cast<ControlData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!data) return DefWindowProcA(hwnd, message, wParam, lParam);
  auto* window = static_cast<TopWindow*>(data->owner);

  if (window->onMessage) {
    LRESULT result = 0;
    bool handled = false;
    RaiseEvent([&] { handled = window->onMessage(message, wParam, lParam, result); });
    if (handled) return result;
  }
  switch (message) {
    case WM_MOVE:
      if (ControlAccess::Loaded(*window) && window->onMoved) RaiseEvent(window->onMoved);
      return 0;
    case WM_CLOSE: {
      bool allow = true;
      if (window->onCloseRequested) RaiseEvent([&] { allow = window->onCloseRequested(); });
      if (allow) DestroyWindow(hwnd);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && ControlAccess::EscClose(*window)) {
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case kTrayCallbackMessage: {
      const TrayEvent event = TrayEventOf(lParam);
      if (event != TrayEvent::kNone && window->onTrayEvent) RaiseEvent([&] { window->onTrayEvent(event); });
      return 0;
    }
    case WM_ENDSESSION:
      if (wParam && window->onSessionEnded) RaiseEvent(window->onSessionEnded);
      return 0;
    case WM_GETMINMAXINFO: {
      // On a small screen the layout grows the window past the screen's size.
      LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMaxTrackSize.x = info->ptMaxTrackSize.x > 4096 ? info->ptMaxTrackSize.x : 4096;
      info->ptMaxTrackSize.y = info->ptMaxTrackSize.y > 4096 ? info->ptMaxTrackSize.y : 4096;
      return result;
    }
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_DESTROY:
      if (window->onDestroyed) RaiseEvent(window->onDestroyed);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

const char* TopWindowClassName() {
  static bool registered = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TopWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // The executable's icon group (id 1) is the windows' icon.
    wc.hIcon = static_cast<HICON>(LoadImageA(wc.hInstance, MAKEINTRESOURCEA(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageA(wc.hInstance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kTopWindowClass;
    return RegisterClassExA(&wc) != 0;
  }();
  (void)registered;
  return kTopWindowClass;
}

TopWindow::TopWindow() { data_->kind = Kind::kTopWindow; }
TopWindow::~TopWindow() { Destroy(); }

void TopWindow::Load(const Design& design, HWND owner, const std::function<void()>& createUnits) {
  CallOnUiThread([&] {
    if (Exists()) return;
    escClose_ = design.escClose;
    DWORD style = WS_CLIPCHILDREN;
    if (design.border) {
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
      if (design.minimiseBox) style |= WS_MINIMIZEBOX;
      if (design.maximiseBox) style |= WS_MAXIMIZEBOX;
    } else {
      style |= WS_POPUP;
    }
    int x = design.x;
    int y = design.y;
    if (design.centreOnScreen) {
      x = (GetSystemMetrics(SM_CXSCREEN) - design.width) / 2;
      y = (GetSystemMetrics(SM_CYSCREEN) - design.height) / 2;
    }
    hwnd_ = CreateWindowExA(0, TopWindowClassName(), design.title.c_str(), style, x, y, design.width, design.height,
                            owner, nullptr, GetModuleHandleA(nullptr), data_.get());
    if (!hwnd_) return;
    loaded_ = true;
    if (createUnits) RaiseEvent(createUnits);
    if (onCreated) RaiseEvent(onCreated);
    // Shown once loading completes, as the form's flag says.
    if (design.visible && Exists()) ShowWindow(hwnd_, SW_SHOW);
  });
}

Text TopWindow::Title() const {
  Text title;
  CallOnUiThread([&] {
    int length = Exists() ? GetWindowTextLengthA(hwnd_) : 0;
    if (length <= 0) return;
    title.assign(static_cast<std::size_t>(length) + 1, '\0');
    int got = GetWindowTextA(hwnd_, &title[0], length + 1);
    title.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  });
  return title;
}

void TopWindow::SetTitle(const Text& title) {
  CallOnUiThread([&] {
    if (Exists()) SetWindowTextA(hwnd_, title.c_str());
  });
}

void TopWindow::SetIcon(HICON big, HICON small) {
  CallOnUiThread([&] {
    if (!Exists()) return;
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  });
}

}  // namespace ui
