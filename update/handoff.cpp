#include "update/handoff.h"

#include <windows.h>

#include "app/main_form.h"
#include "host/instance_host.h"
#include "util/unique_resource.h"

namespace update {
namespace {

const char kHandoffIni[] = "\\sdhwt.ini";
const char kDueListFile[] = "\\gxwj.bin";
const char kUpdaterFile[] = "\\Hgxcx.exe";
const char kRestartProgram[] = "tandrel.exe";
constexpr DWORD kUpdaterReadyWaitMs = 1000;

void StartUpdater(const Text& path) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  Text commandLine = "\"" + path + "\"";
  if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    return;
  util::UniqueHandle processHandle(process.hProcess);
  util::UniqueHandle threadHandle(process.hThread);
  ::WaitForInputIdle(processHandle.get(), kUpdaterReadyWaitMs);
}

}  // namespace

Bytes CarriedUpdaterImage() {
  HRSRC resource = ::FindResourceA(nullptr, MAKEINTRESOURCEA(kUpdaterImageResource), MAKEINTRESOURCEA(10));
  if (!resource) return {};
  DWORD size = ::SizeofResource(nullptr, resource);
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  const auto* first = static_cast<const std::uint8_t*>(data);
  return Bytes(first, first + size);
}

bool WriteWholeFile(const Text& path, const Bytes& bytes) {
  bool written = false;
  {
    util::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD count = 0;
    written = bytes.empty() ||
              (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
               count == bytes.size());
    written = written && ::FlushFileBuffers(file.get());
  }
  if (!written) ::DeleteFileA(path.c_str());
  return written;
}

bool WriteHandoffFiles(const Text& directory, const Text& dueList) {
  // The result is not looked at: the updater falls back to starting nothing.
  ::WritePrivateProfileStringA("tysj", "yxmc", kRestartProgram, (directory + kHandoffIni).c_str());
  return WriteWholeFile(directory + kDueListFile, util::ToBytes(dueList));
}

bool HandOff(const Text& directory, const Text& dueList) {
  if (!WriteHandoffFiles(directory, dueList)) return false;
  const Text updaterPath = directory + kUpdaterFile;
  WriteWholeFile(updaterPath, CarriedUpdaterImage());
  ::MessageBoxA(Form().mainWindow.Handle(), "发现新版本，程序强制更新！", "提示信息",
                MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
  // The clients we host must outlive us: give their windows back before the process goes.
  host::ReleaseHostedWindows();
  StartUpdater(updaterPath);
  ::TerminateProcess(::GetCurrentProcess(), 0);
  return true;
}

}  // namespace update
