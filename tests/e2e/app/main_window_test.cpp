// The real tandrel.exe on the 1920 by 1080 desktop: layout, the picture it shows,
// the stale updater's deletion at start, and the close paths that only hide it.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/program_under_test.h"

using support::FileExists;

namespace {

// Copies the program as it ships (tandrel.exe, the skin library and the default skin)
// into the test's directory and returns the copy's path.
std::string CopyProgram(const support::TempDir& dir) {
  std::string copy = support::InstallProgram(dir.path());
  EXPECT_FALSE(copy.empty());
  return copy;
}

// Started from another directory than its own, as from a shortcut elsewhere; the shortcut
// question is answered Cancel.
bool StartElsewhere(support::ProgramUnderTest& program, const std::string& exe) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  support::StartOptions options;
  options.currentDirectory = temp;
  return program.Start(exe, options);
}

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 5000) {
  return support::WaitFor(condition, milliseconds);
}

struct ChildInfo {
  HWND hwnd;
  RECT rect;  // in the main window's client coordinates
  std::string text;
};

std::vector<ChildInfo> DirectChildren(HWND main) {
  std::vector<ChildInfo> children;
  for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    ChildInfo info{c, {}, {}};
    GetWindowRect(c, &info.rect);
    MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&info.rect), 2);
    char text[256] = {};
    GetWindowTextA(c, text, sizeof text);
    info.text = text;
    children.push_back(info);
  }
  return children;
}

const ChildInfo* Find(const std::vector<ChildInfo>& children, const std::function<bool(const ChildInfo&)>& match) {
  for (const ChildInfo& c : children)
    if (match(c)) return &c;
  return nullptr;
}

// The screen's pixels over the window, as the user sees them.
struct Screen {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top-down
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y - top) * width + (x - left)] & 0xFFFFFF; }
  int Count(const RECT& r, std::uint32_t rgb) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == rgb;
    return n;
  }
  // Within 32 in every channel: text edges may be smoothed.
  int CountNear(const RECT& r, std::uint32_t rgb) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        std::uint32_t p = At(x, y);
        bool inRange = true;
        for (int shift = 0; shift <= 16; shift += 8) {
          int d = static_cast<int>(p >> shift & 0xFF) - static_cast<int>(rgb >> shift & 0xFF);
          inRange = inRange && d <= 32 && d >= -32;
        }
        n += inRange;
      }
    return n;
  }
};

Screen Capture(const RECT& r) {
  Screen s;
  s.left = r.left;
  s.top = r.top;
  s.width = r.right - r.left;
  s.height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = s.width;
  info.bmiHeader.biHeight = -s.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, s.width, s.height, screen, s.left, s.top, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  s.pixels.assign(p, p + static_cast<std::size_t>(s.width) * s.height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return s;
}

// Leaves the picture of the window in the build tree for a person to look at, always
// under the same name (the support library's screenshots are of the whole desktop and
// numbered).
void SaveScreenshot(const Screen& s, const char* name) {
  const char* fromBed = getenv("TANDREL_SCREENSHOT_DIR");
  const std::string directory =
      fromBed && *fromBed ? support::ToWindowsPath(fromBed) : support::BuildDir() + "\\screenshots";
  CreateDirectoryA(directory.c_str(), nullptr);
  std::vector<std::uint32_t> bgra(s.pixels);
  for (std::uint32_t& p : bgra) p |= 0xFF000000u;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(s.width);
  image.height = static_cast<png_uint_32>(s.height);
  image.format = PNG_FORMAT_BGRA;
  std::string path = directory + "\\" + name;
  EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, bgra.data(), 0, nullptr)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

RECT ClientToScreenRect(HWND main, RECT r) {
  MapWindowPoints(main, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

constexpr std::uint32_t Rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r << 16 | g << 8 | b); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetSystemMetrics(SM_CXSCREEN) != 1920 || GetSystemMetrics(SM_CYSCREEN) != 1080)
      GTEST_SKIP() << "needs the 1920x1080 desktop of the test bed";
  }
};

TEST_F(MainWindowTest, StartsLaidOutOnTheScreenDeletingOnlyTheStaleUpdater) {
  support::TempDir dir;
  std::string exe = CopyProgram(dir);
  ASSERT_TRUE(support::WriteWholeFile(dir.File("gxcx.exe"), "old updater"));
  ASSERT_TRUE(support::WriteWholeFile(dir.File("Hgxcx.exe"), "current updater"));
  support::ProgramUnderTest program;
  ASSERT_TRUE(StartElsewhere(program, exe));
  HWND main = program.WaitForMainWindow(60000);
  ASSERT_NE(main, nullptr);

  EXPECT_FALSE(FileExists(dir.File("gxcx.exe")));
  EXPECT_TRUE(FileExists(dir.File("Hgxcx.exe")));

  // The real window's outer rectangle, read back from the system.
  RECT window{};
  GetWindowRect(main, &window);
  EXPECT_EQ(window.left, 384);
  EXPECT_EQ(window.top, 216);
  EXPECT_EQ(window.right - window.left, 1152);
  EXPECT_EQ(window.bottom - window.top, 648);

  std::vector<ChildInfo> children = DirectChildren(main);
  const ChildInfo* strip = Find(children, [](const ChildInfo& c) { return c.rect.left == 0 && c.rect.right == 82; });
  const ChildInfo* panel = Find(children, [](const ChildInfo& c) { return c.rect.right - c.rect.left == 151; });
  const ChildInfo* notice = Find(children, [](const ChildInfo& c) { return c.text.find("声明") != std::string::npos; });
  const ChildInfo* hint = Find(children, [](const ChildInfo& c) { return c.text == "点击左侧  添加微信"; });
  const ChildInfo* plus = Find(children, [](const ChildInfo& c) {
    return c.rect.right - c.rect.left == 48 && c.rect.bottom - c.rect.top == 48;
  });
  ASSERT_TRUE(strip && panel && notice && hint && plus);
  EXPECT_EQ(strip->rect.top, -1);
  EXPECT_EQ(strip->rect.bottom - strip->rect.top, 602);
  EXPECT_EQ(panel->rect.left, 997);
  EXPECT_EQ(panel->rect.top, -1);
  EXPECT_EQ(panel->rect.bottom - panel->rect.top, 602);
  EXPECT_EQ(notice->text, "  声明：本软件作为分身工具使用，请勿做非法用途。");
  EXPECT_EQ(notice->rect.left, 0);
  EXPECT_EQ(notice->rect.top, 600);
  EXPECT_EQ(notice->rect.right - notice->rect.left, 1152);
  // Both centred on the pane (914 by 599 right of the strip), 20 pixels above its middle.
  EXPECT_EQ(hint->rect.left, 82 + 457 - 220);
  EXPECT_EQ(hint->rect.top, 239);
  EXPECT_EQ(plus->rect.left, 82 + 457 - 24);
  EXPECT_EQ(plus->rect.top, 255);
  // The tab template lies hidden and disabled in the strip, under the tabs made from it.
  std::vector<ChildInfo> inStrip = DirectChildren(strip->hwnd);
  EXPECT_TRUE(Find(inStrip, [](const ChildInfo& c) {
    return c.rect.left == 1 && c.rect.top == 2 && c.rect.right == 81 && c.rect.bottom == 82 &&
           !IsWindowVisible(c.hwnd) && !IsWindowEnabled(c.hwnd);
  }));

  // What the user sees, sampled at points computed from the layout.
  const RECT stripArea = ClientToScreenRect(main, {10, 100, 70, 500});
  const RECT panelArea = ClientToScreenRect(main, {1010, 20, 1130, 400});
  RECT client{};
  GetClientRect(main, &client);  // the bar is as wide as the window, so the frame cuts it
  const RECT noticeArea = ClientToScreenRect(main, {0, 600, client.right, 620});
  const RECT noticeText = ClientToScreenRect(main, {0, 600, 500, 620});
  const RECT hintArea = ClientToScreenRect(main, hint->rect);
  const RECT plusArea = ClientToScreenRect(main, plus->rect);
  Screen screen;
  // Painting finishes a moment after the window shows.
  WaitFor([&] {
    screen = Capture(window);
    return screen.Count(noticeArea, Rgb(72, 149, 227)) > client.right * 20 / 2;
  });
  SaveScreenshot(screen, "main_window.png");
  const int stripPixels = (stripArea.right - stripArea.left) * (stripArea.bottom - stripArea.top);
  const int panelPixels = (panelArea.right - panelArea.left) * (panelArea.bottom - panelArea.top);
  EXPECT_EQ(screen.Count(stripArea, Rgb(128, 128, 128)), stripPixels);
  EXPECT_EQ(screen.Count(panelArea, Rgb(245, 245, 245)), panelPixels);
  EXPECT_GT(screen.Count(noticeArea, Rgb(72, 149, 227)), client.right * 20 * 3 / 4);
  EXPECT_GT(screen.CountNear(noticeText, Rgb(255, 255, 255)), 40);          // the white notice text
  EXPECT_EQ(screen.CountNear(ClientToScreenRect(main, {700, 600, 1100, 620}), Rgb(255, 255, 255)), 0);  // left-aligned
  EXPECT_GT(screen.CountNear(hintArea, Rgb(128, 128, 128)), 300);           // the large grey hint
  EXPECT_GT(screen.Count(plusArea, Rgb(26, 173, 25)), 48 * 48 / 2);      // the green disc
  EXPECT_GT(screen.Count(plusArea, Rgb(255, 255, 255)), 100);           // and its white plus
  // The hint's two halves lie left and right of the plus.
  const RECT leftHalf = {hintArea.left, hintArea.top, plusArea.left, hintArea.bottom};
  const RECT rightHalf = {plusArea.right, hintArea.top, hintArea.right, hintArea.bottom};
  EXPECT_GT(screen.CountNear(leftHalf, Rgb(128, 128, 128)), 100);
  EXPECT_GT(screen.CountNear(rightHalf, Rgb(128, 128, 128)), 100);
}

// Keys as the user types them, to the foreground window.
void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> in;
  for (WORD k : keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    in.push_back(i);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *--it;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    in.push_back(i);
  }
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// Shows the window again as the tray would, and makes it the foreground window.
bool ShowAndActivate(HWND main) {
  ShowWindow(main, SW_RESTORE);
  ShowWindow(main, SW_SHOW);
  SetForegroundWindow(main);
  return WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main) && GetForegroundWindow() == main; });
}

TEST_F(MainWindowTest, CloseBoxAltF4AndEscOnlyHideTheWindow) {
  support::TempDir dir;
  std::string exe = CopyProgram(dir);
  support::ProgramUnderTest program;
  ASSERT_TRUE(StartElsewhere(program, exe));
  HWND main = program.WaitForMainWindow(60000);
  ASSERT_NE(main, nullptr);

  struct Way {
    const char* name;
    std::function<void()> close;
  };
  const Way ways[] = {
      {"WM_CLOSE", [&] { PostMessageA(main, WM_CLOSE, 0, 0); }},
      {"close box (SC_CLOSE)", [&] { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4", [&] { PressKeys({VK_MENU, VK_F4}); }},
      {"Esc", [&] { PressKeys({VK_ESCAPE}); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    ASSERT_TRUE(ShowAndActivate(main));
    way.close();
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
    EXPECT_TRUE(IsIconic(main));  // minimised before it was hidden
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(program.StillRunningAfter(300));
  }
}

}  // namespace
