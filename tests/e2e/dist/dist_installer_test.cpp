// The installer as a user meets it, in a prefix nothing else has touched: a silent install
// into the user's own programs folder, the program started from there without the
// desktop-shortcut question, a forced update through the loopback server inside the installed
// folder, and a silent uninstall that leaves nothing of ours and everything of the user's.
// Run by installer_test.sh, which builds the installer and checks the signatures.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <set>
#include <string>

#include "loopback_server.h"
#include "manifest_signer.h"
#include "test_files.h"
#include "tests/support/program_under_test.h"

using namespace testing_update;

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tandrel";
const char kUpdateMessage[] = "发现新版本，程序强制更新！";
const char kNotesName[] = "使用说明.txt";
constexpr DWORD kInstallerTimeoutMs = 120000;

std::string Folder(int csidl) {
  char path[MAX_PATH] = {};
  return SUCCEEDED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}
std::string InstallDir() { return Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Tandrel"; }
std::string LogDir() { return Folder(CSIDL_LOCAL_APPDATA) + "\\Tandrel"; }
std::string DesktopShortcut() { return Folder(CSIDL_DESKTOPDIRECTORY) + "\\Tandrel.lnk"; }
std::string StartMenuShortcut() { return Folder(CSIDL_PROGRAMS) + "\\Tandrel.lnk"; }
std::string Profile() { return Folder(CSIDL_PROFILE); }

// The names in a folder (files and folders, not recursive); empty when it does not exist.
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return names;
}

// Every file and folder under the user's profile but the temp folder (installers unpack there).
void CollectTree(const std::string& dir, const std::string& skip, std::set<std::string>& into) {
  for (const std::string& name : Names(dir)) {
    const std::string path = dir + "\\" + name;
    if (_stricmp(path.c_str(), skip.c_str()) == 0) continue;
    into.insert(path);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) CollectTree(path, skip, into);
  }
}
std::set<std::string> ProfileTree() {
  std::set<std::string> tree;
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof temp, temp);
  std::string skip = temp;
  if (!skip.empty() && skip.back() == '\\') skip.pop_back();
  CollectTree(Profile(), skip, tree);
  return tree;
}

std::set<std::string> UninstallEntries() {
  std::set<std::string> entries;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
    return entries;
  }
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    entries.insert(name);
  }
  ::RegCloseKey(key);
  return entries;
}

bool UninstallKeyExists() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

std::string UninstallValue(const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value;
  if (::RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  return value;
}

// Read through the shell-link object, as the program reads its shortcut.
std::string ShortcutTarget(const std::string& path) {
  std::string target;
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring wide(path.begin(), path.end());  // ASCII paths in this test bed
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) && SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, 0))) {
      char narrow[MAX_PATH * 2] = {};
      ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, narrow, sizeof narrow, nullptr, nullptr);
      target = narrow;
    }
    file->Release();
  }
  link->Release();
  return target;
}

bool MakeShortcut(const std::string& path, const std::string& target) {
  IShellLinkA* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool saved = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->SetPath(target.c_str())) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring wide(path.begin(), path.end());
    saved = SUCCEEDED(file->Save(wide.c_str(), TRUE));
    file->Release();
  }
  link->Release();
  return saved;
}

long long RunInstaller(const std::string& arguments = "") {
  const std::string setup = FromUnixPath(DIST_SETUP_PATH);
  return support::RunProcess("\"" + setup + "\" /S" + arguments, kInstallerTimeoutMs);
}

// The uninstaller as Windows' list of programs starts it silently. It copies itself out of the
// folder and runs from there, so the one started ends at once: done is the folder and key gone.
bool RunQuietUninstall() {
  const std::string command = UninstallValue("QuietUninstallString");
  if (command == "<missing>") return false;
  if (support::RunProcess(command, kInstallerTimeoutMs) != 0) return false;
  return support::WaitFor([] { return !UninstallKeyExists(); }, 60000, 200);
}

// Answers the update notice of any process with OK; true once one was answered.
bool AnswerUpdateNotice() {
  bool answered = false;
  HWND box = nullptr;
  while ((box = ::FindWindowExA(nullptr, box, "#32770", "提示信息")) != nullptr) {
    if (support::MessageBoxText(box).find(kUpdateMessage) == std::string::npos) continue;
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    answered = true;
  }
  return answered;
}

// A shown main window "Tandrel" of a process other than `other`.
HWND MainWindowNotOf(DWORD other) {
  HWND window = nullptr;
  while ((window = ::FindWindowExA(nullptr, window, "TandrelWindow", "Tandrel")) != nullptr) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != other && ::IsWindowVisible(window)) return window;
  }
  return nullptr;
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
  void TearDown() override {
    // Whatever a failed step left, so that the next test starts from nothing again.
    if (UninstallKeyExists()) RunQuietUninstall();
    RemoveTree(InstallDir());
    RemoveTree(LogDir());
    ::DeleteFileA(DesktopShortcut().c_str());
    ::DeleteFileA(StartMenuShortcut().c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    ::CoUninitialize();
  }

  LoopbackServer server_;
};

TEST_F(Installer, SilentInstallRunsAndUpdatesInItsFolderAndSilentUninstallLeavesNothing) {
  const std::string dir = InstallDir();
  ASSERT_FALSE(Exists(dir)) << "the prefix is not fresh";
  const std::set<std::string> profileBefore = ProfileTree();
  const std::set<std::string> entriesBefore = UninstallEntries();
  const std::string shippedProgram = ReadBytes(FromUnixPath(DIST_STAGE_DIR) + "\\tandrel.exe");
  const std::string newProgram = ReadBytes(FromUnixPath(NEXT_PROGRAM_PATH));
  ASSERT_FALSE(shippedProgram.empty());
  ASSERT_FALSE(newProgram.empty());

  ASSERT_EQ(RunInstaller(), 0);

  // The files, the entries and the key in place.
  EXPECT_EQ(Names(dir), (std::set<std::string>{"tandrel.exe", "SkinH_EL.dll", "sefds.she", kNotesName, "uninstall.exe"}));
  EXPECT_TRUE(ReadBytes(dir + "\\tandrel.exe") == shippedProgram) << "not the staged (signed) program";
  const std::string exe = dir + "\\tandrel.exe";
  EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), exe);
  EXPECT_EQ(ShortcutTarget(DesktopShortcut()), exe);
  EXPECT_EQ(UninstallValue("DisplayName"), "Tandrel");
  EXPECT_EQ(UninstallValue("DisplayVersion"), TANDREL_CURRENT_VERSION);
  EXPECT_EQ(UninstallValue("InstallLocation"), dir);
  EXPECT_EQ(UninstallValue("DisplayIcon"), exe + ",0");
  EXPECT_EQ(UninstallValue("UninstallString"), "\"" + dir + "\\uninstall.exe\"");
  EXPECT_EQ(UninstallValue("QuietUninstallString"), "\"" + dir + "\\uninstall.exe\" /S");
  // For installer_test.sh, which checks their signatures.
  const std::string copies = FromUnixPath(DIST_COPIES_DIR);
  for (const char* name : {"tandrel.exe", "SkinH_EL.dll", "uninstall.exe"}) {
    EXPECT_TRUE(support::CopyFileTo(dir + "\\" + name, copies + "\\" + name)) << name;
  }

  // Nothing due: the program starts and shows its window, and does not ask for the desktop
  // shortcut the installer made.
  ASSERT_TRUE(server_.Start(TEST_UPDATE_PORT));
  const std::string files = server_.Address("/tandrel/gxdata/");
  Answer a;
  ServeSignedManifest(server_, "<yingyong>tandrel.exe</yingyong><banben>" TANDREL_CURRENT_VERSION "</banben><dizhi>" +
                                   files + "tandrel.exe</dizhi><sha256>" + Sha256HexOf(newProgram) + "</sha256>\r\n");
  {
    support::ProgramUnderTest program;
    support::StartOptions leaveTheQuestion;
    leaveTheQuestion.question = support::ShortcutQuestion::kLeave;
    ASSERT_TRUE(program.Start(exe, leaveTheQuestion));
    EXPECT_NE(program.WaitForMainWindow(30000), nullptr) << "the installed program showed no window";
    EXPECT_FALSE(program.AskedShortcutQuestion()) << "the installer's shortcut is not the one the program looks for";
    EXPECT_TRUE(Exists(LogDir() + "\\tandrel.log"));

    // While it runs, neither the installer nor the uninstaller touches the files (exit code 2).
    EXPECT_EQ(RunInstaller(), 2);
    EXPECT_EQ(support::RunProcess("\"" + dir + "\\uninstall.exe\" /S _?=" + dir, kInstallerTimeoutMs), 2);
    EXPECT_TRUE(Exists(exe));
    EXPECT_TRUE(UninstallKeyExists());
    program.End();
  }

  // A newer program on the server: the installed copy hands off, the updater replaces it in
  // the installed folder and starts it again.
  ServeSignedManifest(server_, "<yingyong>tandrel.exe</yingyong><banben>" TANDREL_NEXT_VERSION "</banben><dizhi>" +
                                   files + "tandrel.exe</dizhi><sha256>" + Sha256HexOf(newProgram) + "</sha256>\r\n");
  a.body = newProgram;
  server_.Set("/tandrel/gxdata/tandrel.exe", a);
  {
    support::ProgramUnderTest first;
    ASSERT_TRUE(first.Start(exe));
    bool noticed = false;
    const bool updated = support::WaitFor([&] {
      noticed = AnswerUpdateNotice() || noticed;
      return ReadBytes(exe) == newProgram && MainWindowNotOf(first.Id()) != nullptr;
    }, 120000, 100);
    EXPECT_TRUE(noticed) << "no update notice";
    EXPECT_TRUE(updated) << "the installed program was not replaced and started again";
    first.End();  // and the restarted program it led to
  }
  EXPECT_TRUE(Exists(dir + "\\Hgxcx.exe"));
  EXPECT_TRUE(Exists(dir + "\\sdhwt.ini"));
  server_.Stop();

  // What the program writes there in other runs: the client's path, an interrupted update's
  // leftovers and the updater's note, an older release's updater, a rotated log.
  for (const char* name : {"route.dat", "tandrel.exe.gxbak", "SkinH_EL.dll.gxtmp", "gxwj.bin", "gxsb.bin", "gxcx.exe"}) {
    ASSERT_TRUE(WriteBytes(dir + "\\" + name, "x")) << name;
  }
  ASSERT_TRUE(WriteBytes(LogDir() + "\\tandrel.log.1", "old log\r\n"));

  ASSERT_TRUE(RunQuietUninstall()) << "the Uninstall key is still there";
  EXPECT_TRUE(support::WaitFor([&] { return !Exists(dir); }, 10000, 100))
      << "left in the folder: " << ::testing::PrintToString(Names(dir));
  EXPECT_FALSE(Exists(LogDir())) << "left: " << ::testing::PrintToString(Names(LogDir()));
  EXPECT_FALSE(Exists(DesktopShortcut()));
  EXPECT_FALSE(Exists(StartMenuShortcut()));
  EXPECT_EQ(UninstallEntries(), entriesBefore);
  EXPECT_EQ(ProfileTree(), profileBefore) << "the user's profile differs from before the install";
}

TEST_F(Installer, UninstallKeepsWhatTheUserPutThere) {
  const std::string dir = InstallDir();
  ASSERT_EQ(RunInstaller(), 0);
  ASSERT_TRUE(Exists(dir + "\\tandrel.exe"));
  ASSERT_TRUE(::CreateDirectoryA(LogDir().c_str(), nullptr) || Exists(LogDir()));
  ASSERT_TRUE(WriteBytes(dir + "\\notes of mine.txt", "mine"));
  ASSERT_TRUE(WriteBytes(LogDir() + "\\mine.txt", "mine"));
  ASSERT_TRUE(WriteBytes(LogDir() + "\\tandrel.log", "log\r\n"));
  // The user's desktop shortcut to another copy of the program.
  ASSERT_TRUE(::DeleteFileA(DesktopShortcut().c_str()));
  ASSERT_TRUE(MakeShortcut(DesktopShortcut(), "C:\\Other\\tandrel.exe"));

  ASSERT_TRUE(RunQuietUninstall());
  EXPECT_TRUE(support::WaitFor([&] { return !Exists(dir + "\\uninstall.exe"); }, 10000, 100));
  EXPECT_EQ(Names(dir), std::set<std::string>{"notes of mine.txt"});
  EXPECT_EQ(Names(LogDir()), std::set<std::string>{"mine.txt"});
  EXPECT_EQ(ShortcutTarget(DesktopShortcut()), "C:\\Other\\tandrel.exe");
  EXPECT_FALSE(Exists(StartMenuShortcut()));
}

}  // namespace
