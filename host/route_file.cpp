// route.dat: where the client's executable lives, as bare GBK bytes (no zero, no line end).
#include "host/host_bookkeeping.h"
#include "host/instance_host.h"
#include "util/files.h"
#include "util/log.h"

namespace host {
namespace {
constexpr std::size_t kRouteFileLimitBytes = 1 << 20;  // a path; anything larger is not ours
}  // namespace

Text InstanceHost::ReadRouteFile() const {
  Bytes bytes;
  // Missing (no route.dat yet), unreadable or too large: the default path is used.
  if (!util::ReadWholeFile(settings_.routeFilePath, bytes, kRouteFileLimitBytes)) return Text();
  Text text(bytes.begin(), bytes.end());
  // The text is the bytes up to the first zero byte.
  const size_t zero = text.find('\0');
  if (zero != Text::npos) text.resize(zero);
  return text;
}

bool InstanceHost::WriteRouteFileIfChanged(const Text& path) const {
  const Text toWrite = RouteToWrite(ReadRouteFile(), path);
  if (toWrite.empty()) return false;
  // Replaced whole or not at all; a failure is logged there and does not stop the flow.
  if (!util::WriteFileAtomically(settings_.routeFilePath, Bytes(toWrite.begin(), toWrite.end()))) return false;
  util::LogInfo("route: %s", toWrite.c_str());
  return true;
}

}  // namespace host
