#include "tests/support/program_under_test.h"

#include <tlhelp32.h>

#include <algorithm>

namespace support {

const char kShortcutQuestionTitle[] = "提示信息";
const char kShortcutQuestionText[] = "你是否需要创建桌面Tandrel的快捷方式？";

namespace {

constexpr char kMainWindowClass[] = "TandrelWindow";
constexpr char kMainWindowTitle[] = "Tandrel";
constexpr char kDialogClass[] = "#32770";

struct TopLevelSearch {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) noexcept {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && (!search->visibleOnly || IsWindowVisible(window))) search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) noexcept {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string InstallProgram(const std::string& dir, const ProgramFiles& files) {
  const std::string bin = BinDir();
  std::vector<std::string> beside = files.beside;
  if (files.everythingShipped) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((bin + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "";
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) beside.push_back(bin + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  } else {
    if (files.skinLibrary) beside.push_back(bin + "\\SkinH_EL.dll");
    if (files.skinFile) beside.push_back(bin + "\\sefds.she");
  }
  for (const std::string& from : beside) {
    if (!CopyFileTo(from, dir + "\\" + BaseName(from))) return "";
  }
  const std::string exe = dir + "\\" + files.exeName;
  if (!CopyFileTo(files.exe.empty() ? bin + "\\tandrel.exe" : files.exe, exe)) return "";
  return exe;
}

std::vector<HWND> TopLevelWindowsOf(DWORD pid, bool visibleOnly) {
  TopLevelSearch search{pid, visibleOnly, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string MessageBoxText(HWND box) {
  std::vector<HWND> children;
  EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::string text;
  for (HWND child : children) {
    if (WindowClassOf(child) == "Static") text += WindowTitleOf(child);
  }
  return text;
}

HWND ShortcutQuestionOf(DWORD pid) {
  for (HWND w : TopLevelWindowsOf(pid, true)) {
    if (WindowClassOf(w) == kDialogClass && WindowTitleOf(w) == kShortcutQuestionTitle &&
        MessageBoxText(w).find(kShortcutQuestionText) != std::string::npos)
      return w;
  }
  return nullptr;
}

// Follows the processes the program starts, and those they start in turn, from a thread of
// its own: a process that ends soon (the updater) may have started one that is still there.
// Each is held open as soon as it is seen, so its id cannot go to an unrelated process.
class ProgramUnderTest::Descendants {
 public:
  explicit Descendants(DWORD rootPid) : known_{rootPid} {
    stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (stop_) thread_.reset(CreateThread(nullptr, 0, &Descendants::Follow, this, 0, nullptr));
  }
  ~Descendants() { StopFollowing(); }
  Descendants(const Descendants&) = delete;
  Descendants& operator=(const Descendants&) = delete;

  // Looks a last time and ends those still running (a few rounds, for one that starts
  // another while it is being ended).
  void EndAll() {
    StopFollowing();
    for (int round = 0; round < 3; ++round) {
      LookOnce();
      bool anyRunning = false;
      for (const util::UniqueHandle& process : held_) {
        if (WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
        anyRunning = true;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
      }
      if (!anyRunning) return;
    }
  }

 private:
  static DWORD WINAPI Follow(void* self) noexcept {
    auto* me = static_cast<Descendants*>(self);
    do {
      me->LookOnce();
    } while (WaitForSingleObject(me->stop_.get(), 100) == WAIT_TIMEOUT);
    return 0;
  }

  void StopFollowing() {
    if (!thread_) return;
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }

  bool Known(DWORD pid) const { return std::find(known_.begin(), known_.end(), pid) != known_.end(); }

  void LookOnce() {
    util::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    std::vector<PROCESSENTRY32> entries;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
      entries.push_back(entry);
    // A child may be listed before its parent.
    for (bool added = true; added;) {
      added = false;
      for (const PROCESSENTRY32& e : entries) {
        if (Known(e.th32ProcessID) || !Known(e.th32ParentProcessID) || e.th32ProcessID == GetCurrentProcessId())
          continue;
        known_.push_back(e.th32ProcessID);
        util::UniqueHandle process(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
        if (process) held_.push_back(std::move(process));
        added = true;
      }
    }
  }

  std::vector<DWORD> known_;  // the program and every process seen to descend from it
  std::vector<util::UniqueHandle> held_;
  util::UniqueHandle stop_;
  util::UniqueHandle thread_;
};

ProgramUnderTest::ProgramUnderTest() = default;

ProgramUnderTest::~ProgramUnderTest() { End(); }

bool ProgramUnderTest::Start(const std::string& exePath, const StartOptions& options) {
  End();
  options_ = options;
  asked_ = false;
  if (exePath.empty()) return false;
  std::string directory = options.currentDirectory;
  if (directory.empty()) directory = exePath.substr(0, exePath.find_last_of('\\'));
  std::string commandLine = "\"" + exePath + "\"";
  if (!options.arguments.empty()) commandLine += " " + options.arguments;
  process_ = StartProcess(commandLine, directory);
  if (!process_) return false;
  descendants_ = std::make_unique<Descendants>(process_.id);
  return true;
}

bool ProgramUnderTest::Running() const {
  return process_ && WaitForSingleObject(process_.handle.get(), 0) == WAIT_TIMEOUT;
}

bool ProgramUnderTest::StillRunningAfter(DWORD milliseconds) const {
  return process_ && WaitForSingleObject(process_.handle.get(), milliseconds) == WAIT_TIMEOUT;
}

bool ProgramUnderTest::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  return support::WaitForExit(process_, timeoutMs, exitCode);
}

void ProgramUnderTest::LookAtQuestion() {
  HWND box = ShortcutQuestionOf(process_.id);
  if (!box) return;
  asked_ = true;
  if (options_.question == ShortcutQuestion::kDecline) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

HWND ProgramUnderTest::WaitForMainWindow(DWORD timeoutMs, const std::function<bool(HWND)>& ready) {
  HWND main = nullptr;
  WaitFor(
      [&] {
        main = nullptr;
        if (!Running()) return true;
        LookAtQuestion();
        for (HWND w : TopLevelWindowsOf(process_.id, true)) {
          if (WindowClassOf(w) == kMainWindowClass && WindowTitleOf(w) == kMainWindowTitle) {
            main = w;
            break;
          }
        }
        if (main && ready && !ready(main)) main = nullptr;
        return main != nullptr;
      },
      timeoutMs, 50);
  return main;
}

HWND ProgramUnderTest::WaitForShortcutQuestion(DWORD timeoutMs) {
  HWND box = nullptr;
  WaitFor([&] { return (box = ShortcutQuestionOf(process_.id)) != nullptr; }, timeoutMs);
  if (box) asked_ = true;
  return box;
}

void ProgramUnderTest::End() {
  if (!process_) return;
  EndProcessAndWait(process_);
  if (descendants_) descendants_->EndAll();
  descendants_.reset();
}

}  // namespace support
