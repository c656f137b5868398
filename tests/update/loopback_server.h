#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests: fixed answers per path,
// optional faults, and the raw bytes of every request it received.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_update {

struct Answer {
  enum class Fault { kNone, kCloseEarly, kStall };
  int status = 200;
  std::string body;
  bool contentLength = true;  // send a Content-Length header
  Fault fault = Fault::kNone;
  std::size_t faultAfter = 0;  // body bytes sent before closing or stalling
};

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { Stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // port 0 picks a free port. False when the port cannot be bound.
  bool Start(unsigned short port = 0);
  void Stop();
  unsigned short Port() const { return port_; }
  std::string Address(const std::string& path) const;

  void Set(const std::string& path, const Answer& answer);
  void Clear();
  std::vector<std::string> Requests() const;  // raw request bytes, in arrival order
  std::vector<std::string> RequestedPaths() const;

 private:
  void AcceptLoop();
  void Serve(SOCKET client);
  Answer Find(const std::string& path) const;

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  HANDLE stopEvent_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex lock_;
  std::vector<std::thread> connections_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> requests_;
};

// The path of a request line ("GET /a/b HTTP/1.1" gives "/a/b").
std::string RequestPath(const std::string& request);
// Header names in order, as sent.
std::vector<std::string> HeaderNames(const std::string& request);
std::string HeaderValue(const std::string& request, const std::string& name);

}  // namespace testing_update
