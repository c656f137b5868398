#include "updater/download.h"

#include <winhttp.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "util/log.h"
#include "util/unique_resource.h"

namespace updater {
namespace {

const wchar_t kUserAgent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/76.0.3809.132 Safari/537.36";
const wchar_t kRangeHeader[] = L"Range:bytes=0-";
constexpr DWORD kReadChunk = 64 * 1024;

struct InternetTraits {
  using Handle = HINTERNET;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = util::UniqueResource<InternetTraits>;

// A failed WinHttp (or file) call: logged with its error, and the download fails.
bool Failed(const char* call) {
  util::LogLastError(call);
  return false;
}

DWORD QueryStatus(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    util::LogLastError("WinHttpQueryHeaders (status)");
    return 0;
  }
  return status;
}

// -1 when absent or malformed; a malformed length cannot be checked, so it fails the download.
std::int64_t QueryContentLength(HINTERNET request, bool& malformed) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  malformed = false;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, value, &size,
                             WINHTTP_NO_HEADER_INDEX))
    return -1;
  std::int64_t length = ParseContentLength(value);
  malformed = length < 0;
  return length;
}

bool Transfer(const Text& address, HANDLE file, const DownloadLimits& limits, const ProgressFunction& progress,
              DownloadCancel* cancel) {
  std::wstring url = util::Widen(address);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (url.empty()) return false;
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return Failed("WinHttpCrackUrl");
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    util::LogWarning("not a web address: %s", address.c_str());
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = L"/";

  UniqueInternet session(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return Failed("WinHttpOpen");
  if (!::WinHttpSetTimeouts(session.get(), limits.connectTimeoutMs, limits.connectTimeoutMs, limits.connectTimeoutMs,
                            limits.stallTimeoutMs))
    Failed("WinHttpSetTimeouts");  // the defaults then apply
  UniqueInternet connection(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) return Failed("WinHttpConnect");
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  HINTERNET request = ::WinHttpOpenRequest(connection.get(), L"GET", object.c_str(), L"HTTP/1.1",
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (!request) return Failed("WinHttpOpenRequest");
  DownloadCancel own;  // when the caller gave none, the request is still closed on every path
  if (cancel == nullptr) cancel = &own;
  if (!cancel->Attach(request)) {
    ::WinHttpCloseHandle(request);
    util::LogWarning("download of %s cancelled before it began", address.c_str());
    return false;
  }
  struct Detacher {
    DownloadCancel* c;
    ~Detacher() { c->Detach(); }
  } detacher{cancel};

  if (!::WinHttpAddRequestHeaders(request, kRangeHeader, static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD))
    return Failed("WinHttpAddRequestHeaders");
  if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return Failed("WinHttpSendRequest");
  if (!::WinHttpReceiveResponse(request, nullptr)) return Failed("WinHttpReceiveResponse");
  const DWORD status = QueryStatus(request);
  if (status < 200 || status > 299) {
    util::LogWarning("%s answered status %lu", address.c_str(), status);
    return false;
  }
  bool malformed = false;
  const std::int64_t total = QueryContentLength(request, malformed);
  if (malformed) {
    util::LogWarning("%s gave a Content-Length that is no number", address.c_str());
    return false;
  }

  if (total > limits.maximumBytes) {
    util::LogWarning("%s announced %lld bytes, more than the %lld bytes a download may have", address.c_str(),
                     static_cast<long long>(total), static_cast<long long>(limits.maximumBytes));
    return false;
  }

  std::vector<char> buffer(kReadChunk);
  std::int64_t received = 0;
  const ULONGLONG bodyStart = ::GetTickCount64();
  if (progress) progress(0, total);
  for (;;) {
    if (cancel->Cancelled()) {
      util::LogWarning("download of %s cancelled after %lld bytes", address.c_str(), static_cast<long long>(received));
      return false;
    }
    // The receive time-out bounds each wait: a server that stops sending fails here. Reading
    // only what has arrived keeps each call short (Wine's WinHttpReadData waits until it has
    // filled the whole buffer), so the deadline below is looked at as bytes come in.
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) return Failed("WinHttpQueryDataAvailable");
    if (available == 0) break;  // the body ended normally
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer.data(), std::min<DWORD>(available, kReadChunk), &read))
      return Failed("WinHttpReadData");
    if (read == 0) break;
    DWORD written = 0;
    if (!::WriteFile(file, buffer.data(), read, &written, nullptr)) return Failed("WriteFile");
    if (written != read) {
      util::LogWarning("WriteFile wrote %lu of %lu bytes", written, read);
      return false;
    }
    received += read;
    if (total >= 0 && received > total) {
      util::LogWarning("%s sent more than its Content-Length of %lld", address.c_str(), static_cast<long long>(total));
      return false;
    }
    if (received > limits.maximumBytes) {
      util::LogWarning("%s sent more than the %lld bytes a download may have", address.c_str(),
                       static_cast<long long>(limits.maximumBytes));
      return false;
    }
    // Each read returns within the stall limit, so this bounds the whole body.
    const std::uint64_t allowed = DownloadDeadlineMs(total >= 0 ? total : received, limits);
    if (::GetTickCount64() - bodyStart > allowed) {
      util::LogWarning("download of %s passed its deadline of %llu ms after %lld of %lld bytes", address.c_str(),
                       static_cast<unsigned long long>(allowed), static_cast<long long>(received),
                       static_cast<long long>(total));
      return false;
    }
    if (progress) progress(received, total);
  }
  if (received == 0 || (total >= 0 && received != total)) {
    util::LogWarning("%s gave %lld bytes, expected %lld", address.c_str(), static_cast<long long>(received),
                     static_cast<long long>(total));
    return false;
  }
  if (!::FlushFileBuffers(file)) return Failed("FlushFileBuffers");
  return true;
}

}  // namespace

void DownloadCancel::Cancel() noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  cancelled_ = true;
  // Closing the request makes a blocked WinHttp call on the download thread return.
  if (request_) ::WinHttpCloseHandle(request_);
  request_ = nullptr;
}

bool DownloadCancel::Cancelled() const noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  return cancelled_;
}

bool DownloadCancel::Attach(HINTERNET request) noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelled_) return false;
  request_ = request;
  return true;
}

void DownloadCancel::Detach() noexcept {
  std::lock_guard<std::mutex> hold(lock_);
  if (request_) ::WinHttpCloseHandle(request_);
  request_ = nullptr;
}

std::uint64_t DownloadDeadlineMs(std::int64_t size, const DownloadLimits& limits) {
  const std::uint64_t bytes = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  const std::uint64_t rate = limits.minimumBytesPerSecond > 0 ? limits.minimumBytesPerSecond : 1;
  const std::uint64_t stall = limits.stallTimeoutMs > 0 ? static_cast<std::uint64_t>(limits.stallTimeoutMs) : 0;
  const std::uint64_t seconds = bytes / rate;
  if (seconds > (std::uint64_t{1} << 40)) return UINT64_MAX;  // no size a download may have
  return stall + seconds * 1000 + (bytes % rate) * 1000 / rate;
}

std::int64_t ParseContentLength(const std::wstring& value) {
  std::size_t begin = 0, end = value.size();
  while (begin < end && value[begin] == L' ') ++begin;
  while (end > begin && value[end - 1] == L' ') --end;
  if (begin == end || end - begin > 18) return -1;
  std::int64_t length = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (value[i] < L'0' || value[i] > L'9') return -1;
    length = length * 10 + (value[i] - L'0');
  }
  return length;
}

bool DownloadToFile(const Text& address, const Text& path, const DownloadLimits& limits,
                    const ProgressFunction& progress, DownloadCancel* cancel) {
  bool complete = false;
  {
    util::UniqueHandle file(
        // Others may delete it while it is open: a job that gave up on this thread removes the
        // file, and the system takes it away when this handle is closed (at the latest at exit).
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                      nullptr));
    if (!file) return Failed("CreateFileA (download)");
    try {
      complete = Transfer(address, file.get(), limits, progress, cancel);
    } catch (...) {
      util::LogCaughtException("DownloadToFile");
      complete = false;
    }
  }
  // Already gone when the job deleted it after giving up on this download.
  if (!complete && !::DeleteFileA(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
    util::LogLastError("DeleteFileA (incomplete download)");
  return complete;
}

}  // namespace updater
