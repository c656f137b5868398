// The desktop shortcut: written through the script host, read through the shell link, and
// the question at start.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/desktop_shortcut.h"
#include "shell_program.h"
#include "util/unique_resource.h"

namespace {

using namespace shell_test;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The shortcut the lnkinfo step of this group reads afterwards from the Linux side.
TEST(Shortcut, CreatesTheShortcutForLnkinfo) {
  const std::string desktop = app::DesktopDirectory();
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(desktop.back(), '\\');
  ASSERT_TRUE(app::CreateDesktopShortcut("TandrelLnkinfoCheck", "D:\\Apps\\X\\tandrel.exe"));
  ASSERT_TRUE(Exists(desktop + "TandrelLnkinfoCheck.lnk"));
  EXPECT_EQ(app::ReadShortcutTarget(desktop + "TandrelLnkinfoCheck.lnk"), "D:\\Apps\\X\\tandrel.exe");
}

TEST(Shortcut, NamesAndReplacement) {
  const std::string desktop = app::DesktopDirectory();
  ASSERT_TRUE(app::CreateDesktopShortcut("a\\b\\Tool.exe", "C:\\windows\\notepad.exe"));
  EXPECT_TRUE(Exists(desktop + "Tool.lnk"));
  DeleteFileA((desktop + "Tool.lnk").c_str());

  ASSERT_TRUE(app::CreateDesktopShortcut("Tool.lnk", "C:\\windows\\notepad.exe"));
  EXPECT_TRUE(Exists(desktop + "Tool.lnk"));
  EXPECT_FALSE(Exists(desktop + "Tool.lnk.lnk"));
  // Created again over the old file: the old one is replaced.
  ASSERT_TRUE(app::CreateDesktopShortcut("Tool.lnk", "C:\\windows\\regedit.exe"));
  EXPECT_EQ(app::ReadShortcutTarget(desktop + "Tool.lnk"), "C:\\windows\\regedit.exe");
  DeleteFileA((desktop + "Tool.lnk").c_str());

  // A target with a single part makes nothing, and an existing file of that name goes.
  ASSERT_TRUE(support::WriteWholeFile(desktop + "Lonely.lnk", "x"));
  EXPECT_FALSE(app::CreateDesktopShortcut("Lonely", "tandrel.exe"));
  EXPECT_FALSE(Exists(desktop + "Lonely.lnk"));
}

// The shell opens each new desktop file for a moment to draw its icon. An old shortcut held
// that way, with or without leave to delete it, is still replaced once it is let go.
TEST(Shortcut, AnOldShortcutHeldOpenForAMomentIsStillReplaced) {
  const std::string link = app::DesktopDirectory() + "Held.lnk";
  const struct {
    const char* holder;
    DWORD share;
  } holders[] = {
      {"reader that forbids deleting", FILE_SHARE_READ},
      {"reader that allows deleting", FILE_SHARE_READ | FILE_SHARE_DELETE},
  };
  for (const auto& holder : holders) {
    SCOPED_TRACE(holder.holder);
    ASSERT_TRUE(support::WriteWholeFile(link, "x"));
    util::UniqueHandle held(CreateFileA(link.c_str(), GENERIC_READ, holder.share, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::thread letGo([&held] {
      Sleep(300);
      held.reset();
    });
    const bool created = app::CreateDesktopShortcut("Held", "C:\\windows\\notepad.exe");
    letGo.join();
    EXPECT_TRUE(created);
    EXPECT_EQ(app::ReadShortcutTarget(link), "C:\\windows\\notepad.exe");
    DeleteFileA(link.c_str());
  }
}

TEST(Shortcut, ReadingWhatIsNoShortcutGivesNothing) {
  support::TempDir dir;
  EXPECT_EQ(app::ReadShortcutTarget(dir.File("absent.lnk")), "");
  ASSERT_TRUE(support::WriteWholeFile(dir.File("junk.lnk"), "not a shortcut"));
  EXPECT_EQ(app::ReadShortcutTarget(dir.File("junk.lnk")), "");
}

// Starts the program in dir and reports whether it asked the question (answered Cancel).
bool StartAsks(const std::string& exe) {
  support::ProgramUnderTest program;
  program.Start(exe);
  HWND main = program.WaitForMainWindow(20000);
  EXPECT_NE(main, nullptr);
  return program.AskedShortcutQuestion();
}

TEST(Shortcut, QuestionAtStartUnlessTheDesktopShortcutPointsAtUs) {
  support::TempDir dir;
  const std::string exe = support::InstallProgram(dir.path());
  const std::string desktopLink = app::DesktopDirectory() + "Tandrel.lnk";
  DeleteFileA(desktopLink.c_str());

  EXPECT_TRUE(StartAsks(exe)) << "no shortcut";
  ASSERT_TRUE(app::CreateDesktopShortcut("Tandrel", exe));
  EXPECT_FALSE(StartAsks(exe)) << "matching shortcut";

  // Same file, other letter case: the comparison is exact, so the question comes.
  std::string upper = exe;
  CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  ASSERT_TRUE(app::CreateDesktopShortcut("Tandrel", upper));
  ASSERT_EQ(app::ReadShortcutTarget(desktopLink), upper);
  EXPECT_TRUE(StartAsks(exe)) << "target in other letter case";

  // A copy under another name expects "tandrel.exe" beside it: the question comes.
  support::ProgramFiles otherName;
  otherName.exeName = "renamed.exe";
  const std::string renamed = support::InstallProgram(dir.path(), otherName);
  ASSERT_TRUE(app::CreateDesktopShortcut("Tandrel", renamed));
  EXPECT_TRUE(StartAsks(renamed)) << "running file has another name";
  DeleteFileA(desktopLink.c_str());
}

}  // namespace
