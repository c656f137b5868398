// Fetch: one GET through the WinHttp flat functions on a worker thread. The flat functions let
// us look at Content-Length before any body byte is read and count the body while it arrives
// (the request object buffers a whole body before it hands over the first byte); the worker
// lets the caller keep its deadline even when WinHttp's per-phase time-outs do not end a call
// (a server that trickles one byte now and then resets the receive time-out every time).
#include "http/http_request.h"

#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "util/log.h"
#include "util/unique_resource.h"
#include "util/worker_thread.h"

namespace http {
namespace {

constexpr DWORD kPhaseTimeoutMs = 15000;  // resolve, connect, send, and each wait for bytes
constexpr DWORD kReadChunk = 16 * 1024;
constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kIgnoreCertificateErrors == 0x3300, "the four certificate errors the request ignores");

const char kHeaderLinesBeforeReferer[] = "Accept: */*\r\nReferer: ";
const char kHeaderLinesAfterReferer[] =
    "\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

struct InternetTraits {
  using Handle = HINTERNET;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = util::UniqueResource<InternetTraits>;

// What the fetching thread and the waiting caller share; whichever ends last frees it.
struct Exchange {
  std::mutex lock;
  HINTERNET request = nullptr;  // closed by whichever side gets to it first
  bool abandoned = false;       // the caller has given up and returned
  util::UniqueHandle done;      // set once result holds the outcome
  FetchResult result;
};

// Closing the request is also how a blocked WinHttp call on the worker is made to return.
void CloseRequest(Exchange& exchange) noexcept {
  std::lock_guard<std::mutex> hold(exchange.lock);
  if (exchange.request) ::WinHttpCloseHandle(exchange.request);
  exchange.request = nullptr;
}

bool Abandoned(Exchange& exchange) noexcept {
  std::lock_guard<std::mutex> hold(exchange.lock);
  return exchange.abandoned;
}

FetchResult Ended(FetchEnd end) {
  FetchResult result;
  result.end = end;
  return result;
}

// A failed WinHttp call: the deadline's doing when it has passed, a failure otherwise.
FetchResult CallFailed(const char* call, const Text& address, const Deadline& deadline, Exchange& exchange) {
  const DWORD error = ::GetLastError();
  if (deadline.Passed() || Abandoned(exchange)) {
    util::LogWarning("fetch of %s: %s ended by the deadline (error %lu)", address.c_str(), call, error);
    return Ended(FetchEnd::kDeadlinePassed);
  }
  util::LogWarning("fetch of %s: %s failed (error %lu)", address.c_str(), call, error);
  return Ended(FetchEnd::kFailed);
}

// -1 when the answer has no Content-Length; -2 when it is no plain decimal count.
long long QueryContentLength(HINTERNET request) {
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, value, &size,
                             WINHTTP_NO_HEADER_INDEX))
    return -1;
  const std::wstring text(value);
  std::size_t begin = text.find_first_not_of(L' '), end = text.find_last_not_of(L' ');
  if (begin == std::wstring::npos || end - begin + 1 > 18) return -2;
  long long length = 0;
  for (std::size_t i = begin; i <= end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return -2;
    length = length * 10 + (text[i] - L'0');
  }
  return length;
}

FetchResult Run(const Text& address, std::size_t bodyLimit, const Deadline& deadline, Exchange& exchange) {
  const std::wstring url = util::Widen(address);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (url.empty() || !::WinHttpCrackUrl(url.c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    util::LogWarning("fetch of %s: not a web address", address.c_str());
    return Ended(FetchEnd::kFailed);
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = L"/";

  // Without an agent name WinHttp adds no User-Agent of its own, so ours goes out in its place
  // among the headers.
  UniqueInternet session(::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    session.reset(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!session) return CallFailed("WinHttpOpen", address, deadline, exchange);
  const int phase = static_cast<int>(std::min(kPhaseTimeoutMs, std::max<DWORD>(deadline.RemainingMs(), 1)));
  if (!::WinHttpSetTimeouts(session.get(), phase, phase, phase, phase))
    util::LogLastError("WinHttpSetTimeouts");  // WinHttp's defaults then apply; the deadline still holds
  UniqueInternet connection(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) return CallFailed("WinHttpConnect", address, deadline, exchange);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  HINTERNET request = ::WinHttpOpenRequest(connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
  if (!request) return CallFailed("WinHttpOpenRequest", address, deadline, exchange);
  {
    std::lock_guard<std::mutex> hold(exchange.lock);
    if (exchange.abandoned) {
      ::WinHttpCloseHandle(request);
      return Ended(FetchEnd::kDeadlinePassed);
    }
    exchange.request = request;
  }
  struct RequestCloser {
    Exchange& e;
    ~RequestCloser() { CloseRequest(e); }
  } closer{exchange};

  if (secure) {
    DWORD flags = kIgnoreCertificateErrors;
    if (!::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags))
      util::LogLastError("WinHttpSetOption (certificate errors)");
  }
  for (const auto& header : RequestHeaders(address)) {
    const std::wstring line = util::Widen(header.first + ": " + header.second);
    if (!::WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(-1),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
      util::LogLastError("WinHttpAddRequestHeaders");
  }
  if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return CallFailed("WinHttpSendRequest", address, deadline, exchange);
  if (!::WinHttpReceiveResponse(request, nullptr))
    return CallFailed("WinHttpReceiveResponse", address, deadline, exchange);

  const long long announced = QueryContentLength(request);
  if (announced == -2) {
    util::LogWarning("fetch of %s: a Content-Length that is no count", address.c_str());
    return Ended(FetchEnd::kFailed);
  }
  if (announced >= 0 && static_cast<unsigned long long>(announced) > bodyLimit) {
    util::LogWarning("fetch of %s: refused, its Content-Length of %lld bytes is over the limit of %lu",
                     address.c_str(), announced, static_cast<unsigned long>(bodyLimit));
    return Ended(FetchEnd::kTooLarge);
  }

  FetchResult result;
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    // Once the caller has closed the request, its handle must not be used again.
    if (Abandoned(exchange)) return Ended(FetchEnd::kDeadlinePassed);
    // Only what has arrived: Wine's WinHttpReadData waits until it has filled the whole buffer,
    // and the deadline is looked at between calls.
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available))
      return CallFailed("WinHttpQueryDataAvailable", address, deadline, exchange);
    if (available == 0) break;
    if (Abandoned(exchange)) return Ended(FetchEnd::kDeadlinePassed);
    DWORD read = 0;
    if (!::WinHttpReadData(request, chunk.data(), std::min(available, kReadChunk), &read))
      return CallFailed("WinHttpReadData", address, deadline, exchange);
    if (read == 0) break;
    if (result.body.size() + read > bodyLimit) {
      util::LogWarning("fetch of %s: refused, the body grew over the limit of %lu bytes", address.c_str(),
                       static_cast<unsigned long>(bodyLimit));
      return Ended(FetchEnd::kTooLarge);
    }
    result.body.insert(result.body.end(), chunk.begin(), chunk.begin() + read);
    if (deadline.Passed() || Abandoned(exchange)) {
      util::LogWarning("fetch of %s: cut short by the deadline after %lu bytes", address.c_str(),
                       static_cast<unsigned long>(result.body.size()));
      return Ended(FetchEnd::kDeadlinePassed);
    }
  }
  if (announced >= 0 && static_cast<unsigned long long>(announced) != result.body.size()) {
    util::LogWarning("fetch of %s: the answer broke off after %lu of %lld bytes", address.c_str(),
                     static_cast<unsigned long>(result.body.size()), announced);
    return Ended(FetchEnd::kFailed);
  }
  result.end = FetchEnd::kComplete;
  return result;
}

FetchResult RunCaught(const Text& address, std::size_t bodyLimit, const Deadline& deadline,
                      Exchange& exchange) noexcept {
  try {
    return Run(address, bodyLimit, deadline, exchange);
  } catch (...) {
    util::LogCaughtException("http::Fetch");
    return FetchResult{};
  }
}

}  // namespace

Deadline::Deadline(DWORD fromNowMs) noexcept : at_(::GetTickCount64() + fromNowMs) {}

DWORD Deadline::RemainingMs() const noexcept {
  const ULONGLONG now = ::GetTickCount64();
  return now >= at_ ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(at_ - now, 0xFFFFFFF0u));
}

const char* FetchEndName(FetchEnd end) {
  switch (end) {
    case FetchEnd::kComplete: return "complete";
    case FetchEnd::kFailed: return "failed";
    case FetchEnd::kDeadlinePassed: return "cut short by the deadline";
    case FetchEnd::kTooLarge: return "over the size limit";
  }
  return "unknown";
}

std::vector<std::pair<Text, Text>> RequestHeaders(const Text& address) {
  const Text lines = kHeaderLinesBeforeReferer + address + kHeaderLinesAfterReferer;
  std::vector<std::pair<Text, Text>> headers;
  for (const Text& line : util::SplitText(lines, "\r\n")) {
    std::size_t colon = util::FindText(line, ":");
    if (colon == Text::npos) continue;
    headers.emplace_back(util::Trim(line.substr(0, colon)), util::Trim(line.substr(colon + 1)));
  }
  return headers;
}

FetchResult Fetch(const Text& address, std::size_t bodyLimit, const Deadline& deadline) {
  if (deadline.Passed()) {
    util::LogWarning("fetch of %s: not started, the deadline has passed", address.c_str());
    return Ended(FetchEnd::kDeadlinePassed);
  }
  std::shared_ptr<Exchange> exchange;
  try {
    exchange = std::make_shared<Exchange>();
  } catch (...) {
    util::LogCaughtException("http::Fetch");
    return FetchResult{};
  }
  exchange->done.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const bool started =
      exchange->done && util::StartWorkerThread(
                            [exchange, address, bodyLimit, deadline] {
                              FetchResult result = RunCaught(address, bodyLimit, deadline, *exchange);
                              std::lock_guard<std::mutex> hold(exchange->lock);
                              exchange->result = std::move(result);
                              if (!::SetEvent(exchange->done.get())) util::LogLastError("SetEvent (fetch done)");
                            },
                            "http fetch");
  if (!started) {
    // Still bounded: every phase time-out is at most what is left, and the reads stop at the deadline.
    util::LogWarning("fetch of %s: no worker thread, fetching on the calling thread", address.c_str());
    return RunCaught(address, bodyLimit, deadline, *exchange);
  }
  const DWORD wait = ::WaitForSingleObject(exchange->done.get(), deadline.RemainingMs());
  std::lock_guard<std::mutex> hold(exchange->lock);
  if (wait == WAIT_OBJECT_0) return std::move(exchange->result);
  if (wait == WAIT_FAILED) util::LogLastError("WaitForSingleObject (fetch)");
  exchange->abandoned = true;
  if (exchange->request) ::WinHttpCloseHandle(exchange->request);
  exchange->request = nullptr;
  util::LogWarning("fetch of %s: no complete answer by the deadline, given up", address.c_str());
  return Ended(FetchEnd::kDeadlinePassed);
}

}  // namespace http
