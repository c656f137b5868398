#include "update/handoff.h"

#include <windows.h>

#include "util/log.h"
#include "util/unique_resource.h"

namespace update {
namespace {

constexpr DWORD kUpdaterReadyWaitMs = 1000;

Text InDirectory(const Text& directory, const char* name) { return directory + "\\" + name; }

}  // namespace

Bytes CarriedUpdaterImage() {
  HRSRC resource = ::FindResourceA(nullptr, MAKEINTRESOURCEA(kUpdaterImageResource), RT_RCDATA);
  if (!resource) {
    util::LogLastError("FindResourceA(updater image)");
    return {};
  }
  const DWORD size = ::SizeofResource(nullptr, resource);
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) {
    util::LogWarning("updater image: the resource cannot be read (%lu bytes)", static_cast<unsigned long>(size));
    return {};
  }
  const auto* first = static_cast<const std::uint8_t*>(data);
  return Bytes(first, first + size);
}

bool WriteWholeFile(const Text& path, const Bytes& bytes) {
  bool written = false;
  {
    util::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      util::LogLastError("CreateFileA");
      util::LogWarning("cannot write %s", path.c_str());
      return false;
    }
    DWORD count = 0;
    written = bytes.empty() ||
              (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
               count == bytes.size());
    if (!written) util::LogLastError("WriteFile");
    if (written && !::FlushFileBuffers(file.get())) {
      util::LogLastError("FlushFileBuffers");
      written = false;
    }
  }
  if (!written) {
    util::LogWarning("%s was not written whole and is removed", path.c_str());
    if (!::DeleteFileA(path.c_str())) util::LogLastError("DeleteFileA");
  }
  return written;
}

bool WriteHandoffFiles(const Text& directory, const Text& dueList) {
  // The updater falls back to starting nothing when the INI is missing: go on regardless.
  if (!::WritePrivateProfileStringA(kHandoffIniSection, kHandoffIniKey, kRestartProgram,
                                    InDirectory(directory, kHandoffIniFile).c_str())) {
    util::LogLastError("WritePrivateProfileStringA(sdhwt.ini)");
  }
  return WriteWholeFile(InDirectory(directory, kDueListFile), util::ToBytes(dueList));
}

bool WriteUpdater(const Text& directory) {
  const Bytes image = CarriedUpdaterImage();
  if (image.empty()) {
    util::LogWarning("this executable carries no updater image");
    return false;
  }
  return WriteWholeFile(InDirectory(directory, kUpdaterFile), image);
}

bool StartUpdater(const Text& directory) {
  const Text path = InDirectory(directory, kUpdaterFile);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  Text commandLine = "\"" + path + "\"";
  if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    util::LogLastError("CreateProcessA(updater)");
    return false;
  }
  util::UniqueHandle processHandle(process.hProcess);
  util::UniqueHandle threadHandle(process.hThread);
  util::LogInfo("launch: updater %s (process %lu)", path.c_str(), static_cast<unsigned long>(process.dwProcessId));
  const DWORD ready = ::WaitForInputIdle(processHandle.get(), kUpdaterReadyWaitMs);
  if (ready == WAIT_FAILED) util::LogLastError("WaitForInputIdle(updater)");
  return true;
}

}  // namespace update
