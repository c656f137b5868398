// route.dat: where the client's executable lives, as bare GBK bytes (no zero, no line end).
#include <windows.h>

#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/log.h"
#include "util/unique_resource.h"

namespace host {
namespace {
constexpr LONGLONG kRouteFileLimitBytes = 1 << 20;  // a path; anything larger is not ours

// Whole-file replace: the bytes go to a temporary file beside route.dat, which then takes
// its place, so a failed write never leaves route.dat half-written.
bool ReplaceFile(const Text& target, const Text& content) {
  const Text temp = target + ".new";
  {
    util::UniqueHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      util::LogLastError("CreateFileA(route.dat.new)");
      return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                              &written, nullptr) &&
                    written == content.size() && FlushFileBuffers(file.get());
    if (!ok) {
      util::LogLastError("WriteFile(route.dat.new)");
      file.reset();
      DeleteFileA(temp.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    util::LogLastError("MoveFileExA(route.dat)");
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}
}  // namespace

Text InstanceHost::ReadRouteFile() const {
  util::UniqueHandle file(CreateFileA(settings_.routeFilePath.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Text();  // no route.dat yet: the default path is used
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kRouteFileLimitBytes) {
    return Text();
  }
  Text bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr)) {
    util::LogLastError("ReadFile(route.dat)");
    return Text();
  }
  bytes.resize(got);
  // The text is the bytes up to the first zero byte.
  const size_t zero = bytes.find('\0');
  if (zero != Text::npos) bytes.resize(zero);
  return bytes;
}

bool InstanceHost::WriteRouteFileIfChanged(const Text& path) const {
  const Text toWrite = RouteToWrite(ReadRouteFile(), path);
  if (toWrite.empty()) return false;
  if (!ReplaceFile(settings_.routeFilePath, toWrite)) return false;
  util::LogInfo("route: %s", toWrite.c_str());
  return true;
}

}  // namespace host
