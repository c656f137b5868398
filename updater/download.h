#pragma once
// One file downloaded through the WinHttp flat functions into a file of our choosing.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "util/text.h"

namespace updater {

struct DownloadLimits {
  int connectTimeoutMs = 15000;  // name resolution, connection, sending the request
  int stallTimeoutMs = 15000;    // longest wait for the response or for the next bytes
  // The body must arrive at least this fast on average: a server that sends a byte now and
  // then never lets the receive time-out or the job's watchdog fire, so the size sets a deadline.
  std::uint32_t minimumBytesPerSecond = 4096;
  // Larger bodies are refused (the shipped files are a few MB).
  std::int64_t maximumBytes = std::int64_t{1} << 30;
};

// How long the body of a download of size bytes may take, from the answer's headers on: the
// stall limit plus the size at the minimum rate. For a body without Content-Length, size is
// what has arrived so far, so the allowance grows only as bytes come in.
std::uint64_t DownloadDeadlineMs(std::int64_t size, const DownloadLimits& limits);

// Lets another thread abort a download that has stopped moving.
class DownloadCancel {
 public:
  void Cancel() noexcept;
  bool Cancelled() const noexcept;
  // Used by the download itself.
  bool Attach(HINTERNET request) noexcept;  // false when already cancelled
  void Detach() noexcept;                   // closes the request unless Cancel did

 private:
  mutable std::mutex lock_;
  HINTERNET request_ = nullptr;
  bool cancelled_ = false;
};

// received and total byte counts; total is -1 when the response gave no Content-Length.
using ProgressFunction = std::function<void(std::int64_t received, std::int64_t total)>;

// GETs address into path (created or truncated). True only for a complete download: a 2xx
// status, a non-empty body within limits.maximumBytes and DownloadDeadlineMs, and exactly
// Content-Length bytes when the header was given. On any failure path is removed, so nothing
// half-written stays behind.
bool DownloadToFile(const Text& address, const Text& path, const DownloadLimits& limits,
                    const ProgressFunction& progress, DownloadCancel* cancel);

// The Content-Length value as a count, or -1 when it is not a plain decimal number.
std::int64_t ParseContentLength(const std::wstring& value);

}  // namespace updater
