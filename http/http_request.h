#pragma once
// One HTTP GET with the program's fixed request headers, bounded in time and in size.
#include <windows.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "util/text.h"

namespace http {

// A moment after which no fetch goes on. One deadline may be shared by any number of fetches
// made one after another: each gets what is left of it.
class Deadline {
 public:
  explicit Deadline(DWORD fromNowMs) noexcept;
  DWORD RemainingMs() const noexcept;  // 0 once passed
  bool Passed() const noexcept { return RemainingMs() == 0; }

 private:
  ULONGLONG at_;
};

// Body limits: small texts the server hands out, and the update manifest.
constexpr std::size_t kTextBodyLimit = 64 * 1024;
constexpr std::size_t kManifestBodyLimit = 1024 * 1024;

enum class FetchEnd {
  kComplete,        // the body as the server sent it (any status: an error page gives its body)
  kFailed,          // no connection, no answer, or the answer broke off
  kDeadlinePassed,  // cut short by the deadline
  kTooLarge,        // the body (announced or received) exceeded the limit
};
const char* FetchEndName(FetchEnd end);

struct FetchResult {
  FetchEnd end = FetchEnd::kFailed;
  Bytes body;  // empty unless end is kComplete
};

// GETs address and returns its body, at most bodyLimit bytes. It returns by the deadline at
// the latest, whatever the server does; every end but kComplete is logged with its reason and
// gives an empty body. Any thread may call it.
FetchResult Fetch(const Text& address, std::size_t bodyLimit, const Deadline& deadline);

// The request headers in the order they are set, each line split at its first ":"
// with both halves trimmed (so a Referer holding a port stays whole).
std::vector<std::pair<Text, Text>> RequestHeaders(const Text& address);

}  // namespace http
