#include "util/program_directory.h"

#include <windows.h>

#include <vector>

#include "util/log.h"

namespace util {

namespace {
// The longest path Windows hands out (the \\?\ form), in characters.
constexpr DWORD kLongestPath = 32768;
}  // namespace

Text DirectoryOfPath(const Text& path) {
  std::size_t lastSeparator = Text::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      ++i;  // the trail byte belongs to this character
    } else if (c == '\\') {
      lastSeparator = i;
    }
  }
  return lastSeparator == Text::npos ? Text() : path.substr(0, lastSeparator);
}

Text ProgramFilePath() {
  // GetModuleFileNameA truncates silently (returning the buffer size): grow until it fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD got = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) {
      LogLastError("GetModuleFileNameA");
      return Text();
    }
    if (got < buffer.size()) return Text(buffer.data(), got);
    if (buffer.size() >= kLongestPath) {
      LogError("the program's path is longer than %lu characters", kLongestPath);
      return Text();
    }
    buffer.resize(buffer.size() * 2);
  }
}

Text ProgramDirectory() { return DirectoryOfPath(ProgramFilePath()); }

Text PathBesideProgram(const Text& fileName) { return ProgramDirectory() + "\\" + fileName; }

}  // namespace util
