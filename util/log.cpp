// The log file: appended line by line, rotated once it reaches its size limit.
#include "util/log.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "util/unique_resource.h"

namespace util {
namespace {

constexpr std::size_t kMaxLineBytes = 2048;

struct LogState {
  std::mutex lock;
  std::wstring path;  // empty: no file
  UniqueHandle file;
  std::size_t size = 0;
};

LogState& State() {
  // Never destroyed: threads may still log while the process ends.
  static LogState* state = new LogState;
  return *state;
}

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kDebug: return "DEBUG";
    case LogLevel::kInfo: return "INFO ";
    case LogLevel::kWarning: return "WARN ";
    case LogLevel::kError: return "ERROR";
  }
  return "?    ";
}

// Called with the lock held.
bool OpenFileLocked(LogState& s) {
  s.file.reset(CreateFileW(s.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!s.file) return false;
  LARGE_INTEGER size{};
  s.size = GetFileSizeEx(s.file.get(), &size) ? static_cast<std::size_t>(size.QuadPart) : 0;
  return true;
}

// Called with the lock held: the full file becomes <file>.1 and a new one starts.
void RotateLocked(LogState& s) {
  s.file.reset();
  const std::wstring previous = s.path + L".1";
  MoveFileExW(s.path.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING);
  OpenFileLocked(s);
}

void WriteLine(const std::string& line) {
  OutputDebugStringA(line.c_str());
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.path.empty()) return;
  if (!s.file && !OpenFileLocked(s)) return;
  if (s.size > 0 && s.size + line.size() > kLogRotateBytes) RotateLocked(s);
  if (!s.file) return;
  DWORD written = 0;
  if (WriteFile(s.file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) s.size += written;
}

void LogV(LogLevel level, const char* format, va_list arguments) noexcept {
  try {
    char text[kMaxLineBytes];
    const int length = std::vsnprintf(text, sizeof text, format ? format : "", arguments);
    if (length < 0) text[0] = '\0';
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char head[96];
    std::snprintf(head, sizeof head, "%04u-%02u-%02u %02u:%02u:%02u.%03u %5lu %5lu %s ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId(),
                  GetCurrentThreadId(), LevelName(level));
    std::string line = head;
    line += text;
    line += "\r\n";
    WriteLine(line);
  } catch (...) {
    // Out of memory while logging: the line is lost, nothing else.
    OutputDebugStringA("tandrel: a log line was lost\n");
  }
}

Text SystemMessage(DWORD code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  Text message;
  if (length > 0 && buffer) message.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

void OpenLogAt(const Text& directory, const Text& fileName) {
  const std::wstring folder = Widen(directory);
  if (!folder.empty()) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);  // an existing folder is fine
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.file.reset();
  s.path = folder.empty() ? std::wstring() : folder + L"\\" + Widen(fileName);
  if (!s.path.empty()) OpenFileLocked(s);
}

void OpenLog(const Text& fileName) {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              base))) {
    LogWarning("no local application data folder: the log goes to the debugger only");
    return;
  }
  OpenLogAt(Narrow(std::wstring(base) + L"\\Tandrel"), fileName);
}

Text LogFilePath() {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.file ? Narrow(s.path) : Text();
}

void CloseLog() {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.file.reset();
  s.path.clear();
}

void Log(LogLevel level, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  LogV(level, format, arguments);
  va_end(arguments);
}

void LogInfo(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  LogV(LogLevel::kInfo, format, arguments);
  va_end(arguments);
}

void LogWarning(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  LogV(LogLevel::kWarning, format, arguments);
  va_end(arguments);
}

void LogError(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  LogV(LogLevel::kError, format, arguments);
  va_end(arguments);
}

void LogLastError(const char* what) {
  const DWORD code = GetLastError();
  Log(LogLevel::kWarning, "%s failed: error %lu %s", what ? what : "?", code, SystemMessage(code).c_str());
}

void LogFailure(const char* what, long code) {
  Log(LogLevel::kWarning, "%s failed: code %ld (0x%08lX)", what ? what : "?", code, static_cast<unsigned long>(code));
}

void LogCaughtException(const char* where) noexcept {
  Log(LogLevel::kError, "exception caught in %s; carrying on", where ? where : "?");
}

}  // namespace util
