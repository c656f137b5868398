// The whole forced update with the real programs: a tandrel.exe built to ask this test's
// loopback server finds a newer tandrel.exe and a new data file, hands off to the updater it
// carries, and ends; the updater replaces both and starts the new tandrel.exe, which then
// finds nothing due and keeps running.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <set>

#include "loopback_server.h"
#include "manifest_signer.h"
#include "test_files.h"
#include "tests/support/program_log.h"
#include "tests/support/program_under_test.h"

using namespace testing_update;

namespace {

const char kUpdateMessage[] = "发现新版本，程序强制更新！";
const char kShortcutQuestion[] = "你是否需要创建桌面Tandrel的快捷方式？";

std::string WindowText(HWND window) {
  char text[1024] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string StaticTexts(HWND dialog) {
  std::string texts;
  HWND child = nullptr;
  while ((child = ::FindWindowExA(dialog, child, nullptr, nullptr)) != nullptr) {
    std::string cls = support::WindowClassOf(child);
    for (char& c : cls) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    if (cls == "static") texts += WindowText(child);
  }
  return texts;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM list) noexcept {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  return pid;
}

void Press(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// What the test saw while it polled.
struct Watch {
  int updateMessages = 0;
  int shortcutQuestions = 0;
  std::vector<std::string> otherBoxes;
  int updaterWindowHeight = 0;
  std::set<DWORD> tandrelProcesses;  // processes that showed a window titled "Tandrel"
};

// Answers the boxes of the programs under test: the shortcut offer is declined; the update
// notice is acknowledged after onUpdateMessage has looked at the directory.
void Poll(Watch& watch, const std::function<void()>& onUpdateMessage) {
  for (HWND w : TopLevelWindows()) {
    if (!::IsWindowVisible(w)) continue;
    const std::string title = WindowText(w);
    if (title == "Tandrel") watch.tandrelProcesses.insert(ProcessOf(w));
    if (title == "程序更新") {
      RECT r{};
      ::GetWindowRect(w, &r);
      watch.updaterWindowHeight = r.bottom - r.top;
    }
    if (support::WindowClassOf(w) != "#32770") continue;
    const std::string text = StaticTexts(w);
    if (title == "提示信息" && text.find(kShortcutQuestion) != std::string::npos) {
      ++watch.shortcutQuestions;
      Press(w, IDCANCEL);
    } else if (title == "提示信息" && text.find(kUpdateMessage) != std::string::npos) {
      ++watch.updateMessages;
      onUpdateMessage();
      Press(w, IDOK);
    } else {
      watch.otherBoxes.push_back(title + ": " + text);
      Press(w, IDCANCEL);
      Press(w, IDOK);
    }
  }
}

bool WaitFor(Watch& watch, DWORD timeoutMs, const std::function<bool()>& done,
             const std::function<void()>& onUpdateMessage = [] {}) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < timeoutMs) {
    Poll(watch, onUpdateMessage);
    if (done()) return true;
    ::Sleep(100);
  }
  return false;
}

int Count(const std::vector<std::string>& paths, const std::string& path) {
  int n = 0;
  for (const std::string& p : paths) n += p == path;
  return n;
}

bool Alive(DWORD pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return false;
  const bool alive = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return alive;
}

// The current program, with the skin library when the build has one, in app.
std::string InstallCurrentProgram(const std::string& app) {
  support::ProgramFiles current;
  current.exe = ExecutableDirectory() + "\\update_current\\tandrel.exe";
  current.skinLibrary = current.skinFile = false;
  const std::string skin = FromUnixPath(SKIN_LIBRARY_PATH);
  if (!skin.empty()) current.beside.push_back(skin);
  return support::InstallProgram(app, current);
}

TEST(UpdateEndToEnd, NewerProgramAndNewFileAreFetchedAndTheNewProgramFindsNothingDue) {
  const std::string bin = ExecutableDirectory();
  const std::string oldExe = ReadBytes(bin + "\\update_current\\tandrel.exe");
  const std::string newExe = ReadBytes(bin + "\\update_next\\tandrel.exe");
  const std::string updaterImage = ReadBytes(bin + "\\..\\..\\updater\\Hgxcx.payload");
  ASSERT_FALSE(oldExe.empty());
  ASSERT_FALSE(newExe.empty());
  ASSERT_FALSE(updaterImage.empty());
  ASSERT_NE(oldExe, newExe);

  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  const std::string files = server.Address("/tandrel/gxdata/");
  Answer a;
  a.body = u8"联系方式：QQ 10001";
  server.Set("/tandrel/gxdata/lianxixinxi.dat", a);
  a.body = "http://tandrel.example/";
  server.Set("/tandrel/gxdata/tblianjie.dat", a);
  // Signed with the key the test copies trust, each file pinned by its hash, as publish writes it.
  const std::string exeHash = Sha256HexOf(newExe), dataHash = Sha256HexOf("new data file");
  ServeSignedManifest(server, "<yingyong>tandrel.exe</yingyong><banben>" TANDREL_NEXT_VERSION "</banben><dizhi>" +
                                  files + "tandrel.exe</dizhi><sha256>" + exeHash +
                                  "</sha256>\r\n<yingyong>readme.dat</yingyong><banben></banben><dizhi>" + files +
                                  "readme.dat</dizhi><sha256>" + dataHash + "</sha256>\r\n");
  a.body = newExe;
  server.Set("/tandrel/gxdata/tandrel.exe", a);
  a.body = "new data file";
  server.Set("/tandrel/gxdata/readme.dat", a);

  const std::string root = FreshDirectory("tandrel-e2e");
  const std::string app = root + "\\app";
  ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
  const std::string skin = FromUnixPath(SKIN_LIBRARY_PATH);
  const std::string installed = InstallCurrentProgram(app);
  ASSERT_FALSE(installed.empty());
  ASSERT_TRUE(ReadBytes(installed) == oldExe) << "the installed copy must be the current program";

  // The boxes of every copy (the restarted one too) are answered by the watch below; the
  // helper only starts this one and, at the end, ends it and what it started.
  support::ProgramUnderTest first;
  support::StartOptions leaveTheQuestion;
  leaveTheQuestion.question = support::ShortcutQuestion::kLeave;
  ASSERT_TRUE(first.Start(installed, leaveTheQuestion));

  // The hand-off files are in place while the notice is shown.
  std::string iniValue, dueList, writtenUpdater;
  auto lookAtHandoff = [&] {
    char value[64] = {};
    ::GetPrivateProfileStringA("tysj", "yxmc", "", value, sizeof value, (app + "\\sdhwt.ini").c_str());
    iniValue = value;
    dueList = ReadBytes(app + "\\gxwj.bin");
    writtenUpdater = ReadBytes(app + "\\Hgxcx.exe");
  };
  Watch watch;
  const bool firstEnded = WaitFor(
      watch, 60000, [&] { return !first.Running(); }, lookAtHandoff);
  ASSERT_TRUE(firstEnded) << "the program did not end after the notice";
  EXPECT_EQ(watch.updateMessages, 1);
  EXPECT_EQ(iniValue, "tandrel.exe");
  EXPECT_EQ(dueList, "<wjmc>tandrel.exe</wjmc><wjdz>" + files + "tandrel.exe</wjdz><wjbb>" TANDREL_NEXT_VERSION
                     "</wjbb><sha256>" + exeHash + "</sha256>\r\n<wjmc>readme.dat</wjmc><wjdz>" + files +
                     "readme.dat</wjdz><sha256>" + dataHash + "</sha256>\r\n");
  EXPECT_TRUE(writtenUpdater == updaterImage) << "Hgxcx.exe must be the carried updater, byte for byte";

  // The updater replaces both files, removes gxwj.bin and starts the program again, which asks
  // the server a second time.
  const bool updated = WaitFor(watch, 90000, [&] {
    return ReadBytes(app + "\\tandrel.exe") == newExe && ReadBytes(app + "\\readme.dat") == "new data file" &&
           !Exists(app + "\\gxwj.bin") && Count(server.RequestedPaths(), "/tandrel/gxdata/txgeng.dat") >= 2;
  });
  EXPECT_TRUE(updated) << "updater did not finish";
  EXPECT_EQ(watch.updaterWindowHeight, 128) << "two rows: (2 - 1) * 24 + 104";

  // The new program finds nothing due: no second notice, no second download, and it keeps running.
  std::set<DWORD> restarted;
  WaitFor(watch, 8000, [&] {
    restarted.clear();
    for (DWORD pid : watch.tandrelProcesses) {
      if (pid != first.Id() && Alive(pid)) restarted.insert(pid);
    }
    return false;  // watch the whole time
  });
  EXPECT_EQ(watch.updateMessages, 1);
  EXPECT_EQ(Count(server.RequestedPaths(), "/tandrel/gxdata/tandrel.exe"), 1);
  EXPECT_EQ(Count(server.RequestedPaths(), "/tandrel/gxdata/readme.dat"), 1);
  EXPECT_EQ(restarted.size(), 1u) << "the restarted program must still be running";
  std::string others;
  for (const std::string& box : watch.otherBoxes) others += box + "\n";
  EXPECT_TRUE(others.empty()) << others;

  first.End();  // the restarted program, which the updater started
  // Only the expected files are left: no download or backup beside them.
  std::set<std::string> names;
  for (const auto& file : Snapshot(app)) names.insert(file.first);
  std::set<std::string> expected = {"tandrel.exe", "readme.dat", "sdhwt.ini", "Hgxcx.exe"};
  if (!skin.empty()) expected.insert("SkinH_EL.dll");
  for (const std::string& name : names) {
    EXPECT_TRUE(expected.count(name) || name == "route.dat") << "unexpected file " << name;
  }
  EXPECT_EQ(Snapshot(root).size(), Snapshot(app).size() + 1) << "nothing written beside the program's folder";
  server.Stop();
  RemoveTree(root);
}

// A file the server cannot give: the updater fails and starts the program again, which must
// not hand the same list straight back (that went round for ever); the start after tries again.
TEST(UpdateEndToEnd, AFailingUpdateIsNotHandedStraightBackButTriedAgainAtTheStartAfter) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  const std::string files = server.Address("/tandrel/gxdata/");
  Answer a;
  const std::string hash = Sha256HexOf("readme");
  ServeSignedManifest(server, "<yingyong>readme.dat</yingyong><banben></banben><dizhi>" + files +
                                  "readme.dat</dizhi><sha256>" + hash + "</sha256>\r\n");
  a.status = 404;
  a.body = "not here";
  server.Set("/tandrel/gxdata/readme.dat", a);
  const std::string dueList =
      "<wjmc>readme.dat</wjmc><wjdz>" + files + "readme.dat</wjdz><sha256>" + hash + "</sha256>\r\n";

  const std::string root = FreshDirectory("tandrel-e2e-loop");
  const std::string app = root + "\\app";
  ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
  const std::string installed = InstallCurrentProgram(app);
  ASSERT_FALSE(installed.empty());
  const std::string note = app + "\\gxsb.bin";
  support::StartOptions leaveTheQuestion;
  leaveTheQuestion.question = support::ShortcutQuestion::kLeave;

  Watch watch;
  {
    support::ProgramUnderTest first;
    ASSERT_TRUE(first.Start(installed, leaveTheQuestion));
    ASSERT_TRUE(WaitFor(watch, 60000, [&] { return !first.Running(); })) << "no hand-off";
    EXPECT_EQ(watch.updateMessages, 1);
    // The updater fails, notes the list and starts the program again, which goes on this once.
    const bool restartedNormally = WaitFor(watch, 60000, [&] {
      return Count(server.RequestedPaths(), "/tandrel/gxdata/txgeng.dat") >= 2 &&
             ReadBytes(note) == "skipped\r\n" + dueList;
    });
    EXPECT_TRUE(restartedNormally) << "note: " << ReadBytes(note);
    WaitFor(watch, 6000, [] { return false; });  // long enough for a second notice to show
    EXPECT_EQ(watch.updateMessages, 1) << "the same failing list was handed straight back";
    int running = 0;
    for (DWORD pid : watch.tandrelProcesses) running += pid != first.Id() && Alive(pid);
    EXPECT_EQ(running, 1) << "the restarted program must go on running";
    first.End();  // the restarted program
  }
  {
    // The start after that tries the update again.
    support::ProgramUnderTest third;
    ASSERT_TRUE(third.Start(installed, leaveTheQuestion));
    EXPECT_TRUE(WaitFor(watch, 60000, [&] { return watch.updateMessages == 2; })) << "no second try";
    EXPECT_TRUE(WaitFor(watch, 60000, [&] { return ReadBytes(note) == "skipped\r\n" + dueList &&
                                                    Count(server.RequestedPaths(), "/tandrel/gxdata/txgeng.dat") >= 4; }))
        << "the second failure did not end in one normal start; note: " << ReadBytes(note);
    third.End();
  }
  std::string others;
  for (const std::string& box : watch.otherBoxes) others += box + "\n";
  EXPECT_TRUE(others.empty()) << others;
  server.Stop();
  RemoveTree(root);
}

// Whoever stands between the program and the server may serve a manifest of their own: without
// the built-in key's signature over its exact bytes it lists nothing, so no file is touched and
// start-up goes on to its window, as with an empty manifest.
TEST(UpdateEndToEnd, AManifestWithoutAValidSignatureChangesNothingAndStartUpGoesOn) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start(TEST_UPDATE_PORT));
  const std::string files = server.Address("/tandrel/gxdata/");
  const std::string newExe = ReadBytes(ExecutableDirectory() + "\\update_next\\tandrel.exe");
  ASSERT_FALSE(newExe.empty());
  const std::string manifest = "<yingyong>tandrel.exe</yingyong><banben>" TANDREL_NEXT_VERSION "</banben><dizhi>" +
                               files + "tandrel.exe</dizhi><sha256>" + Sha256HexOf(newExe) + "</sha256>\r\n";
  std::string changed = manifest;
  changed[changed.find(TANDREL_NEXT_VERSION)] = '8';  // one byte, after signing
  Answer a;
  a.body = newExe;
  server.Set("/tandrel/gxdata/tandrel.exe", a);

  struct Case {
    const char* what;
    std::string manifest;
    std::string signature;  // empty: no txgeng.sig on the server
  } cases[] = {
      {"signed by another key", manifest, SignManifest(manifest, SigningKey::kUnknown)},
      {"changed by one byte after signing", changed, SignManifest(manifest)},
      {"no txgeng.sig", manifest, ""},
  };
  const std::string root = FreshDirectory("tandrel-e2e-unsigned");
  const std::string app = root + "\\app";
  ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
  const std::string installed = InstallCurrentProgram(app);
  ASSERT_FALSE(installed.empty());
  const auto before = Snapshot(app);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    a.body = c.manifest;
    server.Set("/tandrel/gxdata/txgeng.dat", a);
    a.body = c.signature;
    if (c.signature.empty()) {
      server.Set("/tandrel/gxdata/txgeng.sig", Answer{404, "<html>404 Not Found</html>"});
    } else {
      server.Set("/tandrel/gxdata/txgeng.sig", a);
    }
    const std::string since = support::LogTimestampNow();
    support::ProgramUnderTest program;
    support::StartOptions leaveTheQuestion;
    leaveTheQuestion.question = support::ShortcutQuestion::kLeave;
    ASSERT_TRUE(program.Start(installed, leaveTheQuestion));
    Watch watch;
    const bool checked = WaitFor(watch, 60000, [&] {
      const auto lines = support::ProgramLogLines(program.Id(), since);
      return support::FindLogLine(lines, "update check: nothing due") < lines.size();
    });
    const auto lines = support::ProgramLogLines(program.Id(), since);
    EXPECT_TRUE(checked) << support::LogLinesText(lines);
    EXPECT_LT(support::FindLogLine(lines, "update check: the signature of txgeng.dat is"), lines.size())
        << support::LogLinesText(lines);
    EXPECT_NE(program.WaitForMainWindow(30000), nullptr) << "start-up did not go on to the window";
    WaitFor(watch, 3000, [] { return false; });  // time for a notice that must not come
    EXPECT_EQ(watch.updateMessages, 0);
    EXPECT_TRUE(program.Running());
    program.End();
    EXPECT_EQ(Count(server.RequestedPaths(), "/tandrel/gxdata/tandrel.exe"), 0);
    auto after = Snapshot(app);
    after.erase("route.dat");
    EXPECT_TRUE(after == before) << "the program's folder changed";
    EXPECT_TRUE(ReadBytes(installed) != newExe);
  }
  server.Stop();
  RemoveTree(root);
}

}  // namespace
