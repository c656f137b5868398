#include "updater/restart.h"

#include <windows.h>
#include <shellapi.h>

#include "update/handoff_files.h"
#include "update/safe_name.h"
#include "util/files.h"
#include "util/log.h"

namespace updater {

Text RestartProgramPath(const Text& directory) {
  char value[MAX_PATH * 2] = {};
  const Text iniPath = directory + "\\" + update::kHandoffIniFile;
  DWORD length = ::GetPrivateProfileStringA(update::kHandoffIniSection, update::kHandoffIniKey, "", value,
                                            sizeof value, iniPath.c_str());
  const Text name(value, length);
  if (update::IsSafeFileName(directory, name) && util::FileExists(directory + "\\" + name))
    return directory + "\\" + name;
  const Text converted = util::Utf8ToGbk(util::ToBytes(name));
  if (update::IsSafeFileName(directory, converted) && util::FileExists(directory + "\\" + converted))
    return directory + "\\" + converted;
  util::LogWarning("%s names no program to restart (%s=%s)", iniPath.c_str(), update::kHandoffIniKey, name.c_str());
  return {};
}

void RestartMainProgram(const Text& directory) {
  const Text path = RestartProgramPath(directory);
  if (path.empty()) return;
  util::LogInfo("restarting %s", path.c_str());
  // ShellExecute reports failure as a value of 32 or less.
  const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr,
                                                                SW_SHOWNORMAL));
  if (result <= 32) util::LogFailure("ShellExecuteA open", static_cast<long>(result));
}

}  // namespace updater
