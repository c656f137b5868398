#include "util/files.h"

#include <windows.h>

#include "util/log.h"
#include "util/unique_resource.h"

namespace util {

bool FileExists(const Text& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsRegularFile(const Text& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t FileSizeOf(const Text& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool ReadWholeFile(const Text& path, Bytes& out, std::size_t maxBytes) {
  out.clear();
  // Others may keep the file open for writing (route.dat is rewritten while clients start).
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    // A missing file is an ordinary answer, not worth a line.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      SetLastError(error);
      LogLastError("CreateFileA (read)");
    }
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    LogLastError("GetFileSizeEx");
    return false;
  }
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    LogWarning("%s holds %lld bytes, more than the %lu expected", path.c_str(), size.QuadPart,
               static_cast<unsigned long>(maxBytes));
    return false;
  }
  Bytes bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD chunk = 0;
    if (!ReadFile(file.get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &chunk, nullptr)) {
      LogLastError("ReadFile");
      return false;
    }
    if (chunk == 0) break;  // the file shrank meanwhile: what is there is the file
    got += chunk;
  }
  bytes.resize(got);
  out.swap(bytes);
  return true;
}

bool WriteFileAtomically(const Text& path, const Bytes& bytes) {
  const Text temporary = path + ".new";
  {
    UniqueHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      LogLastError("CreateFileA (write)");
      LogWarning("%s was not written", path.c_str());
      return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
      DWORD written = 0;
      ok = WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                     nullptr) != FALSE;
      if (!ok) {
        LogLastError("WriteFile");
      } else if (written == 0) {
        LogWarning("WriteFile wrote nothing to %s", temporary.c_str());
        ok = false;
      }
      done += written;
    }
    if (ok && !FlushFileBuffers(file.get())) {
      LogLastError("FlushFileBuffers");
      ok = false;
    }
    if (!ok) {
      file.reset();
      if (!DeleteFileA(temporary.c_str())) LogLastError("DeleteFileA");
      LogWarning("%s was not written", path.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    LogLastError("MoveFileExA");
    if (!DeleteFileA(temporary.c_str())) LogLastError("DeleteFileA");
    LogWarning("%s was not replaced", path.c_str());
    return false;
  }
  return true;
}

}  // namespace util
