// Popup menus: a hidden root whose items form the popup.
#include "ui/control_data.h"

namespace ui {

PopupMenu::PopupMenu(const Text& rootCaption, std::vector<Item> items) : items_(std::move(items)) {
  (void)rootCaption;  // the root is never shown: it only names the menu in the form
  CallOnUiThread([this] {
    menu_ = CreatePopupMenu();
    if (!menu_) return;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const Item& item = items_[i];
      if (!item.visible) continue;
      if (item.caption == "-")
        AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
      else
        AppendMenuA(menu_, MF_STRING, i + 1, item.caption.c_str());
    }
  });
}

PopupMenu::~PopupMenu() {
  HMENU menu = menu_;
  CallOnUiThread([menu] {
    if (menu) DestroyMenu(menu);
  });
}

void PopupMenu::Popup(HWND owner, int x, int y, UINT flags) {
  CallOnUiThread([&] {
    if (!menu_) return;
    UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu_, flags | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    if (chosen == 0 || chosen > items_.size()) return;
    std::function<void()> handler = items_[chosen - 1].onClicked;
    if (handler) RaiseEvent(handler);
  });
}

HMENU PopupMenu::Handle() const { return menu_; }

}  // namespace ui
