#pragma once
// Inside the form units: the state each control's window procedure reads, and the
// window classes. Only app/form/*.cpp include this.
#include <windows.h>

#include <memory>

#include "ui/picture.h"
#include "ui/units.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace ui {

enum class Kind { kTopWindow, kShapeBox, kPictureBox, kLabel, kTransparentLabel };

// Lives as long as the unit; the window keeps a pointer to it (GWLP_USERDATA) until
// WM_NCDESTROY. Touched on the user-interface thread only.
struct ControlData {
  Kind kind = Kind::kShapeBox;
  Unit* owner = nullptr;
  Text tag;
  bool handCursor = false;
  Colour outline = 0;
  Colour fill = 0;        // shape box fill, picture box and label background
  Colour textColour = 0;
  Align align = Align::kLeft;
  DisplayMode mode = DisplayMode::kOwnSizeTopLeft;
  std::shared_ptr<const Picture> picture;  // shared by copies of a picture box
  util::UniqueFont ownFont;  // none: the default GUI font
};

struct ControlAccess {
  static ControlData& Data(Unit& unit) { return *unit.data_; }
  static const ControlData& Data(const Unit& unit) { return *unit.data_; }
  static void SetHandle(Unit& unit, HWND hwnd) { unit.hwnd_ = hwnd; }
  static bool& Loaded(TopWindow& window) { return window.loaded_; }
  static bool EscClose(const TopWindow& window) { return window.escClose_; }
};

// Registers the window classes once (user-interface thread).
const char* ControlClassName();
const char* TopWindowClassName();

// Creates a child control of `parent` for `data` (user-interface thread). The style
// adds WS_CHILD | WS_CLIPSIBLINGS and WS_VISIBLE.
HWND CreateControl(HWND parent, ControlData* data, int x, int y, int w, int h, const Text& windowText);

// Paints a control's client area into dc (buffered by the caller).
void PaintControl(HWND hwnd, ControlData& data, HDC dc, const RECT& client);

// Runs an event handler; nothing thrown by it leaves the window procedure.
template <class F>
void RaiseEvent(F&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    util::LogCaughtException("an event handler");
  }
}

}  // namespace ui
