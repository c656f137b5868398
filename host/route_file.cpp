// route.dat: where the client's executable lives, as bare GBK bytes (no zero, no line end).
#include <windows.h>

#include "app/program_state.h"
#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/unique_resource.h"

namespace host {

const char* const kDefaultWeChatPath = "C:\\Program Files (x86)\\Tencent\\WeChat\\WeChat.exe";

Text RouteFilePath() { return ProgramDirectory() + "\\route.dat"; }

Text ReadRouteFile() {
  util::UniqueHandle file(CreateFileA(RouteFilePath().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Text();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20)) {
    return Text();
  }
  Text bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr)) return Text();
  bytes.resize(got);
  // The text is the bytes up to the first zero byte.
  const size_t zero = bytes.find('\0');
  if (zero != Text::npos) bytes.resize(zero);
  return bytes;
}

namespace {
// Whole-file replace: the bytes go to a temporary file beside route.dat, which then takes
// its place, so a failed write never leaves route.dat half-written.
bool ReplaceRouteFile(const Text& content) {
  const Text target = RouteFilePath();
  const Text temp = target + ".new";
  {
    util::UniqueHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                              &written, nullptr) &&
                    written == content.size() && FlushFileBuffers(file.get());
    if (!ok) {
      file.reset();
      DeleteFileA(temp.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}
}  // namespace

bool WriteRouteFileIfChanged(const Text& path) {
  const Text toWrite = RouteToWrite(ReadRouteFile(), path);
  if (toWrite.empty()) return false;
  return ReplaceRouteFile(toWrite);
}

}  // namespace host
