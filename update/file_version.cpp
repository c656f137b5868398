#include "update/file_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "util/log.h"
#include "util/program_directory.h"

namespace update {
namespace {

void ReplaceAll(Text& text, const Text& from, const Text& to) {
  for (std::size_t at = text.find(from); at != Text::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// The FileVersion string of file, with no rule about its path.
Text ReadVersionResource(const Text& file, Text& error) {
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &handle);
  if (size == 0 || static_cast<long>(size) < 0) {
    // A missing file or one without a version resource: an ordinary answer.
    util::Log(util::LogLevel::kDebug, "no version information in %s (error %lu)", file.c_str(), ::GetLastError());
    error = "GetFileVersionInfoSize（获取信息长度）失败";
    return {};
  }
  std::vector<char> info(size);
  if (!::GetFileVersionInfoA(file.c_str(), 0, size, info.data())) {
    util::LogLastError("GetFileVersionInfoA");
    error = "GetFileVersionInfo（获取信息）失败";
    return {};
  }
  void* translation = nullptr;
  UINT translationLength = 0;
  if (!::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &translation, &translationLength) ||
      translation == nullptr || translationLength < 4) {
    util::LogWarning("%s has no version translation table", file.c_str());
    error = "VerQueryValue（查询Version）失败";
    return {};
  }
  const auto* pair = static_cast<const WORD*>(translation);
  const Text query = "\\StringFileInfo\\" + TranslationKey(pair[0], pair[1]) + "\\FileVersion";
  void* value = nullptr;
  UINT valueLength = 0;
  if (!::VerQueryValueA(info.data(), query.c_str(), &value, &valueLength) || value == nullptr) return {};
  // The length counts characters and may include the terminator; stop at the first zero.
  const char* chars = static_cast<const char*>(value);
  std::size_t n = 0;
  while (n < valueLength && chars[n] != '\0') ++n;
  return Text(chars, n);
}

}  // namespace

bool IsFullPath(const Text& path) {
  Text copy = path;
  while (copy.find("\\\\") != Text::npos) ReplaceAll(copy, "\\\\", "\\");
  while (copy.find("//") != Text::npos) ReplaceAll(copy, "//", "/");
  if (copy.empty()) return false;
  char first = copy[0];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  if (first < 'A' || first > 'Z') return false;
  return copy.find(":\\") != Text::npos || copy.find(":/") != Text::npos;
}

Text TranslationKey(std::uint16_t language, std::uint16_t codePage) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08lX",
                static_cast<unsigned long>(language) * 65536UL + static_cast<unsigned long>(codePage));
  return digits;
}

Text ReadFileVersion(const Text& path, Text& error) {
  if (!path.empty() && !IsFullPath(path)) {
    error = "当前文件名不符合规范";
    return {};
  }
  return ReadVersionResource(path.empty() ? util::ProgramFilePath() : path, error);
}

Text ReadFileVersionOfOwnFile(const Text& path) {
  Text ignored;
  return ReadVersionResource(path, ignored);
}

}  // namespace update
