// The child controls: shape box, picture box, label and transparent label. One window
// class; the kind in each control's data decides how it paints and what it raises.
#include "ui/control_data.h"

namespace ui {
namespace {

constexpr char kControlClass[] = "TandrelControl";

HFONT FontOf(const ControlData& data) {
  return data.ownFont ? data.ownFont.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void FillSolid(HDC dc, const RECT& r, Colour colour) {
  util::UniqueBrush brush(CreateSolidBrush(colour));
  FillRect(dc, &r, brush.get());
}

Text WindowText(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return Text();
  Text text(static_cast<std::size_t>(length) + 1, '\0');
  int got = GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

// What lies below a transparent control: the parent paints its client area into dc,
// shifted so that our top-left corner is the origin.
void PaintParentBackground(HWND hwnd, HDC dc) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  POINT origin{0, 0};
  MapWindowPoints(hwnd, parent, &origin, 1);
  POINT previous{};
  OffsetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
  SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

void DrawCaption(HDC dc, const RECT& r, const ControlData& data, const Text& caption, UINT align) {
  util::SelectedObject font(dc, FontOf(data));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, data.textColour);
  RECT box = r;
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
            align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void RaiseLeftButtonDown(ControlData& data) {
  if (data.kind == Kind::kPictureBox) {
    auto* box = static_cast<PictureBox*>(data.owner);
    std::function<void(PictureBox&)> handler = box->onLeftButtonDown;
    if (handler) RaiseEvent([&] { handler(*box); });
  } else if (data.kind == Kind::kTransparentLabel) {
    std::function<void()> handler = static_cast<TransparentLabel*>(data.owner)->onLeftButtonDown;
    if (handler) RaiseEvent(handler);
  }
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* data = reinterpret_cast<ControlData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!data) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      // The bitmap before the DC and the selection last: the selection ends first and hands
      // the bitmap back, so its owner can delete it (a selected bitmap cannot be deleted).
      util::UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right > 0 ? client.right : 1,
                                                       client.bottom > 0 ? client.bottom : 1));
      util::MemoryDc buffer(dc);
      util::SelectedObject selected(buffer.get(), bitmap.get());
      if (selected) {
        PaintControl(hwnd, *data, buffer.get(), client);
        BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
      } else {
        PaintControl(hwnd, *data, dc, client);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(hwnd, &client);
      PaintControl(hwnd, *data, reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_SETCURSOR:
      if (data->handCursor && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      // Disabled controls get no mouse input from the system; a posted press raises nothing either.
      if (IsWindowEnabled(hwnd)) RaiseLeftButtonDown(*data);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

const char* ControlClassName() {
  static bool registered = [] {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kControlClass;
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return kControlClass;
}

HWND CreateControl(HWND parent, ControlData* data, int x, int y, int w, int h, const Text& windowText) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  if (data->kind == Kind::kShapeBox) style |= WS_CLIPCHILDREN;
  return CreateWindowExA(0, ControlClassName(), windowText.c_str(), style, x, y, w, h, parent, nullptr,
                         GetModuleHandleA(nullptr), data);
}

void PaintControl(HWND hwnd, ControlData& data, HDC dc, const RECT& client) {
  switch (data.kind) {
    case Kind::kShapeBox: {
      util::UniqueBrush brush(CreateSolidBrush(data.fill));
      util::UniqueGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, data.outline));
      util::SelectedObject selectedPen(dc, pen.get());
      util::SelectedObject selectedBrush(dc, brush.get());
      Rectangle(dc, client.left, client.top, client.right, client.bottom);
      break;
    }
    case Kind::kPictureBox:
      FillSolid(dc, client, data.fill);
      if (data.picture) DrawPicture(dc, *data.picture, data.mode, client.right, client.bottom);
      break;
    case Kind::kLabel: {
      FillSolid(dc, client, data.fill);
      UINT align = data.align == Align::kCentre ? DT_CENTER : data.align == Align::kRight ? DT_RIGHT : DT_LEFT;
      DrawCaption(dc, client, data, WindowText(hwnd), align);
      break;
    }
    case Kind::kTransparentLabel:
      PaintParentBackground(hwnd, dc);
      DrawCaption(dc, client, data, WindowText(hwnd), DT_CENTER);
      break;
    case Kind::kTopWindow:
      break;
  }
}

// --- ShapeBox ----------------------------------------------------------------

ShapeBox::ShapeBox(Unit& parent, int x, int y, int w, int h, Colour outline, Colour fill) {
  data_->kind = Kind::kShapeBox;
  data_->outline = outline;
  data_->fill = fill;
  CallOnUiThread([&] { hwnd_ = CreateControl(parent.Handle(), data_.get(), x, y, w, h, Text()); });
}
Colour ShapeBox::Outline() const {
  Colour c = 0;
  CallOnUiThread([&] { c = data_->outline; });
  return c;
}
Colour ShapeBox::Fill() const {
  Colour c = 0;
  CallOnUiThread([&] { c = data_->fill; });
  return c;
}
// Children (transparent labels) paint over the fill, so they are redrawn with it.
void ShapeBox::SetOutline(Colour c) {
  CallOnUiThread([&] {
    data_->outline = c;
    if (Exists()) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  });
}
void ShapeBox::SetFill(Colour c) {
  CallOnUiThread([&] {
    data_->fill = c;
    if (Exists()) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  });
}

// --- PictureBox --------------------------------------------------------------

PictureBox::PictureBox(Unit& parent, int x, int y, int w, int h, Colour background, DisplayMode mode) {
  data_->kind = Kind::kPictureBox;
  data_->fill = background;
  data_->mode = mode;
  CallOnUiThread([&] { hwnd_ = CreateControl(parent.Handle(), data_.get(), x, y, w, h, Text()); });
}
PictureBox::~PictureBox() = default;

Colour PictureBox::BackColour() const {
  Colour c = 0;
  CallOnUiThread([&] { c = data_->fill; });
  return c;
}
void PictureBox::SetBackColour(Colour c) {
  CallOnUiThread([&] {
    data_->fill = c;
    if (Exists()) InvalidateRect(hwnd_, nullptr, FALSE);
  });
}
bool PictureBox::SetPicture(const Bytes& imageFile) {
  // Decoding needs no window: done on the calling thread, only the swap is carried over.
  std::shared_ptr<const Picture> picture = DecodePicture(imageFile);
  CallOnUiThread([&] {
    data_->picture = picture;
    if (Exists()) InvalidateRect(hwnd_, nullptr, FALSE);
  });
  return picture != nullptr;
}
void PictureBox::ClearPicture() {
  CallOnUiThread([&] {
    data_->picture.reset();
    if (Exists()) InvalidateRect(hwnd_, nullptr, FALSE);
  });
}
bool PictureBox::HasPicture() const {
  bool has = false;
  CallOnUiThread([&] { has = data_->picture != nullptr; });
  return has;
}
DisplayMode PictureBox::Mode() const { return data_->mode; }

std::unique_ptr<PictureBox> PictureBox::CopyInto(Unit& parent) const {
  std::unique_ptr<PictureBox> copy;
  CallOnUiThread([&] {
    copy = std::make_unique<PictureBox>(parent, Left(), Top(), Width(), Height(), data_->fill, data_->mode);
    copy->data_->picture = data_->picture;
    copy->data_->handCursor = data_->handCursor;
    copy->onLeftButtonDown = onLeftButtonDown;
    copy->SetTag(data_->tag);
    copy->SetDisabled(Disabled());
    copy->SetVisible(Visible());
  });
  return copy;
}

// --- Label -------------------------------------------------------------------

Label::Label(Unit& parent, int x, int y, int w, int h, const Text& caption, Colour text, Colour background,
             Align align) {
  data_->kind = Kind::kLabel;
  data_->textColour = text;
  data_->fill = background;
  data_->align = align;
  CallOnUiThread([&] { hwnd_ = CreateControl(parent.Handle(), data_.get(), x, y, w, h, caption); });
}
Text Label::Caption() const {
  Text caption;
  CallOnUiThread([&] { caption = Exists() ? WindowText(hwnd_) : Text(); });
  return caption;
}
void Label::SetCaption(const Text& caption) {
  CallOnUiThread([&] {
    if (!Exists()) return;
    SetWindowTextA(hwnd_, caption.c_str());
    InvalidateRect(hwnd_, nullptr, FALSE);
  });
}
void Label::SetTextColour(Colour c) {
  CallOnUiThread([&] {
    data_->textColour = c;
    if (Exists()) InvalidateRect(hwnd_, nullptr, FALSE);
  });
}
void Label::SetBackColour(Colour c) {
  CallOnUiThread([&] {
    data_->fill = c;
    if (Exists()) InvalidateRect(hwnd_, nullptr, FALSE);
  });
}
Colour Label::BackColour() const {
  Colour c = 0;
  CallOnUiThread([&] { c = data_->fill; });
  return c;
}

// --- TransparentLabel ----------------------------------------------------------

TransparentLabel::TransparentLabel(Unit& parent, int x, int y, int w, int h, const Text& caption, Colour text,
                                   int fontHeightPx) {
  data_->kind = Kind::kTransparentLabel;
  data_->textColour = text;
  data_->align = Align::kCentre;
  if (fontHeightPx > 0) {
    LOGFONTA font{};
    font.lfHeight = -fontHeightPx;
    font.lfWeight = 400;
    font.lfCharSet = 134;  // GB2312
    lstrcpynA(font.lfFaceName, "黑体", LF_FACESIZE);
    data_->ownFont.reset(CreateFontIndirectA(&font));
  }
  CallOnUiThread([&] { hwnd_ = CreateControl(parent.Handle(), data_.get(), x, y, w, h, caption); });
}
Text TransparentLabel::Caption() const {
  Text caption;
  CallOnUiThread([&] { caption = Exists() ? WindowText(hwnd_) : Text(); });
  return caption;
}
void TransparentLabel::SetCaption(const Text& caption) {
  CallOnUiThread([&] {
    if (!Exists()) return;
    SetWindowTextA(hwnd_, caption.c_str());
    InvalidateRect(hwnd_, nullptr, FALSE);
  });
}

}  // namespace ui
