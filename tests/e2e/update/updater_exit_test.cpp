// The updater's ways out, with the real Hgxcx.exe: each ends the process with its exit code
// and leaves one line in updater.log saying why.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "test_files.h"
#include "tests/support/test_support.h"
#include "util/single_instance.h"
#include "util/unique_resource.h"

using namespace testing_update;

namespace {

// The updater's window title, which names its instance guard.
const char kUpdaterTitle[] = "程序更新";

std::string UpdaterLogPath() {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base))) return {};
  char narrow[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, base, -1, narrow, sizeof narrow, nullptr, nullptr);
  return std::string(narrow) + "\\Tandrel\\updater.log";
}

// The lines process `pid` wrote into the updater's log (and its rotated predecessor).
std::string LinesOfProcess(DWORD pid) {
  std::string lines;
  for (const std::string& path : {UpdaterLogPath() + ".1", UpdaterLogPath()}) {
    const std::string text = ReadBytes(path);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      unsigned long linePid = 0;
      if (std::sscanf(line.c_str(), "%*s %*s %lu", &linePid) == 1 && linePid == pid) lines += line + "\n";
      start = end + 2;
    }
  }
  return lines;
}

class UpdaterExit : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = FreshDirectory("tandrel-updater-exit");
    updater = dir + "\\Hgxcx.exe";
    ASSERT_TRUE(support::CopyFileTo(FromUnixPath(HGXCX_PATH), updater));
  }
  void TearDown() override { RemoveTree(dir); }

  // Runs the updater in dir; its exit code and the log lines it wrote.
  void Run(DWORD& exitCode, std::string& lines) {
    support::Process process = support::StartProcess("\"" + updater + "\"", dir);
    ASSERT_TRUE(process);
    ASSERT_TRUE(support::WaitForExit(process, 20000, &exitCode)) << "the updater kept running";
    lines = LinesOfProcess(process.id);
  }

  std::string dir, updater;
};

TEST_F(UpdaterExit, EndsWhenNothingWasAskedOrTheListIsEmpty) {
  struct Case { const char* dueList; const char* reason; };
  const Case cases[] = {{nullptr, "no due list"}, {"\r\n\r\n", "the due list names no file"}};
  for (const Case& c : cases) {
    const std::string dueList = dir + "\\gxwj.bin";
    ::DeleteFileA(dueList.c_str());
    if (c.dueList) {
      ASSERT_TRUE(WriteBytes(dueList, c.dueList));
    }
    DWORD code = 99;
    std::string lines;
    Run(code, lines);
    EXPECT_EQ(code, 0u) << c.reason;
    EXPECT_NE(lines.find("INFO  updater started"), std::string::npos) << lines;
    EXPECT_NE(lines.find(std::string("updater ends (exit code 0): ") + c.reason), std::string::npos) << lines;
  }
}

TEST_F(UpdaterExit, ASecondUpdaterLeavesTheDueListAlone) {
  // The first updater's guard, held by this test.
  const std::string eventName = util::InstanceEventName(kUpdaterTitle);
  util::UniqueHandle first(CreateEventA(nullptr, FALSE, FALSE, eventName.c_str()));
  ASSERT_TRUE(first);
  const std::string dueList = dir + "\\gxwj.bin";
  const std::string line = "<wjmc>a.dat</wjmc><wjdz>http://127.0.0.1:9/a.dat</wjdz>\r\n";
  ASSERT_TRUE(WriteBytes(dueList, line));
  DWORD code = 99;
  std::string lines;
  Run(code, lines);
  EXPECT_EQ(code, 0u);
  EXPECT_NE(lines.find("updater ends (exit code 0): another updater is running"), std::string::npos) << lines;
  EXPECT_EQ(ReadBytes(dueList), line);
  EXPECT_FALSE(Exists(dir + "\\a.dat.gxtmp"));
}

}  // namespace
