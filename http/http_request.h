#pragma once
// One synchronous HTTP GET through the WinHttp request object.
#include <utility>
#include <vector>

#include "util/text.h"

namespace http {

// The response body; empty when there is none or the exchange failed. The status is
// not looked at: an error page gives its body. Any thread may call it.
Bytes SendHttpRequest(const Text& address);

// The request headers in the order they are set, each line split at its first ":"
// with both halves trimmed (so a Referer holding a port stays whole).
std::vector<std::pair<Text, Text>> RequestHeaders(const Text& address);

}  // namespace http
