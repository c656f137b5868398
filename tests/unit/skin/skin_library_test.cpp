// Our SkinH_EL.dll on real windows: each attach runs in a fresh process (a skin cannot be
// detached), which reports through its exit code what its windows' title bars showed.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "skin/skin_format.h"
#include "tests/support/test_support.h"

namespace {

using Attach = int(__stdcall*)(const char*, const char*);

// The default skin's title bar colours (#1F5FA8 active, #8095AD inactive in sefds.she).
constexpr COLORREF kSkinActive = RGB(0x1F, 0x5F, 0xA8);
constexpr COLORREF kSkinInactive = RGB(0x80, 0x95, 0xAD);
constexpr char kForeignTitle[] = "SkinForeignWindow";

std::string LibraryPath() { return support::BinDir() + "\\SkinH_EL.dll"; }

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

// True when the caption band shows one of the skin's two title bar colours at points
// away from the caption text and the buttons.
bool CaptionIsSkinned(HWND window) {
  RECT w, c;
  GetWindowRect(window, &w);
  GetClientRect(window, &c);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&c), 2);
  const int y = w.top + (c.top - w.top) / 2;
  for (int x : {w.left + (w.right - w.left) * 45 / 100, w.left + (w.right - w.left) * 55 / 100}) {
    COLORREF p = ScreenPixel(x, y);
    if (p != kSkinActive && p != kSkinInactive) return false;
  }
  return true;
}

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) noexcept {
  return DefWindowProcA(w, m, wp, lp);
}

HWND MakeCaptionedWindow(const char* title, int x, int y) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "SkinTestWindow";
    RegisterClassA(&wc);
    registered = true;
  }
  HWND w = CreateWindowExA(0, "SkinTestWindow", title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           x, y, 420, 160, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  return w;
}

// Child: a window before the attach, the attach, a window after it; the foreign window
// (another process) is put into ours as a hosted client would be.
int RunSkinChild(const std::string& skinPath, const std::string& password) {
  HWND before = MakeCaptionedWindow("B", 100, 100);
  support::PumpMessagesFor(300);
  HMODULE library = LoadLibraryA(LibraryPath().c_str());
  auto attach = library ? reinterpret_cast<Attach>(reinterpret_cast<void*>(GetProcAddress(library, "SkinH_AttachEx"))) : nullptr;
  if (!attach) return 9999;
  int result = attach(skinPath.c_str(), password.c_str());
  HWND after = MakeCaptionedWindow("A", 100, 300);
  HWND foreign = FindWindowA(nullptr, kForeignTitle);
  bool foreignSkinnedAtTop = foreign && CaptionIsSkinned(foreign);
  if (foreign) SetParent(foreign, after);
  support::PumpMessagesFor(600);
  bool foreignUntouched = foreign && !foreignSkinnedAtTop && !GetPropA(foreign, "TandrelSkin.Proc");
  if (foreign) SetParent(foreign, nullptr);
  SetForegroundWindow(before);
  support::PumpMessagesFor(300);
  bool beforeSkinned = CaptionIsSkinned(before);
  SetForegroundWindow(after);
  support::PumpMessagesFor(300);
  bool afterSkinned = CaptionIsSkinned(after);
  if (!beforeSkinned || !afterSkinned) support::SaveScreenshot("skin-child-" + std::to_string(result));
  return result * 1000 + beforeSkinned * 100 + afterSkinned * 10 + foreignUntouched;
}

int RunForeignWindow() {
  MakeCaptionedWindow(kForeignTitle, 600, 100);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

// The child modes are chosen before GoogleTest starts.
struct ChildMode {
  ChildMode() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    auto arg = [&](int i) {
      char buffer[MAX_PATH * 2] = {};
      WideCharToMultiByte(CP_ACP, 0, argv[i], -1, buffer, sizeof buffer, nullptr, nullptr);
      return std::string(buffer);
    };
    if (argc >= 4 && arg(1) == "--skin-child") ExitProcess(RunSkinChild(arg(2), arg(3)));
    if (argc >= 2 && arg(1) == "--foreign-window") ExitProcess(RunForeignWindow());
    LocalFree(argv);
  }
} childMode;

std::string SelfPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

int RunChild(const std::string& skinPath, const std::string& password) {
  return static_cast<int>(support::RunProcess(
      "\"" + SelfPath() + "\" --skin-child \"" + skinPath + "\" \"" + password + "\"", 30000));
}

TEST(SkinLibrary, ExportIsUndecorated) {
  HMODULE library = LoadLibraryA(LibraryPath().c_str());
  ASSERT_NE(library, nullptr);
  auto attach = reinterpret_cast<Attach>(reinterpret_cast<void*>(GetProcAddress(library, "SkinH_AttachEx")));
  ASSERT_NE(attach, nullptr);
  EXPECT_EQ(GetProcAddress(library, "_SkinH_AttachEx@8"), nullptr);
  EXPECT_EQ(GetProcAddress(library, "SkinH_AttachEx@8"), nullptr);
  // Called the way the program calls it; nothing to attach from an empty path.
  EXPECT_EQ(attach("", ""), skin::kFileUnreadable);
}

TEST(SkinLibrary, DefaultSkinRestylesOurWindowsBeforeAndAfterButNeverForeignOnes) {
  support::Process foreign = support::StartProcess("\"" + SelfPath() + "\" --foreign-window");
  ASSERT_TRUE(foreign);
  ASSERT_TRUE(support::WaitFor([] { return FindWindowA(nullptr, kForeignTitle) != nullptr; }, 10000));
  int code = RunChild(support::BinDir() + "\\sefds.she", "");
  support::EndProcessAndWait(foreign);
  EXPECT_EQ(code / 1000, skin::kAttached);
  EXPECT_EQ(code / 100 % 10, 1) << "window created before the attach";
  EXPECT_EQ(code / 10 % 10, 1) << "window created after the attach";
  EXPECT_EQ(code % 10, 1) << "foreign window restyled";
}

struct UnusableCase { const char* what; std::string content; const char* password; int status; };

TEST(SkinLibrary, UnusableSkinFilesChangeNothing) {
  std::string good;
  ASSERT_TRUE(support::ReadWholeFile(support::BinDir() + "\\sefds.she", &good));
  // 5ebe2294ecd0e0f08eab7690d2a6ee69 is MD5("secret") (python3 hashlib).
  const std::string locked = "tandrel-skin 1\npassword-md5 = 5ebe2294ecd0e0f08eab7690d2a6ee69\n" +
                             good.substr(good.find('\n') + 1);
  const UnusableCase cases[] = {
      {"missing", "", "", skin::kFileUnreadable},
      {"damaged", good.substr(0, good.size() / 2), "", skin::kFileDamaged},
      {"protected", locked, "", skin::kWrongPassword},
  };
  support::TempDir dir;
  for (const UnusableCase& c : cases) {
    std::string path = dir.File(std::string(c.what) + ".she");
    if (!c.content.empty()) {
      ASSERT_TRUE(support::WriteWholeFile(path, c.content));
    }
    int code = RunChild(path, c.password);
    EXPECT_EQ(code / 1000, c.status) << c.what;
    EXPECT_EQ(code / 10 % 100, 0) << c.what << ": a window was restyled";
  }
  // The right password opens the protected file.
  std::string path = dir.File("protected.she");
  EXPECT_EQ(RunChild(path, "secret") / 10, skin::kAttached * 100 + 11);
}

}  // namespace
