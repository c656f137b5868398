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
};

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
// status, a non-empty body, and exactly Content-Length bytes when the header was given. On
// any failure path is removed, so nothing half-written stays behind.
bool DownloadToFile(const Text& address, const Text& path, const DownloadLimits& limits,
                    const ProgressFunction& progress, DownloadCancel* cancel);

// The Content-Length value as a count, or -1 when it is not a plain decimal number.
std::int64_t ParseContentLength(const std::wstring& value);

}  // namespace updater
