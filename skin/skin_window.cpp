#include "skin/skin_window.h"

#include <dwmapi.h>  // the attribute names only: the function is looked up at run time

#include <vector>

#include "util/log.h"

namespace skin {
namespace {

constexpr char kOriginalProc[] = "TandrelSkin.Proc";
constexpr char kActiveFlag[] = "TandrelSkin.Active";
// The caption icon is asked for without waiting on a window that does not answer.
constexpr UINT kIconQueryTimeoutMs = 100;

Skin activeSkin;
HBRUSH faceBrush = nullptr;
HBRUSH fieldBrush = nullptr;

bool IsOurs(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

bool HasCaption(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

bool ClassIs(HWND window, const char* name) {
  char buffer[64] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

// Where the system puts its caption buttons and system-menu icon, found with its own hit
// test, so the buttons are left exactly where the system draws and tracks them.
struct CaptionLayout {
  RECT icon{};                     // the system-menu icon, may be empty
  std::vector<RECT> buttons;       // the system's own caption buttons
};

LRESULT HitTest(HWND window, const RECT& screen, int x, int y) {
  return DefWindowProcA(window, WM_NCHITTEST, 0, MAKELPARAM(screen.left + x, screen.top + y));
}

// The vertical extent of the hit-test code at column x of the caption band.
bool ProbeColumn(HWND window, const RECT& screen, int x, int captionBottom, LRESULT code, RECT& r) {
  int from = -1, to = -1;
  for (int y = 0; y < captionBottom; ++y) {
    if (HitTest(window, screen, x, y) == code) {
      if (from < 0) from = y;
      to = y + 1;
    }
  }
  if (from < 0) return false;
  r.top = from;
  r.bottom = to;
  return true;
}

CaptionLayout MeasureCaption(HWND window, const RECT& screen, int width, int captionBottom) {
  CaptionLayout layout;
  const int middle = captionBottom / 2 + 1;
  // Buttons sit within a few caption heights of the right edge, the icon near the left.
  const int buttonFrom = width > captionBottom * 5 ? width - captionBottom * 5 : 0;
  const int iconTo = captionBottom * 2 < width ? captionBottom * 2 : width;
  struct Run { LRESULT code; int from; int to; };
  std::vector<Run> runs;
  auto scan = [&](int from, int to) {
    for (int x = from; x < to; ++x) {
      LRESULT code = HitTest(window, screen, x, middle);
      if (code != HTCLOSE && code != HTMAXBUTTON && code != HTMINBUTTON && code != HTHELP &&
          code != HTSYSMENU) {
        continue;
      }
      if (!runs.empty() && runs.back().code == code && runs.back().to == x) {
        runs.back().to = x + 1;
      } else {
        runs.push_back({code, x, x + 1});
      }
    }
  };
  scan(0, iconTo < buttonFrom ? iconTo : buttonFrom);
  scan(buttonFrom, width);
  for (const Run& run : runs) {
    RECT r{run.from, 0, run.to, 0};
    if (!ProbeColumn(window, screen, (run.from + run.to) / 2, captionBottom, run.code, r)) continue;
    if (run.code == HTSYSMENU) {
      layout.icon = r;
    } else {
      layout.buttons.push_back(r);
    }
  }
  return layout;
}

HICON SmallIcon(HWND window) {
  DWORD_PTR icon = 0;
  SendMessageTimeoutA(window, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, kIconQueryTimeoutMs, &icon);
  if (!icon) SendMessageTimeoutA(window, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, kIconQueryTimeoutMs, &icon);
  if (!icon) icon = GetClassLongPtrA(window, GCLP_HICONSM);
  if (!icon) icon = GetClassLongPtrA(window, GCLP_HICON);
  return reinterpret_cast<HICON>(icon);
}

void Fill(HDC dc, const RECT& r, Colour colour) {
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Paints over the frame and caption the system has just drawn, leaving its buttons.
void PaintFrame(HWND window) {
  if (!HasCaption(window) || IsIconic(window)) return;
  const bool active = GetPropA(window, kActiveFlag) != nullptr;
  RECT screen;
  GetWindowRect(window, &screen);
  RECT client;
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const int width = screen.right - screen.left, height = screen.bottom - screen.top;
  OffsetRect(&client, -screen.left, -screen.top);
  if (client.top <= 0 || width <= 0 || height <= 0) return;
  int captionBottom = client.top;
  if (GetMenu(window)) captionBottom -= GetSystemMetrics(SM_CYMENU);
  if (captionBottom <= 0) return;

  CaptionLayout layout = MeasureCaption(window, screen, width, captionBottom);
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  for (const RECT& b : layout.buttons) ExcludeClipRect(dc, b.left, b.top, b.right, b.bottom);

  // A menu bar between caption and client keeps the system's drawing.
  if (captionBottom < client.top) ExcludeClipRect(dc, client.left, captionBottom, client.right, client.top);

  const Skin& s = activeSkin;
  // Frame: everything outside the client area and below the caption band.
  Fill(dc, {0, captionBottom, width, height}, active ? s.frameActive : s.frameInactive);
  Fill(dc, {0, 0, width, captionBottom}, active ? s.captionActive : s.captionInactive);
  HBRUSH outline = CreateSolidBrush(s.frameOutline);
  RECT all = {0, 0, width, height};
  FrameRect(dc, &all, outline);
  DeleteObject(outline);

  int textLeft = 6;
  if (layout.icon.right > layout.icon.left) {
    HICON icon = SmallIcon(window);
    const int size = GetSystemMetrics(SM_CXSMICON);
    const int x = layout.icon.left + (layout.icon.right - layout.icon.left - size) / 2;
    const int y = layout.icon.top + (layout.icon.bottom - layout.icon.top - size) / 2;
    if (icon) DrawIconEx(dc, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
    textLeft = layout.icon.right + 4;
  }
  int textRight = width - 6;
  for (const RECT& b : layout.buttons) {
    if (b.left - 4 < textRight) textRight = b.left - 4;
  }

  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  if (title[0] && textRight > textLeft) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      font = CreateFontIndirectW(&metrics.lfCaptionFont);
    }
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, active ? s.captionTextActive : s.captionTextInactive);
    RECT text = {textLeft, 0, textRight, captionBottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    format |= s.captionTextCentred ? DT_CENTER : DT_LEFT;
    DrawTextW(dc, title, -1, &text, format);
    if (oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
  }
  RestoreDC(dc, saved);
  ReleaseDC(window, dc);
}

// True when the window's own procedure left a control's colours at the system's defaults.
bool IsDefaultBrush(LRESULT brush) {
  if (!brush) return true;
  for (int index : {COLOR_BTNFACE, COLOR_WINDOW, COLOR_SCROLLBAR}) {
    if (reinterpret_cast<HBRUSH>(brush) == GetSysColorBrush(index)) return true;
  }
  return false;
}

bool IsStandardControl(HWND control) {
  for (const char* name : {"Static", "Button", "Edit", "ListBox", "ComboBox", "ComboLBox", "#32770"}) {
    if (ClassIs(control, name)) return true;
  }
  return false;
}

LRESULT CallOriginal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProc));
  if (!original) {
    return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
  }
  return IsWindowUnicode(window) ? CallWindowProcW(original, window, message, wParam, lParam)
                                 : CallWindowProcA(original, window, message, wParam, lParam);
}

LRESULT ControlColour(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallOriginal(window, message, wParam, lParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  // Colours the window chose itself (our form's own units) stay as they are.
  if (!IsDefaultBrush(result) || !IsOurs(control) || !IsStandardControl(control)) return result;
  HDC dc = reinterpret_cast<HDC>(wParam);
  const bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, field ? activeSkin.fieldText : activeSkin.controlText);
  SetBkColor(dc, field ? activeSkin.fieldBackground : activeSkin.controlFace);
  return reinterpret_cast<LRESULT>(field ? fieldBrush : faceBrush);
}

// Painting allocates (the caption's layout): a failure costs this frame's look, nothing else.
void PaintFrameSafely(HWND window) noexcept {
  try {
    PaintFrame(window);
  } catch (...) {
    util::LogCaughtException("the skin's frame painting");
  }
}

LRESULT CALLBACK SkinnedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_NCACTIVATE: {
      SetPropA(window, kActiveFlag, wParam ? reinterpret_cast<HANDLE>(1) : nullptr);
      LRESULT result = CallOriginal(window, message, wParam, lParam);
      PaintFrameSafely(window);
      return result;
    }
    case WM_NCPAINT:
    case WM_SETTEXT:
    case WM_SETICON:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
    case WM_STYLECHANGED:
    case WM_SYSCOMMAND:
    case WM_SIZE: {
      // The system draws parts of the caption directly while handling these.
      LRESULT result = CallOriginal(window, message, wParam, lParam);
      if (IsWindow(window)) PaintFrameSafely(window);
      return result;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
      return ControlColour(window, message, wParam, lParam);
    case WM_NCDESTROY: {
      LRESULT result = CallOriginal(window, message, wParam, lParam);
      RemovePropA(window, kOriginalProc);
      RemovePropA(window, kActiveFlag);
      return result;
    }
    default:
      return CallOriginal(window, message, wParam, lParam);
  }
}

// Where desktop composition draws the frame, our painting would not be seen.
void UseClassicFrame(HWND window) {
  static HMODULE dwm = LoadLibraryA("dwmapi.dll");
  if (!dwm) return;
  using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  auto set = reinterpret_cast<SetAttribute>(
      reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  if (!set) return;
  const int policy = DWMNCRP_DISABLED;
  const HRESULT hr = set(window, DWMWA_NCRENDERING_POLICY, &policy, sizeof policy);
  if (FAILED(hr)) util::LogFailure("DwmSetWindowAttribute (rendering policy)", hr);
}

}  // namespace

void SetActiveSkin(const Skin& skin) {
  activeSkin = skin;
  faceBrush = CreateSolidBrush(skin.controlFace);
  fieldBrush = CreateSolidBrush(skin.fieldBackground);
}

bool RestyleWindow(HWND window, bool existing) {
  if (!IsWindow(window) || !IsOurs(window)) return false;
  if (GetPropA(window, kOriginalProc)) return false;  // restyled already
  if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) return false;
  for (const char* name : {"#32768", "IME", "MSCTFIME UI", "tooltips_class32"}) {
    if (ClassIs(window, name)) return false;  // menus and helper windows: no frame to restyle
  }

  const bool unicode = IsWindowUnicode(window) != FALSE;
  LONG_PTR original = unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                              : GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (!original) return false;
  SetPropA(window, kOriginalProc, reinterpret_cast<HANDLE>(original));
  SetPropA(window, kActiveFlag, GetActiveWindow() == window ? reinterpret_cast<HANDLE>(1) : nullptr);
  LONG_PTR skinned = reinterpret_cast<LONG_PTR>(&SkinnedProc);
  if (unicode) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, skinned);
  } else {
    SetWindowLongPtrA(window, GWLP_WNDPROC, skinned);
  }
  UseClassicFrame(window);
  // A window being created paints its frame anyway; an existing one is asked to.
  if (existing && HasCaption(window)) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

}  // namespace skin
