// One copy per session, whatever its file name or folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "util/single_instance.h"
#include "shell_program.h"

namespace {

using namespace shell_test;

TEST(SingleInstance, EventNameIsTheMd5OfTheTitle) {
  EXPECT_EQ(util::InstanceEventName("Tandrel"), kInstanceEventName);
  // MD5 of the fallback text's GBK bytes, from python3:
  // hashlib.md5('你懒得输入，我就写死，略略'.encode('gbk')).hexdigest()
  EXPECT_EQ(util::InstanceEventName(""), "917b41c1b5ace220c8b4dcacd5857727");
}

// Watches a second copy until it ends: it must show no window at any time.
void ExpectEndsSilently(support::Process& second) {
  bool showedWindow = false;
  bool ended = support::WaitFor([&] {
    if (!WindowsOf(second.id, true).empty()) showedWindow = true;
    return WaitForSingleObject(second.handle.get(), 0) == WAIT_OBJECT_0;
  }, 15000, 5);
  ASSERT_TRUE(ended) << "the second copy kept running";
  DWORD code = 1;
  GetExitCodeProcess(second.handle.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(showedWindow);
}

TEST(SingleInstance, SecondCopyEndsSilentlyWhileTheFirstRuns) {
  support::TempDir dir, otherDir;
  std::string exe = InstallProgram(dir.path());
  std::string renamed = InstallProgram(otherDir.path(), "other name.exe");
  ASSERT_FALSE(exe.empty());
  ASSERT_FALSE(renamed.empty());

  EXPECT_FALSE(InstanceEventExists());
  support::Process first = StartProgram(exe);
  ProgramGuard guardFirst{first};
  HWND main = WaitForMainWindow(first.id, 20000);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(InstanceEventExists());
  // Once the first copy's icon is shown, the tray must not change again.
  const TrayArea tray = SettledTray();

  for (const std::string& path : {exe, renamed}) {
    support::Process second = StartProgram(path);
    ProgramGuard guardSecond{second};
    ASSERT_TRUE(second);
    ExpectEndsSilently(second);
    EXPECT_FALSE(ChangedBox(tray, CaptureTrayArea(), nullptr)) << path;
  }
  // The first copy is untouched and still runs.
  EXPECT_EQ(WaitForSingleObject(first.handle.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(IsWindowVisible(main));

  // Once it has gone, the name is free and a new start becomes the first copy.
  support::EndProcessAndWait(first);
  EXPECT_TRUE(support::WaitFor([] { return !InstanceEventExists(); }, 5000));
  support::Process again = StartProgram(renamed);
  ProgramGuard guardAgain{again};
  EXPECT_NE(WaitForMainWindow(again.id, 20000), nullptr);
  EXPECT_TRUE(InstanceEventExists());
}

}  // namespace
