#pragma once
// Small shared pieces of the launch, the adoption cycle and the input handlers.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "util/text.h"

namespace host {

constexpr const char* kWeChatTitle = "微信";
constexpr const char* kLoginWindowClass = "WeChatLoginWndForPC";
constexpr const char* kMainWindowClass = "WeChatMainWndForPC";
constexpr const char* kAlertWindowClass = "AlertDialog";

// Handles are 32-bit values handled as signed integers; a search result counts as found
// when it is greater than 0.
inline std::int32_t HandleValue(HWND window) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}
inline bool Found(HWND window) { return HandleValue(window) > 0; }

// Counts adoptions since the process started; a launch worker compares it with the
// value it saw at its start to notice that a client logged in without a login window.
extern std::atomic<unsigned> adoptionSerial;

HWND MainWindowHandle();
HWND HostWindowHandle(int k);  // 1..6

}  // namespace host
