#pragma once
// The form's units as Win32 controls, created and destroyed on the user-interface thread.
// Work for that thread from another one is posted with PostTask (the caller goes on); a
// caller that must have a result uses CallOnUiThread and waits. Unit methods called off
// the user-interface thread are carried there with CallOnUiThread, so they stay correct,
// but the program's workers post their changes instead: a waiting worker would stall
// whenever the user-interface thread is busy (a modal box, a slow window). A worker must
// not hold a lock that the user-interface thread may wait for while it calls a unit method.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "util/text.h"

namespace ui {

using Colour = std::uint32_t;  // 0x00BBGGRR

// Initialised by the first InitialiseUiThread call (process start): the calling thread
// becomes the user-interface thread. Before that call work runs directly on the calling
// thread; once the user-interface thread's message window is gone (the end of the process)
// work is dropped.
void InitialiseUiThread();
bool OnUiThread();
// Queues task to run on the user-interface thread, in posting order, and returns at once
// (on that thread too: the task then runs from its message loop). False when it could not
// be posted (the task is then freed, never run, and the failure logged).
bool PostTask(std::function<void()> task);
// Runs work on the user-interface thread and waits for it; runs it directly when already there.
void CallOnUiThread(const std::function<void()>& work);

// What the user did to the tray icon, as its callback message reports it.
enum class TrayEvent {
  kNone,
  kLeftButtonUp,
  kLeftDoubleClick,
  kRightButtonUp,  // also the context-menu key
};

struct ControlData;  // per-control state, kept by the unit and read by its window procedure

// A visible unit: a child control (or, for TopWindow, a top-level window).
class Unit {
 public:
  virtual ~Unit();
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;

  HWND Handle() const { return hwnd_; }
  bool Exists() const;  // the control has not been destroyed

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int x);
  void SetTop(int y);
  void SetWidth(int w);
  void SetHeight(int h);
  void SetBounds(int x, int y, int w, int h);

  bool Visible() const;
  void SetVisible(bool visible);
  bool Disabled() const;
  void SetDisabled(bool disabled);
  void SetEnabled(bool enabled) { SetDisabled(!enabled); }

  // General-purpose tag. Stored as the control's window text too, so that a test
  // in another process can read it with GetWindowText.
  Text Tag() const;
  void SetTag(const Text& tag);

  void SetHandCursor(bool hand);

  // Destroys the control (user-interface thread; carried there otherwise).
  void Destroy();

 protected:
  Unit();
  HWND hwnd_ = nullptr;
  std::unique_ptr<ControlData> data_;
  friend struct ControlAccess;
};

class TopWindow : public Unit {
 public:
  struct Design {
    int x = 0, y = 0, width = 0, height = 0;
    bool border = true;          // fixed single border with title bar; false: no border
    bool minimiseBox = true;
    bool maximiseBox = false;
    bool centreOnScreen = false;
    bool visible = true;
    bool escClose = false;       // Esc raises close requested
    Text title;
  };
  TopWindow();
  ~TopWindow() override;

  // Creates the window (no owner unless given); raises onCreated after its units exist.
  // `createUnits` runs between creating the window and raising onCreated.
  void Load(const Design& design, HWND owner = nullptr,
            const std::function<void()>& createUnits = nullptr);

  Text Title() const;
  void SetTitle(const Text& title);
  void SetIcon(HICON big, HICON small);

  std::function<void()> onCreated;
  std::function<void()> onMoved;
  std::function<bool()> onCloseRequested;  // false refuses the close
  std::function<void(TrayEvent)> onTrayEvent;
  std::function<void()> onSessionEnded;    // WM_ENDSESSION with the session really ending
  std::function<void()> onDestroyed;       // WM_DESTROY
  // Raw message hook for shell services (tray callback, WM_ENDSESSION): return true when handled.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> onMessage;

 private:
  bool loaded_ = false;  // moved events are raised once the window exists
  bool escClose_ = false;
  friend struct ControlAccess;
};

// The tray icon's callback message and its mapping to the tray event.
constexpr UINT kTrayCallbackMessage = 0x8064;
TrayEvent TrayEventOf(LPARAM mouseMessage);

class ShapeBox : public Unit {
 public:
  ShapeBox(Unit& parent, int x, int y, int w, int h, Colour outline, Colour fill);
  Colour Outline() const;
  Colour Fill() const;
  void SetOutline(Colour c);
  void SetFill(Colour c);
};

enum class DisplayMode {
  kOwnSizeTopLeft,  // at its own size from the top-left corner
  kTiled,           // tiled from the top-left corner
  kCentred,         // centred at own size; scaled down keeping aspect when larger
};

class PictureBox : public Unit {
 public:
  PictureBox(Unit& parent, int x, int y, int w, int h, Colour background, DisplayMode mode);
  ~PictureBox() override;

  Colour BackColour() const;
  void SetBackColour(Colour c);
  // PNG or BMP file bytes; bytes that cannot be decoded leave no picture. Returns
  // whether a picture is now shown.
  bool SetPicture(const Bytes& imageFile);
  void ClearPicture();
  bool HasPicture() const;
  DisplayMode Mode() const;

  // Copies the unit into another parent with its properties and handler (the tabs).
  std::unique_ptr<PictureBox> CopyInto(Unit& parent) const;

  std::function<void(PictureBox&)> onLeftButtonDown;
};

enum class Align { kLeft, kCentre, kRight };

// Label and TransparentLabel keep their caption as the window text; the other kinds
// keep their tag there.
class Label : public Unit {
 public:
  Label(Unit& parent, int x, int y, int w, int h, const Text& caption, Colour text,
        Colour background, Align align);
  Text Caption() const;
  void SetCaption(const Text& caption);
  void SetTextColour(Colour c);
  void SetBackColour(Colour c);
  Colour BackColour() const;
};

class TransparentLabel : public Unit {
 public:
  // fontHeightPx 0: the default GUI font; otherwise 黑体 with LOGFONT height -fontHeightPx,
  // weight 400, charset 134 (GB2312).
  TransparentLabel(Unit& parent, int x, int y, int w, int h, const Text& caption, Colour text,
                   int fontHeightPx);
  Text Caption() const;
  void SetCaption(const Text& caption);
  std::function<void()> onLeftButtonDown;
};

// Non-visual; ticks on the user-interface thread. Interval 0 is stopped.
class Timer {
 public:
  Timer();
  ~Timer();
  void SetInterval(int milliseconds);  // any thread
  int Interval() const;
  std::function<void()> onTick;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class PopupMenu {
 public:
  struct Item {
    Text caption;             // "-" is a separator
    bool visible = true;
    std::function<void()> onClicked;
  };
  // The root item is hidden; its children form the popup.
  PopupMenu(const Text& rootCaption, std::vector<Item> items);
  ~PopupMenu();
  // TrackPopupMenu with the given flags at (x, y), owned by `owner`; the chosen item's
  // handler runs before this returns.
  void Popup(HWND owner, int x, int y, UINT flags);
  HMENU Handle() const;
  const std::vector<Item>& Items() const { return items_; }

 private:
  std::vector<Item> items_;
  HMENU menu_ = nullptr;
};

}  // namespace ui
