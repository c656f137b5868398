// The skin as the program attaches it at start: with, without the skin file, without the library.
#include <windows.h>

#include <gtest/gtest.h>

#include "shell_program.h"

namespace {

using namespace shell_test;

// sefds.she: title bar #1F5FA8 when active, #8095AD when not.
constexpr COLORREF kSkinActive = RGB(0x1F, 0x5F, 0xA8);
constexpr COLORREF kSkinInactive = RGB(0x80, 0x95, 0xAD);

// Pixels of the title bar in a screenshot of the desktop, away from the text and buttons.
std::vector<COLORREF> CaptionPixels(HWND window) {
  RECT w, c;
  GetWindowRect(window, &w);
  GetClientRect(window, &c);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&c), 2);
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  const int y = w.top + (c.top - w.top) / 2;
  for (int percent : {40, 50, 60}) pixels.push_back(GetPixel(screen, w.left + (w.right - w.left) * percent / 100, y));
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool IsSkinColour(COLORREF c) { return c == kSkinActive || c == kSkinInactive; }

TEST(SkinAtStart, DefaultSkinColoursTheTitleBar) {
  support::TempDir dir;
  support::ProgramUnderTest program;
  program.Start(support::InstallProgram(dir.path()));
  HWND main = program.WaitForMainWindow(20000);
  ASSERT_NE(main, nullptr);
  support::PumpMessagesFor(500);
  for (COLORREF c : CaptionPixels(main)) EXPECT_TRUE(IsSkinColour(c)) << std::hex << c;
}

TEST(SkinAtStart, WithoutTheSkinFileTheProgramStartsUnskinned) {
  support::TempDir dir;
  support::ProgramFiles files;
  files.skinFile = false;
  support::ProgramUnderTest program;
  program.Start(support::InstallProgram(dir.path(), files));
  HWND main = program.WaitForMainWindow(20000);
  ASSERT_NE(main, nullptr);
  support::PumpMessagesFor(500);
  for (COLORREF c : CaptionPixels(main)) EXPECT_FALSE(IsSkinColour(c)) << std::hex << c;
  EXPECT_TRUE(InstanceEventExists());
}

// Without the library beside the program the fatal box comes and the program ends, also when
// a copy of the library lies in the current directory: it is loaded from the program's folder
// only, never from the search path.
class WithoutTheLibrary : public ::testing::TestWithParam<bool> {};

TEST_P(WithoutTheLibrary, TheProgramStopsWithTheFatalBox) {
  const bool decoyInCurrentDirectory = GetParam();
  support::TempDir dir;
  support::ProgramFiles files;
  files.skinLibrary = false;
  support::StartOptions options;
  if (decoyInCurrentDirectory) {
    options.currentDirectory = dir.File("elsewhere");
    ASSERT_TRUE(CreateDirectoryA(options.currentDirectory.c_str(), nullptr));
    ASSERT_TRUE(support::CopyFileTo(support::BinDir() + "\\SkinH_EL.dll", options.currentDirectory + "\\SkinH_EL.dll"));
  }
  const TrayArea tray = SettledTray();
  support::ProgramUnderTest program;
  ASSERT_TRUE(program.Start(support::InstallProgram(dir.path(), files), options));
  HWND box = nullptr;
  ASSERT_TRUE(support::WaitFor([&] {
    for (HWND w : WindowsOf(program.Id(), true)) {
      if (MessageBoxText(w).rfind("运行时出错!", 0) == 0) box = w;
    }
    return box != nullptr;
  }, 20000)) << (decoyInCurrentDirectory ? "the library in the current directory was used" : "");
  const std::string text = MessageBoxText(box);
  EXPECT_NE(text.find("无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachEx”"), std::string::npos) << text;
  // The guard has run before, the tray icon would only come later.
  EXPECT_TRUE(InstanceEventExists());
  EXPECT_FALSE(ChangedBox(tray, CaptureTrayArea(), nullptr));

  PostMessageA(box, WM_COMMAND, IDOK, 0);
  DWORD code = 0;
  ASSERT_TRUE(program.WaitForExit(10000, &code)) << "the process went on after the fatal box";
  EXPECT_NE(code, 0u);
  EXPECT_FALSE(ChangedBox(tray, CaptureTrayArea(), nullptr));
}

INSTANTIATE_TEST_SUITE_P(SkinAtStart, WithoutTheLibrary, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& tested) {
                           return tested.param ? std::string("ALibraryInTheCurrentDirectoryIsNotUsed")
                                             : std::string("NoLibraryAnywhere");
                         });

}  // namespace
