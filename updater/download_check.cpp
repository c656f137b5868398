#include "updater/download_check.h"

#include <windows.h>

#include <cstdint>

#include "update/file_version.h"
#include "util/log.h"
#include "util/sha256.h"
#include "util/unique_resource.h"

namespace updater {
namespace {

#ifdef _WIN64
constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_I386;
#endif

bool EndsWithNoCase(const Text& text, const char* suffix) {
  const Text tail(suffix);
  return text.size() >= tail.size() && util::FindTextNoCase(text.substr(text.size() - tail.size()), tail) == 0;
}

bool ReadAt(HANDLE file, LONG offset, void* into, DWORD size) {
  if (::SetFilePointer(file, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    util::LogLastError("SetFilePointer");
    return false;
  }
  DWORD got = 0;
  if (!::ReadFile(file, into, size, &got, nullptr)) {
    util::LogLastError("ReadFile");
    return false;
  }
  return got == size;
}

}  // namespace

bool IsImageForThisMachine(const Text& path) {
  util::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    util::LogLastError("CreateFileA (image check)");
    return false;
  }
  IMAGE_DOS_HEADER dos{};
  if (!ReadAt(file.get(), 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) {
    util::LogWarning("%s is no program image (no MZ header)", path.c_str());
    return false;
  }
  struct {
    DWORD signature;
    WORD machine;
  } pe{};
  if (!ReadAt(file.get(), dos.e_lfanew, &pe, sizeof pe.signature + sizeof pe.machine) ||
      pe.signature != IMAGE_NT_SIGNATURE) {
    util::LogWarning("%s is no program image (no PE signature)", path.c_str());
    return false;
  }
  if (pe.machine != kThisMachine) {
    util::LogWarning("%s is an image for machine 0x%04X, this program runs on 0x%04X", path.c_str(),
                     static_cast<unsigned>(pe.machine), static_cast<unsigned>(kThisMachine));
    return false;
  }
  return true;
}

bool IsExpectedDownload(const Text& path, const Text& name, const Text& expectedVersion,
                        const Text& expectedSha256) {
  if (!util::IsSha256Hex(expectedSha256)) {
    util::LogWarning("%s: the due list gives no SHA-256 to check the download against", name.c_str());
    return false;
  }
  const Text actual = util::Sha256HexOfFile(path);
  if (actual.empty() || util::FindTextNoCase(actual, expectedSha256) != 0) {
    util::LogWarning("%s has SHA-256 %s, the manifest says %s", path.c_str(), actual.c_str(), expectedSha256.c_str());
    return false;
  }
  if ((EndsWithNoCase(name, ".exe") || EndsWithNoCase(name, ".dll")) && !IsImageForThisMachine(path)) return false;
  if (expectedVersion.empty()) return true;
  // No version resource reads as the empty version: never the one named.
  const Text version = update::ReadFileVersionOfOwnFile(path);
  if (version == expectedVersion) return true;
  util::LogWarning("%s carries version \"%s\", the manifest says %s", path.c_str(), version.c_str(),
                   expectedVersion.c_str());
  return false;
}

}  // namespace updater
