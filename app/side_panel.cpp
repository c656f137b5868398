// The side panel's link picture and customisation label.
#include <windows.h>
#include <shellapi.h>

#include "app/main_form.h"
#include "app/program_state.h"

namespace {
bool StartsWithNoCase(const Text& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}
}  // namespace

bool IsWebAddress(const Text& address) {
  return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

// The address comes from the update server: anything but a web address (a program
// path, a document) is not handed to the shell.
void OnLinkPictureClick() {
  const Text address = Program().LinkAddress;
  if (!IsWebAddress(address)) return;
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OnCustomisationLabelClick() {
  const Text text = "个人功能定制业务：根据个人的需要和需求定制个人专用的功能！\r\n" + Program().ContactText;
  MessageBoxA(Form().MainWindow.Handle(), text.c_str(), "提示信息", MB_ICONINFORMATION | MB_OK | MB_TASKMODAL);
}
