#include "loopback_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace testing_update {
namespace {

constexpr DWORD kStallMs = 120000;         // a stalled answer never lasts longer than this
constexpr int kRequestTimeoutMs = 5000;
constexpr std::size_t kMaxRequest = 64 * 1024;

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

bool SendAll(SOCKET s, const char* data, std::size_t size) {
  while (size > 0) {
    int sent = ::send(s, data, static_cast<int>(std::min<std::size_t>(size, 65536)), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

struct WinsockSession {
  WinsockSession() {
    WSADATA data;
    ok = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (ok) ::WSACleanup();
  }
  bool ok = false;
};

}  // namespace

bool LoopbackServer::Start(unsigned short port) {
  static WinsockSession session;
  if (!session.ok) return false;
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return false;
  BOOL reuse = TRUE;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    ::closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return false;
  }
  int length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  stopEvent_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopping_ = false;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void LoopbackServer::Stop() {
  if (listener_ == INVALID_SOCKET) return;
  stopping_ = true;
  ::SetEvent(stopEvent_);
  if (acceptThread_.joinable()) acceptThread_.join();
  ::closesocket(listener_);
  listener_ = INVALID_SOCKET;
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> hold(lock_);
    connections.swap(connections_);
  }
  for (std::thread& t : connections) t.join();
  ::CloseHandle(stopEvent_);
  stopEvent_ = nullptr;
}

std::string LoopbackServer::Address(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::Set(const std::string& path, const Answer& answer) {
  std::lock_guard<std::mutex> hold(lock_);
  answers_[path] = answer;
}

void LoopbackServer::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  answers_.clear();
  requests_.clear();
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

std::vector<std::string> LoopbackServer::RequestedPaths() const {
  std::vector<std::string> paths;
  for (const std::string& r : Requests()) paths.push_back(RequestPath(r));
  return paths;
}

Answer LoopbackServer::Find(const std::string& path) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = answers_.find(path);
  if (it != answers_.end()) return it->second;
  Answer missing;
  missing.status = 404;
  missing.body = "not found";
  return missing;
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 100000};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET client = ::accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> hold(lock_);
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void LoopbackServer::Serve(SOCKET client) {
  DWORD timeout = kRequestTimeoutMs;
  ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
    int got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  if (request.find("\r\n\r\n") != std::string::npos) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      requests_.push_back(request);
    }
    const Answer answer = Find(RequestPath(request));
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) + "\r\n";
    if (answer.contentLength) head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    std::size_t bodyBytes = answer.fault == Answer::Fault::kNone ? answer.body.size()
                                                                 : std::min(answer.faultAfter, answer.body.size());
    if (SendAll(client, head.data(), head.size()) && SendAll(client, answer.body.data(), bodyBytes) &&
        answer.fault == Answer::Fault::kStall) {
      ::WaitForSingleObject(stopEvent_, kStallMs);
    }
  }
  ::shutdown(client, SD_BOTH);
  ::closesocket(client);
}

std::string RequestPath(const std::string& request) {
  std::size_t first = request.find(' ');
  if (first == std::string::npos) return {};
  std::size_t second = request.find(' ', first + 1);
  if (second == std::string::npos) return {};
  return request.substr(first + 1, second - first - 1);
}

std::vector<std::string> HeaderNames(const std::string& request) {
  std::vector<std::string> names;
  std::size_t at = request.find("\r\n");
  while (at != std::string::npos) {
    std::size_t next = request.find("\r\n", at + 2);
    if (next == std::string::npos || next == at + 2) break;
    const std::string line = request.substr(at + 2, next - at - 2);
    names.push_back(line.substr(0, line.find(':')));
    at = next;
  }
  return names;
}

std::string HeaderValue(const std::string& request, const std::string& name) {
  std::size_t at = request.find("\r\n");
  while (at != std::string::npos) {
    std::size_t next = request.find("\r\n", at + 2);
    if (next == std::string::npos || next == at + 2) break;
    const std::string line = request.substr(at + 2, next - at - 2);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos && line.substr(0, colon) == name) {
      std::size_t begin = colon + 1;
      while (begin < line.size() && line[begin] == ' ') ++begin;
      return line.substr(begin);
    }
    at = next;
  }
  return {};
}

}  // namespace testing_update
