#include "tests/standin/standin_control.h"

#include <cstdlib>
#include <sstream>

#include "tests/support/test_support.h"

namespace standin {

const char kLoginWindowClass[] = "WeChatLoginWndForPC";
const char kMainWindowClass[] = "WeChatMainWndForPC";
const char kAlertWindowClass[] = "AlertDialog";
const char kWindowTitle[] = "微信";
const char kLoginMessageName[] = "TandrelStandinLogin";

std::string ClientBuildPath() { return support::ToWindowsPath(TANDREL_STANDIN_CLIENT_PATH); }

Installation Install(const std::string& dir, const std::string& script, const std::string& exeName) {
  Installation installation;
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string exe = dir + "\\" + exeName;
  if (!support::CopyFileTo(ClientBuildPath(), exe)) return installation;
  installation.dir = dir;
  installation.exePath = exe;
  installation.logPath = dir + "\\standin.log";
  installation.scriptPath = dir + "\\standin.ini";
  if (!script.empty() && !WriteScript(installation, script)) return Installation();
  return installation;
}

bool WriteScript(const Installation& installation, const std::string& script) {
  return support::WriteWholeFile(installation.scriptPath, script);
}

bool ParseLogLine(const std::string& text, LogLine* line) {
  std::istringstream in(text);
  std::string time, pid, event;
  if (!(in >> time >> pid >> event)) return false;
  int h = 0, m = 0, s = 0, ms = 0;
  if (std::sscanf(time.c_str(), "%d:%d:%d.%d", &h, &m, &s, &ms) != 4) return false;
  line->text = text;
  line->msOfDay = ((h * 60 + m) * 60 + s) * 1000 + ms;
  line->pid = static_cast<DWORD>(std::strtoul(pid.c_str(), nullptr, 10));
  line->event = event;
  line->args.clear();
  std::string word;
  while (in >> word) line->args.push_back(word);
  return true;
}

std::vector<LogLine> ReadLog(const Installation& installation) {
  std::vector<LogLine> lines;
  std::string bytes;
  if (!support::ReadWholeFile(installation.logPath, &bytes)) return lines;
  std::istringstream in(bytes);
  std::string text;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    LogLine line;
    if (ParseLogLine(text, &line)) lines.push_back(line);
  }
  return lines;
}

namespace {
bool Matches(const LogLine& line, DWORD pid, const std::string& event, const std::vector<std::string>& args) {
  if (pid && line.pid != pid) return false;
  if (line.event != event) return false;
  if (args.size() > line.args.size()) return false;
  for (size_t i = 0; i < args.size(); ++i)
    if (line.args[i] != args[i]) return false;
  return true;
}
}  // namespace

std::vector<LogLine> FindLog(const Installation& installation, DWORD pid, const std::string& event,
                             const std::vector<std::string>& args) {
  std::vector<LogLine> found;
  for (const LogLine& line : ReadLog(installation))
    if (Matches(line, pid, event, args)) found.push_back(line);
  return found;
}

bool WaitForLog(const Installation& installation, DWORD pid, const std::string& event,
                const std::vector<std::string>& args, DWORD timeoutMs, LogLine* found) {
  return support::WaitFor(
      [&] {
        std::vector<LogLine> lines = FindLog(installation, pid, event, args);
        if (lines.empty()) return false;
        if (found) *found = lines.front();
        return true;
      },
      timeoutMs, 50);
}

HWND WindowFromLog(const Installation& installation, DWORD pid, const std::string& name) {
  std::vector<LogLine> lines = FindLog(installation, pid, "created", {name});
  if (lines.empty() || lines.back().args.size() < 2) return nullptr;
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(lines.back().args[1].c_str(), nullptr, 10)));
}

bool RunningClient::Running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool RunningClient::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!process_) return false;
  // Handles our messages while waiting: a test window may be the client's parent.
  bool ended = support::WaitFor([&] { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (!ended) return false;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  if (exitCode) *exitCode = code;
  return true;
}

RunningClient& RunningClient::operator=(RunningClient&& other) noexcept {
  if (this != &other) {
    Stop();
    process_ = std::move(other.process_);
    pid_ = other.pid_;
  }
  return *this;
}

void RunningClient::Stop() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
  process_.reset();
  // The system takes the windows of an ended process away a moment later; a following
  // search by class and title must not find them.
  support::WaitFor(
      [this] {
        return !FindTopLevelWindow(pid_, kLoginWindowClass) && !FindTopLevelWindow(pid_, kMainWindowClass) &&
               !FindTopLevelWindow(pid_, kAlertWindowClass);
      },
      3000);
}

RunningClient Start(const Installation& installation) {
  RunningClient client;
  support::Process process = support::StartProcess(installation.exePath);
  if (!process) return client;
  client.pid_ = process.id;
  client.process_ = std::move(process.handle);
  return client;
}

namespace {
struct FindRequest {
  DWORD pid;
  const char* className;
  HWND found;
};
BOOL CALLBACK FindOwnWindow(HWND w, LPARAM lParam) noexcept {
  FindRequest* request = reinterpret_cast<FindRequest*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != request->pid) return TRUE;
  char className[64] = {}, title[64] = {};
  GetClassNameA(w, className, sizeof className);
  GetWindowTextA(w, title, sizeof title);
  if (lstrcmpA(className, request->className) == 0 && lstrcmpA(title, kWindowTitle) == 0) {
    request->found = w;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindTopLevelWindow(DWORD pid, const char* className) {
  FindRequest request = {pid, className, nullptr};
  EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

bool RequestLogin(HWND loginWindow) {
  UINT message = RegisterWindowMessageA(kLoginMessageName);
  return message && PostMessageA(loginWindow, message, 0, 0);
}

void ClickAt(int screenX, int screenY) {
  SetCursorPos(screenX, screenY);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace standin
