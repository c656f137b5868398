// The test support library: paths, waiting, processes, temporary directories, screenshots.
#include <windows.h>
// GDI+ needs the COM declarations WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_under_test.h"
#include "tests/support/test_support.h"

namespace {

const std::string kProbe = support::ToWindowsPath(SUPPORT_PROBE_PATH);

// Points TANDREL_SCREENSHOT_DIR somewhere else for a while, so the real one gets no test files.
class ScreenshotDirOverride {
 public:
  explicit ScreenshotDirOverride(const std::string& dir) {
    char value[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA("TANDREL_SCREENSHOT_DIR", value, sizeof value);
    had_ = length > 0 && length < sizeof value;
    if (had_) old_.assign(value, length);
    SetEnvironmentVariableA("TANDREL_SCREENSHOT_DIR", dir.c_str());
  }
  ~ScreenshotDirOverride() { SetEnvironmentVariableA("TANDREL_SCREENSHOT_DIR", had_ ? old_.c_str() : nullptr); }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(SupportPaths, UnixPathsBecomeWineDriveZPaths) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"/work/build/tests/bin", "Z:\\work\\build\\tests\\bin"},
               {"/work/build/", "Z:\\work\\build"},
               {"/", "Z:\\"},
               {"C:/Program Files/x", "C:\\Program Files\\x"},
               {"C:\\already\\fine", "C:\\already\\fine"},
               {"relative/dir", "relative\\dir"}};
  for (const Case& c : cases) EXPECT_EQ(support::ToWindowsPath(c.in), c.out) << c.in;
}

TEST(SupportPaths, BuildDirectoriesExistAndHoldThisProgram) {
  EXPECT_NE(GetFileAttributesA(support::BuildDir().c_str()), INVALID_FILE_ATTRIBUTES) << support::BuildDir();
  EXPECT_TRUE(support::FileExists(support::TestBinDir() + "\\support_test.exe")) << support::TestBinDir();
  EXPECT_TRUE(support::FileExists(kProbe));
}

TEST(SupportTempDir, IsFreshAndGoesWithItsContents) {
  std::string path;
  {
    support::TempDir dir;
    ASSERT_TRUE(dir);
    path = dir.path();
    EXPECT_NE(path.find("SupportTempDir.IsFreshAndGoesWithItsContents"), std::string::npos);
    support::TempDir other;
    EXPECT_NE(other.path(), path);
    ASSERT_TRUE(support::WriteWholeFile(dir.File("a.bin"), std::string("x\0y", 3)));
    ASSERT_TRUE(CreateDirectoryA(dir.File("sub").c_str(), nullptr));
    ASSERT_TRUE(support::WriteWholeFile(dir.File("sub\\b.txt"), "b"));
    std::string back;
    ASSERT_TRUE(support::ReadWholeFile(dir.File("a.bin"), &back));
    EXPECT_EQ(back, std::string("x\0y", 3));
  }
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

constexpr UINT kPing = WM_APP + 7;
bool gPinged = false;
LRESULT CALLBACK PingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) noexcept {
  if (m == kPing) {
    gPinged = true;
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

TEST(SupportWaitFor, HandlesMessagesWhileWaitingAndGivesUpAtTheDeadline) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SupportPing";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "SupportPing", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  gPinged = false;
  PostMessageA(w, kPing, 0, 0);
  EXPECT_TRUE(support::WaitFor([] { return gPinged; }, 2000));

  ULONGLONG began = GetTickCount64();
  EXPECT_FALSE(support::WaitFor([] { return false; }, 300));
  EXPECT_GE(GetTickCount64() - began, 290u);
  DestroyWindow(w);
}

TEST(SupportProcesses, ExitCodesAndTimeouts) {
  EXPECT_EQ(support::RunProcess("\"" + kProbe + "\" exit 3", 10000), 3);
  EXPECT_EQ(support::RunProcess("\"" + kProbe + "\" exit 0", 10000), 0);
  support::Process sleeper = support::StartProcess("\"" + kProbe + "\" sleep 60000");
  ASSERT_TRUE(sleeper);
  EXPECT_FALSE(support::WaitForExit(sleeper, 300));
  support::EndProcessAndWait(sleeper);
  EXPECT_TRUE(support::WaitForExit(sleeper, 0));
  EXPECT_EQ(support::RunProcess("\"" + kProbe + "\" sleep 60000", 300), -1);  // ended, not left behind
  EXPECT_FALSE(support::StartProcess("Z:\\no\\such\\program.exe"));
}

bool ProcessRunning(DWORD pid) {
  util::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

TEST(SupportInstallProgram, CopiesTheChosenFilesAndFailsWhenOneIsMissing) {
  struct Case {
    const char* name;
    support::ProgramFiles files;
    std::vector<std::string> present, absent;
  } cases[] = {
      {"shipped", {}, {"tandrel.exe", "SkinH_EL.dll", "sefds.she"}, {"probe.exe"}},
      {"renamed, no skin file", {"", "other name.exe", true, false, false, {}}, {"other name.exe", "SkinH_EL.dll"},
       {"tandrel.exe", "sefds.she"}},
      {"another executable, a file beside", {kProbe, "probe.exe", false, false, false, {kProbe}},
       {"probe.exe", "support_probe.exe"}, {"tandrel.exe", "SkinH_EL.dll"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    support::TempDir dir;
    EXPECT_EQ(support::InstallProgram(dir.path(), c.files), dir.File(c.files.exeName));
    for (const std::string& name : c.present) EXPECT_TRUE(support::FileExists(dir.File(name))) << name;
    for (const std::string& name : c.absent) EXPECT_FALSE(support::FileExists(dir.File(name))) << name;
  }
  support::TempDir dir;
  support::ProgramFiles missing;
  missing.beside = {"Z:\\no\\such\\file.dll"};
  EXPECT_EQ(support::InstallProgram(dir.path(), missing), "");
}

// The probe in "spawn" mode ends by itself and leaves a sleeping copy behind: the object
// ends that one when it goes, although its parent had ended before.
TEST(SupportProgramUnderTest, ReadsTheExitCodeAndEndsWhatTheProgramLeftBehind) {
  support::TempDir dir;
  support::ProgramFiles files;
  files.exe = kProbe;
  files.exeName = "probe.exe";
  files.skinLibrary = files.skinFile = false;
  const std::string exe = support::InstallProgram(dir.path(), files);
  ASSERT_FALSE(exe.empty());

  DWORD code = 0;
  {
    support::ProgramUnderTest program;
    support::StartOptions options;
    options.arguments = "exit 7";
    ASSERT_TRUE(program.Start(exe, options));
    ASSERT_TRUE(program.WaitForExit(10000, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(program.Running());
  }

  DWORD child = 0;
  {
    support::ProgramUnderTest program;
    support::StartOptions options;
    options.arguments = "spawn \"" + dir.File("child.txt") + "\"";
    ASSERT_TRUE(program.Start(exe, options));
    ASSERT_TRUE(program.WaitForExit(20000, &code));
    EXPECT_EQ(code, 0u);
    std::string pid;
    ASSERT_TRUE(support::ReadWholeFile(dir.File("child.txt"), &pid));
    child = static_cast<DWORD>(std::stoul(pid));
    EXPECT_TRUE(ProcessRunning(child)) << "the probe's child should still sleep";
  }
  EXPECT_FALSE(ProcessRunning(child));

  EXPECT_FALSE(support::ProgramUnderTest().Start(""));
  support::ProgramUnderTest absent;
  EXPECT_FALSE(absent.Start(dir.File("absent.exe")));
  EXPECT_FALSE(absent.Running());
}

// The PNG is read back by GDI+ (an independent decoder), at the place of a window we drew.
TEST(SupportScreenshot, PngOfTheDesktopShowsOurWindow) {
  support::TempDir dir;
  ASSERT_TRUE(dir);
  const COLORREF colour = RGB(10, 200, 120);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = CreateSolidBrush(colour);
  wc.lpszClassName = "SupportScreenshotProbe";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 300, 200, 120, 80, nullptr,
                           nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  UpdateWindow(w);
  support::PumpMessagesFor(300);

  std::string path, second;
  {
    ScreenshotDirOverride here(dir.path());
    path = support::SaveScreenshot("Support/Probe");
    second = support::SaveScreenshot("Support/Probe");
  }
  DestroyWindow(w);
  ASSERT_EQ(path, dir.File("Support_Probe.png"));
  EXPECT_EQ(second, dir.File("Support_Probe-2.png"));

  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  {
    std::wstring wide(path.begin(), path.end());
    Gdiplus::Bitmap image(wide.c_str());
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(static_cast<int>(image.GetWidth()), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(static_cast<int>(image.GetHeight()), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    int x0 = GetSystemMetrics(SM_XVIRTUALSCREEN), y0 = GetSystemMetrics(SM_YVIRTUALSCREEN);
    for (POINT p : {POINT{300, 200}, POINT{419, 279}, POINT{360, 240}}) {
      Gdiplus::Color c;
      ASSERT_EQ(image.GetPixel(p.x - x0, p.y - y0, &c), Gdiplus::Ok);
      EXPECT_EQ(RGB(c.GetR(), c.GetG(), c.GetB()), colour) << p.x << "," << p.y;
    }
  }
  Gdiplus::GdiplusShutdown(token);
}

TEST(SupportScreenshot, AFailingTestLeavesOneNamedAfterIt) {
  struct Case {
    bool fail;
    DWORD exitCode;
    bool screenshot;
  } cases[] = {{true, 1, true}, {false, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail);
    support::TempDir dir;
    ScreenshotDirOverride here(dir.path());
    SetEnvironmentVariableA("TANDREL_PROBE_FAIL", c.fail ? "1" : nullptr);
    support::Process probe = support::StartProcess("\"" + kProbe + "\" --gtest_color=no");
    SetEnvironmentVariableA("TANDREL_PROBE_FAIL", nullptr);
    DWORD code = 99;
    ASSERT_TRUE(support::WaitForExit(probe, 30000, &code));
    EXPECT_EQ(code, c.exitCode);
    std::string png;
    EXPECT_EQ(support::ReadWholeFile(dir.File("Probe.Fails.png"), &png), c.screenshot);
    if (c.screenshot) {
      EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    }
  }
}

}  // namespace
