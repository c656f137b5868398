// Properties common to every visible unit, carried to the user-interface thread.
#include "ui/control_data.h"

namespace ui {
namespace {

// Outer rectangle relative to the parent's client area (screen for top-level windows).
RECT BoundsInParent(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  if (parent && parent != GetDesktopWindow()) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

template <class T, class F>
T ReadOnUi(F&& read) {
  T value{};
  CallOnUiThread([&] { value = read(); });
  return value;
}

}  // namespace

Unit::Unit() : data_(std::make_unique<ControlData>()) { data_->owner = this; }

Unit::~Unit() { Destroy(); }

bool Unit::Exists() const { return hwnd_ && IsWindow(hwnd_); }

int Unit::Left() const {
  return ReadOnUi<int>([this] { return Exists() ? static_cast<int>(BoundsInParent(hwnd_).left) : 0; });
}
int Unit::Top() const {
  return ReadOnUi<int>([this] { return Exists() ? static_cast<int>(BoundsInParent(hwnd_).top) : 0; });
}
int Unit::Width() const {
  return ReadOnUi<int>([this] {
    RECT r{};
    return Exists() && GetWindowRect(hwnd_, &r) ? static_cast<int>(r.right - r.left) : 0;
  });
}
int Unit::Height() const {
  return ReadOnUi<int>([this] {
    RECT r{};
    return Exists() && GetWindowRect(hwnd_, &r) ? static_cast<int>(r.bottom - r.top) : 0;
  });
}

void Unit::SetLeft(int x) {
  CallOnUiThread([this, x] {
    if (!Exists()) return;
    RECT r = BoundsInParent(hwnd_);
    SetWindowPos(hwnd_, nullptr, x, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}
void Unit::SetTop(int y) {
  CallOnUiThread([this, y] {
    if (!Exists()) return;
    RECT r = BoundsInParent(hwnd_);
    SetWindowPos(hwnd_, nullptr, r.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}
void Unit::SetWidth(int w) {
  CallOnUiThread([this, w] {
    RECT r{};
    if (!Exists() || !GetWindowRect(hwnd_, &r)) return;
    SetWindowPos(hwnd_, nullptr, 0, 0, w, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}
void Unit::SetHeight(int h) {
  CallOnUiThread([this, h] {
    RECT r{};
    if (!Exists() || !GetWindowRect(hwnd_, &r)) return;
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}
void Unit::SetBounds(int x, int y, int w, int h) {
  CallOnUiThread([this, x, y, w, h] {
    if (Exists()) SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

// The unit's own flag, whatever its parents show.
bool Unit::Visible() const {
  return ReadOnUi<bool>([this] { return Exists() && (GetWindowLongA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; });
}
void Unit::SetVisible(bool visible) {
  CallOnUiThread([this, visible] {
    if (!Exists()) return;
    // Controls and windows put inside another (the host panes) show without taking activation.
    bool inside = GetAncestor(hwnd_, GA_PARENT) != GetDesktopWindow();
    ShowWindow(hwnd_, visible ? (inside ? SW_SHOWNA : SW_SHOW) : SW_HIDE);
  });
}
bool Unit::Disabled() const {
  return ReadOnUi<bool>([this] { return Exists() && !IsWindowEnabled(hwnd_); });
}
void Unit::SetDisabled(bool disabled) {
  CallOnUiThread([this, disabled] {
    if (Exists()) EnableWindow(hwnd_, disabled ? FALSE : TRUE);
  });
}

Text Unit::Tag() const {
  return ReadOnUi<Text>([this] { return data_->tag; });
}
void Unit::SetTag(const Text& tag) {
  CallOnUiThread([this, &tag] {
    data_->tag = tag;
    // Labels show their window text and windows their title: only the others carry the tag there.
    bool textFree = data_->kind == Kind::kPictureBox || data_->kind == Kind::kShapeBox;
    if (Exists() && textFree) SetWindowTextA(hwnd_, tag.c_str());
  });
}

void Unit::SetHandCursor(bool hand) {
  CallOnUiThread([this, hand] { data_->handCursor = hand; });
}

void Unit::Destroy() {
  CallOnUiThread([this] {
    if (Exists()) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  });
}

TrayEvent TrayEventOf(LPARAM mouseMessage) {
  switch (LOWORD(mouseMessage)) {  // the message itself, or its low word in newer versions
    case WM_LBUTTONUP: return TrayEvent::kLeftButtonUp;
    case WM_LBUTTONDBLCLK: return TrayEvent::kLeftDoubleClick;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: return TrayEvent::kRightButtonUp;
    default: return TrayEvent::kNone;
  }
}

}  // namespace ui
