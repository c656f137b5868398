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
void ExpectEndsSilently(support::ProgramUnderTest& second) {
  bool showedWindow = false;
  bool ended = support::WaitFor([&] {
    if (!WindowsOf(second.Id(), true).empty()) showedWindow = true;
    return WaitForSingleObject(second.Handle(), 0) == WAIT_OBJECT_0;
  }, 15000, 5);
  ASSERT_TRUE(ended) << "the second copy kept running";
  DWORD code = 1;
  GetExitCodeProcess(second.Handle(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(showedWindow);
}

TEST(SingleInstance, SecondCopyEndsSilentlyWhileTheFirstRuns) {
  support::TempDir dir, otherDir;
  std::string exe = support::InstallProgram(dir.path());
  support::ProgramFiles otherName;
  otherName.exeName = "other name.exe";
  std::string renamed = support::InstallProgram(otherDir.path(), otherName);
  ASSERT_FALSE(exe.empty());
  ASSERT_FALSE(renamed.empty());

  EXPECT_FALSE(InstanceEventExists());
  support::ProgramUnderTest first;
  first.Start(exe);
  HWND main = first.WaitForMainWindow(20000);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(InstanceEventExists());
  // Once the first copy's icon is shown, the tray must not change again.
  const TrayArea tray = SettledTray();

  for (const std::string& path : {exe, renamed}) {
    support::ProgramUnderTest second;
    second.Start(path);
    ASSERT_TRUE(second);
    ExpectEndsSilently(second);
    EXPECT_FALSE(ChangedBox(tray, CaptureTrayArea(), nullptr)) << path;
  }
  // The first copy is untouched and still runs.
  EXPECT_EQ(WaitForSingleObject(first.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(IsWindowVisible(main));

  // Once it has gone, the name is free and a new start becomes the first copy.
  first.End();
  EXPECT_TRUE(support::WaitFor([] { return !InstanceEventExists(); }, 5000));
  support::ProgramUnderTest again;
  again.Start(renamed);
  EXPECT_NE(again.WaitForMainWindow(20000), nullptr);
  EXPECT_TRUE(InstanceEventExists());
}

}  // namespace
