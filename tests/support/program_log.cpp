#include "tests/support/program_log.h"

#include <shlobj.h>

#include <cctype>
#include <cstdio>
#include <sstream>

#include "tests/support/test_support.h"

namespace support {

std::string LogTimestampNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

bool IsLogTimestamp(const std::string& t) {
  if (t.size() != 23) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const char expected = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : i == 19 ? '.' : '0';
    if (expected == '0' ? !isdigit(static_cast<unsigned char>(t[i])) : t[i] != expected) return false;
  }
  return true;
}

std::vector<ProgramLogLine> ProgramLogLines(DWORD pid, const std::string& since) {
  char localAppData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData))) return {};
  const std::string log = std::string(localAppData) + "\\Tandrel\\tandrel.log";
  // A file that is not there reads as nothing.
  std::string rotated, current;
  ReadWholeFile(log + ".1", &rotated);
  ReadWholeFile(log, &current);
  std::istringstream all(rotated + current);
  std::vector<ProgramLogLine> lines;
  for (std::string line; std::getline(all, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // timestamp, process id, thread id, level, text
    std::istringstream fields(line.size() > 23 ? line.substr(24) : "");
    unsigned long linePid = 0, thread = 0;
    std::string level;
    if (!(fields >> linePid >> thread >> level) || linePid != pid) continue;
    const std::string timestamp = line.substr(0, 23);
    if (timestamp < since) continue;
    std::string text;
    std::getline(fields >> std::ws, text);
    lines.push_back({timestamp, text});
  }
  return lines;
}

std::size_t FindLogLine(const std::vector<ProgramLogLine>& lines, const std::string& prefix, std::size_t from) {
  for (std::size_t i = from; i < lines.size(); ++i)
    if (lines[i].text.compare(0, prefix.size(), prefix) == 0) return i;
  return lines.size();
}

std::string LogLinesText(const std::vector<ProgramLogLine>& lines) {
  std::string text;
  for (const ProgramLogLine& l : lines) text += l.timestamp + " " + l.text + "\n";
  return text;
}

}  // namespace support
