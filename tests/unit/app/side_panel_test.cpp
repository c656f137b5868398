// The customisation label's notice: fixed line, CR LF, then the contact text.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/units.h"
#include "app/main_form.h"
#include "app/program_state.h"
#include "tests/support/test_support.h"

namespace {

struct SeenBox {
  std::string title, text;
};

// Waits on another thread for the box, reads it and presses OK.
SeenBox ShowNoticeAndRead() {
  SeenBox seen;
  std::atomic<bool> found{false};
  const DWORD pid = GetCurrentProcessId();
  std::thread reader([&] {
    support::WaitFor(
        [&] {
          HWND box = nullptr;
          while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner != pid || !IsWindowVisible(box)) continue;
            char buffer[512] = {};
            GetWindowTextA(box, buffer, sizeof buffer);
            seen.title = buffer;
            GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);  // the message box's text
            seen.text = buffer;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            found = true;
            return true;
          }
          return false;
        },
        10000);
  });
  OnCustomisationLabelClick();  // returns once the box is closed
  reader.join();
  EXPECT_TRUE(found);
  return seen;
}

TEST(SidePanel, CustomisationNoticeCarriesTheContactText) {
  ui::InitialiseUiThread();
  InitialiseProgramState();
  const std::string fixed = "个人功能定制业务：根据个人的需要和需求定制个人专用的功能！";

  Program().ContactText = "QQ：12345";
  SeenBox withContact = ShowNoticeAndRead();
  EXPECT_EQ(withContact.title, "提示信息");
  EXPECT_EQ(withContact.text, fixed + "\r\nQQ：12345");

  // Nothing known yet: the fixed line and an empty line.
  Program().ContactText.clear();
  EXPECT_EQ(ShowNoticeAndRead().text, fixed + "\r\n");
}

}  // namespace
