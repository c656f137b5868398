// The tray icon made from the carried icon file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tray.h"
#include "tests/support/test_support.h"
#include "ui/units.h"

namespace {

Bytes IconFile() {
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(support::SourceDir() + "\\resources\\tandrel.ico", &bytes));
  return Bytes(bytes.begin(), bytes.end());
}

std::uint32_t Little32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(TrayIcon, ImageOfTheCarriedIconFileMakesA48By48Icon) {
  const Bytes file = IconFile();
  ASSERT_EQ(file.size(), 9662u);
  const Bytes image = app::FirstIconImage(file);
  // One 48x48 32-bit image: BITMAPINFOHEADER (40) + 48*48*4 colour bytes + 48 rows of 8-byte mask.
  ASSERT_EQ(image.size(), 40u + 48 * 48 * 4 + 48 * 8);
  EXPECT_EQ(Little32(image, 0), 40u);   // biSize
  EXPECT_EQ(Little32(image, 4), 48u);   // biWidth
  EXPECT_EQ(Little32(image, 8), 96u);   // biHeight: colour and mask
  HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.data()), static_cast<DWORD>(image.size()),
                                        TRUE, 0x30000, 48, 48, LR_DEFAULTCOLOR);
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectA(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 48);
  EXPECT_EQ(colour.bmHeight, 48);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

TEST(TrayIcon, BytesThatAreNoIconFileGiveNoImage) {
  const Bytes file = IconFile();
  ASSERT_GE(file.size(), 22u);
  Bytes cursor = file;
  cursor[2] = 2;  // type 2 is a cursor file
  Bytes noImages = file;
  noImages[4] = noImages[5] = 0;
  const Bytes cases[] = {Bytes(), Bytes(file.begin(), file.begin() + 21),
                         Bytes(file.begin(), file.end() - 1),  // image runs past the end
                         cursor, noImages};
  for (const Bytes& bytes : cases) EXPECT_TRUE(app::FirstIconImage(bytes).empty()) << bytes.size();
  // And no tray icon is handed to the shell for them.
  EXPECT_FALSE(app::SetTrayIcon(nullptr, cursor, "Tandrel"));
}

TEST(TrayIcon, TipIsCutTo62BytesOnACharacterBoundary) {
  EXPECT_EQ(app::CutTrayTip("Tandrel"), "Tandrel");
  EXPECT_EQ(app::CutTrayTip(std::string(70, 'a')), std::string(62, 'a'));
  // 61 ASCII bytes then a two-byte character: it does not fit whole, so it goes.
  EXPECT_EQ(app::CutTrayTip(std::string(61, 'a') + "微信"), std::string(61, 'a'));
  EXPECT_EQ(app::CutTrayTip(std::string(60, 'a') + "微信"), std::string(60, 'a') + "微");
}

// A shell that refuses the first `refusals` adds and records every call it gets.
struct RecordingShell {
  struct Call {
    DWORD message;
    HWND window;
    UINT id;
    UINT callbackMessage;
    bool hasIcon;
    std::string tip;
  };
  std::vector<Call> calls;
  int refusals = 0;
  int Adds() const {
    int n = 0;
    for (const Call& c : calls) n += c.message == NIM_ADD;
    return n;
  }
};
RecordingShell* shell = nullptr;

BOOL WINAPI RecordNotifyIcon(DWORD message, PNOTIFYICONDATAA data) {
  shell->calls.push_back({message, data->hWnd, data->uID, data->uCallbackMessage, data->hIcon != nullptr, data->szTip});
  if (message == NIM_ADD && shell->refusals > 0) {
    --shell->refusals;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

class TrayIconShell : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InitialiseUiThread();  // the retries tick on this thread's timer
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    shell = &shell_;
    before_ = app::ReplaceNotifyIconCall(RecordNotifyIcon);
  }
  void TearDown() override {
    app::RemoveTrayIcon(window_);
    app::ReplaceNotifyIconCall(before_);
    shell = nullptr;
    DestroyWindow(window_);
  }
  RecordingShell shell_;
  HWND window_ = nullptr;
  app::NotifyIconCall before_ = nullptr;
};

TEST_F(TrayIconShell, ARefusedAddIsTriedAgainUntilTheShellTakesIt) {
  shell_.refusals = 2;  // no taskbar yet, as at logon
  ASSERT_TRUE(app::SetTrayIcon(window_, IconFile(), "Tandrel"));
  EXPECT_EQ(shell_.Adds(), 1) << "the first try is made at once";
  EXPECT_TRUE(support::WaitFor([&] { return shell_.Adds() == 3; }, 3 * app::kTrayAddRetryMs + 2000));
  support::PumpMessagesFor(2 * app::kTrayAddRetryMs);
  EXPECT_EQ(shell_.Adds(), 3) << "no add after the shell took one";
  const RecordingShell::Call& last = shell_.calls.back();
  EXPECT_EQ(last.window, window_);
  EXPECT_EQ(last.id, 100u);
  EXPECT_EQ(last.callbackMessage, ui::kTrayCallbackMessage);
  EXPECT_TRUE(last.hasIcon);
  EXPECT_EQ(last.tip, "Tandrel");

  // Shown now: a new icon or tip replaces it.
  ASSERT_TRUE(app::SetTrayIcon(window_, IconFile(), "Tandrel 2"));
  EXPECT_EQ(shell_.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell_.calls.back().tip, "Tandrel 2");
}

TEST_F(TrayIconShell, ANewTaskbarGetsTheIconAddedAgain) {
  ASSERT_TRUE(app::SetTrayIcon(window_, IconFile(), "Tandrel"));
  ASSERT_EQ(shell_.Adds(), 1);
  const UINT taskbarCreated = app::TaskbarCreatedMessage();
  ASSERT_NE(taskbarCreated, 0u);
  EXPECT_EQ(taskbarCreated, RegisterWindowMessageA("TaskbarCreated"));
  app::OnTaskbarCreated();
  ASSERT_EQ(shell_.Adds(), 2) << "the new shell does not know the icon: modifying it would fail";
  EXPECT_EQ(shell_.calls.back().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(shell_.calls.back().hasIcon);
  // A new taskbar that is not ready yet is tried again as at logon.
  shell_.refusals = 1;
  app::OnTaskbarCreated();
  EXPECT_TRUE(support::WaitFor([&] { return shell_.Adds() == 4; }, app::kTrayAddRetryMs + 2000));
}

TEST_F(TrayIconShell, NoTriesAfterTheIconWasRemovedOrWhenNoneWasSet) {
  shell_.refusals = 1000;
  ASSERT_TRUE(app::SetTrayIcon(window_, IconFile(), "Tandrel"));
  app::RemoveTrayIcon(window_);
  EXPECT_EQ(shell_.calls.back().message, static_cast<DWORD>(NIM_DELETE));
  app::OnTaskbarCreated();  // the program is on its way out: no icon comes back
  support::PumpMessagesFor(2 * app::kTrayAddRetryMs);
  EXPECT_EQ(shell_.Adds(), 1);
}

}  // namespace
