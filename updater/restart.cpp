#include "updater/restart.h"

#include <windows.h>
#include <shellapi.h>

#include "update/safe_name.h"

namespace updater {
namespace {

bool Exists(const Text& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

Text RestartProgramPath(const Text& directory) {
  char value[MAX_PATH * 2] = {};
  DWORD length = ::GetPrivateProfileStringA("tysj", "yxmc", "", value, sizeof value,
                                            (directory + "\\sdhwt.ini").c_str());
  const Text name(value, length);
  if (update::IsSafeFileName(directory, name) && Exists(directory + "\\" + name)) return directory + "\\" + name;
  const Text converted = util::Utf8ToGbk(util::ToBytes(name));
  if (update::IsSafeFileName(directory, converted) && Exists(directory + "\\" + converted))
    return directory + "\\" + converted;
  return {};
}

void RestartMainProgram(const Text& directory) {
  const Text path = RestartProgramPath(directory);
  if (!path.empty()) ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

Text OwnDirectory() {
  char buffer[MAX_PATH * 2] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  // The last backslash that is not the trail byte of a two-byte character.
  std::size_t slash = Text::npos;
  for (DWORD i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c >= 0x81 && c <= 0xFE) ++i;
    else if (c == '\\') slash = i;
  }
  return slash == Text::npos ? Text() : Text(buffer, slash);
}

}  // namespace updater
