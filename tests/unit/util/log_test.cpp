// The log file: levelled lines, rotation into two files at most.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/log_capture.h"
#include "util/files.h"
#include "util/log.h"
#include "util/text.h"

namespace {

std::vector<std::string> LinesOf(const std::string& path) {
  Bytes bytes;
  if (!util::ReadWholeFile(path, bytes, 4 * util::kLogRotateBytes)) return {};
  std::vector<std::string> lines;
  for (const Text& line : util::SplitText(Text(bytes.begin(), bytes.end()), "\r\n")) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::set<std::string> FilesIn(const std::string& directory) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// The number a "line NNNNNN" text carries, or -1.
int LineNumber(const std::string& line) {
  const std::size_t at = line.find("line ");
  int number = -1;
  if (at == std::string::npos || std::sscanf(line.c_str() + at, "line %d", &number) != 1) return -1;
  return number;
}

TEST(Log, LinesCarryTheirLevelAndText) {
  testlog::LogCapture log;
  util::LogInfo("started %d tabs", 3);
  util::LogWarning("warned about %s", "\xce\xa2\xd0\xc5");  // 微信 in GBK stays as bytes
  util::LogError("an error");
  util::Log(util::LogLevel::kDebug, "a detail");
  const std::vector<std::string> lines = LinesOf(log.directory().File("capture.log"));
  ASSERT_EQ(lines.size(), 4u) << log.Lines();
  struct Case { const char* levelAndText; };
  const Case expected[] = {{" INFO  started 3 tabs"}, {" WARN  warned about \xce\xa2\xd0\xc5"},
                           {" ERROR an error"}, {" DEBUG a detail"}};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string tail = expected[i].levelAndText;
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    // Starts with the date: yyyy-mm-dd.
    EXPECT_TRUE(line.size() > 10 && line[4] == '-' && line[7] == '-') << line;
  }
}

TEST(Log, PlatformFailuresCarryTheirCode) {
  testlog::LogCapture log;
  SetLastError(ERROR_ACCESS_DENIED);
  util::LogLastError("OpenProcess");
  util::LogFailure("CoCreateInstance", static_cast<long>(0x80004005L));  // E_FAIL
  util::LogCaughtException("a window procedure");
  EXPECT_TRUE(log.Contains("WARN  OpenProcess failed: error 5 ")) << log.Lines();
  EXPECT_TRUE(log.Contains("WARN  CoCreateInstance failed: code -2147467259 (0x80004005)")) << log.Lines();
  EXPECT_TRUE(log.Contains("ERROR exception caught in a window procedure")) << log.Lines();
}

TEST(Log, RotatesIntoAtMostTwoFilesKeepingTheNewestLines) {
  support::TempDir dir;
  ASSERT_TRUE(dir);
  util::OpenLogAt(dir.path(), "rotation.log");
  EXPECT_EQ(util::LogFilePath(), dir.File("rotation.log"));
  // About 1 KB a line: nearly three files' worth, so the log rotates twice.
  const std::string filler(1000, 'x');
  const int lineCount = static_cast<int>(util::kLogRotateBytes * 11 / 4 / 1050);
  for (int i = 0; i < lineCount; ++i) util::LogInfo("line %06d %s", i, filler.c_str());
  util::CloseLog();

  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"rotation.log", "rotation.log.1"}));
  for (const char* name : {"rotation.log", "rotation.log.1"}) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(dir.File(name).c_str(), GetFileExInfoStandard, &data)) << name;
    EXPECT_LE(data.nFileSizeLow, util::kLogRotateBytes) << name;
    EXPECT_EQ(data.nFileSizeHigh, 0u) << name;
  }
  // The older file then the newer one: consecutive lines ending with the last one written;
  // the first file's lines are gone.
  std::vector<std::string> lines = LinesOf(dir.File("rotation.log.1"));
  const std::vector<std::string> newer = LinesOf(dir.File("rotation.log"));
  ASSERT_FALSE(lines.empty());
  ASSERT_FALSE(newer.empty());
  lines.insert(lines.end(), newer.begin(), newer.end());
  const int first = LineNumber(lines.front());
  EXPECT_GT(first, 0) << "the oldest lines should have been dropped";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(LineNumber(lines[i]), first + static_cast<int>(i)) << lines[i].substr(0, 60);
    ASSERT_NE(lines[i].find(" INFO  line "), std::string::npos);
  }
  EXPECT_EQ(LineNumber(lines.back()), lineCount - 1);
  // Two full files hold more than one file's worth: both were used.
  EXPECT_GT(lines.size() * 1050, util::kLogRotateBytes);
}

TEST(Log, NoFileUntilOpenedAndAfterClosed) {
  util::CloseLog();
  EXPECT_EQ(util::LogFilePath(), "");
  util::LogInfo("only to the debugger");  // must not fail without a file
  support::TempDir dir;
  util::OpenLogAt(dir.path(), "a.log");
  util::LogInfo("into a");
  util::OpenLogAt(dir.path(), "b.log");  // switching files
  util::LogInfo("into b");
  util::CloseLog();
  util::LogInfo("after close");
  const std::vector<std::string> a = LinesOf(dir.File("a.log"));
  const std::vector<std::string> b = LinesOf(dir.File("b.log"));
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_NE(a[0].find("into a"), std::string::npos);
  EXPECT_NE(b[0].find("into b"), std::string::npos);
}

}  // namespace
