#pragma once
// The program's log as a test reads it: %LOCALAPPDATA%\Tandrel\tandrel.log (and the file a
// rotation moved aside), every program of the test bed writing into it, lines told apart by
// their process id. A line: "YYYY-MM-DD HH:MM:SS.mmm   pid   tid LEVEL text".
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace support {

struct ProgramLogLine {
  std::string timestamp;  // "YYYY-MM-DD HH:MM:SS.mmm", local time
  std::string text;       // after the level
};

// The local time now in the log's format: timestamps compare as text.
std::string LogTimestampNow();
// Whether t has the form "YYYY-MM-DD HH:MM:SS.mmm".
bool IsLogTimestamp(const std::string& t);
// The lines process pid wrote at or after `since`, oldest first (tandrel.log.1 before tandrel.log).
std::vector<ProgramLogLine> ProgramLogLines(DWORD pid, const std::string& since);
// The first line at or after `from` whose text starts with prefix; lines.size() when none does.
std::size_t FindLogLine(const std::vector<ProgramLogLine>& lines, const std::string& prefix, std::size_t from = 0);
// "timestamp text" per line, for failure messages.
std::string LogLinesText(const std::vector<ProgramLogLine>& lines);

}  // namespace support
