// The side panel's link picture and customisation label.
#include <windows.h>
#include <shellapi.h>

#include "app/main_form.h"
#include "app/program_state.h"
#include "update/link_address.h"
#include "util/log.h"

// The address comes from the update server: anything but a web address (a program
// path, a document) is not handed to the shell.
void OnLinkPictureClick() {
  const Text address = Program().LinkAddress;
  if (!update::IsOpenableLinkAddress(address)) {
    // The address itself came from the network: not written to the log.
    util::LogWarning("link picture: the link address (%u bytes) is no web address, not opened",
                     static_cast<unsigned>(address.size()));
    return;
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // ShellExecute reports success as a value above 32.
  if (result <= 32) util::LogFailure("ShellExecuteA(link address)", static_cast<long>(result));
}

void OnCustomisationLabelClick() {
  const Text text = "个人功能定制业务：根据个人的需要和需求定制个人专用的功能！\r\n" + Program().ContactText;
  if (!MessageBoxA(Form().mainWindow.Handle(), text.c_str(), "提示信息", MB_ICONINFORMATION | MB_OK | MB_TASKMODAL)) {
    util::LogLastError("MessageBoxA(customisation notice)");
  }
}
