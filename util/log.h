#pragma once
// The program's log: one line per event worth knowing afterwards (start, launch, adoption,
// removal, update decision, exit reason, every failure the program survives). Lines go to
// %LOCALAPPDATA%\Tandrel\<file> and to OutputDebugString. The file is rotated at
// kLogRotateBytes: the full file becomes <file>.1 (replacing an older one) and a new one starts,
// so at most two files of that size exist. Nothing secret is logged (no network bodies).
//
// Thread-safe; never throws; a log that cannot be written costs nothing but its lines.
#include <cstddef>

#include "util/text.h"

namespace util {

enum class LogLevel { kDebug, kInfo, kWarning, kError };

constexpr std::size_t kLogRotateBytes = 256 * 1024;

// Opens <LOCALAPPDATA>\Tandrel\fileName (the folder is created). Before it is called, or when
// the file cannot be opened, lines go to OutputDebugString only. Calling it again switches files.
void OpenLog(const Text& fileName);
// The same in a folder of the caller's choosing (tests).
void OpenLogAt(const Text& directory, const Text& fileName);
// The full path of the open log file, or empty.
Text LogFilePath();
// Closes the file; later lines go to OutputDebugString only.
void CloseLog();

// printf-style; the text is GBK like every program text. A line longer than about 2 KB is cut.
void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A failed platform call: "<what> failed: error <GetLastError()> <system text>" at warning
// level. Reads GetLastError first thing, so call it right after the failed call.
void LogLastError(const char* what);
// The same for a call that reports its own error code (HRESULT, LSTATUS, GDI+ status ...).
void LogFailure(const char* what, long code);
// An exception caught at a boundary (window procedure, thread entry, callback).
void LogCaughtException(const char* where) noexcept;

}  // namespace util
