#include "update/handoff.h"

#include <windows.h>

#include "util/files.h"
#include "util/log.h"
#include "util/process.h"
#include "util/resources.h"

namespace update {
namespace {

constexpr unsigned kUpdaterReadyWaitMs = 1000;

Text InDirectory(const Text& directory, const char* name) { return directory + "\\" + name; }

}  // namespace

Bytes CarriedUpdaterImage() { return util::LoadRcData(kUpdaterImageResource); }

bool WriteHandoffFiles(const Text& directory, const Text& dueList) {
  // The updater falls back to starting nothing when the INI is missing: go on regardless.
  if (!::WritePrivateProfileStringA(kHandoffIniSection, kHandoffIniKey, kRestartProgram,
                                    InDirectory(directory, kHandoffIniFile).c_str())) {
    util::LogLastError("WritePrivateProfileStringA(sdhwt.ini)");
  }
  return util::WriteFileAtomically(InDirectory(directory, kDueListFile), util::ToBytes(dueList));
}

bool WriteUpdater(const Text& directory) {
  const Bytes image = CarriedUpdaterImage();
  if (image.empty()) {
    util::LogWarning("this executable carries no updater image");
    return false;
  }
  return util::WriteFileAtomically(InDirectory(directory, kUpdaterFile), image);
}

bool StartUpdater(const Text& directory) {
  const Text path = InDirectory(directory, kUpdaterFile);
  if (!util::StartProgram(path, "\"" + path + "\"", kUpdaterReadyWaitMs)) return false;
  util::LogInfo("launch: updater %s", path.c_str());
  return true;
}

}  // namespace update
